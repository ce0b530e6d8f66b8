// face/regression/zr_regressor_parts.cpp: list readers, pair features, the boosted sum and Describe
// lines shared by the regressors.
#include "face/regression/internal/zr_regressor_parts.h"

FILE* ZR_ReadTreeList(FILE* f, ZR_List<ZR_Tree>& trees) {
  return trees.ReadInPlace(f, ZR_Tree::kMinFullBytes,
                           [](FILE* s, ZR_Tree& t) { return t.Read(s) != nullptr; });
}

FILE* ZR_ReadFernList(FILE* f, ZR_List<ZR_Fern>& ferns) {
  return ferns.ReadInPlace(f, ZR_Fern::kMinBytes,
                           [](FILE* s, ZR_Fern& fern) { return fern.Read(s) != nullptr; });
}

ZR_Vector ZR_PairFeatures(const ZR_Vector& x, const ZR_List<zr_coord>& pairs, int32_t n) {
  ZR_Vector features;
  if (n <= 0) return features;
  features.Resize(n);
  const auto inside = [&x](int32_t i) { return i >= 0 && uint32_t(i) < x.m_count; };
  for (int32_t i = 0; i < n; ++i) {
    float value = 0.0f;
    if (uint32_t(i) < pairs.m_count) {
      const zr_coord& p = pairs[uint32_t(i)];
      if (inside(p.x) && inside(p.y)) value = x.m_data[p.x] - x.m_data[p.y];
    }
    features.m_data[i] = value;
  }
  return features;
}

void ZR_AddScaled(ZR_Vector& y, float shrinkage, const ZR_Vector& p) {
  const uint32_t n = y.m_count < p.m_count ? y.m_count : p.m_count;
  for (uint32_t k = 0; k < n; ++k) y.m_data[k] += shrinkage * p.m_data[k];
}

void ZR_DescribeLine(ZR_String& s, const char* name, int32_t value) {
  s += name;
  s += " = ";
  s += ZR_String(static_cast<int>(value));
  s += "\n";
}

void ZR_DescribeLine(ZR_String& s, const char* name, float value) {
  s += name;
  s += " = ";
  s += ZR_String(value, 3);
  s += "\n";
}
