// tests/enrol/run_setup_test.cpp: run stamp, recursive flag, usage text, log file and header.
#include "enrol/run_setup.h"

#include "tests/support/zr_temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage:\n"
    "Quillbeck Data_Dir Image_Dir GalleryName image_type [R]\n"
    "where:\n"
    " Data_Dir = folder containing Vellora data files (e.g. Landmarks.data) with sub-folder named "
    "'FR' containing gallery and FR plugin DLLs.\n"
    " Image_Dir = folder containing images to enroll (expects FERET filenaming convention, e.g. "
    "00001_XXX = person id = 1\n"
    " GalleryName = Name of gallery, e.g. Zandle_GalleryExample\n"
    " image_type = image extension, e.g. jpg or bmp\n"
    " R = OPTIONAL, if present then the image dir will be searched recursively and each image will "
    "be assumed to be a different person\n"
    "\n";

TEST(RunStamp, FormatsEachNumberWithoutPadding) {
  const struct {
    zr_system_time t;
    const char* stamp;
  } cases[] = {
      {{2017, 1, 5, 9, 5, 3, 999}, "(2017_1_5)9_5_3"},
      {{2016, 12, 16, 14, 30, 59, 0}, "(2016_12_16)14_30_59"},
      {{2020, 1, 1, 0, 0, 0, 0}, "(2020_1_1)0_0_0"},
      {{2031, 10, 22, 23, 59, 60, 0}, "(2031_10_22)23_59_60"},
  };
  for (const auto& c : cases) EXPECT_STREQ(c.stamp, FormatTimeStamp(c.t).m_text) << c.stamp;
  const std::string now = MakeTimeStamp().m_text;
  EXPECT_EQ('(', now[0]);
  EXPECT_EQ(4, std::count(now.begin(), now.end(), '_')) << now;
}

TEST(RunArguments, FifthArgumentStartingWithROrRSelectsRecursiveMode) {
  const struct {
    const char* fifth;  // null: no fifth argument
    bool recursive;
  } cases[] = {{nullptr, false}, {"R", true},   {"r", true}, {"Recursive", true}, {"rx", true},
               {"x", false},     {"-R", false}, {"", false}, {" R", false}};
  for (const auto& c : cases) {
    std::vector<const char*> argv = {"Quillbeck", "D:/data", "C:\\img", "G", "jpg"};
    if (c.fifth != nullptr) {
      argv.push_back(c.fifth);
      argv.push_back("r");  // a sixth argument changes nothing
    }
    const int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);
    ZR_RunArguments args;
    ASSERT_TRUE(ReadRunArguments(argc, const_cast<char**>(argv.data()), args));
    EXPECT_EQ(c.recursive, args.R) << (c.fifth ? c.fifth : "(none)");
    EXPECT_STREQ("D:/data", args.Data_Dir.m_text);
    EXPECT_STREQ("C:\\img", args.Image_Dir.m_text);  // copied as given
    EXPECT_STREQ("G", args.GalleryName.m_text);
    EXPECT_STREQ("jpg", args.image_type.m_text);
  }
  ZR_RunArguments args;
  const char* three[] = {"Quillbeck", "a", "b", "c", nullptr};
  EXPECT_FALSE(ReadRunArguments(4, const_cast<char**>(three), args));
}

TEST(RunSetup, UsageTextIsExact) {
  std::ostringstream console;
  PrintUsage(console);
  EXPECT_EQ(kUsage, console.str());
}

class LogFile : public ::testing::Test {
 protected:
  ZR_TempFolder folder_;
  const std::string dir_ = folder_.Path();
};

TEST_F(LogFile, OpensTruncatesAndCarriesTheHeaderBlock) {
  ZR_RunArguments args;
  args.Data_Dir = dir_.c_str();
  args.Image_Dir = "/pics";
  args.image_type = "jpg";
  const ZR_String path = MakeLogPath(args.Data_Dir, ZR_String("(2017_1_5)9_5_3"));
  EXPECT_EQ(dir_ + "/Quillbeck_(2017_1_5)9_5_3.log", path.m_text);
  EXPECT_STREQ("D:/data//Quillbeck_s.log",
               MakeLogPath(ZR_String("D:/data/"), ZR_String("s")).m_text);
  std::ofstream(path.m_text) << "an earlier run\n";

  std::ostringstream console;
  std::ofstream log;
  ASSERT_TRUE(OpenLogFile(log, path, console));
  WriteHeaderBlock(log, console, args, path, 2, 3);
  log.close();
  const std::string block = "----------------------\nData dir = " + dir_ +
                            "\nImage dir = /pics\nImage type = jpg\nLogfile = " + path.m_text +
                            "\nEnrolling 2 people\nEnrolling 3 images\n----------------------\n";
  EXPECT_EQ(block, console.str());
  EXPECT_EQ(block, ZR_TempFolder::Read(path.m_text));
}

TEST_F(LogFile, UnopenableLogSaysSo) {
  const ZR_String path = MakeLogPath(ZR_String((dir_ + "/missing").c_str()), ZR_String("s"));
  std::ostringstream console;
  std::ofstream log;
  EXPECT_FALSE(OpenLogFile(log, path, console));
  EXPECT_EQ(std::string("Failed to open log file: ") + path.m_text + "\n", console.str());
}

}  // namespace
