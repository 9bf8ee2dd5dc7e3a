// SPDX-License-Identifier: BSD-2-Clause
#include "noise_level.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "byte_reader.h"
#include "denoise_stream.h"
#include "engine_frames.h"
#include "run_settings.h"

bool read_ahead(FrameFormat& format, ByteReader& input, int count, std::deque<StreamItem>& frames,
                std::string& error) {
  for (int n = 0; n < count; ++n) {
    StreamItem item;
    const ReadResult got = format.read(input, item, error);
    if (got == ReadResult::End) break;
    if (got == ReadResult::Error || !format.bind(item, error)) {
      error += " (" + frame_label(format, n) + ")";
      return false;
    }
    frames.push_back(std::move(item));
  }
  return true;
}

bool measure_noise(const FrameFormat& format, std::deque<StreamItem>& frames,
                   NoiseEstimate& estimate, std::string& error) {
  estimate.frames = static_cast<int>(frames.size());
  if (frames.empty()) return true;
  estimate.family = frames.front().stream.family;
  // Frames of one stream are measured together; a stream whose frames change
  // their format is measured as the median of its frames one by one.
  std::vector<const zolta_frame*> pointers;
  for (const StreamItem& item : frames) {
    if (!same_stream(item.stream, frames.front().stream)) {
      pointers.clear();
      break;
    }
    pointers.push_back(&item.frame);
  }
  zolta_error e{};
  if (!pointers.empty()) {
    zolta_noise_model_default(&estimate.model, ZOLTA_API_VERSION);
    if (zolta_noise_measure(&frames.front().stream, pointers.data(),
                            static_cast<int32_t>(pointers.size()), &estimate.model,
                            &e) == ZOLTA_OK) {
      for (int p = 0; p < 3; ++p) estimate.sigma[p] = estimate.model.sigma[p];
      return true;
    }
    error = e.message;
    return false;
  }
  std::vector<float> per_plane[3];
  for (size_t n = 0; n < frames.size(); ++n) {
    float sigma[3] = {0, 0, 0};
    if (zolta_noise_estimate(&frames[n].stream, &frames[n].frame, sigma, &e) != ZOLTA_OK) {
      error = std::string(e.message) + " (" + frame_label(format, static_cast<long>(n)) + ")";
      return false;
    }
    for (int p = 0; p < 3; ++p) per_plane[p].push_back(sigma[p]);
  }
  for (int p = 0; p < 3; ++p) {
    std::vector<float>& v = per_plane[p];
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    estimate.sigma[p] = v[v.size() / 2];
  }
  return true;
}

bool measure_file_noise(const std::string& path, NoiseEstimate& estimate, std::string& error) {
  ByteReader reader;
  if (!open_reader(reader, path, error)) {
    error = "--noise-from: " + error;
    return false;
  }
  std::deque<StreamItem> frames;
  std::unique_ptr<FrameFormat> format = open_format(reader, error);
  const bool ok = format && read_ahead(*format, reader, kEstimateFrames, frames, error) &&
                  measure_noise(*format, frames, estimate, error);
  close_reader(reader);
  if (!ok) {
    error = "--noise-from " + path + ": " + error;
    return false;
  }
  if (estimate.frames == 0) {
    error = "--noise-from " + path + " holds no frame to measure";
    return false;
  }
  return true;
}

bool settings_for_estimate(const NoiseEstimate& estimate, zolta_settings& settings,
                           std::string& error) {
  zolta_error e{};
  if (estimate.model.planes > 0) {
    if (zolta_settings_for_model(&estimate.model, estimate.family, &settings, &e) != ZOLTA_OK) {
      error = (estimate.profile.empty() ? "" : "--profile " + estimate.profile + ": ") + e.message;
      return false;
    }
    return true;
  }
  float sigma[3];
  for (int p = 0; p < 3; ++p) sigma[p] = std::min(std::max(estimate.sigma[p], 0.1f), 50.0f);
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  if (zolta_settings_for_sigma(sigma, estimate.family, &settings, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  return true;
}

bool read_profile(const std::string& path, NoiseEstimate& estimate, std::string& error) {
  zolta_noise_model_default(&estimate.model, ZOLTA_API_VERSION);
  zolta_error e{};
  if (zolta_noise_profile_read(path.c_str(), &estimate.model, &e) != ZOLTA_OK) {
    error = std::string("--profile: ") + e.message;
    return false;
  }
  for (int p = 0; p < 3; ++p) estimate.sigma[p] = estimate.model.sigma[p];
  estimate.profile = path;
  return true;
}

namespace {

// The model as a profile text (--profile-out writes it; --estimate prints it).
std::string profile_text(const zolta_noise_model& model) {
  const size_t size = zolta_noise_profile_format(&model, nullptr, 0) + 1;
  std::string text(size, '\0');
  zolta_noise_profile_format(&model, &text[0], size);
  text.resize(size - 1);
  return text;
}

bool write_profile(const std::string& path, const zolta_noise_model& model, std::string& error) {
  if (model.planes == 0) {
    error = "--profile-out: the input's frames change their format; no one profile fits them";
    return false;
  }
  const std::string text = profile_text(model);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = "--profile-out: cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    std::remove(path.c_str());
    error = "--profile-out: cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

bool estimate_stream(ByteReader& input, std::FILE* report, const std::string& profile_out,
                     std::string& error) {
  std::unique_ptr<FrameFormat> format = open_format(input, error);
  if (!format) return false;
  std::deque<StreamItem> frames;
  NoiseEstimate estimate;
  if (!read_ahead(*format, input, kEstimateFrames, frames, error) ||
      !measure_noise(*format, frames, estimate, error))
    return false;
  if (estimate.frames == 0) {
    error = "the input holds no frame to measure";
    return false;
  }
  zolta_settings settings;
  if (!settings_for_estimate(estimate, settings, error)) return false;
  const char* names[3] = {"Y", "Cb", "Cr"};  // RGB too: the planes it is denoised in
  const int planes = estimate.family == ZOLTA_FAMILY_GRAY ? 1 : 3;
  std::fprintf(report,
               "noise (standard deviation on the 8-bit scale, from %d %s%s):", estimate.frames,
               format->unit(), estimate.frames == 1 ? "" : "s");
  for (int p = 0; p < planes; ++p) std::fprintf(report, " %s %.2f", names[p], estimate.sigma[p]);
  std::fprintf(report, "\n");
  if (estimate.model.planes > 0) {
    // The model as --profile-out writes it, without the first lines.
    const std::string text = profile_text(estimate.model);
    const size_t body = text.find("\nplanes");
    if (body != std::string::npos) std::fputs(text.c_str() + body + 1, report);
  }
  std::fprintf(report, "settings: --thresholds %s\n", thresholds_text(settings).c_str());
  const std::string config = config_text(settings);
  if (!config.empty()) std::fprintf(report, "          --config \"%s\"\n", config.c_str());
  if (std::fflush(report) != 0 || std::ferror(report)) {
    error = "cannot write the report";
    return false;
  }
  return profile_out.empty() || write_profile(profile_out, estimate.model, error);
}
