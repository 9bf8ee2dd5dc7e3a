// PNG and PPM pictures through the library's VirtualDub filter: one filter
// instance, its "Config" script function for the settings, 32-bit RGB frames
// through the start, run and end callbacks.
#include <algorithm>
#include <memory>
#include <vector>

#include "filter_state.h"
#include "paths.h"
#include "png_io.h"
#include "ppm_io.h"
#include "vdub_host.h"

namespace {

// One registered filter and one instance of it, started for the frame size of
// the pictures that come along; ended and started again when the size changes.
struct VdubSession {
  VdubHost host;
  std::unique_ptr<VdubInstance> instance;
  bool started = false;

  explicit VdubSession(const LoadedLibrary& library)
      : host(reinterpret_cast<VdubInitEntry>(library.vdub_init),
             reinterpret_cast<VdubDeinitEntry>(library.vdub_deinit)) {}
  ~VdubSession() {
    if (started) instance->end();
    instance.reset();
  }
};

bool open_session(VdubSession& session, const ConfigValues& values, const RunOptions* views,
                  std::string& error) {
  if (session.host.load() != 0 || !session.host.definition()) {
    error = "the library refused to register its VirtualDub filter";
    return false;
  }
  if (session.host.definition()->inst_data_size < static_cast<int>(sizeof(FilterState))) {
    error = "the library's VirtualDub filter declares an unexpected instance size";
    return false;
  }
  session.instance = std::make_unique<VdubInstance>(session.host);
  session.instance->init();
  if (!session.instance->call_script("Config",
                                     std::vector<int32_t>(values.begin(), values.end()))) {
    error = "the filter has no script function Config with nine integers";
    return false;
  }
  if (views) {
    // The views are what VirtualDub's configuration dialog switches; with no
    // dialog here they are set in the instance block as the dialog would.
    FilterState* state = static_cast<FilterState*>(session.instance->data());
    if (views->mode >= 0) state->mode = views->mode;
    if (views->plane >= 0) state->plane = views->plane;
    if (views->show_plane) state->show_plane = 1;
    if (views->off) state->enabled = 0;
  }
  return true;
}

// Runs one picture through the started (or restarted) instance.
bool filter_picture(VdubSession& session, const RgbPicture& in, RgbPicture& out,
                    std::string& error) {
  VdubInstance& instance = *session.instance;
  if (!session.started || instance.width() != in.width || instance.height() != in.height) {
    if (session.started) instance.end();
    session.started = false;
    instance.set_frame(in.width, in.height);
    if (instance.start() != 0) {
      error = "the filter could not start on a " + std::to_string(in.width) + " x " +
              std::to_string(in.height) + " frame";
      return false;
    }
    session.started = true;
  }
  std::vector<uint32_t> words(static_cast<size_t>(in.width) * in.height);
  picture_to_rgb32(in, words.data());
  for (int y = 0; y < in.height; ++y) {
    std::copy_n(words.data() + static_cast<size_t>(y) * in.width, in.width, instance.source_row(y));
  }
  instance.run();
  for (int y = 0; y < in.height; ++y) {
    std::copy_n(instance.dest_row(y), in.width, words.data() + static_cast<size_t>(y) * in.width);
  }
  rgb32_to_picture(words.data(), in.width, in.height, out);
  return true;
}

}  // namespace

bool settings_from_options(const RunOptions& options, ConfigValues& values, std::string& error) {
  values = ConfigValues{};
  if (!options.config_text.empty()) return parse_config_call(options.config_text, values, error);
  if (!options.vcf_path.empty()) return read_settings_file(options.vcf_path, values, error);
  return true;
}

bool filter_rgb_picture(const LoadedLibrary& library, const ConfigValues& values,
                        const RgbPicture& in, RgbPicture& out, std::string& error) {
  try {
    VdubSession session(library);
    return open_session(session, values, nullptr, error) && filter_picture(session, in, out, error);
  } catch (const VdubHostError& e) {
    error = e.what();
    return false;
  }
}

bool run_rgb_stream(const LoadedLibrary& library, const RunOptions& options, RgbFormat format,
                    ByteReader& input, std::FILE* out, Progress& progress, std::string& error) {
  ConfigValues values{};
  if (!settings_from_options(options, values, error)) return false;
  try {
    VdubSession session(library);
    if (!open_session(session, values, &options, error)) return false;
    RgbPicture picture, filtered;
    const bool png = format == RgbFormat::Png;
    for (int n = 1;; ++n) {
      const ReadResult got =
          png ? read_png_frame(input, picture, error) : read_ppm(input, picture, error);
      if (got == ReadResult::End) break;
      if (got == ReadResult::Error) {
        error += " (picture " + std::to_string(n) + ")";
        return false;
      }
      if (!frame_size_usable(picture.width, picture.height, error)) {
        error += " (picture " + std::to_string(n) + ")";
        return false;
      }
      if (!filter_picture(session, picture, filtered, error)) return false;
      const bool written = png ? write_png(out, filtered, error) : write_ppm(out, filtered);
      if (!written) {
        error = "cannot write the output";
        return false;
      }
      count_frame(progress);
    }
    return true;
  } catch (const VdubHostError& e) {
    error = e.what();
    return false;
  }
}
