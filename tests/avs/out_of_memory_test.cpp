// SPDX-License-Identifier: BSD-2-Clause
// Allocation failures inside ZOLTA's creation are reported, not ignored.
// This program replaces the nothrow allocation so that a chosen one fails.
#include <atomic>
#include <new>

#include "avs_face.h"
#include "avs_test_support.h"

namespace {
// Number of nothrow allocations still allowed to succeed; negative: all.
std::atomic<int> allowed{-1};
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (allowed.load() == 0) return nullptr;
  if (allowed.load() > 0) --allowed;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

TEST(CreateFilter, ReportsFailedAllocationsAndReleasesTheSource) {
  AvsEnvironment env;
  env.load_plugin(face_plugin_entry());
  TempFile file(vdub_settings("Config(0, 0, 0, 0, 0, 0, 0, 0, 0)"));
  auto log = std::make_shared<ClipLog>();
  PClip source = new MemoryClip(env, make_video_info(64, 32), log);
  const struct {
    int allowed;
    const char* message;
  } cases[] = {{0, "ZOLTA:Out of memory for the filter."},
               {1, "ZOLTA:Out of memory for the frame buffers."}};
  for (const auto& c : cases) {
    allowed = c.allowed;
    const std::string message = error_of([&] { env.call_with_clip("ZOLTA", source, file.path()); });
    allowed = -1;
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(source->RefCount(), 1);
  }
  allowed = -1;
  EXPECT_TRUE(state_of(env.call_with_clip("ZOLTA", source, file.path())));
  source = PClip();
  EXPECT_EQ(log->destroyed, 1);
}
