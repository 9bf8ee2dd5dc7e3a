/* SPDX-License-Identifier: BSD-2-Clause */
// AviSynth plugin interface, version 1: the types the plugin and our stand-in
// host exchange. Field order, type widths and the order of virtual methods are
// the host's binary contract and must not change; the spelling is ours.
//
// Ownership conventions of this interface:
// - Clips carry their own reference count; PClip and AVSValue handles raise and
//   lower it, and the last release destroys the clip through its virtual
//   destructor (so the module that built a clip also frees it).
// - Destructors keep the compiler's own convention: a calling-convention word
//   on a virtual destructor would have to be repeated on every implicit one.
// - Frames and their buffers are counted the same way but never deleted by a
//   handle: a count of zero hands the frame back to the environment that made
//   it, which reuses or frees it.
#pragma once

#include <cstddef>

#if defined(_WIN32)
#define AVS_STDCALL __stdcall
#define AVS_CDECL __cdecl
#else
#define AVS_STDCALL
#define AVS_CDECL
#endif

enum { AVISYNTH_INTERFACE_VERSION = 1 };

typedef unsigned char BYTE;

class IScriptEnvironment;
class IClip;
class PClip;
class PVideoFrame;
class AVSValue;

// Pixel type codes of VideoInfo::pixel_type.
enum : unsigned char {
  kPixelUnknown = 0,
  kPixelBGR24 = 0x13,
  kPixelBGR32 = 0x14,
  kPixelYUY2 = 0x22,
};

#pragma pack(push, 8)
struct VideoInfo {
  int width;
  int height;
  unsigned fps_numerator;
  unsigned fps_denominator;
  int num_frames;
  unsigned char pixel_type;
  bool field_based;
  int audio_samples_per_second;
  int num_audio_samples;
  bool stereo;
  bool sixteen_bit;

  bool IsYUY2() const { return pixel_type == kPixelYUY2; }
  int BytesPerPixel() const {
    switch (pixel_type) {
      case kPixelBGR24:
        return 3;
      case kPixelBGR32:
        return 4;
      case kPixelYUY2:
        return 2;
      default:
        return 0;
    }
  }
  // Bytes in one row; 0 for an unknown type, INT_MAX when it would not fit.
  int RowSize() const {
    const long long bytes = static_cast<long long>(width) * BytesPerPixel();
    return bytes > 0x7fffffffLL ? 0x7fffffff : static_cast<int>(bytes);
  }
};
#pragma pack(pop)

// The memory behind one or more frames.
class VideoFrameBuffer {
 public:
  BYTE* data;
  int data_size;
  int sequence_number;
  int refcount;

  const BYTE* GetReadPtr() const { return data; }
  BYTE* GetWritePtr() {
    ++sequence_number;
    return data;
  }
  int GetDataSize() const { return data_size; }
};

// A view of rows in a frame buffer.
class VideoFrame {
 public:
  int refcount;
  VideoFrameBuffer* vfb;
  int offset;
  int pitch;
  int row_size;
  int height;

  void AddRef() { ++refcount; }
  // Dropping the last handle leaves the frame to its environment.
  void Release() { --refcount; }

  int GetPitch() const { return pitch; }
  int GetRowSize() const { return row_size; }
  int GetHeight() const { return height; }
  const BYTE* GetReadPtr() const { return vfb->GetReadPtr() + offset; }
  bool IsWritable() const { return refcount == 1 && vfb->refcount == 1; }
  // Null unless this handle is the only one on the frame and its buffer.
  BYTE* GetWritePtr() const { return IsWritable() ? vfb->GetWritePtr() + offset : nullptr; }
};

class PVideoFrame {
 public:
  PVideoFrame() : p_(nullptr) {}
  PVideoFrame(VideoFrame* frame) : p_(frame) { acquire(); }
  PVideoFrame(const PVideoFrame& other) : p_(other.p_) { acquire(); }
  PVideoFrame& operator=(const PVideoFrame& other) {
    VideoFrame* old = p_;
    p_ = other.p_;
    acquire();
    if (old) old->Release();
    return *this;
  }
  ~PVideoFrame() {
    if (p_) p_->Release();
  }

  VideoFrame* operator->() const { return p_; }
  VideoFrame* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  void acquire() {
    if (p_) p_->AddRef();
  }
  VideoFrame* p_;
};

class IClip {
 public:
  IClip() : refcnt(0) {}
  IClip(const IClip&) = delete;
  IClip& operator=(const IClip&) = delete;

  virtual int AVS_STDCALL GetVersion() { return AVISYNTH_INTERFACE_VERSION; }
  virtual PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) = 0;
  virtual bool AVS_STDCALL GetParity(int n) = 0;
  virtual void AVS_STDCALL GetAudio(void* buf, int start, int count, IScriptEnvironment* env) = 0;
  virtual const VideoInfo& AVS_STDCALL GetVideoInfo() = 0;
  virtual ~IClip() {}

  int RefCount() const { return refcnt; }

 private:
  friend class PClip;
  friend class AVSValue;
  void AddRef() { ++refcnt; }
  void Release() {
    if (--refcnt == 0) delete this;
  }

  int refcnt;
};

class PClip {
 public:
  PClip() : p_(nullptr) {}
  PClip(IClip* clip) : p_(clip) { acquire(); }
  PClip(const PClip& other) : p_(other.p_) { acquire(); }
  PClip& operator=(const PClip& other) {
    IClip* old = p_;
    p_ = other.p_;
    acquire();
    if (old) old->Release();
    return *this;
  }
  ~PClip() {
    if (p_) p_->Release();
  }

  IClip* operator->() const { return p_; }
  IClip* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  void acquire() {
    if (p_) p_->AddRef();
  }
  IClip* p_;
};

// A script value. A clip value holds one reference to its clip; an array value
// points at elements owned by whoever built it.
class AVSValue {
 public:
  AVSValue() : type('v'), array_size(0) { clip = nullptr; }
  AVSValue(IClip* c) : type('c'), array_size(0) {
    clip = c;
    if (clip) clip->AddRef();
  }
  AVSValue(const PClip& c) : AVSValue(c.get()) {}
  AVSValue(bool b) : type('b'), array_size(0) { clip = nullptr, boolean = b; }
  AVSValue(int i) : type('i'), array_size(0) { clip = nullptr, integer = i; }
  AVSValue(float f) : type('f'), array_size(0) { clip = nullptr, floating_pt = f; }
  AVSValue(double f) : AVSValue(static_cast<float>(f)) {}
  AVSValue(const char* s) : type('s'), array_size(0) { clip = nullptr, string = s; }
  AVSValue(const AVSValue* elements, int size) : type('a'), array_size(static_cast<short>(size)) {
    array = elements;
  }
  AVSValue(const AVSValue& other) : type('v'), array_size(0) {
    clip = nullptr;
    assign(other);
  }
  AVSValue& operator=(const AVSValue& other) {
    assign(other);
    return *this;
  }
  ~AVSValue() { drop(); }

  bool Defined() const { return type != 'v'; }
  bool IsClip() const { return type == 'c'; }
  bool IsBool() const { return type == 'b'; }
  bool IsInt() const { return type == 'i'; }
  bool IsFloat() const { return type == 'f' || type == 'i'; }
  bool IsString() const { return type == 's'; }
  bool IsArray() const { return type == 'a'; }

  PClip AsClip() const { return IsClip() ? PClip(clip) : PClip(); }
  bool AsBool() const { return boolean; }
  int AsInt() const { return integer; }
  float AsFloat() const { return type == 'i' ? static_cast<float>(integer) : floating_pt; }
  const char* AsString() const { return IsString() ? string : nullptr; }

  int ArraySize() const { return IsArray() ? array_size : 1; }
  // Out of range, or on a value that is not an array, indexing yields the
  // value itself.
  const AVSValue& operator[](int index) const {
    return (IsArray() && index >= 0 && index < array_size) ? array[index] : *this;
  }

 private:
  void assign(const AVSValue& other) {
    if (other.IsClip() && other.clip) other.clip->AddRef();
    drop();
    type = other.type;
    array_size = other.array_size;
    clip = nullptr;
    switch (type) {
      case 'c':
        clip = other.clip;
        break;
      case 'b':
        boolean = other.boolean;
        break;
      case 'i':
        integer = other.integer;
        break;
      case 'f':
        floating_pt = other.floating_pt;
        break;
      case 's':
        string = other.string;
        break;
      case 'a':
        array = other.array;
        break;
      default:
        break;
    }
  }
  void drop() {
    if (IsClip() && clip) {
      IClip* c = clip;
      clip = nullptr;
      type = 'v';
      c->Release();
    }
  }

  short type;
  short array_size;
  union {
    IClip* clip;
    bool boolean;
    int integer;
    float floating_pt;
    const char* string;
    const AVSValue* array;
  };
};

// The ready-made base of filters that pass everything but frames through.
class GenericVideoFilter : public IClip {
 public:
  explicit GenericVideoFilter(const PClip& source) : child(source), vi(source->GetVideoInfo()) {}

  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override {
    return child->GetFrame(n, env);
  }
  bool AVS_STDCALL GetParity(int n) override { return child->GetParity(n); }
  void AVS_STDCALL GetAudio(void* buf, int start, int count, IScriptEnvironment* env) override {
    child->GetAudio(buf, start, count, env);
  }
  const VideoInfo& AVS_STDCALL GetVideoInfo() override { return vi; }

 protected:
  PClip child;
  VideoInfo vi;
};

typedef AVSValue(AVS_CDECL* ApplyFunc)(AVSValue args, void* user_data, IScriptEnvironment* env);
typedef void(AVS_CDECL* ShutdownFunc)(void* user_data, IScriptEnvironment* env);

class IScriptEnvironment {
 public:
  virtual ~IScriptEnvironment() {}

  virtual long AVS_STDCALL GetCPUFlags() = 0;
  virtual char* AVS_STDCALL SaveString(const char* s, int length = -1) = 0;
  virtual char* AVS_CDECL Sprintf(const char* fmt, ...) = 0;
  virtual char* AVS_STDCALL VSprintf(const char* fmt, void* args) = 0;
  // Raises the host's error; never returns.
  virtual void AVS_CDECL ThrowError(const char* fmt, ...) = 0;
  virtual void AVS_STDCALL AddFunction(const char* name, const char* params, ApplyFunc apply,
                                       void* user_data) = 0;
  virtual bool AVS_STDCALL FunctionExists(const char* name) = 0;
  virtual AVSValue AVS_STDCALL Invoke(const char* name, const AVSValue args,
                                      const char** arg_names = nullptr) = 0;
  virtual AVSValue AVS_STDCALL GetVar(const char* name) = 0;
  virtual bool AVS_STDCALL SetVar(const char* name, const AVSValue& val) = 0;
  virtual bool AVS_STDCALL SetGlobalVar(const char* name, const AVSValue& val) = 0;
  virtual void AVS_STDCALL PushContext(int level = 0) = 0;
  virtual void AVS_STDCALL PopContext() = 0;
  virtual PVideoFrame AVS_STDCALL NewVideoFrame(const VideoInfo& vi, int align = 8) = 0;
  virtual bool AVS_STDCALL MakeWritable(PVideoFrame* frame) = 0;
  virtual void AVS_STDCALL BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp, int src_pitch,
                                  int row_size, int height) = 0;
  virtual void AVS_STDCALL AtExit(ShutdownFunc function, void* user_data) = 0;
  virtual void AVS_STDCALL CheckVersion(int version = AVISYNTH_INTERFACE_VERSION) = 0;
  virtual PVideoFrame AVS_STDCALL Subframe(PVideoFrame src, int rel_offset, int new_pitch,
                                           int new_row_size, int new_height) = 0;
};

// The plugin's entry, called once when the host loads the library.
typedef const char*(AVS_STDCALL* PluginInitFunc)(IScriptEnvironment* env);

// Layout checks for the 32-bit product.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(VideoInfo) == 36, "VideoInfo layout");
static_assert(offsetof(VideoInfo, pixel_type) == 20, "VideoInfo layout");
static_assert(offsetof(VideoInfo, audio_samples_per_second) == 24, "VideoInfo layout");
static_assert(offsetof(VideoInfo, stereo) == 32, "VideoInfo layout");
static_assert(sizeof(AVSValue) == 8, "AVSValue layout");
static_assert(sizeof(VideoFrame) == 24, "VideoFrame layout");
static_assert(sizeof(PClip) == 4 && sizeof(PVideoFrame) == 4, "handle layout");
#endif
static_assert(sizeof(AVSValue) == 2 * sizeof(short) + sizeof(void*) ||
                  sizeof(AVSValue) == 2 * sizeof(void*),
              "AVSValue layout");
