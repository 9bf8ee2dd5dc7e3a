#include "vs_filter.h"

#include <cstdio>
#include <new>
#include <string>

#include "formats.h"
#include "plugin_errors.h"
#include "settings_args.h"
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

// The text arguments, held at the length the core gives (data may hold any
// byte, and need not end in a NUL).
struct TextArgs {
  std::string config_text, vcf, view;
};

// Reads one text argument when given; false (and a message) when it holds a
// NUL byte, which would otherwise cut it short.
bool read_text(const VSMap* in, const VSAPI* vsapi, const char* key, std::string& text,
               const char*& target, zolta_error* error) {
  if (vsapi->mapNumElements(in, key) <= 0) return true;
  int err = 0;
  const char* data = vsapi->mapGetData(in, key, 0, &err);
  const int size = vsapi->mapGetDataSize(in, key, 0, &err);
  if (!data || size < 0) return true;
  text.assign(data, static_cast<size_t>(size));
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) {
    plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "%s holds a NUL byte (byte %d of %d)", key,
                static_cast<int>(nul) + 1, size);
    return false;
  }
  target = text.c_str();
  return true;
}

// Reads the optional arguments into args. The core has checked their types
// and counts against the registered argument string; an absent one stays
// unset.
bool read_args(const VSMap* in, const VSAPI* vsapi, SettingsArgs& args, TextArgs& texts,
               zolta_error* error) {
  int err = 0;
  const int count = vsapi->mapNumElements(in, "config");
  if (count >= 0) {
    args.has_config = true;
    args.config_count = count;
    for (int i = 0; i < count && i < 9; ++i)
      args.config[i] = vsapi->mapGetInt(in, "config", i, &err);
  }
  if (vsapi->mapNumElements(in, "sigma") > 0) {
    args.has_sigma = true;
    args.sigma = vsapi->mapGetFloat(in, "sigma", 0, &err);
  }
  if (vsapi->mapNumElements(in, "plane") > 0) {
    args.has_plane = true;
    args.plane = vsapi->mapGetInt(in, "plane", 0, &err);
  }
  return read_text(in, vsapi, "config_text", texts.config_text, args.config_text, error) &&
         read_text(in, vsapi, "vcf", texts.vcf, args.vcf, error) &&
         read_text(in, vsapi, "view", texts.view, args.view, error);
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
  TextArgs texts;
  if (!read_args(in, vsapi, args, texts, &error)) {
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
  vspapi->registerFunction(kName,
                           "clip:vnode;config:int[]:opt:empty;config_text:data:opt;vcf:data:opt;"
                           "sigma:float:opt;view:data:opt;plane:int:opt;",
                           "clip:vnode;", create, nullptr, plugin);
}
