// tests/enrol/extract_people_test.cpp: person numbers of file stems, both builders over fixture
// folders (grouping, order, failures, empty folders, wide spreads) and their exact log texts.
#include "enrol/extract_people.h"

#include "tests/support/zr_temp_folder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(PersonNumberOfStem, ReadsTheTextBeforeTheFirstUnderscoreLikeStrtolIn32Bits) {
  const struct {
    const char* stem;
    int32_t number;  // negative: not a valid person number
  } cases[] = {
      {"00001_fa", 1},
      {"abc", -1},
      {"_x", 0},
      {"abc_1", 0},
      {"12ab_x", 12},
      {" 7_x", 7},
      {"\t\n8_x", 8},
      {"+5_x", 5},
      {"-5_x", -5},
      {"-0_x", 0},
      {"-_x", 0},
      {"2147483647_x", 2147483647},
      {"99999999999_x", 2147483647},
      {"4294967297_x", 2147483647},  // a 64-bit strtol cast to int would give 1
      {"-99999999999_x", INT32_MIN},
      {"3_4_5", 3},
      {"1 2_x", 1},
      {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(c.number, PersonNumberOfStem(c.stem)) << c.stem;
}

struct Person {
  int32_t id;
  std::string name;
  std::vector<std::string> images;
  bool operator==(const Person& o) const {
    return id == o.id && name == o.name && images == o.images;
  }
};
std::ostream& operator<<(std::ostream& out, const Person& p) {
  out << p.id << " '" << p.name << "' [";
  for (const auto& i : p.images) out << i << " ";
  return out << "]";
}

std::vector<Person> People(const ZR_List<ZR_PersonList>& people) {
  std::vector<Person> out;
  for (uint32_t i = 0; i < people.m_count; ++i) {
    Person p{people[i].m_id, people[i].m_name.m_text, {}};
    for (uint32_t k = 0; k < people[i].m_images.m_count; ++k)
      p.images.push_back(people[i].m_images[k].m_text);
    out.push_back(p);
  }
  return out;
}

class ImageFolder : public ::testing::Test {
 protected:
  void Touch(const std::string& relative) { folder_.Write(relative); }
  uint32_t Feret(const std::string& folder, const char* type = "jpg") {
    people_.Add(ZR_PersonList());  // the builder must drop what the list held
    log_.str("");
    console_.str("");
    return ExtractPeopleFromFeretNames(log_, console_, ZR_String(folder.c_str()), type, people_);
  }
  uint32_t OnePerImage(const std::string& folder, const char* type = "jpg") {
    people_.Add(ZR_PersonList());
    log_.str("");
    console_.str("");
    return ExtractPeopleOnePerImage(log_, console_, ZR_String(folder.c_str()), type, people_);
  }
  ZR_TempFolder folder_;
  const std::string dir_ = folder_.Path();
  ZR_List<ZR_PersonList> people_;
  std::ostringstream log_, console_;
};

TEST_F(ImageFolder, FeretNamesGroupByNumberInAscendingOrder) {
  for (const char* n : {"00003_fa.jpg", "00001_fb.jpg", "00001_fa.jpg", "00001_fc.JPG", "abc.jpg",
                        "-5_x.jpg", "00002_fa.png", "sub/00004_fa.jpg"})
    Touch(n);
  EXPECT_EQ(3u, Feret(dir_));
  const std::string d = dir_ + "/";
  EXPECT_EQ((std::vector<Person>{{1, "1", {d + "00001_fa.jpg", d + "00001_fb.jpg"}},
                                 {3, "3", {d + "00003_fa.jpg"}}}),
            People(people_));
  EXPECT_EQ(
      "Extracting people info...\n"
      "-5_x.jpg Failed to get person ID\n"
      "abc.jpg Failed to get person ID\n"
      "Finished extracting person info, num of people = 2, num of images = 3\n",
      log_.str());
  // Five files: one progress line per phase at 0; slots 1..3 plus the empty last one.
  EXPECT_EQ(
      "Extracting people info...\n"
      "Getting IDs...\n"
      "0|5)  \r\n"
      "Sorting people...\n"
      "0|5)  \r\n"
      "Adding people...\n"
      "0|4)  \r\n"
      "Finished extracting person info, num of people = 2, num of images = 3\n",
      console_.str());
}

TEST_F(ImageFolder, FeretProgressCountsEveryTenthFileAndSlot) {
  for (int i = 0; i < 12; ++i) Touch(std::to_string(100 + 2 * i) + "_a.jpg");  // 100, 102 .. 122
  EXPECT_EQ(12u, Feret(dir_));
  EXPECT_EQ(12u, people_.m_count);
  const std::string c = console_.str();
  EXPECT_NE(std::string::npos, c.find("Getting IDs...\n0|12)  \r10|12)  \r\nSorting people...\n"
                                      "0|12)  \r10|12)  \r\nAdding people...\n"
                                      "0|24)  \r10|24)  \r20|24)  \r\nFinished"))
      << c;
}

TEST_F(ImageFolder, WideSpreadOfNumbersNeedsNoSlotPerNumber) {
  for (const char* n : {"0_a.jpg", "2147483647_b.jpg", "99999999_c.jpg", "0_d.jpg"}) Touch(n);
  EXPECT_EQ(4u, Feret(dir_));
  const std::string d = dir_ + "/";
  EXPECT_EQ((std::vector<Person>{{0, "0", {d + "0_a.jpg", d + "0_d.jpg"}},
                                 {99999999, "99999999", {d + "99999999_c.jpg"}},
                                 {2147483647, "2147483647", {d + "2147483647_b.jpg"}}}),
            People(people_));
  // The slot count is taken in 64 bits; progress shows the occupied slots that are tenths.
  EXPECT_NE(std::string::npos, console_.str().find("Adding people...\n0|2147483649)  \r\n"))
      << console_.str();
}

TEST_F(ImageFolder, OnePerImageWalksTheTreeAndNamesByStem) {
  for (const char* n : {"b/00001_fa.jpg", "a/00001_fa.jpg", "a/x.y.jpg", "c.JPG", "top.jpg"})
    Touch(n);
  EXPECT_EQ(4u, OnePerImage(dir_));
  const std::string d = dir_ + "/";
  EXPECT_EQ((std::vector<Person>{{0, "00001_fa", {d + "a/00001_fa.jpg"}},
                                 {1, "x.y", {d + "a/x.y.jpg"}},
                                 {2, "00001_fa", {d + "b/00001_fa.jpg"}},
                                 {3, "top", {d + "top.jpg"}}}),
            People(people_));
  EXPECT_EQ(
      "Extracting people info...\n"
      "Finished extracting person info, num of people = 4, num of images = 4\n",
      log_.str());
  EXPECT_EQ(
      "Extracting people info...\n\nExtracting image names...\n0|4)    \r\n"
      "Finished extracting person info, num of people = 4, num of images = 4\n",
      console_.str());
}

TEST_F(ImageFolder, EmptyOrMissingFolderGivesNobodyInBothModes) {
  Touch("abc.jpg");  // no person number: file-name mode still finds nobody
  for (const std::string& folder : {dir_ + "/missing", dir_}) {
    const bool has_file = folder == dir_;
    EXPECT_EQ(0u, Feret(folder)) << folder;
    EXPECT_EQ(0u, people_.m_count);
    EXPECT_EQ(std::string("Extracting people info...\n") +
                  (has_file ? "abc.jpg Failed to get person ID\n" : "") +
                  "Finished extracting person info, num of people = 0, num of images = 0\n",
              log_.str());
    EXPECT_EQ(std::string("Extracting people info...\nGetting IDs...\n") +
                  (has_file ? "0|1)  \r" : "") + "\nSorting people...\n" +
                  (has_file ? "0|1)  \r" : "") +
                  "\nAdding people...\n\n"
                  "Finished extracting person info, num of people = 0, num of images = 0\n",
              console_.str());
  }
  EXPECT_EQ(0u, OnePerImage(dir_ + "/missing"));
  EXPECT_EQ(0u, people_.m_count);
  EXPECT_EQ(
      "Extracting people info...\n\nExtracting image names...\n\n"
      "Finished extracting person info, num of people = 0, num of images = 0\n",
      console_.str());
}

}  // namespace
