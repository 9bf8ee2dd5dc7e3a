#include "vs_filter.h"

#include <cstdio>
#include <new>
#include <string>

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
};

void set_error(VSMap* out, const VSAPI* vsapi, const char* message) {
  char text[640];
  std::snprintf(text, sizeof text, "%s: %s", kName, message);
  vsapi->mapSetError(out, text);
}

const VSFrame* VS_CC get_frame(int n, int reason, void* instance_data, void** /*frame_data*/,
                               VSFrameContext* ctx, VSCore* core, const VSAPI* vsapi) {
  const Instance* instance = static_cast<const Instance*>(instance_data);
  if (reason == arInitial) {
    vsapi->requestFrameFilter(n, instance->node, ctx);
    return nullptr;
  }
  if (reason != arAllFramesReady) return nullptr;
  const VSFrame* src = vsapi->getFrameFilter(n, instance->node, ctx);
  if (!src) return nullptr;
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
  zolta_error error;
  const int status = zolta_denoiser_process(instance->denoiser, &in, &out, &error);
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
  if (vs_stream_from_info(*vi, named ? format_name : nullptr, &config.stream, &error) != ZOLTA_OK ||
      settings_from_args(args, config.stream.family, &config.settings, &error) != ZOLTA_OK) {
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
  if (zolta_denoiser_create(&config, &instance->denoiser, &error) != ZOLTA_OK) {
    free_instance(instance, core, vsapi);
    set_error(out, vsapi, error.message);
    return;
  }
  const VSFilterDependency deps[1] = {{node, rpStrictSpatial}};
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
