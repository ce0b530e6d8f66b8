// tests/enrol/quillbeck_threads_test.cpp: the built program end to end on two workers: a real
// photo, its mirror image, a face-less image, an empty file and names the list skips, then the
// console and log lines in order, the gallery's rows and blobs, the failed-image copies and a
// rerun; the cheaper all-fail and recursive runs; the start-up failures that reach the gallery or
// the workers; and runs killed at random moments, which must leave whole batches only. The model
// files are the builder's quick variant.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <regex.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "image/zr_image.h"
#include "tests/enrol/gallery_fixture.h"
#include "tests/enrol/program_run.h"
#include "tests/support/zr_temp_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kModels = ZR_BINARY_DIR "/models/quick";
const std::string kTaskset = "taskset -c 0,1 ";

bool TwoProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  return sched_getaffinity(0, sizeof set, &set) == 0 && CPU_ISSET(0, &set) && CPU_ISSET(1, &set);
}

// True when text matches the POSIX extended regular expression pattern (anchored by the pattern
// itself). POSIX regcomp rather than std::regex, whose automaton draws a false uninitialised-use
// warning from GCC 12 under the sanitizer flags.
bool PatternMatch(const std::string& pattern, const std::string& text) {
  regex_t compiled;
  if (regcomp(&compiled, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0) return false;
  const bool match = regexec(&compiled, text.c_str(), 0, nullptr, 0) == 0;
  regfree(&compiled);
  return match;
}

// An entry of an expected line list: an exact text, or a pattern when it starts with '^'.
bool Matches(const std::string& expected, const std::string& line) {
  if (!expected.empty() && expected[0] == '^') return PatternMatch(expected, line);
  return expected == line;
}

// Every expected line appears in pieces, in this order (other pieces may come between).
void ExpectInOrder(const std::vector<std::string>& pieces,
                   const std::vector<std::string>& expected) {
  size_t at = 0;
  for (const std::string& e : expected) {
    while (at < pieces.size() && !Matches(e, pieces[at])) ++at;
    ASSERT_LT(at, pieces.size()) << "missing or out of order: \"" << e << "\"";
    ++at;
  }
}

// The pieces are exactly the expected lines.
void ExpectLines(const std::vector<std::string>& pieces, const std::vector<std::string>& expected) {
  ASSERT_EQ(expected.size(), pieces.size());
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_TRUE(Matches(expected[i], pieces[i])) << i << ": " << pieces[i];
}

std::vector<std::string> Header(uint32_t people, uint32_t images, const std::string& log) {
  return {"----------------------",
          "Data dir = D",
          "Image dir = I",
          "Image type = jpg",
          "Logfile = D/" + log,
          "Enrolling " + std::to_string(people) + " people",
          "Enrolling " + std::to_string(images) + " images",
          "----------------------"};
}

std::vector<std::string> Logs(const fs::path& data) {
  std::vector<std::string> logs;
  for (const auto& e : fs::directory_iterator(data))
    if (e.path().filename().string().rfind("Quillbeck_", 0) == 0)
      logs.push_back(e.path().filename().string());
  std::sort(logs.begin(), logs.end());
  return logs;
}

// Every file below folder, relative to it, sorted.
std::vector<std::string> Files(const fs::path& folder) {
  std::vector<std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files.push_back(fs::relative(e.path(), folder).string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> Folders(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A data folder D with the quick model files and the given test plug-ins, inside the run folder.
class QuillbeckThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kModels + "/Landmarks.data"))
      GTEST_SKIP() << "no model files in " << kModels << " (build the zr_models target)";
    if (!TwoProcessors()) GTEST_SKIP() << "needs processors 0 and 1";
    fs::create_directories(dir_ / "D" / "FR");
    fs::create_directories(dir_ / "I");
    for (const char* file : {"Landmarks.data", "Detectors.data", "IsFace.data"})
      fs::copy_file(kModels + "/" + file, dir_ / "D" / file);
  }
  void AddPlugin(const char* built, const char* file) {
    fs::copy_file(built, dir_ / "D" / "FR" / file);
  }
  ZR_ProgramRun Run(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"D", "I", "G", "jpg"};
    args.insert(args.end(), extra.begin(), extra.end());
    return ZR_RunQuillbeck(dir_, args, kTaskset);
  }
  std::string Gallery() const { return (dir_ / "D/FR/G.gal").string(); }

  ZR_TempFolder folder_;
  const fs::path dir_ = folder_.Path();
};

// The first photo of one of dlib's example people, a face crop of 150 x 150.
std::string FacePhoto() {
  std::vector<std::string> photos;
  const std::string dir = std::string(ZR_DLIB_EXAMPLES_DIR) + "/johns/John_Salley";
  if (std::string(ZR_DLIB_EXAMPLES_DIR).empty() || !fs::exists(dir)) return "";
  for (const auto& e : fs::directory_iterator(dir)) photos.push_back(e.path());
  std::sort(photos.begin(), photos.end());
  return photos.empty() ? "" : photos.front();
}

void WriteJpeg(const ZR_Image& image, const fs::path& to) {
  ZR_Array<unsigned char> bytes;
  ASSERT_TRUE(image.EncodeJPEG(bytes));
  std::ofstream(to, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.Block()), bytes.m_count);
}

// Copies the face photo to face and writes its left-right mirror to mirror: two faces that the
// search finds alike but whose blobs differ. False when the photo does not load.
bool WriteFaceAndMirror(const std::string& photo, const fs::path& face_to,
                        const fs::path& mirror_to) {
  fs::copy_file(photo, face_to);
  ZR_Image face;
  if (!face.Load(photo.c_str())) return false;
  ZR_Image mirror = face;
  for (int r = 0; r < face.m_rows; ++r)
    for (int c = 0; c < face.m_cols; ++c) mirror[r][c] = face[r][face.m_cols - 1 - c];
  WriteJpeg(mirror, mirror_to);
  return true;
}

ZR_Image DecodedBlob(const std::optional<std::string>& blob) {
  ZR_Image image;
  if (blob) image.ReadJPEG(ZR_Bytes(*blob));
  return image;
}

// Walks an "amod" blob: flag, count n, n entries of value, open, include, r, g, b, L, name, p,
// points, m, fixed indices. True when it ends exactly at the blob's end; names and the total
// point count are returned.
bool ParseAmod(const std::string& b, std::vector<std::string>& names, int32_t& points) {
  size_t at = 0;
  auto int32 = [&](int32_t& v) {
    if (at + 4 > b.size()) return false;
    std::memcpy(&v, b.data() + at, 4);
    at += 4;
    return true;
  };
  int32_t flag, n;
  if (!int32(flag) || !int32(n) || n < 0) return false;
  points = 0;
  for (int32_t a = 0; a < n; ++a) {
    int32_t value, length, p, m;
    if (!int32(value) || at + 5 > b.size()) return false;
    at += 5;
    if (!int32(length) || length < 1 || at + size_t(length) > b.size()) return false;
    if (b[at + size_t(length) - 1] != '\0') return false;
    names.push_back(std::string(b.data() + at));
    at += size_t(length);
    if (!int32(p) || p < 0 || at + 8 * size_t(p) > b.size()) return false;
    at += 8 * size_t(p);
    points += p;
    if (!int32(m) || m < 0 || at + 4 * size_t(m) > b.size()) return false;
    at += 4 * size_t(m);
  }
  return at == b.size();
}

TEST_F(QuillbeckThreads, EnrolsAFolderEndToEnd) {
  const std::string photo = FacePhoto();
  if (photo.empty()) GTEST_SKIP() << "dlib's example photos are not installed";
  ASSERT_TRUE(WriteFaceAndMirror(photo, dir_ / "I/00001_fa.jpg", dir_ / "I/00001_fb.jpg"));
  ZR_Image face;  // the mirror has the same size
  ASSERT_TRUE(face.Load(photo.c_str()));
  ZR_Image grey(200, 200);
  for (int r = 0; r < 200; ++r)
    for (int c = 0; c < 200; ++c) grey[r][c] = ZR_Colour{128, 128, 128, 255};
  WriteJpeg(grey, dir_ / "I/00002_fa.jpg");
  folder_.Write("I/00003_fa.jpg", "");
  folder_.Write("I/abc.jpg", "x");
  folder_.Write("I/00004_fa.JPG", "x");
  AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  AddPlugin(ZR_TEST_PLUGIN_BETA, "Beta.so");
  AddPlugin(ZR_TEST_PLUGIN_GAMMA, "Gamma.so");
  AddPlugin(ZR_TEST_PLUGIN_BROKEN, "Broken.so");

  const ZR_ProgramRun run = Run();
  EXPECT_EQ(0, run.status);
  const std::vector<std::string> logs = Logs(dir_ / "D");
  ASSERT_EQ(1u, logs.size());
  const char* const log_name =
      R"(^Quillbeck_\([0-9]{4}_([1-9]|1[0-2])_([1-9]|[12][0-9]|3[01])\))"
      R"(([0-9]|1[0-9]|2[0-3])_([0-9]|[1-5][0-9])_([0-9]|[1-5][0-9])\.log$)";
  EXPECT_TRUE(PatternMatch(log_name, logs[0])) << logs[0];
  const std::string stamp = logs[0].substr(10, logs[0].size() - 14);

  std::vector<std::string> console = {
      "Opening Gallery D/FR/G.gal",
      "sqlite3_threadsafe() = 1",
      "Loading 4 FR Plugins",
      "Loading Alpha",
      "Loading Beta",
      "Loading Broken",
      "Failed to find to following functions:",
      "YV_MatchTemplates",
      "",
      "Failed to find to following functions:",
      "YV_MatchTemplates",
      "",
      "Load Broken FAILED",
      "Loading Gamma",
      "Extracting people info...",
      "Getting IDs...",
      "Sorting people...",
      "Adding people...",
      "Finished extracting person info, num of people = 3, num of images = 4"};
  const std::vector<std::string> header = Header(3, 4, logs[0]);
  console.insert(console.end(), header.begin(), header.end());
  const std::vector<std::string> summary = {
      "Finished enrolling 4 images",
      "Number of people in gallery = 1",
      "Number of images in gallery = 2",
      "Number of templates in Alpha = 2",
      "Number of templates in Beta = 0",
      "Number of templates in Gamma = 0",
      R"(^2 successfull enrollments in 0 hrs [0-9]+\.[0-9]{2} min$)",
      R"(^Enrollments per second \(including time to load image\) = [0-9]+\.[0-9]{3}$)"};
  const std::vector<std::string> driver = {
      "Enrolling 4 images, using 2 threads, 12 people per thread ",
      "Initialized thread 0 successfully ", "Initialized thread 1 successfully ",
      "0|4) 0 errors    ",
      R"(^4\|4\) 4 errors [0-9]+\.[0-9] ims/sec 100\.00% done 0 hrs 0\.00 min remain  $)"};
  console.insert(console.end(), driver.begin(), driver.end());
  console.insert(console.end(), summary.begin(), summary.end());
  console.insert(console.end(), {"4 errors in total, see log file",
                                 "Copying image failures...please wait", "Done"});
  const std::vector<std::string> pieces = ZR_Pieces(run.out);
  ExpectInOrder(pieces, console);
  EXPECT_EQ(2, std::count_if(pieces.begin(), pieces.end(), [](const std::string& p) {
              return p.find(" errors ") != std::string::npos && p.find('|') != std::string::npos;
            }));

  std::vector<std::string> log = {
      "Extracting people info...", "abc.jpg Failed to get person ID",
      "Finished extracting person info, num of people = 3, num of images = 4"};
  log.insert(log.end(), header.begin(), header.end());
  log.insert(log.end(), {"Enrolling 4 images, using 2 threads, 12 people per thread ",
                         "Initialized thread 0 successfully ", "Initialized thread 1 successfully ",
                         "Failed template generation (Gamma): /00001_fa.jpg",
                         "Failed template generation (Gamma): /00001_fb.jpg",
                         " Failed to find face: /00002_fa.jpg", "Failed to load: /00003_fa.jpg"});
  log.insert(log.end(), summary.begin(), summary.end());
  log.insert(log.end(), {"4 errors in total", "Done"});
  ExpectLines(ZR_Pieces(ZR_ReadText(dir_ / "D" / logs[0])), log);

  // The gallery.
  const std::vector<ZR_Row> tables = ZR_Query(
      Gallery(), "SELECT name, sql FROM sqlite_master WHERE type = 'table' ORDER BY name;");
  const std::vector<ZR_Row> expected_tables = {{"Alpha", ZR_FrTableSql("Alpha")},
                                               {"Beta", ZR_FrTableSql("Beta")},
                                               {"Gamma", ZR_FrTableSql("Gamma")},
                                               {"images", ZR_IMAGES_SQL},
                                               {"people", ZR_PEOPLE_SQL}};
  EXPECT_EQ(expected_tables, tables);
  const std::vector<ZR_Row> people =
      ZR_Query(Gallery(), "SELECT person_id, name_id, thumb_id FROM people;");
  ASSERT_EQ(1u, people.size());
  EXPECT_EQ("1", *people[0][0]);
  EXPECT_EQ("1", *people[0][1]);
  const std::vector<ZR_Row> images =
      ZR_Query(Gallery(), "SELECT image_id, person, name, jpeg, thumb, amod FROM images;");
  ASSERT_EQ(2u, images.size());
  bool thumb_found = false;
  std::vector<int32_t> point_counts, annotation_counts;
  for (size_t i = 0; i < images.size(); ++i) {
    const ZR_Row& row = images[i];
    EXPECT_EQ(std::to_string(i + 1), *row[0]);
    EXPECT_EQ("1", *row[1]);
    EXPECT_EQ("1", *row[2]);
    ASSERT_TRUE(row[3] && row[3]->size() > 4);
    EXPECT_EQ("\xFF\xD8", row[3]->substr(0, 2));
    EXPECT_EQ("\xFF\xD9", row[3]->substr(row[3]->size() - 2));
    const ZR_Image jpeg = DecodedBlob(row[3]);
    EXPECT_EQ(600, jpeg.m_rows);
    EXPECT_EQ(450, jpeg.m_cols);
    EXPECT_EQ(96, DecodedBlob(row[4]).m_rows);
    thumb_found = thumb_found || row[4] == people[0][2];
    ASSERT_TRUE(row[5]);
    std::vector<std::string> names;
    int32_t points = 0;
    EXPECT_TRUE(ParseAmod(*row[5], names, points));
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "FACE"));
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "RIGHT EYE"));
    point_counts.push_back(points);
    annotation_counts.push_back(int32_t(names.size()));
  }
  EXPECT_TRUE(thumb_found);
  const std::vector<ZR_Row> templates =
      ZR_Query(Gallery(), "SELECT image, person_i, name_i, template FROM Alpha ORDER BY image;");
  ASSERT_EQ(2u, templates.size());
  const int32_t sizes[2][2] = {{face.m_rows, face.m_cols}, {face.m_rows, face.m_cols}};
  for (size_t i = 0; i < templates.size(); ++i) {
    EXPECT_EQ(std::to_string(i + 1), *templates[i][0]);
    EXPECT_EQ("1", *templates[i][1]);
    EXPECT_EQ("1", *templates[i][2]);
    EXPECT_EQ(ZR_ExpectedTemplate(sizes[i][0], sizes[i][1], annotation_counts[i], point_counts[i],
                                  "D/FR/Alpha"),
              *templates[i][3]);
  }
  EXPECT_TRUE(ZR_Query(Gallery(), "SELECT * FROM Beta;").empty());
  EXPECT_TRUE(ZR_Query(Gallery(), "SELECT * FROM Gamma;").empty());

  // The copies, byte for byte.
  const fs::path failed = dir_ / "D/FR/FailedImages";
  EXPECT_EQ(std::vector<std::string>{stamp}, Folders(failed));
  const std::vector<std::string> copies = {
      " Failed to find face/00002_fa.jpg", "Failed template generation (Gamma)/00001_fa.jpg",
      "Failed template generation (Gamma)/00001_fb.jpg", "Failed to load/00003_fa.jpg"};
  EXPECT_EQ(copies, Files(failed / stamp));
  for (const std::string& c : copies)
    EXPECT_EQ(ZR_ReadText(dir_ / "I" / fs::path(c).filename()), ZR_ReadText(failed / stamp / c))
        << c;

  // A rerun, once the stamp's second has passed, adds to the same gallery.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  const ZR_ProgramRun again = Run();
  EXPECT_EQ(0, again.status);
  ExpectInOrder(ZR_Pieces(again.out),
                {"Number of people in gallery = 2", "Number of images in gallery = 4",
                 "Number of templates in Alpha = 4", "Done"});
  const std::vector<ZR_Row> new_images =
      ZR_Query(Gallery(), "SELECT image_id FROM images WHERE person = 2 ORDER BY image_id;");
  const std::vector<ZR_Row> expected_new = {{"3"}, {"4"}};
  EXPECT_EQ(expected_new, new_images);
  EXPECT_EQ(2u, Logs(dir_ / "D").size());
  EXPECT_EQ(2u, Folders(failed).size());
}

// A template table that refuses every row: each image enrolled without its template is an error
// of its own, logged after the person's other errors and copied, and the run does not end with
// "No enrollment errors". The first image fails to load, so the names follow the images that
// enrolled, not their places among the person's images.
TEST_F(QuillbeckThreads, TemplatesATableRefusesAreErrorsOfTheirImages) {
  const std::string photo = FacePhoto();
  if (photo.empty()) GTEST_SKIP() << "dlib's example photos are not installed";
  folder_.Write("I/00001_fa.jpg", "");
  ASSERT_TRUE(WriteFaceAndMirror(photo, dir_ / "I/00001_fb.jpg", dir_ / "I/00001_fc.jpg"));
  AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  ASSERT_TRUE(ZR_Exec(Gallery(),
                      "CREATE TABLE Alpha(fr_id INTEGER PRIMARY KEY, image INTEGER, person_i "
                      "INTEGER, name_i TEXT, template BLOB CHECK(length(template) < 4));"));
  const ZR_ProgramRun run = Run();
  EXPECT_EQ(0, run.status);
  ExpectInOrder(ZR_Pieces(run.out),
                {"Number of images in gallery = 2", "Number of templates in Alpha = 0",
                 "^2 successfull enrollments in .*$", "3 errors in total, see log file", "Done"});
  const std::vector<std::string> logs = Logs(dir_ / "D");
  ASSERT_EQ(1u, logs.size());
  ExpectInOrder(ZR_Pieces(ZR_ReadText(dir_ / "D" / logs[0])),
                {"AddToFRTable Failed (Alpha): Alpha AddToFRTable() Step Error: CHECK constraint "
                 "failed: length(template) < 4",
                 "Failed to load: /00001_fa.jpg", "Failed to store template (Alpha): /00001_fb.jpg",
                 "Failed to store template (Alpha): /00001_fc.jpg", "3 errors in total", "Done"});
  const std::string stamp = logs[0].substr(10, logs[0].size() - 14);
  const std::vector<std::string> copies = {"Failed to load/00001_fa.jpg",
                                           "Failed to store template (Alpha)/00001_fb.jpg",
                                           "Failed to store template (Alpha)/00001_fc.jpg"};
  EXPECT_EQ(copies, Files(dir_ / "D/FR/FailedImages" / stamp));
}

// Two people with a face each go to the two workers in one turn, so both find and fit at the
// same moment; what they store equals a run on one worker.
TEST_F(QuillbeckThreads, TwoWorkersFitFacesAtTheSameMoment) {
  const std::string photo = FacePhoto();
  if (photo.empty()) GTEST_SKIP() << "dlib's example photos are not installed";
  ASSERT_TRUE(WriteFaceAndMirror(photo, dir_ / "I/00001_fa.jpg", dir_ / "I/00002_fa.jpg"));
  AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  fs::create_directories(dir_ / "E" / "FR");
  for (const char* file : {"Landmarks.data", "Detectors.data", "IsFace.data"})
    fs::copy_file(dir_ / "D" / file, dir_ / "E" / file);
  fs::copy_file(dir_ / "D/FR/Alpha.so", dir_ / "E/FR/Alpha.so");

  const ZR_ProgramRun both = Run();
  EXPECT_EQ(0, both.status);
  ExpectInOrder(ZR_Pieces(both.out),
                {"Enrolling 2 images, using 2 threads, 12 people per thread ",
                 "Number of people in gallery = 2", "Number of images in gallery = 2",
                 "Number of templates in Alpha = 2", "No enrollment errors", "Done"});
  const ZR_ProgramRun one = ZR_RunQuillbeck(dir_, {"E", "I", "G", "jpg"}, "taskset -c 0 ");
  EXPECT_EQ(0, one.status);
  ExpectInOrder(ZR_Pieces(one.out), {"Enrolling 2 images, using 1 threads, 12 people per thread ",
                                     "No enrollment errors", "Done"});
  const char* const images =
      "SELECT person, name, jpeg, amod, thumb FROM images ORDER BY image_id;";
  const std::vector<ZR_Row> together = ZR_Query(Gallery(), images);
  ASSERT_EQ(2u, together.size());
  EXPECT_NE(together[0][2], together[1][2]);  // two different faces were cut
  EXPECT_EQ(ZR_Query((dir_ / "E/FR/G.gal").string(), images), together);
}

// 25 one-image people whose images are empty files: two batches (24 and 1), three progress
// lines, every failure logged in person order and copied, nothing stored.
TEST_F(QuillbeckThreads, DealsTwentyFivePeopleInTwoBatches) {
  for (int p = 1; p <= 25; ++p) {
    char name[32];
    std::snprintf(name, sizeof name, "I/%05d_x.jpg", p);
    folder_.Write(name, "");
  }
  AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  const ZR_ProgramRun run = Run();
  EXPECT_EQ(0, run.status);
  std::vector<std::string> progress;
  for (const std::string& p : ZR_Pieces(run.out))
    if (p.find(" errors") != std::string::npos && p.find('|') != std::string::npos)
      progress.push_back(p);
  ASSERT_EQ(3u, progress.size());
  EXPECT_EQ("0|25) 0 errors    ", progress[0]);
  EXPECT_EQ(0u, progress[1].find("24|25) 24 errors ")) << progress[1];
  EXPECT_EQ(0u, progress[2].find("25|25) 25 errors ")) << progress[2];
  ExpectInOrder(ZR_Pieces(run.out),
                {"Number of people in gallery = 0", "Number of images in gallery = 0",
                 "Number of templates in Alpha = 0", "^0 successfull enrollments in .*$",
                 "25 errors in total, see log file", "Done"});
  const std::vector<std::string> logs = Logs(dir_ / "D");
  ASSERT_EQ(1u, logs.size());
  std::vector<std::string> failures;
  for (const std::string& line : ZR_Pieces(ZR_ReadText(dir_ / "D" / logs[0])))
    if (line.rfind("Failed to load: ", 0) == 0) failures.push_back(line);
  ASSERT_EQ(25u, failures.size());
  for (int p = 1; p <= 25; ++p) {
    char line[64];
    std::snprintf(line, sizeof line, "Failed to load: /%05d_x.jpg", p);
    EXPECT_EQ(line, failures[size_t(p - 1)]);
  }
  const std::string stamp = logs[0].substr(10, logs[0].size() - 14);
  EXPECT_EQ(25u, Files(dir_ / "D/FR/FailedImages" / stamp / "Failed to load").size());
  EXPECT_EQ(1u, ZR_Query(Gallery(), "SELECT name FROM sqlite_master WHERE name = 'Alpha';").size());
}

// Recursive mode: one person per file, named by its stem; copies flattened into the folder.
TEST_F(QuillbeckThreads, RecursiveRunFlattensTheCopies) {
  folder_.Write("I/a/x.jpg", "");
  folder_.Write("I/b/x.jpg", "");
  const ZR_ProgramRun run = Run({"R"});
  EXPECT_EQ(0, run.status);
  const std::vector<std::string> logs = Logs(dir_ / "D");
  ASSERT_EQ(1u, logs.size());
  ExpectInOrder(
      ZR_Pieces(ZR_ReadText(dir_ / "D" / logs[0])),
      {"Failed to load: /a/x.jpg", "Failed to load: /b/x.jpg", "2 errors in total", "Done"});
  const std::string stamp = logs[0].substr(10, logs[0].size() - 14);
  const std::vector<std::string> copies = {"Failed to load/a_x.jpg", "Failed to load/b_x.jpg"};
  EXPECT_EQ(copies, Files(dir_ / "D/FR/FailedImages" / stamp));
}

// The start-up stages from the gallery on: what each prints, and what it leaves behind.
TEST_F(QuillbeckThreads, StartUpFailuresAfterTheLandmarkFile) {
  // A gallery file that is a folder: the gallery's own texts, then the start-up's two lines.
  fs::create_directories(dir_ / "D/FR/G.gal");
  ZR_ProgramRun run = Run();
  EXPECT_EQ(0, run.status);
  const std::string error = "OpenDB() Can't open: D/FR/G.galunable to open database file";
  EXPECT_EQ(
      "Opening Gallery D/FR/G.gal\n" + error + "\nFailed to open: D/FR/G.gal\n" + error + "\n",
      run.out);
  EXPECT_TRUE(Logs(dir_ / "D").empty());
  fs::remove(dir_ / "D/FR/G.gal");

  // A people table whose key the inserts cannot use: refused at open, the file left as it was.
  ASSERT_TRUE(ZR_Exec(Gallery(), "CREATE TABLE people(name_id TEXT, thumb_id BLOB);"));
  const std::string foreign = ZR_ReadText(Gallery());
  run = Run();
  const std::string key = "OpenDB() table people key person_id is not its INTEGER PRIMARY KEY";
  EXPECT_EQ("Opening Gallery D/FR/G.gal\nsqlite3_threadsafe() = 1\n" + key +
                "\nFailed to open: D/FR/G.gal\n" + key + "\n",
            run.out);
  EXPECT_TRUE(Logs(dir_ / "D").empty());
  EXPECT_EQ(foreign, ZR_ReadText(Gallery()));
  fs::remove(dir_ / "D/FR/G.gal");

  // An empty image folder: the person-list texts, the message last in the log, an empty gallery.
  run = Run();
  EXPECT_EQ(0, run.status);
  std::vector<std::string> pieces = ZR_Pieces(run.out);
  ASSERT_FALSE(pieces.empty());
  EXPECT_EQ("No images found in I", pieces.back());
  std::vector<std::string> logs = Logs(dir_ / "D");
  ASSERT_EQ(1u, logs.size());
  std::vector<std::string> log = ZR_Pieces(ZR_ReadText(dir_ / "D" / logs[0]));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("No images found in I", log.back());
  EXPECT_EQ(2u, ZR_Query(Gallery(), "SELECT name FROM sqlite_master WHERE type = 'table';").size());
  EXPECT_TRUE(ZR_Query(Gallery(), "SELECT * FROM people;").empty());

  // A missing detector file: the first worker fails, nothing is enrolled, no "Done".
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  folder_.Write("I/00001_fa.jpg", "");
  fs::remove(dir_ / "D/Detectors.data");
  run = Run();
  EXPECT_EQ(0, run.status);
  pieces = ZR_Pieces(run.out);
  ExpectInOrder(pieces, {"Enrolling 1 images, using 2 threads, 12 people per thread ",
                         "Failed to initialize thread 0 from D"});
  EXPECT_EQ("Failed to initialize thread 0 from D", pieces.back());
  std::vector<std::string> now = Logs(dir_ / "D");
  ASSERT_EQ(2u, now.size());
  const std::string second = now[0] == logs[0] ? now[1] : now[0];
  log = ZR_Pieces(ZR_ReadText(dir_ / "D" / second));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("Failed to initialize thread 0 from D", log.back());
  EXPECT_TRUE(ZR_Query(Gallery(), "SELECT * FROM people;").empty());
}

// The example photos of dlib's johns/ folder, sorted; empty when they are not installed.
std::vector<std::string> JohnsPhotos() {
  std::vector<std::string> photos;
  const std::string dir = std::string(ZR_DLIB_EXAMPLES_DIR) + "/johns";
  if (std::string(ZR_DLIB_EXAMPLES_DIR).empty() || !fs::exists(dir)) return photos;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file() && e.path().extension() == ".jpg") photos.push_back(e.path());
  std::sort(photos.begin(), photos.end());
  return photos;
}

// Starts Quillbeck D I G jpg on processors 0 and 1 inside folder, its output discarded; the pid,
// or -1. taskset execs the program in place, so a signal to the pid reaches Quillbeck.
pid_t StartQuillbeck(const fs::path& folder) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int null = open("/dev/null", O_WRONLY);
  if (null < 0 || chdir(folder.c_str()) != 0) _exit(127);
  dup2(null, 1);
  dup2(null, 2);
  execlp("taskset", "taskset", "-c", "0,1", ZR_QUILLBECK, "D", "I", "G", "jpg", nullptr);
  _exit(127);
}

// Per stored person (by name): its image count, and whether every image has exactly one template
// row of Alpha that names the same person.
std::map<std::string, size_t> StoredPeople(const std::string& gallery, bool& templates_whole) {
  std::map<std::string, size_t> people;
  for (const ZR_Row& row : ZR_Query(gallery,
                                    "SELECT p.name_id, COUNT(i.image_id) FROM people p LEFT JOIN "
                                    "images i ON i.person = p.person_id GROUP BY p.person_id;"))
    people[*row[0]] = size_t(std::stoul(*row[1]));
  const std::vector<ZR_Row> bad = ZR_Query(
      gallery,
      "SELECT i.image_id FROM images i LEFT JOIN Alpha a ON a.image = i.image_id AND a.person_i = "
      "i.person GROUP BY i.image_id HAVING COUNT(a.fr_id) <> 1 UNION ALL SELECT a.fr_id FROM Alpha "
      "a LEFT JOIN images i ON i.image_id = a.image WHERE i.image_id IS NULL;");
  templates_whole = bad.empty();
  return people;
}

// A run killed at random moments (fixed seed) leaves a gallery that opens and holds whole batches
// only: the people of the first b batches (24 people each on two workers), each with all its image
// rows, each image with its template row, exactly as a run that was not killed stores them.
class QuillbeckKilled : public QuillbeckThreads {};

TEST_F(QuillbeckKilled, KilledRunLeavesWholeBatchesOnly) {
  const std::vector<std::string> photos = JohnsPhotos();
  if (photos.size() < 49) GTEST_SKIP() << "dlib's example photos are not installed";
  const size_t people = 2 * photos.size();  // each photo twice: the batches outweigh the start-up
  for (size_t p = 0; p < people; ++p) {
    char name[32];
    std::snprintf(name, sizeof name, "I/%05zu_a.jpg", p + 1);
    fs::copy_file(photos[p % photos.size()], dir_ / name);
  }
  AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");

  const auto start = std::chrono::steady_clock::now();
  const pid_t whole = StartQuillbeck(dir_);
  ASSERT_GT(whole, 0);
  int status = 0;
  ASSERT_EQ(whole, waitpid(whole, &status, 0));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const auto run_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
  bool whole_templates = false;
  const std::map<std::string, size_t> reference = StoredPeople(Gallery(), whole_templates);
  ASSERT_TRUE(whole_templates);
  ASSERT_GT(reference.size(), 24u);  // more than one batch stored
  const size_t batch = 24;

  std::mt19937 random(17);
  std::uniform_int_distribution<long> moment(long(run_ms) / 4, long(run_ms));
  for (int kill_count = 0; kill_count < 3; ++kill_count) {
    fs::remove_all(dir_ / "D/FR/G.gal");
    fs::remove_all(dir_ / "D/FR/G.gal-journal");
    const long after = moment(random);
    const pid_t pid = StartQuillbeck(dir_);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(after));
    kill(pid, SIGKILL);
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    if (!fs::exists(Gallery())) continue;  // killed before the gallery was made
    std::string err;
    ASSERT_TRUE(ZR_Exec(Gallery(), "PRAGMA integrity_check;", &err)) << after << " ms: " << err;
    EXPECT_EQ(std::vector<ZR_Row>{{"ok"}}, ZR_Query(Gallery(), "PRAGMA integrity_check;"));
    bool templates = false;
    const std::map<std::string, size_t> stored = StoredPeople(Gallery(), templates);
    EXPECT_TRUE(templates) << "killed after " << after << " ms";
    // The stored people are those of the reference among the first b batches, for some b.
    bool whole_batches = false;
    for (size_t b = 0; b * batch < people + batch && !whole_batches; ++b) {
      std::map<std::string, size_t> first;
      for (const auto& [name, images] : reference)
        if (std::stoul(name) <= b * batch) first[name] = images;
      whole_batches = first == stored;
    }
    EXPECT_TRUE(whole_batches) << stored.size() << " people stored, killed after " << after
                               << " ms";
  }
}

}  // namespace
