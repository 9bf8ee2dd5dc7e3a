// SPDX-License-Identifier: BSD-2-Clause
#include "dialog_driver.h"

#include <commctrl.h>

#include <vector>

#include "png_writer.h"

namespace {

struct Session {
  const char* caption;
  const std::function<void(HWND)>* steps;
  HWND dialog = nullptr;
  bool ran = false;
  bool forced = false;
  int ticks = 0;
};

Session* current = nullptr;
constexpr UINT kTickMs = 20;
constexpr int kMaxTicks = 500;  // ten seconds for the dialog to appear, and to close

BOOL CALLBACK find_dialog(HWND window, LPARAM) {
  char text[128] = {};
  GetWindowTextA(window, text, sizeof text);
  if (IsWindowVisible(window) && lstrcmpA(text, current->caption) == 0) {
    current->dialog = window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK on_tick(HWND, UINT, UINT_PTR timer, DWORD) {
  if (!current) return;
  if (current->ran) {
    // The steps are done; a dialog that is still open after a while is
    // closed here, so that a dialog ignoring its buttons cannot hang the run.
    if (++current->ticks > kMaxTicks && IsWindow(current->dialog)) {
      KillTimer(nullptr, timer);
      current->forced = true;
      EndDialog(current->dialog, -2);
    }
    return;
  }
  if (++current->ticks > kMaxTicks) {
    KillTimer(nullptr, timer);
    return;
  }
  EnumThreadWindows(GetCurrentThreadId(), find_dialog, 0);
  if (!current->dialog) return;
  current->ran = true;
  current->ticks = 0;
  (*current->steps)(current->dialog);
}

// Handles the thread's messages for a while, as the modal loop would.
void pump_messages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
}

POINT thumb_centre(HWND trackbar) {
  RECT thumb{};
  SendMessageA(trackbar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  return POINT{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
}

}  // namespace

bool drive_dialog(const char* caption, const std::function<int()>& open,
                  const std::function<void(HWND)>& steps, int& result, std::string& problem) {
  Session session;
  session.caption = caption;
  session.steps = &steps;
  current = &session;
  const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, on_tick);
  result = open();
  KillTimer(nullptr, timer);
  current = nullptr;
  if (!session.ran) {
    problem = "the dialog \"" + std::string(caption) + "\" did not appear (result " +
              std::to_string(result) + ", Windows error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  if (session.forced || IsWindow(session.dialog)) {
    problem = "the dialog was left open";
    return false;
  }
  return true;
}

void click(HWND dialog, int id) {
  SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void press_key(HWND control, UINT virtual_key) {
  SetFocus(control);
  SendMessageA(control, WM_KEYDOWN, virtual_key, 1);
  SendMessageA(control, WM_KEYUP, virtual_key, 0xC0000001);
}

void drag_trackbar_thumb(HWND trackbar, int dx, int steps) {
  SetFocus(trackbar);
  const POINT start = thumb_centre(trackbar);
  SendMessageA(trackbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
  for (int i = 1; i <= steps; ++i) {
    const int x = start.x + dx * i / steps;
    SendMessageA(trackbar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, start.y));
  }
  SendMessageA(trackbar, WM_LBUTTONUP, 0, MAKELPARAM(start.x + dx, start.y));
}

void post_escape(HWND dialog) {
  HWND focus = GetFocus();
  HWND target = (focus && (focus == dialog || IsChild(dialog, focus))) ? focus : dialog;
  PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1);
  PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}

int trackbar_position(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, TBM_GETPOS, 0, 0));
}

std::string item_text(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

bool is_checked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

std::string class_name(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool save_window_png(HWND window, const std::string& path, std::string& problem) {
  SetForegroundWindow(window);
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();
  // The display server draws after the calls return: give it time.
  pump_messages(300);
  RECT r{};
  GetWindowRect(window, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) {
    problem = "the window has no area";
    return false;
  }
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top to bottom
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap && bits;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    // What the screen shows; if that cannot be read, let the window print itself.
    ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) ||
         PrintWindow(window, memory, 0);
    GdiFlush();
    SelectObject(memory, old);
  }
  std::vector<uint8_t> rgb;
  if (ok) {
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    rgb.resize(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
      rgb[3 * i] = p[4 * i + 2];
      rgb[3 * i + 1] = p[4 * i + 1];
      rgb[3 * i + 2] = p[4 * i];
    }
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!ok) {
    problem = "the screen could not be read";
    return false;
  }
  if (!write_png_rgb(path, rgb, static_cast<uint32_t>(width), static_cast<uint32_t>(height))) {
    problem = "cannot write " + path;
    return false;
  }
  return true;
}
