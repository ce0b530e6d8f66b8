// tests/core/zr_point_test.cpp: the small value types and their records.
#include "core/zr_point.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

TEST(ZrVector2D, Arithmetic) {
  const ZR_Vector2D a(1, 2), b(3, 5);
  const ZR_Vector2D d = a - b, s = a + b, m = a * 2.0f, n = 2.0f * a, q = a / 2.0f;
  EXPECT_EQ(-2.0f, d.x);
  EXPECT_EQ(-3.0f, d.y);
  EXPECT_EQ(4.0f, s.x);
  EXPECT_EQ(7.0f, s.y);
  EXPECT_EQ(2.0f, m.x);
  EXPECT_EQ(4.0f, n.y);
  EXPECT_EQ(0.5f, q.x);
  EXPECT_EQ(1.0f, q.y);
  const ZR_Vector2D z = -ZR_Vector2D(0, 0);
  EXPECT_TRUE(std::signbit(z.x));
  EXPECT_TRUE(std::signbit(z.y));
}

TEST(ZrPointRecord, ReadsAndRefusesShortRecords) {
  {
    ZR_MemoryFile f(ZR_RecordBytes().F32(1).F32(2).F32(3));
    ZR_Vector3D p;
    ASSERT_EQ(f.get(), p.Read(f.get()));
    EXPECT_EQ(3.0f, p.z);
  }
  {
    ZR_MemoryFile f(ZR_RecordBytes().F32(1).F32(2));
    ZR_Vector3D p(7, 8, 9);
    EXPECT_EQ(nullptr, p.Read(f.get()));
  }
  for (size_t n = 0; n < 12; ++n) {
    ZR_MemoryFile f(std::vector<uint8_t>(n, 1));
    ZR_TRIANGLE t;
    EXPECT_EQ(nullptr, t.Read(f.get())) << n;
  }
  bool ok = false;
  const zr_coord c = {-2, 3};
  EXPECT_EQ(std::vector<uint8_t>(ZR_RecordBytes().I32(-2).I32(3)),
            ZR_WrittenBytes([&](FILE* f) { return c.Write(f); }, &ok));
  EXPECT_TRUE(ok);
  for (size_t n = 0; n < 8; ++n) {
    ZR_MemoryFile f(std::vector<uint8_t>(n, 1));
    zr_coord r;
    EXPECT_EQ(nullptr, r.Read(f.get())) << n;
  }
}

}  // namespace
