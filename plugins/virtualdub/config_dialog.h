/* SPDX-License-Identifier: BSD-2-Clause */
// The configuration dialog (resource IDD_FILTER_CONFIG): edits one instance's
// settings in place, with the host's preview redone after every change.
#pragma once

#include "platform_types.h"

// Sliders and their number boxes, in threshold order X0, Y0, X1, Y1, X2, Y2.
extern const int kThresholdSliders[6];
extern const int kThresholdBoxes[6];

INT_PTR CALLBACK config_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Loads the selected plane's six thresholds into the sliders and boxes.
void refresh_sliders(HWND dialog);
