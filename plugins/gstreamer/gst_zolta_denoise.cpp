// SPDX-License-Identifier: BSD-2-Clause
#include "gst_zolta_denoise.h"

#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>

#include <deque>
#include <new>

#include "editor_settings.h"
#include "gst_formats.h"
#include "gst_frame_window.h"
#include "gst_properties.h"
#include "host_threads.h"
#include "settings_args.h"
#include "zolta.h"

GST_DEBUG_CATEGORY_STATIC(zolta_denoise_debug);
#define GST_CAT_DEFAULT zolta_denoise_debug

struct GstZoltaDenoise {
  GstVideoFilter parent;
  // The properties, under the object lock; `changed` when set since the
  // settings were last made from them.
  EditorValues* values;
  gboolean changed;
  gint threads;  // the threads property: 0 every core
  gboolean threads_changed;
  gint temporal;  // the temporal property, taken when the stream starts
  // The latency the window adds, for queries from any thread: the radius in
  // use and the frame rate.
  gint latency_frames, fps_n, fps_d;
  // The streaming thread's own.
  zolta_stream stream;
  GstVideoInfo info;
  zolta_denoiser* denoiser;
  FrameWindow* window;  // the frames held for the temporal radius
  // sigma_auto: the stream's first frames, held until kMeasureFrames have
  // come in (or the stream ends), then measured once; the model is kept for
  // the rest of the stream.
  std::deque<GstBuffer*>* pending;
  zolta_noise_model model;
  gboolean measured;
};

struct GstZoltaDenoiseClass {
  GstVideoFilterClass parent_class;
};

G_DEFINE_TYPE(GstZoltaDenoise, gst_zolta_denoise, GST_TYPE_VIDEO_FILTER)

namespace {

GstZoltaDenoise* self_of(gpointer object) {
  return reinterpret_cast<GstZoltaDenoise*>(object);
}

// The settings of the properties as they are now; a refusal is the
// element's error.
bool current_settings(GstZoltaDenoise* self, zolta_settings* settings) {
  GST_OBJECT_LOCK(self);
  EditorValues values = *self->values;
  self->changed = FALSE;
  GST_OBJECT_UNLOCK(self);
  // Until the first frames are measured, sigma's settings stand in: no frame
  // is denoised with them (the frames wait for the measurement).
  if (editor_measures(values)) {
    if (self->measured)
      values.measured = &self->model;
    else
      values.sigma_auto = false;
  }
  zolta_error error{};
  if (editor_settings(values, self->stream.family, settings, &error) == ZOLTA_OK) return true;
  GST_ELEMENT_ERROR(self, LIBRARY, SETTINGS, ("%s", error.message), (nullptr));
  return false;
}

void set_property(GObject* object, guint id, const GValue* value, GParamSpec* spec) {
  GstZoltaDenoise* self = self_of(object);
  const ParamDef* p = zolta_gst_param(id);
  if (!p) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
    return;
  }
  GST_OBJECT_LOCK(self);
  if (p->id == kParamFrameThreads) {
    self->threads = g_value_get_int(value);
    self->threads_changed = TRUE;
  } else if (p->id == kParamTemporal) {
    self->temporal = g_value_get_int(value);
  } else {
    zolta_gst_param_store(*p, value, self->values);
    self->changed = TRUE;
  }
  GST_OBJECT_UNLOCK(self);
}

void get_property(GObject* object, guint id, GValue* value, GParamSpec* spec) {
  GstZoltaDenoise* self = self_of(object);
  const ParamDef* p = zolta_gst_param(id);
  if (!p) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
    return;
  }
  GST_OBJECT_LOCK(self);
  if (p->id == kParamFrameThreads) {
    g_value_set_int(value, self->threads);
  } else if (p->id == kParamTemporal) {
    g_value_set_int(value, self->temporal);
  } else {
    zolta_gst_param_load(*p, *self->values, value);
  }
  GST_OBJECT_UNLOCK(self);
}

void drop_denoiser(GstZoltaDenoise* self) {
  zolta_denoiser_destroy(self->denoiser);
  self->denoiser = nullptr;
}

void drop_pending(GstZoltaDenoise* self) {
  for (GstBuffer* buffer : *self->pending) gst_buffer_unref(buffer);
  self->pending->clear();
}

// True while frames wait for sigma_auto's measurement.
bool measuring(GstZoltaDenoise* self) {
  if (self->measured) return false;
  GST_OBJECT_LOCK(self);
  const bool measures = editor_measures(*self->values);
  GST_OBJECT_UNLOCK(self);
  return measures;
}

void finalize(GObject* object) {
  GstZoltaDenoise* self = self_of(object);
  drop_denoiser(self);
  window_clear(*self->window);
  drop_pending(self);
  delete self->pending;
  delete self->window;
  delete self->values;
  G_OBJECT_CLASS(gst_zolta_denoise_parent_class)->finalize(object);
}

// The denoiser of the negotiated stream and temporal radius, the properties
// as they are now; a refusal is the element's error and leaves no denoiser.
void make_denoiser(GstZoltaDenoise* self, int radius) {
  drop_denoiser(self);
  GST_OBJECT_LOCK(self);
  const gint threads = self->threads;
  self->threads_changed = FALSE;
  const bool texts = !self->values->config.empty() || !self->values->thresholds.empty();
  GST_OBJECT_UNLOCK(self);
  if (radius > 0 && texts) {
    GST_ELEMENT_ERROR(self, LIBRARY, SETTINGS,
                      ("temporal takes its thresholds from sigma: give sigma, not config or "
                       "thresholds"),
                      (nullptr));
    return;
  }
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream = self->stream;
  config.threads = 1;
  config.temporal_radius = radius;
  // One frame at a time on the streaming thread: the workers share it.
  config.frame_threads = frame_threads_for(threads);
  if (!current_settings(self, &config.settings)) return;
  zolta_error error{};
  if (zolta_denoiser_create(&config, &self->denoiser, &error) != ZOLTA_OK)
    GST_ELEMENT_ERROR(self, LIBRARY, INIT, ("%s", error.message), (nullptr));
}

// The negotiated format: the denoiser is made here (and again on the next
// frame when the threads property changes). A format
// or settings the engine refuses is the element's error, posted here, and
// the first frame then stops the stream with it (refusing the caps instead
// makes GStreamer negotiate again and again).
gboolean set_info(GstVideoFilter* filter, GstCaps*, GstVideoInfo* in_info, GstCaps*,
                  GstVideoInfo*) {
  GstZoltaDenoise* self = self_of(filter);
  drop_denoiser(self);
  if (!zolta_stream_of(*in_info, &self->stream)) {
    GST_ELEMENT_ERROR(self, STREAM, FORMAT,
                      ("format %s is not taken", GST_VIDEO_INFO_NAME(in_info)), (nullptr));
    return TRUE;
  }
  zolta_error error{};
  if (zolta_stream_check(&self->stream, &error) != ZOLTA_OK) {
    GST_ELEMENT_ERROR(self, STREAM, FORMAT, ("%s", error.message), (nullptr));
    return TRUE;
  }
  self->info = *in_info;
  // A new format is measured anew.
  self->measured = FALSE;
  GST_OBJECT_LOCK(self);
  const int radius = self->temporal;
  // sigma_auto holds the first kMeasureFrames frames: the first goes out
  // when the last of them has come in.
  const int latency = radius + (editor_measures(*self->values) ? kMeasureFrames - 1 : 0);
  const bool new_latency = latency != self->latency_frames;
  self->latency_frames = latency;
  self->fps_n = GST_VIDEO_INFO_FPS_N(in_info);
  self->fps_d = GST_VIDEO_INFO_FPS_D(in_info);
  GST_OBJECT_UNLOCK(self);
  if (new_latency) {
    gst_element_post_message(GST_ELEMENT(self), gst_message_new_latency(GST_OBJECT(self)));
  }
  // Frames of an earlier format went out when its caps were replaced.
  window_clear(*self->window);
  self->window->radius = radius;
  make_denoiser(self, radius);
  return TRUE;
}

// The properties changed since the last frame, taken before the next.
bool take_changes(GstZoltaDenoise* self) {
  if (!self->denoiser) return false;  // refused in set_info, with its message
  GST_OBJECT_LOCK(self);
  const gboolean changed = self->changed;
  const gboolean threads_changed = self->threads_changed;
  GST_OBJECT_UNLOCK(self);
  if (threads_changed) {
    make_denoiser(self, self->window->radius);  // with the settings as they are now
    if (!self->denoiser) return false;
  }
  zolta_error error{};
  if (changed) {
    zolta_settings settings;
    if (!current_settings(self, &settings)) return false;
    if (zolta_denoiser_update(self->denoiser, &settings, &error) != ZOLTA_OK) {
      GST_ELEMENT_ERROR(self, LIBRARY, SETTINGS, ("%s", error.message), (nullptr));
      return false;
    }
  }
  return true;
}

GstFlowReturn transform_frame_ip(GstVideoFilter* filter, GstVideoFrame* frame) {
  GstZoltaDenoise* self = self_of(filter);
  if (!take_changes(self)) return GST_FLOW_ERROR;
  zolta_error error{};
  const zolta_frame planes = zolta_frame_of(frame, zolta_stream_planes(&self->stream));
  if (zolta_denoiser_process(self->denoiser, &planes, &planes, &error) != ZOLTA_OK) {
    GST_ELEMENT_ERROR(self, STREAM, FAILED, ("%s", error.message), (nullptr));
    return GST_FLOW_ERROR;
  }
  return GST_FLOW_OK;
}

// ---- the temporal radius: frames held until their window has come in ----

// Frame window->next from its window, into a buffer of its own with the
// centre frame's timestamps.
GstFlowReturn window_output(GstZoltaDenoise* self, bool ended, GstBuffer** out) {
  FrameWindow& w = *self->window;
  const int count = 2 * w.radius + 1;
  const HeldFrame* held[5];
  window_frames(w, ended, held);
  GstVideoFrame frames[5];
  zolta_frame planes[5];
  const zolta_frame* pointers[5];
  const int plane_count = zolta_stream_planes(&self->stream);
  int mapped = 0;
  for (; mapped < count; ++mapped) {
    if (!gst_video_frame_map(&frames[mapped], &self->info, held[mapped]->buffer, GST_MAP_READ))
      break;
    planes[mapped] = zolta_frame_of(&frames[mapped], plane_count);
    planes[mapped].number = held[mapped]->number;
    pointers[mapped] = &planes[mapped];
  }
  GstBuffer* buffer = nullptr;
  GstVideoFrame target;
  bool written = false;
  zolta_error error{};
  if (mapped == count) {
    buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&self->info), nullptr);
    if (buffer && gst_video_frame_map(&target, &self->info, buffer, GST_MAP_WRITE)) {
      const zolta_frame out = zolta_frame_of(&target, plane_count);
      written = zolta_denoiser_process_window(self->denoiser, pointers, count, &out, &error) ==
                ZOLTA_OK;
      gst_video_frame_unmap(&target);
      if (!written) GST_ELEMENT_ERROR(self, STREAM, FAILED, ("%s", error.message), (nullptr));
    } else {
      GST_ELEMENT_ERROR(self, RESOURCE, FAILED, ("no memory for a frame"), (nullptr));
    }
  } else {
    GST_ELEMENT_ERROR(self, STREAM, FAILED, ("a frame could not be read"), (nullptr));
  }
  for (int k = 0; k < mapped; ++k) gst_video_frame_unmap(&frames[k]);
  if (!written) {
    if (buffer) gst_buffer_unref(buffer);
    return GST_FLOW_ERROR;
  }
  gst_buffer_copy_into(buffer, held[w.radius]->buffer,
                       static_cast<GstBufferCopyFlags>(GST_BUFFER_COPY_FLAGS |
                                                       GST_BUFFER_COPY_TIMESTAMPS),
                       0, static_cast<gsize>(-1));
  window_advance(w);
  *out = buffer;
  return GST_FLOW_OK;
}

// One frame on its way as if it had just come in: through the base class
// (radius 0) or the window, and every frame ready pushed downstream.
GstFlowReturn pass_on(GstZoltaDenoise* self, GstBuffer* input) {
  GstBaseTransform* transform = GST_BASE_TRANSFORM(self);
  GstBaseTransformClass* parent = GST_BASE_TRANSFORM_CLASS(gst_zolta_denoise_parent_class);
  if (self->window->radius == 0) {
    GstFlowReturn flow = parent->submit_input_buffer(transform, FALSE, input);
    GstBuffer* out = nullptr;
    if (flow == GST_FLOW_OK) flow = parent->generate_output(transform, &out);
    if (flow == GST_FLOW_OK && out) flow = gst_pad_push(GST_BASE_TRANSFORM_SRC_PAD(self), out);
    return flow;
  }
  window_push(*self->window, input);
  GstFlowReturn flow = GST_FLOW_OK;
  while (flow == GST_FLOW_OK && window_ready(*self->window, false)) {
    if (!take_changes(self)) return GST_FLOW_ERROR;
    GstBuffer* out = nullptr;
    flow = window_output(self, false, &out);
    if (flow == GST_FLOW_OK) flow = gst_pad_push(GST_BASE_TRANSFORM_SRC_PAD(self), out);
  }
  return flow;
}

// sigma_auto: the frames held are measured (zolta_noise_measure, consecutive
// frames), the settings follow from the model and the frames go on.
GstFlowReturn measure_pending(GstZoltaDenoise* self) {
  std::deque<GstBuffer*>& held = *self->pending;
  if (held.empty()) return GST_FLOW_OK;
  const int count = static_cast<int>(held.size());
  const int planes = zolta_stream_planes(&self->stream);
  GstVideoFrame frames[kMeasureFrames];
  zolta_frame views[kMeasureFrames];
  const zolta_frame* pointers[kMeasureFrames];
  int mapped = 0;
  for (; mapped < count; ++mapped) {
    if (!gst_video_frame_map(&frames[mapped], &self->info, held[static_cast<size_t>(mapped)],
                             GST_MAP_READ))
      break;
    views[mapped] = zolta_frame_of(&frames[mapped], planes);
    pointers[mapped] = &views[mapped];
  }
  zolta_error error{};
  int status = ZOLTA_ERROR_ARGUMENT;
  if (mapped == count) {
    zolta_noise_model_default(&self->model, ZOLTA_API_VERSION);
    status = zolta_noise_measure(&self->stream, pointers, count, &self->model, &error);
  }
  for (int k = 0; k < mapped; ++k) gst_video_frame_unmap(&frames[k]);
  if (status != ZOLTA_OK) {
    drop_pending(self);
    if (mapped == count)
      GST_ELEMENT_ERROR(self, STREAM, FAILED, ("%s", error.message), (nullptr));
    else
      GST_ELEMENT_ERROR(self, STREAM, FAILED, ("a frame could not be read"), (nullptr));
    return GST_FLOW_ERROR;
  }
  self->measured = TRUE;
  GST_OBJECT_LOCK(self);
  self->changed = TRUE;  // the settings of the model, before the first frame
  GST_OBJECT_UNLOCK(self);
  GstFlowReturn flow = GST_FLOW_OK;
  while (!held.empty()) {
    GstBuffer* buffer = held.front();
    held.pop_front();
    if (flow == GST_FLOW_OK)
      flow = pass_on(self, buffer);
    else
      gst_buffer_unref(buffer);
  }
  return flow;
}

GstFlowReturn submit_input_buffer(GstBaseTransform* transform, gboolean discont,
                                  GstBuffer* input) {
  GstZoltaDenoise* self = self_of(transform);
  if (measuring(self)) {
    if (!self->denoiser) {  // refused in set_info, with its message
      gst_buffer_unref(input);
      return GST_FLOW_ERROR;
    }
    self->pending->push_back(input);
    if (static_cast<int>(self->pending->size()) < kMeasureFrames) return GST_FLOW_OK;
    return measure_pending(self);
  }
  // sigma_auto given up while frames waited: they are measured all the same
  // and go first.
  const GstFlowReturn flow = measure_pending(self);
  if (flow != GST_FLOW_OK) {
    gst_buffer_unref(input);
    return flow;
  }
  if (self->window->radius == 0) {
    return GST_BASE_TRANSFORM_CLASS(gst_zolta_denoise_parent_class)
        ->submit_input_buffer(transform, discont, input);
  }
  window_push(*self->window, input);
  return GST_FLOW_OK;
}

GstFlowReturn generate_output(GstBaseTransform* transform, GstBuffer** out) {
  GstZoltaDenoise* self = self_of(transform);
  *out = nullptr;
  // Frames held for the measurement, or passed on by it, went out already.
  if (!self->pending->empty()) return GST_FLOW_OK;
  if (self->window->radius == 0) {
    return GST_BASE_TRANSFORM_CLASS(gst_zolta_denoise_parent_class)
        ->generate_output(transform, out);
  }
  if (!window_ready(*self->window, false)) return GST_FLOW_OK;
  if (!take_changes(self)) return GST_FLOW_ERROR;
  return window_output(self, false, out);
}

// The stream has ended (or its format changes): the frames held go out, the
// window mirrored at the last one.
GstFlowReturn drain(GstZoltaDenoise* self) {
  GstFlowReturn flow = GST_FLOW_OK;
  while (flow == GST_FLOW_OK && self->window->radius > 0 && window_ready(*self->window, true)) {
    if (!take_changes(self)) {
      flow = GST_FLOW_ERROR;
      break;
    }
    GstBuffer* buffer = nullptr;
    flow = window_output(self, true, &buffer);
    if (flow == GST_FLOW_OK) flow = gst_pad_push(GST_BASE_TRANSFORM_SRC_PAD(self), buffer);
  }
  window_clear(*self->window);
  return flow;
}

gboolean sink_event(GstBaseTransform* transform, GstEvent* event) {
  GstZoltaDenoise* self = self_of(transform);
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_EOS:
    case GST_EVENT_CAPS:
      // A stream shorter than kMeasureFrames is measured on what it had.
      if (measure_pending(self) == GST_FLOW_OK) drain(self);
      break;
    case GST_EVENT_FLUSH_STOP:
      window_clear(*self->window);  // a seek: the frames held are not shown
      drop_pending(self);
      break;
    default:
      break;
  }
  return GST_BASE_TRANSFORM_CLASS(gst_zolta_denoise_parent_class)->sink_event(transform, event);
}

// The latency the window adds: R frames.
gboolean query(GstBaseTransform* transform, GstPadDirection direction, GstQuery* query) {
  GstZoltaDenoise* self = self_of(transform);
  const gboolean answered =
      GST_BASE_TRANSFORM_CLASS(gst_zolta_denoise_parent_class)->query(transform, direction, query);
  if (!answered || direction != GST_PAD_SRC || GST_QUERY_TYPE(query) != GST_QUERY_LATENCY)
    return answered;
  GST_OBJECT_LOCK(self);
  const gint radius = self->latency_frames, n = self->fps_n, d = self->fps_d;
  GST_OBJECT_UNLOCK(self);
  if (radius > 0 && n > 0 && d > 0) {
    gboolean live;
    GstClockTime least, most;
    gst_query_parse_latency(query, &live, &least, &most);
    const GstClockTime added = gst_util_uint64_scale_int(GST_SECOND * radius, d, n);
    gst_query_set_latency(query, live, least + added,
                          most == GST_CLOCK_TIME_NONE ? most : most + added);
  }
  return TRUE;
}

gboolean stop(GstBaseTransform* transform) {
  GstZoltaDenoise* self = self_of(transform);
  window_clear(*self->window);
  drop_pending(self);
  self->measured = FALSE;
  drop_denoiser(self);
  return TRUE;
}

}  // namespace

static void gst_zolta_denoise_class_init(GstZoltaDenoiseClass* klass) {
  GObjectClass* object_class = G_OBJECT_CLASS(klass);
  object_class->set_property = set_property;
  object_class->get_property = get_property;
  object_class->finalize = finalize;
  for (int i = 1; i <= zolta_gst_param_count(); ++i)
    g_object_class_install_property(object_class, static_cast<guint>(i),
                                    zolta_gst_param_spec(*zolta_gst_param(static_cast<guint>(i))));

  GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
  GstCaps* caps = gst_caps_from_string(GST_VIDEO_CAPS_MAKE(ZOLTA_GST_FORMATS));
  gst_element_class_add_pad_template(
      element_class, gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, caps));
  gst_element_class_add_pad_template(
      element_class, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
  gst_caps_unref(caps);
  gst_element_class_set_static_metadata(
      element_class, "zolta wavelet denoiser", "Filter/Effect/Video",
      "Wavelet noise reduction: the noise level (sigma) or VirtualDub's Config(...) or eighteen "
      "thresholds",
      "zolta");

  GstBaseTransformClass* transform_class = GST_BASE_TRANSFORM_CLASS(klass);
  transform_class->stop = stop;
  transform_class->submit_input_buffer = submit_input_buffer;
  transform_class->generate_output = generate_output;
  transform_class->sink_event = sink_event;
  transform_class->query = query;
  GstVideoFilterClass* filter_class = GST_VIDEO_FILTER_CLASS(klass);
  filter_class->set_info = set_info;
  filter_class->transform_frame_ip = transform_frame_ip;
  GST_DEBUG_CATEGORY_INIT(zolta_denoise_debug, "zoltadenoise", 0, "zolta wavelet denoiser");
}

static void gst_zolta_denoise_init(GstZoltaDenoise* self) {
  self->values = new EditorValues(zolta_gst_defaults());
  self->changed = TRUE;
  self->threads = 0;
  self->threads_changed = FALSE;
  self->temporal = 0;
  self->latency_frames = self->fps_n = self->fps_d = 0;
  self->window = new FrameWindow();
  self->pending = new std::deque<GstBuffer*>();
  self->measured = FALSE;
  zolta_noise_model_default(&self->model, ZOLTA_API_VERSION);
  gst_video_info_init(&self->info);
  self->denoiser = nullptr;
  zolta_stream_default(&self->stream, ZOLTA_API_VERSION);
}
