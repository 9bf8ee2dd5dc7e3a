/* SPDX-License-Identifier: BSD-2-Clause */
// A recording stand-in for the USER32 dialog functions: one modal dialog
// whose controls keep the state the real ones would (check marks, trackbar
// range and position with the trackbar's clamping, number-box text), and
// user actions that send the messages Windows would send.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialog_api.h"

struct StubControl {
  bool checked = false;
  int range_min = 0;  // a fresh trackbar's range is 0..100
  int range_max = 100;
  int position = 0;
  int tick_frequency = 1;
  std::string text;
};

struct StubCall {
  std::string function;
  int id;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

class DialogStub {
 public:
  DialogStub();  // installs itself as the dialog table
  ~DialogStub();
  DialogStub(const DialogStub&) = delete;
  DialogStub& operator=(const DialogStub&) = delete;

  HWND window() const;
  HWND item(int id) const;
  StubControl& control(int id) { return controls[id]; }

  // Opens the dialog directly, as DialogBoxParamA would, runs `user` and
  // returns the end value (or -2 when the dialog never ended).
  INT_PTR open(LPARAM param);

  // User actions, each followed by the message the control sends.
  INT_PTR press(int id);                                      // push button
  INT_PTR toggle_check(int id);                               // check box
  INT_PTR pick_radio(int id, const std::vector<int>& group);  // radio button
  INT_PTR drag(int id, int position);                         // trackbar
  INT_PTR type(int box, const std::string& text);             // edit box
  INT_PTR send(UINT message, WPARAM wparam, LPARAM lparam);

  std::map<int, StubControl> controls;
  std::vector<StubCall> calls;  // SendDlgItemMessageA and SetDlgItemInt, in order
  WindowLong user_slot = 0;
  int user_slot_index = -1;
  bool ended = false;
  INT_PTR end_value = -2;
  int foreign_window_calls = 0;  // calls naming a window other than the dialog

  // What DialogBoxParamA was handed.
  int boxes_opened = 0;
  HINSTANCE instance = nullptr;
  LPCSTR template_name = nullptr;
  HWND owner = nullptr;
  DLGPROC procedure = nullptr;
  LPARAM init_param = 0;
  bool fail_create = false;  // DialogBoxParamA fails as USER32 does (-1)
  // When set, the only module holding the template: a dialog asked of any
  // other (or of none) is not found, and fails as USER32 does (-1).
  HINSTANCE template_module = nullptr;

  std::function<void(DialogStub&)> user;  // runs while the dialog is open
};
