// SPDX-License-Identifier: BSD-2-Clause
// The measurements behind the temporal settings of the noise-level table
// (engine/temporal_table.cpp) and behind the benchmark of bench/temporal.sh.
//
//   temporal_grid [--sigmas 5,10,20] PHOTO...
//       For every noise level: clips of 40 frames (384 x 256, still and
//       panning 2 px right and 1 px down per frame) from each photograph
//       with Gaussian noise of sigma on every plane, the spatial settings of
//       zolta_settings_for_sigma, and for radius 1 and 2 the grid of the
//       temporal threshold (a multiple of sigma), the spatial share and the
//       detail restored: prints, among the points that leave no panning
//       clip below radius 0, the one whose worst clip falls least short of
//       that clip's own best point (then the best mean PSNR), and
//       each clip's PSNR at radius 0, at the best point and at the point best
//       for that clip alone.
//   temporal_grid --clips DIR --sigmas 10,20 PHOTO...
//       Writes DIR/NAME-MOTION-clean.y4m and DIR/NAME-MOTION-sSIGMA.y4m.
//   temporal_grid --hard [--sigmas 10,20,30,50] [--seeds N]
//                 [--size WIDTH HEIGHT FRAMES] PHOTO...
//       The clips of hard_clips.h (384 x 256, 20 frames) from each
//       photograph, clean and with Gaussian noise of sigma, denoised with the
//       settings for sigma at radius 0, 1 and 2: prints for each clip the
//       PSNR of the clip and the lowest per-frame luma PSNR gain over radius
//       0 at radius 1 and 2 (negative: some frame lost); with N seeds, each
//       noisy clip N times with other noise: the mean PSNR, the lowest gain
//       over them and how many lose more than 0.1 dB on a frame.
//   temporal_grid --psnr CLEAN OUT [BASE]
//       PSNR of OUT against CLEAN over the clip; with BASE, also the lowest
//       difference per frame of OUT's PSNR less BASE's.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "clips.h"
#include "hard_clips.h"

namespace {

constexpr int kWidth = 384, kHeight = 256, kFrames = 40;
constexpr uint64_t kSeed = 2026;

struct Motion {
  const char* name;
  int dx, dy;
};
const Motion kMotions[] = {{"still", 0, 0}, {"pan", 2, 1}};

std::string base_name(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::vector<double> parse_list(const char* text) {
  std::vector<double> out;
  for (const char* p = text; *p;) {
    out.push_back(std::atof(p));
    const char* comma = std::strchr(p, ',');
    if (!comma) break;
    p = comma + 1;
  }
  return out;
}

[[noreturn]] void die(const std::string& message) {
  std::fprintf(stderr, "temporal_grid: %s\n", message.c_str());
  std::exit(1);
}

struct Case {
  std::string name;
  Clip clean, noisy;
};

zolta_settings settings_for(double sigma) {
  const float s[3] = {static_cast<float>(sigma), static_cast<float>(sigma),
                      static_cast<float>(sigma)};
  zolta_settings settings;
  zolta_error e{};
  if (zolta_settings_for_noise(s, ZOLTA_FAMILY_YUV420, &settings, &e) != ZOLTA_OK) die(e.message);
  return settings;
}

zolta_settings with_temporal(zolta_settings s, double sigma, double factor, int share, int restore,
                             int radius) {
  const int32_t v = static_cast<int32_t>(std::lround(16 * factor * sigma));
  for (int32_t& t : s.temporal_thresholds) t = std::min(v, ZOLTA_THRESHOLD_MAX);
  s.temporal_spatial_share[radius - 1] = share;
  s.temporal_restore[radius - 1] = restore;
  return s;
}

double run(const Case& c, const zolta_settings& s, int radius, Clip* keep = nullptr) {
  Clip out;
  std::string error;
  if (!denoise_clip(c.noisy, s, radius, out, error)) die(error);
  const double p = clip_psnr(c.clean, out);
  if (keep) *keep = std::move(out);
  return p;
}

int psnr_mode(int argc, char** argv) {
  if (argc < 4) die("--psnr CLEAN OUT [BASE]");
  Clip clean, out, base;
  std::string error;
  if (!read_clip(argv[2], clean, error) || !read_clip(argv[3], out, error)) die(error);
  if (out.frames.size() != clean.frames.size()) die("the clips have different lengths");
  std::printf("%.2f", clip_psnr(clean, out));
  if (argc > 4) {
    if (!read_clip(argv[4], base, error)) die(error);
    double lowest = INFINITY;
    for (size_t n = 0; n < clean.frames.size(); ++n) {
      lowest = std::min(lowest, frame_psnr(clean, out, n) - frame_psnr(clean, base, n));
    }
    std::printf(" %+.2f", lowest);
  }
  std::printf("\n");
  return 0;
}

// The lowest per-frame luma gain of `out` over `base` (0 where equal).
double lowest_gain(const Clip& clean, const Clip& out, const Clip& base) {
  double lowest = INFINITY;
  for (size_t n = 0; n < out.frames.size(); ++n) {
    const double a = frame_luma_psnr(clean, out, n);
    const double b = frame_luma_psnr(clean, base, n);
    lowest = std::min(lowest, a == b ? 0.0 : a - b);
  }
  return lowest;
}

struct HardRun {
  int width = kWidth, height = kHeight, frames = 20;
  int seeds = 1;
};

// Per clip, radius 0's PSNR, and at radius 1 and 2 the PSNR and the lowest
// per-frame luma gain over radius 0; with more than one seed, per clip
// noisy the lowest gain over the seeds and how many seeds lose more than
// 0.1 dB on some frame.
void hard_mode(const std::vector<std::string>& photos, const std::vector<double>& sigmas,
               const HardRun& h) {
  for (const std::string& photo : photos) {
    Picture picture;
    std::string error;
    if (!read_photo(photo, picture, error)) die(error);
    const std::vector<NamedClip> clips = hard_clips(picture, h.width, h.height, h.frames);
    for (const double sigma : sigmas) {
      const zolta_settings s = settings_for(sigma);
      for (const bool noisy : {false, true}) {
        for (size_t i = 0; i < clips.size(); ++i) {
          Case c;
          c.name = base_name(photo) + "-" + clips[i].name;
          c.clean = clips[i].clip;
          const int seeds = noisy ? h.seeds : 1;
          double lowest[2] = {INFINITY, INFINITY}, psnr[3] = {};
          int losing[2] = {};
          for (int seed = 0; seed < seeds; ++seed) {
            c.noisy = noisy ? add_noise(c.clean, sigma, kSeed + 1000 * i + sigma + 7919 * seed)
                            : c.clean;
            Clip base;
            psnr[0] += run(c, s, 0, &base) / seeds;
            for (int radius = 1; radius <= 2; ++radius) {
              Clip out;
              psnr[radius] += run(c, s, radius, &out) / seeds;
              const double gain = lowest_gain(c.clean, out, base);
              lowest[radius - 1] = std::min(lowest[radius - 1], gain);
              losing[radius - 1] += gain < -0.1 ? 1 : 0;
            }
          }
          std::printf("sigma %2d %-5s %-28s r0 %6.2f", static_cast<int>(sigma),
                      noisy ? "noisy" : "clean", c.name.c_str(), psnr[0]);
          for (int radius = 1; radius <= 2; ++radius) {
            std::printf("  r%d %6.2f lowest %+6.2f", radius, psnr[radius], lowest[radius - 1]);
            if (seeds > 1) std::printf(" losing %d/%d", losing[radius - 1], seeds);
          }
          std::printf("\n");
          std::fflush(stdout);
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--psnr") == 0) return psnr_mode(argc, argv);
  std::vector<double> sigmas = {2, 5, 10, 15, 20, 30, 40};
  std::vector<double> factors = {0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 2.5, 3.0};
  std::vector<double> shares = {256, 224, 192, 160, 128, 96};
  std::vector<double> radii = {1, 2};
  std::vector<double> restores = {0};
  std::string clips_dir;
  bool hard = false, sigmas_given = false;
  HardRun hard_run;
  std::vector<std::string> photos;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sigmas") == 0 && i + 1 < argc) {
      sigmas = parse_list(argv[++i]);
      sigmas_given = true;
    } else if (std::strcmp(argv[i], "--factors") == 0 && i + 1 < argc) {
      factors = parse_list(argv[++i]);
    } else if (std::strcmp(argv[i], "--shares") == 0 && i + 1 < argc) {
      shares = parse_list(argv[++i]);
    } else if (std::strcmp(argv[i], "--restores") == 0 && i + 1 < argc) {
      restores = parse_list(argv[++i]);
    } else if (std::strcmp(argv[i], "--radii") == 0 && i + 1 < argc) {
      radii = parse_list(argv[++i]);
    } else if (std::strcmp(argv[i], "--hard") == 0) {
      hard = true;
    } else if (std::strcmp(argv[i], "--seeds") == 0 && i + 1 < argc) {
      hard_run.seeds = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--size") == 0 && i + 3 < argc) {
      hard_run.width = std::atoi(argv[++i]);
      hard_run.height = std::atoi(argv[++i]);
      hard_run.frames = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--clips") == 0 && i + 1 < argc) {
      clips_dir = argv[++i];
    } else {
      photos.push_back(argv[i]);
    }
  }
  if (photos.empty()) die("no photograph given");
  if (hard) {
    if (!sigmas_given) sigmas = {10, 20, 30, 50};
    hard_mode(photos, sigmas, hard_run);
    return 0;
  }
  std::vector<Case> clean_cases;
  for (const std::string& photo : photos) {
    Picture picture;
    std::string error;
    if (!read_photo(photo, picture, error)) die(error);
    for (const Motion& m : kMotions) {
      Case c;
      c.name = base_name(photo) + "-" + m.name;
      if (!make_clip(picture, kWidth, kHeight, kFrames, m.dx, m.dy, c.clean, error)) die(error);
      clean_cases.push_back(std::move(c));
    }
  }
  for (const double sigma_value : sigmas) {
    const int sigma = static_cast<int>(sigma_value);
    std::vector<Case> cases = clean_cases;
    for (size_t i = 0; i < cases.size(); ++i) {
      cases[i].noisy = add_noise(cases[i].clean, sigma, kSeed + 1000 * i + sigma);
    }
    if (!clips_dir.empty()) {
      std::string error;
      for (const Case& c : cases) {
        const std::string stem = clips_dir + "/" + c.name;
        if (!write_clip(stem + "-clean.y4m", c.clean, error) ||
            !write_clip(stem + "-s" + std::to_string(sigma) + ".y4m", c.noisy, error)) {
          die(error);
        }
      }
      continue;
    }
    const zolta_settings spatial = settings_for(sigma);
    std::vector<double> alone(cases.size());
    for (size_t i = 0; i < cases.size(); ++i) alone[i] = run(cases[i], spatial, 0);
    for (const double radius_value : radii) {
      const int radius = static_cast<int>(radius_value);
      // Every point of the grid on every clip first, then the choice.
      struct Point {
        double factor;
        int share, restore;
        std::vector<double> psnr;
        bool smears;
      };
      std::vector<Point> points;
      std::vector<double> clip_best(cases.size(), -1.0);  // each clip's own best point
      for (const double factor : factors) {
        for (const double share_value : shares) {
          for (const double restore_value : restores) {
            Point point{
                factor, static_cast<int>(share_value), static_cast<int>(restore_value), {}, false};
            const zolta_settings s =
                with_temporal(spatial, sigma, factor, point.share, point.restore, radius);
            for (size_t i = 0; i < cases.size(); ++i) {
              const double p = run(cases[i], s, radius);
              point.psnr.push_back(p);
              clip_best[i] = std::max(clip_best[i], p);
              // Points that leave a moving clip below radius 0 are out.
              point.smears =
                  point.smears || (cases[i].name.find("-pan") != std::string::npos && p < alone[i]);
            }
            points.push_back(point);
          }
        }
      }
      // The point whose worst clip falls least short of that clip's own best
      // (hundredths of a dB), then the best mean.
      double best = -1, best_factor = 0, best_shortfall = -INFINITY;
      int best_share = 0, best_restore = 0;
      for (const Point& point : points) {
        if (point.smears) continue;
        double sum = 0, shortfall = INFINITY;
        for (size_t i = 0; i < cases.size(); ++i) {
          sum += point.psnr[i];
          shortfall = std::min(shortfall, std::round(100.0 * (point.psnr[i] - clip_best[i])));
        }
        const double mean = sum / static_cast<double>(cases.size());
        if (shortfall > best_shortfall || (shortfall == best_shortfall && mean > best)) {
          best_shortfall = shortfall;
          best = mean;
          best_factor = point.factor;
          best_share = point.share;
          best_restore = point.restore;
        }
      }
      std::printf("sigma %d radius %d: factor %.2f share %d restore %d, mean %.2f dB;", sigma,
                  radius, best_factor, best_share, best_restore, best);
      const zolta_settings s =
          with_temporal(spatial, sigma, best_factor, best_share, best_restore, radius);
      for (size_t i = 0; i < cases.size(); ++i) {
        Clip out, base;
        std::string error;
        const double p = run(cases[i], s, radius, &out);
        run(cases[i], spatial, 0, &base);
        double lowest = INFINITY;
        for (size_t n = 0; n < out.frames.size(); ++n) {
          const double gain =
              frame_psnr(cases[i].clean, out, n) - frame_psnr(cases[i].clean, base, n);
          lowest = std::min(lowest, gain);
          if (std::getenv("TEMPORAL_GRID_FRAMES")) std::fprintf(stderr, " %+.2f", gain);
        }
        std::printf(" %s %.2f -> %.2f (lowest frame %+.2f, its own best %.2f)",
                    cases[i].name.c_str(), alone[i], p, lowest, clip_best[i]);
      }
      std::printf("\n");
      std::fflush(stdout);
    }
  }
  return 0;
}
