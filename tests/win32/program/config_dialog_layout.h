/* SPDX-License-Identifier: BSD-2-Clause */
// The layout the filter's configuration dialog (resource 101) is meant to
// have, control by control in template (tab) order, and the comparison of a
// decoded template with it. Used natively on the compiled resource file and
// by the Windows test program on the resource inside the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dialog_template.h"

constexpr int kConfigDialogResource = 101;
constexpr const char kConfigDialogCaption[] = "filter: quilmer";

struct ExpectedControl {
  int id;  // -1: none
  const char* window_class;
  const char* caption;
  int x, y, cx, cy;  // dialog units
  uint32_t style;    // the whole style, child and visible bits included
};

extern const ExpectedControl kConfigDialogControls[];
extern const size_t kConfigDialogControlCount;

// Window class names compare without regard to case, as Windows does.
bool same_window_class(const std::string& a, const std::string& b);

// Every way the template differs from the layout, one description each;
// empty when it fits.
std::vector<std::string> config_dialog_misfits(const DialogTemplate& dialog);
