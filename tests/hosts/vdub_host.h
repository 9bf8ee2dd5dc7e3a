/* SPDX-License-Identifier: BSD-2-Clause */
// A stand-in for VirtualDub: loads a filter module through its two entry
// points, keeps the definition it registers, and drives filter instances the
// way the host does (instance block, source and destination bitmaps, the
// callbacks, a recording preview, script calls by name). Used by the native
// tests, the Windows test program and zolta-run; it never links the library,
// and knows the interface only from its own declarations
// (vdub_declarations.h, namespace standin_vdub).
//
// The host's table entries carry no context, so one VdubHost is active at a
// time: the most recently constructed one that is still alive, whatever order
// the others end in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "vdub_declarations.h"

// The module's two entry points, as the host finds them by name.
using VdubInitEntry = standin_vdub::ModuleInitEntry;
using VdubDeinitEntry = standin_vdub::ModuleDeinitEntry;

// What the host's Except and ExceptOutOfMemory raise.
struct VdubHostError : std::runtime_error {
  VdubHostError(const std::string& message, bool out_of_memory)
      : std::runtime_error(message), out_of_memory(out_of_memory) {}
  bool out_of_memory;
};

// Throw: Except and ExceptOutOfMemory throw VdubHostError, as VirtualDub
// raises its error. Record: they note the message and return, for callers
// that must not unwind through the library (a DLL with its own runtime).
enum class VdubErrorMode { Throw, Record };

constexpr const char kVdubOutOfMemory[] = "Out of memory";

// The host's live preview: records every call in order.
class RecordingPreview : public standin_vdub::IFilterPreview {
 public:
  void SetButtonCallback(standin_vdub::PreviewButtonCallback, void*) override {
    note("SetButtonCallback");
  }
  void SetSampleCallback(standin_vdub::PreviewSampleCallback, void*) override {
    note("SetSampleCallback");
  }
  bool isPreviewEnabled() override {
    note("isPreviewEnabled");
    return shown;
  }
  void Toggle(standin_vdub::WindowHandle window) override;
  void Display(standin_vdub::WindowHandle window, bool show) override;
  void RedoFrame() override;
  void RedoSystem() override { note("RedoSystem"); }
  void UndoSystem() override { note("UndoSystem"); }
  void InitButton(standin_vdub::WindowHandle button) override;
  void Close() override { note("Close"); }
  bool SampleCurrentFrame() override {
    note("SampleCurrentFrame");
    return false;
  }
  long SampleFrames() override {
    note("SampleFrames");
    return 0;
  }

  int count(const std::string& call) const;
  void clear() { calls.clear(); }

  std::vector<std::string> calls;                      // method names, in call order
  standin_vdub::WindowHandle toggle_window = nullptr;  // last window handed to Toggle
  standin_vdub::WindowHandle button = nullptr;         // last button handed to InitButton
  bool shown = false;
  std::function<void()> on_redo;  // what the host would filter again

 private:
  void note(const char* call) { calls.emplace_back(call); }
};

class VdubHost {
 public:
  VdubHost(VdubInitEntry init, VdubDeinitEntry deinit,
           standin_vdub::InstanceHandle module_handle = nullptr);
  ~VdubHost();
  VdubHost(const VdubHost&) = delete;
  VdubHost& operator=(const VdubHost&) = delete;

  // Calls the module's Init2 and returns its result. version and compat keep
  // -1 unless the module wrote them.
  int load();
  // Calls the module's Deinit (once, if loaded).
  void unload();

  // The host's copy of the registered definition, null before load or when
  // refused; the length the module handed to addFilter.
  const standin_vdub::FilterDefinition* definition() const {
    return has_definition_ ? &definition_ : nullptr;
  }
  standin_vdub::FilterDefinition* definition() { return has_definition_ ? &definition_ : nullptr; }
  int definition_length() const { return definition_length_; }
  // The definition record in the module itself, as handed to addFilter.
  const standin_vdub::FilterDefinition* module_definition() const { return module_definition_; }

  const standin_vdub::FilterFunctions& functions() const { return functions_; }
  standin_vdub::FilterModule& module() { return module_; }

  // Raises (or records) an error the way the host's own functions do.
  void raise(const std::string& message, bool out_of_memory);

  bool refuse_add_filter = false;  // addFilter returns null
  VdubErrorMode error_mode = VdubErrorMode::Throw;
  int version = -1;
  int compat = -1;
  int add_filter_calls = 0;
  int remove_filter_calls = 0;
  const standin_vdub::FilterDefinition* removed = nullptr;  // what removeFilter was handed
  std::vector<std::string> errors;                          // every error raised, in order

 private:
  friend struct VdubHostTable;
  VdubInitEntry init_;
  VdubDeinitEntry deinit_;
  standin_vdub::FilterModule module_{};
  standin_vdub::FilterFunctions functions_{};
  standin_vdub::FilterDefinition definition_{};
  const standin_vdub::FilterDefinition* module_definition_ = nullptr;
  bool has_definition_ = false;
  int definition_length_ = 0;
  bool loaded_ = false;
};

// Row order of the source bitmap. BottomUp stores the rows in memory from
// the last to the first, so the source pitch is negative.
enum class VdubRowOrder { TopDown, BottomUp };

// One filter instance with its frame bitmaps. The definition must have been
// registered (host.load() returned 0).
class VdubInstance {
 public:
  explicit VdubInstance(VdubHost& host);
  ~VdubInstance();
  VdubInstance(const VdubInstance&) = delete;
  VdubInstance& operator=(const VdubInstance&) = delete;

  // Source and destination bitmaps of width x height 32-bit pixels. The
  // source rows are pad_words wider than the picture; the destination rows
  // lie back to back. Pixels are cleared. Throws std::length_error when the
  // frame's bytes do not fit the bitmap's 32-bit pitch and size.
  void set_frame(int32_t width, int32_t height, VdubRowOrder order = VdubRowOrder::TopDown,
                 int32_t pad_words = 0);

  // The callbacks; each returns the callback's result (0 when the
  // definition has none). In Record mode a raised error returns normally.
  int init();
  int start();
  int run();
  int end();
  int config(standin_vdub::WindowHandle parent, bool with_preview = true);
  bool script_string(char* buffer, int buffer_length);
  std::string script_text();  // "" when fssProc declines

  // Calls the script function `name` of the definition's script object with
  // integer arguments, checking them against its argument list as the
  // interpreter does. Returns false (after raising) when nothing matches.
  bool call_script(const std::string& name, const std::vector<int32_t>& args);
  // The same from a saved line such as
  // `VirtualDub.video.filters.instance[0].Config(4128, 0, 0);`.
  bool run_script(const std::string& line);

  uint32_t* source_row(int32_t y);
  uint32_t* dest_row(int32_t y);
  // Fills the source bitmap, whatever its row order and pitch, from
  // width * height pixels stored top row first.
  void load_source(const uint32_t* pixels);
  int32_t width() const { return src_.w; }
  int32_t height() const { return src_.h; }

  void* data() { return data_.get(); }
  standin_vdub::FilterActivation& activation() { return fa_; }
  standin_vdub::VFBitmap& source() { return src_; }
  standin_vdub::VFBitmap& dest() { return dst_; }
  RecordingPreview preview;

 private:
  VdubHost& host_;
  std::unique_ptr<std::max_align_t[]> data_;
  std::vector<uint32_t> src_pixels_;
  std::vector<uint32_t> dst_pixels_;
  standin_vdub::VFBitmap src_{};
  standin_vdub::VFBitmap dst_{};
  standin_vdub::FilterActivation fa_{};
};
