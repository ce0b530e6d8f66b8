// enrol/enroll_thread.h: EnrollThread, the enrolment worker: its own detector and IsFace models,
// and a job of the images of a batch's shared queue, each image run through the per-image
// pipeline (load, find and fit, the three blobs, head pose, templates). Every failure becomes an
// EnrollError in the image's outcome; nothing is printed, and no exception leaves an image's
// pipeline.
#ifndef ENROL_ENROLL_THREAD_H
#define ENROL_ENROLL_THREAD_H

#include <cstdint>
#include <memory>
#include <ostream>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_string.h"
#include "core/zr_thread.h"
#include "enrol/enroll_queue.h"
#include "enrol/pixel_budget.h"
#include "face/zr_face_detectors.h"
#include "face/zr_isface_model.h"
#include "image/zr_image.h"

class ZR_LandmarkFitter;
class ZR_SQliteGallery;

// EnrollThread: a ZR_Thread whose job is the images of a batch's queue.
//   Empty: models unread, every pointer null, both texts empty (the thread idles).
//   Members after the base: the detectors and the IsFace model (owned, read by Init), the shared
//     landmark fitter and gallery (not owned; only the gallery's plug-in list is used), the
//     batch's queue (set by the driver before each job; not owned), the image folder (set by
//     the driver after Init) and the pixel budget its pictures take from (not owned; null: the
//     process's, ZR_PixelBudget::ForThisMachine). No image's work depends on an earlier one's:
//     each image gets its own image object, landmark model and error text.
//   Memory: what the worker keeps from one image for the next is charged to the budget through
//     its account, which lets go when the budget says so between images and at the end of every
//     job (an idle worker keeps nothing).
//   Threads: the driver writes the job's inputs before signalling runEvent and reads the records
//     after finEvent; the worker writes only the queue's slots it claimed, the records it
//     assembles and its own members, reads the shared fitter and plug-in list, and calls the
//     thread-safe plug-ins at the same time as the others.
//   Failure: Init returns false; a job records failures in the images' outcomes.
class EnrollThread : public ZR_Thread {
 public:
  ZR_FaceDetectors m_detectors;
  ZR_IsFaceModel m_isface;
  const ZR_LandmarkFitter* m_fitter;
  const ZR_SQliteGallery* m_gallery;
  EnrollQueue* m_queue;
  ZR_String m_image_folder;
  ZR_PixelBudget* m_budget = nullptr;

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

  // One job: enrols the queue's images one after the other until none is left unclaimed
  // (EnrolImage), finishing each in the queue, then lets go of what it kept. Nothing without a
  // queue.
  void DoWork() override;

  // Enrols the image at path into out (nothing when the fitter or gallery is missing). The
  // first failing step gives its error: "Failed to load", the find-and-fit text
  // (" Failed to find face" / " Failed to fit to face"), "Failed compress"; an exception in a
  // step counts as that step's failure. An enrolled image gets its blobs, a place in the
  // best-image choice (left out when its pose cannot be estimated) and its template set, with
  // "Failed template generation (" + plug-in + ")" per plug-in that failed. Afterwards the
  // worker keeps its buffers for the next image, or lets them go (Account::AtImageBoundary).
  void EnrolImage(const ZR_String& path, ImageOutcome& out);

 private:
  // EnrolImage's steps on the picture loaded into image, under the image's pixel-budget ticket.
  void RunImageSteps(const ZR_String& path, ZR_Image& image, ImageOutcome& out);
  // The account with the budget in force, made anew when the budget changed.
  ZR_PixelBudget::Account& Memory();

  std::unique_ptr<ZR_PixelBudget::Account> m_memory;
};

#endif  // ENROL_ENROLL_THREAD_H
