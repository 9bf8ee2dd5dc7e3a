#include "settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

const char kFilterKey[] = "quilmer";

namespace {

void skip_blanks(const char*& p) {
  while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
}

bool take(const char*& p, const char* word) {
  skip_blanks(p);
  const size_t n = std::strlen(word);
  if (std::strncmp(p, word, n) != 0) return false;
  p += n;
  return true;
}

bool take_integer(const char*& p, long min, long max, long& value) {
  skip_blanks(p);
  if (!(*p == '-' || *p == '+' || (*p >= '0' && *p <= '9'))) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(p, &end, 10);
  if (end == p || errno == ERANGE || value < min || value > max) return false;
  p = end;
  return true;
}

// Nine comma-separated values in 0..65535.
bool take_values(const char*& p, ConfigValues& values) {
  for (int k = 0; k < 9; ++k) {
    long v;
    if (k > 0 && !take(p, ",")) return false;
    if (!take_integer(p, 0, 65535, v)) return false;
    values[k] = static_cast<int32_t>(v);
  }
  return true;
}

}  // namespace

bool parse_config_call(const std::string& text, ConfigValues& values, std::string& error) {
  const char* p = text.c_str();
  ConfigValues parsed{};
  const bool ok = take(p, "Config") && take(p, "(") && take_values(p, parsed) && take(p, ")");
  if (ok) {
    take(p, ";");
    skip_blanks(p);
  }
  if (!ok || *p != '\0') {
    error = "bad --config \"" + text +
            "\": expected Config(a, b, c, d, e, f, g, h, i) with nine integers 0..65535";
    return false;
  }
  values = parsed;
  return true;
}

bool parse_settings_text(const std::string& text, ConfigValues& values, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  bool found = false;
  while (std::getline(lines, line)) {
    if (line.find(kFilterKey) != std::string::npos) {
      found = true;
      break;
    }
  }
  if (!found) {
    error = std::string("no line names the filter \"") + kFilterKey + "\"";
    return false;
  }
  std::getline(lines, line);
  const char* p = line.c_str();
  long index;
  ConfigValues parsed{};
  if (!(take(p, "VirtualDub.video.filters.instance[") && take_integer(p, 0, 1L << 30, index) &&
        take(p, "].Config(") && take_values(p, parsed))) {
    error = std::string("the line after the \"") + kFilterKey +
            "\" line does not start with a Config call of nine integers 0..65535";
    return false;
  }
  values = parsed;
  return true;
}

bool read_settings_file(const std::string& path, ConfigValues& values, std::string& error) {
  const std::string name = "settings file " + path;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = "cannot open " + name + ": " + std::strerror(errno);
    return false;
  }
  // Only a regular file of a few megabytes can be one: a directory, a device
  // or a pipe (which might never end) is refused before anything is read.
  struct stat st;
  std::string text, problem;
  if (fstat(fileno(file), &st) != 0) {
    problem = "cannot read " + name + ": " + std::strerror(errno);
  } else if (S_ISDIR(st.st_mode)) {
    problem = name + " is a directory, not a settings file";
  } else if (!S_ISREG(st.st_mode)) {
    problem = name + " is not a regular file (a settings file is a saved text file)";
  } else if (st.st_size > kMaxSettingsFileBytes) {
    problem = name + " is too long for a settings file (" + std::to_string(st.st_size) +
              " bytes; at most " + std::to_string(kMaxSettingsFileBytes) + ")";
  } else {
    text.resize(static_cast<size_t>(kMaxSettingsFileBytes) + 1);
    text.resize(std::fread(&text[0], 1, text.size(), file));
    if (std::ferror(file)) {
      problem = "cannot read " + name + ": " + std::strerror(errno);
    } else if (text.size() > static_cast<size_t>(kMaxSettingsFileBytes)) {
      problem = name + " is too long for a settings file (it grew while being read)";
    }
  }
  std::fclose(file);
  if (!problem.empty()) {
    error = problem;
    return false;
  }
  if (!parse_settings_text(text, values, error)) {
    error = name + ": " + error;
    return false;
  }
  return true;
}

std::string settings_file_text(const ConfigValues& values) {
  std::string text = "VirtualDub.video.filters.Add(\"";
  text += kFilterKey;
  text += " (0.1)\");\nVirtualDub.video.filters.instance[0].Config(";
  for (int k = 0; k < 9; ++k) {
    if (k > 0) text += ", ";
    text += std::to_string(values[k]);
  }
  text += ");\n";
  return text;
}
