// SPDX-License-Identifier: BSD-2-Clause
#include <cstring>
#include <filesystem>

#include "avs_face.h"
#include "avs_test_support.h"

namespace {

const std::string kSixteens =
    vdub_settings("Config(4112, 4112, 4112, 4112, 4112, 4112, 4112, 4112, 4112)");

int open_files() {
  int n = 0;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd");
       it != std::filesystem::directory_iterator(); ++it)
    ++n;
  return n;
}

struct Fixture {
  AvsEnvironment env;
  Fixture() { env.load_plugin(face_plugin_entry()); }
  // ZOLTA(clip, path) on a fresh source; returns the message raised or "".
  std::string refusal(int width, int height, unsigned char type, const char* path) {
    auto log = std::make_shared<ClipLog>();
    std::string message;
    {
      PClip source = new MemoryClip(env, make_video_info(width, height, type), log);
      message = error_of([&] { env.call_with_clip("ZOLTA", source, path); });
      EXPECT_EQ(source->RefCount(), 1) << message;  // the test's handle only
    }
    EXPECT_EQ(log->destroyed, 1) << message;
    return message;
  }
};

}  // namespace

TEST(PluginEntry, RegistersZoltaOnceAndDescribesItself) {
  AvsEnvironment env;
  EXPECT_EQ(env.load_plugin(face_plugin_entry()), "`ZOLTA' plugin");
  ASSERT_EQ(env.functions().size(), 1u);
  const RegisteredFunction& f = env.functions()[0];
  EXPECT_EQ(f.name, "ZOLTA");
  EXPECT_EQ(f.params, "c[path]s");
  EXPECT_EQ(f.apply, face_create_function());
  EXPECT_EQ(f.user_data, nullptr);
}

TEST(CreateFilter, BuildsAYuy2FilterWithTheFileThresholdsAndDefaults) {
  Fixture fx;
  TempFile file(kSixteens);
  auto log = std::make_shared<ClipLog>();
  VideoInfo vi = make_video_info(720, 480);
  vi.audio_samples_per_second = 48000;
  vi.num_audio_samples = 1234;
  vi.stereo = true;
  PClip source = new MemoryClip(fx.env, vi, log);
  {
    AVSValue result = fx.env.call_with_clip("ZOLTA", source, file.path());
    ASSERT_NE(state_of(result), nullptr);
    IClip* filter = result.AsClip().get();
    EXPECT_EQ(filter->RefCount(), 1);
    EXPECT_EQ(source->RefCount(), 2);
    EXPECT_EQ(std::memcmp(&filter->GetVideoInfo(), &vi, sizeof vi), 0);
    EXPECT_EQ(filter->GetVersion(), 1);
    const zolta::FilterState& s = *state_of(result);
    for (auto& plane : s.thresholds)
      for (int v : plane) EXPECT_EQ(v, 16);
    EXPECT_EQ(s.yuy2, 1);
    EXPECT_EQ(s.mode, zolta::Normal);
    EXPECT_EQ(s.enabled, 1);
    EXPECT_EQ(s.show_plane, 0);
    EXPECT_EQ(s.plane, 0);
    EXPECT_EQ(s.width, 720);
    EXPECT_EQ(s.height, 480);
    EXPECT_NE(s.plane_block, nullptr);
  }
  // The last handle on the filter gives back its reference to the source.
  EXPECT_EQ(source->RefCount(), 1);
  EXPECT_EQ(log->destroyed, 0);
  source = PClip();
  EXPECT_EQ(log->destroyed, 1);
}

TEST(CreateFilter, RefusesInTheOrderOfItsChecksAndReleasesTheSourceEachTime) {
  Fixture fx;
  TempFile good(kSixteens);
  TempFile no_key("VirtualDub.video.filters.Add(\"Quilmer (0.1)\");\r\n");
  TempFile empty("");
  TempFile cut(
      "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\r\n"
      "VirtualDub.video.filters.instance[0].Config(4112, 4112);\r\n");
  const std::string missing = std::string(good.path()) + ".missing";
  const int files_before = open_files();

  EXPECT_EQ(fx.refusal(722, 480, kPixelBGR32, missing.c_str()), "ZOLTA:Illegal width size.");
  EXPECT_EQ(fx.refusal(722, 486, kPixelYUY2, good.path()), "ZOLTA:Illegal width size.");
  EXPECT_EQ(fx.refusal(0, 480, kPixelYUY2, good.path()), "ZOLTA:Illegal width size.");
  EXPECT_EQ(fx.refusal(-8, 480, kPixelYUY2, good.path()), "ZOLTA:Illegal width size.");
  EXPECT_EQ(fx.refusal(720, 486, kPixelBGR32, missing.c_str()), "ZOLTA:Illegal height size.");
  EXPECT_EQ(fx.refusal(720, 0, kPixelYUY2, good.path()), "ZOLTA:Illegal height size.");
  EXPECT_EQ(fx.refusal(720, 480, kPixelBGR32, missing.c_str()),
            "ZOLTA:Can't open " + missing + ".");
  EXPECT_EQ(fx.refusal(720, 480, kPixelYUY2, nullptr), "ZOLTA:Can't open (no path given).");
  EXPECT_EQ(fx.refusal(720, 480, kPixelYUY2, ""), "ZOLTA:Can't open .");  // given, if empty
  EXPECT_EQ(fx.refusal(720, 480, kPixelBGR32, no_key.path()), "ZOLTA:Invalid vcf file.");
  EXPECT_EQ(fx.refusal(720, 480, kPixelYUY2, empty.path()), "ZOLTA:Invalid vcf file.");
  EXPECT_EQ(fx.refusal(720, 480, kPixelYUY2, cut.path()), "ZOLTA:Invalid vcf file.");
  EXPECT_EQ(fx.refusal(720, 480, kPixelBGR32, good.path()), "ZOLTA:YUY2 data only");
  EXPECT_EQ(fx.refusal(720, 480, kPixelBGR24, good.path()), "ZOLTA:YUY2 data only");
  // Frames larger than any frame of the host interface are refused, once
  // the checks above have passed: they keep their own order and messages.
  EXPECT_EQ(fx.refusal(2147483640, 2147483640, kPixelYUY2, good.path()),
            "ZOLTA:Frame size too large.");
  EXPECT_EQ(fx.refusal(65536, 16384, kPixelYUY2, good.path()), "ZOLTA:Frame size too large.");
  EXPECT_EQ(fx.refusal(65536, 16384, kPixelYUY2, missing.c_str()),
            "ZOLTA:Can't open " + missing + ".");
  EXPECT_EQ(fx.refusal(65536, 16384, kPixelYUY2, no_key.path()), "ZOLTA:Invalid vcf file.");
  EXPECT_EQ(fx.refusal(65536, 16384, kPixelBGR32, good.path()), "ZOLTA:YUY2 data only");

  // The settings file is closed on every path.
  EXPECT_EQ(open_files(), files_before);
}

TEST(CreateFilter, PutsThePathIntoTheMessageAsItStands) {
  Fixture fx;
  const std::string dir = std::filesystem::temp_directory_path().string();
  const std::string percent = dir + "/zolta-%s%d%n-%%.vcf";
  EXPECT_EQ(fx.refusal(16, 8, kPixelYUY2, percent.c_str()), "ZOLTA:Can't open " + percent + ".");
  // Far longer than any fixed message buffer: never cut, never overrun.
  const std::string longer = dir + "/" + std::string(3000, 'p') + "\xc3\xa9.vcf";
  EXPECT_EQ(fx.refusal(16, 8, kPixelYUY2, longer.c_str()), "ZOLTA:Can't open " + longer + ".");
}

TEST(CreateFilter, RefusesArgumentsThatHoldNoClip) {
  Fixture fx;
  TempFile good(kSixteens);
  const AVSValue args[2] = {AVSValue(3), AVSValue(good.path())};
  EXPECT_EQ(error_of([&] { fx.env.call("ZOLTA", args, 2); }),
            "ZOLTA:The first argument must be a clip.");
  EXPECT_EQ(error_of([&] { fx.env.call("ZOLTA", nullptr, 0); }),
            "ZOLTA:The first argument must be a clip.");
  // A path that is not a string counts as no path.
  PClip source = new MemoryClip(fx.env, make_video_info(16, 8));
  const AVSValue with_number[2] = {AVSValue(source), AVSValue(5)};
  EXPECT_EQ(error_of([&] { fx.env.call("ZOLTA", with_number, 2); }),
            "ZOLTA:Can't open (no path given).");
}
