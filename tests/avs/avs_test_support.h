/* SPDX-License-Identifier: BSD-2-Clause */
// Shared helpers of the AviSynth tests: settings files on disk and the
// stand-in host.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "avs_host.h"

// The tests speak the host's side of the interface.
using namespace standin_avs;

// A file in the temporary folder, named after the running test, removed at
// the end of the scope.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes, const std::string& suffix = ".vcf") {
    static int counter = 0;
    static const unsigned run = std::random_device()();  // apart from concurrent runs
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = (std::filesystem::temp_directory_path() /
             ("zolta-" + std::string(info ? info->name() : "test") + "-" + std::to_string(run) +
              "-" + std::to_string(++counter) + suffix))
                .string();
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

// A settings file of the shape VirtualDub saves, with CRLF line ends.
inline std::string vdub_settings(const std::string& config_call) {
  return "VirtualDub.audio.SetSource(1);\r\n"
         "VirtualDub.audio.SetMode(0);\r\n"
         "VirtualDub.video.SetMode(3);\r\n"
         "VirtualDub.video.filters.Clear();\r\n"
         "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\r\n"
         "VirtualDub.video.filters.instance[0]." +
         config_call +
         ";\r\n"
         "VirtualDub.audio.filters.Clear();\r\n";
}

// The error message that running f raises through the host, or "" if none.
template <typename F>
std::string error_of(F&& f) {
  try {
    f();
  } catch (const AvsError& e) {
    return e.what();
  }
  return "";
}
