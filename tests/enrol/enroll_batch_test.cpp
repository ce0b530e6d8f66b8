// tests/enrol/enroll_batch_test.cpp: the driver's texts (progress line, time remaining, flattened
// names), the wait for more events than one platform wait takes, the batch loop after a failed
// wait, storing and logging one batch of hand-built records as a single gallery unit, and the
// copies of the failed images.
#include "enrol/enroll_people.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "enrol/enroll_thread.h"
#include "enrol/zr_sqlite_gallery.h"
#include "tests/enrol/gallery_fixture.h"
#include "tests/enrol/program_run.h"

namespace fs = std::filesystem;

namespace {

TEST(EnrollPeopleTexts, ProgressLineAndTimeRemaining) {
  const struct {
    uint32_t done, total;
    float seconds;
    uint32_t errors;
    const char* line;
  } progress[] = {
      {0, 25, 0.0f, 0, "0|25) 0 errors    \r"},
      {0, 25, 9.0f, 4, "0|25) 4 errors    \r"},
      {24, 25, 12.0f, 3, "24|25) 3 errors 2.0 ims/sec 96.00% done 0 hrs 0.00 min remain  \r"},
      {25, 25, 10.0f, 25, "25|25) 25 errors 2.5 ims/sec 100.00% done 0 hrs 0.00 min remain  \r"},
      {1, 3, 1.0f, 0, "1|3) 0 errors 1.0 ims/sec 33.33% done 0 hrs 0.03 min remain  \r"},
      {10, 7300 * 2 + 10, 5.0f, 0,
       "10|14610) 0 errors 2.0 ims/sec 0.06% done 2 hrs 1.66 min remain  \r"},
  };
  for (const auto& p : progress) {
    std::ostringstream console;
    PrintProgress(console, p.done, p.total, p.seconds, p.errors);
    EXPECT_EQ(p.line, console.str()) << p.done << "|" << p.total;
  }
  const struct {
    float seconds;
    const char* text;
  } times[] = {{125.0f, "0 hrs 2.08 min"},
               {7300.0f, "2 hrs 1.66 min"},
               {3600.0f, "0 hrs 60.00 min"},
               {3660.0f, "1 hrs 1.00 min"},
               {0.0f, "0 hrs 0.00 min"}};
  for (const auto& t : times) EXPECT_STREQ(t.text, FormatHoursMinutes(t.seconds).m_text);
}

TEST(EnrollPeopleTexts, FlattenPathKeepsOnlyTheFirstSeparator) {
  const struct {
    const char* path;
    const char* flat;
  } cases[] = {{"/a/b/c.jpg", "/a_b_c.jpg"},
               {"\\a\\b", "\\a_b"},
               {"x/y", "x_y"},
               {"/pics/00001_fa.jpg", "/pics_00001_fa.jpg"},
               {"", ""},
               {"/", "/"}};
  for (const auto& c : cases) EXPECT_STREQ(c.flat, FlattenPath(c.path).m_text) << c.path;
}

// More events than one platform wait takes: the wait returns only once every one is signalled,
// and consumes them all.
TEST(EnrollPeopleThreads, WaitForAllEventsCoversMoreThanOnePlatformWait) {
  EXPECT_TRUE(WaitForAllEvents(nullptr, 0));
  std::vector<ZR_EventHandle> events(70);
  for (auto& e : events) e = ZR_CreateEvent(false, false);
  for (size_t i = 0; i + 1 < events.size(); ++i) ZR_SetEvent(events[i]);
  std::atomic<bool> done{false};
  bool result = false;
  std::thread waiter([&] {
    result = WaitForAllEvents(events.data(), uint32_t(events.size()));
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(done.load());  // event 69, in the second chunk, is still off
  ZR_SetEvent(events.back());
  waiter.join();
  EXPECT_TRUE(result);
  for (auto& e : events) {
    EXPECT_EQ(ZR_WAIT_TIMEOUT, ZR_WaitForSingle(e, 0));
    ZR_CloseEvent(e);
  }
  // A closed handle fails the wait instead of blocking.
  EXPECT_FALSE(WaitForAllEvents(events.data(), 1));
}

// A wait that fails in the first batch stops the run there, and the people after that batch are
// named all the same: every image of the run is in an error line, in person order, counted and
// filed for copying, while the images handed to workers are only those of the batch that ran.
TEST(EnrollPeopleThreads, AFailedWaitNamesEveryImageOfThePeopleAfterIt) {
  ZR_DataFolder data;
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  EnrollThread worker;
  ZR_CloseEvent(worker.runEvent);  // its thread leaves at once
  ZR_CloseEvent(worker.finEvent);  // the wait fails
  ZR_Array<EnrollThread*> workers;
  workers.Resize(1);
  workers[0] = &worker;
  // Twelve people of one image fill the one worker's first batch; then come people of two, no
  // and one image.
  ZR_List<ZR_PersonList> people;
  std::vector<std::string> expected = {"WaitForRound() Error! wait failed with error 6"};
  for (int p = 1; p <= 15; ++p) {
    ZR_PersonList person;
    person.m_id = p;
    person.m_name = ZR_String(p);
    for (int i = 0; i < (p == 13 ? 2 : p == 14 ? 0 : 1); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/%05d_%c.jpg", p, 'a' + i);
      person.m_images.Add((std::string("/pics") + name).c_str());
      expected.push_back(std::string("Failed to enroll (wait failed): ") + name);
    }
    people.Add(person);
  }
  ZR_EnrolTally tally;
  std::ostringstream log, console;
  EXPECT_EQ(12u, EnrollBatches(workers, people, gallery, 15, "/pics",
                               std::chrono::steady_clock::now(), log, console, tally));
  EXPECT_EQ(expected, ZR_Pieces(log.str()));
  EXPECT_EQ(15u, tally.m_errors);
  ASSERT_EQ(1u, tally.m_messages.m_count);
  ASSERT_EQ(15u, tally.m_failures[0].m_count);
  EXPECT_STREQ("/pics/00013_b.jpg", tally.m_failures[0][13].m_path.m_text);
  // One batch ran: a progress line before it and one at the end, which counts every error and
  // is ended by a line feed.
  const std::vector<std::string> lines = ZR_Pieces(console.str());
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ("0|15) 0 errors    ", lines[0]);
  EXPECT_EQ(expected[0], lines[1]);
  EXPECT_EQ(0u, lines[2].find("12|15) 15 errors ")) << lines[2];
  EXPECT_EQ("", lines[3]);
}

EnrollError Failure(const char* message, const char* image, const std::string& path) {
  EnrollError e;
  e.m_message = message;
  e.m_image = image;
  e.m_path = path.c_str();
  return e;
}

// Messages A, B, A give two groups; the copies come from the full paths and land inside the
// message folder whatever form the relative name has.
TEST(EnrollPeopleBatch, FailuresAreGroupedByMessageAndCopiedFromTheirFullPaths) {
  ZR_TempFolder temp;
  temp.Write("img/a1.jpg", "a1 bytes");
  temp.Write("img/sub/b1.jpg", "b1 bytes");
  temp.Write("img/a2.jpg", "a2 bytes");
  temp.Write("elsewhere/x.jpg", "x bytes");
  ZR_EnrolTally tally;
  tally.AddFailure(Failure("Failed to load", "/a1.jpg", temp / "img/a1.jpg"));
  tally.AddFailure(Failure(" Failed to find face", "/sub/b1.jpg", temp / "img/sub/b1.jpg"));
  tally.AddFailure(Failure("Failed to load", "/a2.jpg", temp / "img/a2.jpg"));
  // Relative names without a leading '/' (a folder given with a trailing '/', or ".").
  tally.AddFailure(Failure("Failed to load", "./x.jpg", temp / "elsewhere/x.jpg"));
  tally.AddFailure(Failure("Failed to load", "d/e/x.jpg", temp / "elsewhere/x.jpg"));
  ASSERT_EQ(2u, tally.m_messages.m_count);
  EXPECT_STREQ("Failed to load", tally.m_messages[0].m_text);
  EXPECT_STREQ(" Failed to find face", tally.m_messages[1].m_text);
  ASSERT_EQ(4u, tally.m_failures[0].m_count);
  EXPECT_STREQ("/a2.jpg", tally.m_failures[0][1].m_image.m_text);

  const std::string copies = temp / "FR/FailedImages/(2020_1_2)3_4_5/";
  CopyFailedImages(tally, copies.c_str());
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(copies))
    if (e.is_regular_file()) found.push_back(fs::relative(e.path(), copies).string());
  std::sort(found.begin(), found.end());
  const std::vector<std::string> expected = {" Failed to find face/sub_b1.jpg",
                                             "Failed to load/._x.jpg", "Failed to load/a1.jpg",
                                             "Failed to load/a2.jpg", "Failed to load/d_e_x.jpg"};
  EXPECT_EQ(expected, found);
  EXPECT_EQ("a1 bytes", ZR_TempFolder::Read(copies + "Failed to load/a1.jpg"));
  EXPECT_EQ("b1 bytes", ZR_TempFolder::Read(copies + " Failed to find face/sub_b1.jpg"));
  EXPECT_EQ("x bytes", ZR_TempFolder::Read(copies + "Failed to load/._x.jpg"));
}

// Person 1: two enrolled images, a failed template and a failed image; person 2: nothing enrolled.
ZR_List<ZR_AddPersonFRT> Batch() {
  ZR_List<ZR_AddPersonFRT> batch;
  ZR_AddPersonFRT a;
  a.m_person_id = 1;
  a.m_name = "1";
  for (const char* n : {"0", "1"}) {
    a.m_thumbnails.Add(ZR_Bytes(std::string("thumb") + n));
    a.m_face_jpegs.Add(ZR_Bytes(std::string("jpeg") + n));
    a.m_landmark_blobs.Add(ZR_Bytes(std::string("amod") + n));
    FRpluginTemplateSet set;
    set.m_names.Add("Alpha");
    set.m_templates.Add(ZR_Bytes(std::string("t") + n));
    set.m_status.Add(ZR_TEMPLATE_MADE);
    a.m_template_sets.Add(set);
  }
  a.m_best_image = 1;
  a.m_successes = 2;
  a.m_enrolled_images.Add(0);
  a.m_enrolled_images.Add(1);
  for (const char* path : {"/i/00001_fa.jpg", "/i/00001_fb.jpg", "/i/00001_fc.jpg"})
    a.m_image_names.Add(path);
  a.m_errors.Add(Failure("Failed template generation (Gamma)", "/00001_fa.jpg", "/i/00001_fa.jpg"));
  a.m_errors.Add(Failure(" Failed to find face", "/00001_fc.jpg", "/i/00001_fc.jpg"));
  batch.Add(a);
  ZR_AddPersonFRT b;
  b.m_person_id = 2;
  b.m_name = "2";
  b.m_image_names.Add("/i/00002_fa.jpg");
  b.m_errors.Add(Failure("Failed to load", "/00002_fa.jpg", "/i/00002_fa.jpg"));
  batch.Add(b);
  return batch;
}

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* l : lines) text += std::string(l) + "\n";
  return text;
}

// One batch is one unit: a refused people, images or template insert, or a failed commit, and
// what each leaves in the gallery and the log.
TEST(EnrollPeopleBatch, StoresTheBatchAsOneUnitAndLogsIt) {
  const std::string stored_log =
      Lines({"Failed template generation (Gamma): /00001_fa.jpg",
             " Failed to find face: /00001_fc.jpg", "Failed to load: /00002_fa.jpg"});
  const std::string images_failed =
      Lines({"/i/00001_fa.jpg Gallery Failed AddToImagesTable Failed",
             "/i/00001_fb.jpg Gallery Failed AddToImagesTable Failed",
             "/i/00001_fc.jpg Gallery Failed AddToImagesTable Failed",
             "/i/00002_fa.jpg Gallery Failed AddToImagesTable Failed"});
  std::string people_failed = images_failed;
  for (size_t at; (at = people_failed.find("Images")) != std::string::npos;)
    people_failed.replace(at, 6, "People");
  const struct {
    const char* what;
    const char* sql;  // run on the gallery before the batch
    std::string log;
    uint32_t errors, successes, groups;
    size_t people, images, templates;
  } cases[] = {
      {"stored", "", stored_log, 3, 2, 3, 1, 2, 2},
      {"people refused",
       "CREATE TRIGGER t BEFORE INSERT ON people BEGIN SELECT RAISE(ABORT,'x'); END;",
       people_failed, 4, 0, 0, 0, 0, 0},
      // The insert completes without a row: no image may be filed under another row's id.
      {"people skipped",
       "CREATE TRIGGER t BEFORE INSERT ON people BEGIN SELECT RAISE(IGNORE); END;", people_failed,
       4, 0, 0, 0, 0, 0},
      {"images refused",
       "CREATE TRIGGER t BEFORE INSERT ON images BEGIN SELECT RAISE(ABORT,'x'); END;",
       images_failed, 4, 0, 0, 0, 0, 0},
      {"templates refused",
       "CREATE TRIGGER t BEFORE INSERT ON Alpha BEGIN SELECT RAISE(ABORT,'x'); END;",
       Lines({"AddToFRTable Failed (Alpha): Alpha AddToFRTable() Step Error: x",
              "Failed template generation (Gamma): /00001_fa.jpg",
              " Failed to find face: /00001_fc.jpg",
              "Failed to store template (Alpha): /00001_fa.jpg",
              "Failed to store template (Alpha): /00001_fb.jpg", "Failed to load: /00002_fa.jpg"}),
       5, 2, 4, 1, 2, 0},
      // A deferred foreign key is checked only at the commit, which then fails.
      {"commit failed",
       "CREATE TABLE trap(x INTEGER REFERENCES images(image_id) DEFERRABLE INITIALLY DEFERRED);"
       "CREATE TRIGGER t AFTER INSERT ON people BEGIN INSERT INTO trap VALUES(-5); END;",
       images_failed, 4, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    ZR_DataFolder data;
    data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
    ZR_SQliteGallery gallery;
    ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str())) << gallery.m_error.m_text;
    if (c.sql[0] != '\0') {
      ASSERT_TRUE(ZR_Exec(data.Gallery(), c.sql)) << c.what;
    }
    ZR_List<ZR_AddPersonFRT> batch = Batch();
    ZR_EnrolTally tally;
    tally.m_errors = 10;  // the counts run on from earlier batches
    tally.m_successes = 5;
    std::ostringstream log;
    StoreAndLogBatch(gallery, batch, log, tally, "/i");
    EXPECT_EQ(c.log, log.str()) << c.what;
    EXPECT_EQ(10 + c.errors, tally.m_errors) << c.what;
    EXPECT_EQ(5 + c.successes, tally.m_successes) << c.what;
    EXPECT_EQ(c.groups, tally.m_messages.m_count) << c.what;
    EXPECT_EQ(c.people, ZR_Query(data.Gallery(), "SELECT * FROM people;").size()) << c.what;
    EXPECT_EQ(c.images, ZR_Query(data.Gallery(), "SELECT * FROM images;").size()) << c.what;
    EXPECT_EQ(c.templates, ZR_Query(data.Gallery(), "SELECT * FROM Alpha;").size()) << c.what;
    // No transaction was left open: the next batch goes in.
    ZR_Exec(data.Gallery(), "DROP TRIGGER t;");
    ZR_List<ZR_AddPersonFRT> next = Batch();
    ZR_EnrolTally next_tally;
    std::ostringstream next_log;
    StoreAndLogBatch(gallery, next, next_log, next_tally, "/i");
    EXPECT_EQ(stored_log, next_log.str()) << c.what;
  }
}

// Two tables refuse their rows, each in its own way: every enrolled image whose template was to go
// into one of them is a failure of its own, after the record's errors, table by table in plug-in
// order, then image by image, named by its own path even where an earlier image did not enrol.
// The images stay enrolled.
TEST(EnrollPeopleBatch, TemplatesATableRefusedAreFailuresOfTheirImages) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  data.AddPlugin(ZR_TEST_PLUGIN_BETA, "Beta.so");
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str())) << gallery.m_error.m_text;
  ASSERT_TRUE(ZR_Exec(data.Gallery(),
                      "CREATE TRIGGER a BEFORE INSERT ON Alpha BEGIN SELECT RAISE(IGNORE); END;"
                      "CREATE TRIGGER b BEFORE INSERT ON Beta WHEN NEW.name_i = '2' BEGIN "
                      "SELECT RAISE(ABORT,'no'); END;"));
  // Person 1: image a failed to load, b and c enrolled, c's Alpha template failed; person 2: one
  // enrolled image. Statuses per enrolled image: Alpha, Beta.
  const struct {
    const char* name;
    std::vector<const char*> images;
    std::vector<int32_t> enrolled;
    std::vector<std::vector<int32_t>> status;
  } people[] = {{"1", {"00001_a", "00001_b", "00001_c"}, {1, 2}, {{1, 1}, {0, 1}}},
                {"2", {"00002_a"}, {0}, {{1, 1}}}};
  ZR_List<ZR_AddPersonFRT> batch;
  for (const auto& p : people) {
    ZR_AddPersonFRT person;
    person.m_name = p.name;
    for (const char* image : p.images)
      person.m_image_names.Add((std::string("/i/") + image + ".jpg").c_str());
    for (size_t j = 0; j < p.enrolled.size(); ++j) {
      person.m_thumbnails.Add(ZR_Bytes("thumb"));
      person.m_face_jpegs.Add(ZR_Bytes("jpeg"));
      person.m_landmark_blobs.Add(ZR_Bytes("amod"));
      FRpluginTemplateSet set;
      const char* const tables[] = {"Alpha", "Beta"};
      for (size_t k = 0; k < 2; ++k) {
        set.m_names.Add(tables[k]);
        set.m_templates.Add(ZR_Bytes(p.status[j][k] == ZR_TEMPLATE_MADE ? "t" : ""));
        set.m_status.Add(p.status[j][k]);
      }
      person.m_template_sets.Add(set);
      person.m_enrolled_images.Add(p.enrolled[j]);
      ++person.m_successes;
    }
    batch.Add(person);
  }
  batch[0].m_errors.Add(Failure("Failed to load", "/00001_a.jpg", "/i/00001_a.jpg"));
  batch[0].m_errors.Add(
      Failure("Failed template generation (Alpha)", "/00001_c.jpg", "/i/00001_c.jpg"));

  ZR_EnrolTally tally;
  std::ostringstream log;
  StoreAndLogBatch(gallery, batch, log, tally, "/i");
  EXPECT_EQ(
      Lines({"AddToFRTable Failed (Alpha): Alpha AddToFRTable() no row written",
             "AddToFRTable Failed (Beta): Beta AddToFRTable() Step Error: no",
             "Failed to load: /00001_a.jpg", "Failed template generation (Alpha): /00001_c.jpg",
             "Failed to store template (Alpha): /00001_b.jpg",
             "Failed to store template (Beta): /00001_b.jpg",
             "Failed to store template (Beta): /00001_c.jpg",
             "Failed to store template (Alpha): /00002_a.jpg",
             "Failed to store template (Beta): /00002_a.jpg"}),
      log.str());
  EXPECT_EQ(7u, tally.m_errors);
  EXPECT_EQ(3u, tally.m_successes);
  EXPECT_EQ(3u, ZR_Query(data.Gallery(), "SELECT * FROM images;").size());
  for (const char* table : {"Alpha", "Beta"})
    EXPECT_EQ(0u, ZR_Query(data.Gallery(), std::string("SELECT * FROM ") + table).size()) << table;
  // Filed for copying from their full paths.
  ASSERT_EQ(4u, tally.m_messages.m_count);
  EXPECT_STREQ("Failed to store template (Beta)", tally.m_messages[3].m_text);
  ASSERT_EQ(3u, tally.m_failures[3].m_count);
  EXPECT_STREQ("/i/00001_c.jpg", tally.m_failures[3][1].m_path.m_text);
}

}  // namespace

// A batch that fills the page limit makes SQLite roll back the whole transaction by itself; no
// row of the batch may be written after that, so the gallery keeps nothing of it and every image
// is logged as a gallery failure.
TEST(EnrollPeopleBatch, AFullGalleryKeepsNoRowOfTheBatch) {
  const struct {
    const char* what;
    size_t thumb, jpeg, templ;  // blob sizes
    const char* status;
  } cases[] = {
      {"people", 20000, 10, 10, "AddToPeopleTable Failed"},
      {"images", 10, 20000, 10, "AddToImagesTable Failed"},
      {"templates", 10, 10, 20000, "AddToImagesTable Failed"},
  };
  for (const auto& c : cases) {
    ZR_DataFolder data;
    data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
    ZR_SQliteGallery gallery;
    ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str())) << gallery.m_error.m_text;
    ZR_List<ZR_AddPersonFRT> batch;
    std::string expected_log;
    for (int p = 0; p < 12; ++p) {
      ZR_AddPersonFRT person;
      person.m_name = std::to_string(p).c_str();
      // Sizes vary by person, so that rows after the first failure would still fit.
      const size_t scale = p % 2 == 0 ? 1 : 4;
      person.m_thumbnails.Add(ZR_Bytes(std::string(c.thumb / scale, 't')));
      person.m_face_jpegs.Add(ZR_Bytes(std::string(c.jpeg / scale, 'j')));
      person.m_landmark_blobs.Add(ZR_Bytes("amod"));
      FRpluginTemplateSet set;
      set.m_names.Add("Alpha");
      set.m_templates.Add(ZR_Bytes(std::string(c.templ / scale, 'T')));
      set.m_status.Add(ZR_TEMPLATE_MADE);
      person.m_template_sets.Add(set);
      person.m_successes = 1;
      const std::string image = "/i/" + std::to_string(p) + ".jpg";
      person.m_image_names.Add(image.c_str());
      expected_log += image + " Gallery Failed " + c.status + "\n";
      batch.Add(person);
    }
    const int32_t pages = gallery.GetValFromDB("PRAGMA page_count;");
    ZR_String err;
    ASSERT_TRUE(ZR_SQliteGallery::ExecSQL(
        gallery.m_db, ("PRAGMA max_page_count = " + std::to_string(pages + 20)).c_str(), err));
    ZR_EnrolTally tally;
    std::ostringstream log;
    StoreAndLogBatch(gallery, batch, log, tally);
    std::string text = log.str();
    if (text.rfind("AddToFRTable Failed (Alpha)", 0) == 0) text.erase(0, text.find('\n') + 1);
    EXPECT_EQ(expected_log, text) << c.what;
    EXPECT_EQ(12u, tally.m_errors) << c.what;
    EXPECT_EQ(0u, tally.m_successes) << c.what;
    for (const char* table : {"people", "images", "Alpha"})
      EXPECT_EQ(0u, ZR_Query(data.Gallery(), std::string("SELECT * FROM ") + table).size())
          << c.what << " " << table;
    EXPECT_EQ((std::vector<ZR_Row>{{std::string("ok")}}),
              ZR_Query(data.Gallery(), "PRAGMA integrity_check;"))
        << c.what;
    EXPECT_FALSE(gallery.InBatch()) << c.what;
  }
}
