// tests/core/zr_layout_test.cpp: the memory layouts plug-ins read, compared field by field with
// plain mirror structs of the documented order and widths (x86-64).
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "core/zr_array2d.h"
#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_string.h"

namespace {

template <class Mirror, class T>
Mirror MirrorOf(const T& object) {
  static_assert(sizeof(Mirror) == sizeof(T), "the mirror has the documented size");
  Mirror m;
  std::memcpy(&m, static_cast<const void*>(&object), sizeof m);
  return m;
}

struct ArrayMirror {
  const void* vptr;
  void* data;
  uint32_t count;
  int32_t lo;
  int32_t hi;
};

TEST(ZrLayout, Array2DIsBaseThenRowTableThenBounds) {
  struct Mirror {
    ArrayMirror base;
    ArrayMirror row_table;
    int32_t rows, cols, row_lo, row_hi, col_lo, col_hi;
  };
  ZR_Array2D<float> a;
  a.Resize(2, 4, -1, 0);
  const Mirror m = MirrorOf<Mirror>(a);
  EXPECT_EQ(a.Block(), m.base.data);
  EXPECT_EQ(6u, m.base.count);
  EXPECT_EQ(3u, m.row_table.count);
  EXPECT_EQ(2, m.row_table.lo);
  EXPECT_EQ(static_cast<void*>(a.m_row_table.m_data), m.row_table.data);
  EXPECT_EQ(3, m.rows);
  EXPECT_EQ(2, m.cols);
  EXPECT_EQ(4, m.row_hi);
  EXPECT_EQ(-1, m.col_lo);
  EXPECT_EQ(0, m.col_hi);
}

TEST(ZrLayout, ListIsFourCountsThenTwoTables) {
  struct Mirror {
    const void* vptr;
    uint32_t count, grow_step, blocks, capacity;
    int** items;
    int** block_table;
  };
  ZR_List<int> list(3);
  for (int i = 0; i < 4; ++i) list.Add(i);
  const Mirror m = MirrorOf<Mirror>(list);
  EXPECT_EQ(4u, m.count);
  EXPECT_EQ(3u, m.grow_step);
  EXPECT_EQ(2u, m.blocks);
  EXPECT_EQ(6u, m.capacity);
  EXPECT_EQ(3, *m.items[3]);
  EXPECT_EQ(m.block_table[1], m.items[3]);
}

TEST(ZrLayout, StringIsLengthThenText) {
  struct Mirror {
    const void* vptr;
    uint32_t length;
    const char* text;
  };
  const ZR_String s("abc");
  const Mirror m = MirrorOf<Mirror>(s);
  EXPECT_EQ(4u, m.length);
  EXPECT_STREQ("abc", m.text);
}

TEST(ZrLayout, Vector2DIsTwoFloatsAfterTheVptr) {
  struct Mirror {
    const void* vptr;
    float x, y;
  };
  const Mirror m = MirrorOf<Mirror>(ZR_Vector2D(1.5f, -2.0f));
  EXPECT_EQ(1.5f, m.x);
  EXPECT_EQ(-2.0f, m.y);
}

}  // namespace
