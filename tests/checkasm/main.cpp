// SPDX-License-Identifier: BSD-2-Clause
// Per-function check of the dispatch record: every entry of every path this
// processor runs against the plain path's entry, on random cases that
// include the awkward sizes, steps, thresholds and pitches, with guard bands
// around every output. The plain entry itself is held to the scalar model
// of the engine where the model has the same function, and is run once more
// on buffers off their usual alignment. Prints the first differing case of
// every entry and path and exits non-zero when there is one.
//
//   zolta_checkasm [--seed N] [--rounds N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dsp.h"
#include "harness.h"

using namespace zolta;

namespace {

using checkasm::Case;
using checkasm::Entry;
using checkasm::Run;

bool same_entry(const DspKernels& a, const DspKernels& b, Entry e) {
  switch (e) {
    case checkasm::kAnalyze:
      return a.analyze == b.analyze;
    case checkasm::kSynthesize:
      return a.synthesize == b.synthesize;
    case checkasm::kAnalyzeSpan:
      return a.analyze_span == b.analyze_span;
    case checkasm::kSynthesizeSpan:
      return a.synthesize_span == b.synthesize_span;
    case checkasm::kRgb32ToPlanes:
      return a.rgb32_to_planes == b.rgb32_to_planes;
    case checkasm::kPlanesToRgb32:
      return a.planes_to_rgb32 == b.planes_to_rgb32;
    case checkasm::kPlaneToGray:
      return a.plane_to_gray == b.plane_to_gray;
    case checkasm::kYuy2ToPlanes:
      return a.yuy2_to_planes == b.yuy2_to_planes;
    case checkasm::kPlanesToYuy2:
      return a.planes_to_yuy2 == b.planes_to_yuy2;
    case checkasm::kSynthesizeScaled:
      return a.synthesize_scaled == b.synthesize_scaled;
    case checkasm::kSynthesizeSpanScaled:
      return a.synthesize_span_scaled == b.synthesize_span_scaled;
  }
  return false;
}

// The first failure of one entry on one path.
struct Verdict {
  int failures = 0;
  std::string first;
  void fail(const Case& c, const std::string& what) {
    if (failures++ == 0) first = c.describe() + ": " + what;
  }
};

}  // namespace

int main(int argc, char** argv) {
  uint32_t seed = 20240611;
  int rounds = 3;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--seed N] [--rounds N]\n", argv[0]);
      return 2;
    }
  }

  const uint32_t float_mode = enter_default_float_mode();
  const DspKernels* plain = dsp_kernels_for(kSimdPlain);
  std::vector<const DspKernels*> paths;
  for (int p = kSimdPlain + 1; p < kSimdPathCount; ++p) {
    if (const DspKernels* k = dsp_kernels_for(static_cast<SimdPath>(p))) paths.push_back(k);
  }
  std::printf("checkasm: seed %u, %d rounds, paths: plain", seed, rounds);
  for (const DspKernels* k : paths) std::printf(" %s", k->name);
  std::printf("\n");

  int checks = 0, failed = 0;
  long cases_total = 0;
  for (int e = 0; e < checkasm::kEntryCount; ++e) {
    const Entry entry = static_cast<Entry>(e);
    const int cases = rounds * checkasm::sweep_length(entry);
    Verdict plain_verdict;
    std::vector<Verdict> verdicts(paths.size());
    for (int i = 0; i < cases; ++i) {
      const Case c = checkasm::case_for(entry, i, seed);
      Run reference(c);
      reference.call(*plain);
      std::string bad = reference.guard_damage();
      if (bad.empty()) bad = reference.model_difference();
      if (bad.empty()) {
        // Floats four bytes off their 16-byte alignment.
        Run shifted(c, 4);
        shifted.call(*plain);
        bad = shifted.guard_damage();
        if (bad.empty()) bad = shifted.first_difference(reference, "plain unaligned", "plain");
      }
      if (!bad.empty()) plain_verdict.fail(c, bad);
      for (size_t p = 0; p < paths.size(); ++p) {
        Run run(c);
        run.call(*paths[p]);
        std::string what = run.guard_damage();
        if (what.empty()) what = run.first_difference(reference, paths[p]->name, "plain");
        if (!what.empty()) verdicts[p].fail(c, what);
      }
    }
    cases_total += cases;
    std::printf("  %-16s %4d cases  plain+model %s", checkasm::entry_name(entry), cases,
                plain_verdict.failures ? "FAILED" : "ok");
    ++checks;
    failed += plain_verdict.failures ? 1 : 0;
    for (size_t p = 0; p < paths.size(); ++p) {
      const DspKernels* narrower = p == 0 ? plain : paths[p - 1];
      std::printf("  %s%s %s", paths[p]->name,
                  same_entry(*paths[p], *narrower, entry) ? "(inherited)" : "",
                  verdicts[p].failures ? "FAILED" : "ok");
      ++checks;
      failed += verdicts[p].failures ? 1 : 0;
    }
    std::printf("\n");
    if (plain_verdict.failures) {
      std::printf("    FAILED %s plain (%d cases): %s\n", checkasm::entry_name(entry),
                  plain_verdict.failures, plain_verdict.first.c_str());
    }
    for (size_t p = 0; p < paths.size(); ++p) {
      if (!verdicts[p].failures) continue;
      std::printf("    FAILED %s %s (%d cases): %s\n", checkasm::entry_name(entry), paths[p]->name,
                  verdicts[p].failures, verdicts[p].first.c_str());
    }
  }
  leave_default_float_mode(float_mode);
  std::printf("checkasm: %d of %d entry checks passed, %ld cases\n", checks - failed, checks,
              cases_total);
  return failed == 0 ? 0 : 1;
}
