// SPDX-License-Identifier: BSD-2-Clause
#include "formats.h"

int yuv_family_of(int log2_w, int log2_h) {
  if (log2_w == 0 && log2_h == 0) return ZOLTA_FAMILY_YUV444;
  if (log2_w == 1 && log2_h == 0) return ZOLTA_FAMILY_YUV422;
  if (log2_w == 1 && log2_h == 1) return ZOLTA_FAMILY_YUV420;
  if (log2_w == 2 && log2_h == 0) return ZOLTA_FAMILY_YUV411;
  return -1;
}
