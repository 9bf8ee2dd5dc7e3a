// SPDX-License-Identifier: BSD-2-Clause
// zolta.ofx's binary as a host first meets it, on every platform it is built
// for (natively and, cross-built, the Win64 bundle under wine): its two
// entries, the effect's record, and a load by a host that lacks the suites
// the effect needs, which fails with a status and a message and no crash.
// The record is read through the layout the interface's facts give (48
// bytes: pointers at 0, 16, 32, 40; the version int at 8; the two unsigned
// versions at 24 and 28), not through the effect's own declarations.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
const char kBinary[] = "ofx/zolta.ofx.bundle/Contents/Win64/zolta.ofx";
void* open_binary(const char* path) {
  return reinterpret_cast<void*>(LoadLibraryA(path));
}
void* symbol(void* binary, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(binary), name));
}
#else
const char kBinary[] = "ofx/zolta.ofx.bundle/Contents/Linux-x86-64/zolta.ofx";
void* open_binary(const char* path) {
  return dlopen(path, RTLD_LAZY | RTLD_LOCAL);
}
void* symbol(void* binary, const char* name) {
  return dlsym(binary, name);
}
#endif

}  // namespace

// The few types whose names the entries' signatures carry, so that calls go
// through pointers of the functions' own types.
extern "C" {
struct OfxPlugin;
struct OfxPropertySetStruct;
struct OfxHost {
  OfxPropertySetStruct* host;
  const void* (*fetch)(OfxPropertySetStruct* host, const char* name, int version);
};
typedef int (*MainEntry)(const char*, const void*, OfxPropertySetStruct*, OfxPropertySetStruct*);
typedef void (*SetHost)(OfxHost*);
}

namespace {

std::vector<std::string> g_messages;
const char* g_only_suite = nullptr;  // the one suite the host has, besides messages

extern "C" int message(void*, const char* type, const char*, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  g_messages.push_back(std::string(type) + ": " + text);
  return 0;
}

const void* const g_message_suite[1] = {reinterpret_cast<const void*>(&message)};
const void* const g_empty_suite[32] = {};

extern "C" const void* fetch(OfxPropertySetStruct*, const char* name, int) {
  if (std::strcmp(name, "OfxMessageSuite") == 0) return g_message_suite;
  if (g_only_suite && std::strcmp(name, g_only_suite) == 0) return g_empty_suite;
  return nullptr;
}

template <class T>
T field(const unsigned char* record, size_t offset) {
  T value;
  std::memcpy(&value, record + offset, sizeof value);
  return value;
}

class OfxEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = open_binary(kBinary);
    ASSERT_NE(binary_, nullptr) << kBinary;
    auto count = reinterpret_cast<int (*)()>(symbol(binary_, "OfxGetNumberOfPlugins"));
    auto get = reinterpret_cast<OfxPlugin* (*)(int)>(symbol(binary_, "OfxGetPlugin"));
    ASSERT_NE(count, nullptr);
    ASSERT_NE(get, nullptr);
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(get(1), nullptr);
    EXPECT_EQ(get(-1), nullptr);
    record_ = reinterpret_cast<const unsigned char*>(get(0));
    ASSERT_NE(record_, nullptr);
  }
  void* binary_ = nullptr;
  const unsigned char* record_ = nullptr;
};

}  // namespace

TEST_F(OfxEntry, TheRecordNamesTheImageEffectApiAndTheEffect) {
  EXPECT_STREQ(field<const char*>(record_, 0), "OfxImageEffectPluginAPI");
  EXPECT_EQ(field<int>(record_, 8), 1);
  EXPECT_STREQ(field<const char*>(record_, 16), "org.zolta.denoise");
  EXPECT_EQ(field<unsigned>(record_, 24), 1u);
  EXPECT_NE(field<void*>(record_, 32), nullptr);
  EXPECT_NE(field<void*>(record_, 40), nullptr);
}

TEST_F(OfxEntry, AHostWithoutTheSuitesGetsAStatusAndAMessage) {
  const SetHost set_host = field<SetHost>(record_, 32);
  const MainEntry entry = field<MainEntry>(record_, 40);
  OfxHost host = {nullptr, fetch};
  struct Case {
    const char* only;     // the one suite the host has
    const char* missing;  // named in the message
  };
  const Case cases[] = {{nullptr, "OfxPropertySuite"},
                        {"OfxPropertySuite", "OfxImageEffectSuite"},
                        {"OfxImageEffectSuite", "OfxPropertySuite"}};
  for (const Case& c : cases) {
    g_messages.clear();
    g_only_suite = c.only;
    set_host(&host);
    EXPECT_EQ(entry("OfxActionLoad", nullptr, nullptr, nullptr), 4);  // missing host feature
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_NE(g_messages[0].find("OfxMessageError: zolta: "), std::string::npos) << g_messages[0];
    EXPECT_NE(g_messages[0].find(c.missing), std::string::npos) << g_messages[0];
    // Every other action after the failed load: refused, no crash.
    int handle = 0;
    EXPECT_EQ(entry("OfxActionDescribe", &handle, nullptr, nullptr), 4);
    EXPECT_EQ(entry("OfxImageEffectActionRender", &handle, nullptr, nullptr), 4);
  }
  // A host without a fetch function, and no action at all.
  OfxHost broken = {nullptr, nullptr};
  set_host(&broken);
  EXPECT_EQ(entry("OfxActionLoad", nullptr, nullptr, nullptr), 4);
  EXPECT_NE(entry(nullptr, nullptr, nullptr, nullptr), 0);
}
