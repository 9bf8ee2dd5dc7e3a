// SPDX-License-Identifier: BSD-2-Clause
#include "noise.h"

#include <cmath>
#include <limits>

NoiseSource noise_source(uint64_t seed) {
  NoiseSource source;
  source.state = seed;
  return source;
}

uint64_t next_bits(NoiseSource& source) {
  uint64_t z = (source.state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

double next_gaussian(NoiseSource& source) {
  if (source.have_spare) {
    source.have_spare = false;
    return source.spare;
  }
  // u1 in (0, 1], u2 in [0, 1), from the top 53 bits.
  const double scale = 1.0 / 9007199254740992.0;
  const double u1 = static_cast<double>((next_bits(source) >> 11) + 1) * scale;
  const double u2 = static_cast<double>(next_bits(source) >> 11) * scale;
  const double radius = std::sqrt(-2.0 * std::log(u1));
  const double angle = 6.283185307179586 * u2;
  source.spare = radius * std::sin(angle);
  source.have_spare = true;
  return radius * std::cos(angle);
}

void add_gaussian_noise(std::vector<uint8_t>& bytes, double sigma, NoiseSource& source) {
  for (uint8_t& b : bytes) {
    const double v = std::nearbyint(b + sigma * next_gaussian(source));
    b = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  if (sum == 0 || a.empty()) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(255.0 * 255.0 * a.size() / sum);
}
