// SPDX-License-Identifier: BSD-2-Clause
// Frames beyond the stack scratch: ultra-high-definition sizes denoised on
// scratch rows behind the planes, checked against the model.
#include <gtest/gtest.h>

#include <vector>

#include "reference.h"
#include "test_support.h"

TEST(LargeFrames, UltraHighDefinitionFramesMatchTheModel) {
  PathScope scope(available_paths().back());
  {  // 3840 x 2160, RGB32, two levels each way on Cb (steps 4 and 8 along rows).
    ref::Settings s;
    s.thresholds[1][2] = 24;
    s.thresholds[1][4] = 40;
    s.thresholds[1][1] = 16;
    s.thresholds[1][3] = -8;
    expect_frame_matches_model(random_words(size_t(3840) * 2160, 1), 3840, 3840, 2160, s, false);
  }
  {  // 4096 x 2160, YUY2, luma along rows and columns.
    ref::Settings s;
    s.thresholds[0][0] = 40;
    s.thresholds[0][5] = 40;
    expect_frame_matches_model(random_words(size_t(2048) * 2160, 2), 2048, 4096, 2160, s, true);
  }
  {  // 7680 x 4320, YUY2: columns of 4320 samples, one level on Cr.
    ref::Settings s;
    s.thresholds[2][1] = 40;
    expect_frame_matches_model(random_words(size_t(3840) * 4320, 3), 3840, 7680, 4320, s, true);
  }
}
