/* SPDX-License-Identifier: BSD-2-Clause */
// Every parameter of the filter and of zolta-run, declared once: its name,
// type, range, default, help text and the faces that offer it. zolta-run's
// command line and --help, the VapourSynth argument string, the AviSynth+
// parameter string, frei0r's parameter list, the GStreamer element's
// properties, the OpenFX effect's parameters and the plugins' reading of their arguments are all
// made from this table, so that no face can offer a parameter the others describe differently.
#pragma once

#include <cstdint>
#include <string>

// Who offers a parameter.
enum ParamFace : uint32_t {
  kFaceRun = 1u << 0,           // zolta-run denoising a stream
  kFaceDemo = 1u << 1,          // zolta-run --demo
  kFaceVapourSynth = 1u << 2,   // zolta.Denoise
  kFaceAviSynthPlus = 1u << 3,  // ZoltaDenoise
  kFacePlugins = kFaceVapourSynth | kFaceAviSynthPlus,
  kFaceFrei0r = 1u << 4,     // the frei0r filter (ffmpeg, MLT)
  kFaceGStreamer = 1u << 5,  // the GStreamer element zoltadenoise
  kFaceEditors = kFaceFrei0r | kFaceGStreamer,
  kFaceOfx = 1u << 6,  // the OpenFX image effect (Resolve, Natron, Nuke)
};

enum class ParamType {
  kClip,      // the clip a plugin filters: positional and required
  kFlag,      // a command-line switch without a value
  kInt,       // one integer in min..max
  kUnsigned,  // one integer from 0 to 2^64 - 1
  kIntList,   // exactly `count` integers, each in min..max (zolta-run: "a,b,c")
  kFloat,     // one number in min..max (above min when min_excluded)
  kText,      // a string: a path, a settings text
  kChoice,    // one of the names in `choices`, "a|b|c"; the i-th means i
  kBool,      // on or off: "1" or "0" (VapourSynth int, AviSynth+ bool, editors' switches)
};

// Rows in table order; kParams[id].id == id.
enum ParamId {
  kParamClip,
  kParamConfig,
  kParamConfigText,
  kParamVcf,
  kParamSigma,
  kParamView,
  kParamPlane,
  kParamThresholds,
  kParamTemporal,
  kParamPluginProfile,
  kParamSigmaAuto,
  kParamNoise,
  kParamSettings,
  kParamConfigProperty,
  kParamFrameThreads,
  kParamNoiseAuto,
  kParamEditorProfile,
  kParamRunPlane,
  kParamShowPlane,
  kParamOff,
  kParamEstimate,
  kParamThreads,
  kParamMemory,
  kParamNoiseFrom,
  kParamProfile,
  kParamProfileOut,
  kParamHelp,
  kParamDemo,
  kParamPicture,
  kParamOutDir,
  kParamDemoSigma,
  kParamSeed,
  kParamDemoConfig,
  kParamCount
};

// The longest list a parameter takes.
constexpr int kParamMaxValues = 18;

struct ParamDef {
  ParamId id;
  const char* name;  // as the plugins take it; unique within each face
  ParamType type;
  int count;  // kIntList: the number of values
  double min;
  double max;
  bool min_excluded;          // kFloat: min itself is refused
  const char* choices;        // kChoice: "normal|high|diff"
  const char* default_value;  // as a user writes it; null: none (absent means "not given")
  // Lines broken as zolta-run --help shows them; other faces join them.
  const char* help;
  uint32_t faces;     // ParamFace bits
  bool settings_way;  // one of the ways of giving the thresholds (at most one)

  // zolta-run's command line.
  const char* option;       // "--option"'s name when it is not `name` with '-' for '_'
  char letter;              // a one-letter form ("-h"), or 0
  const char* value_name;   // the value in --help: "S", "LIST", "FILE"
  const char* named_value;  // a word taken besides numbers ("auto"), or null
  const char* named_help;   // --help's line for the named value
};

extern const ParamDef kParams[kParamCount];

// True when the row is offered by any of `faces`.
inline bool param_offered(const ParamDef& p, uint32_t faces) {
  return (p.faces & faces) != 0;
}

// zolta-run's option name, without the dashes: `option`, or `name` with '-'
// for '_'.
std::string param_option_name(const ParamDef& p);

// The row of `face` with that name, or null.
const ParamDef* param_by_name(const char* name, uint32_t face);

// The value of `choice` among the row's choices (0, 1, ...), or -1.
int param_choice_index(const ParamDef& p, const char* choice);

// The choices as messages list them: "normal, high or diff".
std::string param_choices_text(const ParamDef& p);

// "nine", "eighteen": the number of a list's values as messages say it.
std::string param_count_word(int count);
