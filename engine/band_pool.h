/* SPDX-License-Identifier: BSD-2-Clause */
// The workers of one denoiser that share a frame's work with the thread that
// processes it: started with the denoiser, parked between frames, stopped
// when it is destroyed. One frame uses them at a time; nothing is allocated
// after init.
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
  static void run_parts(void* pool, int32_t parts, BandTask task, const void* context);
  void work(int32_t index);
  void stop();
#if defined(_WIN32)
  static DWORD WINAPI thread_entry(void* argument);
#endif

  struct Start {
    BandPool* pool;
    int32_t index;
  };

  int32_t count_ = 0;
  std::atomic<bool> taken_{false};
  // The frame's task, published under the lock with a new generation.
  BandTask task_ = nullptr;
  const void* context_ = nullptr;
  int32_t parts_ = 0;
  uint64_t generation_ = 0;
  int32_t pending_ = 0;  // workers still on this generation
  bool stopping_ = false;
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
