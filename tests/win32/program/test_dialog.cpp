// SPDX-License-Identifier: BSD-2-Clause
// The configuration dialog, opened through the definition's configProc on a
// real (virtual) display and used as a person would use it.
#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config_dialog_layout.h"
#include "dialog_driver.h"
#include "vdub_session.h"

using namespace zolta;

namespace {

const int kSliders[6] = {1013, 1014, 1015, 1016, 1017, 1018};
const int kNumbers[6] = {1002, 1003, 1004, 1005, 1006, 1008};

void initialise_common_controls() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
}

// Opens the dialog of the instance, runs steps in it, and returns what
// configProc returned (-100 when the dialog could not be driven).
int run_dialog(VdubInstance& instance, bool with_preview, const std::function<void(HWND)>& steps) {
  int result = -100;
  std::string problem;
  const bool driven = drive_dialog(
      kConfigDialogCaption, [&] { return instance.config(nullptr, with_preview); }, steps, result,
      problem);
  EXPECT_TRUE(driven) << problem;
  return driven ? result : -100;
}

bool sliders_show(HWND dialog, const int32_t (&thresholds)[6]) {
  for (int i = 0; i < 6; ++i) {
    const int32_t v = thresholds[i];
    const int32_t shown_position = v < 0 ? 0 : (v > 255 ? 255 : v);
    if (trackbar_position(dialog, kSliders[i]) != shown_position) return false;
    if (item_text(dialog, kNumbers[i]) != std::to_string(static_cast<uint32_t>(v))) return false;
  }
  return true;
}

}  // namespace

TEST(Dialog, Template101MatchesItsLayout) {
  HMODULE module = static_cast<HMODULE>(test_context().library.handle);
  ASSERT_TRUE(module);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kConfigDialogResource), MAKEINTRESOURCEA(5));
  ASSERT_TRUE(found);
  const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  ASSERT_TRUE(bytes);
  DialogTemplate dialog;
  std::string error;
  const bool read = read_dialog_template(bytes, SizeofResource(module, found), dialog, error);
  ASSERT_TRUE(read) << error;

  const std::vector<std::string> misfits = config_dialog_misfits(dialog);
  for (const std::string& misfit : misfits) ADD_FAILURE() << misfit;
}

TEST(Dialog, UsedWithTheMouseAndKeyboardThenCancelled) {
  ASSERT_TRUE(test_context().library.vdub_init);
  initialise_common_controls();
  VdubSession session;
  ASSERT_EQ(session.load_result, 0);
  VdubInstance& instance = session.instance;
  FilterState& state = session.state();
  // Cb thresholds 5, 10, ... 30 and Cr 200; Y keeps its defaults.
  ASSERT_TRUE(instance.run_script("Config(0, 0, 0, 1290, 3860, 6430, 51400, 51400, 51400)"));
  RecordingPreview& preview = instance.preview;

  const int result = run_dialog(instance, true, [&](HWND dialog) {
    // As opened on defaults.
    EXPECT_TRUE(sliders_show(dialog, state.thresholds[0]));
    EXPECT_TRUE(is_checked(dialog, 1022) && !is_checked(dialog, 1023) && !is_checked(dialog, 1024));
    EXPECT_TRUE(is_checked(dialog, 1009));
    EXPECT_TRUE(!is_checked(dialog, 1010));
    EXPECT_TRUE(is_checked(dialog, 1011) && !is_checked(dialog, 1012) && !is_checked(dialog, 1021));
    EXPECT_EQ(preview.count("InitButton"), 1);
    EXPECT_TRUE(preview.button == GetDlgItem(dialog, 9));
    EXPECT_EQ(preview.count("RedoFrame"), 0);
    std::string problem;
    const std::string shot = test_context().output_dir + "/dialog.png";
    const bool saved = save_window_png(dialog, shot, problem);
    EXPECT_TRUE(saved) << "screenshot: " << problem;

    // The live controls are those of the template.
    for (size_t i = 0; i < kConfigDialogControlCount; ++i) {
      const ExpectedControl& c = kConfigDialogControls[i];
      if (c.id >= 0) {
        EXPECT_TRUE(same_window_class(class_name(GetDlgItem(dialog, c.id)), c.window_class));
      }
    }

    // Plane Cb: its thresholds appear.
    click(dialog, 1012);
    EXPECT_EQ(state.plane, 1);
    EXPECT_TRUE(sliders_show(dialog, state.thresholds[1]));
    EXPECT_EQ(preview.count("RedoFrame"), 1);

    // One step right on X1 writes all six positions into Cb only.
    const int redo_before_key = preview.count("RedoFrame");
    press_key(GetDlgItem(dialog, 1015), VK_RIGHT);
    EXPECT_EQ(state.thresholds[1][2], 16);
    EXPECT_TRUE(sliders_show(dialog, state.thresholds[1]));
    EXPECT_EQ(item_text(dialog, 1004), std::string("16"));
    EXPECT_TRUE(preview.count("RedoFrame") > redo_before_key);
    // End of the range, and a page down from the start.
    press_key(GetDlgItem(dialog, 1013), VK_END);
    EXPECT_EQ(state.thresholds[1][0], 255);
    EXPECT_EQ(item_text(dialog, 1002), std::string("255"));
    press_key(GetDlgItem(dialog, 1018), VK_HOME);
    EXPECT_EQ(state.thresholds[1][5], 0);
    press_key(GetDlgItem(dialog, 1018), VK_NEXT);
    EXPECT_TRUE(state.thresholds[1][5] > 0);
    EXPECT_EQ(state.thresholds[1][5], trackbar_position(dialog, 1018));
    // A mouse drag applies the positions on the way.
    const int y0_before = state.thresholds[1][1];
    const int redo_before_drag = preview.count("RedoFrame");
    drag_trackbar_thumb(GetDlgItem(dialog, 1014), 60, 6);
    EXPECT_TRUE(state.thresholds[1][1] > y0_before);
    EXPECT_EQ(state.thresholds[1][1], trackbar_position(dialog, 1014));
    EXPECT_TRUE(preview.count("RedoFrame") - redo_before_drag >= 3);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(state.thresholds[0][i], 0);
      EXPECT_EQ(state.thresholds[2][i], 200);
    }

    // Typing into a number box changes no threshold; the next slider move
    // overwrites the box.
    SetDlgItemTextA(dialog, 1003, "77");
    EXPECT_TRUE(state.thresholds[1][1] != 77);
    press_key(GetDlgItem(dialog, 1016), VK_LEFT);
    EXPECT_EQ(item_text(dialog, 1003), std::to_string(state.thresholds[1][1]));

    // The two check boxes.
    const int redo_before_boxes = preview.count("RedoFrame");
    click(dialog, 1009);
    EXPECT_EQ(state.enabled, 0);
    click(dialog, 1009);
    EXPECT_EQ(state.enabled, 1);
    click(dialog, 1010);
    EXPECT_EQ(state.show_plane, 1);
    EXPECT_EQ(preview.count("RedoFrame") - redo_before_boxes, 3);

    // Modes.
    click(dialog, 1023);
    EXPECT_EQ(state.mode, static_cast<int32_t>(High));
    click(dialog, 1024);
    EXPECT_EQ(state.mode, static_cast<int32_t>(Diff));
    EXPECT_TRUE(is_checked(dialog, 1024) && !is_checked(dialog, 1022) && !is_checked(dialog, 1023));

    // The preview button toggles without refiltering.
    const int redo_before_toggle = preview.count("RedoFrame");
    click(dialog, 9);
    EXPECT_EQ(preview.count("Toggle"), 1);
    EXPECT_TRUE(preview.toggle_window == dialog);
    EXPECT_EQ(preview.count("RedoFrame"), redo_before_toggle);

    click(dialog, 2);  // Cancel
  });
  EXPECT_EQ(result, 1);
  // Cancel restores nothing.
  EXPECT_EQ(state.thresholds[1][0], 255);
  EXPECT_EQ(state.thresholds[1][2], 16);
  EXPECT_EQ(state.mode, static_cast<int32_t>(Diff));
  EXPECT_EQ(state.plane, 1);
  EXPECT_EQ(state.show_plane, 1);
  // The module keeps the host's preview: the same address, seen through the
  // module's own declaration of the interface.
  EXPECT_TRUE(
      static_cast<const void*>(state.preview) ==
      static_cast<const void*>(static_cast<standin_vdub::IFilterPreview*>(&instance.preview)));
}

TEST(Dialog, ReopenedClosedByOkEscapeAndTheCloseBoxAndWithoutPreview) {
  ASSERT_TRUE(test_context().library.vdub_init);
  initialise_common_controls();
  VdubSession session;
  ASSERT_EQ(session.load_result, 0);
  VdubInstance& instance = session.instance;
  FilterState& state = session.state();
  RecordingPreview& preview = instance.preview;
  state.plane = 2;
  state.mode = High;
  state.enabled = 0;
  // Y: X0 = 300 through the script (first of the pair, 300 * 256).
  ASSERT_TRUE(instance.run_script("Config(76800, 0, 0, 0, 0, 0, 2570, 2570, 2570)"));

  // Reopened: the settings as they stand, then OK without touching a mode.
  int result = run_dialog(instance, true, [&](HWND dialog) {
    EXPECT_TRUE(is_checked(dialog, 1021));
    EXPECT_TRUE(is_checked(dialog, 1023));
    EXPECT_TRUE(!is_checked(dialog, 1009));
    EXPECT_TRUE(sliders_show(dialog, state.thresholds[2]));
    preview.clear();
    click(dialog, 1);
    EXPECT_EQ(preview.count("RedoFrame"), 0);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(state.mode, static_cast<int32_t>(High));

  // Out-of-range threshold: shown as a number, the slider at its end; the
  // first slider move on the plane stores the slider's value. Then Escape.
  result = run_dialog(instance, true, [&](HWND dialog) {
    click(dialog, 1011);
    EXPECT_EQ(state.plane, 0);
    EXPECT_EQ(item_text(dialog, 1002), std::string("300"));
    EXPECT_EQ(trackbar_position(dialog, 1013), 255);
    press_key(GetDlgItem(dialog, 1014), VK_RIGHT);
    EXPECT_EQ(state.thresholds[0][0], 255);
    EXPECT_EQ(state.thresholds[0][1], 1);
    click(dialog, 1022);
    post_escape(dialog);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(state.mode, static_cast<int32_t>(Normal));

  // The close box cancels.
  result = run_dialog(instance, true,
                      [&](HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
  EXPECT_EQ(result, 1);

  // A host without a preview: the controls still work.
  result = run_dialog(instance, false, [&](HWND dialog) {
    click(dialog, 1009);
    press_key(GetDlgItem(dialog, 1017), VK_RIGHT);
    click(dialog, 1);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(state.enabled, 1);
  EXPECT_EQ(state.thresholds[0][4], 1);

  // A module handle without the template: the platform's failure result
  // comes back unchanged and no setting moves.
  FilterState before = state;
  session.host.module().hInstModule = GetModuleHandleA(nullptr);
  EXPECT_EQ(instance.config(nullptr, true), -1);
  EXPECT_TRUE(std::memcmp(before.thresholds, state.thresholds, sizeof before.thresholds) == 0);
  EXPECT_EQ(state.mode, before.mode);
  EXPECT_EQ(state.plane, before.plane);
  EXPECT_EQ(state.enabled, before.enabled);
}

// Newer VirtualDub builds leave the module's instance field null.
TEST(Dialog, OpensAndWorksForAHostThatNamesNoModule) {
  ASSERT_TRUE(test_context().library.vdub_init);
  initialise_common_controls();
  VdubSession session(nullptr);
  ASSERT_EQ(session.load_result, 0);
  ASSERT_TRUE(session.host.module().hInstModule == nullptr);
  VdubInstance& instance = session.instance;
  FilterState& state = session.state();
  RecordingPreview& preview = instance.preview;

  const int result = run_dialog(instance, true, [&](HWND dialog) {
    EXPECT_TRUE(sliders_show(dialog, state.thresholds[0]));
    EXPECT_TRUE(preview.button == GetDlgItem(dialog, 9));
    click(dialog, 1021);
    press_key(GetDlgItem(dialog, 1016), VK_RIGHT);
    click(dialog, 1);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(state.plane, 2);
  EXPECT_EQ(state.thresholds[2][3], 1);
  EXPECT_TRUE(preview.count("RedoFrame") >= 2);
}
