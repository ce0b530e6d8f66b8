// bench/enrol/enrol_throughput_bench.cpp: the whole enrolment (EnrollPeople) over a folder of
// real photos with 1, 2, 4 and 8 workers, and the time per stage of one worker. The folder mixes
// dlib's example photos: the 55 face crops of johns/, the 12 photos of faces/ (portrait, group
// photos, dogs) and the 152 face-less 320 x 240 frames of video_frames/ (the whole search runs and
// fails), 219 images repeated under distinct person numbers to about 1,000. The worker count is
// set through the calling thread's affinity, which the processor probe reads and the workers
// inherit. Only the enrolment loop is timed (the driver's own clock, read from its rate line):
// the workers' model loads are not. Every run must store the same number of images, equal to the
// successes it reports. ZR_BENCH_TOKEN=1 enrols 8 images once with 1 and 2 workers.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/zr_string.h"
#include "enrol/enroll_image_steps.h"
#include "enrol/enroll_people.h"
#include "enrol/enroll_thread.h"
#include "enrol/zr_person_list.h"
#include "enrol/zr_sqlite_gallery.h"
#include "face/zr_landmark_fitter.h"

namespace fs = std::filesystem;

namespace {

bool Token() {
  return std::getenv("ZR_BENCH_TOKEN") != nullptr;
}

std::string Models() {
  return std::string(ZR_BINARY_DIR) + (Token() ? "/models/quick" : "/models/full");
}

std::vector<std::string> Photos() {
  const std::string root = ZR_DLIB_EXAMPLES_DIR;
  std::vector<std::string> photos;
  if (root.empty()) return photos;
  for (const char* sub : {"johns", "faces", "video_frames"}) {
    const fs::path dir = fs::path(root) / sub;
    if (!fs::exists(dir)) continue;
    for (const auto& e : fs::recursive_directory_iterator(dir))
      if (e.is_regular_file() && e.path().extension() == ".jpg") photos.push_back(e.path());
  }
  std::sort(photos.begin(), photos.end());
  return photos;
}

// One person per photo, each repetition under new numbers; the photos are read where they lie.
ZR_List<ZR_PersonList> People(const std::vector<std::string>& photos, uint32_t& images) {
  const uint32_t wanted = Token() ? 8 : 1000;
  ZR_List<ZR_PersonList> people(wanted + 256);
  images = 0;
  for (int32_t id = 1; images < wanted && !photos.empty(); ++id) {
    ZR_PersonList person;
    person.m_id = id;
    person.m_name = ZR_String(int(id));
    person.m_images.Add(photos[size_t(id - 1) % photos.size()].c_str());
    people.Add(person);
    ++images;
  }
  return people;
}

// Restricts the calling thread to the first n processors it may use; false when it has fewer.
bool UseProcessors(uint32_t n, cpu_set_t& saved) {
  sched_getaffinity(0, sizeof saved, &saved);
  if (uint32_t(CPU_COUNT(&saved)) < n) return false;
  cpu_set_t set;
  CPU_ZERO(&set);
  uint32_t taken = 0;
  for (int c = 0; c < CPU_SETSIZE && taken < n; ++c)
    if (CPU_ISSET(c, &saved)) {
      CPU_SET(c, &set);
      ++taken;
    }
  return sched_setaffinity(0, sizeof set, &set) == 0;
}

// A scratch folder of this process under the temporary folder, so that runs side by side do not
// share one.
fs::path ScratchFolder(const std::string& name) {
  return fs::temp_directory_path() / ("zr_enrol_bench_" + std::to_string(getpid()) + "_" + name);
}

bool ReadFitter(ZR_LandmarkFitter& fitter) {
  FILE* f = std::fopen((Models() + "/Landmarks.data").c_str(), "rb");
  if (f == nullptr) return false;
  const bool ok = fitter.Read(f);
  std::fclose(f);
  return ok;
}

// The rate the driver prints: "Enrollments per second (including time to load image) = r".
double RateOf(const std::string& log) {
  const std::string key = "Enrollments per second (including time to load image) = ";
  const size_t at = log.find(key);
  return at == std::string::npos ? 0.0 : std::atof(log.c_str() + at + key.size());
}

void BM_EnrolFolder(benchmark::State& state) {
  const uint32_t workers = uint32_t(state.range(0));
  if (!fs::exists(Models() + "/Landmarks.data")) {
    state.SkipWithError(("no model files in " + Models()).c_str());
    return;
  }
  const std::vector<std::string> photos = Photos();
  if (photos.empty()) {
    state.SkipWithError("dlib's example photos are not installed");
    return;
  }
  cpu_set_t saved;
  if (!UseProcessors(workers, saved)) {
    sched_setaffinity(0, sizeof saved, &saved);
    state.SkipWithError("fewer processors than workers");
    return;
  }
  ZR_LandmarkFitter fitter;
  if (!ReadFitter(fitter)) {
    state.SkipWithError("Landmarks.data does not read");
    return;
  }
  uint32_t images = 0;
  ZR_List<ZR_PersonList> people = People(photos, images);
  static int64_t stored_first = -1;
  double seconds = 0;
  for (auto _ : state) {
    const fs::path data = ScratchFolder(std::to_string(workers));
    fs::remove_all(data);
    fs::create_directories(data / "FR");
    for (const char* file : {"Detectors.data", "IsFace.data"})
      fs::copy_file(Models() + "/" + file, data / file);
#ifdef ZR_ALPHA_PLUGIN
    fs::copy_file(ZR_ALPHA_PLUGIN, data / "FR" / "Alpha.so");
#endif
    std::ostringstream console;
    ZR_SQliteGallery gallery(console);
    if (!gallery.OpenDB((data / "FR" / "B.gal").c_str())) {
      state.SkipWithError("the gallery does not open");
      break;
    }
    std::ostringstream log;
    EnrollPeople(data.c_str(), log, people, fitter, gallery, images, "", "(2000_1_1)0_0_0",
                 console);
    const double rate = RateOf(log.str());
    const int64_t stored = gallery.GetValFromDB("SELECT COUNT(image_id) FROM images;");
    const std::string successes = " successfull enrollments";
    const size_t at = log.str().find(successes);
    const size_t line = log.str().rfind('\n', at);
    const int64_t reported =
        std::atoll(log.str().c_str() + (line == std::string::npos ? 0 : line + 1));
    if (rate <= 0 || stored != reported || stored <= 0 ||
        (stored_first >= 0 && stored != stored_first)) {
      state.SkipWithError("the gallery does not hold what the run reports");
      break;
    }
    stored_first = stored;
    state.SetIterationTime(images / rate);
    seconds += images / rate;
    fs::remove_all(data);
  }
  sched_setaffinity(0, sizeof saved, &saved);
  state.counters["images"] = images;
  state.counters["ims_per_s"] =
      benchmark::Counter(double(images) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["stored"] = double(stored_first);
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;
  (void)seconds;
}
// 1, 2, 4 and 8 workers; the token run only 1 and 2, since at that size the workers' model loads
// (not timed) take most of the run.
void WorkerCounts(benchmark::internal::Benchmark* b) {
  for (int n : {1, 2, 4, 8})
    if (!Token() || n <= 2) b->Arg(n);
}
BENCHMARK(BM_EnrolFolder)
    ->Apply(WorkerCounts)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The stages of one worker, summed over the folder, by calling the stage functions in turn: the
// load, find-and-fit (by the stage that won), the blobs, the templates and the gallery writes.
void BM_StageTimes(benchmark::State& state) {
  if (!fs::exists(Models() + "/Landmarks.data")) {
    state.SkipWithError(("no model files in " + Models()).c_str());
    return;
  }
  const std::vector<std::string> photos = Photos();
  if (photos.empty()) {
    state.SkipWithError("dlib's example photos are not installed");
    return;
  }
  ZR_LandmarkFitter fitter;
  if (!ReadFitter(fitter)) {
    state.SkipWithError("Landmarks.data does not read");
    return;
  }
  uint32_t images = 0;
  ZR_List<ZR_PersonList> people = People(photos, images);
  const fs::path data = ScratchFolder("stages");
  fs::remove_all(data);
  fs::create_directories(data / "FR");
#ifdef ZR_ALPHA_PLUGIN
  fs::copy_file(ZR_ALPHA_PLUGIN, data / "FR" / "Alpha.so");
#endif
  std::ostringstream console;
  ZR_SQliteGallery gallery(console);
  EnrollThread worker(console);
  if (!gallery.OpenDB((data / "FR" / "S.gal").c_str()) ||
      !worker.Init(Models().c_str(), fitter, gallery)) {
    state.SkipWithError("the gallery or the worker's models do not load");
    return;
  }
  using clock = std::chrono::steady_clock;
  auto since = [](clock::time_point t) {
    return std::chrono::duration<double>(clock::now() - t).count();
  };
  double load = 0, fit[6] = {0, 0, 0, 0, 0, 0}, blobs = 0, templates = 0, store = 0;
  uint32_t fitted = 0;
  ZR_DetectionParams params;
  for (auto _ : state) {
    ZR_List<ZR_AddPersonFRT> batch(people.m_count);
    for (uint32_t p = 0; p < people.m_count; ++p) {
      batch.Add(ZR_AddPersonFRT());
      ZR_AddPersonFRT& record = batch[batch.m_count - 1];
      record.m_person_id = people[p].m_id;
      record.m_name = people[p].m_name;
      record.m_image_names = people[p].m_images;
      ZR_Image image;
      ZR_AnnoModel2D model;
      ZR_String error;
      auto t = clock::now();
      const bool loaded = image.Load(people[p].m_images[0].m_text);
      load += since(t);
      if (!loaded) continue;
      int32_t stage = ZR_STAGE_NONE;
      t = clock::now();
      const bool found = fitter.FindAndFit(worker.m_detectors, image, params, model, error, &stage);
      fit[stage >= 0 && stage <= 5 ? stage : 0] += since(t);
      if (!found) continue;
      ++fitted;
      t = clock::now();
      const bool made = AppendImageBlobs(image, model, record);
      blobs += since(t);
      if (!made) continue;
      ++record.m_successes;
      record.m_template_sets.Add(FRpluginTemplateSet());
      t = clock::now();
      gallery.GenerateTemplates(&image, &model,
                                record.m_template_sets[record.m_template_sets.m_count - 1]);
      templates += since(t);
    }
    ZR_EnrolTally tally;
    std::ostringstream log;
    auto t = clock::now();
    StoreAndLogBatch(gallery, batch, log, tally);
    store += since(t);
    if (gallery.GetValFromDB("SELECT COUNT(image_id) FROM images;") != int32_t(tally.m_successes))
      state.SkipWithError("the gallery does not hold the enrolled images");
  }
  state.counters["load_s"] = load;
  state.counters["fit_none_s"] = fit[0];
  state.counters["fit_cascade0_s"] = fit[1];
  state.counters["fit_cascade1_s"] = fit[2];
  state.counters["fit_confirmed_s"] = fit[3];
  state.counters["fit_hog_half_s"] = fit[4];
  state.counters["fit_hog_full_s"] = fit[5];
  state.counters["blobs_s"] = blobs;
  state.counters["templates_s"] = templates;
  state.counters["gallery_s"] = store;
  state.counters["fitted"] = fitted;
  fs::remove_all(data);
}
BENCHMARK(BM_StageTimes)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
