// SPDX-License-Identifier: BSD-2-Clause
#include "ofx_host.h"

#include <cstdarg>
#include <cstdio>

OfxSuites& ofx_suites() {
  static OfxSuites suites;
  return suites;
}

OfxStatus ofx_fail(OfxImageEffectHandle instance, OfxStatus status, const char* format, ...) {
  char text[768];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  const OfxMessageSuiteV1* message = ofx_suites().message;
  if (message && message->message) {
    message->message(instance, kOfxMessageError, "org.zolta.denoise.error", "zolta: %s", text);
  }
  return status;
}

namespace {

struct RowJob {
  int rows;
  void (*body)(int, int, void*);
  void* arg;
};

void run_piece(unsigned int index, unsigned int count, void* arg) {
  const RowJob& job = *static_cast<const RowJob*>(arg);
  if (count == 0) return;
  const long long first = static_cast<long long>(job.rows) * index / count;
  const long long end = static_cast<long long>(job.rows) * (index + 1) / count;
  if (end > first) job.body(static_cast<int>(first), static_cast<int>(end), job.arg);
}

}  // namespace

void ofx_for_rows(int rows, void (*body)(int first, int end, void* arg), void* arg) {
  if (rows <= 0) return;
  const OfxMultiThreadSuiteV1* threads = ofx_suites().threads;
  unsigned int cpus = 1;
  if (threads && threads->multiThread && threads->multiThreadNumCPUs &&
      threads->multiThreadNumCPUs(&cpus) == kOfxStatOK && cpus > 1 &&
      !(threads->multiThreadIsSpawnedThread && threads->multiThreadIsSpawnedThread())) {
    // Pieces of at least 16 rows: fewer threads for small pictures.
    const unsigned int most = static_cast<unsigned int>((rows + 15) / 16);
    RowJob job{rows, body, arg};
    if (threads->multiThread(run_piece, cpus < most ? cpus : most, &job) == kOfxStatOK) return;
  }
  body(0, rows, arg);
}
