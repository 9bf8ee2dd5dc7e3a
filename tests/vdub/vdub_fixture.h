/* SPDX-License-Identifier: BSD-2-Clause */
// A loaded module in the test host, with one instance, for the tests of the
// VirtualDub side.
#pragma once

#include <gtest/gtest.h>

#include "filter_module.h"
#include "filter_state.h"
#include "vdub_host.h"

// The module's entry points as the host takes them: bare addresses, called
// through the host's own declaration of their type.
inline VdubInitEntry module_init_entry() {
  return reinterpret_cast<VdubInitEntry>(&VirtualdubFilterModuleInit2);
}
inline VdubDeinitEntry module_deinit_entry() {
  return reinterpret_cast<VdubDeinitEntry>(&VirtualdubFilterModuleDeinit);
}

// The host's preview as the module holds it: the same object, seen through
// the module's declaration of the interface.
inline IFilterPreview* module_view(RecordingPreview& preview) {
  return reinterpret_cast<IFilterPreview*>(static_cast<standin_vdub::IFilterPreview*>(&preview));
}

struct LoadedModule {
  VdubHost host{module_init_entry(), module_deinit_entry(),
                reinterpret_cast<standin_vdub::InstanceHandle>(static_cast<uintptr_t>(0x4000))};
  int load_result = host.load();
};

struct VdubInstanceTest : ::testing::Test {
  LoadedModule module;
  VdubInstance instance{module.host};

  void SetUp() override {
    ASSERT_EQ(module.load_result, 0);
    ASSERT_EQ(instance.init(), 0);
  }
  void TearDown() override { instance.end(); }

  zolta::FilterState& state() { return *static_cast<zolta::FilterState*>(instance.data()); }
};
