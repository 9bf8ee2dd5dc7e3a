// SPDX-License-Identifier: BSD-2-Clause
// The frei0r module as MLT uses it: several instances made and run at once on
// several threads, and one instance called from several threads, each frame
// with the library's bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "frei0r_module.h"
#include "host_run.h"

namespace {

constexpr int kWidth = 96, kHeight = 64;

Bytes filtered(const Frei0rModule& f, f0r_instance_t instance, const Bytes& in, double time) {
  Bytes out(in.size());
  f.update(instance, time, reinterpret_cast<const uint32_t*>(in.data()),
           reinterpret_cast<uint32_t*>(out.data()));
  return out;
}

}  // namespace

TEST(Frei0rThreads, InstancesAndThreadsGiveTheLibrarysBytes) {
  Frei0rModule f;
  ASSERT_TRUE(f.load()) << dlerror();
  const size_t size = size_t{kWidth} * kHeight * 4;
  const Bytes frame = noisy_samples(size, 51);
  const Bytes want_default =
      reference_bgra(frame, kWidth, kHeight, settings_for_noise(10, ZOLTA_FAMILY_RGB));
  const Bytes want_strong =
      reference_bgra(frame, kWidth, kHeight, settings_for_noise(20, ZOLTA_FAMILY_RGB));

  // Four instances, each made, set and run on a thread of its own.
  std::vector<Bytes> results(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      f0r_instance_t instance = f.construct(kWidth, kHeight);
      if (!instance) return;
      if (t % 2) {
        double sigma = 0.4;
        f.set_value(instance, &sigma, 0);
      }
      for (int i = 0; i < 5; ++i) results[t] = filtered(f, instance, frame, i);
      f.destruct(instance);
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < 4; ++t) EXPECT_TRUE(results[t] == (t % 2 ? want_strong : want_default)) << t;

  // One instance, called from three threads at once.
  f0r_instance_t shared = f.construct(kWidth, kHeight);
  ASSERT_NE(shared, nullptr);
  threads.clear();
  std::vector<int> right(3, 0);
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i) right[t] += filtered(f, shared, frame, i) == want_default;
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < 3; ++t) EXPECT_EQ(right[t], 5) << t;
  f.destruct(shared);
  dlclose(f.handle);
}

TEST(Frei0rThreads, EveryThreadCountOfOneFrameGivesTheLibrarysBytes) {
  // ZOLTA_THREADS limits the threads an instance shares each frame among;
  // values that are no count leave every core.
  Frei0rModule f;
  ASSERT_TRUE(f.load()) << dlerror();
  const Bytes frame = noisy_samples(size_t{kWidth} * kHeight * 4, 52);
  const Bytes want =
      reference_bgra(frame, kWidth, kHeight, settings_for_noise(10, ZOLTA_FAMILY_RGB));
  for (const char* threads : {"1", "2", "5", "64", "1000", "0", "-3", "two", ""}) {
    SCOPED_TRACE(threads);
    ASSERT_EQ(setenv("ZOLTA_THREADS", threads, 1), 0);
    f0r_instance_t instance = f.construct(kWidth, kHeight);
    ASSERT_NE(instance, nullptr);
    EXPECT_TRUE(filtered(f, instance, frame, 0) == want);
    f.destruct(instance);
  }
  unsetenv("ZOLTA_THREADS");
  dlclose(f.handle);
}
