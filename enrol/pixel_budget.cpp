// enrol/pixel_budget.cpp: the run's pixel budget. A standard mutex and condition variable guard
// one counter; the platform layer's events would add nothing here.
#include "enrol/pixel_budget.h"

#include <algorithm>

#include "core/zr_system_probe.h"
#include "image/zr_image.h"
#include "platform/zr_free_memory.h"

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kLeastBytes = 256 * kMiB;
constexpr uint64_t kMostBytes = 1024 * kMiB;
// Blocks from this size up (a 512 x 512 RGBA picture) are mapped apart and unmapped when freed.
constexpr size_t kLargeBlockBytes = size_t{1} << 20;

}  // namespace

ZR_PixelBudget::ZR_PixelBudget(int64_t capacity) : m_capacity(std::max<int64_t>(capacity, 1)) {}

int64_t ZR_PixelBudget::CapacityForMemory(uint64_t total_memory) {
  const uint64_t bytes = std::min(std::max(total_memory / 8, kLeastBytes), kMostBytes);
  return int64_t(bytes) / kZrWorkingBytesPerPixel;
}

ZR_PixelBudget& ZR_PixelBudget::ForThisMachine() {
  // One budget for the whole process: every worker's pictures share the machine's memory. What
  // a picture's search frees must really go back, or each worker's allocator pool would keep
  // its largest picture's working set (measured: 0.6 GB per worker after one 11000 x 12000).
  static ZR_PixelBudget budget([] {
    ZR_ReturnLargeBlocksOnFree(kLargeBlockBytes);
    int32_t cores = 0, logical = 0;
    uint64_t memory = 0;
    QuerySystemResources(cores, logical, memory);
    return CapacityForMemory(memory);
  }());
  return budget;
}

int64_t ZR_PixelBudget::InFlight() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_in_flight;
}

void ZR_PixelBudget::Take(int64_t pixels, bool holding) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!holding)
    m_room.wait(lock, [&] { return m_in_flight == 0 || m_in_flight + pixels <= m_capacity; });
  m_in_flight += pixels;
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
