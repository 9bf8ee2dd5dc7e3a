// SPDX-License-Identifier: BSD-2-Clause
#include "avs_filter.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "avs_args.h"
#include "avs_formats.h"
#include "avs_functions.h"
#include "clip_window.h"
#include "plugin_errors.h"
#include "settings_args.h"
#include "zolta.h"

namespace {

const char kName[] = "ZoltaDenoise";
// The clip is the first argument (avs_args.h).
constexpr int kArgClip = 0;

const AvsFunctions* g_avs = nullptr;

// Read-only after creation; shared by every thread that asks for frames.
struct Instance {
  AvsPlaneMap map;
  int heights[3] = {};
  // RGB32: the pixels per row whose fourth byte, alpha in AviSynth+, is the
  // source's (the engine leaves it unused); 0 for other formats.
  int alpha_width = 0;
  zolta_denoiser* denoiser = nullptr;
  int radius = 0;  // frames n - radius ... n + radius make frame n
  int frames = 0;  // of the clip
  // Hosts before interface 10: the output is a private copy of the source
  // frame, properties and all (their avs_new_video_frame_p cannot take a
  // frame, nor can 3.7.0's property functions).
  bool copy_source = false;
};

// A new frame with the source's properties: from the host's property source
// where that works, else a private copy of the source (a second reference
// makes avs_make_writable copy it). Null when the host gives none.
AVS_VideoFrame* output_frame(const Instance& instance, AVS_FilterInfo* fi, AVS_VideoFrame* src) {
  if (!instance.copy_source) return g_avs->new_video_frame_p(fi->env, &fi->vi, src);
  AVS_VideoFrame* dst = g_avs->copy_video_frame(src);
  if (dst && g_avs->make_writable(fi->env, &dst) < 0) {
    g_avs->release_video_frame(dst);
    return nullptr;
  }
  return dst;
}

AVS_Value error_value(const char* text) {
  AVS_Value v;
  v.type = kAvsError;
  v.array_size = 0;
  v.d.string = text;
  return v;
}

// The host keeps the message's pointer: the text goes into the environment.
const char* saved_message(AVS_ScriptEnvironment* env, const char* message) {
  char text[640];
  std::snprintf(text, sizeof text, "%s: %s", kName, message);
  const char* saved = g_avs->save_string(env, text, -1);
  return saved ? saved : kName;
}

void fill_frame(const Instance& instance, AVS_VideoFrame* frame, bool write, zolta_frame& out) {
  for (int p = 0; p < instance.map.planes; ++p) {
    const int id = instance.map.plane_ids[p];
    const uint8_t* data =
        write ? g_avs->get_write_ptr_p(frame, id) : g_avs->get_read_ptr_p(frame, id);
    ptrdiff_t stride = g_avs->get_pitch_p(frame, id);
    if (instance.map.bottom_up) {
      // The first row in memory is the picture's last one.
      data += (instance.heights[p] - 1) * stride;
      stride = -stride;
    }
    out.data[p] = const_cast<uint8_t*>(data);
    out.stride[p] = stride;
  }
}

// Rows in memory order in both frames; the layout is the same.
void copy_alpha(const Instance& instance, AVS_VideoFrame* src, AVS_VideoFrame* dst) {
  const uint8_t* from = g_avs->get_read_ptr_p(src, kAvsDefaultPlane);
  uint8_t* to = g_avs->get_write_ptr_p(dst, kAvsDefaultPlane);
  const int from_pitch = g_avs->get_pitch_p(src, kAvsDefaultPlane);
  const int to_pitch = g_avs->get_pitch_p(dst, kAvsDefaultPlane);
  for (int y = 0; y < instance.heights[0]; ++y) {
    const uint8_t* a = from + static_cast<ptrdiff_t>(y) * from_pitch + 3;
    uint8_t* b = to + static_cast<ptrdiff_t>(y) * to_pitch + 3;
    for (int x = 0; x < instance.alpha_width; ++x) b[4 * x] = a[4 * x];
  }
}

AVS_VideoFrame* AVSC_CC get_frame(AVS_FilterInfo* fi, int n) {
  const Instance* instance = static_cast<const Instance*>(fi->user_data);
  // The window's frames from the child, within the clip: n - radius ... n + radius.
  const int radius = instance->radius;
  const int first = n - radius > 0 ? n - radius : 0;
  const int last = n + radius < instance->frames - 1 ? n + radius : instance->frames - 1;
  AVS_VideoFrame* frames[5] = {};
  auto release_window = [&] {
    for (int i = first; i <= last; ++i) {
      if (frames[i - first]) g_avs->release_video_frame(frames[i - first]);
    }
  };
  for (int i = first; i <= last; ++i) {
    frames[i - first] = g_avs->get_frame(fi->child, i);
    if (!frames[i - first]) {
      release_window();
      return nullptr;  // the host raises the source's error
    }
  }
  AVS_VideoFrame* src = frames[n - first];
  AVS_VideoFrame* dst = output_frame(*instance, fi, src);
  if (!dst) {
    release_window();
    fi->error = "ZoltaDenoise: the host gave no new frame";
    return nullptr;
  }
  zolta_frame planes[5] = {};
  // Numbered by their place in the clip, so that the denoiser converts each
  // frame once for the windows it is in.
  for (int i = first; i <= last; ++i) {
    fill_frame(*instance, frames[i - first], false, planes[i - first]);
    planes[i - first].number = i + 1;
  }
  zolta_frame out = {};
  fill_frame(*instance, dst, true, out);
  // Mirrored at the clip's ends: a frame given twice counts once.
  const zolta_frame* window[5];
  for (int k = -radius; k <= radius; ++k) {
    window[k + radius] = &planes[mirrored(n + k, instance->frames) - first];
  }
  zolta_error error;
  const int status =
      zolta_denoiser_process_window(instance->denoiser, window, 2 * radius + 1, &out, &error);
  if (status == ZOLTA_OK && instance->alpha_width > 0) copy_alpha(*instance, src, dst);
  release_window();
  if (status != ZOLTA_OK) {
    g_avs->release_video_frame(dst);
    fi->error = saved_message(fi->env, error.message);
    return nullptr;
  }
  return dst;
}

int AVSC_CC set_cache_hints(AVS_FilterInfo* /*fi*/, int hint, int /*frame_range*/) {
  // One instance, get_frame on many threads at once.
  return hint == kAvsCacheGetMtMode ? kAvsMtNiceFilter : 0;
}

void AVSC_CC free_filter(AVS_FilterInfo* fi) {
  Instance* instance = static_cast<Instance*>(fi->user_data);
  if (!instance) return;
  zolta_denoiser_destroy(instance->denoiser);
  delete instance;
  fi->user_data = nullptr;
}

// sigma_auto: the model of the clip's first frames, got from the child here,
// before any frame of the filter is asked for: measured once, so every frame
// has the same settings whatever Prefetch's threads or their order.
int measure_clip(const Instance& instance, AVS_FilterInfo* fi, const zolta_stream& stream,
                 zolta_noise_model* model, zolta_error* error) {
  const int count = fi->vi.num_frames < kMeasureFrames ? fi->vi.num_frames : kMeasureFrames;
  AVS_VideoFrame* frames[kMeasureFrames] = {};
  zolta_frame views[kMeasureFrames] = {};
  const zolta_frame* pointers[kMeasureFrames] = {};
  int status = count > 0 ? ZOLTA_OK
                         : plugin_fail(error, ZOLTA_ERROR_ARGUMENT,
                                       "sigma_auto: the clip has no frame to measure");
  for (int i = 0; i < count && status == ZOLTA_OK; ++i) {
    frames[i] = g_avs->get_frame(fi->child, i);
    if (!frames[i]) {
      status = plugin_fail(error, ZOLTA_ERROR_ARGUMENT, "sigma_auto: the clip gave no frame %d", i);
      break;
    }
    fill_frame(instance, frames[i], false, views[i]);
    pointers[i] = &views[i];
  }
  if (status == ZOLTA_OK) {
    zolta_noise_model_default(model, ZOLTA_API_VERSION);
    status = zolta_noise_measure(&stream, pointers, count, model, error);
  }
  for (AVS_VideoFrame* f : frames)
    if (f) g_avs->release_video_frame(f);
  return status;
}

AVS_Value AVSC_CC apply(AVS_ScriptEnvironment* env, AVS_Value args, void* /*user_data*/) {
  if (args.type != kAvsArray || args.array_size != avs_param_count() ||
      args.d.array[kArgClip].type != kAvsClip) {
    return error_value("ZoltaDenoise: the first argument must be a clip");
  }
  const AVS_Value* a = args.d.array;
  AVS_FilterInfo* fi = nullptr;
  AVS_Clip* clip = g_avs->new_c_filter(env, &fi, a[kArgClip], 1);
  if (!clip || !fi) return error_value("ZoltaDenoise: the host could not create the filter");

  zolta_denoiser_config config = {};
  zolta_error error = {};
  SettingsArgs settings_args;
  const char* wrong_type = avs_read_args(a, settings_args);
  Instance* instance = new (std::nothrow) Instance;
  int status = instance ? ZOLTA_OK : ZOLTA_ERROR_MEMORY;
  if (!instance) std::snprintf(error.message, sizeof error.message, "out of memory");
  if (status == ZOLTA_OK && wrong_type) {
    status = ZOLTA_ERROR_ARGUMENT;
    std::snprintf(error.message, sizeof error.message, "%s", wrong_type);
  }
  if (status == ZOLTA_OK) {
    status = avs_stream_from_info(fi->vi, &config.stream, &instance->map, &error);
  }
  if (status == ZOLTA_OK) {
    for (int p = 0; p < instance->map.planes; ++p) {
      int32_t width = 0;
      zolta_stream_plane_size(&config.stream, p, &width, &instance->heights[p]);
    }
  }
  zolta_noise_model measured;
  if (status == ZOLTA_OK && settings_args_measure(settings_args)) {
    status = measure_clip(*instance, fi, config.stream, &measured, &error);
    settings_args.measured = &measured;
  }
  if (status == ZOLTA_OK) {
    status = settings_from_args(settings_args, config.stream.family, &config.settings, &error);
  }
  // The temporal radius; its thresholds come from the noise.
  int32_t radius = 0;
  if (status == ZOLTA_OK) status = settings_args_radius(settings_args, &radius, &error);
  if (status == ZOLTA_OK) {
    config.temporal_radius = radius;
    instance->radius = static_cast<int>(radius);
    instance->frames = fi->vi.num_frames;
    instance->copy_source = g_avs->check_version(env, kAvsPropertySourceInterface) != 0;
  }
  if (status == ZOLTA_OK) {
    const size_t cpus = g_avs->get_env_property(env, kAvsEnvPropertyLogicalCpus);
    config.threads = cpus > 0 && cpus < 1024 ? static_cast<int32_t>(cpus) : 1;
    if (config.stream.family == ZOLTA_FAMILY_RGB32) instance->alpha_width = fi->vi.width;
    status = zolta_denoiser_create(&config, &instance->denoiser, &error);
  }
  if (status != ZOLTA_OK) {
    delete instance;
    // Kept by the filter's own environment handle, which outlives this call.
    const char* message = saved_message(fi->env, error.message);
    g_avs->release_clip(clip);
    return error_value(message);
  }
  fi->user_data = instance;
  fi->get_frame = get_frame;
  fi->set_cache_hints = set_cache_hints;
  fi->free_filter = free_filter;
  AVS_Value result;
  g_avs->set_to_clip(&result, clip);
  g_avs->release_clip(clip);
  return result;
}

}  // namespace

const char* avs_register_plugin(AVS_ScriptEnvironment* env) {
  // The host keeps the returned pointer and shows the text.
  static char text[400];
  char why[300];
  const AvsFunctions* functions = avs_find_functions(why, sizeof why);
  if (!functions) {
    std::snprintf(text, sizeof text, "zolta: %s is not available: %s", kName, why);
    return text;
  }
  if (!g_avs) g_avs = functions;
  // Hosts before 3.7.0 are found only by the search through loaded
  // libraries; their interface lacks what the filter relies on.
  if (g_avs->check_version(env, kAvsOldestInterface) != 0) {
    std::snprintf(text, sizeof text,
                  "zolta: %s is not available: it needs AviSynth+ 3.7.0 or later (interface %d), "
                  "and this host's interface is older",
                  kName, kAvsOldestInterface);
    return text;
  }
  if (g_avs->add_function(env, kName, avs_params_string(), apply, nullptr) != 0) {
    return "zolta: the AviSynth+ host refused ZoltaDenoise";
  }
  return "zolta wavelet noise reduction";
}
