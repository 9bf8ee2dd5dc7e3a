// SPDX-License-Identifier: BSD-2-Clause
#include "config_dialog_layout.h"

namespace {

// Window and control style bits, as the resource compiler writes them.
constexpr uint32_t kPopup = 0x80000000, kChild = 0x40000000, kVisible = 0x10000000;
constexpr uint32_t kCaption = 0x00C00000, kBorder = 0x00800000, kSysMenu = 0x00080000;
constexpr uint32_t kGroup = 0x00020000, kTabStop = 0x00010000;
constexpr uint32_t kModalFrame = 0x80, kSetFont = 0x40;
constexpr uint32_t kGroupBox = 7, kAutoCheck = 3, kAutoRadio = 9;  // button types
constexpr uint32_t kAutoHScroll = 0x80, kAutoTicks = 1;

constexpr uint32_t kShown = kChild | kVisible;
constexpr uint32_t kBox = kShown | kGroupBox, kPush = kShown | kTabStop;
constexpr uint32_t kRadio = kShown | kAutoRadio, kCheck = kShown | kAutoCheck | kTabStop;
constexpr uint32_t kLabel = kShown | kGroup, kTrack = kShown | kAutoTicks | kTabStop;
constexpr uint32_t kNumber = kShown | kAutoHScroll | kBorder | kTabStop;

constexpr const char kButton[] = "Button", kStatic[] = "Static", kEdit[] = "Edit";
constexpr const char kTrackbar[] = "msctls_trackbar32";

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string hex(uint32_t v) {
  const char digits[] = "0123456789abcdef";
  std::string s = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) s += digits[(v >> shift) & 15];
  return s;
}

}  // namespace

// The plane buttons form one radio group after the push buttons; the mode
// buttons another, from "&N:ormal" to the label "X0"; every label starts a
// group of its own.
const ExpectedControl kConfigDialogControls[] = {
    {-1, kButton, "Threshold", 7, 81, 173, 153, kBox},
    {-1, kButton, "Processing", 7, 7, 173, 72, kBox},
    {1, kButton, "OK", 13, 242, 50, 14, kPush},
    {9, kButton, "Show Preview", 121, 242, 50, 14, kPush},
    {2, kButton, "Cancel", 65, 242, 50, 14, kPush},
    {1011, kButton, "&Y", 48, 92, 23, 15, kRadio},
    {1012, kButton, "C&b", 77, 92, 23, 15, kRadio},
    {1021, kButton, "C&r", 104, 93, 23, 15, kRadio},
    {-1, kStatic, "Mode", 15, 62, 20, 12, kLabel},
    {1022, kButton, "&N:ormal", 44, 60, 37, 12, kRadio | kGroup},
    {1023, kButton, "&High", 81, 60, 27, 12, kRadio},
    {1024, kButton, "&Diff", 110, 60, 28, 12, kRadio},
    {1020, kStatic, "X0", 13, 110, 11, 8, kLabel},
    {1027, kStatic, "Y0", 13, 130, 11, 8, kLabel},
    {1028, kStatic, "X1", 13, 150, 11, 8, kLabel},
    {1030, kStatic, "Y1", 13, 170, 11, 8, kLabel},
    {1031, kStatic, "X2", 13, 190, 11, 8, kLabel},
    {1032, kStatic, "Y2", 13, 210, 11, 8, kLabel},
    {1013, kTrackbar, "", 26, 110, 125, 12, kTrack},
    {1014, kTrackbar, "", 26, 130, 125, 12, kTrack},
    {1015, kTrackbar, "", 26, 150, 126, 12, kTrack},
    {1016, kTrackbar, "", 26, 170, 125, 12, kTrack},
    {1017, kTrackbar, "", 26, 190, 125, 12, kTrack},
    {1018, kTrackbar, "", 26, 210, 125, 12, kTrack},
    {1002, kEdit, "", 153, 110, 20, 12, kNumber},
    {1003, kEdit, "", 153, 130, 20, 12, kNumber},
    {1004, kEdit, "", 153, 150, 20, 12, kNumber},
    {1005, kEdit, "", 153, 170, 20, 12, kNumber},
    {1006, kEdit, "", 153, 190, 20, 12, kNumber},
    {1008, kEdit, "", 153, 210, 20, 12, kNumber},
    {1009, kButton, "Filter &enable", 13, 18, 60, 13, kCheck},
    {1010, kButton, "&Show selected plane", 13, 46, 91, 12, kCheck},
};
const size_t kConfigDialogControlCount =
    sizeof kConfigDialogControls / sizeof kConfigDialogControls[0];

bool same_window_class(const std::string& a, const std::string& b) {
  return lower(a) == lower(b);
}

std::vector<std::string> config_dialog_misfits(const DialogTemplate& dialog) {
  std::vector<std::string> misfits;
  auto differs = [&](const std::string& what, const std::string& is, const std::string& want) {
    if (is != want) misfits.push_back(what + " is " + is + ", expected " + want);
  };
  const auto number = [](int v) { return std::to_string(v); };
  differs("dialog style", hex(dialog.style),
          hex(kPopup | kCaption | kSysMenu | kModalFrame | kSetFont));
  differs(
      "dialog place",
      number(dialog.x) + "," + number(dialog.y) + " " + number(dialog.cx) + "x" + number(dialog.cy),
      "0,0 187x270");
  differs("dialog caption", dialog.caption, kConfigDialogCaption);
  differs("dialog font", number(dialog.font_points) + " " + dialog.font, "8 MS Sans Serif");
  differs("control count", number(static_cast<int>(dialog.items.size())),
          number(static_cast<int>(kConfigDialogControlCount)));
  for (size_t i = 0; i < dialog.items.size() && i < kConfigDialogControlCount; ++i) {
    const DialogItem& item = dialog.items[i];
    const ExpectedControl& want = kConfigDialogControls[i];
    const std::string where = "control " + number(static_cast<int>(i)) + " (\"" + want.caption +
                              "\", id " + number(want.id) + ") ";
    differs(where + "id", number(item.id), number(want.id));
    if (!same_window_class(item.window_class, want.window_class))
      differs(where + "class", item.window_class, want.window_class);
    differs(where + "caption", item.caption, want.caption);
    differs(where + "place",
            number(item.x) + "," + number(item.y) + " " + number(item.cx) + "x" + number(item.cy),
            number(want.x) + "," + number(want.y) + " " + number(want.cx) + "x" + number(want.cy));
    differs(where + "style", hex(item.style), hex(want.style));
  }
  return misfits;
}
