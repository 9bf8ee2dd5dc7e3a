// SPDX-License-Identifier: BSD-2-Clause
#include "demo.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "denoise_stream.h"
#include "noise.h"
#include "output_file.h"
#include "png_io.h"
#include "program_directory.h"
#include "settings.h"
#include "standard_streams.h"

// The folder of the installed data, relative to the program's folder.
#ifndef ZOLTA_DATA_FROM_BINDIR
#define ZOLTA_DATA_FROM_BINDIR "../share/zolta"
#endif

namespace {

const char kDemoPicture[] = "astronaut.png";

bool is_regular_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Where the demo reads its photograph and, unless told, writes its pictures.
// Installed, the photograph lies in the data folder (share/zolta) and the
// pictures go to zolta-demo/ in the working directory; in the build tree the
// photograph lies in share/zolta beside the program and the pictures go to
// demo/ beside it. --picture and --out-dir name others.
bool demo_places(const RunOptions& options, std::string& picture, std::string& dir,
                 std::string& error) {
  const std::string program = program_directory();
  const std::string installed =
      program.empty() ? std::string() : program + ZOLTA_DATA_FROM_BINDIR + "/" + kDemoPicture;
  const std::string build_tree =
      program.empty() ? std::string() : program + "share/zolta/" + kDemoPicture;
  const bool is_installed = !installed.empty() && is_regular_file(installed);
  dir = options.out_dir;
  if (dir.empty()) dir = is_installed ? "zolta-demo" : program + "demo";
  picture = options.picture;
  if (!picture.empty()) return true;
  if (is_installed) {
    picture = installed;
  } else if (!build_tree.empty() && is_regular_file(build_tree)) {
    picture = build_tree;
  } else if (program.empty()) {
    error =
        "cannot tell where this program lies to find the demo's photograph; name a PNG "
        "with --picture";
    return false;
  } else {
    error = "the demo's photograph is in neither " + installed + " nor " + build_tree +
            "; name a PNG with --picture";
    return false;
  }
  return true;
}

bool read_picture(const std::string& path, Picture& picture, std::string& error) {
  bool ok = read_png_file(path, picture, error);
  if (ok && (picture_wide(picture) || picture.channels == 2 || picture.channels == 4)) {
    error = path + ": the demo takes 8-bit RGB or grey pictures without alpha";
    ok = false;
  }
  return ok;
}

// The settings the library's table gives for the noise the demo adds, or the
// ones --demo-config names.
bool demo_settings(const RunOptions& options, zolta_settings& settings, std::string& error) {
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  zolta_error e{};
  if (!options.demo_config.empty()) {
    ConfigValues values{};
    if (!parse_config_call(options.demo_config, values, error)) return false;
    if (zolta_config_unpack(values.data(), ZOLTA_UNPACK_STRICT, &settings, &e) == ZOLTA_OK)
      return true;
  } else {
    if (options.sigma <= 0) return true;  // no noise: nothing to take away
    // The noise is added to R, G and B.
    const float rgb[3] = {static_cast<float>(options.sigma), static_cast<float>(options.sigma),
                          static_cast<float>(options.sigma)};
    float sigma[3];
    if (zolta_noise_to_planes(rgb, ZOLTA_FAMILY_RGB24, sigma, &e) != ZOLTA_OK) {
      error = e.message;
      return false;
    }
    for (float& s : sigma) s = std::min(s, 50.0f);
    if (zolta_settings_for_sigma(sigma, ZOLTA_FAMILY_RGB24, &settings, &e) == ZOLTA_OK) return true;
  }
  error = e.message;
  return false;
}

bool save_picture(const std::string& path, const Picture& picture, std::string& error) {
  OutputFile out;
  if (!open_output(out, path, error)) return false;
  if (!write_png(out.file, picture, error)) {
    discard_output(out);
    return false;
  }
  return commit_output(out, error);
}

// PSNR in dB; pictures without any difference (no noise at --sigma 0) have
// no finite figure and are reported as identical.
std::string psnr_text(double db) {
  if (std::isinf(db)) return "identical (no difference)";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f dB", db);
  return text;
}

std::string file_stem(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

int run_demo(const RunOptions& options) {
  std::string error;
  zolta_settings settings;
  if (!demo_settings(options, settings, error)) {
    std::fprintf(stderr, "zolta-run: %s\n", error.c_str());
    return 1;  // a settings fault, as with --config
  }
  std::string source, dir;
  if (!demo_places(options, source, dir, error)) {
    std::fprintf(stderr, "zolta-run: %s\n", error.c_str());
    return 1;
  }
  Picture clean;
  if (!read_picture(source, clean, error)) {
    std::fprintf(stderr, "zolta-run: %s\n", error.c_str());
    return 1;
  }
  Picture noisy = clean;
  NoiseSource noise = noise_source(options.seed);
  add_gaussian_noise(noisy.samples, options.sigma, noise);
  Picture denoised = noisy;
  if (!denoise_picture(settings, denoised, error)) {
    std::fprintf(stderr, "zolta-run: %s\n", error.c_str());
    return 1;
  }

  if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "zolta-run: cannot create %s: %s\n", dir.c_str(), std::strerror(errno));
    return 1;
  }
  if (dir.back() != '/') dir += '/';
  const std::string stem = file_stem(source);
  const std::string noisy_path = dir + stem + "-noisy.png";
  const std::string denoised_path = dir + stem + "-denoised.png";
  if (!save_picture(noisy_path, noisy, error) || !save_picture(denoised_path, denoised, error)) {
    std::fprintf(stderr, "zolta-run: %s\n", error.c_str());
    return 1;
  }

  const double before = psnr(clean.samples, noisy.samples);
  const double after = psnr(clean.samples, denoised.samples);
  std::printf("zolta-run demo: %s (%d x %d), Gaussian noise sigma %g, seed %llu\n", source.c_str(),
              clean.width, clean.height, options.sigma,
              static_cast<unsigned long long>(options.seed));
  const std::string config = config_text(settings);
  std::printf("settings: --thresholds %s%s%s\n", thresholds_text(settings).c_str(),
              config.empty() ? "" : "\n          ", config.c_str());
  std::printf("PSNR noisy:    %s\n", psnr_text(before).c_str());
  if (std::isinf(before) || std::isinf(after)) {
    std::printf("PSNR denoised: %s\n", psnr_text(after).c_str());
  } else {
    std::printf("PSNR denoised: %.2f dB (%+.2f dB)\n", after, after - before);
  }
  std::printf("written: %s\n         %s\n", noisy_path.c_str(), denoised_path.c_str());
  if (standard_stream_closed(1) || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "zolta-run: cannot write the demo's report to standard output: %s\n",
                 standard_stream_closed(1) ? "it is closed" : std::strerror(errno));
    return 1;
  }
  return 0;
}
