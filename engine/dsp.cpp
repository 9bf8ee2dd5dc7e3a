#include "dsp.h"

#include <xmmintrin.h>

#include <atomic>

#include "x86/kernels.h"

namespace {

std::atomic<const DspKernels*> g_active{nullptr};

const DspKernels* record_for(SimdPath path) {
  switch (path) {
#if ZOLTA_HAVE_AVX512
    case kSimdAvx512:
      return &kDspAvx512;
#endif
#if ZOLTA_HAVE_AVX2
    case kSimdAvx2:
      return &kDspAvx2;
#endif
    default:
      return &kDspSse;
  }
}

bool processor_has(SimdPath path) {
#if defined(__GNUC__)
  __builtin_cpu_init();
  switch (path) {
    case kSimdSse:
      return true;
    case kSimdAvx2:
      // The processor's check includes the operating system's saving of the
      // wider registers.
      return __builtin_cpu_supports("avx2");
    case kSimdAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vl");
  }
#endif
  return path == kSimdSse;
}

SimdPath widest_available(SimdPath limit) {
  for (int p = limit; p > kSimdSse; --p) {
    if (simd_path_available(static_cast<SimdPath>(p))) return static_cast<SimdPath>(p);
  }
  return kSimdSse;
}

}  // namespace

bool simd_path_available(SimdPath path) {
  if (path < kSimdSse || path >= kSimdPathCount) return false;
  if (record_for(path)->path != path) return false;  // not built in
  return processor_has(path);
}

const DspKernels& dsp_kernels() {
  const DspKernels* k = g_active.load(std::memory_order_acquire);
  if (!k) {
    // Racing first calls all store the same record.
    k = record_for(widest_available(kSimdAvx512));
    g_active.store(k, std::memory_order_release);
  }
  return *k;
}

SimdPath select_simd_path(SimdPath path) {
  if (path < kSimdSse) path = kSimdSse;
  if (path >= kSimdPathCount) path = kSimdAvx512;
  const DspKernels* k = record_for(widest_available(path));
  g_active.store(k, std::memory_order_release);
  return k->path;
}

const char* simd_path_name(SimdPath path) {
  switch (path) {
    case kSimdSse:
      return "sse";
    case kSimdAvx2:
      return "avx2";
    case kSimdAvx512:
      return "avx512";
  }
  return "unknown";
}

uint32_t enter_default_float_mode() {
  const uint32_t saved = _mm_getcsr();
  // Everything masked, round to nearest, flags clear, no flush or denormals-as-zero.
  _mm_setcsr(0x1f80);
  return saved;
}

void leave_default_float_mode(uint32_t saved) {
  _mm_setcsr(saved);
}
