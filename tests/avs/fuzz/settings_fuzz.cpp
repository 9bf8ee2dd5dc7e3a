// SPDX-License-Identifier: BSD-2-Clause
// Feeds arbitrary bytes to the settings-file reader as a file. The reader
// must never crash or read outside its buffer, and whatever it accepts must
// come out as thresholds in 0..255.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "settings_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An empty file is covered by the unit tests; fmemopen wants at least a byte.
  if (size == 0) return 0;
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (!file) return 0;
  int32_t packed[9], thresholds[3][6] = {};
  zolta::SettingsReading reading = zolta::SettingsReading::kOk;
  const int status = zolta::read_settings_stream(file, packed, reading, nullptr);
  std::fclose(file);
  if (status == ZOLTA_OK && reading == zolta::SettingsReading::kOk) {
    zolta::unpack_legacy(packed, ZOLTA_UNPACK_FILE, thresholds);
    for (auto& plane : thresholds)
      for (int32_t v : plane)
        if (v < 0 || v > 255) std::abort();
  }
  return 0;
}
