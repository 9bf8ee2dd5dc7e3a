// SPDX-License-Identifier: BSD-2-Clause
// zolta-run as users run it: files and pipes of every format through the
// library's public interface. 8-bit RGB pictures and 8-bit 4:2:2 streams are
// compared with what the engine's legacy paths (32-bit RGB, YUY2) make of
// the same input and settings; every output is the same for any number of
// threads.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

std::vector<uint8_t> engine_rgb(const Picture& in, const ref::Settings& settings) {
  Instance inst(in.width, in.height, false);
  inst.apply(settings);
  std::vector<uint32_t> src(static_cast<size_t>(in.width) * in.height), dst(src.size());
  picture_to_rgb32(in, src.data());
  inst.run(src.data(), in.width, dst.data());
  Picture out;
  rgb32_to_picture(dst.data(), in.width, in.height, out);
  return out.samples;
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

// A YUV4MPEG2 clip of noisy frames in any layout: `bytes` bytes a frame.
Y4mClip noisy_clip(const std::string& header, int width, int height, size_t bytes, int frames,
                   uint64_t seed) {
  Y4mClip clip;
  clip.header = header;
  clip.width = width;
  clip.height = height;
  for (int f = 0; f < frames; ++f) {
    clip.frames.push_back(noisy_bytes(bytes, seed + f));
    clip.frame_fields.push_back(f % 3 == 1 ? " Ib XNOTE=kept" : "");
  }
  return clip;
}

// A YUV4MPEG2 stream of `frames` frames of the same bytes after `header`.
std::string repeated_clip(const char* header, const std::vector<uint8_t>& frame, int frames) {
  std::string clip = header;
  for (int f = 0; f < frames; ++f) {
    clip += "FRAME\n";
    clip.append(frame.begin(), frame.end());
  }
  return clip;
}

// A stream of one small frame of 16-bit 4:4:4: the memory of a run beyond
// its frames.
const std::string kSmallClip =
    "YUV4MPEG2 W16 H16 F25:1 C444p16\nFRAME\n" + std::string(16 * 16 * 6, '\1');

// AddressSanitizer's shadow memory and quarantine add a fixed amount that
// says nothing about frames held: under it, peaks are compared only with
// each other.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOLTA_TEST_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(ZOLTA_TEST_UNDER_ASAN)
constexpr bool kPeaksInKilobytes = false;
#else
constexpr bool kPeaksInKilobytes = true;
#endif

// The peak resident size (kB) of one zolta-run in `dir`, which must succeed.
long peak_of_run(const std::vector<std::string>& args, const std::string& dir) {
  RunChild child = start_zolta_run(args, dir, dir);
  EXPECT_GT(child.pid, 0);
  close(child.input);
  long peak = 0;
  const int status = wait_child(child.pid, &peak);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << args.back();
  return peak;
}

}  // namespace

// kSettings as --thresholds takes them: [plane][direction][level].
std::string thresholds_option(const ConfigValues& values) {
  std::string text;
  for (int p = 0; p < 3; ++p)
    for (int d = 0; d < 2; ++d)
      for (int l = 0; l < 3; ++l) {
        const int32_t v = values[p * 3 + l];
        text += (text.empty() ? "" : ",") + std::to_string(d == 0 ? v >> 8 : v & 255);
      }
  return text;
}

TEST_F(ZoltaRun, RgbPicturesGiveTheBytesOfThe32BitRgbPath) {
  const Picture picture = test_picture(64, 48, 1);
  write_file(path("in.png"), png_file_bytes(picture));
  ASSERT_EQ(run("$Z --config '" + std::string(kSettingsText) + "' in.png out.png"), 0) << stderr_;
  EXPECT_EQ(stderr_, "");  // no progress line when standard error is not a terminal
  EXPECT_EQ(stdout_, "");
  EXPECT_TRUE(decode_png_file(path("out.png")).samples ==
              engine_rgb(picture, with_thresholds(kSettings)));

  // Without settings every threshold is 0: the colour round trip is exact.
  ASSERT_EQ(run("$Z in.png plain.png"), 0) << stderr_;
  EXPECT_TRUE(decode_png_file(path("plain.png")).samples == picture.samples);

  // A settings file saved by VirtualDub, and the same thresholds given one by
  // one, give the same as --config.
  write_settings_file(path("s.vcf"));
  ASSERT_EQ(run("$Z --vcf s.vcf in.png vcf.png"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("vcf.png")) == read_file(path("out.png")));
  ASSERT_EQ(run("$Z --thresholds " + thresholds_option(kSettings) + " in.png t.png"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("t.png")) == read_file(path("out.png")));

  // Several PPM pictures in one stream, one of another size, through a pipe,
  // with any number of threads.
  const std::vector<Picture> pictures = {test_picture(32, 16, 2), test_picture(32, 16, 3),
                                         test_picture(16, 24, 4), test_picture(32, 16, 5)};
  write_file(path("in.ppm"), ppm_file_bytes(pictures));
  for (int threads : {1, 2, 4}) {
    const std::string out = "out" + std::to_string(threads) + ".ppm";
    ASSERT_EQ(run("cat in.ppm | $Z --threads " + std::to_string(threads) + " --config '" +
                  kSettingsText + "' - - > " + out),
              0)
        << stderr_;
    const std::vector<Picture> got = decode_ppm_file(path(out));
    ASSERT_EQ(got.size(), pictures.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].width, pictures[i].width);
      EXPECT_TRUE(got[i].samples == engine_rgb(pictures[i], with_thresholds(kSettings)))
          << "picture " << i << ", " << threads << " threads";
    }
  }
}

TEST_F(ZoltaRun, ViewsMatchTheEngine) {
  const Picture picture = test_picture(32, 24, 5);
  write_file(path("in.png"), png_file_bytes(picture));
  const std::string settings = " --config '" + std::string(kSettingsText) + "' ";
  const struct {
    const char* options;
    View view;  // mode, show_plane, plane, enabled
  } cases[] = {
      {"--mode diff", {zolta::Diff, 0, 0, 1}},
      {"--mode high --plane cb", {zolta::High, 0, 1, 1}},
      {"--show-plane --plane cr", {zolta::Normal, 1, 2, 1}},
      {"--mode=normal --show-plane", {zolta::Normal, 1, 0, 1}},
      {"--off --mode diff", {zolta::Diff, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(run("$Z" + settings + c.options + " in.png out.png"), 0) << c.options << stderr_;
    EXPECT_TRUE(decode_png_file(path("out.png")).samples ==
                engine_rgb(picture, with_view(with_thresholds(kSettings), c.view)))
        << c.options;
  }
  // Switched off, the picture passes unchanged.
  ASSERT_EQ(run("$Z" + settings + "--off in.png off.png"), 0);
  EXPECT_TRUE(decode_png_file(path("off.png")).samples == picture.samples);
}

TEST_F(ZoltaRun, EightBit422StreamsGiveTheBytesOfTheYuy2Path) {
  Y4mClip clip = noisy_clip("YUV4MPEG2 W48 H32 F30000:1001 It A1:1 C422 XYSCSS=422\n", 48, 32,
                            48 * 32 * 2, 3, 10);
  write_file(path("in.y4m"), y4m_bytes(clip) + "\n");  // a newline after the last frame

  Y4mClip expected = clip;
  for (auto& frame : expected.frames) frame = engine_y4m(frame, 48, 32, kSettings);
  ASSERT_EQ(run("$Z --config '" + std::string(kSettingsText) + "' in.y4m out.y4m"), 0) << stderr_;
  EXPECT_EQ(stderr_, "");
  EXPECT_TRUE(read_file(path("out.y4m")) == y4m_bytes(expected));  // header and frame lines kept

  // Standard input and output, a saved settings file.
  write_settings_file(path("s.vcf"));
  ASSERT_EQ(run("cat in.y4m | $Z --vcf s.vcf - - > piped.y4m"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("piped.y4m")) == y4m_bytes(expected));

  // On a terminal, standard error carries the progress line; the file's size
  // tells the number of frames.
  if (std::system("script -V >/dev/null 2>&1") == 0) {
    ASSERT_EQ(run("script -qec \"$Z --vcf s.vcf in.y4m tty.y4m\" /dev/null"), 0) << stdout_;
    EXPECT_NE(stdout_.find("zolta-run: 3 of 3 frames (100%),"), std::string::npos) << stdout_;
    EXPECT_NE(stdout_.find(" fps"), std::string::npos) << stdout_;
    EXPECT_TRUE(read_file(path("tty.y4m")) == y4m_bytes(expected));
  }

  // No settings: thresholds 0, and the planes come back as they went in.
  ASSERT_EQ(run("$Z in.y4m plain.y4m"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("plain.y4m")) == y4m_bytes(clip));
}

TEST_F(ZoltaRun, EveryYuv4mpegLayoutAndDepthKeepsItsHeaderAndGivesTheSameBytesForAnyThreads) {
  const struct {
    const char* tag;
    size_t bytes;  // of a 32 x 16 frame
  } layouts[] = {
      {"420jpeg", 32 * 16 * 3 / 2}, {"420mpeg2", 32 * 16 * 3 / 2},
      {"420p10", 32 * 16 * 3},      {"422p12", 32 * 16 * 4},
      {"444p16", 32 * 16 * 6},      {"444", 32 * 16 * 3},
      {"411", 32 * 16 * 3 / 2},     {"mono", 32 * 16},
      {"mono10", 32 * 16 * 2},      {"444alpha", 32 * 16 * 4},
  };
  for (const auto& l : layouts) {
    const std::string header =
        std::string("YUV4MPEG2 W32 H16 F25:1 Ib A16:15 C") + l.tag + " XCOLORRANGE=LIMITED\n";
    Y4mClip clip = noisy_clip(header, 32, 16, l.bytes, 5, 40);
    // Deeper samples within their range: the noisy bytes, low byte first,
    // masked to the depth.
    const int bits = std::strchr(l.tag, 'p')          ? std::atoi(std::strchr(l.tag, 'p') + 1)
                     : std::string(l.tag) == "mono10" ? 10
                                                      : 8;
    if (bits > 8)
      for (auto& frame : clip.frames)
        for (size_t i = 1; i < frame.size(); i += 2) frame[i] &= (1 << (bits - 8)) - 1;
    write_file(path("in.y4m"), y4m_bytes(clip));
    std::string first;
    for (int threads : {1, 2, 4}) {
      ASSERT_EQ(run("$Z --threads " + std::to_string(threads) + " --config '" + kSettingsText +
                    "' in.y4m out.y4m"),
                0)
          << l.tag << ": " << stderr_;
      const std::string out = read_file(path("out.y4m"));
      if (threads == 1) {
        first = out;
        ASSERT_EQ(out.size(), y4m_bytes(clip).size()) << l.tag;
        EXPECT_EQ(out.compare(0, header.size(), header), 0) << l.tag;
        EXPECT_NE(out.find("FRAME Ib XNOTE=kept\n"), std::string::npos) << l.tag;
        EXPECT_FALSE(out == y4m_bytes(clip)) << l.tag << ": nothing was denoised";
        if (std::string(l.tag) == "444alpha") {  // the alpha plane passes untouched
          const size_t plane = 32 * 16;
          const size_t at = header.size() + 6 + 3 * plane;
          EXPECT_EQ(
              out.compare(at, plane,
                          std::string(clip.frames[0].begin() + 3 * plane, clip.frames[0].end())),
              0);
        }
      } else {
        EXPECT_TRUE(out == first) << l.tag << ", " << threads << " threads";
      }
    }
  }
}

TEST_F(ZoltaRun, PicturesKeepTheirLayoutDepthAndAlpha) {
  // 16-bit RGBA, 16-bit grey and 8-bit grey with alpha, in one PNG stream.
  const struct { int channels, maxval; } layouts[] = {{4, 65535}, {1, 65535}, {2, 255}, {3, 65535}};
  std::string stream;
  std::vector<Picture> pictures;
  for (const auto& l : layouts) {
    Picture p;
    shape_picture(p, 32, 24, l.channels, l.maxval);
    NoiseSource noise = noise_source(l.channels * 7 + l.maxval);
    std::vector<uint8_t> bytes(p.samples.size(), 128);
    add_gaussian_noise(bytes, 40.0, noise);
    p.samples = bytes;
    pictures.push_back(p);
    stream += png_file_bytes(p);
  }
  write_file(path("in.png"), stream);
  std::string first;
  for (int threads : {1, 3}) {
    ASSERT_EQ(run("$Z --threads " + std::to_string(threads) + " --thresholds 640,320,160," +
                  "640,320,160,1024,512,0,1024,512,0,1024,512,0,1024,512,0 in.png out.png"),
              0)
        << stderr_;
    const std::string out = read_file(path("out.png"));
    if (threads > 1) {
      EXPECT_TRUE(out == first);
      continue;
    }
    first = out;
    ByteReader reader;
    std::string error;
    ASSERT_TRUE(open_reader(reader, path("out.png"), error));
    for (const Picture& in : pictures) {
      Picture got;
      ASSERT_EQ(read_png_frame(reader, got, error), ReadResult::Frame) << error;
      EXPECT_EQ(got.channels, in.channels);
      EXPECT_EQ(got.maxval, in.maxval);
      EXPECT_FALSE(got.samples == in.samples) << in.channels << ": nothing was denoised";
      if (in.channels == 2 || in.channels == 4) {
        const size_t sample = in.maxval > 255 ? 2 : 1;
        const size_t pixel = in.channels * sample;
        bool alpha_kept = true;
        for (size_t at = pixel - sample; at < in.samples.size(); at += pixel)
          alpha_kept =
              alpha_kept && std::equal(in.samples.begin() + at, in.samples.begin() + at + sample,
                                       got.samples.begin() + at);
        EXPECT_TRUE(alpha_kept) << in.channels;
      }
    }
    EXPECT_EQ(read_png_frame(reader, pictures[0], error), ReadResult::End);
    close_reader(reader);
  }

  // PGM of 10 bits comes back as PGM of 10 bits.
  std::string pgm = "P5\n16 8\n1023\n";
  for (int i = 0; i < 16 * 8; ++i) {
    pgm.push_back(static_cast<char>((i * 37 >> 8) & 3));
    pgm.push_back(static_cast<char>(i * 37));
  }
  write_file(path("in.pgm"), pgm);
  ASSERT_EQ(run("$Z --config '" + std::string(kSettingsText) + "' in.pgm out.pgm"), 0) << stderr_;
  const std::string out = read_file(path("out.pgm"));
  EXPECT_EQ(out.size(), pgm.size());
  EXPECT_EQ(out.compare(0, 13, "P5\n16 8\n1023\n"), 0);
}

TEST_F(ZoltaRun, SigmaChoosesSettingsFromTheNoiseGivenOrMeasured) {
  Y4mClip clip = noisy_clip("YUV4MPEG2 W64 H32 F25:1 C420p10\n", 64, 32, 64 * 32 * 3, 4, 70);
  for (auto& frame : clip.frames)
    for (size_t i = 1; i < frame.size(); i += 2) frame[i] &= 3;
  write_file(path("in.y4m"), y4m_bytes(clip));
  ASSERT_EQ(run("$Z --estimate in.y4m"), 0) << stderr_;
  EXPECT_NE(stdout_.find("from 4 frames"), std::string::npos) << stdout_;
  EXPECT_NE(stdout_.find(" Y "), std::string::npos) << stdout_;
  const size_t at = stdout_.find("--thresholds ");
  ASSERT_NE(at, std::string::npos) << stdout_;
  const std::string thresholds = stdout_.substr(at + 13, stdout_.find('\n', at) - at - 13);

  // --sigma auto uses exactly the settings --estimate reports.
  ASSERT_EQ(run("$Z --sigma auto in.y4m auto.y4m"), 0) << stderr_;
  ASSERT_EQ(run("$Z --thresholds " + thresholds + " in.y4m given.y4m"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("auto.y4m")) == read_file(path("given.y4m")));
  EXPECT_FALSE(read_file(path("auto.y4m")) == y4m_bytes(clip));

  // A given level: more noise, more taken away.
  ASSERT_EQ(run("$Z --sigma 2 in.y4m low.y4m && $Z --sigma 40 in.y4m high.y4m"), 0) << stderr_;
  EXPECT_FALSE(read_file(path("low.y4m")) == read_file(path("high.y4m")));
}

TEST_F(ZoltaRun, FailuresSayWhatIsWrongAndLeaveNoOutput) {
  write_file(path("w12.y4m"), "YUV4MPEG2 W12 H16 F25:1 C420jpeg\nFRAME\n" + std::string(288, 'x'));
  write_file(path("c420.y4m"), "YUV4MPEG2 W16 H16 F25:1 C420foo\nFRAME\n" + std::string(384, 'x'));
  write_file(path("w12-empty.y4m"), "YUV4MPEG2 W12 H16 F25:1 C420jpeg\n\n");
  write_file(path("ok.y4m"), "YUV4MPEG2 W16 H16 F25:1 C422\nFRAME\n" + std::string(512, 'x'));
  write_file(path("cut.y4m"), read_file(path("ok.y4m")) + "FRAME\n" + std::string(100, 'x'));
  const std::string ppm = ppm_file_bytes({test_picture(16, 8, 1), test_picture(16, 8, 2)});
  write_file(path("cut.ppm"), ppm.substr(0, ppm.size() - 5));
  write_file(path("m1000.ppm"), "P6\n16 8\n1000\n" + std::string(16 * 8 * 6, '\1'));
  write_file(path("text.txt"), "hello\n");
  write_file(path("empty"), "");
  write_file(path("nokey.vcf"), "VirtualDub.video.filters.Add(\"other\");\n");
  write_file(path("ok.png"), png_file_bytes(test_picture(16, 8, 1)));
  write_file(path("w6.png"), png_file_bytes(test_picture(6, 8, 1)));
  write_file(path("ok2.png"), read_file(path("ok.png")) + read_file(path("w6.png")));

  write_file(path("two.ppm"), ppm_file_bytes({test_picture(16, 8, 1), test_picture(14, 8, 2)}));

  // Status 2 for a wrong command line, 1 for anything else; a settings fault
  // comes before any fault of the input. The message: parts between " | ".
  const struct {
    const char* command;
    int status;
    const char* message;
  } cases[] = {
      {"$Z w12.y4m out", 1, "(frame 1)"},
      {"$Z w12-empty.y4m out", 1, "(stream header)"},  // as with frames, though none follows
      {"$Z --sigma 4 w12-empty.y4m out", 1, "(stream header)"},
      {"$Z w6.png out", 1, "(picture 1)"},
      {"$Z ok2.png out", 1, "(picture 2)"},
      {"$Z two.ppm out", 1, "14 x 8 | multiples of 4 | (picture 2)"},
      {"$Z c420.y4m out", 1, "C420foo"},
      {"$Z cut.y4m out", 1, "truncated"},
      {"$Z cut.ppm out", 1, "truncated"},
      {"$Z m1000.ppm out", 1, "maximum value 1000"},
      {"$Z text.txt out", 1, "unrecognised input"},
      {"$Z empty out", 1, "empty"},
      {"$Z missing.png out", 1, "missing.png"},
      {"$Z - out <&-", 1, "standard input is closed"},
      {"$Z --vcf missing.vcf ok.y4m out", 1, "cannot open settings file \"missing.vcf\""},
      {"$Z --vcf missing.vcf missing.png out", 1, "missing.vcf"},
      {"$Z --vcf nokey.vcf ok.y4m out", 1, "quilmer"},
      {"$Z --vcf nokey.vcf ok.png out", 1, "quilmer"},
      {"$Z --config 'Config(1, 2)' ok.png out", 1, "nine integers"},
      {"$Z --config 'Config(1)' missing.png out", 1, "bad --config"},
      {"$Z --demo --demo-config 'Config(1)' --out-dir out", 1, "Config(1)"},
      {"$Z --thresholds 1,2,3 ok.png out", 1, "eighteen integers"},
      {"$Z --thresholds 1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,4096 ok.png out", 1, "0..4095"},
      {"$Z --thresholds \"$(printf '1,2\\n3')\" ok.png out", 1, "\"1,2\\n3\": expected eighteen"},
      {"$Z \"$(printf 'two\\nlines.png')\" out", 1, "two\\nlines.png"},
      {"$Z ok.png /nonexistent-dir/out.png", 1,
       "/nonexistent-dir/out.png: No such file or directory"},
      {"$Z --sigma 51 ok.png out", 2, "--sigma"},
      {"$Z --sigma -1 ok.png out", 2, "above 0 and at most 50"},
      {"$Z --threads 0 ok.png out", 2, "--threads"},
      {"$Z --frobnicate ok.png out", 2, "unknown option"},
      {"$Z ok.png", 2, "INPUT and OUTPUT"},
      {"$Z --demo --seed ' -1' --out-dir out", 2, "--seed"},
      // Empty settings, also after a good one.
      {"$Z --config '' ok.png out", 2, "--config needs a value, not an empty one"},
      {"$Z --config= ok.png out", 2, "--config needs a value, not an empty one"},
      {"$Z --vcf '' ok.png out", 2, "--vcf needs a value, not an empty one"},
      {"$Z --vcf= ok.png out", 2, "--vcf needs a value, not an empty one"},
      {"$Z --config 'Config(0, 0, 0, 0, 0, 0, 0, 0, 0)' --config '' ok.png out", 2,
       "needs a value"},
      {"$Z --demo --demo-config '' --out-dir out", 2, "--demo-config needs a value"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.command), c.status) << c.command;
    for (std::string rest = c.message; !rest.empty();) {
      const size_t bar = rest.find(" | ");
      EXPECT_NE(stderr_.find(rest.substr(0, bar)), std::string::npos)
          << c.command << ": " << stderr_;
      rest = bar == std::string::npos ? "" : rest.substr(bar + 3);
    }
    EXPECT_EQ(std::count(stderr_.begin(), stderr_.end(), '\n'), 1) << c.command << ": " << stderr_;
    EXPECT_FALSE(exists(path("out"))) << c.command;
    EXPECT_FALSE(leftovers()) << c.command;
  }

  // Frames the header cannot describe fail also on standard output.
  EXPECT_EQ(run("$Z w12-empty.y4m - > piped.y4m"), 1);
  EXPECT_NE(stderr_.find("(stream header)"), std::string::npos) << stderr_;

  // A failing run leaves an existing output as it was.
  write_file(path("keep.png"), "old");
  EXPECT_NE(run("$Z w6.png keep.png"), 0);
  EXPECT_EQ(read_file(path("keep.png")), "old");
}

TEST_F(ZoltaRun, MemoryStaysFlatHoweverLongTheStream) {
  // 320 x 240 4:2:0 frames of 115 kB: 40 frames and 600 frames (69 MB) take
  // the same memory, a few frames per thread.
  const size_t bytes = 320 * 240 * 3 / 2;
  const std::vector<uint8_t> frame = noisy_bytes(bytes, 5);
  for (int frames : {40, 600}) {
    write_file(path("long" + std::to_string(frames) + ".y4m"),
               repeated_clip("YUV4MPEG2 W320 H240 F25:1 C420jpeg\n", frame, frames));
  }
  const auto peak = [&](const char* name) {
    return peak_of_run({"--threads", "2", "--config", kSettingsText, std::string(name) + ".y4m",
                        std::string(name) + "-out.y4m"},
                       dir_);
  };
  const long short_run = peak("long40"), long_run = peak("long600");
  ASSERT_GT(short_run, 0);
  EXPECT_LT(long_run, short_run + 4 * 1024) << short_run << " kB, then " << long_run << " kB";
  if (kPeaksInKilobytes) {
    EXPECT_LT(long_run, 40 * 1024) << "more than a few frames held";
  }
}

TEST_F(ZoltaRun, AMemoryBudgetBoundsTheFramesInFlightAndKeepsTheBytes) {
  // 1024 x 512 frames of 16-bit 4:4:4, 3 MB each and about 11 MB with the
  // denoiser's working memory: sixteen threads would hold dozens of them.
  // (Built in a scope of its own: a child started by fork counts the pages
  // of this process it shares until it runs zolta-run.)
  size_t clip_size = 0;
  {
    const std::vector<uint8_t> frame = noisy_bytes(1024 * 512 * 6, 8);
    const std::string clip = repeated_clip("YUV4MPEG2 W1024 H512 F25:1 C444p16\n", frame, 40);
    write_file(path("big.y4m"), clip);
    clip_size = clip.size();
  }
  write_file(path("small.y4m"), kSmallClip);
  const long base = peak_of_run({"--sigma", "5", "small.y4m", "small-out.y4m"}, dir_);
  const long free_run =
      peak_of_run({"--threads", "16", "--sigma", "5", "big.y4m", "free.y4m"}, dir_);
  const long bounded = peak_of_run(
      {"--threads", "16", "--memory", "24", "--sigma", "5", "big.y4m", "bounded.y4m"}, dir_);
  EXPECT_TRUE(read_file(path("bounded.y4m")) == read_file(path("free.y4m")));
  EXPECT_EQ(read_file(path("bounded.y4m")).size(), clip_size);
  if (kPeaksInKilobytes) {  // two frames in flight under 24 MiB, against dozens
    EXPECT_LT(bounded, base + 32 * 1024) << base << " kB for a small stream";
    EXPECT_GT(free_run, bounded + 48 * 1024) << "bounded " << bounded << " kB";
  }
}

TEST_F(ZoltaRun, AMemoryBudgetHoldsAtEveryTemporalRadius) {
  // 512 x 256 frames of 16-bit 4:4:4 (786 kB): a working area of the
  // temporal denoiser takes 14 MB at radius 1 and 19 MB at radius 2, one
  // for each frame worked on at once. The clip is written and the outputs
  // compared without holding them here: a child started by fork counts the
  // pages of this process, and under the sanitizers freed memory stays.
  {
    const std::vector<uint8_t> frame = noisy_bytes(512 * 256 * 6, 9);
    std::FILE* clip = std::fopen(path("mid.y4m").c_str(), "wb");
    ASSERT_NE(clip, nullptr);
    std::fputs("YUV4MPEG2 W512 H256 F25:1 C444p16\n", clip);
    for (size_t f = 0; f < 24; ++f) {
      std::fputs("FRAME\n", clip);
      std::fwrite(frame.data() + f * 64, 1, frame.size() - f * 64, clip);
      std::fwrite(frame.data(), 1, f * 64, clip);
    }
    ASSERT_EQ(std::fclose(clip), 0);
  }
  write_file(path("small.y4m"), kSmallClip);
  const long base =
      peak_of_run({"--sigma", "5", "--temporal", "2", "small.y4m", "small-out.y4m"}, dir_);
  // Sixteen threads: sixteen working areas, 300 MB at radius 2 (as many as
  // are in use at once are touched, fewer on a busy machine), unless the
  // budget holds them back. A budget smaller than one working area and the
  // frames of its windows (1 MiB) works on one frame at a time. Without a
  // budget the run must go past the bound, or the bound shows nothing.
  const struct {
    const char* radius;
    const char* memory;
    long most_kb;  // above the small stream's peak
  } cases[] = {
      {"1", "40", 40 * 1024},
      {"2", "40", 40 * 1024},
      {"2", "1", 32 * 1024},
  };
  for (const auto& c : cases) {
    const std::string name = std::string("r") + c.radius;
    const std::string free_name = name + "-free.y4m";
    if (!exists(path(free_name))) {
      const long free_run = peak_of_run(
          {"--threads", "16", "--sigma", "5", "--temporal", c.radius, "mid.y4m", free_name}, dir_);
      if (kPeaksInKilobytes) {
        EXPECT_GT(free_run, base + c.most_kb) << "radius " << c.radius << ": sixteen areas";
      }
    }
    const std::string bounded_name = name + "-m" + c.memory + ".y4m";
    const long bounded = peak_of_run({"--threads", "16", "--memory", c.memory, "--sigma", "5",
                                      "--temporal", c.radius, "mid.y4m", bounded_name},
                                     dir_);
    // Denoised, as long as the input, and the same bytes within the budget.
    EXPECT_EQ(
        run("cmp mid.y4m " + free_name + " >/dev/null; [ $? = 1 ] && [ $(stat -c %s " + free_name +
            ") = $(stat -c %s mid.y4m) ] && cmp " + free_name + " " + bounded_name),
        0)
        << bounded_name << ": " << stdout_;
    if (kPeaksInKilobytes) {
      EXPECT_LT(bounded, base + c.most_kb)
          << bounded_name << ": " << bounded << " kB against " << base << " kB for a small stream";
    }
  }
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
  EXPECT_GT(after, before + 4.5);  // the noise table's settings for sigma 10
  const Picture noisy = decode_png_file(path("pictures/astronaut-noisy.png"));
  const Picture denoised = decode_png_file(path("pictures/astronaut-denoised.png"));
  EXPECT_EQ(noisy.width, 512);
  EXPECT_EQ(denoised.height, 512);
  EXPECT_NE(stdout_.find("pictures/astronaut-denoised.png"), std::string::npos);
  // The same seed gives the same noise.
  ASSERT_EQ(run("$Z --demo --out-dir again"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("again/astronaut-noisy.png")) ==
              read_file(path("pictures/astronaut-noisy.png")));
  // The demo's noise level, given to zolta-run for its noisy picture, chooses
  // the demo's settings: both take it as noise in R, G and B.
  ASSERT_EQ(run("$Z --sigma 10 pictures/astronaut-noisy.png given.png"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("given.png")) == read_file(path("pictures/astronaut-denoised.png")));
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
    const std::vector<uint8_t> out = engine_y4m(frame.data, 64, 48, kSettings);
    expected.append(out.begin(), out.end());
  }
  close_reader(reader);
  EXPECT_EQ(expected.size(), 4u * 64 * 48 * 2);
  EXPECT_TRUE(read_file(path("out.yuv")) == expected);
}
