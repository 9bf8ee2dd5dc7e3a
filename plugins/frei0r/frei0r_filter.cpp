// SPDX-License-Identifier: BSD-2-Clause
#include "frei0r_filter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "editor_settings.h"
#include "frei0r_api.h"
#include "frei0r_params.h"
#include "host_threads.h"
#include "parameters.h"
#include "zolta.h"

struct Frei0rFilter {
  int width = 0;
  int height = 0;
  std::mutex lock;
  // As the host set them, by frei0r index.
  double doubles[kParamCount] = {};
  std::string texts[kParamCount];
  bool changed = true;
  bool usable = false;   // the settings of the parameters were taken
  std::string reported;  // the last refusal written to standard error
  zolta_denoiser* denoiser = nullptr;  // none for a size refused: frames pass through
  // sigma_auto: the noise of the first frame the instance got while it was
  // on, measured once.
  zolta_noise_model model{};
  bool measured = false;
};

namespace {

zolta_stream stream_of(int width, int height) {
  zolta_stream stream{};
  stream.family = ZOLTA_FAMILY_RGB;
  stream.sample = ZOLTA_SAMPLE_INTEGER;
  stream.bits = 8;
  stream.width = width;
  stream.height = height;
  return stream;
}

EditorValues values_of(const Frei0rFilter& f) {
  EditorValues values;
  for (int i = 0; i < frei0r_param_count(); ++i) {
    const ParamDef& p = *frei0r_param(i);
    switch (p.id) {
      case kParamNoise:
        values.sigma = frei0r_value_of(p, f.doubles[i]);
        break;
      case kParamSettings:
        values.settings = f.texts[i];
        break;
      case kParamView:
        values.view = f.texts[i];
        break;
      case kParamPlane:
        values.plane = f.texts[i];
        break;
      case kParamNoiseAuto:
        values.sigma_auto = f.doubles[i] >= 0.5;
        break;
      case kParamEditorProfile:
        values.profile = f.texts[i];
        break;
      default:
        break;
    }
  }
  return values;
}

// The R, G and B planes of a BGRA frame, four bytes apart.
zolta_frame bgra_frame(const Frei0rFilter& f, const uint32_t* pixels) {
  unsigned char* bytes = reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(pixels));
  zolta_frame frame{};
  for (int p = 0; p < 3; ++p) {
    frame.data[p] = bytes + 2 - p;
    frame.stride[p] = static_cast<ptrdiff_t>(f.width) * 4;
    frame.step[p] = 4;
  }
  return frame;
}

// The parameters into the denoiser; a refusal is written once. sigma_auto
// measures `in` when nothing was measured yet: frei0r gives one frame at a
// time and wants it back at once, so the model is the first frame's alone
// (zolta_noise_measure on one frame: white noise of the finest detail's
// level), kept for every later frame.
void take_parameters(Frei0rFilter& f, const uint32_t* in) {
  f.changed = false;
  zolta_settings settings{};
  zolta_error error{};
  EditorValues values = values_of(f);
  int status = ZOLTA_OK;
  if (editor_measures(values) && !f.measured) {
    const zolta_stream stream = stream_of(f.width, f.height);
    const zolta_frame frame = bgra_frame(f, in);
    const zolta_frame* frames[1] = {&frame};
    zolta_noise_model_default(&f.model, ZOLTA_API_VERSION);
    status = zolta_noise_measure(&stream, frames, 1, &f.model, &error);
    f.measured = status == ZOLTA_OK;
  }
  values.measured = f.measured ? &f.model : nullptr;
  if (status == ZOLTA_OK) status = editor_settings(values, ZOLTA_FAMILY_RGB, &settings, &error);
  if (status == ZOLTA_OK) status = zolta_denoiser_update(f.denoiser, &settings, &error);
  f.usable = status == ZOLTA_OK;
  if (f.usable) {
    f.reported.clear();
  } else if (f.reported != error.message) {
    f.reported = error.message;
    std::fprintf(stderr, "zolta: %s; frames pass through unchanged\n", error.message);
  }
}

}  // namespace

Frei0rFilter* frei0r_filter_create(unsigned width, unsigned height, std::string* message) {
  if (width > 1u << 20 || height > 1u << 20) {
    *message = "frame size too large";
    return nullptr;
  }
  Frei0rFilter* f = new (std::nothrow) Frei0rFilter;
  if (!f) {
    *message = "out of memory";
    return nullptr;
  }
  f->width = static_cast<int>(width);
  f->height = static_cast<int>(height);
  for (int i = 0; i < frei0r_param_count(); ++i) {
    const ParamDef& p = *frei0r_param(i);
    const char* value = p.default_value ? p.default_value : "";
    if (frei0r_param_type(p) != F0R_PARAM_STRING)
      f->doubles[i] = frei0r_double_of(p, std::strtod(value, nullptr));
    else
      f->texts[i] = value;
  }
  if (width == 0 || height == 0) {
    // No pixel to denoise; an instance all the same, as for any size refused.
    *message = "empty frame (" + std::to_string(width) + " x " + std::to_string(height) +
               "): frames pass through unchanged";
    return f;
  }
  zolta_denoiser_config config{};
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream = stream_of(f->width, f->height);
  config.threads = 1;
  // frei0r hands a filter one frame at a time: its workers share each frame.
  config.frame_threads = frame_threads_for(0);
  zolta_error error{};
  int status = editor_settings(values_of(*f), ZOLTA_FAMILY_RGB, &config.settings, &error);
  if (status == ZOLTA_OK) status = zolta_denoiser_create(&config, &f->denoiser, &error);
  if (status == ZOLTA_ERROR_SIZE || status == ZOLTA_ERROR_FORMAT) {
    // A host that gets no instance may pass on a buffer of its own (melt
    // does, converted and not converted back): the instance copies the
    // frames instead.
    *message = std::string(error.message) + "; frames pass through unchanged";
    return f;
  }
  if (status != ZOLTA_OK) {
    *message = error.message;
    delete f;
    return nullptr;
  }
  return f;
}

void frei0r_filter_destroy(Frei0rFilter* filter) {
  if (!filter) return;
  zolta_denoiser_destroy(filter->denoiser);
  delete filter;
}

void frei0r_filter_set(Frei0rFilter* filter, const void* param, int index) {
  const ParamDef* p = frei0r_param(index);
  if (!filter || !param || !p) return;
  std::lock_guard<std::mutex> hold(filter->lock);
  if (frei0r_param_type(*p) != F0R_PARAM_STRING) {
    filter->doubles[index] = *static_cast<const double*>(param);
  } else {
    const char* text = *static_cast<const char* const*>(param);
    filter->texts[index] = text ? text : "";
  }
  filter->changed = true;
}

void frei0r_filter_get(Frei0rFilter* filter, void* param, int index) {
  const ParamDef* p = frei0r_param(index);
  if (!filter || !param || !p) return;
  std::lock_guard<std::mutex> hold(filter->lock);
  if (frei0r_param_type(*p) != F0R_PARAM_STRING)
    *static_cast<double*>(param) = filter->doubles[index];
  else
    *static_cast<const char**>(param) = filter->texts[index].c_str();
}

void frei0r_filter_update(Frei0rFilter* filter, const uint32_t* in, uint32_t* out) {
  if (!filter || !in || !out) return;
  std::lock_guard<std::mutex> hold(filter->lock);
  const size_t row = static_cast<size_t>(filter->width) * 4;
  if (in != out) std::memcpy(out, in, row * static_cast<size_t>(filter->height));
  if (!filter->denoiser) return;  // a size refused when the instance was made
  if (filter->changed) take_parameters(*filter, in);
  if (!filter->usable) return;
  // BGRA in place: R, G and B as planes four bytes apart; alpha is not touched.
  const zolta_frame frame = bgra_frame(*filter, out);
  zolta_error error{};
  if (zolta_denoiser_process(filter->denoiser, &frame, &frame, &error) == ZOLTA_OK) return;
  if (in != out) std::memcpy(out, in, row * static_cast<size_t>(filter->height));
  if (filter->reported != error.message) {
    filter->reported = error.message;
    std::fprintf(stderr, "zolta: %s; the frame passes through unchanged\n", error.message);
  }
}
