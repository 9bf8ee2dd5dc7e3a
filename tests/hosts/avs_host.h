/* SPDX-License-Identifier: BSD-2-Clause */
// A stand-in for AviSynth: a script environment that loads a plugin through
// its entry function, records what it registers, calls registered functions
// as the script interpreter would, raises errors as C++ exceptions and hands
// out frames; and a source clip that serves frames from memory and records
// what is asked of it. Portable C++ only: it is built natively and with the
// 32-bit MinGW cross compiler. It knows the interface only from its own
// declarations (avs_declarations.h), all in standin_avs.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "avs_declarations.h"

namespace standin_avs {

// What ThrowError raises: the formatted message.
class AvsError : public std::runtime_error {
 public:
  explicit AvsError(const std::string& message) : std::runtime_error(message) {}
};

struct RegisteredFunction {
  std::string name;
  std::string params;
  ApplyFunc apply;
  void* user_data;
};

// Frames and clips made with an environment hold on to it: drop every
// PVideoFrame, PClip and clip value before the environment ends.
class AvsEnvironment : public IScriptEnvironment {
 public:
  AvsEnvironment();
  ~AvsEnvironment() override;
  AvsEnvironment(const AvsEnvironment&) = delete;
  AvsEnvironment& operator=(const AvsEnvironment&) = delete;

  // --- the host's side ---

  // Calls the plugin's entry with this environment; returns the text it gives.
  std::string load_plugin(PluginInitFunc init);
  const std::vector<RegisteredFunction>& functions() const { return functions_; }
  const RegisteredFunction* find_function(const std::string& name) const;

  // Calls a registered function with the given arguments as one array value,
  // the way the interpreter passes them. Throws AvsError for an unknown name.
  AVSValue call(const std::string& name, const AVSValue* args, int count);
  // name(clip) or name(clip, path=path); a null path leaves the argument out.
  AVSValue call_with_clip(const std::string& name, const PClip& clip, const char* path);

  // A frame of height rows, row_size bytes used per row, rows pitch bytes
  // apart, its memory 16-byte aligned and exactly pitch * height bytes long.
  PVideoFrame new_frame(int row_size, int height, int pitch);
  // Frames still referenced by some handle.
  int live_frames() const;
  int frames_made() const { return frames_made_; }
  // Messages raised through ThrowError, in order.
  const std::vector<std::string>& errors() const { return errors_; }

  // --- IScriptEnvironment ---
  long STANDIN_AVS_STDCALL GetCPUFlags() override { return 0; }
  char* STANDIN_AVS_STDCALL SaveString(const char* s, int length = -1) override;
  char* STANDIN_AVS_CDECL Sprintf(const char* fmt, ...) override;
  // args is the address of a va_list.
  char* STANDIN_AVS_STDCALL VSprintf(const char* fmt, void* args) override;
  void STANDIN_AVS_CDECL ThrowError(const char* fmt, ...) override;
  void STANDIN_AVS_STDCALL AddFunction(const char* name, const char* params, ApplyFunc apply,
                                       void* user_data) override;
  bool STANDIN_AVS_STDCALL FunctionExists(const char* name) override;
  AVSValue STANDIN_AVS_STDCALL Invoke(const char* name, const AVSValue args,
                                      const char** arg_names = nullptr) override;
  AVSValue STANDIN_AVS_STDCALL GetVar(const char* name) override;
  bool STANDIN_AVS_STDCALL SetVar(const char* name, const AVSValue& val) override;
  bool STANDIN_AVS_STDCALL SetGlobalVar(const char* name, const AVSValue& val) override;
  void STANDIN_AVS_STDCALL PushContext(int /*level*/ = 0) override {}
  void STANDIN_AVS_STDCALL PopContext() override {}
  PVideoFrame STANDIN_AVS_STDCALL NewVideoFrame(const VideoInfo& vi, int align = 8) override;
  bool STANDIN_AVS_STDCALL MakeWritable(PVideoFrame* frame) override;
  void STANDIN_AVS_STDCALL BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp, int src_pitch,
                                  int row_size, int height) override;
  void STANDIN_AVS_STDCALL AtExit(ShutdownFunc function, void* user_data) override;
  void STANDIN_AVS_STDCALL CheckVersion(int version = kInterfaceVersion) override;
  PVideoFrame STANDIN_AVS_STDCALL Subframe(PVideoFrame src, int rel_offset, int new_pitch,
                                           int new_row_size, int new_height) override;

 private:
  [[noreturn]] void raise(const std::string& message);
  // Frees frames that no handle refers to any more, then unused buffers.
  void reclaim();

  std::vector<RegisteredFunction> functions_;
  std::deque<std::string> saved_strings_;
  std::map<std::string, AVSValue> variables_;
  std::vector<std::pair<ShutdownFunc, void*>> at_exit_;
  std::vector<std::unique_ptr<VideoFrame>> frames_;
  std::vector<std::unique_ptr<VideoFrameBuffer>> buffers_;
  std::vector<std::string> errors_;
  int frames_made_ = 0;
};

// What a MemoryClip was asked, kept apart from the clip so that it can be read
// after the clip is gone.
struct ClipLog {
  struct AudioRequest {
    void* buf;
    int start;
    int count;
    IScriptEnvironment* env;
  };
  std::vector<int> frames;
  std::vector<int> parity;
  std::vector<AudioRequest> audio;
  int destroyed = 0;
};

// Fills one frame: data points at row 0, rows pitch bytes apart, row_size
// bytes of each to fill.
using FrameFiller = std::function<void(int n, BYTE* data, int pitch, int row_size, int height)>;

// A source clip serving frames of any pixel type from memory or from a filler,
// with rows a chosen pitch apart (at least the row size).
class MemoryClip : public IClip {
 public:
  MemoryClip(AvsEnvironment& env, const VideoInfo& vi, std::shared_ptr<ClipLog> log = nullptr,
             int pitch = 0);
  ~MemoryClip() override;

  // Frame n is frames[n] for 0 <= n < count, the nearest end otherwise.
  // Each holds height rows of row_size bytes back to back.
  void set_frames(std::vector<std::vector<BYTE>> frames) { stored_ = std::move(frames); }
  void set_filler(FrameFiller filler) { filler_ = std::move(filler); }
  // Keep a handle to the frame last served (it is then not writable by others).
  void keep_last_frame(bool keep) { keep_last_ = keep; }
  const PVideoFrame& last_frame() const { return last_; }
  int pitch() const { return pitch_; }
  const std::shared_ptr<ClipLog>& log() const { return log_; }

  PVideoFrame STANDIN_AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override;
  // Odd frames are bottom field first.
  bool STANDIN_AVS_STDCALL GetParity(int n) override;
  // Writes count samples, each byte (start + i) & 255 counted in bytes.
  void STANDIN_AVS_STDCALL GetAudio(void* buf, int start, int count,
                                    IScriptEnvironment* env) override;
  const VideoInfo& STANDIN_AVS_STDCALL GetVideoInfo() override { return vi_; }

 private:
  AvsEnvironment& env_;
  VideoInfo vi_;
  std::shared_ptr<ClipLog> log_;
  int pitch_;
  std::vector<std::vector<BYTE>> stored_;
  FrameFiller filler_;
  bool keep_last_ = false;
  PVideoFrame last_;
};

// A VideoInfo for a clip of the given size and pixel type: 25 fps, 10 frames,
// no audio unless asked for afterwards.
VideoInfo make_video_info(int width, int height, unsigned char pixel_type = kPixelYUY2,
                          int num_frames = 10);

}  // namespace standin_avs
