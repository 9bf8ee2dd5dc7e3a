/* SPDX-License-Identifier: BSD-2-Clause */
// VapourSynth API 4: the part of the host's binary interface that this module
// uses, declared here from the published facts (names, member order, struct
// layouts, constants). Tables are declared as the prefix that ends at the last
// member used; members the module never calls keep their slot as an untyped
// pointer so that every offset stays right. The stand-in core of the tests
// declares the interface on its own (tests/hosts/vs_declarations.h).
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VS_CC __stdcall
#else
#define VS_CC
#endif

extern "C" {

struct VSFrame;
struct VSNode;
struct VSCore;
struct VSPlugin;
struct VSMap;
struct VSFrameContext;

enum VSColorFamily { cfUndefined = 0, cfGray = 1, cfRGB = 2, cfYUV = 3 };
enum VSSampleType { stInteger = 0, stFloat = 1 };
enum VSFilterMode { fmParallel = 0, fmParallelRequests = 1, fmUnordered = 2, fmFrameState = 3 };
enum VSActivationReason { arInitial = 0, arAllFramesReady = 1, arError = -1 };
enum VSRequestPattern { rpGeneral = 0, rpNoFrameReuse = 1, rpStrictSpatial = 2 };
enum VSMapAppendMode { maReplace = 0, maAppend = 1 };
enum VSPropertyType { ptUnset = 0, ptInt = 1, ptFloat = 2, ptData = 3, ptVideoNode = 5 };
enum VSDataTypeHint { dtUnknown = -1, dtBinary = 0, dtUtf8 = 1 };
enum VSMediaType { mtVideo = 1, mtAudio = 2 };

#define VS_MAKE_VERSION(major, minor) (((major) << 16) | (minor))
enum { VAPOURSYNTH_API_VERSION_4_0 = VS_MAKE_VERSION(4, 0) };

struct VSVideoFormat {
  int colorFamily;
  int sampleType;
  int bitsPerSample;
  int bytesPerSample;
  int subSamplingW;
  int subSamplingH;
  int numPlanes;
};

struct VSVideoInfo {
  VSVideoFormat format;
  int64_t fpsNum;
  int64_t fpsDen;
  int width;
  int height;
  int numFrames;
};

struct VSFilterDependency {
  VSNode* source;
  int requestPattern;
};

struct VSCoreInfo {
  const char* versionString;
  int core;
  int api;
  int numThreads;
  int64_t maxFramebufferSize;
  int64_t usedFramebufferSize;
};

struct VSAPI;

typedef void(VS_CC* VSPublicFunction)(const VSMap* in, VSMap* out, void* userData, VSCore* core,
                                      const VSAPI* vsapi);
typedef const VSFrame*(VS_CC* VSFilterGetFrame)(int n, int activationReason, void* instanceData,
                                                void** frameData, VSFrameContext* frameCtx,
                                                VSCore* core, const VSAPI* vsapi);
typedef void(VS_CC* VSFilterFree)(void* instanceData, VSCore* core, const VSAPI* vsapi);

struct VSPLUGINAPI {
  int(VS_CC* getAPIVersion)(void);
  int(VS_CC* configPlugin)(const char* identifier, const char* pluginNamespace, const char* name,
                           int pluginVersion, int apiVersion, int flags, VSPlugin* plugin);
  int(VS_CC* registerFunction)(const char* name, const char* args, const char* returnType,
                               VSPublicFunction argsFunc, void* functionData, VSPlugin* plugin);
};

typedef void (*VSUnusedMember)(void);

// Members 0..101 of the API 4.0 table.
struct VSAPI {
  void(VS_CC* createVideoFilter)(VSMap* out, const char* name, const VSVideoInfo* vi,
                                 VSFilterGetFrame getFrame, VSFilterFree free, int filterMode,
                                 const VSFilterDependency* dependencies, int numDeps,
                                 void* instanceData, VSCore* core);  // 0
  VSUnusedMember unused_1_6[6];                                      // 1-6
  void(VS_CC* freeNode)(VSNode* node);                               // 7
  VSUnusedMember unused_8_9[2];                                      // 8-9
  const VSVideoInfo*(VS_CC* getVideoInfo)(VSNode* node);             // 10
  VSUnusedMember unused_11;                                          // 11
  VSFrame*(VS_CC* newVideoFrame)(const VSVideoFormat* format, int width, int height,
                                 const VSFrame* propSrc, VSCore* core);                  // 12
  VSUnusedMember unused_13_15[3];                                                        // 13-15
  void(VS_CC* freeFrame)(const VSFrame* f);                                              // 16
  VSUnusedMember unused_17_20[4];                                                        // 17-20
  ptrdiff_t(VS_CC* getStride)(const VSFrame* f, int plane);                              // 21
  const uint8_t*(VS_CC* getReadPtr)(const VSFrame* f, int plane);                        // 22
  uint8_t*(VS_CC* getWritePtr)(VSFrame* f, int plane);                                   // 23
  VSUnusedMember unused_24_29[6];                                                        // 24-29
  int(VS_CC* getVideoFormatName)(const VSVideoFormat* format, char* buffer);             // 30
  VSUnusedMember unused_31_35[5];                                                        // 31-35
  // Synchronous: in a create function only, never inside getFrame.
  const VSFrame*(VS_CC* getFrame)(int n, VSNode* node, char* errorMsg, int bufSize);     // 36
  VSUnusedMember unused_37;                                                              // 37
  const VSFrame*(VS_CC* getFrameFilter)(int n, VSNode* node, VSFrameContext* frameCtx);  // 38
  void(VS_CC* requestFrameFilter)(int n, VSNode* node, VSFrameContext* frameCtx);        // 39
  VSUnusedMember unused_40_41[2];                                                        // 40-41
  void(VS_CC* setFilterError)(const char* errorMessage, VSFrameContext* frameCtx);       // 42
  VSUnusedMember unused_43_50[8];                                                        // 43-50
  void(VS_CC* mapSetError)(VSMap* map, const char* errorMessage);                        // 51
  const char*(VS_CC* mapGetError)(const VSMap* map);                                     // 52
  VSUnusedMember unused_53_55[3];                                                        // 53-55
  int(VS_CC* mapNumElements)(const VSMap* map, const char* key);                         // 56
  VSUnusedMember unused_57_58[2];                                                        // 57-58
  int64_t(VS_CC* mapGetInt)(const VSMap* map, const char* key, int index, int* error);   // 59
  VSUnusedMember unused_60_63[4];                                                        // 60-63
  double(VS_CC* mapGetFloat)(const VSMap* map, const char* key, int index, int* error);  // 64
  VSUnusedMember unused_65_68[4];                                                        // 65-68
  const char*(VS_CC* mapGetData)(const VSMap* map, const char* key, int index,
                                 int* error);                                            // 69
  int(VS_CC* mapGetDataSize)(const VSMap* map, const char* key, int index, int* error);  // 70
  VSUnusedMember unused_71_72[2];                                                        // 71-72
  VSNode*(VS_CC* mapGetNode)(const VSMap* map, const char* key, int index, int* error);  // 73
  VSUnusedMember unused_74_100[27];                                                      // 74-100
  void(VS_CC* getCoreInfo)(VSCore* core, VSCoreInfo* info);                              // 101
};

typedef void(VS_CC* VSInitPlugin)(VSPlugin* plugin, const VSPLUGINAPI* vspapi);

}  // extern "C"

// The layouts the host was built with, on every target this module is built
// for (x86-64 Linux and Windows; 32-bit Windows).
namespace vs_layout {
constexpr size_t kPointer = sizeof(void*);
static_assert(sizeof(VSVideoFormat) == 28 && alignof(VSVideoFormat) == 4, "VSVideoFormat");
static_assert(sizeof(VSVideoInfo) == 64 && alignof(VSVideoInfo) == 8, "VSVideoInfo");
static_assert(offsetof(VSVideoInfo, fpsNum) == 32 && offsetof(VSVideoInfo, fpsDen) == 40 &&
                  offsetof(VSVideoInfo, width) == 48 && offsetof(VSVideoInfo, height) == 52 &&
                  offsetof(VSVideoInfo, numFrames) == 56,
              "VSVideoInfo offsets");
static_assert(sizeof(VSFilterDependency) == 2 * kPointer &&
                  offsetof(VSFilterDependency, requestPattern) == kPointer,
              "VSFilterDependency");
static_assert(offsetof(VSCoreInfo, core) == kPointer &&
                  offsetof(VSCoreInfo, numThreads) == kPointer + 8 &&
                  offsetof(VSCoreInfo, maxFramebufferSize) == (kPointer == 8 ? 24 : 16) &&
                  sizeof(VSCoreInfo) == (kPointer == 8 ? 40 : 32),
              "VSCoreInfo");
static_assert(sizeof(VSPLUGINAPI) == 3 * kPointer, "VSPLUGINAPI");
#define ZOLTA_VSAPI_SLOT(member, index) \
  static_assert(offsetof(VSAPI, member) == (index)*kPointer, "VSAPI::" #member)
ZOLTA_VSAPI_SLOT(createVideoFilter, 0);
ZOLTA_VSAPI_SLOT(freeNode, 7);
ZOLTA_VSAPI_SLOT(getVideoInfo, 10);
ZOLTA_VSAPI_SLOT(newVideoFrame, 12);
ZOLTA_VSAPI_SLOT(freeFrame, 16);
ZOLTA_VSAPI_SLOT(getStride, 21);
ZOLTA_VSAPI_SLOT(getReadPtr, 22);
ZOLTA_VSAPI_SLOT(getWritePtr, 23);
ZOLTA_VSAPI_SLOT(getVideoFormatName, 30);
ZOLTA_VSAPI_SLOT(getFrameFilter, 38);
ZOLTA_VSAPI_SLOT(requestFrameFilter, 39);
ZOLTA_VSAPI_SLOT(setFilterError, 42);
ZOLTA_VSAPI_SLOT(mapSetError, 51);
ZOLTA_VSAPI_SLOT(mapGetError, 52);
ZOLTA_VSAPI_SLOT(mapNumElements, 56);
ZOLTA_VSAPI_SLOT(mapGetInt, 59);
ZOLTA_VSAPI_SLOT(mapGetFloat, 64);
ZOLTA_VSAPI_SLOT(mapGetData, 69);
ZOLTA_VSAPI_SLOT(mapGetDataSize, 70);
ZOLTA_VSAPI_SLOT(mapGetNode, 73);
ZOLTA_VSAPI_SLOT(getCoreInfo, 101);
static_assert(sizeof(VSAPI) == 102 * kPointer, "VSAPI prefix");
#undef ZOLTA_VSAPI_SLOT
}  // namespace vs_layout
