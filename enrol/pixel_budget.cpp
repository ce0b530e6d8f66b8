// enrol/pixel_budget.cpp: the run's pixel budget, the workers' accounts of what they keep and the
// letting go of it. A standard mutex and condition variable guard the counters; the platform
// layer's events would add nothing here. Trimming runs outside the lock.
#include "enrol/pixel_budget.h"

#include <algorithm>

#include "core/zr_system_probe.h"
#include "image/zr_image.h"
#include "platform/zr_free_memory.h"

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kLeastBytes = 256 * kMiB;
constexpr uint64_t kMostBytes = 1024 * kMiB;

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

void ZR_PixelBudget::Add(int64_t pixels) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_in_flight += pixels;
}

bool ZR_PixelBudget::TryTake(int64_t extra, int64_t own, uint64_t& turn) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    turn = m_next_turn++;
    if (turn != m_serving || (m_in_flight != own && m_in_flight + extra > m_capacity))
      return false;
    ++m_serving;
    m_in_flight += extra;
  }
  m_room.notify_all();  // the next in line may fit beside this one
  return true;
}

void ZR_PixelBudget::TakeInTurn(uint64_t turn, int64_t pixels) {
  std::unique_lock<std::mutex> lock(m_mutex);
  // What workers keep counts as charged here too: they let it go at their next image boundary
  // while this picture waits, so waiting for nothing charged cannot wait for ever.
  m_room.wait(lock, [&] {
    return turn == m_serving && (m_in_flight == 0 || m_in_flight + pixels <= m_capacity);
  });
  ++m_serving;
  m_in_flight += pixels;
  lock.unlock();
  m_room.notify_all();
}

void ZR_PixelBudget::Give(int64_t pixels) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_in_flight -= pixels;
  }
  m_room.notify_all();
}

ZR_PixelBudget::Account::Account(ZR_PixelBudget& budget) : m_budget(budget) {}

ZR_PixelBudget::Account::~Account() {
  if (m_kept > 0) m_budget.Give(m_kept);
}

void ZR_PixelBudget::Account::LetGo() {
  m_last_held = 0;
  if (m_kept == 0) return;
  ZR_TrimFreeMemory();
  m_budget.Give(m_kept);
  m_kept = 0;
}

void ZR_PixelBudget::Account::AtImageBoundary() {
  if (m_last_held > m_budget.FairShare() || (m_kept > 0 && m_budget.Waiting() > 0)) LetGo();
}

ZR_PixelBudget::Ticket::Ticket(ZR_PixelBudget& budget, ZR_Image* image)
    : m_budget(budget), m_account(nullptr), m_image(image), m_scope(*this) {}

ZR_PixelBudget::Ticket::Ticket(Account& account, ZR_Image* image)
    : m_budget(account.m_budget), m_account(&account), m_image(image), m_scope(*this) {}

ZR_PixelBudget::Ticket::~Ticket() {
  if (m_image != nullptr) m_image->Resize(0, 0);  // the pixels go before their share does
  if (m_account == nullptr) {
    if (m_held > 0) m_budget.Give(m_held);
    return;
  }
  // The charge stays: the larger of what was kept and what this image held.
  m_account->m_kept = std::max(m_account->m_kept, m_held);
  m_account->m_last_held = m_held;
}

void ZR_PixelBudget::Ticket::Admit(int64_t pixels) {
  if (pixels <= 0) return;
  const int64_t kept = m_account != nullptr ? m_account->m_kept : 0;
  if (m_held > 0) {  // a holder never waits; it charges only what goes beyond its charge
    const int64_t extra = std::max(kept, m_held + pixels) - std::max(kept, m_held);
    m_held += pixels;
    if (extra > 0) m_budget.Add(extra);
    return;
  }
  m_held = pixels;
  if (pixels <= kept) return;  // within what the worker keeps, already charged
  uint64_t turn = 0;
  if (m_budget.TryTake(pixels - kept, kept, turn)) return;
  // The picture must wait: what the worker keeps goes first, and the picture asks in full.
  if (m_account != nullptr) m_account->LetGo();
  m_budget.TakeInTurn(turn, pixels);
}
