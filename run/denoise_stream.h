// zolta-run's work: the settings the options ask for, and every frame of the
// input through the library's public interface, several at once, written in
// order in the input's own format.
#pragma once

#include <cstdio>
#include <string>

#include "byte_reader.h"
#include "options.h"
#include "picture.h"
#include "progress.h"
#include "zolta.h"

// Frames read to estimate the noise of an input (--sigma auto, --estimate).
constexpr int kEstimateFrames = 8;

// Settings from --config, --vcf, --thresholds or a given --sigma (every
// threshold 0 without any), with the views of --mode, --plane, --show-plane
// and --off. --sigma auto is settled by denoise_stream, which sees frames.
bool settings_from_options(const RunOptions& options, zolta_settings& settings, std::string& error);

// "--thresholds": eighteen integers 0..4095, separated by commas or blanks,
// in the order [plane][direction][level].
bool parse_thresholds(const std::string& text, zolta_settings& settings, std::string& error);
// The eighteen thresholds as --thresholds takes them, separated by commas.
std::string thresholds_text(const zolta_settings& settings);
// "Config(a, ..., i)" for settings whose thresholds all fit in 0..255, else "".
std::string config_text(const zolta_settings& settings);

// The number of cores this process may run on (at least 1).
int available_cores();

// Reads the stream that starts in input (YUV4MPEG2, PNG or PPM/PGM, told by
// its first bytes), denoises every frame with `settings` (what
// settings_from_options made of the options; a noise level given or measured
// settles their thresholds here) and writes it to out. False with a one-line
// message on the first frame that fails.
bool denoise_stream(const RunOptions& options, const zolta_settings& settings, ByteReader& input,
                    std::FILE* out, Progress& progress, std::string& error);

// Measures the noise of the first frames of the input and prints it, with the
// settings --sigma auto would choose, to report.
bool estimate_stream(ByteReader& input, std::FILE* report, std::string& error);

// One picture in place (the demo's road).
bool denoise_picture(const zolta_settings& settings, Picture& picture, std::string& error);
