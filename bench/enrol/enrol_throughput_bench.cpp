// bench/enrol/enrol_throughput_bench.cpp: what a user of the enrolment sees: images per second of
// the whole driver (EnrollPeople) with 1, 2, 4 and 8 workers on two folders of dlib's 150 x 150
// example faces (johns/), one with equal numbers of photos per person (100 people x 11) and one
// with unequal numbers (90 people x 2 and every tenth of 100 people x 11), and with 1 and 8 workers
// on folders of 1600 x 1200 and 4000 x 3000 photos made from johns/; beside the rate, each run's
// minor page faults per image, system time and peak memory; the start-up of 1 and 8 workers (a run
// over no people: model loads and teardown); and the time per stage of one worker. The worker count
// is set through the calling thread's affinity, which the processor probe reads and the workers
// inherit. Throughput is the driver's own clock, read from its rate line (the model loads are not
// in it). Every run must store the same number of images, equal to the successes it reports.
// ZR_BENCH_TOKEN=1 shrinks the folders to a few images and runs 1 and 2 workers only;
// --write_photos=DIR writes the large folders and two hostile JPEGs to DIR for
// bench/enrol/compare.sh.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/zr_string.h"
#include "enrol/enroll_image_steps.h"
#include "enrol/enroll_people.h"
#include "enrol/enroll_thread.h"
#include "enrol/pixel_budget.h"
#include "enrol/run_enroll_tool.h"
#include "enrol/zr_person_list.h"
#include "enrol/zr_sqlite_gallery.h"
#include "face/zr_face_detectors.h"
#include "face/zr_landmark_fitter.h"
#include "image/zr_image.h"

namespace fs = std::filesystem;

namespace {

bool Token() {
  return std::getenv("ZR_BENCH_TOKEN") != nullptr;
}

std::string Models() {
  return std::string(ZR_BINARY_DIR) + (Token() ? "/models/quick" : "/models/full");
}

// The 150 x 150 face crops of johns/, sorted.
std::vector<std::string> Photos() {
  const std::string root = ZR_DLIB_EXAMPLES_DIR;
  std::vector<std::string> photos;
  if (root.empty() || !fs::exists(fs::path(root) / "johns")) return photos;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(root) / "johns"))
    if (e.is_regular_file() && e.path().extension() == ".jpg") photos.push_back(e.path());
  std::sort(photos.begin(), photos.end());
  return photos;
}

enum zr_folder : int64_t { kEqual = 0, kUnequal = 1, kPhotos1600 = 2, kPhotos4000 = 3 };
constexpr int kFolders = 4;

// Writes the bytes to path; false when it cannot.
bool WriteFile(const fs::path& path, const ZR_Array<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.Block(), 1, bytes.m_count, f) == bytes.m_count;
  return std::fclose(f) == 0 && ok;
}

// The photo at from, scaled to three quarters of rows square and centred on a mid-grey picture of
// cols x rows, written to to as a JPEG of quality 90: a face as large in the picture as in johns/.
bool WriteLargePhoto(const std::string& from, int32_t cols, int32_t rows, const fs::path& to) {
  ZR_Image face;
  if (!face.Load(from.c_str())) return false;
  const int32_t side = rows * 3 / 4;
  face.ResizeImage(unsigned(side), unsigned(side), false);
  ZR_Image canvas(rows, cols);
  const int32_t top = (rows - side) / 2, left = (cols - side) / 2;
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      const bool inside = r >= top && r < top + side && c >= left && c < left + side;
      canvas[r][c] = inside ? face[r - top][c - left] : ZR_Colour{128, 128, 128, 255};
    }
  canvas.m_quality = 90;
  ZR_Array<unsigned char> bytes;
  return canvas.EncodeJPEG(bytes) && WriteFile(to, bytes);
}

// The size and photo count of a large folder: 55 (token 2) of 1600 x 1200, 24 (token 1) of
// 4000 x 3000.
struct zr_large_folder {
  const char* name;
  int32_t cols, rows;
  uint32_t photos, token_photos;
};
constexpr zr_large_folder kLarge[2] = {{"p1600", 1600, 1200, 55, 2}, {"p4000", 4000, 3000, 24, 1}};

// Writes folder's photos, from the first of photos in turn, into dir as 0000P_NN.jpg with the
// person P the photo's folder in johns/ (11 photos each); the paths, sorted, or none on a failure.
std::vector<std::string> WriteLargeFolder(const std::vector<std::string>& photos,
                                          const zr_large_folder& folder, uint32_t count,
                                          const fs::path& dir) {
  std::vector<std::string> paths;
  fs::create_directories(dir);
  for (uint32_t i = 0; i < count && i < photos.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%05u_%02u.jpg", i / 11 + 1, i % 11 + 1);
    if (!WriteLargePhoto(photos[i], folder.cols, folder.rows, dir / name)) return {};
    paths.push_back(dir / name);
  }
  return paths;
}

// A folder's photo files, written by the first call into a scratch folder that goes at exit.
const std::vector<std::string>& LargePhotos(int64_t folder);

// The photo files of a folder: johns/ for the 150 x 150 folders, else the large ones.
const std::vector<std::string>& FolderPhotos(int64_t folder) {
  static const std::vector<std::string> johns = Photos();
  return folder == kEqual || folder == kUnequal ? johns : LargePhotos(folder);
}

// The people of a folder, photos taken in turn from its photos and read where they lie: equal, 100
// people x 11 (token: 4 x 2); unequal, 100 people of 2 photos but every tenth of 11 (token: 3 x 1
// and 1 x 5); a large folder, one person per 11 photos.
ZR_List<ZR_PersonList> People(int64_t folder, uint32_t& images) {
  const std::vector<std::string>& photos = FolderPhotos(folder);
  const bool token = Token(), large = folder >= kPhotos1600;
  const uint32_t count = large ? uint32_t(photos.size() + 10) / 11 : token ? 4 : 100;
  ZR_List<ZR_PersonList> people(count);
  images = 0;
  for (uint32_t p = 0; p < count && !photos.empty(); ++p) {
    uint32_t n = token ? 2 : 11;
    if (folder == kUnequal) n = token ? (p == 3 ? 5 : 1) : (p % 10 == 9 ? 11 : 2);
    if (large) n = std::min<uint32_t>(11, uint32_t(photos.size()) - images);
    ZR_PersonList person;
    person.m_id = int32_t(p + 1);
    person.m_name = ZR_String(int(p + 1));
    for (uint32_t i = 0; i < n; ++i, ++images)
      person.m_images.Add(photos[images % photos.size()].c_str());
    people.Add(person);
  }
  return people;
}

// Restricts the calling thread to the last n processors it may use; false when it has fewer. The
// last, since the test suites pin their runs to the first two.
bool UseProcessors(uint32_t n, cpu_set_t& saved) {
  sched_getaffinity(0, sizeof saved, &saved);
  if (uint32_t(CPU_COUNT(&saved)) < n) return false;
  cpu_set_t set;
  CPU_ZERO(&set);
  uint32_t taken = 0;
  for (int c = CPU_SETSIZE - 1; c >= 0 && taken < n; --c)
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

// The scratch folder of the large photos, removed when the process ends.
struct zr_photo_folder {
  fs::path dir = ScratchFolder("photos");
  ~zr_photo_folder() {
    std::error_code error;
    fs::remove_all(dir, error);
  }
};

const std::vector<std::string>& LargePhotos(int64_t folder) {
  static zr_photo_folder scratch;
  static std::vector<std::string> made[2];
  static bool written[2] = {false, false};
  const size_t k = size_t(folder - kPhotos1600);
  if (!written[k]) {
    written[k] = true;
    const zr_large_folder& large = kLarge[k];
    made[k] =
        WriteLargeFolder(FolderPhotos(kEqual), large, Token() ? large.token_photos : large.photos,
                         scratch.dir / large.name);
  }
  return made[k];
}

// A 16 x 16 JPEG whose frame header declares 11000 x 12000 pixels (width x height), so that a
// reader that trusts the header holds the whole picture; none on a failure.
ZR_Array<unsigned char> HostileJpeg() {
  ZR_Image small(16, 16);
  for (int32_t r = 0; r < 16; ++r)
    for (int32_t c = 0; c < 16; ++c)
      small[r][c] = ZR_Colour{uint8_t(r * 16), uint8_t(c * 16), 0, 255};
  small.m_quality = 90;
  ZR_Array<unsigned char> b;
  if (!small.EncodeJPEG(b)) return {};
  // The segments after SOI, each FF, its marker and a big-endian length, up to the frame header.
  for (uint32_t at = 2; at + 9 <= b.m_count && b[at] == 0xFF;
       at += 2 + (uint32_t(b[at + 2]) << 8 | b[at + 3]))
    if (b[at + 1] == 0xC0) {
      const uint32_t height = 12000, width = 11000;
      b[at + 5] = uint8_t(height >> 8), b[at + 6] = uint8_t(height);
      b[at + 7] = uint8_t(width >> 8), b[at + 8] = uint8_t(width);
      return b;
    }
  return {};
}

// A 16 x 16 progressive JPEG (libjpeg's simple progression) whose frame header declares cols x
// rows: a few hundred bytes that hold a whole picture's working memory; none on a failure.
ZR_Array<unsigned char> SmallProgressiveJpeg(uint32_t cols, uint32_t rows) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);  // the fixed settings below cannot fail
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = cinfo.image_height = 16;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  unsigned char row[16 * 3];
  for (uint32_t r = 0; r < 16; ++r) {
    for (uint32_t c = 0; c < 16 * 3; ++c) row[c] = uint8_t(r * 16 + c);
    JSAMPROW rows_in[1] = {row};
    jpeg_write_scanlines(&cinfo, rows_in, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  ZR_Array<unsigned char> b;
  b.Resize(int32_t(size));
  std::memcpy(b.Block(), out, size);
  std::free(out);
  for (uint32_t at = 2; at + 9 <= b.m_count && b[at] == 0xFF;
       at += 2 + (uint32_t(b[at + 2]) << 8 | b[at + 3]))
    if (b[at + 1] == 0xC2) {
      b[at + 5] = uint8_t(rows >> 8), b[at + 6] = uint8_t(rows);
      b[at + 7] = uint8_t(cols >> 8), b[at + 8] = uint8_t(cols);
      return b;
    }
  return {};
}

// The folders where what workers keep between pictures meets the budget. progmix: 40 photos of
// 3013 x 2010, 11 a person, then 10 small progressive files that declare 3000 x 2000 and
// 4000 x 3000 in turn, as one more person. towering: 16 photos of 3390 x 2400, one a person,
// then one of 7910 x 7910 (61 M pixels, near the budget of a large machine). Into dir/progmix and
// dir/towering; false, with the reason on stderr, when one is not written.
bool WriteKeptMemoryFolders(const std::vector<std::string>& photos, const fs::path& dir) {
  const fs::path progmix = dir / "progmix", towering = dir / "towering";
  const zr_large_folder mid = {"progmix", 3013, 2010, 40, 40};
  if (WriteLargeFolder(photos, mid, mid.photos, progmix).size() != mid.photos) return false;
  for (uint32_t i = 0; i < 10; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%05u_%02u.jpg", mid.photos / 11 + 2, i + 1);
    const bool wide = i % 2 == 1;
    if (!WriteFile(progmix / name, SmallProgressiveJpeg(wide ? 4000 : 3000, wide ? 3000 : 2000)))
      return false;
  }
  fs::create_directories(towering);
  for (uint32_t i = 0; i <= 16; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%05u_01.jpg", i + 1);
    const int32_t cols = i < 16 ? 3390 : 7910, rows = i < 16 ? 2400 : 7910;
    if (!WriteLargePhoto(photos[i * 3 % photos.size()], cols, rows, towering / name))
      return false;
  }
  return true;
}

// Writes the two large folders to dir/p1600 and dir/p4000, the kept-memory folders to
// dir/progmix and dir/towering, and two copies of the hostile JPEG to dir/hostile (as two people);
// false, with the reason on stderr, when one is not written.
bool WritePhotoFolders(const fs::path& dir) {
  if (Photos().empty()) {
    std::fprintf(stderr, "dlib's example photos are not installed\n");
    return false;
  }
  for (const zr_large_folder& large : kLarge)
    if (WriteLargeFolder(Photos(), large, large.photos, dir / large.name).size() != large.photos) {
      std::fprintf(stderr, "cannot write %s\n", (dir / large.name).c_str());
      return false;
    }
  if (!WriteKeptMemoryFolders(Photos(), dir)) {
    std::fprintf(stderr, "cannot write %s or %s\n", (dir / "progmix").c_str(),
                 (dir / "towering").c_str());
    return false;
  }
  const ZR_Array<unsigned char> hostile = HostileJpeg();
  fs::create_directories(dir / "hostile");
  for (const char* name : {"00001_a.jpg", "00002_a.jpg"})
    if (hostile.m_count == 0 || !WriteFile(dir / "hostile" / name, hostile)) {
      std::fprintf(stderr, "cannot write %s\n", (dir / "hostile" / name).c_str());
      return false;
    }
  return true;
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

// A data folder for one run: the worker model files and the Alpha plug-in.
fs::path MakeDataFolder(const std::string& name) {
  const fs::path data = ScratchFolder(name);
  fs::remove_all(data);
  fs::create_directories(data / "FR");
  for (const char* file : {"Detectors.data", "IsFace.data"})
    fs::copy_file(Models() + "/" + file, data / file);
#ifdef ZR_ALPHA_PLUGIN
  fs::copy_file(ZR_ALPHA_PLUGIN, data / "FR" / "Alpha.so");
#endif
  return data;
}

// The skip reason when the model files or the photos are missing, else empty.
std::string MissingInput() {
  if (!fs::exists(Models() + "/Landmarks.data")) return "no model files in " + Models();
  if (Photos().empty()) return "dlib's example photos are not installed";
  return "";
}

// Sets the process's peak resident memory back to its present size, so that the peak read after
// a run is that run's; false where the kernel does not allow it (the peak is then the process's).
bool ResetPeakMemory() {
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (f == nullptr) return false;
  const bool written = std::fputs("5", f) >= 0;
  return std::fclose(f) == 0 && written;
}

// The peak resident memory in MiB since the last reset (VmHWM), else of the process.
double PeakMiB() {
  FILE* f = std::fopen("/proc/self/status", "r");
  char line[256];
  long kib = -1;
  while (f != nullptr && kib < 0 && std::fgets(line, sizeof line, f) != nullptr)
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atol(line + 6);
  if (f != nullptr) std::fclose(f);
  if (kib >= 0) return double(kib) / 1024.0;
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;
}

// What a run cost the process beyond its time: minor page faults and system seconds.
struct zr_run_usage {
  double minor_faults = 0, system_s = 0;
};
zr_run_usage UsageNow() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return {double(usage.ru_minflt), double(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec * 1e-6};
}

void SetPeakMemory(benchmark::State& state) {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;  // of the process so far
}

// A whole run (EnrollPeople) over a folder with range(0) workers; range(1) is the folder.
void BM_EnrolFolder(benchmark::State& state) {
  const uint32_t workers = uint32_t(state.range(0));
  const int64_t folder = state.range(1);
  const std::string missing = MissingInput();
  if (!missing.empty()) {
    state.SkipWithError(missing.c_str());
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
  ZR_List<ZR_PersonList> people = People(folder, images);
  if (images == 0) {
    state.SkipWithError("the photos could not be written");
    return;
  }
  static int64_t stored_first[kFolders] = {-1, -1, -1, -1};
  zr_run_usage used;
  double peak = 0;
  for (auto _ : state) {
    const fs::path data = MakeDataFolder(std::to_string(workers));
    std::ostringstream console;
    ZR_SQliteGallery gallery(console);
    if (!gallery.OpenDB((data / "FR" / "B.gal").c_str())) {
      state.SkipWithError("the gallery does not open");
      break;
    }
    std::ostringstream log;
    const bool reset = ResetPeakMemory();
    const zr_run_usage before = UsageNow();
    EnrollPeople(data.c_str(), log, people, fitter, gallery, images, "", "(2000_1_1)0_0_0",
                 console);
    const zr_run_usage after = UsageNow();
    used.minor_faults += after.minor_faults - before.minor_faults;
    used.system_s += after.system_s - before.system_s;
    peak = std::max(peak, reset ? PeakMiB() : 0.0);
    const double rate = RateOf(log.str());
    const int64_t stored = gallery.GetValFromDB("SELECT COUNT(image_id) FROM images;");
    const std::string successes = " successfull enrollments";
    const size_t at = log.str().find(successes);
    const size_t line = log.str().rfind('\n', at);
    const int64_t reported =
        std::atoll(log.str().c_str() + (line == std::string::npos ? 0 : line + 1));
    int64_t& first = stored_first[folder];
    if (rate <= 0 || stored != reported || stored <= 0 || (first >= 0 && stored != first)) {
      state.SkipWithError("the gallery does not hold what the run reports");
      break;
    }
    first = stored;
    state.SetIterationTime(images / rate);
    fs::remove_all(data);
  }
  sched_setaffinity(0, sizeof saved, &saved);
  const char* const labels[kFolders] = {"equal", "unequal", "1600x1200", "4000x3000"};
  state.SetLabel(labels[folder]);
  const double runs = double(state.iterations());
  state.counters["images"] = images;
  state.counters["ims_per_s"] =
      benchmark::Counter(double(images) * runs, benchmark::Counter::kIsRate);
  state.counters["stored"] = double(stored_first[folder]);
  state.counters["faults_per_image"] = used.minor_faults / (double(images) * runs);
  state.counters["sys_s"] = used.system_s / runs;
  if (peak > 0)
    state.counters["peak_MiB"] = peak;  // of the run alone
  else
    SetPeakMemory(state);
}
// 1, 2, 4 and 8 workers on the 150 x 150 folders, 1 and 8 on the large ones; the token run only 1
// and 2, and 1 on the large folders, since at that size the workers' model loads (not timed) take
// most of the run.
void WorkerCounts(benchmark::internal::Benchmark* b) {
  for (int64_t folder : {kEqual, kUnequal})
    for (int64_t n : {1, 2, 4, 8})
      if (!Token() || n <= 2) b->Args({n, folder});
  for (int64_t folder : {kPhotos1600, kPhotos4000})
    for (int64_t n : {1, 8})
      if (!Token() || n == 1) b->Args({n, folder});
}
BENCHMARK(BM_EnrolFolder)
    ->Apply(WorkerCounts)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Start-up as a user waits for it: EnrollPeople over no people with range(0) workers, so the
// workers' creation, their model loads, the texts and the teardown, on the wall clock. The best
// of the repetitions counts.
void BM_StartUp(benchmark::State& state) {
  const uint32_t workers = uint32_t(state.range(0));
  if (!fs::exists(Models() + "/Landmarks.data")) {
    state.SkipWithError(("no model files in " + Models()).c_str());
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
  const fs::path data = MakeDataFolder("start" + std::to_string(workers));
  std::ostringstream console;
  ZR_SQliteGallery gallery(console);
  if (!gallery.OpenDB((data / "FR" / "U.gal").c_str())) {
    state.SkipWithError("the gallery does not open");
    return;
  }
  ZR_List<ZR_PersonList> none;
  double best = 1e30;
  for (auto _ : state) {
    std::ostringstream log;
    const auto t = std::chrono::steady_clock::now();
    EnrollPeople(data.c_str(), log, none, fitter, gallery, 0, "", "(2000_1_1)0_0_0", console);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    if (log.str().find("Initialized thread " + std::to_string(workers - 1) + " ") ==
        std::string::npos) {
      state.SkipWithError("a worker did not initialise");
      break;
    }
    best = std::min(best, s);
    state.SetIterationTime(s);
  }
  sched_setaffinity(0, sizeof saved, &saved);
  fs::remove_all(data);
  state.counters["best_s"] = best;
  SetPeakMemory(state);
}
BENCHMARK(BM_StartUp)->Arg(1)->Arg(8)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

// The stages of one worker over the unequal folder, by calling the stage functions in turn:
// decode; the face search with the landmark predictor (DetectAndFitFaces), by the stage that won;
// the refinement (FindAndFit less that search, on the same image); the thumbnail and face crops
// and their JPEG encodes; the landmark blob; the head pose; the templates; the gallery store.
// The predictor's own share is in the callgrind profile of the README.
void BM_StageTimes(benchmark::State& state) {
  const std::string missing = MissingInput();
  if (!missing.empty()) {
    state.SkipWithError(missing.c_str());
    return;
  }
  ZR_LandmarkFitter fitter;
  if (!ReadFitter(fitter)) {
    state.SkipWithError("Landmarks.data does not read");
    return;
  }
  uint32_t images = 0;
  ZR_List<ZR_PersonList> people = People(kUnequal, images);
  const fs::path data = MakeDataFolder("stages");
  std::ostringstream console;
  ZR_SQliteGallery gallery(console);
  EnrollThread worker(console);
  if (!gallery.OpenDB((data / "FR" / "S.gal").c_str()) ||
      !worker.Init(data.c_str(), fitter, gallery)) {
    state.SkipWithError("the gallery or the worker's models do not load");
    return;
  }
  using clock = std::chrono::steady_clock;
  auto since = [](clock::time_point t) {
    return std::chrono::duration<double>(clock::now() - t).count();
  };
  double decode = 0, search[6] = {0, 0, 0, 0, 0, 0}, refine = 0, thumb_crop = 0, thumb_jpeg = 0,
         face_crop = 0, face_jpeg = 0, blob = 0, pose = 0, templates = 0, store = 0;
  uint32_t fitted = 0;
  ZR_DetectionParams params;
  params.m_top = params.m_left = 0.001f;
  params.m_height = params.m_width = 0.999f;
  params.m_min_face_height = 0.2f;
  params.m_max_face_height = 0.999f;
  params.m_flags = 1;
  for (auto _ : state) {
    ZR_List<ZR_AddPersonFRT> batch(people.m_count);
    for (uint32_t p = 0; p < people.m_count; ++p) {
      batch.Add(ZR_AddPersonFRT());
      ZR_AddPersonFRT& record = batch[batch.m_count - 1];
      record.m_person_id = people[p].m_id;
      record.m_name = people[p].m_name;
      record.m_image_names = people[p].m_images;
      for (uint32_t i = 0; i < people[p].m_images.m_count; ++i) {
        ZR_Image image;
        auto t = clock::now();
        const bool loaded = image.Load(people[p].m_images[i].m_text);
        decode += since(t);
        if (!loaded) continue;
        ZR_List<ZR_AnnoModel2D> models;
        ZR_List<ZR_NBox> boxes;
        int32_t stage = ZR_STAGE_NONE;
        t = clock::now();
        fitter.DetectAndFitFaces(worker.m_detectors, image, params, models, boxes, &stage);
        const double searched = since(t);
        search[stage >= 0 && stage <= 5 ? stage : 0] += searched;
        ZR_AnnoModel2D model;
        ZR_String error;
        t = clock::now();
        const bool found = fitter.FindAndFit(worker.m_detectors, image, params, model, error);
        refine += std::max(0.0, since(t) - searched);
        if (!found) continue;
        ++fitted;

        ZR_Array<unsigned char> thumb_bytes, face_bytes, blob_bytes;
        ZR_Image thumb(image);
        ZR_AnnoModel2D thumb_model(model);
        t = clock::now();
        const bool thumb_ok = thumb_model.CropAndNormalise(thumb, ZR_Vector2D(0.3f, 0.4f));
        thumb_crop += since(t);
        thumb.m_quality = 90;
        t = clock::now();
        if (thumb_ok) thumb.EncodeJPEG(thumb_bytes);
        thumb_jpeg += since(t);
        ZR_AnnoModel2D face_model(model);
        ZR_Image face;
        t = clock::now();
        const bool face_ok = image.CropFace(face_model, 0.6f, 0.75f, face);
        face_crop += since(t);
        face.m_quality = 95;
        t = clock::now();
        if (face_ok) face.EncodeJPEG(face_bytes);
        face_jpeg += since(t);
        t = clock::now();
        face_model.Serialise(blob_bytes);
        blob += since(t);
        if (thumb_bytes.m_count == 0 || face_bytes.m_count == 0) continue;
        record.m_thumbnails.Add(thumb_bytes);
        record.m_face_jpegs.Add(face_bytes);
        record.m_landmark_blobs.Add(blob_bytes);
        ++record.m_successes;

        t = clock::now();
        try {
          worker.m_isface.EstimatePose(model, image.GetSize());
        } catch (...) {  // as in the worker: no pose, the image stays
        }
        pose += since(t);
        record.m_template_sets.Add(FRpluginTemplateSet());
        t = clock::now();
        gallery.GenerateTemplates(&image, &model,
                                  record.m_template_sets[record.m_template_sets.m_count - 1]);
        templates += since(t);
      }
    }
    ZR_EnrolTally tally;
    std::ostringstream log;
    auto t = clock::now();
    StoreAndLogBatch(gallery, batch, log, tally);
    store += since(t);
    if (gallery.GetValFromDB("SELECT COUNT(image_id) FROM images;") != int32_t(tally.m_successes))
      state.SkipWithError("the gallery does not hold the enrolled images");
  }
  state.counters["images"] = images;
  state.counters["fitted"] = fitted;
  state.counters["decode_s"] = decode;
  state.counters["search_none_s"] = search[0];
  state.counters["search_cascade0_s"] = search[1];
  state.counters["search_cascade1_s"] = search[2];
  state.counters["search_confirmed_s"] = search[3];
  state.counters["search_hog_half_s"] = search[4];
  state.counters["search_hog_full_s"] = search[5];
  state.counters["refine_s"] = refine;
  state.counters["thumb_crop_s"] = thumb_crop;
  state.counters["thumb_jpeg_s"] = thumb_jpeg;
  state.counters["face_crop_s"] = face_crop;
  state.counters["face_jpeg_s"] = face_jpeg;
  state.counters["blob_s"] = blob;
  state.counters["pose_s"] = pose;
  state.counters["templates_s"] = templates;
  state.counters["store_s"] = store;
  fs::remove_all(data);
}
BENCHMARK(BM_StageTimes)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  const char* const kWrite = "--write_photos=";
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], kWrite, std::strlen(kWrite)) == 0)
      return WritePhotoFolders(argv[i] + std::strlen(kWrite)) ? 0 : 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // The tool's process set-up, made as there before any worker starts: the allocator's state when
  // the workers load their models decides what each image's memory costs.
  PrepareEnrolmentProcess();
  ZR_PixelBudget::ForThisMachine();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
