// SPDX-License-Identifier: BSD-2-Clause
// zolta-run against input made to hurt it, and against small slips: PNG
// chunks that declare gigabytes, streams of PNG pictures with junk after
// them, settings files that are not settings files, empty settings, sizes the
// filter cannot take. Each gets one clear line and the usual exit status.
#include <algorithm>
#include <string>
#include <vector>

#include "run_fixture.h"

namespace {

const char kConfig[] = "Config(12336, 8224, 4112, 8224, 8224, 0, 65535, 4096, 16)";

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST_F(ZoltaRun, PngSideChunksCostNoMemory) {
  const std::string png = png_file_bytes(test_picture(16, 8, 1));
  // A text chunk that declares 2 GB, and nothing after it.
  write_file(path("huge.png"), png.substr(0, 33) + be32(0x7ffffff0) + "tEXtComment");
  RunChild child = start_zolta_run({"huge.png", "out.png"}, dir_, dir_);
  close(child.input);
  long peak_kb = 0;
  const int status = wait_child(child.pid, &peak_kb);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_LT(peak_kb, 200 * 1024) << "a 45-byte PNG made zolta-run use " << peak_kb / 1024 << " MB";
  EXPECT_FALSE(exists(path("out.png")));

  // Real side chunks of 6 MB each (text, and one no reader knows) are passed
  // over: the picture comes out as without them.
  const std::string big(6 << 20, 'x');
  write_file(path("plain.png"), png);
  write_file(
      path("chunky.png"),
      with_chunks_after_header(png, png_chunk("tEXt", "Comment" + std::string(1, '\0') + big) +
                                        png_chunk("prVt", big) +
                                        png_chunk("zTXt", "Big" + std::string(2, '\0'))));
  ASSERT_EQ(run("$Z --config '" + std::string(kConfig) + "' plain.png plain-out.png"), 0)
      << stderr_;
  ASSERT_EQ(run("$Z --config '" + std::string(kConfig) + "' chunky.png chunky-out.png"), 0)
      << stderr_;
  EXPECT_TRUE(read_file(path("chunky-out.png")) == read_file(path("plain-out.png")));
}

TEST_F(ZoltaRun, PngStreamsAreFramesAndJunkAfterThemIsRefused) {
  const std::vector<Picture> pictures = {test_picture(16, 8, 1), test_picture(32, 16, 2),
                                            test_picture(16, 8, 3)};
  std::string stream, expected;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const std::string one = "p" + std::to_string(i) + ".png";
    write_file(path(one), png_file_bytes(pictures[i]));
    stream += read_file(path(one));
    ASSERT_EQ(run("$Z --config '" + std::string(kConfig) + "' " + one + " out-" + one), 0)
        << stderr_;
    expected += read_file(path("out-" + one));
  }
  write_file(path("stream.png"), stream);
  ASSERT_EQ(run("cat stream.png | $Z --config '" + std::string(kConfig) + "' - - > out.png"), 0)
      << stderr_;
  EXPECT_TRUE(read_file(path("out.png")) == expected);

  // Anything after the last picture that is not a picture is refused.
  for (const std::string& junk : {std::string("\n"), std::string("P6"), stream.substr(0, 20)}) {
    write_file(path("junk.png"), stream + junk);
    EXPECT_EQ(run("$Z junk.png bad.png"), 1) << junk.size();
    EXPECT_TRUE(has(stderr_, "(picture 4)")) << stderr_;
    EXPECT_EQ(lines(stderr_), 1) << stderr_;
    EXPECT_FALSE(exists(path("bad.png")));
  }

  // What ffmpeg's image pipe writes goes through and comes back.
  if (std::system("ffmpeg -version >/dev/null 2>&1") == 0) {
    ASSERT_EQ(run("ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=25 -frames:v 3 "
                  "-f image2pipe -c:v png - | $Z - - | "
                  "ffmpeg -v error -f image2pipe -c:v png -i - -f rawvideo -pix_fmt rgb24 -"),
              0)
        << stderr_;
    EXPECT_EQ(stdout_.size(), 3u * 64 * 48 * 3);
  }
}

TEST_F(ZoltaRun, SettingsFilesMustBeSmallRegularFiles) {
  write_file(path("ok.png"), png_file_bytes(test_picture(16, 8, 1)));
  write_file(path("ok.y4m"), "YUV4MPEG2 W16 H16 F25:1 C422\nFRAME\n" + std::string(512, 'x'));
  write_file(path("long.vcf"), std::string(5 << 20, ' '));
  ASSERT_EQ(mkdir(path("folder.vcf").c_str(), 0700), 0);
  const struct {
    const char* vcf;
    const char* reason;
  } cases[] = {
      {"/dev/zero", "not a regular file"},
      {"folder.vcf", "is a directory"},
      {"long.vcf", "too long"},
  };
  for (const auto& c : cases) {
    for (const char* input : {"ok.png", "ok.y4m"}) {
      // Bounded in time: reading a device without end must not hang.
      EXPECT_EQ(run("timeout 60 $Z --vcf " + std::string(c.vcf) + " " + input + " out"), 1)
          << c.vcf << " " << input;
      EXPECT_TRUE(has(stderr_, "settings file \"" + std::string(c.vcf) + "\"") &&
                  has(stderr_, c.reason))
          << stderr_;
      EXPECT_EQ(lines(stderr_), 1) << stderr_;
      EXPECT_FALSE(exists(path("out")));
    }
  }
}

// One saved file means the same thresholds whichever road the input takes.
TEST_F(ZoltaRun, ASettingsFileReadsTheSameOnEveryRoad) {
  write_file(path("ok.png"), png_file_bytes(test_picture(16, 8, 1)));
  const std::vector<uint8_t> frame = noisy_bytes(512, 4);
  write_file(path("ok.y4m"),
             "YUV4MPEG2 W16 H16 F25:1 C422\nFRAME\n" + std::string(frame.begin(), frame.end()));
  const std::string add = "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\n";
  const struct {
    const char* name;
    std::string line;
    bool accepted;
  } files[] = {
      {"plain.vcf", "VirtualDub.video.filters.instance[0]." + std::string(kConfig) + ";\n", true},
      {"blanks.vcf",
       "VirtualDub.video.filters.instance[0].Config( 12336,\t8224, 4112, 8224, 8224, 0, "
       "65535, 4096, 16 );\n",
       true},
      {"blank-before-comma.vcf",
       "VirtualDub.video.filters.instance[0].Config(12336 , 8224, 4112, 8224, 8224, 0, "
       "65535, 4096, 16);\n",
       false},
      {"over.vcf", "VirtualDub.video.filters.instance[0].Config(70000, 0, 0, 0, 0, 0, 0, 0, 0);\n",
       false},
      {"negative.vcf", "VirtualDub.video.filters.instance[0].Config(-1, 0, 0, 0, 0, 0, 0, 0, 0);\n",
       false},
  };
  for (const auto& f : files) {
    write_file(path(f.name), add + f.line);
    for (const char* input : {"ok.png", "ok.y4m"}) {
      const std::string out = std::string("vcf-") + input;
      EXPECT_EQ(run("$Z --vcf " + std::string(f.name) + " " + input + " " + out),
                f.accepted ? 0 : 1)
          << f.name << " " << input << ": " << stderr_;
      if (!f.accepted) continue;
      ASSERT_EQ(run("$Z --config '" + std::string(kConfig) + "' " + input + " config-" + input), 0);
      EXPECT_TRUE(read_file(path(out)) == read_file(path(std::string("config-") + input)))
          << f.name << " " << input;
    }
  }
}

TEST_F(ZoltaRun, TheHelpStatesTheSizeRuleAndANoiselessDemoSaysSo) {
  // The rule on sizes is in the help (its refusals: FailuresSayWhatIsWrong...).
  ASSERT_EQ(run("$Z --help"), 0);
  EXPECT_TRUE(has(stdout_, "multiple of 4")) << stdout_;

  // Without noise the demo has no finite PSNR to print, and says so.
  ASSERT_EQ(run("$Z --demo --sigma 0 --out-dir d"), 0) << stderr_;
  EXPECT_FALSE(has(stdout_, "inf")) << stdout_;
  EXPECT_TRUE(has(stdout_, "PSNR noisy:    identical")) << stdout_;
}
