/* SPDX-License-Identifier: BSD-2-Clause */
// AviSynth's plugin interface, version 1, as the stand-in host declares it,
// written from the host's published facts and nothing of the plugin's. It is
// a C++ interface: what must agree with a plugin is the layout of the
// records, the order of the virtual methods and their calling conventions,
// and what the inline parts (reference counting, frame pointers) do. All of
// it lives in standin_avs, so a test program that links a plugin next to this
// host compiles two independent declarations against each other.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define STANDIN_AVS_STDCALL __stdcall
#define STANDIN_AVS_CDECL __cdecl
#else
#define STANDIN_AVS_STDCALL
#define STANDIN_AVS_CDECL
#endif

namespace standin_avs {

constexpr int kInterfaceVersion = 1;

typedef unsigned char BYTE;

class IScriptEnvironment;
class IClip;
class AVSValue;

// Codes of VideoInfo::pixel_type.
constexpr unsigned char kPixelUnknown = 0;
constexpr unsigned char kPixelBGR24 = 0x13;
constexpr unsigned char kPixelBGR32 = 0x14;
constexpr unsigned char kPixelYUY2 = 0x22;

// ------------------------------------------------------------ clip description

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

  int BytesPerPixel() const {
    return pixel_type == kPixelYUY2    ? 2
           : pixel_type == kPixelBGR24 ? 3
           : pixel_type == kPixelBGR32 ? 4
                                       : 0;
  }
  // Bytes of one row; 0 for an unknown type, clamped to the int range.
  int RowSize() const {
    const long long bytes = static_cast<long long>(width) * BytesPerPixel();
    return bytes > INT32_MAX ? INT32_MAX : static_cast<int>(bytes);
  }
};
#pragma pack(pop)

// ------------------------------------------------------------ frames

// The memory behind frames. A plugin reaches it only through the frame's
// inline accessors, which read data and the reference count; the record is
// laid out as the 32-bit host has it (a pointer, then three 32-bit counts).
struct VideoFrameBuffer {
  BYTE* data;
  int32_t data_size;
  int32_t sequence_number;  // raised by every write access
  int32_t refcount;         // frames that view this buffer
};

// A view of rows in a buffer. The host owns every frame: a count that drops
// to zero gives it back to the host, never deletes it.
struct VideoFrame {
  int32_t refcount;
  VideoFrameBuffer* vfb;
  int32_t offset;
  int32_t pitch;
  int32_t row_size;
  int32_t height;

  int GetPitch() const { return pitch; }
  int GetRowSize() const { return row_size; }
  int GetHeight() const { return height; }
  const BYTE* GetReadPtr() const { return vfb->data + offset; }
  // Writable when this is the only reference to the frame and the frame the
  // only view of its buffer.
  bool IsWritable() const { return refcount == 1 && vfb->refcount == 1; }
  BYTE* GetWritePtr() const {
    if (!IsWritable()) return nullptr;
    ++vfb->sequence_number;
    return vfb->data + offset;
  }
};

// A counted handle on a frame: one pointer.
class PVideoFrame {
 public:
  PVideoFrame() = default;
  PVideoFrame(VideoFrame* frame) : frame_(frame) { hold(); }
  PVideoFrame(const PVideoFrame& other) : frame_(other.frame_) { hold(); }
  PVideoFrame& operator=(const PVideoFrame& other) {
    VideoFrame* const previous = frame_;
    frame_ = other.frame_;
    hold();
    if (previous) --previous->refcount;
    return *this;
  }
  ~PVideoFrame() {
    if (frame_) --frame_->refcount;
  }

  VideoFrame* operator->() const { return frame_; }
  VideoFrame* get() const { return frame_; }
  explicit operator bool() const { return frame_ != nullptr; }

 private:
  void hold() {
    if (frame_) ++frame_->refcount;
  }
  VideoFrame* frame_ = nullptr;
};

// ------------------------------------------------------------ clips

// A reference count (0 when made), then the virtual methods in the host's
// order, all stdcall, the destructor last. Counting is inline; the last
// release deletes the clip through its destructor, in the module that made it.
class IClip {
 public:
  IClip() = default;
  IClip(const IClip&) = delete;
  IClip& operator=(const IClip&) = delete;

  virtual int STANDIN_AVS_STDCALL GetVersion() { return kInterfaceVersion; }
  virtual PVideoFrame STANDIN_AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) = 0;
  virtual bool STANDIN_AVS_STDCALL GetParity(int n) = 0;
  virtual void STANDIN_AVS_STDCALL GetAudio(void* buf, int start, int count,
                                            IScriptEnvironment* env) = 0;
  virtual const VideoInfo& STANDIN_AVS_STDCALL GetVideoInfo() = 0;
  virtual ~IClip() = default;

  int RefCount() const { return refcnt_; }

 private:
  friend class PClip;
  friend class AVSValue;
  void AddRef() { ++refcnt_; }
  void Release() {
    if (--refcnt_ == 0) delete this;
  }

  int refcnt_ = 0;
};

// A counted handle on a clip: one pointer.
class PClip {
 public:
  PClip() = default;
  PClip(IClip* clip) : clip_(clip) { hold(); }
  PClip(const PClip& other) : clip_(other.clip_) { hold(); }
  PClip& operator=(const PClip& other) {
    IClip* const previous = clip_;
    clip_ = other.clip_;
    hold();
    if (previous) previous->Release();
    return *this;
  }
  ~PClip() {
    if (clip_) clip_->Release();
  }

  IClip* operator->() const { return clip_; }
  IClip* get() const { return clip_; }
  explicit operator bool() const { return clip_ != nullptr; }

 private:
  void hold() {
    if (clip_) clip_->AddRef();
  }
  IClip* clip_ = nullptr;
};

// ------------------------------------------------------------ script values

// A 16-bit type letter, a 16-bit array size, then one pointer-wide union. A
// clip value holds a reference to its clip; an array value points at
// elements that whoever built it owns.
class AVSValue {
 public:
  AVSValue() : type_('v'), array_size_(0) { value_.clip = nullptr; }
  AVSValue(IClip* clip) : type_('c'), array_size_(0) {
    value_.clip = clip;
    if (clip) clip->AddRef();
  }
  AVSValue(const PClip& clip) : AVSValue(clip.get()) {}
  AVSValue(bool b) : type_('b'), array_size_(0) {
    value_.clip = nullptr;
    value_.boolean = b;
  }
  AVSValue(int i) : type_('i'), array_size_(0) {
    value_.clip = nullptr;
    value_.integer = i;
  }
  AVSValue(float f) : type_('f'), array_size_(0) {
    value_.clip = nullptr;
    value_.floating_pt = f;
  }
  AVSValue(const char* s) : type_('s'), array_size_(0) {
    value_.clip = nullptr;
    value_.string = s;
  }
  AVSValue(const AVSValue* elements, int count)
      : type_('a'), array_size_(static_cast<short>(count)) {
    value_.array = elements;
  }
  AVSValue(const AVSValue& other) : type_(other.type_), array_size_(other.array_size_) {
    value_ = other.value_;
    if (type_ == 'c' && value_.clip) value_.clip->AddRef();
  }
  AVSValue& operator=(const AVSValue& other) {
    if (other.type_ == 'c' && other.value_.clip) other.value_.clip->AddRef();
    release();
    type_ = other.type_;
    array_size_ = other.array_size_;
    value_ = other.value_;
    return *this;
  }
  ~AVSValue() { release(); }

  bool Defined() const { return type_ != 'v'; }
  bool IsClip() const { return type_ == 'c'; }
  bool IsBool() const { return type_ == 'b'; }
  bool IsInt() const { return type_ == 'i'; }
  bool IsFloat() const { return type_ == 'f' || type_ == 'i'; }
  bool IsString() const { return type_ == 's'; }
  bool IsArray() const { return type_ == 'a'; }

  PClip AsClip() const { return IsClip() ? PClip(value_.clip) : PClip(); }
  bool AsBool() const { return value_.boolean; }
  int AsInt() const { return value_.integer; }
  float AsFloat() const {
    return type_ == 'i' ? static_cast<float>(value_.integer) : value_.floating_pt;
  }
  const char* AsString() const { return IsString() ? value_.string : nullptr; }

  int ArraySize() const { return IsArray() ? array_size_ : 1; }
  // Past the end, or on a value that is no array: the value itself.
  const AVSValue& operator[](int index) const {
    return IsArray() && index >= 0 && index < array_size_ ? value_.array[index] : *this;
  }

 private:
  void release() {
    if (type_ == 'c' && value_.clip) {
      IClip* const clip = value_.clip;
      type_ = 'v';
      value_.clip = nullptr;
      clip->Release();
    }
  }

  short type_;
  short array_size_;
  union {
    IClip* clip;
    bool boolean;
    int integer;
    float floating_pt;
    const char* string;
    const AVSValue* array;
  } value_;
};

// ------------------------------------------------------------ environment

typedef AVSValue(STANDIN_AVS_CDECL* ApplyFunc)(AVSValue args, void* user_data,
                                               IScriptEnvironment* env);
typedef void(STANDIN_AVS_CDECL* ShutdownFunc)(void* user_data, IScriptEnvironment* env);

// The host's services, in the order of its vtable: the destructor first;
// the variadic methods cdecl, the others stdcall.
class IScriptEnvironment {
 public:
  virtual ~IScriptEnvironment() = default;

  virtual long STANDIN_AVS_STDCALL GetCPUFlags() = 0;
  virtual char* STANDIN_AVS_STDCALL SaveString(const char* s, int length = -1) = 0;
  virtual char* STANDIN_AVS_CDECL Sprintf(const char* format, ...) = 0;
  virtual char* STANDIN_AVS_STDCALL VSprintf(const char* format, void* args) = 0;
  // Raises the host's error: does not return.
  virtual void STANDIN_AVS_CDECL ThrowError(const char* format, ...) = 0;
  virtual void STANDIN_AVS_STDCALL AddFunction(const char* name, const char* params,
                                               ApplyFunc apply, void* user_data) = 0;
  virtual bool STANDIN_AVS_STDCALL FunctionExists(const char* name) = 0;
  virtual AVSValue STANDIN_AVS_STDCALL Invoke(const char* name, const AVSValue args,
                                              const char** arg_names = nullptr) = 0;
  virtual AVSValue STANDIN_AVS_STDCALL GetVar(const char* name) = 0;
  virtual bool STANDIN_AVS_STDCALL SetVar(const char* name, const AVSValue& value) = 0;
  virtual bool STANDIN_AVS_STDCALL SetGlobalVar(const char* name, const AVSValue& value) = 0;
  virtual void STANDIN_AVS_STDCALL PushContext(int level = 0) = 0;
  virtual void STANDIN_AVS_STDCALL PopContext() = 0;
  virtual PVideoFrame STANDIN_AVS_STDCALL NewVideoFrame(const VideoInfo& vi, int align = 8) = 0;
  virtual bool STANDIN_AVS_STDCALL MakeWritable(PVideoFrame* frame) = 0;
  virtual void STANDIN_AVS_STDCALL BitBlt(BYTE* dst, int dst_pitch, const BYTE* src, int src_pitch,
                                          int row_size, int height) = 0;
  virtual void STANDIN_AVS_STDCALL AtExit(ShutdownFunc function, void* user_data) = 0;
  virtual void STANDIN_AVS_STDCALL CheckVersion(int version = kInterfaceVersion) = 0;
  virtual PVideoFrame STANDIN_AVS_STDCALL Subframe(PVideoFrame src, int rel_offset, int new_pitch,
                                                   int new_row_size, int new_height) = 0;
};

// The plugin's entry, AvisynthPluginInit (on 32-bit Windows exported as
// _AvisynthPluginInit@4).
typedef const char*(STANDIN_AVS_STDCALL* PluginInitFunc)(IScriptEnvironment* env);

// ------------------------------------------------------------ layout

static_assert(offsetof(VideoInfo, pixel_type) == 20 && offsetof(VideoInfo, field_based) == 21,
              "VideoInfo pixel type");
static_assert(offsetof(VideoInfo, audio_samples_per_second) == 24 &&
                  offsetof(VideoInfo, stereo) == 32 && sizeof(VideoInfo) == 36,
              "VideoInfo audio");
static_assert(sizeof(AVSValue) == (sizeof(void*) == 4 ? 8 : 16), "AVSValue");
static_assert(sizeof(PClip) == sizeof(void*) && sizeof(PVideoFrame) == sizeof(void*),
              "handles are one pointer");
static_assert(offsetof(VideoFrame, vfb) == sizeof(void*) &&
                  offsetof(VideoFrame, offset) == 2 * sizeof(void*),
              "VideoFrame");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(VideoFrame) == 24, "VideoFrame on 32-bit");
#endif

}  // namespace standin_avs
