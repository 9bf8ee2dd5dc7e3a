/* SPDX-License-Identifier: BSD-2-Clause */
// The part of the OpenFX image-effect interface (API 1.x, plugin API
// "OfxImageEffectPluginAPI" version 1) that this effect uses, declared here
// from the interface's published facts: the handles, the plugin and host
// records, the suites in their member order, and the names and status codes
// as plain constants. Every string's value is the name without its leading
// 'k' unless written out otherwise.
#pragma once

#include <cstddef>

extern "C" {

typedef int OfxStatus;
typedef double OfxTime;

typedef struct OfxPropertySetStruct* OfxPropertySetHandle;
typedef struct OfxImageEffectStruct* OfxImageEffectHandle;
typedef struct OfxImageClipStruct* OfxImageClipHandle;
typedef struct OfxImageMemoryStruct* OfxImageMemoryHandle;
typedef struct OfxParamStruct* OfxParamHandle;
typedef struct OfxParamSetStruct* OfxParamSetHandle;
typedef struct OfxMutex* OfxMutexHandle;

typedef struct OfxRectI {
  int x1, y1, x2, y2;
} OfxRectI;
typedef struct OfxRectD {
  double x1, y1, x2, y2;
} OfxRectD;
typedef struct OfxRangeD {
  double min, max;
} OfxRangeD;

typedef struct OfxHost {
  OfxPropertySetHandle host;
  const void* (*fetchSuite)(OfxPropertySetHandle host, const char* suiteName, int suiteVersion);
} OfxHost;

typedef OfxStatus(OfxPluginEntryPoint)(const char* action, const void* handle,
                                       OfxPropertySetHandle inArgs, OfxPropertySetHandle outArgs);

typedef struct OfxPlugin {
  const char* pluginApi;
  int apiVersion;
  const char* pluginIdentifier;
  unsigned int pluginVersionMajor;
  unsigned int pluginVersionMinor;
  void (*setHost)(OfxHost* host);
  OfxPluginEntryPoint* mainEntry;
} OfxPlugin;

typedef struct OfxPropertySuiteV1 {
  OfxStatus (*propSetPointer)(OfxPropertySetHandle, const char*, int, void*);
  OfxStatus (*propSetString)(OfxPropertySetHandle, const char*, int, const char*);
  OfxStatus (*propSetDouble)(OfxPropertySetHandle, const char*, int, double);
  OfxStatus (*propSetInt)(OfxPropertySetHandle, const char*, int, int);
  OfxStatus (*propSetPointerN)(OfxPropertySetHandle, const char*, int, void* const*);
  OfxStatus (*propSetStringN)(OfxPropertySetHandle, const char*, int, const char* const*);
  OfxStatus (*propSetDoubleN)(OfxPropertySetHandle, const char*, int, const double*);
  OfxStatus (*propSetIntN)(OfxPropertySetHandle, const char*, int, const int*);
  OfxStatus (*propGetPointer)(OfxPropertySetHandle, const char*, int, void**);
  OfxStatus (*propGetString)(OfxPropertySetHandle, const char*, int, char**);
  OfxStatus (*propGetDouble)(OfxPropertySetHandle, const char*, int, double*);
  OfxStatus (*propGetInt)(OfxPropertySetHandle, const char*, int, int*);
  OfxStatus (*propGetPointerN)(OfxPropertySetHandle, const char*, int, void**);
  OfxStatus (*propGetStringN)(OfxPropertySetHandle, const char*, int, char**);
  OfxStatus (*propGetDoubleN)(OfxPropertySetHandle, const char*, int, double*);
  OfxStatus (*propGetIntN)(OfxPropertySetHandle, const char*, int, int*);
  OfxStatus (*propReset)(OfxPropertySetHandle, const char*);
  OfxStatus (*propGetDimension)(OfxPropertySetHandle, const char*, int*);
} OfxPropertySuiteV1;

typedef struct OfxImageEffectSuiteV1 {
  OfxStatus (*getPropertySet)(OfxImageEffectHandle, OfxPropertySetHandle*);
  OfxStatus (*getParamSet)(OfxImageEffectHandle, OfxParamSetHandle*);
  OfxStatus (*clipDefine)(OfxImageEffectHandle, const char*, OfxPropertySetHandle*);
  OfxStatus (*clipGetHandle)(OfxImageEffectHandle, const char*, OfxImageClipHandle*,
                             OfxPropertySetHandle*);
  OfxStatus (*clipGetPropertySet)(OfxImageClipHandle, OfxPropertySetHandle*);
  OfxStatus (*clipGetImage)(OfxImageClipHandle, OfxTime, const OfxRectD*, OfxPropertySetHandle*);
  OfxStatus (*clipReleaseImage)(OfxPropertySetHandle);
  OfxStatus (*clipGetRegionOfDefinition)(OfxImageClipHandle, OfxTime, OfxRectD*);
  int (*abort)(OfxImageEffectHandle);
  OfxStatus (*imageMemoryAlloc)(OfxImageEffectHandle, size_t, OfxImageMemoryHandle*);
  OfxStatus (*imageMemoryFree)(OfxImageMemoryHandle);
  OfxStatus (*imageMemoryLock)(OfxImageMemoryHandle, void**);
  OfxStatus (*imageMemoryUnlock)(OfxImageMemoryHandle);
} OfxImageEffectSuiteV1;

typedef struct OfxParameterSuiteV1 {
  OfxStatus (*paramDefine)(OfxParamSetHandle, const char*, const char*, OfxPropertySetHandle*);
  OfxStatus (*paramGetHandle)(OfxParamSetHandle, const char*, OfxParamHandle*,
                              OfxPropertySetHandle*);
  OfxStatus (*paramSetGetPropertySet)(OfxParamSetHandle, OfxPropertySetHandle*);
  OfxStatus (*paramGetPropertySet)(OfxParamHandle, OfxPropertySetHandle*);
  OfxStatus (*paramGetValue)(OfxParamHandle, ...);
  OfxStatus (*paramGetValueAtTime)(OfxParamHandle, OfxTime, ...);
  OfxStatus (*paramGetDerivative)(OfxParamHandle, OfxTime, ...);
  OfxStatus (*paramGetIntegral)(OfxParamHandle, OfxTime, OfxTime, ...);
  OfxStatus (*paramSetValue)(OfxParamHandle, ...);
  OfxStatus (*paramSetValueAtTime)(OfxParamHandle, OfxTime, ...);
  OfxStatus (*paramGetNumKeys)(OfxParamHandle, unsigned int*);
  OfxStatus (*paramGetKeyTime)(OfxParamHandle, unsigned int, OfxTime*);
  OfxStatus (*paramGetKeyIndex)(OfxParamHandle, OfxTime, int, int*);
  OfxStatus (*paramDeleteKey)(OfxParamHandle, OfxTime);
  OfxStatus (*paramDeleteAllKeys)(OfxParamHandle);
  OfxStatus (*paramCopy)(OfxParamHandle, OfxParamHandle, OfxTime, const OfxRangeD*);
  OfxStatus (*paramEditBegin)(OfxParamSetHandle, const char*);
  OfxStatus (*paramEditEnd)(OfxParamSetHandle);
} OfxParameterSuiteV1;

typedef void(OfxThreadFunctionV1)(unsigned int threadIndex, unsigned int threadMax,
                                  void* customArg);

typedef struct OfxMultiThreadSuiteV1 {
  OfxStatus (*multiThread)(OfxThreadFunctionV1* func, unsigned int nThreads, void* customArg);
  OfxStatus (*multiThreadNumCPUs)(unsigned int* nCPUs);
  OfxStatus (*multiThreadIndex)(unsigned int* threadIndex);
  int (*multiThreadIsSpawnedThread)(void);
  OfxStatus (*mutexCreate)(OfxMutexHandle* mutex, int lockCount);
  OfxStatus (*mutexDestroy)(const OfxMutexHandle mutex);
  OfxStatus (*mutexLock)(const OfxMutexHandle mutex);
  OfxStatus (*mutexUnLock)(const OfxMutexHandle mutex);
  OfxStatus (*mutexTryLock)(const OfxMutexHandle mutex);
} OfxMultiThreadSuiteV1;

typedef struct OfxMessageSuiteV1 {
  OfxStatus (*message)(void* handle, const char* messageType, const char* messageId,
                       const char* format, ...);
} OfxMessageSuiteV1;

}  // extern "C"

// Status codes.
constexpr OfxStatus kOfxStatOK = 0;
constexpr OfxStatus kOfxStatFailed = 1;
constexpr OfxStatus kOfxStatErrFatal = 2;
constexpr OfxStatus kOfxStatErrUnknown = 3;
constexpr OfxStatus kOfxStatErrMissingHostFeature = 4;
constexpr OfxStatus kOfxStatErrUnsupported = 5;
constexpr OfxStatus kOfxStatErrBadHandle = 9;
constexpr OfxStatus kOfxStatErrValue = 11;
constexpr OfxStatus kOfxStatErrMemory = 8;
constexpr OfxStatus kOfxStatReplyDefault = 14;
constexpr OfxStatus kOfxStatErrImageFormat = 1000;

// Names: the API, the suites, the actions.
#define kOfxImageEffectPluginApi "OfxImageEffectPluginAPI"
#define kOfxPropertySuite "OfxPropertySuite"
#define kOfxImageEffectSuite "OfxImageEffectSuite"
#define kOfxParameterSuite "OfxParameterSuite"
#define kOfxMultiThreadSuite "OfxMultiThreadSuite"
#define kOfxMessageSuite "OfxMessageSuite"

#define kOfxActionLoad "OfxActionLoad"
#define kOfxActionUnload "OfxActionUnload"
#define kOfxActionDescribe "OfxActionDescribe"
#define kOfxActionCreateInstance "OfxActionCreateInstance"
#define kOfxActionDestroyInstance "OfxActionDestroyInstance"
#define kOfxActionPurgeCaches "OfxActionPurgeCaches"
#define kOfxImageEffectActionDescribeInContext "OfxImageEffectActionDescribeInContext"
#define kOfxImageEffectActionGetFramesNeeded "OfxImageEffectActionGetFramesNeeded"
#define kOfxImageEffectActionBeginSequenceRender "OfxImageEffectActionBeginSequenceRender"
#define kOfxImageEffectActionRender "OfxImageEffectActionRender"
#define kOfxImageEffectActionEndSequenceRender "OfxImageEffectActionEndSequenceRender"

// Properties.
#define kOfxPropLabel "OfxPropLabel"
#define kOfxPropShortLabel "OfxPropShortLabel"
#define kOfxPropLongLabel "OfxPropLongLabel"
#define kOfxPropPluginDescription "OfxPropPluginDescription"
#define kOfxPropInstanceData "OfxPropInstanceData"
#define kOfxPropTime "OfxPropTime"
#define kOfxPropVersion "OfxPropVersion"
#define kOfxPropVersionLabel "OfxPropVersionLabel"
#define kOfxImageEffectPluginPropGrouping "OfxImageEffectPluginPropGrouping"
#define kOfxImageEffectPropSupportedContexts "OfxImageEffectPropSupportedContexts"
#define kOfxImageEffectPropSupportedPixelDepths "OfxImageEffectPropSupportedPixelDepths"
#define kOfxImageEffectPropSupportedComponents "OfxImageEffectPropSupportedComponents"
#define kOfxImageEffectPluginPropSingleInstance "OfxImageEffectPluginPropSingleInstance"
#define kOfxImageEffectPluginRenderThreadSafety "OfxImageEffectPluginRenderThreadSafety"
#define kOfxImageEffectRenderInstanceSafe "OfxImageEffectRenderInstanceSafe"
#define kOfxImageEffectPluginPropHostFrameThreading "OfxImageEffectPluginPropHostFrameThreading"
#define kOfxImageEffectPropSupportsMultiResolution "OfxImageEffectPropSupportsMultiResolution"
#define kOfxImageEffectPropSupportsTiles "OfxImageEffectPropSupportsTiles"
#define kOfxImageEffectPropTemporalClipAccess "OfxImageEffectPropTemporalClipAccess"
#define kOfxImageEffectPropSupportsMultipleClipDepths "OfxImageEffectPropMultipleClipDepths"
#define kOfxImageEffectPluginPropFieldRenderTwiceAlways \
  "OfxImageEffectPluginPropFieldRenderTwiceAlways"
#define kOfxImageEffectInstancePropSequentialRender "OfxImageEffectInstancePropSequentialRender"
#define kOfxImageClipPropFieldExtraction "OfxImageClipPropFieldExtraction"
#define kOfxImageEffectPropFrameRange "OfxImageEffectPropFrameRange"
#define kOfxImageEffectPropRenderWindow "OfxImageEffectPropRenderWindow"
#define kOfxImageEffectPropRenderScale "OfxImageEffectPropRenderScale"
#define kOfxImageEffectPropPixelDepth "OfxImageEffectPropPixelDepth"
#define kOfxImageEffectPropComponents "OfxImageEffectPropComponents"
#define kOfxImagePropData "OfxImagePropData"
#define kOfxImagePropBounds "OfxImagePropBounds"
#define kOfxImagePropRowBytes "OfxImagePropRowBytes"
#define kOfxImagePropUniqueIdentifier "OfxImagePropUniqueIdentifier"
#define kOfxImageClipPropFrameRange_Source "OfxImageClipPropFrameRange_Source"

// Values.
#define kOfxImageEffectContextFilter "OfxImageEffectContextFilter"
#define kOfxImageEffectContextGeneral "OfxImageEffectContextGeneral"
#define kOfxImageEffectOutputClipName "Output"
#define kOfxImageEffectSimpleSourceClipName "Source"
#define kOfxBitDepthByte "OfxBitDepthByte"
#define kOfxBitDepthShort "OfxBitDepthShort"
#define kOfxBitDepthFloat "OfxBitDepthFloat"
#define kOfxImageComponentRGBA "OfxImageComponentRGBA"
#define kOfxImageComponentRGB "OfxImageComponentRGB"
#define kOfxImageFieldSingle "OfxFieldSingle"
#define kOfxMessageError "OfxMessageError"

// Parameters.
#define kOfxParamTypeInteger "OfxParamTypeInteger"
#define kOfxParamTypeDouble "OfxParamTypeDouble"
#define kOfxParamTypeChoice "OfxParamTypeChoice"
#define kOfxParamTypeString "OfxParamTypeString"
#define kOfxParamTypeBoolean "OfxParamTypeBoolean"
#define kOfxParamTypeGroup "OfxParamTypeGroup"
#define kOfxParamPropDefault "OfxParamPropDefault"
#define kOfxParamPropMin "OfxParamPropMin"
#define kOfxParamPropMax "OfxParamPropMax"
#define kOfxParamPropDisplayMin "OfxParamPropDisplayMin"
#define kOfxParamPropDisplayMax "OfxParamPropDisplayMax"
#define kOfxParamPropHint "OfxParamPropHint"
#define kOfxParamPropScriptName "OfxParamPropScriptName"
#define kOfxParamPropAnimates "OfxParamPropAnimates"
#define kOfxParamPropChoiceOption "OfxParamPropChoiceOption"
#define kOfxParamPropParent "OfxParamPropParent"
#define kOfxParamPropGroupOpen "OfxParamPropGroupOpen"
#define kOfxParamPropStringMode "OfxParamPropStringMode"
#define kOfxParamStringIsSingleLine "OfxParamStringIsSingleLine"
#define kOfxParamStringIsFilePath "OfxParamStringIsFilePath"
#define kOfxParamPropStringFilePathExists "OfxParamPropStringFilePathExists"
