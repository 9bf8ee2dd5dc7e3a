/* SPDX-License-Identifier: BSD-2-Clause */
// The workers of one denoiser that share a frame's work with the thread that
// processes it: started with the denoiser, parked between frames, stopped
// when it is destroyed. One frame uses them at a time; nothing is allocated
// after init.
//
// A job's pieces are taken one by one from a counter by whichever thread is
// free, the calling thread among them: a worker the system schedules late
// takes fewer pieces instead of holding the others up. Between the jobs of
// one frame the threads spin a little before they sleep, so that the next
// job finds them awake.
#pragma once

#include <atomic>
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

#include "bands.h"

namespace zolta {

class BandPool {
 public:
  BandPool() = default;
  ~BandPool();
  BandPool(const BandPool&) = delete;
  BandPool& operator=(const BandPool&) = delete;

  // Starts `workers` threads (0: none). False when one cannot be started
  // (those started are stopped again).
  bool init(int32_t workers);
  int32_t workers() const { return count_; }

  // The workers for one frame: a runner of workers() + 1 parts, or null when
  // another frame has them (that frame's thread then works alone).
  bool take();
  void give_back();
  BandRunner runner();

 private:
  static void run_job(void* pool, int32_t pieces, PieceTask task, const void* context);
  // Runs pieces of the current job in `slot` until none is left.
  void take_pieces(int32_t slot);
  void work(int32_t slot);
  void stop();
  // Sleeps until the job word's generation is not `seen`, or stop.
  void sleep_for_job(uint32_t seen);
  // Sleeps until `pieces` pieces are done.
  void sleep_for_done(int32_t pieces);
  void wake_workers();
  void wake_caller();
#if defined(_WIN32)
  static DWORD WINAPI thread_entry(void* argument);
#endif

  struct Start {
    BandPool* pool;
    int32_t slot;
  };

  int32_t count_ = 0;
  std::atomic<bool> taken_{false};
  std::atomic<bool> stopping_{false};
  // The job: generation (32 bits), pieces (16), next piece to take (16).
  // The task and context are written before a new generation is published
  // and stay until its last piece is done.
  alignas(64) std::atomic<uint64_t> job_{0};
  PieceTask task_ = nullptr;
  const void* context_ = nullptr;
  alignas(64) std::atomic<int32_t> done_{0};  // pieces of the job finished
  std::atomic<int32_t> sleepers_{0};          // workers asleep (or going to)
  std::atomic<bool> waiting_{false};          // the caller asleep (or going to)
#if defined(_WIN32)
  Start* starts_ = nullptr;  // each thread's argument
  HANDLE* threads_ = nullptr;
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE started_ = CONDITION_VARIABLE_INIT;
  CONDITION_VARIABLE finished_ = CONDITION_VARIABLE_INIT;
#else
  std::thread* threads_ = nullptr;
  std::mutex lock_;
  std::condition_variable started_;
  std::condition_variable finished_;
#endif
};

}  // namespace zolta
