// enrol/pixel_budget.h: the workers' picture memory in one place: ZR_PixelBudget, the run's bound
// on the picture pixels its workers work on at once, the admission of each image's pictures, and
// the housekeeping after a picture too large to keep buffers for. A few KB of JPEG may declare
// 11000 x 12000 pixels, and a phone photo has 48 M: with one such picture per worker the run
// would need many GB. Pictures wait for room instead, in the order they asked; what is made of
// each picture does not change.
#ifndef ENROL_PIXEL_BUDGET_H
#define ENROL_PIXEL_BUDGET_H

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "image/pixel_admission.h"

class ZR_FaceDetectors;
class ZR_Image;
class ZR_LandmarkFitter;
struct ZR_DetectionParams;

// Bytes one picture pixel costs while a worker finds, fits and cuts the face: the RGBA picture,
// its grey copies and the detectors' scaled copies (measured: 2.0 GB for an 11000 x 12000 JPEG).
constexpr int64_t kZrWorkingBytesPerPixel = 16;

// ZR_PixelBudget: a count of pixels in flight against a capacity, shared by a number of workers.
//   Rule: pictures are let in in the order they asked, each when nothing is in flight (so one
//     picture always runs, however large) or when it fits beside what is; a picture that waits
//     holds back every later one, so a large picture is never overtaken for ever by small ones.
//     A worker that already holds pixels is never made to wait (its image goes on to the end and
//     gives them back), and one that waits holds none, so the run cannot deadlock.
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
  // What one worker may keep between images: the capacity over the workers, at least 1.
  int64_t FairShare() const { return m_fair_share; }
  int64_t InFlight();
  // The pictures that asked and are not let in yet.
  int64_t Waiting();

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
  const int64_t m_fair_share;
  std::mutex m_mutex;
  std::condition_variable m_room;
  int64_t m_in_flight = 0;
  // Turns in the order of asking: m_next_turn is handed to the next picture, m_serving is the
  // turn that may go in once it fits.
  uint64_t m_next_turn = 0;
  uint64_t m_serving = 0;
};

// The housekeeping after one image whose pictures took held pixels of budget. Within the worker's
// fair share nothing happens: the next image reuses the buffers this one left. Beyond it the
// worker lets go of what was sized to the picture, before the picture's share goes back: picture
// is emptied, the detectors drop their search buffers (a search of a small blank picture with
// fitter and params, which finds nothing) and the allocator's free memory goes back to the system
// (ZR_TrimFreeMemory). Without that, a worker would go on holding a large picture's search
// (measured: 0.5 GB per worker after an 11000 x 12000 picture). No later image's result depends
// on whether it ran.
void ZR_ReleaseMemoryAfterLargePicture(const ZR_PixelBudget& budget, int64_t held,
                                       ZR_Image& picture, const ZR_LandmarkFitter& fitter,
                                       ZR_FaceDetectors& detectors,
                                       const ZR_DetectionParams& params);

#endif  // ENROL_PIXEL_BUDGET_H
