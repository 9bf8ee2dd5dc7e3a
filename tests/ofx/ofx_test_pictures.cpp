// SPDX-License-Identifier: BSD-2-Clause
#include "ofx_test_pictures.h"

#include <cstdlib>
#include <cstring>

#include "clip_window.h"

namespace {

uint32_t next(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

zolta_stream stream_of(const TestPicture& p) {
  zolta_stream stream;
  zolta_stream_default(&stream, ZOLTA_API_VERSION);
  stream.family = ZOLTA_FAMILY_RGB;
  stream.sample = p.bits == 32 ? ZOLTA_SAMPLE_FLOAT : ZOLTA_SAMPLE_INTEGER;
  stream.bits = p.bits;
  stream.width = p.width;
  stream.height = p.height;
  return stream;
}

zolta_frame frame_of(const TestPicture& p, uint8_t* bytes, intptr_t number) {
  zolta_frame frame;
  zolta_frame_default(&frame, ZOLTA_API_VERSION);
  const int sample = p.bits / 8;
  for (int c = 0; c < 3; ++c) {
    frame.data[c] = bytes + c * sample;
    frame.stride[c] = static_cast<ptrdiff_t>(p.row_bytes());
    frame.step[c] = p.components * sample;
  }
  frame.number = number;
  return frame;
}

}  // namespace

TestPicture test_picture(int width, int height, int components, int bits, uint32_t seed) {
  TestPicture p;
  p.width = width;
  p.height = height;
  p.components = components;
  p.bits = bits;
  p.bytes.resize(p.row_bytes() * static_cast<size_t>(height));
  uint32_t state = seed * 2654435761u + 1;
  const int sample = bits / 8;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) {
        // 0..1: shapes that move a little with the seed, noise of about 0.04.
        double v = c == 3 ? static_cast<double>(x + y) / (width + height)
                          : 0.5 + 0.3 * ((((x + static_cast<int>(seed)) / 8 + y / 8 + c) % 3) - 1) +
                                0.04 * (static_cast<double>(next(state) % 1001) / 500.0 - 1.0);
        uint8_t* at = p.bytes.data() + (static_cast<size_t>(y) * width + x) * components * sample +
                      c * sample;
        if (bits == 32) {
          float f = static_cast<float>(v);
          if (c < 3 && next(state) % 97 == 0) f = -0.02f;  // out of range, as float may be
          std::memcpy(at, &f, 4);
        } else {
          const double max = bits == 8 ? 255 : 65535;
          double s = v * max + 0.5;
          s = s < 0 ? 0 : s > max ? max : s;
          if (bits == 8) {
            *at = static_cast<uint8_t>(s);
          } else {
            const uint16_t u = static_cast<uint16_t>(s);
            std::memcpy(at, &u, 2);
          }
        }
      }
    }
  }
  return p;
}

std::vector<TestPicture> test_clip(int frames, int width, int height, int components, int bits) {
  std::vector<TestPicture> clip;
  for (int i = 0; i < frames; ++i)
    clip.push_back(test_picture(width, height, components, bits, static_cast<uint32_t>(i + 1)));
  return clip;
}

TestPicture library_output(const std::vector<TestPicture>& clip, int n,
                           const zolta_settings& settings, int radius) {
  const TestPicture& centre = clip[static_cast<size_t>(n)];
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream = stream_of(centre);
  config.settings = settings;
  config.temporal_radius = radius;
  zolta_denoiser* denoiser = nullptr;
  zolta_error error{};
  TestPicture out = centre;
  if (zolta_denoiser_create(&config, &denoiser, &error) != ZOLTA_OK) {
    out.bytes.clear();
    return out;
  }
  std::vector<TestPicture> copies = clip;  // the frames are only read
  std::vector<zolta_frame> frames;
  for (size_t i = 0; i < copies.size(); ++i)
    frames.push_back(frame_of(copies[i], copies[i].bytes.data(), 0));
  const zolta_frame* window[5];
  for (int k = -radius; k <= radius; ++k)
    window[k + radius] =
        &frames[static_cast<size_t>(mirrored(n + k, static_cast<int>(frames.size())))];
  const zolta_frame target = frame_of(out, out.bytes.data(), 0);
  if (zolta_denoiser_process_window(denoiser, window, 2 * radius + 1, &target, &error) != ZOLTA_OK)
    out.bytes.clear();
  zolta_denoiser_destroy(denoiser);
  return out;
}

TestPicture library_output_for_sigma(const std::vector<TestPicture>& clip, int n, float sigma,
                                     int radius) {
  const float sigmas[3] = {sigma, sigma, sigma};
  zolta_settings settings;
  zolta_error error{};
  if (zolta_settings_for_noise(sigmas, ZOLTA_FAMILY_RGB, &settings, &error) != ZOLTA_OK) {
    TestPicture none;
    return none;
  }
  return library_output(clip, n, settings, radius);
}

zolta_settings settings_of_clip_model(const std::vector<TestPicture>& clip, int count) {
  std::vector<TestPicture> copies(clip.begin(), clip.begin() + count);  // only read
  std::vector<zolta_frame> frames;
  std::vector<const zolta_frame*> pointers;
  for (TestPicture& p : copies) frames.push_back(frame_of(p, p.bytes.data(), 0));
  for (const zolta_frame& f : frames) pointers.push_back(&f);
  const zolta_stream stream = stream_of(clip[0]);
  zolta_noise_model model;
  zolta_noise_model_default(&model, ZOLTA_API_VERSION);
  zolta_settings settings{};
  if (zolta_noise_measure(&stream, pointers.data(), count, &model, nullptr) != ZOLTA_OK ||
      zolta_settings_for_model(&model, ZOLTA_FAMILY_RGB, &settings, nullptr) != ZOLTA_OK)
    zolta_settings_default(&settings, ZOLTA_API_VERSION);
  return settings;
}

std::string first_difference(const TestPicture& expected, const TestPicture& actual) {
  if (expected.bytes.size() != actual.bytes.size() || expected.bytes.empty())
    return "sizes " + std::to_string(expected.bytes.size()) + " and " +
           std::to_string(actual.bytes.size());
  for (size_t i = 0; i < expected.bytes.size(); ++i) {
    if (expected.bytes[i] != actual.bytes[i]) {
      const size_t pixel = i / (expected.row_bytes() / static_cast<size_t>(expected.width));
      return "byte " + std::to_string(i) + " (x " + std::to_string(pixel % expected.width) +
             ", y " + std::to_string(pixel / expected.width) +
             "): " + std::to_string(expected.bytes[i]) + " expected, " +
             std::to_string(actual.bytes[i]);
    }
  }
  return "";
}

std::string ofx_plugin_path() {
  const char* chosen = std::getenv("ZOLTA_OFX_PLUGIN_PATH");
  return chosen && *chosen ? chosen : ZOLTA_OFX_PLUGIN_PATH;
}

void use_build_plugin_path() {
  setenv("OFX_PLUGIN_PATH", ofx_plugin_path().c_str(), 1);
}
