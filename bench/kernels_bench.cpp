// SPDX-License-Identifier: BSD-2-Clause
// Each entry of the dispatch record on its own, path beside path, on the
// per-function check's buffers: a wavelet row of 720 samples at every step,
// spans over a strip of 16 x 480 samples, conversions of a 720 x 480 picture.
//   zolta_kernels_bench --benchmark_filter=analyze
#include <benchmark/benchmark.h>

#include <string>

#include "dsp.h"
#include "harness.h"

using namespace zolta;

namespace {

using checkasm::Case;
using checkasm::Entry;

void time_entry(benchmark::State& st, SimdPath path, Case c) {
  const DspKernels* k = dsp_kernels_for(path);
  const uint32_t float_mode = enter_default_float_mode();
  checkasm::Run run(c);
  for (auto _ : st) {
    run.call(*k);
    benchmark::ClobberMemory();
  }
  leave_default_float_mode(float_mode);
  const int64_t samples = int64_t{c.length} * c.height;
  st.SetItemsProcessed(st.iterations() * samples);
}

}  // namespace

int main(int argc, char** argv) {
  for (int e = 0; e < checkasm::kEntryCount; ++e) {
    const Entry entry = static_cast<Entry>(e);
    const Entry base = checkasm::base_entry(entry);
    for (int a = 0; a < 4; ++a) {
      Case c = checkasm::case_for(entry, 0, 1);
      c.bottom_up = false;
      c.pad = 0;
      c.out_shift = 0;
      c.filter_taps = true;
      c.threshold = 2.5f;
      c.offset = 0;
      std::string size;
      if (base == checkasm::kAnalyze || base == checkasm::kSynthesize) {
        c.length = 720;
        c.height = 1;
        c.a = a;
        size = "720/step" + std::to_string(1 << a);
      } else if (base == checkasm::kAnalyzeSpan || base == checkasm::kSynthesizeSpan) {
        if (a == 3) break;
        // A strip of 16 columns of 480 rows.
        c.length = 16 * 480;
        c.height = 1;
        c.step = 16 << a;
        size = "16x480/step" + std::to_string(1 << a);
      } else {
        if (a > 0) break;
        c.length = 720;
        c.height = 480;
        size = "720x480";
      }
      for (int p = 0; p < kSimdPathCount; ++p) {
        const SimdPath path = static_cast<SimdPath>(p);
        if (!dsp_kernels_for(path)) continue;
        const std::string name =
            std::string(checkasm::entry_name(entry)) + "/" + size + "/" + simd_path_name(path);
        benchmark::RegisterBenchmark(name.c_str(), time_entry, path, c)
            ->Unit(benchmark::kMicrosecond);
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
