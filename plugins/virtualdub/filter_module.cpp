// SPDX-License-Identifier: BSD-2-Clause
#include "filter_module.h"

#include <cstring>

#include "config_dialog.h"
#include "dialog_api.h"
#include "filter_state.h"
#include "library_module.h"
#include "resource.h"
#include "rgb32.h"
#include "script_config.h"
#include "settings_codec.h"

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#include <mmintrin.h>
#define ZOLTA_HAVE_EMMS 1
#endif

using namespace zolta;

namespace {

FilterState& state_of(const FilterActivation* fa) {
  return *static_cast<FilterState*>(fa->filter_data);
}

// Leaves the processor's vector state clean for the host's floating point.
void clear_vector_state() {
#ifdef ZOLTA_HAVE_EMMS
  _mm_empty();
#endif
}

}  // namespace

// The definition handed to addFilter; the host keeps its own copy and fills
// next, prev and module there.
static FilterDefinition filter_definition = {
    nullptr,                 // next
    nullptr,                 // prev
    nullptr,                 // module
    zolta::kFilterName,      // name: "quilmer (0.1)"
    "",                      // desc
    "the zolta developers",  // maker
    nullptr,                 // private_data
    sizeof(FilterState),     // inst_data_size
    init_proc,               // initProc
    nullptr,                 // deinitProc
    run_proc,                // runProc
    nullptr,                 // paramProc: output has the input's size
    config_proc,             // configProc
    nullptr,                 // stringProc
    start_proc,              // startProc
    end_proc,                // endProc
    &script_object,          // script_obj
    script_string_proc,      // fssProc
};

// The host's copy of filter_definition, kept from load to unload.
static FilterDefinition* registered_definition = nullptr;

extern "C" int __cdecl VirtualdubFilterModuleInit2(FilterModule* module,
                                                   const FilterFunctions* functions, int& vdfd_ver,
                                                   int& vdfd_compat) {
  registered_definition = functions->addFilter(module, &filter_definition, kFilterDefinitionLength);
  if (!registered_definition) return 1;
  vdfd_ver = kFilterInterfaceVersion;
  vdfd_compat = kFilterInterfaceCompatible;
  return 0;
}

extern "C" void __cdecl VirtualdubFilterModuleDeinit(FilterModule*,
                                                     const FilterFunctions* functions) {
  // A module whose registration was refused has nothing to withdraw.
  if (registered_definition) functions->removeFilter(registered_definition);
  registered_definition = nullptr;
}

const char* frame_size_error(int32_t width, int32_t height) {
  if (width <= 0 || (width & 7) != 0) return kIllegalWidth;
  if (height <= 0 || (height & 7) != 0) return kIllegalHeight;
  return nullptr;
}

int __cdecl init_proc(FilterActivation* fa, const FilterFunctions*) {
  FilterState& state = state_of(fa);
  // The host's block is not promised to be zeroed: clear the pointers and
  // geometry so that an end or run before any start finds nothing to free.
  std::memset(&state, 0, sizeof state);
  state.yuy2 = 0;
  init_defaults(state);
  return 0;
}

int __cdecl start_proc(FilterActivation* fa, const FilterFunctions* ff) {
  FilterState& state = state_of(fa);
  const VFBitmap& src = *fa->src;
  state.src = src.data;
  state.src_pitch = src.pitch >> 2;
  state.dst = fa->dst->data;
  // A size the run callback will refuse gets no buffers; it is reported
  // there, in the host's words for it. A start without an end must not leak.
  if (src.w <= 0 || src.h <= 0) {
    free_buffers(state);
    state.width = src.w;
    state.height = src.h;
    return 0;
  }
  if (!start_stream(state, src.w, src.h, false)) {
    ff->ExceptOutOfMemory();
    return 1;  // hosts whose error function returns see a failed start
  }
  return 0;
}

int __cdecl run_proc(const FilterActivation* fa, const FilterFunctions* ff) {
  FilterState& state = state_of(fa);
  if (const char* message = frame_size_error(state.width, state.height)) {
    ff->Except(message);
    return 1;  // never reached with a host whose Except raises
  }
  if (!state.plane_block) {
    ff->Except(kNoPlaneBuffers);
    return 1;
  }
  if (!state.src || !state.dst) {
    ff->Except(kNoFrameBuffers);
    return 1;
  }
  process_rgb32_frame(state);
  clear_vector_state();
  return 0;
}

int __cdecl end_proc(FilterActivation* fa, const FilterFunctions*) {
  FilterState& state = state_of(fa);
  free_buffers(state);
  state.plane_y = state.plane_cb = state.plane_cr = nullptr;
  return 0;
}

int __cdecl config_proc(FilterActivation* fa, const FilterFunctions*, HWND parent) {
  FilterState& state = state_of(fa);
  state.preview = fa->ifp;
  HINSTANCE instance = nullptr;
  if (fa->filter && fa->filter->module) instance = fa->filter->module->hInstModule;
  // Newer hosts leave the field null; the template is in this library.
  if (!instance) instance = library_module();
  const INT_PTR result =
      dialog_api().DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_FILTER_CONFIG), parent,
                                   config_dialog_proc, reinterpret_cast<LPARAM>(&state));
  return static_cast<int>(result);
}
