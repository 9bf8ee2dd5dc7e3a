/* SPDX-License-Identifier: BSD-2-Clause */
// The command line of zolta-run: its options, their values and --help come
// from the parameter table (parameters.h).
#pragma once

#include <cstdint>
#include <string>

// The memory that frames in flight (read ahead, being denoised, waiting to be
// written) may take by default, in MiB: room for dozens of HD frames, and for
// the largest picture taken, on a desktop machine.
constexpr long kDefaultMemoryMiB = 2048;

struct RunOptions {
  bool help = false;
  bool demo = false;
  std::string input;   // path or "-"
  std::string output;  // path or "-"; empty with --estimate

  // Settings: at most one of --vcf, --config, --thresholds and --sigma.
  std::string vcf_path;
  std::string config_text;
  std::string thresholds_text;  // eighteen integers 0..4095
  bool sigma_given = false;     // --sigma S (the demo: the noise it adds)
  bool sigma_auto = false;      // --sigma auto

  // Measure the input's noise and print it with the settings it would get.
  bool estimate = false;
  // Frames denoised at once; 0 means every core the process may use.
  int threads = 0;
  // Memory the frames in flight may take, in MiB (--memory).
  long memory_mib = kDefaultMemoryMiB;
  // A --sigma that is no number in range, refused once --demo is known.
  std::string sigma_refused;
  // Frames before and after each frame that its denoising uses (0..2).
  int temporal = 0;
  // Where the noise is measured instead of the input (--noise-from).
  std::string noise_from;
  // The noise profile to denoise with (--profile), and where --estimate
  // writes one (--profile-out).
  std::string profile;
  std::string profile_out;

  // Views of the VirtualDub path; -1 when not given.
  int mode = -1;   // OutputMode
  int plane = -1;  // 0 Y, 1 Cb, 2 Cr
  bool show_plane = false;
  bool off = false;

  // Demo. parse_options sets the table's defaults.
  std::string picture;
  std::string out_dir;
  double sigma = 0;
  uint64_t seed = 0;
  std::string demo_config;
};

// True when any of --mode, --plane, --show-plane or --off was given.
bool has_view_options(const RunOptions& options);

// No arguments at all means the demo. On failure returns false with a
// one-line message.
bool parse_options(int argc, const char* const* argv, RunOptions& options, std::string& error);

const char* usage_text();
