// SPDX-License-Identifier: BSD-2-Clause
// The library as an AviSynth plugin inside a Win32 process: the decorated
// entry, ZOLTA on YUY2 clips, and errors raised through ThrowError.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "guarded_calls.h"
#include "test_context.h"

using namespace standin_avs;

namespace {

std::string output_file(const std::string& name) {
  return test_context().output_dir + "/" + name;
}

bool write_text(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// A processing-settings file as VirtualDub saves it, with our filter second
// in the chain.
std::string settings_text(const std::string& values) {
  return "VirtualDub.video.filters.Clear();\n"
         "VirtualDub.video.filters.Add(\"resize\");\n"
         "VirtualDub.video.filters.instance[0].Config(320,240,0);\n"
         "VirtualDub.video.filters.Add(\"quilmer (0.1)\");\n"
         "VirtualDub.video.filters.instance[1].Config(" +
         values + ");\n";
}

std::vector<BYTE> noise_frame(int row_size, int height, uint32_t seed) {
  std::vector<BYTE> bytes(static_cast<size_t>(row_size) * height);
  uint32_t s = seed * 2654435761u + 1;
  for (size_t i = 0; i < bytes.size(); ++i) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    // A ramp with noise on it, so that denoising has something to remove.
    bytes[i] = static_cast<BYTE>(((i % static_cast<size_t>(row_size)) + (s & 31)) & 255);
  }
  return bytes;
}

struct Plugin {
  GuardedEnvironment env;
  const RegisteredFunction* zolta = nullptr;
  std::string description;
};

bool load_plugin(Plugin& plugin) {
  const LoadedLibrary& library = test_context().library;
  if (!library.avs_init) return false;
  plugin.description = plugin.env.load_plugin(reinterpret_cast<PluginInitFunc>(library.avs_init));
  plugin.zolta = plugin.env.find_function("ZOLTA");
  return plugin.zolta != nullptr;
}

// ZOLTA(clip, path) or ZOLTA(clip) when path is null.
bool call_zolta(Plugin& plugin, const PClip& clip, const char* path, AVSValue& result,
                std::string& error) {
  const AVSValue args[2] = {AVSValue(clip), path ? AVSValue(path) : AVSValue()};
  return guarded_apply(plugin.env, *plugin.zolta, args, 2, result, error);
}

}  // namespace

TEST(AviSynth, DecoratedEntryRegistersZolta) {
  Plugin plugin;
  ASSERT_TRUE(load_plugin(plugin));
  EXPECT_EQ(plugin.description, std::string("`ZOLTA' plugin"));
  ASSERT_TRUE(plugin.env.functions().size() == 1u);
  const RegisteredFunction& f = plugin.env.functions()[0];
  EXPECT_EQ(f.name, std::string("ZOLTA"));
  EXPECT_EQ(f.params, std::string("c[path]s"));
  EXPECT_TRUE(f.apply != nullptr);
  EXPECT_TRUE(f.user_data == nullptr);
}

TEST(AviSynth, ZoltaOnAYuy2ClipWithASettingsFile) {
  Plugin plugin;
  ASSERT_TRUE(load_plugin(plugin));
  const std::string path = output_file("zolta-settings.vcf");
  // Y plane levels 0 and 1 at 40 in both directions, the chroma untouched.
  ASSERT_TRUE(write_text(path, settings_text("10280, 10280, 0, 0, 0, 0, 0, 0, 0")));

  const int width = 64;
  const int height = 48;
  const VideoInfo vi = make_video_info(width, height, kPixelYUY2, 5);
  std::vector<std::vector<BYTE>> frames;
  for (int n = 0; n < 5; ++n) frames.push_back(noise_frame(width * 2, height, 7 + n));
  auto log = std::make_shared<ClipLog>();
  MemoryClip* source = new MemoryClip(plugin.env, vi, log, width * 2 + 64);
  source->set_frames(frames);
  source->keep_last_frame(true);
  PClip source_handle(source);

  AVSValue result;
  std::string error;
  const bool made = call_zolta(plugin, source_handle, path.c_str(), result, error);
  ASSERT_TRUE(made) << "ZOLTA raised: " << error;
  ASSERT_TRUE(result.IsClip());
  PClip filter = result.AsClip();
  result = AVSValue();
  EXPECT_EQ(filter->GetVersion(), 1);
  EXPECT_EQ(source->RefCount(), 2);  // ours and the filter's

  const VideoInfo& out_vi = filter->GetVideoInfo();
  EXPECT_TRUE(std::memcmp(&out_vi, &vi, sizeof vi) == 0);
  EXPECT_TRUE(filter->GetParity(3));
  EXPECT_FALSE(filter->GetParity(4));

  int changed_frames = 0;
  for (int n : {0, 4, 2}) {
    PVideoFrame out = filter->GetFrame(n, &plugin.env);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->GetRowSize(), width * 2);
    EXPECT_EQ(out->GetHeight(), height);
    EXPECT_TRUE(out->GetReadPtr() != source->last_frame()->GetReadPtr());
    // The source frame is read, never written.
    const PVideoFrame& in = source->last_frame();
    bool source_intact = true;
    bool differs = false;
    for (int y = 0; y < height; ++y) {
      const BYTE* src_row = in->GetReadPtr() + y * in->GetPitch();
      const BYTE* out_row = out->GetReadPtr() + y * out->GetPitch();
      const BYTE* original = &frames[n][static_cast<size_t>(y) * width * 2];
      source_intact = source_intact && std::memcmp(src_row, original, width * 2) == 0;
      differs = differs || std::memcmp(out_row, original, width * 2) != 0;
    }
    EXPECT_TRUE(source_intact);
    changed_frames += differs ? 1 : 0;
  }
  EXPECT_EQ(changed_frames, 3);
  EXPECT_TRUE(log->frames == std::vector<int>({0, 4, 2}));

  filter = PClip();
  EXPECT_EQ(source->RefCount(), 1);
  EXPECT_EQ(log->destroyed, 0);
  source_handle = PClip();
  EXPECT_EQ(log->destroyed, 1);
  EXPECT_EQ(plugin.env.error_count, 0);
}

TEST(AviSynth, ErrorsThroughThrowErrorHoldNothing) {
  Plugin plugin;
  ASSERT_TRUE(load_plugin(plugin));
  const std::string good = output_file("zolta-settings-good.vcf");
  const std::string keyless = output_file("zolta-settings-keyless.vcf");
  const std::string missing = output_file("no-such-settings.vcf");
  ASSERT_TRUE(write_text(good, settings_text("4112, 4112, 4112, 0, 0, 0, 0, 0, 0")));
  ASSERT_TRUE(write_text(keyless,
                         "VirtualDub.video.filters.Add(\"Quilmer (0.1)\");\n"
                         "VirtualDub.video.filters.instance[0].Config(1,2,3);\n"));
  std::remove(missing.c_str());

  struct Case {
    int width, height;
    unsigned char pixel_type;
    const std::string* path;
    std::string expected;
  };
  const Case cases[] = {
      {722, 576, kPixelBGR32, &missing, "ZOLTA:Illegal width size."},
      {720, 486, kPixelYUY2, &good, "ZOLTA:Illegal height size."},
      {720, 480, kPixelYUY2, &missing, "ZOLTA:Can't open " + missing + "."},
      {720, 480, kPixelBGR32, &keyless, "ZOLTA:Invalid vcf file."},
      {720, 480, kPixelBGR32, &good, "ZOLTA:YUY2 data only"},
  };
  for (const Case& c : cases) {
    auto log = std::make_shared<ClipLog>();
    PClip source(new MemoryClip(plugin.env, make_video_info(c.width, c.height, c.pixel_type), log));
    AVSValue result;
    std::string error;
    const bool made = call_zolta(plugin, source, c.path->c_str(), result, error);
    EXPECT_TRUE(!made);
    EXPECT_EQ(error, c.expected);
    // The refused filter gave its reference to the source back.
    EXPECT_EQ(source->RefCount(), 1);
    source = PClip();
    EXPECT_EQ(log->destroyed, 1);
  }

  // No path at all: the open fails with a message of the same form.
  PClip source(new MemoryClip(plugin.env, make_video_info(64, 48)));
  AVSValue result;
  std::string error;
  EXPECT_TRUE(!call_zolta(plugin, source, nullptr, result, error));
  EXPECT_TRUE(error.rfind("ZOLTA:Can't open ", 0) == 0);
  EXPECT_EQ(source->RefCount(), 1);
  EXPECT_EQ(plugin.env.error_count, 6);

  // After all these errors the process still makes a working filter.
  EXPECT_TRUE(call_zolta(plugin, source, good.c_str(), result, error));
  EXPECT_TRUE(result.IsClip());
}
