// SPDX-License-Identifier: BSD-2-Clause
#include "test_support.h"

#if ZOLTA_HAVE_PNG
#include <png.h>
#endif

#include <cstdio>
#include <cstring>
#include <random>

#include "rgb32.h"
#include "yuy2.h"

using namespace zolta;

Instance::Instance(int32_t width, int32_t height, bool yuy2) {
  init_defaults(state);
  start_stream(state, width, height, yuy2);
}

Instance::~Instance() {
  free_buffers(state);
}

void Instance::apply(const ref::Settings& settings) {
  std::memcpy(state.thresholds, settings.thresholds, sizeof state.thresholds);
  state.mode = settings.mode;
  state.show_plane = settings.show_plane;
  state.plane = settings.plane;
  state.enabled = settings.enabled;
}

void Instance::run(const uint32_t* src, int32_t pitch, void* dst) {
  state.src = const_cast<uint32_t*>(src);
  state.src_pitch = pitch;
  state.dst = static_cast<uint32_t*>(dst);
  if (state.yuy2) {
    process_yuy2_frame(state);
  } else {
    process_rgb32_frame(state);
  }
}

ref::Settings with_view(ref::Settings settings, const View& view) {
  settings.mode = view.mode;
  settings.show_plane = view.show_plane;
  settings.plane = view.plane;
  settings.enabled = view.enabled;
  return settings;
}

std::vector<uint32_t> random_words(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> words(count);
  for (auto& w : words) w = rng();
  return words;
}

std::vector<uint32_t> load_photograph(int32_t* width, int32_t* height) {
  std::vector<uint32_t> words;
#if !ZOLTA_HAVE_PNG
  // Cross builds: the same picture as a binary PPM made from it.
  FILE* f = std::fopen(ZOLTA_PHOTO_PPM, "rb");
  if (!f) return words;
  int w = 0, h = 0, max = 0;
  std::vector<uint8_t> rgb;
  if (std::fscanf(f, "P6 %d %d %d", &w, &h, &max) == 3 && max == 255 && w > 0 && h > 0 &&
      std::fgetc(f) != EOF) {
    rgb.resize(size_t(w) * h * 3);
    if (std::fread(rgb.data(), 1, rgb.size(), f) != rgb.size()) rgb.clear();
  }
  std::fclose(f);
  if (rgb.empty()) return words;
  *width = w;
  *height = h;
  words.resize(size_t(w) * h);
  for (size_t i = 0; i < words.size(); ++i) {
    words[i] =
        uint32_t(rgb[3 * i + 2]) | uint32_t(rgb[3 * i + 1]) << 8 | uint32_t(rgb[3 * i]) << 16;
  }
  return words;
#else
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, ZOLTA_DATA_DIR "/astronaut.png")) return words;
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return words;
  *width = static_cast<int32_t>(image.width);
  *height = static_cast<int32_t>(image.height);
  words.resize(size_t(image.width) * image.height);
  for (size_t i = 0; i < words.size(); ++i) {
    words[i] =
        uint32_t(bytes[4 * i]) | uint32_t(bytes[4 * i + 1]) << 8 | uint32_t(bytes[4 * i + 2]) << 16;
  }
  return words;
#endif
}

std::vector<uint32_t> yuy2_from_rgb32(const std::vector<uint32_t>& rgb, int32_t width,
                                      int32_t height) {
  std::vector<uint32_t> groups(size_t(width / 2) * height);
  for (int32_t r = 0; r < height; ++r) {
    for (int32_t k = 0; k < width / 2; ++k) {
      const uint32_t a = rgb[size_t(r) * width + 2 * k];
      const uint32_t b = rgb[size_t(r) * width + 2 * k + 1];
      groups[size_t(r) * (width / 2) + k] =
          ((a >> 8) & 0xff) | (a & 0xff) << 8 | ((b >> 8) & 0xff) << 16 | ((a >> 16) & 0xff) << 24;
    }
  }
  return groups;
}

ref::Planes engine_planes(const FilterState& state) {
  ref::Planes planes;
  planes.height = state.height;
  const float* sources[3] = {state.plane_y, state.plane_cb, state.plane_cr};
  for (int p = 0; p < 3; ++p) {
    const int32_t n = (p > 0 && state.yuy2) ? state.width / 2 : state.width;
    planes.width[p] = n;
    planes.plane[p].resize(size_t(n) * state.height);
    for (int32_t r = 0; r < state.height; ++r) {
      std::memcpy(&planes.at(p, r, 0), sources[p] + size_t(r) * (n + 256), n * sizeof(float));
    }
  }
  return planes;
}

testing::AssertionResult same_plane(const FilterState& engine, const ref::Planes& model, int p) {
  const float* planes[3] = {engine.plane_y, engine.plane_cb, engine.plane_cr};
  const int32_t n = (p > 0 && engine.yuy2) ? engine.width / 2 : engine.width;
  if (n != model.width[p] || engine.height != model.height) {
    return testing::AssertionFailure() << "plane " << p << " has another size";
  }
  for (int32_t r = 0; r < model.height; ++r) {
    const float* row = planes[p] + size_t(r) * (n + 256);
    for (int32_t x = 0; x < n; ++x) {
      const float m = model.at(p, r, x);
      if (std::memcmp(&row[x], &m, sizeof m) != 0) {
        return testing::AssertionFailure() << "plane " << p << " row " << r << " sample " << x
                                           << ": engine " << row[x] << ", model " << m;
      }
    }
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult same_planes(const FilterState& engine, const ref::Planes& model) {
  for (int p = 0; p < 3; ++p) {
    testing::AssertionResult r = same_plane(engine, model, p);
    if (!r) return r;
  }
  return testing::AssertionSuccess();
}

void expect_frame_matches_model(const std::vector<uint32_t>& src, int32_t pitch, int32_t width,
                                int32_t height, const ref::Settings& settings, bool yuy2) {
  Instance inst(width, height, yuy2);
  ASSERT_NE(inst.state.plane_block, nullptr);
  inst.apply(settings);
  std::vector<uint8_t> dst(size_t(width) * height * (yuy2 ? 2 : 4), 0xa5);
  inst.run(src.data(), pitch, dst.data());
  if (yuy2) {
    const ref::Yuy2Result model = ref::process_yuy2(src.data(), pitch, width, height, settings);
    EXPECT_TRUE(same_planes(inst.state, model.planes));
    EXPECT_TRUE(same_bytes(dst.data(), model.out));
  } else {
    const ref::Rgb32Result model = ref::process_rgb32(src.data(), pitch, width, height, settings);
    if (settings.enabled) {
      EXPECT_TRUE(same_planes(inst.state, model.planes));
    }
    EXPECT_TRUE(same_bytes(reinterpret_cast<const uint32_t*>(dst.data()), model.out));
  }
}

std::vector<SimdPath> available_paths() {
  std::vector<SimdPath> paths;
  for (int p = 0; p < kSimdPathCount; ++p) {
    if (simd_path_available(static_cast<SimdPath>(p))) paths.push_back(static_cast<SimdPath>(p));
  }
  return paths;
}

PathScope::PathScope(SimdPath path) {
  select_simd_path(path);
}
PathScope::~PathScope() {
  select_simd_path(kSimdAvx512);
}
