// SPDX-License-Identifier: BSD-2-Clause
#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "signals.h"
#include "standard_streams.h"

namespace {

std::string reason(int error_number) {
  return std::strerror(error_number ? error_number : EIO);
}

std::string shown_name(const OutputFile& output) {
  return output.path == "-" ? std::string("standard output") : output.path;
}

// stdio over a descriptor, keeping the reason of the first failed write: the
// writers only learn that a write failed, and the message must say why.
ssize_t cookie_write(void* cookie, const char* data, size_t size) {
  OutputFile* output = static_cast<OutputFile*>(cookie);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(output->fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (!output->write_errno) output->write_errno = n < 0 ? errno : ENOSPC;
      return done > 0 ? static_cast<ssize_t>(done) : -1;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

int cookie_close(void*) {
  return 0;
}  // the descriptor is closed by its owner

bool attach_stream(OutputFile& output) {
  cookie_io_functions_t io = {nullptr, cookie_write, nullptr, cookie_close};
  output.file = fopencookie(&output, "w", io);
  if (output.file) setvbuf(output.file, nullptr, _IOFBF, 1 << 16);
  return output.file != nullptr;
}

// "/dev/stdout", "/dev/fd/3", "/proc/self/fd/1": a descriptor this process
// already holds; -1 for any other name.
int descriptor_name(const std::string& path) {
  if (path == "/dev/stdin") return 0;
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const size_t n = std::strlen(prefix);
    if (path.compare(0, n, prefix) != 0 || path.size() == n || path.size() > n + 9) continue;
    int fd = 0;
    for (size_t i = n; i < path.size(); ++i) {
      if (path[i] < '0' || path[i] > '9') return -1;
      fd = fd * 10 + (path[i] - '0');
    }
    return fd;
  }
  return -1;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return path.substr(0, slash + 1);  // keeps the '/', so "/x" gives "/"
}

// Follows symlinks to the name that is finally written; the result need not
// exist. Stops early at a name of a descriptor (a link to /dev/stdout is
// standard output, not the file behind it). False with errno set on a loop or
// a failing lookup.
bool follow_links(const std::string& path, std::string& target) {
  target = path;
  for (int hops = 0; hops < 40; ++hops) {
    if (descriptor_name(target) >= 0) return true;
    struct stat st;
    if (lstat(target.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISLNK(st.st_mode)) return true;
    std::vector<char> link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
    const ssize_t n = readlink(target.c_str(), link.data(), link.size() - 1);
    if (n < 0) return false;
    if (static_cast<size_t>(n) >= link.size() - 1) {
      errno = ENAMETOOLONG;
      return false;
    }
    const std::string to(link.data(), static_cast<size_t>(n));
    target = to[0] == '/' ? to : folder_of(target) + to;
  }
  errno = ELOOP;
  return false;
}

bool open_stream(OutputFile& output, int fd, std::string& error) {
  output.fd = fd;
  if (fd < 0 || !attach_stream(output)) {
    error = "cannot write " + shown_name(output) + ": " + reason(errno);
    if (fd >= 0) close(fd);
    output.fd = -1;
    return false;
  }
  return true;
}

// Makes room on the disk for the whole result in the target before a byte
// of it is overwritten: the target grows to at least `size` bytes, or is
// left as it was (its old size, its old bytes) with the reason in errno.
bool reserve_target(int out, off_t size) {
  struct stat st;
  if (fstat(out, &st) != 0) return false;
  if (size <= st.st_size) return true;  // its blocks are there already
  const int e = posix_fallocate(out, 0, size);
  if (e == 0) return true;
  // A failing reservation may have grown the file (its old bytes are
  // intact): back to its old size.
  if (ftruncate(out, st.st_size) != 0) return false;
  errno = e;
  return false;
}

// Copies the finished temporary into the target in place (for hard links),
// once the target holds room for all of it: a full disk leaves the target
// as it was.
bool copy_into_target(const OutputFile& output, int& error_number) {
  const int in = open(output.temporary.c_str(), O_RDONLY);
  const int out = in < 0 ? -1 : open(output.target.c_str(), O_WRONLY);
  struct stat st;
  bool ok = in >= 0 && out >= 0 && fstat(in, &st) == 0 && reserve_target(out, st.st_size);
  std::vector<char> buffer(1 << 16);
  off_t total = 0;
  while (ok) {
    const ssize_t n = read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      ok = w > 0;
      if (w == 0) errno = ENOSPC;
      if (ok) done += w;
    }
    total += n;
  }
  ok = ok && ftruncate(out, total) == 0;
  error_number = ok ? 0 : errno;
  if (out >= 0 && close(out) != 0 && ok) {
    ok = false;
    error_number = errno;
  }
  if (in >= 0) close(in);
  return ok;
}

}  // namespace

bool open_output(OutputFile& output, const std::string& path, std::string& error) {
  discard_output(output);
  output = OutputFile();
  output.path = path;
  if (path == "-") {
    if (standard_stream_closed(1)) {
      error = "standard output is closed: nowhere to write \"-\"";
      return false;
    }
    return open_stream(output, dup(1), error);
  }
  if (!follow_links(path, output.target)) {
    error = "cannot write " + path + ": " + reason(errno);
    return false;
  }
  const int named = descriptor_name(output.target);
  if (named >= 0) {
    output.target.clear();
    if (standard_stream_closed(named)) {
      error = "cannot write " + path + ": it names a descriptor that is closed";
      return false;
    }
    return open_stream(output, dup(named), error);
  }
  struct stat st;
  if (stat(output.target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      error = "cannot write " + path + ": it is a directory";
      return false;
    }
    if (!S_ISREG(st.st_mode)) {  // a device or a pipe: written in place
      output.target.clear();
      return open_stream(output, open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC), error);
    }
    // Root may write anything, so a file without any write permission counts
    // as read-only too.
    if (access(output.target.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0) {
      error = path + " is read-only: not replaced (make it writable or choose another name)";
      return false;
    }
    output.existed = true;
    output.mode = st.st_mode & 07777;
    output.owner = st.st_uid;
    output.group = st.st_gid;
    output.linked = st.st_nlink > 1;
  }
  // A short name in the target's own folder: the rename stays on one file
  // system, and a legal name of any length leaves room for it.
  output.temporary = folder_of(output.target) + ".zolta-XXXXXX";
  int fd;
  {
    SignalBlock block;  // made and registered for cleanup at once
    fd = mkostemp(&output.temporary[0], O_CLOEXEC);
    if (fd >= 0) output.cleanup_slot = register_cleanup(output.temporary.c_str());
  }
  if (fd < 0) {
    error = "cannot write " + path + ": " + reason(errno);
    output.temporary.clear();
    return false;
  }
  output.fd = fd;
  if (!attach_stream(output)) {
    error = "cannot write " + path + ": " + reason(errno);
    discard_output(output);
    return false;
  }
  return true;
}

bool output_failed(const OutputFile& output) {
  return output.write_errno != 0 || (output.file && std::ferror(output.file));
}

std::string output_error(const OutputFile& output) {
  return "cannot write " + shown_name(output) + ": " + reason(output.write_errno);
}

bool commit_output(OutputFile& output, std::string& error) {
  if (!output.file) return false;
  const bool written = std::fflush(output.file) == 0 && !output_failed(output);
  std::fclose(output.file);
  output.file = nullptr;
  if (!written) {
    error = output_error(output);
    discard_output(output);
    return false;
  }
  if (output.temporary.empty()) {  // a stream
    const bool closed = close(output.fd) == 0 || errno == EINTR;
    const int close_errno = errno;
    output.fd = -1;
    if (!closed) error = "cannot write " + shown_name(output) + ": " + reason(close_errno);
    return closed;
  }
  const int fd = output.fd;
  output.fd = -1;
  if (output.existed) {
    // The owner first: changing it may clear set-id bits that the mode sets.
    if (geteuid() == 0 || output.owner == geteuid()) {
      if (fchown(fd, output.owner, output.group) != 0)
        fchown(fd, static_cast<uid_t>(-1), output.group);
    }
    fchmod(fd, output.mode);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  if (close(fd) != 0) {
    error = "cannot write " + output.path + ": " + reason(errno);
    discard_output(output);
    return false;
  }
  if (output.linked) {
    int error_number = 0;
    if (!copy_into_target(output, error_number)) {
      // The target is as it was unless the disk failed past the reservation;
      // the whole output is kept.
      error = "cannot write " + output.path + ": " + reason(error_number) +
              "; the complete output is kept in " + output.temporary;
      unregister_cleanup(output.cleanup_slot);
      output.cleanup_slot = -1;
      output.temporary.clear();
      return false;
    }
    discard_output(output);
    return true;
  }
  int rename_errno = 0;
  {
    SignalBlock block;  // the temporary is forgotten exactly when it is renamed
    if (std::rename(output.temporary.c_str(), output.target.c_str()) != 0) {
      rename_errno = errno;
      unlink(output.temporary.c_str());
    }
    unregister_cleanup(output.cleanup_slot);
    output.cleanup_slot = -1;
  }
  output.temporary.clear();
  if (rename_errno) error = "cannot write " + output.path + ": " + reason(rename_errno);
  return rename_errno == 0;
}

void discard_output(OutputFile& output) {
  if (output.file) std::fclose(output.file);
  output.file = nullptr;
  if (output.fd >= 0) close(output.fd);
  output.fd = -1;
  if (!output.temporary.empty()) {
    SignalBlock block;
    unlink(output.temporary.c_str());
    unregister_cleanup(output.cleanup_slot);
    output.cleanup_slot = -1;
    output.temporary.clear();
  }
}
