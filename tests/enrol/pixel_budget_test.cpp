// tests/enrol/pixel_budget_test.cpp: the run's pixel budget: its capacity from the machine's
// memory, large pictures waiting for room while small ones go on, one picture always let in, a
// holder never made to wait, and a ticket taking a real reader's picture and giving it back.
#include "enrol/pixel_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

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

TEST(PixelBudgetThreads, OnePictureIsAlwaysLetInAndSmallOnesPassALargeWaiter) {
  ZR_PixelBudget budget(100);
  std::atomic<bool> huge_in{false}, small_in{false}, large_in{false};
  std::atomic<bool> release_huge{false};
  std::thread huge([&] {
    ZR_PixelBudget::Ticket ticket(budget);
    ticket.Admit(1000);  // nothing in flight: let in however large
    huge_in = true;
    while (!release_huge) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  ASSERT_TRUE(Eventually(huge_in));
  std::thread large([&] {
    ZR_PixelBudget::Ticket ticket(budget);
    ticket.Admit(60);
    large_in = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(large_in);
  release_huge = true;
  huge.join();
  large.join();
  EXPECT_TRUE(large_in);
  EXPECT_EQ(0, budget.InFlight());

  // With 60 in flight a small picture goes on while a large one waits.
  std::atomic<bool> release_mid{false}, mid_in{false};
  std::thread mid([&] {
    ZR_PixelBudget::Ticket ticket(budget);
    ticket.Admit(60);
    mid_in = true;
    while (!release_mid) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  ASSERT_TRUE(Eventually(mid_in));
  large_in = false;
  std::thread large2([&] {
    ZR_PixelBudget::Ticket ticket(budget);
    ticket.Admit(50);
    large_in = true;
  });
  std::thread small([&] {
    ZR_PixelBudget::Ticket ticket(budget);
    ticket.Admit(30);
    small_in = true;
  });
  small.join();
  EXPECT_TRUE(small_in);
  EXPECT_FALSE(large_in);
  release_mid = true;
  mid.join();
  large2.join();
  EXPECT_TRUE(large_in);
  EXPECT_EQ(0, budget.InFlight());
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
