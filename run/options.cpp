// SPDX-License-Identifier: BSD-2-Clause
// zolta-run's command line: glibc's getopt_long, fed from the parameter
// table, which also gives every option's value rule and --help line.
#include "options.h"

#include <getopt.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "parameters.h"

namespace {

constexpr uint32_t kRunFaces = kFaceRun | kFaceDemo;

// "10", "0.5": a range's bound as messages and --help write it.
std::string number_text(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

// "-" or a name of descriptor 0, which reads the same standard input: two
// readers of one pipe would each get a part of its bytes.
bool names_standard_input(const std::string& path) {
  return path == "-" || path == "/dev/stdin" || path == "/dev/fd/0" || path == "/proc/self/fd/0";
}

// "a, b and c".
std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i)
    text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  return text;
}

// One option of the command line: the first row of zolta-run with its name
// (--sigma: the run's row; the demo's row reads the same value).
struct CommandOption {
  const ParamDef* row;
  std::string name;  // without dashes
};

std::vector<CommandOption> command_options() {
  std::vector<CommandOption> options;
  for (const ParamDef& p : kParams) {
    if (!param_offered(p, kRunFaces)) continue;
    const std::string name = param_option_name(p);
    bool known = false;
    for (const CommandOption& o : options) known |= o.name == name;
    if (!known) options.push_back(CommandOption{&p, name});
  }
  return options;
}

bool offered_by_run(const std::string& option_name) {
  for (const ParamDef& p : kParams)
    if (param_offered(p, kFaceRun) && param_option_name(p) == option_name) return true;
  return false;
}

// The options only the demo takes, "--picture, --out-dir, ...": every row of
// the demo with a value (`also_shared`: with those zolta-run takes as well).
std::string demo_options_text(bool also_shared) {
  std::vector<std::string> names;
  for (const ParamDef& p : kParams) {
    if (!param_offered(p, kFaceDemo) || p.type == ParamType::kFlag) continue;
    const std::string name = param_option_name(p);
    if (also_shared || !offered_by_run(name)) names.push_back("--" + name);
  }
  return joined(names);
}

void apply_defaults(RunOptions& options) {
  options.sigma = std::strtod(kParams[kParamDemoSigma].default_value, nullptr);
  options.seed = std::strtoull(kParams[kParamSeed].default_value, nullptr, 10);
}

// --sigma: a number or the run's named value. Read before it is known whether
// this is the demo: within the widest range either takes; the run's own is
// checked once it is known.
void take_sigma(const std::string& value, RunOptions& options) {
  const ParamDef& run = kParams[kParamSigma];
  const ParamDef& demo = kParams[kParamDemoSigma];
  options.sigma_given = true;
  options.sigma_auto = value == run.named_value;
  if (options.sigma_auto) return;
  char* end = nullptr;
  options.sigma = std::strtod(value.c_str(), &end);
  if (std::isspace(static_cast<unsigned char>(value[0])) || *end != '\0' ||
      !(options.sigma >= demo.min && options.sigma <= demo.max)) {
    // Its range depends on --demo, which may come later.
    options.sigma_refused = value;
  }
}

// The message for a --sigma that is no number in its range: the demo's noise
// or the input's.
std::string sigma_refusal(const RunOptions& options) {
  const ParamDef& run = kParams[kParamSigma];
  const ParamDef& demo = kParams[kParamDemoSigma];
  const std::string range =
      options.demo ? "from " + number_text(demo.min) + " to " + number_text(demo.max)
                   : "above " + number_text(run.min) + " and at most " + number_text(run.max);
  return "--sigma must be " + std::string(run.named_value) + " or a number " + range + ", not \"" +
         options.sigma_refused + "\"";
}

// A value by its row's type, stored where zolta-run keeps it.
bool take_value(const ParamDef& p, const std::string& typed, const std::string& value,
                RunOptions& options, std::string& error) {
  int choice = -1;
  long integer = 0;
  if (p.type == ParamType::kChoice) {
    choice = param_choice_index(p, value.c_str());
    if (choice < 0) {
      error = typed + " must be " + param_choices_text(p) + ", not \"" + value + "\"";
      return false;
    }
  } else if (p.type == ParamType::kInt) {
    char* end = nullptr;
    errno = 0;
    integer = std::strtol(value.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || integer < p.min || integer > p.max) {
      error = typed + " must be an integer from " + number_text(p.min) + " to " +
              number_text(p.max) + ", not \"" + value + "\"";
      return false;
    }
  }
  switch (p.id) {
    case kParamConfigText:
      options.config_text = value;
      break;
    case kParamVcf:
      options.vcf_path = value;
      break;
    case kParamThresholds:
      options.thresholds_text = value;  // checked with the settings
      break;
    case kParamSigma:
      take_sigma(value, options);
      break;
    case kParamView:
      options.mode = choice;
      break;
    case kParamRunPlane:
      options.plane = choice;
      break;
    case kParamThreads:
      options.threads = static_cast<int>(integer);
      break;
    case kParamMemory:
      options.memory_mib = integer;
      break;
    case kParamTemporal:
      options.temporal = static_cast<int>(integer);
      break;
    case kParamNoiseFrom:
      options.noise_from = value;
      break;
    case kParamProfile:
      options.profile = value;
      break;
    case kParamProfileOut:
      options.profile_out = value;
      break;
    case kParamPicture:
      options.picture = value;
      break;
    case kParamOutDir:
      options.out_dir = value;
      break;
    case kParamDemoConfig:
      options.demo_config = value;
      break;
    case kParamSeed: {
      char* end = nullptr;
      errno = 0;
      options.seed = std::strtoull(value.c_str(), &end, 10);
      if (value[0] < '0' || value[0] > '9' || *end != '\0' || errno == ERANGE) {
        error = typed + " must be a non-negative integer, not \"" + value + "\"";
        return false;
      }
      break;
    }
    default:
      break;
  }
  return true;
}

void take_flag(const ParamDef& p, RunOptions& options) {
  switch (p.id) {
    case kParamHelp:
      options.help = true;
      break;
    case kParamShowPlane:
      options.show_plane = true;
      break;
    case kParamOff:
      options.off = true;
      break;
    case kParamEstimate:
      options.estimate = true;
      break;
    case kParamDemo:
      options.demo = true;
      break;
    default:
      break;
  }
}

// Reads every option in order and collects the other arguments; false with a
// message at the first fault.
bool read_arguments(int argc, const char* const* argv, RunOptions& options,
                    std::vector<std::string>& positional, bool& demo_only_given,
                    std::string& error) {
  const std::vector<CommandOption> known = command_options();
  std::vector<option> longopts;
  std::string shorts = "-:";  // arguments in order as 1; ':' for a missing value
  for (size_t i = 0; i < known.size(); ++i) {
    const bool flag = known[i].row->type == ParamType::kFlag;
    longopts.push_back(option{known[i].name.c_str(), flag ? no_argument : required_argument,
                              nullptr, 256 + static_cast<int>(i)});
    if (known[i].row->letter) shorts += std::string(1, known[i].row->letter) + (flag ? "" : ":");
  }
  longopts.push_back(option{nullptr, 0, nullptr, 0});

  // In this order (leading '-') getopt_long moves no argument, so the
  // element an option came from is the one it was about to read.
  char* const* args = const_cast<char* const*>(argv);
  optind = 0;  // a fresh scan
  opterr = 0;
  for (;;) {
    const int at = optind == 0 ? 1 : optind;
    const int c = getopt_long(argc, args, shorts.c_str(), longopts.data(), nullptr);
    if (c == -1) break;
    if (c == 1) {
      positional.push_back(optarg);
      continue;
    }
    // The option as typed: getopt_long also takes unambiguous abbreviations
    // and clustered letters, which zolta-run does not.
    const std::string element = argv[at];
    std::string typed = element;
    if (element.compare(0, 2, "--") == 0 && element.find('=') != std::string::npos) {
      typed.resize(element.find('='));
    }
    const CommandOption* o = nullptr;
    for (const CommandOption& k : known) {
      if (typed == "--" + k.name || (k.row->letter && typed == std::string("-") + k.row->letter))
        o = &k;
    }
    if (!o) {
      error = "unknown option " + typed + " (see zolta-run --help)";
      return false;
    }
    if (c == '?') {
      error = typed + " takes no value";
      return false;
    }
    if (c == ':') {
      error = typed + " needs a value";
      return false;
    }
    const ParamDef& p = *o->row;
    if (p.type == ParamType::kFlag) {
      take_flag(p, options);
      continue;
    }
    // An empty value ("--config ''", "--vcf=") is refused: it would mean
    // "nothing given" and quietly undo an earlier option.
    const std::string value = optarg;
    if (value.empty()) {
      error = typed + " needs a value, not an empty one";
      return false;
    }
    if (!take_value(p, typed, value, options, error)) return false;
    demo_only_given |= !offered_by_run(o->name);
  }
  for (int i = optind; i < argc; ++i) positional.push_back(argv[i]);
  return true;
}

// --help: the lines of one section, in the order given, from the table.
struct HelpEntry {
  ParamId id;
  bool named_value;  // the line of the row's named value ("--sigma auto")
};

struct HelpSection {
  const char* title;
  int column;  // where the help texts start
  std::vector<HelpEntry> entries;
};

std::string help_lines(const HelpSection& section) {
  std::string text = section.title;
  for (const HelpEntry& e : section.entries) {
    const ParamDef& p = kParams[e.id];
    std::string line = "  ";
    if (p.letter) line += std::string("-") + p.letter + ", ";
    line += "--" + param_option_name(p);
    if (e.named_value) {
      line += std::string(" ") + p.named_value;
    } else if (p.type == ParamType::kChoice) {
      line += std::string(" ") + p.choices;
    } else if (p.value_name) {
      line += std::string(" ") + p.value_name;
    }
    line += std::string(line.size() < static_cast<size_t>(section.column)
                            ? static_cast<size_t>(section.column) - line.size()
                            : 1,
                        ' ');
    for (const char* h = e.named_value ? p.named_help : p.help; *h; ++h) {
      line += *h;
      if (*h == '\n') line += std::string(static_cast<size_t>(section.column), ' ');
    }
    text += line + "\n";
  }
  return text;
}

std::string make_usage_text() {
  std::string text =
      "usage: zolta-run [options] INPUT OUTPUT\n"
      "       zolta-run --estimate INPUT\n"
      "       zolta-run [--demo] [--picture PNG] [--out-dir DIR] [--sigma S] [--seed N]\n"
      "\n"
      "Wavelet noise reduction through the zolta library (libzolta.so).\n"
      "INPUT and OUTPUT are files or '-' for standard input and output; the format is told\n"
      "by content, and the output keeps the input's format, layout, depth and header fields:\n"
      "  YUV4MPEG2: C420jpeg, C420paldv, C420mpeg2, C420, C422, C444, C444alpha, C411, Cmono,\n"
      "      and 9 to 16 bits (C420p10, C422p12, C444p16, Cmono16 ...), as ffmpeg writes them\n"
      "      (ffmpeg -f yuv4mpegpipe -strict -1 for depths above 8)\n"
      "  PNG: grey, grey + alpha, RGB, RGBA of 8 or 16 bits, palettes (written as RGB or\n"
      "      RGBA); several pictures one after another are frames; alpha is left untouched,\n"
      "      a transparent colour becomes alpha; animated PNG is refused\n"
      "  PPM/PGM (P6/P5) with a maximum value of 255, 511, 1023, 4095, 16383 or 65535;\n"
      "      several pictures one after another\n"
      "Every plane's width and height must be a multiple of 4: 4:2:0 frames need multiples\n"
      "of 8, 4:1:1 a width that is a multiple of 16. OUTPUT appears only when the whole run\n"
      "succeeded; an existing file keeps its links, mode and owner, and a read-only one is\n"
      "refused. Devices, pipes and /dev/stdout are written in place.\n"
      "\n";
  const HelpSection sections[] = {
      {"Settings (one of these; without any, every threshold is 0: no wavelet level is on):\n",
       20,
       {{kParamSigma, false},
        {kParamSigma, true},
        {kParamThresholds, false},
        {kParamConfigText, false},
        {kParamVcf, false}}},
      {"Views:\n",
       28,
       {{kParamView, false},
        {kParamRunPlane, false},
        {kParamShowPlane, false},
        {kParamOff, false}}},
      {"Other:\n",
       20,
       {{kParamEstimate, false},
        {kParamProfileOut, false},
        {kParamThreads, false},
        {kParamTemporal, false},
        {kParamNoiseFrom, false},
        {kParamProfile, false},
        {kParamMemory, false},
        {kParamHelp, false}}},
      {"\n"
       "Without arguments (or with --demo): Gaussian noise at a fixed seed on the bundled\n"
       "photograph, denoised with the settings the library's table gives for that noise;\n"
       "writes the noisy and denoised PNGs (to DIR; by default demo/ beside the program in\n"
       "its build tree, zolta-demo/ in the working folder once installed) and prints PSNR\n"
       "before and after.\n",
       22,
       {{kParamPicture, false},
        {kParamDemoSigma, false},
        {kParamSeed, false},
        {kParamDemoConfig, false}}},
  };
  for (const HelpSection& s : sections) text += help_lines(s);
  return text;
}

}  // namespace

bool has_view_options(const RunOptions& options) {
  return options.mode >= 0 || options.plane >= 0 || options.show_plane || options.off;
}

bool parse_options(int argc, const char* const* argv, RunOptions& options, std::string& error) {
  options = RunOptions();
  apply_defaults(options);
  if (argc <= 1) {
    options.demo = true;
    return true;
  }
  std::vector<std::string> positional;
  bool demo_only_given = false;
  if (!read_arguments(argc, argv, options, positional, demo_only_given, error)) return false;
  if (options.help) return true;
  if (!options.sigma_refused.empty()) {
    error = sigma_refusal(options);
    return false;
  }
  const int settings_given = !options.vcf_path.empty() + !options.config_text.empty() +
                             !options.thresholds_text.empty() +
                             (options.sigma_given && !options.demo);
  if (settings_given > 1) {
    error = "give one of --vcf, --config, --thresholds and --sigma, not several";
    return false;
  }
  const ParamDef& sigma = kParams[kParamSigma];
  if (options.demo) {
    const ParamDef& demo_sigma = kParams[kParamDemoSigma];
    if (options.sigma_auto) {
      error = "the demo's --sigma is the noise it adds: a number from " +
              number_text(demo_sigma.min) + " to " + number_text(demo_sigma.max) + ", not " +
              sigma.named_value;
      return false;
    }
    if (!positional.empty()) {
      error = "the demo takes no INPUT or OUTPUT";
      return false;
    }
    if (!options.vcf_path.empty() || !options.config_text.empty() ||
        !options.thresholds_text.empty() || !options.noise_from.empty() || options.estimate ||
        !options.profile.empty() || !options.profile_out.empty() ||
        has_view_options(options)) {
      error = "the demo takes " + demo_options_text(true) + " only";
      return false;
    }
    return true;
  }
  if (demo_only_given) {
    error = demo_options_text(false) + " belong to --demo";
    return false;
  }
  const bool above_min =
      sigma.min_excluded ? options.sigma > sigma.min : options.sigma >= sigma.min;
  if (options.sigma_given && !options.sigma_auto && !(above_min && options.sigma <= sigma.max)) {
    error = "--sigma must be " + std::string(sigma.named_value) + " or a number " +
            (sigma.min_excluded ? "above " : "from ") + number_text(sigma.min) + " and at most " +
            number_text(sigma.max);
    return false;
  }
  if (options.estimate) {
    if (positional.size() != 1) {
      error = "--estimate takes INPUT only (see zolta-run --help)";
      return false;
    }
    if (!options.noise_from.empty() || !options.profile.empty()) {
      error = std::string("--estimate measures INPUT; ") +
              (options.profile.empty() ? "--noise-from" : "--profile") + " is for denoising";
      return false;
    }
    options.input = positional[0];
    return true;
  }
  if (!options.profile_out.empty()) {
    error = "--profile-out belongs to --estimate";
    return false;
  }
  if (!options.profile.empty()) {
    if (!options.noise_from.empty()) {
      error = "--profile gives the noise; --noise-from measures it: give one of them";
      return false;
    }
    // Alone, the profile's noise chooses the settings, as --sigma auto's.
    if (settings_given == 0) options.sigma_given = options.sigma_auto = true;
  }
  if (positional.size() != 2) {
    error = "expected INPUT and OUTPUT (see zolta-run --help)";
    return false;
  }
  options.input = positional[0];
  options.output = positional[1];
  if (names_standard_input(options.noise_from) && names_standard_input(options.input)) {
    error = "--noise-from and INPUT cannot both be standard input";
    return false;
  }
  return true;
}

const char* usage_text() {
  static const std::string text = make_usage_text();
  return text.c_str();
}
