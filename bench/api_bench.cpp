// Frame throughput through the public interface, one thread: planar YUV
// frames of the sizes and layouts bench/speed.sh runs zolta-run on, with every
// threshold 40 so that all eighteen levels run. The processor's widest path.
// Names: api/yuv<layout>p<bits>/<width>x<height>.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "zolta.h"

namespace {

struct Format {
  const char* name;
  int32_t family;
  int32_t bits;
};

void api_frame(benchmark::State& st, Format format, int32_t width, int32_t height) {
  zolta_denoiser_config config{};
  config.stream = {format.family, ZOLTA_SAMPLE_INTEGER, format.bits, width, height};
  zolta_settings_default(&config.settings);
  for (auto& plane : config.settings.thresholds) {
    for (auto& direction : plane) {
      for (auto& v : direction) v = 40;
    }
  }
  config.threads = 1;
  zolta_denoiser* denoiser = nullptr;
  zolta_error error{};
  if (zolta_denoiser_create(&config, &denoiser, &error) != ZOLTA_OK) {
    st.SkipWithError(error.message);
    return;
  }
  // Mid-grey with noise of about 10 on the 8-bit scale, in the samples' own
  // depth.
  const int bytes = format.bits > 8 ? 2 : 1;
  const int32_t top = (1 << format.bits) - 1;
  std::mt19937 rng(42);
  std::normal_distribution<float> noise(0.0f, 10.0f * top / 255.0f);
  std::vector<std::vector<uint8_t>> planes(3);
  zolta_frame frame{};
  for (int p = 0; p < zolta_stream_planes(&config.stream); ++p) {
    int32_t w = 0, h = 0;
    zolta_stream_plane_size(&config.stream, p, &w, &h);
    planes[p].resize(static_cast<size_t>(w) * h * bytes);
    for (size_t i = 0; i < planes[p].size() / bytes; ++i) {
      float v = top / 2.0f + noise(rng);
      const int32_t s = v < 0 ? 0 : v > top ? top : static_cast<int32_t>(v);
      if (bytes == 1) {
        planes[p][i] = static_cast<uint8_t>(s);
      } else {
        reinterpret_cast<uint16_t*>(planes[p].data())[i] = static_cast<uint16_t>(s);
      }
    }
    frame.data[p] = planes[p].data();
    frame.stride[p] = static_cast<ptrdiff_t>(w) * bytes;
  }
  std::vector<std::vector<uint8_t>> out = planes;
  zolta_frame result = frame;
  for (int p = 0; p < 3; ++p) result.data[p] = out[p].empty() ? nullptr : out[p].data();
  for (auto _ : st) {
    if (zolta_denoiser_process(denoiser, &frame, &result, &error) != ZOLTA_OK) {
      st.SkipWithError(error.message);
      break;
    }
    benchmark::ClobberMemory();
  }
  zolta_denoiser_destroy(denoiser);
}

}  // namespace

int main(int argc, char** argv) {
  const Format formats[] = {{"yuv422p8", ZOLTA_FAMILY_YUV422, 8},
                            {"yuv420p8", ZOLTA_FAMILY_YUV420, 8},
                            {"yuv422p10", ZOLTA_FAMILY_YUV422, 10},
                            {"yuv420p10", ZOLTA_FAMILY_YUV420, 10}};
  const int32_t sizes[][2] = {{720, 480}, {1920, 1080}};
  for (const auto& size : sizes) {
    for (const Format& f : formats) {
      const std::string name = std::string("api/") + f.name + "/" + std::to_string(size[0]) + "x" +
                               std::to_string(size[1]);
      benchmark::RegisterBenchmark(name.c_str(), api_frame, f, size[0], size[1])
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
