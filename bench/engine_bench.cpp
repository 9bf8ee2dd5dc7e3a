// SPDX-License-Identifier: BSD-2-Clause
// Frame throughput of the engine on every path this processor runs, beside
// the scalar model on the same frames. Every threshold is 40, so all eighteen
// levels run. Run with --benchmark_repetitions=5 for medians.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp.h"
#include "filter_state.h"
#include "reference.h"
#include "rgb32.h"
#include "yuy2.h"
#include "zolta.h"

using namespace zolta;

namespace {

std::vector<uint32_t> noisy_words(size_t count) {
  // A smooth gradient with noise, so thresholds both keep and drop detail.
  std::mt19937 rng(42);
  std::vector<uint32_t> words(count);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t base = (i / 7) % 200;
    uint32_t w = 0;
    for (int k = 0; k < 4; ++k) w |= ((base + rng() % 40) & 0xff) << (8 * k);
    words[i] = w;
  }
  return words;
}

struct Frame {
  FilterState state{};
  std::vector<uint32_t> src, dst;
  Frame(int32_t width, int32_t height, bool yuy2) {
    init_defaults(state);
    for (auto& plane : state.thresholds) {
      for (auto& v : plane) v = 40;
    }
    const size_t words = yuy2 ? size_t(width / 2) * height : size_t(width) * height;
    src = noisy_words(words);
    dst.resize(words);
    state.src = src.data();
    state.dst = dst.data();
    state.src_pitch = yuy2 ? width / 2 : width;
    start_stream(state, width, height, yuy2);
  }
  ~Frame() { free_buffers(state); }
};

void engine_frame(benchmark::State& st, SimdPath path, int32_t width, int32_t height, bool yuy2) {
  select_simd_path(path);
  Frame frame(width, height, yuy2);
  if (!frame.state.plane_block) {
    st.SkipWithError("allocation failed");
    return;
  }
  for (auto _ : st) {
    if (yuy2) {
      process_yuy2_frame(frame.state);
    } else {
      process_rgb32_frame(frame.state);
    }
    benchmark::DoNotOptimize(frame.dst.data());
    benchmark::ClobberMemory();
  }
}

// A frame of a planar format through the public interface, every threshold
// 40, on one thread, or cut into `frame_threads` parts; `interleaved`: the
// planes side by side in one picture with alpha (RGBA, as editors give it).
void api_frame(benchmark::State& st, SimdPath path, zolta_stream stream,
               int32_t frame_threads, bool interleaved) {
  select_simd_path(path);
  zolta_denoiser_config config{ZOLTA_API_VERSION, stream, {}, 1, 0, frame_threads, {}};
  zolta_settings_default(&config.settings, ZOLTA_API_VERSION);
  for (auto& plane : config.settings.thresholds) {
    for (auto& direction : plane) {
      for (auto& v : direction) v = 40;
    }
  }
  zolta_denoiser* denoiser = nullptr;
  if (zolta_denoiser_create(&config, &denoiser, nullptr) != ZOLTA_OK) {
    st.SkipWithError("denoiser not created");
    return;
  }
  const int planes = zolta_stream_planes(&stream);
  const size_t sample = stream.sample == ZOLTA_SAMPLE_FLOAT ? 4 : (stream.bits > 8 ? 2 : 1);
  std::vector<std::vector<uint8_t>> in(planes), out(planes);
  zolta_frame fin{}, fout{};
  std::mt19937 rng(42);
  for (int p = 0; p < planes; ++p) {
    int32_t w, h;
    zolta_stream_plane_size(&stream, p, &w, &h);
    in[p].resize(size_t(w) * h * sample);
    out[p].resize(in[p].size());
    // The same gradient with noise as the packed frames, at the stream's depth.
    for (size_t i = 0; i < size_t(w) * h; ++i) {
      const float v8 = static_cast<float>((i / 7) % 200 + rng() % 40);
      if (stream.sample == ZOLTA_SAMPLE_FLOAT) {
        const float f = p == 0 ? v8 / 255.0f : (v8 - 128.0f) / 255.0f;
        std::memcpy(&in[p][4 * i], &f, 4);
      } else if (stream.bits > 8) {
        const uint16_t u = static_cast<uint16_t>(v8 * ((1 << stream.bits) - 1) / 255.0f);
        std::memcpy(&in[p][2 * i], &u, 2);
      } else {
        in[p][i] = static_cast<uint8_t>(v8);
      }
    }
    fin.data[p] = in[p].data();
    fout.data[p] = out[p].data();
    fin.stride[p] = fout.stride[p] = static_cast<ptrdiff_t>(w * sample);
  }
  // One picture of 4 samples a pixel, the planes' samples at 0, 1, 2.
  std::vector<uint8_t> picture;
  if (interleaved) {
    const size_t pixels = size_t(stream.width) * stream.height;
    picture.assign(pixels * 4 * sample, 255);
    for (int p = 0; p < planes; ++p) {
      for (size_t i = 0; i < pixels; ++i) {
        std::memcpy(&picture[(4 * i + p) * sample], &in[p][i * sample], sample);
      }
      fin.data[p] = fout.data[p] = picture.data() + p * sample;
      fin.stride[p] = fout.stride[p] = static_cast<ptrdiff_t>(stream.width) * 4 * sample;
      fin.step[p] = fout.step[p] = static_cast<ptrdiff_t>(4 * sample);
    }
  }
  for (auto _ : st) {
    zolta_denoiser_process(denoiser, &fin, &fout, nullptr);
    benchmark::DoNotOptimize(out[0].data());
    benchmark::ClobberMemory();
  }
  zolta_denoiser_destroy(denoiser);
}

void reference_frame(benchmark::State& st, int32_t width, int32_t height, bool yuy2) {
  ref::Settings settings;
  for (auto& plane : settings.thresholds) {
    for (auto& v : plane) v = 40;
  }
  const std::vector<uint32_t> src =
      noisy_words(yuy2 ? size_t(width / 2) * height : size_t(width) * height);
  for (auto _ : st) {
    if (yuy2) {
      auto r = ref::process_yuy2(src.data(), width / 2, width, height, settings);
      benchmark::DoNotOptimize(r.out.data());
    } else {
      auto r = ref::process_rgb32(src.data(), width, width, height, settings);
      benchmark::DoNotOptimize(r.out.data());
    }
  }
}

// Frame after frame of a 1920 x 1080 4:2:0 stream of `bits` (8 or 10), each
// from its window of 2R + 1 frames (a still picture, new noise of sigma 10
// in every frame), with the settings the noise table gives for sigma 10, on
// the widest path, one thread: the cost of the temporal radius. 8-bit
// windows are read as bytes; other depths go through float planes.
void temporal_frame(benchmark::State& st, SimdPath path, int32_t radius, int32_t frame_threads,
                    int32_t bits) {
  select_simd_path(path);
  const int32_t width = 1920, height = 1080;
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream.family = ZOLTA_FAMILY_YUV420;
  config.stream.width = width;
  config.stream.height = height;
  config.stream.bits = bits;
  config.temporal_radius = radius;
  config.frame_threads = frame_threads;
  const float sigma[3] = {10.0f, 10.0f, 10.0f};
  zolta_denoiser* denoiser = nullptr;
  if (zolta_settings_for_noise(sigma, ZOLTA_FAMILY_YUV420, &config.settings, nullptr) != ZOLTA_OK ||
      zolta_denoiser_create(&config, &denoiser, nullptr) != ZOLTA_OK) {
    st.SkipWithError("denoiser not created");
    return;
  }
  // A stream: 2R + 2 pictures taken in turn, each window the next frames,
  // numbered, so that each call converts one new frame as in a real stream.
  const size_t sample = bits > 8 ? 2 : 1;
  const size_t luma = size_t(width) * height * sample;
  const int32_t ring = 2 * radius + 2;
  std::vector<std::vector<uint8_t>> frames(ring);
  std::vector<zolta_frame> in(frames.size());
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.0f, 10.0f);
  for (size_t n = 0; n < frames.size(); ++n) {
    frames[n].resize(luma * 3 / 2);
    for (size_t i = 0; i < frames[n].size() / sample; ++i) {
      const float v = static_cast<float>((i / 7) % 200 + 28) + noise(rng);
      const float c = v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v);
      if (sample == 1) {
        frames[n][i] = static_cast<uint8_t>(c);
      } else {
        const uint16_t u = static_cast<uint16_t>(c * 1023.0f / 255.0f);
        std::memcpy(&frames[n][2 * i], &u, 2);
      }
    }
    in[n] = zolta_frame{};
    in[n].data[0] = frames[n].data();
    in[n].data[1] = frames[n].data() + luma;
    in[n].data[2] = frames[n].data() + luma * 5 / 4;
    in[n].stride[0] = width * static_cast<ptrdiff_t>(sample);
    in[n].stride[1] = in[n].stride[2] = width / 2 * static_cast<ptrdiff_t>(sample);
  }
  std::vector<uint8_t> out(luma * 3 / 2);
  zolta_frame fout = in[0];
  fout.data[0] = out.data();
  fout.data[1] = out.data() + luma;
  fout.data[2] = out.data() + luma * 5 / 4;
  intptr_t next = 0;  // the first frame of the next window
  std::vector<zolta_frame> window(2 * radius + 1);
  std::vector<const zolta_frame*> pointers(window.size());
  auto process_next = [&] {
    for (size_t k = 0; k < window.size(); ++k) {
      window[k] = in[(next + k) % ring];
      window[k].number = next + static_cast<intptr_t>(k) + 1;
      pointers[k] = &window[k];
    }
    ++next;
    zolta_denoiser_process_window(denoiser, pointers.data(), 2 * radius + 1, &fout, nullptr);
  };
  // The first window converts all its frames and touches the working area's
  // pages (zeroed by the system) once per denoiser, not once per frame.
  process_next();
  for (auto _ : st) {
    process_next();
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  zolta_denoiser_destroy(denoiser);
}

struct Case {
  const char* name;
  int32_t width, height;
  bool yuy2;
};

const Case kCases[] = {
    {"yuy2_720x480", 720, 480, true},
    {"rgb32_720x480", 720, 480, false},
    {"yuy2_1920x1080", 1920, 1080, true},
};

}  // namespace

struct ApiCase {
  const char* name;
  zolta_stream stream;
};

const ApiCase kApiCases[] = {
    {"api_yuv420_8bit_1920x1080",
     {ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, 1920, 1080, {}}},
    {"api_yuv420_10bit_1920x1080",
     {ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 10, 1920, 1080, {}}},
    {"api_yuv420_float_1920x1080",
     {ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_FLOAT, 32, 1920, 1080, {}}},
};

// The frames bench/speed.sh runs zolta-run on, on the widest path only, named
// api/yuv<layout>p<bits>/<width>x<height> for the script to find.
void register_speed_script_rows() {
  SimdPath widest = kSimdPlain;
  for (int p = 0; p < kSimdPathCount; ++p) {
    if (simd_path_available(static_cast<SimdPath>(p))) widest = static_cast<SimdPath>(p);
  }
  const int32_t sizes[][2] = {{720, 480}, {1920, 1080}};
  for (const auto& size : sizes) {
    for (int layout : {422, 420}) {
      for (int bits : {8, 10}) {
        const zolta_stream stream{ZOLTA_API_VERSION,
                                  layout == 422 ? ZOLTA_FAMILY_YUV422 : ZOLTA_FAMILY_YUV420,
                                  ZOLTA_SAMPLE_INTEGER,
                                  bits,
                                  size[0],
                                  size[1],
                                  {}};
        const std::string name = "api/yuv" + std::to_string(layout) + "p" + std::to_string(bits) +
                                 "/" + std::to_string(size[0]) + "x" + std::to_string(size[1]);
        benchmark::RegisterBenchmark(name.c_str(), api_frame, widest, stream, 0, false)
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
}

int main(int argc, char** argv) {
  register_speed_script_rows();
  {
    SimdPath widest = kSimdPlain;
    for (int p = 0; p < kSimdPathCount; ++p) {
      if (simd_path_available(static_cast<SimdPath>(p))) widest = static_cast<SimdPath>(p);
    }
    for (int32_t radius = 0; radius <= 2; ++radius) {
      const std::string name = "temporal/yuv420p8/1920x1080/radius" + std::to_string(radius);
      benchmark::RegisterBenchmark(name.c_str(), temporal_frame, widest, radius, 1, 8)
          ->Unit(benchmark::kMillisecond);
      // The same, each frame shared by two threads.
      benchmark::RegisterBenchmark((name + "/threads2").c_str(), temporal_frame, widest, radius, 2,
                                   8)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
      // 10 bits: the window through float planes.
      const std::string ten = "temporal/yuv420p10/1920x1080/radius" + std::to_string(radius);
      benchmark::RegisterBenchmark(ten.c_str(), temporal_frame, widest, radius, 1, 10)
          ->Unit(benchmark::kMillisecond);
    }
  }
  // One frame cut into 1 and 2 parts (frame_threads), wall-clock time:
  // planar 4:2:0 as zolta-run and GStreamer give it, RGBA as frei0r does.
  {
    SimdPath widest = kSimdPlain;
    for (int p = 0; p < kSimdPathCount; ++p) {
      if (simd_path_available(static_cast<SimdPath>(p))) widest = static_cast<SimdPath>(p);
    }
    const zolta_stream yuv{ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8,
                           1920, 1080, {}};
    const zolta_stream rgb{ZOLTA_API_VERSION, ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_INTEGER, 8,
                           1920, 1080, {}};
    for (int32_t parts = 1; parts <= 2; ++parts) {
      const std::string n = std::to_string(parts);
      benchmark::RegisterBenchmark(("frame_threads/yuv420p8/1920x1080/threads" + n).c_str(),
                                   api_frame, widest, yuv, parts, false)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
      benchmark::RegisterBenchmark(("frame_threads/rgba8/1920x1080/threads" + n).c_str(),
                                   api_frame, widest, rgb, parts, true)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  for (const ApiCase& c : kApiCases) {
    for (int p = 0; p < kSimdPathCount; ++p) {
      const SimdPath path = static_cast<SimdPath>(p);
      if (!simd_path_available(path)) continue;
      const std::string name = std::string(c.name) + "/" + simd_path_name(path);
      benchmark::RegisterBenchmark(name.c_str(), api_frame, path, c.stream, 0, false)
          ->Unit(benchmark::kMillisecond);
    }
  }
  for (const Case& c : kCases) {
    for (int p = 0; p < kSimdPathCount; ++p) {
      const SimdPath path = static_cast<SimdPath>(p);
      if (!simd_path_available(path)) continue;
      const std::string name = std::string(c.name) + "/" + simd_path_name(path);
      benchmark::RegisterBenchmark(name.c_str(), engine_frame, path, c.width, c.height, c.yuy2)
          ->Unit(benchmark::kMillisecond);
    }
    const std::string name = std::string(c.name) + "/scalar_model";
    benchmark::RegisterBenchmark(name.c_str(), reference_frame, c.width, c.height, c.yuy2)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
