/* SPDX-License-Identifier: BSD-2-Clause */
// What the Win32 checks of the VirtualDub face start from: the library's
// entries, its instance record, and a host over it with one instance.
#pragma once

#include "filter_state.h"
#include "test_context.h"
#include "vdub_host.h"

inline VdubInitEntry vdub_init_entry() {
  return reinterpret_cast<VdubInitEntry>(test_context().library.vdub_init);
}
inline VdubDeinitEntry vdub_deinit_entry() {
  return reinterpret_cast<VdubDeinitEntry>(test_context().library.vdub_deinit);
}
inline standin_vdub::InstanceHandle library_module() {
  return static_cast<standin_vdub::InstanceHandle>(test_context().library.handle);
}
inline zolta::FilterState& state_of(VdubInstance& instance) {
  return *static_cast<zolta::FilterState*>(instance.data());
}

// The host loaded (naming `module` as the module's instance; 0 in
// load_result when it loaded) and an instance initialised on a 64 x 48 frame.
struct VdubSession {
  VdubHost host;
  int load_result;
  VdubInstance instance;
  explicit VdubSession(standin_vdub::InstanceHandle module = library_module())
      : host(vdub_init_entry(), vdub_deinit_entry(), module),
        load_result(host.load()),
        instance(host) {
    instance.set_frame(64, 48);
    instance.init();
  }
  zolta::FilterState& state() { return state_of(instance); }
};
