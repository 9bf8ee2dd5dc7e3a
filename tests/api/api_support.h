/* SPDX-License-Identifier: BSD-2-Clause */
// Frames of every format for the tests of the public interface: planes with
// chosen strides (wider, odd, negative), random content in each format's
// range, and byte comparison of whole frames.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats.h"
#include "reference.h"
#include "zolta.h"

struct FormatCase {
  zolta_family family;
  zolta_sample sample;
  int32_t bits;
};

// Every family with every depth it takes.
std::vector<FormatCase> every_format();
std::string format_name(const FormatCase& f);
zolta_stream stream_of(const FormatCase& f, int32_t width, int32_t height);

// Bytes of one row of frame plane p.
size_t row_bytes(const zolta_stream& s, int p);
int32_t plane_rows(const zolta_stream& s, int p);

struct TestFrame {
  std::vector<uint8_t> storage[3];
  zolta_frame frame{};
  zolta_stream stream{};
  ref::FrameRef ref() const;
};

// A frame whose rows lie row_bytes + extra bytes apart (upwards in memory
// when `negative`), filled with random samples in the format's range (seeded)
// or with `fill` bytes when seed is 0.
TestFrame make_frame(const zolta_stream& s, int32_t extra, bool negative, uint32_t seed,
                     uint8_t fill = 0);
// The same samples in another frame layout.
TestFrame copy_layout(const TestFrame& from, int32_t extra, bool negative);

testing::AssertionResult same_frames(const TestFrame& a, const TestFrame& b);

// The public settings in the model's (and the legacy record's) order, and
// the stream as the model names it.
ref::Settings model_settings(const zolta_settings& s);
ref::Format model_format(const zolta_stream& stream);
// Random thresholds in 0..max, about a third of them zero.
zolta_settings random_settings(uint32_t seed, int32_t max);

// A denoiser that is destroyed at the end of the scope.
struct Denoiser {
  zolta_denoiser* d = nullptr;
  Denoiser(const zolta_stream& s, const zolta_settings& settings, int32_t threads = 1,
           int32_t radius = 0, int32_t frame_threads = 0);
  ~Denoiser();
  Denoiser(const Denoiser&) = delete;
  Denoiser& operator=(const Denoiser&) = delete;
  int process(const TestFrame& in, const TestFrame& out, zolta_error* error = nullptr);
  // Frame n from the frames n - R ... n + R of `window`.
  int process_window(const std::vector<const TestFrame*>& window, const TestFrame& out,
                     zolta_error* error = nullptr);
};
