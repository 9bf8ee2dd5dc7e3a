// SPDX-License-Identifier: BSD-2-Clause
#include "pe_image.h"

#include <cstdio>

namespace {

constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kDllFlag = 0x2000;
constexpr size_t kMaxNames = 65536;
constexpr size_t kMaxName = 4096;

struct Reader {
  const std::vector<uint8_t>& bytes;

  bool has(uint64_t offset, uint64_t size) const {
    return offset <= bytes.size() && size <= bytes.size() - offset;
  }
  uint32_t u16(uint64_t offset) const {
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8;
  }
  uint32_t u32(uint64_t offset) const { return u16(offset) | u16(offset + 2) << 16; }
};

struct Section {
  uint32_t address;
  uint32_t size;  // the larger of the mapped and the stored size
  uint32_t raw_offset;
  uint32_t raw_size;
};

// Maps an address of the loaded image to an offset in the file; false when
// no section stores size bytes at that address.
bool file_offset(const std::vector<Section>& sections, uint32_t rva, uint32_t size,
                 uint64_t& offset) {
  for (const Section& s : sections) {
    if (rva < s.address) continue;
    const uint64_t within = static_cast<uint64_t>(rva) - s.address;
    if (within + size > s.raw_size) continue;
    offset = static_cast<uint64_t>(s.raw_offset) + within;
    return true;
  }
  return false;
}

bool read_name(const Reader& r, const std::vector<Section>& sections, uint32_t rva,
               std::string& name) {
  uint64_t offset = 0;
  if (!file_offset(sections, rva, 1, offset)) return false;
  name.clear();
  while (r.has(offset, 1) && r.bytes[offset] != 0) {
    if (name.size() >= kMaxName) return false;
    name.push_back(static_cast<char>(r.bytes[offset]));
    ++offset;
  }
  return r.has(offset, 1);
}

}  // namespace

bool read_pe_image(const std::vector<uint8_t>& bytes, PeImage& image, std::string& error) {
  image = PeImage();
  const Reader r{bytes};
  if (!r.has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') {
    error = "not an executable file (no MZ header)";
    return false;
  }
  const uint64_t pe = r.u32(0x3c);
  if (!r.has(pe, 24) || r.u32(pe) != 0x00004550) {
    error = "no PE signature";
    return false;
  }
  const uint64_t file_header = pe + 4;
  image.machine = static_cast<uint16_t>(r.u16(file_header));
  const uint32_t section_count = r.u16(file_header + 2);
  const uint32_t optional_size = r.u16(file_header + 16);
  image.is_dll = (r.u16(file_header + 18) & kDllFlag) != 0;
  const uint64_t optional = file_header + 20;
  if (!r.has(optional, optional_size) || optional_size < 96 || r.u16(optional) != kPe32Magic) {
    error = "not a 32-bit (PE32) image";
    return false;
  }
  const uint32_t directory_count = r.u32(optional + 92);
  const uint64_t sections_at = optional + optional_size;
  if (!r.has(sections_at, static_cast<uint64_t>(section_count) * 40)) {
    error = "section table cut short";
    return false;
  }
  std::vector<Section> sections;
  for (uint32_t i = 0; i < section_count; ++i) {
    const uint64_t s = sections_at + 40ull * i;
    Section sec{r.u32(s + 12), r.u32(s + 8), r.u32(s + 20), r.u32(s + 16)};
    if (!r.has(sec.raw_offset, sec.raw_size)) {
      error = "section data lies outside the file";
      return false;
    }
    sections.push_back(sec);
  }
  auto directory = [&](uint32_t index, uint32_t& rva, uint32_t& size) {
    rva = size = 0;
    if (index >= directory_count || 96 + 8ull * (index + 1) > optional_size) return;
    rva = r.u32(optional + 96 + 8ull * index);
    size = r.u32(optional + 100 + 8ull * index);
  };

  uint32_t rva = 0;
  uint32_t size = 0;
  directory(0, rva, size);
  if (rva != 0) {
    uint64_t dir = 0;
    if (!file_offset(sections, rva, 40, dir)) {
      error = "export directory outside the sections";
      return false;
    }
    if (!read_name(r, sections, r.u32(dir + 12), image.export_module)) {
      error = "export module name unreadable";
      return false;
    }
    const uint32_t name_count = r.u32(dir + 24);
    uint64_t names = 0;
    if (name_count > kMaxNames || !file_offset(sections, r.u32(dir + 32), 4 * name_count, names)) {
      error = "export name table unreadable";
      return false;
    }
    for (uint32_t i = 0; i < name_count; ++i) {
      std::string name;
      if (!read_name(r, sections, r.u32(names + 4ull * i), name)) {
        error = "export name unreadable";
        return false;
      }
      image.exports.push_back(name);
    }
  }

  directory(1, rva, size);
  if (rva != 0) {
    for (uint32_t i = 0;; ++i) {
      uint64_t descriptor = 0;
      if (i >= kMaxNames || !file_offset(sections, rva + 20 * i, 20, descriptor)) {
        error = "import directory unreadable";
        return false;
      }
      // The list ends with an all-zero descriptor; its name field decides.
      const uint32_t name_rva = r.u32(descriptor + 12);
      if (name_rva == 0 && r.u32(descriptor + 16) == 0) break;
      std::string name;
      if (!read_name(r, sections, name_rva, name)) {
        error = "imported module name unreadable";
        return false;
      }
      image.imports.push_back(name);
    }
  }
  return true;
}

bool read_file_bytes(const std::string& path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}
