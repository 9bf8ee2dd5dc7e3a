// SPDX-License-Identifier: BSD-2-Clause
// The C functions of zolta.h over the engine object and the settings codec.
// Nothing is thrown across this interface.
#include <cmath>
#include <cstring>
#include <new>

#include "band_pool.h"
#include "engine.h"
#include "errors.h"
#include "noise_across_frames.h"
#include "noise_estimate.h"
#include "noise_model.h"
#include "noise_profile.h"
#include "settings_codec.h"
#include "slot_pool.h"
#include "stream_format.h"
#include "temporal_table.h"
#include "zolta.h"

struct zolta_denoiser {
  zolta::Engine* engine;
  zolta::SlotPool pool;
  zolta::BandPool bands;  // the workers that share one frame's work
  int32_t radius = 0;     // frames before and after the one denoised
};

namespace zolta {
namespace {

// The most frames one denoiser may process at once.
constexpr int32_t kMaxThreads = 1024;

int check_settings(const zolta_settings* s, zolta_error* error) {
  if (!s) return fail(error, ZOLTA_ERROR_ARGUMENT, "no settings given");
  const int status = check_version(s->version, "zolta_settings", error);
  if (status != ZOLTA_OK) return status;
  for (int p = 0; p < ZOLTA_PLANES; ++p) {
    for (int d = 0; d < ZOLTA_DIRECTIONS; ++d) {
      for (int l = 0; l < ZOLTA_LEVELS; ++l) {
        const int32_t v = s->thresholds[p][d][l];
        if (v < 0 || v > ZOLTA_THRESHOLD_MAX) {
          return fail(error, ZOLTA_ERROR_SETTINGS,
                      "threshold [plane %d][direction %d][level %d] is %ld; thresholds lie in "
                      "0..%d",
                      p, d, l, static_cast<long>(v), ZOLTA_THRESHOLD_MAX);
        }
      }
    }
  }
  if (s->view < ZOLTA_VIEW_NORMAL || s->view > ZOLTA_VIEW_DIFF) {
    return fail(error, ZOLTA_ERROR_SETTINGS, "view %ld is none of normal (0), high (1), diff (2)",
                static_cast<long>(s->view));
  }
  for (int p = 0; p < ZOLTA_PLANES; ++p) {
    const int32_t v = s->temporal_thresholds[p];
    if (v < 0 || v > ZOLTA_THRESHOLD_MAX) {
      return fail(error, ZOLTA_ERROR_SETTINGS,
                  "temporal threshold of plane %d is %ld; thresholds lie in 0..%d", p,
                  static_cast<long>(v), ZOLTA_THRESHOLD_MAX);
    }
  }
  for (int r = 0; r < 2; ++r) {
    const int32_t v = s->temporal_spatial_share[r];
    if (v < 0 || v > 256) {
      return fail(error, ZOLTA_ERROR_SETTINGS,
                  "spatial share at temporal radius %d is %ld; it lies in 0..256", r + 1,
                  static_cast<long>(v));
    }
    const int32_t q = s->temporal_restore[r];
    if (q < 0 || q > 256) {
      return fail(error, ZOLTA_ERROR_SETTINGS,
                  "restored detail at temporal radius %d is %ld; it lies in 0..256", r + 1,
                  static_cast<long>(q));
    }
  }
  if (s->plane < 0 || s->plane >= ZOLTA_PLANES) {
    return fail(error, ZOLTA_ERROR_SETTINGS, "plane %ld is not 0, 1 or 2",
                static_cast<long>(s->plane));
  }
  return succeed(error);
}

EngineSettings engine_settings(const zolta_settings& s) {
  EngineSettings e;
  for (int p = 0; p < 3; ++p) {
    for (int d = 0; d < 2; ++d) {
      for (int l = 0; l < 3; ++l) e.thresholds[p][d + 2 * l] = s.thresholds[p][d][l];
    }
  }
  e.mode = s.view;
  e.show_plane = s.show_plane;
  e.plane = s.plane;
  e.enabled = s.enabled;
  e.views = 1;
  return e;
}

TemporalSettings temporal_settings(const zolta_settings& s, int32_t radius) {
  TemporalSettings t{};
  for (int p = 0; p < 3; ++p) t.thresholds[p] = s.temporal_thresholds[p];
  t.spatial_share = radius >= 1 ? s.temporal_spatial_share[radius - 1] : 0;
  t.restore = radius >= 1 ? s.temporal_restore[radius - 1] : 0;
  return t;
}

// The planes' brightness gains: read from records of version 1.2 on (earlier
// ones had reserved space there), none before.
void set_brightness(Engine& engine, const zolta_settings& s) {
  uint16_t gains[3][kBrightnessBands] = {};
  if ((s.version & 0xffff) >= 2) std::memcpy(gains, s.brightness_gains, sizeof gains);
  engine_set_brightness(engine, gains);
}

size_t copy_empty(char* buffer, size_t size) {
  if (buffer && size > 0) buffer[0] = '\0';
  return 0;
}

int check_stream_pointer(const zolta_stream* stream, StreamLayout& layout, zolta_error* error) {
  if (!stream) return fail(error, ZOLTA_ERROR_ARGUMENT, "no stream given");
  const int status = check_version(stream->version, "zolta_stream", error);
  if (status != ZOLTA_OK) return status;
  return stream_layout(*stream, layout, error);
}

bool same_frame(const zolta_frame& a, const zolta_frame& b, int planes) {
  for (int p = 0; p < planes; ++p) {
    if (a.data[p] != b.data[p] || a.stride[p] != b.stride[p] || a.step[p] != b.step[p]) {
      return false;
    }
  }
  return true;
}

int check_family(int32_t family, zolta_error* error) {
  if (family < ZOLTA_FAMILY_GRAY || family > ZOLTA_FAMILY_RGB24) {
    return fail(error, ZOLTA_ERROR_FORMAT, "unknown format family %ld", static_cast<long>(family));
  }
  return succeed(error);
}

bool rgb_family(int32_t family) {
  return family == ZOLTA_FAMILY_RGB || family == ZOLTA_FAMILY_RGB24 || family == ZOLTA_FAMILY_RGB32;
}

}  // namespace
}  // namespace zolta

using namespace zolta;

extern "C" {

int zolta_version(void) {
  return ZOLTA_API_VERSION;
}

const char* zolta_version_text(void) {
  return "zolta 1.2";
}

void zolta_settings_default(zolta_settings* settings, uint32_t version) {
  if (!settings) return;
  *settings = zolta_settings{};
  settings->version = version;
  settings->view = ZOLTA_VIEW_NORMAL;
  settings->enabled = 1;
}

void zolta_stream_default(zolta_stream* stream, uint32_t version) {
  if (!stream) return;
  *stream = zolta_stream{};
  stream->version = version;
  stream->family = ZOLTA_FAMILY_GRAY;
  stream->sample = ZOLTA_SAMPLE_INTEGER;
  stream->bits = 8;
}

void zolta_frame_default(zolta_frame* frame, uint32_t version) {
  if (!frame) return;
  *frame = zolta_frame{};
  frame->version = version;
}

void zolta_denoiser_config_default(zolta_denoiser_config* config, uint32_t version) {
  if (!config) return;
  *config = zolta_denoiser_config{};
  config->version = version;
  zolta_stream_default(&config->stream, version);
  zolta_settings_default(&config->settings, version);
}

void zolta_config_pack(const zolta_settings* settings, int32_t packed[9]) {
  if (!settings || !packed) return;
  for (int i = 0; i < 9; ++i) {
    const int p = i / 3, l = i % 3;
    packed[i] = pack_pair(settings->thresholds[p][0][l], settings->thresholds[p][1][l]);
  }
}

int zolta_config_unpack(const int32_t packed[9], int32_t rule, zolta_settings* settings,
                        zolta_error* error) {
  if (!packed || !settings) return fail(error, ZOLTA_ERROR_ARGUMENT, "no values or settings given");
  if (rule != ZOLTA_UNPACK_SCRIPT && rule != ZOLTA_UNPACK_FILE && rule != ZOLTA_UNPACK_STRICT) {
    return fail(error, ZOLTA_ERROR_ARGUMENT,
                "unpack rule %ld is none of script (0), file (1), "
                "strict (2)",
                static_cast<long>(rule));
  }
  if (rule == ZOLTA_UNPACK_STRICT) {
    for (int i = 0; i < 9; ++i) {
      if (packed[i] < 0 || packed[i] > 65535) {
        return fail(error, ZOLTA_ERROR_SETTINGS,
                    "Config value %d is %ld; each value lies in 0..65535 (two thresholds "
                    "of 0..255)",
                    i + 1, static_cast<long>(packed[i]));
      }
    }
  }
  for (int i = 0; i < 9; ++i) {
    const int p = i / 3, l = i % 3;
    int32_t& rows = settings->thresholds[p][0][l];
    int32_t& columns = settings->thresholds[p][1][l];
    if (rule == ZOLTA_UNPACK_FILE) {
      unpack_pair_file(packed[i], rows, columns);
    } else {
      unpack_pair_script(packed[i], rows, columns);
    }
  }
  return succeed(error);
}

int zolta_config_parse(const char* text, int32_t packed[9], zolta_error* error) {
  if (!packed) return fail(error, ZOLTA_ERROR_ARGUMENT, "no values given");
  return parse_config(text, packed, error);
}

size_t zolta_config_format(const int32_t packed[9], char* buffer, size_t size) {
  if (!packed) return copy_empty(buffer, size);
  return format_config(packed, buffer, size);
}

int zolta_settings_file_read(const char* path, int32_t packed[9], zolta_error* error) {
  if (!packed) return fail(error, ZOLTA_ERROR_ARGUMENT, "no values given");
  return read_settings_file(path, packed, error);
}

int zolta_settings_text_read(const char* text, size_t length, int32_t packed[9],
                             zolta_error* error) {
  if (!packed) return fail(error, ZOLTA_ERROR_ARGUMENT, "no values given");
  return read_settings_text(text, length, packed, error);
}

size_t zolta_settings_file_format(const int32_t packed[9], char* buffer, size_t size) {
  if (!packed) return copy_empty(buffer, size);
  return format_settings_file(packed, buffer, size);
}

int zolta_stream_check(const zolta_stream* stream, zolta_error* error) {
  StreamLayout layout;
  return check_stream_pointer(stream, layout, error);
}

int zolta_stream_planes(const zolta_stream* stream) {
  StreamLayout layout;
  if (!stream || stream_layout(*stream, layout, nullptr) != ZOLTA_OK) return 0;
  return layout.frame_planes;
}

void zolta_stream_plane_size(const zolta_stream* stream, int plane, int32_t* width,
                             int32_t* height) {
  int32_t w = 0, h = 0;
  StreamLayout layout;
  if (stream && stream_layout(*stream, layout, nullptr) == ZOLTA_OK && plane >= 0 &&
      plane < layout.frame_planes) {
    w = layout.plane_width[plane];
    h = layout.plane_height[plane];
  }
  if (width) *width = w;
  if (height) *height = h;
}

int zolta_denoiser_create(const zolta_denoiser_config* config, zolta_denoiser** denoiser,
                          zolta_error* error) {
  if (denoiser) *denoiser = nullptr;
  if (!config || !denoiser) return fail(error, ZOLTA_ERROR_ARGUMENT, "no config or result given");
  int status = check_version(config->version, "zolta_denoiser_config", error);
  if (status != ZOLTA_OK) return status;
  StreamLayout layout;
  status = check_stream_pointer(&config->stream, layout, error);
  if (status != ZOLTA_OK) return status;
  status = check_settings(&config->settings, error);
  if (status != ZOLTA_OK) return status;
  int32_t threads = config->threads;
  if (threads < 0 || threads > kMaxThreads) {
    return fail(error, ZOLTA_ERROR_ARGUMENT, "threads is %ld; it lies in 0..%d",
                static_cast<long>(threads), kMaxThreads);
  }
  if (threads == 0) threads = 1;
  // Read from records of version 1.1 on; earlier ones had reserved space here.
  int32_t frame_threads =
      (config->version & 0xffff) >= 1 ? config->frame_threads : 0;
  if (frame_threads < 0 || frame_threads > kMaxFrameParts) {
    return fail(error, ZOLTA_ERROR_ARGUMENT, "frame threads is %ld; it lies in 0..%d",
                static_cast<long>(frame_threads), static_cast<int>(kMaxFrameParts));
  }
  if (frame_threads == 0) frame_threads = 1;
  const int32_t radius = config->temporal_radius;
  if (radius < 0 || radius > kMaxNeighbours / 2) {
    return fail(error, ZOLTA_ERROR_ARGUMENT, "temporal radius is %ld; it lies in 0..%d",
                static_cast<long>(radius), kMaxNeighbours / 2);
  }
  zolta_denoiser* d = new (std::nothrow) zolta_denoiser;
  if (!d) return fail(error, ZOLTA_ERROR_MEMORY, "out of memory for the denoiser");
  zolta_error local{};
  d->engine = engine_create(layout, engine_settings(config->settings), threads, &local, radius,
                            frame_threads);
  if (!d->engine) {
    delete d;
    if (error) *error = local;
    return local.code;
  }
  d->radius = radius;
  engine_set_temporal(*d->engine, temporal_settings(config->settings, radius));
  set_brightness(*d->engine, config->settings);
  if (!d->pool.init(threads)) {
    engine_destroy(d->engine);
    delete d;
    return fail(error, ZOLTA_ERROR_MEMORY, "out of memory for the denoiser");
  }
  if (!d->bands.init(frame_threads - 1)) {
    engine_destroy(d->engine);
    delete d;
    return fail(error, ZOLTA_ERROR_MEMORY, "%ld threads for one frame cannot be started",
                static_cast<long>(frame_threads - 1));
  }
  *denoiser = d;
  return succeed(error);
}

int zolta_denoiser_update(zolta_denoiser* denoiser, const zolta_settings* settings,
                          zolta_error* error) {
  if (!denoiser) return fail(error, ZOLTA_ERROR_ARGUMENT, "no denoiser given");
  const int status = check_settings(settings, error);
  if (status != ZOLTA_OK) return status;
  engine_set_settings(*denoiser->engine, engine_settings(*settings));
  engine_set_temporal(*denoiser->engine, temporal_settings(*settings, denoiser->radius));
  set_brightness(*denoiser->engine, *settings);
  return succeed(error);
}

int zolta_denoiser_process(zolta_denoiser* denoiser, const zolta_frame* in, const zolta_frame* out,
                           zolta_error* error) {
  return zolta_denoiser_process_window(denoiser, &in, 1, out, error);
}

int zolta_denoiser_radius(const zolta_denoiser* denoiser) {
  return denoiser ? denoiser->radius : 0;
}

int zolta_denoiser_process_window(zolta_denoiser* denoiser, const zolta_frame* const* frames,
                                  int32_t count, const zolta_frame* out, zolta_error* error) {
  if (!denoiser || !frames || !out) {
    return fail(error, ZOLTA_ERROR_ARGUMENT, "no denoiser or frame given");
  }
  const int32_t radius = zolta_denoiser_radius(denoiser);
  if (count != 2 * radius + 1) {
    return fail(error, ZOLTA_ERROR_ARGUMENT,
                "a window of %ld frames; this denoiser takes %ld (temporal radius %ld)",
                static_cast<long>(count), static_cast<long>(2 * radius + 1),
                static_cast<long>(radius));
  }
  const StreamLayout& layout = denoiser->engine->layout;
  for (int32_t i = 0; i < count; ++i) {
    if (!frames[i]) return fail(error, ZOLTA_ERROR_ARGUMENT, "no frame given");
    const int status = check_frame(layout, *frames[i], "input", error);
    if (status != ZOLTA_OK) return status;
  }
  int status = check_frame(layout, *out, "output", error);
  if (status != ZOLTA_OK) return status;
  const zolta_frame& in = *frames[radius];
  for (int p = 0; p < layout.frame_planes; ++p) {
    if (in.data[p] == out->data[p] && in.stride[p] != out->stride[p]) {
      return fail(error, ZOLTA_ERROR_FRAME,
                  "plane %d: input and output start at the same place with other strides", p);
    }
    if (in.data[p] == out->data[p] && in.step[p] != out->step[p]) {
      return fail(error, ZOLTA_ERROR_FRAME,
                  "plane %d: input and output start at the same place with other pixel steps", p);
    }
  }
  if (!same_frame(in, *out, layout.frame_planes)) {
    for (int32_t i = 0; i < count; ++i) {
      if (i != radius && same_frame(*frames[i], *out, layout.frame_planes)) {
        return fail(error, ZOLTA_ERROR_FRAME,
                    "the output is input frame %ld of the window, not its centre",
                    static_cast<long>(i));
      }
    }
  }
  // The other frames in the rule's order, each once: a frame given again (the
  // centre, or one already taken) is left out, so a window mirrored at a
  // stream's ends is a shorter one.
  const zolta_frame* neighbours[4];
  int32_t kept = 0;
  for (int32_t i = 0; i < count; ++i) {
    bool again = same_frame(*frames[i], in, layout.frame_planes);
    for (int32_t j = 0; j < kept && !again; ++j) {
      again = same_frame(*frames[i], *neighbours[j], layout.frame_planes);
    }
    if (!again) neighbours[kept++] = frames[i];
  }
  SlotLease lease(denoiser->pool);
  // The frame's parts go to the workers when it is the only frame in
  // process (frames processed at once already keep the cores busy) and no
  // other call has them; otherwise this thread does all of it.
  const bool shared = denoiser->pool.taken() == 1 && denoiser->bands.take();
  const BandRunner runner = shared ? denoiser->bands.runner() : BandRunner{nullptr, nullptr, 1};
  engine_process_window(*denoiser->engine, denoiser->engine->workspaces[lease.slot()], in,
                        neighbours, kept, *out, &runner);
  if (shared) denoiser->bands.give_back();
  return succeed(error);
}

void zolta_denoiser_destroy(zolta_denoiser* denoiser) {
  if (!denoiser) return;
  engine_destroy(denoiser->engine);
  delete denoiser;
}

int zolta_noise_estimate(const zolta_stream* stream, const zolta_frame* frame, float sigma[3],
                         zolta_error* error) {
  if (!frame || !sigma) return fail(error, ZOLTA_ERROR_ARGUMENT, "no frame or result given");
  StreamLayout layout;
  int status = check_stream_pointer(stream, layout, error);
  if (status != ZOLTA_OK) return status;
  status = check_frame(layout, *frame, "input", error);
  if (status != ZOLTA_OK) return status;
  return estimate_noise(layout, *frame, sigma, error);
}

int zolta_noise_estimate_frames(const zolta_stream* stream, const zolta_frame* const* frames,
                                int32_t count, float sigma[3], zolta_error* error) {
  if (!frames || !sigma) return fail(error, ZOLTA_ERROR_ARGUMENT, "no frames or result given");
  if (count < 1) {
    return fail(error, ZOLTA_ERROR_ARGUMENT, "%ld frames given; the estimate takes at least one",
                static_cast<long>(count));
  }
  StreamLayout layout;
  const int status = check_stream_pointer(stream, layout, error);
  if (status != ZOLTA_OK) return status;
  return estimate_noise_frames(layout, frames, count, sigma, error);
}

int zolta_settings_for_sigma(const float sigma[3], int32_t family, zolta_settings* settings,
                             zolta_error* error) {
  if (!sigma || !settings) return fail(error, ZOLTA_ERROR_ARGUMENT, "no sigma or settings given");
  const int status = check_family(family, error);
  if (status != ZOLTA_OK) return status;
  const int planes = family == ZOLTA_FAMILY_GRAY ? 1 : 3;
  for (int p = 0; p < planes; ++p) {
    if (!(sigma[p] > 0.0f && sigma[p] <= 50.0f)) {
      return fail(error, ZOLTA_ERROR_ARGUMENT, "sigma of plane %d is %g; it lies in (0, 50]", p,
                  static_cast<double>(sigma[p]));
    }
  }
  zolta_settings_default(settings, ZOLTA_API_VERSION);
  for (int p = 0; p < planes; ++p) thresholds_for_sigma(sigma[p], p > 0, settings->thresholds[p]);
  temporal_for_sigma(sigma, planes, *settings);
  return succeed(error);
}

int zolta_noise_to_planes(const float channel_sigma[3], int32_t family, float plane_sigma[3],
                          zolta_error* error) {
  if (!channel_sigma || !plane_sigma) {
    return fail(error, ZOLTA_ERROR_ARGUMENT, "no sigma or result given");
  }
  const int status = check_family(family, error);
  if (status != ZOLTA_OK) return status;
  const int planes = family == ZOLTA_FAMILY_GRAY ? 1 : 3;
  for (int p = 0; p < planes; ++p) {
    if (!(channel_sigma[p] >= 0.0f && channel_sigma[p] <= 1.0e6f)) {
      return fail(error, ZOLTA_ERROR_ARGUMENT, "sigma of channel %d is %g; it lies in [0, 1e6]", p,
                  static_cast<double>(channel_sigma[p]));
    }
  }
  float result[3] = {channel_sigma[0], planes > 1 ? channel_sigma[1] : 0.0f,
                     planes > 1 ? channel_sigma[2] : 0.0f};
  if (rgb_family(family)) rgb_noise_in_planes(channel_sigma, result);
  for (int p = 0; p < 3; ++p) plane_sigma[p] = result[p];
  return succeed(error);
}

int zolta_settings_for_noise(const float channel_sigma[3], int32_t family, zolta_settings* settings,
                             zolta_error* error) {
  if (!settings) return fail(error, ZOLTA_ERROR_ARGUMENT, "no sigma or settings given");
  float planes[3];
  const int status = zolta_noise_to_planes(channel_sigma, family, planes, error);
  if (status != ZOLTA_OK) return status;
  return zolta_settings_for_sigma(planes, family, settings, error);
}

void zolta_noise_model_default(zolta_noise_model* model, uint32_t version) {
  if (!model) return;
  *model = zolta_noise_model{};
  model->version = version;
}

int zolta_noise_measure(const zolta_stream* stream, const zolta_frame* const* frames,
                        int32_t count, zolta_noise_model* model, zolta_error* error) {
  if (!frames || !model) return fail(error, ZOLTA_ERROR_ARGUMENT, "no frames or model given");
  int status = check_version(model->version, "zolta_noise_model", error);
  if (status != ZOLTA_OK) return status;
  if (count < 1) {
    return fail(error, ZOLTA_ERROR_ARGUMENT, "%ld frames given; measuring takes at least one",
                static_cast<long>(count));
  }
  StreamLayout layout;
  status = check_stream_pointer(stream, layout, error);
  if (status != ZOLTA_OK) return status;
  return measure_noise_model(layout, frames, count, *model, error);
}

int zolta_settings_for_model(const zolta_noise_model* model, int32_t family,
                             zolta_settings* settings, zolta_error* error) {
  if (!model || !settings) return fail(error, ZOLTA_ERROR_ARGUMENT, "no model or settings given");
  int status = check_version(model->version, "zolta_noise_model", error);
  if (status != ZOLTA_OK) return status;
  status = check_family(family, error);
  if (status != ZOLTA_OK) return status;
  const int planes = family == ZOLTA_FAMILY_GRAY ? 1 : 3;
  status = check_noise_model(*model, planes, error);
  if (status != ZOLTA_OK) return status;
  zolta_settings_default(settings, ZOLTA_API_VERSION);
  settings_for_model(*model, planes, *settings);
  return succeed(error);
}

size_t zolta_noise_profile_format(const zolta_noise_model* model, char* buffer, size_t size) {
  return format_noise_profile(model, buffer, size);
}

int zolta_noise_profile_parse(const char* text, size_t length, zolta_noise_model* model,
                              zolta_error* error) {
  if (!text || !model) return fail(error, ZOLTA_ERROR_ARGUMENT, "no text or model given");
  const int status = check_version(model->version, "zolta_noise_model", error);
  if (status != ZOLTA_OK) return status;
  return parse_noise_profile(text, length, *model, error);
}

int zolta_noise_profile_read(const char* path, zolta_noise_model* model, zolta_error* error) {
  if (!path || !model) return fail(error, ZOLTA_ERROR_ARGUMENT, "no profile file or model given");
  const int status = check_version(model->version, "zolta_noise_model", error);
  if (status != ZOLTA_OK) return status;
  return read_noise_profile(path, *model, error);
}

}  // extern "C"
