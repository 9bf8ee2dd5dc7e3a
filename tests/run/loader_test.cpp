// SPDX-License-Identifier: BSD-2-Clause
// Loading the built library and finding its entries, as the hosts do.
#include <gtest/gtest.h>

#include <string>

#include "library.h"

TEST(LibraryLoader, FindsAllThreeEntriesOrLoadsNothing) {
  LoadedLibrary library;
  std::string error;
  ASSERT_TRUE(load_library(ZOLTA_LIBRARY, library, error)) << error;
  EXPECT_NE(library.handle, nullptr);
  EXPECT_NE(library.vdub_init, nullptr);
  EXPECT_NE(library.vdub_deinit, nullptr);
  EXPECT_NE(library.avs_init, nullptr);
  unload_library(library);
  EXPECT_EQ(library.handle, nullptr);
  EXPECT_EQ(library.avs_init, nullptr);
  unload_library(library);  // twice is harmless

  EXPECT_FALSE(load_library("/nonexistent/libzolta.so", library, error));
  EXPECT_NE(error.find("/nonexistent/libzolta.so"), std::string::npos) << error;
  EXPECT_EQ(library.handle, nullptr);

  // A library that is not ours: loaded, found wanting, and let go.
  EXPECT_FALSE(load_library("libm.so.6", library, error));
  EXPECT_NE(error.find("does not export VirtualdubFilterModuleInit2"), std::string::npos) << error;
  EXPECT_EQ(library.handle, nullptr);

  EXPECT_STREQ(avs_entry_name(), "AvisynthPluginInit");
  const std::string dir = executable_directory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
}
