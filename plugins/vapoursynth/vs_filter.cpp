// SPDX-License-Identifier: BSD-2-Clause
#include "vs_filter.h"

#include <cstdio>
#include <new>
#include <string>

#include "clip_window.h"
#include "plugin_errors.h"
#include "settings_args.h"
#include "vs_args.h"
#include "vs_formats.h"
#include "zolta.h"

namespace {

const char kName[] = "Denoise";

// Read-only after creation; shared by every thread that asks for frames.
struct Instance {
  VSNode* node = nullptr;
  VSVideoInfo vi = {};
  int planes = 0;
  zolta_denoiser* denoiser = nullptr;
  int radius = 0;  // frames n - radius ... n + radius make frame n
};

void set_error(VSMap* out, const VSAPI* vsapi, const char* message) {
  char text[640];
  std::snprintf(text, sizeof text, "%s: %s", kName, message);
  vsapi->mapSetError(out, text);
}

const VSFrame* VS_CC get_frame(int n, int reason, void* instance_data, void** /*frame_data*/,
                               VSFrameContext* ctx, VSCore* core, const VSAPI* vsapi) {
  const Instance* instance = static_cast<const Instance*>(instance_data);
  // The window's frames, clamped to the clip: n - radius ... n + radius.
  const int radius = instance->radius;
  const int first = n - radius > 0 ? n - radius : 0;
  const int last =
      n + radius < instance->vi.numFrames - 1 ? n + radius : instance->vi.numFrames - 1;
  if (reason == arInitial) {
    for (int i = first; i <= last; ++i) vsapi->requestFrameFilter(i, instance->node, ctx);
    return nullptr;
  }
  if (reason != arAllFramesReady) return nullptr;
  const VSFrame* window_frames[5] = {};
  zolta_frame window_planes[5] = {};
  for (int i = first; i <= last; ++i) {
    const VSFrame* f = vsapi->getFrameFilter(i, instance->node, ctx);
    window_frames[i - first] = f;
    for (int p = 0; p < instance->planes && f; ++p) {
      window_planes[i - first].data[p] = const_cast<uint8_t*>(vsapi->getReadPtr(f, p));
      window_planes[i - first].stride[p] = vsapi->getStride(f, p);
    }
    // Numbered by their place in the clip, so that the denoiser converts
    // each frame once for the windows it is in.
    window_planes[i - first].number = i + 1;
  }
  auto release_window = [&] {
    for (int i = first; i <= last; ++i) {
      if (i != n) vsapi->freeFrame(window_frames[i - first]);
    }
  };
  const VSFrame* src = window_frames[n - first];
  if (!src) {
    release_window();
    return nullptr;
  }
  VSFrame* dst = vsapi->newVideoFrame(&instance->vi.format, instance->vi.width, instance->vi.height,
                                      src, core);
  zolta_frame in = {};
  zolta_frame out = {};
  for (int p = 0; p < instance->planes; ++p) {
    in.data[p] = const_cast<uint8_t*>(vsapi->getReadPtr(src, p));
    in.stride[p] = vsapi->getStride(src, p);
    out.data[p] = vsapi->getWritePtr(dst, p);
    out.stride[p] = vsapi->getStride(dst, p);
  }
  // Mirrored at the clip's ends: a frame given twice counts once.
  const zolta_frame* window[5];
  for (int k = -radius; k <= radius; ++k) {
    window[k + radius] = &window_planes[mirrored(n + k, instance->vi.numFrames) - first];
  }
  in.number = n + 1;
  window[radius] = &in;
  zolta_error error;
  const int status =
      zolta_denoiser_process_window(instance->denoiser, window, 2 * radius + 1, &out, &error);
  release_window();
  vsapi->freeFrame(src);
  if (status != ZOLTA_OK) {
    char text[640];
    std::snprintf(text, sizeof text, "%s: %s", kName, error.message);
    vsapi->setFilterError(text, ctx);
    vsapi->freeFrame(dst);
    return nullptr;
  }
  return dst;
}

void VS_CC free_instance(void* instance_data, VSCore* /*core*/, const VSAPI* vsapi) {
  Instance* instance = static_cast<Instance*>(instance_data);
  vsapi->freeNode(instance->node);
  zolta_denoiser_destroy(instance->denoiser);
  delete instance;
}

// sigma_auto: the model of the clip's first frames, asked for here, before
// any frame of the filter is: measured once, so every frame has the same
// settings whatever the threads or the order of the requests.
int measure_clip(VSNode* node, const VSVideoInfo& vi, const zolta_stream& stream,
                 const VSAPI* vsapi, zolta_noise_model* model, zolta_error* error) {
  const int count = vi.numFrames < kMeasureFrames ? vi.numFrames : kMeasureFrames;
  const int planes = zolta_stream_planes(&stream);
  const VSFrame* frames[kMeasureFrames] = {};
  zolta_frame views[kMeasureFrames] = {};
  const zolta_frame* pointers[kMeasureFrames] = {};
  int status = ZOLTA_OK;
  for (int i = 0; i < count && status == ZOLTA_OK; ++i) {
    char why[256] = {};
    frames[i] = vsapi->getFrame(i, node, why, sizeof why);
    if (!frames[i]) {
      status = plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "sigma_auto: frame %d of the clip: %s", i,
                           why);
      break;
    }
    for (int p = 0; p < planes; ++p) {
      views[i].data[p] = const_cast<uint8_t*>(vsapi->getReadPtr(frames[i], p));
      views[i].stride[p] = vsapi->getStride(frames[i], p);
    }
    pointers[i] = &views[i];
  }
  if (status == ZOLTA_OK) {
    zolta_noise_model_default(model, ZOLTA_API_VERSION);
    status = zolta_noise_measure(&stream, pointers, count, model, error);
  }
  for (const VSFrame* f : frames)
    if (f) vsapi->freeFrame(f);
  return status;
}

void VS_CC create(const VSMap* in, VSMap* out, void* /*user_data*/, VSCore* core,
                  const VSAPI* vsapi) {
  int err = 0;
  VSNode* node = vsapi->mapGetNode(in, "clip", 0, &err);
  if (!node) {
    set_error(out, vsapi, "clip must be a video clip");
    return;
  }
  const VSVideoInfo* vi = vsapi->getVideoInfo(node);
  char format_name[32] = {};
  const bool named = vi->format.colorFamily != cfUndefined &&
                     vsapi->getVideoFormatName(&vi->format, format_name) != 0;
  zolta_denoiser_config config = {};
  zolta_error error = {};
  SettingsArgs args;
  VsTexts texts;
  if (!vs_read_args(in, vsapi, args, texts, &error)) {
    vsapi->freeNode(node);
    set_error(out, vsapi, error.message);
    return;
  }
  // The temporal radius; its thresholds come from the noise.
  int32_t radius = 0;
  zolta_noise_model measured;
  if (settings_args_radius(args, &radius, &error) != ZOLTA_OK ||
      vs_stream_from_info(*vi, named ? format_name : nullptr, &config.stream, &error) != ZOLTA_OK ||
      (settings_args_measure(args) &&
       measure_clip(node, *vi, config.stream, vsapi, &measured, &error) != ZOLTA_OK)) {
    vsapi->freeNode(node);
    set_error(out, vsapi, error.message);
    return;
  }
  args.measured = &measured;
  config.temporal_radius = radius;
  if (settings_from_args(args, config.stream.family, &config.settings, &error) != ZOLTA_OK) {
    vsapi->freeNode(node);
    set_error(out, vsapi, error.message);
    return;
  }
  VSCoreInfo info = {};
  vsapi->getCoreInfo(core, &info);
  config.threads = info.numThreads > 0 ? info.numThreads : 1;

  Instance* instance = new (std::nothrow) Instance;
  if (!instance) {
    vsapi->freeNode(node);
    set_error(out, vsapi, "out of memory");
    return;
  }
  instance->node = node;
  instance->vi = *vi;
  instance->planes = zolta_stream_planes(&config.stream);
  instance->radius = static_cast<int>(radius);
  if (zolta_denoiser_create(&config, &instance->denoiser, &error) != ZOLTA_OK) {
    free_instance(instance, core, vsapi);
    set_error(out, vsapi, error.message);
    return;
  }
  const VSFilterDependency deps[1] = {{node, radius > 0 ? rpGeneral : rpStrictSpatial}};
  vsapi->createVideoFilter(out, kName, &instance->vi, get_frame, free_instance, fmParallel, deps, 1,
                           instance, core);
  // An invalid video info leaves the error on out and never calls free.
  if (vsapi->mapGetError(out)) free_instance(instance, core, vsapi);
}

}  // namespace

void vs_register_plugin(VSPlugin* plugin, const VSPLUGINAPI* vspapi) {
  vspapi->configPlugin("org.zolta.denoise", "zolta", "zolta wavelet noise reduction",
                       VS_MAKE_VERSION(ZOLTA_API_VERSION_MAJOR, ZOLTA_API_VERSION_MINOR),
                       VAPOURSYNTH_API_VERSION_4_0, 0, plugin);
  vspapi->registerFunction(kName, vs_args_string(), "clip:vnode;", create, nullptr, plugin);
}
