// The dialog template as the resource compiler built it: decoded from the
// compiled resource file and checked against what the dialog procedure and
// the platform's dialog manager rely on.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "config_dialog.h"
#include "resource.h"

namespace {

constexpr uint32_t kTabStop = 0x00010000, kGroup = 0x00020000, kBorder = 0x00800000;
constexpr uint32_t kChild = 0x40000000, kVisible = 0x10000000;
constexpr uint32_t kAutoCheck = 3, kAutoRadio = 9, kGroupBox = 7;
constexpr uint32_t kAutoHScroll = 0x80, kAutoTicks = 1;
constexpr uint32_t kPopup = 0x80000000, kCaption = 0x00C00000, kSysMenu = 0x00080000;
constexpr uint32_t kModalFrame = 0x80, kSetFont = 0x40;

struct Item {
  uint32_t style;
  int x, y, cx, cy, id;
  std::string kind;  // upper-case class name
  std::string caption;
};

struct Template {
  uint32_t style;
  int x, y, cx, cy;
  std::string caption, font;
  int point_size;
  std::vector<Item> items;
};

class Reader {
 public:
  Reader(const std::vector<uint8_t>& bytes, size_t at) : b_(bytes), at_(at) {}
  uint16_t word() {
    if (at_ + 2 > b_.size()) throw std::runtime_error("truncated");
    const uint16_t v = static_cast<uint16_t>(b_[at_] | b_[at_ + 1] << 8);
    at_ += 2;
    return v;
  }
  uint32_t dword() {
    const uint32_t lo = word();
    return lo | static_cast<uint32_t>(word()) << 16;
  }
  // A string, or an ordinal written as 0xFFFF and a number ("#n").
  std::string text_or_ordinal() {
    uint16_t c = word();
    if (c == 0xFFFF) return "#" + std::to_string(word());
    std::string s;
    for (; c != 0; c = word()) s += static_cast<char>(c < 128 ? c : '?');
    return s;
  }
  void align(size_t to) { at_ = (at_ + to - 1) / to * to; }
  size_t at() const { return at_; }
  void seek(size_t at) { at_ = at; }

 private:
  const std::vector<uint8_t>& b_;
  size_t at_;
};

// Class names compare without case; the predefined ones may be stored as
// ordinals instead.
std::string class_name(const std::string& raw) {
  if (raw == "#128") return "BUTTON";
  if (raw == "#129") return "EDIT";
  if (raw == "#130") return "STATIC";
  std::string upper = raw;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Finds dialog resource `name` in a compiled .res file.
bool read_dialog(const std::string& path, int name, Template& out) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  size_t at = 0;
  while (at + 8 <= bytes.size()) {
    Reader r(bytes, at);
    const uint32_t data_size = r.dword(), header_size = r.dword();
    const std::string type = r.text_or_ordinal(), id = r.text_or_ordinal();
    const size_t data = at + header_size;
    at = (data + data_size + 3) / 4 * 4;
    if (type != "#5" || id != "#" + std::to_string(name)) continue;  // 5: RT_DIALOG

    r.seek(data);
    out.style = r.dword();
    r.dword();  // extended style
    const int count = r.word();
    out.x = static_cast<int16_t>(r.word());
    out.y = static_cast<int16_t>(r.word());
    out.cx = static_cast<int16_t>(r.word());
    out.cy = static_cast<int16_t>(r.word());
    r.text_or_ordinal();  // menu
    r.text_or_ordinal();  // class
    out.caption = r.text_or_ordinal();
    if (out.style & kSetFont) {
      out.point_size = r.word();
      out.font = r.text_or_ordinal();
    }
    for (int i = 0; i < count; ++i) {
      r.align(4);
      Item item;
      item.style = r.dword();
      r.dword();
      item.x = static_cast<int16_t>(r.word());
      item.y = static_cast<int16_t>(r.word());
      item.cx = static_cast<int16_t>(r.word());
      item.cy = static_cast<int16_t>(r.word());
      item.id = static_cast<int16_t>(r.word());
      item.kind = class_name(r.text_or_ordinal());
      item.caption = r.text_or_ordinal();
      const uint16_t extra = r.word();
      r.seek(r.at() + extra);
      out.items.push_back(item);
    }
    return true;
  }
  return false;
}

const Item* find(const Template& t, int id) {
  for (const Item& item : t.items)
    if (item.id == id) return &item;
  return nullptr;
}

// Index of the control that starts the group `index` belongs to.
size_t group_start(const Template& t, size_t index) {
  while (index > 0 && !(t.items[index].style & kGroup)) --index;
  return index;
}

size_t index_of(const Template& t, int id) {
  for (size_t i = 0; i < t.items.size(); ++i)
    if (t.items[i].id == id) return i;
  return t.items.size();
}

}  // namespace

TEST(VdubDialogTemplate, RadioButtonsFallIntoTheGroupsTheProcedureExpects) {
  Template t{};
  ASSERT_TRUE(read_dialog(ZOLTA_DIALOG_RES, IDD_FILTER_CONFIG, t)) << ZOLTA_DIALOG_RES;
  ASSERT_EQ(t.items.size(), 32u);

  // Every control the procedure talks to is there.
  for (int i = 0; i < 6; ++i) {
    EXPECT_NE(find(t, kThresholdSliders[i]), nullptr);
    EXPECT_NE(find(t, kThresholdBoxes[i]), nullptr);
  }

  // The plane buttons form one radio group and the mode buttons another,
  // which ends before the first slider label.
  const int planes[] = {IDC_PLANE_Y, IDC_PLANE_CB, IDC_PLANE_CR};
  const int modes[] = {IDC_MODE_NORMAL, IDC_MODE_HIGH, IDC_MODE_DIFF};
  for (int id : planes) {
    ASSERT_NE(find(t, id), nullptr);
    EXPECT_EQ(group_start(t, index_of(t, id)), group_start(t, index_of(t, IDC_PLANE_Y)));
  }
  for (int id : modes) {
    ASSERT_NE(find(t, id), nullptr);
    EXPECT_EQ(group_start(t, index_of(t, id)), index_of(t, IDC_MODE_NORMAL));
  }
  EXPECT_NE(group_start(t, index_of(t, IDC_PLANE_Y)), index_of(t, IDC_MODE_NORMAL));
  EXPECT_EQ(group_start(t, index_of(t, IDC_LABEL_X0)), index_of(t, IDC_LABEL_X0));
}

TEST(VdubDialogTemplate, HoldsEveryControlInTabOrderWithItsPlaceAndStyle) {
  Template t{};
  ASSERT_TRUE(read_dialog(ZOLTA_DIALOG_RES, IDD_FILTER_CONFIG, t)) << ZOLTA_DIALOG_RES;
  EXPECT_EQ(t.style, kPopup | kCaption | kSysMenu | kModalFrame | kSetFont);
  EXPECT_EQ(t.caption, "filter: quilmer");
  EXPECT_EQ(t.font, "MS Sans Serif");
  EXPECT_EQ(t.point_size, 8);
  EXPECT_EQ(t.x, 0);
  EXPECT_EQ(t.y, 0);
  EXPECT_EQ(t.cx, 187);
  EXPECT_EQ(t.cy, 270);

  // Styles beyond the child and visible bits every control has.
  constexpr uint32_t kPush = kTabStop, kRadio = kAutoRadio, kCheck = kAutoCheck | kTabStop;
  constexpr uint32_t kLabel = kGroup, kTrack = kAutoTicks | kTabStop;
  constexpr uint32_t kNumber = kAutoHScroll | kBorder | kTabStop;
  const struct {
    int id;
    const char* kind;
    const char* caption;
    int x, y, cx, cy;
    uint32_t style;
  } expected[] = {
      {-1, "BUTTON", "Threshold", 7, 81, 173, 153, kGroupBox},
      {-1, "BUTTON", "Processing", 7, 7, 173, 72, kGroupBox},
      {1, "BUTTON", "OK", 13, 242, 50, 14, kPush},
      {9, "BUTTON", "Show Preview", 121, 242, 50, 14, kPush},
      {2, "BUTTON", "Cancel", 65, 242, 50, 14, kPush},
      {1011, "BUTTON", "&Y", 48, 92, 23, 15, kRadio},
      {1012, "BUTTON", "C&b", 77, 92, 23, 15, kRadio},
      {1021, "BUTTON", "C&r", 104, 93, 23, 15, kRadio},
      {-1, "STATIC", "Mode", 15, 62, 20, 12, kLabel},
      {1022, "BUTTON", "&N:ormal", 44, 60, 37, 12, kRadio | kGroup},
      {1023, "BUTTON", "&High", 81, 60, 27, 12, kRadio},
      {1024, "BUTTON", "&Diff", 110, 60, 28, 12, kRadio},
      {1020, "STATIC", "X0", 13, 110, 11, 8, kLabel},
      {1027, "STATIC", "Y0", 13, 130, 11, 8, kLabel},
      {1028, "STATIC", "X1", 13, 150, 11, 8, kLabel},
      {1030, "STATIC", "Y1", 13, 170, 11, 8, kLabel},
      {1031, "STATIC", "X2", 13, 190, 11, 8, kLabel},
      {1032, "STATIC", "Y2", 13, 210, 11, 8, kLabel},
      {1013, "MSCTLS_TRACKBAR32", "", 26, 110, 125, 12, kTrack},
      {1014, "MSCTLS_TRACKBAR32", "", 26, 130, 125, 12, kTrack},
      {1015, "MSCTLS_TRACKBAR32", "", 26, 150, 126, 12, kTrack},
      {1016, "MSCTLS_TRACKBAR32", "", 26, 170, 125, 12, kTrack},
      {1017, "MSCTLS_TRACKBAR32", "", 26, 190, 125, 12, kTrack},
      {1018, "MSCTLS_TRACKBAR32", "", 26, 210, 125, 12, kTrack},
      {1002, "EDIT", "", 153, 110, 20, 12, kNumber},
      {1003, "EDIT", "", 153, 130, 20, 12, kNumber},
      {1004, "EDIT", "", 153, 150, 20, 12, kNumber},
      {1005, "EDIT", "", 153, 170, 20, 12, kNumber},
      {1006, "EDIT", "", 153, 190, 20, 12, kNumber},
      {1008, "EDIT", "", 153, 210, 20, 12, kNumber},
      {1009, "BUTTON", "Filter &enable", 13, 18, 60, 13, kCheck},
      {1010, "BUTTON", "&Show selected plane", 13, 46, 91, 12, kCheck},
  };
  ASSERT_EQ(t.items.size(), std::size(expected));
  for (size_t i = 0; i < t.items.size(); ++i) {
    const Item& item = t.items[i];
    const auto& e = expected[i];
    SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(e.id));
    EXPECT_EQ(item.id, e.id);
    EXPECT_EQ(item.kind, e.kind);
    EXPECT_EQ(item.caption, e.caption);
    EXPECT_EQ(item.x, e.x);
    EXPECT_EQ(item.y, e.y);
    EXPECT_EQ(item.cx, e.cx);
    EXPECT_EQ(item.cy, e.cy);
    EXPECT_EQ(item.style, kChild | kVisible | e.style);
  }
}
