// SPDX-License-Identifier: BSD-2-Clause
#include "dialog_template.h"

namespace {

constexpr uint32_t kSetFont = 0x40;  // DS_SETFONT

struct Cursor {
  const uint8_t* bytes;
  size_t size;
  size_t at = 0;
  bool ok = true;

  uint32_t u16() {
    if (at + 2 > size) return fail();
    const uint32_t v = bytes[at] | static_cast<uint32_t>(bytes[at + 1]) << 8;
    at += 2;
    return v;
  }
  uint32_t u32() {
    const uint32_t low = u16();
    return low | u16() << 16;
  }
  int s16() { return static_cast<int16_t>(static_cast<uint16_t>(u16())); }
  void align4() { at = (at + 3) & ~static_cast<size_t>(3); }
  uint32_t fail() {
    ok = false;
    at = size;
    return 0;
  }
  // A zero-terminated UTF-16 text; characters outside ASCII become '?'.
  std::string text() {
    std::string s;
    for (uint32_t c = u16(); ok && c != 0; c = u16())
      s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return s;
  }
  // Either 0xFFFF and a number, or a text.
  std::string name_or_number(int& number) {
    number = -1;
    if (at + 2 <= size && bytes[at] == 0xff && bytes[at + 1] == 0xff) {
      at += 2;
      number = static_cast<int>(u16());
      return std::string();
    }
    return text();
  }
};

std::string predefined_class(int atom) {
  switch (atom) {
    case 0x80:
      return "Button";
    case 0x81:
      return "Edit";
    case 0x82:
      return "Static";
    case 0x83:
      return "ListBox";
    case 0x84:
      return "ScrollBar";
    case 0x85:
      return "ComboBox";
    default:
      return "#" + std::to_string(atom);
  }
}

}  // namespace

bool read_dialog_template(const uint8_t* bytes, size_t size, DialogTemplate& dialog,
                          std::string& error) {
  dialog = DialogTemplate();
  if (size >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xff && bytes[3] == 0xff) {
    error = "an extended dialog template (DIALOGEX), which this reader does not read";
    return false;
  }
  Cursor c{bytes, size};
  dialog.style = c.u32();
  dialog.ex_style = c.u32();
  const uint32_t count = c.u16();
  dialog.x = c.s16();
  dialog.y = c.s16();
  dialog.cx = c.s16();
  dialog.cy = c.s16();
  int number = 0;
  c.name_or_number(number);  // menu
  c.name_or_number(number);  // window class
  dialog.caption = c.text();
  if (dialog.style & kSetFont) {
    dialog.font_points = static_cast<int>(c.u16());
    dialog.font = c.text();
  }
  for (uint32_t i = 0; i < count && c.ok; ++i) {
    c.align4();
    DialogItem item;
    item.style = c.u32();
    item.ex_style = c.u32();
    item.x = c.s16();
    item.y = c.s16();
    item.cx = c.s16();
    item.cy = c.s16();
    item.id = c.s16();
    int atom = -1;
    item.window_class = c.name_or_number(atom);
    if (atom >= 0) item.window_class = predefined_class(atom);
    int caption_number = -1;
    item.caption = c.name_or_number(caption_number);
    const uint32_t extra = c.u16();
    c.at += extra;
    if (c.at > size) c.fail();
    dialog.items.push_back(item);
  }
  if (!c.ok) {
    error = "dialog template cut short";
    return false;
  }
  return true;
}
