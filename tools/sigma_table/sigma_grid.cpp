// SPDX-License-Identifier: BSD-2-Clause
// The measurement behind the noise-level table (engine/sigma_table.cpp):
// photographs with Gaussian noise of standard deviation 1, 2, ... added to
// their R, G and B bytes with a fixed seed (as zolta-run's demo adds it), and
// for each level the best point of the settings grid (sigma_search.h) by PSNR
// against the clean photograph, averaged over the photographs.
//
// usage: sigma_grid [--sigmas FIRST-LAST] [--seed N] [--table FILE] PICTURE.png...
//        sigma_grid --sigmas S-S --evaluate "T1 ... T18" PICTURE.png...
//        sigma_grid --sigmas S-S --mapping PICTURE.png...
// Prints one tab-separated line per level (the first line names the columns);
// --table writes the rows of engine/sigma_table.cpp.
// --evaluate scores the eighteen given thresholds instead of searching.
// --mapping checks the library's table instead (the table of doc/settings-from-noise.md): for each
// level, the settings it gives for the level given (as zolta-run --sigma S on
// an RGB picture chooses them) and for the level measured on the noisy
// picture (--sigma auto), with their PSNR and the best of the grid near them.
// --cap T holds every threshold the search tries at T at most (255: the legacy
// faces' range).
#include <algorithm>
#include <array>
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
  Picture clean;
  Picture noisy;
};

// One level of noise: the noise the planes got and the best of the grid.
struct Row {
  int sigma;
  double plane_sigma[3];
  double psnr_noisy;
  SearchResult best;
};

bool read_picture(const std::string& path, Picture& picture, std::string& error) {
  if (!read_png_file(path, picture, error)) return false;
  if (picture.channels == 3 && picture.maxval == 255) return true;
  error = path + " is not an 8-bit RGB picture";
  return false;
}

// Largest threshold the search may use (--cap; the legacy faces stop at 255).
int32_t g_cap = ZOLTA_THRESHOLD_MAX;

double mean_psnr(const std::vector<Case>& cases, const zolta_settings& given) {
  zolta_settings settings = given;
  for (auto& plane : settings.thresholds) {
    for (auto& direction : plane) {
      for (auto& v : direction) v = std::min(v, g_cap);
    }
  }
  double sum = 0;
  Picture out;
  std::string error;
  for (const Case& c : cases) {
    if (!denoise_picture(c.noisy, settings, out, error)) {
      std::fprintf(stderr, "sigma_grid: %s\n", error.c_str());
      std::exit(1);
    }
    sum += psnr(c.clean.samples, out.samples);
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

// The nearest non-decreasing sequence in the least-squares sense (pool
// adjacent violators): the best points of neighbouring levels scatter a little
// where PSNR hardly changes, and the table should never lower a threshold
// when the noise grows.
std::vector<double> non_decreasing(const std::vector<double>& v) {
  std::vector<double> mean;
  std::vector<int> count;
  for (double x : v) {
    mean.push_back(x);
    count.push_back(1);
    while (mean.size() > 1 && mean[mean.size() - 2] > mean.back()) {
      const size_t k = mean.size() - 1;
      mean[k - 1] = (mean[k - 1] * count[k - 1] + mean[k] * count[k]) / (count[k - 1] + count[k]);
      count[k - 1] += count[k];
      mean.pop_back();
      count.pop_back();
    }
  }
  std::vector<double> out;
  for (size_t k = 0; k < mean.size(); ++k) out.insert(out.end(), count[k], mean[k]);
  return out;
}

// The table's rows for luma (plane 0) or chroma (plane 1): the best
// thresholds of each level of noise, each of the six made non-decreasing.
std::vector<std::array<int32_t, 6>> table_rows(const std::vector<Row>& rows, int plane) {
  std::vector<std::array<int32_t, 6>> out(rows.size());
  for (int k = 0; k < 6; ++k) {
    std::vector<double> column;
    for (const Row& r : rows)
      column.push_back(grid_settings(r.best.point).thresholds[plane][k / 3][k % 3]);
    column = non_decreasing(column);
    for (size_t i = 0; i < rows.size(); ++i) {
      out[i][k] = static_cast<int32_t>(std::lround(column[i]));
    }
  }
  return out;
}

void write_table(const std::string& path, const std::vector<Row>& rows, uint64_t seed,
                 const std::vector<Case>& cases) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) {
    std::fprintf(stderr, "sigma_grid: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fprintf(f, "// sigma_grid, seed %llu, pictures:", static_cast<unsigned long long>(seed));
  for (const Case& c : cases) std::fprintf(f, " %s", c.path.c_str());
  std::fprintf(f, "\n// {sigma of the plane, thresholds [direction][level]}, luma then chroma\n");
  for (int plane = 0; plane < 2; ++plane) {
    const auto t = table_rows(rows, plane);
    for (size_t i = 0; i < rows.size(); ++i) {
      const Row& r = rows[i];
      const double key = plane == 0 ? r.plane_sigma[0] : (r.plane_sigma[1] + r.plane_sigma[2]) / 2;
      std::fprintf(f, "    {%.2ff, {{%d, %d, %d}, {%d, %d, %d}}},\n", key, t[i][0], t[i][1],
                   t[i][2], t[i][3], t[i][4], t[i][5]);
    }
  }
  std::fclose(f);
}

// Settings through the public interface for noise per plane, or a failure.
zolta_settings table_settings(const float sigma[3]) {
  zolta_settings settings;
  zolta_error error{};
  float clamped[3];
  for (int p = 0; p < 3; ++p) clamped[p] = std::min(std::max(sigma[p], 0.01f), 50.0f);
  if (zolta_settings_for_sigma(clamped, ZOLTA_FAMILY_RGB24, &settings, &error) != ZOLTA_OK) {
    std::fprintf(stderr, "sigma_grid: %s\n", error.message);
    std::exit(1);
  }
  return settings;
}

void check_mapping(const std::vector<Case>& cases, int sigma, const Row& row) {
  float given[3];
  const float rgb[3] = {static_cast<float>(sigma), static_cast<float>(sigma),
                        static_cast<float>(sigma)};
  zolta_noise_to_planes(rgb, ZOLTA_FAMILY_RGB24, given, nullptr);
  const zolta_settings by_level = table_settings(given);
  double measured = 0, best = 0;
  for (const Case& c : cases) {
    const std::vector<Case> one = {c};
    float estimate[3];
    zolta_error error{};
    const zolta_stream stream = {ZOLTA_API_VERSION,
                                 ZOLTA_FAMILY_RGB24,
                                 ZOLTA_SAMPLE_INTEGER,
                                 8,
                                 c.noisy.width,
                                 c.noisy.height,
                                 {}};
    const zolta_frame frame = {ZOLTA_API_VERSION,
                               {const_cast<uint8_t*>(c.noisy.samples.data()), nullptr, nullptr},
                               {c.noisy.width * 3, 0, 0},
                               {0, 0, 0},
                               0,
                               {}};
    if (zolta_noise_estimate(&stream, &frame, estimate, &error) != ZOLTA_OK) {
      std::fprintf(stderr, "sigma_grid: %s\n", error.message);
      std::exit(1);
    }
    const zolta_settings chosen = table_settings(estimate);
    measured += mean_psnr(one, chosen) / cases.size();
    best += search_grid(grid_point_for(chosen), 3,
                        [&](const zolta_settings& s) { return mean_psnr(one, s); })
                .score /
            cases.size();
  }
  std::string list = thresholds_text(by_level);
  for (char& ch : list) ch = ch == ' ' ? ',' : ch;
  std::printf("| %d | `%s` | %.2f | %.2f | %.2f | %.2f |\n", sigma, list.c_str(), row.psnr_noisy,
              mean_psnr(cases, by_level), measured, best);
  std::fflush(stdout);
}

zolta_settings parse_thresholds(const std::string& text) {
  zolta_settings given{};
  given.enabled = 1;
  int32_t* t = &given.thresholds[0][0][0];
  const char* p = text.c_str();
  for (int k = 0; k < 18; ++k) {
    char* end;
    t[k] = static_cast<int32_t>(std::strtol(p, &end, 10));
    if (end == p) {
      std::fprintf(stderr, "sigma_grid: --evaluate takes eighteen integers\n");
      std::exit(2);
    }
    p = end;
  }
  return given;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1, last = 50;
  uint64_t seed = 2026;
  std::string evaluate, table;
  bool mapping = false;
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
    } else if (arg == "--evaluate" && i + 1 < argc) {
      evaluate = argv[++i];
    } else if (arg == "--cap" && i + 1 < argc) {
      g_cap = static_cast<int32_t>(std::strtol(argv[++i], nullptr, 10));
    } else if (arg == "--mapping") {
      mapping = true;
    } else if (arg == "--table" && i + 1 < argc) {
      table = argv[++i];
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
    std::fprintf(stderr,
                 "usage: sigma_grid [--sigmas FIRST-LAST] [--seed N] [--table FILE] "
                 "[--evaluate \"T1 ... T18\"] PICTURE.png...\n");
    return 2;
  }

  if (mapping) {
    std::printf(
        "| sigma | settings for --sigma S (--thresholds) | PSNR noisy | --sigma S |"
        " --sigma auto | grid best |\n|---:|---|---:|---:|---:|---:|\n");
  } else {
    std::printf(
        "sigma\tsigma_y\tsigma_cb\tsigma_cr\tpsnr_noisy\tpsnr_best\tevaluations\t"
        "thresholds\tpoint\n");
  }
  std::vector<Row> rows;
  // The first start is a guess; each later level starts from the best point
  // of the level before, its thresholds scaled with the noise.
  GridPoint start = grid_point_near(14.0 * first, 0.35, 0.25, 1.0, 1.2);
  for (int sigma = first; sigma <= last; ++sigma) {
    Row row{sigma, {0, 0, 0}, 0, {}};
    for (Case& c : cases) {
      c.noisy = c.clean;
      NoiseSource source = noise_source(seed);
      add_gaussian_noise(c.noisy.samples, sigma, source);
      row.psnr_noisy += psnr(c.clean.samples, c.noisy.samples) / cases.size();
      double planes[3];
      plane_noise(c.clean, c.noisy, planes);
      for (int p = 0; p < 3; ++p) row.plane_sigma[p] += planes[p] / cases.size();
    }
    if (mapping) {
      check_mapping(cases, sigma, row);
      continue;
    }
    if (!evaluate.empty()) {
      const zolta_settings given = parse_thresholds(evaluate);
      row.best.score = mean_psnr(cases, given);
      std::printf("%d\t%.2f\t%.2f\t%.2f\t%.3f\t%.3f\t1\t%s\t(given)\n", sigma, row.plane_sigma[0],
                  row.plane_sigma[1], row.plane_sigma[2], row.psnr_noisy, row.best.score,
                  thresholds_text(given).c_str());
      continue;
    }
    row.best = search_grid(start, 0, [&](const zolta_settings& s) { return mean_psnr(cases, s); });
    std::printf("%d\t%.2f\t%.2f\t%.2f\t%.3f\t%.3f\t%d\t%s\t%s\n", sigma, row.plane_sigma[0],
                row.plane_sigma[1], row.plane_sigma[2], row.psnr_noisy, row.best.score,
                row.best.evaluations, thresholds_text(grid_settings(row.best.point)).c_str(),
                grid_point_text(row.best.point).c_str());
    std::fflush(stdout);
    rows.push_back(row);
    start = row.best.point;
    if (start.index[kBase] == 0) start.index[kBase] = 1;
    start.index[kBase] += static_cast<int>(std::lround(8 * std::log2((sigma + 1.0) / sigma)));
  }
  if (!table.empty() && !rows.empty()) write_table(table, rows, seed, cases);
  return 0;
}
