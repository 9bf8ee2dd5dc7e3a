#include "output_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

bool open_output(OutputFile& output, const std::string& path, std::string& error) {
  output = OutputFile();
  output.path = path;
  if (path == "-") {
    output.file = stdout;
    return true;
  }
  // Devices and pipes (/dev/null, a named pipe) are written directly: there
  // is nothing to replace and nothing to rename.
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    output.file = std::fopen(path.c_str(), "wb");
    if (!output.file) error = "cannot write " + path + ": " + std::strerror(errno);
    return output.file != nullptr;
  }
  // Beside the target, so the final rename stays on one file system.
  output.temporary = path + ".partial-XXXXXX";
#ifdef _WIN32
  if (_mktemp_s(&output.temporary[0], output.temporary.size() + 1) == 0)
    output.file = std::fopen(output.temporary.c_str(), "wb");
#else
  const int fd = mkstemp(&output.temporary[0]);
  if (fd >= 0) {
    // mkstemp makes the file private; give it the mode a plain fopen would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    output.file = fdopen(fd, "wb");
    if (!output.file) close(fd);
  }
#endif
  if (!output.file) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    std::remove(output.temporary.c_str());
    output.temporary.clear();
    return false;
  }
  return true;
}

bool commit_output(OutputFile& output, std::string& error) {
  if (!output.file) return false;
  const bool flushed = std::fflush(output.file) == 0 && !std::ferror(output.file);
  if (output.temporary.empty()) {  // standard output or a device
    if (output.file != stdout) std::fclose(output.file);
    output.file = nullptr;
    if (!flushed)
      error = "cannot write " +
              (output.path == "-" ? std::string("to standard output") : output.path) + ": " +
              std::strerror(errno);
    return flushed;
  }
  const bool closed = std::fclose(output.file) == 0;
  output.file = nullptr;
  if (!flushed || !closed) {
    error = "cannot write " + output.path + ": " + std::strerror(errno);
    std::remove(output.temporary.c_str());
    return false;
  }
#ifdef _WIN32
  std::remove(output.path.c_str());  // rename does not replace on Windows
#endif
  if (std::rename(output.temporary.c_str(), output.path.c_str()) != 0) {
    error = "cannot write " + output.path + ": " + std::strerror(errno);
    std::remove(output.temporary.c_str());
    return false;
  }
  output.temporary.clear();
  return true;
}

void discard_output(OutputFile& output) {
  if (output.file && output.file != stdout) std::fclose(output.file);
  output.file = nullptr;
  if (!output.temporary.empty()) std::remove(output.temporary.c_str());
  output.temporary.clear();
}
