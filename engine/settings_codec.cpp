// SPDX-License-Identifier: BSD-2-Clause
#include "settings_codec.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "errors.h"

namespace zolta {

const char kFilterName[] = "quilmer (0.1)";
const char kSettingsKey[] = "quilmer";

namespace {

constexpr const char kConfigPrefix[] = "VirtualDub.video.filters.instance[";
constexpr const char kConfigMiddle[] = "].Config(";

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void skip_blanks(const char*& p) {
  while (is_blank(*p)) ++p;
}

bool skip_literal(const char*& p, const char* literal) {
  const size_t n = std::strlen(literal);
  if (std::strncmp(p, literal, n) != 0) return false;
  p += n;
  return true;
}

enum class Integer { kOk, kNone, kTooLarge };

// A decimal integer as "%d" reads it: optional white space, optional sign, at
// least one digit; values outside 32 signed bits are refused.
Integer read_integer(const char*& p, int32_t& out) {
  const char* q = p;
  skip_blanks(q);
  bool negative = false;
  if (*q == '+' || *q == '-') {
    negative = *q == '-';
    ++q;
  }
  if (*q < '0' || *q > '9') return Integer::kNone;
  const int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
  int64_t magnitude = 0;
  bool too_large = false;
  for (; *q >= '0' && *q <= '9'; ++q) {
    if (!too_large) magnitude = magnitude * 10 + (*q - '0');
    if (magnitude > limit) too_large = true;
  }
  p = q;
  if (too_large) return Integer::kTooLarge;
  out = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return Integer::kOk;
}

size_t copy_out(const char* text, size_t length, char* buffer, size_t size) {
  if (buffer && size > 0) {
    if (length < size) {
      std::memcpy(buffer, text, length + 1);
    } else {
      buffer[0] = '\0';
    }
  }
  return length;
}

// "a, b, ..., i" into text at `at`; returns the new length.
size_t format_values(const int32_t packed[9], char* text, size_t at, size_t capacity) {
  for (int k = 0; k < 9; ++k) {
    at += static_cast<size_t>(std::snprintf(text + at, capacity - at, k == 0 ? "%ld" : ", %ld",
                                            static_cast<long>(packed[k])));
  }
  return at;
}

}  // namespace

int32_t pack_pair(int32_t first, int32_t second) {
  // Unsigned arithmetic wraps where signed arithmetic would overflow.
  return static_cast<int32_t>((static_cast<uint32_t>(first) << 8) + static_cast<uint32_t>(second));
}

void unpack_pair_script(int32_t value, int32_t& first, int32_t& second) {
  first = value >> 8;  // arithmetic: keeps the sign
  second = value & 255;
}

void unpack_pair_file(int32_t value, int32_t& first, int32_t& second) {
  const uint32_t bits = static_cast<uint32_t>(value);
  first = static_cast<int32_t>((bits >> 8) & 255u);
  second = static_cast<int32_t>(bits & 255u);
}

void pack_legacy(const int32_t thresholds[3][6], int32_t packed[9]) {
  for (int i = 0; i < 9; ++i) {
    const int32_t* plane = thresholds[i / 3];
    packed[i] = pack_pair(plane[2 * (i % 3)], plane[2 * (i % 3) + 1]);
  }
}

void unpack_legacy(const int32_t packed[9], int32_t rule, int32_t thresholds[3][6]) {
  for (int i = 0; i < 9; ++i) {
    int32_t* plane = thresholds[i / 3];
    if (rule == ZOLTA_UNPACK_FILE) {
      unpack_pair_file(packed[i], plane[2 * (i % 3)], plane[2 * (i % 3) + 1]);
    } else {
      unpack_pair_script(packed[i], plane[2 * (i % 3)], plane[2 * (i % 3) + 1]);
    }
  }
}

int parse_config(const char* text, int32_t packed[9], zolta_error* error) {
  if (!text) return fail(error, ZOLTA_ERROR_ARGUMENT, "no settings text given");
  const char* p = text;
  int32_t values[9];
  skip_blanks(p);
  bool ok = skip_literal(p, "Config");
  if (ok) {
    skip_blanks(p);
    ok = *p++ == '(';
  }
  for (int k = 0; ok && k < 9; ++k) {
    if (k > 0) {
      skip_blanks(p);
      ok = *p++ == ',';
      if (!ok) break;
    }
    const Integer read = read_integer(p, values[k]);
    if (read == Integer::kTooLarge) {
      return fail(error, ZOLTA_ERROR_SETTINGS,
                  "settings text \"%s\": integer %d does not fit in 32 bits", text, k + 1);
    }
    ok = read == Integer::kOk;
  }
  if (ok) {
    skip_blanks(p);
    ok = *p++ == ')';
  }
  if (ok) {
    skip_blanks(p);
    if (*p == ';') ++p;
    skip_blanks(p);
    ok = *p == '\0';
  }
  if (!ok) {
    return fail(error, ZOLTA_ERROR_SETTINGS,
                "settings text \"%s\" is not Config(a, b, c, d, e, f, g, h, i) with nine integers",
                text);
  }
  std::memcpy(packed, values, sizeof values);
  return succeed(error);
}

size_t format_config(const int32_t packed[9], char* buffer, size_t size) {
  char text[160];
  size_t length = static_cast<size_t>(std::snprintf(text, sizeof text, "Config("));
  length = format_values(packed, text, length, sizeof text);
  length += static_cast<size_t>(std::snprintf(text + length, sizeof text - length, ")"));
  return copy_out(text, length, buffer, size);
}

bool parse_config_line(const char* line, int32_t& index, int32_t packed[9]) {
  const char* p = line;
  int32_t parsed_index = 0;
  int32_t parsed[9];
  if (!skip_literal(p, kConfigPrefix) || read_integer(p, parsed_index) != Integer::kOk ||
      !skip_literal(p, kConfigMiddle)) {
    return false;
  }
  for (int i = 0; i < 9; ++i) {
    if (read_integer(p, parsed[i]) != Integer::kOk) return false;
    if (i < 8 && *p++ != ',') return false;
  }
  index = parsed_index;
  std::memcpy(packed, parsed, sizeof parsed);
  return true;
}

SettingsReading scan_settings_text(const char* text, size_t length, int32_t packed[9]) {
  if (length > static_cast<size_t>(ZOLTA_SETTINGS_FILE_MAX)) return SettingsReading::kTooLong;
  // The text in pieces as fgets takes them from a file: up to and including
  // a newline, at most kSettingsPiece characters; each piece is a C string,
  // so a zero byte in it ends what is looked at.
  char piece[kSettingsPiece + 1];
  size_t at = 0;
  auto next_piece = [&]() {
    if (at >= length) return false;
    size_t n = 0;
    while (n < kSettingsPiece && at < length) {
      const char c = text[at++];
      piece[n++] = c;
      if (c == '\n') break;
    }
    piece[n] = '\0';
    return true;
  };
  bool found = false;
  while (next_piece()) {
    if (std::strstr(piece, kSettingsKey)) {
      found = true;
      break;
    }
  }
  if (!found) return SettingsReading::kNoKeyLine;
  int32_t index = 0;
  if (!next_piece() || !parse_config_line(piece, index, packed)) {
    return SettingsReading::kBadConfigLine;
  }
  return SettingsReading::kOk;
}

namespace {

int reading_status(SettingsReading reading, zolta_error* error) {
  switch (reading) {
    case SettingsReading::kOk:
      return succeed(error);
    case SettingsReading::kNoKeyLine:
      return fail(error, ZOLTA_ERROR_FILE_INVALID, "no line names the filter \"%s\"", kSettingsKey);
    case SettingsReading::kBadConfigLine:
      return fail(error, ZOLTA_ERROR_FILE_INVALID,
                  "the line after the \"%s\" line is not a Config call "
                  "\"VirtualDub.video.filters.instance[N].Config(a, ..., i\" with nine integers",
                  kSettingsKey);
    case SettingsReading::kTooLong:
      break;
  }
  return fail(error, ZOLTA_ERROR_FILE_INVALID, "too long (over %d bytes)", ZOLTA_SETTINGS_FILE_MAX);
}

}  // namespace

int read_settings_text(const char* text, size_t length, int32_t packed[9], zolta_error* error) {
  if (!text && length > 0) return fail(error, ZOLTA_ERROR_ARGUMENT, "no settings text given");
  return reading_status(scan_settings_text(text, length, packed), error);
}

int read_settings_stream(std::FILE* file, int32_t packed[9], SettingsReading& reading,
                         zolta_error* error) {
  // The buffer grows with what the stream holds, up to one byte over the
  // limit (which is enough to know the text is too long).
  const size_t limit = static_cast<size_t>(ZOLTA_SETTINGS_FILE_MAX) + 1;
  size_t capacity = 4096;
  char* text = static_cast<char*>(std::malloc(capacity));
  size_t length = 0;
  while (text) {
    length += std::fread(text + length, 1, capacity - length, file);
    if (length < capacity || capacity == limit) break;
    const size_t larger = capacity * 2 < limit ? capacity * 2 : limit;
    char* grown = static_cast<char*>(std::realloc(text, larger));
    if (!grown) {
      std::free(text);
      text = nullptr;
      break;
    }
    text = grown;
    capacity = larger;
  }
  if (!text) return fail(error, ZOLTA_ERROR_MEMORY, "out of memory for a settings file");
  reading = scan_settings_text(text, length, packed);
  std::free(text);
  return reading_status(reading, error);
}

int read_settings_file(const char* path, int32_t packed[9], zolta_error* error) {
  if (!path) return fail(error, ZOLTA_ERROR_ARGUMENT, "no settings file given");
  struct stat info;
  if (stat(path, &info) != 0) {
    return fail(error, ZOLTA_ERROR_FILE_OPEN, "cannot open settings file \"%s\": %s", path,
                std::strerror(errno));
  }
  if (S_ISDIR(info.st_mode)) {
    return fail(error, ZOLTA_ERROR_FILE_OPEN, "settings file \"%s\" is a directory", path);
  }
  if (!S_ISREG(info.st_mode)) {
    return fail(error, ZOLTA_ERROR_FILE_OPEN, "settings file \"%s\" is not a regular file", path);
  }
  // Text mode, as the AviSynth face has always read it.
  std::FILE* file = std::fopen(path, "rt");
  if (!file) {
    return fail(error, ZOLTA_ERROR_FILE_OPEN, "cannot open settings file \"%s\": %s", path,
                std::strerror(errno));
  }
  SettingsReading reading;
  const int result = read_settings_stream(file, packed, reading, error);
  std::fclose(file);
  if (result != ZOLTA_OK && error) {
    char detail[sizeof error->message];
    std::memcpy(detail, error->message, sizeof detail);
    fail(error, result, "settings file \"%s\": %s", path, detail);
  }
  return result;
}

size_t format_settings_file(const int32_t packed[9], char* buffer, size_t size) {
  char text[256];
  size_t length = static_cast<size_t>(
      std::snprintf(text, sizeof text, "VirtualDub.video.filters.Add(\"%s (0.1)\");\n%s0%s",
                    kSettingsKey, kConfigPrefix, kConfigMiddle));
  length = format_values(packed, text, length, sizeof text);
  length += static_cast<size_t>(std::snprintf(text + length, sizeof text - length, ");\n"));
  return copy_out(text, length, buffer, size);
}

}  // namespace zolta
