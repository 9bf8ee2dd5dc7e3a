// SPDX-License-Identifier: BSD-2-Clause
// zolta-plugin in a real AviSynth+ release, built for that release's
// interface version (ZOLTA_AVSPLUS_INTERFACE, from its soname) with the
// interface declared in tests/hosts: the host library opened as a program
// linked against it opens it (global scope), an environment of that version, the module found
// by autoloading from the user's plugin folder and loaded with LoadPlugin,
// each as a script would do it. Every format the face takes, through every
// way of giving the settings, alone and under Prefetch: every output frame
// equals the library's own output for the host's source frames, the
// properties of the source frame are kept, RGB32 keeps its alpha. Refusals
// come back as the face's messages. The cases of one release run in a child
// process, so that a crash of the host names the release.
//
//   zolta_real_avsplus_<release> HOST_LIBRARY PLUGIN_MODULE RELEASE [DIGESTS [EXPECTED]]
//
// DIGESTS: a file that receives one line per case, its name and a digest of
// its output frames. EXPECTED: the same file from another build of the host
// (the Windows builds under wine compare with the Linux 3.7.5's): every case
// must be there with the same digest.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#endif

#include "avsplus_declarations.h"
#include "library_frames.h"
#include "release_run.h"

namespace {

// ---- the host's functions, from the library opened --------------------------------------

struct Host {
#define HOST_FUNCTION(name) name##_func name = nullptr;
#define HOST_FUNCTIONS(X)                                                                     \
  X(avs_create_script_environment)                                                            \
  X(avs_delete_script_environment)                                                            \
  X(avs_invoke)                                                                               \
  X(avs_release_value) X(avs_take_clip) X(avs_release_clip) X(avs_clip_get_error)             \
      X(avs_get_video_info) X(avs_get_frame) X(avs_release_video_frame) X(avs_get_read_ptr_p) \
          X(avs_get_write_ptr_p) X(avs_get_pitch_p) X(avs_add_function) X(avs_new_c_filter)   \
              X(avs_new_video_frame_a) X(avs_set_to_clip) X(avs_get_frame_props_ro)           \
                  X(avs_get_frame_props_rw) X(avs_prop_get_int) X(avs_prop_set_int)           \
                      X(avs_get_error)
  HOST_FUNCTIONS(HOST_FUNCTION)
#undef HOST_FUNCTION
};

Host g_host;

bool open_host(const char* path, std::string& error) {
#ifdef _WIN32
  HMODULE library = LoadLibraryA(path);
  if (!library) {
    error = "LoadLibrary failed: " + std::to_string(GetLastError());
    return false;
  }
#define FIND(name) \
  g_host.name =    \
      reinterpret_cast<name##_func>(reinterpret_cast<void (*)()>(GetProcAddress(library, #name)));
#else
  void* library = dlopen(path, RTLD_NOW | RTLD_GLOBAL);
  if (!library) {
    error = dlerror();
    return false;
  }
#define FIND(name) \
  g_host.name = reinterpret_cast<name##_func>(reinterpret_cast<void (*)()>(dlsym(library, #name)));
#endif
  HOST_FUNCTIONS(FIND)
#undef FIND
#define CHECK(name) \
  if (!g_host.name) error += std::string(error.empty() ? "" : ", ") + #name;
  HOST_FUNCTIONS(CHECK)
#undef CHECK
  if (!error.empty()) error = "missing " + error;
  return error.empty();
}

// ---- the formats the face takes ----------------------------------------------------------

struct Format {
  const char* name;
  uint32_t pixel_type;  // the host's (planar, YUV, BGR, sample bits, subsampling)
  int family, sample, bits;
  int ids[3];  // the host's plane of engine plane 0, 1, 2
  bool bottom_up;
};

constexpr int kY = AVS_PLANAR_Y, kU = AVS_PLANAR_U, kV = AVS_PLANAR_V;
constexpr int kR = AVS_PLANAR_R, kG = AVS_PLANAR_G, kB = AVS_PLANAR_B;
constexpr int kI = ZOLTA_SAMPLE_INTEGER, kF = ZOLTA_SAMPLE_FLOAT;

const Format kFormats[] = {
    {"YV12", 0xa0000008, ZOLTA_FAMILY_YUV420, kI, 8, {kY, kU, kV}, false},
    {"I420", 0xa0000010, ZOLTA_FAMILY_YUV420, kI, 8, {kY, kU, kV}, false},
    {"YV16", 0xa0000308, ZOLTA_FAMILY_YUV422, kI, 8, {kY, kU, kV}, false},
    {"YV24", 0xa000030b, ZOLTA_FAMILY_YUV444, kI, 8, {kY, kU, kV}, false},
    {"YV411", 0xa0000309, ZOLTA_FAMILY_YUV411, kI, 8, {kY, kU, kV}, false},
    {"Y8", 0xe0000000, ZOLTA_FAMILY_GRAY, kI, 8, {kY, 0, 0}, false},
    {"Y10", 0xe0050000, ZOLTA_FAMILY_GRAY, kI, 10, {kY, 0, 0}, false},
    {"Y12", 0xe0060000, ZOLTA_FAMILY_GRAY, kI, 12, {kY, 0, 0}, false},
    {"Y14", 0xe0070000, ZOLTA_FAMILY_GRAY, kI, 14, {kY, 0, 0}, false},
    {"Y16", 0xe0010000, ZOLTA_FAMILY_GRAY, kI, 16, {kY, 0, 0}, false},
    {"Y32", 0xe0020000, ZOLTA_FAMILY_GRAY, kF, 32, {kY, 0, 0}, false},
    {"YUV420P10", 0xa0050008, ZOLTA_FAMILY_YUV420, kI, 10, {kY, kU, kV}, false},
    {"YUV420P12", 0xa0060008, ZOLTA_FAMILY_YUV420, kI, 12, {kY, kU, kV}, false},
    {"YUV420P14", 0xa0070008, ZOLTA_FAMILY_YUV420, kI, 14, {kY, kU, kV}, false},
    {"YUV420P16", 0xa0010008, ZOLTA_FAMILY_YUV420, kI, 16, {kY, kU, kV}, false},
    {"YUV420PS", 0xa0020008, ZOLTA_FAMILY_YUV420, kF, 32, {kY, kU, kV}, false},
    {"YUV422P10", 0xa0050308, ZOLTA_FAMILY_YUV422, kI, 10, {kY, kU, kV}, false},
    {"YUV422P12", 0xa0060308, ZOLTA_FAMILY_YUV422, kI, 12, {kY, kU, kV}, false},
    {"YUV422P14", 0xa0070308, ZOLTA_FAMILY_YUV422, kI, 14, {kY, kU, kV}, false},
    {"YUV422P16", 0xa0010308, ZOLTA_FAMILY_YUV422, kI, 16, {kY, kU, kV}, false},
    {"YUV422PS", 0xa0020308, ZOLTA_FAMILY_YUV422, kF, 32, {kY, kU, kV}, false},
    {"YUV444P10", 0xa005030b, ZOLTA_FAMILY_YUV444, kI, 10, {kY, kU, kV}, false},
    {"YUV444P12", 0xa006030b, ZOLTA_FAMILY_YUV444, kI, 12, {kY, kU, kV}, false},
    {"YUV444P14", 0xa007030b, ZOLTA_FAMILY_YUV444, kI, 14, {kY, kU, kV}, false},
    {"YUV444P16", 0xa001030b, ZOLTA_FAMILY_YUV444, kI, 16, {kY, kU, kV}, false},
    {"YUV444PS", 0xa002030b, ZOLTA_FAMILY_YUV444, kF, 32, {kY, kU, kV}, false},
    {"RGBP", 0x90000001, ZOLTA_FAMILY_RGB, kI, 8, {kR, kG, kB}, false},
    {"RGBP10", 0x90050001, ZOLTA_FAMILY_RGB, kI, 10, {kR, kG, kB}, false},
    {"RGBP12", 0x90060001, ZOLTA_FAMILY_RGB, kI, 12, {kR, kG, kB}, false},
    {"RGBP14", 0x90070001, ZOLTA_FAMILY_RGB, kI, 14, {kR, kG, kB}, false},
    {"RGBP16", 0x90010001, ZOLTA_FAMILY_RGB, kI, 16, {kR, kG, kB}, false},
    {"RGBPS", 0x90020001, ZOLTA_FAMILY_RGB, kF, 32, {kR, kG, kB}, false},
    {"YUY2", AVS_CS_YUY2, ZOLTA_FAMILY_YUY2, kI, 8, {0, 0, 0}, false},
    {"RGB32", AVS_CS_BGR32, ZOLTA_FAMILY_RGB32, kI, 8, {0, 0, 0}, true},
};

constexpr int kWidth = 64, kHeight = 48, kFrames = 5;
const char kFrameKey[] = "ZoltaRealFrame";
// 3.7.0 (interface 8) reads the frame given to its C property functions as a
// handle of its own and crashes: frame properties are set and checked from
// 3.7.1 on.
constexpr bool kFrameProperties = ZOLTA_AVSPLUS_INTERFACE >= 9;

zolta_stream stream_of(const Format& f) {
  zolta_stream s = {};
  s.version = ZOLTA_API_VERSION;
  s.family = f.family;
  s.sample = f.sample;
  s.bits = f.bits;
  s.width = kWidth;
  s.height = kHeight;
  return s;
}

// An engine frame over a host frame's planes (RGB32 turned top row first).
zolta_frame frame_view(const Format& f, const AVS_VideoFrame* frame) {
  const zolta_stream stream = stream_of(f);
  zolta_frame z;
  zolta_frame_default(&z, ZOLTA_API_VERSION);
  for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
    const uint8_t* data = g_host.avs_get_read_ptr_p(frame, f.ids[p]);
    ptrdiff_t stride = g_host.avs_get_pitch_p(frame, f.ids[p]);
    if (f.bottom_up) {
      data += (kHeight - 1) * stride;
      stride = -stride;
    }
    z.data[p] = const_cast<uint8_t*>(data);
    z.stride[p] = stride;
  }
  return z;
}

// ---- the source: frames of every format with known content -------------------------------

struct SourceData {
  const Format* format;
};

AVS_VideoFrame* AVSPLUS_CC source_frame(AVS_FilterInfo* fi, int n) {
  const Format& f = *static_cast<SourceData*>(fi->user_data)->format;
  AVS_VideoFrame* frame = g_host.avs_new_video_frame_a(fi->env, &fi->vi, 64);
  if (!frame) return nullptr;
  const zolta_stream stream = stream_of(f);
  for (int p = 0; p < zolta_stream_planes(&stream); ++p) {
    uint8_t* data = g_host.avs_get_write_ptr_p(frame, f.ids[p]);
    ptrdiff_t stride = g_host.avs_get_pitch_p(frame, f.ids[p]);
    if (f.bottom_up) {
      data += (kHeight - 1) * stride;
      stride = -stride;
    }
    fill_source_plane(stream, n, p, data, stride);
  }
  if (kFrameProperties) {
    g_host.avs_prop_set_int(fi->env, g_host.avs_get_frame_props_rw(fi->env, frame), kFrameKey, n,
                            0);
  }
  return frame;
}

int AVSPLUS_CC source_parity(AVS_FilterInfo*, int) {
  return 0;
}
int AVSPLUS_CC source_audio(AVS_FilterInfo*, void*, int64_t, int64_t) {
  return 0;
}
int AVSPLUS_CC source_hints(AVS_FilterInfo*, int hint, int) {
  return hint == AVS_CACHE_GET_MTMODE ? 1 : 0;  // MT_NICE_FILTER
}
void AVSPLUS_CC source_free(AVS_FilterInfo* fi) {
  delete static_cast<SourceData*>(fi->user_data);
}

// ZoltaRealSource(format index)
AVS_Value AVSPLUS_CC source_apply(AVS_ScriptEnvironment* env, AVS_Value args, void*) {
  const int index = args.d.array[0].d.integer;
  AVS_Value none;
  none.type = 'v';
  none.array_size = 0;
  none.d.integer = 0;
  AVS_FilterInfo* fi = nullptr;
  AVS_Clip* clip = g_host.avs_new_c_filter(env, &fi, none, 0);
  const Format* format = &kFormats[index];
  fi->vi.width = kWidth;
  fi->vi.height = kHeight;
  fi->vi.fps_numerator = 25;
  fi->vi.fps_denominator = 1;
  fi->vi.num_frames = kFrames;
  fi->vi.pixel_type = static_cast<int>(format->pixel_type);
  fi->user_data = new SourceData{format};
  fi->get_frame = source_frame;
  fi->get_parity = source_parity;
  fi->get_audio = source_audio;
  fi->set_cache_hints = source_hints;
  fi->free_filter = source_free;
  AVS_Value v;
  g_host.avs_set_to_clip(&v, clip);
  g_host.avs_release_clip(clip);
  return v;
}

// ---- scripts ------------------------------------------------------------------------------

struct Script {
  AVS_Clip* clip = nullptr;
  std::string error;
};

Script run_script(AVS_ScriptEnvironment* env, const std::string& text) {
  AVS_Value arg;
  arg.type = 's';
  arg.array_size = 0;
  arg.d.string = text.c_str();
  const AVS_Value result = g_host.avs_invoke(env, "Eval", arg, nullptr);
  Script s;
  if (result.type == 'e') {
    s.error = result.d.string ? result.d.string : "(no message)";
  } else if (result.type != 'c') {
    s.error = std::string("the script gave a value of type ") + static_cast<char>(result.type);
  } else {
    s.clip = g_host.avs_take_clip(result, env);
  }
  g_host.avs_release_value(result);
  return s;
}

std::string join(const int32_t* values, int n) {
  std::string text = "[";
  for (int i = 0; i < n; ++i) text += (i ? ", " : "") + std::to_string(values[i]);
  return text + "]";
}

std::string way_arguments(Way way, const std::string& vcf) {
  int32_t packed[9], thresholds[18];
  config_values(packed);
  threshold_values(thresholds);
  const std::string sigma = "sigma=" + std::to_string(kSigmaValue);
  switch (way) {
    case Way::kConfig:
      return "config=" + join(packed, 9);
    case Way::kConfigAsText:
      return std::string("config=\"") + kConfigTextValue + "\"";
    case Way::kConfigText:
      return std::string("config_text=\"") + kConfigTextValue + "\"";
    case Way::kVcf:
      return "vcf=\"" + vcf + "\"";
    case Way::kThresholds:
      return "thresholds=" + join(thresholds, 18);
    case Way::kSigma:
      return sigma;
    case Way::kTemporal1:
      return sigma + ", temporal=1";
    case Way::kTemporal2:
      return sigma + ", temporal=2";
    case Way::kProfile:
      return "profile=\"" + profile_path(vcf) + "\"";
    case Way::kSigmaAuto:
      return "sigma_auto=true";
  }
  return std::string();
}

std::string source_call(int format) {
  return "ZoltaRealSource(" + std::to_string(format) + ")";
}

// The frames of a clip, read through engine views of the host's frames.
struct ClipFrames {
  std::vector<AVS_VideoFrame*> frames;
  std::string error;
  ~ClipFrames() {
    for (AVS_VideoFrame* f : frames)
      if (f) g_host.avs_release_video_frame(f);
  }
};

void get_frames(AVS_Clip* clip, ClipFrames& out) {
  for (int n = 0; n < kFrames && out.error.empty(); ++n) {
    AVS_VideoFrame* f = g_host.avs_get_frame(clip, n);
    if (!f) {
      const char* e = g_host.avs_clip_get_error(clip);
      out.error = "frame " + std::to_string(n) + ": " + (e ? e : "no frame and no error");
    }
    out.frames.push_back(f);
  }
}

struct Context {
  AVS_ScriptEnvironment* env;
  std::string load;  // the script's first line: LoadPlugin(...) or nothing
  std::string vcf;
  FILE* digests;
};

// Runs one format through one way: the host's output against the library's.
// `before` and `after`: script lines around ZoltaDenoise that leave the
// pixels alone when it works.
std::string run_case(const Context& c, int format_index, const WayCase& w,
                     const std::string& before = std::string(),
                     const std::string& after = std::string()) {
  const Format& f = kFormats[format_index];
  const zolta_stream stream = stream_of(f);
  const std::string src = source_call(format_index);
  std::string text =
      c.load + src + "\n" + before + "ZoltaDenoise(" + way_arguments(w.way, c.vcf) + ")\n" + after;
  if (w.threads) text += "Prefetch(2)\n";
  Script source = run_script(c.env, src);
  Script denoised = run_script(c.env, text);
  std::string failure = !source.error.empty() ? "source: " + source.error : denoised.error;
  if (failure.empty()) {
    ClipFrames in, out;
    get_frames(source.clip, in);
    get_frames(denoised.clip, out);
    failure = !in.error.empty() ? "source " + in.error : out.error;
    std::vector<Planes> got;
    if (failure.empty()) {
      std::vector<zolta_frame> inputs;
      for (AVS_VideoFrame* frame : in.frames) inputs.push_back(frame_view(f, frame));
      for (AVS_VideoFrame* frame : out.frames) got.push_back(compact(stream, frame_view(f, frame)));
      std::vector<Planes> want = library_output(stream, w.way, inputs, failure);
      for (int n = 0; n < kFrames && failure.empty(); ++n) {
        Planes& expected = want[static_cast<size_t>(n)];
        if (f.family == ZOLTA_FAMILY_RGB32) {
          // The fourth byte is the source's alpha, which the engine leaves.
          const Planes source_planes = compact(stream, inputs[static_cast<size_t>(n)]);
          for (size_t i = 3; i < expected[0].size(); i += 4) expected[0][i] = source_planes[0][i];
        }
        int error = 0;
        const int64_t kept =
            kFrameProperties
                ? g_host.avs_prop_get_int(
                      c.env, g_host.avs_get_frame_props_ro(c.env, out.frames[size_t(n)]), kFrameKey,
                      0, &error)
                : n;
        failure = frame_failure(n, expected, got[size_t(n)], error == 0 && kept == n);
      }
    }
    if (failure.empty() && c.digests) {
      std::fprintf(c.digests, "%s / %s %016llx\n", f.name, w.name,
                   static_cast<unsigned long long>(digest(got)));
    }
  }
  if (source.clip) g_host.avs_release_clip(source.clip);
  if (denoised.clip) g_host.avs_release_clip(denoised.clip);
  return failure;
}

// Refusals, each with the face's message (the host may add where in the
// script it happened).
struct Refusal {
  const char* name;
  const char* format;  // the source's format, or the script call that makes it
  std::string arguments;
  const char* message;  // what the host's error must begin with
};

const Refusal kRefusals[] = {
    {"no settings", "YV12", "",
     "ZoltaDenoise: give the settings in exactly one way: config, "
     "config_text, vcf, sigma, thresholds, profile or sigma_auto (0 given)"},
    {"two ways", "YV12", "sigma=2.0, config_text=\"Config(1,2,3,4,5,6,7,8,9)\"",
     "ZoltaDenoise: give the settings in exactly one way: config, config_text, vcf, sigma, thresholds, "
     "profile or sigma_auto (2 given)"},
    {"config of eight", "YV24", "config=[1, 2, 3, 4, 5, 6, 7, 8]",
     "ZoltaDenoise: config takes nine integers, not 8"},
    {"config of a float", "YV24", "config=1.5", "ZoltaDenoise: config takes"},
    {"config of a bad text", "Y8", "config=\"Config(1, 2)\"", "ZoltaDenoise: "},
    {"bad config_text", "Y8", "config_text=\"Konfig\"", "ZoltaDenoise: "},
    {"missing vcf", "RGBP", "vcf=\"/nonexistent/zolta.vcf\"", "ZoltaDenoise: "},
    {"threshold out of range", "YUY2",
     "thresholds=[70000, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1]",
     "ZoltaDenoise: thresholds value 1 (70000) is outside 0..4095"},
    {"temporal without sigma", "RGB32",
     std::string("config_text=\"") + kConfigTextValue + "\", temporal=1",
     "ZoltaDenoise: temporal takes its thresholds from the noise: give sigma, sigma_auto or "
     "profile"},
    {"temporal out of range", "YV12", "sigma=2.0, temporal=3",
     "ZoltaDenoise: temporal must be 0, 1 or 2"},
    {"a format the face does not take", "BlankClip(pixel_type=\"YUVA420\", width=64, height=48)",
     "sigma=2.0", "ZoltaDenoise: the clip is YUVA420"},
};

int format_index(const char* name) {
  for (size_t i = 0; i < sizeof kFormats / sizeof kFormats[0]; ++i)
    if (std::strcmp(kFormats[i].name, name) == 0) return static_cast<int>(i);
  return 0;
}

std::string refusal_case(const Context& c, const Refusal& r) {
  const std::string source =
      std::strchr(r.format, '(') ? r.format : source_call(format_index(r.format));
  Script s = run_script(c.env, c.load + source + "\nZoltaDenoise(" + r.arguments + ")\n");
  if (s.clip) g_host.avs_release_clip(s.clip);
  return refusal_failure(s.clip ? std::string() : s.error, r.message);
}

// A property set by the script's own functions reaches every output frame
// (in 3.7.0 the only way to see properties: its C functions for them crash).
// A frame that lost it comes out inverted, unlike the library's.
std::string script_property_case(const Context& c) {
  return run_case(c, format_index("YV12"), kWayCases[0], "propSet(\"ZoltaScript\", 42)\n",
                  "ScriptClip(\"\"\"propGetInt(\"ZoltaScript\") == 42 ? last : Invert()\"\"\")\n");
}

AVS_ScriptEnvironment* new_environment(std::string& error) {
  AVS_ScriptEnvironment* env = g_host.avs_create_script_environment(ZOLTA_AVSPLUS_INTERFACE);
  if (!env || g_host.avs_get_error(env)) {
    error = env && g_host.avs_get_error(env) ? g_host.avs_get_error(env) : "no environment";
    return nullptr;
  }
  if (g_host.avs_add_function(env, "ZoltaRealSource", "i", source_apply, nullptr) != 0) {
    error = "the test source could not be registered";
    return nullptr;
  }
  return env;
}

bool make_dir(const std::string& path) {
#ifdef _WIN32
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
#else
  return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
#endif
}

std::set<std::string> lines_of(const char* path) {
  std::set<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.insert(line);
  }
  return lines;
}

// Every case's frames the same as in the other build, by their digests.
std::string compare_digests(const char* made, const char* expected) {
  const std::set<std::string> ours = lines_of(made), theirs = lines_of(expected);
  if (theirs.empty()) return std::string("no digests in ") + expected;
  std::string failure;
  int differ = 0;
  for (const std::string& line : theirs) {
    if (ours.count(line)) continue;
    if (++differ <= 3) failure += (failure.empty() ? "" : "; ") + line.substr(0, line.rfind(' '));
  }
  if (ours.size() != theirs.size() && differ == 0) return "cases that the other build has not";
  if (differ) return std::to_string(differ) + " cases differ or are missing: " + failure;
  return std::string();
}

void run_release(ReleaseRun& run, const char* host_path, const char* plugin_path,
                 const char* digests_path, const char* expected_path) {
  const std::string home = private_home();
  std::string error;
  run.begin("open the host library");
  const bool opened = open_host(host_path, error);
  run.end(error);
  if (!opened) return;
  Context c{nullptr, std::string(), home + "/zolta.vcf", nullptr};
  run.check("write a settings file",
            write_vcf(c.vcf) && write_profile(c.vcf) ? "" : "cannot write " + c.vcf);
  // Autoloading: the module in the user's plugin folder, no LoadPlugin.
  {
#ifdef _WIN32
    // The folder named in the registry; a MinGW-built AviSynth+ (these
    // hosts) reads PluginDir+GCC where the official builds read PluginDir+.
    const std::string folder = home + "\\plugins";
    const std::string module = folder + "\\zolta_plugin.dll";
    run.begin("autoload from HKCU\\Software\\Avisynth PluginDir+GCC");
    HKEY key = nullptr;
    bool placed = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Avisynth", 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS;
    placed = placed && RegSetValueExA(key, "PluginDir+GCC", 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(folder.c_str()),
                                      static_cast<DWORD>(folder.size() + 1)) == ERROR_SUCCESS;
#else
    const std::string folder = home + "/.avisynth";
    const std::string module = folder + "/libzolta_plugin.so";
    run.begin("autoload from ~/.avisynth");
    const bool placed = true;
#endif
    std::string failure;
    if (!placed || !make_dir(folder) || !copy_file(plugin_path, module)) {
      failure = "cannot put the module into " + folder;
    }
    c.env = failure.empty() ? new_environment(failure) : nullptr;
    if (c.env) {
      failure = run_case(c, format_index("YV12"), kWayCases[0]);
      g_host.avs_delete_script_environment(c.env);
    }
#ifdef _WIN32
    if (key) {
      RegDeleteValueA(key, "PluginDir+GCC");
      RegCloseKey(key);
    }
#endif
    run.end(failure);
  }
  c.env = new_environment(error);
  run.check("create an environment of interface " + std::to_string(ZOLTA_AVSPLUS_INTERFACE), error);
  if (!c.env) return;
  c.load = std::string("LoadPlugin(\"") + plugin_path + "\")\n";
  Script loaded = run_script(c.env, c.load + "BlankClip()");
  run.check("LoadPlugin", loaded.error);
  if (loaded.clip) g_host.avs_release_clip(loaded.clip);
  if (!loaded.error.empty()) return;
  c.digests = digests_path ? std::fopen(digests_path, "w") : nullptr;
  for (size_t i = 0; i < sizeof kFormats / sizeof kFormats[0]; ++i) {
    for (int w = 0; w < kWayCaseCount; ++w) {
      run.begin(std::string(kFormats[i].name) + " / " + kWayCases[w].name);
      run.end(run_case(c, static_cast<int>(i), kWayCases[w]));
    }
  }
  for (const Refusal& r : kRefusals) {
    run.begin(std::string("refused: ") + r.name);
    run.end(refusal_case(c, r));
  }
  run.begin("a property set in the script kept");
  run.end(script_property_case(c));
  if (c.digests) std::fclose(c.digests);
  g_host.avs_delete_script_environment(c.env);
  if (digests_path && expected_path) {
    run.check(std::string("every case's frames as in ") + expected_path,
              compare_digests(digests_path, expected_path));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s HOST_LIBRARY PLUGIN_MODULE RELEASE [DIGESTS [EXPECTED]]\n",
                 argv[0]);
    return 2;
  }
  ReleaseRun run(std::string("AviSynth+ ") + argv[3]);
  return run.run([&](ReleaseRun& r) {
    run_release(r, argv[1], argv[2], argc > 4 ? argv[4] : nullptr, argc > 5 ? argv[5] : nullptr);
  });
}
