// SPDX-License-Identifier: BSD-2-Clause
// The library as a VirtualDub filter module inside a Win32 process:
// registration, instances through their callbacks, the script text, and
// frame-size errors through the host's Except.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vdub_session.h"

using namespace zolta;
using namespace standin_vdub;

namespace {

void fill_source(VdubInstance& instance, uint32_t seed) {
  uint32_t s = seed;
  for (int32_t y = 0; y < instance.height(); ++y) {
    uint32_t* row = instance.source_row(y);
    for (int32_t x = 0; x < instance.width(); ++x) {
      s = s * 1664525u + 1013904223u;
      row[x] = (s >> 8) & 0x00ffffffu;
    }
  }
}

std::vector<uint32_t> dest_pixels(VdubInstance& instance) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < instance.height(); ++y) {
    const uint32_t* row = instance.dest_row(y);
    out.insert(out.end(), row, row + instance.width());
  }
  return out;
}

std::vector<uint32_t> source_pixels(VdubInstance& instance) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < instance.height(); ++y) {
    const uint32_t* row = instance.source_row(y);
    out.insert(out.end(), row, row + instance.width());
  }
  return out;
}

// The non-returning form of the host's Except: records the message and
// lands before the call into the library (see guarded_calls.h for why a
// throw cannot be used here).
std::jmp_buf* except_landing = nullptr;
std::string except_message;

void __cdecl landing_except(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format ? format : "", args);
  va_end(args);
  except_message = text;
  if (except_landing) std::longjmp(*except_landing, 1);
  std::abort();
}

// Runs the instance's frame with the landing Except; true when Except was called.
bool run_until_except(VdubInstance& instance) {
  std::jmp_buf landing;
  except_landing = &landing;
  except_message.clear();
  if (setjmp(landing) != 0) {
    except_landing = nullptr;
    return true;
  }
  instance.run();
  except_landing = nullptr;
  return false;
}

}  // namespace

TEST(VirtualDub, RegistersTheSeventyTwoByteDefinition) {
  ASSERT_TRUE(test_context().library.vdub_init);
  {
    VdubHost host(vdub_init_entry(), vdub_deinit_entry(), library_module());
    EXPECT_EQ(host.load(), 0);
    EXPECT_EQ(host.version, 7);
    EXPECT_EQ(host.compat, 4);
    EXPECT_EQ(host.add_filter_calls, 1);
    EXPECT_EQ(host.definition_length(), 72);
    ASSERT_TRUE(host.module_definition() && host.definition());
    const FilterDefinition& d = *host.module_definition();
    EXPECT_TRUE(d.next == nullptr && d.prev == nullptr && d.module == nullptr);
    EXPECT_EQ(std::string(d.name), std::string("quilmer (0.1)"));
    EXPECT_TRUE(d.desc != nullptr && d.desc[0] == '\0');
    EXPECT_TRUE(d.maker != nullptr && d.maker[0] != '\0');
    EXPECT_TRUE(d.private_data == nullptr);
    EXPECT_EQ(d.inst_data_size, static_cast<int>(sizeof(FilterState)));
    EXPECT_TRUE(d.initProc && d.runProc && d.configProc && d.startProc && d.endProc && d.fssProc);
    EXPECT_TRUE(!d.deinitProc && !d.paramProc && !d.stringProc);
    ASSERT_TRUE(d.script_obj && d.script_obj->func_list);
    EXPECT_TRUE(d.script_obj->Lookup == nullptr);
    EXPECT_TRUE(d.script_obj->obj_list == nullptr);
    const ScriptFunctionDef* f = d.script_obj->func_list;
    EXPECT_EQ(std::string(f[0].name), std::string("Config"));
    EXPECT_EQ(std::string(f[0].arg_list), std::string("0iiiiiiiii"));
    EXPECT_TRUE(f[0].func_ptr != nullptr);
    EXPECT_TRUE(!f[1].func_ptr && !f[1].name && !f[1].arg_list);

    FilterDefinition* registered = host.definition();
    host.unload();
    EXPECT_EQ(host.remove_filter_calls, 1);
    EXPECT_TRUE(host.removed == registered);
  }
  {
    VdubHost host(vdub_init_entry(), vdub_deinit_entry(), library_module());
    host.refuse_add_filter = true;
    EXPECT_EQ(host.load(), 1);
    EXPECT_EQ(host.version, -1);
    EXPECT_EQ(host.compat, -1);
  }
}

TEST(VirtualDub, InstanceThroughInitStartRunAndEnd) {
  ASSERT_TRUE(test_context().library.vdub_init);
  VdubHost host(vdub_init_entry(), vdub_deinit_entry(), library_module());
  ASSERT_TRUE(host.load() == 0);

  VdubInstance top(host);
  top.set_frame(64, 48, VdubRowOrder::TopDown, 8);
  EXPECT_EQ(top.init(), 0);
  FilterState& state = state_of(top);
  EXPECT_EQ(state.yuy2, 0);
  EXPECT_EQ(state.enabled, 1);
  EXPECT_EQ(state.mode, 0);
  EXPECT_EQ(state.plane, 0);
  EXPECT_EQ(state.show_plane, 0);
  EXPECT_TRUE(top.run_script("Config(10280, 6168, 0, 4112, 0, 0, 4112, 0, 0)"));
  fill_source(top, 3);
  EXPECT_EQ(top.start(), 0);
  EXPECT_EQ(state.width, 64);
  EXPECT_EQ(state.height, 48);
  EXPECT_EQ(state.src_pitch, 72);
  EXPECT_TRUE(state.plane_block != nullptr);
  EXPECT_EQ(top.run(), 0);
  const std::vector<uint32_t> first = dest_pixels(top);
  EXPECT_TRUE(first != source_pixels(top));  // noise was removed
  EXPECT_EQ(top.run(), 0);
  EXPECT_TRUE(dest_pixels(top) == first);  // nothing carries over between frames
  EXPECT_EQ(top.end(), 0);

  // The same picture stored bottom-up (negative pitch) gives the same frame.
  VdubInstance bottom(host);
  bottom.set_frame(64, 48, VdubRowOrder::BottomUp);
  EXPECT_EQ(bottom.init(), 0);
  EXPECT_TRUE(bottom.run_script("Config(10280, 6168, 0, 4112, 0, 0, 4112, 0, 0)"));
  fill_source(bottom, 3);
  EXPECT_EQ(bottom.start(), 0);
  EXPECT_EQ(state_of(bottom).src_pitch, -64);
  EXPECT_EQ(bottom.run(), 0);
  EXPECT_TRUE(dest_pixels(bottom) == first);

  // Switched off, the frame is copied.
  state_of(bottom).enabled = 0;
  EXPECT_EQ(bottom.run(), 0);
  EXPECT_TRUE(dest_pixels(bottom) == source_pixels(bottom));
  EXPECT_EQ(bottom.end(), 0);
  EXPECT_TRUE(host.errors.empty());
}

// The script call through the Win32 build's own formatting and calling
// convention (the native script tests hold every rule of the text).
TEST(VirtualDub, ConfigAndTheScriptTextRoundTrip) {
  ASSERT_TRUE(test_context().library.vdub_init);
  VdubSession session;
  ASSERT_EQ(session.load_result, 0);
  VdubInstance& instance = session.instance;
  FilterState& state = session.state();
  EXPECT_TRUE(instance.run_script(
      "VirtualDub.video.filters.instance[2].Config(4128, 0, 0, 0, 0, 0, 0, 0, 0);"));
  EXPECT_EQ(instance.script_text(), std::string("Config(4128, 0, 0, 0, 0, 0, 0, 0, 0)"));

  // Every threshold different: the text read back restores all eighteen.
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < 6; ++i) state.thresholds[p][i] = 255 - 14 * (p * 6 + i);
  }
  state.mode = Diff;
  state.plane = 2;
  int32_t saved[3][6];
  std::memcpy(saved, state.thresholds, sizeof saved);
  const std::string text = instance.script_text();
  std::memset(state.thresholds, 0, sizeof state.thresholds);
  EXPECT_TRUE(instance.run_script(text));
  EXPECT_TRUE(std::memcmp(saved, state.thresholds, sizeof saved) == 0);
  EXPECT_EQ(state.mode, static_cast<int32_t>(Diff));  // not carried by the script
  EXPECT_EQ(state.plane, 2);

  // Values beyond two bytes are split as they stand.
  EXPECT_TRUE(instance.run_script("Config(65536, -1, 300, 0, 0, 0, 0, 0, 0)"));
  EXPECT_EQ(state.thresholds[0][0], 256);
  EXPECT_EQ(state.thresholds[0][1], 0);
  EXPECT_EQ(state.thresholds[0][2], -1);
  EXPECT_EQ(state.thresholds[0][3], 255);
  EXPECT_EQ(state.thresholds[0][4], 1);
  EXPECT_EQ(state.thresholds[0][5], 44);

  // A short buffer is never written past its end.
  char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  instance.script_string(buffer, 12);
  bool guard_intact = true;
  for (size_t i = 12; i < sizeof buffer; ++i) guard_intact = guard_intact && buffer[i] == '#';
  EXPECT_TRUE(guard_intact);
  EXPECT_TRUE(session.host.errors.empty());
}

TEST(VirtualDub, FrameSizesRefusedThroughExcept) {
  ASSERT_TRUE(test_context().library.vdub_init);
  VdubHost host(vdub_init_entry(), vdub_deinit_entry(), library_module());
  ASSERT_TRUE(host.load() == 0);

  struct Case {
    int32_t width, height;
    const char* message;  // null: accepted
  };
  const Case cases[] = {{720, 576, nullptr},
                        {722, 576, "Illegal width size."},
                        {720, 574, "Illegal height size."},
                        {722, 574, "Illegal width size."}};

  // A host whose Except does not return, as VirtualDub's: the call leaves
  // the library and the process carries on. (A host whose Except returns is
  // the native module tests'.)
  FilterFunctions& table = const_cast<FilterFunctions&>(host.functions());
  table.Except = landing_except;
  for (const Case& c : cases) {
    VdubInstance instance(host);
    instance.set_frame(c.width, c.height);
    instance.init();
    instance.start();
    const bool raised = run_until_except(instance);
    EXPECT_EQ(raised, c.message != nullptr);
    EXPECT_EQ(except_message, std::string(c.message ? c.message : ""));
    instance.end();
  }
}
