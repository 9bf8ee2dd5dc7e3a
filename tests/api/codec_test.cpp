// SPDX-License-Identifier: BSD-2-Clause
// The settings codec: packing and the three unpack rules at their edges,
// the Config text both ways, and settings files and texts as the AviSynth
// face has always read them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "zolta.h"

namespace {

struct Pair {
  int32_t rows, columns;
};

Pair unpack_first(int32_t value, int32_t rule) {
  int32_t packed[9] = {value, 0, 0, 0, 0, 0, 0, 0, 0};
  zolta_settings s;
  zolta_settings_default(&s, ZOLTA_API_VERSION);
  zolta_error error{};
  EXPECT_EQ(zolta_config_unpack(packed, rule, &s, &error), ZOLTA_OK) << error.message;
  return {s.thresholds[0][0][0], s.thresholds[0][1][0]};
}

TEST(Codec, UnpackRulesAgreeInsideTheirRangeAndDifferAtTheLegacyEdges) {
  struct Edge {
    int32_t value;
    Pair script, file;
  };
  const Edge edges[] = {
      {4112, {16, 16}, {16, 16}},  {65535, {255, 255}, {255, 255}},
      {0, {0, 0}, {0, 0}},         {65536, {256, 0}, {0, 0}},
      {-1, {-1, 255}, {255, 255}}, {INT32_MIN, {-8388608, 0}, {0, 0}},
  };
  for (const Edge& e : edges) {
    SCOPED_TRACE(e.value);
    const Pair s = unpack_first(e.value, ZOLTA_UNPACK_SCRIPT);
    const Pair f = unpack_first(e.value, ZOLTA_UNPACK_FILE);
    EXPECT_EQ(s.rows, e.script.rows);
    EXPECT_EQ(s.columns, e.script.columns);
    EXPECT_EQ(f.rows, e.file.rows);
    EXPECT_EQ(f.columns, e.file.columns);
  }
  int32_t packed[9] = {1, 2, 3, 65536, 5, 6, 7, 8, 9};
  zolta_settings s;
  zolta_settings_default(&s, ZOLTA_API_VERSION);
  zolta_error error{};
  EXPECT_EQ(zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, &s, &error), ZOLTA_ERROR_SETTINGS);
  EXPECT_STREQ(error.message,
               "Config value 4 is 65536; each value lies in 0..65535 (two thresholds of 0..255)");
  EXPECT_EQ(s.thresholds[0][0][0], 0) << "a refused unpack writes nothing";
  EXPECT_EQ(zolta_config_unpack(packed, 3, &s, &error), ZOLTA_ERROR_ARGUMENT);
}

TEST(Codec, PackAndUnpackRoundTripEveryPlaneAndLevel) {
  zolta_settings s;
  zolta_settings_default(&s, ZOLTA_API_VERSION);
  int32_t v = 1;
  for (auto& plane : s.thresholds) {
    for (auto& dir : plane) {
      for (auto& t : dir) t = (v++ * 37) % 256;
    }
  }
  int32_t packed[9];
  zolta_config_pack(&s, packed);
  // Value i is plane i / 3, level i % 3, rows in the high byte.
  EXPECT_EQ(packed[4], s.thresholds[1][0][1] * 256 + s.thresholds[1][1][1]);
  for (int32_t rule : {ZOLTA_UNPACK_SCRIPT, ZOLTA_UNPACK_FILE, ZOLTA_UNPACK_STRICT}) {
    zolta_settings back;
    zolta_settings_default(&back, ZOLTA_API_VERSION);
    ASSERT_EQ(zolta_config_unpack(packed, rule, &back, nullptr), ZOLTA_OK);
    EXPECT_EQ(std::memcmp(back.thresholds, s.thresholds, sizeof s.thresholds), 0) << rule;
  }
  // Packing wraps in 32 bits.
  s.thresholds[0][0][0] = 256 * 65536 * 64;
  s.thresholds[0][1][0] = -1;
  zolta_config_pack(&s, packed);
  EXPECT_EQ(packed[0], -1);
}

TEST(Codec, ConfigTextParsesAndFormatsBothWays) {
  const int32_t values[9] = {0, -1, 65536, INT32_MAX, INT32_MIN, 4112, 7, 8, 9};
  char text[200];
  const size_t length = zolta_config_format(values, text, sizeof text);
  EXPECT_STREQ(text, "Config(0, -1, 65536, 2147483647, -2147483648, 4112, 7, 8, 9)");
  EXPECT_EQ(length, std::strlen(text));
  int32_t back[9];
  zolta_error error{};
  ASSERT_EQ(zolta_config_parse(text, back, &error), ZOLTA_OK) << error.message;
  EXPECT_EQ(std::memcmp(back, values, sizeof back), 0);
  // Too small a buffer: an empty text and the length needed.
  char small[10] = "xxxxxxxxx";
  EXPECT_EQ(zolta_config_format(values, small, sizeof small), length);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(zolta_config_format(values, nullptr, 0), length);

  // Blanks around every token, an optional ';'.
  EXPECT_EQ(zolta_config_parse(" Config ( 1 ,2,\t3 , +4,5,6,7,8, -9 ) ; \n", back, &error),
            ZOLTA_OK)
      << error.message;
  EXPECT_EQ(back[3], 4);
  EXPECT_EQ(back[8], -9);
  const char* bad[] = {"Config(1,2,3,4,5,6,7,8)",     "Config(1,2,3,4,5,6,7,8,9,10)",
                       "Config(1,2,3,4,5,6,7,8,9",    "config(1,2,3,4,5,6,7,8,9)",
                       "Config(1,2,3,4,5,6,7,8,9);;", "Config(1,2,3,4,5,6,7,8,- 9)",
                       "Config(1,2,3,4,5,6,7,8,9) x", ""};
  for (const char* b : bad) {
    EXPECT_EQ(zolta_config_parse(b, back, &error), ZOLTA_ERROR_SETTINGS) << b;
    EXPECT_EQ(std::string(error.message),
              std::string("settings text \"") + b +
                  "\" is not Config(a, b, c, d, e, f, g, h, i) with nine integers");
  }
  EXPECT_EQ(zolta_config_parse("Config(1,2,3,4,5,6,7,8,2147483648)", back, &error),
            ZOLTA_ERROR_SETTINGS);
  EXPECT_STREQ(error.message,
               "settings text \"Config(1,2,3,4,5,6,7,8,2147483648)\": integer 9 does not fit in "
               "32 bits");
}

int read_text(const std::string& text, int32_t packed[9], zolta_error* error) {
  return zolta_settings_text_read(text.data(), text.size(), packed, error);
}

TEST(Codec, SettingsTextsAreReadAsTheAviSynthFaceReadsFiles) {
  int32_t v[9];
  zolta_error error{};
  const std::string config = "VirtualDub.video.filters.instance[3].Config(1, -2,+3,4,5,6,7,8,9";
  ASSERT_EQ(read_text("x\nquilmer (0.1)\n" + config + " tail\n", v, &error), ZOLTA_OK)
      << error.message;
  EXPECT_EQ(v[1], -2);
  EXPECT_EQ(v[8], 9);
  // The key anywhere in a piece; only its first appearance counts.
  EXPECT_EQ(read_text("aquilmerb\n" + config + "\nquilmer\nbad\n", v, &error), ZOLTA_OK);
  // A key line of exactly 1023 characters before its newline: the newline
  // is a piece of its own and is taken as the Config line.
  EXPECT_EQ(read_text("quilmer" + std::string(1016, ' ') + "\n" + config, v, &error),
            ZOLTA_ERROR_FILE_INVALID);
  EXPECT_EQ(read_text("quilmer" + std::string(1015, ' ') + "\n" + config, v, &error), ZOLTA_OK);
  // A key beyond a zero byte of its piece is not seen.
  EXPECT_EQ(read_text(std::string("a\0quilmer\n", 10) + config, v, &error),
            ZOLTA_ERROR_FILE_INVALID);
  EXPECT_STREQ(error.message, "no line names the filter \"quilmer\"");
  // (The Config line's rules: the AviSynth face's settings file tests.)
  EXPECT_EQ(read_text("quilmer", v, &error), ZOLTA_ERROR_FILE_INVALID);
  EXPECT_STREQ(error.message,
               "the line after the \"quilmer\" line is not a Config call "
               "\"VirtualDub.video.filters.instance[N].Config(a, ..., i\" with nine integers");
}

TEST(Codec, SettingsFilesRoundTripAndBadPathsAreRefused) {
  const int32_t values[9] = {65535, 1, 2, 3, 4, 5, 6, 7, -8};
  char text[300];
  const size_t length = zolta_settings_file_format(values, text, sizeof text);
  EXPECT_STREQ(text,
               "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\n"
               "VirtualDub.video.filters.instance[0].Config(65535, 1, 2, 3, 4, 5, 6, 7, -8);\n");
  char path[] = "/tmp/zolta-codec-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, text, length), static_cast<ssize_t>(length));
  close(fd);
  int32_t back[9];
  zolta_error error{};
  ASSERT_EQ(zolta_settings_file_read(path, back, &error), ZOLTA_OK) << error.message;
  EXPECT_EQ(std::memcmp(back, values, sizeof back), 0);

  // Over the size limit: refused as too long, whatever it holds.
  {
    std::FILE* f = std::fopen(path, "wb");
    ASSERT_TRUE(f);
    std::fwrite(text, 1, length, f);
    const std::string filler(ZOLTA_SETTINGS_FILE_MAX, '\n');
    std::fwrite(filler.data(), 1, filler.size(), f);
    std::fclose(f);
  }
  EXPECT_EQ(zolta_settings_file_read(path, back, &error), ZOLTA_ERROR_FILE_INVALID);
  EXPECT_EQ(std::string(error.message),
            std::string("settings file \"") + path + "\": too long (over 4194304 bytes)");
  std::remove(path);

  EXPECT_EQ(zolta_settings_file_read(path, back, &error), ZOLTA_ERROR_FILE_OPEN);
  EXPECT_EQ(std::string(error.message),
            std::string("cannot open settings file \"") + path + "\": No such file or directory");
  EXPECT_EQ(zolta_settings_file_read("/tmp", back, &error), ZOLTA_ERROR_FILE_OPEN);
  EXPECT_STREQ(error.message, "settings file \"/tmp\" is a directory");
  EXPECT_EQ(zolta_settings_file_read("/dev/null", back, &error), ZOLTA_ERROR_FILE_OPEN);
  EXPECT_STREQ(error.message, "settings file \"/dev/null\" is not a regular file");
}

}  // namespace
