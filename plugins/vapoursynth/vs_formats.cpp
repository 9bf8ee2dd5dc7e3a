// SPDX-License-Identifier: BSD-2-Clause
#include "vs_formats.h"

#include <cstdio>

#include "formats.h"
#include "plugin_errors.h"

namespace {

const char kVsAccepted[] =
    "accepted: constant-format Gray, YUV 4:4:4, 4:2:2, 4:2:0, 4:1:1 or RGB with 8 to 16-bit "
    "integer or 32-bit float samples";

}  // namespace

int vs_stream_from_info(const VSVideoInfo& vi, const char* format_name, zolta_stream* stream,
                        zolta_error* error) {
  const VSVideoFormat& f = vi.format;
  if (f.colorFamily == cfUndefined) {
    return plugin_fail(error, ZOLTA_ERROR_FORMAT, "the clip has a variable format; %s",
                       kVsAccepted);
  }
  const char* name = format_name ? format_name : "this format";
  if (vi.width <= 0 || vi.height <= 0) {
    return plugin_fail(error, ZOLTA_ERROR_SIZE, "the clip (%s) has a variable frame size; %s", name,
                       kVsAccepted);
  }
  int family = -1;
  if (f.colorFamily == cfGray) {
    family = ZOLTA_FAMILY_GRAY;
  } else if (f.colorFamily == cfRGB && f.subSamplingW == 0 && f.subSamplingH == 0) {
    family = ZOLTA_FAMILY_RGB;
  } else if (f.colorFamily == cfYUV) {
    family = yuv_family_of(f.subSamplingW, f.subSamplingH);
  }
  const bool integer = f.sampleType == stInteger && f.bitsPerSample >= 8 && f.bitsPerSample <= 16;
  const bool single = f.sampleType == stFloat && f.bitsPerSample == 32;
  if (family < 0 || !(integer || single)) {
    return plugin_fail(error, ZOLTA_ERROR_FORMAT, "the clip is %s; %s", name, kVsAccepted);
  }
  zolta_stream s;
  s.family = family;
  s.sample = single ? ZOLTA_SAMPLE_FLOAT : ZOLTA_SAMPLE_INTEGER;
  s.bits = f.bitsPerSample;
  s.width = vi.width;
  s.height = vi.height;
  const int status = zolta_stream_check(&s, error);
  if (status != ZOLTA_OK) return status;
  *stream = s;
  return ZOLTA_OK;
}
