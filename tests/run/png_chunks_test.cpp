// SPDX-License-Identifier: BSD-2-Clause
// What a PNG says beyond its colour samples comes through zolta-run: which
// pixels are transparent (also when a colour key says so), how the samples
// are to be shown (gAMA, cHRM, sRGB, iCCP, sBIT, pHYs); an animation is
// refused rather than cut down to its first frame.
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "png_encoder.h"
#include "run_fixture.h"

namespace {

const char kStrong[] =
    "--thresholds 2000,1000,500,2000,1000,500,2000,1000,500,2000,1000,500,"
    "2000,1000,500,2000,1000,500";

// A picture with a transparent colour (tRNS): grey or RGB, 8 or 16 bits.
std::string keyed_png(const Picture& p, const uint16_t key[3]) {
  png_color_16 k{};
  k.gray = k.red = key[0];
  k.green = key[1];
  k.blue = key[2];
  std::vector<uint8_t> raw = p.samples;
  if (p.maxval > 255) {  // the samples are in this machine's order
    for (size_t i = 0; i + 1 < raw.size(); i += 2) std::swap(raw[i], raw[i + 1]);
  }
  return encode_png(p.width, p.height, p.channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                    p.maxval > 255 ? 16 : 8, raw, {}, &k);
}

// The opacity of every pixel, as libpng's own simplified reader sees it
// (colour key, palette transparency or alpha channel alike).
std::vector<bool> opaque_pixels(const std::string& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<bool> opaque;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return opaque;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return opaque;
  for (size_t i = 3; i < rgba.size(); i += 4) opaque.push_back(rgba[i] != 0);
  return opaque;
}

int differing(const std::vector<bool>& a, const std::vector<bool>& b) {
  if (a.size() != b.size()) return -1;
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(ZoltaRun, ColourKeyTransparencyIsKeptForEveryPixel) {
  // 32 x 32 pictures whose squares of 4 x 4 are the key exactly, the rest noisy:
  // strong thresholds move samples on and off the key near every edge.
  const struct {
    int channels, maxval;
    uint16_t key[3];
  } cases[] = {{3, 255, {10, 200, 30}},
               {1, 255, {90, 0, 0}},
               {3, 65535, {2570, 51400, 7710}},
               {1, 65535, {23130, 0, 0}}};
  for (const auto& c : cases) {
    Picture p;
    shape_picture(p, 32, 32, c.channels, c.maxval);
    const std::vector<uint8_t> noise = noisy_bytes(p.samples.size(), c.channels + c.maxval);
    const size_t sample = c.maxval > 255 ? 2 : 1;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        for (int ch = 0; ch < c.channels; ++ch) {
          const size_t at = ((static_cast<size_t>(y) * 32 + x) * c.channels + ch) * sample;
          const bool on_key = ((x / 4 + y / 4) & 1) != 0;
          const uint16_t v = on_key ? c.key[ch] : static_cast<uint16_t>(noise[at] * 257u);
          if (sample == 1) {
            p.samples[at] = static_cast<uint8_t>(on_key ? v : noise[at]);
          } else {
            std::memcpy(&p.samples[at], &v, 2);
          }
        }
    write_file(path("keyed.png"), keyed_png(p, c.key));
    const std::vector<bool> before = opaque_pixels(read_file(path("keyed.png")));
    ASSERT_EQ(before.size(), 1024u);
    ASSERT_EQ(run(std::string("$Z ") + kStrong + " keyed.png out.png"), 0) << stderr_;
    const std::string out = read_file(path("out.png"));
    EXPECT_EQ(differing(before, opaque_pixels(out)), 0)
        << c.channels << " channels, maxval " << c.maxval << ": pixels whose transparency changed";
    const Picture got = decode_png_file(path("out.png"));
    EXPECT_EQ(got.channels, c.channels + 1) << "the key is written as an alpha channel";
    EXPECT_EQ(got.maxval, c.maxval);
    EXPECT_FALSE(has(out, "tRNS"));
  }
}

TEST_F(ZoltaRun, PngColourChunksAreCopiedAndOversizedProfilesRefused) {
  const std::string plain = png_file_bytes(test_picture(16, 8, 1));
  // Linear light with wide-gamut primaries, an ICC profile, 6 significant
  // bits, 3780 pixels a metre; then the same picture tagged sRGB.
  const std::string gama = png_chunk("gAMA", be32(100000));
  std::string chrm_data;
  for (uint32_t v : {31270u, 32900u, 70800u, 29200u, 17000u, 79700u, 13100u, 4600u})
    chrm_data += be32(v);
  const std::string chrm = png_chunk("cHRM", chrm_data);
  const std::string iccp = png_chunk("iCCP", std::string("wide\0\0", 6) + std::string(3000, 'p'));
  const std::string sbit = png_chunk("sBIT", "\6\6\6");
  const std::string phys = png_chunk("pHYs", be32(3780) + be32(3780) + std::string(1, '\1'));
  const std::string srgb = png_chunk("sRGB", std::string(1, '\0'));
  const std::string text = png_chunk("tEXt", std::string("Comment\0dropped", 15));
  write_file(path("tagged.png"),
             with_chunks_after_header(plain, gama + chrm + iccp + sbit + phys + text) +
                 with_chunks_after_header(plain, srgb + phys));
  ASSERT_EQ(run(std::string("$Z ") + kStrong + " tagged.png out.png"), 0) << stderr_;
  const std::string out = read_file(path("out.png"));
  const size_t second = out.find("IEND") + 8;
  const std::string first_out = out.substr(0, second), second_out = out.substr(second);
  // Each chunk whole (length, type, data, CRC), in the order it came.
  size_t at = 0;
  for (const std::string& chunk : {gama, chrm, iccp, sbit, phys}) {
    const size_t found = first_out.find(chunk);
    EXPECT_NE(found, std::string::npos) << chunk.substr(4, 4);
    EXPECT_GE(found, at) << chunk.substr(4, 4);
    at = found;
  }
  EXPECT_LT(at, first_out.find("IDAT"));
  EXPECT_FALSE(has(first_out, "tEXt"));  // text may stay behind
  EXPECT_TRUE(has(second_out, srgb) && has(second_out, phys));
  EXPECT_FALSE(has(second_out, "gAMA") || has(second_out, "iCCP"));
  // The samples are those of the untagged picture.
  write_file(path("plain.png"), plain);
  ASSERT_EQ(run(std::string("$Z ") + kStrong + " plain.png plain-out.png"), 0) << stderr_;
  EXPECT_TRUE(decode_png_file(path("plain-out.png")).samples ==
              decode_png_file(path("out.png")).samples);

  // A colour key made into alpha adds an alpha channel to sBIT, all bits
  // significant.
  Picture grey;
  shape_picture(grey, 16, 8, 1, 255);
  grey.samples = noisy_bytes(grey.samples.size(), 9);
  const uint16_t key[3] = {128, 0, 0};
  write_file(path("keyed.png"),
             with_chunks_after_header(keyed_png(grey, key), png_chunk("sBIT", "\5")));
  ASSERT_EQ(run("$Z keyed.png keyed-out.png"), 0) << stderr_;
  EXPECT_TRUE(has(read_file(path("keyed-out.png")), png_chunk("sBIT", "\5\x08")));

  // A profile over 4 MiB is refused, not dropped.
  write_file(path("big-profile.png"),
             with_chunks_after_header(
                 plain, png_chunk("iCCP", std::string("big\0\0", 5) + std::string(5 << 20, 'p'))));
  EXPECT_EQ(run("$Z big-profile.png big-out.png"), 1);
  EXPECT_TRUE(has(stderr_, "colour profile (iCCP) is larger than 4 MiB")) << stderr_;
  EXPECT_FALSE(exists(path("big-out.png")));
}

TEST_F(ZoltaRun, AnimatedPngIsRefusedRatherThanCutToItsFirstFrame) {
  // Three frames: the first is the default picture (IDAT), two more follow
  // as fdAT chunks with the same image data.
  const std::string still = png_file_bytes(test_picture(16, 8, 1));
  const size_t idat = still.find("IDAT") - 4;
  const uint32_t idat_length = static_cast<uint32_t>(
      static_cast<uint8_t>(still[idat]) << 24 | static_cast<uint8_t>(still[idat + 1]) << 16 |
      static_cast<uint8_t>(still[idat + 2]) << 8 | static_cast<uint8_t>(still[idat + 3]));
  const std::string image_data = still.substr(idat + 8, idat_length);
  auto fctl = [](uint32_t sequence) {
    return png_chunk("fcTL", be32(sequence) + be32(16) + be32(8) + be32(0) + be32(0) +
                                 std::string("\0\1\0\12\0\0", 6));
  };
  const std::string animated = still.substr(0, idat) + png_chunk("acTL", be32(3) + be32(0)) +
                               fctl(0) + still.substr(idat, idat_length + 12) + fctl(1) +
                               png_chunk("fdAT", be32(2) + image_data) + fctl(3) +
                               png_chunk("fdAT", be32(4) + image_data) + png_chunk("IEND", "");
  // Before the animation chunks: a plain picture.
  write_file(path("still.png"), still);
  ASSERT_EQ(run("$Z still.png still-out.png"), 0) << stderr_;

  write_file(path("animated.png"), animated);
  EXPECT_EQ(run("$Z animated.png out.png"), 1);
  EXPECT_TRUE(has(stderr_, "animated PNG (3 frames)")) << stderr_;
  EXPECT_TRUE(has(stderr_, "(picture 1)")) << stderr_;
  EXPECT_EQ(std::count(stderr_.begin(), stderr_.end(), '\n'), 1) << stderr_;
  EXPECT_FALSE(exists(path("out.png")));
  EXPECT_FALSE(leftovers());

  // The same from ffmpeg's APNG writer, second in a stream of pictures.
  if (std::system("ffmpeg -version >/dev/null 2>&1") == 0) {
    ASSERT_EQ(run("ffmpeg -v error -f lavfi -i testsrc2=size=32x16:rate=10 -frames:v 3 "
                  "-plays 0 -f apng ffmpeg.apng"),
              0)
        << stderr_;
    write_file(path("stream.png"), still + read_file(path("ffmpeg.apng")));
    EXPECT_EQ(run("cat stream.png | $Z - - > piped.png"), 1);
    EXPECT_TRUE(has(stderr_, "animated PNG (3 frames)") && has(stderr_, "(picture 2)")) << stderr_;
  }
}
