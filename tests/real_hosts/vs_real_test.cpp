// SPDX-License-Identifier: BSD-2-Clause
// zolta-plugin in a real VapourSynth core, through the interface as the
// stand-in core declares it from the host's facts (API 4.0, which every
// release takes): the core library opened as a program linked against it opens it
// (global scope), the module loaded from the user's plugin folder at start-up
// (R55, R65: named in vapoursynth.conf; R77: VAPOURSYNTH_EXTRA_PLUGIN_PATH) and with
// std.LoadPlugin. Every format the face takes, through every way of giving
// the settings, with frames asked for one by one and all at once on the
// core's threads: every output frame equals the library's own output for the
// core's source frames, with the source frame's properties. Refusals come
// back as the face's messages. The cases of one release run in a child
// process, so that a crash of the core names the release.
//
//   zolta_real_vs_<release> CORE_LIBRARY PLUGIN_MODULE RELEASE
#include <dlfcn.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "library_frames.h"
#include "release_run.h"
#include "vs_declarations.h"

using namespace standin_vs;
#define VS_CC STANDIN_VS_CC

namespace {

const VSAPI* g_vs = nullptr;

struct Format {
  int color, sample, bits, ssw, ssh;
  int family;
};

// Every format the face takes: gray, YUV 4:4:4, 4:2:2, 4:2:0, 4:1:1 and RGB at
// every integer depth the engine takes and as float.
std::vector<Format> formats() {
  struct Kind {
    int color, ssw, ssh, family;
  };
  const Kind kinds[] = {
      {cfGray, 0, 0, ZOLTA_FAMILY_GRAY},  {cfYUV, 0, 0, ZOLTA_FAMILY_YUV444},
      {cfYUV, 1, 0, ZOLTA_FAMILY_YUV422}, {cfYUV, 1, 1, ZOLTA_FAMILY_YUV420},
      {cfYUV, 2, 0, ZOLTA_FAMILY_YUV411}, {cfRGB, 0, 0, ZOLTA_FAMILY_RGB},
  };
  const int depths[] = {8, 9, 10, 12, 14, 16, 32};
  std::vector<Format> all;
  for (const Kind& k : kinds)
    for (int bits : depths)
      all.push_back({k.color, bits == 32 ? stFloat : stInteger, bits, k.ssw, k.ssh, k.family});
  return all;
}

constexpr int kWidth = 64, kHeight = 48, kFrames = 5;
const char kFrameKey[] = "ZoltaRealFrame";

zolta_stream stream_of(const Format& f) {
  zolta_stream s = {};
  s.version = ZOLTA_API_VERSION;
  s.family = f.family;
  s.sample = f.sample == stFloat ? ZOLTA_SAMPLE_FLOAT : ZOLTA_SAMPLE_INTEGER;
  s.bits = f.bits;
  s.width = kWidth;
  s.height = kHeight;
  return s;
}

zolta_frame frame_view(const zolta_stream& stream, const VSFrame* frame) {
  zolta_frame z;
  zolta_frame_default(&z, ZOLTA_API_VERSION);
  for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
    z.data[p] = const_cast<uint8_t*>(g_vs->getReadPtr(frame, p));
    z.stride[p] = g_vs->getStride(frame, p);
  }
  return z;
}

// ---- the source --------------------------------------------------------------------------

struct Source {
  VSVideoInfo vi;
  zolta_stream stream;
};

const VSFrame* VS_CC source_frame(int n, int reason, void* data, void**, VSFrameContext*,
                                  VSCore* core, const VSAPI* vsapi) {
  if (reason != arInitial) return nullptr;
  const Source* s = static_cast<const Source*>(data);
  VSFrame* frame = vsapi->newVideoFrame(&s->vi.format, kWidth, kHeight, nullptr, core);
  for (int p = 0; p < s->vi.format.numPlanes; ++p) {
    fill_source_plane(s->stream, n, p, vsapi->getWritePtr(frame, p), vsapi->getStride(frame, p));
  }
  vsapi->mapSetInt(vsapi->getFramePropertiesRW(frame), kFrameKey, n, maReplace);
  return frame;
}

void VS_CC source_free(void* data, VSCore*, const VSAPI*) {
  delete static_cast<Source*>(data);
}

VSNode* make_source(VSCore* core, const Format& f, std::string& error) {
  Source* s = new Source;
  s->vi = {};
  if (!g_vs->queryVideoFormat(&s->vi.format, f.color, f.sample, f.bits, f.ssw, f.ssh, core)) {
    delete s;
    error = "the core has no such format";
    return nullptr;
  }
  s->vi.fpsNum = 25;
  s->vi.fpsDen = 1;
  s->vi.width = kWidth;
  s->vi.height = kHeight;
  s->vi.numFrames = kFrames;
  s->stream = stream_of(f);
  return g_vs->createVideoFilter2("ZoltaRealSource", &s->vi, source_frame, source_free, fmParallel,
                                  nullptr, 0, s, core);
}

std::string format_name(const Format& f, VSCore* core) {
  VSVideoFormat vf;
  char name[64] = "?";
  if (g_vs->queryVideoFormat(&vf, f.color, f.sample, f.bits, f.ssw, f.ssh, core)) {
    g_vs->getVideoFormatName(&vf, name);
  }
  return name;
}

// ---- calls and frames --------------------------------------------------------------------

void set_way(VSMap* args, Way way, const std::string& vcf) {
  int32_t packed[9], thresholds[18];
  config_values(packed);
  threshold_values(thresholds);
  int64_t values[18];
  switch (way) {
    case Way::kConfig:
    case Way::kConfigAsText:
      for (int i = 0; i < 9; ++i) values[i] = packed[i];
      g_vs->mapSetIntArray(args, "config", values, 9);
      break;
    case Way::kConfigText:
      g_vs->mapSetData(args, "config_text", kConfigTextValue, -1, dtUtf8, maReplace);
      break;
    case Way::kVcf:
      g_vs->mapSetData(args, "vcf", vcf.c_str(), -1, dtUtf8, maReplace);
      break;
    case Way::kThresholds:
      for (int i = 0; i < 18; ++i) values[i] = thresholds[i];
      g_vs->mapSetIntArray(args, "thresholds", values, 18);
      break;
    case Way::kSigma:
    case Way::kTemporal1:
    case Way::kTemporal2:
      g_vs->mapSetFloat(args, "sigma", kSigmaValue, maReplace);
      if (way_radius(way) > 0) g_vs->mapSetInt(args, "temporal", way_radius(way), maReplace);
      break;
    case Way::kProfile:
      g_vs->mapSetData(args, "profile", profile_path(vcf).c_str(), -1, dtUtf8, maReplace);
      break;
    case Way::kSigmaAuto:
      g_vs->mapSetInt(args, "sigma_auto", 1, maReplace);
      break;
  }
}

// zolta.Denoise(clip, ...): the node, or null with the core's message.
VSNode* denoise(VSCore* core, VSNode* clip, VSMap* args, std::string& error) {
  VSPlugin* plugin = g_vs->getPluginByNamespace("zolta", core);
  if (!plugin) {
    error = "no plugin of namespace zolta is loaded";
    return nullptr;
  }
  g_vs->mapSetNode(args, "clip", clip, maReplace);
  VSMap* out = g_vs->invoke(plugin, "Denoise", args);
  VSNode* node = nullptr;
  if (g_vs->mapGetError(out)) {
    error = g_vs->mapGetError(out);
  } else {
    node = g_vs->mapGetNode(out, "clip", 0, nullptr);
  }
  g_vs->freeMap(out);
  return node;
}

struct Frames {
  std::vector<const VSFrame*> frames = std::vector<const VSFrame*>(kFrames, nullptr);
  std::string error;
  std::mutex lock;
  std::condition_variable done;
  int left = kFrames;
  ~Frames() {
    for (const VSFrame* f : frames) g_vs->freeFrame(f);
  }
};

void VS_CC frame_done(void* data, const VSFrame* f, int n, VSNode*, const char* message) {
  Frames* frames = static_cast<Frames*>(data);
  std::lock_guard<std::mutex> guard(frames->lock);
  frames->frames[static_cast<size_t>(n)] = f;
  if (!f && frames->error.empty()) frames->error = message ? message : "no frame";
  if (--frames->left == 0) frames->done.notify_all();
}

// All frames: one by one, or asked for at once on the core's threads.
void get_frames(VSNode* node, bool at_once, Frames& out) {
  if (at_once) {
    for (int n = 0; n < kFrames; ++n) g_vs->getFrameAsync(n, node, frame_done, &out);
    std::unique_lock<std::mutex> guard(out.lock);
    out.done.wait(guard, [&] { return out.left == 0; });
    return;
  }
  char message[512];
  for (int n = 0; n < kFrames && out.error.empty(); ++n) {
    message[0] = '\0';
    out.frames[static_cast<size_t>(n)] = g_vs->getFrame(n, node, message, sizeof message);
    if (!out.frames[static_cast<size_t>(n)]) out.error = message;
  }
}

std::string run_case(VSCore* core, const Format& f, const WayCase& w, const std::string& vcf) {
  std::string failure;
  VSNode* source = make_source(core, f, failure);
  if (!source) return failure;
  VSMap* args = g_vs->createMap();
  set_way(args, w.way, vcf);
  VSNode* node = denoise(core, source, args, failure);
  g_vs->freeMap(args);
  if (node) {
    Frames in, out;
    get_frames(source, false, in);
    get_frames(node, w.threads, out);
    failure = !in.error.empty() ? "source: " + in.error : out.error;
    if (failure.empty()) {
      const zolta_stream stream = stream_of(f);
      std::vector<zolta_frame> inputs;
      for (const VSFrame* frame : in.frames) inputs.push_back(frame_view(stream, frame));
      const std::vector<Planes> want = library_output(stream, w.way, inputs, failure);
      for (int n = 0; n < kFrames && failure.empty(); ++n) {
        const VSFrame* frame = out.frames[static_cast<size_t>(n)];
        int error = 0;
        const int64_t kept =
            g_vs->mapGetInt(g_vs->getFramePropertiesRO(frame), kFrameKey, 0, &error);
        failure =
            frame_failure(n, want[static_cast<size_t>(n)],
                          compact(stream, frame_view(stream, frame)), error == 0 && kept == n);
      }
    }
    g_vs->freeNode(node);
  }
  g_vs->freeNode(source);
  return failure;
}

struct Refusal {
  const char* name;
  void (*arguments)(VSMap* args);
  const char* message;  // what the core's error must begin with
};

void set_ints(VSMap* args, const char* key, int64_t first, int count) {
  std::vector<int64_t> v(static_cast<size_t>(count), 1);
  v[0] = first;
  g_vs->mapSetIntArray(args, key, v.data(), count);
}

const Refusal kRefusals[] = {
    {"no settings", [](VSMap*) {},
     "Denoise: give the settings in exactly one way: config, config_text, vcf, sigma, thresholds, "
     "profile or sigma_auto (0 given)"},
    {"two ways",
     [](VSMap* a) {
       g_vs->mapSetFloat(a, "sigma", 2, maReplace);
       set_ints(a, "config", 1, 9);
     },
     "Denoise: give the settings in exactly one way: config, config_text, vcf, sigma, thresholds, "
     "profile or sigma_auto (2 given)"},
    {"config of eight", [](VSMap* a) { set_ints(a, "config", 1, 8); },
     "Denoise: config takes nine integers, not 8"},
    {"threshold out of range", [](VSMap* a) { set_ints(a, "thresholds", 70000, 18); },
     "Denoise: thresholds value 1 (70000) is outside 0..4095"},
    {"bad config_text",
     [](VSMap* a) { g_vs->mapSetData(a, "config_text", "Konfig", -1, dtUtf8, maReplace); },
     "Denoise: "},
    {"missing vcf",
     [](VSMap* a) { g_vs->mapSetData(a, "vcf", "/nonexistent/zolta.vcf", -1, dtUtf8, maReplace); },
     "Denoise: "},
    {"temporal without sigma",
     [](VSMap* a) {
       g_vs->mapSetData(a, "config_text", kConfigTextValue, -1, dtUtf8, maReplace);
       g_vs->mapSetInt(a, "temporal", 1, maReplace);
     },
     "Denoise: temporal takes its thresholds from the noise: give sigma, sigma_auto or profile"},
    {"temporal out of range",
     [](VSMap* a) {
       g_vs->mapSetFloat(a, "sigma", 2, maReplace);
       g_vs->mapSetInt(a, "temporal", 3, maReplace);
     },
     "Denoise: temporal must be 0, 1 or 2"},
};

std::string refusal_case(VSCore* core, const Format& f, void (*arguments)(VSMap*),
                         const std::string& message) {
  std::string error;
  VSNode* source = make_source(core, f, error);
  if (!source) return error;
  VSMap* args = g_vs->createMap();
  arguments(args);
  VSNode* node = denoise(core, source, args, error);
  g_vs->freeMap(args);
  g_vs->freeNode(source);
  if (node) g_vs->freeNode(node);
  return refusal_failure(node ? std::string() : error, message);
}

// A core with the module found at start-up, or loaded by std.LoadPlugin.
VSCore* new_core(bool autoload, const std::string& plugin, std::string& error) {
  VSCore* core = g_vs->createCore(autoload ? 0 : ccfDisableAutoLoading);
  if (!core) {
    error = "no core";
    return nullptr;
  }
  g_vs->setThreadCount(2, core);
  if (autoload) return core;
  VSMap* args = g_vs->createMap();
  g_vs->mapSetData(args, "path", plugin.c_str(), -1, dtUtf8, maReplace);
  VSMap* out = g_vs->invoke(g_vs->getPluginByNamespace("std", core), "LoadPlugin", args);
  if (g_vs->mapGetError(out)) error = g_vs->mapGetError(out);
  g_vs->freeMap(out);
  g_vs->freeMap(args);
  return core;
}

void run_release(ReleaseRun& run, const char* core_path, const char* plugin_path) {
  const std::string home = private_home();
  const std::string vcf = home + "/zolta.vcf";
  run.check("write a settings file",
            write_vcf(vcf) && write_profile(vcf) ? "" : "cannot write " + vcf);
  run.begin("open the core library");
  void* library = dlopen(core_path, RTLD_NOW | RTLD_GLOBAL);
  typedef const VSAPI*(VS_CC * GetApi)(int version);
  GetApi get_api =
      library ? reinterpret_cast<GetApi>(dlsym(library, "getVapourSynthAPI")) : nullptr;
  g_vs = get_api ? get_api(kApi40) : nullptr;
  run.end(g_vs ? "" : library ? "no API " + std::to_string(kApi40) : dlerror());
  if (!g_vs) return;
  const std::vector<Format> all = formats();
  const WayCase& first = kWayCases[0];
  // Autoloading: the module in a folder of its own, named in vapoursynth.conf
  // (the system folder, compiled into the core, turned to an empty one) or in
  // the environment, as the release reads it.
  const std::string user_dir = home + "/plugins", system_dir = home + "/system-plugins";
  mkdir((home + "/.config").c_str(), 0700);
  mkdir((home + "/.config/vapoursynth").c_str(), 0700);
  mkdir(user_dir.c_str(), 0700);
  mkdir(system_dir.c_str(), 0700);
  const bool placed =
      copy_file(plugin_path, user_dir + "/libzolta_plugin.so") &&
      write_text(home + "/.config/vapoursynth/vapoursynth.conf",
                 "UserPluginDir=" + user_dir + "\nSystemPluginDir=" + system_dir + "\n");
  {
    // R55 and R65 read the folders from vapoursynth.conf; R77 no longer does,
    // but reads VAPOURSYNTH_EXTRA_PLUGIN_PATH (and the plugins folder beside
    // the core library), which R55 and R65 do not.
#if ZOLTA_VS_RELEASE <= 65
    run.begin("autoload from UserPluginDir");
#else
    run.begin("autoload from VAPOURSYNTH_EXTRA_PLUGIN_PATH");
    setenv("VAPOURSYNTH_EXTRA_PLUGIN_PATH", user_dir.c_str(), 1);
#endif
    std::string failure = placed ? "" : "cannot place the module and vapoursynth.conf";
    VSCore* core = failure.empty() ? new_core(true, plugin_path, failure) : nullptr;
    if (core) {
      if (failure.empty()) failure = run_case(core, all[3 * 7], first, vcf);
      g_vs->freeCore(core);
    }
    unsetenv("VAPOURSYNTH_EXTRA_PLUGIN_PATH");
    run.end(failure);
  }
  std::string error;
  VSCore* core = new_core(false, plugin_path, error);
  run.check("std.LoadPlugin", error);
  if (!core || !error.empty()) return;
  for (const Format& f : all) {
    for (int w = 0; w < kWayCaseCount; ++w) {
      // VapourSynth's config takes integers only.
      if (kWayCases[w].way == Way::kConfigAsText) continue;
      run.begin(format_name(f, core) + " / " + kWayCases[w].name);
      run.end(run_case(core, f, kWayCases[w], vcf));
    }
  }
  for (const Refusal& r : kRefusals) {
    run.begin(std::string("refused: ") + r.name);
    run.end(refusal_case(core, all[3 * 7], r.arguments, r.message));
  }
  run.begin("refused: a format the face does not take (11-bit)");
  run.end(refusal_case(
      core, Format{cfYUV, stInteger, 11, 0, 0, ZOLTA_FAMILY_YUV444},
      [](VSMap* a) { g_vs->mapSetFloat(a, "sigma", 2, maReplace); }, "Denoise: "));
  g_vs->freeCore(core);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s CORE_LIBRARY PLUGIN_MODULE RELEASE\n", argv[0]);
    return 2;
  }
  ReleaseRun run(std::string("VapourSynth ") + argv[3]);
  return run.run([&](ReleaseRun& r) { run_release(r, argv[1], argv[2]); });
}
