// SPDX-License-Identifier: BSD-2-Clause
#include "vdub_host.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace standin_vdub;

namespace {

// Every host alive, oldest first; the table entries serve the last one.
// Hosts may end in any order, so each takes itself out wherever it stands.
std::vector<VdubHost*>& live_hosts() {
  static std::vector<VdubHost*> hosts;
  return hosts;
}

VdubHost& host() {
  if (live_hosts().empty()) std::abort();  // a table entry called with no host alive
  return *live_hosts().back();
}

bool none() {
  return false;
}
bool mmx() {
  return true;
}
void init_vtables(void*) {}
long cpu_flags() {
  return 0;
}

long host_version(char* buffer, int length) {
  if (!buffer || length <= 0) return 0;
  std::snprintf(buffer, static_cast<size_t>(length), "zolta test host");
  return 1;
}

void except_out_of_memory() {
  host().raise(kVdubOutOfMemory, true);
}

void except(const char* format, ...) {
  char message[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format ? format : "", args);
  va_end(args);
  host().raise(message, false);
}

std::string trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

// One integer argument of a script call, as the interpreter reads it.
bool parse_int(const std::string& text, int32_t& value) {
  const std::string t = trim(text);
  if (t.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(t.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

struct VdubHostTable {
  static FilterDefinition* add_filter(FilterModule* module, FilterDefinition* definition,
                                      int length) {
    VdubHost& h = host();
    ++h.add_filter_calls;
    h.module_definition_ = definition;
    h.definition_length_ = length;
    if (h.refuse_add_filter || !definition || length <= 0) return nullptr;
    // The host keeps its own copy of as much as the module declared.
    h.definition_ = FilterDefinition{};
    const size_t n = std::min(static_cast<size_t>(length), sizeof(FilterDefinition));
    std::memcpy(&h.definition_, definition, n);
    h.definition_.next = h.definition_.prev = nullptr;
    h.definition_.module = module;
    h.has_definition_ = true;
    return &h.definition_;
  }

  static void remove_filter(FilterDefinition* definition) {
    VdubHost& h = host();
    ++h.remove_filter_calls;
    h.removed = definition;
    if (definition == &h.definition_) h.has_definition_ = false;
  }
};

// ---------------------------------------------------------------- preview

void RecordingPreview::Toggle(WindowHandle window) {
  note("Toggle");
  toggle_window = window;
  shown = !shown;
}

void RecordingPreview::Display(WindowHandle, bool show) {
  note("Display");
  shown = show;
}

void RecordingPreview::RedoFrame() {
  note("RedoFrame");
  if (on_redo) on_redo();
}

void RecordingPreview::InitButton(WindowHandle window) {
  note("InitButton");
  button = window;
}

int RecordingPreview::count(const std::string& call) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

// ---------------------------------------------------------------- host

VdubHost::VdubHost(VdubInitEntry init, VdubDeinitEntry deinit, InstanceHandle module_handle)
    : init_(init), deinit_(deinit) {
  module_.hInstModule = module_handle;
  module_.initModule = init;
  module_.deinitModule = deinit;
  functions_.addFilter = VdubHostTable::add_filter;
  functions_.removeFilter = VdubHostTable::remove_filter;
  functions_.isFPUEnabled = none;
  functions_.isMMXEnabled = mmx;
  functions_.InitVTables = init_vtables;
  functions_.ExceptOutOfMemory = except_out_of_memory;
  functions_.Except = except;
  functions_.getCPUFlags = cpu_flags;
  functions_.getHostVersionInfo = host_version;
  live_hosts().push_back(this);
}

VdubHost::~VdubHost() {
  unload();
  std::vector<VdubHost*>& hosts = live_hosts();
  hosts.erase(std::remove(hosts.begin(), hosts.end(), this), hosts.end());
}

int VdubHost::load() {
  if (!init_) return 1;
  version = compat = -1;
  const int result = init_(&module_, &functions_, version, compat);
  loaded_ = true;
  return result;
}

void VdubHost::unload() {
  if (!loaded_) return;
  loaded_ = false;
  if (deinit_) deinit_(&module_, &functions_);
}

void VdubHost::raise(const std::string& message, bool out_of_memory) {
  errors.push_back(message);
  if (error_mode == VdubErrorMode::Throw) throw VdubHostError(message, out_of_memory);
}

// ---------------------------------------------------------------- instance

VdubInstance::VdubInstance(VdubHost& host) : host_(host) {
  const FilterDefinition* def = host.definition();
  const size_t bytes =
      def && def->inst_data_size > 0 ? static_cast<size_t>(def->inst_data_size) : 1;
  const size_t words = (bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
  data_.reset(new std::max_align_t[words]);
  // The host promises nothing about the block's contents.
  std::memset(data_.get(), 0xCD, words * sizeof(std::max_align_t));
  fa_.filter = host.definition();
  fa_.filter_data = data_.get();
  fa_.src = &src_;
  fa_.dst = &dst_;
  fa_.last = &src_;
}

VdubInstance::~VdubInstance() = default;

void VdubInstance::set_frame(int32_t width, int32_t height, VdubRowOrder order, int32_t pad_words) {
  const int32_t w = std::max(width, 0), h = std::max(height, 0), pad = std::max(pad_words, 0);
  // The bitmap record counts bytes in 32-bit longs: its pitch and size must fit.
  const int64_t row_bytes = (static_cast<int64_t>(w) + pad) * 4;
  if (row_bytes > INT32_MAX || row_bytes * h > INT32_MAX) {
    throw std::length_error("VdubInstance: a " + std::to_string(width) + " x " +
                            std::to_string(height) + " frame does not fit a bitmap");
  }
  const int32_t src_row_words = w + pad;
  src_pixels_.assign(static_cast<size_t>(src_row_words) * h + 1, 0);
  dst_pixels_.assign(static_cast<size_t>(w) * h + 1, 0);

  src_ = VFBitmap{};
  src_.depth = 32;
  src_.w = width;
  src_.h = height;
  if (order == VdubRowOrder::TopDown || h == 0) {
    src_.data = src_pixels_.data();
    src_.pitch = src_row_words * 4;
  } else {
    src_.data = src_pixels_.data() + static_cast<size_t>(h - 1) * src_row_words;
    src_.pitch = -src_row_words * 4;
  }
  src_.modulo = src_.pitch - w * 4;
  src_.size = src_row_words * 4 * h;

  dst_ = VFBitmap{};
  dst_.depth = 32;
  dst_.w = width;
  dst_.h = height;
  dst_.data = dst_pixels_.data();
  dst_.pitch = w * 4;
  dst_.size = w * 4 * h;
}

uint32_t* VdubInstance::source_row(int32_t y) {
  return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(src_.data) +
                                     static_cast<ptrdiff_t>(y) * src_.pitch);
}

void VdubInstance::load_source(const uint32_t* pixels) {
  for (int32_t y = 0; y < src_.h; ++y) {
    std::memcpy(source_row(y), pixels + static_cast<size_t>(y) * src_.w,
                static_cast<size_t>(src_.w) * 4);
  }
}

uint32_t* VdubInstance::dest_row(int32_t y) {
  return dst_.data + static_cast<ptrdiff_t>(y) * dst_.w;
}

int VdubInstance::init() {
  const FilterDefinition* def = fa_.filter;
  return def && def->initProc ? def->initProc(&fa_, &host_.functions()) : 0;
}

int VdubInstance::start() {
  const FilterDefinition* def = fa_.filter;
  return def && def->startProc ? def->startProc(&fa_, &host_.functions()) : 0;
}

int VdubInstance::run() {
  const FilterDefinition* def = fa_.filter;
  return def && def->runProc ? def->runProc(&fa_, &host_.functions()) : 0;
}

int VdubInstance::end() {
  const FilterDefinition* def = fa_.filter;
  return def && def->endProc ? def->endProc(&fa_, &host_.functions()) : 0;
}

int VdubInstance::config(WindowHandle parent, bool with_preview) {
  const FilterDefinition* def = fa_.filter;
  fa_.ifp = with_preview ? &preview : nullptr;
  return def && def->configProc ? def->configProc(&fa_, &host_.functions(), parent) : 0;
}

bool VdubInstance::script_string(char* buffer, int buffer_length) {
  const FilterDefinition* def = fa_.filter;
  if (!def || !def->fssProc) return false;
  return def->fssProc(&fa_, &host_.functions(), buffer, buffer_length);
}

std::string VdubInstance::script_text() {
  char buffer[256];  // VirtualDub hands its filters a buffer of this size
  buffer[0] = '\0';
  if (!script_string(buffer, sizeof buffer)) return std::string();
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

bool VdubInstance::call_script(const std::string& name, const std::vector<int32_t>& args) {
  const FilterDefinition* def = fa_.filter;
  const CScriptObject* object = def ? def->script_obj : nullptr;
  if (object && object->func_list) {
    for (const ScriptFunctionDef* f = object->func_list; f->func_ptr || f->name || f->arg_list;
         ++f) {
      if (!f->name || name != f->name || !f->arg_list || !f->arg_list[0] || !f->func_ptr) {
        continue;  // an entry without a return kind is no function to call
      }
      // The first letter is the return kind; every further one an argument.
      const std::string kinds = f->arg_list + 1;
      const bool all_ints =
          std::all_of(kinds.begin(), kinds.end(), [](char c) { return c == 'i'; });
      if (!all_ints || kinds.size() != args.size()) continue;

      std::vector<CScriptValue> values(args.size() + 1);  // never an empty array
      for (size_t k = 0; k < args.size(); ++k) {
        values[k].type = kScriptInt;
        values[k].u.i = args[k];
      }
      const int count = static_cast<int>(args.size());
      if (f->arg_list[0] == '0') {
        reinterpret_cast<ScriptVoidFunction>(reinterpret_cast<void (*)()>(f->func_ptr))(
            nullptr, &fa_, values.data(), count);
      } else {
        f->func_ptr(nullptr, &fa_, values.data(), count);
      }
      return true;
    }
  }
  host_.raise(
      "Script error: no function " + name + " taking " + std::to_string(args.size()) + " integers",
      false);
  return false;
}

bool VdubInstance::run_script(const std::string& line) {
  std::string call = trim(line);
  if (!call.empty() && call.back() == ';') call = trim(call.substr(0, call.size() - 1));
  const size_t open = call.find('(');
  if (open == std::string::npos || call.empty() || call.back() != ')') {
    host_.raise("Script error: not a call: " + line, false);
    return false;
  }
  std::string name = call.substr(0, open);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name = name.substr(dot + 1);
  name = trim(name);

  std::vector<int32_t> args;
  const std::string list = call.substr(open + 1, call.size() - open - 2);
  if (!trim(list).empty()) {
    size_t begin = 0;
    while (true) {
      const size_t comma = list.find(',', begin);
      int32_t value = 0;
      if (!parse_int(list.substr(begin, comma - begin), value)) {
        host_.raise("Script error: bad integer in: " + line, false);
        return false;
      }
      args.push_back(value);
      if (comma == std::string::npos) break;
      begin = comma + 1;
    }
  }
  return call_script(name, args);
}
