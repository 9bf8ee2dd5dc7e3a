// SPDX-License-Identifier: BSD-2-Clause
// Frame sizes the filter cannot denoise, through the module as a host loads
// it: an instance is made all the same, says why once on standard error, and
// lets every frame pass through unchanged (a host that gets no instance may
// pass on a buffer of its own, as melt does, colours swapped).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "host_run.h"

extern "C" {
#include <frei0r.h>
}

namespace {

// Standard error of the calls made while it lives, read back at the end.
class StderrCapture {
 public:
  explicit StderrCapture(const std::string& path) {
    std::fflush(stderr);
    saved_ = dup(2);
    std::FILE* to = std::fopen(path.c_str(), "w");
    if (to) {
      dup2(fileno(to), 2);
      std::fclose(to);
    }
    path_ = path;
  }
  std::string finish() {
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    const Bytes got = read_file(path_);
    return std::string(got.begin(), got.end());
  }

 private:
  int saved_ = -1;
  std::string path_;
};

}  // namespace

TEST(Frei0rSizes, ASizeRefusedPassesFramesThroughWithOneMessage) {
  void* handle = dlopen(ZOLTA_FREI0R_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  auto construct =
      reinterpret_cast<f0r_instance_t (*)(unsigned, unsigned)>(dlsym(handle, "f0r_construct"));
  auto destruct = reinterpret_cast<void (*)(f0r_instance_t)>(dlsym(handle, "f0r_destruct"));
  auto update = reinterpret_cast<void (*)(f0r_instance_t, double, const uint32_t*, uint32_t*)>(
      dlsym(handle, "f0r_update"));
  ASSERT_TRUE(construct && destruct && update);
  TempDir dir;
  const struct {
    unsigned width, height;
    const char* message;  // empty: denoised
  } cases[] = {
      {0, 0, "zolta: empty frame (0 x 0): frames pass through unchanged\n"},
      {4, 0, "zolta: empty frame (4 x 0): frames pass through unchanged\n"},
      {0, 8, "zolta: empty frame (0 x 8): frames pass through unchanged\n"},
      {62, 48,
       "zolta: planar RGB needs width and height that are multiples of 4; got 62 x 48; frames "
       "pass through unchanged\n"},
      {64, 46,
       "zolta: planar RGB needs width and height that are multiples of 4; got 64 x 46; frames "
       "pass through unchanged\n"},
      {68, 48, ""},  // outside ffmpeg no row is padded: any multiple of 4
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const size_t size = size_t{c.width} * c.height * 4;
    const Bytes in = noisy_samples(size + 4, 61);
    StderrCapture capture(dir.path("stderr"));
    f0r_instance_t instance = construct(c.width, c.height);
    Bytes out(size + 4, 0xee);  // one pixel past the frame, which stays as it was
    for (double time : {0.0, 0.04, 0.08})
      update(instance, time, reinterpret_cast<const uint32_t*>(in.data()),
             reinterpret_cast<uint32_t*>(out.data()));
    const std::string said = capture.finish();
    ASSERT_NE(instance, nullptr);
    destruct(instance);
    EXPECT_EQ(said, c.message);
    const Bytes frame_in(in.begin(), in.begin() + static_cast<long>(size));
    const Bytes frame_out(out.begin(), out.begin() + static_cast<long>(size));
    if (*c.message) {
      EXPECT_TRUE(frame_out == frame_in);
    } else {
      EXPECT_TRUE(frame_out == reference_bgra(frame_in, static_cast<int>(c.width),
                                              static_cast<int>(c.height),
                                              settings_for_noise(10, ZOLTA_FAMILY_RGB)));
    }
    EXPECT_EQ(Bytes(out.end() - 4, out.end()), Bytes(4, 0xee));
  }
  dlclose(handle);
}
