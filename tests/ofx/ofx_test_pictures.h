/* SPDX-License-Identifier: BSD-2-Clause */
// Pictures for the OpenFX host tests and what the library itself makes of
// them: the frames an editor would hand the effect, and the library's own
// output for the same frames through its planar RGB frames with a pixel step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ofx_test_host.h"
#include "zolta.h"

// A noisy picture: smooth shapes plus noise, alpha a ramp. Float pictures
// hold 0..1 with a few samples outside it.
TestPicture test_picture(int width, int height, int components, int bits, uint32_t seed);
std::vector<TestPicture> test_clip(int frames, int width, int height, int components, int bits);

// The library's output for frame n of `clip` with `settings` and a temporal
// radius (the window mirrored at the clip's ends), alpha copied from the
// input.
TestPicture library_output(const std::vector<TestPicture>& clip, int n,
                           const zolta_settings& settings, int radius);
// The same with the settings the library gives for noise `sigma`.
TestPicture library_output_for_sigma(const std::vector<TestPicture>& clip, int n, float sigma,
                                     int radius);

// The settings of the noise model the library measures on the clip's first
// `count` frames.
zolta_settings settings_of_clip_model(const std::vector<TestPicture>& clip, int count);

// "" when equal, else where the first byte differs.
std::string first_difference(const TestPicture& expected, const TestPicture& actual);

// The folder the tests load zolta.ofx.bundle from: the build tree's, or
// $ZOLTA_OFX_PLUGIN_PATH (an installed copy); and that folder put on
// OFX_PLUGIN_PATH, as a user of an editor does.
std::string ofx_plugin_path();
void use_build_plugin_path();
