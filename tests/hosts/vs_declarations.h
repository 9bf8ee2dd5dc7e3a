/* SPDX-License-Identifier: BSD-2-Clause */
// VapourSynth API 4 (up to 4.2, as R77 offers it) as the stand-in core
// declares it, written from the host's published facts and nothing of the
// plugin's: the full VSAPI table, every member typed in its place, the plugin
// table, the records passed by pointer, the callbacks and the constants. All
// of it lives in standin_vs; the opaque handles are completed by the
// stand-in core itself.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define STANDIN_VS_CC __stdcall
#else
#define STANDIN_VS_CC
#endif

namespace standin_vs {

// (major << 16) | minor.
constexpr int make_version(int major, int minor) {
  return (major << 16) | minor;
}
constexpr int kApi40 = make_version(4, 0);
constexpr int kApi42 = make_version(4, 2);

// ------------------------------------------------------------ handles

struct VSFrame;
struct VSNode;
struct VSCore;
struct VSPlugin;
struct VSPluginFunction;
struct VSFunction;
struct VSMap;
struct VSLogHandle;
struct VSFrameContext;

// ------------------------------------------------------------ constants

enum VSColorFamily { cfUndefined = 0, cfGray = 1, cfRGB = 2, cfYUV = 3 };
enum VSSampleType { stInteger = 0, stFloat = 1 };
enum VSFilterMode { fmParallel = 0, fmParallelRequests = 1, fmUnordered = 2, fmFrameState = 3 };
enum VSActivationReason { arInitial = 0, arAllFramesReady = 1, arError = -1 };
enum VSRequestPattern {
  rpGeneral = 0,
  rpNoFrameReuse = 1,
  rpStrictSpatial = 2,
  rpFrameReuseLastOnly = 3
};
enum VSMapAppendMode { maReplace = 0, maAppend = 1 };
enum VSCoreCreationFlags {
  ccfEnableGraphInspection = 1,
  ccfDisableAutoLoading = 2,
  ccfDisableLibraryUnloading = 4,
  ccfEnableFrameRefDebug = 8
};
enum VSPropertyType {
  ptUnset = 0,
  ptInt = 1,
  ptFloat = 2,
  ptData = 3,
  ptFunction = 4,
  ptVideoNode = 5,
  ptAudioNode = 6,
  ptVideoFrame = 7,
  ptAudioFrame = 8
};
enum VSMapPropertyError { peSuccess = 0, peUnset = 1, peType = 2, peError = 3, peIndex = 4 };
enum VSDataTypeHint { dtUnknown = -1, dtBinary = 0, dtUtf8 = 1 };
enum VSMediaType { mtVideo = 1, mtAudio = 2 };
enum VSMessageType { mtDebug = 0, mtInformation = 1, mtWarning = 2, mtCritical = 3, mtFatal = 4 };
enum VSCacheMode { cmAuto = -1, cmForceDisable = 0, cmForceEnable = 1 };
enum VSPluginConfigFlags { pcModifiable = 1 };

// ------------------------------------------------------------ records

struct VSVideoFormat {
  int colorFamily;  // VSColorFamily
  int sampleType;   // VSSampleType
  int bitsPerSample;
  int bytesPerSample;
  int subSamplingW;  // log2, planes 1 and 2
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

struct VSAudioFormat {
  int sampleType;
  int bitsPerSample;
  int bytesPerSample;
  int numChannels;
  uint64_t channelLayout;
};

struct VSAudioInfo {
  VSAudioFormat format;
  int sampleRate;
  int64_t numSamples;
  int numFrames;
};

struct VSFilterDependency {
  VSNode* source;
  int requestPattern;  // VSRequestPattern
};

struct VSCoreInfo {
  const char* versionString;
  int core;
  int api;
  int numThreads;
  int64_t maxFramebufferSize;
  int64_t usedFramebufferSize;
};

struct VSCoreInfo2 {
  const char* versionString;
  int coreVersion;
  int apiVersion;
  int creationFlags;
  int numThreads;
  int64_t maxFramebufferSize;
  int64_t usedFramebufferSize;
};

// ------------------------------------------------------------ callbacks

struct VSAPI;
struct VSPLUGINAPI;

typedef void(STANDIN_VS_CC* VSPublicFunction)(const VSMap* in, VSMap* out, void* userData,
                                              VSCore* core, const VSAPI* vsapi);
typedef const VSFrame*(STANDIN_VS_CC* VSFilterGetFrame)(int n, int activationReason,
                                                        void* instanceData, void** frameData,
                                                        VSFrameContext* frameCtx, VSCore* core,
                                                        const VSAPI* vsapi);
typedef void(STANDIN_VS_CC* VSFilterFree)(void* instanceData, VSCore* core, const VSAPI* vsapi);
typedef void(STANDIN_VS_CC* VSFreeFunctionData)(void* userData);
typedef void(STANDIN_VS_CC* VSFrameDoneCallback)(void* userData, const VSFrame* f, int n,
                                                 VSNode* node, const char* errorMsg);
typedef void(STANDIN_VS_CC* VSLogHandler)(int msgType, const char* msg, void* userData);
typedef void(STANDIN_VS_CC* VSLogHandlerFree)(void* userData);
// The plugin's entry, VapourSynthPluginInit2.
typedef void(STANDIN_VS_CC* VSInitPlugin)(VSPlugin* plugin, const VSPLUGINAPI* vspapi);

// ------------------------------------------------------------ tables

struct VSPLUGINAPI {
  int(STANDIN_VS_CC* getAPIVersion)();
  int(STANDIN_VS_CC* configPlugin)(const char* identifier, const char* pluginNamespace,
                                   const char* name, int pluginVersion, int apiVersion, int flags,
                                   VSPlugin* plugin);
  int(STANDIN_VS_CC* registerFunction)(const char* name, const char* args, const char* returnType,
                                       VSPublicFunction argsFunc, void* functionData,
                                       VSPlugin* plugin);
};

#define STANDIN_VS_MEMBER(result, name, ...) result(STANDIN_VS_CC* name)(__VA_ARGS__)

// All 121 members of R77's table, in order.
struct VSAPI {
  // 0-11: filters and nodes
  STANDIN_VS_MEMBER(void, createVideoFilter, VSMap* out, const char* name, const VSVideoInfo* vi,
                    VSFilterGetFrame getFrame, VSFilterFree free, int filterMode,
                    const VSFilterDependency* dependencies, int numDeps, void* instanceData,
                    VSCore* core);
  STANDIN_VS_MEMBER(VSNode*, createVideoFilter2, const char* name, const VSVideoInfo* vi,
                    VSFilterGetFrame getFrame, VSFilterFree free, int filterMode,
                    const VSFilterDependency* dependencies, int numDeps, void* instanceData,
                    VSCore* core);
  STANDIN_VS_MEMBER(void, createAudioFilter, VSMap* out, const char* name, const VSAudioInfo* ai,
                    VSFilterGetFrame getFrame, VSFilterFree free, int filterMode,
                    const VSFilterDependency* dependencies, int numDeps, void* instanceData,
                    VSCore* core);
  STANDIN_VS_MEMBER(VSNode*, createAudioFilter2, const char* name, const VSAudioInfo* ai,
                    VSFilterGetFrame getFrame, VSFilterFree free, int filterMode,
                    const VSFilterDependency* dependencies, int numDeps, void* instanceData,
                    VSCore* core);
  STANDIN_VS_MEMBER(int, setLinearFilter, VSNode* node);
  STANDIN_VS_MEMBER(void, setCacheMode, VSNode* node, int mode);
  STANDIN_VS_MEMBER(void, setCacheOptions, VSNode* node, int fixedSize, int maxSize,
                    int maxHistorySize);
  STANDIN_VS_MEMBER(void, freeNode, VSNode* node);
  STANDIN_VS_MEMBER(VSNode*, addNodeRef, VSNode* node);
  STANDIN_VS_MEMBER(int, getNodeType, VSNode* node);
  STANDIN_VS_MEMBER(const VSVideoInfo*, getVideoInfo, VSNode* node);
  STANDIN_VS_MEMBER(const VSAudioInfo*, getAudioInfo, VSNode* node);
  // 12-29: frames
  STANDIN_VS_MEMBER(VSFrame*, newVideoFrame, const VSVideoFormat* format, int width, int height,
                    const VSFrame* propSrc, VSCore* core);
  STANDIN_VS_MEMBER(VSFrame*, newVideoFrame2, const VSVideoFormat* format, int width, int height,
                    const VSFrame** planeSrc, const int* planes, const VSFrame* propSrc,
                    VSCore* core);
  STANDIN_VS_MEMBER(VSFrame*, newAudioFrame, const VSAudioFormat* format, int numSamples,
                    const VSFrame* propSrc, VSCore* core);
  STANDIN_VS_MEMBER(VSFrame*, newAudioFrame2, const VSAudioFormat* format, int numSamples,
                    const VSFrame** channelSrc, const int* channels, const VSFrame* propSrc,
                    VSCore* core);
  STANDIN_VS_MEMBER(void, freeFrame, const VSFrame* f);
  STANDIN_VS_MEMBER(const VSFrame*, addFrameRef, const VSFrame* f);
  STANDIN_VS_MEMBER(VSFrame*, copyFrame, const VSFrame* f, VSCore* core);
  STANDIN_VS_MEMBER(const VSMap*, getFramePropertiesRO, const VSFrame* f);
  STANDIN_VS_MEMBER(VSMap*, getFramePropertiesRW, VSFrame* f);
  STANDIN_VS_MEMBER(ptrdiff_t, getStride, const VSFrame* f, int plane);
  STANDIN_VS_MEMBER(const uint8_t*, getReadPtr, const VSFrame* f, int plane);
  STANDIN_VS_MEMBER(uint8_t*, getWritePtr, VSFrame* f, int plane);
  STANDIN_VS_MEMBER(const VSVideoFormat*, getVideoFrameFormat, const VSFrame* f);
  STANDIN_VS_MEMBER(const VSAudioFormat*, getAudioFrameFormat, const VSFrame* f);
  STANDIN_VS_MEMBER(int, getFrameType, const VSFrame* f);
  STANDIN_VS_MEMBER(int, getFrameWidth, const VSFrame* f, int plane);
  STANDIN_VS_MEMBER(int, getFrameHeight, const VSFrame* f, int plane);
  STANDIN_VS_MEMBER(int, getFrameLength, const VSFrame* f);
  // 30-35: formats
  STANDIN_VS_MEMBER(int, getVideoFormatName, const VSVideoFormat* format, char* buffer);
  STANDIN_VS_MEMBER(int, getAudioFormatName, const VSAudioFormat* format, char* buffer);
  STANDIN_VS_MEMBER(int, queryVideoFormat, VSVideoFormat* format, int colorFamily, int sampleType,
                    int bitsPerSample, int subSamplingW, int subSamplingH, VSCore* core);
  STANDIN_VS_MEMBER(int, queryAudioFormat, VSAudioFormat* format, int sampleType, int bitsPerSample,
                    uint64_t channelLayout, VSCore* core);
  STANDIN_VS_MEMBER(uint32_t, queryVideoFormatID, int colorFamily, int sampleType,
                    int bitsPerSample, int subSamplingW, int subSamplingH, VSCore* core);
  STANDIN_VS_MEMBER(int, getVideoFormatByID, VSVideoFormat* format, uint32_t id, VSCore* core);
  // 36-42: frame requests
  STANDIN_VS_MEMBER(const VSFrame*, getFrame, int n, VSNode* node, char* errorMsg, int bufSize);
  STANDIN_VS_MEMBER(void, getFrameAsync, int n, VSNode* node, VSFrameDoneCallback callback,
                    void* userData);
  STANDIN_VS_MEMBER(const VSFrame*, getFrameFilter, int n, VSNode* node, VSFrameContext* frameCtx);
  STANDIN_VS_MEMBER(void, requestFrameFilter, int n, VSNode* node, VSFrameContext* frameCtx);
  STANDIN_VS_MEMBER(void, releaseFrameEarly, VSNode* node, int n, VSFrameContext* frameCtx);
  STANDIN_VS_MEMBER(void, cacheFrame, const VSFrame* frame, int n, VSFrameContext* frameCtx);
  STANDIN_VS_MEMBER(void, setFilterError, const char* errorMessage, VSFrameContext* frameCtx);
  // 43-46: functions
  STANDIN_VS_MEMBER(VSFunction*, createFunction, VSPublicFunction func, void* userData,
                    VSFreeFunctionData free, VSCore* core);
  STANDIN_VS_MEMBER(void, freeFunction, VSFunction* f);
  STANDIN_VS_MEMBER(VSFunction*, addFunctionRef, VSFunction* f);
  STANDIN_VS_MEMBER(void, callFunction, VSFunction* func, const VSMap* in, VSMap* out);
  // 47-81: maps
  STANDIN_VS_MEMBER(VSMap*, createMap, void);
  STANDIN_VS_MEMBER(void, freeMap, VSMap* map);
  STANDIN_VS_MEMBER(void, clearMap, VSMap* map);
  STANDIN_VS_MEMBER(void, copyMap, const VSMap* src, VSMap* dst);
  STANDIN_VS_MEMBER(void, mapSetError, VSMap* map, const char* errorMessage);
  STANDIN_VS_MEMBER(const char*, mapGetError, const VSMap* map);
  STANDIN_VS_MEMBER(int, mapNumKeys, const VSMap* map);
  STANDIN_VS_MEMBER(const char*, mapGetKey, const VSMap* map, int index);
  STANDIN_VS_MEMBER(int, mapDeleteKey, VSMap* map, const char* key);
  STANDIN_VS_MEMBER(int, mapNumElements, const VSMap* map, const char* key);
  STANDIN_VS_MEMBER(int, mapGetType, const VSMap* map, const char* key);
  STANDIN_VS_MEMBER(int, mapSetEmpty, VSMap* map, const char* key, int type);
  STANDIN_VS_MEMBER(int64_t, mapGetInt, const VSMap* map, const char* key, int index, int* error);
  STANDIN_VS_MEMBER(int, mapGetIntSaturated, const VSMap* map, const char* key, int index,
                    int* error);
  STANDIN_VS_MEMBER(const int64_t*, mapGetIntArray, const VSMap* map, const char* key, int* error);
  STANDIN_VS_MEMBER(int, mapSetInt, VSMap* map, const char* key, int64_t i, int append);
  STANDIN_VS_MEMBER(int, mapSetIntArray, VSMap* map, const char* key, const int64_t* i, int size);
  STANDIN_VS_MEMBER(double, mapGetFloat, const VSMap* map, const char* key, int index, int* error);
  STANDIN_VS_MEMBER(float, mapGetFloatSaturated, const VSMap* map, const char* key, int index,
                    int* error);
  STANDIN_VS_MEMBER(const double*, mapGetFloatArray, const VSMap* map, const char* key, int* error);
  STANDIN_VS_MEMBER(int, mapSetFloat, VSMap* map, const char* key, double d, int append);
  STANDIN_VS_MEMBER(int, mapSetFloatArray, VSMap* map, const char* key, const double* d, int size);
  STANDIN_VS_MEMBER(const char*, mapGetData, const VSMap* map, const char* key, int index,
                    int* error);
  STANDIN_VS_MEMBER(int, mapGetDataSize, const VSMap* map, const char* key, int index, int* error);
  STANDIN_VS_MEMBER(int, mapGetDataTypeHint, const VSMap* map, const char* key, int index,
                    int* error);
  STANDIN_VS_MEMBER(int, mapSetData, VSMap* map, const char* key, const char* data, int size,
                    int type, int append);
  STANDIN_VS_MEMBER(VSNode*, mapGetNode, const VSMap* map, const char* key, int index, int* error);
  STANDIN_VS_MEMBER(int, mapSetNode, VSMap* map, const char* key, VSNode* node, int append);
  STANDIN_VS_MEMBER(int, mapConsumeNode, VSMap* map, const char* key, VSNode* node, int append);
  STANDIN_VS_MEMBER(const VSFrame*, mapGetFrame, const VSMap* map, const char* key, int index,
                    int* error);
  STANDIN_VS_MEMBER(int, mapSetFrame, VSMap* map, const char* key, const VSFrame* f, int append);
  STANDIN_VS_MEMBER(int, mapConsumeFrame, VSMap* map, const char* key, const VSFrame* f,
                    int append);
  STANDIN_VS_MEMBER(VSFunction*, mapGetFunction, const VSMap* map, const char* key, int index,
                    int* error);
  STANDIN_VS_MEMBER(int, mapSetFunction, VSMap* map, const char* key, VSFunction* func, int append);
  STANDIN_VS_MEMBER(int, mapConsumeFunction, VSMap* map, const char* key, VSFunction* func,
                    int append);
  // 82-96: plugins
  STANDIN_VS_MEMBER(int, registerFunction, const char* name, const char* args,
                    const char* returnType, VSPublicFunction argsFunc, void* functionData,
                    VSPlugin* plugin);
  STANDIN_VS_MEMBER(VSPlugin*, getPluginByID, const char* identifier, VSCore* core);
  STANDIN_VS_MEMBER(VSPlugin*, getPluginByNamespace, const char* ns, VSCore* core);
  STANDIN_VS_MEMBER(VSPlugin*, getNextPlugin, VSPlugin* plugin, VSCore* core);
  STANDIN_VS_MEMBER(const char*, getPluginName, VSPlugin* plugin);
  STANDIN_VS_MEMBER(const char*, getPluginID, VSPlugin* plugin);
  STANDIN_VS_MEMBER(const char*, getPluginNamespace, VSPlugin* plugin);
  STANDIN_VS_MEMBER(VSPluginFunction*, getNextPluginFunction, VSPluginFunction* func,
                    VSPlugin* plugin);
  STANDIN_VS_MEMBER(VSPluginFunction*, getPluginFunctionByName, const char* name, VSPlugin* plugin);
  STANDIN_VS_MEMBER(const char*, getPluginFunctionName, VSPluginFunction* func);
  STANDIN_VS_MEMBER(const char*, getPluginFunctionArguments, VSPluginFunction* func);
  STANDIN_VS_MEMBER(const char*, getPluginFunctionReturnType, VSPluginFunction* func);
  STANDIN_VS_MEMBER(const char*, getPluginPath, const VSPlugin* plugin);
  STANDIN_VS_MEMBER(int, getPluginVersion, const VSPlugin* plugin);
  STANDIN_VS_MEMBER(VSMap*, invoke, VSPlugin* plugin, const char* name, const VSMap* args);
  // 97-105: the core
  STANDIN_VS_MEMBER(VSCore*, createCore, int flags);
  STANDIN_VS_MEMBER(void, freeCore, VSCore* core);
  STANDIN_VS_MEMBER(int64_t, setMaxCacheSize, int64_t bytes, VSCore* core);
  STANDIN_VS_MEMBER(int, setThreadCount, int threads, VSCore* core);
  STANDIN_VS_MEMBER(void, getCoreInfo, VSCore* core, VSCoreInfo* info);
  STANDIN_VS_MEMBER(int, getAPIVersion, void);
  STANDIN_VS_MEMBER(void, logMessage, int msgType, const char* msg, VSCore* core);
  STANDIN_VS_MEMBER(VSLogHandle*, addLogHandler, VSLogHandler handler, VSLogHandlerFree free,
                    void* userData, VSCore* core);
  STANDIN_VS_MEMBER(int, removeLogHandler, VSLogHandle* handle, VSCore* core);
  // 106-115: API 4.1
  STANDIN_VS_MEMBER(void, clearNodeCache, VSNode* node);
  STANDIN_VS_MEMBER(void, clearCoreCaches, VSCore* core);
  STANDIN_VS_MEMBER(const char*, getNodeName, VSNode* node);
  STANDIN_VS_MEMBER(int, getNodeFilterMode, VSNode* node);
  STANDIN_VS_MEMBER(int, getNumNodeDependencies, VSNode* node);
  STANDIN_VS_MEMBER(const VSFilterDependency*, getNodeDependency, VSNode* node, int index);
  STANDIN_VS_MEMBER(int, getCoreNodeTiming, VSCore* core);
  STANDIN_VS_MEMBER(void, setCoreNodeTiming, VSCore* core, int enable);
  STANDIN_VS_MEMBER(int64_t, getNodeProcessingTime, VSNode* node, int reset);
  STANDIN_VS_MEMBER(int64_t, getFreedNodeProcessingTime, VSCore* core, int reset);
  // 116: API 4.2
  STANDIN_VS_MEMBER(void, getCoreInfo2, VSCore* core, VSCoreInfo2* info);
  // 117-120: graph inspection, not for plugins
  STANDIN_VS_MEMBER(const char*, getNodeCreationFunctionName, VSNode* node, int level);
  STANDIN_VS_MEMBER(const char*, getNodeCreationPluginID, VSNode* node, int level);
  STANDIN_VS_MEMBER(const char*, getNodeCreationPluginNS, VSNode* node, int level);
  STANDIN_VS_MEMBER(const VSMap*, getNodeCreationFunctionArguments, VSNode* node, int level);
};

#undef STANDIN_VS_MEMBER

// ------------------------------------------------------------ layout

// x86-64 (Linux, Windows) and 32-bit Windows; 32-bit Linux aligns int64_t
// differently and is not a target.
constexpr size_t kPointer = sizeof(void*);
static_assert(sizeof(VSVideoFormat) == 28, "VSVideoFormat");
static_assert(sizeof(VSVideoInfo) == 64 && offsetof(VSVideoInfo, fpsNum) == 32 &&
                  offsetof(VSVideoInfo, width) == 48 && offsetof(VSVideoInfo, numFrames) == 56,
              "VSVideoInfo");
static_assert(sizeof(VSAudioFormat) == 24 && sizeof(VSAudioInfo) == 48 &&
                  offsetof(VSAudioInfo, numSamples) == 32,
              "audio records");
static_assert(sizeof(VSFilterDependency) == 2 * kPointer, "VSFilterDependency");
static_assert(sizeof(VSCoreInfo) == (kPointer == 8 ? 40 : 32) &&
                  offsetof(VSCoreInfo, maxFramebufferSize) == (kPointer == 8 ? 24 : 16),
              "VSCoreInfo");
static_assert(sizeof(VSCoreInfo2) == 40 && offsetof(VSCoreInfo2, maxFramebufferSize) == 24,
              "VSCoreInfo2");
static_assert(sizeof(VSPLUGINAPI) == 3 * kPointer, "VSPLUGINAPI");
static_assert(sizeof(VSAPI) == 121 * kPointer, "VSAPI: 121 members");
static_assert(offsetof(VSAPI, newVideoFrame) == 12 * kPointer, "VSAPI 12");
static_assert(offsetof(VSAPI, getVideoFormatName) == 30 * kPointer, "VSAPI 30");
static_assert(offsetof(VSAPI, getFrame) == 36 * kPointer, "VSAPI 36");
static_assert(offsetof(VSAPI, createMap) == 47 * kPointer, "VSAPI 47");
static_assert(offsetof(VSAPI, mapGetInt) == 59 * kPointer, "VSAPI 59");
static_assert(offsetof(VSAPI, mapGetData) == 69 * kPointer, "VSAPI 69");
static_assert(offsetof(VSAPI, registerFunction) == 82 * kPointer, "VSAPI 82");
static_assert(offsetof(VSAPI, createCore) == 97 * kPointer, "VSAPI 97");
static_assert(offsetof(VSAPI, getCoreInfo) == 101 * kPointer, "VSAPI 101");
static_assert(offsetof(VSAPI, removeLogHandler) == 105 * kPointer, "VSAPI: end of 4.0");
static_assert(offsetof(VSAPI, getFreedNodeProcessingTime) == 115 * kPointer, "VSAPI: end of 4.1");
static_assert(offsetof(VSAPI, getCoreInfo2) == 116 * kPointer, "VSAPI: end of 4.2");

}  // namespace standin_vs
