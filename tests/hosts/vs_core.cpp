// SPDX-License-Identifier: BSD-2-Clause
#include "vs_core.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace standin_vs {

// ---- the opaque types, as this core defines them -----------------------------

namespace {

// getFrame callbacks running on this thread (a synchronous getFrame is
// refused inside them).
thread_local int t_in_callback = 0;

}  // namespace

namespace {

struct Value {
  int type = ptUnset;
  std::vector<int64_t> ints;
  std::vector<double> floats;
  std::vector<std::string> data;
  std::vector<VSNode*> nodes;
};

}  // namespace

struct VSMap {
  VsCore* core = nullptr;
  std::vector<std::pair<std::string, Value>> entries;
  std::string error;
  bool has_error = false;

  Value* find(const char* key) {
    for (auto& e : entries)
      if (e.first == key) return &e.second;
    return nullptr;
  }
  const Value* find(const char* key) const { return const_cast<VSMap*>(this)->find(key); }
  Value& slot(const char* key) {
    if (Value* v = find(key)) return *v;
    entries.emplace_back(key, Value());
    return entries.back().second;
  }
};

struct VSFrame {
  VsCore* core = nullptr;
  VSVideoFormat format = {};
  int width = 0;
  int height = 0;
  uint8_t* memory[3] = {};
  uint8_t* data[3] = {};
  ptrdiff_t stride[3] = {};
  int plane_width[3] = {};
  int plane_height[3] = {};
  std::map<std::string, int64_t> props;
  mutable std::atomic<int> refs{1};
  bool writable = false;  // made by newVideoFrame for the caller
};

struct VSNode {
  VsCore* core = nullptr;
  VSVideoInfo vi = {};
  std::atomic<int> refs{1};
  // A source.
  bool is_source = false;
  std::function<void(int, VSFrame*)> fill;
  // A filter.
  std::string name;
  VSFilterGetFrame get_frame = nullptr;
  VSFilterFree free = nullptr;
  int mode = -1;
  std::vector<VSFilterDependency> deps;
  void* instance = nullptr;
  HostLock serial;  // for the modes that serialize calls
};

struct VSPlugin {
  VsCore* core;
};

struct VSFrameContext {
  VSNode* node = nullptr;
  int n = 0;
  std::vector<std::pair<VSNode*, int>> requested;
  std::vector<std::pair<std::pair<VSNode*, int>, const VSFrame*>> ready;
  std::string error;
  bool has_error = false;
};

namespace {

VsCore* g_loading = nullptr;  // the core whose plugin entry is running

bool valid_name(const std::string& s) {
  if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

struct ArgSpec {
  std::string name;
  std::string type;
  bool array = false;
  bool opt = false;
  bool empty = false;
};

// Parses an API 4 argument string; false when the core would refuse it.
bool parse_args(const std::string& text, std::vector<ArgSpec>& specs) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string piece = text.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    std::vector<std::string> fields;
    size_t f = 0;
    while (true) {
      const size_t colon = piece.find(':', f);
      fields.push_back(piece.substr(f, colon == std::string::npos ? std::string::npos : colon - f));
      if (colon == std::string::npos) break;
      f = colon + 1;
    }
    if (fields.size() < 2 || !valid_name(fields[0])) return false;
    ArgSpec spec;
    spec.name = fields[0];
    spec.type = fields[1];
    if (spec.type.size() > 2 && spec.type.compare(spec.type.size() - 2, 2, "[]") == 0) {
      spec.array = true;
      spec.type.resize(spec.type.size() - 2);
    }
    static const char* const kTypes[] = {"int",   "float",  "data",   "vnode",
                                         "anode", "vframe", "aframe", "func"};
    if (std::find_if(std::begin(kTypes), std::end(kTypes),
                     [&](const char* t) { return spec.type == t; }) == std::end(kTypes)) {
      return false;
    }
    for (size_t i = 2; i < fields.size(); ++i) {
      if (fields[i] == "opt" && !spec.opt) {
        spec.opt = true;
      } else if (fields[i] == "empty" && !spec.empty && spec.array) {
        spec.empty = true;
      } else {
        return false;
      }
    }
    specs.push_back(spec);
  }
  return true;
}

int type_of(const std::string& t) {
  if (t == "int") return ptInt;
  if (t == "float") return ptFloat;
  if (t == "data") return ptData;
  if (t == "vnode") return ptVideoNode;
  return -1;
}

VsCore* core_of(const VSMap* map) {
  return map->core;
}

int num_elements(const Value& v) {
  switch (v.type) {
    case ptInt:
      return static_cast<int>(v.ints.size());
    case ptFloat:
      return static_cast<int>(v.floats.size());
    case ptData:
      return static_cast<int>(v.data.size());
    case ptVideoNode:
      return static_cast<int>(v.nodes.size());
    default:
      return 0;
  }
}

void node_add_ref(VSNode* node) {
  node->refs.fetch_add(1);
}

void node_release(VSNode* node);

void frame_release(const VSFrame* frame) {
  if (!frame) return;
  VSFrame* f = const_cast<VSFrame*>(frame);
  const int left = f->refs.fetch_sub(1) - 1;
  if (left < 0) {
    f->core->violation("a frame was freed more often than it was referenced");
    return;
  }
  if (left > 0) return;
  for (uint8_t* m : f->memory) std::free(m);
  f->core->note_frame_gone();
  delete f;
}

void clear_value(Value& v) {
  for (VSNode* n : v.nodes) node_release(n);
  v = Value();
}

void clear_map(VSMap* map) {
  for (auto& e : map->entries) clear_value(e.second);
  map->entries.clear();
}

void node_release(VSNode* node) {
  if (!node) return;
  const int left = node->refs.fetch_sub(1) - 1;
  if (left < 0) {
    node->core->violation("a node was freed more often than it was referenced");
    return;
  }
  if (left > 0) return;
  VsCore* core = node->core;
  if (node->free) {
    node->free(node->instance, core->handle(), core->api());
    core->note_filter_freed();
  }
  for (const VSFilterDependency& d : node->deps) node_release(d.source);
  core->note_node_gone();
  delete node;
}

VSFrame* make_frame(VsCore* core, const VSVideoFormat& format, int width, int height) {
  VSFrame* f = new VSFrame;
  f->core = core;
  f->format = format;
  f->width = width;
  f->height = height;
  for (int p = 0; p < format.numPlanes; ++p) {
    const int w = p == 0 ? width : width >> format.subSamplingW;
    const int h = p == 0 ? height : height >> format.subSamplingH;
    const ptrdiff_t row = static_cast<ptrdiff_t>(w) * format.bytesPerSample;
    // Strides a little wider than the rows, 64-byte aligned, as the core's.
    const ptrdiff_t stride = (row + 63 + 64) / 64 * 64;
    const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(h) + 64;
    f->memory[p] = static_cast<uint8_t*>(std::malloc(size));
    // Fill with a pattern, so that rows a plugin leaves unwritten show.
    std::memset(f->memory[p], 0xA5, size);
    uintptr_t a = reinterpret_cast<uintptr_t>(f->memory[p]);
    f->data[p] = reinterpret_cast<uint8_t*>((a + 63) / 64 * 64);
    f->stride[p] = stride;
    f->plane_width[p] = w;
    f->plane_height[p] = h;
  }
  core->note_frame_made();
  return f;
}

// ---- the VSAPI functions ----------------------------------------------------------

// The core's handle is the VsCore itself.
VsCore* from_core(VSCore* core) {
  return reinterpret_cast<VsCore*>(core);
}

void STANDIN_VS_CC create_video_filter(VSMap* out, const char* name, const VSVideoInfo* vi,
                                       VSFilterGetFrame get_frame, VSFilterFree free, int mode,
                                       const VSFilterDependency* deps, int num_deps, void* instance,
                                       VSCore* core) {
  VsCore* c = from_core(core);
  const VSVideoFormat& f = vi->format;
  const bool both_zero = vi->width == 0 && vi->height == 0;
  const bool both_set = vi->width > 0 && vi->height > 0;
  if (vi->numFrames < 1 || !(both_zero || both_set) ||
      (f.colorFamily != cfUndefined && (f.numPlanes < 1 || f.bitsPerSample < 8))) {
    out->has_error = true;
    out->error = "invalid video info";
    return;
  }
  if (mode < fmParallel || mode > fmFrameState) c->violation("unknown filter mode");
  VSNode* node = new VSNode;
  node->core = c;
  node->vi = *vi;
  node->name = name ? name : "";
  node->get_frame = get_frame;
  node->free = free;
  node->mode = mode;
  node->instance = instance;
  for (int i = 0; i < num_deps; ++i) {
    node->deps.push_back(deps[i]);
    node_add_ref(deps[i].source);
  }
  c->note_node_made();
  Value& v = out->slot("clip");
  if (v.type != ptUnset && v.type != ptVideoNode) clear_value(v);
  v.type = ptVideoNode;
  v.nodes.push_back(node);
}

void STANDIN_VS_CC free_node(VSNode* node) {
  node_release(node);
}

const VSVideoInfo* STANDIN_VS_CC get_video_info(VSNode* node) {
  return &node->vi;
}

VSFrame* STANDIN_VS_CC new_video_frame(const VSVideoFormat* format, int width, int height,
                                       const VSFrame* prop_src, VSCore* core) {
  VsCore* c = from_core(core);
  if (width <= 0 || height <= 0) {
    c->violation("newVideoFrame with a size that is not positive");
    return nullptr;
  }
  VSFrame* f = make_frame(c, *format, width, height);
  f->writable = true;
  if (prop_src) f->props = prop_src->props;
  return f;
}

void STANDIN_VS_CC free_frame(const VSFrame* frame) {
  frame_release(frame);
}

ptrdiff_t STANDIN_VS_CC get_stride(const VSFrame* f, int plane) {
  return plane >= 0 && plane < f->format.numPlanes ? f->stride[plane] : 0;
}

const uint8_t* STANDIN_VS_CC get_read_ptr(const VSFrame* f, int plane) {
  return plane >= 0 && plane < f->format.numPlanes ? f->data[plane] : nullptr;
}

uint8_t* STANDIN_VS_CC get_write_ptr(VSFrame* f, int plane) {
  if (!f->writable) f->core->violation("getWritePtr on a frame the filter does not own");
  return plane >= 0 && plane < f->format.numPlanes ? f->data[plane] : nullptr;
}

int STANDIN_VS_CC get_video_format_name(const VSVideoFormat* f, char* buffer) {
  const char* family = f->colorFamily == cfGray  ? "Gray"
                       : f->colorFamily == cfRGB ? "RGB"
                       : f->colorFamily == cfYUV ? "YUV"
                                                 : nullptr;
  if (!family) return 0;
  char depth[8];
  if (f->sampleType == stFloat) {
    std::snprintf(depth, sizeof depth, "%s", f->bitsPerSample == 16 ? "H" : "S");
  } else {
    std::snprintf(depth, sizeof depth, "%d", f->bitsPerSample);
  }
  if (f->colorFamily == cfYUV) {
    const int w = f->subSamplingW, h = f->subSamplingH;
    const char* sub = w == 0 && h == 0   ? "444"
                      : w == 1 && h == 0 ? "422"
                      : w == 1 && h == 1 ? "420"
                      : w == 2 && h == 0 ? "411"
                      : w == 2 && h == 2 ? "410"
                      : w == 0 && h == 1 ? "440"
                                         : "Unknown";
    std::snprintf(buffer, 32, "YUV%sP%s", sub, depth);
  } else if (f->colorFamily == cfRGB && f->sampleType == stInteger) {
    std::snprintf(buffer, 32, "RGB%d", f->bitsPerSample * 3);
  } else {
    std::snprintf(buffer, 32, "%s%s", family, depth);
  }
  return 1;
}

const VSFrame* STANDIN_VS_CC get_frame_filter(int n, VSNode* node, VSFrameContext* ctx) {
  n = std::min(std::max(n, 0), node->vi.numFrames - 1);
  for (auto& r : ctx->ready) {
    if (r.first.first == node && r.first.second == n) {
      r.second->refs.fetch_add(1);
      return r.second;
    }
  }
  node->core->violation("getFrameFilter for a frame that was not requested");
  return nullptr;
}

// The synchronous request: a create function may use it, a getFrame callback
// may not (the real core deadlocks there).
const VSFrame* STANDIN_VS_CC get_frame_sync(int n, VSNode* node, char* message, int size) {
  if (t_in_callback > 0) node->core->violation("getFrame called inside a getFrame callback");
  std::string error;
  const VSFrame* f = node->core->produce(node, std::min(std::max(n, 0), node->vi.numFrames - 1),
                                         error);
  if (!f && message && size > 0) std::snprintf(message, static_cast<size_t>(size), "%s", error.c_str());
  return f;
}

void STANDIN_VS_CC request_frame_filter(int n, VSNode* node, VSFrameContext* ctx) {
  ctx->requested.emplace_back(node, std::min(std::max(n, 0), node->vi.numFrames - 1));
}

void STANDIN_VS_CC set_filter_error(const char* message, VSFrameContext* ctx) {
  if (ctx->has_error) return;
  ctx->has_error = true;
  ctx->error = message ? message : "";
}

void STANDIN_VS_CC map_set_error(VSMap* map, const char* message) {
  clear_map(map);
  map->has_error = true;
  map->error = message ? message : "";
}

const char* STANDIN_VS_CC map_get_error(const VSMap* map) {
  return map->has_error ? map->error.c_str() : nullptr;
}

int STANDIN_VS_CC map_num_elements(const VSMap* map, const char* key) {
  const Value* v = map->find(key);
  return v ? num_elements(*v) : -1;
}

// Looks an element up as the core does; a null error pointer makes any
// failure fatal there, which is recorded here.
const Value* element(const VSMap* map, const char* key, int index, int type, int* error) {
  int code = 0;
  const Value* v = map->find(key);
  if (map->has_error) {
    code = 3;
  } else if (!v) {
    code = 1;
  } else if (v->type != type) {
    code = 2;
  } else if (index < 0 || index >= num_elements(*v)) {
    code = 4;
  }
  if (error) *error = code;
  if (code != 0) {
    if (!error)
      core_of(map)->violation(std::string("failed map read of \"") + key +
                              "\" without an error pointer");
    return nullptr;
  }
  return v;
}

int64_t STANDIN_VS_CC map_get_int(const VSMap* map, const char* key, int index, int* error) {
  const Value* v = element(map, key, index, ptInt, error);
  return v ? v->ints[static_cast<size_t>(index)] : 0;
}

double STANDIN_VS_CC map_get_float(const VSMap* map, const char* key, int index, int* error) {
  const Value* v = element(map, key, index, ptFloat, error);
  return v ? v->floats[static_cast<size_t>(index)] : 0;
}

const char* STANDIN_VS_CC map_get_data(const VSMap* map, const char* key, int index, int* error) {
  const Value* v = element(map, key, index, ptData, error);
  return v ? v->data[static_cast<size_t>(index)].c_str() : nullptr;
}

int STANDIN_VS_CC map_get_data_size(const VSMap* map, const char* key, int index, int* error) {
  const Value* v = element(map, key, index, ptData, error);
  return v ? static_cast<int>(v->data[static_cast<size_t>(index)].size()) : 0;
}

VSNode* STANDIN_VS_CC map_get_node(const VSMap* map, const char* key, int index, int* error) {
  const Value* v = element(map, key, index, ptVideoNode, error);
  if (!v) return nullptr;
  VSNode* node = v->nodes[static_cast<size_t>(index)];
  node_add_ref(node);
  return node;
}

void STANDIN_VS_CC get_core_info(VSCore* core, VSCoreInfo* info) {
  VsCore* c = from_core(core);
  std::memset(info, 0, sizeof *info);
  info->versionString = "zolta stand-in core";
  info->core = 77;
  info->api = kApi42;
  info->numThreads = c->threads();
  info->maxFramebufferSize = int64_t{1} << 30;
}

VSAPI make_api() {
  VSAPI api;
  std::memset(&api, 0, sizeof api);
  api.createVideoFilter = create_video_filter;
  api.freeNode = free_node;
  api.getVideoInfo = get_video_info;
  api.newVideoFrame = new_video_frame;
  api.freeFrame = free_frame;
  api.getStride = get_stride;
  api.getReadPtr = get_read_ptr;
  api.getWritePtr = get_write_ptr;
  api.getVideoFormatName = get_video_format_name;
  api.getFrameFilter = get_frame_filter;
  api.getFrame = get_frame_sync;
  api.requestFrameFilter = request_frame_filter;
  api.setFilterError = set_filter_error;
  api.mapSetError = map_set_error;
  api.mapGetError = map_get_error;
  api.mapNumElements = map_num_elements;
  api.mapGetInt = map_get_int;
  api.mapGetFloat = map_get_float;
  api.mapGetData = map_get_data;
  api.mapGetDataSize = map_get_data_size;
  api.mapGetNode = map_get_node;
  api.getCoreInfo = get_core_info;
  return api;
}

const VSAPI g_api = make_api();

// ---- VSPLUGINAPI --------------------------------------------------------------------

int STANDIN_VS_CC plugin_get_api_version() {
  return kApi42;
}

int STANDIN_VS_CC plugin_config(const char* identifier, const char* name_space, const char* name,
                                int /*plugin_version*/, int api_version, int flags,
                                VSPlugin* plugin) {
  VsCore* c = plugin->core;
  VsPluginRecord& r = const_cast<VsPluginRecord&>(c->plugin());
  if (++r.config_calls > 1) c->violation("configPlugin called more than once");
  if (flags != 0 && flags != 1) c->violation("configPlugin with unknown flags");
  if ((api_version >> 16) != 4 || (api_version & 0xFFFF) > 2) {
    c->violation("configPlugin asks for an API version this core does not have");
    return 0;
  }
  r.identifier = identifier ? identifier : "";
  r.name_space = name_space ? name_space : "";
  r.name = name ? name : "";
  r.api_version = api_version;
  return 1;
}

int STANDIN_VS_CC plugin_register(const char* name, const char* args, const char* return_type,
                                  VSPublicFunction func, void* data, VSPlugin* plugin) {
  VsCore* c = plugin->core;
  VsPluginRecord& r = const_cast<VsPluginRecord&>(c->plugin());
  std::vector<ArgSpec> specs;
  if (r.config_calls == 0) c->violation("registerFunction before configPlugin");
  if (g_loading != c) c->violation("registerFunction after the entry returned");
  if (!name || !valid_name(name) || !args || !parse_args(args, specs) || !return_type || !func) {
    c->violation(std::string("registerFunction refused: ") + (name ? name : "(null)"));
    return 0;
  }
  for (const VsRegisteredFunction& f : r.functions) {
    if (f.name == name) {
      c->violation("registerFunction twice for one name");
      return 0;
    }
  }
  r.functions.push_back(VsRegisteredFunction{name, args, return_type, func, data});
  return 1;
}

const VSPLUGINAPI g_plugin_api = {plugin_get_api_version, plugin_config, plugin_register};

}  // namespace

// ---- VsCore ------------------------------------------------------------------------

VsCore::VsCore(int threads) : threads_(threads) {}

VsCore::~VsCore() {
  close_plugin_module(module_);
}

const VSAPI* VsCore::api() const {
  return &g_api;
}

VSCore* VsCore::handle() {
  return reinterpret_cast<VSCore*>(this);
}

bool VsCore::load_plugin(const std::string& path, std::string& error) {
  if (!open_plugin_module(path, module_, error)) return false;
  // The names the core looks up, in its order.
  static const char* const kNames[] = {"VapourSynthPluginInit2", "_VapourSynthPluginInit2@8"};
  const int names = sizeof(void*) == 4 ? 2 : 1;
  VSInitPlugin init =
      reinterpret_cast<VSInitPlugin>(find_plugin_export(module_, kNames, names, nullptr));
  if (!init) {
    error = "No entry point found in " + path;
    close_plugin_module(module_);
    return false;
  }
  VSPlugin plugin{this};
  g_loading = this;
  init(&plugin, &g_plugin_api);
  g_loading = nullptr;
  if (plugin_.config_calls != 1) {
    error = "the entry did not call configPlugin exactly once";
    return false;
  }
  return true;
}

VSNode* VsCore::source(uint32_t format, int width, int height, int frames,
                       std::function<void(int, VSFrame*)> fill) {
  VSNode* node = new VSNode;
  node->core = this;
  node->vi.format = vs_format_from_id(format);
  node->vi.fpsNum = 25;
  node->vi.fpsDen = 1;
  node->vi.width = width;
  node->vi.height = height;
  node->vi.numFrames = frames;
  node->is_source = true;
  node->fill = std::move(fill);
  note_node_made();
  return node;
}

VSMap* VsCore::invoke(const std::string& name, const VSMap* in) {
  VSMap* out = create_map();
  const VsRegisteredFunction* f = nullptr;
  for (const VsRegisteredFunction& r : plugin_.functions)
    if (r.name == name) f = &r;
  if (!f) {
    map_set_error(out, ("no function named " + name).c_str());
    return out;
  }
  std::vector<ArgSpec> specs;
  parse_args(f->args, specs);
  for (const auto& e : in->entries) {
    auto spec = std::find_if(specs.begin(), specs.end(),
                             [&](const ArgSpec& s) { return s.name == e.first; });
    if (spec == specs.end()) {
      map_set_error(out, (name + ": argument " + e.first + " does not exist").c_str());
      return out;
    }
  }
  for (const ArgSpec& s : specs) {
    const Value* v = in->find(s.name.c_str());
    if (!v) {
      if (!s.opt) {
        map_set_error(out, (name + ": argument " + s.name + " is required").c_str());
        return out;
      }
      continue;
    }
    const int n = num_elements(*v);
    if (v->type != type_of(s.type) || (!s.array && n != 1) || (n == 0 && !s.empty)) {
      map_set_error(out, (name + ": argument " + s.name + " has the wrong type or size").c_str());
      return out;
    }
  }
  f->func(in, out, f->data, handle(), api());
  return out;
}

const VSFrame* VsCore::produce(VSNode* node, int n, std::string& error) {
  if (node->is_source) {
    if (node->vi.format.colorFamily == cfUndefined || node->vi.width == 0) {
      error = "a variable source cannot make frames here";
      return nullptr;
    }
    VSFrame* f = make_frame(this, node->vi.format, node->vi.width, node->vi.height);
    f->writable = true;
    if (node->fill) node->fill(n, f);
    f->writable = false;
    f->props["SourceFrame"] = n;
    f->props["_DurationNum"] = 1;
    f->props["_DurationDen"] = 25;
    return f;
  }
  // Modes other than parallel serialize the calls of one instance.
  const bool serial = node->mode != fmParallel;
  if (serial) node->serial.lock();
  VSFrameContext ctx;
  ctx.node = node;
  ctx.n = n;
  void* frame_data[4] = {};
  note_call_enter();
  const VSFrame* r =
      node->get_frame(n, arInitial, node->instance, frame_data, &ctx, handle(), api());
  note_call_leave();
  const VSFrame* result = nullptr;
  if (r) {
    if (!ctx.requested.empty()) violation("a frame returned while requests were open");
    if (ctx.has_error) violation("a frame returned together with an error");
    result = r;
  } else if (ctx.has_error) {
    error = ctx.error;
  } else if (ctx.requested.empty()) {
    violation("arInitial returned nothing, requested nothing and set no error");
    error = "protocol violation";
  } else {
    std::string input_error;
    for (const auto& q : ctx.requested) {
      auto dep = std::find_if(node->deps.begin(), node->deps.end(),
                              [&](const VSFilterDependency& d) { return d.source == q.first; });
      if (dep == node->deps.end()) {
        violation("a frame requested from a node that is no declared dependency");
      } else if (dep->requestPattern == rpStrictSpatial && q.second != n) {
        violation("rpStrictSpatial declared but frame " + std::to_string(q.second) +
                  " requested for frame " + std::to_string(n));
      }
      std::string e;
      const VSFrame* f = produce(q.first, q.second, e);
      if (!f && input_error.empty()) input_error = e;
      if (f) ctx.ready.emplace_back(q, f);
    }
    ctx.requested.clear();
    const int reason = input_error.empty() ? arAllFramesReady : arError;
    if (!input_error.empty()) {
      ctx.has_error = true;
      ctx.error = input_error;
    }
    note_call_enter();
    r = node->get_frame(n, reason, node->instance, frame_data, &ctx, handle(), api());
    note_call_leave();
    if (reason == arError) {
      if (r) violation("a frame returned after arError");
      frame_release(r);
      error = input_error;
    } else if (r && ctx.has_error) {
      violation("a frame returned together with an error");
      frame_release(r);
      error = ctx.error;
    } else if (!r && !ctx.has_error) {
      violation("arAllFramesReady returned nothing and set no error");
      error = "protocol violation";
    } else if (!r) {
      error = ctx.error;
    } else {
      result = r;
    }
    for (auto& q : ctx.ready) frame_release(q.second);
  }
  if (result) {
    const VSVideoInfo& vi = node->vi;
    const VSVideoFormat& f = result->format;
    const bool same_format =
        f.colorFamily == vi.format.colorFamily && f.sampleType == vi.format.sampleType &&
        f.bitsPerSample == vi.format.bitsPerSample && f.subSamplingW == vi.format.subSamplingW &&
        f.subSamplingH == vi.format.subSamplingH;
    if ((vi.format.colorFamily != cfUndefined && !same_format) ||
        (vi.width != 0 && (result->width != vi.width || result->height != vi.height))) {
      violation("a frame whose format or size differs from the node's");
    }
    const_cast<VSFrame*>(result)->writable = false;
  }
  if (serial) node->serial.unlock();
  return result;
}

std::vector<VsFrameResult> VsCore::get_frames(VSNode* node, const std::vector<int>& frames,
                                              int workers) {
  std::vector<VsFrameResult> results(frames.size());
  std::atomic<size_t> next{0};
  run_in_parallel(workers, [&](int) {
    for (size_t i = next.fetch_add(1); i < frames.size(); i = next.fetch_add(1)) {
      results[i].frame = produce(node, frames[i], results[i].error);
    }
  });
  return results;
}

VSMap* VsCore::create_map() {
  VSMap* m = new VSMap;
  m->core = this;
  return m;
}

void VsCore::free_map(VSMap* map) {
  if (!map) return;
  clear_map(map);
  delete map;
}

void VsCore::set_int(VSMap* map, const char* key, int64_t value, bool append) {
  Value& v = map->slot(key);
  if (!append || v.type != ptInt) clear_value(v);
  v.type = ptInt;
  v.ints.push_back(value);
}

void VsCore::set_float(VSMap* map, const char* key, double value) {
  Value& v = map->slot(key);
  clear_value(v);
  v.type = ptFloat;
  v.floats.push_back(value);
}

void VsCore::set_data(VSMap* map, const char* key, const std::string& value) {
  Value& v = map->slot(key);
  clear_value(v);
  v.type = ptData;
  v.data.push_back(value);
}

void VsCore::set_node(VSMap* map, const char* key, VSNode* node) {
  Value& v = map->slot(key);
  clear_value(v);
  v.type = ptVideoNode;
  node_add_ref(node);
  v.nodes.push_back(node);
}

const char* VsCore::map_error(const VSMap* map) const {
  return map_get_error(map);
}

VSNode* VsCore::map_node(const VSMap* map, const char* key) const {
  int err = 0;
  return map_get_node(map, key, 0, &err);
}

void VsCore::free_node(VSNode* node) {
  node_release(node);
}
void VsCore::free_frame(const VSFrame* frame) {
  frame_release(frame);
}

const VSVideoInfo& VsCore::video_info(VSNode* node) const {
  return node->vi;
}
int VsCore::node_filter_mode(VSNode* node) const {
  return node->is_source ? -1 : node->mode;
}
std::vector<VSFilterDependency> VsCore::node_dependencies(VSNode* node) const {
  return node->deps;
}
const uint8_t* VsCore::read_ptr(const VSFrame* f, int plane) const {
  return get_read_ptr(f, plane);
}
ptrdiff_t VsCore::stride(const VSFrame* f, int plane) const {
  return get_stride(f, plane);
}
int VsCore::frame_width(const VSFrame* f, int plane) const {
  return f->plane_width[plane];
}
int VsCore::frame_height(const VSFrame* f, int plane) const {
  return f->plane_height[plane];
}
const VSVideoFormat& VsCore::frame_format(const VSFrame* f) const {
  return f->format;
}
int64_t VsCore::frame_int_property(const VSFrame* f, const char* key, int64_t missing) const {
  auto it = f->props.find(key);
  return it == f->props.end() ? missing : it->second;
}
uint8_t* VsCore::write_ptr(VSFrame* f, int plane) {
  return f->data[plane];
}

std::vector<std::string> VsCore::violations() const {
  HostLockGuard guard(lock_);
  return violations_;
}

void VsCore::violation(const std::string& what) {
  HostLockGuard guard(lock_);
  violations_.push_back(what);
}

void VsCore::note_call_enter() {
  ++t_in_callback;
  const int now = running_.fetch_add(1) + 1;
  int seen = most_concurrent_.load();
  while (now > seen && !most_concurrent_.compare_exchange_weak(seen, now)) {
  }
}

void VsCore::note_call_leave() {
  --t_in_callback;
  running_.fetch_sub(1);
}

uint32_t vs_format_id(int family, int sample_type, int bits, int sub_w, int sub_h) {
  return (static_cast<uint32_t>(family) << 28) | (static_cast<uint32_t>(sample_type) << 24) |
         (static_cast<uint32_t>(bits) << 16) | (static_cast<uint32_t>(sub_w) << 8) |
         static_cast<uint32_t>(sub_h);
}

VSVideoFormat vs_format_from_id(uint32_t id) {
  VSVideoFormat f = {};
  if (id == 0) return f;
  f.colorFamily = static_cast<int>(id >> 28);
  f.sampleType = static_cast<int>((id >> 24) & 0xF);
  f.bitsPerSample = static_cast<int>((id >> 16) & 0xFF);
  f.subSamplingW = static_cast<int>((id >> 8) & 0xFF);
  f.subSamplingH = static_cast<int>(id & 0xFF);
  f.bytesPerSample = f.bitsPerSample <= 8 ? 1 : f.bitsPerSample <= 16 ? 2 : 4;
  f.numPlanes = f.colorFamily == cfGray ? 1 : 3;
  return f;
}

}  // namespace standin_vs
