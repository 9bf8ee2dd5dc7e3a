// SPDX-License-Identifier: BSD-2-Clause
#include "plugin.h"

#include <cstdint>
#include <new>

#include "denoise_filter.h"
#include "settings_codec.h"

namespace {

// What building a filter came to. Either filter is set, or message (a
// finished text) is, or unopened_path is (the file that could not be opened).
struct Creation {
  DenoiseFilter* filter = nullptr;
  const char* message = nullptr;
  const char* unopened_path = nullptr;
};

Creation refuse(DenoiseFilter* filter, const char* message) {
  delete filter;  // drops its reference to the source clip
  Creation c;
  c.message = message;
  return c;
}

const char* path_argument(const AVSValue& args) {
  if (!args.IsArray() || args.ArraySize() < 2 || !args[1].IsString()) return nullptr;
  return args[1].AsString();
}

// Builds and checks the filter without raising anything, so that every
// resource (the file, the object, its reference to the source) is released
// before the caller raises the error.
Creation build_filter(const AVSValue& args) {
  const char* path = path_argument(args);
  DenoiseFilter* filter = nullptr;
  {
    const PClip clip = args[0].AsClip();
    if (!clip) return refuse(nullptr, "ZOLTA:The first argument must be a clip.");
    filter = new (std::nothrow) DenoiseFilter(clip);
  }
  if (!filter) return refuse(nullptr, "ZOLTA:Out of memory for the filter.");

  zolta::FilterState& state = filter->state;
  if (state.width <= 0 || state.width % 8 != 0) {
    return refuse(filter, "ZOLTA:Illegal width size.");
  }
  if (state.height <= 0 || state.height % 8 != 0) {
    return refuse(filter, "ZOLTA:Illegal height size.");
  }

  // An empty path names no file (and some C runtimes stop the process when
  // asked to open one), but it is still the path the script gave: it goes
  // into the message as it stands. Only a missing path gets the stand-in.
  // Directories and other non-files cannot be opened as settings files.
  int32_t values[9];
  const int read = (path && *path) ? zolta::read_settings_file(path, values, nullptr)
                                   : static_cast<int>(ZOLTA_ERROR_FILE_OPEN);
  if (read == ZOLTA_ERROR_FILE_OPEN) {
    delete filter;
    Creation c;
    c.unopened_path = path ? path : kNoPathText;
    return c;
  }
  if (read == ZOLTA_ERROR_MEMORY) return refuse(filter, "ZOLTA:Out of memory for the filter.");
  if (read != ZOLTA_OK) return refuse(filter, "ZOLTA:Invalid vcf file.");
  zolta::unpack_legacy(values, ZOLTA_UNPACK_FILE, state.thresholds);

  if (!filter->GetVideoInfo().IsYUY2()) return refuse(filter, "ZOLTA:YUY2 data only");

  // No frame of this host interface holds more than INT_MAX bytes; larger
  // sizes are no clip the engine could be given. Checked last, so that a
  // clip with other faults hears of them first, in their usual order.
  if (static_cast<int64_t>(state.width) * 2 * state.height > INT32_MAX) {
    return refuse(filter, "ZOLTA:Frame size too large.");
  }

  if (!zolta::start_stream(state, state.width, state.height, true))
    return refuse(filter, "ZOLTA:Out of memory for the frame buffers.");

  Creation c;
  c.filter = filter;
  return c;
}

}  // namespace

AVSValue AVS_CDECL create_filter(AVSValue args, void* /*user_data*/, IScriptEnvironment* env) {
  const Creation c = build_filter(args);
  if (c.filter) return AVSValue(static_cast<IClip*>(c.filter));
  // The path goes in as an argument, so a "%" in it is printed as it stands
  // and a long path is never cut by a buffer of ours.
  if (c.unopened_path) {
    env->ThrowError("ZOLTA:Can't open %s.", c.unopened_path);
  } else {
    env->ThrowError("%s", c.message);
  }
  return AVSValue();
}

extern "C" const char* AVS_STDCALL AvisynthPluginInit(IScriptEnvironment* env) {
  env->AddFunction("ZOLTA", "c[path]s", create_filter, nullptr);
  return "`ZOLTA' plugin";
}
