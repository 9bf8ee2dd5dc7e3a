// SPDX-License-Identifier: BSD-2-Clause
#include "avs_formats.h"

#include <cstdio>

#include "formats.h"
#include "plugin_errors.h"

namespace {

const char kAvsAccepted[] =
    "accepted: YUY2, RGB32, and planar Y, YUV 4:4:4, 4:2:2, 4:2:0, 4:1:1 (YV411) or RGB "
    "without alpha, with 8 to 16-bit integer or 32-bit float samples";

// Bits of an AviSynth+ sample-bits code; 0 for a code without meaning.
int avs_bits(uint32_t pixel_type) {
  switch ((pixel_type & kAvsCsSampleBitsMask) >> 16) {
    case 0:
      return 8;
    case 1:
      return 16;
    case 2:
      return 32;
    case 5:
      return 10;
    case 6:
      return 12;
    case 7:
      return 14;
    default:
      return 0;
  }
}

int avs_log2_sub(uint32_t code) {
  return static_cast<int>((code + 1) & 3);
}

}  // namespace

void avs_format_name(int pixel_type, char* buffer, size_t size) {
  const uint32_t pt = static_cast<uint32_t>(pixel_type);
  const int bits = avs_bits(pt);
  const uint32_t masked = pt & ~static_cast<uint32_t>(kAvsCsPlaneOrderBits);
  if (pt == kAvsCsYuy2) {
    std::snprintf(buffer, size, "YUY2");
  } else if ((pt & kAvsCsPlanar) == 0 && (pt & kAvsCsBgr) != 0 && bits > 0 && bits <= 16) {
    const int channels = (pt & kAvsCsRgbaType) ? 4 : 3;
    std::snprintf(buffer, size, "RGB%d", channels * bits);
  } else if ((pt & kAvsCsPlanar) != 0 && bits > 0) {
    char depth[16];
    if (bits == 32) {
      std::snprintf(depth, sizeof depth, "S");
    } else {
      std::snprintf(depth, sizeof depth, "%d", bits);
    }
    if ((masked & (kAvsCsInterleaved | kAvsCsYuv)) == (kAvsCsInterleaved | kAvsCsYuv)) {
      std::snprintf(buffer, size, "Y%s", bits == 32 ? "32" : depth);
    } else if (pt & kAvsCsBgr) {
      std::snprintf(buffer, size, "%s%s", (pt & kAvsCsRgbaType) ? "RGBAP" : "RGBP",
                    bits == 8 ? "" : depth);
    } else {
      const int w = avs_log2_sub(pt & kAvsCsSubWMask);
      const int h = avs_log2_sub((pt & kAvsCsSubHMask) >> 8);
      const char* sub = w == 0 && h == 0   ? "444"
                        : w == 1 && h == 0 ? "422"
                        : w == 1 && h == 1 ? "420"
                        : w == 2 && h == 0 ? "411"
                        : w == 2 && h == 2 ? "410"
                                           : nullptr;
      if (sub) {
        std::snprintf(buffer, size, "%s%sP%s", (pt & kAvsCsYuva) ? "YUVA" : "YUV", sub, depth);
      } else {
        std::snprintf(buffer, size, "pixel type 0x%08X", pt);
      }
    }
  } else {
    std::snprintf(buffer, size, "pixel type 0x%08X", pt);
  }
}

int avs_stream_from_info(const AVS_VideoInfo& vi, zolta_stream* stream, AvsPlaneMap* map,
                         zolta_error* error) {
  const uint32_t pt = static_cast<uint32_t>(vi.pixel_type);
  zolta_stream s;
  s.width = vi.width;
  s.height = vi.height;
  s.sample = ZOLTA_SAMPLE_INTEGER;
  s.bits = 8;
  s.family = -1;
  AvsPlaneMap m;
  const int bits = avs_bits(pt);
  if (vi.width <= 0) {
    return plugin_fail(error, ZOLTA_ERROR_FORMAT, "the clip has no video; %s", kAvsAccepted);
  }
  if (pt == kAvsCsYuy2) {
    s.family = ZOLTA_FAMILY_YUY2;
    m.planes = 1;
    m.plane_ids[0] = kAvsDefaultPlane;
  } else if (pt == kAvsCsBgr32) {
    s.family = ZOLTA_FAMILY_RGB32;
    m.planes = 1;
    m.plane_ids[0] = kAvsDefaultPlane;
    m.bottom_up = true;
  } else if ((pt & kAvsCsPlanar) && bits != 0 && !(pt & kAvsCsYuva)) {
    s.sample = bits == 32 ? ZOLTA_SAMPLE_FLOAT : ZOLTA_SAMPLE_INTEGER;
    s.bits = bits;
    const uint32_t masked = pt & ~static_cast<uint32_t>(kAvsCsPlaneOrderBits);
    if ((masked & (kAvsCsInterleaved | kAvsCsYuv)) == (kAvsCsInterleaved | kAvsCsYuv)) {
      s.family = ZOLTA_FAMILY_GRAY;
      m.planes = 1;
      m.plane_ids[0] = kAvsPlanarY;
    } else if ((pt & kAvsCsBgr) && !(pt & kAvsCsYuv)) {
      if ((pt & (kAvsCsRgbType | kAvsCsRgbaType)) == kAvsCsRgbType) {
        s.family = ZOLTA_FAMILY_RGB;
        m.planes = 3;
        m.plane_ids[0] = kAvsPlanarR;
        m.plane_ids[1] = kAvsPlanarG;
        m.plane_ids[2] = kAvsPlanarB;
      }
    } else if (pt & kAvsCsYuv) {
      s.family = yuv_family_of(avs_log2_sub(pt & kAvsCsSubWMask),
                               avs_log2_sub((pt & kAvsCsSubHMask) >> 8));
      m.planes = 3;
      m.plane_ids[0] = kAvsPlanarY;
      m.plane_ids[1] = kAvsPlanarU;
      m.plane_ids[2] = kAvsPlanarV;
    }
  }
  if (s.family < 0) {
    char name[48];
    avs_format_name(vi.pixel_type, name, sizeof name);
    return plugin_fail(error, ZOLTA_ERROR_FORMAT, "the clip is %s; %s", name, kAvsAccepted);
  }
  const int status = zolta_stream_check(&s, error);
  if (status != ZOLTA_OK) return status;
  *stream = s;
  *map = m;
  return ZOLTA_OK;
}
