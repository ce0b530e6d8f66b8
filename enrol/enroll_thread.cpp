// enrol/enroll_thread.cpp: the enrolment worker's model loading and its per-image pipeline.
// Each image's steps are guarded: a step that throws fails that image with the step's message,
// so the person's remaining images still run; each image's outcome goes into a slot of its own,
// from which the person's record is assembled with its per-image lists aligned (template set j
// is image j's, which the gallery's template insert relies on).
#include "enrol/enroll_thread.h"

#include <cstdio>

#include "enrol/enroll_image_steps.h"
#include "enrol/pixel_budget.h"
#include "enrol/zr_sqlite_gallery.h"
#include "face/zr_landmark_fitter.h"

namespace {

// The search region and face sizes of every image: the whole picture, faces from a fifth of its
// height up.
const ZR_DetectionParams& SearchParams() {
  static const ZR_DetectionParams params = [] {
    ZR_DetectionParams p;
    p.m_top = 0.001f;
    p.m_left = 0.001f;
    p.m_height = 0.999f;
    p.m_width = 0.999f;
    p.m_min_face_height = 0.2f;
    p.m_max_face_height = 0.999f;
    p.m_flags = 1;
    return p;
  }();
  return params;
}

// Opens path "rb" and hands the stream to read; false when it does not open or read is false.
template <class Read>
bool ReadModelFile(const ZR_String& path, Read read) {
  FILE* f = std::fopen(path.m_text, "rb");
  if (f == nullptr) return false;
  bool ok = false;
  try {
    ok = read(f);
  } catch (...) {  // a reader that throws leaves the model unusable, like one that fails
    ok = false;
  }
  std::fclose(f);
  return ok;
}

}  // namespace

EnrollThread::EnrollThread() : m_fitter(nullptr), m_gallery(nullptr), m_queue(nullptr) {}

EnrollThread::EnrollThread(std::ostream& console)
    : ZR_Thread(console), m_fitter(nullptr), m_gallery(nullptr), m_queue(nullptr) {}

EnrollThread::~EnrollThread() {
  StopThread();
}

bool EnrollThread::Init(const ZR_String& Data_Dir, const ZR_LandmarkFitter& fitter,
                        const ZR_SQliteGallery& gallery) {
  m_fitter = &fitter;
  m_gallery = &gallery;
  return ReadModelFile(Data_Dir + "/Detectors.data",
                       [this](FILE* f) { return m_detectors.Read(f) != nullptr; }) &&
         ReadModelFile(Data_Dir + "/IsFace.data",
                       [this](FILE* f) { return m_isface.Read(f) != nullptr; });
}

void EnrollThread::DoWork() {
  if (m_queue == nullptr) return;
  EnrollQueue& queue = *m_queue;
  for (uint32_t item = queue.Claim(); item < queue.Items(); item = queue.Claim()) {
    EnrolImage(queue.PathOf(item), queue.SlotOf(item));
    queue.Finish(item);
  }
  // Out of images: what this worker kept would stay charged while it idles, where it can no
  // longer see a picture that waits for room.
  Memory().LetGo();
}

ZR_PixelBudget::Account& EnrollThread::Memory() {
  ZR_PixelBudget& budget = m_budget != nullptr ? *m_budget : ZR_PixelBudget::ForThisMachine();
  if (m_memory == nullptr || &m_memory->Budget() != &budget) {
    if (m_memory != nullptr) m_memory->LetGo();
    m_memory = std::make_unique<ZR_PixelBudget::Account>(budget);
  }
  return *m_memory;
}

void EnrollThread::EnrolImage(const ZR_String& path, ImageOutcome& out) {
  if (m_fitter == nullptr || m_gallery == nullptr) return;
  ZR_PixelBudget::Account& memory = Memory();
  {
    // The picture's share of the budget is taken once its header gives the size; the pixels go
    // when this image is finished, and the share stays charged as what the worker keeps.
    ZR_Image image;
    ZR_PixelBudget::Ticket admission(memory, &image);
    RunImageSteps(path, image, out);
  }
  memory.AtImageBoundary();
}

void EnrollThread::RunImageSteps(const ZR_String& path, ZR_Image& image, ImageOutcome& out) {
  const ZR_String name = GetRelativeImageName(path, m_image_folder);
  ZR_AnnoModel2D model;
  ZR_String fit_error;
  const char* step = "Failed to load";
  try {
    if (!image.Load(path.m_text)) {
      out.AddError(step, name, path);
      return;
    }
    step = " Failed to find face";
    if (!m_fitter->FindAndFit(m_detectors, image, SearchParams(), model, fit_error)) {
      out.AddError(fit_error.m_length > 1 ? fit_error.m_text : step, name, path);
      return;
    }
    step = "Failed compress";
    if (!MakeImageBlobs(image, model, out.m_blobs)) {
      out.AddError(step, name, path);
      return;
    }
  } catch (...) {  // ZR_ImageException, library exceptions: the step fails, the run goes on
    out.AddError(step, name, path);
    return;
  }
  out.m_enrolled = true;

  try {
    const ZR_Vector3D angles = m_isface.EstimatePose(model, image.GetSize());
    out.m_pose_length = PoseLength(angles.x, angles.y, angles.z);
    out.m_posed = true;
  } catch (...) {  // no pose: the image stays enrolled and is left out of the choice
  }

  FRpluginTemplateSet& set = out.m_templates;
  try {
    m_gallery->GenerateTemplates(&image, &model, set);
  } catch (...) {  // plug-in exceptions are caught inside; what was filled stays
  }
  const uint32_t n =
      set.m_status.m_count < set.m_names.m_count ? set.m_status.m_count : set.m_names.m_count;
  for (uint32_t k = 0; k < n; ++k) {
    if (set.m_status[k] != ZR_TEMPLATE_FAILED) continue;
    const ZR_String message = ZR_String("Failed template generation (") + set.m_names[k] + ")";
    out.AddError(message.m_text, name, path);
  }
}
