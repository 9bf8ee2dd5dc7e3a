// SPDX-License-Identifier: BSD-2-Clause
#include "signals.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// The handler reads these; they change only while the signals are blocked.
constexpr int kSlots = 8;
char* volatile cleanup_paths[kSlots];

void on_signal(int signal_number) {
  for (int i = 0; i < kSlots; ++i) {
    const char* path = cleanup_paths[i];
    if (path) unlink(path);
  }
  // Default action again; the signal stays blocked until this handler
  // returns, and then ends the process.
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
  raise(signal_number);
}

void signal_set(sigset_t& set) {
  sigemptyset(&set);
  for (int s : kSignals) sigaddset(&set, s);
}

}  // namespace

static_assert(sizeof(sigset_t) <= 128, "SignalBlock keeps the mask in 128 bytes");

SignalBlock::SignalBlock() {
  sigset_t set;
  signal_set(set);
  pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(saved_));
}

SignalBlock::~SignalBlock() {
  pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(saved_), nullptr);
}

void install_signal_cleanup() {
  for (int s : kSignals) {
    struct sigaction old;
    if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_signal;
    signal_set(action.sa_mask);  // one cleanup at a time
    sigaction(s, &action, nullptr);
  }
}

int register_cleanup(const char* path) {
  char* copy = strdup(path);
  if (!copy) return -1;
  SignalBlock block;
  for (int i = 0; i < kSlots; ++i) {
    if (!cleanup_paths[i]) {
      cleanup_paths[i] = copy;
      return i;
    }
  }
  std::free(copy);
  return -1;
}

void unregister_cleanup(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  char* path;
  {
    SignalBlock block;
    path = cleanup_paths[slot];
    cleanup_paths[slot] = nullptr;
  }
  std::free(path);
}
