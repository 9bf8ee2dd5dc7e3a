// SPDX-License-Identifier: BSD-2-Clause
// Choosing the instruction-set path.
#include <gtest/gtest.h>

#include <string>

#include "dsp.h"
#include "test_support.h"

using namespace zolta;

TEST(Dispatch, PathsAreChosenWithinWhatTheProcessorRuns) {
  const std::vector<SimdPath> paths = available_paths();
  ASSERT_FALSE(paths.empty());
  EXPECT_EQ(paths.front(), kSimdPlain);  // the plain path is always there
  for (SimdPath path : paths) {
    EXPECT_EQ(select_simd_path(path), path);
    EXPECT_EQ(dsp_kernels().path, path);
    EXPECT_EQ(std::string(dsp_kernels().name), simd_path_name(path));
  }
  // Asking for more than the processor has gives the widest it has; asking
  // for less than the baseline gives the baseline.
  EXPECT_EQ(select_simd_path(static_cast<SimdPath>(99)), paths.back());
  EXPECT_EQ(select_simd_path(static_cast<SimdPath>(-3)), kSimdPlain);
  EXPECT_FALSE(simd_path_available(static_cast<SimdPath>(7)));
  select_simd_path(kSimdAvx512);
  EXPECT_EQ(dsp_kernels().path, paths.back());
}
