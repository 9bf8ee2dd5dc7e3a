// SPDX-License-Identifier: BSD-2-Clause
// Every instruction-set path of the engine against its plain path, on frames
// the fuzzer shapes: both faces (VirtualDub RGB32, AviSynth YUY2), sizes,
// source pitches and row order, picture content, the eighteen thresholds
// (out-of-range ones included, as the script can store them) and the views.
// Each path the processor has runs the same frame through the face; any byte
// that differs from the plain path's output stops the run with the case.
//
// Input: a header of 40 bytes (flags, width, height, pitch padding, nine
// 32-bit Config values, content kind and seed), then content bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "avs_host.h"
#include "dsp.h"
#include "filter_module.h"
#include "filter_state.h"
#include "plugin.h"
#include "vdub_host.h"

using namespace zolta;

namespace {

struct FrameCase {
  bool yuy2 = false;
  bool bottom_up = false;  // VirtualDub source stored bottom-up (negative pitch)
  int32_t mode = 0;        // VirtualDub views
  int32_t plane = 0;
  int32_t show_plane = 0;
  int32_t enabled = 1;
  int32_t width = 8;
  int32_t height = 8;
  int32_t pad_words = 0;  // source row padding, in 32-bit words
  int32_t config[9] = {};
  std::vector<uint32_t> source;  // width words (RGB32) or width / 2 words (YUY2) per row

  std::string describe() const {
    char text[256];
    std::string config;
    for (int i = 0; i < 9; ++i) config += (i ? ", " : "") + std::to_string(this->config[i]);
    if (yuy2) {
      std::snprintf(text, sizeof text, "YUY2 %dx%d, pitch padded by %d words, Config(%s)", width,
                    height, pad_words, config.c_str());
    } else {
      std::snprintf(text, sizeof text,
                    "RGB32 %dx%d, pitch padded by %d words%s, mode %d plane %d show_plane %d "
                    "enabled %d, Config(%s)",
                    width, height, pad_words, bottom_up ? ", bottom-up" : "", mode, plane,
                    show_plane, enabled, config.c_str());
    }
    return text;
  }
};

uint32_t next(uint32_t& s) {
  s ^= s << 13;
  s ^= s >> 17;
  s ^= s << 5;
  return s;
}

FrameCase decode(const uint8_t* data, size_t size) {
  FrameCase c;
  uint8_t header[40] = {};
  std::memcpy(header, data, size < sizeof header ? size : sizeof header);
  const uint8_t flags = header[0];
  c.yuy2 = flags & 1;
  c.bottom_up = (flags >> 1) & 1;
  c.mode = ((flags >> 2) & 3) % 3;
  c.plane = ((flags >> 4) & 3) % 3;
  c.show_plane = (flags >> 6) & 1;
  c.enabled = (flags >> 7) ? 0 : 1;
  c.width = 8 * (1 + header[1] % 24);
  c.height = 8 * (1 + header[2] % 16);
  c.pad_words = header[3] % 16;
  for (int i = 0; i < 9; ++i) std::memcpy(&c.config[i], header + 4 + 4 * i, 4);

  // Content: the fuzzer's own bytes, noise, a ramp with noise, or extremes.
  const uint8_t* content = size > sizeof header ? data + sizeof header : nullptr;
  const size_t content_size = content ? size - sizeof header : 0;
  uint32_t seed = 0x9e3779b9u;
  for (size_t i = 0; i < size; ++i) seed = (seed ^ data[i]) * 16777619u;
  if (seed == 0) seed = 1;
  const int kind = content_size == 0 ? 1 : (content[0] & 3);
  const size_t words = static_cast<size_t>(c.yuy2 ? c.width / 2 : c.width) * c.height;
  c.source.resize(words);
  for (size_t i = 0; i < words; ++i) {
    uint32_t w = 0;
    for (int b = 0; b < 4; ++b) {
      const size_t at = 4 * i + b;
      uint32_t v = 0;
      switch (kind) {
        case 0:
          v = content[at % content_size];
          break;
        case 1:
          v = next(seed) & 255;
          break;
        case 2:
          v = ((at / 4) % static_cast<size_t>(c.width) * 3 + (next(seed) & 15)) & 255;
          break;
        default:
          v = (next(seed) & 1) ? 255 : 0;
          break;
      }
      w |= v << (8 * b);
    }
    // RGB32 pictures leave the fourth byte alone; keep it varied all the same.
    c.source[i] = w;
  }
  return c;
}

std::string config_call(const FrameCase& c) {
  std::string call = "Config(";
  for (int i = 0; i < 9; ++i) call += (i ? ", " : "") + std::to_string(c.config[i]);
  return call + ")";
}

// The destination bytes of the VirtualDub face.
std::vector<uint8_t> run_rgb32(const FrameCase& c) {
  // The face's entries as the host takes them: addresses.
  VdubHost host(reinterpret_cast<VdubInitEntry>(&VirtualdubFilterModuleInit2),
                reinterpret_cast<VdubDeinitEntry>(&VirtualdubFilterModuleDeinit));
  if (host.load() != 0) std::abort();
  VdubInstance instance(host);
  instance.set_frame(c.width, c.height,
                     c.bottom_up ? VdubRowOrder::BottomUp : VdubRowOrder::TopDown, c.pad_words);
  instance.init();
  if (!instance.run_script(config_call(c))) std::abort();
  FilterState& state = *static_cast<FilterState*>(instance.data());
  state.mode = c.mode;
  state.plane = c.plane;
  state.show_plane = c.show_plane;
  state.enabled = c.enabled;
  instance.load_source(c.source.data());
  instance.start();
  instance.run();
  std::vector<uint8_t> out(static_cast<size_t>(c.width) * c.height * 4);
  for (int32_t y = 0; y < c.height; ++y) {
    std::memcpy(&out[static_cast<size_t>(y) * c.width * 4], instance.dest_row(y),
                static_cast<size_t>(c.width) * 4);
  }
  instance.end();
  return out;
}

// The settings file the AviSynth face reads, one per process, there only
// while a case runs.
const std::string& settings_path() {
  static const std::string path = "/tmp/zolta-simd-paths-fuzz-" + std::to_string(getpid()) + ".vcf";
  return path;
}

// The frame bytes of the AviSynth face.
std::vector<uint8_t> run_yuy2(const FrameCase& c) {
  const int row_size = c.width * 2;
  std::vector<uint8_t> frame(
      reinterpret_cast<const uint8_t*>(c.source.data()),
      reinterpret_cast<const uint8_t*>(c.source.data()) + row_size * c.height);
  std::vector<uint8_t> out;
  standin_avs::AvsEnvironment env;
  env.load_plugin(reinterpret_cast<standin_avs::PluginInitFunc>(&AvisynthPluginInit));
  {
    standin_avs::MemoryClip* source = new standin_avs::MemoryClip(
        env, standin_avs::make_video_info(c.width, c.height, standin_avs::kPixelYUY2), nullptr,
        row_size + 4 * c.pad_words);
    source->set_frames({frame});
    standin_avs::PClip clip(source);
    standin_avs::AVSValue result = env.call_with_clip("ZOLTA", clip, settings_path().c_str());
    standin_avs::PVideoFrame made = result.AsClip()->GetFrame(0, &env);
    out.resize(static_cast<size_t>(row_size) * c.height);
    for (int y = 0; y < c.height; ++y) {
      std::memcpy(&out[static_cast<size_t>(y) * row_size],
                  made->GetReadPtr() + y * made->GetPitch(), row_size);
    }
  }
  return out;
}

bool write_settings(const FrameCase& c) {
  std::FILE* f = std::fopen(settings_path().c_str(), "wb");
  if (!f) return false;
  const std::string text =
      "VirtualDub.video.filters.Clear();\n"
      "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\n"
      "VirtualDub.video.filters.instance[0]." +
      config_call(c) + ";\n";
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FrameCase c = decode(data, size);
  if (c.yuy2 && !write_settings(c)) std::abort();

  std::vector<uint8_t> plain;
  for (int p = kSimdPlain; p < kSimdPathCount; ++p) {
    const SimdPath path = static_cast<SimdPath>(p);
    if (select_simd_path(path) != path) continue;  // not on this processor or build
    const std::vector<uint8_t> out = c.yuy2 ? run_yuy2(c) : run_rgb32(c);
    if (path == kSimdPlain) {
      plain = out;
      continue;
    }
    if (out == plain) continue;
    size_t at = 0;
    while (out[at] == plain[at]) ++at;
    const size_t pixel_bytes = c.yuy2 ? 2 : 4;
    std::fprintf(stderr,
                 "the %s path differs from the plain path: %s\n"
                 "first at byte %zu (row %zu, byte %zu of the row): %u, plain %u\n",
                 simd_path_name(path), c.describe().c_str(), at, at / (pixel_bytes * c.width),
                 at % (pixel_bytes * c.width), out[at], plain[at]);
    std::remove(settings_path().c_str());
    std::abort();
  }
  select_simd_path(static_cast<SimdPath>(kSimdPathCount - 1));
  if (c.yuy2) std::remove(settings_path().c_str());
  return 0;
}
