// SPDX-License-Identifier: BSD-2-Clause
// zolta-run's output for every stream layout and depth, as the native x86-64
// build makes it, recorded as digests: every build (the ARM64 one under qemu
// too) must give exactly these bytes, with one thread and with several. The
// inputs come from integers alone, so they are the same everywhere as well.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "run_fixture.h"

namespace {

const char kThresholds[] =
    "--thresholds 300,120,60,280,100,50,200,80,40,180,70,30,220,90,40,200,80,30";

uint64_t fnv1a(const std::string& bytes) {
  uint64_t h = 0xcbf29ce484222325ULL;
  for (const char c : bytes) {
    h ^= static_cast<uint8_t>(c);
    h *= 0x100000001b3ULL;
  }
  return h;
}

std::string hex(uint64_t v) {
  char text[20];
  std::snprintf(text, sizeof text, "%016" PRIx64, v);
  return text;
}

// `count` samples of `bits` bits: a ramp with noise from the integer
// generator.
std::vector<int> samples(size_t count, int bits, uint64_t seed) {
  NoiseSource source = noise_source(seed);
  const int top = (1 << bits) - 1;
  std::vector<int> out;
  for (size_t i = 0; i < count; ++i) {
    const int ramp = static_cast<int>((i * 7) % 200 + 28) * top / 255;
    const int noise = (static_cast<int>(next_bits(source) % 61) - 30) * (top / 255);
    const int v = ramp + noise;
    out.push_back(v < 0 ? 0 : v > top ? top : v);
  }
  return out;
}

// Samples as bytes: one each up to 8 bits, else two, low byte first (or high
// byte first, as PPM stores them).
std::string bytes_of(const std::vector<int>& values, int bits, bool high_first = false) {
  std::string out;
  for (const int v : values) {
    if (bits > 8 && high_first) out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v & 255));
    if (bits > 8 && !high_first) out.push_back(static_cast<char>(v >> 8));
  }
  return out;
}

std::string y4m_clip(const std::string& tag, size_t samples_per_frame, int bits) {
  std::string clip = "YUV4MPEG2 W32 H16 F25:1 It A1:1 C" + tag + "\n";
  for (int f = 0; f < 3; ++f) {
    clip += "FRAME\n" + bytes_of(samples(samples_per_frame, bits, 100 + f), bits);
  }
  return clip;
}

Picture picture_of(int channels, int maxval, uint64_t seed) {
  Picture p;
  shape_picture(p, 32, 16, channels, maxval);
  const int bits = maxval > 255 ? 16 : 8;
  const std::vector<int> values = samples(32 * 16 * static_cast<size_t>(channels), bits, seed);
  for (size_t i = 0; i < values.size(); ++i) {
    if (bits == 8) {
      p.samples[i] = static_cast<uint8_t>(values[i]);
    } else {
      const uint16_t word = static_cast<uint16_t>(values[i]);
      std::memcpy(&p.samples[2 * i], &word, 2);
    }
  }
  return p;
}

}  // namespace

TEST_F(ZoltaRun, EveryLayoutGivesTheBytesRecordedOnX86) {
  std::map<std::string, std::string> inputs;
  const struct {
    const char* tag;
    size_t samples;  // of a 32 x 16 frame
    int bits;
  } layouts[] = {
      {"420jpeg", 768, 8},  {"420paldv", 768, 8}, {"420mpeg2", 768, 8},  {"420", 768, 8},
      {"422", 1024, 8},     {"444", 1536, 8},     {"444alpha", 2048, 8}, {"411", 768, 8},
      {"mono", 512, 8},     {"420p9", 768, 9},    {"420p10", 768, 10},   {"422p12", 1024, 12},
      {"444p14", 1536, 14}, {"444p16", 1536, 16}, {"mono16", 512, 16},
  };
  for (const auto& l : layouts)
    inputs[std::string(l.tag) + ".y4m"] = y4m_clip(l.tag, l.samples, l.bits);
  // PNG: RGB, RGBA of 16 bits, grey with alpha, grey of 16 bits, in one stream.
  inputs["stream.png"] =
      png_file_bytes(picture_of(3, 255, 1)) + png_file_bytes(picture_of(4, 65535, 2)) +
      png_file_bytes(picture_of(2, 255, 3)) + png_file_bytes(picture_of(1, 65535, 4));
  // PPM and PGM of 8, 10 and 16 bits, one after another.
  inputs["stream.ppm"] = "P6\n32 16\n255\n" + bytes_of(samples(1536, 8, 5), 8) +
                         "P5\n32 16\n1023\n" + bytes_of(samples(512, 10, 6), 10, true) +
                         "P6\n32 16\n65535\n" + bytes_of(samples(1536, 16, 7), 16, true);

  const std::map<std::string, std::string> recorded = {
      {"411.y4m", "25f2fa884c466732"},      {"411.y4m sigma", "5d327f4affde9d89"},
      {"420.y4m", "1d591fbe9f4911cd"},      {"420.y4m sigma", "5d03ebe4fd66cca1"},
      {"420jpeg.y4m", "8c8fbe08ce1d3357"},  {"420jpeg.y4m sigma", "18cbfe9a47e0d08b"},
      {"420mpeg2.y4m", "9fe1d535e4b7cf2e"}, {"420mpeg2.y4m sigma", "108ce36758d31afe"},
      {"420p10.y4m", "7c38d3a0812729ab"},   {"420p10.y4m sigma", "7a49995c6a719f24"},
      {"420p9.y4m", "0e940cc9189a3b4c"},    {"420p9.y4m sigma", "cac7deaa98d191be"},
      {"420paldv.y4m", "6b1ca58723f2f614"}, {"420paldv.y4m sigma", "7ce44f75ae558d24"},
      {"422.y4m", "6fcc1064a0750e86"},      {"422.y4m sigma", "4bf36d2528298463"},
      {"422p12.y4m", "54bb93474896af9d"},   {"422p12.y4m sigma", "afa9146cbe4e7a24"},
      {"444.y4m", "3d7644b91aeb0cda"},      {"444.y4m sigma", "e131b1999e0f8a19"},
      {"444alpha.y4m", "f2121477af121475"}, {"444alpha.y4m sigma", "f146eab8a80260f2"},
      {"444p14.y4m", "e697d986dcec7172"},   {"444p14.y4m sigma", "baea3939731e1a20"},
      {"444p16.y4m", "815389d48e476631"},   {"444p16.y4m sigma", "e68efdfad61c65ca"},
      {"mono.y4m", "b13f984f6df3e836"},     {"mono.y4m sigma", "aae5970a14f30f11"},
      {"mono16.y4m", "1a79d400eeaab561"},   {"mono16.y4m sigma", "6b12ec317d23d6e7"},
      {"stream.png", "475312cf7c1924bd"},   {"stream.png sigma", "26f3b263a3b79bb1"},
      {"stream.ppm", "e2f0d1a25e6754ff"},   {"stream.ppm sigma", "79e6f4d052889bbd"},
  };
  std::string got_all;
  for (const auto& input : inputs) {
    write_file(path(input.first), input.second);
    for (const std::string& settings : {std::string(kThresholds), std::string("--sigma 7")}) {
      std::string first;
      for (const char* threads : {"1", "3"}) {
        ASSERT_EQ(run("$Z --threads " + std::string(threads) + " " + settings + " " + input.first +
                      " out"),
                  0)
            << input.first << ": " << stderr_;
        std::string out = read_file(path("out"));
        if (input.first == "stream.png") {  // the samples, not how zlib packed them
          ByteReader reader;
          std::string error, decoded;
          ASSERT_TRUE(open_reader(reader, path("out"), error));
          Picture p;
          while (read_png_frame(reader, p, error) == ReadResult::Frame)
            decoded.append(p.samples.begin(), p.samples.end());
          close_reader(reader);
          out = decoded;
        }
        if (first.empty()) {
          first = out;
          EXPECT_FALSE(out == input.second) << input.first << ": nothing was denoised";
        } else {
          EXPECT_TRUE(out == first) << input.first << ", " << settings << ": threads differ";
        }
      }
      const std::string key = input.first + (settings[2] == 's' ? " sigma" : "");
      const std::string digest = hex(fnv1a(first));
      got_all += "      {\"" + key + "\", \"" + digest + "\"},\n";
      const auto want = recorded.find(key);
      EXPECT_TRUE(want != recorded.end() && want->second == digest)
          << key << ": " << digest << (want == recorded.end() ? " (none recorded)" : "");
    }
  }
  if (HasFailure()) std::printf("%s", got_all.c_str());
}
