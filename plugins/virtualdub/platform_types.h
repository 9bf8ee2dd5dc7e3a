/* SPDX-License-Identifier: BSD-2-Clause */
// Win32 types and constants the VirtualDub side uses. On Windows they come
// from the platform headers; natively (development and tests) we declare the
// handful we need, with the same values, so the same code compiles everywhere.
#pragma once

#include <cstdint>

#ifdef _WIN32

#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#else  // native stand-ins

#define __cdecl
#define __stdcall
#define WINAPI
#define CALLBACK

struct HWND__;
struct HINSTANCE__;
struct HDC__;
typedef HWND__* HWND;
typedef HINSTANCE__* HINSTANCE;
typedef HDC__* HDC;

typedef int BOOL;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef const char* LPCSTR;
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_HSCROLL = 0x0114;

constexpr UINT TBM_GETPOS = 0x0400;
constexpr UINT TBM_SETPOS = 0x0405;
constexpr UINT TBM_SETRANGE = 0x0406;
constexpr UINT TBM_SETTICFREQ = 0x0414;

constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;

// The dialog's user-data slot. Natively it must hold a whole pointer.
constexpr int DWL_USER = 8;

inline LPCSTR MAKEINTRESOURCEA(int id) {
  return reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<uint16_t>(id)));
}

#endif  // _WIN32

// The long stored in a window's user-data slot: wide enough for a pointer on
// every target we build for.
#if defined(_WIN32)
typedef LONG_PTR WindowLong;
#else
typedef intptr_t WindowLong;
#endif

#if defined(_WIN64)
constexpr int kDialogUserSlot = DWLP_USER;
#else
constexpr int kDialogUserSlot = DWL_USER;
#endif
