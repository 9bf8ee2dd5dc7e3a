// SPDX-License-Identifier: BSD-2-Clause
#include <cstring>
#include <random>
#include <vector>

#include "avs_face.h"
#include "avs_test_support.h"
#include "test_support.h"

namespace {

std::vector<BYTE> noisy_frame(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<BYTE> bytes(static_cast<size_t>(width) * 2 * height);
  for (auto& b : bytes) b = static_cast<BYTE>(rng() & 255);
  return bytes;
}

std::vector<BYTE> rows_of(const PVideoFrame& f) {
  std::vector<BYTE> out;
  for (int y = 0; y < f->GetHeight(); ++y) {
    const BYTE* row = f->GetReadPtr() + static_cast<ptrdiff_t>(y) * f->GetPitch();
    out.insert(out.end(), row, row + f->GetRowSize());
  }
  return out;
}

// ZOLTA over a YUY2 memory clip with the given Config call.
struct FilterOverSource {
  AvsEnvironment env;
  std::shared_ptr<ClipLog> log = std::make_shared<ClipLog>();
  MemoryClip* source = nullptr;
  AVSValue filter;
  FilterOverSource(int width, int height, int pitch, const std::string& config, int frames = 3) {
    env.load_plugin(face_plugin_entry());
    VideoInfo vi = make_video_info(width, height, kPixelYUY2, frames);
    vi.audio_samples_per_second = 44100;
    vi.num_audio_samples = 1000;
    vi.stereo = true;
    vi.sixteen_bit = true;
    source = new MemoryClip(env, vi, log, pitch);
    std::vector<std::vector<BYTE>> data;
    for (int i = 0; i < frames; ++i) data.push_back(noisy_frame(width, height, 100 + i));
    source->set_frames(data);
    PClip clip(source);
    TempFile file(vdub_settings(config));
    filter = env.call_with_clip("ZOLTA", clip, file.path());
  }
  IClip* clip() const { return filter.AsClip().get(); }
};

const char kZeros[] = "Config(0, 0, 0, 0, 0, 0, 0, 0, 0)";
const char kStrong[] = "Config(20560, 20560, 20560, 12336, 12336, 12336, 12336, 12336, 12336)";

// A source whose frames are not what its video info promises, or that fails.
class OddClip : public IClip {
 public:
  enum Kind { Short, OddPitch, Fails };
  OddClip(AvsEnvironment& env, Kind kind) : env_(env), kind_(kind), vi_(make_video_info(16, 8)) {}
  PVideoFrame STANDIN_AVS_STDCALL GetFrame(int, IScriptEnvironment*) override {
    if (kind_ == Fails) env_.ThrowError("source broke at %d", 7);
    if (kind_ == Short) return env_.new_frame(32, 4, 32);
    return env_.new_frame(32, 8, 34);
  }
  bool STANDIN_AVS_STDCALL GetParity(int) override { return false; }
  void STANDIN_AVS_STDCALL GetAudio(void*, int, int, IScriptEnvironment*) override {}
  const VideoInfo& STANDIN_AVS_STDCALL GetVideoInfo() override { return vi_; }

 private:
  AvsEnvironment& env_;
  Kind kind_;
  VideoInfo vi_;
};

}  // namespace

TEST(DenoiseFilter, PassesVideoInfoParityAndAudioThroughUnchanged) {
  FilterOverSource s(16, 8, 0, kZeros);
  ASSERT_NE(s.clip(), nullptr);
  EXPECT_EQ(std::memcmp(&s.clip()->GetVideoInfo(), &s.source->GetVideoInfo(), sizeof(VideoInfo)),
            0);
  EXPECT_TRUE(s.clip()->GetParity(3));
  EXPECT_FALSE(s.clip()->GetParity(4));
  EXPECT_EQ(s.log->parity, (std::vector<int>{3, 4}));

  std::vector<BYTE> through(64, 0), direct(64, 0);
  s.clip()->GetAudio(through.data(), 5, 16, &s.env);
  ASSERT_EQ(s.log->audio.size(), 1u);
  EXPECT_EQ(s.log->audio[0].buf, through.data());
  EXPECT_EQ(s.log->audio[0].start, 5);
  EXPECT_EQ(s.log->audio[0].count, 16);
  EXPECT_EQ(s.log->audio[0].env, &s.env);
  s.source->GetAudio(direct.data(), 5, 16, &s.env);
  EXPECT_EQ(through, direct);
}

TEST(DenoiseFilter, WithoutThresholdsGivesTheSourceBackInANewFrame) {
  for (int pitch : {0, 32 + 16, 32 + 4}) {  // rows back to back, and wider source pitches
    FilterOverSource s(16, 8, pitch, kZeros);
    s.source->keep_last_frame(true);
    // Whatever the never-persisted fields hold, the output is the full picture.
    zolta::FilterState* state = state_of(s.filter);
    ASSERT_NE(state, nullptr);
    state->enabled = 0;
    state->show_plane = 1;
    state->plane = 2;
    for (int n : {1, -5, 1000}) {
      PVideoFrame out = s.clip()->GetFrame(n, &s.env);
      const PVideoFrame& src = s.source->last_frame();
      ASSERT_TRUE(out);
      EXPECT_NE(out.get(), src.get());
      EXPECT_EQ(out->GetPitch(), 32);
      EXPECT_EQ(rows_of(out), rows_of(src)) << "pitch " << pitch << " frame " << n;
      EXPECT_EQ(rows_of(src), noisy_frame(16, 8, 100 + (n == 1 ? 1 : n < 0 ? 0 : 2)));
    }
    EXPECT_EQ(s.log->frames, (std::vector<int>{1, -5, 1000}));
    EXPECT_EQ(s.env.live_frames(), 1);  // only the source's kept frame
  }
}

TEST(DenoiseFilter, DeliversWhatTheEnginePipelineMakesOfTheSource) {
  for (int pitch : {0, 64 + 32}) {
    FilterOverSource s(32, 16, pitch, kStrong);
    PVideoFrame out = s.clip()->GetFrame(0, &s.env);

    // The same frame through the engine directly, with kStrong's thresholds.
    std::vector<BYTE> src = noisy_frame(32, 16, 100), expected(src.size());
    Instance engine(32, 16, true);
    for (int i = 0; i < 6; ++i) {
      engine.state.thresholds[0][i] = 80;  // 20560 = 80 * 256 + 80
      engine.state.thresholds[1][i] = engine.state.thresholds[2][i] = 48;
    }
    std::vector<uint32_t> words(src.size() / 4);
    std::memcpy(words.data(), src.data(), src.size());
    engine.run(words.data(), 16, expected.data());

    EXPECT_EQ(rows_of(out), expected);
    EXPECT_NE(rows_of(out), src);  // the thresholds did something
  }
}

TEST(DenoiseFilter, RefusesUnusableFramesAndPassesSourceErrorsThrough) {
  AvsEnvironment env;
  env.load_plugin(face_plugin_entry());
  TempFile file(vdub_settings(kZeros));
  const struct {
    OddClip::Kind kind;
    const char* message;
  } cases[] = {{OddClip::Short, "ZOLTA:Source frame does not match the clip."},
               {OddClip::OddPitch, "ZOLTA:Source frame does not match the clip."},
               {OddClip::Fails, "source broke at 7"}};
  for (const auto& c : cases) {
    AVSValue filter = env.call_with_clip("ZOLTA", PClip(new OddClip(env, c.kind)), file.path());
    EXPECT_EQ(error_of([&] { filter.AsClip()->GetFrame(0, &env); }), c.message);
    EXPECT_EQ(env.live_frames(), 0) << c.message;  // no frame handle left behind
  }
}
