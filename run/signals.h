/* SPDX-License-Identifier: BSD-2-Clause */
// Files that zolta-run creates and must not leave behind when it is
// interrupted. On SIGINT, SIGTERM, SIGHUP or SIGPIPE every registered file is
// removed and the signal is raised again with its default action, so the
// process ends as killed by that signal, as the caller expects.
#pragma once

// Installs the handler for the four signals; a signal that the process was
// started with ignored (as nohup does with SIGHUP) stays ignored.
void install_signal_cleanup();

// Registers a file to remove on a signal; returns its slot, or -1 when the
// table is full (then the file is not looked after).
int register_cleanup(const char* path);
// Forgets a slot (-1 is allowed); the file is left alone.
void unregister_cleanup(int slot);

// Holds the four signals back while alive, so that a step such as "rename,
// then forget the temporary name" is never cut in the middle.
class SignalBlock {
 public:
  SignalBlock();
  ~SignalBlock();
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

 private:
  unsigned char saved_[128];  // the previous signal mask (a sigset_t)
};
