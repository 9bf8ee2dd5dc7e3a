#include "demo.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "noise.h"
#include "output_file.h"
#include "paths.h"
#include "png_io.h"
#include "standard_streams.h"

#ifndef ZOLTA_DEMO_PICTURE
#define ZOLTA_DEMO_PICTURE "data/astronaut.png"
#endif

const ConfigValues kDemoSettings = {49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224};

namespace {

bool read_picture(const std::string& path, RgbPicture& picture, std::string& error) {
  ByteReader reader;
  if (!open_reader(reader, path, error)) return false;
  bool ok = starts_png(reader);
  if (!ok) error = path + " is not a PNG picture";
  ok = ok && read_png(reader, picture, error);
  close_reader(reader);
  return ok;
}

bool save_picture(const std::string& path, const RgbPicture& picture, std::string& error) {
  OutputFile out;
  if (!open_output(out, path, error)) return false;
  if (!write_png(out.file, picture, error)) {
    discard_output(out);
    return false;
  }
  return commit_output(out, error);
}

std::string config_text(const ConfigValues& values) {
  std::string text = "Config(";
  for (size_t k = 0; k < values.size(); ++k) {
    text += (k ? ", " : "") + std::to_string(values[k]);
  }
  return text + ")";
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

int run_demo(const LoadedLibrary& library, const RunOptions& options) {
  std::string error;
  const std::string source = options.picture.empty() ? ZOLTA_DEMO_PICTURE : options.picture;
  ConfigValues settings = kDemoSettings;
  if (!options.demo_config.empty() && !parse_config_call(options.demo_config, settings, error)) {
    std::fprintf(stderr, "zolta-run: %s\n", error.c_str());
    return 1;  // a settings fault, as with --config
  }
  RgbPicture clean;
  if (!read_picture(source, clean, error)) {
    std::fprintf(stderr, "zolta-run: %s\n", error.c_str());
    return 1;
  }
  RgbPicture noisy = clean, denoised;
  NoiseSource noise = noise_source(options.seed);
  add_gaussian_noise(noisy.rgb, options.sigma, noise);
  if (!filter_rgb_picture(library, settings, noisy, denoised, error)) {
    std::fprintf(stderr, "zolta-run: %s\n", error.c_str());
    return 1;
  }

  std::string dir = options.out_dir.empty() ? executable_directory() + "demo" : options.out_dir;
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

  const double before = psnr(clean.rgb, noisy.rgb);
  const double after = psnr(clean.rgb, denoised.rgb);
  std::printf("zolta-run demo: %s (%d x %d), Gaussian noise sigma %g, seed %llu\n", source.c_str(),
              clean.width, clean.height, options.sigma,
              static_cast<unsigned long long>(options.seed));
  std::printf("filter: VirtualDub path, %s\n", config_text(settings).c_str());
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
