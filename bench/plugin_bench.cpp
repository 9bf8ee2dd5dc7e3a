// SPDX-License-Identifier: BSD-2-Clause
// Frames per second of zolta-plugin in each host's stand-in: a 1080p 4:2:0
// 8-bit clip, the medium settings of doc/hosts.md, frames requested from as
// many threads at once as the processor has cores (the core's thread count
// in VapourSynth, the processor count in AviSynth+). The source frames are
// copies of one prepared picture; the hosts' own costs (new frames, the copy)
// are part of the figure.
//   build/zolta_plugin_bench --benchmark_min_time=5
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "avsplus_host.h"
#include "parallel.h"
#include "plugin_module.h"
#include "vs_core.h"

using namespace standin_vs;

namespace {

const int kWidth = 1920, kHeight = 1080;
const char kConfig[] = "Config(49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224)";

int cores() {
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}

// The three planes of one noisy picture.
struct Picture {
  std::vector<uint8_t> planes[3];
  int widths[3] = {kWidth, kWidth / 2, kWidth / 2};
  int heights[3] = {kHeight, kHeight / 2, kHeight / 2};
  Picture() {
    std::mt19937 rng(7);
    for (int p = 0; p < 3; ++p) {
      planes[p].resize(static_cast<size_t>(widths[p]) * heights[p]);
      for (int y = 0; y < heights[p]; ++y)
        for (int x = 0; x < widths[p]; ++x)
          planes[p][static_cast<size_t>(y) * widths[p] + x] =
              static_cast<uint8_t>(64 + (x + y) % 128 + rng() % 24);
    }
  }
  void copy_to(int p, uint8_t* data, ptrdiff_t stride) const {
    for (int y = 0; y < heights[p]; ++y)
      std::memcpy(data + y * stride, &planes[p][static_cast<size_t>(y) * widths[p]],
                  static_cast<size_t>(widths[p]));
  }
};

const Picture& picture() {
  static const Picture p;
  return p;
}

void vapoursynth_1080p420(benchmark::State& st) {
  const int threads = cores();
  VsCore core(threads);
  std::string error;
  if (!core.load_plugin(plugin_path_beside_executable(), error)) {
    st.SkipWithError(error.c_str());
    return;
  }
  VSNode* src = core.source(vs_format_id(cfYUV, stInteger, 8, 1, 1), kWidth, kHeight, 1 << 20,
                            [&core](int, VSFrame* f) {
                              for (int p = 0; p < 3; ++p)
                                picture().copy_to(p, core.write_ptr(f, p), core.stride(f, p));
                            });
  VSMap* args = core.create_map();
  core.set_node(args, "clip", src);
  core.set_data(args, "config_text", kConfig);
  VSMap* out = core.invoke("Denoise", args);
  VSNode* node = core.map_node(out, "clip");
  core.free_map(out);
  core.free_map(args);
  if (!node) {
    st.SkipWithError("Denoise failed");
    core.free_node(src);
    return;
  }
  const int batch = 4 * threads;
  int next = 0;
  for (auto _ : st) {
    std::vector<int> frames;
    for (int i = 0; i < batch; ++i) frames.push_back(next++);
    for (VsFrameResult& r : core.get_frames(node, frames, threads)) core.free_frame(r.frame);
  }
  st.counters["fps"] =
      benchmark::Counter(static_cast<double>(st.iterations()) * batch, benchmark::Counter::kIsRate);
  st.counters["threads"] = threads;
  core.free_node(node);
  core.free_node(src);
}

void fill_avs(void* user, int, AVS_VideoFrame* frame) {
  const AvsPlusHost* host = static_cast<const AvsPlusHost*>(user);
  const int ids[3] = {AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V};
  for (int p = 0; p < 3; ++p) {
    const AvsPlaneView v = host->plane(frame, ids[p]);
    picture().copy_to(p, v.data, v.pitch);
  }
}

void avisynth_plus_1080p420(benchmark::State& st) {
  const int threads = cores();
  AvsPlusHost host(threads);
  std::string text;
  if (!host.load_plugin(plugin_path_beside_executable(), text)) {
    st.SkipWithError(text.c_str());
    return;
  }
  AVS_VideoInfo vi = {};
  vi.width = kWidth;
  vi.height = kHeight;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  vi.num_frames = 1 << 20;
  vi.pixel_type = static_cast<int>(0xA0000008u);  // YV12
  AVS_Clip* src = host.source(vi, fill_avs, &host);
  AVS_Value config;
  config.type = AVS_TYPE_STRING;
  config.array_size = 0;
  config.d.string = kConfig;
  std::string error;
  AVS_Clip* clip = host.invoke("ZoltaDenoise", src, {{"config_text", config}}, error);
  if (!clip) {
    st.SkipWithError(error.c_str());
    host.release_clip(src);
    return;
  }
  const int batch = 4 * threads;
  int first = 0;
  for (auto _ : st) {
    std::atomic<int> next{0};
    run_in_parallel(threads, [&](int) {
      std::string e;
      for (int i = next.fetch_add(1); i < batch; i = next.fetch_add(1))
        host.release_frame(host.get_frame(clip, first + i, e));
    });
    first += batch;
  }
  st.counters["fps"] =
      benchmark::Counter(static_cast<double>(st.iterations()) * batch, benchmark::Counter::kIsRate);
  st.counters["threads"] = threads;
  host.release_clip(clip);
  host.release_clip(src);
}

}  // namespace

BENCHMARK(vapoursynth_1080p420)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(avisynth_plus_1080p420)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
