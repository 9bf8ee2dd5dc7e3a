// SPDX-License-Identifier: BSD-2-Clause
// The frei0r module zolta.so: the functions frei0r's hosts look up by name.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "frei0r_api.h"
#include "frei0r_filter.h"
#include "frei0r_params.h"

#define ZOLTA_FREI0R_EXPORT extern "C" __attribute__((visibility("default")))

ZOLTA_FREI0R_EXPORT int f0r_init() {
  return 1;
}

ZOLTA_FREI0R_EXPORT void f0r_deinit() {}

ZOLTA_FREI0R_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info) {
  info->name = "zolta";
  info->author = "zolta";
  info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
  info->color_model = F0R_COLOR_MODEL_BGRA8888;
  info->frei0r_version = FREI0R_MAJOR_VERSION;
  info->major_version = 1;
  info->minor_version = 0;
  info->num_params = frei0r_param_count();
  info->explanation = "wavelet noise reduction";
}

ZOLTA_FREI0R_EXPORT void f0r_get_param_info(f0r_param_info_t* info, int param_index) {
  const ParamDef* p = frei0r_param(param_index);
  if (!p) return;
  info->name = p->name;
  info->type = frei0r_param_type(*p);
  info->explanation = frei0r_param_explanation(param_index);
}

namespace {

// True when code of ffmpeg's filter library called: its frei0r host (Debian
// 12's ffmpeg 5.1) gives frames whose rows are padded to a multiple of 16
// pixels (64 bytes, the widest SIMD alignment) when the width is not one,
// while frei0r tells a filter no row length, so such frames cannot be read
// or written right, not even copied.
bool called_by_ffmpeg(void* return_address) {
  Dl_info info{};
  if (!dladdr(return_address, &info) || !info.dli_fname) return false;
  const char* slash = std::strrchr(info.dli_fname, '/');
  const char* name = slash ? slash + 1 : info.dli_fname;
  return std::strncmp(name, "libavfilter.so", 14) == 0 || std::strcmp(name, "ffmpeg") == 0;
}

}  // namespace

ZOLTA_FREI0R_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
  if (width % 16 != 0 && called_by_ffmpeg(__builtin_return_address(0))) {
    // No instance: ffmpeg stops ("Impossible to load frei0r instance").
    std::fprintf(stderr,
                 "zolta: ffmpeg pads the rows of frames %u pixels wide, and frei0r gives a "
                 "filter no row length: in ffmpeg the width must be a multiple of 16; pad and "
                 "crop around the filter (pad=ceil(iw/16)*16:ih,frei0r=zolta,crop=%u:ih:0:0) or "
                 "use zolta-run in a pipe\n",
                 width, width);
    return nullptr;
  }
  std::string message;
  Frei0rFilter* filter = frei0r_filter_create(width, height, &message);
  if (!message.empty()) std::fprintf(stderr, "zolta: %s\n", message.c_str());
  return filter;
}

ZOLTA_FREI0R_EXPORT void f0r_destruct(f0r_instance_t instance) {
  frei0r_filter_destroy(static_cast<Frei0rFilter*>(instance));
}

ZOLTA_FREI0R_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param,
                                             int param_index) {
  frei0r_filter_set(static_cast<Frei0rFilter*>(instance), param, param_index);
}

ZOLTA_FREI0R_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param,
                                             int param_index) {
  frei0r_filter_get(static_cast<Frei0rFilter*>(instance), param, param_index);
}

ZOLTA_FREI0R_EXPORT void f0r_update(f0r_instance_t instance, double /*time*/,
                                    const uint32_t* inframe, uint32_t* outframe) {
  frei0r_filter_update(static_cast<Frei0rFilter*>(instance), inframe, outframe);
}
