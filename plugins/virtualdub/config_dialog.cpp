// SPDX-License-Identifier: BSD-2-Clause
#include "config_dialog.h"

#include "dialog_api.h"
#include "filter_state.h"
#include "resource.h"
#include "vdub_interface.h"

using namespace zolta;

const int kThresholdSliders[6] = {IDC_SLIDER_X0, IDC_SLIDER_Y0, IDC_SLIDER_X1,
                                  IDC_SLIDER_Y1, IDC_SLIDER_X2, IDC_SLIDER_Y2};
const int kThresholdBoxes[6] = {IDC_VALUE_X0, IDC_VALUE_Y0, IDC_VALUE_X1,
                                IDC_VALUE_Y1, IDC_VALUE_X2, IDC_VALUE_Y2};

namespace {

constexpr int kSliderMax = 255;
constexpr int kTickEvery = 4;

const int kModeButtons[3] = {IDC_MODE_NORMAL, IDC_MODE_HIGH, IDC_MODE_DIFF};
const int kPlaneButtons[3] = {IDC_PLANE_Y, IDC_PLANE_CB, IDC_PLANE_CR};

FilterState* dialog_state(HWND dialog) {
  return reinterpret_cast<FilterState*>(dialog_api().GetWindowLongA(dialog, kDialogUserSlot));
}

// The plane the sliders edit; a value from outside the dialog's range is
// read as Y rather than indexing past the thresholds.
int32_t* selected_thresholds(FilterState& state) {
  const int plane = state.plane >= 0 && state.plane <= 2 ? state.plane : 0;
  return state.thresholds[plane];
}

void redo_frame(FilterState& state) {
  if (state.preview) state.preview->RedoFrame();
}

bool is_checked(HWND dialog, int id) {
  return dialog_api().IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void check(HWND dialog, int id, bool on) {
  dialog_api().CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

void show_number(HWND dialog, int box, int32_t value) {
  dialog_api().SetDlgItemInt(dialog, box, static_cast<UINT>(value), FALSE);
}

void init_dialog(HWND dialog, FilterState& state) {
  const DialogApi& api = dialog_api();
  api.SetWindowLongA(dialog, kDialogUserSlot, reinterpret_cast<WindowLong>(&state));
  refresh_sliders(dialog);
  for (int m = 0; m < 3; ++m) check(dialog, kModeButtons[m], state.mode == m);
  check(dialog, IDC_ENABLE, state.enabled != 0);
  check(dialog, IDC_SHOW_PLANE, state.show_plane != 0);
  for (int p = 0; p < 3; ++p) check(dialog, kPlaneButtons[p], state.plane == p);
  if (state.preview) state.preview->InitButton(api.GetDlgItem(dialog, IDC_PREVIEW));
}

void accept(HWND dialog, FilterState& state) {
  const int32_t before = state.mode;
  for (int m = 0; m < 3; ++m) {
    if (is_checked(dialog, kModeButtons[m])) {
      state.mode = m;
      break;
    }
  }
  if (state.mode != before) redo_frame(state);
  dialog_api().EndDialog(dialog, 0);
}

void read_sliders(HWND dialog, FilterState& state) {
  int32_t* thresholds = selected_thresholds(state);
  for (int i = 0; i < 6; ++i) {
    const LRESULT position =
        dialog_api().SendDlgItemMessageA(dialog, kThresholdSliders[i], TBM_GETPOS, 0, 0);
    thresholds[i] = static_cast<int32_t>(position);
    show_number(dialog, kThresholdBoxes[i], thresholds[i]);
  }
  redo_frame(state);
}

// A WM_COMMAND from control id; the notification code is never looked at.
void command(HWND dialog, FilterState& state, int id) {
  switch (id) {
    case IDOK:
      accept(dialog, state);
      return;
    case IDCANCEL:
      dialog_api().EndDialog(dialog, 1);  // the edits stay: nothing is undone
      return;
    case IDC_PREVIEW:
      if (state.preview) state.preview->Toggle(dialog);
      return;
    case IDC_ENABLE:
      state.enabled = is_checked(dialog, IDC_ENABLE) ? 1 : 0;
      redo_frame(state);
      return;
    case IDC_SHOW_PLANE:
      state.show_plane = is_checked(dialog, IDC_SHOW_PLANE) ? 1 : 0;
      redo_frame(state);
      return;
    case IDC_PLANE_Y:
    case IDC_PLANE_CB:
    case IDC_PLANE_CR:
      state.plane = id == IDC_PLANE_Y ? 0 : id == IDC_PLANE_CB ? 1 : 2;
      refresh_sliders(dialog);
      redo_frame(state);
      return;
    case IDC_MODE_NORMAL:
    case IDC_MODE_HIGH:
    case IDC_MODE_DIFF:
      state.mode = id == IDC_MODE_NORMAL ? Normal : id == IDC_MODE_HIGH ? High : Diff;
      redo_frame(state);
      return;
    default:
      return;
  }
}

}  // namespace

void refresh_sliders(HWND dialog) {
  FilterState* state = dialog_state(dialog);
  if (!state) return;
  const DialogApi& api = dialog_api();
  const int32_t* thresholds = selected_thresholds(*state);
  for (int i = 0; i < 6; ++i) {
    const int slider = kThresholdSliders[i];
    api.SendDlgItemMessageA(dialog, slider, TBM_SETTICFREQ, kTickEvery, 0);
    api.SendDlgItemMessageA(dialog, slider, TBM_SETRANGE, FALSE,
                            static_cast<LPARAM>(static_cast<uint32_t>(kSliderMax) << 16));
    api.SendDlgItemMessageA(dialog, slider, TBM_SETPOS, TRUE, static_cast<LPARAM>(thresholds[i]));
    show_number(dialog, kThresholdBoxes[i], thresholds[i]);
  }
}

INT_PTR CALLBACK config_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    FilterState* state = reinterpret_cast<FilterState*>(lparam);
    if (!state) return TRUE;
    init_dialog(dialog, *state);
    return TRUE;
  }
  // Messages that arrive before WM_INITDIALOG find no state and are ignored.
  FilterState* state = dialog_state(dialog);
  if (!state) return FALSE;
  switch (message) {
    case WM_COMMAND: {
      const int id = static_cast<int>(wparam & 0xFFFF);
      command(dialog, *state, id);
      return id == IDOK || id == IDCANCEL ? TRUE : FALSE;
    }
    case WM_HSCROLL:
      read_sliders(dialog, *state);
      return FALSE;
    default:
      return FALSE;
  }
}
