// The AviSynth+ functions this module calls, found at run time in the host
// library that loaded it: the module links nothing of the host's.
#pragma once

#include "avs_c_api.h"

struct AvsFunctions {
  avs_add_function_func add_function;
  avs_new_c_filter_func new_c_filter;
  avs_set_to_clip_func set_to_clip;
  avs_release_clip_func release_clip;
  avs_get_frame_func get_frame;
  avs_new_video_frame_p_func new_video_frame_p;
  avs_release_video_frame_func release_video_frame;
  avs_get_pitch_p_func get_pitch_p;
  avs_get_read_ptr_p_func get_read_ptr_p;
  avs_get_write_ptr_p_func get_write_ptr_p;
  avs_save_string_func save_string;
  avs_get_env_property_func get_env_property;
};

// The host library's name as the module asks the system for it:
// "AviSynth.dll" on Windows, the soname "libavisynth.so.12" elsewhere.
const char* avs_host_library_name();

// Finds every function in the already loaded host library. On failure returns
// null and names what is missing in a static text through *missing.
const AvsFunctions* avs_find_functions(const char** missing);
