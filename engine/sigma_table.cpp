// A provisional table from noise to thresholds, to be replaced by one
// measured on photographs with added Gaussian noise. It is monotone: more
// noise never gives a lower threshold. Its points at sigma 5, 10 and 20
// follow the starting settings in the README (chosen on the bundled
// photograph); 50 extends them in proportion.
#include <cmath>

#include "noise_estimate.h"

namespace zolta {

namespace {

constexpr int kPoints = 5;
const float kSigma[kPoints] = {0.0f, 5.0f, 10.0f, 20.0f, 50.0f};
// [luma, chroma][level][point]; the same threshold along rows and columns.
const float kThreshold[2][3][kPoints] = {
    {{0, 96, 192, 384, 960}, {0, 32, 64, 128, 320}, {0, 0, 32, 64, 160}},
    {{0, 96, 224, 448, 1120}, {0, 32, 64, 160, 400}, {0, 0, 32, 96, 240}},
};

}  // namespace

void thresholds_for_sigma(float sigma, bool chroma, int32_t thresholds[2][3]) {
  int k = 1;
  while (k < kPoints - 1 && sigma > kSigma[k]) ++k;
  const float t = (sigma - kSigma[k - 1]) / (kSigma[k] - kSigma[k - 1]);
  for (int l = 0; l < 3; ++l) {
    const float* v = kThreshold[chroma ? 1 : 0][l];
    const float value = v[k - 1] + (v[k] - v[k - 1]) * t;
    const int32_t rounded = static_cast<int32_t>(std::lround(value));
    thresholds[0][l] = rounded;
    thresholds[1][l] = rounded;
  }
}

}  // namespace zolta
