// SPDX-License-Identifier: BSD-2-Clause
// zolta-run: the zolta filter on files and pipes, without VirtualDub or
// AviSynth. It drives the library (libzolta.so, found beside the program)
// through its public interface, zolta.h.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "byte_reader.h"
#include "demo.h"
#include "denoise_stream.h"
#include "noise_level.h"
#include "options.h"
#include "output_file.h"
#include "progress.h"
#include "signals.h"
#include "standard_streams.h"

namespace {

// Errors are one line: a line break or other control character that a
// message quotes (from an option's value, a file name) is written as an
// escape.
int fail(const std::string& message, int status = 1) {
  std::string line;
  for (const char c : message) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7f) {
      line += c;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\x%02x", u);
      line += escape;
    }
  }
  std::fprintf(stderr, "zolta-run: %s\n", line.c_str());
  return status;
}

int run_estimate(const RunOptions& options) {
  std::string error;
  ByteReader input;
  if (!open_reader(input, options.input, error)) return fail(error);
  const bool ok = estimate_stream(input, stdout, options.profile_out, error);
  close_reader(input);
  return ok ? 0 : fail(error);
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
  if (options.demo) return run_demo(options);
  // Settings are checked before any input is read, so their faults are not
  // hidden behind the input's.
  zolta_settings settings;
  if (!settings_from_options(options, settings, error)) return fail(error);
  if (options.estimate) return run_estimate(options);

  int status = 1;
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
      ok = denoise_stream(options, settings, input, output.file, progress, error);
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
