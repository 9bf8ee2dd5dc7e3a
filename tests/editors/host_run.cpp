// SPDX-License-Identifier: BSD-2-Clause
#include "host_run.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

int run_command(const std::string& command, std::string* output) {
  output->clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TempDir::TempDir() {
  char pattern[] = "/tmp/zolta-editors-XXXXXX";
  const char* made = mkdtemp(pattern);
  dir_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
  std::string ignored;
  if (dir_ != "/tmp") run_command("rm -rf '" + dir_ + "'", &ignored);
}

Bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool file_exists(const std::string& path) {
  return std::ifstream(path).good();
}

void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes noisy_samples(size_t count, uint32_t seed) {
  Bytes bytes(count);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    const int smooth = static_cast<int>((i / 7) % 160) + 40;
    const int noise = static_cast<int>(state >> 27) - 16;
    const int v = smooth + noise;
    bytes[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  return bytes;
}

zolta_settings settings_for_noise(float sigma, int32_t family) {
  zolta_settings settings{};
  const float sigmas[3] = {sigma, sigma, sigma};
  zolta_error error{};
  EXPECT_EQ(zolta_settings_for_noise(sigmas, family, &settings, &error), ZOLTA_OK) << error.message;
  return settings;
}

zolta_settings settings_for_config(const char* text) {
  zolta_settings settings;
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  int32_t packed[9];
  zolta_error error{};
  EXPECT_EQ(zolta_config_parse(text, packed, &error), ZOLTA_OK) << error.message;
  EXPECT_EQ(zolta_config_unpack(packed, ZOLTA_UNPACK_STRICT, &settings, &error), ZOLTA_OK);
  return settings;
}

zolta_settings settings_for_thresholds(const int32_t (&values)[18]) {
  zolta_settings settings;
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  for (int i = 0; i < 18; ++i) (&settings.thresholds[0][0][0])[i] = values[i];
  return settings;
}

namespace {

Bytes run_frames(const Bytes& frames, const zolta_stream& stream, const zolta_settings& settings,
                 size_t frame_size, void (*fill)(const zolta_stream&, uint8_t*, zolta_frame*)) {
  zolta_denoiser_config config{};
  config.stream = stream;
  config.settings = settings;
  zolta_denoiser* denoiser = nullptr;
  zolta_error error{};
  EXPECT_EQ(zolta_denoiser_create(&config, &denoiser, &error), ZOLTA_OK) << error.message;
  Bytes out = frames;
  if (!denoiser) return out;
  for (size_t at = 0; at + frame_size <= out.size(); at += frame_size) {
    zolta_frame frame{};
    fill(stream, out.data() + at, &frame);
    EXPECT_EQ(zolta_denoiser_process(denoiser, &frame, &frame, &error), ZOLTA_OK) << error.message;
  }
  zolta_denoiser_destroy(denoiser);
  return out;
}

void fill_rgb32(const zolta_stream& stream, uint8_t* data, zolta_frame* frame) {
  frame->data[0] = data;
  frame->stride[0] = stream.width * 4;
}

void fill_planar(const zolta_stream& stream, uint8_t* data, zolta_frame* frame) {
  const int sample = stream.bits > 8 ? 2 : 1;
  for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
    int32_t w, h;
    zolta_stream_plane_size(&stream, p, &w, &h);
    frame->data[p] = data;
    frame->stride[p] = w * sample;
    data += static_cast<size_t>(w) * h * sample;
  }
}

}  // namespace

Bytes reference_bgra(const Bytes& frames, int width, int height, const zolta_settings& settings) {
  zolta_stream stream{};
  stream.family = ZOLTA_FAMILY_RGB32;
  stream.bits = 8;
  stream.width = width;
  stream.height = height;
  Bytes out =
      run_frames(frames, stream, settings, static_cast<size_t>(width) * height * 4, fill_rgb32);
  for (size_t i = 3; i < out.size(); i += 4) out[i] = frames[i];
  return out;
}

size_t planar_frame_size(const zolta_stream& stream) {
  size_t size = 0;
  for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
    int32_t w, h;
    zolta_stream_plane_size(&stream, p, &w, &h);
    size += static_cast<size_t>(w) * h * (stream.bits > 8 ? 2 : 1);
  }
  return size;
}

Bytes reference_planar(const Bytes& frames, const zolta_stream& stream,
                       const zolta_settings& settings) {
  return run_frames(frames, stream, settings, planar_frame_size(stream), fill_planar);
}

namespace {

// Frame i of a clip of `count` frames, reflected at both ends until it
// lies inside.
int reflected(int i, int count) {
  while (count > 1 && (i < 0 || i >= count)) i = i < 0 ? -i : 2 * (count - 1) - i;
  return count > 1 ? i : 0;
}

}  // namespace

Bytes reference_planar_windows(const Bytes& frames, const zolta_stream& stream,
                               const zolta_settings& settings, int radius) {
  zolta_denoiser_config config{};
  config.stream = stream;
  config.settings = settings;
  config.temporal_radius = radius;
  zolta_denoiser* denoiser = nullptr;
  zolta_error error{};
  EXPECT_EQ(zolta_denoiser_create(&config, &denoiser, &error), ZOLTA_OK) << error.message;
  if (!denoiser) return Bytes();
  const size_t size = planar_frame_size(stream);
  const int count = static_cast<int>(frames.size() / size);
  Bytes in = frames, out(frames.size());
  std::vector<zolta_frame> planes(count);
  for (int i = 0; i < count; ++i) fill_planar(stream, in.data() + i * size, &planes[i]);
  for (int n = 0; n < count; ++n) {
    std::vector<const zolta_frame*> window;
    for (int k = -radius; k <= radius; ++k) window.push_back(&planes[reflected(n + k, count)]);
    zolta_frame target{};
    fill_planar(stream, out.data() + n * size, &target);
    EXPECT_EQ(zolta_denoiser_process_window(denoiser, window.data(), 2 * radius + 1, &target,
                                            &error),
              ZOLTA_OK)
        << error.message;
  }
  zolta_denoiser_destroy(denoiser);
  return out;
}

namespace {

zolta_settings settings_of_model(const zolta_stream& stream, std::vector<zolta_frame>& frames) {
  std::vector<const zolta_frame*> pointers;
  for (const zolta_frame& f : frames) pointers.push_back(&f);
  zolta_noise_model model;
  zolta_noise_model_default(&model, ZOLTA_API_VERSION);
  zolta_settings settings{};
  zolta_error error{};
  EXPECT_EQ(zolta_noise_measure(&stream, pointers.data(), static_cast<int32_t>(pointers.size()),
                                &model, &error),
            ZOLTA_OK)
      << error.message;
  const int32_t family = stream.family == ZOLTA_FAMILY_RGB32 ? ZOLTA_FAMILY_RGB : stream.family;
  EXPECT_EQ(zolta_settings_for_model(&model, family, &settings, &error), ZOLTA_OK)
      << error.message;
  return settings;
}

}  // namespace

zolta_settings settings_of_bgra_model(const Bytes& frames, int width, int height, int count) {
  zolta_stream stream{};
  stream.family = ZOLTA_FAMILY_RGB;
  stream.bits = 8;
  stream.width = width;
  stream.height = height;
  const size_t size = static_cast<size_t>(width) * height * 4;
  std::vector<zolta_frame> list(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    uint8_t* bytes = const_cast<uint8_t*>(frames.data()) + size * static_cast<size_t>(i);
    for (int p = 0; p < 3; ++p) {
      list[static_cast<size_t>(i)].data[p] = bytes + 2 - p;
      list[static_cast<size_t>(i)].stride[p] = width * 4;
      list[static_cast<size_t>(i)].step[p] = 4;
    }
  }
  return settings_of_model(stream, list);
}

zolta_settings settings_of_planar_model(const Bytes& frames, const zolta_stream& stream,
                                        int count) {
  const size_t size = planar_frame_size(stream);
  std::vector<zolta_frame> list(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    fill_planar(stream, const_cast<uint8_t*>(frames.data()) + size * static_cast<size_t>(i),
                &list[static_cast<size_t>(i)]);
  }
  return settings_of_model(stream, list);
}

zolta_settings write_test_profile(const std::string& path, int32_t family) {
  zolta_noise_model model;
  zolta_noise_model_default(&model, ZOLTA_API_VERSION);
  model.planes = 3;
  for (int p = 0; p < 3; ++p) {
    model.sigma[p] = 3.5f + static_cast<float>(p);
    for (int d = 0; d < 2; ++d)
      for (int l = 0; l < 3; ++l) model.detail[p][d][l] = 2.0f + 3.0f * static_cast<float>(l);
    for (int b = 0; b < ZOLTA_NOISE_BANDS; ++b)
      model.curve[p][b] = 5.0f - 0.125f * static_cast<float>(b);
  }
  char text[4096];
  const size_t length = zolta_noise_profile_format(&model, text, sizeof text);
  write_file(path, Bytes(text, text + length));
  zolta_settings settings{};
  EXPECT_EQ(zolta_settings_for_model(&model, family, &settings, nullptr), ZOLTA_OK);
  return settings;
}
