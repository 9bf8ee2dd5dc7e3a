// SPDX-License-Identifier: BSD-2-Clause
#include "reference.h"

#include <cmath>
#include <cstring>

namespace ref {

const float kAnalysis[4] = {0.341506362f, 0.591506362f, 0.158493653f, -0.0915063545f};
const float kSynthesis[4] = {-0.0915063545f, 0.158493653f, 0.591506362f, 0.341506362f};

int32_t round_sample(float v) {
  if (!(v >= -2147483648.0f && v < 2147483648.0f)) return INT32_MIN;
  return static_cast<int32_t>(std::nearbyint(v));
}

namespace {

int32_t clamp_byte(int64_t v) {
  return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int32_t>(v));
}

float tap(const std::vector<float>& x, int64_t j) {
  const int64_t n = static_cast<int64_t>(x.size());
  return x[((j % n) + n) % n];
}

uint8_t byte_of(uint32_t word, int k) {
  return static_cast<uint8_t>(word >> (8 * k));
}

}  // namespace

uint8_t to_byte(float v) {
  return static_cast<uint8_t>(clamp_byte(round_sample(v)));
}

void analyze(const std::vector<float>& x, int32_t s, std::vector<float>& approx,
             std::vector<float>& detail) {
  const float c0 = kAnalysis[0], c1 = kAnalysis[1], c2 = kAnalysis[2], c3 = kAnalysis[3];
  const int64_t n = static_cast<int64_t>(x.size());
  approx.assign(x.size(), 0.0f);
  detail.assign(x.size(), 0.0f);
  for (int64_t i = 0; i < n; ++i) {
    const float xm = tap(x, i - s), x0 = tap(x, i), xp = tap(x, i + s), xpp = tap(x, i + 2 * s);
    approx[i] = ((c0 * xm + c1 * x0) + c2 * xp) + c3 * xpp;
    detail[i] = ((c2 * x0 - c3 * xm) - c1 * xp) + c0 * xpp;
  }
}

void synthesize(const std::vector<float>& approx, const std::vector<float>& detail, int32_t s,
                float threshold, std::vector<float>& out, const std::vector<float>& gains) {
  const float b0 = kSynthesis[0], b1 = kSynthesis[1], b2 = kSynthesis[2], b3 = kSynthesis[3];
  const int64_t n = static_cast<int64_t>(approx.size());
  out.assign(approx.size(), 0.0f);
  for (int64_t i = 0; i < n; ++i) {
    const float u =
        ((b0 * tap(approx, i - 2 * s) + b1 * tap(approx, i - s)) + b2 * tap(approx, i)) +
        b3 * tap(approx, i + s);
    const float t =
        ((b3 * tap(detail, i - 2 * s) - b2 * tap(detail, i - s)) + b1 * tap(detail, i)) -
        b0 * tap(detail, i + s);
    const float x = gains.empty() ? threshold : threshold * gains[size_t(i)];
    const bool passes = t > x || !(t >= -x);
    out[i] = u + (passes ? t : 0.0f);
  }
}

namespace {

struct Stage {
  int32_t step;
  float threshold;
};

// Chain over one line; returns the reconstruction, with the High rule applied
// when asked.
std::vector<float> run_line(const std::vector<float>& line, const std::vector<Stage>& stages,
                            bool high, const std::vector<float>& gains) {
  const size_t k = stages.size();
  std::vector<std::vector<float>> approx(k), detail(k);
  const std::vector<float>* input = &line;
  for (size_t l = 0; l < k; ++l) {
    analyze(*input, stages[l].step, approx[l], detail[l]);
    input = &approx[l];
  }
  std::vector<float> up = approx[k - 1];
  for (size_t l = k; l-- > 0;) {
    std::vector<float> rebuilt;
    synthesize(up, detail[l], stages[l].step, stages[l].threshold, rebuilt, gains);
    up = rebuilt;
  }
  if (high) {
    for (size_t i = 0; i < up.size(); ++i) up[i] = (up[i] - approx[k - 1][i]) * 16.0f;
  }
  return up;
}

std::vector<Stage> stages_for(const int32_t settings[6], int32_t direction, bool doubled_step) {
  std::vector<Stage> stages;
  for (int32_t level = 0; level < 3; ++level) {
    const int32_t v = settings[2 * level + direction];
    if (v == 0) continue;
    int32_t step = 1 << level;
    if (doubled_step) step *= 2;
    stages.push_back({step, static_cast<float>(v) / 16.0f});
  }
  return stages;
}

}  // namespace

void denoise_plane(std::vector<float>& plane, int32_t w, int32_t h, const int32_t thresholds[6],
                   bool high, bool doubled_row_step, const uint16_t gains[16]) {
  const std::vector<Stage> xs = stages_for(thresholds, 0, doubled_row_step);
  const std::vector<Stage> ys = stages_for(thresholds, 1, false);
  const std::vector<float> g = gains ? brightness_gains(plane, w, h, gains) : std::vector<float>();
  auto at = [&](int32_t r, int32_t x) -> float& { return plane[size_t(r) * w + x]; };
  if (!xs.empty()) {
    for (int32_t r = 0; r < h; ++r) {
      std::vector<float> line(plane.begin() + size_t(r) * w, plane.begin() + size_t(r + 1) * w);
      std::vector<float> line_gains;
      if (!g.empty()) line_gains.assign(g.begin() + size_t(r) * w, g.begin() + size_t(r + 1) * w);
      const std::vector<float> result = run_line(line, xs, high && ys.empty(), line_gains);
      for (int32_t x = 0; x < w; ++x) at(r, x) = result[x];
    }
  }
  if (!ys.empty()) {
    for (int32_t x = 0; x < w; ++x) {
      std::vector<float> column(h), column_gains;
      for (int32_t r = 0; r < h; ++r) column[r] = at(r, x);
      for (int32_t r = 0; !g.empty() && r < h; ++r) column_gains.push_back(g[size_t(r) * w + x]);
      const std::vector<float> result = run_line(column, ys, high, column_gains);
      for (int32_t r = 0; r < h; ++r) at(r, x) = result[r];
    }
  }
}

void denoise(Planes& planes, const int32_t thresholds[3][6], int32_t mode, bool yuy2) {
  for (int p = 0; p < 3; ++p) {
    denoise_plane(planes.plane[p], planes.width[p], planes.height, thresholds[p], mode == 1,
                  p > 0 && !yuy2);
  }
}

Planes rgb32_to_planes(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height) {
  Planes planes;
  planes.height = height;
  for (int p = 0; p < 3; ++p) {
    planes.width[p] = width;
    planes.plane[p].resize(size_t(width) * height);
  }
  for (int32_t r = 0; r < height; ++r) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t px = src[r * src_pitch + x];
      const float b = byte_of(px, 0), g = byte_of(px, 1), red = byte_of(px, 2);
      const float y = (g * 0.587f + red * 0.299f) + b * 0.114f;
      planes.at(0, r, x) = y;
      planes.at(1, r, x) = (b - y) * 0.565f;
      planes.at(2, r, x) = (red - y) * 0.713f;
    }
  }
  return planes;
}

std::vector<uint32_t> planes_to_rgb32(const Planes& planes) {
  const int32_t w = planes.width[0];
  std::vector<uint32_t> out(size_t(w) * planes.height);
  for (int32_t r = 0; r < planes.height; ++r) {
    for (int32_t x = 0; x < w; ++x) {
      const float y = planes.at(0, r, x), cb = planes.at(1, r, x), cr = planes.at(2, r, x);
      const float b = cb * 1.77f + y;
      const float red = cr * 1.403f + y;
      const float g = (cb * -0.344f + cr * -0.714f) + y;
      out[size_t(r) * w + x] =
          uint32_t(to_byte(b)) | uint32_t(to_byte(g)) << 8 | uint32_t(to_byte(red)) << 16;
    }
  }
  return out;
}

std::vector<uint32_t> plane_to_gray(const Planes& planes, int32_t plane, int32_t mode) {
  const int32_t w = planes.width[0];
  const int64_t offset = mode == 1 ? 128 : 0;
  std::vector<uint32_t> out(size_t(w) * planes.height);
  for (int32_t r = 0; r < planes.height; ++r) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t g =
          static_cast<uint32_t>(clamp_byte(round_sample(planes.at(plane, r, x)) + offset));
      out[size_t(r) * w + x] = g * 0x01010101u;
    }
  }
  return out;
}

Planes yuy2_to_planes(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height) {
  Planes planes;
  planes.height = height;
  planes.width[0] = width;
  planes.width[1] = planes.width[2] = width / 2;
  for (int p = 0; p < 3; ++p) planes.plane[p].resize(size_t(planes.width[p]) * height);
  for (int32_t r = 0; r < height; ++r) {
    for (int32_t k = 0; k < width / 2; ++k) {
      const uint32_t group = src[r * src_pitch + k];
      planes.at(0, r, 2 * k) = byte_of(group, 0);
      planes.at(1, r, k) = byte_of(group, 1);
      planes.at(0, r, 2 * k + 1) = byte_of(group, 2);
      planes.at(2, r, k) = byte_of(group, 3);
    }
  }
  return planes;
}

std::vector<uint8_t> planes_to_yuy2(const Planes& planes) {
  const int32_t w = planes.width[0];
  std::vector<uint8_t> out(size_t(w) * 2 * planes.height);
  for (int32_t r = 0; r < planes.height; ++r) {
    uint8_t* row = &out[size_t(r) * w * 2];
    for (int32_t k = 0; k < w / 2; ++k) {
      row[4 * k] = to_byte(planes.at(0, r, 2 * k));
      row[4 * k + 1] = to_byte(planes.at(1, r, k));
      row[4 * k + 2] = to_byte(planes.at(0, r, 2 * k + 1));
      row[4 * k + 3] = to_byte(planes.at(2, r, k));
    }
  }
  return out;
}

Rgb32Result process_rgb32(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                          const Settings& settings) {
  Rgb32Result result;
  if (!settings.enabled) {
    result.out.resize(size_t(width) * height);
    for (int32_t r = 0; r < height; ++r) {
      for (int32_t x = 0; x < width; ++x)
        result.out[size_t(r) * width + x] = src[r * src_pitch + x];
    }
    return result;
  }
  result.planes = rgb32_to_planes(src, src_pitch, width, height);
  denoise(result.planes, settings.thresholds, settings.mode, false);
  const bool diff = settings.mode == 2;
  if ((settings.show_plane || settings.mode == 1) && !diff) {
    result.out = plane_to_gray(result.planes, settings.plane, settings.mode);
  } else {
    result.out = planes_to_rgb32(result.planes);
  }
  if (diff) {
    for (int32_t r = 0; r < height; ++r) {
      for (int32_t x = 0; x < width; ++x) {
        uint32_t& word = result.out[size_t(r) * width + x];
        const uint32_t s = src[r * src_pitch + x];
        uint32_t rebuilt = word & 0xff000000u;
        for (int k = 0; k < 3; ++k) {
          const int64_t d = 8 * (int64_t(byte_of(s, k)) - int64_t(byte_of(word, k))) + 128;
          rebuilt |= uint32_t(clamp_byte(d)) << (8 * k);
        }
        word = rebuilt;
      }
    }
  }
  return result;
}

Yuy2Result process_yuy2(const uint32_t* src, ptrdiff_t src_pitch, int32_t width, int32_t height,
                        const Settings& settings) {
  Yuy2Result result;
  result.planes = yuy2_to_planes(src, src_pitch, width, height);
  denoise(result.planes, settings.thresholds, settings.mode, true);
  result.out = planes_to_yuy2(result.planes);
  return result;
}

}  // namespace ref
