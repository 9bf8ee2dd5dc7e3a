/* SPDX-License-Identifier: BSD-2-Clause */
// How a real-host test program runs one host release: the cases one after
// another in a child process, so that a crash of the host fails the run with
// the release and the case named instead of ending the program; each case's
// result on a line of its own, and a closing count.
#pragma once

#include <functional>
#include <string>

class ReleaseRun {
 public:
  explicit ReleaseRun(std::string release);

  // Runs body in a child process (on Windows, where wine's process is the
  // child already, in this one) and returns the exit status for main: 0 when
  // every case passed, 1 otherwise, with a line naming the release and the
  // case running when the host crashed or stopped.
  int run(const std::function<void(ReleaseRun&)>& body);

  // Names the case that runs next (what a crash report shows).
  void begin(const std::string& name);
  // Records the current case's result: passed when `failure` is empty.
  void end(const std::string& failure);
  // A case in one call.
  void check(const std::string& name, const std::string& failure);

  const std::string& release() const { return release_; }

 private:
  std::string release_;
  std::string current_;
  int passed_ = 0;
  int failed_ = 0;
};

// Sets HOME and XDG_CONFIG_HOME to a new empty folder of this process (the
// older AviSynth+ releases abort without HOME; the plugin folders read from
// them must be the test's own) and returns it.
std::string private_home();

// Copies a file, or writes a text; false when it cannot.
bool copy_file(const std::string& from, const std::string& to);
bool write_text(const std::string& path, const std::string& text);

// What went wrong with a call the face must refuse: `error` is the host's
// message (empty when it accepted the call), which must begin with the
// face's `message`.
std::string refusal_failure(const std::string& error, const std::string& message);
