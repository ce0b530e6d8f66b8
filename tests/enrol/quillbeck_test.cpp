// tests/enrol/quillbeck_test.cpp: the built program: usage text, exit status 0, and the landmark
// file's start-up checks, run in an empty working folder so that anything created would show.
#include "tests/support/zr_temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/enrol/program_run.h"

namespace fs = std::filesystem;

namespace {

class Program : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "work"); }
  bool Empty(const fs::path& p) { return fs::is_empty(p); }
  ZR_TempFolder folder_;
  const fs::path dir_ = folder_.Path();
};

TEST_F(Program, FewerThanFourArgumentsPrintTheUsageAndExitZero) {
  const std::string usage =
      "Usage:\n"
      "Quillbeck Data_Dir Image_Dir GalleryName image_type [R]\n"
      "where:\n"
      " Data_Dir = folder containing Vellora data files (e.g. Landmarks.data) with sub-folder "
      "named 'FR' containing gallery and FR plugin DLLs.\n"
      " Image_Dir = folder containing images to enroll (expects FERET filenaming convention, "
      "e.g. 00001_XXX = person id = 1\n"
      " GalleryName = Name of gallery, e.g. Zandle_GalleryExample\n"
      " image_type = image extension, e.g. jpg or bmp\n"
      " R = OPTIONAL, if present then the image dir will be searched recursively and each image "
      "will be assumed to be a different person\n"
      "\n";
  const std::vector<std::vector<std::string>> cases = {
      {}, {"data"}, {"data", "images"}, {"data", "images", "gallery"}};
  for (const auto& args : cases) {
    ZR_ProgramRun run = ZR_RunQuillbeck(dir_ / "work", args);
    EXPECT_EQ(usage, run.out) << args.size();
    EXPECT_EQ(0, run.status) << args.size();
  }
  EXPECT_TRUE(Empty(dir_ / "work"));
}

TEST_F(Program, MissingLandmarkFileIsReportedAndCreatesNothing) {
  fs::create_directories(dir_ / "data" / "Landmarks.data");  // a folder is not the file
  fs::create_directories(dir_ / "images");
  const std::string data = (dir_ / "data").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{data, "images", "G", "jpg"},
        std::vector<std::string>{data, "images", "G", "jpg", "R"}}) {
    ZR_ProgramRun run = ZR_RunQuillbeck(dir_ / "work", args);
    EXPECT_EQ("Failed to find: " + data + "/Landmarks.data\n", run.out);
    EXPECT_EQ(0, run.status);
  }
  EXPECT_TRUE(Empty(dir_ / "work"));
  EXPECT_TRUE(Empty(dir_ / "images"));
  EXPECT_TRUE(Empty(dir_ / "data" / "Landmarks.data"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_ / "data"), fs::directory_iterator()));
}

// A landmark file that ends inside its header word does not load; nothing is created.
TEST_F(Program, ShortLandmarkFileIsReportedAndCreatesNothing) {
  folder_.Write("data/Landmarks.data", "ab");
  fs::create_directories(dir_ / "images");
  const std::string data = (dir_ / "data").string();
  ZR_ProgramRun run = ZR_RunQuillbeck(dir_ / "work", {data, "images", "G", "jpg"});
  EXPECT_EQ("Failed to load: " + data + "/Landmarks.data\n", run.out);
  EXPECT_EQ(0, run.status);
  EXPECT_TRUE(Empty(dir_ / "work"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_ / "data"), fs::directory_iterator()));
}

}  // namespace
