// SPDX-License-Identifier: BSD-2-Clause
// Reading and writing the stream formats zolta-run accepts, and refusing the
// ones it does not.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "byte_reader.h"
#include "engine_frames.h"
#include "picture.h"
#include "png_encoder.h"
#include "png_io.h"
#include "ppm_io.h"
#include "test_files.h"
#include "y4m_io.h"

namespace {

// A reader over an in-memory byte string.
struct MemoryReader {
  ByteReader reader;
  explicit MemoryReader(const std::string& bytes) : data_(bytes) {
    reader.file = fmemopen(&data_[0], data_.size(), "rb");
    reader.owned = true;
  }
  ~MemoryReader() { close_reader(reader); }
  std::string data_;
};

std::string ppm_bytes(int w, int h, uint8_t seed, const char* header = nullptr) {
  std::string s =
      header ? header : "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (int i = 0; i < w * h * 3; ++i) s.push_back(static_cast<char>(seed + i * 7));
  return s;
}

Picture decode_png(const std::string& bytes, std::string& error, bool& ok) {
  MemoryReader m(bytes);
  Picture p;
  ok = starts_png(m.reader) && read_png(m.reader, p, error);
  return p;
}

// Colour type and depth a PNG file declares in its header.
std::pair<int, int> png_layout(const std::string& bytes) {
  return {static_cast<uint8_t>(bytes[25]), static_cast<uint8_t>(bytes[24])};
}

std::vector<uint8_t> counting(size_t n, unsigned step) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * step + 3);
  return v;
}

std::vector<uint16_t> words_of(const Picture& p) {
  std::vector<uint16_t> w(p.samples.size() / 2);
  std::memcpy(w.data(), p.samples.data(), p.samples.size());
  return w;
}

}  // namespace

TEST(PpmStream, ReadsPpmAndPgmOfEveryDepthOneAfterAnotherAndRefusesBadOnes) {
  // P6 8-bit with comments, P5 10-bit (two bytes, most significant first),
  // P6 16-bit, then trailing white space.
  std::string two = ppm_bytes(4, 2, 1, "P6 # made by hand\n4 # width\n2\n255\n");
  std::string pgm10 = "P5\n3 1\n1023\n";
  pgm10 += std::string("\x03\xff\x00\x01\x02\x00", 6);
  std::string ppm16 = "P6\n1 1\n65535\n";
  ppm16 += std::string("\x12\x34\xab\xcd\xff\xff", 6);
  MemoryReader m(two + pgm10 + ppm16 + "\n \n");
  Picture p;
  std::string error;
  ASSERT_TRUE(starts_ppm(m.reader));
  ASSERT_EQ(read_ppm(m.reader, p, error), ReadResult::Frame) << error;
  EXPECT_EQ(p.width, 4);
  EXPECT_EQ(p.channels, 3);
  EXPECT_EQ(p.maxval, 255);
  EXPECT_EQ(p.samples[23], static_cast<uint8_t>(1 + 23 * 7));
  ASSERT_EQ(read_ppm(m.reader, p, error), ReadResult::Frame) << error;
  EXPECT_TRUE(p.pgm);
  EXPECT_EQ(p.channels, 1);
  EXPECT_EQ(p.maxval, 1023);
  EXPECT_EQ(words_of(p), (std::vector<uint16_t>{1023, 1, 512}));
  const std::string pgm_back = written([&](FILE* f) { return write_ppm(f, p); });
  EXPECT_EQ(pgm_back, pgm10);
  EXPECT_EQ(ppm_file_bytes(p), pgm10.size());
  ASSERT_EQ(read_ppm(m.reader, p, error), ReadResult::Frame) << error;
  EXPECT_EQ(words_of(p), (std::vector<uint16_t>{0x1234, 0xabcd, 0xffff}));
  EXPECT_EQ(written([&](FILE* f) { return write_ppm(f, p); }), ppm16);
  EXPECT_EQ(read_ppm(m.reader, p, error), ReadResult::End);

  const struct {
    std::string bytes;
    const char* message_part;
  } bad[] = {
      {ppm_bytes(4, 2, 0).substr(0, 20), "truncated"},
      {"P6\n1 1\n65535\n" + std::string(5, 'x'), "truncated"},
      {ppm_bytes(4, 2, 0) + "P4\n1 1\nx", "expected \"P6\" or \"P5\""},
      {"P6\n0 2\n255\n", "width and height"},
      {"P6\n99999 2\n255\n", "width and height"},
      {"P6\n16384 16384\n255\n", "too large"},
      {"P6\n4 2\n", "maximum value"},
      {"P6\n4 2\n65536\n", "maximum value"},
      {"P6\n4 2\n255x", "white space"},
  };
  for (const auto& b : bad) {
    MemoryReader r(b.bytes);
    std::string e;
    ReadResult result;
    while ((result = read_ppm(r.reader, p, e)) == ReadResult::Frame) {
    }
    EXPECT_EQ(result, ReadResult::Error) << b.message_part;
    EXPECT_NE(e.find(b.message_part), std::string::npos) << e;
  }

  // What we write reads back unchanged.
  Picture q;
  shape_picture(q, 3, 2, 3, 255);
  q.samples = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 255};
  MemoryReader back(written([&](FILE* f) { return write_ppm(f, q); }));
  ASSERT_EQ(read_ppm(back.reader, p, error), ReadResult::Frame);
  EXPECT_EQ(p.samples, q.samples);
}

TEST(PngPicture, EveryLayoutIsReadAsItIsAndWrittenBackTheSame) {
  std::string error;
  bool ok = false;
  // Each colour type at 8 and 16 bits: samples as stored (16-bit in the
  // machine's order), and written again in the same colour type and depth.
  const struct {
    int color_type, channels;
  } layouts[] = {{PNG_COLOR_TYPE_GRAY, 1},
                 {PNG_COLOR_TYPE_GRAY_ALPHA, 2},
                 {PNG_COLOR_TYPE_RGB, 3},
                 {PNG_COLOR_TYPE_RGB_ALPHA, 4}};
  for (const auto& l : layouts) {
    for (int depth : {8, 16}) {
      const int w = 3, h = 2;
      const std::vector<uint8_t> raw = counting(w * h * l.channels * depth / 8, 37);
      const std::string file = encode_png(w, h, l.color_type, depth, raw);
      Picture p = decode_png(file, error, ok);
      ASSERT_TRUE(ok) << error;
      EXPECT_EQ(p.channels, l.channels);
      EXPECT_EQ(p.maxval, depth == 16 ? 65535 : 255);
      if (depth == 8) {
        EXPECT_EQ(p.samples, raw);
      } else {
        const std::vector<uint16_t> words = words_of(p);
        EXPECT_EQ(words[0], raw[0] << 8 | raw[1]);  // stored most significant first
        EXPECT_EQ(words.back(), raw[raw.size() - 2] << 8 | raw.back());
      }
      const std::string again = written([&](FILE* f) { return write_png(f, p, error); });
      EXPECT_EQ(png_layout(again), std::make_pair(l.color_type, depth));
      const Picture q = decode_png(again, error, ok);
      ASSERT_TRUE(ok) << error;
      EXPECT_EQ(q.samples, p.samples) << l.color_type << " " << depth;
    }
  }
  // A palette becomes RGB, with its transparency RGBA; 2-bit grey becomes
  // 8-bit grey.
  Picture p = decode_png(encode_png(3, 1, PNG_COLOR_TYPE_PALETTE, 2, {0x24},
                                    {{0, 0, 0}, {50, 60, 70}, {200, 210, 220}}),
                         error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_TRUE(p.from_palette);
  EXPECT_EQ(p.samples, (std::vector<uint8_t>{0, 0, 0, 200, 210, 220, 50, 60, 70}));
  p = decode_png(encode_png(4, 1, PNG_COLOR_TYPE_GRAY, 2, {0x1b}), error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(p.channels, 1);
  EXPECT_EQ(p.samples, (std::vector<uint8_t>{0, 85, 170, 255}));

  // A transparent colour of an RGB picture becomes an alpha channel: the key
  // pixel transparent, the other opaque.
  png_color_16 key{};
  key.red = 1;
  key.green = 2;
  key.blue = 3;
  p = decode_png(encode_png(2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 1, 2, 4}, {}, &key), error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(p.channels, 4);
  EXPECT_EQ(p.samples, (std::vector<uint8_t>{1, 2, 3, 0, 1, 2, 4, 255}));
  const std::string keyed_again = written([&](FILE* f) { return write_png(f, p, error); });
  EXPECT_EQ(png_layout(keyed_again), std::make_pair(int{PNG_COLOR_TYPE_RGB_ALPHA}, 8));

  // Cut short anywhere, it is an error, not a picture.
  const std::string encoded = encode_png(5, 3, PNG_COLOR_TYPE_RGB, 8, counting(45, 37));
  for (size_t cut : {size_t{12}, encoded.size() / 2, encoded.size() - 13}) {
    decode_png(encoded.substr(0, cut), error, ok);
    EXPECT_FALSE(ok) << cut;
  }
  EXPECT_FALSE(error.empty());
}

TEST(PictureWords, Rgb32HasBlueInTheLowByteAndZeroOnTop) {
  Picture p;
  shape_picture(p, 2, 1, 3, 255);
  p.samples = {0x11, 0x22, 0x33, 0xff, 0x00, 0x80};
  uint32_t words[2];
  picture_to_rgb32(p, words);
  EXPECT_EQ(words[0], 0x00112233u);
  EXPECT_EQ(words[1], 0x00ff0080u);
  words[0] |= 0xab000000u;  // the fourth byte carries no colour
  Picture back;
  rgb32_to_picture(words, 2, 1, back);
  EXPECT_EQ(back.samples, p.samples);
}

TEST(EngineFrames, PicturesMeetTheEngineInPlaceWithAlphaUntouched) {
  std::string error;
  zolta_stream stream;
  zolta_frame frame;
  // 8-bit RGB and grey of any depth: in place.
  Picture rgb;
  shape_picture(rgb, 4, 2, 3, 255);
  ASSERT_TRUE(bind_picture(rgb, stream, frame, error)) << error;
  EXPECT_EQ(stream.family, ZOLTA_FAMILY_RGB24);
  EXPECT_EQ(frame.data[0], rgb.samples.data());
  EXPECT_EQ(frame.stride[0], 12);
  Picture grey;
  shape_picture(grey, 4, 2, 1, 1023);
  ASSERT_TRUE(bind_picture(grey, stream, frame, error)) << error;
  EXPECT_EQ(stream.family, ZOLTA_FAMILY_GRAY);
  EXPECT_EQ(stream.bits, 10);
  EXPECT_EQ(frame.stride[0], 8);

  // 16-bit RGBA: three planes interleaved in the picture; what the engine
  // writes there is the colours, and alpha is not among them.
  Picture rgba;
  shape_picture(rgba, 2, 1, 4, 65535);
  const uint16_t pixels[8] = {1, 2, 3, 40000, 5, 6, 7, 50000};
  std::memcpy(rgba.samples.data(), pixels, sizeof pixels);
  ASSERT_TRUE(bind_picture(rgba, stream, frame, error)) << error;
  EXPECT_EQ(stream.family, ZOLTA_FAMILY_RGB);
  EXPECT_EQ(stream.bits, 16);
  EXPECT_EQ(frame.step[1], 8);
  const uint16_t* g = static_cast<const uint16_t*>(frame.data[1]);
  EXPECT_EQ(g[0], 2);
  EXPECT_EQ(g[4], 6);
  for (int c = 0; c < 3; ++c)
    for (int x = 0; x < 2; ++x) static_cast<uint16_t*>(frame.data[c])[4 * x] = 100 * (c + 1) + x;
  EXPECT_EQ(words_of(rgba), (std::vector<uint16_t>{100, 200, 300, 40000, 101, 201, 301, 50000}));

  // Grey with alpha: one plane.
  Picture ga;
  shape_picture(ga, 2, 1, 2, 255);
  ga.samples = {10, 250, 20, 251};
  ASSERT_TRUE(bind_picture(ga, stream, frame, error)) << error;
  EXPECT_EQ(stream.family, ZOLTA_FAMILY_GRAY);
  EXPECT_EQ(frame.step[0], 2);
  static_cast<uint8_t*>(frame.data[0])[2] = 99;
  EXPECT_EQ(ga.samples, (std::vector<uint8_t>{10, 250, 99, 251}));

  // A maximum value with no depth of its own is refused by name.
  Picture odd;
  shape_picture(odd, 4, 2, 3, 1000);
  EXPECT_FALSE(bind_picture(odd, stream, frame, error));
  EXPECT_NE(error.find("maximum value 1000"), std::string::npos) << error;
}

TEST(Y4mStream, EveryChromaTagHasItsLayoutAndEveryFrameComesBackByteForByte) {
  const struct {
    const char* tag;
    int family, bits, planes;
    int chroma_w, chroma_h;  // of a 12 x 6 frame
  } tags[] = {
      {"420jpeg", ZOLTA_FAMILY_YUV420, 8, 3, 6, 3},   {"420paldv", ZOLTA_FAMILY_YUV420, 8, 3, 6, 3},
      {"420mpeg2", ZOLTA_FAMILY_YUV420, 8, 3, 6, 3},  {"420", ZOLTA_FAMILY_YUV420, 8, 3, 6, 3},
      {"422", ZOLTA_FAMILY_YUV422, 8, 3, 6, 6},       {"444", ZOLTA_FAMILY_YUV444, 8, 3, 12, 6},
      {"444alpha", ZOLTA_FAMILY_YUV444, 8, 4, 12, 6}, {"411", ZOLTA_FAMILY_YUV411, 8, 3, 3, 6},
      {"mono", ZOLTA_FAMILY_GRAY, 8, 1, 0, 0},        {"420p10", ZOLTA_FAMILY_YUV420, 10, 3, 6, 3},
      {"422p9", ZOLTA_FAMILY_YUV422, 9, 3, 6, 6},     {"444p12", ZOLTA_FAMILY_YUV444, 12, 3, 12, 6},
      {"420p14", ZOLTA_FAMILY_YUV420, 14, 3, 6, 3},   {"422p16", ZOLTA_FAMILY_YUV422, 16, 3, 6, 6},
      {"mono10", ZOLTA_FAMILY_GRAY, 10, 1, 0, 0},     {"mono16", ZOLTA_FAMILY_GRAY, 16, 1, 0, 0},
  };
  for (const auto& t : tags) {
    const std::string header =
        std::string("YUV4MPEG2 W12 H6 F30000:1001 It A10:11 C") + t.tag + " XYSCSS=ANY\n";
    const size_t sample = t.bits > 8 ? 2 : 1;
    const size_t bytes =
        (12 * 6 + 2 * t.chroma_w * t.chroma_h + (t.planes == 4 ? 12 * 6 : 0)) * sample;
    std::string stream = header;
    for (int f = 0; f < 2; ++f) {
      stream += f == 0 ? "FRAME\n" : "FRAME Ib XFOO=1\n";
      const std::vector<uint8_t> data = counting(bytes, 11 + f);
      stream.append(data.begin(), data.end());
    }
    MemoryReader m(stream + "\n");  // a newline after the last frame ends the stream too
    ASSERT_TRUE(starts_y4m(m.reader));
    Y4mHeader h;
    std::string error;
    ASSERT_TRUE(read_y4m_header(m.reader, h, error)) << t.tag << ": " << error;
    EXPECT_EQ(h.family, t.family) << t.tag;
    EXPECT_EQ(h.bits, t.bits) << t.tag;
    EXPECT_EQ(h.planes, t.planes) << t.tag;
    EXPECT_EQ(h.plane_width[1], t.chroma_w) << t.tag;
    EXPECT_EQ(h.plane_height[1], t.chroma_h) << t.tag;
    EXPECT_EQ(h.frame_bytes, bytes) << t.tag;
    std::vector<Y4mFrame> frames(2);
    for (Y4mFrame& frame : frames)
      ASSERT_EQ(read_y4m_frame(m.reader, h, frame, error), ReadResult::Frame) << error;
    Y4mFrame end;
    EXPECT_EQ(read_y4m_frame(m.reader, h, end, error), ReadResult::End) << t.tag;
    EXPECT_EQ(frames[1].fields, " Ib XFOO=1");
    const std::string out = written([&](FILE* f) {
      return write_y4m_header(f, h) && write_y4m_frame(f, h, frames[0]) &&
             write_y4m_frame(f, h, frames[1]);
    });
    EXPECT_TRUE(out == stream) << t.tag;
    EXPECT_EQ(y4m_header_bytes(h) + 2 * y4m_frame_file_bytes(h) + 10, stream.size());

    // The engine sees the planes where they are in the frame.
    zolta_stream engine_stream;
    zolta_frame planes;
    bind_y4m(h, frames[0], engine_stream, planes);
    EXPECT_EQ(engine_stream.family, t.family);
    EXPECT_EQ(engine_stream.bits, t.bits);
    EXPECT_EQ(planes.data[0], frames[0].data.data());
    EXPECT_EQ(planes.stride[0], static_cast<ptrdiff_t>(12 * sample));
    if (t.planes >= 3) {
      EXPECT_EQ(static_cast<uint8_t*>(planes.data[2]),
                frames[0].data.data() + (12 * 6 + t.chroma_w * t.chroma_h) * sample);
      EXPECT_EQ(planes.stride[2], static_cast<ptrdiff_t>(t.chroma_w * sample));
    } else {
      EXPECT_EQ(planes.data[1], nullptr);
    }
  }
}

TEST(Y4mStream, RefusesWhatItCannotRead) {
  Y4mHeader h;
  const struct {
    std::string header;
    const char* message_part;
  } refused[] = {
      {"YUV4MPEG2 W8 H2 F25:1 C420foo\n", "unsupported YUV4MPEG2 chroma \"C420foo\""},
      {"YUV4MPEG2 W8 H2 F25:1 C411p10\n", "chroma"},
      {"YUV4MPEG2 W8 H2 F25:1 C420p8\n", "chroma"},
      {"YUV4MPEG2 W8 H2 F25:1 C420p17\n", "chroma"},
      {"YUV4MPEG2 W8 H2 F25:1 C420jpegp10\n", "chroma"},
      {"YUV4MPEG2 W8 H2 F25:1 Cmono8\n", "chroma"},
      {"YUV4MPEG2 W8 F25:1 C422\n", "width or height missing"},
      {"YUV4MPEG2 Wx H2 F25:1 C422\n", "width"},
      {"YUV4MPEG2 W8 H2 F25:0 C422\n", "frame rate"},
      {"YUV4MPEG2 W16384 H16384 F25:1 C422\n", "too large"},
      {"YUV4MPEG W8 H2 C422\n", "malformed"},
  };
  for (const auto& r : refused) {
    MemoryReader bad(r.header);
    std::string e;
    EXPECT_FALSE(read_y4m_header(bad.reader, h, e)) << r.header;
    EXPECT_NE(e.find(r.message_part), std::string::npos) << e;
  }
  // No C field means 4:2:0.
  MemoryReader plain("YUV4MPEG2 W8 H2 F25:1\n");
  std::string error;
  ASSERT_TRUE(read_y4m_header(plain.reader, h, error)) << error;
  EXPECT_EQ(h.family, ZOLTA_FAMILY_YUV420);

  const std::string good = "YUV4MPEG2 W8 H2 F25:1 C422\n";
  for (const std::string& tail :
       {std::string("FRAME\n") + std::string(31, 'x'),
        std::string("FRAMES\n") + std::string(32, 'x'), std::string("FRAME") + std::string(32, 'x'),
        std::string("FRAME\n") + std::string(32, 'x') + "\n x"}) {
    MemoryReader bad(good + tail);
    std::string e;
    ASSERT_TRUE(read_y4m_header(bad.reader, h, e));
    Y4mFrame frame;
    ReadResult r;
    while ((r = read_y4m_frame(bad.reader, h, frame, e)) == ReadResult::Frame) {
    }
    EXPECT_EQ(r, ReadResult::Error) << tail;
  }
}

TEST(Y4mStream, PlanarAndYuy2RowsConvertBothWays) {
  // 4 x 2: Y 0..7, U 100..103, V 200..203.
  std::vector<uint8_t> planes;
  for (int i = 0; i < 8; ++i) planes.push_back(static_cast<uint8_t>(i));
  for (int i = 0; i < 4; ++i) planes.push_back(static_cast<uint8_t>(100 + i));
  for (int i = 0; i < 4; ++i) planes.push_back(static_cast<uint8_t>(200 + i));
  std::vector<uint8_t> yuy2(2 * 12, 0xee);  // pitch 12 > row size 8
  planar422_to_yuy2(planes.data(), 4, 2, yuy2.data(), 12);
  const std::vector<uint8_t> row0 = {0, 100, 1, 200, 2, 101, 3, 201};
  const std::vector<uint8_t> row1 = {4, 102, 5, 202, 6, 103, 7, 203};
  EXPECT_EQ(std::vector<uint8_t>(yuy2.begin(), yuy2.begin() + 8), row0);
  EXPECT_EQ(std::vector<uint8_t>(yuy2.begin() + 12, yuy2.begin() + 20), row1);
  EXPECT_EQ(yuy2[8], 0xee);  // padding untouched
  std::vector<uint8_t> back(16, 0);
  yuy2_to_planar422(yuy2.data(), 12, 4, 2, back.data());
  EXPECT_EQ(back, planes);
}
