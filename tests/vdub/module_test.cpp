// SPDX-License-Identifier: BSD-2-Clause
// Registration with the host and the filter callbacks, driven through the
// test host as VirtualDub drives them.
#include <cstring>
#include <string>

#include "script_config.h"
#include "vdub_fixture.h"

namespace {

void fill_source(VdubInstance& instance) {
  for (int32_t y = 0; y < instance.height(); ++y) {
    uint32_t* row = instance.source_row(y);
    for (int32_t x = 0; x < instance.width(); ++x) {
      // Distinct colours per row and column; the fourth byte set on purpose.
      row[x] = 0xA5000000u | (static_cast<uint32_t>(y * 37 % 256) << 16) |
               (static_cast<uint32_t>(x * 11 % 256) << 8) | static_cast<uint32_t>((x + y) % 256);
    }
  }
}

// The host's message for the error a callback raised, or "" when none.
template <typename Call>
std::string raised(Call call) {
  try {
    call();
  } catch (const VdubHostError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(VdubRegistration, RegistersTheFullDefinitionAndWithdrawsIt) {
  const standin_vdub::FilterDefinition* host_copy = nullptr;
  {
    LoadedModule module;
    EXPECT_EQ(module.load_result, 0);
    EXPECT_EQ(module.host.version, 7);
    EXPECT_EQ(module.host.compat, 4);
    EXPECT_EQ(module.host.add_filter_calls, 1);
    EXPECT_EQ(module.host.definition_length(),
              static_cast<int>(18 * sizeof(void*)));  // 72 on Win32

    const standin_vdub::FilterDefinition* def = module.host.definition();
    ASSERT_NE(def, nullptr);
    host_copy = def;
    EXPECT_STREQ(def->name, "quilmer (0.1)");
    ASSERT_NE(def->desc, nullptr);
    EXPECT_STREQ(def->desc, "");
    ASSERT_NE(def->maker, nullptr);
    EXPECT_EQ(def->inst_data_size, static_cast<int>(sizeof(zolta::FilterState)));
    EXPECT_EQ(def->module, &module.host.module());
    EXPECT_NE(def->initProc, nullptr);
    EXPECT_NE(def->runProc, nullptr);
    EXPECT_NE(def->configProc, nullptr);
    EXPECT_NE(def->startProc, nullptr);
    EXPECT_NE(def->endProc, nullptr);
    EXPECT_NE(def->fssProc, nullptr);
    EXPECT_EQ(def->deinitProc, nullptr);
    EXPECT_EQ(def->paramProc, nullptr);
    EXPECT_EQ(def->stringProc, nullptr);

    const standin_vdub::CScriptObject* object = def->script_obj;
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Lookup, nullptr);
    EXPECT_EQ(object->obj_list, nullptr);
    const standin_vdub::ScriptFunctionDef* f = object->func_list;
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f[0].name, "Config");
    EXPECT_STREQ(f[0].arg_list, "0iiiiiiiii");
    EXPECT_NE(f[0].func_ptr, nullptr);
    EXPECT_EQ(f[1].func_ptr, nullptr);
    EXPECT_EQ(f[1].name, nullptr);
    EXPECT_EQ(f[1].arg_list, nullptr);

    module.host.unload();
    EXPECT_EQ(module.host.remove_filter_calls, 1);
    EXPECT_EQ(module.host.removed, host_copy);  // the host's copy, not the module's record
  }
}

TEST(VdubRegistration, RefusedRegistrationFailsAndLeavesTheVersionsAlone) {
  VdubHost host(module_init_entry(), module_deinit_entry());
  host.refuse_add_filter = true;
  EXPECT_EQ(host.load(), 1);
  EXPECT_EQ(host.version, -1);
  EXPECT_EQ(host.compat, -1);
  host.unload();
  EXPECT_EQ(host.remove_filter_calls, 0);  // nothing was registered

  // A later, accepted registration is withdrawn with its own definition.
  host.refuse_add_filter = false;
  EXPECT_EQ(host.load(), 0);
  const standin_vdub::FilterDefinition* def = host.definition();
  host.unload();
  EXPECT_EQ(host.removed, def);
}

TEST_F(VdubInstanceTest, InitGivesDefaultsOnAnUnclearedBlock) {
  // The host filled the block with 0xCD before init.
  const zolta::FilterState& s = state();
  for (const auto& plane : s.thresholds)
    for (int32_t t : plane) EXPECT_EQ(t, 0);
  EXPECT_EQ(s.mode, zolta::Normal);
  EXPECT_EQ(s.show_plane, 0);
  EXPECT_EQ(s.plane, 0);
  EXPECT_EQ(s.enabled, 1);
  EXPECT_EQ(s.yuy2, 0);
  EXPECT_EQ(s.plane_block, nullptr);

  // Ending or running before any start frees nothing and processes nothing.
  EXPECT_EQ(instance.end(), 0);
  instance.set_frame(16, 8);
  EXPECT_EQ(raised([&] { instance.run(); }), kIllegalWidth);  // no geometry recorded yet
}

TEST_F(VdubInstanceTest, StartRecordsGeometryAndEndReleases) {
  instance.set_frame(720, 8);
  ASSERT_EQ(instance.source().pitch, 2880);
  EXPECT_EQ(instance.start(), 0);
  EXPECT_EQ(state().width, 720);
  EXPECT_EQ(state().height, 8);
  EXPECT_EQ(state().src_pitch, 720);
  EXPECT_EQ(state().src, instance.source().data);
  EXPECT_EQ(state().dst, instance.dest().data);
  EXPECT_NE(state().plane_block, nullptr);

  // Starting again without an end must not leak the first buffers.
  EXPECT_EQ(instance.start(), 0);
  EXPECT_EQ(instance.end(), 0);
  EXPECT_EQ(state().plane_block, nullptr);

  instance.set_frame(720, 8, VdubRowOrder::BottomUp);
  ASSERT_EQ(instance.source().pitch, -2880);
  EXPECT_EQ(instance.start(), 0);
  EXPECT_EQ(state().src_pitch, -720);
  EXPECT_EQ(state().src, instance.source_row(0));
  EXPECT_EQ(instance.end(), 0);
  EXPECT_EQ(instance.end(), 0);  // a second end is harmless
}

TEST_F(VdubInstanceTest, RunRefusesSizesThatAreNotMultiplesOfEight) {
  struct Case {
    int32_t w, h;
    const char* message;
  };
  const Case cases[] = {
      {720, 576, ""},
      {722, 576, kIllegalWidth},
      {720, 574, kIllegalHeight},
      {722, 574, kIllegalWidth},  // width wins
      {0, 8, kIllegalWidth},      // a multiple of 8 that cannot be processed
      {8, 0, kIllegalHeight},
      {-8, 8, kIllegalWidth},
  };
  EXPECT_STREQ(kIllegalWidth, "Illegal width size.");
  EXPECT_STREQ(kIllegalHeight, "Illegal height size.");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    for (int32_t enabled : {1, 0}) {
      state().enabled = enabled;
      instance.set_frame(8, 8);
      instance.source().w = instance.dest().w = c.w;  // the geometry only;
      instance.source().h = instance.dest().h = c.h;  // no pixels are touched
      if (c.message[0] != '\0') {
        EXPECT_EQ(instance.start(), 0);
        EXPECT_EQ(raised([&] { instance.run(); }), c.message);
      } else {
        instance.set_frame(c.w, c.h);
        EXPECT_EQ(instance.start(), 0);
        EXPECT_EQ(raised([&] { instance.run(); }), "");
      }
      EXPECT_EQ(instance.end(), 0);
    }
  }
}

TEST_F(VdubInstanceTest, AHostWhoseExceptReturnsStillGetsNoIllegalFrame) {
  module.host.error_mode = VdubErrorMode::Record;
  instance.set_frame(24, 8);
  fill_source(instance);
  instance.source().w = 20;
  state().enabled = 0;  // would be a plain copy
  EXPECT_EQ(instance.start(), 0);
  EXPECT_NE(instance.run(), 0);
  ASSERT_EQ(module.host.errors.size(), 1u);
  EXPECT_EQ(module.host.errors[0], kIllegalWidth);
  EXPECT_EQ(instance.dest_row(0)[0], 0u);  // nothing was written
}

TEST_F(VdubInstanceTest, MissingBuffersStopProcessing) {
  // A frame far too large to hold three float planes of.
  instance.set_frame(8, 8);
  instance.source().w = 1000000000;
  instance.source().h = 1000000000;
  try {
    instance.start();
    ADD_FAILURE() << "start did not report the failed allocation";
  } catch (const VdubHostError& e) {
    EXPECT_TRUE(e.out_of_memory);
  }
  EXPECT_EQ(state().plane_block, nullptr);
  EXPECT_EQ(raised([&] { instance.run(); }), kNoPlaneBuffers);

  // With a host whose error functions return, start fails by its result.
  module.host.error_mode = VdubErrorMode::Record;
  module.host.errors.clear();
  EXPECT_NE(instance.start(), 0);
  EXPECT_NE(instance.run(), 0);
  ASSERT_EQ(module.host.errors.size(), 2u);
  EXPECT_EQ(module.host.errors[0], kVdubOutOfMemory);
  EXPECT_EQ(module.host.errors[1], kNoPlaneBuffers);

  // After an end, frames are refused until the next start.
  module.host.error_mode = VdubErrorMode::Throw;
  instance.set_frame(16, 8);
  EXPECT_EQ(instance.start(), 0);
  EXPECT_EQ(instance.end(), 0);
  EXPECT_EQ(raised([&] { instance.run(); }), kNoPlaneBuffers);

  // Bitmaps without pixels are refused as well.
  instance.source().data = nullptr;
  EXPECT_EQ(instance.start(), 0);
  EXPECT_EQ(raised([&] { instance.run(); }), kNoFrameBuffers);
}

TEST_F(VdubInstanceTest, FramesFollowTheSourceRowsWhateverThePitch) {
  struct Layout {
    VdubRowOrder order;
    int32_t pad;
  };
  const Layout layouts[] = {{VdubRowOrder::TopDown, 0},
                            {VdubRowOrder::BottomUp, 0},
                            {VdubRowOrder::TopDown, 8},
                            {VdubRowOrder::BottomUp, 4}};
  for (const Layout& l : layouts) {
    for (int32_t enabled : {0, 1}) {
      SCOPED_TRACE("pad " + std::to_string(l.pad) + " enabled " + std::to_string(enabled));
      state().enabled = enabled;
      instance.set_frame(32, 16, l.order, l.pad);
      fill_source(instance);
      ASSERT_EQ(instance.start(), 0);
      ASSERT_EQ(instance.run(), 0);
      for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 32; ++x) {
          const uint32_t in = instance.source_row(y)[x];
          const uint32_t out = instance.dest_row(y)[x];
          if (enabled) {
            // No level is on: the colour round trip gives the colours back
            // exactly and a clear fourth byte.
            ASSERT_EQ(out, in & 0x00FFFFFFu) << "at " << x << "," << y;
          } else {
            ASSERT_EQ(out, in) << "at " << x << "," << y;
          }
        }
      }
      ASSERT_EQ(instance.end(), 0);
    }
  }
}
