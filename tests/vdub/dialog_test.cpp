// SPDX-License-Identifier: BSD-2-Clause
// The configuration dialog against the recording USER32 stand-in: every
// message it handles, the settings it writes and the preview calls it makes.
#include <dlfcn.h>

#include <cstring>
#include <vector>

#include "config_dialog.h"
#include "dialog_stub.h"
#include "filter_module.h"
#include "resource.h"
#include "vdub_fixture.h"

namespace {

const std::vector<int> kPlanes = {IDC_PLANE_Y, IDC_PLANE_CB, IDC_PLANE_CR};
const std::vector<int> kModes = {IDC_MODE_NORMAL, IDC_MODE_HIGH, IDC_MODE_DIFF};
const HWND kParent = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x2000));

struct DialogTest : VdubInstanceTest {
  DialogStub dialog;

  // Opens the dialog through the filter's configProc; `user` acts on it.
  int configure(std::function<void(DialogStub&)> user, bool with_preview = true) {
    dialog.user = std::move(user);
    return instance.config(kParent, with_preview);
  }
  int redo_frames() const { return instance.preview.count("RedoFrame"); }
  std::vector<int32_t> plane(int p) {
    return std::vector<int32_t>(state().thresholds[p], state().thresholds[p] + 6);
  }
  std::vector<int> slider_positions() {
    std::vector<int> out;
    for (int id : kThresholdSliders) out.push_back(dialog.control(id).position);
    return out;
  }
  // Check marks of the mode buttons, the two switches and the plane buttons,
  // '1' for a checked one: "100 10 100" is Normal, enabled, plane Y.
  std::string marks() {
    std::string out;
    for (int id : {IDC_MODE_NORMAL, IDC_MODE_HIGH, IDC_MODE_DIFF, 0, IDC_ENABLE, IDC_SHOW_PLANE, 0,
                   IDC_PLANE_Y, IDC_PLANE_CB, IDC_PLANE_CR}) {
      out += id == 0 ? ' ' : dialog.control(id).checked ? '1' : '0';
    }
    return out;
  }
  std::vector<std::string> box_texts() {
    std::vector<std::string> out;
    for (int id : kThresholdBoxes) out.push_back(dialog.control(id).text);
    return out;
  }
};

const std::vector<std::string> kZeros(6, "0");

}  // namespace

TEST_F(DialogTest, OpensOnTheInstanceWithItsSettingsShown) {
  EXPECT_EQ(configure([](DialogStub& d) { d.press(IDOK); }), 0);
  EXPECT_EQ(dialog.boxes_opened, 1);
  EXPECT_EQ(dialog.instance, module.host.module().hInstModule);
  EXPECT_EQ(dialog.template_name, MAKEINTRESOURCEA(101));
  EXPECT_EQ(dialog.owner, kParent);
  EXPECT_EQ(dialog.init_param, reinterpret_cast<LPARAM>(&state()));
  EXPECT_EQ(dialog.user_slot, reinterpret_cast<WindowLong>(&state()));
  EXPECT_EQ(dialog.user_slot_index, DWL_USER);
  EXPECT_EQ(state().preview, module_view(instance.preview));
  EXPECT_EQ(dialog.foreign_window_calls, 0);

  // Defaults: all at 0, Normal, enabled, whole picture, plane Y.
  EXPECT_EQ(slider_positions(), std::vector<int>(6, 0));
  EXPECT_EQ(box_texts(), kZeros);
  EXPECT_EQ(marks(), "100 10 100");
  EXPECT_EQ(instance.preview.count("InitButton"), 1);
  EXPECT_EQ(instance.preview.button, dialog.item(IDC_PREVIEW));
  EXPECT_EQ(redo_frames(), 0);

  // Every slider gets ticks every 4, the range 0..255 without a redraw and
  // its position with one; each number box its value, unsigned.
  for (int i = 0; i < 6; ++i) {
    const StubControl& slider = dialog.control(kThresholdSliders[i]);
    EXPECT_EQ(slider.tick_frequency, 4);
    EXPECT_EQ(slider.range_min, 0);
    EXPECT_EQ(slider.range_max, 255);
  }
  for (const StubCall& call : dialog.calls) {
    if (call.message == TBM_SETRANGE) {
      EXPECT_EQ(call.wparam, static_cast<WPARAM>(FALSE));
    }
    if (call.message == TBM_SETPOS) {
      EXPECT_EQ(call.wparam, static_cast<WPARAM>(TRUE));
    }
    if (call.function == "SetDlgItemInt") {
      EXPECT_EQ(call.lparam, FALSE);
    }
  }

  // Another instance's state, reopened: shown as it stands, plane kept.
  const int32_t cr[6] = {1, 2, 3, 4, 5, 6};
  std::memcpy(state().thresholds[2], cr, sizeof cr);
  state().mode = zolta::Diff;
  state().enabled = 0;
  state().show_plane = 1;
  state().plane = 2;
  EXPECT_EQ(configure([](DialogStub& d) { d.press(IDOK); }), 0);
  EXPECT_EQ(slider_positions(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(box_texts(), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
  EXPECT_EQ(marks(), "001 01 001");
  EXPECT_EQ(state().plane, 2);
}

TEST_F(DialogTest, SlidersEditAllSixThresholdsOfTheSelectedPlane) {
  const int32_t cb[6] = {10, 20, 30, 40, 50, 60};
  std::memcpy(state().thresholds[1], cb, sizeof cb);
  std::vector<int> after_plane_change;
  configure([&](DialogStub& d) {
    d.pick_radio(IDC_PLANE_CB, kPlanes);
    after_plane_change = slider_positions();
    d.control(IDC_SLIDER_Y1).position = 99;  // moved without a message yet
    d.drag(IDC_SLIDER_X0, 200);              // any slider's message reads all six
    d.press(IDOK);
  });
  EXPECT_EQ(after_plane_change, (std::vector<int>{10, 20, 30, 40, 50, 60}));
  EXPECT_EQ(state().plane, 1);
  EXPECT_EQ(plane(1), (std::vector<int32_t>{200, 20, 30, 99, 50, 60}));
  EXPECT_EQ(plane(0), std::vector<int32_t>(6, 0));
  EXPECT_EQ(plane(2), std::vector<int32_t>(6, 0));
  EXPECT_EQ(box_texts(), (std::vector<std::string>{"200", "20", "30", "99", "50", "60"}));
  EXPECT_EQ(redo_frames(), 2);  // plane change, slider message; OK adds none

  // Every intermediate position of a drag is applied and previewed.
  std::vector<int32_t> seen;
  instance.preview.clear();
  instance.preview.on_redo = [&] { seen.push_back(state().thresholds[1][0]); };
  configure([&](DialogStub& d) {
    for (int p : {201, 202, 203}) d.drag(IDC_SLIDER_X0, p);
    d.press(IDOK);
  });
  EXPECT_EQ(seen, (std::vector<int32_t>{201, 202, 203}));
}

TEST_F(DialogTest, ThresholdsOutsideTheSliderRangeAreShownThenClamped) {
  state().thresholds[0][2] = 300;  // only the script can store this
  state().thresholds[0][5] = -1;
  std::vector<std::string> shown;
  std::vector<int> positions;
  configure([&](DialogStub& d) {
    shown = box_texts();
    positions = slider_positions();
    d.drag(IDC_SLIDER_Y0, 5);
    d.press(IDCANCEL);
  });
  EXPECT_EQ(shown[2], "300");
  EXPECT_EQ(positions[2], 255);
  EXPECT_EQ(shown[5], "4294967295");  // written unsigned
  EXPECT_EQ(positions[5], 0);
  EXPECT_EQ(plane(0), (std::vector<int32_t>{0, 5, 255, 0, 0, 0}));
}

TEST_F(DialogTest, OkReadsTheModeButtonsAndCancelKeepsTheEdits) {
  // OK without any change: no new frame.
  EXPECT_EQ(configure([](DialogStub& d) { d.press(IDOK); }), 0);
  EXPECT_EQ(redo_frames(), 0);
  EXPECT_TRUE(dialog.ended);

  // A mode button found checked at OK (no message came for it) is taken,
  // and the changed mode is previewed once.
  EXPECT_EQ(configure([](DialogStub& d) {
              d.control(IDC_MODE_NORMAL).checked = false;
              d.control(IDC_MODE_HIGH).checked = true;
              d.press(IDOK);
            }),
            0);
  EXPECT_EQ(state().mode, zolta::High);
  EXPECT_EQ(redo_frames(), 1);

  // No mode button checked: the mode stays.
  instance.preview.clear();
  EXPECT_EQ(configure([](DialogStub& d) {
              for (int id : kModes) d.control(id).checked = false;
              d.press(IDOK);
            }),
            0);
  EXPECT_EQ(state().mode, zolta::High);
  EXPECT_EQ(redo_frames(), 0);

  // Cancel ends with 1 and undoes nothing.
  EXPECT_EQ(configure([](DialogStub& d) {
              d.drag(IDC_SLIDER_X2, 77);
              d.toggle_check(IDC_ENABLE);
              d.press(IDCANCEL);
            }),
            1);
  EXPECT_EQ(state().thresholds[0][4], 77);
  EXPECT_EQ(state().enabled, 0);
}

TEST_F(DialogTest, SwitchesAndModeButtonsTakeEffectAtOnce) {
  std::vector<int32_t> enabled, show_plane, mode;
  instance.preview.on_redo = [&] {
    enabled.push_back(state().enabled);
    show_plane.push_back(state().show_plane);
    mode.push_back(state().mode);
  };
  INT_PTR result = -1;
  configure([&](DialogStub& d) {
    result = d.toggle_check(IDC_ENABLE);
    d.toggle_check(IDC_SHOW_PLANE);
    d.pick_radio(IDC_MODE_DIFF, kModes);
    d.pick_radio(IDC_MODE_HIGH, kModes);
    d.toggle_check(IDC_ENABLE);
    d.pick_radio(IDC_MODE_NORMAL, kModes);
    d.press(IDOK);
  });
  EXPECT_EQ(result, FALSE);
  EXPECT_EQ(enabled, (std::vector<int32_t>{0, 0, 0, 0, 1, 1}));
  EXPECT_EQ(show_plane, (std::vector<int32_t>{0, 1, 1, 1, 1, 1}));
  EXPECT_EQ(mode, (std::vector<int32_t>{0, 0, 2, 1, 1, 0}));
  EXPECT_EQ(redo_frames(), 6);

  // Planes switch the sliders and the single-plane view.
  configure([&](DialogStub& d) {
    d.pick_radio(IDC_PLANE_CR, kPlanes);
    EXPECT_EQ(state().plane, 2);
    d.pick_radio(IDC_PLANE_Y, kPlanes);
    EXPECT_EQ(state().plane, 0);
    d.pick_radio(IDC_PLANE_CB, kPlanes);
    d.press(IDOK);
  });
  EXPECT_EQ(state().plane, 1);
}

TEST_F(DialogTest, PreviewButtonTypedTextAndStrayMessagesChangeNothing) {
  state().thresholds[0][0] = 12;
  state().preview = module_view(instance.preview);  // what configProc stores
  const zolta::FilterState before = state();
  INT_PTR toggle_result = -1;
  std::string typed;
  configure([&](DialogStub& d) {
    toggle_result = d.press(IDC_PREVIEW);
    d.type(IDC_VALUE_X0, "99");  // the number boxes are never read
    typed = d.control(IDC_VALUE_X0).text;
    d.press(4711);                                    // unknown control
    d.send(WM_COMMAND, (1u << 16) | IDC_PREVIEW, 0);  // notification ignored
    EXPECT_EQ(d.send(0x0200 /* WM_MOUSEMOVE */, 0, 0), FALSE);
    d.press(IDOK);
  });
  EXPECT_EQ(toggle_result, FALSE);
  EXPECT_EQ(instance.preview.count("Toggle"), 2);
  EXPECT_EQ(instance.preview.toggle_window, dialog.window());
  EXPECT_EQ(redo_frames(), 0);
  EXPECT_EQ(typed, "99");
  EXPECT_EQ(std::memcmp(&state(), &before, sizeof before), 0);

  // The box shows the slider's number again at the next slider message.
  configure([](DialogStub& d) {
    d.type(IDC_VALUE_X0, "99");
    d.drag(IDC_SLIDER_Y2, 3);
    d.press(IDOK);
  });
  EXPECT_EQ(dialog.control(IDC_VALUE_X0).text, "12");
  EXPECT_EQ(state().thresholds[0][0], 12);
}

TEST_F(DialogTest, WorksWithoutAPreviewAndWithoutAWindowSystem) {
  // A host that hands no preview object: every action still works.
  EXPECT_EQ(configure(
                [](DialogStub& d) {
                  d.press(IDC_PREVIEW);
                  d.toggle_check(IDC_ENABLE);
                  d.pick_radio(IDC_PLANE_CB, kPlanes);
                  d.pick_radio(IDC_MODE_DIFF, kModes);
                  d.drag(IDC_SLIDER_X1, 9);
                  d.control(IDC_MODE_DIFF).checked = false;
                  d.control(IDC_MODE_HIGH).checked = true;
                  d.press(IDOK);
                },
                false),
            0);
  EXPECT_EQ(state().preview, nullptr);
  EXPECT_EQ(state().thresholds[1][2], 9);
  EXPECT_EQ(state().mode, zolta::High);
  EXPECT_TRUE(instance.preview.calls.empty());

  // Messages before WM_INITDIALOG find no state and do nothing.
  dialog.user_slot = 0;
  dialog.ended = false;
  EXPECT_EQ(dialog.press(IDOK), FALSE);
  EXPECT_EQ(dialog.drag(IDC_SLIDER_X0, 3), FALSE);
  EXPECT_FALSE(dialog.ended);

  // The platform cannot create the dialog: its failure value comes back
  // and no setting changes.
  dialog.fail_create = true;
  const zolta::FilterState before = state();
  EXPECT_EQ(configure([](DialogStub& d) { d.press(IDCANCEL); }), -1);
  EXPECT_EQ(std::memcmp(state().thresholds, before.thresholds, sizeof before.thresholds), 0);

  // Natively, without the stand-in, no dialog can be created at all.
  install_dialog_api(nullptr);
  EXPECT_EQ(instance.config(kParent), -1);
}

// Newer VirtualDub builds leave the module's instance field null: the dialog
// comes from the library's own image, and works as with an older host.
TEST(DialogFromAHostWithoutModuleHandle, OpensFromTheLibrarysOwnImageAndWorks) {
  VdubHost host(module_init_entry(), module_deinit_entry(), nullptr);
  ASSERT_EQ(host.load(), 0);
  ASSERT_EQ(host.module().hInstModule, nullptr);
  VdubInstance instance(host);
  ASSERT_EQ(instance.init(), 0);
  zolta::FilterState& state = *static_cast<zolta::FilterState*>(instance.data());

  Dl_info image{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&VirtualdubFilterModuleInit2), &image), 0);
  DialogStub dialog;
  dialog.template_module = static_cast<HINSTANCE>(image.dli_fbase);
  dialog.user = [](DialogStub& d) {
    d.pick_radio(IDC_PLANE_CR, kPlanes);
    d.drag(IDC_SLIDER_Y1, 42);
    d.press(IDOK);
  };
  EXPECT_EQ(instance.config(kParent), 0);
  EXPECT_EQ(dialog.boxes_opened, 1);
  EXPECT_EQ(dialog.instance, dialog.template_module);
  EXPECT_EQ(state.plane, 2);
  EXPECT_EQ(state.thresholds[2][3], 42);
  EXPECT_EQ(instance.preview.count("RedoFrame"), 2);

  // A host that names its module still has its own handle used.
  const HINSTANCE host_module = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x4000));
  host.module().hInstModule = host_module;
  dialog.template_module = host_module;
  dialog.user = [](DialogStub& d) { d.press(IDCANCEL); };
  EXPECT_EQ(instance.config(kParent), 1);
  EXPECT_EQ(dialog.instance, host_module);
  instance.end();
}
