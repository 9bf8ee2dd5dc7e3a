// YUV4MPEG2 4:2:2 through the library's AviSynth function: every frame is
// packed into YUY2, served by a source clip, and taken back from the clip
// that "ZOLTA" builds around it.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "avs_host.h"
#include "paths.h"
#include "signals.h"
#include "y4m_io.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// A settings file for the plugin, removed when the run is over.
struct TemporarySettings {
  std::string path;
  int cleanup_slot = -1;  // removed on a signal too
  ~TemporarySettings() {
    if (!path.empty()) std::remove(path.c_str());
    unregister_cleanup(cleanup_slot);
  }
};

bool write_temporary_settings(const ConfigValues& values, TemporarySettings& settings,
                              std::string& error) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir && *dir ? dir : "/tmp") + "/zolta-settings-XXXXXX";
#ifdef _WIN32
  std::FILE* file =
      _mktemp_s(&path[0], path.size() + 1) == 0 ? std::fopen(path.c_str(), "w") : nullptr;
  if (file) settings.path = path;
#else
  int fd;
  {
    SignalBlock block;  // made and registered for cleanup at once
    fd = mkstemp(&path[0]);
    if (fd >= 0) {
      settings.path = path;
      settings.cleanup_slot = register_cleanup(path.c_str());
    }
  }
  std::FILE* file = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (fd >= 0 && !file) close(fd);
#endif
  if (!file) {
    error = "cannot write a temporary settings file in " + path.substr(0, path.rfind('/')) + ": " +
            std::strerror(errno);
    return false;
  }
  const std::string text = settings_file_text(values);
  const bool written = std::fputs(text.c_str(), file) >= 0;
  if (std::fclose(file) != 0 || !written) {
    error = "cannot write the temporary settings file " + path;
    return false;
  }
  return true;
}

}  // namespace

bool run_y4m_stream(const LoadedLibrary& library, const RunOptions& options, ByteReader& input,
                    std::FILE* out, Progress& progress, std::string& error) {
  if (has_view_options(options)) {
    error =
        "--mode, --plane, --show-plane and --off belong to the VirtualDub filter (PNG and PPM "
        "input); the AviSynth function has no views";
    return false;
  }
  Y4mHeader header;
  if (!read_y4m_header(input, header, error)) return false;
  if (!frame_size_usable(header.width, header.height, error)) {
    error += " (frame 1)";
    return false;
  }

  // The plugin reads its settings from a file: one we write, from settings
  // read and checked as on the RGB road, so that a file means the same
  // thresholds there and here.
  TemporarySettings temporary;
  ConfigValues values{};
  if (!settings_from_options(options, values, error)) return false;
  if (!write_temporary_settings(values, temporary, error)) return false;
  const std::string settings_path = temporary.path;

  try {
    AvsEnvironment env;
    env.load_plugin(reinterpret_cast<PluginInitFunc>(library.avs_init));
    VideoInfo vi = make_video_info(header.width, header.height, kPixelYUY2, INT_MAX);
    vi.fps_numerator = header.fps_numerator;
    vi.fps_denominator = header.fps_denominator;

    // The source clip packs whichever frame was read last.
    Y4mFrame frame;
    MemoryClip* source = new MemoryClip(env, vi);
    PClip source_clip(source);
    source->set_filler([&](int, BYTE* data, int pitch, int, int height) {
      planar422_to_yuy2(frame.planes.data(), header.width, height, data, pitch);
    });
    AVSValue made = env.call_with_clip("ZOLTA", source_clip, settings_path.c_str());
    PClip filtered = made.AsClip();
    if (!filtered) {
      error = "ZOLTA returned no clip";
      return false;
    }
    if (!write_y4m_header(out, header)) {
      error = "cannot write the output";
      return false;
    }
    for (int n = 0;; ++n) {
      const ReadResult got = read_y4m_frame(input, header, frame, error);
      if (got == ReadResult::End) break;
      if (got == ReadResult::Error) {
        error += " (frame " + std::to_string(n + 1) + ")";
        return false;
      }
      {
        PVideoFrame result = filtered->GetFrame(n, &env);
        if (!result || result->GetRowSize() != header.width * 2 ||
            result->GetHeight() != header.height) {
          error = "ZOLTA returned a frame of the wrong size";
          return false;
        }
        yuy2_to_planar422(result->GetReadPtr(), result->GetPitch(), header.width, header.height,
                          frame.planes.data());
      }
      if (!write_y4m_frame(out, frame)) {
        error = "cannot write the output";
        return false;
      }
      count_frame(progress);
    }
  } catch (const AvsError& e) {
    error = e.what();
    return false;
  }
  return true;
}
