// SPDX-License-Identifier: BSD-2-Clause
// The AviSynth test host itself: zolta-run and the Windows test program lean
// on it too, so careless calls must end in its error, never in a crash.
#include "avs_test_support.h"

TEST(AvsTestHost, MissingNamesFormatsAndFunctionsEndInTheHostsError) {
  AvsEnvironment env;
  EXPECT_EQ(error_of([&] { env.GetVar(nullptr); }), "I don't know what \"\" means.");
  EXPECT_EQ(error_of([&] { env.GetVar("clip"); }), "I don't know what \"clip\" means.");
  EXPECT_EQ(error_of([&] { env.ThrowError(nullptr); }), "");
  EXPECT_EQ(error_of([&] { env.ThrowError("%s at %d", "late", 3); }), "late at 3");
  EXPECT_STREQ(env.Sprintf(nullptr), "");

  env.AddFunction("Blank", "c", nullptr, nullptr);
  EXPECT_EQ(error_of([&] { env.call("Blank", nullptr, 0); }),
            "The function \"Blank\" was registered without code.");
  EXPECT_EQ(error_of([&] { env.call("Absent", nullptr, 0); }),
            "There is no function named \"Absent\".");
  EXPECT_EQ(env.errors().size(), 6u);
}
