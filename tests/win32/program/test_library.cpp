// SPDX-License-Identifier: BSD-2-Clause
// The built file itself: what it exports, what it imports, and what the
// platform loader finds in it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "pe_image.h"
#include "test_context.h"

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

// The exported names of a module-definition file: the first word of each
// line after EXPORTS, up to an "=" that names the symbol behind it.
bool read_export_list(const std::string& path, std::vector<std::string>& names) {
  std::vector<uint8_t> bytes;
  if (!read_file_bytes(path, bytes)) return false;
  std::istringstream lines(std::string(bytes.begin(), bytes.end()));
  std::string line;
  bool in_exports = false;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) continue;
    if (word == "EXPORTS") {
      in_exports = true;
    } else if (in_exports) {
      names.push_back(word.substr(0, word.find('=')));
    }
  }
  return true;
}

}  // namespace

TEST(LibraryFile, ExportAndImportTables) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(read_file_bytes(test_context().library_path, bytes));
  PeImage image;
  std::string error;
  const bool readable = read_pe_image(bytes, image, error);
  ASSERT_TRUE(readable) << "unreadable: " << error;

  EXPECT_EQ(image.machine, 0x14c);
  EXPECT_TRUE(image.is_dll);
  std::printf("exports: %s\nimports: %s\n", joined(image.exports).c_str(),
              joined(image.imports).c_str());

  // Exactly the three entries, with the AviSynth entry's stdcall decoration
  // kept in the exported name. The table is sorted by name.
  const std::vector<std::string> expected = {
      "VirtualdubFilterModuleDeinit", "VirtualdubFilterModuleInit2", "_AvisynthPluginInit@4"};
  EXPECT_EQ(joined(image.exports), joined(expected));
  EXPECT_EQ(image.export_module, std::string("zolta.vdf"));
  // And they are the names the export list of the build gives.
  if (!test_context().def_path.empty()) {
    std::vector<std::string> listed;
    const bool read = read_export_list(test_context().def_path, listed);
    EXPECT_TRUE(read);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(joined(listed), joined(image.exports));
  }

  // Only system libraries: no GNU runtime DLL may be needed at load time.
  const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "comctl32.dll",
                                         "msvcrt.dll"};
  std::set<std::string> imported;
  for (const std::string& name : image.imports) imported.insert(lower(name));
  for (const std::string& name : imported) {
    EXPECT_EQ(allowed.count(name), 1u) << "not a system library: " << name;
  }
  EXPECT_TRUE(imported.count("kernel32.dll") == 1);
  EXPECT_TRUE(imported.count("user32.dll") == 1);  // the dialog
}

TEST(LibraryFile, AsTheWindowsLoaderSeesIt) {
  const TestContext& context = test_context();
  ASSERT_TRUE(context.library.handle) << "load failed: " << context.load_error;
  HMODULE module = static_cast<HMODULE>(context.library.handle);

  // Each entry lies inside the loaded image: an export that names an
  // absolute address instead would be found, and crash when called.
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
      reinterpret_cast<const uint8_t*>(module) + dos->e_lfanew);
  const uintptr_t begin = reinterpret_cast<uintptr_t>(module);
  const uintptr_t end = begin + nt->OptionalHeader.SizeOfImage;
  for (const char* name :
       {"VirtualdubFilterModuleInit2", "VirtualdubFilterModuleDeinit", "_AvisynthPluginInit@4"}) {
    const uintptr_t entry = reinterpret_cast<uintptr_t>(GetProcAddress(module, name));
    const bool inside = entry >= begin && entry < end;
    EXPECT_TRUE(inside) << name << " is not inside the image";
  }
  // The undecorated spellings are not exported as well.
  EXPECT_TRUE(GetProcAddress(module, "AvisynthPluginInit") == nullptr);
  EXPECT_TRUE(GetProcAddress(module, "AvisynthPluginInit@4") == nullptr);
  // (Its dialog template, resource 101: Dialog.Template101MatchesItsLayout.)
}
