// SPDX-License-Identifier: BSD-2-Clause
// Writes the reference digests of the frame cases, computed by the native
// library, for the Windows run to compare with:
//   zolta-digests [--library libzolta_legacy.so] [--photo astronaut.png]
//                 [--write-picture photo.rgb32] [--work DIR] [--output digests.txt]
// Without --output the digests go to standard output.
// The photograph is decoded here (the Windows side has no PNG reader) and,
// with --write-picture, written as raw 32-bit words for the Windows run.
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "frame_cases.h"
#include "library.h"

namespace {

bool read_photo(const std::string& path, std::vector<uint32_t>& words, std::string& error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    error = image.message;
    return false;
  }
  image.format = PNG_FORMAT_BGRA;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) {
    error = image.message;
    png_image_free(&image);
    return false;
  }
  if (image.width != 512 || image.height != 512) {
    error = "the photograph is not 512 x 512";
    return false;
  }
  words.resize(static_cast<size_t>(image.width) * image.height);
  for (size_t i = 0; i < words.size(); ++i) {
    words[i] = static_cast<uint32_t>(bytes[4 * i]) | static_cast<uint32_t>(bytes[4 * i + 1]) << 8 |
               static_cast<uint32_t>(bytes[4 * i + 2]) << 16;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string library_path = executable_directory() + library_file_name();
  std::string photo_path;
  std::string picture_out;
  std::string work_dir = ".";
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "zolta-digests: %s needs a value\n", arg.c_str());
      return 2;
    }
    const std::string value = argv[++i];
    if (arg == "--library") {
      library_path = value;
    } else if (arg == "--photo") {
      photo_path = value;
    } else if (arg == "--write-picture") {
      picture_out = value;
    } else if (arg == "--work") {
      work_dir = value;
    } else if (arg == "--output") {
      output = value;
    } else {
      std::fprintf(stderr, "zolta-digests: unknown argument %s\n", arg.c_str());
      return 2;
    }
  }

  // Digests of an earlier run must not stand in for this one's.
  if (!output.empty()) std::remove(output.c_str());
  std::string error;
  std::vector<uint32_t> photo;
  if (!photo_path.empty() && !read_photo(photo_path, photo, error)) {
    std::fprintf(stderr, "zolta-digests: %s: %s\n", photo_path.c_str(), error.c_str());
    return 1;
  }
  if (!picture_out.empty() && !write_words(picture_out, photo)) {
    std::fprintf(stderr, "zolta-digests: cannot write %s\n", picture_out.c_str());
    return 1;
  }
  LoadedLibrary library;
  if (!load_library(library_path, library, error)) {
    std::fprintf(stderr, "zolta-digests: %s\n", error.c_str());
    return 1;
  }
  const std::vector<TestPicture> pictures = test_pictures(photo.empty() ? nullptr : &photo);
  std::vector<FrameDigest> digests;
  const bool ok =
      run_frame_cases(library, pictures, frame_cases(pictures), work_dir, digests, error);
  unload_library(library);
  if (!ok) {
    std::fprintf(stderr, "zolta-digests: %s\n", error.c_str());
    return 1;
  }
  const std::string text = format_digests(digests);
  if (output.empty()) {
    std::fputs(text.c_str(), stdout);
    return 0;
  }
  std::FILE* f = std::fopen(output.c_str(), "wb");
  const bool written = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (!f || std::fclose(f) != 0 || !written) {
    std::fprintf(stderr, "zolta-digests: cannot write %s\n", output.c_str());
    std::remove(output.c_str());
    return 1;
  }
  std::printf("%zu frame digests written to %s\n", digests.size(), output.c_str());
  return 0;
}
