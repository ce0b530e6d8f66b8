// enrol/enroll_people.h: the enrolment driver on the main thread: one worker per logical
// processor, people handed out in batches of 12 per worker, each batch stored in the gallery as
// one unit and logged, then the totals and the copies of the failed images.
#ifndef ENROL_ENROLL_PEOPLE_H
#define ENROL_ENROLL_PEOPLE_H

#include <chrono>
#include <cstdint>
#include <ostream>

#include "core/zr_array.h"
#include "core/zr_list.h"
#include "core/zr_string.h"
#include "enrol/zr_add_person_frt.h"
#include "enrol/zr_person_list.h"
#include "platform/zr_event.h"

class EnrollQueue;
class EnrollThread;
class ZR_LandmarkFitter;
class ZR_SQliteGallery;

// People handed to each worker per batch.
constexpr uint32_t ZR_PEOPLE_PER_THREAD = 12;

// Enrols every person of people: one EnrollThread per logical processor of the process (at least
// 1), each initialised from Data_Dir; a worker that does not start or initialise ends the run
// before any image ("Failed to initialize thread " + i + " from " + Data_Dir). Log and console
// get the texts of the run; the gallery gets the people, images and templates batch by batch; the
// failed images are copied from their full paths to Data_Dir + "/FR/FailedImages/" + stamp + "/"
// + message + "/". Everything is owned by the caller; the workers are gone on return.
// Scheduling differs from a deal of 12 lockstep turns per batch, and only in timing:
//  - the workers load their models at the same time (start-up no longer grows with their
//    number); the "Initialized thread" lines still come in worker order, up to the first failure;
//  - within a batch every worker claims the next unstarted image (every image of every person,
//    in person order then image order) from the batch's EnrollQueue, and the driver waits once
//    per batch. Claiming whole people would still end a batch no sooner than its largest
//    person's images on one worker, which caps the gain of many workers on folders whose people
//    have unequal numbers of photos. Each image's outcome has a slot of its own and no image's
//    work depends on another's; each person's record is assembled from its slots in image order
//    (by the worker finishing its last image), so it is exactly what one worker going through
//    the person makes. The batch, its records in person order, its one store, every text and
//    the points where the progress line is printed are those of the turn-by-turn deal; which
//    worker enrols which image is not observable.
void EnrollPeople(const ZR_String& Data_Dir, std::ostream& log, ZR_List<ZR_PersonList>& people,
                  ZR_LandmarkFitter& fitter, ZR_SQliteGallery& gallery, uint32_t image_total,
                  const ZR_String& Image_Dir, const ZR_String& stamp);
void EnrollPeople(const ZR_String& Data_Dir, std::ostream& log, ZR_List<ZR_PersonList>& people,
                  ZR_LandmarkFitter& fitter, ZR_SQliteGallery& gallery, uint32_t image_total,
                  const ZR_String& Image_Dir, const ZR_String& stamp, std::ostream& console);

// Waits without limit until the finished events of workers[0..n-1] are all signalled, consuming
// them. Nothing for n = 0. False when a wait fails (a missing event), the reason then in
// ZR_GetLastError(); the workers are then not known to be idle.
bool WaitForRound(const ZR_Array<EnrollThread*>& workers, uint32_t n);

// Runs one batch: hands queue to its first min(queue.Items(), workers) workers and waits for
// them to finish it. True when the wait succeeded. When it fails (a missing event; only a fault of
// the driver), every worker is stopped for good, each image that no worker claimed is failed
// with "Failed to enroll (wait failed)" (logged and copied like any failed image), log then
// console get "WaitForRound() Error! wait failed with error " + the reason, and false. Either way
// every record of the queue is complete and no worker holds the queue on return.
bool RunBatchQueue(const ZR_Array<EnrollThread*>& workers, EnrollQueue& queue,
                   const ZR_String& Image_Dir, std::ostream& log, std::ostream& console);

// Waits for all of handles[0..n-1] in waits of at most ZR_MAXIMUM_WAIT_OBJECTS handles, which
// is right because an automatic event stays signalled until a wait consumes it. True at once for
// n = 0; false at the first failed wait.
bool WaitForAllEvents(const ZR_EventHandle* handles, uint32_t n);

// The progress line, console only, ended by a carriage return and flushed:
// "0|" + total + ") " + errors + " errors    \r" before anything is done, else done + "|" + total +
// ") " + errors + " errors " + rate (1 decimal) + " ims/sec " + percent (2 decimals) + "% done " +
// FormatHoursMinutes(remaining seconds) + " remain  \r", in single precision, truncated.
void PrintProgress(std::ostream& console, uint32_t done, uint32_t total, float seconds,
                   uint32_t errors);

// "%d hrs " + minutes (2 decimals, truncated) + " min"; hours are split off only above 60
// minutes: 125 s "0 hrs 2.08 min", 3600 s "0 hrs 60.00 min", 7300 s "2 hrs 1.66 min".
ZR_String FormatHoursMinutes(float seconds);

// The gallery counts, one line each: people, images, then the templates of every plug-in in list
// order. Returns stream.
std::ostream& PrintGallerySummary(std::ostream& stream, ZR_SQliteGallery& gallery);

// A copy of path in which every '/' and '\' but a first character becomes '_':
// "/pics/00001_fa.jpg" gives "/pics_00001_fa.jpg".
ZR_String FlattenPath(const ZR_String& path);

// ZR_EnrolTally: the running counts of one enrolment and its failures grouped by message.
//   Empty: counts 0, no group. m_messages holds each distinct message once, in order of first
//   appearance; m_failures[g] the failures of m_messages[g] in logging order.
class ZR_EnrolTally {
 public:
  uint32_t m_errors = 0;     // failure lines written to the log
  uint32_t m_successes = 0;  // images enrolled in stored batches
  ZR_List<ZR_String> m_messages;
  ZR_List<ZR_List<EnrollError>> m_failures;

  // Files the failure under its message, opening a group for a new one.
  void AddFailure(const EnrollError& failure);
  // Logs the failure as message + ": " + relative name, counts it and files it.
  void LogFailure(std::ostream& log, const EnrollError& failure);
};

// Writes one finished batch into the gallery as one transaction: people, then images when the
// people went in, then each plug-in's templates when both did, then the commit. A template table
// that refuses its rows logs "AddToFRTable Failed (" + name + ")" (+ ": " + the gallery's text),
// uncounted, and keeps the batch without that table's rows. Then logs the batch record by record:
// stored, every error as message + ": " + relative name (counted, filed for copying), then for
// each refused table in plug-in order, each enrolled image whose template was to go into it, in
// image order, as "Failed to store template (" + name + ")" in the same way (the image stays
// enrolled; its name relative to image_folder, the whole path when that is empty), and the
// successes added; not stored, every image path + " Gallery Failed AddToPeopleTable Failed"
// (begin or people failed) or "... AddToImagesTable Failed" (images or commit failed), each
// counted as an error.
void StoreAndLogBatch(ZR_SQliteGallery& gallery, ZR_List<ZR_AddPersonFRT>& batch, std::ostream& log,
                      ZR_EnrolTally& tally, const ZR_String& image_folder = ZR_String());

// The batch loop of EnrollPeople on workers (at least one, each initialised and given Image_Dir):
// people in list order, ZR_PEOPLE_PER_THREAD per worker per batch, the progress line before each
// batch (its elapsed time since start) and once after the last, ended by a line feed; each batch
// run by RunBatchQueue, then stored and logged by StoreAndLogBatch into tally. After a failed wait
// no further batch runs: every image of each later person is logged, in person order, as
// "Failed to enroll (wait failed): " + its name relative to Image_Dir, counted and filed for
// copying, so that every image of people is stored or named in an error line. Returns the number
// of images handed to the workers (those of the people of the batches run).
uint32_t EnrollBatches(const ZR_Array<EnrollThread*>& workers, const ZR_List<ZR_PersonList>& people,
                       ZR_SQliteGallery& gallery, uint32_t image_total, const ZR_String& Image_Dir,
                       std::chrono::steady_clock::time_point start, std::ostream& log,
                       std::ostream& console, ZR_EnrolTally& tally);

// Copies every filed failure from its full path to copy_folder + message + "/" +
// FlattenPath(relative name) without a leading '/', creating each message folder; copy_folder
// ends in '/'. A copy that fails is passed over; a target that exists is replaced.
void CopyFailedImages(const ZR_EnrolTally& tally, const ZR_String& copy_folder);

#endif  // ENROL_ENROLL_PEOPLE_H
