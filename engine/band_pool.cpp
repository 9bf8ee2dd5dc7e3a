// SPDX-License-Identifier: BSD-2-Clause
#include "band_pool.h"

#include <new>

namespace zolta {

BandPool::~BandPool() {
  stop();
}

bool BandPool::take() {
  return count_ > 0 && !taken_.exchange(true, std::memory_order_acquire);
}

void BandPool::give_back() {
  taken_.store(false, std::memory_order_release);
}

BandRunner BandPool::runner() {
  return BandRunner{run_parts, this, count_ + 1};
}

#if defined(_WIN32)

DWORD WINAPI BandPool::thread_entry(void* argument) {
  const Start& s = *static_cast<const Start*>(argument);
  s.pool->work(s.index);
  return 0;
}

bool BandPool::init(int32_t workers) {
  if (workers <= 0) return true;
  threads_ = new (std::nothrow) HANDLE[workers];
  starts_ = new (std::nothrow) Start[workers];
  if (!threads_ || !starts_) return false;
  for (int32_t k = 0; k < workers; ++k) {
    starts_[k] = Start{this, k};
    threads_[k] = CreateThread(nullptr, 0, thread_entry, &starts_[k], 0, nullptr);
    if (!threads_[k]) return false;
    count_ = k + 1;
  }
  return true;
}

void BandPool::work(int32_t index) {
  uint64_t seen = 0;
  for (;;) {
    AcquireSRWLockExclusive(&lock_);
    while (!stopping_ && generation_ == seen) {
      SleepConditionVariableSRW(&started_, &lock_, INFINITE, 0);
    }
    if (stopping_) {
      ReleaseSRWLockExclusive(&lock_);
      return;
    }
    seen = generation_;
    const BandTask task = task_;
    const void* context = context_;
    const int32_t part = index + 1;
    const bool mine = part < parts_;
    ReleaseSRWLockExclusive(&lock_);
    if (mine) task(context, part);
    AcquireSRWLockExclusive(&lock_);
    const bool last = --pending_ == 0;
    ReleaseSRWLockExclusive(&lock_);
    if (last) WakeConditionVariable(&finished_);
  }
}

void BandPool::run_parts(void* pool, int32_t parts, BandTask task, const void* context) {
  BandPool& p = *static_cast<BandPool*>(pool);
  AcquireSRWLockExclusive(&p.lock_);
  p.task_ = task;
  p.context_ = context;
  p.parts_ = parts;
  p.pending_ = p.count_;
  ++p.generation_;
  ReleaseSRWLockExclusive(&p.lock_);
  WakeAllConditionVariable(&p.started_);
  task(context, 0);
  AcquireSRWLockExclusive(&p.lock_);
  while (p.pending_ > 0) SleepConditionVariableSRW(&p.finished_, &p.lock_, INFINITE, 0);
  ReleaseSRWLockExclusive(&p.lock_);
}

void BandPool::stop() {
  AcquireSRWLockExclusive(&lock_);
  stopping_ = true;
  ReleaseSRWLockExclusive(&lock_);
  WakeAllConditionVariable(&started_);
  for (int32_t k = 0; k < count_; ++k) {
    WaitForSingleObject(threads_[k], INFINITE);
    CloseHandle(threads_[k]);
  }
  count_ = 0;
  delete[] threads_;
  delete[] starts_;
  threads_ = nullptr;
  starts_ = nullptr;
}

#else

bool BandPool::init(int32_t workers) {
  if (workers <= 0) return true;
  threads_ = new (std::nothrow) std::thread[workers];
  if (!threads_) return false;
  for (int32_t k = 0; k < workers; ++k) {
    try {
      threads_[k] = std::thread(&BandPool::work, this, k);
    } catch (...) {  // the system refused a thread, or its memory
      return false;
    }
    count_ = k + 1;
  }
  return true;
}

void BandPool::work(int32_t index) {
  uint64_t seen = 0;
  for (;;) {
    BandTask task;
    const void* context;
    bool mine;
    {
      std::unique_lock<std::mutex> hold(lock_);
      started_.wait(hold, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      task = task_;
      context = context_;
      mine = index + 1 < parts_;
    }
    if (mine) task(context, index + 1);
    bool last;
    {
      std::lock_guard<std::mutex> hold(lock_);
      last = --pending_ == 0;
    }
    if (last) finished_.notify_one();
  }
}

void BandPool::run_parts(void* pool, int32_t parts, BandTask task, const void* context) {
  BandPool& p = *static_cast<BandPool*>(pool);
  {
    std::lock_guard<std::mutex> hold(p.lock_);
    p.task_ = task;
    p.context_ = context;
    p.parts_ = parts;
    p.pending_ = p.count_;
    ++p.generation_;
  }
  p.started_.notify_all();
  task(context, 0);
  std::unique_lock<std::mutex> hold(p.lock_);
  p.finished_.wait(hold, [&] { return p.pending_ == 0; });
}

void BandPool::stop() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  started_.notify_all();
  for (int32_t k = 0; k < count_; ++k) threads_[k].join();
  count_ = 0;
  delete[] threads_;
  threads_ = nullptr;
}

#endif

}  // namespace zolta
