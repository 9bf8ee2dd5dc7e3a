/* SPDX-License-Identifier: BSD-2-Clause */
// Driving a modal dialog from inside its own message loop, the way a person
// would: clicks, keys and trackbar moves sent to the real controls.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Calls open (which runs a modal dialog and returns its result) and, once a
// dialog with the given caption is shown on this thread, runs steps with its
// window handle from inside the dialog's message loop. Steps end by closing
// the dialog (or by posting what closes it). Returns false when the dialog
// never appeared or was left open; open's result goes to result.
bool drive_dialog(const char* caption, const std::function<int()>& open,
                  const std::function<void(HWND)>& steps, int& result, std::string& problem);

// A click on a button, check box or radio button.
void click(HWND dialog, int id);
// A key pressed (and released) while the control has the focus.
void press_key(HWND control, UINT virtual_key);
// A drag of a trackbar's thumb by dx pixels with the mouse, in steps.
void drag_trackbar_thumb(HWND trackbar, int dx, int steps);
// Posts an Escape key press to the focused control, for the dialog's own
// loop to handle after the steps return.
void post_escape(HWND dialog);

int trackbar_position(HWND dialog, int id);
std::string item_text(HWND dialog, int id);
bool is_checked(HWND dialog, int id);
std::string class_name(HWND window);

// Paints the window and saves what the screen shows of it as a PNG.
bool save_window_png(HWND window, const std::string& path, std::string& problem);
