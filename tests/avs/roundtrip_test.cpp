// SPDX-License-Identifier: BSD-2-Clause
// Settings saved by the VirtualDub side come back unchanged under AviSynth.
#include <cstring>
#include <random>

#include "avs_face.h"
#include "avs_test_support.h"
#include "filter_state.h"
#include "script_config.h"

namespace {

// The "Config(...)" text the VirtualDub side writes for these thresholds.
std::string config_call(const int32_t (&thresholds)[3][6]) {
  zolta::FilterState state{};
  zolta::init_defaults(state);
  std::memcpy(state.thresholds, thresholds, sizeof state.thresholds);
  FilterActivation fa{};
  fa.filter_data = &state;
  char text[128];
  EXPECT_TRUE(script_string_proc(&fa, nullptr, text, sizeof text));
  return text;
}

// A chain of three filters as VirtualDub saves it, ours in the middle.
std::string saved_chain(const std::string& call, const char* line_end) {
  const std::string e = line_end;
  return "VirtualDub.audio.SetSource(1);" + e + "VirtualDub.video.filters.Clear();" + e +
         "VirtualDub.video.filters.Add(\"resize\");" + e +
         "VirtualDub.video.filters.instance[0].Config(320,240,0);" + e +
         "VirtualDub.video.filters.Add(\"quilmer (0.1)\");" + e +
         "VirtualDub.video.filters.instance[1]." + call + ";" + e +
         "VirtualDub.video.filters.Add(\"quilmer (0.1)\");" + e +
         "VirtualDub.video.filters.instance[2].Config(0, 0, 0, 0, 0, 0, 0, 0, 0);" + e +
         "VirtualDub.audio.filters.Clear();" + e;
}

}  // namespace

TEST(SettingsRoundTrip, ThresholdsSavedByVirtualDubAreReadBackByZolta) {
  std::mt19937 rng(7);
  AvsEnvironment env;
  env.load_plugin(face_plugin_entry());
  PClip source = new MemoryClip(env, make_video_info(16, 8));
  for (int trial = 0; trial < 12; ++trial) {
    int32_t saved[3][6];
    for (auto& plane : saved)
      for (auto& v : plane)
        v = trial == 0 ? 255 : trial == 1 ? 0 : static_cast<int32_t>(rng() % 256);
    const std::string call = config_call(saved);
    TempFile file(saved_chain(call, trial % 2 ? "\n" : "\r\n"));
    AVSValue filter = env.call_with_clip("ZOLTA", source, file.path());
    ASSERT_NE(state_of(filter), nullptr);
    for (int p = 0; p < 3; ++p)
      for (int i = 0; i < 6; ++i)
        EXPECT_EQ(state_of(filter)->thresholds[p][i], saved[p][i]) << call;
  }
}
