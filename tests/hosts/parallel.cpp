// SPDX-License-Identifier: BSD-2-Clause
#include "parallel.h"

#include <vector>

#ifndef _WIN32
#include <thread>
#endif

namespace {

struct Job {
  const std::function<void(int)>* work;
  int worker;
};

#ifdef _WIN32
DWORD WINAPI run_job(void* job) {
  const Job* j = static_cast<const Job*>(job);
  (*j->work)(j->worker);
  return 0;
}
#endif

}  // namespace

void run_in_parallel(int workers, const std::function<void(int)>& work) {
  std::vector<Job> jobs(static_cast<size_t>(workers));
  for (int i = 0; i < workers; ++i) jobs[static_cast<size_t>(i)] = Job{&work, i};
#ifdef _WIN32
  std::vector<HANDLE> threads;
  for (Job& job : jobs) {
    HANDLE h = CreateThread(nullptr, 0, run_job, &job, 0, nullptr);
    if (h) {
      threads.push_back(h);
    } else {
      work(job.worker);
    }
  }
  for (HANDLE h : threads) {
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
  }
#else
  std::vector<std::thread> threads;
  for (const Job& job : jobs) threads.emplace_back([&job] { (*job.work)(job.worker); });
  for (std::thread& t : threads) t.join();
#endif
}

#ifdef _WIN32
HostLock::HostLock() {
  InitializeCriticalSection(&section_);
}
HostLock::~HostLock() {
  DeleteCriticalSection(&section_);
}
void HostLock::lock() {
  EnterCriticalSection(&section_);
}
void HostLock::unlock() {
  LeaveCriticalSection(&section_);
}
#else
HostLock::HostLock() = default;
HostLock::~HostLock() = default;
void HostLock::lock() {
  mutex_.lock();
}
void HostLock::unlock() {
  mutex_.unlock();
}
#endif
