// A loaded module in the test host, with one instance, for the tests of the
// VirtualDub side.
#pragma once

#include <gtest/gtest.h>

#include "filter_module.h"
#include "filter_state.h"
#include "vdub_host.h"

struct LoadedModule {
  VdubHost host{VirtualdubFilterModuleInit2, VirtualdubFilterModuleDeinit,
                reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x4000))};
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
