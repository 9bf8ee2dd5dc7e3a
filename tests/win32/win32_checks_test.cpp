// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "pe_image.h"
#include "png_writer.h"

namespace {

struct Bytes {
  std::vector<uint8_t> v;
  explicit Bytes(size_t n) : v(n, 0) {}
  void u16(size_t at, uint32_t x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
  }
  void u32(size_t at, uint32_t x) {
    u16(at, x & 0xffff);
    u16(at + 2, x >> 16);
  }
  void text(size_t at, const char* s) { std::memcpy(&v[at], s, std::strlen(s) + 1); }
};

// A 32-bit DLL image with one section at address 0x1000, stored at file
// offset 0x200: an export directory naming two entries and imports from two
// modules.
constexpr size_t kPeSize = 0x400;
constexpr size_t kRaw = 0x200;
constexpr uint32_t kBase = 0x1000;
constexpr size_t kOptional = 0x40 + 24;
constexpr size_t kExportDirectory = kRaw;          // address 0x1000
constexpr size_t kNameTable = kRaw + 0x40;         // address 0x1040
constexpr size_t kImportDirectory = kRaw + 0x100;  // address 0x1100

std::vector<uint8_t> small_dll() {
  Bytes b(kPeSize);
  b.v[0] = 'M';
  b.v[1] = 'Z';
  b.u32(0x3c, 0x40);
  b.u32(0x40, 0x00004550);
  b.u16(0x44, 0x14c);       // machine
  b.u16(0x46, 1);           // sections
  b.u16(0x54, 224);         // optional header size
  b.u16(0x56, 0x2102);      // DLL
  b.u16(kOptional, 0x10b);  // PE32
  b.u32(kOptional + 92, 16);
  b.u32(kOptional + 96, 0x1000);  // exports
  b.u32(kOptional + 100, 0x100);
  b.u32(kOptional + 104, 0x1100);  // imports
  b.u32(kOptional + 108, 0x60);
  const size_t section = kOptional + 224;
  b.text(section, ".data");
  b.u32(section + 8, 0x200);   // mapped size
  b.u32(section + 12, kBase);  // address
  b.u32(section + 16, 0x200);  // stored size
  b.u32(section + 20, kRaw);   // file offset

  b.u32(kExportDirectory + 12, 0x1080);  // module name
  b.u32(kExportDirectory + 24, 2);
  b.u32(kExportDirectory + 32, 0x1040);
  b.u32(kNameTable, 0x1090);
  b.u32(kNameTable + 4, 0x10a0);
  b.text(kRaw + 0x80, "zolta.vdf");
  b.text(kRaw + 0x90, "Alpha");
  b.text(kRaw + 0xa0, "_Beta@4");

  b.u32(kImportDirectory + 12, 0x1180);
  b.u32(kImportDirectory + 16, 0x11c0);
  b.u32(kImportDirectory + 20 + 12, 0x1190);
  b.u32(kImportDirectory + 20 + 16, 0x11c8);
  b.text(kRaw + 0x180, "KERNEL32.dll");
  b.text(kRaw + 0x190, "msvcrt.dll");
  return b.v;
}

}  // namespace

TEST(PeImage, ReadsExportsAndImportsAndRefusesDamagedFiles) {
  const std::vector<uint8_t> good = small_dll();
  PeImage image;
  std::string error;
  ASSERT_TRUE(read_pe_image(good, image, error)) << error;
  EXPECT_EQ(image.machine, 0x14c);
  EXPECT_TRUE(image.is_dll);
  EXPECT_EQ(image.export_module, "zolta.vdf");
  EXPECT_EQ(image.exports, (std::vector<std::string>{"Alpha", "_Beta@4"}));
  EXPECT_EQ(image.imports, (std::vector<std::string>{"KERNEL32.dll", "msvcrt.dll"}));

  // Every shortened copy is refused (the section reaches the end of the file).
  for (size_t n = 0; n < good.size(); ++n) {
    const std::vector<uint8_t> cut(good.begin(), good.begin() + n);
    EXPECT_FALSE(read_pe_image(cut, image, error)) << "length " << n;
  }

  auto damaged = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> bad = good;
    Bytes b(0);
    b.v.swap(bad);
    b.u32(at, value);
    PeImage out;
    std::string why;
    const bool ok = read_pe_image(b.v, out, why);
    EXPECT_FALSE(why.empty() && !ok);
    return ok;
  };
  EXPECT_FALSE(damaged(0x3c, 0xfffffff0));                   // header offset past the end
  EXPECT_FALSE(damaged(kOptional, 0x20b));                   // 64-bit image
  EXPECT_FALSE(damaged(kExportDirectory + 24, 0x7fffffff));  // absurd name count
  EXPECT_FALSE(damaged(kNameTable + 4, 0x5000));             // name outside every section
  EXPECT_FALSE(damaged(kExportDirectory + 12, 0xffffffff));
  EXPECT_FALSE(damaged(kOptional + 104, 0x13f0));           // imports run off the section
  EXPECT_FALSE(damaged(kOptional + 224 + 20, 0x7ffffff0));  // section data outside the file
  // An unterminated name at the very end of the section.
  std::vector<uint8_t> open_name = good;
  std::memset(&open_name[kRaw + 0x1f0], 'x', 0x10);
  Bytes b(0);
  b.v.swap(open_name);
  b.u32(kNameTable + 4, 0x11f0);
  EXPECT_FALSE(read_pe_image(b.v, image, error));
}

TEST(PngWriter, WritesWhatLibpngReadsBack) {
  // More than one stored block: 200 x 120 RGB rows come to 72120 bytes.
  const uint32_t width = 200;
  const uint32_t height = 120;
  std::vector<uint8_t> rgb(width * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>((i * 7919) >> 3);
  const std::vector<uint8_t> png = encode_png_rgb(rgb, width, height);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size())) << image.message;
  EXPECT_EQ(image.width, width);
  EXPECT_EQ(image.height, height);
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> back(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr)) << image.message;
  EXPECT_EQ(back, rgb);
  // libpng checks the chunk checksums only as warnings; compare one by hand.
  EXPECT_EQ(std::vector<uint8_t>(png.end() - 4, png.end()),
            (std::vector<uint8_t>{0xae, 0x42, 0x60, 0x82}));  // IEND's CRC

  EXPECT_FALSE(write_png_rgb("/nonexistent-dir/x.png", rgb, width, height));
  EXPECT_FALSE(write_png_rgb("/tmp/never-written.png", rgb, width + 1, height));
}
