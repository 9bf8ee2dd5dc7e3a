// SPDX-License-Identifier: BSD-2-Clause
// Counts every allocation in this test program: processing frames must not
// allocate at all; the filter bank is built once, when the stream starts.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "test_support.h"
#include "zolta.h"

using namespace zolta;

namespace {
std::atomic<long> g_allocations{0};
std::atomic<long> g_releases{0};

void* acquire(std::size_t size) {
  ++g_allocations;
  return std::malloc(size ? size : 1);
}

void release(void* p) {
  if (p) ++g_releases;
  std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = acquire(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = acquire(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return acquire(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return acquire(size);
}
void operator delete(void* p) noexcept {
  release(p);
}
void operator delete[](void* p) noexcept {
  release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  release(p);
}

TEST(Allocation, FramesAllocateNothing) {
  const int32_t w = 64, h = 32, frames = 20;
  const std::vector<uint32_t> src = random_words(size_t(w) * h, 1);
  std::vector<uint32_t> dst(size_t(w) * h);
  for (SimdPath path : available_paths()) {
    PathScope scope(path);
    for (bool yuy2 : {false, true}) {
      const long before_alloc = g_allocations;
      Instance inst(w, h, yuy2);
      EXPECT_EQ(g_allocations - before_alloc, 1) << "alloc_buffers is one block";
      for (auto& plane : inst.state.thresholds) {
        for (auto& v : plane) v = 40;
      }
      const long a0 = g_allocations, r0 = g_releases;
      for (int f = 0; f < frames; ++f) {
        inst.state.mode = f % 3;
        inst.state.show_plane = f % 2;
        inst.run(src.data(), yuy2 ? w / 2 : w, dst.data());
      }
      const long allocated = g_allocations - a0, released = g_releases - r0;
      EXPECT_EQ(allocated, 0) << simd_path_name(path);
      EXPECT_EQ(released, 0) << simd_path_name(path);
      // The off switch copies without allocating anything.
      inst.state.enabled = 0;
      const long a1 = g_allocations;
      if (!yuy2) inst.run(src.data(), w, dst.data());
      EXPECT_EQ(g_allocations, a1);
    }
  }
}

// Lines longer than the stack scratch take their rows from the plane block.
TEST(Allocation, LongLinesUseTheScratchBehindThePlanes) {
  const int32_t w = 3328, h = 8;
  const std::vector<uint32_t> src = random_words(size_t(w) * h, 2);
  std::vector<uint32_t> dst(size_t(w) * h);
  Instance inst(w, h, false);
  for (auto& plane : inst.state.thresholds) {
    for (auto& v : plane) v = 40;
  }
  const long a0 = g_allocations;
  for (int f = 0; f < 3; ++f) inst.run(src.data(), w, dst.data());
  EXPECT_EQ(g_allocations - a0, 0);
}

// Through the public interface: a denoiser allocates when it is created and
// never while it processes frames, in any format and view.
TEST(Allocation, DenoisersAllocateNothingPerFrame) {
  const int32_t w = 64, h = 32;
  const zolta_stream streams[] = {
      {ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, w, h, {}},
      {ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV422, ZOLTA_SAMPLE_INTEGER, 10, w, h, {}},
      {ZOLTA_API_VERSION, ZOLTA_FAMILY_RGB, ZOLTA_SAMPLE_FLOAT, 32, w, h, {}},
      {ZOLTA_API_VERSION, ZOLTA_FAMILY_RGB32, ZOLTA_SAMPLE_INTEGER, 8, w, h, {}},
      {ZOLTA_API_VERSION, ZOLTA_FAMILY_YUY2, ZOLTA_SAMPLE_INTEGER, 8, w, h, {}},
  };
  // Room for every format: three planes of 4-byte samples, or packed pixels.
  std::vector<uint32_t> in = random_words(size_t(w) * h * 3, 9), out(in.size());
  for (const zolta_stream& s : streams) {
    zolta_denoiser_config config{ZOLTA_API_VERSION, s, {}, 2, 0, 0, {}};
    zolta_settings_default(&config.settings, ZOLTA_API_VERSION);
    for (auto& plane : config.settings.thresholds) {
      for (auto& dir : plane) {
        for (auto& v : dir) v = 40;
      }
    }
    zolta_denoiser* d = nullptr;
    ASSERT_EQ(zolta_denoiser_create(&config, &d, nullptr), ZOLTA_OK);
    zolta_frame fin{}, fout{};
    for (int p = 0; p < 3; ++p) {
      fin.data[p] = in.data() + size_t(p) * w * h;
      fout.data[p] = out.data() + size_t(p) * w * h;
      fin.stride[p] = fout.stride[p] = w * 4;
    }
    if (s.sample == ZOLTA_SAMPLE_INTEGER && s.bits == 10) {
      for (size_t i = 0; i < in.size(); ++i) in[i] &= 0x03ff03ffu;
    }
    const long a0 = g_allocations;
    for (int f = 0; f < 6; ++f) {
      config.settings.view = f % 3;
      config.settings.show_plane = f % 2;
      ASSERT_EQ(zolta_denoiser_update(d, &config.settings, nullptr), ZOLTA_OK);
      ASSERT_EQ(zolta_denoiser_process(d, &fin, &fout, nullptr), ZOLTA_OK);
      ASSERT_EQ(zolta_denoiser_process(d, &fout, &fout, nullptr), ZOLTA_OK);
    }
    EXPECT_EQ(g_allocations, a0) << s.family;
    zolta_denoiser_destroy(d);
  }
}
