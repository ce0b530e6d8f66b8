// tests/enrol/pixel_budget_test.cpp: the run's pixel budget: its capacity from the machine's
// memory and its fair share per worker, pictures let in in the order they asked, one picture
// always let in, a holder never made to wait, a ticket taking a real reader's picture and giving
// it back, and the release of a picture beyond the fair share.
#include "enrol/pixel_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "face/zr_face_detectors.h"
#include "face/zr_landmark_fitter.h"
#include "image/zr_image.h"
#include "tests/support/zr_temp_folder.h"

namespace {

TEST(PixelBudget, CapacityFollowsTheMachinesMemory) {
  const uint64_t GiB = uint64_t{1} << 30;
  const struct {
    uint64_t memory;
    int64_t pixels;
  } cases[] = {
      {0, 16 << 20},          // unknown: the least
      {1 * GiB, 16 << 20},    // an eighth is below the least
      {4 * GiB, 32 << 20},    // an eighth
      {8 * GiB, 64 << 20},    // an eighth, the most
      {512 * GiB, 64 << 20},  // the most
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.pixels, ZR_PixelBudget::CapacityForMemory(c.memory)) << c.memory;
  EXPECT_GE(ZR_PixelBudget::ForThisMachine().Capacity(), 16 << 20);
}

// Waits (a bounded while) until done is set; false when it never was.
bool Eventually(const std::atomic<bool>& done) {
  for (int i = 0; i < 2000 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return done;
}

// A holder is never made to wait (a second picture of the same image, a plug-in's decode), even
// past the capacity, so no worker can wait on one that waits.
TEST(PixelBudget, AHolderIsNeverMadeToWait) {
  ZR_PixelBudget budget(100);
  {
    ZR_PixelBudget::Ticket ticket(budget);
    ticket.Admit(80);
    ticket.Admit(50);
    EXPECT_EQ(130, budget.InFlight());
  }
  EXPECT_EQ(0, budget.InFlight());
}

// Waits (a bounded while) until the budget has n pictures waiting; false when it never had.
bool EventuallyWaiting(ZR_PixelBudget& budget, int64_t n) {
  for (int i = 0; i < 2000 && budget.Waiting() != n; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return budget.Waiting() == n;
}

// Threads that each hold pixels of a budget until released. All are released before any is
// joined, first to last, so that a failing check never leaves one waiting behind another.
class Holders {
 public:
  struct Holder {
    std::atomic<bool> in{false}, release{false};
    std::thread thread;
  };
  explicit Holders(ZR_PixelBudget& budget) : m_budget(budget) {}
  ~Holders() {
    for (auto& h : m_holders) h->release = true;
    for (auto& h : m_holders) h->thread.join();
  }
  Holder& Add(int64_t pixels) {
    m_holders.push_back(std::make_unique<Holder>());
    Holder& h = *m_holders.back();
    h.thread = std::thread([this, &h, pixels] {
      ZR_PixelBudget::Ticket ticket(m_budget);
      ticket.Admit(pixels);
      h.in = true;
      while (!h.release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    return h;
  }

 private:
  ZR_PixelBudget& m_budget;
  std::vector<std::unique_ptr<Holder>> m_holders;
};

TEST(PixelBudgetThreads, OnePictureIsAlwaysLetInAndPicturesGoInTheOrderTheyAsked) {
  ZR_PixelBudget budget(100);
  {
    Holders holders(budget);
    auto& huge = holders.Add(1000);  // nothing in flight: let in however large
    ASSERT_TRUE(Eventually(huge.in));
    auto& large = holders.Add(60);
    ASSERT_TRUE(EventuallyWaiting(budget, 1));
    EXPECT_FALSE(large.in);
    huge.release = true;
    ASSERT_TRUE(Eventually(large.in));
  }
  EXPECT_EQ(0, budget.InFlight());

  // With 60 in flight a large picture waits, and a small one that asks after it waits behind it
  // although it would fit: a stream of small pictures cannot keep the large one out for ever.
  {
    Holders holders(budget);
    auto& mid = holders.Add(60);
    ASSERT_TRUE(Eventually(mid.in));
    auto& large = holders.Add(50);
    ASSERT_TRUE(EventuallyWaiting(budget, 1));
    auto& small = holders.Add(30);
    ASSERT_TRUE(EventuallyWaiting(budget, 2));
    EXPECT_FALSE(large.in);
    EXPECT_FALSE(small.in);
    mid.release = true;
    ASSERT_TRUE(Eventually(large.in));
    ASSERT_TRUE(Eventually(small.in));  // 50 + 30 fit together
    EXPECT_EQ(0, budget.Waiting());
  }
  EXPECT_EQ(0, budget.InFlight());
}

// The fair share is what a worker may keep between images; after a picture beyond it the worker
// lets go of its buffers.
TEST(PixelBudget, TheFairShareIsTheCapacityOverTheWorkers) {
  EXPECT_EQ(25, ZR_PixelBudget(100, 4).FairShare());
  EXPECT_EQ(100, ZR_PixelBudget(100).FairShare());
  EXPECT_EQ(100, ZR_PixelBudget(100, 0).FairShare());
  EXPECT_EQ(1, ZR_PixelBudget(3, 8).FairShare());
  ZR_Image picture(4, 4);
  ZR_LandmarkFitter fitter;
  ZR_FaceDetectors detectors;
  ZR_DetectionParams params;
  const ZR_PixelBudget budget(100, 4);
  ZR_ReleaseMemoryAfterLargePicture(budget, 25, picture, fitter, detectors, params);
  EXPECT_EQ(16u, picture.m_count);  // within the share: kept for the next image
  ZR_ReleaseMemoryAfterLargePicture(budget, 26, picture, fitter, detectors, params);
  EXPECT_EQ(0u, picture.m_count);
}

// A ticket set on the thread takes what the reader's header declares and gives it back, with the
// image's pixels, when it goes.
TEST(PixelBudget, ATicketHoldsAReadersPictureUntilItGoes) {
  ZR_TempFolder temp;
  temp.Write("a.pgm", std::string("P5\n3 2\n255\n") + std::string(6, '\x40'));
  ZR_PixelBudget budget(100);
  ZR_Image image;
  {
    ZR_PixelBudget::Ticket ticket(budget, &image);
    ASSERT_TRUE(image.Load((temp / "a.pgm").c_str()));
    EXPECT_EQ(6, budget.InFlight());
    EXPECT_EQ(3, image.m_cols);
  }
  EXPECT_EQ(0, budget.InFlight());
  EXPECT_EQ(0u, image.m_count);
  ASSERT_TRUE(image.Load((temp / "a.pgm").c_str()));  // no ticket: nothing is counted
  EXPECT_EQ(0, budget.InFlight());
}

}  // namespace
