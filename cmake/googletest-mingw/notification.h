/* SPDX-License-Identifier: BSD-2-Clause */
// GoogleTest's Notification for the win32 thread model of mingw-w64, whose
// C++ library (GCC 12) has no std::mutex or std::condition_variable, which
// GoogleTest's own Notification is made of. Force-included wherever
// GoogleTest's headers are (see cmake/googletest-source.cmake); GoogleTest
// takes a Notification provided this way.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

// A one-shot signal: threads that wait are released once Notify is called.
class Notification {
 public:
  Notification();
  ~Notification();
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify();
  void WaitForNotification();

 private:
  void* event_;  // a manual-reset event
};

}  // namespace internal
}  // namespace testing
