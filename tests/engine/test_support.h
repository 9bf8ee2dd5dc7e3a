/* SPDX-License-Identifier: BSD-2-Clause */
// Helpers shared by the engine tests: an instance with its buffers, frames
// of random pixels, the bundled photograph, and plane comparison.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dsp.h"
#include "filter_state.h"
#include "reference.h"

// The switches that choose what a frame shows, beside its thresholds.
struct View {
  int32_t mode, show_plane, plane, enabled;
};
ref::Settings with_view(ref::Settings settings, const View& view);

// A FilterState with plane buffers for one frame size.
struct Instance {
  zolta::FilterState state{};
  Instance(int32_t width, int32_t height, bool yuy2);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  void apply(const ref::Settings& settings);
  // Processes one frame from src, whose rows lie `pitch` words apart, into
  // dst, as the instance's format asks.
  void run(const uint32_t* src, int32_t pitch, void* dst);
};

// `count` pixel words with every byte random.
std::vector<uint32_t> random_words(size_t count, uint32_t seed);

// The bundled photograph as 32-bit RGB words (byte 3 zero); empty when it
// cannot be read.
std::vector<uint32_t> load_photograph(int32_t* width, int32_t* height);

// A YUY2 frame made from 32-bit RGB words: luma from green, Cb from blue and
// Cr from red of the left pixel of each pair.
std::vector<uint32_t> yuy2_from_rgb32(const std::vector<uint32_t>& rgb, int32_t width,
                                      int32_t height);

// The engine's planes without their margins.
ref::Planes engine_planes(const zolta::FilterState& state);

// Bit-for-bit comparison of the engine's planes, read in place, with planes
// of the model, with the first difference in the message.
testing::AssertionResult same_plane(const zolta::FilterState& engine, const ref::Planes& model,
                                    int p);
testing::AssertionResult same_planes(const zolta::FilterState& engine, const ref::Planes& model);
template <typename T>
testing::AssertionResult same_bytes(const T* engine, const std::vector<T>& model) {
  for (size_t i = 0; i < model.size(); ++i) {
    if (engine[i] != model[i]) {
      return testing::AssertionFailure()
             << "element " << i << ": engine " << +engine[i] << ", model " << +model[i];
    }
  }
  return testing::AssertionSuccess();
}

// The engine and the model process the same frame: the planes (when the
// filter is on) and every output byte must be identical.
void expect_frame_matches_model(const std::vector<uint32_t>& src, int32_t pitch, int32_t width,
                                int32_t height, const ref::Settings& settings, bool yuy2);

// Every path this processor runs, and a scope that makes one of them current.
std::vector<zolta::SimdPath> available_paths();
struct PathScope {
  explicit PathScope(zolta::SimdPath path);
  ~PathScope();
};
