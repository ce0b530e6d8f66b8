// tests/enrol/run_setup_test.cpp: run stamp, recursive flag, usage text, header, and the log file:
// a name of its own per run, and a refused write said once on the console.
#include "enrol/run_setup.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "enrol/run_log.h"
#include "tests/support/zr_temp_folder.h"

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

// A run never opens a log that exists: a second run in the same second (same stamp) gets a
// name of its own, and its stamp follows the name.
TEST_F(LogFile, EachRunGetsAFileOfItsOwnAndTheHeaderBlock) {
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
  ZR_String stamp("(2017_1_5)9_5_3");
  {
    ZR_RunLog log(console);
    ASSERT_TRUE(log.Open(args.Data_Dir, stamp));
    EXPECT_STREQ("(2017_1_5)9_5_3_2", stamp.m_text);
    EXPECT_EQ(dir_ + "/Quillbeck_(2017_1_5)9_5_3_2.log", log.Path().m_text);
    WriteHeaderBlock(log, console, args, log.Path(), 2, 3);
  }
  const std::string second = dir_ + "/Quillbeck_(2017_1_5)9_5_3_2.log";
  const std::string block = "----------------------\nData dir = " + dir_ +
                            "\nImage dir = /pics\nImage type = jpg\nLogfile = " + second +
                            "\nEnrolling 2 people\nEnrolling 3 images\n----------------------\n";
  EXPECT_EQ(block, console.str());
  EXPECT_EQ(block, ZR_TempFolder::Read(second));
  EXPECT_EQ("an earlier run\n", ZR_TempFolder::Read(path.m_text));

  ZR_String third("(2017_1_5)9_5_3");
  ZR_RunLog log(console);
  ASSERT_TRUE(log.Open(args.Data_Dir, third));
  EXPECT_STREQ("(2017_1_5)9_5_3_3", third.m_text);
}

TEST_F(LogFile, UnopenableLogSaysSo) {
  const ZR_String data((dir_ + "/missing").c_str());
  std::ostringstream console;
  ZR_RunLog log(console);
  ZR_String stamp("s");
  EXPECT_FALSE(log.Open(data, stamp));
  EXPECT_EQ("Failed to open log file: " + dir_ + "/missing/Quillbeck_s.log\n", console.str());
  log << "nothing" << std::endl;  // a closed log takes writes without a word
  EXPECT_EQ("Failed to open log file: " + dir_ + "/missing/Quillbeck_s.log\n", console.str());
}

// A log the file system stops taking (here a file-size limit, as a full disk would) says so once
// on the console; the run goes on. Run in a child, since the limit holds for the whole process.
TEST_F(LogFile, AFailedWriteIsSaidOnceOnTheConsole) {
  int pipe_ends[2];
  ASSERT_EQ(0, pipe(pipe_ends));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipe_ends[0]);
    std::ostringstream console;
    ZR_RunLog log(console);
    ZR_String stamp("s");
    if (!log.Open(ZR_String(dir_.c_str()), stamp)) _exit(2);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {200, 200};
    setrlimit(RLIMIT_FSIZE, &limit);
    for (int i = 0; i < 20; ++i)
      log << "line " << i << " of the log, fifty bytes long........." << std::endl;
    console << "Done" << std::endl;
    const std::string text = console.str();
    const bool sent = write(pipe_ends[1], text.data(), text.size()) == ssize_t(text.size());
    _exit(sent ? 0 : 3);
  }
  close(pipe_ends[1]);
  std::string text;
  char chunk[256];
  for (ssize_t n; (n = read(pipe_ends[0], chunk, sizeof chunk)) > 0;) text.append(chunk, size_t(n));
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ("Failed to write log file: " + dir_ + "/Quillbeck_s.log\nDone\n", text);
  EXPECT_EQ(200u, ZR_TempFolder::Read(dir_ + "/Quillbeck_s.log").size());
}

}  // namespace
