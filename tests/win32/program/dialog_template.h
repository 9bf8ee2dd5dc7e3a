/* SPDX-License-Identifier: BSD-2-Clause */
// Reading a dialog template resource (the classic binary form the resource
// compiler makes of a DIALOG statement) into plain records, so its controls
// can be compared with the layout the dialog is meant to have.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DialogItem {
  uint32_t style = 0;
  uint32_t ex_style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  int id = 0;                        // -1 for the usual "no id" of labels
  std::string window_class;          // predefined classes by name: Button, Edit, Static, ...
  std::string caption;
};

struct DialogTemplate {
  uint32_t style = 0;
  uint32_t ex_style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string caption;
  int font_points = 0;
  std::string font;
  std::vector<DialogItem> items;
};

bool read_dialog_template(const uint8_t* bytes, size_t size, DialogTemplate& dialog,
                          std::string& error);
