#include "gst_zolta_denoise.h"

#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>

#include <new>

#include "editor_settings.h"
#include "gst_formats.h"
#include "gst_properties.h"
#include "host_threads.h"
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
  // The streaming thread's own.
  zolta_stream stream;
  zolta_denoiser* denoiser;
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
  const EditorValues values = *self->values;
  self->changed = FALSE;
  GST_OBJECT_UNLOCK(self);
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
  } else {
    zolta_gst_param_load(*p, *self->values, value);
  }
  GST_OBJECT_UNLOCK(self);
}

void drop_denoiser(GstZoltaDenoise* self) {
  zolta_denoiser_destroy(self->denoiser);
  self->denoiser = nullptr;
}

void finalize(GObject* object) {
  GstZoltaDenoise* self = self_of(object);
  drop_denoiser(self);
  delete self->values;
  G_OBJECT_CLASS(gst_zolta_denoise_parent_class)->finalize(object);
}

// The denoiser of the negotiated stream, the properties as they are now; a
// refusal is the element's error and leaves no denoiser.
void make_denoiser(GstZoltaDenoise* self) {
  drop_denoiser(self);
  GST_OBJECT_LOCK(self);
  const gint threads = self->threads;
  self->threads_changed = FALSE;
  GST_OBJECT_UNLOCK(self);
  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream = self->stream;
  config.threads = 1;
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
  make_denoiser(self);
  return TRUE;
}

GstFlowReturn transform_frame_ip(GstVideoFilter* filter, GstVideoFrame* frame) {
  GstZoltaDenoise* self = self_of(filter);
  if (!self->denoiser) return GST_FLOW_ERROR;  // refused in set_info, with its message
  GST_OBJECT_LOCK(self);
  const gboolean changed = self->changed;
  const gboolean threads_changed = self->threads_changed;
  GST_OBJECT_UNLOCK(self);
  if (threads_changed) {
    make_denoiser(self);  // with the settings as they are now
    if (!self->denoiser) return GST_FLOW_ERROR;
  }
  zolta_error error{};
  if (changed) {
    zolta_settings settings;
    if (!current_settings(self, &settings)) return GST_FLOW_ERROR;
    if (zolta_denoiser_update(self->denoiser, &settings, &error) != ZOLTA_OK) {
      GST_ELEMENT_ERROR(self, LIBRARY, SETTINGS, ("%s", error.message), (nullptr));
      return GST_FLOW_ERROR;
    }
  }
  const zolta_frame planes = zolta_frame_of(frame, zolta_stream_planes(&self->stream));
  if (zolta_denoiser_process(self->denoiser, &planes, &planes, &error) != ZOLTA_OK) {
    GST_ELEMENT_ERROR(self, STREAM, FAILED, ("%s", error.message), (nullptr));
    return GST_FLOW_ERROR;
  }
  return GST_FLOW_OK;
}

gboolean stop(GstBaseTransform* transform) {
  drop_denoiser(self_of(transform));
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

  GST_BASE_TRANSFORM_CLASS(klass)->stop = stop;
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
  self->denoiser = nullptr;
  zolta_stream_default(&self->stream, ZOLTA_API_VERSION);
}
