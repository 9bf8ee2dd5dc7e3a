/* SPDX-License-Identifier: BSD-2-Clause */
// What every real-host test gives a host and what the library itself makes of
// it: the ways of giving the settings (one table for every host), the
// source's picture content, and the library's output for the same frames, to
// compare each frame a host returns with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zolta.h"

enum class Way {
  kConfig,        // the nine integers
  kConfigAsText,  // config given the text VirtualDub shows (AviSynth+)
  kConfigText,
  kVcf,
  kThresholds,
  kSigma,
  kTemporal1,  // sigma and temporal = 1
  kTemporal2,  // sigma and temporal = 2
  kProfile,    // the noise profile written by write_profile
  kSigmaAuto,  // the noise measured on the clip's first frames
};

struct WayCase {
  const char* name;
  Way way;
  bool threads;  // run with the host's threads (Prefetch, the core's pool)
};

// Every way, and the ones repeated with the host's threads.
extern const WayCase kWayCases[];
extern const int kWayCaseCount;

// The values the ways give.
extern const char kConfigTextValue[];  // "Config(...)"
void config_values(int32_t packed[9]);
void threshold_values(int32_t thresholds[18]);
constexpr double kSigmaValue = 6.0;
int way_radius(Way way);

// The settings file VirtualDub would save for config_values, at `path`.
bool write_vcf(const std::string& path);
// The noise profile of the profile way, beside the settings file `vcf`
// (its path and ".profile"); profile_path gives that path.
std::string profile_path(const std::string& vcf);
bool write_profile(const std::string& vcf);

// A frame as compact planes: rows of width * sample bytes, top row first.
typedef std::vector<std::vector<uint8_t>> Planes;

// Sample bytes of plane data (packed families: per pixel).
int stream_sample_bytes(const zolta_stream& stream);
// Fills engine plane p of source frame n (rows top first at `stride`).
void fill_source_plane(const zolta_stream& stream, int n, int p, uint8_t* data, ptrdiff_t stride);
// The planes of a frame given as data and stride per engine plane.
Planes compact(const zolta_stream& stream, const zolta_frame& frame);

// The library's output of every frame of a clip whose frames are `inputs`
// (each a zolta_frame over the host's source frames), for a way; the message
// in `error` when the library refuses.
std::vector<Planes> library_output(const zolta_stream& stream, Way way,
                                   const std::vector<zolta_frame>& inputs, std::string& error);

// The first difference between two frames, or an empty text.
std::string first_difference(const Planes& expected, const Planes& got);
// What is wrong with output frame n: its planes against the library's, then
// whether it kept the source frame's properties; an empty text when nothing.
std::string frame_failure(int n, const Planes& expected, const Planes& got, bool properties_kept);

// FNV-1a over every byte of a clip's frames, for comparing hosts on other
// systems.
uint64_t digest(const std::vector<Planes>& frames);
