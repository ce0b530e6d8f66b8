// tests/platform/zr_file_copy_test.cpp: copying with overwrite, and every failure leaving the
// files as they were.
#include "platform/zr_file_copy.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

class ZrFileCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zr_copy_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "sub");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::path dir_;
};

TEST_F(ZrFileCopy, CopiesAndReplacesAnExistingTarget) {
  Write(P("a.jpg"), std::string("new\0bytes", 9));
  Write(P("b.jpg"), "old and longer content");
  EXPECT_TRUE(ZR_CopyFile(P("a.jpg").c_str(), P("b.jpg").c_str()));
  EXPECT_EQ(std::string("new\0bytes", 9), Read(P("b.jpg")));
  EXPECT_TRUE(ZR_CopyFile(P("a.jpg").c_str(), P("c.jpg").c_str()));
  EXPECT_EQ(std::string("new\0bytes", 9), Read(P("c.jpg")));
  // Backslashes are separators, as on Windows.
  std::string windows = dir_.string() + "\\sub\\d.jpg";
  EXPECT_TRUE(ZR_CopyFile(P("a.jpg").c_str(), windows.c_str()));
  EXPECT_EQ(std::string("new\0bytes", 9), Read(P("sub/d.jpg")));
}

TEST_F(ZrFileCopy, FailuresChangeNothingAndNeverThrow) {
  Write(P("a.jpg"), "source");
  Write(P("b.jpg"), "target");
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
