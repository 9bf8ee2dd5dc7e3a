#include "settings_file.h"

#include <cstring>

namespace {

constexpr const char kConfigPrefix[] = "VirtualDub.video.filters.instance[";
constexpr const char kConfigMiddle[] = "].Config(";

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool skip_literal(const char*& p, const char* literal) {
  const size_t n = std::strlen(literal);
  if (std::strncmp(p, literal, n) != 0) return false;
  p += n;
  return true;
}

// A decimal integer as "%d" reads it: optional white space, optional sign, at
// least one digit. Refuses values that do not fit in 32 signed bits.
bool read_integer(const char*& p, int32_t& out) {
  while (is_blank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (*p < '0' || *p > '9') return false;
  const int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
  int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > limit) return false;
  }
  out = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

}  // namespace

bool parse_config_line(const char* line, int32_t& index, int32_t (&values)[9]) {
  const char* p = line;
  int32_t parsed_index = 0;
  int32_t parsed[9];
  if (!skip_literal(p, kConfigPrefix) || !read_integer(p, parsed_index) ||
      !skip_literal(p, kConfigMiddle)) {
    return false;
  }
  for (int i = 0; i < 9; ++i) {
    if (!read_integer(p, parsed[i])) return false;
    if (i < 8 && *p++ != ',') return false;
  }
  index = parsed_index;
  std::memcpy(values, parsed, sizeof parsed);
  return true;
}

void unpack_settings_value(int32_t value, int32_t& first, int32_t& second) {
  const uint32_t bits = static_cast<uint32_t>(value);
  first = static_cast<int32_t>((bits >> 8) & 255u);
  second = static_cast<int32_t>(bits & 255u);
}

SettingsResult read_settings(std::FILE* file, int32_t (&thresholds)[3][6]) {
  char line[kSettingsLineBuffer];
  bool found = false;
  while (std::fgets(line, sizeof line, file)) {
    if (std::strstr(line, kSettingsKey)) {
      found = true;
      break;
    }
  }
  if (!found) return SettingsResult::NoKeyLine;
  if (!std::fgets(line, sizeof line, file)) return SettingsResult::BadConfigLine;

  int32_t index = 0;
  int32_t values[9];
  if (!parse_config_line(line, index, values)) return SettingsResult::BadConfigLine;
  // Value i carries the pair 2i, 2i + 1 of the eighteen: three values per plane.
  for (int i = 0; i < 9; ++i) {
    int32_t* plane = thresholds[i / 3];
    unpack_settings_value(values[i], plane[2 * (i % 3)], plane[2 * (i % 3) + 1]);
  }
  return SettingsResult::Ok;
}
