// fuzz/anno_model_fuzz.cpp: ZR_AnnoModel2D::Read (and through it the annotation list and
// annotation readers) over a memory stream, repeatedly into one model so that re-reads over a
// filled model are covered. Every point, name byte and fixed index read is touched, then a copy,
// the lookups and both boxes are run on the result.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "annotation/zr_anno_model2d.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr int kMaxRecords = 8;

volatile float g_sink;

void Touch(const ZR_AnnoModel2D& m) {
  float x = float(m.m_flag);
  for (uint32_t a = 0; a < m.m_count; ++a) {
    const ZR_Annotation2D& annotation = m[a];
    const ZR_String& name = annotation.m_name;
    FUZZ_CHECK(name.m_length >= 1 && name.m_text[name.m_length - 1] == 0);
    for (uint32_t i = 0; i < name.m_length; ++i) x += name.m_text[i];
    for (uint32_t i = 0; i < annotation.m_fixed.m_count; ++i) x += float(annotation.m_fixed[i]);
    for (uint32_t i = 0; i < annotation.m_count; ++i) x += annotation[i].x + annotation[i].y;
    x += float(annotation.m_value) +
         float(annotation.m_flag + annotation.m_open + annotation.m_include);
  }
  g_sink = x;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStream stream(data, size);
  FILE* f = stream.get();
  ZR_AnnoModel2D m;
  for (int i = 0; i < kMaxRecords && m.Read(f) != nullptr; ++i) {
    FUZZ_CHECK(m.m_count <= m.m_capacity);
    Touch(m);
    const ZR_AnnoModel2D copy(m);
    Touch(copy);
    // A copy re-derives padded names from their text, so it may only find a name earlier.
    for (const char* name : {"FACE", "NOSE", "LEFT EYE", "MOUTH"}) {
      const int32_t found = m.FindAnnotation(name), copied = copy.FindAnnotation(name);
      FUZZ_CHECK(found < 0 || (copied >= 0 && copied <= found));
    }
    ZR_Vector2D min, max;
    g_sink = m.GetBoundingBox(min, max, 1).x + copy.GetBoundingBox(min, max, 0).y;
  }
  Touch(m);
  return 0;
}
