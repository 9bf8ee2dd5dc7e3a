// The two roads through the library: RGB pictures through its VirtualDub
// filter, YUV4MPEG2 4:2:2 streams through its AviSynth function. Each drives
// the library only through its exported entries, with the host stand-ins.
#pragma once

#include <cstdio>
#include <string>

#include "byte_reader.h"
#include "library.h"
#include "options.h"
#include "picture.h"
#include "progress.h"
#include "settings.h"

enum class RgbFormat { Png, Ppm };

// Settings as the options give them: --config parsed, or --vcf read; all zero
// without either. False with a message when they cannot be read.
bool settings_from_options(const RunOptions& options, ConfigValues& values, std::string& error);

// Reads pictures from input until it ends, filters each and writes it to out
// in the same format. False with a one-line message on the first problem.
bool run_rgb_stream(const LoadedLibrary& library, const RunOptions& options, RgbFormat format,
                    ByteReader& input, std::FILE* out, Progress& progress, std::string& error);

// Filters one picture in memory (the demo's road).
bool filter_rgb_picture(const LoadedLibrary& library, const ConfigValues& values,
                        const RgbPicture& in, RgbPicture& out, std::string& error);

// Reads a YUV4MPEG2 stream whose header is next in input and writes the
// filtered stream to out.
bool run_y4m_stream(const LoadedLibrary& library, const RunOptions& options, ByteReader& input,
                    std::FILE* out, Progress& progress, std::string& error);
