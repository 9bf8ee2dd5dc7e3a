// SPDX-License-Identifier: BSD-2-Clause
// The VirtualDub test host itself: the other tests, zolta-run and the Windows
// test program lean on it, so its own faults must not pass for the module's.
#include <memory>
#include <stdexcept>

#include "vdub_fixture.h"

TEST(VdubTestHost, TheLatestLiveHostServesTheTableWhateverOrderHostsEndIn) {
  auto first = std::make_unique<VdubHost>(module_init_entry(), module_deinit_entry());
  auto second = std::make_unique<VdubHost>(module_init_entry(), module_deinit_entry());
  auto third = std::make_unique<VdubHost>(module_init_entry(), module_deinit_entry());
  ASSERT_EQ(third->load(), 0);
  EXPECT_EQ(third->add_filter_calls, 1);
  third->unload();

  // The middle one ends first, then the newest: the oldest answers again.
  second.reset();
  third.reset();
  ASSERT_EQ(first->load(), 0);
  EXPECT_EQ(first->add_filter_calls, 1);
  ASSERT_NE(first->definition(), nullptr);
  EXPECT_STREQ(first->definition()->name, "quilmer (0.1)");
  first->unload();
  EXPECT_EQ(first->remove_filter_calls, 1);
}

TEST_F(VdubInstanceTest, HostRefusesWhatItCannotDescribeOrCall) {
  // Frames whose bytes overflow the bitmap's 32-bit pitch or size are
  // refused before anything is allocated; the previous frame stays.
  instance.set_frame(16, 8);
  EXPECT_THROW(instance.set_frame(1 << 29, 8), std::length_error);
  EXPECT_THROW(instance.set_frame(65536, 65536), std::length_error);
  EXPECT_THROW(instance.set_frame(8, 8, VdubRowOrder::TopDown, INT32_MAX), std::length_error);
  EXPECT_EQ(instance.width(), 16);
  EXPECT_EQ(instance.source().pitch, 64);

  // A script entry without a return kind is not called, and its empty
  // argument list is not read past its end.
  module.host.error_mode = VdubErrorMode::Record;
  static standin_vdub::ScriptFunctionDef functions[] = {{nullptr, "Config", ""},
                                                        {nullptr, nullptr, nullptr}};
  functions[0].func_ptr = module.host.definition()->script_obj->func_list[0].func_ptr;
  standin_vdub::CScriptObject object = {nullptr, functions, nullptr};
  module.host.definition()->script_obj = &object;
  state().thresholds[0][0] = 3;
  EXPECT_FALSE(instance.call_script("Config", {}));
  EXPECT_EQ(module.host.errors.size(), 1u);
  EXPECT_EQ(state().thresholds[0][0], 3);
}
