// SPDX-License-Identifier: BSD-2-Clause
#include "dialog_stub.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "config_dialog.h"

namespace {

DialogStub* stub = nullptr;

constexpr uintptr_t kWindow = 0x1000;
constexpr uintptr_t kItemBase = 0x100000;
constexpr UINT kTrackThumb = 5;      // TB_THUMBTRACK
constexpr UINT kEditChange = 0x300;  // EN_CHANGE

bool mine(HWND window) {
  if (window == stub->window()) return true;
  ++stub->foreign_window_calls;
  return false;
}

INT_PTR WINAPI box_param(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure,
                         LPARAM param) {
  ++stub->boxes_opened;
  stub->instance = instance;
  stub->template_name = name;
  stub->owner = owner;
  stub->procedure = procedure;
  stub->init_param = param;
  if (stub->fail_create) return -1;
  if (stub->template_module && instance != stub->template_module) return -1;
  return stub->open(param);
}

BOOL WINAPI end_dialog(HWND window, INT_PTR result) {
  if (!mine(window)) return FALSE;
  stub->ended = true;
  stub->end_value = result;
  return TRUE;
}

HWND WINAPI dlg_item(HWND window, int id) {
  return mine(window) ? stub->item(id) : nullptr;
}

BOOL WINAPI check_button(HWND window, int id, UINT check) {
  if (!mine(window)) return FALSE;
  stub->control(id).checked = check == BST_CHECKED;
  return TRUE;
}

UINT WINAPI button_checked(HWND window, int id) {
  if (!mine(window)) return BST_UNCHECKED;
  return stub->control(id).checked ? BST_CHECKED : BST_UNCHECKED;
}

LRESULT WINAPI item_message(HWND window, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!mine(window)) return 0;
  stub->calls.push_back({"SendDlgItemMessageA", id, message, wparam, lparam});
  StubControl& c = stub->control(id);
  switch (message) {
    case TBM_SETTICFREQ:
      c.tick_frequency = static_cast<int>(wparam);
      return 0;
    case TBM_SETRANGE:
      c.range_min = static_cast<int>(lparam & 0xFFFF);
      c.range_max = static_cast<int>((lparam >> 16) & 0xFFFF);
      c.position = std::clamp(c.position, c.range_min, c.range_max);
      return 0;
    case TBM_SETPOS:
      c.position = std::clamp(static_cast<int>(lparam), c.range_min, c.range_max);
      return 0;
    case TBM_GETPOS:
      return c.position;
    default:
      return 0;
  }
}

BOOL WINAPI set_item_int(HWND window, int id, UINT value, BOOL is_signed) {
  if (!mine(window)) return FALSE;
  stub->calls.push_back({"SetDlgItemInt", id, 0, value, is_signed});
  char text[16];
  if (is_signed) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  } else {
    std::snprintf(text, sizeof text, "%u", value);
  }
  stub->control(id).text = text;
  return TRUE;
}

WindowLong WINAPI set_long(HWND window, int index, WindowLong value) {
  if (!mine(window)) return 0;
  const WindowLong before = stub->user_slot;
  stub->user_slot_index = index;
  stub->user_slot = value;
  return before;
}

WindowLong WINAPI get_long(HWND window, int index) {
  if (!mine(window) || index != stub->user_slot_index) return 0;
  return stub->user_slot;
}

const DialogApi stub_table = {box_param,    end_dialog,   dlg_item, check_button, button_checked,
                              item_message, set_item_int, set_long, get_long};

}  // namespace

DialogStub::DialogStub() {
  stub = this;
  install_dialog_api(&stub_table);
}

DialogStub::~DialogStub() {
  install_dialog_api(nullptr);
  stub = nullptr;
}

HWND DialogStub::window() const {
  return reinterpret_cast<HWND>(kWindow);
}

HWND DialogStub::item(int id) const {
  return reinterpret_cast<HWND>(kItemBase + id);
}

INT_PTR DialogStub::open(LPARAM param) {
  ended = false;
  end_value = -2;
  send(WM_INITDIALOG, 0, param);
  if (user) user(*this);
  return ended ? end_value : -2;
}

INT_PTR DialogStub::send(UINT message, WPARAM wparam, LPARAM lparam) {
  DLGPROC proc = procedure ? procedure : config_dialog_proc;
  return proc(window(), message, wparam, lparam);
}

INT_PTR DialogStub::press(int id) {
  return send(WM_COMMAND, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(item(id)));
}

INT_PTR DialogStub::toggle_check(int id) {
  control(id).checked = !control(id).checked;
  return press(id);
}

INT_PTR DialogStub::pick_radio(int id, const std::vector<int>& group) {
  for (int other : group) control(other).checked = other == id;
  return press(id);
}

INT_PTR DialogStub::drag(int id, int position) {
  StubControl& c = control(id);
  c.position = std::clamp(position, c.range_min, c.range_max);
  const WPARAM wparam = kTrackThumb | (static_cast<WPARAM>(c.position & 0xFFFF) << 16);
  return send(WM_HSCROLL, wparam, reinterpret_cast<LPARAM>(item(id)));
}

INT_PTR DialogStub::type(int box, const std::string& text) {
  control(box).text = text;
  const WPARAM wparam = static_cast<WPARAM>(box) | (static_cast<WPARAM>(kEditChange) << 16);
  return send(WM_COMMAND, wparam, reinterpret_cast<LPARAM>(item(box)));
}
