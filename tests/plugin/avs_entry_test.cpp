// SPDX-License-Identifier: BSD-2-Clause
// zolta-plugin's AviSynth+ entries where no complete host is loaded: both
// entries register nothing and return the text the host shows, naming what
// was looked for and not found.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "avsplus_interface.h"
#include "library.h"
#include "plugin_module.h"

namespace {

#if defined(_WIN32) && !defined(_WIN64)
const char* const kEntries[] = {"_avisynth_c_plugin_init2@4", "_avisynth_c_plugin_init@4"};
#else
const char* const kEntries[] = {"avisynth_c_plugin_init2", "avisynth_c_plugin_init"};
#endif

// What each entry returns; the environment is never touched without a host.
std::vector<std::string> entry_texts() {
  PluginModule module;
  std::string error;
  std::vector<std::string> texts;
  if (!open_plugin_module(plugin_path_beside_executable(), module, error)) {
    ADD_FAILURE() << error;
    return texts;
  }
  for (const char* name : kEntries) {
    auto entry =
        reinterpret_cast<AvsPlusPluginEntry>(find_plugin_export(module, &name, 1, nullptr));
    if (!entry) {
      ADD_FAILURE() << "no export " << name;
      continue;
    }
    const char* text = entry(nullptr);
    texts.push_back(text ? text : "(null)");
  }
  close_plugin_module(module);
  return texts;
}

TEST(AvsEntries, WithoutAHostLibrarySayWhatWasLookedFor) {
#ifdef _WIN32
  const std::string expected =
      "zolta: ZoltaDenoise is not available: no AviSynth+ library is loaded in this process "
      "(looked for AviSynth.dll)";
#else
  const std::string expected =
      "zolta: ZoltaDenoise is not available: no AviSynth+ library is loaded in this process "
      "(looked for libavisynth.so.12 down to libavisynth.so.8, then any loaded library exporting "
      "avs_add_function)";
#endif
  const std::vector<std::string> texts = entry_texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], expected);
  EXPECT_EQ(texts[1], expected);
}

#ifndef _WIN32
// A loaded library that exports avs_add_function but not the rest, opened
// with local scope under a name that is no AviSynth+ soname: the search
// finds it, and the entries name the first function it lacks.
TEST(AvsEntries, WithAnIncompleteHostNameWhatIsMissing) {
  PluginModule partial;
  std::string error;
  ASSERT_TRUE(open_plugin_module(executable_directory() + "libzolta_avsplus_partial_host.so",
                                 partial, error))
      << error;
  const std::vector<std::string> texts = entry_texts();
  close_plugin_module(partial);
  ASSERT_EQ(texts.size(), 2u);
  const std::string expected =
      "zolta: ZoltaDenoise is not available: the AviSynth+ library in this process does not "
      "provide avs_check_version";
  EXPECT_EQ(texts[0], expected);
  EXPECT_EQ(texts[1], expected);
}
#endif

}  // namespace
