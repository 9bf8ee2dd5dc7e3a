/* SPDX-License-Identifier: BSD-2-Clause */
// Noise profiles: a noise model (noise_model.h) as a short versioned text
// (doc/noise-profile.md), written and read back.
#pragma once

#include <cstddef>

#include "zolta.h"

namespace zolta {

// The version of the text this library writes and the only one it reads.
constexpr int kNoiseProfileVersion = 1;

// The profile of a model (planes 1 or 3) into buffer as zolta_config_format
// does; 0 for a null or empty model.
size_t format_noise_profile(const zolta_noise_model* model, char* buffer, size_t size);

// Reads `length` bytes of profile text into `model` (its version kept),
// which is written only on success; ZOLTA_ERROR_SETTINGS naming the line
// otherwise.
int parse_noise_profile(const char* text, size_t length, zolta_noise_model& model,
                        zolta_error* error);

// The same from a file (ZOLTA_ERROR_FILE_OPEN, ZOLTA_ERROR_FILE_INVALID).
int read_noise_profile(const char* path, zolta_noise_model& model, zolta_error* error);

}  // namespace zolta
