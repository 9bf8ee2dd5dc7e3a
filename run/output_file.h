/* SPDX-License-Identifier: BSD-2-Clause */
// Output that never looks complete unless it is, and that keeps what the user
// had. A regular file (reached through any symlinks) is written to a short
// temporary name in its own folder and put in place only when everything
// succeeded: renamed over it with the old file's mode and owner, or, when the
// file has other hard links, copied into it so that every link sees the new
// content. A read-only file is refused. Anything that is not a regular file
// (standard output as "-", /dev/stdout and /dev/fd/N, devices, pipes) is a
// stream written in place.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

// Stays at one address while open: its stream writes through a pointer to it.
struct OutputFile {
  std::string path;       // the name as given, or "-"
  std::string target;     // the regular file replaced at commit; empty for a stream
  std::string temporary;  // written to until commit
  std::FILE* file = nullptr;
  int fd = -1;            // under file
  int cleanup_slot = -1;  // the temporary's entry in the signal cleanup
  int write_errno = 0;    // the first failed write's reason
  bool existed = false;   // target was there before: keep its mode and owner
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
  bool linked = false;  // target has other hard links: copy into it at commit
};

bool open_output(OutputFile& output, const std::string& path, std::string& error);
// True once a write to the output failed.
bool output_failed(const OutputFile& output);
// "cannot write NAME: reason", for a failed write.
std::string output_error(const OutputFile& output);
// Flushes, closes and puts the file in place. On failure removes the partial
// file, unless the target itself was left incomplete (then the message names
// the temporary that holds the whole output).
bool commit_output(OutputFile& output, std::string& error);
// Closes and removes the partial file; harmless after commit or on a stream.
void discard_output(OutputFile& output);
