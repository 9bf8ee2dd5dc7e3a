// SPDX-License-Identifier: BSD-2-Clause
#include "ofx_instance.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "clip_window.h"
#include "settings_args.h"
#include "ofx_host.h"
#include "ofx_params.h"
#include "ofx_pixels.h"
#include "zolta.h"

namespace {

struct Instance {
  OfxImageClipHandle source = nullptr;
  OfxImageClipHandle output = nullptr;
  std::vector<OfxParamHandle> params;  // by ofx_param_rows()
  zolta_denoiser* denoiser = nullptr;
  zolta_stream stream{};
  int radius = -1;
  zolta_settings settings{};
  int64_t generation = 0;  // frames are numbered anew in every pass
  std::vector<unsigned char> scratch;
  // sigma_auto: the model of the source clip's first frames at a render
  // scale, measured once (again in a new pass or at another scale).
  zolta_noise_model model{};
  bool measured = false;
  double measured_scale = 0;
};

Instance* instance_of(OfxImageEffectHandle effect) {
  const OfxSuites& suites = ofx_suites();
  OfxPropertySetHandle props = nullptr;
  void* data = nullptr;
  if (suites.effect->getPropertySet(effect, &props) != kOfxStatOK ||
      suites.property->propGetPointer(props, kOfxPropInstanceData, 0, &data) != kOfxStatOK)
    return nullptr;
  return static_cast<Instance*>(data);
}

// The parameters' values at `time`.
OfxStatus values_at(OfxImageEffectHandle effect, const Instance& in, OfxTime time,
                    OfxValues* values) {
  const OfxParameterSuiteV1& param = *ofx_suites().param;
  const std::vector<OfxParamRow>& rows = ofx_param_rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const OfxParamRow& r = rows[i];
    OfxStatus status = kOfxStatOK;
    int number = 0;
    switch (r.kind) {
      case OfxParamKind::kDouble:
        status = param.paramGetValueAtTime(in.params[i], time, &values->sigma);
        break;
      case OfxParamKind::kString: {
        char* text = nullptr;
        status = param.paramGetValueAtTime(in.params[i], time, &text);
        (r.row->id == kParamEditorProfile ? values->profile : values->settings) = text ? text : "";
        break;
      }
      case OfxParamKind::kBoolean:
        status = param.paramGetValueAtTime(in.params[i], time, &number);
        values->sigma_auto = number != 0;
        break;
      default:
        status = param.paramGetValueAtTime(in.params[i], time, &number);
        if (r.kind == OfxParamKind::kThreshold)
          values->thresholds[r.index] = number;
        else if (r.row->id == kParamTemporal)
          values->temporal = number;
        else if (r.row->id == kParamView)
          values->view = number;
        else
          values->plane = number;
        break;
    }
    if (status != kOfxStatOK)
      return ofx_fail(effect, status, "the host gave no value of %s", r.name.c_str());
  }
  return kOfxStatOK;
}

// The source clip's first and last frame.
OfxStatus frame_range(OfxImageEffectHandle effect, const Instance& in, double range[2]) {
  const OfxSuites& suites = ofx_suites();
  OfxPropertySetHandle props = nullptr;
  if (suites.effect->clipGetPropertySet(in.source, &props) != kOfxStatOK ||
      suites.property->propGetDoubleN(props, kOfxImageEffectPropFrameRange, 2, range) !=
          kOfxStatOK ||
      !(range[1] >= range[0]))
    return ofx_fail(effect, kOfxStatErrValue, "the host gave no frame range of the source clip");
  return kOfxStatOK;
}

// The images fetched for one render, released however it ends.
struct Fetched {
  std::vector<OfxPropertySetHandle> images;
  ~Fetched() {
    for (OfxPropertySetHandle image : images) ofx_suites().effect->clipReleaseImage(image);
  }
  OfxPropertySetHandle get(OfxImageClipHandle clip, OfxTime time) {
    OfxPropertySetHandle image = nullptr;
    if (ofx_suites().effect->clipGetImage(clip, time, nullptr, &image) != kOfxStatOK || !image)
      return nullptr;
    images.push_back(image);
    return image;
  }
};

bool same_layout(const OfxImageView& a, const OfxImageView& b) {
  return a.bits == b.bits && a.components == b.components &&
         std::memcmp(&a.bounds, &b.bounds, sizeof a.bounds) == 0;
}

// The denoiser for this stream, radius and settings.
OfxStatus prepare(OfxImageEffectHandle effect, Instance& in, const zolta_stream& stream, int radius,
                  const zolta_settings& settings) {
  zolta_error error{};
  const bool same_stream = in.denoiser && radius == in.radius && stream.bits == in.stream.bits &&
                           stream.width == in.stream.width && stream.height == in.stream.height;
  if (!same_stream) {
    zolta_denoiser_destroy(in.denoiser);
    in.denoiser = nullptr;
    zolta_denoiser_config config{};
    zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
    config.stream = stream;
    config.settings = settings;
    config.threads = 1;
    config.temporal_radius = radius;
    if (zolta_denoiser_create(&config, &in.denoiser, &error) != ZOLTA_OK)
      return ofx_fail(effect, kOfxStatFailed, "%s", error.message);
    in.stream = stream;
    in.radius = radius;
    in.settings = settings;
    ++in.generation;
    return kOfxStatOK;
  }
  if (std::memcmp(&settings, &in.settings, sizeof settings) != 0) {
    if (zolta_denoiser_update(in.denoiser, &settings, &error) != ZOLTA_OK)
      return ofx_fail(effect, kOfxStatFailed, "%s", error.message);
    in.settings = settings;
  }
  return kOfxStatOK;
}

// 0, or the frame's number within this pass: half frames count for fields.
intptr_t number_of(const Instance& in, double time, double first) {
  const double halves = (time - first) * 2;
  if (halves < 0 || halves > 1 << 30 || halves != std::floor(halves)) return 0;
  return static_cast<intptr_t>((in.generation << 32) + static_cast<int64_t>(halves) + 1);
}

// sigma_auto: the source clip's first frames (at most kMeasureFrames, from
// the start of its frame range, consecutive) fetched at the render's scale
// and measured, once per pass and scale. Frames the host does not give, or
// gives in another layout than the first's, end the run measured.
OfxStatus measure_clip(OfxImageEffectHandle effect, Instance& in, double scale) {
  if (in.measured && in.measured_scale == scale) return kOfxStatOK;
  double range[2];
  OfxStatus status = frame_range(effect, in, range);
  if (status != kOfxStatOK) return status;
  Fetched fetched;
  OfxImageView views[kMeasureFrames];
  zolta_frame frames[kMeasureFrames];
  const zolta_frame* pointers[kMeasureFrames];
  int count = 0;
  for (; count < kMeasureFrames && range[0] + count <= range[1]; ++count) {
    OfxPropertySetHandle image = fetched.get(in.source, range[0] + count);
    std::string ignored;
    if (!image || !ofx_image_view(*ofx_suites().property, image, "source", &views[count], &ignored) ||
        (count > 0 && !same_layout(views[count], views[0])))
      break;
    frames[count] = ofx_frame_of(views[count], views[0].bounds);
    pointers[count] = &frames[count];
  }
  if (count == 0)
    return ofx_fail(effect, kOfxStatFailed,
                    "sigma_auto: the host gave no source image at time %g to measure", range[0]);
  const zolta_stream stream = ofx_stream_of(views[0]);
  zolta_error error{};
  zolta_noise_model_default(&in.model, ZOLTA_API_VERSION);
  if (zolta_noise_measure(&stream, pointers, count, &in.model, &error) != ZOLTA_OK)
    return ofx_fail(effect, kOfxStatFailed, "%s", error.message);
  in.measured = true;
  in.measured_scale = scale;
  return kOfxStatOK;
}

size_t temporal_param() {
  const std::vector<OfxParamRow>& rows = ofx_param_rows();
  size_t i = 0;
  while (i + 1 < rows.size() && rows[i].row->id != kParamTemporal) ++i;
  return i;
}

}  // namespace

OfxStatus ofx_create_instance(OfxImageEffectHandle effect) {
  const OfxSuites& suites = ofx_suites();
  Instance* in = new (std::nothrow) Instance;
  if (!in) return ofx_fail(effect, kOfxStatErrMemory, "out of memory");
  OfxPropertySetHandle props = nullptr;
  OfxParamSetHandle params = nullptr;
  OfxStatus status = suites.effect->getPropertySet(effect, &props);
  if (status == kOfxStatOK) status = suites.effect->getParamSet(effect, &params);
  if (status == kOfxStatOK)
    status = suites.effect->clipGetHandle(effect, kOfxImageEffectSimpleSourceClipName, &in->source,
                                          nullptr);
  if (status == kOfxStatOK)
    status =
        suites.effect->clipGetHandle(effect, kOfxImageEffectOutputClipName, &in->output, nullptr);
  for (const OfxParamRow& r : ofx_param_rows()) {
    if (status != kOfxStatOK) break;
    OfxParamHandle handle = nullptr;
    status = suites.param->paramGetHandle(params, r.name.c_str(), &handle, nullptr);
    in->params.push_back(handle);
  }
  if (status == kOfxStatOK)
    status = suites.property->propSetPointer(props, kOfxPropInstanceData, 0, in);
  if (status != kOfxStatOK) {
    delete in;
    return ofx_fail(effect, status, "the host's instance lacks a clip or parameter of the effect");
  }
  return kOfxStatOK;
}

OfxStatus ofx_destroy_instance(OfxImageEffectHandle effect) {
  Instance* in = instance_of(effect);
  if (!in) return kOfxStatErrBadHandle;
  zolta_denoiser_destroy(in->denoiser);
  delete in;
  OfxPropertySetHandle props = nullptr;
  if (ofx_suites().effect->getPropertySet(effect, &props) == kOfxStatOK)
    ofx_suites().property->propSetPointer(props, kOfxPropInstanceData, 0, nullptr);
  return kOfxStatOK;
}

OfxStatus ofx_forget_frames(OfxImageEffectHandle effect) {
  Instance* in = instance_of(effect);
  if (!in) return kOfxStatErrBadHandle;
  ++in->generation;
  in->measured = false;
  return kOfxStatOK;
}

OfxStatus ofx_frames_needed(OfxImageEffectHandle effect, OfxPropertySetHandle in_args,
                            OfxPropertySetHandle out_args) {
  const OfxSuites& suites = ofx_suites();
  Instance* in = instance_of(effect);
  if (!in) return ofx_fail(effect, kOfxStatErrBadHandle, "the host lost the instance's data");
  double time = 0;
  if (suites.property->propGetDouble(in_args, kOfxPropTime, 0, &time) != kOfxStatOK)
    return ofx_fail(effect, kOfxStatErrValue, "the host gave no time of the frames needed");
  int radius = 0;
  if (suites.param->paramGetValueAtTime(in->params[temporal_param()], time, &radius) != kOfxStatOK)
    return ofx_fail(effect, kOfxStatErrValue, "the host gave no temporal radius");
  double range[2];
  const OfxStatus status = frame_range(effect, *in, range);
  if (status != kOfxStatOK) return status;
  // The window n - R ... n + R inside the clip: its ends are mirrored.
  double needed[2] = {time - radius, time + radius};
  if (needed[0] < range[0]) needed[0] = range[0] + (time - std::floor(time));
  if (needed[1] > range[1]) needed[1] = range[1];
  if (needed[1] < needed[0]) needed[1] = needed[0];
  // sigma_auto not yet measured: the clip's first frames too, a range of
  // their own.
  double ranges[4] = {needed[0], needed[1], range[0], range[0] + kMeasureFrames - 1};
  if (ranges[3] > range[1]) ranges[3] = range[1];
  OfxValues values;
  const int count = !in->measured && values_at(effect, *in, time, &values) == kOfxStatOK &&
                            ofx_measures(values)
                        ? 4
                        : 2;
  if (suites.property->propSetDoubleN(out_args, kOfxImageClipPropFrameRange_Source, count,
                                      ranges) != kOfxStatOK)
    return ofx_fail(effect, kOfxStatErrValue, "the host refused the frames needed");
  return kOfxStatOK;
}

OfxStatus ofx_render(OfxImageEffectHandle effect, OfxPropertySetHandle in_args) {
  const OfxSuites& suites = ofx_suites();
  const OfxPropertySuiteV1& property = *suites.property;
  Instance* in = instance_of(effect);
  if (!in) return ofx_fail(effect, kOfxStatErrBadHandle, "the host lost the instance's data");
  double time = 0;
  int window_values[4] = {0, 0, 0, 0};
  double scale[2] = {1, 1};
  if (property.propGetDouble(in_args, kOfxPropTime, 0, &time) != kOfxStatOK ||
      property.propGetIntN(in_args, kOfxImageEffectPropRenderWindow, 4, window_values) !=
          kOfxStatOK ||
      property.propGetDoubleN(in_args, kOfxImageEffectPropRenderScale, 2, scale) != kOfxStatOK)
    return ofx_fail(effect, kOfxStatErrValue,
                    "the host gave no readable time, render window or render scale");
  const OfxRectI window = {window_values[0], window_values[1], window_values[2], window_values[3]};
  if (!(scale[0] > 0 && scale[1] > 0 && scale[0] <= 1e3 && scale[1] <= 1e3))
    return ofx_fail(effect, kOfxStatErrValue, "render scale %g x %g is not a scale", scale[0],
                    scale[1]);
  OfxValues values;
  OfxStatus status = values_at(effect, *in, time, &values);
  if (status != kOfxStatOK) return status;
  const int radius = values.temporal < 0 ? 0 : values.temporal > 2 ? 2 : values.temporal;
  double range[2] = {time, time};
  if (radius > 0) {
    status = frame_range(effect, *in, range);
    if (status != kOfxStatOK) return status;
  }

  Fetched fetched;
  std::string message;
  OfxPropertySetHandle source_image = fetched.get(in->source, time);
  OfxPropertySetHandle output_image = fetched.get(in->output, time);
  if (!source_image || !output_image)
    return ofx_fail(effect, kOfxStatFailed, "the host gave no %s image at time %g",
                    source_image ? "output" : "source", time);
  OfxImageView source, output;
  if (!ofx_image_view(property, source_image, "source", &source, &message) ||
      !ofx_image_view(property, output_image, "output", &output, &message))
    return ofx_fail(effect, kOfxStatErrImageFormat, "%s", message.c_str());
  if (source.bits != output.bits || source.components != output.components)
    return ofx_fail(effect, kOfxStatErrImageFormat,
                    "the output image's depth or components differ from the source's");
  if (!ofx_rect_inside(window, output.bounds))
    return ofx_fail(effect, kOfxStatErrValue, "the render window lies outside the output image");

  const double area_scale = std::sqrt(scale[0] * scale[1]);
  if (ofx_measures(values)) {
    status = measure_clip(effect, *in, area_scale);
    if (status != kOfxStatOK) return status;
  }
  zolta_settings settings;
  zolta_error error{};
  if (ofx_settings(values, ZOLTA_FAMILY_RGB, area_scale, in->measured ? &in->model : nullptr,
                   &settings, &error) != ZOLTA_OK)
    return ofx_fail(effect, kOfxStatFailed, "%s", error.message);
  status = prepare(effect, *in, ofx_stream_of(source), radius, settings);
  if (status != kOfxStatOK) return status;

  // The window's frames, mirrored at the clip's ends; a neighbour the host
  // does not give, or gives in another layout, is left out (the centre
  // again).
  const OfxRectI& all = source.bounds;
  const double first = range[0];
  const int count = static_cast<int>(std::floor(range[1] - first)) + 1;
  const int at = static_cast<int>(std::floor(time - first));
  const double part = (time - first) - at;
  zolta_frame frames[5];
  const zolta_frame* window_frames[5];
  frames[radius] = ofx_frame_of(source, all);
  frames[radius].number = number_of(*in, time, first);
  double times[5];
  for (int k = -radius; k <= radius; ++k) {
    const int slot = k + radius;
    times[slot] = first + mirrored(at + k, count) + part;
    window_frames[slot] = &frames[radius];
    if (times[slot] == time) continue;
    for (int j = 0; j < slot; ++j) {
      if (times[j] == times[slot]) window_frames[slot] = window_frames[j];
    }
    if (window_frames[slot] != &frames[radius]) continue;
    OfxPropertySetHandle image = fetched.get(in->source, times[slot]);
    OfxImageView view;
    std::string ignored;
    if (!image || !ofx_image_view(property, image, "source", &view, &ignored) ||
        !same_layout(view, source))
      continue;
    frames[slot] = ofx_frame_of(view, all);
    frames[slot].number = number_of(*in, times[slot], first);
    window_frames[slot] = &frames[slot];
  }

  // Straight into the output when the window is the whole picture; else
  // through a picture of the instance's own, of which the window is copied.
  const bool direct = std::memcmp(&window, &all, sizeof window) == 0;
  OfxImageView target = output;
  if (!direct) {
    const size_t row =
        static_cast<size_t>(ofx_width(all)) * static_cast<size_t>(ofx_pixel_bytes(source));
    const size_t bytes = row * static_cast<size_t>(ofx_height(all));
    try {
      if (in->scratch.size() < bytes) in->scratch.resize(bytes);
    } catch (const std::bad_alloc&) {
      return ofx_fail(effect, kOfxStatErrMemory, "out of memory");
    }
    target = source;
    target.data = in->scratch.data();
    target.row_bytes = static_cast<ptrdiff_t>(row);
  }
  // RGBA into the whole output: the source's pixels copied row by row, then
  // denoised in place, costs less than a second pass for alpha alone
  // (1080p float, bench/ofx_bench.cpp: 41.4 against 38.8 ms of processor time a frame).
  const bool in_place = direct && source.components == 4;
  if (in_place) {
    if (output.data != source.data || output.row_bytes != source.row_bytes)
      ofx_copy_pixels(source, output, all);
    const intptr_t number = frames[radius].number;
    frames[radius] = ofx_frame_of(output, all);
    frames[radius].number = number;
  }
  const zolta_frame out = in_place ? frames[radius] : ofx_frame_of(target, all);
  if (zolta_denoiser_process_window(in->denoiser, window_frames, 2 * radius + 1, &out, &error) !=
      ZOLTA_OK)
    return ofx_fail(effect, kOfxStatFailed, "%s", error.message);
  const OfxRectI inside = ofx_rect_intersection(window, all);
  if (in_place) return kOfxStatOK;
  if (!direct) {
    ofx_copy_pixels(target, output, inside);
    // Pixels of the window outside the picture are black and transparent.
    ofx_clear(output, {window.x1, window.y1, window.x2, inside.y1});
    ofx_clear(output, {window.x1, inside.y2, window.x2, window.y2});
    ofx_clear(output, {window.x1, inside.y1, inside.x1, inside.y2});
    ofx_clear(output, {inside.x2, inside.y1, window.x2, inside.y2});
  }
  ofx_copy_alpha(source, output, inside);
  return kOfxStatOK;
}
