// SPDX-License-Identifier: BSD-2-Clause
// The installed plugin module found by each host stand-in as the host finds
// its plugins at start-up, from a folder alone (no path to the file):
// VapourSynth loads every file with the system's library suffix in its
// plugin folder and the folders below it, AviSynth+ every such file in an
// autoload folder. The module found must register its function and give the
// engine's own output (this build's) for a frame.
//   ZOLTA_VAPOURSYNTH_PLUGIN_DIR=... ZOLTA_AVISYNTH_PLUGIN_DIR=... zolta_plugin_folder_tests
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "avsplus_host.h"
#include "plugin_test_support.h"
#include "vs_core.h"

using namespace standin_vs;

namespace {

bool has_library_suffix(const std::string& name) {
  const std::string suffix = ".so";
  return name.size() > suffix.size() &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Regular files (links followed) with the library suffix in `dir`, and in
// its subfolders when `recursive`.
void plugin_files(const std::string& dir, bool recursive, std::vector<std::string>& found) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = dir + "/" + name;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (recursive) plugin_files(path, true, found);
    } else if (S_ISREG(st.st_mode) && has_library_suffix(name)) {
      found.push_back(path);
    }
  }
  closedir(d);
}

std::string folder_from_environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

const int kWidth = 64, kHeight = 48;
const zolta_stream kStream = {
    ZOLTA_API_VERSION, ZOLTA_FAMILY_YUV420, ZOLTA_SAMPLE_INTEGER, 8, kWidth, kHeight, {}};

// The source frame: plane p of it at `plane(p)`.
void fill_source(const std::function<PlaneRef(int)>& plane) {
  for (int p = 0; p < 3; ++p) {
    int32_t w = 0, h = 0;
    zolta_stream_plane_size(&kStream, p, &w, &h);
    fill_plane(kStream, w, h, static_cast<uint32_t>(p), plane(p));
  }
}

// The module's output frame (plane p at `output(p)`) against the engine's
// output for the source frame (at `input(p)`).
void expect_engine_output(const std::function<PlaneRef(int)>& input,
                          const std::function<PlaneRef(int)>& output) {
  zolta_frame frame = {};
  for (int p = 0; p < 3; ++p) {
    frame.data[p] = input(p).data;
    frame.stride[p] = input(p).stride;
  }
  const auto expected = engine_output(kStream, settings_from_text(kTestConfig), frame);
  for (int p = 0; p < 3; ++p) {
    int32_t w = 0, h = 0;
    zolta_stream_plane_size(&kStream, p, &w, &h);
    const PlaneRef got = output(p);
    EXPECT_EQ(compare_plane(expected[static_cast<size_t>(p)], w, h, got.data, got.stride), "")
        << "plane " << p;
  }
}

TEST(PluginFolders, VapourSynthFindsTheModuleInItsPluginFolder) {
  const std::string dir = folder_from_environment("ZOLTA_VAPOURSYNTH_PLUGIN_DIR");
  if (dir.empty()) GTEST_SKIP() << "ZOLTA_VAPOURSYNTH_PLUGIN_DIR names no folder";
  std::vector<std::string> files;
  plugin_files(dir, true, files);
  int zolta_modules = 0;
  for (const std::string& file : files) {
    VsCore core(2);
    std::string error;
    if (!core.load_plugin(file, error) || core.plugin().name_space != "zolta") continue;
    ++zolta_modules;
    SCOPED_TRACE(file);
    VSNode* src = core.source(vs_format_id(cfYUV, stInteger, 8, 1, 1), kWidth, kHeight, 1,
                              [&core](int, VSFrame* frame) {
                                fill_source([&](int p) {
                                  return PlaneRef{core.write_ptr(frame, p), core.stride(frame, p)};
                                });
                              });
    VSMap* args = core.create_map();
    core.set_node(args, "clip", src);
    core.set_data(args, "config_text", kTestConfig);
    VSMap* out = core.invoke("Denoise", args);
    const char* invoke_error = core.map_error(out);
    ASSERT_EQ(invoke_error, nullptr) << invoke_error;
    VSNode* node = core.map_node(out, "clip");
    core.free_map(out);
    core.free_map(args);
    const std::vector<VsFrameResult> got = core.get_frames(node, {0}, 1);
    const std::vector<VsFrameResult> in = core.get_frames(src, {0}, 1);
    ASSERT_NE(got[0].frame, nullptr) << got[0].error;
    const auto plane_of = [&core](const VSFrame* frame) {
      return [&core, frame](int p) {
        return PlaneRef{const_cast<uint8_t*>(core.read_ptr(frame, p)), core.stride(frame, p)};
      };
    };
    expect_engine_output(plane_of(in[0].frame), plane_of(got[0].frame));
    core.free_frame(got[0].frame);
    core.free_frame(in[0].frame);
    core.free_node(node);
    core.free_node(src);
    for (const std::string& what : core.violations()) ADD_FAILURE() << "protocol: " << what;
  }
  EXPECT_EQ(zolta_modules, 1) << "modules registering the namespace zolta in " << dir;
}

// Engine plane p of an AviSynth+ frame.
std::function<PlaneRef(int)> avs_planes(AvsPlusHost& host, AVS_VideoFrame* frame) {
  return [&host, frame](int p) {
    const int ids[3] = {AVS_PLANAR_Y, AVS_PLANAR_U, AVS_PLANAR_V};
    const AvsPlaneView v = host.plane(frame, ids[p]);
    return PlaneRef{v.data, v.pitch};
  };
}

void fill_avs_source(void* host, int, AVS_VideoFrame* frame) {
  fill_source(avs_planes(*static_cast<AvsPlusHost*>(host), frame));
}

TEST(PluginFolders, AviSynthPlusFindsTheModuleInItsAutoloadFolder) {
  const std::string dir = folder_from_environment("ZOLTA_AVISYNTH_PLUGIN_DIR");
  if (dir.empty()) GTEST_SKIP() << "ZOLTA_AVISYNTH_PLUGIN_DIR names no folder";
  std::vector<std::string> files;
  plugin_files(dir, false, files);
  int zolta_modules = 0;
  for (const std::string& file : files) {
    AvsPlusHost host(2);
    std::string text;
    if (!host.load_plugin(file, text) || host.function_params("ZoltaDenoise").empty()) continue;
    ++zolta_modules;
    SCOPED_TRACE(file);
    AVS_VideoInfo vi = {};
    vi.width = kWidth;
    vi.height = kHeight;
    vi.fps_numerator = 25;
    vi.fps_denominator = 1;
    vi.num_frames = 1;
    vi.pixel_type = static_cast<int>(0xA0000008u);  // YV12
    AVS_Clip* src = host.source(vi, fill_avs_source, &host);
    AVS_Value config;
    config.type = AVS_TYPE_STRING;
    config.array_size = 0;
    config.d.string = kTestConfig;
    std::string error;
    AVS_Clip* clip = host.invoke("ZoltaDenoise", src, {{"config_text", config}}, error);
    ASSERT_NE(clip, nullptr) << error;
    AVS_VideoFrame* out = host.get_frame(clip, 0, error);
    ASSERT_NE(out, nullptr) << error;
    AVS_VideoFrame* in = host.get_frame(src, 0, error);
    ASSERT_NE(in, nullptr) << error;
    expect_engine_output(avs_planes(host, in), avs_planes(host, out));
    host.release_frame(out);
    host.release_frame(in);
    host.release_clip(clip);
    host.release_clip(src);
    for (const std::string& what : host.violations()) ADD_FAILURE() << "interface: " << what;
  }
  EXPECT_EQ(zolta_modules, 1) << "modules registering ZoltaDenoise in " << dir;
}

}  // namespace
