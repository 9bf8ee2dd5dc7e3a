/* SPDX-License-Identifier: BSD-2-Clause */
// A stand-in for AviSynth+ with its C interface, built once per interface
// version that decides whether a plugin loads (ZOLTA_AVSPLUS_INTERFACE: 8 for
// 3.7.0, 9 for 3.7.1-3.7.2, 10 for 3.7.3, 11 for 3.7.4-3.7.5, 12 for the
// development line), as a library of the host's name (the soname
// libavisynth.so.<interface> on Linux, AviSynth.dll on Windows) that exports
// the C functions a filter uses, by their plain names, so that a plugin finds
// them at run time as it finds the real host's. Each version looks up exactly
// the plugin entries its release looks up, in that order. The test side drives it through AvsPlusHost: load
// a plugin through its entry, invoke a registered function as the script
// interpreter would, ask its clip for frames (from several threads at once),
// send cache hints, release it (which runs free_filter). What breaks the
// interface's rules is recorded as a violation: writes to frames the filter
// does not own, a frame returned together with an error, a frame of the
// wrong format, the init-time environment used after the entry returned,
// double releases. Where the real releases differ from the facts' rule, the
// stand-in plays its release: 8 passes an optional array left out as an
// array of size 0 and one value given to an array as that value; below
// interface 10 (3.7.0-3.7.2) avs_new_video_frame_p with a property source
// crashes the real host, and at 8 (3.7.0) so does avs_copy_frame_props: both
// recorded here as violations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "avsplus_interface.h"

#if defined(_WIN32)
#ifdef ZOLTA_AVSPLUS_HOST_BUILD
#define AVSPLUS_HOST_API __declspec(dllexport)
#else
#define AVSPLUS_HOST_API __declspec(dllimport)
#endif
#else
#define AVSPLUS_HOST_API __attribute__((visibility("default")))
#endif

struct AvsHostState;

// One plane of a frame as the host stores it.
struct AvsPlaneView {
  uint8_t* data = nullptr;
  int pitch = 0;
  int row_size = 0;  // bytes
  int height = 0;
};

// A named argument for invoke: the value is given as the interpreter would
// (arrays as an 'a' value over the caller's elements).
struct AvsNamedArg {
  std::string name;
  AVS_Value value;
};

class AVSPLUS_HOST_API AvsPlusHost {
 public:
  // logical_cpus: what avs_get_env_property reports as the processor count.
  explicit AvsPlusHost(int logical_cpus);
  ~AvsPlusHost();
  AvsPlusHost(const AvsPlusHost&) = delete;
  AvsPlusHost& operator=(const AvsPlusHost&) = delete;

  // The interface version this stand-in was built as (what avs_get_version
  // and avs_check_version answer).
  static int interface_version();
  // The plugin entries it looks up, in its order: the C++ interface's first
  // and last (a plugin exporting one is refused here), the C entries between.
  static std::vector<std::string> entry_names();
  // Answers as a host of an older interface would (avs_get_version,
  // avs_check_version, the interface property), for a plugin's refusal of it.
  void report_interface(int version);

  // Loads the library and calls its C entry, trying the names in the host's
  // order. Returns false with a message, or true with the entry's text.
  bool load_plugin(const std::string& path, std::string& text_or_error);
  // The name of the entry load_plugin called; empty when none.
  std::string entry_called() const;
  // The parameter string registered for a function; empty when none is.
  std::string function_params(const std::string& name) const;

  // A source clip: frames from fill(n, frame), each with the integer
  // property "SourceFrame" = n. The caller owns the handle.
  typedef void (*FillFunc)(void* user, int n, AVS_VideoFrame* frame);
  AVS_Clip* source(const AVS_VideoInfo& vi, FillFunc fill, void* user);

  // Calls a registered function: the clip as the first (positional)
  // argument, the others by name. Returns a clip handle, or null with error.
  AVS_Clip* invoke(const std::string& name, AVS_Clip* clip, const std::vector<AvsNamedArg>& named,
                   std::string& error);

  // avs_get_frame with the clip's error on failure.
  AVS_VideoFrame* get_frame(AVS_Clip* clip, int n, std::string& error);
  // Sends a cache hint to the clip's filter; what it answers.
  int cache_hint(AVS_Clip* clip, int hint, int range);
  const AVS_VideoInfo& video_info(AVS_Clip* clip) const;
  void release_clip(AVS_Clip* clip);
  void release_frame(AVS_VideoFrame* frame);

  // Plane access by the host's plane ids.
  AvsPlaneView plane(AVS_VideoFrame* frame, int plane_id) const;
  int64_t frame_int_property(AVS_VideoFrame* frame, const char* key, int64_t missing) const;

  // Bookkeeping.
  int live_frames() const;
  int live_clips() const;
  int filter_frees() const;
  std::vector<std::string> violations() const;
  // The most get_frame calls of a filter that were running at one moment.
  int most_concurrent_calls() const;

 private:
  AvsHostState* state_;
};
