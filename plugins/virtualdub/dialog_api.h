/* SPDX-License-Identifier: BSD-2-Clause */
// The USER32 dialog functions the configuration dialog calls, gathered in one
// table. On Windows the table holds the real functions; natively it holds
// stand-ins that create no dialog, and tests install a recording one.
#pragma once

#include "platform_types.h"

struct DialogApi {
  INT_PTR(WINAPI* DialogBoxParamA)
  (HINSTANCE instance, LPCSTR template_name, HWND owner, DLGPROC procedure, LPARAM init_param);
  BOOL(WINAPI* EndDialog)(HWND dialog, INT_PTR result);
  HWND(WINAPI* GetDlgItem)(HWND dialog, int id);
  BOOL(WINAPI* CheckDlgButton)(HWND dialog, int id, UINT check);
  UINT(WINAPI* IsDlgButtonChecked)(HWND dialog, int id);
  LRESULT(WINAPI* SendDlgItemMessageA)
  (HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
  BOOL(WINAPI* SetDlgItemInt)(HWND dialog, int id, UINT value, BOOL is_signed);
  WindowLong(WINAPI* SetWindowLongA)(HWND window, int index, WindowLong value);
  WindowLong(WINAPI* GetWindowLongA)(HWND window, int index);
};

const DialogApi& dialog_api();

#ifndef _WIN32
// Natively only: replaces the table (null restores the built-in one).
void install_dialog_api(const DialogApi* api);
#endif
