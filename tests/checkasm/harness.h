/* SPDX-License-Identifier: BSD-2-Clause */
// Calls of single record entries on random inputs, in buffers with guard
// bands, for comparing one path's entry with the plain path's (the check
// program) and for timing them side by side (the kernel benchmark).
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "dsp.h"

namespace checkasm {

enum Entry : int {
  kAnalyze,
  kSynthesize,
  kAnalyzeSpan,
  kSynthesizeSpan,
  kRgb32ToPlanes,
  kPlanesToRgb32,
  kPlaneToGray,
  kYuy2ToPlanes,
  kPlanesToYuy2,
  kSynthesizeScaled,
  kSynthesizeSpanScaled,
};
constexpr int kEntryCount = 11;
const char* entry_name(Entry entry);
// The entry whose buffers and sizes an entry takes (the scaled syntheses:
// their unscaled one's, and a gain per output sample).
Entry base_entry(Entry entry);

// The parameters of one call.
struct Case {
  Entry entry = kAnalyze;
  int32_t length = 4;       // n of a wavelet row, samples of a span, picture width
  int32_t height = 1;       // rows of a picture
  int32_t a = 0;            // step 2^a of a wavelet level
  int32_t step = 1;         // step of a span
  int32_t pad = 0;          // extra elements per row (floats: a multiple of 4)
  bool bottom_up = false;   // source rows run backwards (negative pitch)
  int32_t out_shift = 0;    // bytes the output picture lies past a 64-byte boundary
  bool filter_taps = true;  // the filter's own taps, or random ones
  float threshold = 0.0f;
  int32_t offset = 0;  // added by plane_to_gray
  uint32_t seed = 1;   // of the input values
  std::string describe() const;
};

// A deterministic stream of cases for one entry: the `index`-th case of a
// sweep over the awkward sizes (shortest rows, lengths that are not a
// multiple of the vector widths, long odd multiples of four), every step,
// and thresholds negative, zero, huge and NaN.
Case case_for(Entry entry, int index, uint32_t seed);
// How many cases the sweep of one entry has before it repeats its sizes.
int sweep_length(Entry entry);

// One region of memory the entry sees, with guard bands before and after
// and between rows. Bytes the entry may change are marked writable; every
// other byte must keep the value it had before the call.
struct Buffer {
  std::string name;
  int element_size = 4;  // 4: float or word, 1: byte
  bool is_float = false;
  int64_t row_elements = 0;  // elements per row in memory (0: one row)
  std::vector<uint8_t> storage;
  uint8_t* start = nullptr;  // first byte, guard band included
  size_t bytes = 0;
  size_t origin = 0;  // byte offset of element 0 (row 0 of the picture)
  std::vector<uint8_t> writable;
  std::vector<uint8_t> before;

  template <typename T>
  T* at(ptrdiff_t element) const {
    return reinterpret_cast<T*>(start + origin) + element;
  }
  // The first byte of the element a byte belongs to.
  size_t element_start(size_t byte) const;
  // Element number, or row and column, of a byte, for messages.
  std::string where(size_t byte) const;
  std::string value_at(size_t byte) const;
};

// All buffers of one case, filled; `shift` moves every buffer that many
// bytes off its usual alignment (the plain path takes any float alignment).
class Run {
 public:
  explicit Run(const Case& c, size_t shift = 0);
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  void call(const zolta::DspKernels& k);
  // The first byte outside the writable parts that changed, or "".
  std::string guard_damage() const;
  // The first byte that differs from the same case run elsewhere, or "".
  std::string first_difference(const Run& other, const char* this_name,
                               const char* other_name) const;
  // The first output that differs from the scalar model of the engine, or
  // "" (also when the model has no counterpart for this case).
  std::string model_difference() const;

  const Case& the_case() const { return case_; }

 private:
  Buffer& add(const std::string& name, int element_size, bool is_float, int64_t lead, int64_t count,
              int64_t row_elements);
  void snapshot();

  Case case_;
  size_t shift_;
  std::vector<Buffer> buffers_;
  float taps_[4] = {};
  // Pointers and pitches handed to the entry.
  ptrdiff_t pitch_ = 0, stride_ = 0, chroma_stride_ = 0;
};

}  // namespace checkasm
