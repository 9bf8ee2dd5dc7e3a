// The library as an AviSynth plugin inside a Win32 process: the decorated
// entry, ZOLTA on YUY2 clips, and errors raised through ThrowError.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "check.h"
#include "guarded_calls.h"
#include "test_context.h"

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

CHECK_GROUP(avs_registration, 40, "AviSynth: the decorated entry registers ZOLTA") {
  Plugin plugin;
  REQUIRE(load_plugin(plugin));
  CHECK_EQ(plugin.description, std::string("`ZOLTA' plugin"));
  REQUIRE(plugin.env.functions().size() == 1u);
  const RegisteredFunction& f = plugin.env.functions()[0];
  CHECK_EQ(f.name, std::string("ZOLTA"));
  CHECK_EQ(f.params, std::string("c[path]s"));
  CHECK(f.apply != nullptr);
  CHECK(f.user_data == nullptr);
}

CHECK_GROUP(avs_frames, 41, "AviSynth: ZOLTA on a YUY2 clip with a settings file") {
  Plugin plugin;
  REQUIRE(load_plugin(plugin));
  const std::string path = output_file("zolta-settings.vcf");
  // Y plane levels 0 and 1 at 40 in both directions, the chroma untouched.
  REQUIRE(write_text(path, settings_text("10280, 10280, 0, 0, 0, 0, 0, 0, 0")));

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
  if (!made) check_note("ZOLTA raised: " + error);
  REQUIRE(made);
  REQUIRE(result.IsClip());
  PClip filter = result.AsClip();
  result = AVSValue();
  CHECK_EQ(filter->GetVersion(), 1);
  CHECK_EQ(source->RefCount(), 2);  // ours and the filter's

  const VideoInfo& out_vi = filter->GetVideoInfo();
  CHECK(std::memcmp(&out_vi, &vi, sizeof vi) == 0);
  CHECK_EQ(filter->GetParity(3), true);
  CHECK_EQ(filter->GetParity(4), false);

  int changed_frames = 0;
  for (int n : {0, 4, 2}) {
    PVideoFrame out = filter->GetFrame(n, &plugin.env);
    REQUIRE(out);
    CHECK_EQ(out->GetRowSize(), width * 2);
    CHECK_EQ(out->GetHeight(), height);
    CHECK(out->GetReadPtr() != source->last_frame()->GetReadPtr());
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
    CHECK(source_intact);
    changed_frames += differs ? 1 : 0;
  }
  CHECK_EQ(changed_frames, 3);
  CHECK(log->frames == std::vector<int>({0, 4, 2}));

  filter = PClip();
  CHECK_EQ(source->RefCount(), 1);
  CHECK_EQ(log->destroyed, 0);
  source_handle = PClip();
  CHECK_EQ(log->destroyed, 1);
  CHECK_EQ(plugin.env.error_count, 0);
}

CHECK_GROUP(avs_errors, 42, "AviSynth: errors through ThrowError, nothing held") {
  Plugin plugin;
  REQUIRE(load_plugin(plugin));
  const std::string good = output_file("zolta-settings-good.vcf");
  const std::string keyless = output_file("zolta-settings-keyless.vcf");
  const std::string missing = output_file("no-such-settings.vcf");
  REQUIRE(write_text(good, settings_text("4112, 4112, 4112, 0, 0, 0, 0, 0, 0")));
  REQUIRE(write_text(keyless,
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
    CHECK(!made);
    CHECK_EQ(error, c.expected);
    // The refused filter gave its reference to the source back.
    CHECK_EQ(source->RefCount(), 1);
    source = PClip();
    CHECK_EQ(log->destroyed, 1);
  }

  // No path at all: the open fails with a message of the same form.
  PClip source(new MemoryClip(plugin.env, make_video_info(64, 48)));
  AVSValue result;
  std::string error;
  CHECK(!call_zolta(plugin, source, nullptr, result, error));
  CHECK(error.rfind("ZOLTA:Can't open ", 0) == 0);
  CHECK_EQ(source->RefCount(), 1);
  CHECK_EQ(plugin.env.error_count, 6);

  // After all these errors the process still makes a working filter.
  CHECK(call_zolta(plugin, source, good.c_str(), result, error));
  CHECK(result.IsClip());
}
