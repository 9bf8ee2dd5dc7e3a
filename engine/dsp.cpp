// SPDX-License-Identifier: BSD-2-Clause
#include "dsp.h"

#include <atomic>

#include "plain/kernels.h"

#if ZOLTA_HAVE_SSE
#include "x86/kernels.h"
#endif

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#define ZOLTA_X86 1
#include <xmmintrin.h>
#elif defined(__aarch64__)
#define ZOLTA_ARM64 1
#else
#include <cfenv>
#endif

namespace zolta {

namespace {

// One record per path, each filled for the features up to that path.
struct PathRecords {
  DspKernels path[kSimdPathCount];
};

uint32_t features_through(SimdPath path) {
  return (simd_feature_bit(path) << 1) - 1;
}

const PathRecords& path_records() {
  static const PathRecords records = [] {
    PathRecords r{};
    const uint32_t features = processor_simd_features();
    for (int p = 0; p < kSimdPathCount; ++p) {
      fill_dsp_kernels(r.path[p], features & features_through(static_cast<SimdPath>(p)));
    }
    return r;
  }();
  return records;
}

std::atomic<const DspKernels*> g_active{nullptr};

SimdPath widest_available(SimdPath limit) {
  for (int p = limit; p > kSimdPlain; --p) {
    if (simd_path_available(static_cast<SimdPath>(p))) return static_cast<SimdPath>(p);
  }
  return kSimdPlain;
}

}  // namespace

uint32_t processor_simd_features() {
  uint32_t features = simd_feature_bit(kSimdPlain);
#if ZOLTA_X86 && defined(__GNUC__)
  __builtin_cpu_init();
  // Every x86 processor this build runs on has SSE2 (the 32-bit build
  // requires it for its float arithmetic). The checks of the wider sets
  // include the operating system's saving of their registers.
  features |= simd_feature_bit(kSimdSse);
  if (__builtin_cpu_supports("avx2")) features |= simd_feature_bit(kSimdAvx2);
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl")) {
    features |= simd_feature_bit(kSimdAvx512);
  }
#endif
  return features;
}

void fill_dsp_kernels(DspKernels& k, uint32_t features) {
  dsp_init_plain(k);
#if ZOLTA_HAVE_SSE
  if (features & simd_feature_bit(kSimdSse)) dsp_init_sse(k);
#endif
#if ZOLTA_HAVE_AVX2
  if (features & simd_feature_bit(kSimdAvx2)) dsp_init_avx2(k);
#endif
#if ZOLTA_HAVE_AVX512
  if (features & simd_feature_bit(kSimdAvx512)) dsp_init_avx512(k);
#endif
  (void)features;
}

const DspKernels* dsp_kernels_for(SimdPath path) {
  if (path < kSimdPlain || path >= kSimdPathCount) return nullptr;
  const DspKernels& k = path_records().path[path];
  // A path that is not built in, or that the processor lacks, leaves the
  // record at a narrower one.
  return k.path == path ? &k : nullptr;
}

bool simd_path_available(SimdPath path) {
  return dsp_kernels_for(path) != nullptr;
}

const DspKernels& dsp_kernels() {
  const DspKernels* k = g_active.load(std::memory_order_acquire);
  if (!k) {
    // Racing first calls all store the same record.
    k = dsp_kernels_for(widest_available(static_cast<SimdPath>(kSimdPathCount - 1)));
    g_active.store(k, std::memory_order_release);
  }
  return *k;
}

SimdPath select_simd_path(SimdPath path) {
  if (path < kSimdPlain) path = kSimdPlain;
  if (path >= kSimdPathCount) path = static_cast<SimdPath>(kSimdPathCount - 1);
  const DspKernels* k = dsp_kernels_for(widest_available(path));
  g_active.store(k, std::memory_order_release);
  return k->path;
}

const char* simd_path_name(SimdPath path) {
  switch (path) {
    case kSimdPlain:
      return "plain";
    case kSimdSse:
      return "sse";
    case kSimdAvx2:
      return "avx2";
    case kSimdAvx512:
      return "avx512";
  }
  return "unknown";
}

// Everything masked, round to nearest even, no flushing of tiny values to
// zero and no treating them as zero, NaN operands propagated.
uint32_t enter_default_float_mode() {
#if ZOLTA_X86
  const uint32_t saved = _mm_getcsr();
  _mm_setcsr(0x1f80);  // exception masks set, flags clear
  return saved;
#elif ZOLTA_ARM64
  // FPCR: rounding mode 0 (nearest), FZ, DN, AHP and every trap enable off.
  uint64_t saved;
  __asm__ volatile("mrs %0, fpcr" : "=r"(saved));
  __asm__ volatile("msr fpcr, %0" : : "r"(uint64_t{0}));
  return static_cast<uint32_t>(saved);
#else
  const uint32_t saved = static_cast<uint32_t>(std::fegetround());
  std::fesetround(FE_TONEAREST);
  return saved;
#endif
}

void leave_default_float_mode(uint32_t saved) {
#if ZOLTA_X86
  _mm_setcsr(saved);
#elif ZOLTA_ARM64
  __asm__ volatile("msr fpcr, %0" : : "r"(uint64_t{saved}));
#else
  std::fesetround(static_cast<int>(saved));
#endif
}

}  // namespace zolta
