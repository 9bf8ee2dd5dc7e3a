// SPDX-License-Identifier: BSD-2-Clause
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

const char kTestConfig[] = "Config(49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224)";

int sample_bytes(const zolta_stream& stream) {
  if (stream.family == ZOLTA_FAMILY_RGB32) return 4;
  if (stream.family == ZOLTA_FAMILY_YUY2) return 2;
  if (stream.family == ZOLTA_FAMILY_RGB24) return 3;
  if (stream.sample == ZOLTA_SAMPLE_FLOAT) return 4;
  return stream.bits > 8 ? 2 : 1;
}

void fill_plane(const zolta_stream& stream, int width, int height, uint32_t seed, PlaneRef plane) {
  uint32_t state = seed * 2654435761u + 12345u;
  const int row_values = width * (stream.family == ZOLTA_FAMILY_RGB32  ? 4
                                  : stream.family == ZOLTA_FAMILY_YUY2 ? 2
                                                                       : 1);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = plane.data + y * plane.stride;
    for (int x = 0; x < row_values; ++x) {
      state = state * 1664525u + 1013904223u;
      // A smooth picture and some noise on it.
      const double base = 0.5 + 0.35 * ((x * 7 + y * 3) % 64 - 32) / 32.0;
      const double noise = ((state >> 16) & 255) / 255.0 * 0.2 - 0.1;
      double v = base + noise;
      v = v < 0 ? 0 : v > 1 ? 1 : v;
      if (stream.sample == ZOLTA_SAMPLE_FLOAT) {
        const float f = static_cast<float>(v);
        std::memcpy(row + 4 * x, &f, 4);
      } else if (stream.bits > 8) {
        const uint16_t s = static_cast<uint16_t>(v * ((1 << stream.bits) - 1));
        std::memcpy(row + 2 * x, &s, 2);
      } else {
        row[x] = static_cast<uint8_t>(v * 255);
      }
    }
  }
}

std::vector<std::vector<uint8_t>> engine_output(const zolta_stream& stream,
                                                const zolta_settings& settings,
                                                const zolta_frame& input) {
  zolta_denoiser_config config = {};
  config.stream = stream;
  config.settings = settings;
  config.threads = 1;
  zolta_denoiser* denoiser = nullptr;
  zolta_error error;
  if (zolta_denoiser_create(&config, &denoiser, &error) != ZOLTA_OK) {
    throw std::runtime_error(error.message);
  }
  const int planes = zolta_stream_planes(&stream);
  std::vector<std::vector<uint8_t>> out(static_cast<size_t>(planes));
  zolta_frame frame = {};
  for (int p = 0; p < planes; ++p) {
    int32_t w = 0, h = 0;
    zolta_stream_plane_size(&stream, p, &w, &h);
    const ptrdiff_t row = static_cast<ptrdiff_t>(w) * sample_bytes(stream);
    out[static_cast<size_t>(p)].assign(static_cast<size_t>(row * h), 0);
    frame.data[p] = out[static_cast<size_t>(p)].data();
    frame.stride[p] = row;
  }
  const int status = zolta_denoiser_process(denoiser, &input, &frame, &error);
  zolta_denoiser_destroy(denoiser);
  if (status != ZOLTA_OK) throw std::runtime_error(error.message);
  return out;
}

std::string compare_plane(const std::vector<uint8_t>& expected, int row_bytes, int height,
                          const uint8_t* data, ptrdiff_t stride) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* want = expected.data() + static_cast<size_t>(y) * row_bytes;
    const uint8_t* got = data + y * stride;
    for (int x = 0; x < row_bytes; ++x) {
      if (want[x] != got[x]) {
        char text[96];
        std::snprintf(text, sizeof text, "row %d byte %d: %u instead of %u", y, x, got[x], want[x]);
        return text;
      }
    }
  }
  return std::string();
}

zolta_settings settings_from_text(const char* text) {
  int32_t packed[9];
  zolta_error error;
  zolta_settings settings;
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  if (zolta_config_parse(text, packed, &error) != ZOLTA_OK ||
      zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, &settings, &error) != ZOLTA_OK) {
    throw std::runtime_error(error.message);
  }
  return settings;
}

void mirrored_window(const zolta_frame* inputs, int frames, int n, int radius,
                     const zolta_frame* window[]) {
  for (int k = -radius; k <= radius; ++k) {
    int i = n + k;
    if (i < 0) i = -i;
    if (i >= frames) i = 2 * (frames - 1) - i;
    window[k + radius] = &inputs[i];
  }
}

zolta_denoiser* temporal_denoiser(const zolta_stream& stream, float sigma, int radius) {
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream = stream;
  config.temporal_radius = radius;
  const float noise[3] = {sigma, sigma, sigma};
  EXPECT_EQ(zolta_settings_for_noise(noise, stream.family, &config.settings, nullptr), ZOLTA_OK);
  zolta_denoiser* d = nullptr;
  EXPECT_EQ(zolta_denoiser_create(&config, &d, nullptr), ZOLTA_OK);
  return d;
}

zolta_noise_model correlated_model() {
  zolta_noise_model model;
  zolta_noise_model_default(&model, ZOLTA_API_VERSION);
  model.planes = 3;
  model.frames = 8;
  model.across = 7;
  for (int p = 0; p < 3; ++p) {
    model.sigma[p] = 4.0f - static_cast<float>(p) * 0.5f;
    for (int d = 0; d < 2; ++d)
      for (int l = 0; l < 3; ++l)
        model.detail[p][d][l] = 1.5f + 2.25f * static_cast<float>(l) + 0.5f * static_cast<float>(d);
    for (int b = 0; b < ZOLTA_NOISE_BANDS; ++b)
      model.curve[p][b] = 6.0f - 0.25f * static_cast<float>(b);
  }
  return model;
}

bool write_profile(const zolta_noise_model& model, const char* path) {
  char text[4096];
  const size_t length = zolta_noise_profile_format(&model, text, sizeof text);
  if (length == 0 || length >= sizeof text) return false;
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const bool written = std::fwrite(text, 1, length, file) == length;
  return std::fclose(file) == 0 && written;
}
