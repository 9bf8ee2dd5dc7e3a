// SPDX-License-Identifier: BSD-2-Clause
#include "harness.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

#include "reference.h"

using namespace zolta;

namespace checkasm {

namespace {

constexpr int64_t kGuard = 64;  // guard elements before and after every region
constexpr uint8_t kCanary = 0xdb;

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Samples of a wavelet row: mostly ordinary, now and then one that is
// tiny, huge, infinite or NaN (and so makes NaN of its neighbours).
float wavelet_sample(std::mt19937& rng) {
  static const float kSpecial[] = {0.0f,  -0.0f, 1e-40f, -1e-40f, 1e30f,  -1e30f,
                                   3e38f, kInf,  -kInf,  kNaN,    255.0f, 0.5f};
  const uint32_t r = rng();
  if (r % 48 == 0) return kSpecial[(r >> 8) % (sizeof kSpecial / sizeof kSpecial[0])];
  if (r % 4 == 1) return static_cast<float>(static_cast<int32_t>((r >> 8) % 256));
  return std::uniform_real_distribution<float>(-300.0f, 300.0f)(rng);
}

// Plane samples on their way to bytes: around the byte range, with ties and
// values at every saturation edge (16-bit, 32-bit, NaN).
float picture_sample(std::mt19937& rng) {
  static const float kSpecial[] = {
      kNaN,           kInf,           -kInf,    1e10f,    -1e10f,    2147483520.0f, 2147483648.0f,
      -2147483648.0f, -2147483904.0f, 32767.5f, 32768.0f, -32768.5f, 65535.6f,      -0.5f,
      0.5f,           255.5f,         254.5f,   -0.0f,    1e-40f};
  const uint32_t r = rng();
  if (r % 16 == 0) return kSpecial[(r >> 8) % (sizeof kSpecial / sizeof kSpecial[0])];
  if (r % 4 == 1) return static_cast<float>(static_cast<int32_t>((r >> 8) % 300) - 20) + 0.5f;
  return std::uniform_real_distribution<float>(-40.0f, 300.0f)(rng);
}

const float kThresholds[] = {-1e30f, -2.5f, -0.0625f,  -0.0f, 0.0f, 0.0625f, 1.0f,
                             2.5f,   16.0f, 255.9375f, 1e30f, kInf, -kInf,   kNaN};
const int32_t kOffsets[] = {0, 128, -128, 255, 256, INT32_MAX, INT32_MIN};

const int32_t kWaveletLengths[] = {4,  8,  12, 16, 20,  24,  28,   36,
                                   44, 52, 60, 68, 100, 260, 1028, 2044};
const int32_t kSpanLengths[] = {4, 8, 12, 16, 20, 28, 36, 68, 144, 260, 1028, 1072};
// Strip widths 4, 8, 12 and 16 times the steps 1..8, and steps past the end.
const int32_t kSpanSteps[] = {1, 2, 4, 8, 12, 16, 24, 32, 48, 64, 128};
const int32_t kRgb32Widths[] = {4, 8, 12, 16, 20, 28, 36, 68, 1028};
const int32_t kYuy2Widths[] = {8, 16, 24, 32, 40, 56, 72, 1032};

template <typename T, size_t N>
constexpr int count_of(const T (&)[N]) {
  return static_cast<int>(N);
}

int32_t round_up4(int32_t v) {
  return (v + 3) & ~3;
}

bool same_float(float x, float y) {
  // NaN payloads are not part of the contract: which operand's payload an
  // add passes on depends on the order a compiler writes the operands in.
  if (std::isnan(x) && std::isnan(y)) return true;
  return std::memcmp(&x, &y, sizeof x) == 0;
}

std::string float_text(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  std::ostringstream s;
  s.precision(9);
  s << v << " (0x" << std::hex << bits << ")";
  return s.str();
}

}  // namespace

const char* entry_name(Entry entry) {
  switch (entry) {
    case kAnalyze:
      return "analyze";
    case kSynthesize:
      return "synthesize";
    case kAnalyzeSpan:
      return "analyze_span";
    case kSynthesizeSpan:
      return "synthesize_span";
    case kRgb32ToPlanes:
      return "rgb32_to_planes";
    case kPlanesToRgb32:
      return "planes_to_rgb32";
    case kPlaneToGray:
      return "plane_to_gray";
    case kYuy2ToPlanes:
      return "yuy2_to_planes";
    case kPlanesToYuy2:
      return "planes_to_yuy2";
    case kSynthesizeScaled:
      return "synthesize_scaled";
    case kSynthesizeSpanScaled:
      return "synthesize_span_scaled";
  }
  return "?";
}

Entry base_entry(Entry entry) {
  if (entry == kSynthesizeScaled) return kSynthesize;
  if (entry == kSynthesizeSpanScaled) return kSynthesizeSpan;
  return entry;
}

std::string Case::describe() const {
  std::ostringstream s;
  switch (base_entry(entry)) {
    case kAnalyze:
    case kSynthesize:
      s << "n " << length << " step " << (1 << a) << (filter_taps ? "" : " random taps");
      if (entry != kAnalyze) s << " threshold " << float_text(threshold);
      break;
    case kAnalyzeSpan:
    case kSynthesizeSpan:
      s << "count " << length << " step " << step << (filter_taps ? "" : " random taps");
      if (entry != kAnalyzeSpan) s << " threshold " << float_text(threshold);
      break;
    default:
      s << length << "x" << height << " pad " << pad << (bottom_up ? " bottom-up" : "")
        << " output +" << out_shift << " bytes";
      if (entry == kPlaneToGray) s << " offset " << offset;
  }
  s << " seed " << seed;
  return s.str();
}

int sweep_length(Entry entry) {
  switch (base_entry(entry)) {
    case kAnalyze:
    case kSynthesize:
      return 4 * count_of(kWaveletLengths);
    case kAnalyzeSpan:
    case kSynthesizeSpan:
      return count_of(kSpanLengths) * count_of(kSpanSteps);
    case kRgb32ToPlanes:
    case kPlanesToRgb32:
    case kPlaneToGray:
      return 4 * count_of(kRgb32Widths);
    case kYuy2ToPlanes:
    case kPlanesToYuy2:
      return 4 * count_of(kYuy2Widths);
    default:
      break;
  }
  return 1;
}

Case case_for(Entry entry, int index, uint32_t seed) {
  std::mt19937 rng(seed * 1000003u + static_cast<uint32_t>(entry) * 7919u +
                   static_cast<uint32_t>(index));
  Case c;
  c.entry = entry;
  c.seed = rng();
  const int sweep = index % sweep_length(entry);
  const Entry base = base_entry(entry);
  switch (base) {
    case kAnalyze:
    case kSynthesize:
    case kAnalyzeSpan:
    case kSynthesizeSpan:
      if (base == kAnalyze || base == kSynthesize) {
        c.length = kWaveletLengths[sweep / 4];
        c.a = sweep % 4;
      } else {
        c.length = kSpanLengths[sweep / count_of(kSpanSteps)];
        c.step = kSpanSteps[sweep % count_of(kSpanSteps)];
      }
      c.filter_taps = rng() % 4 != 0;
      c.threshold = rng() % 3 == 0 ? std::uniform_real_distribution<float>(-20.0f, 300.0f)(rng)
                                   : kThresholds[rng() % count_of(kThresholds)];
      break;
    default: {
      const bool yuy2 = entry == kYuy2ToPlanes || entry == kPlanesToYuy2;
      c.length = yuy2 ? kYuy2Widths[sweep / 4] : kRgb32Widths[sweep / 4];
      c.height = 1 + static_cast<int32_t>(rng() % (c.length > 100 ? 3 : 6));
      c.pad = (sweep % 4) * static_cast<int32_t>(rng() % 5);
      c.bottom_up = sweep % 2 == 1;
      c.out_shift = static_cast<int32_t>(rng() % 4) * ((sweep % 4) < 2 ? 4 : 1);
      c.offset = rng() % 2 ? kOffsets[rng() % 2] : kOffsets[rng() % count_of(kOffsets)];
    }
  }
  return c;
}

size_t Buffer::element_start(size_t byte) const {
  const int64_t rel = static_cast<int64_t>(byte) - static_cast<int64_t>(origin);
  const int64_t element =
      rel >= 0 ? rel / element_size : -((-rel + element_size - 1) / element_size);
  return static_cast<size_t>(static_cast<int64_t>(origin) + element * element_size);
}

std::string Buffer::where(size_t byte) const {
  const int64_t element =
      (static_cast<int64_t>(element_start(byte)) - static_cast<int64_t>(origin)) / element_size;
  std::ostringstream s;
  s << name;
  if (row_elements > 0 && element >= 0) {
    s << " row " << element / row_elements << " element " << element % row_elements;
  } else {
    s << "[" << element << "]";
  }
  return s.str();
}

std::string Buffer::value_at(size_t byte) const {
  const size_t first = element_start(byte);
  std::ostringstream s;
  if (element_size == 1) {
    s << int{start[byte]};
  } else if (is_float) {
    float v;
    std::memcpy(&v, start + first, sizeof v);
    s << float_text(v);
  } else {
    uint32_t v;
    std::memcpy(&v, start + first, sizeof v);
    s << "0x" << std::hex << v;
  }
  return s.str();
}

Buffer& Run::add(const std::string& name, int element_size, bool is_float, int64_t lead,
                 int64_t count, int64_t row_elements) {
  buffers_.emplace_back();
  Buffer& b = buffers_.back();
  b.name = name;
  b.element_size = element_size;
  b.is_float = is_float;
  b.row_elements = row_elements;
  b.bytes = static_cast<size_t>(count + lead + kGuard) * element_size;
  const bool picture_out = name == "out";
  const size_t shift = shift_ + (picture_out ? static_cast<size_t>(case_.out_shift) : 0);
  b.storage.assign(b.bytes + 64 + shift, kCanary);
  const uintptr_t raw = reinterpret_cast<uintptr_t>(b.storage.data());
  b.start = b.storage.data() + ((64 - raw % 64) % 64) + shift;
  b.origin = static_cast<size_t>(lead) * element_size;
  b.writable.assign(b.bytes, 0);
  return b;
}

Run::Run(const Case& c, size_t shift) : case_(c), shift_(shift) {
  buffers_.reserve(8);
  std::mt19937 rng(c.seed);
  auto fill_floats = [&](Buffer& b, int64_t first, int64_t count, bool picture) {
    for (int64_t i = 0; i < count; ++i) {
      *b.at<float>(first + i) = picture ? picture_sample(rng) : wavelet_sample(rng);
    }
  };
  auto fill_words = [&](Buffer& b, int64_t first, int64_t count) {
    for (int64_t i = 0; i < count; ++i) *b.at<uint32_t>(first + i) = rng();
  };
  auto mark = [](Buffer& b, int64_t first, int64_t count) {
    std::memset(&b.writable[b.origin + first * b.element_size], 1,
                static_cast<size_t>(count * b.element_size));
  };
  // A plane of `rows` rows of `width` samples, `stride` apart.
  auto plane = [&](const std::string& name, int32_t width, int32_t rows, int32_t stride,
                   bool input) -> Buffer& {
    Buffer& b = add(name, 4, true, kGuard, int64_t{rows} * stride, stride);
    for (int32_t r = 0; r < rows; ++r) {
      if (input) {
        fill_floats(b, int64_t{r} * stride, width, true);
      } else {
        mark(b, int64_t{r} * stride, width);
      }
    }
    return b;
  };

  for (int k = 0; k < 4; ++k) {
    const bool analysis = c.entry == kAnalyze || c.entry == kAnalyzeSpan;
    taps_[k] = c.filter_taps ? (analysis ? ref::kAnalysis[k] : ref::kSynthesis[k])
                             : std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng);
  }
  const int32_t n = c.length;
  const Entry base = base_entry(c.entry);
  switch (base) {
    case kAnalyze: {
      Buffer& x = add("x", 4, true, kGuard, n, 0);
      fill_floats(x, 0, n, false);
      mark(x, -8, 8);
      mark(x, n, 8);
      for (const char* name : {"approx", "detail"}) mark(add(name, 4, true, kGuard, n, 0), 0, n);
      break;
    }
    case kSynthesize: {
      for (const char* name : {"approx", "detail"}) {
        Buffer& b = add(name, 4, true, kGuard, n, 0);
        fill_floats(b, 0, n, false);
        mark(b, -8, 8);
        mark(b, n, 8);
      }
      mark(add("out", 4, true, kGuard, n, 0), 0, n);
      break;
    }
    default:
      break;
  }
  switch (base) {
    case kSynthesize:
    case kAnalyze:
    case kSynthesizeScaled:
    case kSynthesizeSpanScaled:
      break;
    case kAnalyzeSpan:
    case kSynthesizeSpan: {
      // The samples around the span continue it periodically (so the model's
      // periodic row gives the expected outputs); the entry may write none
      // of them.
      const bool analysis = base == kAnalyzeSpan;
      const int32_t before = analysis ? c.step : 2 * c.step;
      const int32_t after = analysis ? 2 * c.step : c.step;
      auto input = [&](const char* name) {
        Buffer& b = add(name, 4, true, kGuard + before, n + after, 0);
        fill_floats(b, 0, n, false);
        for (int32_t k = -before; k < n + after; ++k) {
          *b.at<float>(k) = *b.at<float>(((k % n) + n) % n);
        }
      };
      if (analysis) {
        input("x");
        for (const char* name : {"approx", "detail"}) mark(add(name, 4, true, kGuard, n, 0), 0, n);
      } else {
        input("approx");
        input("detail");
      }
      if (!analysis) mark(add("out", 4, true, kGuard, n, 0), 0, n);
      break;
    }
    case kRgb32ToPlanes:
    case kYuy2ToPlanes: {
      const bool yuy2 = c.entry == kYuy2ToPlanes;
      const int32_t words = yuy2 ? n / 2 : n;
      pitch_ = words + c.pad;
      Buffer& src = add("src", 4, false, kGuard, int64_t{c.height} * pitch_, pitch_);
      for (int32_t r = 0; r < c.height; ++r) fill_words(src, int64_t{r} * pitch_, words);
      stride_ = round_up4(n + c.pad);
      chroma_stride_ = yuy2 ? round_up4(n / 2 + c.pad) : stride_;
      plane("y", n, c.height, static_cast<int32_t>(stride_), false);
      plane("cb", yuy2 ? n / 2 : n, c.height, static_cast<int32_t>(chroma_stride_), false);
      plane("cr", yuy2 ? n / 2 : n, c.height, static_cast<int32_t>(chroma_stride_), false);
      break;
    }
    case kPlanesToRgb32:
    case kPlaneToGray:
    case kPlanesToYuy2: {
      const bool yuy2 = c.entry == kPlanesToYuy2;
      stride_ = round_up4(n + c.pad);
      chroma_stride_ = yuy2 ? round_up4(n / 2 + c.pad) : stride_;
      plane("y", n, c.height, static_cast<int32_t>(stride_), true);
      if (c.entry != kPlaneToGray) {
        plane("cb", yuy2 ? n / 2 : n, c.height, static_cast<int32_t>(chroma_stride_), true);
        plane("cr", yuy2 ? n / 2 : n, c.height, static_cast<int32_t>(chroma_stride_), true);
      }
      const int64_t count = int64_t{n} * c.height * (yuy2 ? 2 : 1);
      mark(add("out", yuy2 ? 1 : 4, false, kGuard, count, yuy2 ? 2 * n : n), 0, count);
      break;
    }
  }
  if (base != c.entry) {
    // The gains of the outputs: zero, one, what the noise's curve gives and
    // far beyond it.
    Buffer& gains = add("gains", 4, true, kGuard, n, 0);
    const float special[] = {0.0f, 1.0f, 0.25f, 4.0f, 64.0f};
    for (int32_t i = 0; i < n; ++i) {
      *gains.at<float>(i) = rng() % 4 == 0 ? special[rng() % 5]
                                           : std::uniform_real_distribution<float>(0.0f, 2.0f)(rng);
    }
  }
  snapshot();
}

void Run::snapshot() {
  for (Buffer& b : buffers_) b.before.assign(b.start, b.start + b.bytes);
}

void Run::call(const DspKernels& k) {
  Buffer* b = buffers_.data();
  const Case& c = case_;
  const int32_t n = c.length;
  switch (c.entry) {
    case kAnalyze:
      k.analyze(b[0].at<float>(0), b[1].at<float>(0), b[2].at<float>(0), taps_, n, c.a);
      break;
    case kSynthesize:
      k.synthesize(b[2].at<float>(0), b[0].at<float>(0), b[1].at<float>(0), taps_, n, c.a,
                   c.threshold);
      break;
    case kAnalyzeSpan:
      k.analyze_span(b[0].at<float>(0), b[1].at<float>(0), b[2].at<float>(0), taps_, n, c.step);
      break;
    case kSynthesizeSpan:
      k.synthesize_span(b[2].at<float>(0), b[0].at<float>(0), b[1].at<float>(0), taps_, n, c.step,
                        c.threshold);
      break;
    case kRgb32ToPlanes:
    case kYuy2ToPlanes: {
      const ptrdiff_t first = c.bottom_up ? (c.height - 1) * pitch_ : 0;
      const ptrdiff_t pitch = c.bottom_up ? -pitch_ : pitch_;
      if (c.entry == kRgb32ToPlanes) {
        k.rgb32_to_planes(b[0].at<uint32_t>(first), pitch, n, c.height, b[1].at<float>(0),
                          b[2].at<float>(0), b[3].at<float>(0), stride_);
      } else {
        k.yuy2_to_planes(b[0].at<uint32_t>(first), pitch, n, c.height, b[1].at<float>(0),
                         b[2].at<float>(0), b[3].at<float>(0), stride_, chroma_stride_);
      }
      break;
    }
    case kPlanesToRgb32:
      k.planes_to_rgb32(b[0].at<float>(0), b[1].at<float>(0), b[2].at<float>(0), stride_, n,
                        c.height, b[3].at<uint32_t>(0));
      break;
    case kPlaneToGray:
      k.plane_to_gray(b[0].at<float>(0), stride_, n, c.height, c.offset, b[1].at<uint32_t>(0));
      break;
    case kPlanesToYuy2:
      k.planes_to_yuy2(b[0].at<float>(0), b[1].at<float>(0), b[2].at<float>(0), stride_,
                       chroma_stride_, n, c.height, b[3].at<uint8_t>(0));
      break;
    case kSynthesizeScaled:
      k.synthesize_scaled(b[2].at<float>(0), b[0].at<float>(0), b[1].at<float>(0), taps_, n, c.a,
                          c.threshold, b[3].at<float>(0));
      break;
    case kSynthesizeSpanScaled:
      k.synthesize_span_scaled(b[2].at<float>(0), b[0].at<float>(0), b[1].at<float>(0), taps_, n,
                               c.step, c.threshold, b[3].at<float>(0));
      break;
  }
}

std::string Run::guard_damage() const {
  for (const Buffer& b : buffers_) {
    for (size_t i = 0; i < b.bytes; ++i) {
      if (!b.writable[i] && b.start[i] != b.before[i]) {
        std::ostringstream s;
        s << "wrote outside its output: " << b.where(i) << " byte " << int{b.start[i]} << ", was "
          << int{b.before[i]};
        return s.str();
      }
    }
  }
  return "";
}

std::string Run::first_difference(const Run& other, const char* this_name,
                                  const char* other_name) const {
  for (size_t k = 0; k < buffers_.size(); ++k) {
    const Buffer& b = buffers_[k];
    const Buffer& o = other.buffers_[k];
    for (size_t i = 0; i < b.bytes; ++i) {
      if (b.start[i] == o.start[i]) continue;
      if (b.is_float) {
        const size_t first = b.element_start(i);
        float x, y;
        std::memcpy(&x, b.start + first, 4);
        std::memcpy(&y, o.start + first, 4);
        if (same_float(x, y)) {
          i = first + 3;
          continue;
        }
      }
      std::ostringstream s;
      s << b.where(i) << ": " << this_name << " " << b.value_at(i) << ", " << other_name << " "
        << o.value_at(i);
      return s.str();
    }
  }
  return "";
}

std::string Run::model_difference() const {
  const Case& c = case_;
  const int32_t n = c.length;
  const Buffer* b = buffers_.data();
  std::ostringstream s;
  // Compares `count` elements of a buffer from `first` with the model's.
  auto compare_floats = [&](const Buffer& buf, int64_t first, const float* model,
                            int64_t count) -> bool {
    for (int64_t i = 0; i < count; ++i) {
      const float v = *buf.at<float>(first + i);
      if (!same_float(v, model[i])) {
        s << buf.where(buf.origin + (first + i) * 4) << ": plain " << float_text(v) << ", model "
          << float_text(model[i]);
        return false;
      }
    }
    return true;
  };
  auto row_vector = [&](const Buffer& buf, int64_t first, int64_t count) {
    std::vector<float> v(static_cast<size_t>(count));
    std::memcpy(v.data(), buf.before.data() + buf.origin + first * 4, count * 4);
    return v;
  };
  auto planes_from = [&](int first_buffer, int planes, bool yuy2) {
    ref::Planes p;
    p.height = c.height;
    for (int k = 0; k < 3; ++k) {
      p.width[k] = (k > 0 && yuy2) ? n / 2 : n;
      p.plane[k].assign(size_t(p.width[k]) * c.height, 0.0f);
      if (k >= planes) continue;
      const ptrdiff_t stride = k > 0 ? chroma_stride_ : stride_;
      for (int32_t r = 0; r < c.height; ++r) {
        std::memcpy(&p.at(k, r, 0), b[first_buffer + k].at<float>(r * stride), p.width[k] * 4);
      }
    }
    return p;
  };
  switch (c.entry) {
    case kAnalyze:
    case kAnalyzeSpan: {
      if (!c.filter_taps) return "";
      std::vector<float> approx, detail;
      ref::analyze(row_vector(b[0], 0, n), c.entry == kAnalyze ? 1 << c.a : c.step, approx, detail);
      if (!compare_floats(b[1], 0, approx.data(), n)) break;
      compare_floats(b[2], 0, detail.data(), n);
      break;
    }
    case kSynthesize:
    case kSynthesizeSpan:
    case kSynthesizeScaled:
    case kSynthesizeSpanScaled: {
      if (!c.filter_taps) return "";
      std::vector<float> out;
      const bool scaled = base_entry(c.entry) != c.entry;
      ref::synthesize(row_vector(b[0], 0, n), row_vector(b[1], 0, n),
                      base_entry(c.entry) == kSynthesize ? 1 << c.a : c.step, c.threshold, out,
                      scaled ? row_vector(b[3], 0, n) : std::vector<float>());
      compare_floats(b[2], 0, out.data(), n);
      break;
    }
    case kRgb32ToPlanes:
    case kYuy2ToPlanes: {
      const bool yuy2 = c.entry == kYuy2ToPlanes;
      const ptrdiff_t first = c.bottom_up ? (c.height - 1) * pitch_ : 0;
      const ref::Planes m = yuy2
                                ? ref::yuy2_to_planes(b[0].at<uint32_t>(first),
                                                      c.bottom_up ? -pitch_ : pitch_, n, c.height)
                                : ref::rgb32_to_planes(b[0].at<uint32_t>(first),
                                                       c.bottom_up ? -pitch_ : pitch_, n, c.height);
      for (int k = 0; k < 3; ++k) {
        const ptrdiff_t stride = k > 0 ? chroma_stride_ : stride_;
        for (int32_t r = 0; r < c.height; ++r) {
          if (!compare_floats(b[1 + k], r * stride, m.plane[k].data() + size_t(r) * m.width[k],
                              m.width[k]))
            return s.str();
        }
      }
      break;
    }
    case kPlanesToRgb32:
    case kPlaneToGray: {
      if (c.entry == kPlaneToGray && c.offset != 0 && c.offset != 128) return "";
      const ref::Planes p = planes_from(0, c.entry == kPlaneToGray ? 1 : 3, false);
      const std::vector<uint32_t> m = c.entry == kPlaneToGray
                                          ? ref::plane_to_gray(p, 0, c.offset == 128 ? 1 : 0)
                                          : ref::planes_to_rgb32(p);
      const Buffer& out = b[c.entry == kPlaneToGray ? 1 : 3];
      for (size_t i = 0; i < m.size(); ++i) {
        // The engine adds the offset in 32 bits, as the vector add does, the
        // model in 64; they part only for samples near 2^31, far beyond any
        // frame's.
        const float sample = *b[0].at<float>(i / n * stride_ + i % n);
        if (c.entry == kPlaneToGray && ref::round_sample(sample) > INT32_MAX - c.offset) continue;
        uint32_t v;
        std::memcpy(&v, out.at<uint8_t>(0) + 4 * i, 4);
        if (v != m[i]) {
          s << out.where(out.origin + 4 * i) << ": plain 0x" << std::hex << v << ", model 0x"
            << m[i];
          break;
        }
      }
      break;
    }
    case kPlanesToYuy2: {
      const std::vector<uint8_t> m = ref::planes_to_yuy2(planes_from(0, 3, true));
      const Buffer& out = b[3];
      for (size_t i = 0; i < m.size(); ++i) {
        if (*out.at<uint8_t>(static_cast<ptrdiff_t>(i)) != m[i]) {
          s << out.where(out.origin + i) << ": plain " << int{*out.at<uint8_t>(i)} << ", model "
            << int{m[i]};
          break;
        }
      }
      break;
    }
  }
  return s.str();
}

}  // namespace checkasm
