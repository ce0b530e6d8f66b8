// tests/core/zr_array_test.cpp: ZR_Array<T> resizing, assignment and layout.
#include "core/zr_array.h"

#include <sys/resource.h>

#include <cstring>

#include <gtest/gtest.h>

namespace {

TEST(ZrArray, DefaultIsEmpty) {
  ZR_Array<float> a;
  EXPECT_EQ(nullptr, a.m_data);
  EXPECT_EQ(0u, a.m_count);
  EXPECT_EQ(0, a.m_lo);
  EXPECT_EQ(-1, a.m_hi);
  EXPECT_EQ(nullptr, a.Block());
}

// One array through the resize steps callers rely on: same count re-bases the block, another
// count gives a fresh zeroed block, an empty range holds no block but keeps its bounds.
TEST(ZrArray, ResizeKeepsTheBlockExactlyWhenTheCountStays) {
  ZR_Array<int> a;
  a.Resize(5, 9);
  ASSERT_EQ(5u, a.m_count);
  EXPECT_EQ(5, a.m_lo);
  EXPECT_EQ(9, a.m_hi);
  int* block = a.Block();
  EXPECT_EQ(&a[5], block);
  for (int i = 5; i <= 9; ++i) a[i] = 10 * i;

  a.Resize(0, 4);
  EXPECT_EQ(block, a.Block()) << "same count: no allocation";
  EXPECT_EQ(50, a[0]);
  EXPECT_EQ(90, a[4]);

  a.Resize(0, 5);
  EXPECT_EQ(6u, a.m_count);
  for (int i = 0; i <= 5; ++i) EXPECT_EQ(0, a[i]) << "fresh blocks are zeroed, nothing survives";

  a.Resize(3, 2);
  EXPECT_EQ(0u, a.m_count);
  EXPECT_EQ(3, a.m_lo);
  EXPECT_EQ(2, a.m_hi);
  EXPECT_EQ(nullptr, a.m_data);

  a.Resize(4);
  EXPECT_EQ(0, a.m_lo);
  EXPECT_EQ(3, a.m_hi);
}

TEST(ZrArray, NegativeLowIndexAddressesTheBlock) {
  ZR_Array<unsigned char> a;
  a.Resize(-3, 1);
  EXPECT_EQ(&a[-3], a.Block());
  for (int i = -3; i <= 1; ++i) a[i] = static_cast<unsigned char>(i + 3);
  EXPECT_EQ(0, a.Block()[0]);
  EXPECT_EQ(4, a.Block()[4]);
}

TEST(ZrArray, AssignmentBetweenEqualCountsRebasesWithoutAllocating) {
  ZR_Array<float> a, b;
  a.Resize(0, 2);
  b.Resize(7, 9);
  for (int i = 7; i <= 9; ++i) b[i] = float(i);
  float* block = a.Block();
  a = b;
  EXPECT_EQ(block, a.Block());
  EXPECT_EQ(7, a.m_lo);
  EXPECT_EQ(9, a.m_hi);
  EXPECT_EQ(8.0f, a[8]);
  const ZR_Array<float>& same = a;
  a = same;  // self-assignment
  EXPECT_EQ(block, a.Block());
  EXPECT_EQ(9.0f, a[9]);
}

TEST(ZrArray, CopiesOwnTheirElements) {
  ZR_Array<ZR_Array<int>> outer;
  outer.Resize(0, 1);
  outer[1].Resize(2);
  outer[1][0] = 5;
  ZR_Array<ZR_Array<int>> copy(outer);
  copy[1][0] = 6;
  EXPECT_EQ(5, outer[1][0]);
  EXPECT_NE(outer[1].Block(), copy[1].Block());
}

// The fields plug-ins read, compared through a plain mirror of the documented layout.
TEST(ZrArray, LayoutMatchesTheMirrorStruct) {
  struct Mirror {
    const void* vptr;
    unsigned char* data;
    uint32_t count;
    int32_t lo;
    int32_t hi;
  };
  static_assert(sizeof(Mirror) == sizeof(ZR_Array<unsigned char>));
  ZR_Array<unsigned char> a;
  a.Resize(2, 6);
  Mirror m;
  std::memcpy(&m, static_cast<const void*>(&a), sizeof m);
  EXPECT_EQ(a.m_data, m.data);
  EXPECT_EQ(5u, m.count);
  EXPECT_EQ(2, m.lo);
  EXPECT_EQ(6, m.hi);
  EXPECT_EQ(&a[2], m.data + 2);
}

#if defined(__SANITIZE_ADDRESS__)
#define ZR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZR_ASAN 1
#endif
#endif

#if !defined(ZR_ASAN)
// The sanitizer's allocator reports a failed allocation itself, so this runs only without it.
TEST(ZrArrayDeathTest, FailedAllocationPrintsItsMessageAndAborts) {
  ZR_Array<float> a;
  EXPECT_DEATH(
      {
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = rlim_t(1) << 30;
        setrlimit(RLIMIT_AS, &limit);
        a.Resize(0, 1 << 29);
      },
      "ZR_Array<T>::Resize\\(\\), run out of memory");
}
#endif

}  // namespace
