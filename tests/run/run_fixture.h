/* SPDX-License-Identifier: BSD-2-Clause */
// zolta-run as a user runs it: a fresh folder for each test, command lines
// through the shell, and processes started directly when a test needs their
// process id or their resource use; plus the pictures the tests feed it.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "noise.h"
#include "picture.h"
#include "png_io.h"
#include "ppm_io.h"
#include "test_files.h"

// A smooth picture with noise on it, so that the thresholds have work to do.
inline Picture test_picture(int width, int height, uint64_t seed) {
  Picture p;
  p.width = width;
  p.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      p.samples.push_back(static_cast<uint8_t>(x * 255 / width));
      p.samples.push_back(static_cast<uint8_t>(y * 255 / height));
      p.samples.push_back(static_cast<uint8_t>(((x / 8 + y / 8) & 1) ? 200 : 60));
    }
  NoiseSource noise = noise_source(seed);
  add_gaussian_noise(p.samples, 12.0, noise);
  return p;
}

inline std::string be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// One PNG chunk with its length and CRC.
inline std::string png_chunk(const std::string& type, const std::string& data) {
  const std::string body = type + data;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size());
  return be32(static_cast<uint32_t>(data.size())) + body + be32(static_cast<uint32_t>(crc));
}

// A PNG file with extra bytes put right after its IHDR chunk.
inline std::string with_chunks_after_header(const std::string& png, const std::string& chunks) {
  const size_t after_ihdr = 8 + 12 + 13;
  return png.substr(0, after_ihdr) + chunks + png.substr(after_ihdr);
}

inline std::vector<uint8_t> noisy_bytes(size_t n, uint64_t seed) {
  std::vector<uint8_t> bytes(n, 128);
  NoiseSource noise = noise_source(seed);
  add_gaussian_noise(bytes, 30.0, noise);
  return bytes;
}

inline std::string png_file_bytes(const Picture& p) {
  std::string error;
  return written([&](FILE* f) { return write_png(f, p, error); });
}

inline std::string ppm_file_bytes(const std::vector<Picture>& pictures) {
  std::string s;
  for (const Picture& p : pictures) {
    s += "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n";
    s.append(p.samples.begin(), p.samples.end());
  }
  return s;
}

inline Picture decode_png_file(const std::string& path) {
  ByteReader reader;
  std::string error;
  Picture p;
  EXPECT_TRUE(open_reader(reader, path, error));
  EXPECT_TRUE(read_png(reader, p, error)) << path << ": " << error;
  close_reader(reader);
  return p;
}

inline std::vector<Picture> decode_ppm_file(const std::string& path) {
  ByteReader reader;
  std::string error;
  std::vector<Picture> all;
  EXPECT_TRUE(open_reader(reader, path, error));
  Picture p;
  ReadResult r;
  while ((r = read_ppm(reader, p, error)) == ReadResult::Frame) all.push_back(p);
  EXPECT_EQ(r, ReadResult::End) << error;
  close_reader(reader);
  return all;
}

// Names in a folder, without "." and "..".
inline std::vector<std::string> folder_names(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  return names;
}

// A zolta-run process started without a shell, in a folder, with every signal
// at its default action and standard input from a pipe the test writes to.
struct RunChild {
  pid_t pid = -1;
  int input = -1;  // the write end of the child's standard input
};

inline RunChild start_zolta_run(const std::vector<std::string>& args, const std::string& dir,
                                const std::string& tmpdir) {
  int pipe_fds[2];
  RunChild child;
  if (pipe(pipe_fds) != 0) return child;
  child.pid = fork();
  if (child.pid == 0) {
    dup2(pipe_fds[0], 0);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chdir(dir.c_str()) != 0) _exit(127);
    setenv("TMPDIR", tmpdir.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(ZOLTA_RUN));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(ZOLTA_RUN, argv.data());
    _exit(127);
  }
  close(pipe_fds[0]);
  child.input = pipe_fds[1];
  return child;
}

// Waits for the child; the wait status, and its peak resident size in kB.
inline int wait_child(pid_t pid, long* peak_kb = nullptr) {
  int status = 0;
  struct rusage usage {};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  if (peak_kb) *peak_kb = usage.ru_maxrss;
  return status;
}

class ZoltaRun : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zolta-run-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = std::string(pattern) + "/";
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  // Runs a shell command line in the test's folder; zolta-run is "$Z".
  int run(const std::string& command) {
    const std::string line = "cd " + dir_ + " && Z='" ZOLTA_RUN "' && (" + command + ") >" + dir_ +
                             "stdout 2>" + dir_ + "stderr";
    const int status = std::system(line.c_str());
    stderr_ = read_file(dir_ + "stderr");
    stdout_ = read_file(dir_ + "stdout");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string path(const std::string& name) const { return dir_ + name; }
  // Temporary files a run might have left behind.
  bool leftovers() const {
    for (const std::string& name : folder_names(dir_))
      if (name.compare(0, 7, ".zolta-") == 0) return true;
    return false;
  }

  std::string dir_, stdout_, stderr_;
};
