// enrol/enroll_thread.h: EnrollThread, the enrolment worker: its own detector and IsFace models,
// and one person per job run through the per-image pipeline (load, find and fit, the three blobs,
// head pose, templates). Every failure becomes an EnrollError in the job's record; nothing is
// printed, and no exception leaves an image's pipeline.
#ifndef ENROL_ENROLL_THREAD_H
#define ENROL_ENROLL_THREAD_H

#include <atomic>
#include <cstdint>
#include <ostream>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_string.h"
#include "core/zr_thread.h"
#include "enrol/zr_add_person_frt.h"
#include "enrol/zr_person_list.h"
#include "face/zr_face_detectors.h"
#include "face/zr_isface_model.h"
#include "image/zr_image.h"

class ZR_LandmarkFitter;
class ZR_SQliteGallery;

// EnrollQueue: the people of one batch, shared by every worker given it. Record i belongs to
//   people[first + i], for i < count; a worker claims the next unstarted i from next, so an idle
//   worker goes on with the batch instead of waiting for the slowest person of a turn.
//   Threads: the driver fills it before signalling the workers' runEvents and leaves it alone
//   until their finEvents; workers touch only next and the records they claimed.
struct EnrollQueue {
  const ZR_List<ZR_PersonList>* people = nullptr;
  uint32_t first = 0;
  ZR_List<ZR_AddPersonFRT>* records = nullptr;
  uint32_t count = 0;
  std::atomic<uint32_t> next{0};
};

// EnrollThread: a ZR_Thread whose job is one person.
//   Empty: models unread, every pointer null, both texts empty (the thread idles).
//   Members after the base: the detectors and the IsFace model (owned, read by Init), the shared
//     landmark fitter and gallery (not owned; only the gallery's plug-in list is used), the job's
//     person and result record (set by the driver before each job, or taken from the queue;
//     not owned), the batch's queue (null for a one-person job; not owned), the last
//     find-and-fit error text, and the image folder (set by the driver after Init).
//   Threads: the driver writes the job's inputs before signalling runEvent and reads the record
//     after finEvent; the worker writes only its record and its own members, reads the shared
//     fitter and plug-in list, and calls the thread-safe plug-ins at the same time as the others.
//   Failure: Init returns false; a job records failures in its record.
class EnrollThread : public ZR_Thread {
 public:
  ZR_FaceDetectors m_detectors;
  ZR_IsFaceModel m_isface;
  const ZR_LandmarkFitter* m_fitter;
  const ZR_SQliteGallery* m_gallery;
  const ZR_PersonList* m_person;
  ZR_AddPersonFRT* m_result;
  EnrollQueue* m_queue;
  ZR_String m_fit_error;
  ZR_String m_image_folder;

  // The thread's construction failures go to console (standard output by default).
  EnrollThread();
  explicit EnrollThread(std::ostream& console);
  // Stops the thread first (after the job that runs, if any), then frees the models.
  ~EnrollThread() override;

  // Keeps the fitter and the gallery and reads Data_Dir + "/Detectors.data" and Data_Dir +
  // "/IsFace.data" ("rb") into the worker's own models. False when a file does not open or does
  // not read; the worker must then not be given a job. Before the first job, on any one thread
  // (workers may initialise at the same time: they share nothing but the read-only arguments).
  bool Init(const ZR_String& Data_Dir, const ZR_LandmarkFitter& fitter,
            const ZR_SQliteGallery& gallery);

  // One job: with a queue, enrols the queue's people one after the other until none is left
  // unclaimed; without one, the single person into the result record. Each person is
  // EnrolPerson's.
  void DoWork() override;

  // Fills the result record from the person (nothing when an input is missing). Per
  // image, the first failing step gives its error: "Failed to load", the find-and-fit text
  // (" Failed to find face" / " Failed to fit to face"), "Failed compress"; an exception in a
  // step counts as that step's failure. An enrolled image gets its blobs, a place in the
  // best-image choice (left out when its pose cannot be estimated) and its template set, with
  // "Failed template generation (" + plug-in + ")" per plug-in that failed.
  void EnrolPerson();

  // Appends the image's three blobs to the result record, all or nothing (AppendImageBlobs).
  bool MakeImageBlobs(const ZR_Image& image, const ZR_AnnoModel2D& model);

 private:
  void EnrolImage(uint32_t i, const ZR_DetectionParams& params, ZR_Image& image,
                  ZR_AnnoModel2D& model, float& best_length);
  void AddError(const char* message, const ZR_String& name, const ZR_String& path);
};

#endif  // ENROL_ENROLL_THREAD_H
