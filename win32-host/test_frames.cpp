// The frames the Windows library makes, compared byte for byte (by digest)
// with what the native build made from the same pictures and settings.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "check.h"
#include "frame_cases.h"
#include "test_context.h"

namespace {

bool read_text(const std::string& path, std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buffer[4096];
  size_t n = 0;
  text.clear();
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return true;
}

}  // namespace

CHECK_GROUP(frames_identical, 50, "frames: bit-identical to the native build") {
  const TestContext& context = test_context();
  REQUIRE(context.library.handle);
  if (context.digests_path.empty()) check_note("no native digests were given (--digests)");
  REQUIRE(!context.digests_path.empty());

  std::string text;
  std::vector<FrameDigest> expected;
  REQUIRE(read_text(context.digests_path, text));
  REQUIRE(parse_digests(text, expected));

  std::vector<uint32_t> photo;
  if (!context.picture_path.empty()) CHECK(read_words(context.picture_path, photo));
  const std::vector<TestPicture> pictures = test_pictures(photo.empty() ? nullptr : &photo);
  std::vector<FrameDigest> actual;
  std::string error;
  const bool ran = run_frame_cases(context.library, pictures, frame_cases(pictures),
                                   context.output_dir, actual, error);
  if (!ran) check_note(error);
  REQUIRE(ran);

  std::map<std::string, std::string> native;
  for (const FrameDigest& d : expected) native[d.name] = d.digest;
  CHECK_EQ(actual.size(), expected.size());
  int equal = 0;
  for (const FrameDigest& d : actual) {
    const auto it = native.find(d.name);
    if (it == native.end()) {
      check_note("not run natively: " + d.name);
      CHECK(false);
    } else if (it->second != d.digest) {
      check_note("differs: " + d.name + " native " + it->second + ", here " + d.digest);
      CHECK(false);
    } else {
      ++equal;
    }
  }
  size_t photo_cases = 0;
  for (const FrameDigest& d : actual) photo_cases += d.name.find("/photo-") != std::string::npos;
  check_note(std::to_string(equal) + " of " + std::to_string(actual.size()) + " frames equal, " +
             std::to_string(photo_cases) + " of them of the photograph");
  CHECK(photo_cases > 0);
}
