// SPDX-License-Identifier: BSD-2-Clause
#include "frame_cases.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "library.h"

namespace {

std::vector<TestPicture> small_pictures() {
  std::vector<TestPicture> pictures = test_pictures(nullptr);
  pictures.resize(2);  // the two small ones: quick in every build
  return pictures;
}

std::vector<FrameCase> cases_on(const std::vector<TestPicture>& pictures) {
  std::vector<FrameCase> chosen;
  for (const FrameCase& c : frame_cases(pictures)) {
    if (c.picture < pictures.size()) chosen.push_back(c);
  }
  return chosen;
}

}  // namespace

TEST(FrameCases, CoverBothFormatsEveryModeAndEachLevel) {
  const std::vector<uint32_t> photo(512 * 512, 0x00804020);
  const std::vector<TestPicture> pictures = test_pictures(&photo);
  ASSERT_EQ(pictures.back().name, "photo-512x512");
  const std::vector<FrameCase> cases = frame_cases(pictures);

  std::set<std::string> names;
  std::set<int32_t> modes;
  std::set<std::pair<bool, int>> single_levels;  // (yuy2, plane * 6 + level)
  int views = 0;
  int disabled = 0;
  int yuy2_photo = 0;
  for (const FrameCase& c : cases) {
    EXPECT_TRUE(names.insert(c.name).second) << "duplicate " << c.name;
    ASSERT_LT(c.picture, pictures.size());
    EXPECT_EQ(pictures[c.picture].width % 8, 0);
    EXPECT_EQ(pictures[c.picture].height % 8, 0);
    if (!c.yuy2) modes.insert(c.mode);
    views += c.show_plane != 0;
    disabled += c.enabled == 0;
    yuy2_photo += c.yuy2 && c.picture == pictures.size() - 1;
    int set = 0;
    int where = -1;
    for (int p = 0; p < 3; ++p) {
      for (int i = 0; i < 6; ++i) {
        EXPECT_GE(c.thresholds[p][i], 0);
        EXPECT_LE(c.thresholds[p][i], 255);
        if (c.thresholds[p][i] != 0) {
          ++set;
          where = p * 6 + i;
        }
      }
    }
    if (set == 1) single_levels.insert({c.yuy2, where});
  }
  EXPECT_EQ(modes, (std::set<int32_t>{0, 1, 2}));
  EXPECT_GE(views, 3);
  EXPECT_GE(disabled, 1);
  EXPECT_GE(yuy2_photo, 1);
  EXPECT_EQ(single_levels.size(), 36u);

  // The pictures are generated the same way every time.
  const std::vector<TestPicture> again = test_pictures(&photo);
  for (size_t i = 0; i < pictures.size(); ++i) EXPECT_EQ(pictures[i].rgb32, again[i].rgb32);
}

TEST(FrameCases, YuyTwoConversionAndDigestFilesAreFixed) {
  TestPicture p{"grey", 4, 1, {0x00ffffff, 0x00000000, 0x000000ff, 0x00ff0000}};
  const std::vector<uint8_t> yuy2 = yuy2_from_rgb32(p);
  ASSERT_EQ(yuy2.size(), 8u);
  EXPECT_EQ(yuy2[0], 255);  // white
  EXPECT_EQ(yuy2[2], 0);    // black
  EXPECT_EQ(yuy2[1], 128);  // no colour in the pair
  EXPECT_EQ(yuy2[3], 128);
  EXPECT_GT(yuy2[5], 128);  // blue then red: both chroma away from grey
  EXPECT_GT(yuy2[7], 128);

  // (Which digest it is matters not: both sides compute the same one.)
  std::vector<FrameDigest> parsed;
  EXPECT_TRUE(parse_digests("x/y 0123456789abcdef\r\n\nz 0000000000000000\n", parsed));
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[0].name, "x/y");
  EXPECT_EQ(format_digests(parsed), "x/y 0123456789abcdef\nz 0000000000000000\n");
  EXPECT_FALSE(parse_digests("short 1234\n", parsed));
}

TEST(FrameCases, EverySettingReachesTheFramesThroughTheLibrary) {
  LoadedLibrary library;
  std::string error;
  ASSERT_TRUE(load_library(ZOLTA_LIBRARY, library, error)) << error;
  const std::vector<TestPicture> pictures = small_pictures();
  const std::vector<FrameCase> cases = cases_on(pictures);
  std::vector<FrameDigest> first;
  std::vector<FrameDigest> second;
  // A folder of this run's own: runs beside it must not share its settings file.
  char pattern[] = "/tmp/zolta-frame-cases-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string work = pattern;
  ASSERT_TRUE(run_frame_cases(library, pictures, cases, work, first, error)) << error;
  ASSERT_TRUE(run_frame_cases(library, pictures, cases, work, second, error)) << error;
  unload_library(library);
  std::remove((work + "/frame-case.vcf").c_str());
  rmdir(work.c_str());

  ASSERT_EQ(first.size(), cases.size());
  std::map<std::string, std::string> digest;
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].digest, second[i].digest) << first[i].name;
    digest[first[i].name] = first[i].digest;
  }
  // Each threshold alone changes the frame, in both formats; so do the modes
  // and the views. A case whose settings never reach the library would not.
  for (const FrameCase& c : cases) {
    if (c.name.find("/level-") == std::string::npos) continue;
    const std::string off = c.name.substr(0, c.name.find("/level-")) + "/off";
    ASSERT_TRUE(digest.count(off)) << off;
    EXPECT_NE(digest[c.name], digest[off]) << c.name;
  }
  std::set<std::string> distinct;
  for (const char* what : {"mixed", "mixed-diff", "high-Y", "high-Cb", "high-Cr", "view-Y",
                           "view-Cb", "view-Cr", "off"}) {
    distinct.insert(digest.at(std::string("rgb32/shapes-96x64/") + what));
  }
  EXPECT_EQ(distinct.size(), 9u);
  EXPECT_EQ(digest.at("rgb32/shapes-96x64/diff-view-Cr"),
            digest.at("rgb32/shapes-96x64/mixed-diff"));
  // The noise picture carries bytes in the fourth place: a copy keeps them,
  // the colour round trip clears them.
  EXPECT_NE(digest.at("rgb32/noise-64x48/disabled"), digest.at("rgb32/noise-64x48/off"));
}
