// SPDX-License-Identifier: BSD-2-Clause
// The frei0r module's measured noise and noise profiles: sigma_auto takes the
// model of the first frame an instance gets and keeps it; a profile gives its
// model's settings; what is refused lets frames pass through unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frei0r_module.h"
#include "host_run.h"

namespace {

constexpr int kWidth = 96, kHeight = 64;
constexpr size_t kFrame = size_t{kWidth} * kHeight * 4;

Bytes frame_of(const Bytes& clip, int n) {
  return Bytes(clip.begin() + static_cast<std::ptrdiff_t>(kFrame) * n,
               clip.begin() + static_cast<std::ptrdiff_t>(kFrame) * (n + 1));
}

}  // namespace

TEST(Frei0rNoise, AutoProfileAndRefusalsGiveTheLibrarysBytes) {
  Frei0rModule m;
  ASSERT_TRUE(m.load()) << dlerror();
  const int sigma_auto = m.index("sigma_auto"), profile = m.index("profile"),
            settings_text = m.index("settings");
  ASSERT_GE(sigma_auto, 0);
  ASSERT_GE(profile, 0);
  TempDir dir;
  const std::string path = dir.path("camera.profile");
  const zolta_settings from_profile = write_test_profile(path, ZOLTA_FAMILY_RGB);
  // Three frames of a clip and the same clip started one frame later.
  const Bytes clip = noisy_samples(kFrame * 4, 61);
  const Bytes later(clip.begin() + static_cast<std::ptrdiff_t>(kFrame), clip.end());
  const std::string missing = dir.path("none.profile");

  struct Case {
    const char* what;
    bool automatic;
    const std::string* profile;
    const char* settings;
    const Bytes* frames;
    // The expected frames: the settings of the first frame's model, the
    // profile's, or the input itself (refused).
    enum { kFirstFrame, kProfile, kInput } expect;
  };
  const Case cases[] = {
      {"auto", true, nullptr, nullptr, &clip, Case::kFirstFrame},
      {"auto from a later first frame", true, nullptr, nullptr, &later, Case::kFirstFrame},
      {"profile", false, &path, nullptr, &clip, Case::kProfile},
      {"profile takes the place of auto", true, &path, nullptr, &clip, Case::kProfile},
      {"unreadable profile", false, &missing, nullptr, &clip, Case::kInput},
      {"profile and a settings text", false, &path, "Config(1, 2, 3, 4, 5, 6, 7, 8, 9)", &clip,
       Case::kInput},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    f0r_instance_t instance = m.construct(kWidth, kHeight);
    ASSERT_NE(instance, nullptr);
    double on = c.automatic ? 1.0 : 0.0;
    m.set_value(instance, &on, sigma_auto);
    const char* text = c.profile ? c.profile->c_str() : "";
    m.set_value(instance, &text, profile);
    const char* settings = c.settings ? c.settings : "";
    m.set_value(instance, &settings, settings_text);
    const int frames = static_cast<int>(c.frames->size() / kFrame);
    const zolta_settings expected = c.expect == Case::kProfile
                                        ? from_profile
                                        : settings_of_bgra_model(*c.frames, kWidth, kHeight, 1);
    for (int n = 0; n < frames; ++n) {
      const Bytes in = frame_of(*c.frames, n);
      Bytes out(kFrame);
      m.update(instance, n, reinterpret_cast<const uint32_t*>(in.data()),
               reinterpret_cast<uint32_t*>(out.data()));
      const Bytes want =
          c.expect == Case::kInput ? in : reference_bgra(in, kWidth, kHeight, expected);
      EXPECT_TRUE(out == want) << "frame " << n;
    }
    m.destruct(instance);
  }
  dlclose(m.handle);
}
