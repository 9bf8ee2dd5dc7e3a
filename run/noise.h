/* SPDX-License-Identifier: BSD-2-Clause */
// Reproducible Gaussian noise for the demo and the benchmarks, and PSNR.
#pragma once

#include <cstdint>
#include <vector>

// A small, fixed pseudo-random generator (splitmix64), so that the same seed
// gives the same noise on every platform and compiler.
struct NoiseSource {
  uint64_t state;
  bool have_spare = false;
  double spare = 0.0;
};

NoiseSource noise_source(uint64_t seed);
uint64_t next_bits(NoiseSource& source);
// Standard normal deviate (Box-Muller).
double next_gaussian(NoiseSource& source);

// Adds noise of standard deviation sigma to every byte, rounding to the
// nearest integer and clamping to 0..255.
void add_gaussian_noise(std::vector<uint8_t>& bytes, double sigma, NoiseSource& source);

// Peak signal-to-noise ratio in dB over all bytes; +infinity for identical
// inputs. Both must have the same size.
double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
