/* SPDX-License-Identifier: BSD-2-Clause */
// The settings zolta-run's options ask for, and their texts.
#pragma once

#include <string>

#include "options.h"
#include "zolta.h"

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

// The views of --mode, --plane, --show-plane and --off over settings.
void apply_views(const RunOptions& options, zolta_settings& settings);
