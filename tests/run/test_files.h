/* SPDX-License-Identifier: BSD-2-Clause */
// Files and streams as the tests of zolta-run read and write them.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

// Runs write on an in-memory stream and returns what it wrote; a writer that
// reports failure fails the test.
template <typename Write>
std::string written(Write write) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&buffer, &size);
  const bool ok = write(f);
  fclose(f);
  std::string bytes(buffer, size);
  free(buffer);
  EXPECT_TRUE(ok) << "the writer reported a failure";
  return bytes;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}
