/* SPDX-License-Identifier: BSD-2-Clause */
// The AviSynth+ C interface as a program that drives a real host calls it:
// the host's exports it opens by name (their types, named <export>_func),
// the frame property map and the pixel types of every format the face
// takes, written from the published facts. The records, callbacks, plane ids
// and calling convention are the stand-ins' own (avsplus_interface.h).
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

// Pixel types (the fields: planar, YUV, BGR bits, sample bits, chroma
// subsampling codes), one a format.
constexpr uint32_t AVS_CS_YV12 = 0xA0000008u;
constexpr uint32_t AVS_CS_I420 = 0xA0000010u;
constexpr uint32_t AVS_CS_YV16 = 0xA0000308u;
constexpr uint32_t AVS_CS_YV24 = 0xA000030Bu;
constexpr uint32_t AVS_CS_YV411 = 0xA0000309u;
constexpr uint32_t AVS_CS_Y8 = 0xE0000000u;
constexpr uint32_t AVS_CS_Y10 = 0xE0050000u;
constexpr uint32_t AVS_CS_Y12 = 0xE0060000u;
constexpr uint32_t AVS_CS_Y14 = 0xE0070000u;
constexpr uint32_t AVS_CS_Y16 = 0xE0010000u;
constexpr uint32_t AVS_CS_Y32 = 0xE0020000u;
constexpr uint32_t AVS_CS_YUV420P10 = 0xA0050008u;
constexpr uint32_t AVS_CS_YUV420P12 = 0xA0060008u;
constexpr uint32_t AVS_CS_YUV420P14 = 0xA0070008u;
constexpr uint32_t AVS_CS_YUV420P16 = 0xA0010008u;
constexpr uint32_t AVS_CS_YUV420PS = 0xA0020008u;
constexpr uint32_t AVS_CS_YUV422P10 = 0xA0050308u;
constexpr uint32_t AVS_CS_YUV422P12 = 0xA0060308u;
constexpr uint32_t AVS_CS_YUV422P14 = 0xA0070308u;
constexpr uint32_t AVS_CS_YUV422P16 = 0xA0010308u;
constexpr uint32_t AVS_CS_YUV422PS = 0xA0020308u;
constexpr uint32_t AVS_CS_YUV444P10 = 0xA005030Bu;
constexpr uint32_t AVS_CS_YUV444P12 = 0xA006030Bu;
constexpr uint32_t AVS_CS_YUV444P14 = 0xA007030Bu;
constexpr uint32_t AVS_CS_YUV444P16 = 0xA001030Bu;
constexpr uint32_t AVS_CS_YUV444PS = 0xA002030Bu;
constexpr uint32_t AVS_CS_RGBP = 0x90000001u;
constexpr uint32_t AVS_CS_RGBP10 = 0x90050001u;
constexpr uint32_t AVS_CS_RGBP12 = 0x90060001u;
constexpr uint32_t AVS_CS_RGBP14 = 0x90070001u;
constexpr uint32_t AVS_CS_RGBP16 = 0x90010001u;
constexpr uint32_t AVS_CS_RGBPS = 0x90020001u;
