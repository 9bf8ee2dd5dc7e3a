// SPDX-License-Identifier: BSD-2-Clause
#include "dialog_api.h"

#ifdef _WIN32

const DialogApi& dialog_api() {
#ifdef _WIN64
  static const DialogApi user32 = {::DialogBoxParamA, ::EndDialog,          ::GetDlgItem,
                                   ::CheckDlgButton,  ::IsDlgButtonChecked, ::SendDlgItemMessageA,
                                   ::SetDlgItemInt,   ::SetWindowLongPtrA,  ::GetWindowLongPtrA};
#else
  static const DialogApi user32 = {::DialogBoxParamA, ::EndDialog,          ::GetDlgItem,
                                   ::CheckDlgButton,  ::IsDlgButtonChecked, ::SendDlgItemMessageA,
                                   ::SetDlgItemInt,   ::SetWindowLongA,     ::GetWindowLongA};
#endif
  return user32;
}

#else  // native

namespace {

// Without a window system no dialog can be created: DialogBoxParamA fails
// the way USER32 does (-1) and nothing else is ever reached.
INT_PTR no_dialog(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM) {
  return -1;
}
BOOL no_end(HWND, INT_PTR) {
  return FALSE;
}
HWND no_item(HWND, int) {
  return nullptr;
}
BOOL no_check(HWND, int, UINT) {
  return FALSE;
}
UINT no_checked(HWND, int) {
  return BST_UNCHECKED;
}
LRESULT no_message(HWND, int, UINT, WPARAM, LPARAM) {
  return 0;
}
BOOL no_int(HWND, int, UINT, BOOL) {
  return FALSE;
}
WindowLong no_set_long(HWND, int, WindowLong) {
  return 0;
}
WindowLong no_get_long(HWND, int) {
  return 0;
}

const DialogApi no_window_system = {no_dialog,  no_end, no_item,     no_check,   no_checked,
                                    no_message, no_int, no_set_long, no_get_long};

const DialogApi* installed = &no_window_system;

}  // namespace

const DialogApi& dialog_api() {
  return *installed;
}

void install_dialog_api(const DialogApi* api) {
  installed = api ? api : &no_window_system;
}

#endif
