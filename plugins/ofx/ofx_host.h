/* SPDX-License-Identifier: BSD-2-Clause */
// The suites the host gave (fetched once, at load) and the effect's way of
// reporting a failure: a message through the host's message suite, when it
// has one, and a status for the action.
#pragma once

#include "ofx_api.h"

struct OfxSuites {
  OfxHost* host = nullptr;
  const OfxPropertySuiteV1* property = nullptr;
  const OfxImageEffectSuiteV1* effect = nullptr;
  const OfxParameterSuiteV1* param = nullptr;
  const OfxMultiThreadSuiteV1* threads = nullptr;  // null: one thread
  const OfxMessageSuiteV1* message = nullptr;      // null: failures are only statuses
};

// The process's one set (the bundle holds one effect).
OfxSuites& ofx_suites();

// Sends "zolta: <message>" as an error about `instance` (null outside an
// instance) and returns `status`.
OfxStatus ofx_fail(OfxImageEffectHandle instance, OfxStatus status, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Runs body(first, end) over rows 0..rows - 1 in pieces, on the host's
// threads when it offers more than one (never more than it offers), else
// here.
void ofx_for_rows(int rows, void (*body)(int first, int end, void* arg), void* arg);
