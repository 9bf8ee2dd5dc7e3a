/* SPDX-License-Identifier: BSD-2-Clause */
// Clips for measuring the temporal step: a window cut from a photograph,
// still or panning, as 4:2:0 8-bit frames, Gaussian noise on every plane,
// the clip denoised through the public interface with a sliding window, and
// PSNR against the clean clip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture.h"
#include "zolta.h"

// 4:2:0 8-bit frames: Y (width x height), then Cb and Cr (half each way).
struct Clip {
  int width = 0;
  int height = 0;
  std::vector<std::vector<uint8_t>> frames;
};

// `frames` frames of width x height from an 8-bit RGB picture, the window
// starting at the top left and moving `dx` pixels right and `dy` down per
// frame (0, 0: still). RGB becomes Y, Cb, Cr with the full-range BT.601
// formulas; chroma is the mean of each 2 x 2 block. False when the window
// leaves the picture.
bool make_clip(const Picture& picture, int width, int height, int frames, int dx, int dy,
               Clip& clip, std::string& error);

// Gaussian noise of standard deviation sigma on every sample (rounded,
// clamped), from a seeded generator: the same clip for the same seed.
Clip add_noise(const Clip& clip, double sigma, uint64_t seed);

// The clip through a denoiser of the given radius, frame n from frames
// n - R ... n + R, mirrored at the clip's ends.
bool denoise_clip(const Clip& clip, const zolta_settings& settings, int radius, Clip& out,
                  std::string& error);

// PSNR over every sample of every frame (one mean squared error), and of
// frame n alone.
double clip_psnr(const Clip& a, const Clip& b);
double frame_psnr(const Clip& a, const Clip& b, size_t n);

// YUV4MPEG2 (C420jpeg) files of a clip, and back (only what these files
// and ffmpeg's 4:2:0 8-bit output hold).
bool write_clip(const std::string& path, const Clip& clip, std::string& error);
bool read_clip(const std::string& path, Clip& clip, std::string& error);

// An 8-bit RGB PNG picture.
bool read_photo(const std::string& path, Picture& picture, std::string& error);
