/* SPDX-License-Identifier: BSD-2-Clause */
// The AviSynth+ functions this module calls, found at run time in the host
// library that loaded it: the module links nothing of the host's.
#pragma once

#include <cstddef>

#include "avs_c_api.h"

// The oldest interface this module works with (AviSynth+ 3.7.0) and the
// newest one it knows by name (the development line).
constexpr int kAvsOldestInterface = 8;
constexpr int kAvsNewestInterface = 12;
// The first interface (AviSynth+ 3.7.3) whose avs_new_video_frame_p takes a
// frame as its property source: 3.7.0-3.7.2 read through it as through a
// handle of their own and crash (3.7.0 does the same in avs_copy_frame_props
// and avs_get_frame_props_ro/rw; its avs_make_writable is sound).
constexpr int kAvsPropertySourceInterface = 10;

struct AvsFunctions {
  avs_add_function_func add_function;
  avs_check_version_func check_version;
  avs_new_c_filter_func new_c_filter;
  avs_set_to_clip_func set_to_clip;
  avs_release_clip_func release_clip;
  avs_get_frame_func get_frame;
  avs_new_video_frame_p_func new_video_frame_p;
  avs_copy_video_frame_func copy_video_frame;
  avs_make_writable_func make_writable;
  avs_release_video_frame_func release_video_frame;
  avs_get_pitch_p_func get_pitch_p;
  avs_get_read_ptr_p_func get_read_ptr_p;
  avs_get_write_ptr_p_func get_write_ptr_p;
  avs_save_string_func save_string;
  avs_get_env_property_func get_env_property;
};

// Finds every function in the host library already loaded in the process,
// never loading one itself. Windows: AviSynth.dll. Elsewhere: the sonames
// libavisynth.so.<interface> from the newest interface known down to the
// oldest, then any loaded library that exports avs_add_function. On failure
// returns null and writes into `why` what was looked for and not found.
const AvsFunctions* avs_find_functions(char* why, size_t size);
