// SPDX-License-Identifier: BSD-2-Clause
// The workers that share a frame's jobs (engine/band_pool.h): every piece of
// every job runs once, in a slot no other piece holds at the same time, and
// the job returns only when all are done; whether the threads find the next
// job while they spin or after they fell asleep, and whether the caller
// waits for a slow worker's piece awake or asleep. Run under ThreadSanitizer
// by the test command (the suite's name is in its filter).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "band_pool.h"

namespace {

struct PoolCase {
  const char* name;
  int32_t workers, pieces, jobs;
  // The caller's first piece waits for a worker to take one, which then
  // takes this long: the caller waits for it at the end of the job.
  int32_t worker_piece_us;
  int32_t gap_us;           // pause between jobs: the workers fall asleep
};

constexpr PoolCase kPoolCases[] = {
    {"one worker, one piece", 1, 1, 200, 0, 0},
    {"one worker, back to back", 1, 7, 2000, 0, 0},
    {"more threads than pieces", 7, 3, 500, 0, 0},
    {"many pieces", 3, 1000, 50, 0, 0},
    {"the most pieces", 2, zolta::kMaxPieces, 5, 0, 0},
    {"workers asleep between jobs", 2, 16, 30, 0, 2000},
    {"caller waits for a slow worker", 1, 4, 30, 3000, 0},
};

struct Job {
  std::vector<std::atomic<int32_t>> runs;
  std::vector<std::atomic<bool>> busy;  // per slot
  std::atomic<int32_t> clashes{0}, bad_slots{0};
  std::atomic<bool> worker_in{false};
  int32_t worker_piece_us = 0;
  Job(int32_t pieces, int32_t slots) : runs(pieces), busy(slots) {}
};

void piece(const void* context, int32_t index, int32_t slot) {
  Job& job = *static_cast<Job*>(const_cast<void*>(context));
  if (slot < 0 || slot >= static_cast<int32_t>(job.busy.size())) {
    job.bad_slots.fetch_add(1);
    return;
  }
  if (job.busy[slot].exchange(true)) job.clashes.fetch_add(1);
  if (job.worker_piece_us > 0 && slot > 0) {
    job.worker_in.store(true);
    std::this_thread::sleep_for(std::chrono::microseconds(job.worker_piece_us));
  } else if (job.worker_piece_us > 0 && index == 0) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!job.worker_in.load() && std::chrono::steady_clock::now() < give_up)
      std::this_thread::yield();
  }
  job.runs[index].fetch_add(1);
  job.busy[slot].store(false);
}

TEST(FrameThreads, PoolRunsEveryPieceOnceInASlotOfItsOwn) {
  for (const PoolCase& c : kPoolCases) {
    SCOPED_TRACE(c.name);
    zolta::BandPool pool;
    ASSERT_TRUE(pool.init(c.workers));
    ASSERT_TRUE(pool.take());
    EXPECT_FALSE(pool.take());  // one frame has the workers at a time
    const zolta::BandRunner runner = pool.runner();
    EXPECT_EQ(runner.parts, c.workers + 1);
    for (int32_t j = 0; j < c.jobs; ++j) {
      Job job(c.pieces, runner.parts);
      job.worker_piece_us = c.worker_piece_us;
      zolta::run_pieces(&runner, c.pieces, piece, &job);
      int32_t wrong = 0;
      for (auto& r : job.runs) wrong += r.load() != 1;
      ASSERT_EQ(wrong, 0) << "job " << j << ": pieces not run exactly once on return";
      ASSERT_EQ(job.clashes.load(), 0) << "job " << j << ": a slot ran two pieces at once";
      ASSERT_EQ(job.bad_slots.load(), 0) << "job " << j;
      if (c.gap_us > 0) std::this_thread::sleep_for(std::chrono::microseconds(c.gap_us));
    }
    pool.give_back();
    EXPECT_TRUE(pool.take());
    pool.give_back();
  }
}

}  // namespace
