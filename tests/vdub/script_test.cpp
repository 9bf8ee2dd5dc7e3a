// SPDX-License-Identifier: BSD-2-Clause
// The thresholds through VirtualDub's script: the "Config" call text the
// module writes, and the call read back through the host's interpreter.
#include <cstring>
#include <random>
#include <string>

#include "script_config.h"
#include "vdub_fixture.h"

namespace {

using ScriptTest = VdubInstanceTest;

void set_all(zolta::FilterState& s, int32_t value) {
  for (auto& plane : s.thresholds)
    for (int32_t& t : plane) t = value;
}

}  // namespace

TEST_F(ScriptTest, WritesNinePackedPairs) {
  EXPECT_EQ(instance.script_text(), "Config(0, 0, 0, 0, 0, 0, 0, 0, 0)");

  state().thresholds[0][0] = 16;  // Y X0
  state().thresholds[0][1] = 32;  // Y Y0
  EXPECT_EQ(instance.script_text(), "Config(4128, 0, 0, 0, 0, 0, 0, 0, 0)");

  // Each integer pairs the row and column threshold of one level of one
  // plane, Y first.
  set_all(state(), 0);
  state().thresholds[1][4] = 1;  // Cb X2
  state().thresholds[2][3] = 2;  // Cr Y1
  EXPECT_EQ(instance.script_text(), "Config(0, 0, 0, 0, 0, 256, 0, 2, 0)");

  set_all(state(), 255);
  const std::string longest = instance.script_text();
  EXPECT_EQ(longest, "Config(65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535)");
  EXPECT_EQ(longest.size(), 69u);

  // Values only the script can store still format in full, signed.
  set_all(state(), 0);
  state().thresholds[0][0] = -1;
  state().thresholds[0][1] = 0;
  state().thresholds[0][2] = 300;
  state().thresholds[0][3] = 44;
  EXPECT_EQ(instance.script_text(), "Config(-256, 76844, 0, 0, 0, 0, 0, 0, 0)");
  for (auto& plane : state().thresholds) {
    for (int k = 0; k < 6; k += 2) {
      plane[k] = -8388608;  // packs to the most negative 32-bit integer
      plane[k + 1] = 0;
    }
  }
  const std::string widest = instance.script_text();
  EXPECT_EQ(widest.size(), 7u + 9 * 11 + 8 * 2 + 1);
  EXPECT_EQ(widest.substr(0, 20), "Config(-2147483648, ");
}

TEST_F(ScriptTest, NeverWritesPastTheBuffer) {
  set_all(state(), 255);  // 69 characters and the terminating zero
  char buffer[100];
  for (int length : {70, 69, 10, 1, 0, -5}) {
    SCOPED_TRACE(length);
    std::memset(buffer, '#', sizeof buffer);
    const bool written = instance.script_string(buffer, length);
    for (int i = length > 0 ? length : 0; i < static_cast<int>(sizeof buffer); ++i) {
      ASSERT_EQ(buffer[i], '#') << "written at " << i;
    }
    if (length >= 70) {
      EXPECT_TRUE(written);
      EXPECT_EQ(std::strlen(buffer), 69u);
    } else {
      // A cut call would be saved and fail on loading: no text at all.
      EXPECT_FALSE(written);
      if (length > 0) {
        EXPECT_EQ(buffer[0], '\0');
      }
    }
  }
  EXPECT_FALSE(instance.script_string(nullptr, 100));
}

TEST_F(ScriptTest, ReadsEachIntegerAsTwoThresholds) {
  ASSERT_TRUE(instance.call_script("Config", {4128, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(state().thresholds[0][0], 16);
  EXPECT_EQ(state().thresholds[0][1], 32);

  // The upper part is shifted with its sign and never masked.
  ASSERT_TRUE(instance.call_script("Config", {65536, -1, 300, 1, 2, 3, 4, 5, 65535}));
  const int32_t expected[18] = {256, 0, -1, 255, 1, 44, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 255, 255};
  EXPECT_EQ(std::memcmp(state().thresholds, expected, sizeof expected), 0);

  // Nothing but the thresholds changes.
  state().mode = zolta::Diff;
  state().enabled = 0;
  state().plane = 2;
  state().show_plane = 1;
  ASSERT_TRUE(instance.call_script("Config", {0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(state().mode, zolta::Diff);
  EXPECT_EQ(state().enabled, 0);
  EXPECT_EQ(state().plane, 2);
  EXPECT_EQ(state().show_plane, 1);

  // The interpreter matches the argument list: other calls reach nothing.
  module.host.error_mode = VdubErrorMode::Record;
  state().thresholds[0][0] = 7;
  EXPECT_FALSE(instance.call_script("Config", {1, 2, 3}));
  EXPECT_FALSE(instance.call_script("Setup", {0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(state().thresholds[0][0], 7);
  EXPECT_EQ(module.host.errors.size(), 2u);

  // Called directly with too few arguments, the function reads none.
  CScriptValue few[2] = {};
  few[0].u.i = few[1].u.i = 65535;
  script_config(nullptr, &instance.activation(), few, 2);
  EXPECT_EQ(state().thresholds[0][0], 7);
}

TEST_F(ScriptTest, AnyThresholdsSurviveTheSavedCall) {
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int32_t> threshold(0, 255);
  for (int round = 0; round < 500; ++round) {
    int32_t saved[3][6];
    for (auto& plane : saved)
      for (int32_t& t : plane) t = round == 0 ? 0 : round == 1 ? 255 : threshold(random);
    std::memcpy(state().thresholds, saved, sizeof saved);

    // The line as VirtualDub saves it, read back into a fresh instance.
    const std::string line = "VirtualDub.video.filters.instance[0]." + instance.script_text() + ";";
    VdubInstance restored(module.host);
    ASSERT_EQ(restored.init(), 0);
    ASSERT_TRUE(restored.run_script(line)) << line;
    const zolta::FilterState& r = *static_cast<const zolta::FilterState*>(restored.data());
    ASSERT_EQ(std::memcmp(r.thresholds, saved, sizeof saved), 0) << line;
  }
}

TEST(VdubPackedPair, PacksAndSplitsInWrappingArithmetic) {
  EXPECT_EQ(packed_pair(16, 32), 4128);
  EXPECT_EQ(packed_pair(255, 255), 65535);
  EXPECT_EQ(packed_pair(-1, 0), -256);
  EXPECT_EQ(packed_pair(0x7FFFFFFF, 0), static_cast<int32_t>(0xFFFFFF00u));  // wraps, no UB
  int32_t first = 0, second = 0;
  unpack_pair(-1, first, second);
  EXPECT_EQ(first, -1);
  EXPECT_EQ(second, 255);
  unpack_pair(INT32_MIN, first, second);
  EXPECT_EQ(first, -8388608);
  EXPECT_EQ(second, 0);
}
