// tests/annotation/zr_anno_model2d_test.cpp: the model record (golden bytes, cut and corrupt
// records), lookup by name and the model's bounding box.
#include "annotation/zr_anno_model2d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/quillbeck_models/records/annotation_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

// Model flag 7 with "FACE" (value 5, include 1, open 0, flag 2, fixed 0 and 2, three points) and
// "NOSE" (value -1, include 0, open 1, flag 1, no fixed, one point).
std::vector<uint8_t> TwoAnnotationModel() {
  ZR_RecordBytes r;
  r.I32(7).I32(2);
  AnnotationRecord(r, 5, 1, 0, 2, "FACE", {0, 2}, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f});
  AnnotationRecord(r, -1, 0, 1, 1, "NOSE", {}, {0.7f, 0.8f});
  return r;
}

ZR_AnnoModel2D Named(std::vector<std::string> names) {
  ZR_AnnoModel2D m;
  for (const std::string& n : names) {
    ZR_Annotation2D a;
    a.m_name = n.c_str();
    m.Add(a);
  }
  return m;
}

}  // namespace

TEST(ZrAnnoModel2D, DefaultIsEmptyWithFlagOne) {
  const ZR_AnnoModel2D m;
  EXPECT_EQ(4, m.GetType());
  EXPECT_EQ(0u, m.m_count);
  EXPECT_EQ(10u, m.m_grow_step);
  EXPECT_EQ(1, m.m_flag);
}

TEST(ZrAnnoModel2D, ReadsTheGoldenRecord) {
  ZR_MemoryFile file(TwoAnnotationModel());
  ZR_AnnoModel2D m;
  ASSERT_EQ(file.get(), m.Read(file.get()));
  EXPECT_EQ(0, file.Left());
  EXPECT_EQ(7, m.m_flag);
  ASSERT_EQ(2u, m.m_count);
  EXPECT_EQ(2u, m.m_grow_step);  // one block of exactly the records read

  const ZR_Annotation2D& face = m[0];
  EXPECT_EQ(5, face.m_value);
  EXPECT_EQ(1, face.m_include);
  EXPECT_EQ(0, face.m_open);
  EXPECT_EQ(2, face.m_flag);
  EXPECT_TRUE(face.m_name == "FACE");
  EXPECT_EQ(5u, face.m_name.m_length);
  const uint8_t colour[4] = {10, 20, 30, 255};  // alpha is not stored
  for (int c = 0; c < 4; ++c) EXPECT_EQ(colour[c], face.m_colour[c]) << c;
  ASSERT_EQ(2u, face.m_fixed.m_count);
  EXPECT_EQ(0, face.m_fixed[0]);
  EXPECT_EQ(2, face.m_fixed[1]);
  ASSERT_EQ(3u, face.m_count);
  EXPECT_EQ(0.1f, face[0].x);
  EXPECT_EQ(0.2f, face[0].y);
  EXPECT_EQ(0.6f, face[2].y);

  const ZR_Annotation2D& nose = m[1];
  EXPECT_EQ(-1, nose.m_value);
  EXPECT_EQ(0, nose.m_include);
  EXPECT_EQ(1, nose.m_open);
  EXPECT_TRUE(nose.m_name == "NOSE");
  EXPECT_EQ(0u, nose.m_fixed.m_count);
  ASSERT_EQ(1u, nose.m_count);
  EXPECT_EQ(0.8f, nose[0].y);
}

TEST(ZrAnnoModel2D, ReadingIntoAnAnnotationKeepsItsAlpha) {
  ZR_RecordBytes r;
  AnnotationRecord(r, 1, 1, 1, 1, "X", {}, {});
  ZR_MemoryFile file(r);
  ZR_Annotation2D a;
  a.m_colour[3] = 7;
  ASSERT_EQ(file.get(), a.Read(file.get()));
  EXPECT_EQ(30, a.m_colour[2]);
  EXPECT_EQ(7, a.m_colour[3]);
}

TEST(ZrAnnoModel2D, EmptyRecordGivesEmptyModel) {
  ZR_MemoryFile file(ZR_RecordBytes().I32(3).I32(0));
  ZR_AnnoModel2D m = Named({"OLD"});
  ASSERT_EQ(file.get(), m.Read(file.get()));
  EXPECT_EQ(3, m.m_flag);
  EXPECT_EQ(0u, m.m_count);
}

TEST(ZrAnnoModel2D, EveryCutOfTheRecordFailsCleanly) {
  const std::vector<uint8_t> whole = TwoAnnotationModel();
  for (size_t n = 0; n < whole.size(); ++n) {
    ZR_MemoryFile file(std::vector<uint8_t>(whole.begin(), whole.begin() + n));
    ZR_AnnoModel2D m = Named({"OLD"});
    EXPECT_EQ(nullptr, m.Read(file.get())) << n;
    if (n < 4) {  // the flag itself is short: the model is untouched
      EXPECT_EQ(1, m.m_flag) << n;
      EXPECT_EQ(1u, m.m_count) << n;
    } else {
      EXPECT_EQ(7, m.m_flag) << n;
      EXPECT_EQ(0u, m.m_count) << n;
    }
  }
}

TEST(ZrAnnoModel2D, RefusesCountsAndNamesThatCannotBeRight) {
  const auto model_with = [](const std::function<void(ZR_RecordBytes&)>& annotation) {
    ZR_RecordBytes r;
    r.I32(1).I32(1);
    annotation(r);
    return std::vector<uint8_t>(r);
  };
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"negative annotation count", ZR_RecordBytes().I32(1).I32(-1)},
      {"annotation count beyond the bytes left", ZR_RecordBytes().I32(1).I32(1000000).I32(0)},
      {"name length 0", model_with([](ZR_RecordBytes& r) {
         r.I32(1).U8(1).U8(1).U8(1).U32(0).U8(0).U8(0).U8(0).I32(0).I32(0);
       })},
      {"name without a zero", model_with([](ZR_RecordBytes& r) {
         r.I32(1).U8(1).U8(1).U8(1).U32(4).Text("FACE").U8(0).U8(0).U8(0).I32(0).I32(0);
       })},
      {"name longer than the stream", model_with([](ZR_RecordBytes& r) {
         r.I32(1).U8(1).U8(1).U8(1).U32(0xfffffff0u).Text("FACE");
       })},
      {"negative fixed-index count", model_with([](ZR_RecordBytes& r) {
         r.I32(1).U8(1).U8(1).U8(1).String("A").U8(0).U8(0).U8(0).I32(-2).I32(0);
       })},
      {"negative point count", model_with([](ZR_RecordBytes& r) {
         r.I32(1).U8(1).U8(1).U8(1).String("A").U8(0).U8(0).U8(0).I32(0).I32(-1);
       })},
      {"point count beyond the bytes left", model_with([](ZR_RecordBytes& r) {
         r.I32(1).U8(1).U8(1).U8(1).String("A").U8(0).U8(0).U8(0).I32(0).I32(0x10000000);
       })},
  };
  for (const auto& c : cases) {
    ZR_MemoryFile file(c.bytes);
    ZR_AnnoModel2D m;
    EXPECT_EQ(nullptr, m.Read(file.get())) << c.what;
    EXPECT_EQ(0u, m.m_count) << c.what;
  }
}

// A name stored with trailing zeros keeps the stored length, so lookup by its text misses it; an
// assigned copy re-derives the length from the text and is found.
TEST(ZrAnnoModel2D, NameWithExtraZerosKeepsItsStoredLength) {
  ZR_RecordBytes r;
  r.I32(1).I32(1);
  r.I32(1).U8(1).U8(1).U8(1).U32(6).Text("FACE").U8(0).U8(0);
  r.U8(0).U8(0).U8(0).I32(0).I32(0);
  ZR_MemoryFile file(r);
  ZR_AnnoModel2D m;
  ASSERT_EQ(file.get(), m.Read(file.get()));
  ASSERT_EQ(1u, m.m_count);
  EXPECT_EQ(6u, m[0].m_name.m_length);
  EXPECT_EQ(-1, m.FindAnnotation("FACE"));

  ZR_AnnoModel2D copy(m);
  EXPECT_EQ(5u, copy[0].m_name.m_length);
  EXPECT_EQ(0, copy.FindAnnotation("FACE"));
  ZR_String grown = m[0].m_name;
  grown += "!";  // operations trusting the stored length stay inside the name
  EXPECT_TRUE(grown == "FACE!");
}

TEST(ZrAnnoModel2D, FindAnnotationIsExactAndFirstWins) {
  const ZR_AnnoModel2D m = Named({"OUTER MOUTH", "INNER MOUTH", "FACE", "NOSE", "NOSE"});
  const struct {
    const char* query;
    int32_t index;
  } cases[] = {
      {"MOUTH", -1}, {"face", -1},       {"FACE", 2}, {"NOSE\nxyz", 3},
      {"NOSE", 3},   {"INNER MOUTH", 1}, {"NOS", -1}, {"", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.index, m.FindAnnotation(c.query)) << c.query;
    EXPECT_EQ(c.index, m.FindAnnotation(ZR_String(c.query))) << c.query;
  }
  EXPECT_EQ(-1, ZR_AnnoModel2D().FindAnnotation("FACE"));
  EXPECT_EQ(-1, m.FindAnnotation(static_cast<const char*>(nullptr)));
}

TEST(ZrAnnoModel2D, BoundingBoxCountsIncludedAnnotationsOnRequest) {
  ZR_AnnoModel2D m;
  ZR_Annotation2D a;
  a.Add(ZR_Vector2D(0.25f, 0.5f));
  m.Add(a);
  ZR_Annotation2D excluded;
  excluded.m_include = 0;
  excluded.Add(ZR_Vector2D(0.0f, 1.0f));
  m.Add(excluded);
  ZR_Annotation2D two;  // include flag 2 counts as included
  two.m_include = 2;
  two.Add(ZR_Vector2D(0.75f, 0.25f));
  m.Add(two);

  ZR_Vector2D min, max;
  ZR_Vector2D size = m.GetBoundingBox(min, max, 1);
  EXPECT_EQ(0.25f, min.x);
  EXPECT_EQ(0.25f, min.y);
  EXPECT_EQ(0.75f, max.x);
  EXPECT_EQ(0.5f, max.y);
  EXPECT_EQ(0.5f, size.x);
  EXPECT_EQ(0.25f, size.y);

  size = m.GetBoundingBox(min, max, 0);
  EXPECT_EQ(0.0f, min.x);
  EXPECT_EQ(1.0f, max.y);
  EXPECT_EQ(0.75f, size.y);

  size = ZR_AnnoModel2D().GetBoundingBox(min, max, 0);
  EXPECT_TRUE(std::isinf(size.x) && size.x < 0);
  EXPECT_EQ(3.4028235e38f, min.x);
}

TEST(ZrAnnoModel2D, CopiesShareNothing) {
  ZR_AnnoModel2D m = Named({"FACE", "NOSE"});
  m.m_flag = 9;
  m[0].Add(ZR_Vector2D(0.5f, 0.5f));
  ZR_AnnoModel2D copy(m);
  ZR_AnnoModel2D assigned;
  assigned = m;
  m[0][0].x = 0.0f;
  m[1].m_name = "CHIN";
  for (const ZR_AnnoModel2D* c : {&copy, &assigned}) {
    EXPECT_EQ(9, c->m_flag);
    ASSERT_EQ(2u, c->m_count);
    EXPECT_EQ(2u, c->m_grow_step);
    EXPECT_EQ(0.5f, (*c)[0][0].x);
    EXPECT_TRUE((*c)[1].m_name == "NOSE");
  }
}

#if defined(__x86_64__)
TEST(ZrAnnoModel2D, LayoutMatchesThePluginContract) {
  const ZR_AnnoModel2D m;
  const char* base = reinterpret_cast<const char*>(&m);
  EXPECT_EQ(base, reinterpret_cast<const char*>(static_cast<const ZR_ObjectType*>(&m)));
  EXPECT_EQ(base + 8,
            reinterpret_cast<const char*>(static_cast<const ZR_List<ZR_Annotation2D>*>(&m)));
  EXPECT_EQ(base + 48, reinterpret_cast<const char*>(&m.m_flag));
}
#endif
