// SPDX-License-Identifier: BSD-2-Clause
#include "slot_pool.h"

#include <new>

namespace zolta {

SlotPool::~SlotPool() {
  delete[] free_;
}

bool SlotPool::init(int32_t count) {
  free_ = new (std::nothrow) int32_t[count];
  if (!free_) return false;
  // Slot 0 on top, so that a single thread always works in the same area.
  for (int32_t k = 0; k < count; ++k) free_[k] = count - 1 - k;
  free_count_ = count;
  return true;
}

#if defined(_WIN32)

int32_t SlotPool::acquire() {
  AcquireSRWLockExclusive(&lock_);
  while (free_count_ == 0) SleepConditionVariableSRW(&given_back_, &lock_, INFINITE, 0);
  const int32_t slot = free_[--free_count_];
  taken_.fetch_add(1, std::memory_order_relaxed);
  ReleaseSRWLockExclusive(&lock_);
  return slot;
}

void SlotPool::release(int32_t slot) {
  AcquireSRWLockExclusive(&lock_);
  free_[free_count_++] = slot;
  taken_.fetch_sub(1, std::memory_order_relaxed);
  ReleaseSRWLockExclusive(&lock_);
  WakeConditionVariable(&given_back_);
}

#else

int32_t SlotPool::acquire() {
  std::unique_lock<std::mutex> hold(lock_);
  given_back_.wait(hold, [this] { return free_count_ > 0; });
  taken_.fetch_add(1, std::memory_order_relaxed);
  return free_[--free_count_];
}

void SlotPool::release(int32_t slot) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    free_[free_count_++] = slot;
    taken_.fetch_sub(1, std::memory_order_relaxed);
  }
  given_back_.notify_one();
}

#endif

}  // namespace zolta
