/* SPDX-License-Identifier: BSD-2-Clause */
// What the tests of the editors' faces share: running a host's program,
// files in a folder of their own, noisy frames, and the library's bytes for
// the same frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zolta.h"

using Bytes = std::vector<uint8_t>;

// Runs a shell command; returns its exit status and fills output with what it
// wrote on standard output and standard error.
int run_command(const std::string& command, std::string* output);

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

Bytes read_file(const std::string& path);
bool file_exists(const std::string& path);
void write_file(const std::string& path, const Bytes& bytes);

// `count` samples of a noisy picture: smooth shapes plus noise, seeded.
Bytes noisy_samples(size_t count, uint32_t seed);

// Settings for noise of one level in the input's own channels.
zolta_settings settings_for_noise(float sigma, int32_t family);
// Settings from "Config(...)".
zolta_settings settings_for_config(const char* text);
// Settings of eighteen thresholds in the public order (plane, direction,
// level).
zolta_settings settings_for_thresholds(const int32_t (&values)[18]);

// BGRA frames through the library's 32-bit RGB path, then alpha put back as
// it was: what every host must give for 8-bit BGRA.
Bytes reference_bgra(const Bytes& frames, int width, int height, const zolta_settings& settings);

// Planar frames of a stream (planes one after the other, rows without
// padding) through the library.
Bytes reference_planar(const Bytes& frames, const zolta_stream& stream,
                       const zolta_settings& settings);
// The bytes of one planar frame of a stream.
size_t planar_frame_size(const zolta_stream& stream);
// Planar frames through the library's denoiser of temporal radius `radius`,
// every window mirrored at the clip's first and last frame: what a face
// gives for the clip.
Bytes reference_planar_windows(const Bytes& frames, const zolta_stream& stream,
                               const zolta_settings& settings, int radius);

// The settings of the noise model the library measures on the first `count`
// frames of a clip: BGRA frames (as RGB planes four bytes apart, as the
// frei0r face gives them) or planar frames of `stream`.
zolta_settings settings_of_bgra_model(const Bytes& frames, int width, int height, int count);
zolta_settings settings_of_planar_model(const Bytes& frames, const zolta_stream& stream, int count);

// A noise profile file of correlated noise (coarse levels noisier than
// fine); the settings of its model for `family`.
zolta_settings write_test_profile(const std::string& path, int32_t family);
