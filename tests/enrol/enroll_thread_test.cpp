// tests/enrol/enroll_thread_test.cpp: the worker's jobs on its own thread (a person whose images
// all fail to load needs no model files; template statuses, a 1 x 1 image and records assembled
// from images of several workers need the builder's quick models), the driver's failed
// initialisation and failed wait, and a whole in-process run whose every console line reaches
// the given console.
#include "enrol/enroll_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/zr_system_probe.h"
#include "enrol/enroll_people.h"
#include "enrol/run_enroll_tool.h"
#include "enrol/zr_sqlite_gallery.h"
#include "face/zr_landmark_fitter.h"
#include "tests/enrol/gallery_fixture.h"

namespace fs = std::filesystem;

namespace {

const std::string kModels = ZR_BINARY_DIR "/models/quick";
constexpr uint32_t kGenerousMs = 120000;

// Hands the worker a queue of one person, as the driver hands a batch, waits for the job and
// gives the person's record.
void RunJob(EnrollThread& worker, const ZR_PersonList& person, ZR_AddPersonFRT& record) {
  ZR_List<ZR_PersonList> people;
  people.Add(person);
  ZR_List<ZR_AddPersonFRT> records;
  records.Add(ZR_AddPersonFRT());
  EnrollQueue queue(people, 0, 1, records);
  worker.m_queue = &queue;
  ZR_ResetEvent(worker.lockedEvent);
  ZR_SetEvent(worker.runEvent);
  const uint32_t waited = ZR_WaitForSingle(worker.finEvent, kGenerousMs);
  if (waited != ZR_WAIT_OBJECT_0) worker.StopThread();  // the queue must outlive the job
  worker.m_queue = nullptr;
  ASSERT_EQ(ZR_WAIT_OBJECT_0, waited);
  record = records[0];
}

// Writes bytes to path, creating its folders. The images of a test live in its data folder: a
// second scratch folder of the same test would get the same path and wipe the first.
void WriteFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

ZR_PersonList Person(int32_t id, const std::vector<std::string>& paths) {
  ZR_PersonList person;
  person.m_id = id;
  person.m_name = ZR_String(int(id));
  for (const std::string& p : paths) person.m_images.Add(p.c_str());
  return person;
}

// No image gets past the load, so an unread fitter and a gallery without plug-ins do.
TEST(EnrollWorkerThreads, ImagesThatFailToLoadLeaveAnEmptyRecord) {
  ZR_DataFolder data;
  const std::string images = data.Path() + "/images";
  WriteFile(images + "/faces/sub/00001_a.jpg", "");
  WriteFile(images + "/faces/00001_b.jpg", "not an image");
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  ZR_LandmarkFitter fitter;
  EnrollThread worker;
  EXPECT_FALSE(worker.Init((data.Path() + "/missing").c_str(), fitter, gallery));
  worker.m_image_folder = (images + "/faces").c_str();

  ZR_AddPersonFRT untouched;
  RunJob(worker, ZR_PersonList(), untouched);  // no images: only the copies from the person
  EXPECT_EQ(0u, untouched.m_errors.m_count);

  const ZR_PersonList person =
      Person(7, {images + "/faces/sub/00001_a.jpg", images + "/faces/00001_b.jpg"});
  ZR_AddPersonFRT record;
  RunJob(worker, person, record);
  EXPECT_EQ(7, record.m_person_id);
  EXPECT_STREQ("7", record.m_name.m_text);
  EXPECT_EQ(0, record.m_successes);
  EXPECT_EQ(-1, record.m_best_image);
  EXPECT_EQ(0u, record.m_thumbnails.m_count);
  EXPECT_EQ(0u, record.m_face_jpegs.m_count);
  EXPECT_EQ(0u, record.m_landmark_blobs.m_count);
  EXPECT_EQ(0u, record.m_template_sets.m_count);
  ASSERT_EQ(2u, record.m_image_names.m_count);
  ASSERT_EQ(2u, record.m_errors.m_count);
  const char* names[] = {"/sub/00001_a.jpg", "/00001_b.jpg"};
  for (uint32_t i = 0; i < 2; ++i) {
    EXPECT_STREQ("Failed to load", record.m_errors[i].m_message.m_text);
    EXPECT_STREQ(names[i], record.m_errors[i].m_image.m_text);
    EXPECT_STREQ(person.m_images[i].m_text, record.m_errors[i].m_path.m_text);
  }
}

// Three workers share one queue of the images of people with 0, 1 or 6 images each (none
// loads): every person of the batch range gets exactly its own record, its errors in image
// order, whoever takes which image.
TEST(EnrollWorkerThreads, WorkersSharingAQueueFillEachRecordOnce) {
  ZR_DataFolder data;
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  ZR_LandmarkFitter fitter;
  ZR_List<ZR_PersonList> people;
  for (int32_t p = 0; p < 25; ++p) {
    std::vector<std::string> paths(p % 4 == 0 ? 6 : p % 7 == 0 ? 0 : 1);
    for (size_t i = 0; i < paths.size(); ++i)
      paths[i] = data.Path() + "/" + std::to_string(p) + "_" + std::to_string(i) + ".jpg";
    people.Add(Person(p, paths));
  }
  ZR_List<ZR_AddPersonFRT> records(20);
  for (int i = 0; i < 20; ++i) records.Add(ZR_AddPersonFRT());
  EnrollQueue queue(people, 3, 20, records);
  EnrollThread workers[3];
  for (EnrollThread& worker : workers) {
    worker.Init((data.Path() + "/missing").c_str(), fitter, gallery);  // keeps fitter and gallery
    worker.m_queue = &queue;
    ZR_ResetEvent(worker.lockedEvent);
    ZR_SetEvent(worker.runEvent);
  }
  for (EnrollThread& worker : workers)
    ASSERT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(worker.finEvent, kGenerousMs));
  for (uint32_t i = 0; i < 20; ++i) {
    const ZR_PersonList& person = people[3 + i];
    EXPECT_EQ(person.m_id, records[i].m_person_id) << i;
    EXPECT_EQ(person.m_images.m_count, records[i].m_image_names.m_count) << i;
    ASSERT_EQ(person.m_images.m_count, records[i].m_errors.m_count) << i;
    for (uint32_t e = 0; e < person.m_images.m_count; ++e)
      EXPECT_STREQ(person.m_images[e].m_text, records[i].m_errors[e].m_path.m_text) << i;
  }
}

// A worker whose models do not load ends the run before any image, on the log and the console.
TEST(EnrollWorkerThreads, DriverStopsAtAWorkerWithoutModels) {
  ZR_DataFolder data;
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  ZR_LandmarkFitter fitter;
  ZR_List<ZR_PersonList> people;
  people.Add(Person(1, {data.Path() + "/x.jpg"}));
  std::ostringstream log, console;
  EnrollPeople(data.Path().c_str(), log, people, fitter, gallery, 1, "I", "(2020_1_1)0_0_0",
               console);
  int32_t cores = 0, logical = 0;
  uint64_t memory = 0;
  QuerySystemResources(cores, logical, memory);
  const std::string expected =
      "Enrolling 1 images, using " + std::to_string(logical > 0 ? logical : 1) +
      " threads, 12 people per thread \nFailed to initialize thread 0 from " + data.Path() + "\n";
  EXPECT_EQ(expected, log.str());
  EXPECT_EQ(expected, console.str());
  EXPECT_TRUE(ZR_Query(data.Gallery(), "SELECT * FROM people;").empty());
}

bool SameBytes(const ZR_Array<unsigned char>& a, const ZR_Array<unsigned char>& b) {
  return a.m_count == b.m_count &&
         (a.m_count == 0 || std::memcmp(a.Block(), b.Block(), a.m_count) == 0);
}

void ExpectSameBlobs(const ZR_List<ZR_Array<unsigned char>>& a,
                     const ZR_List<ZR_Array<unsigned char>>& b, const char* what) {
  ASSERT_EQ(a.m_count, b.m_count) << what;
  for (uint32_t j = 0; j < a.m_count; ++j) EXPECT_TRUE(SameBytes(a[j], b[j])) << what << " " << j;
}

// Every field the gallery and the log read.
void ExpectSameRecord(const ZR_AddPersonFRT& a, const ZR_AddPersonFRT& b) {
  EXPECT_EQ(a.m_person_id, b.m_person_id);
  EXPECT_STREQ(a.m_name.m_text, b.m_name.m_text);
  EXPECT_EQ(a.m_successes, b.m_successes);
  EXPECT_EQ(a.m_best_image, b.m_best_image);
  ASSERT_EQ(a.m_errors.m_count, b.m_errors.m_count);
  for (uint32_t e = 0; e < a.m_errors.m_count; ++e) {
    EXPECT_STREQ(a.m_errors[e].m_message.m_text, b.m_errors[e].m_message.m_text) << e;
    EXPECT_STREQ(a.m_errors[e].m_image.m_text, b.m_errors[e].m_image.m_text) << e;
    EXPECT_STREQ(a.m_errors[e].m_path.m_text, b.m_errors[e].m_path.m_text) << e;
  }
  ExpectSameBlobs(a.m_thumbnails, b.m_thumbnails, "thumbnail");
  ExpectSameBlobs(a.m_face_jpegs, b.m_face_jpegs, "face");
  ExpectSameBlobs(a.m_landmark_blobs, b.m_landmark_blobs, "landmarks");
  ASSERT_EQ(a.m_template_sets.m_count, b.m_template_sets.m_count);
  for (uint32_t j = 0; j < a.m_template_sets.m_count; ++j) {
    const FRpluginTemplateSet& x = a.m_template_sets[j];
    const FRpluginTemplateSet& y = b.m_template_sets[j];
    ASSERT_EQ(x.m_names.m_count, y.m_names.m_count) << j;
    for (uint32_t k = 0; k < x.m_names.m_count; ++k) {
      EXPECT_STREQ(x.m_names[k].m_text, y.m_names[k].m_text) << j;
      EXPECT_EQ(x.m_status[k], y.m_status[k]) << j;
    }
    ExpectSameBlobs(x.m_templates, y.m_templates, "templates");
  }
}

class EnrollWorkerModelThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kModels + "/Detectors.data"))
      GTEST_SKIP() << "no model files in " << kModels << " (build the zr_models target)";
    const std::string photo_dir = std::string(ZR_DLIB_EXAMPLES_DIR) + "/johns/John_Salley";
    if (std::string(ZR_DLIB_EXAMPLES_DIR).empty() || !fs::exists(photo_dir))
      GTEST_SKIP() << "dlib's example photos are not installed";
    for (const auto& e : fs::directory_iterator(photo_dir)) photos.push_back(e.path());
    std::sort(photos.begin(), photos.end());
    FILE* f = std::fopen((kModels + "/Landmarks.data").c_str(), "rb");
    ASSERT_NE(nullptr, f);
    ASSERT_TRUE(fitter.Read(f));
    std::fclose(f);
  }

  std::vector<std::string> photos;  // one person's photos, sorted
  ZR_LandmarkFitter fitter;         // read from the quick models
};

// Statuses per plug-in [not thread-safe, fails, throws], a 1 x 1 image that must not end the
// person's job, and an image that does not load.
TEST_F(EnrollWorkerModelThreads, TemplateStatusesAndATinyImage) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_BETA, "Beta.so");
  data.AddPlugin(ZR_TEST_PLUGIN_GAMMA, "Gamma.so");
  data.AddPlugin(ZR_TEST_PLUGIN_THROWER, "Thrower.so");
  const std::string images = data.Path() + "/images";
  WriteFile(images + "/pics/00001_b.pgm", "P5\n1 1\n255\n\x80");
  WriteFile(images + "/pics/00001_c.jpg", "");
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  EnrollThread worker;
  ASSERT_TRUE(worker.Init(kModels.c_str(), fitter, gallery));
  worker.m_image_folder = (images + "/pics").c_str();

  const ZR_PersonList person =
      Person(1, {photos[0], images + "/pics/00001_b.pgm", images + "/pics/00001_c.jpg"});
  ZR_AddPersonFRT record;
  RunJob(worker, person, record);
  EXPECT_EQ(1, record.m_successes);
  EXPECT_EQ(0, record.m_best_image);
  ASSERT_EQ(1u, record.m_template_sets.m_count);
  const FRpluginTemplateSet& set = record.m_template_sets[0];
  ASSERT_EQ(3u, set.m_status.m_count);
  EXPECT_EQ(ZR_TEMPLATE_NOT_ASKED, set.m_status[0]);
  EXPECT_EQ(ZR_TEMPLATE_FAILED, set.m_status[1]);
  EXPECT_EQ(ZR_TEMPLATE_FAILED, set.m_status[2]);
  ASSERT_EQ(4u, record.m_errors.m_count);
  EXPECT_STREQ("Failed template generation (Gamma)", record.m_errors[0].m_message.m_text);
  EXPECT_STREQ("Failed template generation (Thrower)", record.m_errors[1].m_message.m_text);
  EXPECT_STREQ(" Failed to find face", record.m_errors[2].m_message.m_text);
  EXPECT_STREQ("/00001_b.pgm", record.m_errors[2].m_image.m_text);
  EXPECT_STREQ("Failed to load", record.m_errors[3].m_message.m_text);
  EXPECT_EQ(1u, record.m_face_jpegs.m_count);
}

// A person's record assembled from images that several workers enrolled, in any order, is the
// record one worker makes going through the person: errors and their order, successes, best
// image, blobs and template sets. Two images fail (no face, no load) between enrolled ones.
TEST_F(EnrollWorkerModelThreads, RecordFromImagesOfSeveralWorkersIsOneWorkersRecord) {
  ZR_DataFolder data;
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  data.AddPlugin(ZR_TEST_PLUGIN_GAMMA, "Gamma.so");
  const std::string images = data.Path() + "/images";
  WriteFile(images + "/pics/00001_b.pgm", "P5\n1 1\n255\n\x80");
  WriteFile(images + "/pics/00001_c.jpg", "");
  photos.insert(photos.begin() + 2, images + "/pics/00001_b.pgm");
  photos.insert(photos.begin() + 5, images + "/pics/00001_c.jpg");
  const ZR_PersonList person = Person(1, photos);
  ZR_SQliteGallery gallery;
  ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
  EnrollThread workers[3];
  for (EnrollThread& worker : workers) {
    ASSERT_TRUE(worker.Init(kModels.c_str(), fitter, gallery));
    worker.m_image_folder = (images + "/pics").c_str();
  }

  ZR_AddPersonFRT one;
  RunJob(workers[0], person, one);
  ASSERT_GE(one.m_successes, 2);
  ASSERT_GE(one.m_errors.m_count, 2u + uint32_t(one.m_successes));  // Gamma fails every time

  // Backwards, alternating between two workers, each image on its own.
  std::vector<ImageOutcome> outcomes(photos.size());
  for (size_t i = photos.size(); i-- > 0;)
    workers[1 + i % 2].EnrolImage(person.m_images[uint32_t(i)], outcomes[i]);
  ZR_AddPersonFRT assembled;
  AssemblePersonRecord(person, outcomes.data(), assembled);
  ExpectSameRecord(one, assembled);

  // The person twice in a queue that three threads share.
  ZR_List<ZR_PersonList> people;
  people.Add(person);
  people.Add(person);
  ZR_List<ZR_AddPersonFRT> records;
  records.Add(ZR_AddPersonFRT());
  records.Add(ZR_AddPersonFRT());
  EnrollQueue queue(people, 0, 2, records);
  for (EnrollThread& worker : workers) {
    worker.m_queue = &queue;
    ZR_ResetEvent(worker.lockedEvent);
    ZR_SetEvent(worker.runEvent);
  }
  for (EnrollThread& worker : workers)
    ASSERT_EQ(ZR_WAIT_OBJECT_0, ZR_WaitForSingle(worker.finEvent, kGenerousMs));
  for (uint32_t r = 0; r < 2; ++r) {
    SCOPED_TRACE(r);
    ExpectSameRecord(one, records[r]);
  }
}

// A failed wait stops the workers; a worker that had not woken never runs. Every image of the
// batch is then stored or named in a failure line of its own, filed for copying. The test enrols
// the first image itself, as a worker that ran would have; then either no worker can run (both
// have lost their events), or one can and takes some or all of the rest before it is stopped.
TEST_F(EnrollWorkerModelThreads, AFailedWaitLeavesNoImageOfTheBatchUnaccounted) {
  const struct {
    bool first_runs;  // worker 0 keeps its events; worker 1 always loses its finished event
  } cases[] = {{false}, {true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first_runs);
    ZR_DataFolder data;
    data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
    const std::string pics = data.Path() + "/images/pics";
    fs::create_directories(pics);
    fs::copy_file(photos[0], pics + "/00001_a.jpg");
    fs::copy_file(photos[1], pics + "/00001_b.jpg");
    WriteFile(pics + "/00002_a.jpg", "");
    fs::copy_file(photos[2], pics + "/00003_a.jpg");
    ZR_List<ZR_PersonList> people;
    people.Add(Person(1, {pics + "/00001_a.jpg", pics + "/00001_b.jpg"}));
    people.Add(Person(2, {pics + "/00002_a.jpg"}));
    people.Add(Person(3, {pics + "/00003_a.jpg"}));
    ZR_SQliteGallery gallery;
    ASSERT_TRUE(gallery.OpenDB(data.Gallery().c_str()));
    EnrollThread one, two;
    ZR_Array<EnrollThread*> workers;
    workers.Resize(2);
    workers[0] = &one;
    workers[1] = &two;
    for (EnrollThread* worker : {&one, &two}) {
      ASSERT_TRUE(worker->Init(kModels.c_str(), fitter, gallery));
      worker->m_image_folder = pics.c_str();
    }
    if (!c.first_runs) ZR_CloseEvent(one.runEvent);  // its thread leaves at once
    if (!c.first_runs) ZR_CloseEvent(one.finEvent);
    ZR_CloseEvent(two.runEvent);
    ZR_CloseEvent(two.finEvent);  // the wait fails

    ZR_List<ZR_AddPersonFRT> batch(3);
    for (int i = 0; i < 3; ++i) batch.Add(ZR_AddPersonFRT());
    EnrollQueue queue(people, 0, 3, batch);
    const uint32_t first = queue.Claim();
    one.EnrolImage(queue.PathOf(first), queue.SlotOf(first));
    queue.Finish(first);
    std::ostringstream log, console;
    EXPECT_FALSE(RunBatchQueue(workers, queue, pics.c_str(), log, console));
    EXPECT_EQ(nullptr, one.m_queue);
    EXPECT_EQ(nullptr, one.m_thread);  // stopped for good
    EXPECT_EQ("WaitForRound() Error! wait failed with error 6\n", console.str());
    ZR_EnrolTally tally;
    StoreAndLogBatch(gallery, batch, log, tally);

    // Per person, its stored images and the images its failure lines name make up all of it,
    // each image once.
    std::vector<std::string> lines;
    std::istringstream in(log.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("WaitForRound() Error! wait failed with error 6", lines[0]);
    std::vector<std::string> named;
    for (size_t i = 1; i < lines.size(); ++i) {
      const size_t colon = lines[i].rfind(": /");
      ASSERT_NE(std::string::npos, colon) << lines[i];
      named.push_back(lines[i].substr(colon + 2));
    }
    EXPECT_EQ(tally.m_errors, uint32_t(named.size()));
    const std::vector<std::pair<int, std::vector<std::string>>> images = {
        {1, {"/00001_a.jpg", "/00001_b.jpg"}}, {2, {"/00002_a.jpg"}}, {3, {"/00003_a.jpg"}}};
    uint32_t stored_total = 0;
    for (const auto& person : images) {
      const std::string query =
          "SELECT i.image_id FROM images i JOIN people p ON i.person = p.person_id WHERE "
          "p.name_id = '" + std::to_string(person.first) + "';";
      const std::vector<ZR_Row> stored = ZR_Query(data.Gallery(), query);
      size_t in_log = 0;
      for (const std::string& image : person.second)
        in_log += size_t(std::count(named.begin(), named.end(), image));
      EXPECT_EQ(person.second.size(), stored.size() + in_log) << person.first;
      stored_total += uint32_t(stored.size());
    }
    EXPECT_EQ(tally.m_successes, stored_total);
    EXPECT_EQ(int32_t(stored_total), gallery.GetNumTemplatesDB("Alpha"));
    // The image enrolled before the wait is not failed again.
    EXPECT_EQ(0, std::count(named.begin(), named.end(), "/00001_a.jpg"));
    if (c.first_runs) continue;

    // No worker ran: the first image is stored, each other one failed with the wait's message.
    const std::vector<std::string> expected = {"Failed to enroll (wait failed): /00001_b.jpg",
                                               "Failed to enroll (wait failed): /00002_a.jpg",
                                               "Failed to enroll (wait failed): /00003_a.jpg"};
    EXPECT_EQ(expected, std::vector<std::string>(lines.begin() + 1, lines.end()));
    EXPECT_EQ(1u, stored_total);
    ASSERT_EQ(1u, tally.m_messages.m_count);
    ASSERT_EQ(3u, tally.m_failures[0].m_count);
    const std::string copies = data.Path() + "/copies/";
    CopyFailedImages(tally, copies.c_str());
    for (const char* file : {"00001_b.jpg", "00002_a.jpg", "00003_a.jpg"})
      EXPECT_EQ(ZR_TempFolder::Read(pics + "/" + file),
                ZR_TempFolder::Read(copies + "Failed to enroll (wait failed)/" + file))
          << file;
  }
}

// With the one console, an in-process run keeps standard output empty: the gallery, the plug-in
// loader, the person list and the driver all write to the console given.
TEST_F(EnrollWorkerModelThreads, AWholeRunWritesOnlyToTheGivenConsole) {
  ZR_DataFolder data;
  for (const char* file : {"Landmarks.data", "Detectors.data", "IsFace.data"})
    fs::copy_file(kModels + "/" + file, data.Path() + "/" + file);
  data.AddPlugin(ZR_TEST_PLUGIN_ALPHA, "Alpha.so");
  const std::string d = data.Path(), i = d + "/images/I";
  WriteFile(i + "/00001_a.jpg", "");
  WriteFile(i + "/00002_a.jpg", "");
  std::vector<const char*> argv = {"Quillbeck", d.c_str(), i.c_str(), "G", "jpg", nullptr};
  std::ostringstream console;
  testing::internal::CaptureStdout();
  RunEnrollTool(5, const_cast<char**>(argv.data()), console);
  EXPECT_EQ("", testing::internal::GetCapturedStdout());
  const std::string out = console.str();
  size_t at = 0;
  for (const std::string& line :
       {"Opening Gallery " + d + "/FR/G.gal\n", std::string("Loading Alpha\n"),
        std::string("Adding people...\n"), std::string(" people per thread \n"),
        std::string("Number of templates in Alpha = 0\n"),
        std::string("2 errors in total, see log file\n"), std::string("Done\n")}) {
    at = out.find(line, at);
    ASSERT_NE(std::string::npos, at) << line;
  }
}

}  // namespace
