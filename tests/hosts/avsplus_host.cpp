#include "avsplus_host.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>

#include "parallel.h"
#include "plugin_module.h"

// ---- the opaque types, as this host defines them ----------------------------------

struct AvsHostState;

struct AVS_ScriptEnvironment {
  AvsHostState* state;
  bool temporary;  // the one handed to the plugin's entry
  bool valid;
};

struct AVS_VideoFrame {
  AvsHostState* state = nullptr;
  int pixel_type = 0;
  int planes = 0;
  int ids[3] = {};
  uint8_t* memory[3] = {};
  AvsPlaneView view[3];
  std::map<std::string, int64_t> props;
  std::atomic<int> refs{1};
};

namespace {

struct Clip {
  AvsHostState* state = nullptr;
  std::atomic<int> refs{1};
  AVS_VideoInfo vi = {};
  bool is_filter = false;
  // A source.
  AvsPlusHost::FillFunc fill = nullptr;
  void* user = nullptr;
  // A filter.
  AVS_FilterInfo fi = {};
  std::atomic<int> running{0};
};

}  // namespace

// A handle: one reference to a clip and the error of its last call.
struct AVS_Clip {
  Clip* clip;
  HostLock lock;
  std::string error;
};

struct RegisteredFunction {
  std::string name;
  std::string params;
  AVS_ApplyFunc apply;
  void* user_data;
};

struct AvsHostState {
  int logical_cpus = 1;
  AVS_ScriptEnvironment env{this, false, true};
  PluginModule module;
  std::vector<RegisteredFunction> functions;
  std::atomic<int> live_frames{0};
  std::atomic<int> live_clips{0};
  std::atomic<int> filter_frees{0};
  std::atomic<int> most_concurrent{0};
  mutable HostLock lock;
  std::vector<std::string> violations;
  std::deque<std::string> saved;

  void violation(const std::string& what) {
    HostLockGuard guard(lock);
    violations.push_back(what);
  }
};

namespace {

AvsHostState* state_of(AVS_ScriptEnvironment* env) {
  if (!env->valid) {
    env->state->violation("the environment given to the entry was used after it returned");
  }
  return env->state;
}

// ---- pixel types ---------------------------------------------------------------------

int bits_of(uint32_t pt) {
  switch ((pt >> 16) & 7) {
    case 1:
      return 16;
    case 2:
      return 32;
    case 5:
      return 10;
    case 6:
      return 12;
    case 7:
      return 14;
    default:
      return 8;
  }
}

int log2_sub(uint32_t code) {
  return static_cast<int>((code + 1) & 3);
}

// The frame's planes: ids, sizes, bytes per sample.
struct Layout {
  int planes = 0;
  int ids[3] = {};
  int widths[3] = {};
  int heights[3] = {};
  int bytes = 1;  // per sample (packed: per pixel)
};

Layout layout_of(const AVS_VideoInfo& vi) {
  const uint32_t pt = static_cast<uint32_t>(vi.pixel_type);
  Layout l;
  if (!(pt & kAvsCsPlanar)) {
    l.planes = 1;
    l.ids[0] = kAvsDefaultPlane;
    l.widths[0] = vi.width;
    l.heights[0] = vi.height;
    const int bits = bits_of(pt);
    l.bytes = pt == kAvsCsYuy2 ? 2 : ((pt & kAvsCsRgbaType) ? 4 : 3) * bits / 8;
    return l;
  }
  const int bits = bits_of(pt);
  l.bytes = bits <= 8 ? 1 : bits <= 16 ? 2 : 4;
  if ((pt & (kAvsCsInterleaved | kAvsCsYuv)) == (kAvsCsInterleaved | kAvsCsYuv)) {
    l.planes = 1;
    l.ids[0] = kAvsPlanarY;
  } else if (pt & kAvsCsBgr) {
    // Stored G, B, R.
    l.planes = 3;
    l.ids[0] = kAvsPlanarG;
    l.ids[1] = kAvsPlanarB;
    l.ids[2] = kAvsPlanarR;
  } else {
    l.planes = 3;
    l.ids[0] = kAvsPlanarY;
    l.ids[1] = kAvsPlanarU;
    l.ids[2] = kAvsPlanarV;
  }
  const bool yuv = (pt & kAvsCsYuv) && l.planes == 3;
  for (int p = 0; p < l.planes; ++p) {
    const bool chroma = yuv && p > 0;
    l.widths[p] = chroma ? vi.width >> log2_sub(pt & kAvsCsSubWMask) : vi.width;
    l.heights[p] = chroma ? vi.height >> log2_sub((pt & kAvsCsSubHMask) >> 8) : vi.height;
  }
  return l;
}

AVS_VideoFrame* make_frame(AvsHostState* s, const AVS_VideoInfo& vi) {
  const Layout l = layout_of(vi);
  AVS_VideoFrame* f = new AVS_VideoFrame;
  f->state = s;
  f->pixel_type = vi.pixel_type;
  f->planes = l.planes;
  for (int p = 0; p < l.planes; ++p) {
    const int row = l.widths[p] * l.bytes;
    const int pitch = (row + 63) / 64 * 64 + 64;
    const size_t size = static_cast<size_t>(pitch) * static_cast<size_t>(l.heights[p]) + 64;
    f->memory[p] = static_cast<uint8_t*>(std::malloc(size));
    std::memset(f->memory[p], 0x5A, size);
    const uintptr_t a = reinterpret_cast<uintptr_t>(f->memory[p]);
    f->ids[p] = l.ids[p];
    f->view[p].data = reinterpret_cast<uint8_t*>((a + 63) / 64 * 64);
    f->view[p].pitch = pitch;
    f->view[p].row_size = row;
    f->view[p].height = l.heights[p];
  }
  s->live_frames.fetch_add(1);
  return f;
}

const AvsPlaneView* find_plane(const AVS_VideoFrame* f, int id) {
  id &= ~8;  // the _ALIGNED variants
  if (id == kAvsDefaultPlane) return &f->view[0];
  for (int p = 0; p < f->planes; ++p)
    if (f->ids[p] == id) return &f->view[p];
  return nullptr;
}

void clip_release(Clip* c);

AVS_Clip* new_handle(Clip* c) {
  AVS_Clip* h = new AVS_Clip;
  h->clip = c;
  return h;
}

void clip_release(Clip* c) {
  const int left = c->refs.fetch_sub(1) - 1;
  if (left < 0) {
    c->state->violation("a clip was released more often than it was referenced");
    return;
  }
  if (left > 0) return;
  AvsHostState* s = c->state;
  if (c->is_filter) {
    if (c->fi.free_filter) {
      c->fi.free_filter(&c->fi);
      s->filter_frees.fetch_add(1);
    }
    if (c->fi.child) {
      clip_release(c->fi.child->clip);
      delete c->fi.child;
    }
  }
  s->live_clips.fetch_sub(1);
  delete c;
}

void frame_release(AVS_VideoFrame* f) {
  if (!f) return;
  const int left = f->refs.fetch_sub(1) - 1;
  if (left < 0) {
    f->state->violation("a frame was released more often than it was referenced");
    return;
  }
  if (left > 0) return;
  for (uint8_t* m : f->memory) std::free(m);
  f->state->live_frames.fetch_sub(1);
  delete f;
}

AVS_VideoFrame* clip_frame(Clip* c, int n, std::string& error) {
  AvsHostState* s = c->state;
  n = std::min(std::max(n, 0), c->vi.num_frames - 1);
  if (!c->is_filter) {
    AVS_VideoFrame* f = make_frame(s, c->vi);
    if (c->fill) c->fill(c->user, n, f);
    f->props["SourceFrame"] = n;
    return f;
  }
  const int now = c->running.fetch_add(1) + 1;
  int seen = s->most_concurrent.load();
  while (now > seen && !s->most_concurrent.compare_exchange_weak(seen, now)) {
  }
  AVS_VideoFrame* f = c->fi.get_frame(&c->fi, n);
  c->running.fetch_sub(1);
  if (!f) {
    const char* e = c->fi.error;
    error = e ? e : "the filter returned no frame and no error";
    return nullptr;
  }
  if (f->pixel_type != c->vi.pixel_type ||
      f->view[0].row_size != layout_of(c->vi).widths[0] * layout_of(c->vi).bytes ||
      f->view[0].height != layout_of(c->vi).heights[0]) {
    s->violation("a frame whose format or size differs from the clip's");
  }
  return f;
}

// ---- parameter strings -------------------------------------------------------------------

struct Param {
  std::string name;  // empty: positional
  char type;
  bool array;
};

bool parse_params(const std::string& text, std::vector<Param>& params) {
  size_t i = 0;
  while (i < text.size()) {
    Param p{std::string(), 0, false};
    if (text[i] == '[') {
      const size_t close = text.find(']', i);
      if (close == std::string::npos) return false;
      p.name = text.substr(i + 1, close - i - 1);
      i = close + 1;
      if (i >= text.size()) return false;
    }
    if (!std::strchr("cbifsna.", text[i])) return false;
    p.type = text[i++];
    if (i < text.size() && (text[i] == '*' || text[i] == '+')) {
      p.array = true;
      ++i;
    }
    params.push_back(p);
  }
  return true;
}

bool same_name(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool accepts(char type, const AVS_Value& v) {
  switch (type) {
    case 'c':
      return v.type == kAvsClip;
    case 'b':
      return v.type == kAvsBool;
    case 'i':
      return v.type == kAvsInt || v.type == kAvsLong;
    case 'f':
      return v.type == kAvsFloat || v.type == kAvsInt || v.type == kAvsDouble;
    case 's':
      return v.type == kAvsString;
    default:
      return true;
  }
}

}  // namespace

// ---- the exported C functions --------------------------------------------------------------

#define AVSPLUS_EXPORT extern "C" AVSPLUS_HOST_API

AVSPLUS_EXPORT int AVSC_CC avs_add_function(AVS_ScriptEnvironment* env, const char* name,
                                            const char* params, AVS_ApplyFunc apply,
                                            void* user_data) {
  AvsHostState* s = state_of(env);
  std::vector<Param> parsed;
  if (!name || !params || !apply || !parse_params(params, parsed)) {
    s->violation(std::string("avs_add_function refused: ") + (name ? name : "(null)"));
    return -1;
  }
  s->functions.push_back(RegisteredFunction{name, params, apply, user_data});
  return 0;
}

AVSPLUS_EXPORT AVS_Clip* AVSC_CC avs_new_c_filter(AVS_ScriptEnvironment* env, AVS_FilterInfo** fi,
                                                  AVS_Value child, int store_child) {
  AvsHostState* s = state_of(env);
  Clip* c = new Clip;
  c->state = s;
  c->is_filter = true;
  std::memset(&c->fi, 0, sizeof c->fi);
  c->fi.env = &s->env;
  if (child.type == kAvsClip) {
    Clip* source = static_cast<Clip*>(child.d.clip);
    c->fi.vi = source->vi;
    if (store_child) {
      source->refs.fetch_add(1);
      c->fi.child = new_handle(source);
    }
  } else if (store_child) {
    s->violation("avs_new_c_filter with store_child and no clip");
  }
  c->vi = c->fi.vi;
  s->live_clips.fetch_add(1);
  *fi = &c->fi;
  return new_handle(c);
}

AVSPLUS_EXPORT void AVSC_CC avs_set_to_clip(AVS_Value* v, AVS_Clip* c) {
  c->clip->refs.fetch_add(1);
  v->type = kAvsClip;
  v->array_size = 0;
  v->d.clip = c->clip;
}

AVSPLUS_EXPORT void AVSC_CC avs_release_clip(AVS_Clip* c) {
  if (!c) return;
  clip_release(c->clip);
  delete c;
}

AVSPLUS_EXPORT AVS_VideoFrame* AVSC_CC avs_get_frame(AVS_Clip* c, int n) {
  std::string error;
  AVS_VideoFrame* f = clip_frame(c->clip, n, error);
  if (!f) {
    HostLockGuard guard(c->lock);
    c->error = error;
  }
  return f;
}

AVSPLUS_EXPORT const char* AVSC_CC avs_clip_get_error(AVS_Clip* c) {
  HostLockGuard guard(c->lock);
  return c->error.empty() ? nullptr : c->error.c_str();
}

AVSPLUS_EXPORT AVS_VideoFrame* AVSC_CC avs_new_video_frame_p(AVS_ScriptEnvironment* env,
                                                             const AVS_VideoInfo* vi,
                                                             const AVS_VideoFrame* prop_src) {
  AvsHostState* s = state_of(env);
  AVS_VideoFrame* f = make_frame(s, *vi);
  if (prop_src) {
    f->props = prop_src->props;
  } else {
    s->violation("avs_new_video_frame_p without a frame to take properties from");
  }
  return f;
}

AVSPLUS_EXPORT void AVSC_CC avs_release_video_frame(AVS_VideoFrame* f) {
  frame_release(f);
}

AVSPLUS_EXPORT int AVSC_CC avs_get_pitch_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  return v ? v->pitch : 0;
}

AVSPLUS_EXPORT int AVSC_CC avs_get_row_size_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  return v ? v->row_size : 0;
}

AVSPLUS_EXPORT int AVSC_CC avs_get_height_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  return v ? v->height : 0;
}

AVSPLUS_EXPORT const uint8_t* AVSC_CC avs_get_read_ptr_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  return v ? v->data : nullptr;
}

AVSPLUS_EXPORT uint8_t* AVSC_CC avs_get_write_ptr_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  if (f->refs.load() != 1) {
    f->state->violation("a write pointer asked of a frame that is not writable");
    if (v == &f->view[0]) return nullptr;
  }
  return v ? v->data : nullptr;
}

AVSPLUS_EXPORT char* AVSC_CC avs_save_string(AVS_ScriptEnvironment* env, const char* text,
                                             int length) {
  AvsHostState* s = state_of(env);
  HostLockGuard guard(s->lock);
  s->saved.push_back(length < 0 ? std::string(text)
                                : std::string(text, static_cast<size_t>(length)));
  return &s->saved.back()[0];
}

AVSPLUS_EXPORT size_t AVSC_CC avs_get_env_property(AVS_ScriptEnvironment* env, int prop) {
  AvsHostState* s = state_of(env);
  switch (prop) {
    case kAvsEnvPropertyLogicalCpus:
      return static_cast<size_t>(s->logical_cpus);
    case 8:
      return 12;  // interface version
    default:
      return 0;
  }
}

AVSPLUS_EXPORT int AVSC_CC avs_get_version(AVS_Clip* /*c*/) {
  return 12;
}

// ---- AvsPlusHost ------------------------------------------------------------------------------

AvsPlusHost::AvsPlusHost(int logical_cpus) : state_(new AvsHostState) {
  state_->logical_cpus = logical_cpus;
}

AvsPlusHost::~AvsPlusHost() {
  close_plugin_module(state_->module);
  delete state_;
}

bool AvsPlusHost::load_plugin(const std::string& path, std::string& text_or_error) {
  if (!open_plugin_module(path, state_->module, text_or_error)) return false;
#if defined(_WIN32) && !defined(_WIN64)
  static const char* const kNames[] = {"_avisynth_c_plugin_init2@4", "avisynth_c_plugin_init2@4",
                                       "avisynth_c_plugin_init2"};
#elif defined(_WIN32)
  static const char* const kNames[] = {"avisynth_c_plugin_init2", "_avisynth_c_plugin_init2@4"};
#else
  static const char* const kNames[] = {"avisynth_c_plugin_init2"};
#endif
  const int count = static_cast<int>(sizeof kNames / sizeof kNames[0]);
  AVS_PluginInitFunc init = reinterpret_cast<AVS_PluginInitFunc>(
      find_plugin_export(state_->module, kNames, count, nullptr));
  if (!init) {
    text_or_error = path + " cannot be used as a plugin";
    close_plugin_module(state_->module);
    return false;
  }
  AVS_ScriptEnvironment temporary{state_, true, true};
  const char* text = init(&temporary);
  temporary.valid = false;
  text_or_error = text ? text : "";
  return true;
}

std::string AvsPlusHost::function_params(const std::string& name) const {
  for (const RegisteredFunction& f : state_->functions)
    if (f.name == name) return f.params;
  return std::string();
}

AVS_Clip* AvsPlusHost::source(const AVS_VideoInfo& vi, FillFunc fill, void* user) {
  Clip* c = new Clip;
  c->state = state_;
  c->vi = vi;
  c->fill = fill;
  c->user = user;
  state_->live_clips.fetch_add(1);
  return new_handle(c);
}

AVS_Clip* AvsPlusHost::invoke(const std::string& name, AVS_Clip* clip,
                              const std::vector<AvsNamedArg>& named, std::string& error) {
  const RegisteredFunction* f = nullptr;
  // The most recently registered one wins.
  for (const RegisteredFunction& r : state_->functions)
    if (same_name(r.name, name)) f = &r;
  if (!f) {
    error = "there is no function named " + name;
    return nullptr;
  }
  std::vector<Param> params;
  parse_params(f->params, params);
  std::vector<AVS_Value> args(params.size());
  for (AVS_Value& v : args) {
    v.type = kAvsVoid;
    v.array_size = 0;
    v.d.clip = nullptr;
  }
  bool clip_used = false;
  for (size_t i = 0; i < params.size(); ++i) {
    const Param& p = params[i];
    if (p.name.empty()) {
      if (p.type != 'c' || clip_used) {
        error = name + ": this stand-in passes one clip positionally";
        return nullptr;
      }
      args[i].type = kAvsClip;
      args[i].d.clip = clip->clip;
      clip_used = true;
      continue;
    }
    for (const AvsNamedArg& a : named) {
      if (!same_name(a.name, p.name)) continue;
      bool ok = true;
      if (p.array) {
        if (a.value.type == kAvsArray) {
          for (int k = 0; k < a.value.array_size; ++k) ok &= accepts(p.type, a.value.d.array[k]);
        } else {
          ok = accepts(p.type, a.value);
        }
      } else {
        ok = accepts(p.type, a.value);
      }
      if (!ok) {
        error = "Script error: Invalid arguments to function '" + name + "'";
        return nullptr;
      }
      if (p.array && a.value.type != kAvsArray) {
        // One value given for an array parameter: an array of one.
        args[i].type = kAvsArray;
        args[i].array_size = 1;
        args[i].d.array = &a.value;
      } else {
        args[i] = a.value;
      }
    }
  }
  for (const AvsNamedArg& a : named) {
    const bool known = std::any_of(params.begin(), params.end(),
                                   [&](const Param& p) { return same_name(p.name, a.name); });
    if (!known) {
      error = "Script error: " + name + " does not have a named argument \"" + a.name + "\"";
      return nullptr;
    }
  }
  AVS_Value array;
  array.type = kAvsArray;
  array.array_size = static_cast<short>(args.size());
  array.d.array = args.data();
  const AVS_Value result = f->apply(&state_->env, array, f->user_data);
  if (result.type == kAvsError) {
    error = result.d.string ? result.d.string : "(null message)";
    return nullptr;
  }
  if (result.type != kAvsClip) {
    error = name + " returned no clip";
    return nullptr;
  }
  // The value's reference becomes the handle's.
  return new_handle(static_cast<Clip*>(result.d.clip));
}

AVS_VideoFrame* AvsPlusHost::get_frame(AVS_Clip* clip, int n, std::string& error) {
  AVS_VideoFrame* f = clip_frame(clip->clip, n, error);
  return f;
}

int AvsPlusHost::cache_hint(AVS_Clip* clip, int hint, int range) {
  Clip* c = clip->clip;
  if (!c->is_filter || !c->fi.set_cache_hints) return 0;
  return c->fi.set_cache_hints(&c->fi, hint, range);
}

const AVS_VideoInfo& AvsPlusHost::video_info(AVS_Clip* clip) const {
  return clip->clip->vi;
}

void AvsPlusHost::release_clip(AVS_Clip* clip) {
  avs_release_clip(clip);
}

void AvsPlusHost::release_frame(AVS_VideoFrame* frame) {
  frame_release(frame);
}

AvsPlaneView AvsPlusHost::plane(AVS_VideoFrame* frame, int plane_id) const {
  const AvsPlaneView* v = find_plane(frame, plane_id);
  return v ? *v : AvsPlaneView();
}

int64_t AvsPlusHost::frame_int_property(AVS_VideoFrame* frame, const char* key,
                                        int64_t missing) const {
  auto it = frame->props.find(key);
  return it == frame->props.end() ? missing : it->second;
}

int AvsPlusHost::live_frames() const {
  return state_->live_frames.load();
}
int AvsPlusHost::live_clips() const {
  return state_->live_clips.load();
}
int AvsPlusHost::filter_frees() const {
  return state_->filter_frees.load();
}
int AvsPlusHost::most_concurrent_calls() const {
  return state_->most_concurrent.load();
}

std::vector<std::string> AvsPlusHost::violations() const {
  HostLockGuard guard(state_->lock);
  return state_->violations;
}
