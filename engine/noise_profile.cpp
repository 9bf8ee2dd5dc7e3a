// SPDX-License-Identifier: BSD-2-Clause
#include "noise_profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "errors.h"

namespace zolta {

namespace {

constexpr int kMostTokens = 24;

// A value of 0..255 with three decimals, whatever the C locale is.
void append_value(std::string& text, float v) {
  const long thousandths = std::lround(static_cast<double>(v) * 1000.0);
  char piece[32];
  std::snprintf(piece, sizeof piece, " %ld.%03ld", thousandths / 1000, thousandths % 1000);
  text += piece;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// A line cut into its tokens (pointers into the text, with lengths).
struct Tokens {
  int count = 0;
  const char* at[kMostTokens];
  size_t size[kMostTokens];
  bool too_many = false;
};

Tokens split(const char* line, size_t length) {
  Tokens t;
  size_t i = 0;
  while (i < length) {
    while (i < length && is_blank(line[i])) ++i;
    if (i == length) break;
    const size_t start = i;
    while (i < length && !is_blank(line[i])) ++i;
    if (t.count == kMostTokens) {
      t.too_many = true;
      break;
    }
    t.at[t.count] = line + start;
    t.size[t.count] = i - start;
    ++t.count;
  }
  return t;
}

bool token_is(const Tokens& t, int k, const char* word) {
  return k < t.count && t.size[k] == std::strlen(word) && std::memcmp(t.at[k], word, t.size[k]) == 0;
}

// A decimal number without sign or exponent, at most `most`.
bool read_number(const char* s, size_t n, double most, bool integer, double& value) {
  size_t i = 0;
  double v = 0.0;
  size_t digits = 0;
  while (i < n && s[i] >= '0' && s[i] <= '9') {
    v = v * 10.0 + (s[i] - '0');
    if (v > most) return false;
    ++i;
    ++digits;
  }
  if (digits == 0) return false;
  if (i < n && s[i] == '.' && !integer) {
    ++i;
    double scale = 0.1;
    size_t decimals = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9' && decimals < 9) {
      v += (s[i] - '0') * scale;
      scale *= 0.1;
      ++i;
      ++decimals;
    }
    if (decimals == 0) return false;
  }
  if (i != n || v > most) return false;
  value = v;
  return true;
}

struct Reader {
  zolta_noise_model model;
  int line = 0;
  bool header = false, planes = false, frames = false, across = false, sigma = false;
  bool detail[3][2] = {};
  bool curve[3] = {};
};

std::string quoted(const Tokens& t, int k) {
  return std::string(t.at[k], t.size[k] > 40 ? 40 : t.size[k]);
}

int refuse(zolta_error* error, int line, const char* what) {
  return fail(error, ZOLTA_ERROR_SETTINGS, "noise profile line %d: %s", line, what);
}

// Reads tokens first.. of a line as `count` values of at most `most` into
// `values`; false if there are not exactly that many or one is not a number.
bool read_values(const Tokens& t, int first, int count, double most, bool integer,
                 float* values) {
  if (t.count != first + count) return false;
  for (int k = 0; k < count; ++k) {
    double v;
    if (!read_number(t.at[first + k], t.size[first + k], most, integer, v)) return false;
    values[k] = static_cast<float>(v);
  }
  return true;
}

int read_item(Reader& r, const Tokens& t, zolta_error* error) {
  char what[160];
  if (!r.header) {
    if (t.count != 4 || !token_is(t, 0, "zolta") || !token_is(t, 1, "noise") ||
        !token_is(t, 2, "profile")) {
      return refuse(error, r.line, "not a noise profile (the first line reads \"zolta noise profile 1\")");
    }
    double version;
    if (!read_number(t.at[3], t.size[3], 1e9, true, version) || version != kNoiseProfileVersion) {
      std::snprintf(what, sizeof what, "profile version \"%s\"; this library reads version %d",
                    quoted(t, 3).c_str(), kNoiseProfileVersion);
      return refuse(error, r.line, what);
    }
    r.header = true;
    return ZOLTA_OK;
  }
  const std::string item = quoted(t, 0);
  const bool needs_planes = !token_is(t, 0, "planes") && !token_is(t, 0, "frames");
  if (needs_planes && !r.planes && (token_is(t, 0, "sigma") || token_is(t, 0, "detail") ||
                                    token_is(t, 0, "curve") || token_is(t, 0, "across"))) {
    std::snprintf(what, sizeof what, "\"%s\" before \"planes\"", item.c_str());
    return refuse(error, r.line, what);
  }
  const int planes = r.model.planes;
  float v[ZOLTA_NOISE_BANDS];
  if (token_is(t, 0, "planes")) {
    if (r.planes) return refuse(error, r.line, "\"planes\" given twice");
    if (!read_values(t, 1, 1, 3, true, v) || (v[0] != 1.0f && v[0] != 3.0f)) {
      return refuse(error, r.line, "\"planes\" takes 1 or 3");
    }
    r.model.planes = static_cast<int32_t>(v[0]);
    r.planes = true;
  } else if (token_is(t, 0, "frames")) {
    if (r.frames) return refuse(error, r.line, "\"frames\" given twice");
    if (!read_values(t, 1, 1, 1e9, true, v)) {
      return refuse(error, r.line, "\"frames\" takes a whole number");
    }
    r.model.frames = static_cast<int32_t>(v[0]);
    r.frames = true;
  } else if (token_is(t, 0, "across")) {
    if (r.across) return refuse(error, r.line, "\"across\" given twice");
    if (!read_values(t, 1, planes, 1, true, v)) {
      std::snprintf(what, sizeof what, "\"across\" takes %d values of 0 or 1", planes);
      return refuse(error, r.line, what);
    }
    for (int p = 0; p < planes; ++p) r.model.across |= (v[p] != 0.0f ? 1 : 0) << p;
    r.across = true;
  } else if (token_is(t, 0, "sigma")) {
    if (r.sigma) return refuse(error, r.line, "\"sigma\" given twice");
    if (!read_values(t, 1, planes, 255, false, r.model.sigma)) {
      std::snprintf(what, sizeof what, "\"sigma\" takes %d numbers 0..255", planes);
      return refuse(error, r.line, what);
    }
    r.sigma = true;
  } else if (token_is(t, 0, "detail") || token_is(t, 0, "curve")) {
    const bool curve = token_is(t, 0, "curve");
    double plane = 0;
    if (t.count < 2 || !read_number(t.at[1], t.size[1], 2, true, plane) || plane >= planes) {
      std::snprintf(what, sizeof what, "\"%s\" names a plane 0..%d first", item.c_str(),
                    planes - 1);
      return refuse(error, r.line, what);
    }
    const int p = static_cast<int>(plane);
    if (curve) {
      if (r.curve[p]) return refuse(error, r.line, "\"curve\" of this plane given twice");
      if (!read_values(t, 2, ZOLTA_NOISE_BANDS, 255, false, r.model.curve[p])) {
        return refuse(error, r.line, "\"curve\" takes a plane and 16 numbers 0..255");
      }
      r.curve[p] = true;
    } else {
      const int d = token_is(t, 2, "x") ? 0 : token_is(t, 2, "y") ? 1 : -1;
      if (d < 0) return refuse(error, r.line, "\"detail\" takes a plane, x or y, and 3 numbers");
      if (r.detail[p][d]) return refuse(error, r.line, "\"detail\" of this plane and direction given twice");
      if (!read_values(t, 3, 3, 255, false, r.model.detail[p][d])) {
        return refuse(error, r.line, "\"detail\" takes a plane, x or y, and 3 numbers 0..255");
      }
      r.detail[p][d] = true;
    }
  } else {
    std::snprintf(what, sizeof what, "unknown item \"%s\"", item.c_str());
    return refuse(error, r.line, what);
  }
  return ZOLTA_OK;
}

}  // namespace

size_t format_noise_profile(const zolta_noise_model* model, char* buffer, size_t size) {
  if (!model || (model->planes != 1 && model->planes != 3)) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  std::string text;
  char line[128];
  std::snprintf(line, sizeof line, "zolta noise profile %d\n", kNoiseProfileVersion);
  text = line;
  text +=
      "# Standard deviations of the noise on the 8-bit scale: of a sample (sigma),\n"
      "# in the detail of each level and direction as the sigma of white noise that\n"
      "# puts as much there (detail), and of a sample by its local mean 8, 24, ...,\n"
      "# 248 (curve). doc/noise-profile.md describes the format.\n";
  std::snprintf(line, sizeof line, "planes %d\nframes %ld\nacross",
                static_cast<int>(model->planes),
                static_cast<long>(model->frames < 0 ? 0 : model->frames));
  text += line;
  for (int p = 0; p < model->planes; ++p) text += (model->across >> p) & 1 ? " 1" : " 0";
  text += "\nsigma";
  for (int p = 0; p < model->planes; ++p) append_value(text, model->sigma[p]);
  text += "\n";
  for (int p = 0; p < model->planes; ++p) {
    for (int d = 0; d < 2; ++d) {
      std::snprintf(line, sizeof line, "detail %d %s", p, d == 0 ? "x" : "y");
      text += line;
      for (int l = 0; l < 3; ++l) append_value(text, model->detail[p][d][l]);
      text += "\n";
    }
  }
  for (int p = 0; p < model->planes; ++p) {
    std::snprintf(line, sizeof line, "curve %d", p);
    text += line;
    for (int k = 0; k < ZOLTA_NOISE_BANDS; ++k) append_value(text, model->curve[p][k]);
    text += "\n";
  }
  if (buffer && size > text.size()) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
  } else if (buffer && size > 0) {
    buffer[0] = '\0';
  }
  return text.size();
}

int parse_noise_profile(const char* text, size_t length, zolta_noise_model& model,
                        zolta_error* error) {
  Reader r;
  r.model = zolta_noise_model{};
  r.model.version = model.version;
  size_t start = 0;
  while (start < length) {
    size_t end = start;
    while (end < length && text[end] != '\n') ++end;
    ++r.line;
    if (std::memchr(text + start, '\0', end - start)) {
      return refuse(error, r.line, "a zero byte; a profile is text");
    }
    const Tokens t = split(text + start, end - start);
    start = end + 1;
    if (t.too_many) return refuse(error, r.line, "too many values");
    if (t.count == 0 || t.at[0][0] == '#') continue;
    const int status = read_item(r, t, error);
    if (status != ZOLTA_OK) return status;
  }
  if (!r.header) return fail(error, ZOLTA_ERROR_SETTINGS, "not a noise profile: it is empty");
  const char* missing = !r.planes ? "planes" : !r.sigma ? "sigma" : nullptr;
  for (int p = 0; p < r.model.planes && !missing; ++p) {
    if (!r.detail[p][0] || !r.detail[p][1]) missing = "detail";
    if (!r.curve[p]) missing = "curve";
  }
  if (missing) {
    return fail(error, ZOLTA_ERROR_SETTINGS, "noise profile: \"%s\" is missing%s", missing,
                r.planes ? " for a plane" : "");
  }
  model = r.model;
  return succeed(error);
}

int read_noise_profile(const char* path, zolta_noise_model& model, zolta_error* error) {
  struct stat info;
  if (stat(path, &info) != 0) {
    return fail(error, ZOLTA_ERROR_FILE_OPEN, "cannot open noise profile \"%s\": %s", path,
                std::strerror(errno));
  }
  if (!S_ISREG(info.st_mode)) {
    return fail(error, ZOLTA_ERROR_FILE_OPEN, "noise profile \"%s\" is not a regular file", path);
  }
  std::FILE* file = std::fopen(path, "rb");
  if (!file) {
    return fail(error, ZOLTA_ERROR_FILE_OPEN, "cannot open noise profile \"%s\": %s", path,
                std::strerror(errno));
  }
  std::vector<char> text(ZOLTA_NOISE_PROFILE_MAX + 1);
  const size_t length = std::fread(text.data(), 1, text.size(), file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    return fail(error, ZOLTA_ERROR_FILE_OPEN, "cannot read noise profile \"%s\"", path);
  }
  if (length > ZOLTA_NOISE_PROFILE_MAX) {
    return fail(error, ZOLTA_ERROR_FILE_INVALID,
                "noise profile \"%s\" is larger than %d bytes; it is no profile", path,
                ZOLTA_NOISE_PROFILE_MAX);
  }
  zolta_error own{};
  if (parse_noise_profile(text.data(), length, model, &own) != ZOLTA_OK) {
    // "noise profile line 3: ..." becomes "noise profile "PATH", line 3: ...".
    const char* rest = own.message + std::strlen("noise profile");
    return fail(error, ZOLTA_ERROR_FILE_INVALID, "noise profile \"%s\"%s%s", path,
                rest[0] == ':' ? "" : ",", rest);
  }
  return succeed(error);
}

}  // namespace zolta
