// SPDX-License-Identifier: BSD-2-Clause
// Noise profiles through the public interface: a model written and read back
// keeps its values (to the profile's three decimals) and its settings; every
// kind of malformed text is refused with the line and what is wrong, and
// leaves the model as it was; files that cannot serve are refused by kind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "zolta.h"

namespace {

zolta_noise_model sample_model(int planes) {
  zolta_noise_model m;
  zolta_noise_model_default(&m, ZOLTA_API_VERSION);
  m.planes = planes;
  m.frames = 8;
  m.across = planes == 3 ? 5 : 1;
  for (int p = 0; p < planes; ++p) {
    m.sigma[p] = 3.5f + p;
    for (int k = 0; k < 6; ++k) m.detail[p][k / 3][k % 3] = 1.25f + 0.5f * k + p;
    for (int k = 0; k < ZOLTA_NOISE_BANDS; ++k) m.curve[p][k] = 5.0f - 0.125f * k + p;
  }
  return m;
}

std::string text_of(const zolta_noise_model& m) {
  const size_t n = zolta_noise_profile_format(&m, nullptr, 0);
  std::string text(n + 1, '\0');
  EXPECT_EQ(zolta_noise_profile_format(&m, &text[0], text.size()), n);
  text.resize(n);
  return text;
}

TEST(NoiseProfile, WrittenAndReadBackKeepsTheModel) {
  for (int planes : {1, 3}) {
    const zolta_noise_model m = sample_model(planes);
    const std::string text = text_of(m);
    zolta_noise_model back;
    zolta_noise_model_default(&back, ZOLTA_API_VERSION);
    zolta_error error{};
    ASSERT_EQ(zolta_noise_profile_parse(text.data(), text.size(), &back, &error), ZOLTA_OK)
        << error.message << "\n" << text;
    EXPECT_EQ(back.planes, planes);
    EXPECT_EQ(back.frames, 8);
    EXPECT_EQ(back.across, m.across);
    for (int p = 0; p < planes; ++p) {
      EXPECT_FLOAT_EQ(back.sigma[p], m.sigma[p]);
      for (int k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(back.detail[p][k / 3][k % 3], m.detail[p][k / 3][k % 3]);
      for (int k = 0; k < ZOLTA_NOISE_BANDS; ++k) EXPECT_FLOAT_EQ(back.curve[p][k], m.curve[p][k]);
    }
    zolta_settings a, b;
    const int32_t family = planes == 1 ? ZOLTA_FAMILY_GRAY : ZOLTA_FAMILY_YUV420;
    ASSERT_EQ(zolta_settings_for_model(&m, family, &a, nullptr), ZOLTA_OK);
    ASSERT_EQ(zolta_settings_for_model(&back, family, &b, nullptr), ZOLTA_OK);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    // Too small a buffer: an empty text and the length needed.
    char small[16] = "x";
    EXPECT_EQ(zolta_noise_profile_format(&m, small, sizeof small), text.size());
    EXPECT_STREQ(small, "");
  }
  zolta_noise_model empty;
  zolta_noise_model_default(&empty, ZOLTA_API_VERSION);
  EXPECT_EQ(zolta_noise_profile_format(&empty, nullptr, 0), 0u);
}

TEST(NoiseProfile, MalformedTextsAreRefusedNamingTheLine) {
  const std::string good = text_of(sample_model(3));
  // Each case: the good text with one line replaced (or the whole text), and
  // a piece of the message.
  struct Case {
    const char* find;  // a line's start to replace; null: the whole text
    const char* with;
    const char* message;
  };
  const Case cases[] = {
      {nullptr, "", "empty"},
      {nullptr, "# only a comment\n\n", "empty"},
      {nullptr, "Config(1, 2, 3, 4, 5, 6, 7, 8, 9)\n", "line 1: not a noise profile"},
      {"zolta noise profile", "zolta noise profile 2", "line 1: profile version \"2\""},
      {"zolta noise profile", "zolta noise profile", "line 1: not a noise profile"},
      {"planes", "planes 2", "\"planes\" takes 1 or 3"},
      {"planes", "planes 3\nplanes 3", "\"planes\" given twice"},
      {"planes", "# no planes", "\"across\" before \"planes\""},
      {"sigma", "sigma 1 2", "\"sigma\" takes 3 numbers 0..255"},
      {"sigma", "sigma 1 2 256", "\"sigma\" takes 3 numbers"},
      {"sigma", "sigma 1 -2 3", "\"sigma\" takes 3 numbers"},
      {"sigma", "sigma 1 2 nan", "\"sigma\" takes 3 numbers"},
      {"sigma", "sigma 1 2 1e2", "\"sigma\" takes 3 numbers"},
      {"sigma", "sigma 1 2 3.", "\"sigma\" takes 3 numbers"},
      {"sigma", "sigma 1 2 99999999999999999999", "\"sigma\" takes 3 numbers"},
      {"sigma", "# no sigma", "\"sigma\" is missing"},
      {"detail 1 y", "detail 1 z 1 2 3", "x or y"},
      {"detail 1 y", "detail 3 y 1 2 3", "names a plane 0..2"},
      {"detail 1 y", "detail 1 x 1 2 3", "given twice"},
      {"detail 1 y", "# none", "\"detail\" is missing"},
      {"curve 2", "curve 2 1 2 3", "16 numbers"},
      {"curve 2", "# none", "\"curve\" is missing"},
      {"frames", "frames 1.5", "whole number"},
      {"across", "across 1 2 1", "0 or 1"},
      {"across", "gain 4", "unknown item \"gain\""},
      {"across", "across 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1", "too many"},
  };
  for (const Case& c : cases) {
    std::string text;
    if (!c.find) {
      text = c.with;
    } else {
      const size_t at = good.find(std::string("\n") + c.find);
      const size_t start = c.find == std::string("zolta noise profile") ? 0 : at + 1;
      ASSERT_NE(at == std::string::npos && start != 0, true) << c.find;
      const size_t end = good.find('\n', start);
      text = good.substr(0, start) + c.with + good.substr(end);
    }
    SCOPED_TRACE(text);
    zolta_noise_model m = sample_model(1);
    const zolta_noise_model before = m;
    zolta_error error{};
    EXPECT_EQ(zolta_noise_profile_parse(text.data(), text.size(), &m, &error),
              ZOLTA_ERROR_SETTINGS);
    EXPECT_NE(std::strstr(error.message, c.message), nullptr) << error.message;
    EXPECT_EQ(std::strchr(error.message, '\n'), nullptr);
    EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0);
  }
  // A zero byte inside.
  std::string zero = good;
  zero[good.find("sigma") + 2] = '\0';
  zolta_noise_model m;
  zolta_noise_model_default(&m, ZOLTA_API_VERSION);
  zolta_error error{};
  EXPECT_EQ(zolta_noise_profile_parse(zero.data(), zero.size(), &m, &error), ZOLTA_ERROR_SETTINGS);
  EXPECT_NE(std::strstr(error.message, "zero byte"), nullptr) << error.message;
  // Windows line ends and comments are taken.
  std::string crlf;
  for (char ch : good) crlf += ch == '\n' ? std::string("\r\n# note\r\n") : std::string(1, ch);
  EXPECT_EQ(zolta_noise_profile_parse(crlf.data(), crlf.size(), &m, &error), ZOLTA_OK)
      << error.message;
}

TEST(NoiseProfile, FilesAndArgumentsThatCannotServeAreRefused) {
  zolta_noise_model m;
  zolta_noise_model_default(&m, ZOLTA_API_VERSION);
  zolta_error error{};
  EXPECT_EQ(zolta_noise_profile_read("/nonexistent/profile.txt", &m, &error),
            ZOLTA_ERROR_FILE_OPEN);
  EXPECT_NE(std::strstr(error.message, "/nonexistent/profile.txt"), nullptr);
  EXPECT_EQ(zolta_noise_profile_read("/", &m, &error), ZOLTA_ERROR_FILE_OPEN);
  const std::string dir = testing::TempDir();
  const std::string big = dir + "zolta_big_profile.txt", bad = dir + "zolta_bad_profile.txt",
                    good = dir + "zolta_good_profile.txt";
  std::FILE* f = std::fopen(big.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const std::string text = text_of(sample_model(3));
  std::fputs(text.c_str(), f);
  for (int k = 0; k < ZOLTA_NOISE_PROFILE_MAX / 8; ++k) std::fputs("# padding text\n", f);
  std::fclose(f);
  EXPECT_EQ(zolta_noise_profile_read(big.c_str(), &m, &error), ZOLTA_ERROR_FILE_INVALID);
  EXPECT_NE(std::strstr(error.message, "larger than"), nullptr) << error.message;
  f = std::fopen(bad.c_str(), "wb");
  std::fputs("zolta noise profile 1\nplanes 4\n", f);
  std::fclose(f);
  EXPECT_EQ(zolta_noise_profile_read(bad.c_str(), &m, &error), ZOLTA_ERROR_FILE_INVALID);
  EXPECT_NE(std::strstr(error.message, "zolta_bad_profile.txt\", line 2: \"planes\""), nullptr)
      << error.message;
  f = std::fopen(good.c_str(), "wb");
  std::fputs(text.c_str(), f);
  std::fclose(f);
  EXPECT_EQ(zolta_noise_profile_read(good.c_str(), &m, &error), ZOLTA_OK) << error.message;
  EXPECT_EQ(m.planes, 3);
  for (const std::string& path : {big, bad, good}) std::remove(path.c_str());

  // Records and values the model calls refuse.
  zolta_noise_model old = sample_model(3);
  old.version = 0;
  zolta_settings s;
  EXPECT_EQ(zolta_settings_for_model(&old, ZOLTA_FAMILY_YUV420, &s, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_EQ(zolta_noise_profile_parse("x", 1, &old, &error), ZOLTA_ERROR_ARGUMENT);
  const zolta_noise_model one = sample_model(1);
  EXPECT_EQ(zolta_settings_for_model(&one, ZOLTA_FAMILY_YUV420, &s, &error), ZOLTA_ERROR_ARGUMENT);
  EXPECT_NE(std::strstr(error.message, "1 planes"), nullptr) << error.message;
  EXPECT_EQ(zolta_settings_for_model(&one, ZOLTA_FAMILY_GRAY, &s, &error), ZOLTA_OK);
  for (float wrong : {-1.0f, 256.0f, NAN, INFINITY}) {
    zolta_noise_model m3 = sample_model(3);
    m3.curve[2][7] = wrong;
    EXPECT_EQ(zolta_settings_for_model(&m3, ZOLTA_FAMILY_YUV420, &s, &error),
              ZOLTA_ERROR_ARGUMENT);
    EXPECT_NE(std::strstr(error.message, "curve of plane 2"), nullptr) << error.message;
  }
  EXPECT_EQ(zolta_noise_measure(nullptr, nullptr, 1, &m, &error), ZOLTA_ERROR_ARGUMENT);
}

}  // namespace
