// SPDX-License-Identifier: BSD-2-Clause
// Saved processing-settings files as the AviSynth face has always read them,
// through the settings codec: the Config line, the two bytes of each saved
// integer, and the file read in pieces after its key line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "settings_codec.h"

using zolta::parse_config_line;
using R = zolta::SettingsReading;

namespace {

// Reads the given bytes as a file; the thresholds (file rule) when it is
// read, else -7 everywhere.
R read_text(const std::string& bytes, int32_t (&t)[3][6]) {
  for (auto& plane : t)
    for (auto& v : plane) v = -7;
  std::FILE* f = tmpfile();
  EXPECT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  int32_t packed[9];
  R reading = R::kOk;
  EXPECT_NE(zolta::read_settings_stream(f, packed, reading, nullptr), ZOLTA_ERROR_MEMORY);
  std::fclose(f);
  if (reading == R::kOk) zolta::unpack_legacy(packed, ZOLTA_UNPACK_FILE, t);
  return reading;
}

const char kNineZeros[] = "VirtualDub.video.filters.instance[0].Config(0,0,0,0,0,0,0,0,0);";

}  // namespace

TEST(ConfigLine, AcceptsTheCallWithAnySpacingSignsAndTrailingText) {
  int32_t index = -1;
  int32_t v[9];
  ASSERT_TRUE(parse_config_line(
      "VirtualDub.video.filters.instance[2].Config(4128, 0, 1, 2, 3, 4, 5, 6, 7);\r\n", index, v));
  EXPECT_EQ(index, 2);
  EXPECT_EQ(v[0], 4128);
  EXPECT_EQ(v[8], 7);

  ASSERT_TRUE(parse_config_line(
      "VirtualDub.video.filters.instance[ -1].Config(\t+1,-2,3,4,5,6,7,8,-2147483648, 99, 100)",
      index, v));
  EXPECT_EQ(index, -1);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], -2);
  EXPECT_EQ(v[8], INT32_MIN);

  // Nothing after the ninth integer is looked at, not even the parenthesis.
  ASSERT_TRUE(parse_config_line(
      "VirtualDub.video.filters.instance[0].Config(1,2,3,4,5,6,7,8,2147483647garbage", index, v));
  EXPECT_EQ(v[8], INT32_MAX);
}

TEST(ConfigLine, RefusesAnythingButANineIntegerCallAndLeavesValuesAlone) {
  const char* bad[] = {
      "",
      " VirtualDub.video.filters.instance[0].Config(0,0,0,0,0,0,0,0,0)",  // not at the start
      "virtualdub.video.filters.instance[0].Config(0,0,0,0,0,0,0,0,0)",
      "VirtualDub.video.filters.instance[].Config(0,0,0,0,0,0,0,0,0)",
      "VirtualDub.video.filters.instance[0].config(0,0,0,0,0,0,0,0,0)",
      "VirtualDub.video.filters.instance[0].Config(0,0,0,0,0,0,0,0)",     // eight
      "VirtualDub.video.filters.instance[0].Config(0,0,0,0,0,0,0,0,)",    // ninth missing
      "VirtualDub.video.filters.instance[0].Config(0 ,0,0,0,0,0,0,0,0)",  // blank before comma
      "VirtualDub.video.filters.instance[0].Config(0,0,0,0,-,0,0,0,0)",
      "VirtualDub.video.filters.instance[0].Config(0,0,0,0,0,0,0,0,2147483648)",
      "VirtualDub.video.filters.instance[0].Config(0,0,0,0,0,0,0,0,-2147483649)",
      "VirtualDub.video.filters.instance[99999999999999999999].Config(0,0,0,0,0,0,0,0,0)",
      "VirtualDub.video.filters.instance[0].Config(4294967296,0,0,0,0,0,0,0,0)",
      "VirtualDub.video.filters.instance[0]",
  };
  for (const char* line : bad) {
    int32_t index = 77;
    int32_t v[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_FALSE(parse_config_line(line, index, v)) << line;
    EXPECT_EQ(index, 77) << line;
    EXPECT_EQ(v[0], 1) << line;
  }
}

TEST(SettingsValue, KeepsOnlyTheLowSixteenBitsAsTwoBytes) {
  const struct {
    int32_t value, first, second;
  } cases[] = {{4112, 16, 16}, {255, 0, 255},        {65793, 1, 1}, {-1, 255, 255},
               {300, 1, 44},   {65536, 0, 0},        {0, 0, 0},     {INT32_MIN, 0, 0},
               {-256, 255, 0}, {INT32_MAX, 255, 255}};
  for (const auto& c : cases) {
    int32_t first = -1, second = -1;
    zolta::unpack_pair_file(c.value, first, second);
    EXPECT_EQ(first, c.first) << c.value;
    EXPECT_EQ(second, c.second) << c.value;
  }
}

TEST(SettingsFile, ReadsTheLineAfterTheFirstKeyLine) {
  int32_t t[3][6];
  const std::string vdub =
      "VirtualDub.audio.SetSource(1);\r\n"
      "VirtualDub.video.filters.Clear();\r\n"
      "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\r\n"
      "VirtualDub.video.filters.instance[0].Config(4128, 1, 258, 770, 4112, 65535, 16, 4096, "
      "-1);\r\n"
      "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\r\n"
      "VirtualDub.video.filters.instance[1].Config(0, 0, 0, 0, 0, 0, 0, 0, 0);\r\n";
  ASSERT_EQ(read_text(vdub, t), R::kOk);
  const int32_t expected[3][6] = {
      {16, 32, 0, 1, 1, 2}, {3, 2, 16, 16, 255, 255}, {0, 16, 16, 0, 255, 255}};
  for (int p = 0; p < 3; ++p)
    for (int i = 0; i < 6; ++i) EXPECT_EQ(t[p][i], expected[p][i]) << p << "," << i;

  // LF line ends, the key inside other text, any instance index, no final
  // line end; a capitalised key is not the key.
  ASSERT_EQ(read_text("Quilmer\nVirtualDub.video.filters.instance[0].Config(9,9,9,9,9,9,9,9,9)\n"
                      "// uses quilmer here\n"
                      "VirtualDub.video.filters.instance[7].Config(4112,4112,4112,4112,4112,"
                      "4112,4112,4112,4112)",
                      t),
            R::kOk);
  for (auto& plane : t)
    for (int v : plane) EXPECT_EQ(v, 16);
}

TEST(SettingsFile, RefusesFilesWithoutAKeyOrAUsableConfigLine) {
  int32_t t[3][6];
  EXPECT_EQ(read_text("", t), R::kNoKeyLine);
  EXPECT_EQ(read_text(std::string(kNineZeros) + "\nQUILMER\n", t), R::kNoKeyLine);
  EXPECT_EQ(read_text("quilmer (0.1)\n", t), R::kBadConfigLine);
  EXPECT_EQ(read_text("quilmer (0.1)", t), R::kBadConfigLine);
  EXPECT_EQ(read_text("quilmer\n\n" + std::string(kNineZeros), t), R::kBadConfigLine);
  EXPECT_EQ(read_text("quilmer\nVirtualDub.video.filters.instance[0].Config(1,2,3)\n", t),
            R::kBadConfigLine);
}

TEST(SettingsFile, ReadsLinesInPiecesOf1023Characters) {
  int32_t t[3][6];
  const std::string config = std::string(kNineZeros) + "\n";
  // Key whole in the second piece of a long line: the next piece is the
  // Config line.
  EXPECT_EQ(read_text(std::string(1023, 'x') + "quilmer\n" + config, t), R::kOk);
  // Key whole in the first piece of a long line: the next piece is the rest
  // of that line, which is no Config line.
  EXPECT_EQ(read_text("quilmer" + std::string(1500, 'x') + "\n" + config, t), R::kBadConfigLine);
  // Key split across two pieces is not found.
  EXPECT_EQ(read_text(std::string(1020, 'x') + "quilmer\n" + config, t), R::kNoKeyLine);
  // A Config line that fills a piece exactly, with the rest beyond.
  std::string padded = std::string(kNineZeros);
  padded.resize(1023 + 200, ' ');
  EXPECT_EQ(read_text("quilmer\n" + padded + "\n", t), R::kOk);
  // A NUL byte ends the text of its piece: a key behind it is not seen, and
  // whatever follows the ninth integer does not matter.
  EXPECT_EQ(read_text(std::string("abc\0quilmer\n", 12) + config, t), R::kNoKeyLine);
  EXPECT_EQ(read_text("quilmer\n" + std::string(kNineZeros) + std::string("\0\xff\n", 3), t),
            R::kOk);
}
