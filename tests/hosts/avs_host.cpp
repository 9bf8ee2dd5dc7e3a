// SPDX-License-Identifier: BSD-2-Clause
#include "avs_host.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

namespace standin_avs {

namespace {

constexpr std::align_val_t kFrameAlign{16};

// vsnprintf into a growable text; some C runtimes answer -1 instead of the
// needed length when the buffer is short, so grow until the text fits.
std::string format_text(const char* fmt, va_list args) {
  if (!fmt) return std::string();
  std::vector<char> buffer(256);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buffer.data(), buffer.size(), fmt, copy);
    va_end(copy);
    if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    if (buffer.size() >= (size_t{1} << 24)) return std::string(buffer.data());
    buffer.resize(n >= 0 ? static_cast<size_t>(n) + 1 : buffer.size() * 2);
  }
}

size_t bounded_length(const char* s, int limit) {
  size_t n = 0;
  while (n < static_cast<size_t>(limit) && s[n]) ++n;
  return n;
}

}  // namespace

AvsEnvironment::AvsEnvironment() = default;

AvsEnvironment::~AvsEnvironment() {
  for (auto it = at_exit_.rbegin(); it != at_exit_.rend(); ++it) it->first(it->second, this);
  variables_.clear();
  frames_.clear();
  for (auto& b : buffers_) ::operator delete[](b->data, kFrameAlign);
}

std::string AvsEnvironment::load_plugin(PluginInitFunc init) {
  const char* text = init ? init(this) : nullptr;
  return text ? std::string(text) : std::string();
}

const RegisteredFunction* AvsEnvironment::find_function(const std::string& name) const {
  // A later registration of the same name wins, as in the script language.
  for (auto it = functions_.rbegin(); it != functions_.rend(); ++it) {
    if (it->name == name) return &*it;
  }
  return nullptr;
}

AVSValue AvsEnvironment::call(const std::string& name, const AVSValue* args, int count) {
  const RegisteredFunction* f = find_function(name);
  if (!f) raise("There is no function named \"" + name + "\".");
  if (!f->apply) raise("The function \"" + name + "\" was registered without code.");
  return f->apply(AVSValue(args, count), f->user_data, this);
}

AVSValue AvsEnvironment::call_with_clip(const std::string& name, const PClip& clip,
                                        const char* path) {
  const AVSValue args[2] = {AVSValue(clip), path ? AVSValue(path) : AVSValue()};
  return call(name, args, 2);
}

PVideoFrame AvsEnvironment::new_frame(int row_size, int height, int pitch) {
  if (row_size <= 0 || height <= 0 || pitch < row_size ||
      static_cast<long long>(pitch) * height > (1LL << 30)) {
    raise("NewVideoFrame: unusable frame geometry.");
  }
  reclaim();
  const size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(height);
  auto buffer = std::make_unique<VideoFrameBuffer>();
  buffer->data = static_cast<BYTE*>(::operator new[](bytes, kFrameAlign));
  buffer->data_size = static_cast<int>(bytes);
  buffer->sequence_number = 0;
  buffer->refcount = 1;
  std::memset(buffer->data, 0xCD, bytes);
  auto frame = std::make_unique<VideoFrame>();
  frame->refcount = 0;
  frame->vfb = buffer.get();
  frame->offset = 0;
  frame->pitch = pitch;
  frame->row_size = row_size;
  frame->height = height;
  PVideoFrame handle(frame.get());
  buffers_.push_back(std::move(buffer));
  frames_.push_back(std::move(frame));
  ++frames_made_;
  return handle;
}

int AvsEnvironment::live_frames() const {
  int live = 0;
  for (const auto& f : frames_) live += f->refcount > 0 ? 1 : 0;
  return live;
}

void AvsEnvironment::reclaim() {
  for (size_t i = 0; i < frames_.size();) {
    if (frames_[i]->refcount <= 0) {
      --frames_[i]->vfb->refcount;
      frames_[i] = std::move(frames_.back());
      frames_.pop_back();
    } else {
      ++i;
    }
  }
  for (size_t i = 0; i < buffers_.size();) {
    if (buffers_[i]->refcount <= 0) {
      ::operator delete[](buffers_[i]->data, kFrameAlign);
      buffers_[i] = std::move(buffers_.back());
      buffers_.pop_back();
    } else {
      ++i;
    }
  }
}

void AvsEnvironment::raise(const std::string& message) {
  errors_.push_back(message);
  throw AvsError(message);
}

char* STANDIN_AVS_STDCALL AvsEnvironment::SaveString(const char* s, int length) {
  if (!s) s = "";
  saved_strings_.emplace_back(length < 0 ? std::string(s)
                                         : std::string(s, bounded_length(s, length)));
  return &saved_strings_.back()[0];
}

char* STANDIN_AVS_CDECL AvsEnvironment::Sprintf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = format_text(fmt, args);
  va_end(args);
  return SaveString(text.c_str());
}

char* STANDIN_AVS_STDCALL AvsEnvironment::VSprintf(const char* fmt, void* args) {
  va_list copy;
  va_copy(copy, *static_cast<va_list*>(args));
  std::string text = format_text(fmt, copy);
  va_end(copy);
  return SaveString(text.c_str());
}

void STANDIN_AVS_CDECL AvsEnvironment::ThrowError(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = format_text(fmt, args);
  va_end(args);
  raise(text);
}

void STANDIN_AVS_STDCALL AvsEnvironment::AddFunction(const char* name, const char* params,
                                                     ApplyFunc apply, void* user_data) {
  functions_.push_back({name ? name : "", params ? params : "", apply, user_data});
}

bool STANDIN_AVS_STDCALL AvsEnvironment::FunctionExists(const char* name) {
  return name && find_function(name) != nullptr;
}

AVSValue STANDIN_AVS_STDCALL AvsEnvironment::Invoke(const char* name, const AVSValue args,
                                                    const char** /*arg_names*/) {
  if (args.IsArray()) {
    std::vector<AVSValue> list;
    for (int i = 0; i < args.ArraySize(); ++i) list.push_back(args[i]);
    return call(name ? name : "", list.data(), static_cast<int>(list.size()));
  }
  return call(name ? name : "", &args, 1);
}

AVSValue STANDIN_AVS_STDCALL AvsEnvironment::GetVar(const char* name) {
  const std::string key = name ? name : "";
  auto it = variables_.find(key);
  if (it == variables_.end()) raise("I don't know what \"" + key + "\" means.");
  return it->second;
}

bool STANDIN_AVS_STDCALL AvsEnvironment::SetVar(const char* name, const AVSValue& val) {
  auto result = variables_.insert({name ? name : "", val});
  if (!result.second) result.first->second = val;
  return result.second;
}

bool STANDIN_AVS_STDCALL AvsEnvironment::SetGlobalVar(const char* name, const AVSValue& val) {
  return SetVar(name, val);
}

PVideoFrame STANDIN_AVS_STDCALL AvsEnvironment::NewVideoFrame(const VideoInfo& vi, int /*align*/) {
  // Rows back to back: what plugins of this interface version may rely on.
  return new_frame(vi.RowSize(), vi.height, vi.RowSize());
}

bool STANDIN_AVS_STDCALL AvsEnvironment::MakeWritable(PVideoFrame* frame) {
  if (!frame || !*frame || (*frame)->IsWritable()) return false;
  const VideoFrame& old = *frame->get();
  PVideoFrame copy = new_frame(old.GetRowSize(), old.GetHeight(), old.GetRowSize());
  BitBlt(copy->GetWritePtr(), copy->GetPitch(), old.GetReadPtr(), old.GetPitch(), old.GetRowSize(),
         old.GetHeight());
  *frame = copy;
  return true;
}

void STANDIN_AVS_STDCALL AvsEnvironment::BitBlt(BYTE* dstp, int dst_pitch, const BYTE* srcp,
                                                int src_pitch, int row_size, int height) {
  for (int y = 0; y < height; ++y) {
    std::memcpy(dstp + static_cast<ptrdiff_t>(y) * dst_pitch,
                srcp + static_cast<ptrdiff_t>(y) * src_pitch, static_cast<size_t>(row_size));
  }
}

void STANDIN_AVS_STDCALL AvsEnvironment::AtExit(ShutdownFunc function, void* user_data) {
  if (function) at_exit_.push_back({function, user_data});
}

void STANDIN_AVS_STDCALL AvsEnvironment::CheckVersion(int version) {
  if (version > kInterfaceVersion) {
    raise("Plugin was designed for a later version of the host (" + std::to_string(version) + ").");
  }
}

PVideoFrame STANDIN_AVS_STDCALL AvsEnvironment::Subframe(PVideoFrame src, int rel_offset,
                                                         int new_pitch, int new_row_size,
                                                         int new_height) {
  if (!src) raise("Subframe: no frame.");
  const long long first = static_cast<long long>(src->offset) + rel_offset;
  const long long last =
      first + static_cast<long long>(new_pitch) * (new_height - 1) + new_row_size;
  if (new_row_size <= 0 || new_height <= 0 || new_pitch < new_row_size || first < 0 ||
      last > src->vfb->data_size) {
    raise("Subframe: outside the frame.");
  }
  auto frame = std::make_unique<VideoFrame>();
  frame->refcount = 0;
  frame->vfb = src->vfb;
  frame->offset = static_cast<int>(first);
  frame->pitch = new_pitch;
  frame->row_size = new_row_size;
  frame->height = new_height;
  ++src->vfb->refcount;
  PVideoFrame handle(frame.get());
  frames_.push_back(std::move(frame));
  return handle;
}

MemoryClip::MemoryClip(AvsEnvironment& env, const VideoInfo& vi, std::shared_ptr<ClipLog> log,
                       int pitch)
    : env_(env),
      vi_(vi),
      log_(log ? std::move(log) : std::make_shared<ClipLog>()),
      pitch_(pitch > vi.RowSize() ? pitch : vi.RowSize()) {}

MemoryClip::~MemoryClip() {
  ++log_->destroyed;
}

PVideoFrame STANDIN_AVS_STDCALL MemoryClip::GetFrame(int n, IScriptEnvironment* /*env*/) {
  log_->frames.push_back(n);
  const int row = vi_.RowSize();
  PVideoFrame frame = env_.new_frame(row, vi_.height, pitch_);
  BYTE* data = frame->GetWritePtr();
  if (filler_) {
    filler_(n, data, pitch_, row, vi_.height);
  } else if (!stored_.empty()) {
    const int count = static_cast<int>(stored_.size());
    const std::vector<BYTE>& rows = stored_[n < 0 ? 0 : (n >= count ? count - 1 : n)];
    for (int y = 0; y < vi_.height; ++y) {
      const size_t at = static_cast<size_t>(y) * row;
      if (at + row <= rows.size())
        std::memcpy(data + static_cast<size_t>(y) * pitch_, &rows[at], row);
    }
  }
  if (keep_last_) last_ = frame;
  return frame;
}

bool STANDIN_AVS_STDCALL MemoryClip::GetParity(int n) {
  log_->parity.push_back(n);
  return (n & 1) != 0;
}

void STANDIN_AVS_STDCALL MemoryClip::GetAudio(void* buf, int start, int count,
                                              IScriptEnvironment* env) {
  log_->audio.push_back({buf, start, count, env});
  if (!buf || count <= 0) return;
  const int bytes_per_sample = (vi_.stereo ? 2 : 1) * (vi_.sixteen_bit ? 2 : 1);
  BYTE* out = static_cast<BYTE*>(buf);
  for (int i = 0; i < count * bytes_per_sample; ++i) {
    out[i] = static_cast<BYTE>((start * bytes_per_sample + i) & 255);
  }
}

VideoInfo make_video_info(int width, int height, unsigned char pixel_type, int num_frames) {
  VideoInfo vi;
  std::memset(&vi, 0, sizeof vi);
  vi.width = width;
  vi.height = height;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  vi.num_frames = num_frames;
  vi.pixel_type = pixel_type;
  return vi;
}

}  // namespace standin_avs
