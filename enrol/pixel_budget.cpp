// enrol/pixel_budget.cpp: the run's pixel budget and the housekeeping after a large picture. A
// standard mutex and condition variable guard the counters; the platform layer's events would
// add nothing here.
#include "enrol/pixel_budget.h"

#include <algorithm>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_string.h"
#include "core/zr_system_probe.h"
#include "face/zr_face_detectors.h"
#include "face/zr_landmark_fitter.h"
#include "image/zr_image.h"
#include "platform/zr_free_memory.h"

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kLeastBytes = 256 * kMiB;
constexpr uint64_t kMostBytes = 1024 * kMiB;

// The detectors keep their buffers (scaled copies, integral images, feature pyramids) sized to
// the last picture they searched; a search of a small blank picture sizes them down again. No
// search reads what an earlier one left, so results do not depend on it.
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

ZR_PixelBudget::ZR_PixelBudget(int64_t capacity, int32_t workers)
    : m_capacity(std::max<int64_t>(capacity, 1)),
      m_fair_share(std::max<int64_t>(m_capacity / std::max<int32_t>(workers, 1), 1)) {}

int64_t ZR_PixelBudget::CapacityForMemory(uint64_t total_memory) {
  const uint64_t bytes = std::min(std::max(total_memory / 8, kLeastBytes), kMostBytes);
  return int64_t(bytes) / kZrWorkingBytesPerPixel;
}

ZR_PixelBudget& ZR_PixelBudget::ForThisMachine() {
  // One budget for the whole process: every worker's pictures share the machine's memory, and
  // the run has one worker per logical processor.
  static ZR_PixelBudget budget = [] {
    int32_t cores = 0, logical = 0;
    uint64_t memory = 0;
    QuerySystemResources(cores, logical, memory);
    return ZR_PixelBudget(CapacityForMemory(memory), logical);
  }();
  return budget;
}

int64_t ZR_PixelBudget::InFlight() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_in_flight;
}

int64_t ZR_PixelBudget::Waiting() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return int64_t(m_next_turn - m_serving);
}

void ZR_PixelBudget::Take(int64_t pixels, bool holding) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (holding) {
    m_in_flight += pixels;
    return;
  }
  const uint64_t turn = m_next_turn++;
  m_room.wait(lock, [&] {
    return turn == m_serving && (m_in_flight == 0 || m_in_flight + pixels <= m_capacity);
  });
  ++m_serving;
  m_in_flight += pixels;
  lock.unlock();
  m_room.notify_all();  // the next in line may fit beside this one
}

void ZR_PixelBudget::Give(int64_t pixels) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_in_flight -= pixels;
  }
  m_room.notify_all();
}

ZR_PixelBudget::Ticket::Ticket(ZR_PixelBudget& budget, ZR_Image* image)
    : m_budget(budget), m_image(image), m_scope(*this) {}

ZR_PixelBudget::Ticket::~Ticket() {
  if (m_image != nullptr) m_image->Resize(0, 0);  // the pixels go before their share does
  if (m_held > 0) m_budget.Give(m_held);
}

void ZR_PixelBudget::Ticket::Admit(int64_t pixels) {
  if (pixels <= 0) return;
  m_budget.Take(pixels, m_held > 0);
  m_held += pixels;
}

void ZR_ReleaseMemoryAfterLargePicture(const ZR_PixelBudget& budget, int64_t held,
                                       ZR_Image& picture, const ZR_LandmarkFitter& fitter,
                                       ZR_FaceDetectors& detectors,
                                       const ZR_DetectionParams& params) {
  if (held <= budget.FairShare()) return;
  picture.Resize(0, 0);
  ShedSearchBuffers(fitter, detectors, params);
  ZR_TrimFreeMemory();
}
