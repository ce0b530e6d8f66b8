// tests/core/zr_byte_buffer_test.cpp: zr_byte_buffer appends and frees.
#include "core/zr_byte_buffer.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(ZrByteBuffer, AppendsInOrderThenFrees) {
  zr_byte_buffer b;
  EXPECT_EQ(nullptr, b.m_data);
  const uint8_t four[] = {1, 2, 3, 4}, one[] = {5};
  EXPECT_TRUE(b.Append(four, 4));
  EXPECT_TRUE(b.Append(one, 1));
  ASSERT_EQ(5u, b.m_size);
  EXPECT_EQ(std::vector<uint8_t>({1, 2, 3, 4, 5}), std::vector<uint8_t>(b.m_data, b.m_data + 5));
  b.Free();
  EXPECT_EQ(nullptr, b.m_data);
  EXPECT_EQ(0u, b.m_size);
}

TEST(ZrByteBuffer, RefusedAppendsKeepTheEarlierBytes) {
  zr_byte_buffer b;
  const uint8_t two[] = {7, 8};
  ASSERT_TRUE(b.Append(two, 2));
  EXPECT_TRUE(b.Append(two, 0));
  EXPECT_FALSE(b.Append(nullptr, 3));
  EXPECT_FALSE(b.Append(two, 0xffffffffu));  // size would pass 2^32 - 1
  ASSERT_EQ(2u, b.m_size);
  ASSERT_NE(nullptr, b.m_data);
  EXPECT_EQ(8, b.m_data[1]);
  b.Free();
}

}  // namespace
