// tests/core/zr_array_record_test.cpp: array and 2-D array records: golden bytes of the writers,
// readers of every element type, the records readers must refuse, and every cut-short record.
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/zr_array.h"
#include "core/zr_array2d.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

ZR_Array<float> FloatArray() {
  ZR_Array<float> a;
  a.Resize(0, 2);
  a[0] = 1.0f;
  a[1] = -2.5f;
  a[2] = 0.5f;
  return a;
}

ZR_Array<int> IntArray() {
  ZR_Array<int> a;
  a.Resize(-1, 1);
  a[-1] = -1;
  a[0] = 0;
  a[1] = 0x01020304;
  return a;
}

ZR_Array<unsigned char> ByteArray() {
  ZR_Array<unsigned char> a;
  a.Resize(5, 7);
  a[5] = 0x00;
  a[6] = 0x7f;
  a[7] = 0xff;
  return a;
}

ZR_Array2D<float> Matrix2x2() {
  ZR_Array2D<float> a;
  a.Resize(1, 2, 0, 1);
  a[1][0] = 1.0f;
  a[1][1] = 2.0f;
  a[2][0] = 3.0f;
  a[2][1] = 4.0f;
  return a;
}

// clang-format off
const Bytes kFloatRecord = {
    3, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0,  2, 0, 0, 0, 0, 0, 0, 0,
    0x00, 0x00, 0x80, 0x3f,  0x00, 0x00, 0x20, 0xc0,  0x00, 0x00, 0x00, 0x3f};
const Bytes kIntRecord = {
    3, 0, 0, 0, 0, 0, 0, 0,  0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    1, 0, 0, 0, 0, 0, 0, 0,  0xff, 0xff, 0xff, 0xff,  0, 0, 0, 0,  4, 3, 2, 1};
const Bytes kByteRecord = {
    3, 0, 0, 0, 0, 0, 0, 0,  5, 0, 0, 0, 0, 0, 0, 0,  7, 0, 0, 0, 0, 0, 0, 0,  0x00, 0x7f, 0xff};
const Bytes kEmptyRecord = {
    0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
const Bytes k2DRecord = {
    1, 0, 0, 0,  2, 0, 0, 0,  0, 0, 0, 0,  1, 0, 0, 0,
    4, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0,  3, 0, 0, 0, 0, 0, 0, 0,
    0x00, 0x00, 0x80, 0x3f,  0x00, 0x00, 0x00, 0x40,  0x00, 0x00, 0x40, 0x40,  0x00, 0x00, 0x80, 0x40};
const Bytes kEmpty2DRecord = {
    0, 0, 0, 0,  0xff, 0xff, 0xff, 0xff,  0, 0, 0, 0,  0xff, 0xff, 0xff, 0xff,
    0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0,
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
// clang-format on

TEST(ZrArrayRecord, WritersProduceTheGoldenBytes) {
  const struct {
    const char* name;
    std::function<FILE*(FILE*)> write;
    const Bytes& expected;
  } cases[] = {
      {"float", [](FILE* f) { return FloatArray().Write(f); }, kFloatRecord},
      {"int", [](FILE* f) { return IntArray().Write(f); }, kIntRecord},
      {"byte", [](FILE* f) { return ByteArray().Write(f); }, kByteRecord},
      {"empty", [](FILE* f) { return ZR_Array<float>().Write(f); }, kEmptyRecord},
      {"2-D", [](FILE* f) { return Matrix2x2().Write(f); }, k2DRecord},
      {"empty 2-D", [](FILE* f) { return ZR_Array2D<float>().Write(f); }, kEmpty2DRecord},
  };
  for (const auto& c : cases) {
    bool ok = false;
    EXPECT_EQ(c.expected, ZR_WrittenBytes(c.write, &ok)) << c.name;
    EXPECT_TRUE(ok) << c.name;
  }
  EXPECT_EQ(40u, kEmpty2DRecord.size());
}

TEST(ZrArrayRecord, ReadersGiveBackWhatWasWritten) {
  {
    ZR_MemoryFile f(kIntRecord);
    ZR_Array<int> a;
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(-1, a.m_lo);
    EXPECT_EQ(1, a.m_hi);
    EXPECT_EQ(0x01020304, a[1]);
    EXPECT_EQ(0, f.Left());
  }
  {
    ZR_MemoryFile f(kByteRecord);
    ZR_Array<unsigned char> a;
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(5, a.m_lo);
    EXPECT_EQ(0xff, a[7]);
  }
  {
    ZR_MemoryFile f(kFloatRecord);
    ZR_Array<float> a;
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(-2.5f, a[1]);
  }
  {
    ZR_MemoryFile f(k2DRecord);
    ZR_Array2D<float> a;
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(1, a.m_row_lo);
    EXPECT_EQ(2, a.m_rows);
    EXPECT_EQ(2, a.m_cols);
    EXPECT_EQ(3.0f, a[2][0]);
    EXPECT_EQ(4.0f, a[2][1]);
  }
  {
    ZR_MemoryFile f(kEmpty2DRecord);
    ZR_Array2D<float> a(3, 3);
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(0u, a.m_count);
    EXPECT_EQ(-1, a.m_row_hi);
    EXPECT_EQ(-1, a.m_col_hi);
  }
}

TEST(ZrArrayRecord, ClassElementsAreReadFieldByField) {
  {
    ZR_MemoryFile f(ZR_RecordBytes().ArrayHeader(2, 0, 1).F32(1.5f).F32(-2).F32(3).F32(4));
    ZR_Array<ZR_Vector2D> a;
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(1.5f, a[0].x);
    EXPECT_EQ(-2.0f, a[0].y);
    EXPECT_EQ(4.0f, a[1].y);
  }
  {
    ZR_MemoryFile f(ZR_RecordBytes().ArrayHeader(1, 3, 3).I32(-7).I32(9));
    ZR_Array<zr_coord> a;
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(-7, a[3].x);
    EXPECT_EQ(9, a[3].y);
  }
  {
    ZR_MemoryFile f(
        ZR_RecordBytes().ArrayHeader(1, 0, 0).F32(0.25f).F32(0.5f).F32(0.25f).I32(4).I32(5).I32(6));
    ZR_Array<ZR_Barys> a;
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(0.5f, a[0].y);
    EXPECT_EQ(0.25f, a[0].z);
    EXPECT_EQ(4, a[0].tri.v0);
    EXPECT_EQ(6, a[0].tri.v2);
    EXPECT_EQ(0, f.Left());
  }
}

TEST(ZrArrayRecord, RangeComesFromLoAndHiNotTheCountField) {
  {
    ZR_MemoryFile f(ZR_RecordBytes().ArrayHeader(7, 0, 2).F32(1).F32(2).F32(3).F32(99));
    ZR_Array<float> a;
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(3u, a.m_count);
    EXPECT_EQ(4, f.Left());
  }
  {
    ZR_MemoryFile f(ZR_RecordBytes().ArrayHeader(0, 5, 4));
    ZR_Array<float> a;
    a.Resize(0, 1);
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(0u, a.m_count);
    EXPECT_EQ(5, a.m_lo);
    EXPECT_EQ(4, a.m_hi);
    EXPECT_EQ(nullptr, a.m_data);
  }
  {
    // Only the low 32 bits of lo and hi count.
    ZR_MemoryFile f(ZR_RecordBytes().ArrayHeader(1, 0x100000002, 0x7fffffff00000002).F32(8));
    ZR_Array<float> a;
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(2, a.m_lo);
    EXPECT_EQ(8.0f, a[2]);
  }
  {
    // A block of count 0 leaves the 2-D array empty whatever its bounds say.
    ZR_MemoryFile f(ZR_RecordBytes().I32(0).I32(9).I32(0).I32(9).ArrayHeader(0, 0, -1));
    ZR_Array2D<float> a(2, 2);
    ASSERT_EQ(f.get(), a.Read(f.get()));
    EXPECT_EQ(0, a.m_rows);
    EXPECT_EQ(-1, a.m_row_hi);
    EXPECT_EQ(0u, a.m_count);
  }
}

// Bad ranges and counts past the bytes left are refused before any allocation and leave the
// array as it was.
TEST(ZrArrayRecord, ReadersRefuseBadRangesAndLeaveTheArrayAsItWas) {
  const int64_t min = std::numeric_limits<int32_t>::min();
  const int64_t max = std::numeric_limits<int32_t>::max();
  const struct {
    const char* what;
    Bytes record;
  } cases[] = {
      {"hi < lo - 1", ZR_RecordBytes().ArrayHeader(0, 0, -2).F32(1)},
      {"2^32 elements", ZR_RecordBytes().ArrayHeader(0, min, max).F32(1)},
      {"hi below lo by 2^31", ZR_RecordBytes().ArrayHeader(0, max, min)},
      {"more than the bytes left", ZR_RecordBytes().ArrayHeader(3, 0, 3).F32(1).F32(2).F32(3)},
      {"a billion elements", ZR_RecordBytes().ArrayHeader(0, 0, 1 << 30)},
  };
  for (const auto& c : cases) {
    ZR_MemoryFile f(c.record);
    ZR_Array<float> a = FloatArray();
    const float* block = a.Block();
    EXPECT_EQ(nullptr, a.Read(f.get())) << c.what;
    EXPECT_EQ(block, a.Block()) << c.what;
    EXPECT_EQ(0, a.m_lo) << c.what;
    EXPECT_EQ(2, a.m_hi) << c.what;
    EXPECT_EQ(-2.5f, a[1]) << c.what;
  }
}

TEST(ZrArrayRecord, TwoDReaderRefusesBlocksThatDoNotMatchTheBounds) {
  const auto block4 = [](int64_t lo, int64_t hi) {
    return ZR_RecordBytes().ArrayHeader(4, lo, hi).F32(1).F32(2).F32(3).F32(4);
  };
  const struct {
    const char* what;
    Bytes record;
  } cases[] = {
      {"block lo 1", ZR_RecordBytes().I32(0).I32(1).I32(0).I32(1).Record(block4(1, 4))},
      {"3 x 1 bounds over 4 floats",
       ZR_RecordBytes().I32(0).I32(2).I32(0).I32(0).Record(block4(0, 3))},
      {"negative rows and cols",
       ZR_RecordBytes().I32(0).I32(-3).I32(0).I32(-3).Record(block4(0, 3))},
      {"rows * cols overflowing 32 bits",
       ZR_RecordBytes().I32(0).I32(65535).I32(0).I32(65536).ArrayHeader(0, 0, -1 + 65536)},
      {"bad block range", ZR_RecordBytes().I32(0).I32(1).I32(0).I32(1).ArrayHeader(0, 0, -5)},
      {"block past the bytes left",
       ZR_RecordBytes().I32(0).I32(999).I32(0).I32(999).ArrayHeader(0, 0, 999999).F32(1)},
  };
  for (const auto& c : cases) {
    ZR_MemoryFile f(c.record);
    ZR_Array2D<float> a = Matrix2x2();
    EXPECT_EQ(nullptr, a.Read(f.get())) << c.what;
    EXPECT_EQ(1, a.m_row_lo) << c.what;
    EXPECT_EQ(2, a.m_rows) << c.what;
    EXPECT_EQ(4.0f, a[2][1]) << c.what;
  }
}

// Every proper prefix of a valid record is refused cleanly, for every reader.
TEST(ZrArrayRecord, EveryCutShortRecordIsRefused) {
  const Bytes vectors = ZR_RecordBytes().ArrayHeader(2, 0, 1).F32(1).F32(2).F32(3).F32(4);
  const Bytes coords = ZR_RecordBytes().ArrayHeader(1, 0, 0).I32(1).I32(2);
  const Bytes barys =
      ZR_RecordBytes().ArrayHeader(1, 0, 0).F32(1).F32(0).F32(0).I32(1).I32(2).I32(3);
  const struct {
    const char* name;
    const Bytes& record;
    std::function<FILE*(FILE*)> read;
  } cases[] = {
      {"float", kFloatRecord, [](FILE* f) { return ZR_Array<float>().Read(f); }},
      {"int", kIntRecord, [](FILE* f) { return ZR_Array<int>().Read(f); }},
      {"byte", kByteRecord, [](FILE* f) { return ZR_Array<unsigned char>().Read(f); }},
      {"empty", kEmptyRecord, [](FILE* f) { return ZR_Array<float>().Read(f); }},
      {"Vector2D", vectors, [](FILE* f) { return ZR_Array<ZR_Vector2D>().Read(f); }},
      {"coord", coords, [](FILE* f) { return ZR_Array<zr_coord>().Read(f); }},
      {"Barys", barys, [](FILE* f) { return ZR_Array<ZR_Barys>().Read(f); }},
      {"2-D", k2DRecord, [](FILE* f) { return ZR_Array2D<float>().Read(f); }},
      {"empty 2-D", kEmpty2DRecord, [](FILE* f) { return ZR_Array2D<float>().Read(f); }},
  };
  for (const auto& c : cases) {
    {
      ZR_MemoryFile whole(c.record);
      ASSERT_EQ(whole.get(), c.read(whole.get())) << c.name;
    }
    for (size_t n = 0; n < c.record.size(); ++n) {
      ZR_MemoryFile f(Bytes(c.record.begin(), c.record.begin() + n));
      EXPECT_EQ(nullptr, c.read(f.get())) << c.name << " cut at " << n;
    }
  }
}

TEST(ZrArrayRecord, WriterReportsAShortWrite) {
  ZR_MemoryFile read_only(Bytes{});
  EXPECT_EQ(nullptr, FloatArray().Write(read_only.get()));
  EXPECT_EQ(nullptr, Matrix2x2().Write(read_only.get()));
}

}  // namespace
