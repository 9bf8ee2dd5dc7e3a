// SPDX-License-Identifier: BSD-2-Clause
// The progress line's text.
#include "progress.h"

#include <gtest/gtest.h>

TEST(ProgressLine, ShowsFramesAndRateAndWhenTheTotalIsKnownTheShareAndTimeLeft) {
  EXPECT_EQ(progress_text(120, -1, 4.0), "120 frames, 30.0 fps");
  EXPECT_EQ(progress_text(0, -1, 0.0), "0 frames, 0.0 fps");
  EXPECT_EQ(progress_text(120, 500, 4.0), "120 of 500 frames (24%), 30.0 fps, 0:13 left");
  EXPECT_EQ(progress_text(100, 100000, 10.0),
            "100 of 100000 frames (0%), 10.0 fps, 2:46:30 left");
  EXPECT_EQ(progress_text(500, 500, 20.0), "500 of 500 frames (100%), 25.0 fps, 0:00 left");
  // More frames than the size foretold (frame parameters make frames longer
  // or shorter): the count alone.
  EXPECT_EQ(progress_text(12, 10, 1.0), "12 frames, 12.0 fps");
}
