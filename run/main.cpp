// zolta-run: the zolta filter on files and pipes, without VirtualDub or
// AviSynth. It loads the library beside itself and drives it through its
// exported entries only, as those two hosts do.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "byte_reader.h"
#include "demo.h"
#include "library.h"
#include "options.h"
#include "output_file.h"
#include "paths.h"
#include "png_io.h"
#include "ppm_io.h"
#include "progress.h"
#include "signals.h"
#include "standard_streams.h"
#include "y4m_io.h"

namespace {

int fail(const std::string& message, int status = 1) {
  std::fprintf(stderr, "zolta-run: %s\n", message.c_str());
  return status;
}

// Picks the road by the input's first bytes.
bool run_stream(const LoadedLibrary& library, const RunOptions& options, ByteReader& input,
                std::FILE* out, Progress& progress, std::string& error) {
  if (starts_y4m(input)) return run_y4m_stream(library, options, input, out, progress, error);
  if (starts_png(input))
    return run_rgb_stream(library, options, RgbFormat::Png, input, out, progress, error);
  if (starts_ppm(input))
    return run_rgb_stream(library, options, RgbFormat::Ppm, input, out, progress, error);
  error = input.failed         ? "cannot read the input"
          : reader_done(input) ? "the input is empty"
                               : "unrecognised input: expected PNG, binary PPM (P6) or "
                                 "YUV4MPEG2 4:2:2";
  return false;
}

int run_main(int argc, char** argv) {
  RunOptions options;
  std::string error;
  if (!parse_options(argc, argv, options, error)) return fail(error, 2);
  if (options.help) {
    if (standard_stream_closed(1)) return fail("standard output is closed: nowhere to write help");
    std::fputs(usage_text(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      return fail(std::string("cannot write the help text: ") + std::strerror(errno));
    }
    return 0;
  }
  // Settings are checked before any input is read, so their faults are not
  // hidden behind the input's.
  if (!options.demo) {
    ConfigValues values;
    if (!settings_from_options(options, values, error)) return fail(error);
  }

  const std::string library_path =
      options.library.empty() ? executable_directory() + library_file_name() : options.library;
  LoadedLibrary library;
  if (!load_library(library_path, library, error)) return fail(error);

  int status;
  if (options.demo) {
    status = run_demo(library, options);
  } else {
    status = 1;
    ByteReader input;
    OutputFile output;
    if (!open_reader(input, options.input, error)) {
      fail(error);
    } else if (!open_output(output, options.output, error)) {
      fail(error);
    } else {
      Progress progress = start_progress();
      bool ok = false;
      try {
        ok = run_stream(library, options, input, output.file, progress, error);
      } catch (const std::bad_alloc&) {
        error = "out of memory";
      } catch (const std::exception& e) {
        error = e.what();
      }
      finish_progress(progress);
      if (!ok && output_failed(output)) error = output_error(output);
      if (ok && input.failed) {
        ok = false;
        error = "cannot read the input";
      }
      if (ok && commit_output(output, error)) {
        status = 0;
      } else {
        discard_output(output);
        fail(error);
      }
    }
    close_reader(input);
  }
  unload_library(library);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  guard_standard_streams();
  install_signal_cleanup();
  try {
    return run_main(argc, argv);
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  } catch (const std::exception& e) {
    return fail(e.what());
  }
}
