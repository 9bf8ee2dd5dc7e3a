/* SPDX-License-Identifier: BSD-2-Clause */
// What the plugin tests share: deterministic picture content for any sample
// format, and the engine's own output for it, run through
// zolta_denoiser_process directly, to compare the hosts' frames with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zolta.h"

// One plane given by the host: first row and distance between rows.
struct PlaneRef {
  uint8_t* data;
  ptrdiff_t stride;
};

// Bytes per sample of plane data (packed families: per pixel).
int sample_bytes(const zolta_stream& stream);

// Fills a plane of `width` x `height` samples with noise-like content that
// depends on seed, within the range of the stream's samples.
void fill_plane(const zolta_stream& stream, int width, int height, uint32_t seed, PlaneRef plane);

// The engine's output for an input frame of `stream`, as compact planes
// (rows of width * sample_bytes bytes, top row first).
std::vector<std::vector<uint8_t>> engine_output(const zolta_stream& stream,
                                                const zolta_settings& settings,
                                                const zolta_frame& input);

// First difference between a host plane and a compact reference plane, or an
// empty text.
std::string compare_plane(const std::vector<uint8_t>& expected, int row_bytes, int height,
                          const uint8_t* data, ptrdiff_t stride);

// Settings from a Config text, unpacked strictly (the tests' usual settings).
zolta_settings settings_from_text(const char* text);

extern const char kTestConfig[];

// The window of frame n (2 radius + 1 frames of `inputs`, a clip of `frames`
// frames) as the library's contract asks a host to gather it: mirrored at the
// clip's first and last frame.
void mirrored_window(const zolta_frame* inputs, int frames, int n, int radius,
                     const zolta_frame* window[]);

// The library's own denoiser of the given temporal radius with the settings
// for noise `sigma` on every plane, what a face's `sigma` and `temporal`
// should amount to; null (and a failed expectation) if it cannot be made.
zolta_denoiser* temporal_denoiser(const zolta_stream& stream, float sigma, int radius);

// A model of correlated noise on three planes (more noise in the coarse
// levels than in the fine, a curve that falls with brightness), and the same
// written as a profile file; false when the file cannot be written.
zolta_noise_model correlated_model();
bool write_profile(const zolta_noise_model& model, const char* path);
