// SPDX-License-Identifier: BSD-2-Clause
// The dialog template as the resource compiler built it: taken from the
// compiled resource file and compared with the layout the dialog procedure
// and the platform's dialog manager rely on.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "config_dialog.h"
#include "config_dialog_layout.h"
#include "resource.h"

namespace {

uint32_t dword_at(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The data of dialog resource `name` in a compiled .res file: a run of
// entries, each a size, a header size, then type and name (0xFFFF and a
// number, as the resource compiler writes both here) and the data.
std::vector<uint8_t> dialog_resource(const std::string& path, int name) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  for (size_t at = 0; at + 16 <= bytes.size();) {
    const uint32_t data_size = dword_at(bytes, at), header_size = dword_at(bytes, at + 4);
    const size_t data = at + header_size;
    if (data + data_size > bytes.size()) break;
    if (dword_at(bytes, at + 8) == 0x0005ffff &&  // type 5: dialog
        dword_at(bytes, at + 12) == (0xffffu | static_cast<uint32_t>(name) << 16)) {
      return std::vector<uint8_t>(bytes.begin() + data, bytes.begin() + data + data_size);
    }
    at = (data + data_size + 3) / 4 * 4;
  }
  return {};
}

}  // namespace

TEST(VdubDialogTemplate, HoldsEveryControlTheProcedureUsesInItsPlaceAndStyle) {
  EXPECT_EQ(IDD_FILTER_CONFIG, kConfigDialogResource);
  const std::vector<uint8_t> bytes = dialog_resource(ZOLTA_DIALOG_RES, IDD_FILTER_CONFIG);
  ASSERT_FALSE(bytes.empty()) << ZOLTA_DIALOG_RES;
  DialogTemplate dialog;
  std::string error;
  ASSERT_TRUE(read_dialog_template(bytes.data(), bytes.size(), dialog, error)) << error;
  for (const std::string& misfit : config_dialog_misfits(dialog)) ADD_FAILURE() << misfit;

  // The reader refuses the template cut anywhere, and the extended form it
  // does not read.
  for (size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_FALSE(read_dialog_template(bytes.data(), n, dialog, error)) << "length " << n;
  }
  const uint8_t extended[] = {1, 0, 0xff, 0xff, 0, 0, 0, 0};
  EXPECT_FALSE(read_dialog_template(extended, sizeof extended, dialog, error));

  // The procedure's sliders and boxes are the layout's trackbars and edit
  // boxes, in threshold order.
  std::vector<int> trackbars, boxes;
  for (size_t i = 0; i < kConfigDialogControlCount; ++i) {
    const ExpectedControl& c = kConfigDialogControls[i];
    if (same_window_class(c.window_class, "msctls_trackbar32")) trackbars.push_back(c.id);
    if (same_window_class(c.window_class, "Edit")) boxes.push_back(c.id);
  }
  EXPECT_EQ(trackbars, std::vector<int>(kThresholdSliders, kThresholdSliders + 6));
  EXPECT_EQ(boxes, std::vector<int>(kThresholdBoxes, kThresholdBoxes + 6));
}
