// SPDX-License-Identifier: BSD-2-Clause
// The frames the Windows library makes, compared byte for byte (by digest)
// with what the native build made from the same pictures and settings.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

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

TEST(Frames, BitIdenticalToTheNativeBuild) {
  const TestContext& context = test_context();
  ASSERT_TRUE(context.library.handle);
  ASSERT_FALSE(context.digests_path.empty()) << "no native digests were given (--digests)";

  std::string text;
  std::vector<FrameDigest> expected;
  ASSERT_TRUE(read_text(context.digests_path, text));
  ASSERT_TRUE(parse_digests(text, expected));

  std::vector<uint32_t> photo;
  if (!context.picture_path.empty()) {
    EXPECT_TRUE(read_words(context.picture_path, photo));
  }
  const std::vector<TestPicture> pictures = test_pictures(photo.empty() ? nullptr : &photo);
  std::vector<FrameDigest> actual;
  std::string error;
  const bool ran = run_frame_cases(context.library, pictures, frame_cases(pictures),
                                   context.output_dir, actual, error);
  ASSERT_TRUE(ran) << error;

  std::map<std::string, std::string> native;
  for (const FrameDigest& d : expected) native[d.name] = d.digest;
  EXPECT_EQ(actual.size(), expected.size());
  int equal = 0;
  for (const FrameDigest& d : actual) {
    const auto it = native.find(d.name);
    if (it == native.end()) {
      ADD_FAILURE() << "not run natively: " << d.name;
    } else if (it->second != d.digest) {
      ADD_FAILURE() << "differs: " << d.name << " native " << it->second << ", here " << d.digest;
    } else {
      ++equal;
    }
  }
  size_t photo_cases = 0;
  for (const FrameDigest& d : actual) photo_cases += d.name.find("/photo-") != std::string::npos;
  std::printf("%d of %d frames equal, %d of them of the photograph\n", equal,
              static_cast<int>(actual.size()), static_cast<int>(photo_cases));
  EXPECT_TRUE(photo_cases > 0);
}
