/* SPDX-License-Identifier: BSD-2-Clause */
// A stand-in for VapourSynth's core (API 4): it loads a plugin through its
// entry, hands it our VSPLUGINAPI and VSAPI tables, calls registered
// functions with argument maps, and requests frames of the nodes they make
// from several threads at once, as the real core does (arInitial, then
// arAllFramesReady once the requested input frames are there). Everything it
// sees that breaks the protocol (undeclared dependencies, a frame returned
// with an error or with requests still open, a frame of the wrong format,
// writes into input frames, double frees, leaks) is recorded as a violation.
// It knows the API only from its own declarations (vs_declarations.h), all in
// standin_vs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "parallel.h"
#include "plugin_module.h"
#include "vs_declarations.h"

namespace standin_vs {

// What a loaded plugin told the core.
struct VsRegisteredFunction {
  std::string name;
  std::string args;
  std::string return_type;
  VSPublicFunction func = nullptr;
  void* data = nullptr;
};

struct VsPluginRecord {
  std::string identifier;
  std::string name_space;
  std::string name;
  int api_version = 0;
  int config_calls = 0;
  std::vector<VsRegisteredFunction> functions;
};

// One frame as the caller got it: a reference (null on error) and the error.
struct VsFrameResult {
  const VSFrame* frame = nullptr;
  std::string error;
};

class VsCore {
 public:
  explicit VsCore(int threads);
  ~VsCore();
  VsCore(const VsCore&) = delete;
  VsCore& operator=(const VsCore&) = delete;

  const VSAPI* api() const;
  VSCore* handle();
  int threads() const { return threads_; }

  // Loads the module and calls its entry; false with a message on failure.
  bool load_plugin(const std::string& path, std::string& error);
  const VsPluginRecord& plugin() const { return plugin_; }

  // A source node of `frames` frames in `format` (a preset id), whose planes
  // are filled by fill(n, frame) and which carry the integer property
  // "SourceFrame" = n and "_DurationNum"/"_DurationDen" = 1/25. The caller
  // owns the returned reference. format 0 makes a variable-format node and
  // width = height = 0 a variable-size one.
  VSNode* source(uint32_t format, int width, int height, int frames,
                 std::function<void(int n, VSFrame* frame)> fill);

  // Calls function `name` of the loaded plugin with the argument map `in`
  // after checking it against the registered argument string, as the core
  // does; the result map is the caller's (free_map).
  VSMap* invoke(const std::string& name, const VSMap* in);

  // Requests every frame in `frames` of `node` from `workers` threads at
  // once; results in the order of `frames`. Free the frames with free_frame.
  std::vector<VsFrameResult> get_frames(VSNode* node, const std::vector<int>& frames, int workers);

  // Host-side map access.
  VSMap* create_map();
  void free_map(VSMap* map);
  void set_int(VSMap* map, const char* key, int64_t value, bool append = false);
  void set_float(VSMap* map, const char* key, double value);
  void set_data(VSMap* map, const char* key, const std::string& value);
  void set_node(VSMap* map, const char* key, VSNode* node);
  const char* map_error(const VSMap* map) const;
  VSNode* map_node(const VSMap* map, const char* key) const;  // a new reference, or null
  void free_node(VSNode* node);
  void free_frame(const VSFrame* frame);

  // Frame access for the checks.
  const VSVideoInfo& video_info(VSNode* node) const;
  int node_filter_mode(VSNode* node) const;  // -1 for a source
  // The dependencies the filter declared: source node and request pattern.
  std::vector<VSFilterDependency> node_dependencies(VSNode* node) const;
  const uint8_t* read_ptr(const VSFrame* frame, int plane) const;
  ptrdiff_t stride(const VSFrame* frame, int plane) const;
  int frame_width(const VSFrame* frame, int plane) const;
  int frame_height(const VSFrame* frame, int plane) const;
  const VSVideoFormat& frame_format(const VSFrame* frame) const;
  // An integer property, or `missing` when the frame lacks it.
  int64_t frame_int_property(const VSFrame* frame, const char* key, int64_t missing) const;
  // A new writable frame, for filling sources.
  uint8_t* write_ptr(VSFrame* frame, int plane);

  // Bookkeeping.
  int live_frames() const { return live_frames_.load(); }
  int live_nodes() const { return live_nodes_.load(); }
  int filter_frees() const { return filter_frees_.load(); }
  std::vector<std::string> violations() const;
  void violation(const std::string& what);

  // Concurrency seen inside the plugin's getFrame: the most calls that were
  // running at the same moment.
  int most_concurrent_calls() const { return most_concurrent_.load(); }

  // What the core does for one frame (used by the VSAPI functions).
  const VSFrame* produce(VSNode* node, int n, std::string& error);
  void note_call_enter();
  void note_call_leave();
  void note_frame_made() { live_frames_.fetch_add(1); }
  void note_frame_gone() { live_frames_.fetch_sub(1); }
  void note_node_made() { live_nodes_.fetch_add(1); }
  void note_node_gone() { live_nodes_.fetch_sub(1); }
  void note_filter_freed() { filter_frees_.fetch_add(1); }

 private:
  int threads_;
  PluginModule module_;
  VsPluginRecord plugin_;
  std::atomic<int> live_frames_{0};
  std::atomic<int> live_nodes_{0};
  std::atomic<int> filter_frees_{0};
  std::atomic<int> running_{0};
  std::atomic<int> most_concurrent_{0};
  mutable HostLock lock_;
  std::vector<std::string> violations_;
};

// A preset format id from its parts, as queryVideoFormatID computes it.
uint32_t vs_format_id(int family, int sample_type, int bits, int sub_w, int sub_h);
// The format an id stands for (numPlanes and bytesPerSample filled in).
VSVideoFormat vs_format_from_id(uint32_t id);

}  // namespace standin_vs
