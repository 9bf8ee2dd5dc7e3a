// Reading and writing the stream formats zolta-run accepts, and refusing the
// ones it does not.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "picture.h"
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

// Encodes raw rows as a PNG of any colour type and depth with libpng itself.
std::string encode_png(int w, int h, int color_type, int depth, const std::vector<uint8_t>& raw,
                       const std::vector<png_color>& palette = {}) {
  return written([&](FILE* f) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, depth, color_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_write_info(png, info);
    const size_t row = raw.size() / h;
    for (int y = 0; y < h; ++y) png_write_row(png, raw.data() + y * row);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
  });
}

RgbPicture decode_png(const std::string& bytes, std::string& error, bool& ok) {
  MemoryReader m(bytes);
  RgbPicture p;
  ok = starts_png(m.reader) && read_png(m.reader, p, error);
  return p;
}

}  // namespace

TEST(PpmStream, ReadsConsecutivePicturesWithCommentsAndRefusesBadOnes) {
  std::string two =
      ppm_bytes(4, 2, 1, "P6 # made by hand\n4 # width\n2\n255\n") + ppm_bytes(2, 2, 9);
  MemoryReader m(two + "\n");
  RgbPicture p;
  std::string error;
  ASSERT_TRUE(starts_ppm(m.reader));
  ASSERT_EQ(read_ppm(m.reader, p, error), ReadResult::Frame) << error;
  EXPECT_EQ(p.width, 4);
  EXPECT_EQ(p.height, 2);
  EXPECT_EQ(p.rgb[0], 1);
  EXPECT_EQ(p.rgb[23], static_cast<uint8_t>(1 + 23 * 7));
  ASSERT_EQ(read_ppm(m.reader, p, error), ReadResult::Frame) << error;
  EXPECT_EQ(p.width, 2);
  EXPECT_EQ(p.rgb[0], 9);
  EXPECT_EQ(read_ppm(m.reader, p, error), ReadResult::End);

  const struct {
    std::string bytes;
    const char* message_part;
  } bad[] = {
      {ppm_bytes(4, 2, 0, "P6\n4 2\n65535\n"), "only 8-bit PPM"},
      {ppm_bytes(4, 2, 0).substr(0, 20), "truncated"},
      {ppm_bytes(4, 2, 0) + "P5\n1 1\n255\nx", "expected \"P6\""},
      {"P6\n0 2\n255\n", "width and height"},
      {"P6\n99999 2\n255\n", "width and height"},
      {"P6\n16384 16384\n255\n", "too large"},
      {"P6\n4 2\n", "maximum value"},
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
  RgbPicture q;
  q.width = 3;
  q.height = 2;
  q.rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 255};
  MemoryReader back(written([&](FILE* f) { return write_ppm(f, q); }));
  ASSERT_EQ(read_ppm(back.reader, p, error), ReadResult::Frame);
  EXPECT_EQ(p.rgb, q.rgb);
}

TEST(PngPicture, EveryColourTypeBecomesEightBitRgb) {
  std::string error;
  bool ok = false;
  // Grey 8-bit.
  RgbPicture p = decode_png(encode_png(2, 1, PNG_COLOR_TYPE_GRAY, 8, {10, 200}), error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(p.rgb, (std::vector<uint8_t>{10, 10, 10, 200, 200, 200}));
  // RGB with alpha: the alpha is dropped, not blended.
  p = decode_png(encode_png(1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 0}), error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(p.rgb, (std::vector<uint8_t>{1, 2, 3}));
  // 16-bit RGB keeps the high bytes.
  p = decode_png(encode_png(1, 1, PNG_COLOR_TYPE_RGB, 16, {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}),
                 error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(p.rgb, (std::vector<uint8_t>{0x12, 0x56, 0x9a}));
  // Palette, 2 bits a pixel.
  p = decode_png(encode_png(3, 1, PNG_COLOR_TYPE_PALETTE, 2, {0x24},
                            {{0, 0, 0}, {50, 60, 70}, {200, 210, 220}}),
                 error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(p.rgb, (std::vector<uint8_t>{0, 0, 0, 200, 210, 220, 50, 60, 70}));

  // Written and read back unchanged.
  RgbPicture q;
  q.width = 5;
  q.height = 3;
  for (int i = 0; i < 45; ++i) q.rgb.push_back(static_cast<uint8_t>(i * 37));
  const std::string encoded = written([&](FILE* f) { return write_png(f, q, error); });
  p = decode_png(encoded, error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(p.width, 5);
  EXPECT_EQ(p.height, 3);
  EXPECT_EQ(p.rgb, q.rgb);

  // Cut short anywhere, it is an error, not a picture.
  for (size_t cut : {size_t{12}, encoded.size() / 2, encoded.size() - 13}) {
    decode_png(encoded.substr(0, cut), error, ok);
    EXPECT_FALSE(ok) << cut;
  }
  EXPECT_FALSE(error.empty());
}

TEST(PictureWords, Rgb32HasBlueInTheLowByteAndZeroOnTop) {
  RgbPicture p;
  p.width = 2;
  p.height = 1;
  p.rgb = {0x11, 0x22, 0x33, 0xff, 0x00, 0x80};
  uint32_t words[2];
  picture_to_rgb32(p, words);
  EXPECT_EQ(words[0], 0x00112233u);
  EXPECT_EQ(words[1], 0x00ff0080u);
  words[0] |= 0xab000000u;  // the fourth byte carries no colour
  RgbPicture back;
  rgb32_to_picture(words, 2, 1, back);
  EXPECT_EQ(back.rgb, p.rgb);
}

TEST(Y4mStream, AcceptsOnlyEightBit422AndKeepsHeaderAndFrameFields) {
  const std::string header = "YUV4MPEG2 W8 H2 F30000:1001 Ip A1:1 C422 XYSCSS=422\n";
  std::string frames;
  for (int f = 0; f < 2; ++f) {
    frames += f == 0 ? "FRAME\n" : "FRAME Ixyz\n";
    for (int i = 0; i < 32; ++i) frames.push_back(static_cast<char>(f * 100 + i));
  }
  MemoryReader m(header + frames);
  ASSERT_TRUE(starts_y4m(m.reader));
  Y4mHeader h;
  std::string error;
  ASSERT_TRUE(read_y4m_header(m.reader, h, error)) << error;
  EXPECT_EQ(h.width, 8);
  EXPECT_EQ(h.height, 2);
  EXPECT_EQ(h.fps_numerator, 30000u);
  EXPECT_EQ(h.fps_denominator, 1001u);
  Y4mFrame frame;
  ASSERT_EQ(read_y4m_frame(m.reader, h, frame, error), ReadResult::Frame) << error;
  EXPECT_EQ(frame.fields, "");
  ASSERT_EQ(read_y4m_frame(m.reader, h, frame, error), ReadResult::Frame) << error;
  EXPECT_EQ(frame.fields, " Ixyz");
  EXPECT_EQ(frame.planes[31], 131);
  EXPECT_EQ(read_y4m_frame(m.reader, h, frame, error), ReadResult::End);

  EXPECT_EQ(written([&](FILE* f) { return write_y4m_header(f, h) && write_y4m_frame(f, frame); }),
            header + frames.substr(6 + 32));

  const struct {
    std::string header;
    const char* message_part;
  } refused[] = {
      {"YUV4MPEG2 W8 H2 F25:1 C420jpeg\n", "only C422"},
      {"YUV4MPEG2 W8 H2 F25:1 C422p10\n", "only C422"},
      {"YUV4MPEG2 W8 H2 F25:1\n", "only C422"},  // no C field means 4:2:0
      {"YUV4MPEG2 W8 F25:1 C422\n", "width or height missing"},
      {"YUV4MPEG2 W7 H2 F25:1 C422\n", "even"},
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

  const std::string good = "YUV4MPEG2 W8 H2 F25:1 C422\n";
  for (const std::string& tail : {std::string("FRAME\n") + std::string(31, 'x'),
                                  std::string("FRAMES\n") + std::string(32, 'x'),
                                  std::string("FRAME") + std::string(32, 'x')}) {
    MemoryReader bad(good + tail);
    std::string e;
    ASSERT_TRUE(read_y4m_header(bad.reader, h, e));
    EXPECT_EQ(read_y4m_frame(bad.reader, h, frame, e), ReadResult::Error) << tail;
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
