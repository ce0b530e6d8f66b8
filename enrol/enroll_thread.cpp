// enrol/enroll_thread.cpp: the enrolment worker's model loading and its per-image pipeline.
// Each image's steps are guarded: a step that throws fails that image with the step's message,
// so the person's remaining images still run and the record's per-image lists stay aligned
// (template set j is image j's, which the gallery's template insert relies on).
#include "enrol/enroll_thread.h"

#include <cstdio>

#include "enrol/enroll_image_steps.h"
#include "enrol/pixel_budget.h"
#include "enrol/zr_sqlite_gallery.h"
#include "face/zr_landmark_fitter.h"

namespace {

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

// The detectors keep their buffers (scaled copies, integral images, feature pyramids) sized to
// the last picture they searched, so a worker would go on holding a large picture's search
// (measured: 0.5 GB per worker after an 11000 x 12000 picture). A search of a small blank
// picture sizes them down again. It finds nothing, and no search reads what an earlier one left
// (results do not depend on which worker, or after what, an image runs).
void ShedSearchBuffers(const ZR_LandmarkFitter& fitter, ZR_FaceDetectors& detectors,
                       const ZR_DetectionParams& params) {
  ZR_Image blank(240, 320);
  for (int32_t r = 0; r < blank.m_rows; ++r)
    for (int32_t c = 0; c < blank.m_cols; ++c) blank[r][c] = ZR_Colour{128, 128, 128, 255};
  ZR_AnnoModel2D model;
  ZR_String error;
  try {
    fitter.FindAndFit(detectors, blank, params, model, error);
  } catch (...) {  // only memory is at stake
  }
}

}  // namespace

EnrollThread::EnrollThread()
    : m_fitter(nullptr), m_gallery(nullptr), m_person(nullptr), m_result(nullptr),
      m_queue(nullptr) {}

EnrollThread::EnrollThread(std::ostream& console)
    : ZR_Thread(console),
      m_fitter(nullptr),
      m_gallery(nullptr),
      m_person(nullptr),
      m_result(nullptr),
      m_queue(nullptr) {}

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

bool EnrollThread::MakeImageBlobs(const ZR_Image& image, const ZR_AnnoModel2D& model) {
  return m_result != nullptr && AppendImageBlobs(image, model, *m_result);
}

void EnrollThread::AddError(const char* message, const ZR_String& name, const ZR_String& path) {
  EnrollError error;
  error.m_message = message;
  error.m_image = name;
  error.m_path = path;
  m_result->m_errors.Add(error);
}

void EnrollThread::DoWork() {
  if (m_queue == nullptr) {
    EnrolPerson();
    return;
  }
  EnrollQueue& queue = *m_queue;
  if (queue.people == nullptr || queue.records == nullptr) return;
  // Relaxed suffices: the claim only has to be unique; the inputs were published by runEvent
  // and the records are handed back through finEvent.
  for (uint32_t i = queue.next.fetch_add(1, std::memory_order_relaxed); i < queue.count;
       i = queue.next.fetch_add(1, std::memory_order_relaxed)) {
    m_person = &(*queue.people)[queue.first + i];
    m_result = &(*queue.records)[i];
    EnrolPerson();
  }
}

void EnrollThread::EnrolPerson() {
  if (m_person == nullptr || m_fitter == nullptr || m_gallery == nullptr || m_result == nullptr)
    return;
  ZR_AddPersonFRT& record = *m_result;
  record.m_thumbnails.Clear();
  record.m_face_jpegs.Clear();
  record.m_landmark_blobs.Clear();
  record.m_template_sets.Clear();
  record.m_best_image = -1;
  record.m_person_id = m_person->m_id;
  record.m_name = m_person->m_name;
  record.m_image_names = m_person->m_images;

  ZR_DetectionParams params;
  params.m_top = 0.001f;
  params.m_left = 0.001f;
  params.m_height = 0.999f;
  params.m_width = 0.999f;
  params.m_min_face_height = 0.2f;
  params.m_max_face_height = 0.999f;
  params.m_flags = 1;

  ZR_Image image;
  ZR_AnnoModel2D model;
  float best_length = 3.4028235e38f;
  for (uint32_t i = 0; i < m_person->m_images.m_count; ++i) {
    // The picture's share of the run's pixel budget is taken once its header gives the size and
    // given back, with the pixels, when this image is finished.
    ZR_PixelBudget::Ticket admission(ZR_PixelBudget::ForThisMachine(), &image);
    EnrolImage(i, params, image, model, best_length);
    if (admission.Held() >= kZrShedPixels) ShedSearchBuffers(*m_fitter, m_detectors, params);
  }
}

void EnrollThread::EnrolImage(uint32_t i, const ZR_DetectionParams& params, ZR_Image& image,
                              ZR_AnnoModel2D& model, float& best_length) {
  ZR_AddPersonFRT& record = *m_result;
  const ZR_String& path = m_person->m_images[i];
  const ZR_String name = GetRelativeImageName(path, m_image_folder);
  const char* step = "Failed to load";
  try {
    if (!image.Load(path.m_text)) {
      AddError(step, name, path);
      return;
    }
    step = " Failed to find face";
    if (!m_fitter->FindAndFit(m_detectors, image, params, model, m_fit_error)) {
      AddError(m_fit_error.m_length > 1 ? m_fit_error.m_text : step, name, path);
      return;
    }
    step = "Failed compress";
    if (!MakeImageBlobs(image, model)) {
      AddError(step, name, path);
      return;
    }
  } catch (...) {  // ZR_ImageException, library exceptions: the step fails, the run goes on
    AddError(step, name, path);
    return;
  }
  ++record.m_successes;

  try {
    const ZR_Vector3D angles = m_isface.EstimatePose(model, image.GetSize());
    ChooseMoreFrontal(PoseLength(angles.x, angles.y, angles.z),
                      int32_t(record.m_thumbnails.m_count) - 1, best_length, record.m_best_image);
  } catch (...) {  // no pose: the image stays enrolled and is left out of the choice
  }

  record.m_template_sets.Add(FRpluginTemplateSet());
  FRpluginTemplateSet& set = record.m_template_sets[record.m_template_sets.m_count - 1];
  try {
    m_gallery->GenerateTemplates(&image, &model, set);
  } catch (...) {  // plug-in exceptions are caught inside; what was filled stays
  }
  const uint32_t n =
      set.m_status.m_count < set.m_names.m_count ? set.m_status.m_count : set.m_names.m_count;
  for (uint32_t k = 0; k < n; ++k) {
    if (set.m_status[k] != ZR_TEMPLATE_FAILED) continue;
    const ZR_String message = ZR_String("Failed template generation (") + set.m_names[k] + ")";
    AddError(message.m_text, name, path);
  }
}
