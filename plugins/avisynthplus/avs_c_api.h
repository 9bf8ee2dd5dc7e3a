/* SPDX-License-Identifier: BSD-2-Clause */
// AviSynth+ C interface (version 12; the module works with 8, AviSynth+
// 3.7.0, and later): the part of the host's binary interface that this module
// uses, declared here from the published facts (signatures, struct layouts,
// constants). The host's functions are never linked: the
// module finds them at run time in the host library (see avs_functions.h).
#pragma once

#include <cstddef>
#include <cstdint>

// The official 32-bit Windows host is built with MSVC and uses stdcall for
// every exported function and callback (avs_sprintf aside, which we do not
// use); on x86-64 there is one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define AVSC_CC __stdcall
#else
#define AVSC_CC
#endif

extern "C" {

struct AVS_Clip;
struct AVS_ScriptEnvironment;
struct AVS_VideoFrame;

struct AVS_VideoInfo {
  int width;
  int height;
  unsigned fps_numerator;
  unsigned fps_denominator;
  int num_frames;
  int pixel_type;
  int audio_samples_per_second;
  int sample_type;
  int64_t num_audio_samples;
  int nchannels;
  int image_type;
};

struct AVS_Value {
  short type;  // 'v', 'c', 'b', 'i', 'f', 's', 'a', 'e', 'l', 'd'
  short array_size;
  union {
    void* clip;
    char boolean;
    int integer;
    float floating_pt;
    const char* string;
    const AVS_Value* array;
#if defined(_WIN32) && !defined(_WIN64)
    int64_t* longlong_ptr;
    double* double_pt_ptr;
#else
    int64_t longlong;
    double double_pt;
#endif
  } d;
};

struct AVS_FilterInfo;
typedef AVS_VideoFrame*(AVSC_CC* AVS_GetFrameFunc)(AVS_FilterInfo* fi, int n);
typedef int(AVSC_CC* AVS_GetParityFunc)(AVS_FilterInfo* fi, int n);
typedef int(AVSC_CC* AVS_GetAudioFunc)(AVS_FilterInfo* fi, void* buf, int64_t start, int64_t count);
typedef int(AVSC_CC* AVS_SetCacheHintsFunc)(AVS_FilterInfo* fi, int cachehints, int frame_range);
typedef void(AVSC_CC* AVS_FreeFilterFunc)(AVS_FilterInfo* fi);

struct AVS_FilterInfo {
  AVS_Clip* child;
  AVS_VideoInfo vi;
  AVS_ScriptEnvironment* env;
  AVS_GetFrameFunc get_frame;
  AVS_GetParityFunc get_parity;
  AVS_GetAudioFunc get_audio;
  AVS_SetCacheHintsFunc set_cache_hints;
  AVS_FreeFilterFunc free_filter;
  const char* error;
  void* user_data;
};

typedef AVS_Value(AVSC_CC* AVS_ApplyFunc)(AVS_ScriptEnvironment* env, AVS_Value args,
                                          void* user_data);
typedef const char*(AVSC_CC* AVS_PluginInitFunc)(AVS_ScriptEnvironment* env);

// The host's functions, by the names it exports them under.
typedef int(AVSC_CC* avs_add_function_func)(AVS_ScriptEnvironment* env, const char* name,
                                            const char* params, AVS_ApplyFunc apply,
                                            void* user_data);
typedef int(AVSC_CC* avs_check_version_func)(AVS_ScriptEnvironment* env, int version);
typedef AVS_Clip*(AVSC_CC* avs_new_c_filter_func)(AVS_ScriptEnvironment* env, AVS_FilterInfo** fi,
                                                  AVS_Value child, int store_child);
typedef void(AVSC_CC* avs_set_to_clip_func)(AVS_Value* v, AVS_Clip* c);
typedef void(AVSC_CC* avs_release_clip_func)(AVS_Clip* c);
typedef AVS_VideoFrame*(AVSC_CC* avs_get_frame_func)(AVS_Clip* c, int n);
typedef const char*(AVSC_CC* avs_clip_get_error_func)(AVS_Clip* c);
typedef AVS_VideoFrame*(AVSC_CC* avs_new_video_frame_p_func)(AVS_ScriptEnvironment* env,
                                                             const AVS_VideoInfo* vi,
                                                             const AVS_VideoFrame* prop_src);
typedef AVS_VideoFrame*(AVSC_CC* avs_copy_video_frame_func)(AVS_VideoFrame* f);
typedef int(AVSC_CC* avs_make_writable_func)(AVS_ScriptEnvironment* env, AVS_VideoFrame** pvf);
typedef void(AVSC_CC* avs_release_video_frame_func)(AVS_VideoFrame* f);
typedef int(AVSC_CC* avs_get_pitch_p_func)(const AVS_VideoFrame* f, int plane);
typedef const uint8_t*(AVSC_CC* avs_get_read_ptr_p_func)(const AVS_VideoFrame* f, int plane);
typedef uint8_t*(AVSC_CC* avs_get_write_ptr_p_func)(const AVS_VideoFrame* f, int plane);
typedef char*(AVSC_CC* avs_save_string_func)(AVS_ScriptEnvironment* env, const char* s, int length);
typedef size_t(AVSC_CC* avs_get_env_property_func)(AVS_ScriptEnvironment* env, int prop);

}  // extern "C"

// Type chars of AVS_Value.
enum : short {
  kAvsVoid = 'v',
  kAvsClip = 'c',
  kAvsBool = 'b',
  kAvsInt = 'i',
  kAvsFloat = 'f',
  kAvsString = 's',
  kAvsArray = 'a',
  kAvsError = 'e',
  kAvsLong = 'l',
  kAvsDouble = 'd',
};

// pixel_type bits and the formats that are named here.
enum : uint32_t {
  kAvsCsPlanar = 0x80000000u,
  kAvsCsInterleaved = 0x40000000u,
  kAvsCsYuv = 0x20000000u,
  kAvsCsBgr = 0x10000000u,
  kAvsCsYuva = 0x08000000u,
  kAvsCsSampleBitsMask = 0x00070000u,
  kAvsCsSubWMask = 0x7u,
  kAvsCsSubHMask = 0x700u,
  kAvsCsPlaneOrderBits = 0x18u,  // VPLANEFIRST | UPLANEFIRST, ignored
  kAvsCsYuy2 = 0x60000004u,
  kAvsCsBgr24 = 0x50000001u,
  kAvsCsBgr32 = 0x50000002u,
  kAvsCsRgbType = 0x1u,
  kAvsCsRgbaType = 0x2u,
};

// Plane ids.
enum : int {
  kAvsDefaultPlane = 0,
  kAvsPlanarY = 1,
  kAvsPlanarU = 2,
  kAvsPlanarV = 4,
  kAvsPlanarA = 16,
  kAvsPlanarR = 32,
  kAvsPlanarG = 64,
  kAvsPlanarB = 128,
};

enum : int {
  kAvsCacheGetMtMode = 509,
  kAvsMtNiceFilter = 1,
  kAvsMtMultiInstance = 2,
  kAvsMtSerialized = 3,
  kAvsEnvPropertyLogicalCpus = 2,
};

// The layouts the host was built with, on every target this module is built
// for (x86-64 Linux and Windows; 32-bit Windows).
namespace avs_layout {
constexpr bool k64 = sizeof(void*) == 8;
static_assert(sizeof(AVS_VideoInfo) == 48 && alignof(AVS_VideoInfo) == 8, "AVS_VideoInfo");
static_assert(offsetof(AVS_VideoInfo, pixel_type) == 20 &&
                  offsetof(AVS_VideoInfo, num_audio_samples) == 32 &&
                  offsetof(AVS_VideoInfo, image_type) == 44,
              "AVS_VideoInfo offsets");
static_assert(sizeof(AVS_Value) == (k64 ? 16 : 8) && alignof(AVS_Value) == (k64 ? 8 : 4) &&
                  offsetof(AVS_Value, array_size) == 2 && offsetof(AVS_Value, d) == (k64 ? 8 : 4),
              "AVS_Value");
static_assert(offsetof(AVS_FilterInfo, vi) == 8 && offsetof(AVS_FilterInfo, env) == 56 &&
                  offsetof(AVS_FilterInfo, get_frame) == (k64 ? 64 : 60) &&
                  offsetof(AVS_FilterInfo, get_parity) == (k64 ? 72 : 64) &&
                  offsetof(AVS_FilterInfo, get_audio) == (k64 ? 80 : 68) &&
                  offsetof(AVS_FilterInfo, set_cache_hints) == (k64 ? 88 : 72) &&
                  offsetof(AVS_FilterInfo, free_filter) == (k64 ? 96 : 76) &&
                  offsetof(AVS_FilterInfo, error) == (k64 ? 104 : 80) &&
                  offsetof(AVS_FilterInfo, user_data) == (k64 ? 112 : 84),
              "AVS_FilterInfo offsets");
static_assert(sizeof(AVS_FilterInfo) == (k64 ? 120 : 88) && alignof(AVS_FilterInfo) == 8,
              "AVS_FilterInfo");
}  // namespace avs_layout
