// SPDX-License-Identifier: BSD-2-Clause
// Feeds arbitrary bytes to the settings codec's two text readers: as a
// Config text (up to its first zero byte) and as a settings text. Neither
// may crash or read outside its input; whatever the Config reader accepts
// must format back to a text it reads as the same values, and an accepted
// settings text must unpack by the file rule into 0..255.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  int32_t packed[9];
  zolta_error error;
  if (zolta::parse_config(text.c_str(), packed, &error) == ZOLTA_OK) {
    char formatted[200];
    if (zolta::format_config(packed, formatted, sizeof formatted) >= sizeof formatted) std::abort();
    int32_t again[9];
    if (zolta::parse_config(formatted, again, &error) != ZOLTA_OK) std::abort();
    if (std::memcmp(again, packed, sizeof again) != 0) std::abort();
  } else if (std::strchr(error.message, '\n')) {
    std::abort();
  }
  if (zolta::read_settings_text(text.data(), text.size(), packed, &error) == ZOLTA_OK) {
    int32_t thresholds[3][6];
    zolta::unpack_legacy(packed, ZOLTA_UNPACK_FILE, thresholds);
    for (auto& plane : thresholds)
      for (int32_t v : plane)
        if (v < 0 || v > 255) std::abort();
  }
  return 0;
}
