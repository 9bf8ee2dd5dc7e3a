/* SPDX-License-Identifier: BSD-2-Clause */
// VirtualDub's filter interface (version 7) as the stand-in host declares it,
// written from the host's published facts and nothing of the module's: the
// records the host owns and hands out, the ones a filter hands in, the
// callbacks' signatures and the host's function table. Everything lives in
// standin_vdub, so a test program that links a module next to this host sees
// two independent declarations, and a layout that differs between them shows
// up in its tests instead of compiling away.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#define STANDIN_VDUB_CDECL __cdecl
#else
#define STANDIN_VDUB_CDECL
#endif

namespace standin_vdub {

// The Win32 handles the interface passes. Natively the host has no windows:
// a handle is an address the host hands on and compares, nothing more.
#if defined(_WIN32)
using WindowHandle = ::HWND;
using InstanceHandle = ::HINSTANCE;
using DeviceContextHandle = ::HDC;
#else
using WindowHandle = void*;
using InstanceHandle = void*;
using DeviceContextHandle = void*;
#endif

struct FilterModule;
struct FilterDefinition;
struct FilterFunctions;
struct FilterActivation;
struct FilterStateInfo;     // frame timing; the stand-in hands none out
struct IScriptInterpreter;  // the host's interpreter; passed as null
struct CScriptObject;
struct CScriptValue;
struct VFBitmap;
class IFilterPreview;

// ------------------------------------------------------------ module entries

// Both take the two int& of the interface: at the binary level, pointers.
using ModuleInitEntry = int(STANDIN_VDUB_CDECL*)(FilterModule* module,
                                                 const FilterFunctions* functions,
                                                 int& interface_version, int& compatible_version);
using ModuleDeinitEntry = void(STANDIN_VDUB_CDECL*)(FilterModule* module,
                                                    const FilterFunctions* functions);

// The record the host keeps for each loaded module.
struct FilterModule {
  FilterModule* next;
  FilterModule* prev;
  InstanceHandle hInstModule;
  ModuleInitEntry initModule;
  ModuleDeinitEntry deinitModule;
};

// ------------------------------------------------------------ filter callbacks

using InitProc = int(STANDIN_VDUB_CDECL*)(FilterActivation*, const FilterFunctions*);
using DeinitProc = void(STANDIN_VDUB_CDECL*)(FilterActivation*, const FilterFunctions*);
using RunProc = int(STANDIN_VDUB_CDECL*)(const FilterActivation*, const FilterFunctions*);
using ParamProc = long(STANDIN_VDUB_CDECL*)(FilterActivation*, const FilterFunctions*);
using ConfigProc = int(STANDIN_VDUB_CDECL*)(FilterActivation*, const FilterFunctions*,
                                            WindowHandle parent);
using StringProc = void(STANDIN_VDUB_CDECL*)(const FilterActivation*, const FilterFunctions*,
                                             char* text);
using StartProc = int(STANDIN_VDUB_CDECL*)(FilterActivation*, const FilterFunctions*);
using EndProc = int(STANDIN_VDUB_CDECL*)(FilterActivation*, const FilterFunctions*);
using ScriptStringProc = bool(STANDIN_VDUB_CDECL*)(FilterActivation*, const FilterFunctions*,
                                                   char* text, int text_length);

// What a module registers: eighteen pointer-sized slots. The host reads as
// many of them as the length handed to addFilter covers.
struct FilterDefinition {
  FilterDefinition* next;
  FilterDefinition* prev;
  FilterModule* module;
  const char* name;
  const char* desc;
  const char* maker;
  void* private_data;
  int inst_data_size;  // its slot is pointer-wide: the next field is a pointer
  InitProc initProc;
  DeinitProc deinitProc;
  RunProc runProc;
  ParamProc paramProc;
  ConfigProc configProc;
  StringProc stringProc;
  StartProc startProc;
  EndProc endProc;
  CScriptObject* script_obj;
  ScriptStringProc fssProc;
};

// ------------------------------------------------------------ host table

// The host's services, in the order of the table it hands every call.
struct FilterFunctions {
  FilterDefinition*(STANDIN_VDUB_CDECL* addFilter)(FilterModule* module,
                                                   FilterDefinition* definition,
                                                   int definition_length);
  void(STANDIN_VDUB_CDECL* removeFilter)(FilterDefinition* definition);
  bool(STANDIN_VDUB_CDECL* isFPUEnabled)();
  bool(STANDIN_VDUB_CDECL* isMMXEnabled)();
  void(STANDIN_VDUB_CDECL* InitVTables)(void* vtable_table);
  void(STANDIN_VDUB_CDECL* ExceptOutOfMemory)();
  void(STANDIN_VDUB_CDECL* Except)(const char* format, ...);
  long(STANDIN_VDUB_CDECL* getCPUFlags)();
  long(STANDIN_VDUB_CDECL* getHostVersionInfo)(char* text, int text_length);
};

// ------------------------------------------------------------ frames

// The host's bitmap: its own vtable pointer first (never called by a
// filter), then the picture. The counts are 32-bit longs in every build.
struct VBitmap {
  const void* host_vtable;
  uint32_t* data;
  uint32_t* palette;
  int32_t depth;
  int32_t w;
  int32_t h;
  int32_t pitch;  // in bytes; negative for rows stored bottom up
  int32_t modulo;
  int32_t size;
  int32_t offset;
};

// The bitmap a filter sees. Later hosts append more behind hdc.
struct VFBitmap : VBitmap {
  uint32_t dwFlags;
  DeviceContextHandle hdc;
};

// One filter instance as the host hands it to every callback.
struct FilterActivation {
  FilterDefinition* filter;
  void* filter_data;  // inst_data_size bytes, owned by the host
  VFBitmap* dst;      // references in the host's C++: pointers in memory
  VFBitmap* src;
  void* rsrc;  // reserved
  VFBitmap* last;
  uint32_t x1;
  uint32_t y1;
  uint32_t x2;
  uint32_t y2;
  FilterStateInfo* pfsi;
  IFilterPreview* ifp;
};

// ------------------------------------------------------------ preview

using PreviewButtonCallback = void(STANDIN_VDUB_CDECL*)(bool state, void* data);
using PreviewSampleCallback = void(STANDIN_VDUB_CDECL*)(VFBitmap* frame, long number, long count,
                                                        void* data);

// The live preview the host lends to configProc: twelve virtual methods in
// this order, every slot kept, no virtual destructor.
class IFilterPreview {
 public:
  virtual void SetButtonCallback(PreviewButtonCallback callback, void* data) = 0;
  virtual void SetSampleCallback(PreviewSampleCallback callback, void* data) = 0;
  virtual bool isPreviewEnabled() = 0;
  virtual void Toggle(WindowHandle owner) = 0;
  virtual void Display(WindowHandle owner, bool show) = 0;
  virtual void RedoFrame() = 0;
  virtual void RedoSystem() = 0;
  virtual void UndoSystem() = 0;
  virtual void InitButton(WindowHandle button) = 0;
  virtual void Close() = 0;
  virtual bool SampleCurrentFrame() = 0;
  virtual long SampleFrames() = 0;

 protected:
  ~IFilterPreview() = default;
};

// ------------------------------------------------------------ script

enum ScriptValueKind : int32_t { kScriptVoid = 0, kScriptInt = 1 };

// One argument of a script call.
struct CScriptValue {
  int32_t type;  // ScriptValueKind and the kinds after it
  CScriptObject* thisPtr;
  union {
    int32_t i;  // the integer a call's argument carries
    void* pointer;
  } u;
  void* lpVoid;
};

using ScriptFunction = CScriptValue(STANDIN_VDUB_CDECL*)(IScriptInterpreter* interpreter,
                                                         void* context, CScriptValue* args,
                                                         int arg_count);
// What a function whose argument list starts with '0' really is.
using ScriptVoidFunction = void(STANDIN_VDUB_CDECL*)(IScriptInterpreter* interpreter, void* context,
                                                     CScriptValue* args, int arg_count);
using ScriptLookup = CScriptValue(STANDIN_VDUB_CDECL*)(IScriptInterpreter* interpreter,
                                                       const CScriptObject* object, void* context,
                                                       char* name);

struct ScriptFunctionDef {
  ScriptFunction func_ptr;
  const char* name;
  const char* arg_list;  // the return kind, then one letter per argument
};

struct CScriptObject {
  ScriptLookup Lookup;
  ScriptFunctionDef* func_list;  // ends with an entry of three nulls
  void* obj_list;
};

// ------------------------------------------------------------ layout

constexpr size_t kSlot = sizeof(void*);
// The full definition, ending with fssProc.
constexpr int kFullDefinitionLength = static_cast<int>(18 * kSlot);

static_assert(sizeof(FilterDefinition) == 18 * kSlot, "FilterDefinition: 18 slots");
static_assert(offsetof(FilterDefinition, inst_data_size) == 7 * kSlot, "inst_data_size");
static_assert(offsetof(FilterDefinition, initProc) == 8 * kSlot, "initProc");
static_assert(offsetof(FilterDefinition, script_obj) == 16 * kSlot, "script_obj");
static_assert(offsetof(FilterDefinition, fssProc) == 17 * kSlot, "fssProc");
static_assert(sizeof(FilterModule) == 5 * kSlot, "FilterModule");
static_assert(sizeof(FilterFunctions) == 9 * kSlot, "FilterFunctions");
static_assert(offsetof(FilterFunctions, Except) == 6 * kSlot, "Except");
static_assert(offsetof(VBitmap, data) == kSlot && offsetof(VBitmap, depth) == 3 * kSlot, "VBitmap");
static_assert(offsetof(VBitmap, offset) == 3 * kSlot + 6 * 4, "VBitmap counts");
static_assert(offsetof(FilterActivation, x1) == 6 * kSlot, "FilterActivation coordinates");
static_assert(offsetof(FilterActivation, pfsi) == 6 * kSlot + 16, "FilterActivation pfsi");
static_assert(sizeof(ScriptFunctionDef) == 3 * kSlot && sizeof(CScriptObject) == 3 * kSlot,
              "script records");
static_assert(offsetof(CScriptValue, u) == 2 * kSlot && sizeof(CScriptValue) == 4 * kSlot,
              "CScriptValue");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(FilterDefinition) == 72, "the 32-bit host reads 72 bytes");
static_assert(offsetof(FilterActivation, ifp) == 44, "FilterActivation on 32-bit");
static_assert(sizeof(VBitmap) == 40 && sizeof(VFBitmap) == 48, "bitmaps on 32-bit");
#endif

}  // namespace standin_vdub
