// SPDX-License-Identifier: BSD-2-Clause
#include "library_frames.h"

#include <cstdio>
#include <cstring>

const char kConfigTextValue[] =
    "Config(49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224)";

const WayCase kWayCases[] = {
    {"config", Way::kConfig, false},
    {"config as text", Way::kConfigAsText, false},
    {"config_text", Way::kConfigText, false},
    {"vcf", Way::kVcf, false},
    {"thresholds", Way::kThresholds, false},
    {"sigma", Way::kSigma, false},
    {"temporal 1", Way::kTemporal1, false},
    {"temporal 2", Way::kTemporal2, false},
    {"profile", Way::kProfile, false},
    {"sigma_auto", Way::kSigmaAuto, false},
    {"sigma_auto, threads", Way::kSigmaAuto, true},
    {"config, threads", Way::kConfig, true},
    {"temporal 2, threads", Way::kTemporal2, true},
};
const int kWayCaseCount = sizeof kWayCases / sizeof kWayCases[0];

void config_values(int32_t packed[9]) {
  zolta_error error;
  zolta_config_parse(kConfigTextValue, packed, &error);
}

void threshold_values(int32_t thresholds[18]) {
  // Different per plane, band and direction, within 0..65535.
  for (int i = 0; i < 18; ++i) thresholds[i] = 40 + 23 * i - (i % 3) * 11;
}

int way_radius(Way way) {
  return way == Way::kTemporal1 ? 1 : way == Way::kTemporal2 ? 2 : 0;
}

bool write_vcf(const std::string& path) {
  int32_t packed[9];
  config_values(packed);
  char text[512];
  const size_t length = zolta_settings_file_format(packed, text, sizeof text);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text, 1, length, f) == length;
  return std::fclose(f) == 0 && ok;
}

namespace {

// Correlated noise: coarse levels noisier than the fine, brighter samples
// quieter.
zolta_noise_model profile_model() {
  zolta_noise_model model;
  zolta_noise_model_default(&model, ZOLTA_API_VERSION);
  model.planes = 3;
  for (int p = 0; p < 3; ++p) {
    model.sigma[p] = 3.5f;
    for (int d = 0; d < 2; ++d)
      for (int l = 0; l < 3; ++l) model.detail[p][d][l] = 1.5f + 2.5f * static_cast<float>(l);
    for (int b = 0; b < ZOLTA_NOISE_BANDS; ++b)
      model.curve[p][b] = 6.0f - 0.25f * static_cast<float>(b);
  }
  return model;
}

}  // namespace

std::string profile_path(const std::string& vcf) {
  return vcf + ".profile";
}

bool write_profile(const std::string& vcf) {
  const zolta_noise_model model = profile_model();
  char text[4096];
  const size_t length = zolta_noise_profile_format(&model, text, sizeof text);
  FILE* f = std::fopen(profile_path(vcf).c_str(), "wb");
  if (!f) return false;
  const bool ok = length > 0 && std::fwrite(text, 1, length, f) == length;
  return std::fclose(f) == 0 && ok;
}

int stream_sample_bytes(const zolta_stream& stream) {
  if (stream.family == ZOLTA_FAMILY_RGB32) return 4;
  if (stream.family == ZOLTA_FAMILY_YUY2) return 2;
  if (stream.sample == ZOLTA_SAMPLE_FLOAT) return 4;
  return stream.bits > 8 ? 2 : 1;
}

void fill_source_plane(const zolta_stream& stream, int n, int p, uint8_t* data, ptrdiff_t stride) {
  int32_t width = 0, height = 0;
  zolta_stream_plane_size(&stream, p, &width, &height);
  const int values = width * (stream.family == ZOLTA_FAMILY_RGB32  ? 4
                              : stream.family == ZOLTA_FAMILY_YUY2 ? 2
                                                                   : 1);
  uint32_t state = static_cast<uint32_t>(n * 3 + p + 1) * 2654435761u;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = data + y * stride;
    for (int x = 0; x < values; ++x) {
      state = state * 1664525u + 1013904223u;
      // A slope that moves from frame to frame, and noise on it; integers
      // only, so that every system makes the same samples.
      const int base = 128 + ((x * 5 + y * 3 + n * 9) % 96) - 48;
      const int value = base + static_cast<int>((state >> 24) % 41) - 20;  // 60..216
      if (stream.sample == ZOLTA_SAMPLE_FLOAT) {
        const float f = static_cast<float>(value) / 256.0f;
        std::memcpy(row + 4 * x, &f, 4);
      } else if (stream.bits > 8) {
        const uint16_t s = static_cast<uint16_t>(value << (stream.bits - 8));
        std::memcpy(row + 2 * x, &s, 2);
      } else {
        row[x] = static_cast<uint8_t>(value);
      }
    }
  }
}

Planes compact(const zolta_stream& stream, const zolta_frame& frame) {
  const int planes = zolta_stream_planes(&stream);
  Planes out(static_cast<size_t>(planes));
  for (int p = 0; p < planes; ++p) {
    int32_t w = 0, h = 0;
    zolta_stream_plane_size(&stream, p, &w, &h);
    const size_t row = static_cast<size_t>(w) * static_cast<size_t>(stream_sample_bytes(stream));
    std::vector<uint8_t>& plane = out[static_cast<size_t>(p)];
    plane.resize(row * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
      const uint8_t* from = static_cast<const uint8_t*>(frame.data[p]) + y * frame.stride[p];
      std::memcpy(plane.data() + row * static_cast<size_t>(y), from, row);
    }
  }
  return out;
}

namespace {

bool way_settings(Way way, const zolta_stream& stream, const std::vector<zolta_frame>& inputs,
                  zolta_settings& settings, zolta_error& error) {
  const int32_t family = stream.family;
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  if (way == Way::kProfile || way == Way::kSigmaAuto) {
    zolta_noise_model model = profile_model();
    if (way == Way::kSigmaAuto) {
      // The first frames, at most 8, as the faces measure them.
      std::vector<const zolta_frame*> first;
      for (size_t i = 0; i < inputs.size() && i < 8; ++i) first.push_back(&inputs[i]);
      zolta_noise_model_default(&model, ZOLTA_API_VERSION);
      if (zolta_noise_measure(&stream, first.data(), static_cast<int32_t>(first.size()), &model,
                              &error) != ZOLTA_OK)
        return false;
    }
    return zolta_settings_for_model(&model, family, &settings, &error) == ZOLTA_OK;
  }
  if (way == Way::kThresholds) {
    int32_t t[18];
    threshold_values(t);
    std::memcpy(settings.thresholds, t, sizeof t);
    return true;
  }
  if (way == Way::kSigma || way == Way::kTemporal1 || way == Way::kTemporal2) {
    const float sigma[3] = {static_cast<float>(kSigmaValue), static_cast<float>(kSigmaValue),
                            static_cast<float>(kSigmaValue)};
    return zolta_settings_for_noise(sigma, family, &settings, &error) == ZOLTA_OK;
  }
  int32_t packed[9];
  config_values(packed);
  return zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, &settings, &error) == ZOLTA_OK;
}

}  // namespace

std::vector<Planes> library_output(const zolta_stream& stream, Way way,
                                   const std::vector<zolta_frame>& inputs, std::string& error) {
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream = stream;
  config.threads = 1;
  config.temporal_radius = way_radius(way);
  zolta_error e;
  zolta_denoiser* denoiser = nullptr;
  if (!way_settings(way, stream, inputs, config.settings, e) ||
      zolta_denoiser_create(&config, &denoiser, &e) != ZOLTA_OK) {
    error = e.message;
    return {};
  }
  const int frames = static_cast<int>(inputs.size());
  const int radius = config.temporal_radius;
  std::vector<Planes> outputs;
  for (int n = 0; n < frames; ++n) {
    // The window mirrored at the clip's ends.
    const zolta_frame* window[5];
    for (int k = -radius; k <= radius; ++k) {
      int i = n + k;
      if (i < 0) i = -i;
      if (i >= frames) i = 2 * (frames - 1) - i;
      window[k + radius] = &inputs[static_cast<size_t>(i)];
    }
    Planes out(static_cast<size_t>(zolta_stream_planes(&stream)));
    zolta_frame frame;
    zolta_frame_default(&frame, ZOLTA_API_VERSION);
    for (size_t p = 0; p < out.size(); ++p) {
      int32_t w = 0, h = 0;
      zolta_stream_plane_size(&stream, static_cast<int>(p), &w, &h);
      const ptrdiff_t row = static_cast<ptrdiff_t>(w) * stream_sample_bytes(stream);
      out[p].assign(static_cast<size_t>(row * h), 0);
      frame.data[p] = out[p].data();
      frame.stride[p] = row;
    }
    if (zolta_denoiser_process_window(denoiser, window, 2 * radius + 1, &frame, &e) != ZOLTA_OK) {
      error = e.message;
      zolta_denoiser_destroy(denoiser);
      return {};
    }
    outputs.push_back(std::move(out));
  }
  zolta_denoiser_destroy(denoiser);
  return outputs;
}

std::string frame_failure(int n, const Planes& expected, const Planes& got, bool properties_kept) {
  const std::string d = first_difference(expected, got);
  if (!d.empty()) return "frame " + std::to_string(n) + " differs from the library: " + d;
  if (!properties_kept) return "frame " + std::to_string(n) + " lost the source frame's properties";
  return std::string();
}

std::string first_difference(const Planes& expected, const Planes& got) {
  if (expected.size() != got.size()) return "a different number of planes";
  for (size_t p = 0; p < expected.size(); ++p) {
    if (expected[p].size() != got[p].size()) return "plane " + std::to_string(p) + ": size";
    for (size_t i = 0; i < expected[p].size(); ++i) {
      if (expected[p][i] != got[p][i]) {
        char text[128];
        std::snprintf(text, sizeof text, "plane %zu byte %zu: %u instead of %u", p, i, got[p][i],
                      expected[p][i]);
        return text;
      }
    }
  }
  return std::string();
}

uint64_t digest(const std::vector<Planes>& frames) {
  uint64_t h = 1469598103934665603ull;
  for (const Planes& f : frames)
    for (const std::vector<uint8_t>& p : f)
      for (uint8_t b : p) h = (h ^ b) * 1099511628211ull;
  return h;
}
