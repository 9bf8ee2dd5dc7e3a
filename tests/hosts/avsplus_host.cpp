// SPDX-License-Identifier: BSD-2-Clause
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

#ifndef ZOLTA_AVSPLUS_INTERFACE
#define ZOLTA_AVSPLUS_INTERFACE 12
#endif

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
  AvsPlusApplyFunc apply;
  void* user_data;
};

struct AvsHostState {
  int logical_cpus = 1;
  int interface_version = ZOLTA_AVSPLUS_INTERFACE;
  std::string entry_called;
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
  if (!(pt & AVS_CS_PLANAR)) {
    l.planes = 1;
    l.ids[0] = AVS_DEFAULT_PLANE;
    l.widths[0] = vi.width;
    l.heights[0] = vi.height;
    const int bits = bits_of(pt);
    l.bytes = pt == AVS_CS_YUY2 ? 2 : ((pt & AVS_CS_RGBA_TYPE) ? 4 : 3) * bits / 8;
    return l;
  }
  const int bits = bits_of(pt);
  l.bytes = bits <= 8 ? 1 : bits <= 16 ? 2 : 4;
  if ((pt & (AVS_CS_INTERLEAVED | AVS_CS_YUV)) == (AVS_CS_INTERLEAVED | AVS_CS_YUV)) {
    l.planes = 1;
    l.ids[0] = AVS_PLANAR_Y;
  } else if (pt & AVS_CS_BGR) {
    // Stored G, B, R.
    l.planes = 3;
    l.ids[0] = AVS_PLANAR_G;
    l.ids[1] = AVS_PLANAR_B;
    l.ids[2] = AVS_PLANAR_R;
  } else {
    l.planes = 3;
    l.ids[0] = AVS_PLANAR_Y;
    l.ids[1] = AVS_PLANAR_U;
    l.ids[2] = AVS_PLANAR_V;
  }
  const bool yuv = (pt & AVS_CS_YUV) && l.planes == 3;
  for (int p = 0; p < l.planes; ++p) {
    const bool chroma = yuv && p > 0;
    l.widths[p] = chroma ? vi.width >> log2_sub(pt & AVS_CS_SUB_WIDTH_MASK) : vi.width;
    l.heights[p] = chroma ? vi.height >> log2_sub((pt & AVS_CS_SUB_HEIGHT_MASK) >> 8) : vi.height;
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
  if (id == AVS_DEFAULT_PLANE) return &f->view[0];
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
      return v.type == AVS_TYPE_CLIP;
    case 'b':
      return v.type == AVS_TYPE_BOOL;
    case 'i':
      return v.type == AVS_TYPE_INT || v.type == AVS_TYPE_LONG;
    case 'f':
      return v.type == AVS_TYPE_FLOAT || v.type == AVS_TYPE_INT || v.type == AVS_TYPE_DOUBLE;
    case 's':
      return v.type == AVS_TYPE_STRING;
    default:
      return true;
  }
}

AVS_Value narrow_value(const AVS_Value& v) {
  AVS_Value n = v;
#if defined(_WIN32) && !defined(_WIN64)
  if (v.type == AVS_TYPE_LONG) n.d.integer = static_cast<int>(*v.d.longlong_ptr);
  if (v.type == AVS_TYPE_DOUBLE) n.d.floating_pt = static_cast<float>(*v.d.double_pt_ptr);
#else
  if (v.type == AVS_TYPE_LONG) n.d.integer = static_cast<int>(v.d.longlong);
  if (v.type == AVS_TYPE_DOUBLE) n.d.floating_pt = static_cast<float>(v.d.double_pt);
#endif
  if (v.type == AVS_TYPE_LONG) n.type = AVS_TYPE_INT;
  if (v.type == AVS_TYPE_DOUBLE) n.type = AVS_TYPE_FLOAT;
  return n;
}

}  // namespace

// ---- the exported C functions --------------------------------------------------------------

#define AVSPLUS_EXPORT extern "C" AVSPLUS_HOST_API

AVSPLUS_EXPORT int AVSPLUS_CC avs_add_function(AVS_ScriptEnvironment* env, const char* name,
                                               const char* params, AvsPlusApplyFunc apply,
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

AVSPLUS_EXPORT AVS_Clip* AVSPLUS_CC avs_new_c_filter(AVS_ScriptEnvironment* env,
                                                     AVS_FilterInfo** fi, AVS_Value child,
                                                     int store_child) {
  AvsHostState* s = state_of(env);
  Clip* c = new Clip;
  c->state = s;
  c->is_filter = true;
  std::memset(&c->fi, 0, sizeof c->fi);
  c->fi.env = &s->env;
  if (child.type == AVS_TYPE_CLIP) {
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

AVSPLUS_EXPORT void AVSPLUS_CC avs_set_to_clip(AVS_Value* v, AVS_Clip* c) {
  c->clip->refs.fetch_add(1);
  v->type = AVS_TYPE_CLIP;
  v->array_size = 0;
  v->d.clip = c->clip;
}

AVSPLUS_EXPORT void AVSPLUS_CC avs_release_clip(AVS_Clip* c) {
  if (!c) return;
  clip_release(c->clip);
  delete c;
}

AVSPLUS_EXPORT AVS_VideoFrame* AVSPLUS_CC avs_get_frame(AVS_Clip* c, int n) {
  std::string error;
  AVS_VideoFrame* f = clip_frame(c->clip, n, error);
  if (!f) {
    HostLockGuard guard(c->lock);
    c->error = error;
  }
  return f;
}

AVSPLUS_EXPORT const char* AVSPLUS_CC avs_clip_get_error(AVS_Clip* c) {
  HostLockGuard guard(c->lock);
  return c->error.empty() ? nullptr : c->error.c_str();
}

AVSPLUS_EXPORT AVS_VideoFrame* AVSPLUS_CC avs_new_video_frame_p(AVS_ScriptEnvironment* env,
                                                                const AVS_VideoInfo* vi,
                                                                const AVS_VideoFrame* prop_src) {
  AvsHostState* s = state_of(env);
  // AviSynth+ 3.7.0-3.7.2 read the source as a handle of their own and crash;
  // this stand-in records it and goes on.
  if (s->interface_version < 10) {
    s->violation("avs_new_video_frame_p with a property source, which crashes interfaces 8 and 9");
  }
  AVS_VideoFrame* f = make_frame(s, *vi);
  if (prop_src) {
    f->props = prop_src->props;
  } else {
    s->violation("avs_new_video_frame_p without a frame to take properties from");
  }
  return f;
}

AVSPLUS_EXPORT AVS_VideoFrame* AVSPLUS_CC avs_new_video_frame_a(AVS_ScriptEnvironment* env,
                                                                const AVS_VideoInfo* vi,
                                                                int /*align*/) {
  return make_frame(state_of(env), *vi);
}

AVSPLUS_EXPORT void AVSPLUS_CC avs_copy_frame_props(AVS_ScriptEnvironment* env,
                                                    const AVS_VideoFrame* src,
                                                    AVS_VideoFrame* dst) {
  AvsHostState* s = state_of(env);
  if (!src || !dst) {
    s->violation("avs_copy_frame_props without a frame");
    return;
  }
  // 3.7.0 reads its frames as handles of its own, as in avs_new_video_frame_p.
  if (s->interface_version < 9) {
    s->violation("avs_copy_frame_props, which crashes interface 8");
  }
  dst->props = src->props;
}

AVSPLUS_EXPORT AVS_VideoFrame* AVSPLUS_CC avs_copy_video_frame(AVS_VideoFrame* f) {
  f->refs.fetch_add(1);
  return f;
}

AVSPLUS_EXPORT int AVSPLUS_CC avs_make_writable(AVS_ScriptEnvironment* env, AVS_VideoFrame** pvf) {
  AvsHostState* s = state_of(env);
  AVS_VideoFrame* f = *pvf;
  if (f->refs.load() == 1) return 0;
  AVS_VideoInfo vi = {};
  AVS_VideoFrame* copy = nullptr;
  // The frame's own format, with its first plane's size.
  vi.pixel_type = f->pixel_type;
  vi.height = f->view[0].height;
  const Layout l = layout_of(vi);
  vi.width = f->view[0].row_size / l.bytes;
  copy = make_frame(s, vi);
  for (int p = 0; p < f->planes; ++p) {
    for (int y = 0; y < f->view[p].height; ++y) {
      std::memcpy(copy->view[p].data + y * copy->view[p].pitch,
                  f->view[p].data + y * f->view[p].pitch, static_cast<size_t>(f->view[p].row_size));
    }
  }
  copy->props = f->props;
  frame_release(f);
  *pvf = copy;
  return 1;
}

AVSPLUS_EXPORT void AVSPLUS_CC avs_release_video_frame(AVS_VideoFrame* f) {
  frame_release(f);
}

AVSPLUS_EXPORT int AVSPLUS_CC avs_get_pitch_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  return v ? v->pitch : 0;
}

AVSPLUS_EXPORT int AVSPLUS_CC avs_get_row_size_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  return v ? v->row_size : 0;
}

AVSPLUS_EXPORT int AVSPLUS_CC avs_get_height_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  return v ? v->height : 0;
}

AVSPLUS_EXPORT const uint8_t* AVSPLUS_CC avs_get_read_ptr_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  return v ? v->data : nullptr;
}

AVSPLUS_EXPORT uint8_t* AVSPLUS_CC avs_get_write_ptr_p(const AVS_VideoFrame* f, int plane) {
  const AvsPlaneView* v = find_plane(f, plane);
  if (f->refs.load() != 1) {
    f->state->violation("a write pointer asked of a frame that is not writable");
    if (v == &f->view[0]) return nullptr;
  }
  return v ? v->data : nullptr;
}

AVSPLUS_EXPORT char* AVSPLUS_CC avs_save_string(AVS_ScriptEnvironment* env, const char* text,
                                                int length) {
  AvsHostState* s = state_of(env);
  HostLockGuard guard(s->lock);
  s->saved.push_back(length < 0 ? std::string(text)
                                : std::string(text, static_cast<size_t>(length)));
  return &s->saved.back()[0];
}

AVSPLUS_EXPORT size_t AVSPLUS_CC avs_get_env_property(AVS_ScriptEnvironment* env, int prop) {
  AvsHostState* s = state_of(env);
  switch (prop) {
    case AVS_AEP_LOGICAL_CPUS:
      return static_cast<size_t>(s->logical_cpus);
    case AVS_AEP_INTERFACE_VERSION:
      return static_cast<size_t>(s->interface_version);
    case AVS_AEP_INTERFACE_BUGFIX:
      return 0;
    default:
      return 0;
  }
}

AVSPLUS_EXPORT int AVSPLUS_CC avs_get_version(AVS_Clip* c) {
  return c->clip->state->interface_version;
}

AVSPLUS_EXPORT int AVSPLUS_CC avs_check_version(AVS_ScriptEnvironment* env, int version) {
  return version <= state_of(env)->interface_version ? 0 : -1;
}

// ---- AvsPlusHost ------------------------------------------------------------------------------

AvsPlusHost::AvsPlusHost(int logical_cpus) : state_(new AvsHostState) {
  state_->logical_cpus = logical_cpus;
}

AvsPlusHost::~AvsPlusHost() {
  close_plugin_module(state_->module);
  delete state_;
}

int AvsPlusHost::interface_version() {
  return ZOLTA_AVSPLUS_INTERFACE;
}

namespace {

// The names one entry is looked up under, in the host's order.
std::vector<std::string> names_of(const char* entry, int stack_bytes) {
  const std::string plain = entry;
  const std::string msvc = "_" + plain + "@" + std::to_string(stack_bytes);
#if defined(_WIN32) && !defined(_WIN64)
  const bool c_entry = plain.rfind("avisynth_c_", 0) == 0;
  if (c_entry) return {msvc, plain + "@" + std::to_string(stack_bytes), plain};
  return {plain, msvc};
#elif defined(_WIN32)
  return {plain, msvc};
#else
  (void)msvc;
  return {plain};
#endif
}

enum class EntryKind { kCpp, kC };

struct Entry {
  std::string name;
  EntryKind kind;
};

std::vector<Entry> entries() {
  std::vector<Entry> all;
  auto add = [&](const char* entry, int stack_bytes, EntryKind kind) {
    for (const std::string& name : names_of(entry, stack_bytes)) all.push_back({name, kind});
  };
  add("AvisynthPluginInit3", 8, EntryKind::kCpp);
  // From interface 11 (AviSynth+ 3.7.4) on, the entry that takes 64-bit
  // values comes first; earlier releases know only the older one.
  if (ZOLTA_AVSPLUS_INTERFACE >= 11) add("avisynth_c_plugin_init2", 4, EntryKind::kC);
  add("avisynth_c_plugin_init", 4, EntryKind::kC);
  add("AvisynthPluginInit2", 4, EntryKind::kCpp);
  return all;
}

}  // namespace

std::vector<std::string> AvsPlusHost::entry_names() {
  std::vector<std::string> names;
  for (const Entry& e : entries()) names.push_back(e.name);
  return names;
}

void AvsPlusHost::report_interface(int version) {
  state_->interface_version = version;
}

bool AvsPlusHost::load_plugin(const std::string& path, std::string& text_or_error) {
  if (!open_plugin_module(path, state_->module, text_or_error)) return false;
  // The first name found decides.
  for (const Entry& e : entries()) {
    const char* name = e.name.c_str();
    void (*found)() = find_plugin_export(state_->module, &name, 1, nullptr);
    if (!found) continue;
    if (e.kind == EntryKind::kCpp) {
      text_or_error = path + " has the C++ entry " + e.name + ", which this stand-in does not play";
      close_plugin_module(state_->module);
      return false;
    }
    state_->entry_called = e.name;
    AVS_ScriptEnvironment temporary{state_, true, true};
    const char* text = reinterpret_cast<AvsPlusPluginEntry>(found)(&temporary);
    temporary.valid = false;
    text_or_error = text ? text : "";
    return true;
  }
  text_or_error = path + " cannot be used as a plugin";
  close_plugin_module(state_->module);
  return false;
}

std::string AvsPlusHost::entry_called() const {
  return state_->entry_called;
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
    v.type = AVS_TYPE_VOID;
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
      args[i].type = AVS_TYPE_CLIP;
      args[i].d.clip = clip->clip;
      clip_used = true;
      continue;
    }
    for (const AvsNamedArg& a : named) {
      if (!same_name(a.name, p.name)) continue;
      bool ok = true;
      if (p.array) {
        if (a.value.type == AVS_TYPE_ARRAY) {
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
      if (p.array && a.value.type != AVS_TYPE_ARRAY && ZOLTA_AVSPLUS_INTERFACE > 8) {
        // One value given for an array parameter: an array of one (3.7.0
        // passes the plain value).
        args[i].type = AVS_TYPE_ARRAY;
        args[i].array_size = 1;
        args[i].d.array = &a.value;
      } else {
        args[i] = a.value;
      }
    }
    // 3.7.0 passes an optional array left out as a defined array of size 0.
    if (ZOLTA_AVSPLUS_INTERFACE == 8 && p.array && args[i].type == AVS_TYPE_VOID) {
      args[i].type = AVS_TYPE_ARRAY;
      args[i].array_size = 0;
      args[i].d.array = nullptr;
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
  // A plugin entered through the older C entry never sees 64-bit values: the
  // host hands them over as int and float.
  std::vector<std::vector<AVS_Value>> narrowed;
  narrowed.reserve(args.size());
  if (state_->entry_called.find("init2") == std::string::npos) {
    for (AVS_Value& v : args) {
      if (v.type == AVS_TYPE_ARRAY) {
        narrowed.emplace_back(v.d.array, v.d.array + v.array_size);
        for (AVS_Value& e : narrowed.back()) e = narrow_value(e);
        v.d.array = narrowed.back().data();
      } else {
        v = narrow_value(v);
      }
    }
  }
  AVS_Value array;
  array.type = AVS_TYPE_ARRAY;
  array.array_size = static_cast<short>(args.size());
  array.d.array = args.data();
  const AVS_Value result = f->apply(&state_->env, array, f->user_data);
  if (result.type == AVS_TYPE_ERROR) {
    error = result.d.string ? result.d.string : "(null message)";
    return nullptr;
  }
  if (result.type != AVS_TYPE_CLIP) {
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
