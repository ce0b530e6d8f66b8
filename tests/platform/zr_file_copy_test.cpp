// tests/platform/zr_file_copy_test.cpp: copying with overwrite, and every failure leaving the
// files as they were.
#include "platform/zr_file_copy.h"

#include "tests/support/zr_temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class ZrFileCopy : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "sub"); }
  std::string P(const std::string& name) const { return dir_ / name; }
  static std::string Read(const std::string& path) { return ZR_TempFolder::Read(path); }
  ZR_TempFolder dir_;
};

TEST_F(ZrFileCopy, CopiesAndReplacesAnExistingTarget) {
  dir_.Write("a.jpg", std::string("new\0bytes", 9));
  dir_.Write("b.jpg", "old and longer content");
  EXPECT_TRUE(ZR_CopyFile(P("a.jpg").c_str(), P("b.jpg").c_str()));
  EXPECT_EQ(std::string("new\0bytes", 9), Read(P("b.jpg")));
  EXPECT_TRUE(ZR_CopyFile(P("a.jpg").c_str(), P("c.jpg").c_str()));
  EXPECT_EQ(std::string("new\0bytes", 9), Read(P("c.jpg")));
  // Backslashes are separators, as on Windows.
  std::string windows = dir_.Path() + "\\sub\\d.jpg";
  EXPECT_TRUE(ZR_CopyFile(P("a.jpg").c_str(), windows.c_str()));
  EXPECT_EQ(std::string("new\0bytes", 9), Read(P("sub/d.jpg")));
}

TEST_F(ZrFileCopy, FailuresChangeNothingAndNeverThrow) {
  dir_.Write("a.jpg", "source");
  dir_.Write("b.jpg", "target");
  EXPECT_FALSE(ZR_CopyFile(P("missing.jpg").c_str(), P("b.jpg").c_str()));
  EXPECT_EQ("target", Read(P("b.jpg")));
  EXPECT_FALSE(ZR_CopyFile(P("sub").c_str(), P("e.jpg").c_str()));       // source is a folder
  EXPECT_FALSE(ZR_CopyFile(P("a.jpg").c_str(), P("sub").c_str()));       // target is a folder
  EXPECT_FALSE(ZR_CopyFile(P("a.jpg").c_str(), P("no/x.jpg").c_str()));  // no such folder
  EXPECT_FALSE(ZR_CopyFile(P("a.jpg").c_str(), P("a.jpg").c_str()));     // onto itself
  EXPECT_FALSE(ZR_CopyFile(P("a.jpg").c_str(), P("sub/../a.jpg").c_str()));
  EXPECT_EQ("source", Read(P("a.jpg")));
  EXPECT_FALSE(ZR_CopyFile(nullptr, P("b.jpg").c_str()));
  EXPECT_FALSE(ZR_CopyFile(P("a.jpg").c_str(), nullptr));
  EXPECT_FALSE(fs::exists(P("e.jpg")));
}

}  // namespace
