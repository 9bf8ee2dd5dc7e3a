// The library as a VirtualDub filter module inside a Win32 process:
// registration, instances through their callbacks, the script text, and
// frame-size errors through the host's Except.
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "filter_state.h"
#include "test_context.h"
#include "vdub_host.h"

namespace {

VdubInitEntry init_entry() {
  return reinterpret_cast<VdubInitEntry>(test_context().library.vdub_init);
}
VdubDeinitEntry deinit_entry() {
  return reinterpret_cast<VdubDeinitEntry>(test_context().library.vdub_deinit);
}
HINSTANCE module_handle() {
  return static_cast<HINSTANCE>(test_context().library.handle);
}

FilterState& state_of(VdubInstance& instance) {
  return *static_cast<FilterState*>(instance.data());
}

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

CHECK_GROUP(vdub_registration, 20, "VirtualDub: registration and the 72-byte definition") {
  REQUIRE(test_context().library.vdub_init);
  {
    VdubHost host(init_entry(), deinit_entry(), module_handle());
    CHECK_EQ(host.load(), 0);
    CHECK_EQ(host.version, 7);
    CHECK_EQ(host.compat, 4);
    CHECK_EQ(host.add_filter_calls, 1);
    CHECK_EQ(host.definition_length(), 72);
    REQUIRE(host.module_definition() && host.definition());
    const FilterDefinition& d = *host.module_definition();
    CHECK(d.next == nullptr && d.prev == nullptr && d.module == nullptr);
    CHECK_EQ(std::string(d.name), std::string("quilmer (0.1)"));
    CHECK(d.desc != nullptr && d.desc[0] == '\0');
    CHECK(d.maker != nullptr && d.maker[0] != '\0');
    CHECK(d.private_data == nullptr);
    CHECK_EQ(d.inst_data_size, static_cast<int>(sizeof(FilterState)));
    CHECK(d.initProc && d.runProc && d.configProc && d.startProc && d.endProc && d.fssProc);
    CHECK(!d.deinitProc && !d.paramProc && !d.stringProc);
    REQUIRE(d.script_obj && d.script_obj->func_list);
    CHECK(d.script_obj->Lookup == nullptr);
    CHECK(d.script_obj->obj_list == nullptr);
    const ScriptFunctionDef* f = d.script_obj->func_list;
    CHECK_EQ(std::string(f[0].name), std::string("Config"));
    CHECK_EQ(std::string(f[0].arg_list), std::string("0iiiiiiiii"));
    CHECK(f[0].func_ptr != nullptr);
    CHECK(!f[1].func_ptr && !f[1].name && !f[1].arg_list);

    FilterDefinition* registered = host.definition();
    host.unload();
    CHECK_EQ(host.remove_filter_calls, 1);
    CHECK(host.removed == registered);
  }
  {
    VdubHost host(init_entry(), deinit_entry(), module_handle());
    host.refuse_add_filter = true;
    CHECK_EQ(host.load(), 1);
    CHECK_EQ(host.version, -1);
    CHECK_EQ(host.compat, -1);
  }
}

CHECK_GROUP(vdub_instance, 21, "VirtualDub: an instance through init, start, run and end") {
  REQUIRE(test_context().library.vdub_init);
  VdubHost host(init_entry(), deinit_entry(), module_handle());
  REQUIRE(host.load() == 0);

  VdubInstance top(host);
  top.set_frame(64, 48, VdubRowOrder::TopDown, 8);
  CHECK_EQ(top.init(), 0);
  FilterState& state = state_of(top);
  CHECK_EQ(state.yuy2, 0);
  CHECK_EQ(state.enabled, 1);
  CHECK_EQ(state.mode, 0);
  CHECK_EQ(state.plane, 0);
  CHECK_EQ(state.show_plane, 0);
  CHECK(top.run_script("Config(10280, 6168, 0, 4112, 0, 0, 4112, 0, 0)"));
  fill_source(top, 3);
  CHECK_EQ(top.start(), 0);
  CHECK_EQ(state.width, 64);
  CHECK_EQ(state.height, 48);
  CHECK_EQ(state.src_pitch, 72);
  CHECK(state.plane_block != nullptr);
  CHECK_EQ(top.run(), 0);
  const std::vector<uint32_t> first = dest_pixels(top);
  CHECK(first != source_pixels(top));  // noise was removed
  CHECK_EQ(top.run(), 0);
  CHECK(dest_pixels(top) == first);  // nothing carries over between frames
  CHECK_EQ(top.end(), 0);

  // The same picture stored bottom-up (negative pitch) gives the same frame.
  VdubInstance bottom(host);
  bottom.set_frame(64, 48, VdubRowOrder::BottomUp);
  CHECK_EQ(bottom.init(), 0);
  CHECK(bottom.run_script("Config(10280, 6168, 0, 4112, 0, 0, 4112, 0, 0)"));
  fill_source(bottom, 3);
  CHECK_EQ(bottom.start(), 0);
  CHECK_EQ(state_of(bottom).src_pitch, -64);
  CHECK_EQ(bottom.run(), 0);
  CHECK(dest_pixels(bottom) == first);

  // Switched off, the frame is copied.
  state_of(bottom).enabled = 0;
  CHECK_EQ(bottom.run(), 0);
  CHECK(dest_pixels(bottom) == source_pixels(bottom));
  CHECK_EQ(bottom.end(), 0);
  CHECK(host.errors.empty());
}

CHECK_GROUP(vdub_script, 22, "VirtualDub: Config and the script text round trip") {
  REQUIRE(test_context().library.vdub_init);
  VdubHost host(init_entry(), deinit_entry(), module_handle());
  REQUIRE(host.load() == 0);
  VdubInstance instance(host);
  instance.set_frame(64, 48);
  instance.init();
  FilterState& state = state_of(instance);
  CHECK_EQ(instance.script_text(), std::string("Config(0, 0, 0, 0, 0, 0, 0, 0, 0)"));

  CHECK(instance.run_script(
      "VirtualDub.video.filters.instance[2].Config(4128, 0, 0, 0, 0, 0, 0, 0, 0);"));
  CHECK_EQ(state.thresholds[0][0], 16);
  CHECK_EQ(state.thresholds[0][1], 32);
  CHECK_EQ(instance.script_text(), std::string("Config(4128, 0, 0, 0, 0, 0, 0, 0, 0)"));

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
  CHECK(instance.run_script(text));
  CHECK(std::memcmp(saved, state.thresholds, sizeof saved) == 0);
  CHECK_EQ(state.mode, static_cast<int32_t>(Diff));  // not carried by the script
  CHECK_EQ(state.plane, 2);

  for (auto& plane : state.thresholds) {
    for (int32_t& t : plane) t = 255;
  }
  CHECK_EQ(instance.script_text().size(), 69u);

  // Values beyond two bytes are split as they stand.
  CHECK(instance.run_script("Config(65536, -1, 300, 0, 0, 0, 0, 0, 0)"));
  CHECK_EQ(state.thresholds[0][0], 256);
  CHECK_EQ(state.thresholds[0][1], 0);
  CHECK_EQ(state.thresholds[0][2], -1);
  CHECK_EQ(state.thresholds[0][3], 255);
  CHECK_EQ(state.thresholds[0][4], 1);
  CHECK_EQ(state.thresholds[0][5], 44);

  // A short buffer is never written past its end.
  char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  instance.script_string(buffer, 12);
  bool guard_intact = true;
  for (size_t i = 12; i < sizeof buffer; ++i) guard_intact = guard_intact && buffer[i] == '#';
  CHECK(guard_intact);
  CHECK(host.errors.empty());
}

CHECK_GROUP(vdub_except, 23, "VirtualDub: frame sizes refused through Except") {
  REQUIRE(test_context().library.vdub_init);
  VdubHost host(init_entry(), deinit_entry(), module_handle());
  REQUIRE(host.load() == 0);

  struct Case {
    int32_t width, height;
    const char* message;  // null: accepted
  };
  const Case cases[] = {{720, 576, nullptr},
                        {722, 576, "Illegal width size."},
                        {720, 574, "Illegal height size."},
                        {722, 574, "Illegal width size."}};

  // A host whose Except returns: the message is recorded once and the
  // frame is not processed, even with the filter switched off.
  host.error_mode = VdubErrorMode::Record;
  for (const Case& c : cases) {
    VdubInstance instance(host);
    instance.set_frame(c.width, c.height);
    instance.init();
    state_of(instance).enabled = 0;
    fill_source(instance, 11);
    instance.start();
    host.errors.clear();
    const int result = instance.run();
    if (c.message) {
      CHECK(result != 0);
      CHECK(host.errors.size() == 1u && host.errors[0] == c.message);
      CHECK(dest_pixels(instance) != source_pixels(instance));
    } else {
      CHECK_EQ(result, 0);
      CHECK(host.errors.empty());
      CHECK(dest_pixels(instance) == source_pixels(instance));
    }
    instance.end();
  }

  // A host whose Except does not return, as VirtualDub's: the call leaves
  // the library and the process carries on.
  FilterFunctions& table = const_cast<FilterFunctions&>(host.functions());
  table.Except = landing_except;
  for (const Case& c : cases) {
    VdubInstance instance(host);
    instance.set_frame(c.width, c.height);
    instance.init();
    instance.start();
    const bool raised = run_until_except(instance);
    CHECK_EQ(raised, c.message != nullptr);
    CHECK_EQ(except_message, std::string(c.message ? c.message : ""));
    instance.end();
  }
}
