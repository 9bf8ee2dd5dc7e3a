// The configuration dialog, opened through the definition's configProc on a
// real (virtual) display and used as a person would use it.
#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#include <cstring>
#include <string>

#include "check.h"
#include "dialog_driver.h"
#include "dialog_template.h"
#include "filter_state.h"
#include "test_context.h"
#include "vdub_host.h"

namespace {

constexpr const char kCaption[] = "filter: quilmer";

enum Kind { GroupBox, PushButton, Radio, Label, Trackbar, NumberBox, CheckBox };

struct ExpectedControl {
  int id;  // -1: none
  Kind kind;
  const char* caption;
  int x, y, cx, cy;
  bool starts_group;
};

// The layout of resource 101, in template (tab) order.
const ExpectedControl kControls[] = {
    {-1, GroupBox, "Threshold", 7, 81, 173, 153, false},
    {-1, GroupBox, "Processing", 7, 7, 173, 72, false},
    {1, PushButton, "OK", 13, 242, 50, 14, false},
    {9, PushButton, "Show Preview", 121, 242, 50, 14, false},
    {2, PushButton, "Cancel", 65, 242, 50, 14, false},
    {1011, Radio, "&Y", 48, 92, 23, 15, false},
    {1012, Radio, "C&b", 77, 92, 23, 15, false},
    {1021, Radio, "C&r", 104, 93, 23, 15, false},
    {-1, Label, "Mode", 15, 62, 20, 12, true},
    {1022, Radio, "&N:ormal", 44, 60, 37, 12, true},
    {1023, Radio, "&High", 81, 60, 27, 12, false},
    {1024, Radio, "&Diff", 110, 60, 28, 12, false},
    {1020, Label, "X0", 13, 110, 11, 8, true},
    {1027, Label, "Y0", 13, 130, 11, 8, true},
    {1028, Label, "X1", 13, 150, 11, 8, true},
    {1030, Label, "Y1", 13, 170, 11, 8, true},
    {1031, Label, "X2", 13, 190, 11, 8, true},
    {1032, Label, "Y2", 13, 210, 11, 8, true},
    {1013, Trackbar, "", 26, 110, 125, 12, false},
    {1014, Trackbar, "", 26, 130, 125, 12, false},
    {1015, Trackbar, "", 26, 150, 126, 12, false},
    {1016, Trackbar, "", 26, 170, 125, 12, false},
    {1017, Trackbar, "", 26, 190, 125, 12, false},
    {1018, Trackbar, "", 26, 210, 125, 12, false},
    {1002, NumberBox, "", 153, 110, 20, 12, false},
    {1003, NumberBox, "", 153, 130, 20, 12, false},
    {1004, NumberBox, "", 153, 150, 20, 12, false},
    {1005, NumberBox, "", 153, 170, 20, 12, false},
    {1006, NumberBox, "", 153, 190, 20, 12, false},
    {1008, NumberBox, "", 153, 210, 20, 12, false},
    {1009, CheckBox, "Filter &enable", 13, 18, 60, 13, false},
    {1010, CheckBox, "&Show selected plane", 13, 46, 91, 12, false},
};

const int kSliders[6] = {1013, 1014, 1015, 1016, 1017, 1018};
const int kNumbers[6] = {1002, 1003, 1004, 1005, 1006, 1008};

// Window class names are compared without regard to case, as Windows does.
std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

const char* kind_class(Kind kind) {
  switch (kind) {
    case Trackbar:
      return "msctls_trackbar32";
    case NumberBox:
      return "Edit";
    case Label:
      return "Static";
    default:
      return "Button";
  }
}

// What the kind requires of the style bits, as a description of the misfit
// or empty when the style fits.
std::string style_misfit(Kind kind, uint32_t style) {
  const uint32_t button_type = style & BS_TYPEMASK;
  switch (kind) {
    case GroupBox:
      return button_type == BS_GROUPBOX ? "" : "not a group box";
    case PushButton:
      if (button_type != BS_PUSHBUTTON) return "not a plain push button (or marked default)";
      return (style & WS_TABSTOP) ? "" : "no tab stop";
    case Radio:
      return button_type == BS_AUTORADIOBUTTON ? "" : "not an automatic radio button";
    case CheckBox:
      if (button_type != BS_AUTOCHECKBOX) return "not an automatic check box";
      return (style & WS_TABSTOP) ? "" : "no tab stop";
    case Label:
      return "";
    case Trackbar:
      if (style & TBS_VERT) return "not horizontal";
      if (!(style & TBS_AUTOTICKS)) return "no automatic ticks";
      return (style & WS_TABSTOP) ? "" : "no tab stop";
    case NumberBox:
      if (!(style & WS_BORDER)) return "no border";
      if (!(style & ES_AUTOHSCROLL)) return "no automatic scrolling";
      if (style & ES_READONLY) return "read-only";
      return (style & WS_TABSTOP) ? "" : "no tab stop";
  }
  return "";
}

VdubInitEntry init_entry() {
  return reinterpret_cast<VdubInitEntry>(test_context().library.vdub_init);
}
VdubDeinitEntry deinit_entry() {
  return reinterpret_cast<VdubDeinitEntry>(test_context().library.vdub_deinit);
}

FilterState& state_of(VdubInstance& instance) {
  return *static_cast<FilterState*>(instance.data());
}

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
      kCaption, [&] { return instance.config(nullptr, with_preview); }, steps, result, problem);
  if (!driven) check_note(problem);
  CHECK(driven);
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

bool sliders_match_state(HWND dialog, const int32_t (&thresholds)[6]) {
  for (int i = 0; i < 6; ++i) {
    if (trackbar_position(dialog, kSliders[i]) != thresholds[i]) return false;
  }
  return true;
}

}  // namespace

CHECK_GROUP(dialog_template, 30, "dialog: template 101 against its layout") {
  HMODULE module = static_cast<HMODULE>(test_context().library.handle);
  REQUIRE(module);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(5));
  REQUIRE(found);
  const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  REQUIRE(bytes);
  DialogTemplate dialog;
  std::string error;
  const bool read = read_dialog_template(bytes, SizeofResource(module, found), dialog, error);
  if (!read) check_note(error);
  REQUIRE(read);

  const uint32_t frame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  CHECK_EQ(dialog.style & frame, frame);
  CHECK_EQ(dialog.x, 0);
  CHECK_EQ(dialog.y, 0);
  CHECK_EQ(dialog.cx, 187);
  CHECK_EQ(dialog.cy, 270);
  CHECK_EQ(dialog.caption, std::string(kCaption));
  CHECK_EQ(dialog.font_points, 8);
  CHECK_EQ(dialog.font, std::string("MS Sans Serif"));
  REQUIRE(dialog.items.size() == sizeof kControls / sizeof kControls[0]);

  for (size_t i = 0; i < dialog.items.size(); ++i) {
    const DialogItem& item = dialog.items[i];
    const ExpectedControl& want = kControls[i];
    const std::string where = "control " + std::to_string(i) + " (\"" + want.caption + "\", id " +
                              std::to_string(want.id) + "): ";
    const int id = (item.id == 0xffff) ? -1 : item.id;
    if (want.id >= 0) CHECK_EQ(id, want.id);
    if (want.id < 0 && id >= 0 && id != 0) check_note(where + "has an id of its own");
    CHECK_EQ(lower(item.window_class), lower(kind_class(want.kind)));
    CHECK_EQ(item.caption, std::string(want.caption));
    const bool placed =
        item.x == want.x && item.y == want.y && item.cx == want.cx && item.cy == want.cy;
    if (!placed) {
      check_note(where + "at " + std::to_string(item.x) + "," + std::to_string(item.y) + " " +
                 std::to_string(item.cx) + "x" + std::to_string(item.cy));
    }
    CHECK(placed);
    const std::string misfit = style_misfit(want.kind, item.style);
    if (!misfit.empty()) check_note(where + misfit);
    CHECK(misfit.empty());
    CHECK(item.style & WS_VISIBLE);
    // Radio groups: planes after the push buttons, modes from "&N:ormal" to
    // before "X0"; labels start their own groups.
    const bool starts_group = (item.style & WS_GROUP) != 0;
    if (want.kind == Radio || want.kind == Label) {
      if (starts_group != want.starts_group) check_note(where + "group start differs");
      CHECK_EQ(starts_group, want.starts_group);
    }
  }
}

CHECK_GROUP(dialog_session, 31, "dialog: used with the mouse and keyboard, then Cancel") {
  REQUIRE(test_context().library.vdub_init);
  initialise_common_controls();
  VdubHost host(init_entry(), deinit_entry(),
                static_cast<HINSTANCE>(test_context().library.handle));
  REQUIRE(host.load() == 0);
  VdubInstance instance(host);
  instance.set_frame(64, 48);
  instance.init();
  FilterState& state = state_of(instance);
  // Cb thresholds 5, 10, ... 30 and Cr 200; Y keeps its defaults.
  REQUIRE(instance.run_script("Config(0, 0, 0, 1290, 3860, 6430, 51400, 51400, 51400)"));
  RecordingPreview& preview = instance.preview;

  const int result = run_dialog(instance, true, [&](HWND dialog) {
    // As opened on defaults.
    CHECK(sliders_show(dialog, state.thresholds[0]));
    CHECK(is_checked(dialog, 1022) && !is_checked(dialog, 1023) && !is_checked(dialog, 1024));
    CHECK(is_checked(dialog, 1009));
    CHECK(!is_checked(dialog, 1010));
    CHECK(is_checked(dialog, 1011) && !is_checked(dialog, 1012) && !is_checked(dialog, 1021));
    CHECK_EQ(preview.count("InitButton"), 1);
    CHECK(preview.button == GetDlgItem(dialog, 9));
    CHECK_EQ(preview.count("RedoFrame"), 0);
    std::string problem;
    const std::string shot = test_context().output_dir + "/dialog.png";
    const bool saved = save_window_png(dialog, shot, problem);
    if (!saved) check_note("screenshot: " + problem);
    CHECK(saved);

    // The live controls are those of the template.
    for (const ExpectedControl& c : kControls) {
      if (c.id < 0) continue;
      CHECK_EQ(lower(class_name(GetDlgItem(dialog, c.id))), lower(kind_class(c.kind)));
    }

    // Plane Cb: its thresholds appear.
    click(dialog, 1012);
    CHECK_EQ(state.plane, 1);
    CHECK(sliders_show(dialog, state.thresholds[1]));
    CHECK_EQ(preview.count("RedoFrame"), 1);

    // One step right on X1 writes all six positions into Cb only.
    const int redo_before_key = preview.count("RedoFrame");
    press_key(GetDlgItem(dialog, 1015), VK_RIGHT);
    CHECK_EQ(state.thresholds[1][2], 16);
    CHECK(sliders_match_state(dialog, state.thresholds[1]));
    CHECK_EQ(item_text(dialog, 1004), std::string("16"));
    CHECK(preview.count("RedoFrame") > redo_before_key);
    // End of the range, and a page down from the start.
    press_key(GetDlgItem(dialog, 1013), VK_END);
    CHECK_EQ(state.thresholds[1][0], 255);
    CHECK_EQ(item_text(dialog, 1002), std::string("255"));
    press_key(GetDlgItem(dialog, 1018), VK_HOME);
    CHECK_EQ(state.thresholds[1][5], 0);
    press_key(GetDlgItem(dialog, 1018), VK_NEXT);
    CHECK(state.thresholds[1][5] > 0);
    CHECK_EQ(state.thresholds[1][5], trackbar_position(dialog, 1018));
    // A mouse drag applies the positions on the way.
    const int y0_before = state.thresholds[1][1];
    const int redo_before_drag = preview.count("RedoFrame");
    drag_trackbar_thumb(GetDlgItem(dialog, 1014), 60, 6);
    CHECK(state.thresholds[1][1] > y0_before);
    CHECK_EQ(state.thresholds[1][1], trackbar_position(dialog, 1014));
    CHECK(preview.count("RedoFrame") - redo_before_drag >= 3);
    for (int i = 0; i < 6; ++i) {
      CHECK_EQ(state.thresholds[0][i], 0);
      CHECK_EQ(state.thresholds[2][i], 200);
    }

    // Typing into a number box changes no threshold; the next slider move
    // overwrites the box.
    SetDlgItemTextA(dialog, 1003, "77");
    CHECK(state.thresholds[1][1] != 77);
    press_key(GetDlgItem(dialog, 1016), VK_LEFT);
    CHECK_EQ(item_text(dialog, 1003), std::to_string(state.thresholds[1][1]));

    // The two check boxes.
    const int redo_before_boxes = preview.count("RedoFrame");
    click(dialog, 1009);
    CHECK_EQ(state.enabled, 0);
    click(dialog, 1009);
    CHECK_EQ(state.enabled, 1);
    click(dialog, 1010);
    CHECK_EQ(state.show_plane, 1);
    CHECK_EQ(preview.count("RedoFrame") - redo_before_boxes, 3);

    // Modes.
    click(dialog, 1023);
    CHECK_EQ(state.mode, static_cast<int32_t>(High));
    click(dialog, 1024);
    CHECK_EQ(state.mode, static_cast<int32_t>(Diff));
    CHECK(is_checked(dialog, 1024) && !is_checked(dialog, 1022) && !is_checked(dialog, 1023));

    // The preview button toggles without refiltering.
    const int redo_before_toggle = preview.count("RedoFrame");
    click(dialog, 9);
    CHECK_EQ(preview.count("Toggle"), 1);
    CHECK(preview.toggle_window == dialog);
    CHECK_EQ(preview.count("RedoFrame"), redo_before_toggle);

    click(dialog, 2);  // Cancel
  });
  CHECK_EQ(result, 1);
  // Cancel restores nothing.
  CHECK_EQ(state.thresholds[1][0], 255);
  CHECK_EQ(state.thresholds[1][2], 16);
  CHECK_EQ(state.mode, static_cast<int32_t>(Diff));
  CHECK_EQ(state.plane, 1);
  CHECK_EQ(state.show_plane, 1);
  CHECK(state.preview == &instance.preview);
}

CHECK_GROUP(dialog_reopen, 32, "dialog: reopened, OK, Escape, the close box, no preview") {
  REQUIRE(test_context().library.vdub_init);
  initialise_common_controls();
  VdubHost host(init_entry(), deinit_entry(),
                static_cast<HINSTANCE>(test_context().library.handle));
  REQUIRE(host.load() == 0);
  VdubInstance instance(host);
  instance.set_frame(64, 48);
  instance.init();
  FilterState& state = state_of(instance);
  RecordingPreview& preview = instance.preview;
  state.plane = 2;
  state.mode = High;
  state.enabled = 0;
  // Y: X0 = 300 through the script (first of the pair, 300 * 256).
  REQUIRE(instance.run_script("Config(76800, 0, 0, 0, 0, 0, 2570, 2570, 2570)"));

  // Reopened: the settings as they stand, then OK without touching a mode.
  int result = run_dialog(instance, true, [&](HWND dialog) {
    CHECK(is_checked(dialog, 1021));
    CHECK(is_checked(dialog, 1023));
    CHECK(!is_checked(dialog, 1009));
    CHECK(sliders_show(dialog, state.thresholds[2]));
    preview.clear();
    click(dialog, 1);
    CHECK_EQ(preview.count("RedoFrame"), 0);
  });
  CHECK_EQ(result, 0);
  CHECK_EQ(state.mode, static_cast<int32_t>(High));

  // Out-of-range threshold: shown as a number, the slider at its end; the
  // first slider move on the plane stores the slider's value. Then Escape.
  result = run_dialog(instance, true, [&](HWND dialog) {
    click(dialog, 1011);
    CHECK_EQ(state.plane, 0);
    CHECK_EQ(item_text(dialog, 1002), std::string("300"));
    CHECK_EQ(trackbar_position(dialog, 1013), 255);
    press_key(GetDlgItem(dialog, 1014), VK_RIGHT);
    CHECK_EQ(state.thresholds[0][0], 255);
    CHECK_EQ(state.thresholds[0][1], 1);
    click(dialog, 1022);
    post_escape(dialog);
  });
  CHECK_EQ(result, 1);
  CHECK_EQ(state.mode, static_cast<int32_t>(Normal));

  // The close box cancels.
  result = run_dialog(instance, true,
                      [&](HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
  CHECK_EQ(result, 1);

  // A host without a preview: the controls still work.
  result = run_dialog(instance, false, [&](HWND dialog) {
    click(dialog, 1009);
    press_key(GetDlgItem(dialog, 1017), VK_RIGHT);
    click(dialog, 1);
  });
  CHECK_EQ(result, 0);
  CHECK_EQ(state.enabled, 1);
  CHECK_EQ(state.thresholds[0][4], 1);

  // A module handle without the template: the platform's failure result
  // comes back unchanged and no setting moves.
  FilterState before = state;
  host.module().hInstModule = GetModuleHandleA(nullptr);
  CHECK_EQ(instance.config(nullptr, true), -1);
  CHECK(std::memcmp(before.thresholds, state.thresholds, sizeof before.thresholds) == 0);
  CHECK_EQ(state.mode, before.mode);
  CHECK_EQ(state.plane, before.plane);
  CHECK_EQ(state.enabled, before.enabled);
}
