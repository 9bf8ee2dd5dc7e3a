/* SPDX-License-Identifier: BSD-2-Clause */
// The AviSynth+ C interface as a program that drives a real host calls it:
// the host's exports it opens by name (their types, named <export>_func)
// and the frame property map, written from the published facts. The
// records, callbacks, constants and calling convention are the stand-ins'
// own (avsplus_interface.h).
#pragma once

#include <cstdint>

#include "avsplus_interface.h"

extern "C" {

struct AVS_Map;  // opaque

#define AVSPLUS_EXPORT(result, name, ...) typedef result(AVSPLUS_CC* name##_func)(__VA_ARGS__);
// Asked for a newer interface than its own, a release gives a handle whose
// environment is null: ask for the release's own.
AVSPLUS_EXPORT(AVS_ScriptEnvironment*, avs_create_script_environment, int version)
AVSPLUS_EXPORT(void, avs_delete_script_environment, AVS_ScriptEnvironment* env)
AVSPLUS_EXPORT(const char*, avs_get_error, AVS_ScriptEnvironment* env)
AVSPLUS_EXPORT(int, avs_add_function, AVS_ScriptEnvironment* env, const char* name,
               const char* params, AvsPlusApplyFunc apply, void* user_data)
AVSPLUS_EXPORT(AVS_Value, avs_invoke, AVS_ScriptEnvironment* env, const char* name, AVS_Value args,
               const char** arg_names)
AVSPLUS_EXPORT(void, avs_release_value, AVS_Value v)
AVSPLUS_EXPORT(AVS_Clip*, avs_take_clip, AVS_Value v, AVS_ScriptEnvironment* env)
AVSPLUS_EXPORT(void, avs_set_to_clip, AVS_Value* v, AVS_Clip* c)
AVSPLUS_EXPORT(void, avs_release_clip, AVS_Clip* c)
AVSPLUS_EXPORT(const char*, avs_clip_get_error, AVS_Clip* c)
AVSPLUS_EXPORT(const AVS_VideoInfo*, avs_get_video_info, AVS_Clip* c)
AVSPLUS_EXPORT(AVS_VideoFrame*, avs_get_frame, AVS_Clip* c, int n)
AVSPLUS_EXPORT(AVS_Clip*, avs_new_c_filter, AVS_ScriptEnvironment* env, AVS_FilterInfo** fi,
               AVS_Value child, int store_child)
AVSPLUS_EXPORT(AVS_VideoFrame*, avs_new_video_frame_a, AVS_ScriptEnvironment* env,
               const AVS_VideoInfo* vi, int align)
AVSPLUS_EXPORT(void, avs_release_video_frame, AVS_VideoFrame* f)
AVSPLUS_EXPORT(int, avs_get_pitch_p, const AVS_VideoFrame* f, int plane)
AVSPLUS_EXPORT(const uint8_t*, avs_get_read_ptr_p, const AVS_VideoFrame* f, int plane)
AVSPLUS_EXPORT(uint8_t*, avs_get_write_ptr_p, const AVS_VideoFrame* f, int plane)
// Frame properties; the getters' error: 0 ok, 1 unset, 2 type, 3 error, 4 index.
AVSPLUS_EXPORT(const AVS_Map*, avs_get_frame_props_ro, AVS_ScriptEnvironment* env,
               const AVS_VideoFrame* f)
AVSPLUS_EXPORT(AVS_Map*, avs_get_frame_props_rw, AVS_ScriptEnvironment* env, AVS_VideoFrame* f)
AVSPLUS_EXPORT(int64_t, avs_prop_get_int, AVS_ScriptEnvironment* env, const AVS_Map* map,
               const char* key, int index, int* error)
AVSPLUS_EXPORT(int, avs_prop_set_int, AVS_ScriptEnvironment* env, AVS_Map* map, const char* key,
               int64_t value, int append)
#undef AVSPLUS_EXPORT

}  // extern "C"
