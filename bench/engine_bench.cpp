// Frame throughput of the engine on every path this processor runs, beside
// the scalar model on the same frames. Every threshold is 40, so all eighteen
// levels run. Run with --benchmark_repetitions=5 for medians.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "dsp.h"
#include "filter_state.h"
#include "reference.h"
#include "rgb32.h"
#include "yuy2.h"

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
    state.width = width;
    state.height = height;
    state.yuy2 = yuy2 ? 1 : 0;
    const size_t words = yuy2 ? size_t(width / 2) * height : size_t(width) * height;
    src = noisy_words(words);
    dst.resize(words);
    state.src = src.data();
    state.dst = dst.data();
    state.src_pitch = yuy2 ? width / 2 : width;
    alloc_buffers(state);
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

int main(int argc, char** argv) {
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
