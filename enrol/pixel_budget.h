// enrol/pixel_budget.h: ZR_PixelBudget, the run's bound on the picture pixels its workers work on
// at once. A few KB of JPEG may declare 11000 x 12000 pixels, and a phone photo has 48 M: with
// one such picture per worker the run would need many GB. Pictures wait for room instead, large
// ones for each other while small ones go on; what is made of each picture does not change.
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

// From this many pixels up (a 2000 x 2000 photo) a worker has its detectors drop the buffers
// sized to the picture once it is finished; below, the next picture's search reuses them.
constexpr int64_t kZrShedPixels = int64_t{4} << 20;

// ZR_PixelBudget: a count of pixels in flight against a capacity.
//   Rule: a picture is let in when nothing is in flight (so one picture always runs, however
//     large) or when it fits beside what is; a worker that already holds pixels is never made to
//     wait (its image goes on to the end and gives them back), so no worker waits on one that
//     waits, and the run cannot deadlock.
//   Threads: every operation is safe from all workers at once.
class ZR_PixelBudget {
 public:
  // capacity below 1 counts as 1.
  explicit ZR_PixelBudget(int64_t capacity);
  ZR_PixelBudget(const ZR_PixelBudget&) = delete;
  ZR_PixelBudget& operator=(const ZR_PixelBudget&) = delete;

  // The capacity for a machine of total_memory bytes (0: unknown): an eighth of the memory for
  // pictures, at least 256 MiB and at most 1 GiB, at kZrWorkingBytesPerPixel. So 64 M pixels
  // (five 12-megapixel photos at once) from 8 GiB up, 16 M pixels on a small or unknown machine.
  static int64_t CapacityForMemory(uint64_t total_memory);
  // The process's budget, made on first use with CapacityForMemory of the machine's memory; that
  // first use also makes freed blocks from 1 MiB up go back to the system
  // (ZR_ReturnLargeBlocksOnFree), so that a finished picture's memory is free for the next.
  static ZR_PixelBudget& ForThisMachine();

  int64_t Capacity() const { return m_capacity; }
  int64_t InFlight();

  // One image's hold on a budget: set as the calling thread's pixel admission while it lives, it
  // takes the pixels of every picture that thread's readers decode (waiting for room only for
  // the first) and gives them back when destroyed, after emptying the image it was given (so an
  // idle worker keeps no large picture). Lives on one thread.
  class Ticket : public ZR_PixelAdmission {
   public:
    explicit Ticket(ZR_PixelBudget& budget, ZR_Image* image = nullptr);
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;
    ~Ticket() override;
    void Admit(int64_t pixels) override;
    // The pixels taken so far.
    int64_t Held() const { return m_held; }

   private:
    ZR_PixelBudget& m_budget;
    ZR_Image* m_image;
    int64_t m_held = 0;
    ZR_ScopedPixelAdmission m_scope;
  };

 private:
  // Adds pixels to the count, first waiting for room unless the caller already holds some.
  void Take(int64_t pixels, bool holding);
  void Give(int64_t pixels);

  const int64_t m_capacity;
  std::mutex m_mutex;
  std::condition_variable m_room;
  int64_t m_in_flight = 0;
};

#endif  // ENROL_PIXEL_BUDGET_H
