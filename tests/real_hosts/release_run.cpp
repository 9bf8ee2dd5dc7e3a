// SPDX-License-Identifier: BSD-2-Clause
#include "release_run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// The case running now, where the parent can read it after a crash.
constexpr size_t kNameSize = 512;
char* g_current = nullptr;

}  // namespace

ReleaseRun::ReleaseRun(std::string release) : release_(std::move(release)) {}

void ReleaseRun::begin(const std::string& name) {
  current_ = name;
  if (g_current) {
    std::snprintf(g_current, kNameSize, "%s", name.c_str());
  }
}

void ReleaseRun::end(const std::string& failure) {
  if (failure.empty()) {
    ++passed_;
    std::printf("ok    %s: %s\n", release_.c_str(), current_.c_str());
  } else {
    ++failed_;
    std::printf("FAIL  %s: %s: %s\n", release_.c_str(), current_.c_str(), failure.c_str());
  }
  std::fflush(stdout);
  if (g_current) g_current[0] = '\0';
}

void ReleaseRun::check(const std::string& name, const std::string& failure) {
  begin(name);
  end(failure);
}

int ReleaseRun::run(const std::function<void(ReleaseRun&)>& body) {
#ifdef _WIN32
  body(*this);
  std::printf("%s: %d cases passed, %d failed\n", release_.c_str(), passed_, failed_);
  return failed_ == 0 && passed_ > 0 ? 0 : 1;
#else
  void* shared =
      mmap(nullptr, kNameSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    std::printf("%s: no shared page for the child: %s\n", release_.c_str(), std::strerror(errno));
    return 1;
  }
  g_current = static_cast<char*>(shared);
  g_current[0] = '\0';
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) {
    std::printf("%s: fork failed: %s\n", release_.c_str(), std::strerror(errno));
    return 1;
  }
  if (child == 0) {
    body(*this);
    std::printf("%s: %d cases passed, %d failed\n", release_.c_str(), passed_, failed_);
    std::fflush(stdout);
    _exit(failed_ == 0 && passed_ > 0 ? 0 : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int result = 1;
  if (WIFSIGNALED(status)) {
    std::printf("FAIL  %s: the host crashed (signal %d, %s) in case: %s\n", release_.c_str(),
                WTERMSIG(status), strsignal(WTERMSIG(status)),
                g_current[0] ? g_current : "(between cases)");
  } else if (WIFEXITED(status)) {
    result = WEXITSTATUS(status) == 0 ? 0 : 1;
    if (WEXITSTATUS(status) != 0 && g_current[0]) {
      std::printf("FAIL  %s: the process ended (status %d) in case: %s\n", release_.c_str(),
                  WEXITSTATUS(status), g_current);
    }
  }
  munmap(shared, kNameSize);
  g_current = nullptr;
  return result;
#endif
}

std::string private_home() {
#ifdef _WIN32
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  std::string home = std::string(base) + "zolta-real-host-" + std::to_string(GetCurrentProcessId());
  _mkdir(home.c_str());
  _putenv_s("HOME", home.c_str());
  return home;
#else
  char pattern[] = "/tmp/zolta-real-host-XXXXXX";
  const char* made = mkdtemp(pattern);
  const std::string home = made ? made : "/tmp";
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  return home;
#endif
}

bool copy_file(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  if (!in || !out) return false;
  out << in.rdbuf();
  return static_cast<bool>(out);
}

bool write_text(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  return static_cast<bool>(out << text);
}

std::string refusal_failure(const std::string& error, const std::string& message) {
  if (error.empty()) return "accepted; the face should refuse it";
  if (error.compare(0, message.size(), message) == 0) return std::string();
  return "the host reported \"" + error + "\", not the face's \"" + message + "...\"";
}
