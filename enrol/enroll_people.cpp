// enrol/enroll_people.cpp: EnrollPeople, the enrolment loop on the main thread. The driver alone
// touches the workers' inputs, the gallery and the log; the workers share only the batch's queue
// and the records it assembles, and a record is read only after the batch's one wait has seen
// the finished events of every worker given the queue.
#include "enrol/enroll_people.h"

#include <chrono>
#include <iostream>
#include <system_error>
#include <thread>
#include <vector>

#include "core/zr_system_probe.h"
#include "enrol/enroll_image_steps.h"
#include "enrol/enroll_thread.h"
#include "enrol/pixel_budget.h"
#include "enrol/zr_sqlite_gallery.h"
#include "platform/zr_last_error.h"

namespace {

// The failure of an image that no worker took before the workers were stopped.
const char kNotRunMessage[] = "Failed to enroll (wait failed)";

// The workers of one run, deleted (each stopping its thread) when the driver returns.
class WorkerArray {
 public:
  WorkerArray(uint32_t n, std::ostream& console) {
    m_workers.Resize(int32_t(n));
    for (uint32_t i = 0; i < n; ++i) m_workers[int32_t(i)] = nullptr;
    for (uint32_t i = 0; i < n; ++i) m_workers[int32_t(i)] = new EnrollThread(console);
  }
  WorkerArray(const WorkerArray&) = delete;
  WorkerArray& operator=(const WorkerArray&) = delete;
  ~WorkerArray() { Delete(); }

  void Delete() {
    for (uint32_t i = 0; i < m_workers.m_count; ++i) {
      delete m_workers[int32_t(i)];
      m_workers[int32_t(i)] = nullptr;
    }
    m_workers.Resize(0);
  }
  EnrollThread& operator[](uint32_t i) { return *m_workers[int32_t(i)]; }
  const ZR_Array<EnrollThread*>& All() const { return m_workers; }

 private:
  ZR_Array<EnrollThread*> m_workers;
};

// Initialises every worker whose thread and events came up, each on a thread of its own (inline
// when the system refuses one), and returns who is ready. A worker without a running thread would
// never report a job, so it counts as failed.
std::vector<char> InitWorkers(WorkerArray& workers, const ZR_String& Data_Dir,
                              const ZR_LandmarkFitter& fitter, const ZR_SQliteGallery& gallery) {
  const uint32_t n = workers.All().m_count;
  std::vector<char> ready(n, 0);  // one byte each: the loaders write their own flags at once
  std::vector<std::thread> loaders;
  loaders.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    EnrollThread& worker = workers[i];
    if (worker.m_thread == nullptr || worker.m_error_text.m_length != 1) continue;
    char& flag = ready[i];
    auto init = [&worker, &flag, &Data_Dir, &fitter, &gallery] {
      flag = worker.Init(Data_Dir, fitter, gallery) ? 1 : 0;
    };
    try {
      loaders.emplace_back(init);
    } catch (const std::system_error&) {
      init();
    }
  }
  for (std::thread& loader : loaders) loader.join();
  return ready;
}

// Writes line to the log, then the console, each ended and flushed.
void Say(std::ostream& log, std::ostream& console, const ZR_String& line) {
  log << line.m_text << std::endl;
  console << line.m_text << std::endl;
}

float SecondsSince(std::chrono::steady_clock::time_point start) {
  const auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
          .count();
  return static_cast<float>(static_cast<double>(ns) * 0.001 * 1e-6);
}

// Logs every image of people[first..] as never run, in person order, as RunBatchQueue fails a
// batch's unclaimed images.
void FailPeopleNotRun(const ZR_List<ZR_PersonList>& people, uint32_t first,
                      const ZR_String& Image_Dir, std::ostream& log, ZR_EnrolTally& tally) {
  EnrollError failure;
  failure.m_message = kNotRunMessage;
  for (uint32_t k = first; k < people.m_count; ++k) {
    for (uint32_t i = 0; i < people[k].m_images.m_count; ++i) {
      failure.m_path = people[k].m_images[i];
      failure.m_image = GetRelativeImageName(failure.m_path, Image_Dir);
      tally.LogFailure(log, failure);
    }
  }
}

// The four closing items of the run on one stream.
void PrintTotals(std::ostream& stream, ZR_SQliteGallery& gallery, uint32_t dispatched,
                 uint32_t successes, float seconds, float rate) {
  stream << "Finished enrolling " << dispatched << " images" << std::endl;
  PrintGallerySummary(stream, gallery);
  stream << successes << " successfull enrollments in " << FormatHoursMinutes(seconds).m_text
         << std::endl;
  ZR_String figure;
  figure.AppendFloat(rate, 3);
  stream << "Enrollments per second (including time to load image) = " << figure.m_text
         << std::endl;
}

}  // namespace

bool WaitForRound(const ZR_Array<EnrollThread*>& workers, uint32_t n) {
  if (n == 0) return true;
  if (n > workers.m_count) return false;
  ZR_Array<ZR_EventHandle> handles;
  handles.Resize(int32_t(n));
  for (uint32_t i = 0; i < n; ++i) handles[int32_t(i)] = workers[int32_t(i)]->finEvent;
  return WaitForAllEvents(handles.Block(), n);
}

bool RunBatchQueue(const ZR_Array<EnrollThread*>& workers, EnrollQueue& queue,
                   const ZR_String& Image_Dir, std::ostream& log, std::ostream& console) {
  const uint32_t busy = queue.Items() < workers.m_count ? queue.Items() : workers.m_count;
  for (uint32_t t = 0; t < busy; ++t) {
    EnrollThread& worker = *workers[int32_t(t)];
    worker.m_queue = &queue;
    ZR_ResetEvent(worker.lockedEvent);
    ZR_SetEvent(worker.runEvent);
  }
  const bool finished = WaitForRound(workers, busy);
  if (!finished) {
    // Only a fault of the driver gets here. Stopping joins each worker after its job: one that
    // had woken goes on until no image is left to claim, but one that had not yet woken never
    // runs (its stop event wins over its run event), so images may be left that nobody claimed.
    // Each of those is failed, so that every image of the batch is stored or logged.
    const uint32_t error = ZR_GetLastError();
    for (uint32_t t = 0; t < workers.m_count; ++t) workers[int32_t(t)]->StopThread();
    queue.FailUnclaimed(kNotRunMessage, Image_Dir);
    Say(log, console,
        ZR_String("WaitForRound() Error! wait failed with error ") + ZR_String(int(error)));
  }
  for (uint32_t t = 0; t < busy; ++t) workers[int32_t(t)]->m_queue = nullptr;
  return finished;
}

uint32_t EnrollBatches(const ZR_Array<EnrollThread*>& workers, const ZR_List<ZR_PersonList>& people,
                       ZR_SQliteGallery& gallery, uint32_t image_total, const ZR_String& Image_Dir,
                       std::chrono::steady_clock::time_point start, std::ostream& log,
                       std::ostream& console, ZR_EnrolTally& tally) {
  const uint32_t batch_size = ZR_PEOPLE_PER_THREAD * workers.m_count;
  uint32_t dispatched = 0;
  uint32_t k = 0;
  for (bool stopped = false; k < people.m_count && !stopped;) {
    const uint32_t left = people.m_count - k;
    const uint32_t n = left < batch_size ? left : batch_size;
    PrintProgress(console, dispatched, image_total, SecondsSince(start), tally.m_errors);
    // Every record exists before any worker runs: the list never moves an element as it grows,
    // but the workers must not see it grow.
    ZR_List<ZR_AddPersonFRT> batch(batch_size);
    for (uint32_t i = 0; i < n; ++i) {
      batch.Add(ZR_AddPersonFRT());
      dispatched += people[k + i].m_images.m_count;
    }
    EnrollQueue queue(people, k, n, batch);
    stopped = !RunBatchQueue(workers, queue, Image_Dir, log, console);
    StoreAndLogBatch(gallery, batch, log, tally, Image_Dir);
    k += n;
  }
  // The workers are stopped for good after a failed wait; the people no batch reached are named
  // all the same, so that every image the run announced is stored or in an error line.
  FailPeopleNotRun(people, k, Image_Dir, log, tally);
  PrintProgress(console, dispatched, image_total, SecondsSince(start), tally.m_errors);
  console << std::endl;
  return dispatched;
}

void EnrollPeople(const ZR_String& Data_Dir, std::ostream& log, ZR_List<ZR_PersonList>& people,
                  ZR_LandmarkFitter& fitter, ZR_SQliteGallery& gallery, uint32_t image_total,
                  const ZR_String& Image_Dir, const ZR_String& stamp) {
  EnrollPeople(Data_Dir, log, people, fitter, gallery, image_total, Image_Dir, stamp, std::cout);
}

void EnrollPeople(const ZR_String& Data_Dir, std::ostream& log, ZR_List<ZR_PersonList>& people,
                  ZR_LandmarkFitter& fitter, ZR_SQliteGallery& gallery, uint32_t image_total,
                  const ZR_String& Image_Dir, const ZR_String& stamp, std::ostream& console) {
  int32_t cores = 0, logical = 0;
  uint64_t memory = 0;
  QuerySystemResources(cores, logical, memory);
  const uint32_t u = logical > 0 ? uint32_t(logical) : 1u;

  WorkerArray workers(u, console);
  log << "Enrolling " << image_total << " images, using " << u << " threads, "
      << ZR_PEOPLE_PER_THREAD << " people per thread " << std::endl;
  console << "Enrolling " << image_total << " images, using " << u << " threads, "
          << ZR_PEOPLE_PER_THREAD << " people per thread " << std::endl;
  // The models load on all workers at once; the texts still come in worker order and stop at the
  // first worker that failed, as if they had loaded one after the other.
  const std::vector<char> ready = InitWorkers(workers, Data_Dir, fitter, gallery);
  for (uint32_t i = 0; i < u; ++i) {
    if (ready[i] == 0) {
      workers.Delete();
      Say(log, console,
          ZR_String("Failed to initialize thread ") + ZR_String(int(i)) + " from " + Data_Dir);
      return;
    }
    Say(log, console, ZR_String("Initialized thread ") + ZR_String(int(i)) + " successfully ");
    workers[i].m_image_folder = Image_Dir;
    workers[i].m_budget = &ZR_PixelBudget::ForThisMachine();
  }

  const auto start = std::chrono::steady_clock::now();
  ZR_EnrolTally tally;
  const uint32_t dispatched = EnrollBatches(workers.All(), people, gallery, image_total, Image_Dir,
                                            start, log, console, tally);

  const float seconds = SecondsSince(start);
  const float rate = seconds > 0.0f ? static_cast<float>(dispatched) / seconds : 0.0f;
  PrintTotals(console, gallery, dispatched, tally.m_successes, seconds, rate);
  PrintTotals(log, gallery, dispatched, tally.m_successes, seconds, rate);

  if (tally.m_errors > 0) {
    console << tally.m_errors << " errors in total, see log file" << std::endl;
    log << tally.m_errors << " errors in total" << std::endl;
    console << "Copying image failures...please wait" << std::endl;
    CopyFailedImages(tally, Data_Dir + "/FR/FailedImages/" + stamp + "/");
  } else {
    console << "No enrollment errors" << std::endl;
    log << "No enrollment errors" << std::endl;
  }
  console << "Done" << std::endl;
  log << "Done" << std::endl;
}
