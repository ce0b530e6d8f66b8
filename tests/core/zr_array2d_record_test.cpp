// tests/core/zr_array2d_record_test.cpp: the 2-D record over 4-byte plain elements and over
// ZR_Vector elements (each a float array record), the ZR_Vector element's own rules, and the
// zero-based check the model readers make.
#include <climits>
#include <cstdint>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "core/zr_array2d.h"
#include "core/zr_matrix.h"
#include "core/zr_vector.h"
#include "core/zr_zero_based.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

ZR_Vector Vec(std::initializer_list<float> values) {
  ZR_Vector v;
  v.Resize(int32_t(values.size()));
  int32_t i = 0;
  for (float x : values) v[i++] = x;
  return v;
}

// Rows -1..0, columns 2..3, like a per-pose table indexed by signed bins; one element is empty.
ZR_Array2D<ZR_Vector> PoseTable() {
  ZR_Array2D<ZR_Vector> t;
  t.Resize(-1, 0, 2, 3);
  t[-1][2] = Vec({1, 2});
  t[-1][3] = Vec({3});
  t[0][2] = Vec({});
  t[0][3] = Vec({4, 5, 6});
  return t;
}

const Bytes kPoseTableRecord = ZR_RecordBytes()
                                   .I32(-1)
                                   .I32(0)
                                   .I32(2)
                                   .I32(3)
                                   .ArrayHeader(4, 0, 3)
                                   .ArrayHeader(2, 0, 1)
                                   .F32(1)
                                   .F32(2)
                                   .ArrayHeader(1, 0, 0)
                                   .F32(3)
                                   .ArrayHeader(0, 0, -1)
                                   .ArrayHeader(3, 0, 2)
                                   .F32(4)
                                   .F32(5)
                                   .F32(6);

const Bytes kU32Record =
    ZR_RecordBytes().I32(0).I32(0).I32(0).I32(1).ArrayHeader(2, 0, 1).U32(7).U32(0xfffffffe);

TEST(ZrArray2DRecord, PlainAndVectorElementsWriteTheGoldenBytes) {
  ZR_Array2D<uint32_t> u(1, 2);
  u[0][0] = 7;
  u[0][1] = 0xfffffffe;
  bool ok = false;
  EXPECT_EQ(kU32Record, ZR_WrittenBytes([&](FILE* f) { return u.Write(f); }, &ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ(kPoseTableRecord, ZR_WrittenBytes([](FILE* f) { return PoseTable().Write(f); }, &ok));
  EXPECT_TRUE(ok);
  // An empty table of any element type is the 40 bytes of the empty float record.
  const Bytes empty_float = ZR_WrittenBytes([](FILE* f) { return ZR_Array2D<float>().Write(f); });
  EXPECT_EQ(40u, empty_float.size());
  EXPECT_EQ(empty_float, ZR_WrittenBytes([](FILE* f) { return ZR_Array2D<ZR_Vector>().Write(f); }));
  EXPECT_EQ(empty_float, ZR_WrittenBytes([](FILE* f) { return ZR_Array2D<uint32_t>().Write(f); }));
}

TEST(ZrArray2DRecord, VectorTableReadsBackByBoundsAndFlatOrder) {
  ZR_MemoryFile f(kPoseTableRecord);
  ZR_Array2D<ZR_Vector> t;
  ASSERT_EQ(f.get(), t.Read(f.get()));
  EXPECT_EQ(0, f.Left());
  EXPECT_EQ(-1, t.m_row_lo);
  EXPECT_EQ(2, t.m_col_lo);
  ASSERT_EQ(4u, t.m_count);
  EXPECT_EQ(2.0f, t[-1][2][1]);
  EXPECT_EQ(3.0f, t[-1][3][0]);
  EXPECT_EQ(0u, t[0][2].m_count);
  EXPECT_EQ(-1, t[0][2].m_hi);
  EXPECT_EQ(6.0f, t[0][3][2]);
  EXPECT_EQ(&t[0][3], t.Block() + 3);  // (r - rowLo) * cols + (c - colLo)
  EXPECT_EQ(kPoseTableRecord, ZR_WrittenBytes([&](FILE* w) { return t.Write(w); }));

  ZR_MemoryFile g(kU32Record);
  ZR_Array2D<int32_t> s;
  ASSERT_EQ(g.get(), s.Read(g.get()));
  EXPECT_EQ(-2, s[0][1]);
}

// A vector element must start at 0; an empty one is re-based to 0..-1. A refused or short
// element leaves the whole table empty.
TEST(ZrArray2DRecord, VectorElementsRefuseOffsetRangesAndShortData) {
  const auto table = [](const Bytes& second) {
    return Bytes(ZR_RecordBytes()
                     .I32(0)
                     .I32(0)
                     .I32(0)
                     .I32(1)
                     .ArrayHeader(2, 0, 1)
                     .ArrayHeader(1, 0, 0)
                     .F32(1)
                     .Record(second));
  };
  const struct {
    const char* what;
    Bytes record;
    bool reads;
  } cases[] = {
      {"second starts at 1", table(ZR_RecordBytes().ArrayHeader(1, 1, 1).F32(2)), false},
      {"second starts at -1", table(ZR_RecordBytes().ArrayHeader(2, -1, 0).F32(2).F32(3)), false},
      {"second empty at 5..4", table(ZR_RecordBytes().ArrayHeader(0, 5, 4)), true},
      {"second short", table(ZR_RecordBytes().ArrayHeader(2, 0, 1).F32(2)), false},
      {"second's range bad", table(ZR_RecordBytes().ArrayHeader(0, 0, -3)), false},
  };
  for (const auto& c : cases) {
    ZR_MemoryFile f(c.record);
    ZR_Array2D<ZR_Vector> t = PoseTable();
    EXPECT_EQ(c.reads, t.Read(f.get()) != nullptr) << c.what;
    if (c.reads) {
      ASSERT_EQ(2u, t.m_count) << c.what;
      EXPECT_EQ(0, t[0][1].m_lo) << c.what;
      EXPECT_EQ(-1, t[0][1].m_hi) << c.what;
    } else {
      EXPECT_EQ(0u, t.m_count) << c.what;
      EXPECT_EQ(-1, t.m_row_hi) << c.what;
    }
  }
}

// Counts are checked against the bytes left before the table is made: a vector element needs
// at least its 24-byte header.
TEST(ZrArray2DRecord, ElementCountIsBoundByTheBytesLeft) {
  // 2 x 2 vectors need 96 bytes at least; 95 follow.
  Bytes record = ZR_RecordBytes().I32(0).I32(1).I32(0).I32(1).ArrayHeader(4, 0, 3);
  record.resize(record.size() + 95, 0);
  ZR_MemoryFile f(record);
  ZR_Array2D<ZR_Vector> t = PoseTable();
  EXPECT_EQ(nullptr, t.Read(f.get()));
  EXPECT_EQ(4u, t.m_count);  // refused before anything changed
  EXPECT_EQ(-1, t.m_row_lo);

  ZR_MemoryFile g(ZR_RecordBytes().I32(0).I32(999).I32(0).I32(999).ArrayHeader(0, 0, 999999));
  ZR_Array2D<uint32_t> u;
  EXPECT_EQ(nullptr, u.Read(g.get()));
  EXPECT_EQ(0u, u.m_count);
}

// Bounds whose sides are each about 2^32 wide: their product does not fit 64 bits, and the
// reader must refuse the record without forming it (UBSan reported the overflow once).
TEST(ZrArray2DRecord, SidesWiderThanTheElementCountAreRefused) {
  const struct {
    int32_t row_lo, row_hi, col_lo, col_hi;
  } cases[] = {{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX},
               {-1, 0, INT32_MIN, INT32_MAX},
               {0, 3, 0, 0}};
  for (const auto& c : cases) {
    ZR_MemoryFile f(ZR_RecordBytes()
                        .I32(c.row_lo)
                        .I32(c.row_hi)
                        .I32(c.col_lo)
                        .I32(c.col_hi)
                        .ArrayHeader(2, 0, 1)
                        .F32(1)
                        .F32(2));
    ZR_Array2D<float> m;
    EXPECT_EQ(nullptr, m.Read(f.get())) << c.row_lo << ".." << c.row_hi << " x " << c.col_lo
                                        << ".." << c.col_hi;
    EXPECT_EQ(0u, m.m_count);
  }
}

TEST(ZrArray2DRecord, EveryCutShortRecordIsRefused) {
  const struct {
    const char* name;
    const Bytes& record;
    std::function<FILE*(FILE*)> read;
  } cases[] = {
      {"vector table", kPoseTableRecord, [](FILE* f) { return ZR_Array2D<ZR_Vector>().Read(f); }},
      {"u32", kU32Record, [](FILE* f) { return ZR_Array2D<uint32_t>().Read(f); }},
  };
  for (const auto& c : cases) {
    for (size_t n = 0; n < c.record.size(); ++n) {
      ZR_MemoryFile f(Bytes(c.record.begin(), c.record.begin() + n));
      EXPECT_EQ(nullptr, c.read(f.get())) << c.name << " cut at " << n;
    }
  }
}

TEST(ZrZeroBased, VectorsAndMatricesMustStartAtZero) {
  ZR_Array<float> a;
  EXPECT_TRUE(ZR_IsZeroBased(a));
  a.Resize(0, 3);
  EXPECT_TRUE(ZR_IsZeroBased(a));
  a.Resize(1, 4);
  EXPECT_FALSE(ZR_IsZeroBased(a));
  a.Resize(5, 4);  // empty wherever it starts
  EXPECT_TRUE(ZR_IsZeroBased(a));

  const struct {
    int32_t row_lo, row_hi, col_lo, col_hi;
    bool zero_based;
  } cases[] = {{0, 2, 0, 2, true},
               {1, 3, 0, 2, false},
               {0, 2, -1, 1, false},
               {-3, 3, -6, 6, false},
               {4, 3, 1, 1, true}};
  for (const auto& c : cases) {
    ZR_Matrix m;  // a ZR_Matrix takes the 2-D overload
    m.Resize(c.row_lo, c.row_hi, c.col_lo, c.col_hi);
    EXPECT_EQ(c.zero_based, ZR_IsZeroBased(m)) << c.row_lo << " " << c.col_lo;
  }
  ZR_Vector v = Vec({1, 2});
  EXPECT_TRUE(ZR_IsZeroBased(v));
}

}  // namespace
