// enrol/pixel_budget.h: the workers' picture memory in one place: ZR_PixelBudget, the run's bound
// on the picture pixels its workers work on at once and on what they keep between pictures, the
// admission of each image's pictures, and the letting go of what a worker keeps. A few KB of JPEG
// may declare 11000 x 12000 pixels, and a phone photo has 48 M: with one such picture per worker
// the run would need many GB. Pictures wait for room instead, in the order they asked; what is
// made of each picture does not change.
#ifndef ENROL_PIXEL_BUDGET_H
#define ENROL_PIXEL_BUDGET_H

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "image/pixel_admission.h"

class ZR_Image;

// Bytes one picture pixel costs while a worker finds, fits and cuts the face: the RGBA picture,
// its grey copies and the detectors' scaled copies (measured: 2.0 GB for an 11000 x 12000 JPEG).
constexpr int64_t kZrWorkingBytesPerPixel = 16;

// ZR_PixelBudget: a count of charged pixels against a capacity, shared by a number of workers.
//   Charged: the pictures in flight, and what each worker keeps between images (its Account):
//     after a picture a worker keeps its buffers for the next one, sized to the largest picture
//     since it last let go, and that stays charged until it lets go.
//   Rule: pictures are let in in the order they asked, each when it fits beside what is charged
//     or when nothing at all is charged (so one picture always runs, however large); a picture
//     that waits holds back every later one, so a large picture is never overtaken for ever by
//     small ones. A worker that already holds pixels is never made to wait (its image goes on to
//     the end), a worker lets go of what it keeps before it waits, and every worker that keeps
//     memory while a picture waits lets it go at its next image boundary or at the end of its
//     job, so the charge drains and the run cannot deadlock.
//   Threads: every operation is safe from all workers at once.
class ZR_PixelBudget {
 public:
  // capacity below 1 counts as 1, workers below 1 as 1.
  explicit ZR_PixelBudget(int64_t capacity, int32_t workers = 1);
  ZR_PixelBudget(const ZR_PixelBudget&) = delete;
  ZR_PixelBudget& operator=(const ZR_PixelBudget&) = delete;

  // The capacity for a machine of total_memory bytes (0: unknown): an eighth of the memory for
  // pictures, at least 256 MiB and at most 1 GiB, at kZrWorkingBytesPerPixel. So 64 M pixels
  // (five 12-megapixel photos at once) from 8 GiB up, 16 M pixels on a small or unknown machine.
  static int64_t CapacityForMemory(uint64_t total_memory);
  // The process's budget, made on first use with CapacityForMemory of the machine's memory and
  // one worker per logical processor; it changes nothing in the process.
  static ZR_PixelBudget& ForThisMachine();

  int64_t Capacity() const { return m_capacity; }
  // What one worker may keep between images without letting go: the capacity over the workers,
  // at least 1.
  int64_t FairShare() const { return m_fair_share; }
  // The pixels charged: pictures in flight and what workers keep.
  int64_t InFlight();
  // The pictures that asked and are not let in yet.
  int64_t Waiting();

  // Account: what one worker keeps between its images, charged against the budget.
  //   Empty: keeps nothing, charges nothing.
  //   Kept: the largest picture (all pixels one image held) since the last LetGo; while an image
  //     is in work the worker's charge is the larger of that and what the image holds.
  //   Letting go: the C library's free memory back to the system (ZR_TrimFreeMemory, process-wide:
  //     the other workers' charges stay), then the charge back. The detectors keep nothing sized
  //     to a picture for it to shed: the HOG search frees its feature pyramid after every search,
  //     and the cascades' buffers only ever grow (a search of a small picture never shrank them).
  //   Threads: lives on its worker's thread.
  class Account {
   public:
    explicit Account(ZR_PixelBudget& budget);
    Account(const Account&) = delete;
    Account& operator=(const Account&) = delete;
    // Gives the charge back: what the worker kept goes with it.
    ~Account();

    ZR_PixelBudget& Budget() const { return m_budget; }
    int64_t Kept() const { return m_kept; }
    // Lets go of what the worker keeps; nothing when it keeps nothing.
    void LetGo();
    // Between two images: lets go when the last image held more than the fair share (the
    // worker's pool would otherwise go on holding that picture's working memory) or when a
    // picture waits for room. Otherwise the next image reuses the memory this one left.
    void AtImageBoundary();

   private:
    friend class ZR_PixelBudget;
    ZR_PixelBudget& m_budget;
    int64_t m_kept = 0;
    int64_t m_last_held = 0;  // what the last image held
  };

  // One image's hold on a budget: set as the calling thread's pixel admission while it lives, it
  // takes the pixels of every picture that thread's readers decode (waiting for room only for
  // the first) and, when destroyed, empties the image it was given. Without an account the
  // pixels go back then; with one they stay charged as what the worker keeps, and a first picture
  // no larger than that is let in at once, while a larger one asks in turn for the excess (and
  // when it has to wait, the account lets go first). Lives on one thread.
  class Ticket : public ZR_PixelAdmission {
   public:
    explicit Ticket(ZR_PixelBudget& budget, ZR_Image* image = nullptr);
    Ticket(Account& account, ZR_Image* image);
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;
    ~Ticket() override;
    void Admit(int64_t pixels) override;
    // The pixels taken so far.
    int64_t Held() const { return m_held; }

   private:
    ZR_PixelBudget& m_budget;
    Account* m_account;
    ZR_Image* m_image;
    int64_t m_held = 0;
    ZR_ScopedPixelAdmission m_scope;
  };

 private:
  // Charges pixels at once, beside whatever is charged: a holder's further picture.
  void Add(int64_t pixels);
  // Takes a turn and charges extra if the turn is first and extra fits beside what is charged,
  // or own is all that is charged; true then. Else keeps the turn for TakeInTurn and is false.
  bool TryTake(int64_t extra, int64_t own, uint64_t& turn);
  // Waits for turn to come and for room (see the rule above), then charges pixels.
  void TakeInTurn(uint64_t turn, int64_t pixels);
  void Give(int64_t pixels);

  const int64_t m_capacity;
  const int64_t m_fair_share;
  std::mutex m_mutex;
  std::condition_variable m_room;
  int64_t m_in_flight = 0;
  // Turns in the order of asking: m_next_turn is handed to the next picture, m_serving is the
  // turn that may go in once it fits.
  uint64_t m_next_turn = 0;
  uint64_t m_serving = 0;
};

#endif  // ENROL_PIXEL_BUDGET_H
