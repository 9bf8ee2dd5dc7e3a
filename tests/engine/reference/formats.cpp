// SPDX-License-Identifier: BSD-2-Clause
#include "formats.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "zolta.h"

namespace ref {

namespace {

bool is_rgb(int32_t family) {
  return family == ZOLTA_FAMILY_RGB || family == ZOLTA_FAMILY_RGB32 || family == ZOLTA_FAMILY_RGB24;
}

// Chroma subsampling as shifts of width and height.
void chroma_shifts(int32_t family, int32_t& sx, int32_t& sy) {
  sx = sy = 0;
  if (family == ZOLTA_FAMILY_YUV422 || family == ZOLTA_FAMILY_YUY2) sx = 1;
  if (family == ZOLTA_FAMILY_YUV420) sx = sy = 1;
  if (family == ZOLTA_FAMILY_YUV411) sx = 2;
}

// Where sample x of row r of channel c lies. Channels: planar frames their
// planes; RGB32 and RGB24 R, G, B; YUY2 Y, Cb, Cr.
uint8_t* sample_at(const Format& f, const FrameRef& fr, int c, int32_t r, int32_t x) {
  const int32_t size = f.is_float ? 4 : (f.bits > 8 ? 2 : 1);
  switch (f.family) {
    case ZOLTA_FAMILY_RGB32: {
      const int byte = c == 0 ? 2 : (c == 1 ? 1 : 0);  // B, G, R, unused
      return fr.data[0] + r * fr.stride[0] + 4 * x + byte;
    }
    case ZOLTA_FAMILY_RGB24:
      return fr.data[0] + r * fr.stride[0] + 3 * x + c;
    case ZOLTA_FAMILY_YUY2:
      if (c == 0) return fr.data[0] + r * fr.stride[0] + 2 * x;
      return fr.data[0] + r * fr.stride[0] + 4 * x + (c == 1 ? 1 : 3);
    default:
      return fr.data[c] + r * fr.stride[c] + size * x;
  }
}

uint32_t read_integer(const Format& f, const FrameRef& fr, int c, int32_t r, int32_t x) {
  const uint8_t* p = sample_at(f, fr, c, r, x);
  if (f.bits > 8) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  return *p;
}

float read_float(const Format& f, const FrameRef& fr, int c, int32_t r, int32_t x) {
  float v;
  std::memcpy(&v, sample_at(f, fr, c, r, x), 4);
  return v;
}

void write_integer(const Format& f, const FrameRef& fr, int c, int32_t r, int32_t x, int64_t v) {
  uint8_t* p = sample_at(f, fr, c, r, x);
  if (f.bits > 8) {
    const uint16_t s = static_cast<uint16_t>(v);
    std::memcpy(p, &s, 2);
  } else {
    *p = static_cast<uint8_t>(v);
  }
}

void write_float(const Format& f, const FrameRef& fr, int c, int32_t r, int32_t x, float v) {
  std::memcpy(sample_at(f, fr, c, r, x), &v, 4);
}

int64_t max_of(const Format& f) {
  return (int64_t{1} << f.bits) - 1;
}

int64_t clamp_to(int64_t v, int64_t max) {
  return v < 0 ? 0 : (v > max ? max : v);
}

// Integer sample -> 8-bit scale, and back.
float scale_in(const Format& f) {
  return static_cast<float>(255.0 / static_cast<double>(max_of(f)));
}
float scale_out(const Format& f) {
  return static_cast<float>(static_cast<double>(max_of(f)) / 255.0);
}
int64_t integer_sample(const Format& f, float v) {
  return clamp_to(round_sample(v * scale_out(f)), max_of(f));
}

struct ModelPlanes {
  int count = 0;
  int32_t w[3] = {}, h[3] = {};
  std::vector<float> p[3];
  float& at(int c, int32_t r, int32_t x) { return p[c][size_t(r) * w[c] + x]; }
};

}  // namespace

namespace {

// The shape of a frame's model planes.
struct Shape {
  bool rgb, gray;
  int32_t sx, sy;
  int channels;
};

Shape shape_of(const Format& f) {
  Shape sh;
  sh.rgb = is_rgb(f.family);
  sh.gray = f.family == ZOLTA_FAMILY_GRAY;
  chroma_shifts(f.family, sh.sx, sh.sy);
  sh.channels = sh.gray ? 1 : 3;
  return sh;
}

// Every sample of a frame on the 8-bit scale (RGB as Y, Cb, Cr).
ModelPlanes load_planes(const Format& f, const FrameRef& in) {
  const Shape sh = shape_of(f);
  const bool rgb = sh.rgb;
  const int channels = sh.channels;
  const int32_t sx = sh.sx, sy = sh.sy;
  auto channel_w = [&](int c) { return (c > 0 && !rgb) ? f.width >> sx : f.width; };
  auto channel_h = [&](int c) { return (c > 0 && !rgb) ? f.height >> sy : f.height; };
  // In: everything on the 8-bit scale.
  ModelPlanes m;
  m.count = channels;
  for (int c = 0; c < channels; ++c) {
    m.w[c] = channel_w(c);
    m.h[c] = channel_h(c);
    m.p[c].assign(size_t(m.w[c]) * m.h[c], 0.0f);
  }
  auto in_value = [&](int c, int32_t r, int32_t x, bool chroma) {
    if (f.is_float) {
      const float v = read_float(f, in, c, r, x);
      return chroma ? v * 255.0f + 128.0f : v * 255.0f;
    }
    return static_cast<float>(read_integer(f, in, c, r, x)) * scale_in(f);
  };
  for (int c = 0; c < channels; ++c) {
    for (int32_t r = 0; r < m.h[c]; ++r) {
      for (int32_t x = 0; x < m.w[c]; ++x) {
        if (rgb) {
          if (c > 0) continue;
          const float red = in_value(0, r, x, false);
          const float g = in_value(1, r, x, false);
          const float b = in_value(2, r, x, false);
          const float y = (g * 0.587f + red * 0.299f) + b * 0.114f;
          m.at(0, r, x) = y;
          m.at(1, r, x) = (b - y) * 0.565f;
          m.at(2, r, x) = (red - y) * 0.713f;
        } else {
          m.at(c, r, x) = in_value(c, r, x, c > 0);
        }
      }
    }
  }

  return m;
}

// Where a block of the centre lies in another frame: its displacement and
// its mean absolute difference there.
struct Found {
  int32_t dx = 0, dy = 0;
  float mean = 0.0f;
  float offset = 0.0f;  // the mean of the differences, other less centre
  float square = 0.0f;  // the mean of their squares
};

// The block matches of one other frame, as zolta.h describes the search.
std::vector<Found> find_blocks(const std::vector<float>& c, const std::vector<float>& o, int32_t w,
                               int32_t h, int32_t v) {
  constexpr int32_t kSize = 8, kRange = 24;
  const int32_t across = (w + kSize - 1) / kSize, down = (h + kSize - 1) / kSize;
  const float enough_per_sample = float(v) * 7.0f / 128.0f;
  std::vector<Found> found(size_t(across) * down);
  for (int32_t by = 0; by < down; ++by) {
    for (int32_t bx = 0; bx < across; ++bx) {
      const int32_t x0 = bx * kSize, y0 = by * kSize;
      const int32_t bw = std::min(kSize, w - x0), bh = std::min(kSize, h - y0);
      auto inside = [&](int32_t dx, int32_t dy) {
        return std::abs(dx) <= kRange && std::abs(dy) <= kRange && x0 + dx >= 0 &&
               x0 + dx + bw <= w && y0 + dy >= 0 && y0 + dy + bh <= h;
      };
      // Per column the sum of |d|, d or d * d, d = other less centre.
      enum Sum { kAbsolute, kPlain, kSquared };
      auto columns = [&](int32_t dx, int32_t dy, Sum sum) {
        float column[kSize] = {0, 0, 0, 0, 0, 0, 0, 0};
        for (int32_t j = 0; j < bw; ++j) {
          for (int32_t i = 0; i < bh; ++i) {
            const size_t at = size_t(y0 + i) * w + (x0 + j);
            const size_t there = size_t(y0 + dy + i) * w + (x0 + dx + j);
            const float d = o[there] - c[at];
            column[j] += sum == kAbsolute ? std::fabs(d) : (sum == kPlain ? d : d * d);
          }
        }
        return ((column[0] + column[1]) + (column[2] + column[3])) +
               ((column[4] + column[5]) + (column[6] + column[7]));
      };
      auto sad = [&](int32_t dx, int32_t dy) { return columns(dx, dy, kAbsolute); };
      const float enough = enough_per_sample * float(bw * bh);
      Found best;
      float best_sad = INFINITY;
      auto take = [&](int32_t dx, int32_t dy) {
        if (!inside(dx, dy)) return false;
        const float d = sad(dx, dy);
        if (!(d < best_sad)) return false;
        best_sad = d;
        best.dx = dx;
        best.dy = dy;
        return true;
      };
      // The descent ends at a best good enough, but not so good that only a
      // picture cleaner than the settings gives it (below g / 16), unless
      // nothing is less (0).
      auto good = [&] {
        return best_sad <= enough && (best_sad >= enough / 16.0f || best_sad == 0.0f);
      };
      std::vector<std::pair<int32_t, int32_t>> tried;
      auto hint = [&](int32_t hx, int32_t hy) {
        if (hx < 0 || hx >= across || hy < 0 || best_sad <= enough) return;
        const Found& f = found[size_t(hy) * across + hx];
        for (const auto& t : tried) {
          if (t.first == f.dx && t.second == f.dy) return;
        }
        tried.emplace_back(f.dx, f.dy);
        take(f.dx, f.dy);
      };
      hint(bx - 1, by);
      hint(bx, by - 1);
      hint(bx + 1, by - 1);
      bool zero = false;
      for (const auto& t : tried) zero = zero || (t.first == 0 && t.second == 0);
      if (!zero && !(best_sad <= enough)) take(0, 0);
      for (int32_t step = 0; step < kRange && !good(); ++step) {
        const Found from = best;
        bool better = false;
        const int32_t moves[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& mv : moves) better = take(from.dx + mv[0], from.dy + mv[1]) || better;
        if (!better) break;
      }
      best.mean = best_sad / float(bw * bh);
      best.offset = columns(best.dx, best.dy, kPlain) / float(bw * bh);
      best.square = columns(best.dx, best.dy, kSquared) / float(bw * bh);
      found[size_t(by) * across + bx] = best;
    }
  }
  return found;
}

// The temporal rule of zolta.h, one sample at a time, with the plane's
// brightness gains; returns how many of the other frames were taken.
int32_t temporal_model(std::vector<float>& centre,
                       const std::vector<const std::vector<float>*>& others, int32_t w, int32_t h,
                       int32_t v, const uint16_t gains[16], std::vector<float>& joined) {
  joined.assign(centre.size(), 1.0f);
  const std::vector<float> c = centre;
  const int32_t across = (w + 7) / 8, down = (h + 7) / 8;
  // The scene is judged on the blocks off the outer ring (on all where the
  // plane has fewer than three blocks either way).
  const bool ring = across > 2 && down > 2;
  const int32_t blocks = ring ? (across - 2) * (down - 2) : across * down;
  auto block_matches = [&](const Found& f) {
    return f.mean <= float(v) / 16.0f && std::fabs(f.offset) <= float(v) * 3.0f / 128.0f;
  };
  // A block joins, and its samples' differences are limited, by its own
  // threshold: v, or with gains v times the gain at the mean of the
  // centre's block (summed down each column, then the columns in pairs).
  bool curved = false;
  for (int k = 0; k < 16; ++k) curved = curved || gains[k] != 0;
  std::vector<float> own(size_t(across) * down, float(v));
  for (int32_t by = 0; curved && by < down; ++by) {
    for (int32_t bx = 0; bx < across; ++bx) {
      float column[8] = {0, 0, 0, 0, 0, 0, 0, 0};
      int32_t n = 0;
      for (int32_t j = 0; j < 8 && 8 * bx + j < w; ++j) {
        for (int32_t i = 0; i < 8 && 8 * by + i < h; ++i, ++n) {
          column[j] += c[size_t(8 * by + i) * w + 8 * bx + j];
        }
      }
      const float sum = ((column[0] + column[1]) + (column[2] + column[3])) +
                        ((column[4] + column[5]) + (column[6] + column[7]));
      own[size_t(by) * across + bx] = float(v) * band_gain(gains, sum / float(n));
    }
  }
  // It joins if it matches by its threshold u and its mean square is at
  // most twice its mean absolute difference squared, plus (u / 64)^2.
  auto block_joins = [&](const Found& f, float u) {
    const float slack = u / 64.0f;
    return f.mean <= u / 16.0f && std::fabs(f.offset) <= u * 3.0f / 128.0f &&
           f.square <= 2.0f * (f.mean * f.mean) + slack * slack;
  };
  // A frame is taken when at least 13 blocks in 16 match, found short of
  // the search's bound (24) either way, and the sum of their offsets is at
  // most (matching + 16) v / 512 either way.
  std::vector<std::vector<Found>> found;
  std::vector<const std::vector<float>*> taken;
  for (const std::vector<float>* o : others) {
    std::vector<Found> f = find_blocks(c, *o, w, h, v);
    int32_t matching = 0;
    float drift = 0.0f;
    for (int32_t i = 0; i < across * down; ++i) {
      const int32_t bx = i % across, by = i / across;
      if (ring && (bx == 0 || by == 0 || bx == across - 1 || by == down - 1)) continue;
      const Found& b = f[size_t(i)];
      if (!block_matches(b) || std::abs(b.dx) == 24 || std::abs(b.dy) == 24) continue;
      ++matching;
      drift = drift + b.offset;
    }
    if (16 * int64_t(matching) < 13 * int64_t(blocks) ||
        !(std::fabs(drift) <= float(v) / 512.0f * float(matching + 16))) {
      continue;
    }
    found.push_back(std::move(f));
    taken.push_back(o);
  }
  for (int32_t r = 0; r < h; ++r) {
    for (int32_t x = 0; x < w; ++x) {
      const size_t at = size_t(r) * w + x;
      float sum = c[at];
      float count = 1.0f;
      for (size_t k = 0; k < taken.size(); ++k) {
        const size_t block = size_t(r / 8) * across + x / 8;
        const Found& f = found[k][block];
        const float n = (*taken[k])[size_t(r + f.dy) * w + (x + f.dx)];
        const float u = own[block];
        const bool joins = block_joins(f, u) && std::fabs(n - c[at]) <= u / 4.0f;
        sum = sum + (joins ? n : 0.0f);
        count = count + (joins ? 1.0f : 0.0f);
      }
      centre[at] = sum / count;
      joined[at] = count;
    }
  }
  return int32_t(taken.size());
}

int32_t shared_threshold(int32_t v, int32_t share) {
  if (v <= 0 || share == 0) return v;
  const int64_t t = (int64_t(v) * share + 128) / 256;
  return t < 1 ? 1 : int32_t(t);
}

// What the temporal step leaves for the spatial one: per plane whether it
// ran, its result and the frames each sample averaged, and the radius.
struct TemporalPart {
  bool on[3] = {false, false, false};
  std::vector<float> kept[3], joined[3];
  int32_t radius = 0;
  int32_t share[3] = {0, 0, 0};  // per plane, by the other frames it took
  int32_t restore = 0;
};

// Denoises the model planes and writes the picture.
void denoise_and_write(const Format& f, const FrameRef& in, const FrameRef& out, const Settings& s,
                       ModelPlanes& m, const TemporalPart& tp) {
  const Shape sh = shape_of(f);
  const bool rgb = sh.rgb, gray = sh.gray;
  const int channels = sh.channels;
  const int32_t sx = sh.sx, sy = sh.sy;
  const bool high = s.mode == 1;
  const bool full_width_chroma = !gray && (rgb || sx == 0);
  for (int c = 0; c < channels; ++c) {
    int32_t t[6];
    for (int i = 0; i < 6; ++i) {
      t[i] = shared_threshold(s.thresholds[c][i], tp.on[c] ? tp.share[c] : 0);
    }
    denoise_plane(m.p[c], m.w[c], m.h[c], t, high, c > 0 && full_width_chroma, s.gains[c]);
    if (tp.on[c] && !high && tp.restore != 0) {
      for (size_t i = 0; i < m.p[c].size(); ++i) {
        const int32_t joined = int32_t(tp.joined[c][i]);
        const float weight = float(tp.restore * (joined - 1)) / float(512 * tp.radius);
        m.p[c][i] = m.p[c][i] + (tp.kept[c][i] - m.p[c][i]) * weight;
      }
    }
  }

  const bool diff = s.mode == 2;
  const bool grey_picture = !diff && (s.show_plane != 0 || high);
  const int shown = (s.plane >= 0 && s.plane < channels) ? s.plane : 0;
  const int64_t half = f.is_float ? 0 : (max_of(f) + 1) / 2;

  if (rgb) {
    for (int32_t r = 0; r < f.height; ++r) {
      for (int32_t x = 0; x < f.width; ++x) {
        if (grey_picture) {
          const float v = m.at(shown, r, x);
          if (f.is_float) {
            const float g = high ? (v + 128.0f) / 255.0f : v / 255.0f;
            for (int c = 0; c < 3; ++c) write_float(f, out, c, r, x, g);
          } else {
            const int64_t g =
                clamp_to(int64_t(round_sample(v * scale_out(f))) + (high ? half : 0), max_of(f));
            for (int c = 0; c < 3; ++c) write_integer(f, out, c, r, x, g);
            if (f.family == ZOLTA_FAMILY_RGB32) out.data[0][r * out.stride[0] + 4 * x + 3] = g;
          }
          continue;
        }
        const float y = m.at(0, r, x), cb = m.at(1, r, x), cr = m.at(2, r, x);
        const float value[3] = {cr * 1.403f + y, (cb * -0.344f + cr * -0.714f) + y, cb * 1.77f + y};
        for (int c = 0; c < 3; ++c) {
          if (f.is_float) {
            float o = value[c] / 255.0f;
            if (diff) o = 8.0f * (read_float(f, in, c, r, x) - o) + 128.0f / 255.0f;
            write_float(f, out, c, r, x, o);
          } else {
            int64_t o = integer_sample(f, value[c]);
            if (diff)
              o = clamp_to(8 * (int64_t(read_integer(f, in, c, r, x)) - o) + half, max_of(f));
            write_integer(f, out, c, r, x, o);
          }
        }
        if (f.family == ZOLTA_FAMILY_RGB32) out.data[0][r * out.stride[0] + 4 * x + 3] = 0;
      }
    }
    return;
  }

  // YUV and GRAY.
  for (int c = 0; c < channels; ++c) {
    for (int32_t r = 0; r < m.h[c]; ++r) {
      for (int32_t x = 0; x < m.w[c]; ++x) {
        const bool chroma = c > 0;
        if (grey_picture) {
          if (c == 0) continue;  // written below
          if (f.is_float) {
            write_float(f, out, c, r, x, 0.0f);
          } else {
            write_integer(f, out, c, r, x, half);
          }
          continue;
        }
        const float v = m.at(c, r, x);
        if (f.is_float) {
          float o = chroma ? (v - 128.0f) / 255.0f : v / 255.0f;
          if (diff) o = 8.0f * (read_float(f, in, c, r, x) - o) + (chroma ? 0.0f : 128.0f / 255.0f);
          write_float(f, out, c, r, x, o);
        } else {
          int64_t o = integer_sample(f, v);
          if (diff) o = clamp_to(8 * (int64_t(read_integer(f, in, c, r, x)) - o) + half, max_of(f));
          write_integer(f, out, c, r, x, o);
        }
      }
    }
  }
  if (grey_picture) {
    const int32_t shx = shown > 0 ? sx : 0, shy = shown > 0 ? sy : 0;
    for (int32_t r = 0; r < f.height; ++r) {
      for (int32_t x = 0; x < f.width; ++x) {
        const float v = m.at(shown, r >> shy, x >> shx);
        if (f.is_float) {
          write_float(f, out, 0, r, x, high ? (v + 128.0f) / 255.0f : v / 255.0f);
        } else {
          write_integer(
              f, out, 0, r, x,
              clamp_to(int64_t(round_sample(v * scale_out(f))) + (high ? half : 0), max_of(f)));
        }
      }
    }
  }
}

}  // namespace

void process_format(const Format& f, const FrameRef& in, const FrameRef& out, const Settings& s) {
  const bool rgb = is_rgb(f.family);
  const bool gray = f.family == ZOLTA_FAMILY_GRAY;
  int32_t sx, sy;
  chroma_shifts(f.family, sx, sy);
  const int channels = gray ? 1 : 3;
  auto channel_w = [&](int c) { return (c > 0 && !rgb) ? f.width >> sx : f.width; };
  auto channel_h = [&](int c) { return (c > 0 && !rgb) ? f.height >> sy : f.height; };

  if (!s.enabled) {
    for (int c = 0; c < channels; ++c) {
      for (int32_t r = 0; r < channel_h(c); ++r) {
        for (int32_t x = 0; x < channel_w(c); ++x) {
          const int32_t size = f.is_float ? 4 : (f.bits > 8 ? 2 : 1);
          std::memcpy(sample_at(f, out, c, r, x), sample_at(f, in, c, r, x), size);
        }
      }
    }
    if (f.family == ZOLTA_FAMILY_RGB32) {
      for (int32_t r = 0; r < f.height; ++r) {
        for (int32_t x = 0; x < f.width; ++x) {
          out.data[0][r * out.stride[0] + 4 * x + 3] = in.data[0][r * in.stride[0] + 4 * x + 3];
        }
      }
    }
    return;
  }

  ModelPlanes m = load_planes(f, in);
  denoise_and_write(f, in, out, s, m, TemporalPart{});
}

void process_window_format(const Format& f, const std::vector<FrameRef>& window,
                           const FrameRef& out, const Settings& s) {
  const int32_t radius = int32_t(window.size() / 2);
  const FrameRef& in = window[radius];
  bool any = false;
  for (int c = 0; c < shape_of(f).channels; ++c) any = any || s.temporal[c] != 0;
  if (radius == 0 || !s.enabled || !any) {
    process_format(f, in, out, s);
    return;
  }
  ModelPlanes m = load_planes(f, in);
  // Each frame once: one given again (the centre, or one taken before it) is
  // left out.
  auto same = [](const FrameRef& a, const FrameRef& b) {
    for (int p = 0; p < 3; ++p) {
      if (a.data[p] != b.data[p] || a.stride[p] != b.stride[p]) return false;
    }
    return true;
  };
  std::vector<ModelPlanes> others;
  std::vector<FrameRef> taken = {in};
  for (size_t i = 0; i < window.size(); ++i) {
    bool again = false;
    for (const FrameRef& t : taken) again = again || same(window[i], t);
    if (again) continue;
    taken.push_back(window[i]);
    others.push_back(load_planes(f, window[i]));
  }
  TemporalPart tp;
  tp.radius = radius;
  // With fewer other frames than 2R (a stream's ends, frames of another
  // scene), less of the cut.
  const int32_t share = s.share[radius - 1];
  tp.restore = s.restore[radius - 1];
  for (int c = 0; c < m.count; ++c) {
    if (s.temporal[c] == 0) continue;
    tp.on[c] = true;
    std::vector<const std::vector<float>*> planes;
    for (const ModelPlanes& o : others) planes.push_back(&o.p[c]);
    const int32_t n =
        temporal_model(m.p[c], planes, m.w[c], m.h[c], s.temporal[c], s.gains[c], tp.joined[c]);
    tp.share[c] = share == 0 || n >= 2 * radius ? share : 256 - ((256 - share) * n) / (2 * radius);
    tp.kept[c] = m.p[c];
  }
  denoise_and_write(f, in, out, s, m, tp);
}

}  // namespace ref
