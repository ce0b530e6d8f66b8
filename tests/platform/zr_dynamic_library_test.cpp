// tests/platform/zr_dynamic_library_test.cpp: loading, symbol lookup and release, binding at load
// and per-handle symbol resolution, over modules built beside this test.
#include "platform/zr_dynamic_library.h"

#include <gtest/gtest.h>

#include <string>

namespace {

typedef int (*IntFunction)();

int Call(ZR_LibraryHandle library, const char* name) {
  void* address = ZR_GetProcAddress(library, name);
  return address == nullptr ? -1 : reinterpret_cast<IntFunction>(address)();
}

TEST(ZrDynamicLibrary, EachHandleResolvesItsOwnExports) {
  ZR_LibraryHandle one = ZR_LoadLibrary(ZR_TEST_MODULE_1);
  ZR_LibraryHandle two = ZR_LoadLibrary(ZR_TEST_MODULE_2);
  ASSERT_NE(nullptr, one);
  ASSERT_NE(nullptr, two);
  EXPECT_EQ(1, Call(one, "zr_module_value"));
  EXPECT_EQ(2, Call(two, "zr_module_value"));
  EXPECT_EQ(101, Call(one, "zr_module_identity"));
  EXPECT_EQ(102, Call(two, "zr_module_identity"));
  EXPECT_EQ(nullptr, ZR_GetProcAddress(one, "zr_module_missing"));
  EXPECT_EQ(nullptr, ZR_GetProcAddress(one, "ZR_MODULE_VALUE"));  // exact spelling only
  EXPECT_EQ(nullptr, ZR_GetProcAddress(one, nullptr));
  EXPECT_TRUE(ZR_FreeLibrary(one));
  EXPECT_TRUE(ZR_FreeLibrary(two));
}

TEST(ZrDynamicLibrary, LoadFailuresGiveNull) {
  // An unresolved symbol fails at load, not at the first call.
  EXPECT_EQ(nullptr, ZR_LoadLibrary(ZR_TEST_MODULE_UNRESOLVED));
  EXPECT_EQ(nullptr, ZR_LoadLibrary("/nonexistent/Alpha.so"));
  EXPECT_EQ(nullptr, ZR_LoadLibrary(""));
  EXPECT_EQ(nullptr, ZR_LoadLibrary(nullptr));
  EXPECT_EQ(nullptr, ZR_GetProcAddress(nullptr, "zr_module_value"));
  EXPECT_FALSE(ZR_FreeLibrary(nullptr));
  EXPECT_EQ(std::string("*.so"), ZR_PLUGIN_PATTERN);
}

}  // namespace
