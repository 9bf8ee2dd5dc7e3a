// SPDX-License-Identifier: BSD-2-Clause
#include "frame_cases.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "avs_host.h"
#include "filter_state.h"
#include "vdub_host.h"

using namespace standin_avs;

namespace {

// xorshift32: small, and the same on every compiler.
struct Random {
  uint32_t s;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  int32_t spread(int32_t half) {
    return static_cast<int32_t>(next() % static_cast<uint32_t>(2 * half + 1)) - half;
  }
};

uint8_t clamp_byte(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

uint32_t pixel(int32_t r, int32_t g, int32_t b) {
  return static_cast<uint32_t>(clamp_byte(b)) | static_cast<uint32_t>(clamp_byte(g)) << 8 |
         static_cast<uint32_t>(clamp_byte(r)) << 16;
}

// A colour ramp with noise of the given strength on every channel.
TestPicture noisy_ramp(const std::string& name, int32_t width, int32_t height, uint32_t seed,
                       int32_t noise) {
  TestPicture p{name, width, height, {}};
  p.rgb32.resize(static_cast<size_t>(width) * height);
  Random random{seed};
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int32_t r = 40 + (x * 170) / width + random.spread(noise);
      const int32_t g = 60 + (y * 150) / height + random.spread(noise);
      const int32_t b = 200 - ((x + y) * 150) / (width + height) + random.spread(noise);
      // The fourth byte carries no colour; fill it so that it is seen to be ignored.
      p.rgb32[static_cast<size_t>(y) * width + x] = pixel(r, g, b) | (random.next() & 0xff000000u);
    }
  }
  return p;
}

// Flat areas with hard edges (rings and bars) and mild noise.
TestPicture shapes(const std::string& name, int32_t width, int32_t height, uint32_t seed) {
  TestPicture p{name, width, height, {}};
  p.rgb32.resize(static_cast<size_t>(width) * height);
  Random random{seed};
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int32_t dx = x - width / 2;
      const int32_t dy = y - height / 2;
      const int32_t ring = ((dx * dx + dy * dy) / 97) & 1;
      const int32_t bar = (x / 12) & 1;
      const int32_t r = ring ? 220 : 30;
      const int32_t g = bar ? 180 : 70;
      const int32_t b = (ring ^ bar) ? 250 : 10;
      p.rgb32[static_cast<size_t>(y) * width + x] =
          pixel(r + random.spread(6), g + random.spread(6), b + random.spread(6));
    }
  }
  return p;
}

uint64_t fnv1a(uint64_t h, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    h ^= data[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

constexpr uint64_t kFnvStart = 0xcbf29ce484222325ull;

std::string hex64(uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

// The nine integers of a "Config" call: two thresholds of a plane each.
std::vector<int32_t> packed_pairs(const int32_t (&t)[3][6]) {
  std::vector<int32_t> values;
  for (int p = 0; p < 3; ++p) {
    for (int k = 0; k < 3; ++k) values.push_back(t[p][2 * k] * 256 + t[p][2 * k + 1]);
  }
  return values;
}

std::string run_vdub_case(VdubHost& host, const TestPicture& picture, const FrameCase& c) {
  VdubInstance instance(host);
  instance.set_frame(picture.width, picture.height);
  instance.init();
  instance.call_script("Config", packed_pairs(c.thresholds));
  zolta::FilterState& state = *static_cast<zolta::FilterState*>(instance.data());
  state.mode = c.mode;
  state.enabled = c.enabled;
  state.show_plane = c.show_plane;
  state.plane = c.plane;
  instance.load_source(picture.rgb32.data());
  instance.start();
  instance.run();
  uint64_t hash = kFnvStart;
  for (int32_t y = 0; y < picture.height; ++y) {
    hash = fnv1a(hash, reinterpret_cast<const uint8_t*>(instance.dest_row(y)),
                 static_cast<size_t>(picture.width) * 4);
  }
  instance.end();
  return hex64(hash);
}

std::string run_avs_case(AvsEnvironment& env, const TestPicture& picture, const FrameCase& c,
                         const std::string& settings_path) {
  std::FILE* f = std::fopen(settings_path.c_str(), "wb");
  if (!f) return "cannot write " + settings_path;
  std::fprintf(f, "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\n");
  std::fprintf(f, "VirtualDub.video.filters.instance[0].Config(");
  const std::vector<int32_t> values = packed_pairs(c.thresholds);
  for (size_t i = 0; i < values.size(); ++i) std::fprintf(f, i ? ", %d" : "%d", values[i]);
  std::fprintf(f, ");\n");
  std::fclose(f);

  const VideoInfo vi = make_video_info(picture.width, picture.height, kPixelYUY2, 1);
  MemoryClip* source = new MemoryClip(env, vi, nullptr, picture.width * 2 + 32);
  source->set_frames({yuy2_from_rgb32(picture)});
  const PClip source_handle(source);
  const AVSValue result = env.call_with_clip("ZOLTA", source_handle, settings_path.c_str());
  const PClip filter = result.AsClip();
  if (!filter) return "ZOLTA gave no clip";
  const PVideoFrame frame = filter->GetFrame(0, &env);
  uint64_t hash = kFnvStart;
  for (int32_t y = 0; y < picture.height; ++y) {
    hash = fnv1a(hash, frame->GetReadPtr() + static_cast<ptrdiff_t>(y) * frame->GetPitch(),
                 static_cast<size_t>(picture.width) * 2);
  }
  return hex64(hash);
}

}  // namespace

std::vector<TestPicture> test_pictures(const std::vector<uint32_t>* photo) {
  std::vector<TestPicture> pictures;
  pictures.push_back(noisy_ramp("noise-64x48", 64, 48, 12345, 40));
  pictures.push_back(shapes("shapes-96x64", 96, 64, 777));
  // Lines longer than the denoiser keeps on its stack, in both directions.
  pictures.push_back(noisy_ramp("wide-3232x16", 3232, 16, 99, 24));
  pictures.push_back(noisy_ramp("tall-16x3232", 16, 3232, 98, 24));
  if (photo && photo->size() == 512u * 512u) {
    pictures.push_back(TestPicture{"photo-512x512", 512, 512, *photo});
  }
  return pictures;
}

std::vector<FrameCase> frame_cases(const std::vector<TestPicture>& pictures) {
  std::vector<FrameCase> cases;
  auto add = [&](const std::string& what, bool yuy2, size_t picture) -> FrameCase& {
    FrameCase c;
    c.name = std::string(yuy2 ? "yuy2/" : "rgb32/") + pictures[picture].name + "/" + what;
    c.yuy2 = yuy2;
    c.picture = picture;
    cases.push_back(c);
    return cases.back();
  };
  auto mixed = [](FrameCase& c) -> FrameCase& {
    for (int p = 0; p < 3; ++p) {
      for (int i = 0; i < 6; ++i) c.thresholds[p][i] = 8 + (13 * (p * 6 + i)) % 200;
    }
    return c;
  };
  const char* const level_names[6] = {"X0", "Y0", "X1", "Y1", "X2", "Y2"};
  const char* const plane_names[3] = {"Y", "Cb", "Cr"};

  for (size_t pic = 0; pic < pictures.size(); ++pic) {
    for (bool yuy2 : {false, true}) {
      add("off", yuy2, pic);
      mixed(add("mixed", yuy2, pic));
    }
    mixed(add("mixed-diff", false, pic)).mode = zolta::Diff;
  }
  // Every mode and view on the small pictures and the photograph; the long
  // lines get the detail view of Y only.
  for (size_t pic = 0; pic < pictures.size(); ++pic) {
    if (pictures[pic].width > 1000 || pictures[pic].height > 1000) {
      mixed(add("high-Y", false, pic)).mode = zolta::High;
      continue;
    }
    for (int32_t plane = 0; plane < 3; ++plane) {
      const std::string p = plane_names[plane];
      FrameCase& high = mixed(add("high-" + p, false, pic));
      high.mode = zolta::High;
      high.plane = plane;
      FrameCase& view = mixed(add("view-" + p, false, pic));
      view.show_plane = 1;
      view.plane = plane;
    }
    // The difference view wins over the single-plane view.
    FrameCase& diff_view = mixed(add("diff-view-Cr", false, pic));
    diff_view.mode = zolta::Diff;
    diff_view.show_plane = 1;
    diff_view.plane = 2;
    FrameCase& off = mixed(add("disabled", false, pic));
    off.enabled = 0;
    off.mode = zolta::Diff;
  }
  // Each of the eighteen levels on its own, in both formats.
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < 6; ++i) {
      const std::string what = std::string("level-") + plane_names[p] + "-" + level_names[i];
      add(what, false, 1).thresholds[p][i] = 48;
      add(what, true, 0).thresholds[p][i] = 48;
    }
  }
  for (bool yuy2 : {false, true}) {
    FrameCase& full = add("all-255", yuy2, 0);
    for (auto& plane : full.thresholds) {
      for (int32_t& t : plane) t = 255;
    }
  }
  return cases;
}

std::vector<uint8_t> yuy2_from_rgb32(const TestPicture& picture) {
  std::vector<uint8_t> out(static_cast<size_t>(picture.width) * picture.height * 2);
  for (int32_t y = 0; y < picture.height; ++y) {
    for (int32_t x = 0; x < picture.width; x += 2) {
      int32_t lum[2];
      int32_t cb = 0;
      int32_t cr = 0;
      for (int k = 0; k < 2; ++k) {
        const uint32_t v = picture.rgb32[static_cast<size_t>(y) * picture.width + x + k];
        const int32_t b = v & 255;
        const int32_t g = (v >> 8) & 255;
        const int32_t r = (v >> 16) & 255;
        lum[k] = (77 * r + 150 * g + 29 * b + 128) >> 8;
        cb += ((-43 * r - 85 * g + 128 * b + 128) >> 8) + 128;
        cr += ((128 * r - 107 * g - 21 * b + 128) >> 8) + 128;
      }
      uint8_t* q = &out[(static_cast<size_t>(y) * picture.width + x) * 2];
      q[0] = clamp_byte(lum[0]);
      q[1] = clamp_byte(cb / 2);
      q[2] = clamp_byte(lum[1]);
      q[3] = clamp_byte(cr / 2);
    }
  }
  return out;
}

std::string digest_bytes(const uint8_t* data, size_t size) {
  return hex64(fnv1a(kFnvStart, data, size));
}

bool run_frame_cases(const LoadedLibrary& library, const std::vector<TestPicture>& pictures,
                     const std::vector<FrameCase>& cases, const std::string& work_dir,
                     std::vector<FrameDigest>& digests, std::string& error) {
  digests.clear();
  if (!library.vdub_init || !library.vdub_deinit || !library.avs_init) {
    error = "the library is not loaded";
    return false;
  }
  VdubHost host(reinterpret_cast<VdubInitEntry>(library.vdub_init),
                reinterpret_cast<VdubDeinitEntry>(library.vdub_deinit),
                static_cast<standin_vdub::InstanceHandle>(library.handle));
  if (host.load() != 0) {
    error = "VirtualdubFilterModuleInit2 refused to register the filter";
    return false;
  }
  AvsEnvironment env;
  env.load_plugin(reinterpret_cast<PluginInitFunc>(library.avs_init));
  const std::string settings_path = work_dir + "/frame-case.vcf";
  for (const FrameCase& c : cases) {
    if (c.picture >= pictures.size()) {
      error = c.name + ": no such picture";
      return false;
    }
    const TestPicture& picture = pictures[c.picture];
    const std::string digest =
        c.yuy2 ? run_avs_case(env, picture, c, settings_path) : run_vdub_case(host, picture, c);
    if (digest.size() != 16) {
      error = c.name + ": " + digest;
      return false;
    }
    digests.push_back({c.name, digest});
  }
  std::remove(settings_path.c_str());
  host.unload();
  return true;
}

std::string format_digests(const std::vector<FrameDigest>& digests) {
  std::string text;
  for (const FrameDigest& d : digests) text += d.name + " " + d.digest + "\n";
  return text;
}

bool parse_digests(const std::string& text, std::vector<FrameDigest>& digests) {
  digests.clear();
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const size_t space = line.find(' ');
    if (space == std::string::npos || line.size() - space - 1 != 16) return false;
    digests.push_back({line.substr(0, space), line.substr(space + 1)});
  }
  return true;
}

bool write_words(const std::string& path, const std::vector<uint32_t>& words) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::vector<uint8_t> bytes(words.size() * 4);
  for (size_t i = 0; i < words.size(); ++i) {
    for (int k = 0; k < 4; ++k) bytes[4 * i + k] = static_cast<uint8_t>(words[i] >> (8 * k));
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool read_words(const std::string& path, std::vector<uint32_t>& words) {
  words.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t b[4];
  while (std::fread(b, 1, 4, f) == 4) {
    words.push_back(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                    static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
  }
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}
