/* SPDX-License-Identifier: BSD-2-Clause */
// The noise of a stream measured on its first frames, and the settings for it
// (--sigma auto, --estimate).
#pragma once

#include <cstdio>
#include <deque>
#include <string>

#include "frame_formats.h"
#include "zolta.h"

struct NoiseEstimate {
  int frames = 0;
  int family = ZOLTA_FAMILY_GRAY;
  float sigma[3] = {0, 0, 0};  // per plane, from every frame read ahead
  // The noise model of the frames (planes 0: none; then sigma alone counts).
  zolta_noise_model model{};
  std::string profile;  // the file the model was read from (--profile), if any
};

// Reads up to `count` frames into `frames`, bound to the engine's view of them.
bool read_ahead(FrameFormat& format, ByteReader& input, int count, std::deque<StreamItem>& frames,
                std::string& error);
// Measures the frames read ahead together (zolta_noise_measure, the model's
// sigma); the median of each frame's estimate where the frames are not of one
// format (no model then).
bool measure_noise(const FrameFormat& format, std::deque<StreamItem>& frames,
                   NoiseEstimate& estimate, std::string& error);
// Measures the first frames of the file at `path` (--noise-from); fails when
// it holds none.
bool measure_file_noise(const std::string& path, NoiseEstimate& estimate, std::string& error);
// The settings for measured noise: for its model where it has one
// (zolta_settings_for_model), otherwise for its sigma, where levels the
// mapping has no entry for (no noise at all) are taken at its lowest level.
bool settings_for_estimate(const NoiseEstimate& estimate, zolta_settings& settings,
                           std::string& error);

// Reads the noise profile at `path` (--profile) into the estimate's model;
// the message names the file and what is wrong.
bool read_profile(const std::string& path, NoiseEstimate& estimate, std::string& error);

// Measures the noise of the first frames of the input and prints it, with the
// settings --sigma auto would choose, to report; with a `profile_out` path,
// also writes the model there as a noise profile.
bool estimate_stream(ByteReader& input, std::FILE* report, const std::string& profile_out,
                     std::string& error);
