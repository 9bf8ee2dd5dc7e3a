// SPDX-License-Identifier: BSD-2-Clause
// The frame pipeline: order, bounded memory and the first failing frame,
// whatever the number of threads and the timing.
#include "pipeline.h"
#include "window_memory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

// A stream of `frames` numbered frames; work scrambles a frame's value and
// takes a time that varies from frame to frame, so that workers finish out
// of order.
struct FakeStream {
  long frames = 0;
  long fail_read_at = -1, fail_write_at = -1;
  std::vector<long> fail_work_at;
  bool throw_at_work = false;
  size_t budget = 0;          // memory budget, in bytes
  size_t frame_bytes = 1000;  // what each frame takes
  long large_at = -1;         // a frame five times larger than the others
  std::vector<uint64_t> slot_value;
  std::vector<uint64_t> written;
  std::vector<long> written_index;

  static uint64_t scramble(uint64_t v) {
    for (int i = 0; i < 3; ++i) v = v * 6364136223846793005ULL + 1442695040888963407ULL;
    return v;
  }

  bool run(int threads, std::string& error, PipelineStats* stats) {
    PipelineStages stages;
    stages.threads = threads;
    stages.slots = pipeline_slots(threads);
    stages.memory_budget = budget;
    slot_value.assign(stages.slots, 0);
    std::vector<long> slot_index(stages.slots, -1);
    stages.frame_bytes = [&](int slot) {
      return slot_index[slot] == large_at ? 5 * frame_bytes : frame_bytes;
    };
    stages.read = [&](int slot, long index, std::string& message) {
      if (index == fail_read_at) {
        message = "read failed at " + std::to_string(index);
        return ReadResult::Error;
      }
      if (index >= frames) return ReadResult::End;
      slot_value[slot] = static_cast<uint64_t>(index);
      slot_index[slot] = index;
      return ReadResult::Frame;
    };
    stages.work = [&](int slot, int worker, long index, std::string& message) {
      EXPECT_GE(worker, 0);
      EXPECT_LT(worker, threads);
      if (index % 7 == 3) std::this_thread::sleep_for(std::chrono::microseconds(200));
      for (long f : fail_work_at) {
        if (index == f) {
          if (throw_at_work) throw std::bad_alloc();
          message = "work failed at " + std::to_string(index);
          return false;
        }
      }
      slot_value[slot] = scramble(slot_value[slot]);
      return true;
    };
    stages.write = [&](int slot, long index, std::string& message) {
      if (index == fail_write_at) {
        message = "write failed at " + std::to_string(index);
        return false;
      }
      written.push_back(slot_value[slot]);
      written_index.push_back(index);
      return true;
    };
    return run_pipeline(stages, error, stats);
  }
};

}  // namespace

TEST(Pipeline, WritesEveryFrameInOrderWithAFewFramesInFlightForAnyNumberOfThreads) {
  std::vector<uint64_t> expected;
  for (long i = 0; i < 3000; ++i) expected.push_back(FakeStream::scramble(i));
  for (int threads : {1, 2, 4, 7}) {
    FakeStream stream;
    stream.frames = 3000;
    std::string error;
    PipelineStats stats;
    ASSERT_TRUE(stream.run(threads, error, &stats)) << error;
    EXPECT_TRUE(stream.written == expected) << threads << " threads";
    EXPECT_EQ(stats.frames_written, 3000);
    // Memory: never more frames held than the slots, however long the stream.
    EXPECT_LE(stats.most_in_flight, pipeline_slots(threads));
    EXPECT_GE(stats.most_in_flight, 1);
  }
  // An empty stream writes nothing and succeeds.
  FakeStream empty;
  std::string error;
  EXPECT_TRUE(empty.run(3, error, nullptr)) << error;
  EXPECT_TRUE(empty.written.empty());
}

TEST(Pipeline, TheFirstFailingFrameStopsTheRunWithItsMessageWhateverTheTiming) {
  for (int threads : {1, 2, 4}) {
    for (int round = 0; round < 20; ++round) {
      // Frame 10 is slow (10 % 7 == 3) and fails; frame 12 fails at once.
      // Frame 10's message wins, every frame before it is written and none
      // after it.
      FakeStream stream;
      stream.frames = 200;
      stream.fail_work_at = {10, 12};
      std::string error;
      EXPECT_FALSE(stream.run(threads, error, nullptr));
      EXPECT_EQ(error, "work failed at 10") << threads;
      ASSERT_EQ(stream.written_index.size(), 10u) << threads;
      EXPECT_EQ(stream.written_index.back(), 9);
    }
  }
  for (int threads : {1, 3}) {
    FakeStream reading;
    reading.frames = 100;
    reading.fail_read_at = 40;
    reading.fail_work_at = {45};  // never read, so never met
    std::string error;
    EXPECT_FALSE(reading.run(threads, error, nullptr));
    EXPECT_EQ(error, "read failed at 40");
    EXPECT_EQ(reading.written.size(), 40u);

    FakeStream writing;
    writing.frames = 100;
    writing.fail_write_at = 25;
    EXPECT_FALSE(writing.run(threads, error, nullptr));
    EXPECT_EQ(error, "write failed at 25");
    EXPECT_EQ(writing.written.size(), 25u);

    // A stage that throws fails its frame like any other failure.
    FakeStream throwing;
    throwing.frames = 50;
    throwing.fail_work_at = {5};
    throwing.throw_at_work = true;
    EXPECT_FALSE(throwing.run(threads, error, nullptr));
    EXPECT_EQ(error, "out of memory");
    EXPECT_EQ(throwing.written.size(), 5u);
  }
}

TEST(Pipeline, AMemoryBudgetBoundsTheFramesInFlightWhateverTheThreads) {
  std::vector<uint64_t> expected;
  for (long i = 0; i < 400; ++i) expected.push_back(FakeStream::scramble(i));
  for (int threads : {1, 4, 16}) {
    // Frames of 1000 bytes under a budget of 3500: three at a time, however
    // many threads could take more.
    FakeStream bounded;
    bounded.frames = 400;
    bounded.budget = 3500;
    std::string error;
    PipelineStats stats;
    ASSERT_TRUE(bounded.run(threads, error, &stats)) << error;
    EXPECT_TRUE(bounded.written == expected) << threads << " threads";
    EXPECT_LE(stats.most_bytes_in_flight, 3000u) << threads << " threads";
    EXPECT_LE(stats.most_in_flight, 3) << threads << " threads";

    // A frame larger than the budget still goes through, on its own once it
    // is known; the frames held exceed the budget only by its growth.
    FakeStream large;
    large.frames = 400;
    large.budget = 3500;
    large.large_at = 200;
    ASSERT_TRUE(large.run(threads, error, &stats)) << error;
    EXPECT_TRUE(large.written == expected) << threads << " threads";
    EXPECT_LE(stats.most_bytes_in_flight, 2000u + 5000u) << threads << " threads";
  }
  // Without a budget, sixteen threads hold more frames than that.
  FakeStream free_run;
  free_run.frames = 400;
  std::string error;
  PipelineStats stats;
  ASSERT_TRUE(free_run.run(16, error, &stats)) << error;
  EXPECT_GT(stats.most_in_flight, 3);
}

// The temporal mode's plan: the most workers whose working areas and held
// frames fit, one at least, never more than the threads.
TEST(WindowPlan, TheMostWorkersWhoseAreasAndFramesFit) {
  const size_t MB = 1000000;
  const struct {
    int threads, radius;
    size_t frame, area, budget;
    int workers;
  } cases[] = {
      {16, 2, 3 * MB, 115 * MB, 0, 16},                // no budget: every thread
      {16, 2, 3 * MB, 115 * MB, 1 << 20, 1},           // not even one fits: one
      {16, 2, 3 * MB, 115 * MB, 115 * MB, 1},          // one area, no room for its frames
      {16, 2, 3 * MB, 115 * MB, 2 * 115 * MB, 1},      // 2 areas and 16 frames: 278 MB
      {16, 2, 3 * MB, 115 * MB, 278 * MB, 2},          // exactly
      {16, 1, 3 * MB, 85 * MB, 2048ull << 20, 16},     // the default budget, 1080p, radius 1
      {4, 2, 3 * MB, 115 * MB, 2048ull << 20, 4},      // never more than the threads
      {8, 2, 12 * MB, 460 * MB, 2048ull << 20, 4},     // 4K: 4 x 460 + 24 x 12 = 2128 MB
  };
  for (const auto& c : cases) {
    const WindowPlan plan = plan_windows(c.threads, c.radius, c.frame, c.area, c.budget);
    EXPECT_EQ(plan.workers, c.workers) << c.threads << " threads, budget " << c.budget;
    EXPECT_EQ(plan.slots, pipeline_slots(plan.workers));
    if (c.budget != 0 && plan.workers > 1) {
      EXPECT_LE(window_plan_bytes(plan, c.radius, c.frame, c.area), c.budget);
    }
  }
}

// A working area counts 2R + 4 float plane sets of the stream's own planes.
TEST(WindowPlan, AWorkingAreaGrowsWithTheRadiusAndThePlanes) {
  zolta_stream hd{};
  zolta_stream_default(&hd, ZOLTA_API_VERSION);
  hd.family = ZOLTA_FAMILY_YUV420;
  hd.width = 1920;
  hd.height = 1080;
  const double set = 4.0 * (1080 * 2176 + 2 * 540 * 1216);  // bytes of one plane set
  const struct {
    int family, radius;
    double sets;
  } cases[] = {
      {ZOLTA_FAMILY_YUV420, 1, 6},
      {ZOLTA_FAMILY_YUV420, 2, 8},
      {ZOLTA_FAMILY_YUV444, 2, 8 * (3 * 2176.0) / (2176 + 1216)},
      {ZOLTA_FAMILY_GRAY, 2, 8 * 2176.0 / (2176 + 1216)},
  };
  for (const auto& c : cases) {
    hd.family = c.family;
    const double bytes = static_cast<double>(temporal_area_bytes(hd, c.radius));
    EXPECT_GT(bytes, c.sets * set) << c.family << ", radius " << c.radius;
    // Beside the planes: rows, strips and every plane's block matches.
    EXPECT_LT(bytes, c.sets * set + 8e6) << c.family << ", radius " << c.radius;
  }
}
