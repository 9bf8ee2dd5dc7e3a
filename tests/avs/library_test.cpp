// SPDX-License-Identifier: BSD-2-Clause
// The built library, loaded as AviSynth loads a plugin: found by its exported
// entry name, registering ZOLTA, filtering and refusing through that entry.
#include "library.h"

#include <vector>

#include "avs_test_support.h"

TEST(BuiltLibrary, ServesZoltaThroughItsExportedEntry) {
  LoadedLibrary library;
  std::string error;
  ASSERT_TRUE(load_library(ZOLTA_LIBRARY, library, error)) << error;
  {
    AvsEnvironment env;
    const auto init = reinterpret_cast<PluginInitFunc>(library.avs_init);
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(env.load_plugin(init), "`ZOLTA' plugin");
    ASSERT_TRUE(env.find_function("ZOLTA"));

    std::vector<BYTE> bytes(16 * 2 * 8);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(i * 7);
    auto source = new MemoryClip(env, make_video_info(16, 8), nullptr, 48);
    source->set_frames({bytes});
    PClip clip(source);
    TempFile zeros(vdub_settings("Config(0, 0, 0, 0, 0, 0, 0, 0, 0)"));
    AVSValue filter = env.call_with_clip("ZOLTA", clip, zeros.path());
    PVideoFrame out = filter.AsClip()->GetFrame(0, &env);
    EXPECT_EQ(std::vector<BYTE>(out->GetReadPtr(), out->GetReadPtr() + bytes.size()), bytes);

    EXPECT_EQ(error_of([&] { env.call_with_clip("ZOLTA", clip, nullptr); }),
              "ZOLTA:Can't open (no path given).");
    EXPECT_EQ(clip->RefCount(), 2);  // the test's handle and the filter's
  }
  unload_library(library);
}
