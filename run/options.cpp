#include "options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxThreads = 1024;
constexpr double kMaxSigma = 50;

bool parse_mode(const std::string& v, int& mode) {
  if (v == "normal")
    mode = 0;
  else if (v == "high")
    mode = 1;
  else if (v == "diff")
    mode = 2;
  else
    return false;
  return true;
}

bool parse_plane(const std::string& v, int& plane) {
  if (v == "y")
    plane = 0;
  else if (v == "cb")
    plane = 1;
  else if (v == "cr")
    plane = 2;
  else
    return false;
  return true;
}

}  // namespace

bool has_view_options(const RunOptions& options) {
  return options.mode >= 0 || options.plane >= 0 || options.show_plane || options.off;
}

bool parse_options(int argc, const char* const* argv, RunOptions& options, std::string& error) {
  options = RunOptions();
  if (argc <= 1) {
    options.demo = true;
    return true;
  }
  std::vector<std::string> positional;
  bool demo_only_given = false;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (options_done || arg == "-" || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    std::string value;
    bool inline_value = false;
    const size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      inline_value = true;
    }
    // An empty value ("--config ''", "--vcf=") is refused: it would mean
    // "nothing given" and quietly undo an earlier option.
    auto need_value = [&]() -> bool {
      if (!inline_value) {
        if (i + 1 >= argc) {
          error = arg + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      if (value.empty()) error = arg + " needs a value, not an empty one";
      return !value.empty();
    };
    auto no_value = [&]() -> bool {
      if (inline_value) error = arg + " takes no value";
      return !inline_value;
    };
    if (arg == "-h" || arg == "--help") {
      if (!no_value()) return false;
      options.help = true;
    } else if (arg == "--vcf") {
      if (!need_value()) return false;
      options.vcf_path = value;
    } else if (arg == "--config") {
      if (!need_value()) return false;
      options.config_text = value;
    } else if (arg == "--mode") {
      if (!need_value()) return false;
      if (!parse_mode(value, options.mode)) {
        error = "--mode must be normal, high or diff, not \"" + value + "\"";
        return false;
      }
    } else if (arg == "--plane") {
      if (!need_value()) return false;
      if (!parse_plane(value, options.plane)) {
        error = "--plane must be y, cb or cr, not \"" + value + "\"";
        return false;
      }
    } else if (arg == "--show-plane") {
      if (!no_value()) return false;
      options.show_plane = true;
    } else if (arg == "--off") {
      if (!no_value()) return false;
      options.off = true;
    } else if (arg == "--thresholds") {
      if (!need_value()) return false;
      options.thresholds_text = value;
    } else if (arg == "--threads") {
      if (!need_value()) return false;
      char* end = nullptr;
      errno = 0;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || errno == ERANGE || n < 1 || n > kMaxThreads) {
        error = "--threads must be an integer from 1 to " + std::to_string(kMaxThreads) +
                ", not \"" + value + "\"";
        return false;
      }
      options.threads = static_cast<int>(n);
    } else if (arg == "--estimate") {
      if (!no_value()) return false;
      options.estimate = true;
    } else if (arg == "--demo") {
      if (!no_value()) return false;
      options.demo = true;
    } else if (arg == "--picture" || arg == "--out-dir" || arg == "--demo-config") {
      if (!need_value()) return false;
      (arg == "--picture"   ? options.picture
       : arg == "--out-dir" ? options.out_dir
                            : options.demo_config) = value;
      demo_only_given = true;
    } else if (arg == "--sigma") {
      if (!need_value()) return false;
      options.sigma_given = true;
      options.sigma_auto = value == "auto";
      if (!options.sigma_auto) {
        char* end = nullptr;
        options.sigma = std::strtod(value.c_str(), &end);
        if (std::isspace(static_cast<unsigned char>(value[0])) || *end != '\0' ||
            !(options.sigma >= 0 && options.sigma <= 255)) {
          error = "--sigma must be auto or a number from 0 to 255, not \"" + value + "\"";
          return false;
        }
      }
    } else if (arg == "--seed") {
      if (!need_value()) return false;
      char* end = nullptr;
      errno = 0;
      options.seed = std::strtoull(value.c_str(), &end, 10);
      if (value[0] < '0' || value[0] > '9' || *end != '\0' || errno == ERANGE) {
        error = "--seed must be a non-negative integer, not \"" + value + "\"";
        return false;
      }
      demo_only_given = true;
    } else {
      error = "unknown option " + arg + " (see zolta-run --help)";
      return false;
    }
  }
  if (options.help) return true;
  const int settings_given = !options.vcf_path.empty() + !options.config_text.empty() +
                             !options.thresholds_text.empty() + (options.sigma_given && !options.demo);
  if (settings_given > 1) {
    error = "give one of --vcf, --config, --thresholds and --sigma, not several";
    return false;
  }
  if (options.demo) {
    if (options.sigma_auto) {
      error = "the demo's --sigma is the noise it adds: a number from 0 to 255, not auto";
      return false;
    }
    if (!positional.empty()) {
      error = "the demo takes no INPUT or OUTPUT";
      return false;
    }
    if (!options.vcf_path.empty() || !options.config_text.empty() ||
        !options.thresholds_text.empty() || options.estimate || has_view_options(options)) {
      error = "the demo takes --picture, --out-dir, --sigma, --seed and --demo-config only";
      return false;
    }
    return true;
  }
  if (demo_only_given) {
    error = "--picture, --out-dir, --seed and --demo-config belong to --demo";
    return false;
  }
  if (options.sigma_given && !options.sigma_auto &&
      !(options.sigma > 0 && options.sigma <= kMaxSigma)) {
    error = "--sigma must be auto or a number above 0 and at most 50";
    return false;
  }
  if (options.estimate) {
    if (positional.size() != 1) {
      error = "--estimate takes INPUT only (see zolta-run --help)";
      return false;
    }
    options.input = positional[0];
    return true;
  }
  if (positional.size() != 2) {
    error = "expected INPUT and OUTPUT (see zolta-run --help)";
    return false;
  }
  options.input = positional[0];
  options.output = positional[1];
  return true;
}

const char* usage_text() {
  return "usage: zolta-run [options] INPUT OUTPUT\n"
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
         "      RGBA); several pictures one after another are frames; alpha is left untouched\n"
         "  PPM/PGM (P6/P5) with a maximum value of 255, 511, 1023, 4095, 16383 or 65535;\n"
         "      several pictures one after another\n"
         "Every plane's width and height must be a multiple of 4: 4:2:0 frames need multiples\n"
         "of 8, 4:1:1 a width that is a multiple of 16. OUTPUT appears only when the whole run\n"
         "succeeded; an existing file keeps its links, mode and owner, and a read-only one is\n"
         "refused. Devices, pipes and /dev/stdout are written in place.\n"
         "\n"
         "Settings (one of these; without any, every threshold is 0: no wavelet level is on):\n"
         "  --sigma S         the input's noise, a standard deviation on the 8-bit scale\n"
         "                    (above 0, at most 50): settings from the library's table\n"
         "  --sigma auto      the same, with the noise measured on the first frames\n"
         "  --thresholds LIST eighteen integers 0..4095 (v means v/16 on the 8-bit scale, 0\n"
         "                    turns a level off): Y, Cb, Cr; along rows then along columns;\n"
         "                    levels 0, 1, 2. E.g. 40,24,8,40,24,8,64,32,0,64,32,0,64,32,0,64,32,0\n"
         "  --config TEXT     \"Config(a, b, c, d, e, f, g, h, i)\": nine integers, each two\n"
         "                    thresholds 0..255 packed as first * 256 + second, for Y, Cb, Cr\n"
         "                    and levels 0..2 (first along rows, second along columns)\n"
         "  --vcf FILE        a VirtualDub processing-settings file holding the filter\n"
         "Views:\n"
         "  --mode normal|high|diff   denoised picture, amplified detail, amplified difference\n"
         "  --plane y|cb|cr           plane for --show-plane and high mode\n"
         "  --show-plane              grey picture of one denoised plane\n"
         "  --off                     filter switched off: the input passes through\n"
         "Other:\n"
         "  --estimate        measure the noise of INPUT's first frames, print it per plane\n"
         "                    with the settings --sigma auto would use, and write nothing\n"
         "  --threads N       frames denoised at once (default: every core this process may\n"
         "                    use); the output is the same for every N\n"
         "  -h, --help        this text\n"
         "\n"
         "Without arguments (or with --demo): Gaussian noise at a fixed seed on the bundled\n"
         "photograph, denoised with the settings the library's table gives for that noise;\n"
         "writes the noisy and denoised PNGs (to DIR; by default demo/ beside the program in\n"
         "its build tree, zolta-demo/ in the working folder once installed) and prints PSNR\n"
         "before and after.\n"
         "  --picture PNG       another photograph (8-bit RGB or grey) instead of the bundled one\n"
         "  --sigma S           noise level, 0..255 (0: no noise, and PSNR says \"identical\")\n"
         "  --seed N            noise seed, a non-negative integer\n"
         "  --demo-config TEXT  settings for the demo instead of the table's\n";
}
