/* SPDX-License-Identifier: BSD-2-Clause */
// The AviSynth+ C interface as the stand-in hosts speak it: the host side's
// own declarations of the types, callbacks and constants that plugins meet,
// written from the published facts (names, layouts, values). Interface 12 is
// the development line; 11 is AviSynth+ 3.7.4-3.7.5, 10 is 3.7.3, 9 is
// 3.7.1-3.7.2 and 8 is 3.7.0. Everything here is the same in all of them.
#pragma once

#include <cstddef>
#include <cstdint>

// The MSVC-built 32-bit host calls and is called with stdcall; x86-64 has one
// convention.
#if defined(_WIN32) && !defined(_WIN64)
#define AVSPLUS_CC __stdcall
#else
#define AVSPLUS_CC
#endif

extern "C" {

// Opaque to plugins; the stand-in defines them.
struct AVS_Clip;
struct AVS_ScriptEnvironment;
struct AVS_VideoFrame;

struct AVS_VideoInfo {
  int width;  // 0: no video
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
  short type;        // one of the AVS_TYPE_ characters
  short array_size;  // elements of an array value
  union {
    void* clip;
    char boolean;
    int integer;
    float floating_pt;
    const char* string;
    const AVS_Value* array;
#if defined(_WIN32) && !defined(_WIN64)
    int64_t* longlong_ptr;  // 32-bit Windows keeps 64-bit values behind a pointer
    double* double_pt_ptr;
#else
    int64_t longlong;
    double double_pt;
#endif
  } d;
};

struct AVS_FilterInfo {
  AVS_Clip* child;
  AVS_VideoInfo vi;
  AVS_ScriptEnvironment* env;
  AVS_VideoFrame*(AVSPLUS_CC* get_frame)(AVS_FilterInfo* fi, int n);
  int(AVSPLUS_CC* get_parity)(AVS_FilterInfo* fi, int n);
  int(AVSPLUS_CC* get_audio)(AVS_FilterInfo* fi, void* buf, int64_t start, int64_t count);
  int(AVSPLUS_CC* set_cache_hints)(AVS_FilterInfo* fi, int cachehints, int frame_range);
  void(AVSPLUS_CC* free_filter)(AVS_FilterInfo* fi);
  const char* error;
  void* user_data;
};

// What avs_add_function registers, and a plugin's C entry.
typedef AVS_Value(AVSPLUS_CC* AvsPlusApplyFunc)(AVS_ScriptEnvironment* env, AVS_Value args,
                                                void* user_data);
typedef const char*(AVSPLUS_CC* AvsPlusPluginEntry)(AVS_ScriptEnvironment* env);

}  // extern "C"

// Value types.
constexpr short AVS_TYPE_VOID = 'v';
constexpr short AVS_TYPE_CLIP = 'c';
constexpr short AVS_TYPE_BOOL = 'b';
constexpr short AVS_TYPE_INT = 'i';
constexpr short AVS_TYPE_FLOAT = 'f';
constexpr short AVS_TYPE_STRING = 's';
constexpr short AVS_TYPE_ARRAY = 'a';
constexpr short AVS_TYPE_ERROR = 'e';
constexpr short AVS_TYPE_LONG = 'l';
constexpr short AVS_TYPE_DOUBLE = 'd';

// pixel_type fields.
constexpr uint32_t AVS_CS_PLANAR = 0x80000000u;
constexpr uint32_t AVS_CS_INTERLEAVED = 0x40000000u;
constexpr uint32_t AVS_CS_YUV = 0x20000000u;
constexpr uint32_t AVS_CS_BGR = 0x10000000u;
constexpr uint32_t AVS_CS_YUVA = 0x08000000u;
constexpr uint32_t AVS_CS_SAMPLE_BITS_MASK = 0x00070000u;
constexpr uint32_t AVS_CS_SUB_WIDTH_MASK = 0x7u;
constexpr uint32_t AVS_CS_SUB_HEIGHT_MASK = 0x700u;
constexpr uint32_t AVS_CS_RGBA_TYPE = 0x2u;
constexpr uint32_t AVS_CS_YUY2 = 0x60000004u;
constexpr uint32_t AVS_CS_BGR32 = 0x50000002u;

// Plane ids.
constexpr int AVS_DEFAULT_PLANE = 0;
constexpr int AVS_PLANAR_Y = 1;
constexpr int AVS_PLANAR_U = 2;
constexpr int AVS_PLANAR_V = 4;
constexpr int AVS_PLANAR_ALIGNED = 8;
constexpr int AVS_PLANAR_A = 16;
constexpr int AVS_PLANAR_R = 32;
constexpr int AVS_PLANAR_G = 64;
constexpr int AVS_PLANAR_B = 128;

// Cache hints and the MT modes a filter answers.
constexpr int AVS_CACHE_GET_WINDOW = 31;
constexpr int AVS_CACHE_GET_MTMODE = 509;
constexpr int AVS_MT_NICE_FILTER = 1;

// avs_get_env_property.
constexpr int AVS_AEP_LOGICAL_CPUS = 2;
constexpr int AVS_AEP_INTERFACE_VERSION = 8;
constexpr int AVS_AEP_INTERFACE_BUGFIX = 9;

constexpr bool kAvsPlusWide = sizeof(void*) == 8;
static_assert(sizeof(AVS_VideoInfo) == 48 && offsetof(AVS_VideoInfo, num_audio_samples) == 32,
              "AVS_VideoInfo as the host lays it out");
static_assert(sizeof(AVS_Value) == (kAvsPlusWide ? 16 : 8) &&
                  offsetof(AVS_Value, d) == (kAvsPlusWide ? 8 : 4),
              "AVS_Value as the host lays it out");
static_assert(offsetof(AVS_FilterInfo, vi) == 8 && offsetof(AVS_FilterInfo, env) == 56 &&
                  offsetof(AVS_FilterInfo, user_data) == (kAvsPlusWide ? 112 : 84) &&
                  sizeof(AVS_FilterInfo) == (kAvsPlusWide ? 120 : 88),
              "AVS_FilterInfo as the host lays it out");
