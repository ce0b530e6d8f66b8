// tests/core/zr_file_system_test.cpp: listing patterns and the extension rule on one fixture
// folder (dot-files, a folder named like an image, links, upper-case extensions), the tree walk,
// separator forms, folder-path creation and the file tests.
#include "core/zr_file_system.h"

#include "tests/support/zr_temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Texts(const ZR_List<ZR_String>& list) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < list.m_count; ++i) out.push_back(list[i].m_text);
  return out;
}

class FileSystemFixture : public ::testing::Test {
 protected:
  void Touch(const std::string& relative, const std::string& text = "x") {
    folder_.Write(relative, text);
  }
  std::vector<std::string> List(const std::string& folder, const char* pattern, bool tree = false) {
    ZR_List<ZR_String> files;
    bool any = tree ? GetFilesInFolderTree(files, folder.c_str(), pattern)
                    : GetFilesInFolder(files, folder.c_str(), pattern);
    EXPECT_EQ(any, files.m_count > 0);
    return Texts(files);
  }
  ZR_TempFolder folder_;
  const std::string dir_ = folder_.Path();
};

TEST_F(FileSystemFixture, PatternsSelectRegularFilesByExactExtension) {
  for (const char* name : {"a.jpg", "b.JPG", "c.jpeg", "noext", ".jpg", "e.", "f.tar.jpg"})
    Touch(name);
  fs::create_directories(dir_ + "/d.jpg");
  fs::create_symlink(dir_ + "/a.jpg", dir_ + "/link.jpg");
  fs::create_symlink(dir_ + "/d.jpg", dir_ + "/dirlink.jpg");
  fs::create_symlink(dir_ + "/missing", dir_ + "/broken.jpg");
  const std::string p = dir_ + "/";
  const struct {
    const char* pattern;
    std::vector<std::string> names;
  } cases[] = {
      {"*.jpg", {".jpg", "a.jpg", "f.tar.jpg", "link.jpg"}},
      {"x.jpg", {".jpg", "a.jpg", "f.tar.jpg", "link.jpg"}},
      {"*.JPG", {"b.JPG"}},
      {"*", {".jpg", "a.jpg", "b.JPG", "c.jpeg", "e.", "f.tar.jpg", "link.jpg", "noext"}},
      {"*.*", {".jpg", "a.jpg", "b.JPG", "c.jpeg", "e.", "f.tar.jpg", "link.jpg", "noext"}},
      {"jpg", {"noext"}},
      {"*.", {"e."}},
      {"*.png", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> expected;
    for (const auto& n : c.names) expected.push_back(p + n);
    EXPECT_EQ(expected, List(dir_, c.pattern)) << c.pattern;
  }
}

TEST_F(FileSystemFixture, FolderTextsInEveryFormGiveTheSamePaths) {
  Touch("img/00001_fa.jpg");
  const std::string want = dir_ + "/img/00001_fa.jpg";
  for (const std::string& folder : {dir_ + "/img", dir_ + "/img/", dir_ + "\\img", dir_ + "/img\\"})
    EXPECT_EQ(std::vector<std::string>{want}, List(folder, "*.jpg")) << folder;
}

TEST_F(FileSystemFixture, TreeWalkIsDepthFirstInNameOrderAndSkipsLinkedFolders) {
  Touch("t/a.jpg");
  Touch("t/s/b.jpg");
  Touch("t/s/deeper/c.jpg");
  Touch("t/s/d.jpg");
  Touch("t/z.jpg");
  Touch("other/o.jpg");
  fs::create_symlink(dir_ + "/other", dir_ + "/t/m_linked");
  const std::string t = dir_ + "/t";
  // "d.jpg" sorts before "deeper" ('.' is below 'e'); "m_linked" is a link and not entered.
  EXPECT_EQ((std::vector<std::string>{t + "/a.jpg", t + "/s/b.jpg", t + "/s/d.jpg",
                                      t + "/s/deeper/c.jpg", t + "/z.jpg"}),
            List(t, "*.jpg", true));
  EXPECT_EQ(List(t, "*.jpg", true), List(t + "\\", "*.jpg", true));
  EXPECT_EQ((std::vector<std::string>{t + "/a.jpg", t + "/z.jpg"}), List(t, "*.jpg"));
}

TEST_F(FileSystemFixture, MissingFoldersAddNothingButEarlierEntriesCount) {
  Touch("file.jpg");
  for (bool tree : {false, true}) {
    ZR_List<ZR_String> files;
    auto list = tree ? GetFilesInFolderTree : GetFilesInFolder;
    EXPECT_FALSE(list(files, (dir_ + "/missing").c_str(), "*"));
    EXPECT_FALSE(list(files, (dir_ + "/file.jpg").c_str(), "*"));  // not a folder
    EXPECT_FALSE(list(files, nullptr, "*"));
    files.Add(ZR_String("earlier"));
    EXPECT_TRUE(list(files, (dir_ + "/missing").c_str(), "*"));
    EXPECT_EQ(std::vector<std::string>{"earlier"}, Texts(files));
  }
}

TEST_F(FileSystemFixture, UnreadableFolderIsPassedOver) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  Touch("t/a.jpg");
  Touch("t/locked/b.jpg");
  fs::permissions(dir_ + "/t/locked", fs::perms::none);
  EXPECT_EQ(std::vector<std::string>{dir_ + "/t/a.jpg"}, List(dir_ + "/t", "*.jpg", true));
  EXPECT_TRUE(List(dir_ + "/t/locked", "*.jpg").empty());
}

void Record(const char* folder, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(folder);
}

TEST(CreateFolderPath, CreatesEveryPrefixButRootAndDrive) {
  typedef std::vector<std::string> V;
  const struct {
    const char* path;
    V folders;
  } cases[] = {
      {"C:/out/x/y", {"C:/out", "C:/out/x", "C:/out/x/y"}},
      {"C:/out/x/", {"C:/out", "C:/out/x"}},
      {"C:\\out\\x", {"C:/out", "C:/out/x"}},
      {"/a/b/c", {"/a", "/a/b", "/a/b/c"}},
      {"d/x/y", {"d", "d/x", "d/x/y"}},
      {"a//b", {"a", "a//b"}},
      {"abc", {"abc"}},
      {"/", {}},
      {"C:", {}},
      {"C:/", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    V made;
    CreateFolderPathVia(Record, &made, c.path);
    EXPECT_EQ(c.folders, made) << c.path;
  }
}

TEST_F(FileSystemFixture, CreateFolderPathMakesRealFoldersAndToleratesExistingOnes) {
  CreateFolderPath((dir_ + "/FR/FailedImages/(2017_1_5)9_5_3/ Failed to find face").c_str());
  EXPECT_TRUE(fs::is_directory(dir_ + "/FR/FailedImages/(2017_1_5)9_5_3/ Failed to find face"));
  CreateFolderPath((dir_ + "/FR").c_str());  // exists: nothing happens
  EXPECT_TRUE(fs::is_directory(dir_ + "/FR"));
  Touch("blocker");
  CreateFolderPath((dir_ + "/blocker/x").c_str());  // a file in the way: passed over
  EXPECT_FALSE(fs::exists(dir_ + "/blocker/x"));
}

TEST_F(FileSystemFixture, FileTestsAreFalseOrZeroForFoldersAndMissingFiles) {
  Touch("Landmarks.data", "12345");
  fs::create_directories(dir_ + "/folder.data");
  EXPECT_TRUE(FileExists((dir_ + "/Landmarks.data").c_str()));
  EXPECT_TRUE(FileExists((dir_ + "\\Landmarks.data").c_str()));
  EXPECT_EQ(5u, GetFileLength((dir_ + "/Landmarks.data").c_str()));
  for (const std::string& p : {dir_ + "/folder.data", dir_ + "/missing", std::string()}) {
    EXPECT_FALSE(FileExists(p.c_str())) << p;
    EXPECT_EQ(0u, GetFileLength(p.c_str())) << p;
  }
  EXPECT_FALSE(FileExists(nullptr));
  EXPECT_EQ(0u, GetFileLength(nullptr));
}

}  // namespace
