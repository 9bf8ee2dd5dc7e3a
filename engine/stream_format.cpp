// SPDX-License-Identifier: BSD-2-Clause
#include "stream_format.h"

#include <cstdlib>

#include "errors.h"

namespace zolta {

namespace {

struct FamilyRule {
  const char* name;
  int32_t planes;   // of the denoiser
  int32_t shift_x;  // chroma width = width >> shift_x
  int32_t shift_y;  // chroma height = height >> shift_y
  bool rgb;
  bool packed;
};

const FamilyRule kFamilies[] = {
    {"GRAY", 1, 0, 0, false, false},  {"4:4:4", 3, 0, 0, false, false},
    {"4:2:2", 3, 1, 0, false, false}, {"4:2:0", 3, 1, 1, false, false},
    {"4:1:1", 3, 2, 0, false, false}, {"planar RGB", 3, 0, 0, true, false},
    {"RGB32", 3, 0, 0, true, true},   {"YUY2", 3, 1, 0, false, true},
    {"RGB24", 3, 0, 0, true, true},
};
constexpr int kFamilyCount = sizeof kFamilies / sizeof kFamilies[0];

void fill_layout(StreamLayout& layout, const zolta_stream& s);

bool valid_family(int32_t family) {
  return family >= 0 && family < kFamilyCount;
}

// "a multiple of 8" / "multiples of 8" texts for the size message.
int size_error(zolta_error* error, const FamilyRule& f, int32_t w_multiple, int32_t h_multiple,
               int32_t width, int32_t height) {
  if (w_multiple == h_multiple) {
    return fail(error, ZOLTA_ERROR_SIZE,
                "%s needs width and height that are multiples of %d; got %d x %d", f.name,
                w_multiple, width, height);
  }
  return fail(error, ZOLTA_ERROR_SIZE,
              "%s needs a width that is a multiple of %d and a height that is a multiple of %d; "
              "got %d x %d",
              f.name, w_multiple, h_multiple, width, height);
}

}  // namespace

const char* family_name(int32_t family) {
  return valid_family(family) ? kFamilies[family].name : "unknown format";
}

int stream_layout(const zolta_stream& s, StreamLayout& layout, zolta_error* error) {
  if (!valid_family(s.family)) {
    return fail(error, ZOLTA_ERROR_FORMAT, "unknown format family %d", static_cast<int>(s.family));
  }
  const FamilyRule& f = kFamilies[s.family];
  if (s.sample == ZOLTA_SAMPLE_FLOAT) {
    if (f.packed) {
      return fail(error, ZOLTA_ERROR_FORMAT, "%s has 8-bit integer samples only; got float",
                  f.name);
    }
    if (s.bits != 32) {
      return fail(error, ZOLTA_ERROR_FORMAT, "%s float samples have 32 bits; got %d", f.name,
                  static_cast<int>(s.bits));
    }
  } else if (s.sample == ZOLTA_SAMPLE_INTEGER) {
    if (f.packed && s.bits != 8) {
      return fail(error, ZOLTA_ERROR_FORMAT, "%s has 8-bit integer samples only; got %d bits",
                  f.name, static_cast<int>(s.bits));
    }
    const int32_t b = s.bits;
    if (b != 8 && b != 9 && b != 10 && b != 12 && b != 14 && b != 16) {
      return fail(error, ZOLTA_ERROR_FORMAT,
                  "%s integer samples have 8, 9, 10, 12, 14 or 16 bits; got %d", f.name,
                  static_cast<int>(b));
    }
  } else {
    return fail(error, ZOLTA_ERROR_FORMAT, "%s: unknown sample type %d", f.name,
                static_cast<int>(s.sample));
  }

  // Every plane a positive multiple of 4 in both directions.
  const int32_t w_multiple = 4 << f.shift_x;
  const int32_t h_multiple = 4 << f.shift_y;
  if (s.width <= 0 || s.height <= 0 || s.width % w_multiple != 0 || s.height % h_multiple != 0) {
    return size_error(error, f, w_multiple, s.height > 0 ? h_multiple : h_multiple, s.width,
                      s.height);
  }
  // The engine's buffers for one frame: three planes of (width + 256) x
  // height floats at most. Sizes that cannot be addressed are refused here,
  // before any arithmetic could wrap.
  const uint64_t floats =
      3 * static_cast<uint64_t>(s.height) * (static_cast<uint64_t>(s.width) + 512);
  const uint64_t limit = static_cast<uint64_t>(PTRDIFF_MAX) / 8;
  if (floats > limit / sizeof(float)) {
    return fail(error, ZOLTA_ERROR_SIZE, "%s frame of %d x %d does not fit in memory", f.name,
                static_cast<int>(s.width), static_cast<int>(s.height));
  }

  fill_layout(layout, s);
  return succeed(error);
}

StreamLayout packed_layout(zolta_family family, int32_t width, int32_t height) {
  StreamLayout layout{};
  fill_layout(layout,
              zolta_stream{ZOLTA_API_VERSION, family, ZOLTA_SAMPLE_INTEGER, 8, width, height, {}});
  return layout;
}

namespace {

void fill_layout(StreamLayout& layout, const zolta_stream& s) {
  const FamilyRule& f = kFamilies[s.family];
  layout.family = static_cast<zolta_family>(s.family);
  layout.is_float = s.sample == ZOLTA_SAMPLE_FLOAT;
  layout.bits = s.bits;
  layout.width = s.width;
  layout.height = s.height;
  layout.frame_planes = f.packed ? 1 : f.planes;
  layout.planes = f.planes;
  for (int p = 0; p < 3; ++p) {
    const bool chroma = p > 0;
    layout.plane_width[p] = p < f.planes ? (chroma ? s.width >> f.shift_x : s.width) : 0;
    layout.plane_height[p] = p < f.planes ? (chroma ? s.height >> f.shift_y : s.height) : 0;
  }
  layout.rgb = f.rgb;
  layout.wide_chroma = f.planes == 3 && f.shift_x == 0;
  layout.sample_bytes = layout.is_float ? 4 : (s.bits > 8 ? 2 : 1);
  layout.max_value = layout.is_float ? 0 : (1 << s.bits) - 1;
  layout.k_in = layout.is_float ? 255.0f : static_cast<float>(255.0 / ((1 << s.bits) - 1));
  layout.k_out = layout.is_float ? 1.0f / 255.0f : static_cast<float>(((1 << s.bits) - 1) / 255.0);
}

}  // namespace

size_t frame_row_bytes(const StreamLayout& layout, int p) {
  switch (layout.family) {
    case ZOLTA_FAMILY_RGB32:
      return static_cast<size_t>(layout.width) * 4;
    case ZOLTA_FAMILY_RGB24:
      return static_cast<size_t>(layout.width) * 3;
    case ZOLTA_FAMILY_YUY2:
      return static_cast<size_t>(layout.width) * 2;
    case ZOLTA_FAMILY_RGB:
      return static_cast<size_t>(layout.width) * layout.sample_bytes;
    default:
      return static_cast<size_t>(layout.plane_width[p]) * layout.sample_bytes;
  }
}

int32_t frame_rows(const StreamLayout& layout, int p) {
  return layout.rgb ? layout.height : layout.plane_height[p];
}

int check_version(uint32_t version, const char* record, zolta_error* error) {
  const uint32_t major = version >> 16, minor = version & 0xffff;
  if (version == 0) {
    return fail(error, ZOLTA_ERROR_ARGUMENT,
                "the %s has version 0: fill it with %s_default(&record, ZOLTA_API_VERSION) first",
                record, record);
  }
  if (major != ZOLTA_API_VERSION_MAJOR || minor > ZOLTA_API_VERSION_MINOR) {
    return fail(error, ZOLTA_ERROR_ARGUMENT,
                "the %s has version %lu.%lu; this library is version %d.%d", record,
                static_cast<unsigned long>(major), static_cast<unsigned long>(minor),
                ZOLTA_API_VERSION_MAJOR, ZOLTA_API_VERSION_MINOR);
  }
  return succeed(error);
}

bool frame_interleaved(const StreamLayout& layout, const zolta_frame& frame) {
  for (int p = 0; p < layout.frame_planes; ++p) {
    if (frame.step[p] != 0 && frame.step[p] != layout.sample_bytes) return true;
  }
  return false;
}

int check_frame(const StreamLayout& layout, const zolta_frame& frame, const char* which,
                zolta_error* error) {
  int status = check_version(frame.version, "zolta_frame", error);
  if (status != ZOLTA_OK) return status;
  const bool packed = layout.family == ZOLTA_FAMILY_RGB32 || layout.family == ZOLTA_FAMILY_RGB24 ||
                      layout.family == ZOLTA_FAMILY_YUY2;
  for (int p = 0; p < layout.frame_planes; ++p) {
    if (!frame.data[p]) {
      return fail(error, ZOLTA_ERROR_FRAME, "%s frame: plane %d has no data", which, p);
    }
    const ptrdiff_t step = frame.step[p];
    if (step != 0 && (packed || step < layout.sample_bytes || step % layout.sample_bytes != 0 ||
                      step > (ptrdiff_t{1} << 20))) {
      return fail(error, ZOLTA_ERROR_FRAME,
                  packed ? "%s frame: plane %d has a pixel step of %ld bytes; packed formats take 0"
                         : "%s frame: plane %d has a pixel step of %ld bytes; it is 0 or a "
                           "multiple of the sample size up to 1048576",
                  which, p, static_cast<long>(step));
    }
    const ptrdiff_t stride = frame.stride[p];
    uint64_t row = frame_row_bytes(layout, p);
    if (step != 0) {
      const uint64_t samples = row / static_cast<uint64_t>(layout.sample_bytes);
      row =
          (samples - 1) * static_cast<uint64_t>(step) + static_cast<uint64_t>(layout.sample_bytes);
    }
    const uint64_t magnitude =
        stride < 0 ? uint64_t{0} - static_cast<uint64_t>(stride) : static_cast<uint64_t>(stride);
    if (magnitude < row) {
      return fail(error, ZOLTA_ERROR_FRAME,
                  "%s frame: plane %d has a stride of %ld bytes, less than its row of %lu bytes",
                  which, p, static_cast<long>(stride), static_cast<unsigned long>(row));
    }
    const uintptr_t a = static_cast<uintptr_t>(layout.sample_bytes) - 1;
    if ((reinterpret_cast<uintptr_t>(frame.data[p]) & a) != 0 ||
        (static_cast<uintptr_t>(stride) & a) != 0) {
      return fail(error, ZOLTA_ERROR_FRAME,
                  "%s frame: plane %d is not aligned to its %d-byte samples (pointer and stride)",
                  which, p, static_cast<int>(layout.sample_bytes));
    }
  }
  return succeed(error);
}

}  // namespace zolta
