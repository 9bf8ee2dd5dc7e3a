// SPDX-License-Identifier: BSD-2-Clause
// The frei0r module in MLT's melt (the engine of Kdenlive and Shotcut): it is
// listed as frei0r.zolta with the table's parameters, and a clip through it
// gives the library's bytes, also with the consumer's worker threads.
#include <gtest/gtest.h>

#include <string>

#include "host_run.h"

namespace {

constexpr int kWidth = 64, kHeight = 48, kFrames = 4;

std::string with_path(const std::string& program) {
  return std::string("FREI0R_PATH='") + ZOLTA_FREI0R_DIR + "' " + program;
}

}  // namespace

TEST(Frei0rMelt, ListsTheFilterWithItsParameters) {
  std::string output;
  ASSERT_EQ(run_command(with_path("melt -query filter=frei0r.zolta"), &output), 0) << output;
  for (const char* line : {"identifier: frei0r.zolta", "title: sigma", "title: settings",
                           "title: view", "title: plane", "default: 0.2"})
    EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
}

TEST(Frei0rMelt, ClipGivesTheLibrarysBytes) {
  TempDir dir;
  Bytes frames = noisy_samples(size_t{kWidth} * kHeight * 4 * kFrames, 21);
  for (size_t i = 3; i < frames.size(); i += 4) frames[i] = 255;  // MLT keeps no alpha of a clip
  write_file(dir.path("in.raw"), frames);
  std::string output;
  ASSERT_EQ(
      run_command("ffmpeg -v error -nostdin -y -f rawvideo -pix_fmt bgra -s 64x48 -r 25 -i '" +
                      dir.path("in.raw") + "' -c:v rawvideo '" + dir.path("in.nut") + "'",
                  &output),
      0)
      << output;
  const struct {
    const char* params;
    zolta_settings settings;
    const char* consumer;
  } cases[] = {
      {"sigma=0.3", settings_for_noise(15, ZOLTA_FAMILY_RGB), ""},
      {"settings='Config(49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224)'",
       settings_for_config("Config(49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224)"),
       "real_time=-2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.params);
    // melt's worker threads now and then leave a file that ends before its
    // trailer (under load, also without this filter); such a file is made
    // again, up to three times. The bytes of every frame that is read must
    // be right.
    int decoded = 1;
    for (int attempt = 0; attempt < 3 && decoded != 0; ++attempt) {
      ASSERT_EQ(
          run_command(with_path("melt -quiet '" + dir.path("in.nut") + "' -filter frei0r.zolta " +
                                c.params + " -consumer avformat:'" + dir.path("out.nut") +
                                "' vcodec=rawvideo pix_fmt=bgra an=1 " + c.consumer),
                      &output),
          0)
          << output;
      decoded = run_command("ffmpeg -v error -nostdin -y -i '" + dir.path("out.nut") +
                                "' -f rawvideo -pix_fmt bgra '" + dir.path("out.raw") + "'",
                            &output);
    }
    ASSERT_EQ(decoded, 0) << output;
    Bytes got = read_file(dir.path("out.raw"));
    const size_t frame = size_t{kWidth} * kHeight * 4;
    // melt ends the clip at its own count; every frame it gives must be right.
    ASSERT_GE(got.size(), 2 * frame);
    ASSERT_EQ(got.size() % frame, 0u);
    const Bytes want = reference_bgra(frames, kWidth, kHeight, c.settings);
    EXPECT_TRUE(Bytes(want.begin(), want.begin() + static_cast<long>(got.size())) == got);
  }
}

// melt gives rows as they are, unpadded: any width the engine takes is
// denoised, and a size it refuses passes the frames through unchanged (with
// no instance melt would pass on its own buffer, red and blue swapped).
TEST(Frei0rMelt, EverySizeIsDenoisedOrPassesThroughUnchanged) {
  TempDir dir;
  const struct {
    int width, height;
    const char* message;  // empty: the library's bytes
  } cases[] = {
      {68, 48, ""},
      {62, 48, "got 62 x 48; frames pass through unchanged"},
  };
  for (const auto& c : cases) {
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    SCOPED_TRACE(size);
    Bytes frames = noisy_samples(size_t{static_cast<unsigned>(c.width)} * c.height * 4 * kFrames, 23);
    for (size_t i = 3; i < frames.size(); i += 4) frames[i] = 255;
    write_file(dir.path("in.raw"), frames);
    std::string output, said;
    ASSERT_EQ(run_command("ffmpeg -v error -nostdin -y -f rawvideo -pix_fmt bgra -s " + size +
                              " -r 25 -i '" + dir.path("in.raw") + "' -c:v rawvideo '" +
                              dir.path("in.nut") + "'",
                          &output),
              0)
        << output;
    // Made again when melt leaves a file without its trailer, as above, or
    // now and then stalls before its consumer starts (also without this
    // filter).
    int decoded = 1;
    for (int attempt = 0; attempt < 3 && decoded != 0; ++attempt) {
      if (run_command(with_path("timeout 60 melt -quiet '" + dir.path("in.nut") +
                                "' -filter frei0r.zolta -consumer avformat:'" +
                                dir.path("out.nut") + "' vcodec=rawvideo pix_fmt=bgra an=1"),
                      &said) != 0)
        continue;
      decoded = run_command("ffmpeg -v error -nostdin -y -i '" + dir.path("out.nut") +
                                "' -f rawvideo -pix_fmt bgra '" + dir.path("out.raw") + "'",
                            &output);
    }
    ASSERT_EQ(decoded, 0) << said << output;
    const Bytes got = read_file(dir.path("out.raw"));
    const size_t frame = size_t{static_cast<unsigned>(c.width)} * c.height * 4;
    ASSERT_GE(got.size(), 2 * frame);
    ASSERT_EQ(got.size() % frame, 0u);
    const Bytes want = *c.message ? frames
                                  : reference_bgra(frames, c.width, c.height,
                                                   settings_for_noise(10, ZOLTA_FAMILY_RGB));
    EXPECT_TRUE(Bytes(want.begin(), want.begin() + static_cast<long>(got.size())) == got);
    if (*c.message) {
      EXPECT_NE(said.find(c.message), std::string::npos) << said;
    } else {
      EXPECT_EQ(said.find("zolta:"), std::string::npos) << said;
    }
  }
}
