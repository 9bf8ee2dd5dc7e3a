// The measurement behind the noise-level table: photographs with Gaussian
// noise of standard deviation 1, 2, ... (added to their R, G and B bytes with
// a fixed seed, as zolta-run's demo adds it), and for each level the best
// point of the settings grid (sigma_search.h) by PSNR against the clean
// photograph, averaged over the photographs.
//
// usage: sigma_grid [--sigmas FIRST-LAST] [--seed N] PICTURE.png...
// Prints one tab-separated line per sigma (the first line names the columns).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "noise.h"
#include "picture_denoise.h"
#include "png_io.h"
#include "sigma_search.h"

namespace {

struct Case {
  std::string path;
  RgbPicture clean;
  RgbPicture noisy;
};

bool read_picture(const std::string& path, RgbPicture& picture, std::string& error) {
  ByteReader reader;
  if (!open_reader(reader, path, error)) return false;
  const bool ok = starts_png(reader) && read_png(reader, picture, error);
  if (!ok && error.empty()) error = path + " is not a PNG picture";
  close_reader(reader);
  return ok;
}

double mean_psnr(const std::vector<Case>& cases, const zolta_settings& settings) {
  double sum = 0;
  RgbPicture out;
  std::string error;
  for (const Case& c : cases) {
    if (!denoise_picture(c.noisy, settings, out, error)) {
      std::fprintf(stderr, "sigma_grid: %s\n", error.c_str());
      std::exit(1);
    }
    sum += psnr(c.clean.rgb, out.rgb);
  }
  return sum / cases.size();
}

std::string thresholds_text(const zolta_settings& s) {
  std::string text;
  for (int p = 0; p < 3; ++p) {
    for (int d = 0; d < 2; ++d) {
      for (int l = 0; l < 3; ++l) {
        text += (text.empty() ? "" : " ") + std::to_string(s.thresholds[p][d][l]);
      }
    }
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1, last = 50;
  uint64_t seed = 2026;
  std::vector<Case> cases;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--sigmas" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%d-%d", &first, &last) != 2 || first < 1 || last < first) {
        std::fprintf(stderr, "sigma_grid: --sigmas takes FIRST-LAST\n");
        return 2;
      }
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else {
      Case c;
      c.path = arg;
      std::string error;
      if (!read_picture(arg, c.clean, error)) {
        std::fprintf(stderr, "sigma_grid: %s\n", error.c_str());
        return 1;
      }
      cases.push_back(c);
    }
  }
  if (cases.empty()) {
    std::fprintf(stderr, "usage: sigma_grid [--sigmas FIRST-LAST] [--seed N] PICTURE.png...\n");
    return 2;
  }

  std::printf("sigma\tpsnr_noisy\tpsnr_best\tevaluations\tthresholds\tpoint\n");
  // The first start is a guess; each later level starts from the best point
  // of the level before, its thresholds scaled with the noise.
  GridPoint start = grid_point_near(19.0 * first, 0.35, 0.2, 1.0, 1.2);
  for (int sigma = first; sigma <= last; ++sigma) {
    double noisy = 0;
    for (Case& c : cases) {
      c.noisy = c.clean;
      NoiseSource source = noise_source(seed);
      add_gaussian_noise(c.noisy.rgb, sigma, source);
      noisy += psnr(c.clean.rgb, c.noisy.rgb) / cases.size();
    }
    const SearchResult best =
        search_grid(start, 0, [&](const zolta_settings& s) { return mean_psnr(cases, s); });
    std::printf("%d\t%.3f\t%.3f\t%d\t%s\t%s\n", sigma, noisy, best.score, best.evaluations,
                thresholds_text(grid_settings(best.point)).c_str(),
                grid_point_text(best.point).c_str());
    std::fflush(stdout);
    start = best.point;
    start.index[kBase] += static_cast<int>(std::lround(8 * std::log2((sigma + 1.0) / sigma)));
  }
  return 0;
}
