/* SPDX-License-Identifier: BSD-2-Clause */
// The pool of working areas of one denoiser: a call takes a free one for its
// length and waits while none is free. Nothing is allocated after init.
#pragma once

#include <atomic>
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
#include <condition_variable>
#include <mutex>
#endif

namespace zolta {

class SlotPool {
 public:
  SlotPool() = default;
  ~SlotPool();
  SlotPool(const SlotPool&) = delete;
  SlotPool& operator=(const SlotPool&) = delete;

  // Slots 0..count-1, all free. False when the list cannot be allocated.
  bool init(int32_t count);
  // A free slot, waiting until one is given back.
  int32_t acquire();
  void release(int32_t slot);
  // Slots taken now (a moment's count: others may take or give back one
  // right after).
  int32_t taken() const { return taken_.load(std::memory_order_relaxed); }

 private:
  int32_t* free_ = nullptr;  // stack of free slots
  int32_t free_count_ = 0;
  std::atomic<int32_t> taken_{0};
#if defined(_WIN32)
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE given_back_ = CONDITION_VARIABLE_INIT;
#else
  std::mutex lock_;
  std::condition_variable given_back_;
#endif
};

// Holds a slot for the length of a scope.
class SlotLease {
 public:
  explicit SlotLease(SlotPool& pool) : pool_(pool), slot_(pool.acquire()) {}
  ~SlotLease() { pool_.release(slot_); }
  SlotLease(const SlotLease&) = delete;
  SlotLease& operator=(const SlotLease&) = delete;
  int32_t slot() const { return slot_; }

 private:
  SlotPool& pool_;
  int32_t slot_;
};

}  // namespace zolta
