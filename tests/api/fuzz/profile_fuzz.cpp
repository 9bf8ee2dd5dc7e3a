// SPDX-License-Identifier: BSD-2-Clause
// Feeds arbitrary bytes to the noise-profile reader. It may not crash or
// read outside its input; a refusal is one line; whatever it accepts holds
// values in range and formats back to a text it reads as the same model.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "noise_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zolta_noise_model model{};
  zolta_error error;
  const char* text = reinterpret_cast<const char*>(data);
  if (zolta::parse_noise_profile(text, size, model, &error) != ZOLTA_OK) {
    if (std::strchr(error.message, '\n')) std::abort();
    return 0;
  }
  if (model.planes != 1 && model.planes != 3) std::abort();
  for (int p = 0; p < model.planes; ++p) {
    if (!(model.sigma[p] >= 0.0f && model.sigma[p] <= 255.0f)) std::abort();
    for (float c : model.curve[p])
      if (!(c >= 0.0f && c <= 255.0f)) std::abort();
  }
  char formatted[4096];
  const size_t n = zolta::format_noise_profile(&model, formatted, sizeof formatted);
  if (n == 0 || n >= sizeof formatted) std::abort();
  zolta_noise_model again{};
  if (zolta::parse_noise_profile(formatted, n, again, &error) != ZOLTA_OK) std::abort();
  // Three decimals: a value read back is within half a thousandth.
  for (int p = 0; p < model.planes; ++p) {
    const float d = again.sigma[p] - model.sigma[p];
    if (d > 0.0006f || d < -0.0006f) std::abort();
  }
  return 0;
}
