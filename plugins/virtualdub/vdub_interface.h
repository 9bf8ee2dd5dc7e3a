/* SPDX-License-Identifier: BSD-2-Clause */
// VirtualDub's filter interface (version 7), declared in our own words. The
// host owns every record here except the filter definition and the script
// object; field order, widths and calling conventions follow the host's
// binary layout, so the 32-bit library runs in a real VirtualDub. Only the
// fields and table entries the module touches are relied upon.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform_types.h"

struct FilterModule;
struct FilterDefinition;
struct FilterFunctions;
struct FilterActivation;
struct FilterStateInfo;  // host's frame-timing record; never read here
struct VFBitmap;
struct CScriptObject;
struct CScriptValue;
struct IScriptInterpreter;  // opaque: only passed through

// ---------------------------------------------------------------- module

typedef int(__cdecl* FilterModuleInitProc)(FilterModule* module, const FilterFunctions* functions,
                                           int& vdfd_ver, int& vdfd_compat);
typedef void(__cdecl* FilterModuleDeinitProc)(FilterModule* module,
                                              const FilterFunctions* functions);

struct FilterModule {
  FilterModule* next;
  FilterModule* prev;
  HINSTANCE hInstModule;
  FilterModuleInitProc initModule;
  FilterModuleDeinitProc deinitModule;
};

// ---------------------------------------------------------------- bitmaps

// The host's bitmap begins with its own vtable pointer; a filter never calls
// through it, so it is declared as a plain pointer here. Coordinates are the
// host's 32-bit longs.
struct VBitmap {
  void* host_vtable;
  uint32_t* data;
  uint32_t* palette;
  int32_t depth;
  int32_t w;
  int32_t h;
  int32_t pitch;  // bytes between rows, may be negative
  int32_t modulo;
  int32_t size;
  int32_t offset;
};

// Later hosts append fields behind these: never depend on the record's size.
struct VFBitmap : VBitmap {
  uint32_t flags;
  HDC hdc;
};

// ---------------------------------------------------------------- preview

typedef void(__cdecl* FilterPreviewButtonCallback)(bool new_state, void* data);
typedef void(__cdecl* FilterPreviewSampleCallback)(VFBitmap* frame, long frame_number,
                                                   long frame_count, void* data);

// The host's live preview. Every slot is declared so the vtable matches, in
// the host's order; there is no virtual destructor.
class IFilterPreview {
 public:
  virtual void SetButtonCallback(FilterPreviewButtonCallback callback, void* data) = 0;
  virtual void SetSampleCallback(FilterPreviewSampleCallback callback, void* data) = 0;
  virtual bool isPreviewEnabled() = 0;
  virtual void Toggle(HWND window) = 0;
  virtual void Display(HWND window, bool show) = 0;
  virtual void RedoFrame() = 0;
  virtual void RedoSystem() = 0;
  virtual void UndoSystem() = 0;
  virtual void InitButton(HWND button) = 0;
  virtual void Close() = 0;
  virtual bool SampleCurrentFrame() = 0;
  virtual long SampleFrames() = 0;

 protected:
  ~IFilterPreview() = default;
};

// ---------------------------------------------------------------- activation

struct FilterActivation {
  FilterDefinition* filter;
  void* filter_data;  // the instance block of inst_data_size bytes
  VFBitmap* dst;      // a C++ reference in the host: a pointer in the layout
  VFBitmap* src;
  VFBitmap* rsrc;
  VFBitmap* last;
  uint32_t x1, y1, x2, y2;
  FilterStateInfo* pfsi;
  IFilterPreview* ifp;
};

// ---------------------------------------------------------------- callbacks

typedef int(__cdecl* FilterInitProc)(FilterActivation* fa, const FilterFunctions* ff);
typedef void(__cdecl* FilterDeinitProc)(FilterActivation* fa, const FilterFunctions* ff);
typedef int(__cdecl* FilterRunProc)(const FilterActivation* fa, const FilterFunctions* ff);
typedef long(__cdecl* FilterParamProc)(FilterActivation* fa, const FilterFunctions* ff);
typedef int(__cdecl* FilterConfigProc)(FilterActivation* fa, const FilterFunctions* ff,
                                       HWND parent);
typedef void(__cdecl* FilterStringProc)(const FilterActivation* fa, const FilterFunctions* ff,
                                        char* buffer);
typedef int(__cdecl* FilterStartProc)(FilterActivation* fa, const FilterFunctions* ff);
typedef int(__cdecl* FilterEndProc)(FilterActivation* fa, const FilterFunctions* ff);
typedef bool(__cdecl* FilterScriptStringProc)(FilterActivation* fa, const FilterFunctions* ff,
                                              char* buffer, int buffer_length);

struct FilterDefinition {
  FilterDefinition* next;
  FilterDefinition* prev;
  FilterModule* module;
  const char* name;
  const char* desc;
  const char* maker;
  void* private_data;
  int inst_data_size;  // padded to pointer size on 64-bit by the next field
  FilterInitProc initProc;
  FilterDeinitProc deinitProc;
  FilterRunProc runProc;
  FilterParamProc paramProc;
  FilterConfigProc configProc;
  FilterStringProc stringProc;
  FilterStartProc startProc;
  FilterEndProc endProc;
  CScriptObject* script_obj;
  FilterScriptStringProc fssProc;
};

// ---------------------------------------------------------------- host table

struct FilterFunctions {
  FilterDefinition*(__cdecl* addFilter)(FilterModule* module, FilterDefinition* definition,
                                        int definition_length);
  void(__cdecl* removeFilter)(FilterDefinition* definition);
  bool(__cdecl* isFPUEnabled)();
  bool(__cdecl* isMMXEnabled)();
  void(__cdecl* InitVTables)(void* vtable_pointers);
  void(__cdecl* ExceptOutOfMemory)();              // raises the host's error
  void(__cdecl* Except)(const char* format, ...);  // raises the host's error
  long(__cdecl* getCPUFlags)();
  long(__cdecl* getHostVersionInfo)(char* buffer, int length);
};

// ---------------------------------------------------------------- script

enum ScriptValueType : int32_t { ScriptVoid = 0, ScriptInt = 1 };

struct CScriptValue {
  int32_t type;  // ScriptValueType; the host knows more kinds than we use
  CScriptObject* thisPtr;
  union {
    int32_t i;  // what the host's asInt() reads
    void* p;
  } u;
  void* lpVoid;
};

// The declared form of a script function; one whose argument list starts
// with '0' returns nothing and is stored through a cast to this type.
typedef CScriptValue(__cdecl* ScriptFunctionPtr)(IScriptInterpreter* interpreter, void* context,
                                                 CScriptValue* args, int arg_count);
typedef void(__cdecl* ScriptVoidFunctionPtr)(IScriptInterpreter* interpreter, void* context,
                                             CScriptValue* args, int arg_count);
typedef CScriptValue(__cdecl* ScriptObjectLookupPtr)(IScriptInterpreter* interpreter,
                                                     const CScriptObject* object, void* context,
                                                     char* name);

struct ScriptFunctionDef {
  ScriptFunctionPtr func_ptr;
  const char* name;
  const char* arg_list;  // return kind, then one letter per argument
};

struct CScriptObject {
  ScriptObjectLookupPtr Lookup;
  ScriptFunctionDef* func_list;  // ends with an all-null entry
  void* obj_list;
};

// ---------------------------------------------------------------- layout

// The definition's length tells the host which fields exist; the full form,
// ending with fssProc, is this long.
constexpr int kFilterDefinitionLength = 18 * static_cast<int>(sizeof(void*));
static_assert(sizeof(FilterDefinition) == 18 * sizeof(void*), "definition is 18 pointer slots");
static_assert(offsetof(FilterDefinition, fssProc) == 17 * sizeof(void*), "fssProc is last");

#if UINTPTR_MAX == 0xFFFFFFFFu  // every 32-bit target: the product's layout
static_assert(sizeof(void*) == 4, "32-bit layout");
static_assert(sizeof(FilterDefinition) == 72, "the host reads 72 bytes");
static_assert(offsetof(FilterDefinition, module) == 8, "host layout");
static_assert(offsetof(FilterDefinition, inst_data_size) == 28, "host layout");
static_assert(offsetof(FilterDefinition, script_obj) == 64, "host layout");
static_assert(offsetof(FilterModule, hInstModule) == 8, "host layout");
static_assert(offsetof(FilterActivation, filter) == 0, "host layout");
static_assert(offsetof(FilterActivation, filter_data) == 4, "host layout");
static_assert(offsetof(FilterActivation, dst) == 8, "host layout");
static_assert(offsetof(FilterActivation, src) == 12, "host layout");
static_assert(offsetof(FilterActivation, ifp) == 44, "host layout");
static_assert(offsetof(VBitmap, data) == 4, "host layout");
static_assert(offsetof(VBitmap, w) == 16, "host layout");
static_assert(offsetof(VBitmap, h) == 20, "host layout");
static_assert(offsetof(VBitmap, pitch) == 24, "host layout");
static_assert(offsetof(FilterFunctions, addFilter) == 0, "host layout");
static_assert(offsetof(FilterFunctions, removeFilter) == 4, "host layout");
static_assert(offsetof(FilterFunctions, ExceptOutOfMemory) == 20, "host layout");
static_assert(offsetof(FilterFunctions, Except) == 24, "host layout");
static_assert(sizeof(ScriptFunctionDef) == 12, "host layout");
static_assert(offsetof(CScriptObject, func_list) == 4, "host layout");
static_assert(sizeof(CScriptValue) == 16, "host layout");
static_assert(offsetof(CScriptValue, u) == 8, "host layout");
#endif
