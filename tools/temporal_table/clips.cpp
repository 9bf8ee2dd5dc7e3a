// SPDX-License-Identifier: BSD-2-Clause
#include "clips.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "byte_reader.h"
#include "noise.h"
#include "png_io.h"

namespace {

uint8_t to_byte(double v) {
  const double r = std::nearbyint(v);
  return static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
}

size_t frame_bytes(int width, int height) {
  return static_cast<size_t>(width) * height * 3 / 2;
}

zolta_frame frame_of(uint8_t* data, int width, int height) {
  zolta_frame f{};
  const size_t luma = static_cast<size_t>(width) * height;
  f.data[0] = data;
  f.data[1] = data + luma;
  f.data[2] = data + luma + luma / 4;
  f.stride[0] = width;
  f.stride[1] = f.stride[2] = width / 2;
  return f;
}

}  // namespace

bool make_clip(const Picture& picture, int width, int height, int frames, int dx, int dy,
               Clip& clip, std::string& error) {
  if (picture.channels != 3 || picture.maxval != 255) {
    error = "the picture is not 8-bit RGB";
    return false;
  }
  if (width + dx * (frames - 1) > picture.width || height + dy * (frames - 1) > picture.height) {
    error = "the window leaves the picture";
    return false;
  }
  clip.width = width;
  clip.height = height;
  clip.frames.assign(frames, std::vector<uint8_t>(frame_bytes(width, height)));
  std::vector<double> y(static_cast<size_t>(width) * height), cb(y.size()), cr(y.size());
  for (int n = 0; n < frames; ++n) {
    for (int r = 0; r < height; ++r) {
      for (int x = 0; x < width; ++x) {
        const uint8_t* px =
            &picture.samples[(static_cast<size_t>(r + dy * n) * picture.width + x + dx * n) * 3];
        const double luma = 0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2];
        const size_t at = static_cast<size_t>(r) * width + x;
        y[at] = luma;
        cb[at] = 128 + 0.564 * (px[2] - luma);
        cr[at] = 128 + 0.713 * (px[0] - luma);
      }
    }
    uint8_t* out = clip.frames[n].data();
    for (size_t i = 0; i < y.size(); ++i) out[i] = to_byte(y[i]);
    uint8_t* ocb = out + y.size();
    uint8_t* ocr = ocb + y.size() / 4;
    for (int r = 0; r < height / 2; ++r) {
      for (int x = 0; x < width / 2; ++x) {
        const size_t a = static_cast<size_t>(2 * r) * width + 2 * x;
        const size_t at = static_cast<size_t>(r) * (width / 2) + x;
        ocb[at] = to_byte((cb[a] + cb[a + 1] + cb[a + width] + cb[a + width + 1]) / 4);
        ocr[at] = to_byte((cr[a] + cr[a + 1] + cr[a + width] + cr[a + width + 1]) / 4);
      }
    }
  }
  return true;
}

Clip add_noise(const Clip& clip, double sigma, uint64_t seed) {
  Clip noisy = clip;
  NoiseSource source = noise_source(seed);
  for (auto& frame : noisy.frames) add_gaussian_noise(frame, sigma, source);
  return noisy;
}

bool denoise_clip(const Clip& clip, const zolta_settings& settings, int radius, Clip& out,
                  std::string& error) {
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream.family = ZOLTA_FAMILY_YUV420;
  config.stream.width = clip.width;
  config.stream.height = clip.height;
  config.settings = settings;
  config.temporal_radius = radius;
  zolta_denoiser* d = nullptr;
  zolta_error e{};
  if (zolta_denoiser_create(&config, &d, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  out = clip;
  const int count = static_cast<int>(clip.frames.size());
  std::vector<zolta_frame> in(count);
  for (int n = 0; n < count; ++n) {
    in[n] = frame_of(const_cast<uint8_t*>(clip.frames[n].data()), clip.width, clip.height);
  }
  bool ok = true;
  for (int n = 0; n < count && ok; ++n) {
    const zolta_frame* window[5];
    for (int k = -radius; k <= radius; ++k) {
      int i = n + k;
      if (i < 0) i = -i;
      if (i >= count) i = 2 * (count - 1) - i;
      window[k + radius] = &in[i];
    }
    const zolta_frame result = frame_of(out.frames[n].data(), clip.width, clip.height);
    ok = zolta_denoiser_process_window(d, window, 2 * radius + 1, &result, &e) == ZOLTA_OK;
  }
  if (!ok) error = e.message;
  zolta_denoiser_destroy(d);
  return ok;
}

namespace {

double psnr_of(double squares, double samples) {
  if (squares == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 * samples / squares);
}

double squares_of(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double s = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    s += d * d;
  }
  return s;
}

}  // namespace

double clip_psnr(const Clip& a, const Clip& b) {
  double squares = 0, samples = 0;
  for (size_t n = 0; n < a.frames.size(); ++n) {
    squares += squares_of(a.frames[n], b.frames[n]);
    samples += static_cast<double>(a.frames[n].size());
  }
  return psnr_of(squares, samples);
}

double frame_psnr(const Clip& a, const Clip& b, size_t n) {
  return psnr_of(squares_of(a.frames[n], b.frames[n]), static_cast<double>(a.frames[n].size()));
}

bool write_clip(const std::string& path, const Clip& clip, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot write " + path;
    return false;
  }
  std::fprintf(f, "YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C420jpeg\n", clip.width, clip.height);
  for (const auto& frame : clip.frames) {
    std::fputs("FRAME\n", f);
    std::fwrite(frame.data(), 1, frame.size(), f);
  }
  const bool ok = std::fclose(f) == 0;
  if (!ok) error = "cannot write " + path;
  return ok;
}

bool read_clip(const std::string& path, Clip& clip, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot read " + path;
    return false;
  }
  char line[1024];
  bool ok = std::fgets(line, sizeof line, f) && std::strncmp(line, "YUV4MPEG2 ", 10) == 0;
  clip = Clip{};
  for (char* t = std::strtok(line + 10, " \n"); ok && t; t = std::strtok(nullptr, " \n")) {
    if (t[0] == 'W') clip.width = std::atoi(t + 1);
    if (t[0] == 'H') clip.height = std::atoi(t + 1);
    if (t[0] == 'C' && std::strncmp(t, "C420", 4) != 0) ok = false;
  }
  ok = ok && clip.width > 0 && clip.height > 0;
  while (ok && std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "FRAME", 5) != 0) {
      ok = false;
      break;
    }
    std::vector<uint8_t> frame(frame_bytes(clip.width, clip.height));
    ok = std::fread(frame.data(), 1, frame.size(), f) == frame.size();
    clip.frames.push_back(std::move(frame));
  }
  std::fclose(f);
  if (!ok) error = path + " is not a 4:2:0 8-bit YUV4MPEG2 clip";
  return ok;
}

bool read_photo(const std::string& path, Picture& picture, std::string& error) {
  if (!read_png_file(path, picture, error)) return false;
  if (picture.channels == 3 && picture.maxval == 255) return true;
  error = path + " is not an 8-bit RGB picture";
  return false;
}
