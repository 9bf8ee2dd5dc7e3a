// SPDX-License-Identifier: BSD-2-Clause
#include "api_support.h"

#include <cstring>
#include <random>

std::vector<FormatCase> every_format() {
  std::vector<FormatCase> cases;
  const zolta_family planar[] = {ZOLTA_FAMILY_GRAY,   ZOLTA_FAMILY_YUV444, ZOLTA_FAMILY_YUV422,
                                 ZOLTA_FAMILY_YUV420, ZOLTA_FAMILY_YUV411, ZOLTA_FAMILY_RGB};
  for (zolta_family f : planar) {
    for (int32_t bits : {8, 9, 10, 12, 14, 16}) cases.push_back({f, ZOLTA_SAMPLE_INTEGER, bits});
    cases.push_back({f, ZOLTA_SAMPLE_FLOAT, 32});
  }
  for (zolta_family f : {ZOLTA_FAMILY_RGB32, ZOLTA_FAMILY_YUY2, ZOLTA_FAMILY_RGB24}) {
    cases.push_back({f, ZOLTA_SAMPLE_INTEGER, 8});
  }
  return cases;
}

std::string format_name(const FormatCase& f) {
  const char* names[] = {"gray", "yuv444", "yuv422", "yuv420", "yuv411",
                         "rgb",  "rgb32",  "yuy2",   "rgb24"};
  return std::string(names[f.family]) +
         (f.sample == ZOLTA_SAMPLE_FLOAT ? "/float" : "/" + std::to_string(f.bits));
}

zolta_stream stream_of(const FormatCase& f, int32_t width, int32_t height) {
  return {ZOLTA_API_VERSION, f.family, f.sample, f.bits, width, height, {}};
}

namespace {

int32_t sample_bytes(const zolta_stream& s) {
  return s.sample == ZOLTA_SAMPLE_FLOAT ? 4 : (s.bits > 8 ? 2 : 1);
}

bool is_rgb(int32_t family) {
  return family == ZOLTA_FAMILY_RGB || family == ZOLTA_FAMILY_RGB32 || family == ZOLTA_FAMILY_RGB24;
}

}  // namespace

size_t row_bytes(const zolta_stream& s, int p) {
  int32_t w, h;
  zolta_stream_plane_size(&s, p, &w, &h);
  switch (s.family) {
    case ZOLTA_FAMILY_RGB32:
      return size_t(w) * 4;
    case ZOLTA_FAMILY_RGB24:
      return size_t(w) * 3;
    case ZOLTA_FAMILY_YUY2:
      return size_t(w) * 2;
    case ZOLTA_FAMILY_RGB:
      return size_t(s.width) * sample_bytes(s);
    default:
      return size_t(w) * sample_bytes(s);
  }
}

int32_t plane_rows(const zolta_stream& s, int p) {
  if (is_rgb(s.family)) return s.height;
  int32_t w, h;
  zolta_stream_plane_size(&s, p, &w, &h);
  return h;
}

ref::FrameRef TestFrame::ref() const {
  ref::FrameRef r{};
  for (int p = 0; p < 3; ++p) {
    r.data[p] = static_cast<uint8_t*>(frame.data[p]);
    r.stride[p] = frame.stride[p];
  }
  return r;
}

namespace {

void place(TestFrame& t, int p, size_t row, int32_t rows, int32_t extra, bool negative) {
  const ptrdiff_t pitch = static_cast<ptrdiff_t>(row) + extra;
  t.storage[p].assign(size_t(pitch) * rows + 16, 0);
  uint8_t* base = t.storage[p].data();
  if (negative) {
    t.frame.data[p] = base + pitch * (rows - 1);
    t.frame.stride[p] = -pitch;
  } else {
    t.frame.data[p] = base;
    t.frame.stride[p] = pitch;
  }
}

uint8_t* row_of(const TestFrame& t, int p, int32_t r) {
  return static_cast<uint8_t*>(t.frame.data[p]) + r * t.frame.stride[p];
}

}  // namespace

TestFrame make_frame(const zolta_stream& s, int32_t extra, bool negative, uint32_t seed,
                     uint8_t fill) {
  TestFrame t;
  t.stream = s;
  const int planes = zolta_stream_planes(&s);
  std::mt19937 rng(seed);
  for (int p = 0; p < planes; ++p) {
    const size_t row = row_bytes(s, p);
    const int32_t rows = plane_rows(s, p);
    place(t, p, row, rows, extra, negative);
    for (int32_t r = 0; r < rows; ++r) {
      uint8_t* d = row_of(t, p, r);
      if (seed == 0) {
        std::memset(d, fill, row);
        continue;
      }
      if (s.sample == ZOLTA_SAMPLE_FLOAT) {
        // Luma-like samples a little beyond 0..1, chroma beyond -0.5..0.5.
        const bool chroma = p > 0 && !is_rgb(s.family);
        std::uniform_real_distribution<float> v(chroma ? -0.55f : -0.05f, chroma ? 0.55f : 1.05f);
        for (size_t x = 0; x < row / 4; ++x) {
          const float f = v(rng);
          std::memcpy(d + 4 * x, &f, 4);
        }
      } else if (s.bits > 8) {
        for (size_t x = 0; x < row / 2; ++x) {
          const uint16_t v = static_cast<uint16_t>(rng() & ((1u << s.bits) - 1));
          std::memcpy(d + 2 * x, &v, 2);
        }
      } else {
        for (size_t x = 0; x < row; ++x) d[x] = static_cast<uint8_t>(rng());
      }
    }
  }
  return t;
}

TestFrame copy_layout(const TestFrame& from, int32_t extra, bool negative) {
  TestFrame t;
  t.stream = from.stream;
  const int planes = zolta_stream_planes(&from.stream);
  for (int p = 0; p < planes; ++p) {
    const size_t row = row_bytes(from.stream, p);
    const int32_t rows = plane_rows(from.stream, p);
    place(t, p, row, rows, extra, negative);
    for (int32_t r = 0; r < rows; ++r) std::memcpy(row_of(t, p, r), row_of(from, p, r), row);
  }
  return t;
}

testing::AssertionResult same_frames(const TestFrame& a, const TestFrame& b) {
  const int planes = zolta_stream_planes(&a.stream);
  for (int p = 0; p < planes; ++p) {
    const size_t row = row_bytes(a.stream, p);
    for (int32_t r = 0; r < plane_rows(a.stream, p); ++r) {
      const uint8_t* x = row_of(a, p, r);
      const uint8_t* y = row_of(b, p, r);
      for (size_t k = 0; k < row; ++k) {
        if (x[k] != y[k]) {
          return testing::AssertionFailure() << "plane " << p << " row " << r << " byte " << k
                                             << ": " << +x[k] << " against " << +y[k];
        }
      }
    }
  }
  return testing::AssertionSuccess();
}

ref::Format model_format(const zolta_stream& stream) {
  return {stream.family, stream.sample == ZOLTA_SAMPLE_FLOAT, stream.bits, stream.width,
          stream.height};
}

ref::Settings model_settings(const zolta_settings& s) {
  ref::Settings m;
  for (int p = 0; p < 3; ++p) {
    for (int d = 0; d < 2; ++d) {
      for (int l = 0; l < 3; ++l) m.thresholds[p][d + 2 * l] = s.thresholds[p][d][l];
    }
  }
  m.mode = s.view;
  m.show_plane = s.show_plane;
  m.plane = s.plane;
  m.enabled = s.enabled;
  for (int p = 0; p < 3; ++p) m.temporal[p] = s.temporal_thresholds[p];
  for (int r = 0; r < 2; ++r) m.share[r] = s.temporal_spatial_share[r];
  for (int r = 0; r < 2; ++r) m.restore[r] = s.temporal_restore[r];
  std::memcpy(m.gains, s.brightness_gains, sizeof m.gains);
  return m;
}

zolta_settings random_settings(uint32_t seed, int32_t max) {
  std::mt19937 rng(seed);
  zolta_settings s;
  zolta_settings_default(&s, ZOLTA_API_VERSION);
  for (auto& plane : s.thresholds) {
    for (auto& direction : plane) {
      for (auto& v : direction) v = rng() % 3 == 0 ? 0 : static_cast<int32_t>(rng() % (max + 1));
    }
  }
  return s;
}

Denoiser::Denoiser(const zolta_stream& s, const zolta_settings& settings, int32_t threads,
                   int32_t radius, int32_t frame_threads) {
  zolta_denoiser_config config{ZOLTA_API_VERSION, s, settings, threads, radius, frame_threads, {}};
  zolta_error error{};
  EXPECT_EQ(zolta_denoiser_create(&config, &d, &error), ZOLTA_OK) << error.message;
}

Denoiser::~Denoiser() {
  zolta_denoiser_destroy(d);
}

int Denoiser::process(const TestFrame& in, const TestFrame& out, zolta_error* error) {
  return zolta_denoiser_process(d, &in.frame, &out.frame, error);
}

int Denoiser::process_window(const std::vector<const TestFrame*>& window, const TestFrame& out,
                             zolta_error* error) {
  std::vector<const zolta_frame*> frames;
  for (const TestFrame* f : window) frames.push_back(&f->frame);
  return zolta_denoiser_process_window(d, frames.data(), static_cast<int32_t>(frames.size()),
                                       &out.frame, error);
}
