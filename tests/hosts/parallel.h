/* SPDX-License-Identifier: BSD-2-Clause */
// Running work on several threads at once, and a lock, for the host
// stand-ins and their tests. Windows builds use the system's threads
// directly, since the MinGW runtime with Win32 threads has no std::thread.
#pragma once

#include <functional>

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#endif

// Runs work(worker) on `workers` threads at once (worker = 0 .. workers-1)
// and returns when all are done.
void run_in_parallel(int workers, const std::function<void(int worker)>& work);

class HostLock {
 public:
  HostLock();
  ~HostLock();
  HostLock(const HostLock&) = delete;
  HostLock& operator=(const HostLock&) = delete;
  void lock();
  void unlock();

 private:
#ifdef _WIN32
  CRITICAL_SECTION section_;
#else
  std::mutex mutex_;
#endif
};

class HostLockGuard {
 public:
  explicit HostLockGuard(HostLock& lock) : lock_(lock) { lock_.lock(); }
  ~HostLockGuard() { lock_.unlock(); }
  HostLockGuard(const HostLockGuard&) = delete;
  HostLockGuard& operator=(const HostLockGuard&) = delete;

 private:
  HostLock& lock_;
};
