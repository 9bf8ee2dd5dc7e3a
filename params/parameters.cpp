// SPDX-License-Identifier: BSD-2-Clause
#include "parameters.h"

#include <cstring>

namespace {

constexpr uint32_t kRunFaces = kFaceRun | kFaceDemo;

}  // namespace

// The plugins' rows keep their order (a VapourSynth call may give its
// arguments by position); new ones go to the end of them.
constexpr ParamDef kParams[kParamCount] = {
    // id, name, type, count, min, max, min_excluded, choices, default, help, faces,
    // settings_way, option, letter, value_name, named_value, named_help
    {kParamClip, "clip", ParamType::kClip, 0, 0, 0, false, nullptr, nullptr, "the clip to denoise",
     kFacePlugins, false, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamConfig, "config", ParamType::kIntList, 9, 0, 65535, false, nullptr, nullptr,
     "the nine integers of VirtualDub's Config(...), each two thresholds 0..255 packed as\n"
     "first * 256 + second",
     kFacePlugins, true, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamConfigText, "config_text", ParamType::kText, 0, 0, 0, false, nullptr, nullptr,
     "\"Config(a, b, c, d, e, f, g, h, i)\": nine integers, each two\n"
     "thresholds 0..255 packed as first * 256 + second, for Y, Cb, Cr\n"
     "and levels 0..2 (first along rows, second along columns)",
     kFacePlugins | kFaceRun, true, "config", 0, "TEXT", nullptr, nullptr},
    {kParamVcf, "vcf", ParamType::kText, 0, 0, 0, false, nullptr, nullptr,
     "a VirtualDub processing-settings file holding the filter", kFacePlugins | kFaceRun, true,
     nullptr, 0, "FILE", nullptr, nullptr},
    {kParamSigma, "sigma", ParamType::kFloat, 0, 0, 50, true, nullptr, nullptr,
     "the input's noise, a standard deviation on the 8-bit scale\n"
     "(above 0, at most 50): settings from the library's table",
     kFacePlugins | kFaceRun, true, nullptr, 0, "S", "auto",
     "the same, with the noise measured on the first frames"},
    {kParamView, "view", ParamType::kChoice, 0, 0, 2, false, "normal|high|diff", "normal",
     "denoised picture, amplified detail, amplified difference",
     kFacePlugins | kFaceRun | kFaceEditors | kFaceOfx, false, "mode", 0, nullptr, nullptr,
     nullptr},
    {kParamPlane, "plane", ParamType::kInt, 0, 0, 2, false, nullptr, nullptr,
     "the picture shows this plane (0 Y, 1 Cb, 2 Cr; 0 only on grey clips) as grey; with\n"
     "view \"high\" it is also the plane whose detail is shown",
     kFacePlugins | kFaceEditors | kFaceOfx, false, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamThresholds, "thresholds", ParamType::kIntList, 18, 0, 4095, false, nullptr, nullptr,
     "eighteen integers 0..4095 (v means v/16 on the 8-bit scale, 0\n"
     "turns a level off): Y, Cb, Cr; along rows then along columns;\n"
     "levels 0, 1, 2. E.g. 40,24,8,40,24,8,64,32,0,64,32,0,64,32,0,64,32,0",
     kFacePlugins | kFaceRun | kFaceGStreamer | kFaceOfx, true, nullptr, 0, "LIST", nullptr,
     nullptr},
    {kParamTemporal, "temporal", ParamType::kInt, 0, 0, 2, false, nullptr, "0",
     "each frame also from the R frames before and after it (0, 1\n"
     "or 2; default 0), the stream's ends mirrored: the temporal\n"
     "thresholds follow the noise (--sigma, else as measured)",
     kFacePlugins | kFaceRun | kFaceGStreamer | kFaceOfx, false, nullptr, 0, "R", nullptr,
     nullptr},
    {kParamPluginProfile, "profile", ParamType::kText, 0, 0, 0, false, nullptr, nullptr,
     "a noise profile (zolta-run --estimate --profile-out): the settings\n"
     "of its noise model, the temporal ones too",
     kFacePlugins, true, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamSigmaAuto, "sigma_auto", ParamType::kBool, 0, 0, 1, false, nullptr, nullptr,
     "the settings of the noise measured on the clip's first 8 frames (as\n"
     "zolta-run --sigma auto), the temporal ones too",
     kFacePlugins, true, nullptr, 0, nullptr, nullptr, nullptr},

    // The editors' faces (frei0r, GStreamer): every parameter always has a
    // value there, so the noise level is the default way and a settings text,
    // when given, takes its place.
    {kParamNoise, "sigma", ParamType::kFloat, 0, 0, 50, false, nullptr, "10",
     "the input's noise, a standard deviation on the 8-bit scale (0..50;\n"
     "0: frames pass through): settings from the library's table; unused\n"
     "when a settings text is given",
     kFaceEditors | kFaceOfx, false, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamSettings, "settings", ParamType::kText, 0, 0, 0, false, nullptr, "",
     "\"Config(a, ..., i)\" or eighteen thresholds 0..4095 \"a,b,...\";\n"
     "empty: the settings of sigma",
     kFaceFrei0r | kFaceOfx, true, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamConfigProperty, "config", ParamType::kText, 0, 0, 0, false, nullptr, "",
     "\"Config(a, ..., i)\": VirtualDub's nine integers; empty: not given", kFaceGStreamer, true,
     nullptr, 0, nullptr, nullptr, nullptr},
    {kParamFrameThreads, "threads", ParamType::kInt, 0, 0, 64, false, nullptr, "0",
     "threads that share the work of each frame (0: every core this\n"
     "process may use); the output is the same for every number",
     kFaceGStreamer, false, nullptr, 0, nullptr, nullptr, nullptr},
    // Rows the editors' faces gained later: after the others, so that frei0r's
    // positions stay.
    {kParamNoiseAuto, "sigma_auto", ParamType::kBool, 0, 0, 1, false, nullptr, "0",
     "measure the noise on the frames instead of taking sigma; unused\n"
     "when a settings text or a profile is given",
     kFaceEditors | kFaceOfx, false, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamEditorProfile, "profile", ParamType::kText, 0, 0, 0, false, nullptr, "",
     "a noise profile (zolta-run --estimate --profile-out): the settings\n"
     "of its noise model, the temporal ones too; empty: none",
     kFaceEditors | kFaceOfx, false, nullptr, 0, nullptr, nullptr, nullptr},

    // zolta-run's own.
    {kParamRunPlane, "plane", ParamType::kChoice, 0, 0, 2, false, "y|cb|cr", nullptr,
     "plane for --show-plane and high mode", kFaceRun, false, nullptr, 0, nullptr, nullptr,
     nullptr},
    {kParamShowPlane, "show_plane", ParamType::kFlag, 0, 0, 0, false, nullptr, nullptr,
     "grey picture of one denoised plane", kFaceRun, false, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamOff, "off", ParamType::kFlag, 0, 0, 0, false, nullptr, nullptr,
     "filter switched off: the input passes through", kFaceRun, false, nullptr, 0, nullptr, nullptr,
     nullptr},
    {kParamEstimate, "estimate", ParamType::kFlag, 0, 0, 0, false, nullptr, nullptr,
     "measure the noise of INPUT's first frames, print it per plane\n"
     "with the settings --sigma auto would use, and write nothing",
     kFaceRun, false, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamThreads, "threads", ParamType::kInt, 0, 1, 1024, false, nullptr, nullptr,
     "frames denoised at once (default: every core this process may\n"
     "use); the output is the same for every N",
     kFaceRun, false, nullptr, 0, "N", nullptr, nullptr},
    {kParamMemory, "memory", ParamType::kInt, 0, 1, 16777216, false, nullptr, "2048",
     "memory the frames in flight (read ahead, being denoised, waiting\n"
     "to be written) may take (default 2048); fewer frames are\n"
     "denoised at once when they need more; one frame always goes",
     kFaceRun, false, nullptr, 0, "MIB", nullptr, nullptr},
    {kParamNoiseFrom, "noise_from", ParamType::kText, 0, 0, 0, false, nullptr, nullptr,
     "measure the noise (--sigma auto; --temporal without --sigma S)\n"
     "on FILE's first frames instead of INPUT's, e.g. on a film's\n"
     "first frames for each of its parts",
     kFaceRun, false, nullptr, 0, "FILE", nullptr, nullptr},
    {kParamProfile, "profile", ParamType::kText, 0, 0, 0, false, nullptr, nullptr,
     "the noise of the noise profile FILE (--estimate --profile-out\n"
     "writes one) instead of a measurement: alone or with --sigma auto,\n"
     "the settings of its model; with --temporal, its temporal ones",
     kFaceRun, false, nullptr, 0, "FILE", nullptr, nullptr},
    {kParamProfileOut, "profile_out", ParamType::kText, 0, 0, 0, false, nullptr, nullptr,
     "with --estimate: also write the noise model to FILE as a noise\n"
     "profile (doc/noise-profile.md)",
     kFaceRun, false, nullptr, 0, "FILE", nullptr, nullptr},
    {kParamHelp, "help", ParamType::kFlag, 0, 0, 0, false, nullptr, nullptr, "this text", kRunFaces,
     false, nullptr, 'h', nullptr, nullptr, nullptr},

    // zolta-run --demo.
    {kParamDemo, "demo", ParamType::kFlag, 0, 0, 0, false, nullptr, nullptr,
     "noise on a photograph, denoised, PSNR before and after (also without arguments)", kFaceDemo,
     false, nullptr, 0, nullptr, nullptr, nullptr},
    {kParamPicture, "picture", ParamType::kText, 0, 0, 0, false, nullptr, nullptr,
     "another photograph (8-bit RGB or grey) instead of the bundled one", kFaceDemo, false, nullptr, 0,
     "PNG", nullptr, nullptr},
    {kParamOutDir, "out_dir", ParamType::kText, 0, 0, 0, false, nullptr, nullptr,
     "where the noisy and denoised PNGs go (default: demo/ beside the program in its build tree, zolta-demo/ once installed)", kFaceDemo, false,
     nullptr, 0, "DIR", nullptr, nullptr},
    {kParamDemoSigma, "sigma", ParamType::kFloat, 0, 0, 255, false, nullptr, "10",
     "noise level, 0..255 (0: no noise, and PSNR says \"identical\")", kFaceDemo, false, nullptr, 0,
     "S", nullptr, nullptr},
    {kParamSeed, "seed", ParamType::kUnsigned, 0, 0, 0, false, nullptr, "2026",
     "noise seed, a non-negative integer", kFaceDemo, false, nullptr, 0, "N", nullptr, nullptr},
    {kParamDemoConfig, "demo_config", ParamType::kText, 0, 0, 0, false, nullptr, nullptr,
     "settings for the demo instead of the table's", kFaceDemo, false, nullptr, 0, "TEXT", nullptr,
     nullptr},
};

namespace {

constexpr bool ids_in_order() {
  for (int i = 0; i < kParamCount; ++i)
    if (kParams[i].id != i) return false;
  return true;
}
static_assert(ids_in_order(), "kParams[id].id must be id");

constexpr bool lists_fit() {
  for (const ParamDef& p : kParams)
    if (p.count > kParamMaxValues) return false;
  return true;
}
static_assert(lists_fit(), "a list longer than kParamMaxValues");

}  // namespace

std::string param_option_name(const ParamDef& p) {
  std::string name = p.option ? p.option : p.name;
  for (char& c : name)
    if (c == '_') c = '-';
  return name;
}

const ParamDef* param_by_name(const char* name, uint32_t face) {
  for (const ParamDef& p : kParams)
    if (param_offered(p, face) && std::strcmp(p.name, name) == 0) return &p;
  return nullptr;
}

int param_choice_index(const ParamDef& p, const char* choice) {
  if (!p.choices) return -1;
  const size_t length = std::strlen(choice);
  int index = 0;
  for (const char* c = p.choices;; ++index) {
    const char* end = std::strchr(c, '|');
    const size_t n = end ? static_cast<size_t>(end - c) : std::strlen(c);
    if (n == length && std::strncmp(c, choice, n) == 0) return index;
    if (!end) return -1;
    c = end + 1;
  }
}

std::string param_choices_text(const ParamDef& p) {
  std::string text;
  if (!p.choices) return text;
  const char* last = std::strrchr(p.choices, '|');
  for (const char* c = p.choices; *c; ++c) {
    if (*c != '|')
      text += *c;
    else
      text += c == last ? " or " : ", ";
  }
  return text;
}

std::string param_count_word(int count) {
  switch (count) {
    case 9:
      return "nine";
    case 18:
      return "eighteen";
    default:
      return std::to_string(count);
  }
}
