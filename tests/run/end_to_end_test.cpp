// zolta-run as users run it: files and pipes through both of the library's
// faces, every output compared with what the engine itself makes of the same
// input and settings.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "noise.h"
#include "picture.h"
#include "png_io.h"
#include "ppm_io.h"
#include "run_fixture.h"
#include "settings.h"
#include "test_files.h"
#include "test_support.h"
#include "y4m_io.h"

namespace {

const ConfigValues kSettings = {12336, 8224, 4112, 8224, 8224, 0, 65535, 4096, 16};
const char kSettingsText[] = "Config(12336, 8224, 4112, 8224, 8224, 0, 65535, 4096, 16)";

// The engine's settings for these Config values.
ref::Settings with_thresholds(const ConfigValues& values) {
  ref::Settings settings;
  int32_t* t = &settings.thresholds[0][0];
  for (int k = 0; k < 9; ++k) {
    t[2 * k] = values[k] >> 8;
    t[2 * k + 1] = values[k] & 255;
  }
  return settings;
}

std::vector<uint8_t> engine_rgb(const RgbPicture& in, const ref::Settings& settings) {
  Instance inst(in.width, in.height, false);
  inst.apply(settings);
  std::vector<uint32_t> src(static_cast<size_t>(in.width) * in.height), dst(src.size());
  picture_to_rgb32(in, src.data());
  inst.run(src.data(), in.width, dst.data());
  RgbPicture out;
  rgb32_to_picture(dst.data(), in.width, in.height, out);
  return out.rgb;
}

// One planar 4:2:2 frame through the engine's YUY2 pipeline.
std::vector<uint8_t> engine_y4m(const std::vector<uint8_t>& planes, int width, int height,
                                const ConfigValues& values) {
  Instance inst(width, height, true);
  inst.apply(with_thresholds(values));
  std::vector<uint32_t> src(static_cast<size_t>(width) * height / 2), dst(src.size());
  planar422_to_yuy2(planes.data(), width, height, reinterpret_cast<uint8_t*>(src.data()),
                    width * 2);
  inst.run(src.data(), width / 2, dst.data());
  std::vector<uint8_t> out(planes.size());
  yuy2_to_planar422(reinterpret_cast<uint8_t*>(dst.data()), width * 2, width, height, out.data());
  return out;
}

// A processing-settings file as VirtualDub saves it, holding kSettingsText.
void write_settings_file(const std::string& path) {
  write_file(path,
             "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\n"
             "VirtualDub.video.filters.instance[0]." +
                 std::string(kSettingsText) + ";\n");
}

struct Y4mClip {
  std::string header;  // the whole header line with its '\n'
  int width, height;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<std::string> frame_fields;
};

std::string y4m_bytes(const Y4mClip& clip) {
  std::string s = clip.header;
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    s += "FRAME" + clip.frame_fields[i] + "\n";
    s.append(clip.frames[i].begin(), clip.frames[i].end());
  }
  return s;
}

}  // namespace

TEST_F(ZoltaRun, RgbPicturesGoThroughTheVirtualDubFilterAsTheEngineFiltersThem) {
  const RgbPicture picture = test_picture(64, 48, 1);
  write_file(path("in.png"), png_file_bytes(picture));
  ASSERT_EQ(run("$Z --config '" + std::string(kSettingsText) + "' in.png out.png"), 0) << stderr_;
  EXPECT_EQ(stderr_, "");  // no progress line when standard error is not a terminal
  EXPECT_EQ(stdout_, "");
  EXPECT_TRUE(decode_png_file(path("out.png")).rgb ==
              engine_rgb(picture, with_thresholds(kSettings)));

  // Without settings every threshold is 0: the colour round trip is exact.
  ASSERT_EQ(run("$Z in.png plain.png"), 0) << stderr_;
  EXPECT_TRUE(decode_png_file(path("plain.png")).rgb == picture.rgb);

  // A settings file saved by VirtualDub gives the same as --config.
  write_settings_file(path("s.vcf"));
  ASSERT_EQ(run("$Z --vcf s.vcf in.png vcf.png"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("vcf.png")) == read_file(path("out.png")));

  // Several PPM pictures in one stream, one of another size, through a pipe.
  const std::vector<RgbPicture> pictures = {test_picture(32, 16, 2), test_picture(32, 16, 3),
                                            test_picture(16, 24, 4)};
  write_file(path("in.ppm"), ppm_file_bytes(pictures));
  ASSERT_EQ(run("cat in.ppm | $Z --config '" + std::string(kSettingsText) + "' - - > out.ppm"), 0)
      << stderr_;
  const std::vector<RgbPicture> out = decode_ppm_file(path("out.ppm"));
  ASSERT_EQ(out.size(), pictures.size());
  for (size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].width, pictures[i].width);
    EXPECT_TRUE(out[i].rgb == engine_rgb(pictures[i], with_thresholds(kSettings)))
        << "picture " << i;
  }
}

TEST_F(ZoltaRun, ViewsOfTheVirtualDubFilterMatchTheEngine) {
  const RgbPicture picture = test_picture(32, 24, 5);
  write_file(path("in.png"), png_file_bytes(picture));
  const std::string settings = " --config '" + std::string(kSettingsText) + "' ";
  const struct {
    const char* options;
    View view;  // mode, show_plane, plane, enabled
  } cases[] = {
      {"--mode diff", {Diff, 0, 0, 1}},
      {"--mode high --plane cb", {High, 0, 1, 1}},
      {"--show-plane --plane cr", {Normal, 1, 2, 1}},
      {"--mode=normal --show-plane", {Normal, 1, 0, 1}},
      {"--off --mode diff", {Diff, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(run("$Z" + settings + c.options + " in.png out.png"), 0) << c.options << stderr_;
    EXPECT_TRUE(decode_png_file(path("out.png")).rgb ==
                engine_rgb(picture, with_view(with_thresholds(kSettings), c.view)))
        << c.options;
  }
  // Switched off, the picture passes unchanged.
  ASSERT_EQ(run("$Z" + settings + "--off in.png off.png"), 0);
  EXPECT_TRUE(decode_png_file(path("off.png")).rgb == picture.rgb);
}

TEST_F(ZoltaRun, Y4mStreamsGoThroughTheAviSynthFunctionAsTheEngineFiltersThem) {
  Y4mClip clip;
  clip.header = "YUV4MPEG2 W48 H32 F30000:1001 It A1:1 C422 XYSCSS=422\n";
  clip.width = 48;
  clip.height = 32;
  for (int f = 0; f < 3; ++f) {
    clip.frames.push_back(noisy_bytes(48 * 32 * 2, 10 + f));
    clip.frame_fields.push_back(f == 1 ? " Ib" : "");
  }
  write_file(path("in.y4m"), y4m_bytes(clip));

  Y4mClip expected = clip;
  for (auto& frame : expected.frames) frame = engine_y4m(frame, 48, 32, kSettings);
  ASSERT_EQ(run("$Z --config '" + std::string(kSettingsText) + "' in.y4m out.y4m"), 0) << stderr_;
  EXPECT_EQ(stderr_, "");
  EXPECT_TRUE(read_file(path("out.y4m")) == y4m_bytes(expected));  // header and frame lines kept

  // Standard input and output; the plugin reads a saved settings file itself.
  write_settings_file(path("s.vcf"));
  ASSERT_EQ(run("cat in.y4m | $Z --vcf s.vcf - - > piped.y4m"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("piped.y4m")) == y4m_bytes(expected));

  // On a terminal, standard error carries the progress line.
  if (std::system("script -V >/dev/null 2>&1") == 0) {
    ASSERT_EQ(run("script -qec \"$Z --vcf s.vcf in.y4m tty.y4m\" /dev/null"), 0) << stdout_;
    EXPECT_NE(stdout_.find("zolta-run: 3 frames,"), std::string::npos) << stdout_;
    EXPECT_NE(stdout_.find(" fps"), std::string::npos) << stdout_;
    EXPECT_TRUE(read_file(path("tty.y4m")) == y4m_bytes(expected));
  }

  // No settings: thresholds 0, and the planes come back as they went in.
  ASSERT_EQ(run("$Z in.y4m plain.y4m"), 0) << stderr_;
  Y4mClip plain = clip;
  for (auto& frame : plain.frames) frame = engine_y4m(frame, 48, 32, ConfigValues{});
  EXPECT_TRUE(read_file(path("plain.y4m")) == y4m_bytes(plain));
}

TEST_F(ZoltaRun, FailuresSayWhatIsWrongAndLeaveNoOutput) {
  write_file(path("w12.png"), png_file_bytes(test_picture(12, 8, 1)));
  write_file(path("h12.png"), png_file_bytes(test_picture(16, 12, 1)));
  write_file(path("w20.y4m"), "YUV4MPEG2 W20 H16 F25:1 C422\nFRAME\n" + std::string(640, 'x'));
  write_file(path("c420.y4m"), "YUV4MPEG2 W16 H16 F25:1 C420jpeg\nFRAME\n" + std::string(384, 'x'));
  write_file(path("ok.y4m"), "YUV4MPEG2 W16 H16 F25:1 C422\nFRAME\n" + std::string(512, 'x'));
  write_file(path("cut.y4m"), read_file(path("ok.y4m")) + "FRAME\n" + std::string(100, 'x'));
  const std::string ppm = ppm_file_bytes({test_picture(16, 8, 1), test_picture(16, 8, 2)});
  write_file(path("cut.ppm"), ppm.substr(0, ppm.size() - 5));
  write_file(path("p16.ppm"), "P6\n16 8\n65535\n" + std::string(16 * 8 * 6, 'x'));
  write_file(path("text.txt"), "hello\n");
  write_file(path("empty"), "");
  write_file(path("nokey.vcf"), "VirtualDub.video.filters.Add(\"other\");\n");
  write_file(path("ok.png"), png_file_bytes(test_picture(16, 8, 1)));

  const struct {
    const char* command;
    const char* message;
  } cases[] = {
      {"$Z w12.png out",
       "the picture is 12 x 8: the filter needs a width and a height that are "
       "multiples of 8 (picture 1)"},
      {"$Z h12.png out", "16 x 12"},
      {"$Z w20.y4m out", "20 x 16"},
      {"$Z c420.y4m out", "only C422"},
      {"$Z cut.y4m out", "truncated"},
      {"$Z cut.ppm out", "truncated"},
      {"$Z p16.ppm out", "only 8-bit PPM"},
      {"$Z text.txt out", "unrecognised input"},
      {"$Z empty out", "empty"},
      {"$Z missing.png out", "missing.png"},
      {"$Z --mode diff ok.y4m out", "no views"},
      {"$Z --vcf missing.vcf ok.y4m out", "cannot open settings file \"missing.vcf\""},
      {"$Z --vcf nokey.vcf ok.y4m out", "quilmer"},
      {"$Z --vcf nokey.vcf ok.png out", "quilmer"},
      {"$Z --config 'Config(1, 2)' ok.png out", "nine integers"},
      {"$Z --frobnicate ok.png out", "unknown option"},
      {"$Z ok.png", "INPUT and OUTPUT"},
      {"$Z ok.png /nonexistent-dir/out.png", "/nonexistent-dir/out.png"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(run(c.command), 0) << c.command;
    EXPECT_NE(stderr_.find(c.message), std::string::npos) << c.command << ": " << stderr_;
    EXPECT_EQ(std::count(stderr_.begin(), stderr_.end(), '\n'), 1) << c.command << ": " << stderr_;
    EXPECT_FALSE(exists(path("out"))) << c.command;
    EXPECT_FALSE(leftovers()) << c.command;
  }

  // A failing run leaves an existing output as it was.
  write_file(path("keep.png"), "old");
  EXPECT_NE(run("$Z w12.png keep.png"), 0);
  EXPECT_EQ(read_file(path("keep.png")), "old");
}

TEST_F(ZoltaRun, DemoDenoisesTheBundledPhotographAndReportsPsnr) {
  ASSERT_EQ(run("$Z --demo --out-dir pictures"), 0) << stderr_;
  double before = 0, after = 0;
  const size_t at_before = stdout_.find("PSNR noisy:");
  const size_t at_after = stdout_.find("PSNR denoised:");
  ASSERT_NE(at_before, std::string::npos) << stdout_;
  ASSERT_NE(at_after, std::string::npos) << stdout_;
  before = std::atof(stdout_.c_str() + at_before + 11);
  after = std::atof(stdout_.c_str() + at_after + 14);
  EXPECT_NEAR(before, 28.3, 0.5);  // sigma 10, a little less after clamping
  EXPECT_GT(after, before + 3.0);
  const RgbPicture noisy = decode_png_file(path("pictures/astronaut-noisy.png"));
  const RgbPicture denoised = decode_png_file(path("pictures/astronaut-denoised.png"));
  EXPECT_EQ(noisy.width, 512);
  EXPECT_EQ(denoised.height, 512);
  EXPECT_NE(stdout_.find("pictures/astronaut-denoised.png"), std::string::npos);
  // The same seed gives the same noise.
  ASSERT_EQ(run("$Z --demo --out-dir again"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("again/astronaut-noisy.png")) ==
              read_file(path("pictures/astronaut-noisy.png")));
}

TEST_F(ZoltaRun, WorksBetweenFfmpegPipes) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "ffmpeg is not installed";
  }
  ASSERT_EQ(run("ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=25 -frames:v 4 "
                "-pix_fmt yuv422p -f yuv4mpegpipe clip.y4m"),
            0)
      << stderr_;
  write_settings_file(path("s.vcf"));
  ASSERT_EQ(run("ffmpeg -v error -i clip.y4m -f yuv4mpegpipe -pix_fmt yuv422p - | "
                "$Z --vcf s.vcf - - | "
                "ffmpeg -v error -i - -f rawvideo -pix_fmt yuv422p out.yuv"),
            0)
      << stderr_;
  ByteReader reader;
  std::string error;
  ASSERT_TRUE(open_reader(reader, path("clip.y4m"), error)) << error;
  Y4mHeader header;
  ASSERT_TRUE(read_y4m_header(reader, header, error)) << error;
  std::string expected;
  Y4mFrame frame;
  while (read_y4m_frame(reader, header, frame, error) == ReadResult::Frame) {
    const std::vector<uint8_t> out = engine_y4m(frame.planes, 64, 48, kSettings);
    expected.append(out.begin(), out.end());
  }
  close_reader(reader);
  EXPECT_EQ(expected.size(), 4u * 64 * 48 * 2);
  EXPECT_TRUE(read_file(path("out.yuv")) == expected);
}
