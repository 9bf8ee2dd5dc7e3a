// SPDX-License-Identifier: BSD-2-Clause
#include "band_pool.h"

#include <new>

namespace zolta {

namespace {

// Rounds a thread spins for the next job, or for the last pieces of its
// own, before it sleeps: some tens of microseconds, longer than the gap
// between the jobs of one frame, far shorter than a frame.
constexpr int32_t kSpinRounds = 2000;

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  __asm__ __volatile__("yield");
#endif
}

inline uint32_t generation_of(uint64_t job) {
  return static_cast<uint32_t>(job >> 32);
}

}  // namespace

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
  return BandRunner{run_job, this, count_ + 1};
}

void BandPool::take_pieces(int32_t slot) {
  uint64_t job = job_.load(std::memory_order_acquire);
  for (;;) {
    const int32_t pieces = static_cast<int32_t>((job >> 16) & 0xffff);
    const int32_t next = static_cast<int32_t>(job & 0xffff);
    if (next >= pieces) return;
    if (!job_.compare_exchange_weak(job, job + 1, std::memory_order_acq_rel,
                                    std::memory_order_acquire)) {
      continue;  // `job` holds the word as it is now
    }
    // The piece is this thread's: the job cannot end, nor its task change,
    // before it is done.
    task_(context_, next, slot);
    if (done_.fetch_add(1, std::memory_order_seq_cst) + 1 == pieces &&
        waiting_.load(std::memory_order_seq_cst)) {
      wake_caller();
    }
    job = job_.load(std::memory_order_acquire);
  }
}

void BandPool::work(int32_t slot) {
  uint32_t seen = 0;
  for (;;) {
    uint64_t job = job_.load(std::memory_order_acquire);
    for (int32_t k = 0; generation_of(job) == seen && k < kSpinRounds; ++k) {
      if (stopping_.load(std::memory_order_acquire)) return;
      relax();
      job = job_.load(std::memory_order_acquire);
    }
    if (generation_of(job) == seen) {
      sleep_for_job(seen);
      if (stopping_.load(std::memory_order_acquire)) return;
      job = job_.load(std::memory_order_acquire);
    }
    seen = generation_of(job);
    take_pieces(slot);
  }
}

void BandPool::run_job(void* pool, int32_t pieces, PieceTask task, const void* context) {
  BandPool& p = *static_cast<BandPool*>(pool);
  p.task_ = task;
  p.context_ = context;
  p.done_.store(0, std::memory_order_relaxed);
  const uint64_t generation = generation_of(p.job_.load(std::memory_order_relaxed)) + 1u;  // wraps
  p.job_.store(generation << 32 | static_cast<uint64_t>(pieces) << 16, std::memory_order_seq_cst);
  if (p.sleepers_.load(std::memory_order_seq_cst) > 0) p.wake_workers();
  p.take_pieces(0);
  for (int32_t k = 0; k < kSpinRounds; ++k) {
    if (p.done_.load(std::memory_order_acquire) == pieces) return;
    relax();
  }
  p.sleep_for_done(pieces);
}

#if defined(_WIN32)

DWORD WINAPI BandPool::thread_entry(void* argument) {
  const Start& s = *static_cast<const Start*>(argument);
  s.pool->work(s.slot);
  return 0;
}

bool BandPool::init(int32_t workers) {
  if (workers <= 0) return true;
  threads_ = new (std::nothrow) HANDLE[workers];
  starts_ = new (std::nothrow) Start[workers];
  if (!threads_ || !starts_) return false;
  for (int32_t k = 0; k < workers; ++k) {
    starts_[k] = Start{this, k + 1};
    threads_[k] = CreateThread(nullptr, 0, thread_entry, &starts_[k], 0, nullptr);
    if (!threads_[k]) return false;
    count_ = k + 1;
  }
  return true;
}

void BandPool::sleep_for_job(uint32_t seen) {
  AcquireSRWLockExclusive(&lock_);
  sleepers_.fetch_add(1, std::memory_order_seq_cst);
  while (!stopping_.load(std::memory_order_seq_cst) &&
         generation_of(job_.load(std::memory_order_seq_cst)) == seen) {
    SleepConditionVariableSRW(&started_, &lock_, INFINITE, 0);
  }
  sleepers_.fetch_sub(1, std::memory_order_seq_cst);
  ReleaseSRWLockExclusive(&lock_);
}

void BandPool::sleep_for_done(int32_t pieces) {
  AcquireSRWLockExclusive(&lock_);
  waiting_.store(true, std::memory_order_seq_cst);
  while (done_.load(std::memory_order_seq_cst) != pieces) {
    SleepConditionVariableSRW(&finished_, &lock_, INFINITE, 0);
  }
  waiting_.store(false, std::memory_order_relaxed);
  ReleaseSRWLockExclusive(&lock_);
}

// Taking the lock orders the wake after a sleeper's last look at its
// condition, or before its first.
void BandPool::wake_workers() {
  AcquireSRWLockExclusive(&lock_);
  ReleaseSRWLockExclusive(&lock_);
  WakeAllConditionVariable(&started_);
}

void BandPool::wake_caller() {
  AcquireSRWLockExclusive(&lock_);
  ReleaseSRWLockExclusive(&lock_);
  WakeConditionVariable(&finished_);
}

void BandPool::stop() {
  stopping_.store(true, std::memory_order_seq_cst);
  wake_workers();
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
      threads_[k] = std::thread(&BandPool::work, this, k + 1);
    } catch (...) {  // the system refused a thread, or its memory
      return false;
    }
    count_ = k + 1;
  }
  return true;
}

void BandPool::sleep_for_job(uint32_t seen) {
  std::unique_lock<std::mutex> hold(lock_);
  sleepers_.fetch_add(1, std::memory_order_seq_cst);
  started_.wait(hold, [&] {
    return stopping_.load(std::memory_order_seq_cst) ||
           generation_of(job_.load(std::memory_order_seq_cst)) != seen;
  });
  sleepers_.fetch_sub(1, std::memory_order_seq_cst);
}

void BandPool::sleep_for_done(int32_t pieces) {
  std::unique_lock<std::mutex> hold(lock_);
  waiting_.store(true, std::memory_order_seq_cst);
  finished_.wait(hold, [&] { return done_.load(std::memory_order_seq_cst) == pieces; });
  waiting_.store(false, std::memory_order_relaxed);
}

// Taking the lock orders the wake after a sleeper's last look at its
// condition, or before its first.
void BandPool::wake_workers() {
  { std::lock_guard<std::mutex> hold(lock_); }
  started_.notify_all();
}

void BandPool::wake_caller() {
  { std::lock_guard<std::mutex> hold(lock_); }
  finished_.notify_one();
}

void BandPool::stop() {
  stopping_.store(true, std::memory_order_seq_cst);
  wake_workers();
  for (int32_t k = 0; k < count_; ++k) threads_[k].join();
  count_ = 0;
  delete[] threads_;
  threads_ = nullptr;
}

#endif

}  // namespace zolta
