// face/regression/zr_pdbt.cpp: the PDBT record in both layouts, its description and prediction. The
// version-2 sections carry their own counts; each is refused when negative or past the bytes
// left before anything is allocated, and the writer refuses pair values that int16 cannot hold
// instead of cutting them.
#include "face/regression/zr_pdbt.h"

#include <limits>

#include "core/zr_record_io.h"
#include "face/regression/internal/zr_regressor_parts.h"

namespace {

// A pair stored as two int16 (4 bytes), each widened with its sign.
bool ReadShortPair(FILE* f, zr_coord& c) {
  int16_t v[2];
  if (!ZR_ReadValues(f, v, 2)) return false;
  c.x = v[0];
  c.y = v[1];
  return true;
}

bool FitsShort(int32_t v) {
  return v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max();
}

bool WriteShortPairs(FILE* f, const ZR_List<zr_coord>& pairs) {
  if (pairs.m_count > uint32_t(std::numeric_limits<int32_t>::max())) return false;
  const int32_t count = static_cast<int32_t>(pairs.m_count);
  if (!ZR_WriteValue(f, count)) return false;
  for (uint32_t i = 0; i < pairs.m_count; ++i) {
    if (!FitsShort(pairs[i].x) || !FitsShort(pairs[i].y)) return false;
    const int16_t v[2] = {static_cast<int16_t>(pairs[i].x), static_cast<int16_t>(pairs[i].y)};
    if (!ZR_WriteValues(f, v, 2)) return false;
  }
  return true;
}

// int32 count, then that many int16 pairs, into one block of exactly count slots.
bool ReadShortPairs(FILE* f, ZR_List<zr_coord>& pairs) {
  return pairs.ReadInPlace(f, 4, ReadShortPair) != nullptr;
}

}  // namespace

ZR_PDBT::ZR_PDBT()
    : ZR_VectorRegressor(ZR_REGRESSOR_PDBT),
      m_n_features(5),
      m_sample_size(0),
      m_n_outputs(0),
      m_n_trees(0),
      m_shrinkage(0.0f),
      m_single_coords(1),
      m_max_depth(0),
      m_min_samples_split(0),
      m_split_type(0) {}

ZR_String ZR_PDBT::TypeName() const {
  return ZR_String("PDBT");
}

ZR_String ZR_PDBT::Describe() const {
  ZR_String s("ZR_PDBT\n");
  ZR_DescribeLine(s, "m_max_depth", m_max_depth);
  ZR_DescribeLine(s, "m_min_samples_split", m_min_samples_split);
  ZR_DescribeLine(s, "m_shrinkage", m_shrinkage);
  ZR_DescribeLine(s, "m_split_type", m_split_type);
  ZR_DescribeLine(s, "m_n_features", m_n_features);
  ZR_DescribeLine(s, "m_sample_size", m_sample_size);
  ZR_DescribeLine(s, "m_n_trees", m_n_trees);
  ZR_DescribeLine(s, "m_single_coords", int32_t(m_single_coords));
  ZR_DescribeLine(s, "m_n_outputs", m_n_outputs);
  return s;
}

ZR_Vector ZR_PDBT::Predict(ZR_Vector& x) const {
  ZR_Vector y = m_initial_output;
  ZR_Vector features;
  if (m_single_coords != 0) features = ZR_PairFeatures(x, m_pairs, m_n_features);
  static const ZR_List<zr_coord> kNoPairs;
  for (uint32_t t = 0; t < m_trees.m_count; ++t) {
    if (m_single_coords == 0)
      features =
          ZR_PairFeatures(x, t < m_tree_pairs.m_count ? m_tree_pairs[t] : kNoPairs, m_n_features);
    ZR_AddScaled(y, m_shrinkage, m_trees[t].Predict(features));
  }
  return y;
}

FILE* ZR_PDBT::Write(FILE* f) const {
  const int32_t version = 2;
  if (!ZR_WriteValue(f, version) || !ZR_WriteValue(f, m_n_features) ||
      !ZR_WriteValue(f, m_sample_size) || !ZR_WriteValue(f, m_n_outputs) ||
      !ZR_WriteValue(f, m_n_trees) || !ZR_WriteValue(f, m_shrinkage) ||
      !ZR_WriteValue(f, m_single_coords) || !ZR_WriteValue(f, m_max_depth) ||
      !ZR_WriteValue(f, m_min_samples_split) || !ZR_WriteValue(f, m_split_type) ||
      m_initial_output.Write(f) == nullptr)
    return nullptr;
  if (m_trees.m_count > uint32_t(std::numeric_limits<int32_t>::max()) ||
      m_tree_pairs.m_count > uint32_t(std::numeric_limits<int32_t>::max()))
    return nullptr;
  const int32_t trees = static_cast<int32_t>(m_trees.m_count);
  if (!ZR_WriteValue(f, trees)) return nullptr;
  for (uint32_t t = 0; t < m_trees.m_count; ++t)
    if (m_trees[t].WriteCompact(f) == nullptr) return nullptr;
  if (!WriteShortPairs(f, m_pairs)) return nullptr;
  const int32_t lists = static_cast<int32_t>(m_tree_pairs.m_count);
  if (!ZR_WriteValue(f, lists)) return nullptr;
  for (uint32_t k = 0; k < m_tree_pairs.m_count; ++k)
    if (!WriteShortPairs(f, m_tree_pairs[k])) return nullptr;
  return f;
}

FILE* ZR_PDBT::Read(FILE* f) {
  int32_t version;
  if (!ZR_ReadValue(f, version) || !ZR_ReadValue(f, m_n_features) ||
      !ZR_ReadValue(f, m_sample_size) || !ZR_ReadValue(f, m_n_outputs) ||
      !ZR_ReadValue(f, m_n_trees) || !ZR_ReadValue(f, m_shrinkage) ||
      !ZR_ReadValue(f, m_single_coords) || !ZR_ReadValue(f, m_max_depth) ||
      !ZR_ReadValue(f, m_min_samples_split) || !ZR_ReadValue(f, m_split_type) ||
      !zr_element_record<ZR_Vector>::ReadOne(f, m_initial_output))
    return nullptr;
  if (version >= 2) return ReadCompactSections(f);
  if (ZR_ReadTreeList(f, m_trees) == nullptr || m_pairs.Read(f) == nullptr ||
      m_tree_pairs.Read(f) == nullptr)
    return nullptr;
  return f;
}

FILE* ZR_PDBT::ReadCompactSections(FILE* f) {
  // Trees are appended one by one, each read in place; the grow step is the count, so the list
  // holds one block.
  m_trees.Clear();
  int32_t trees;
  if (!ZR_ReadValue(f, trees)) return nullptr;
  if (trees < 0 || !ZR_RecordFits(f, uint32_t(trees), ZR_Tree::kMinCompactBytes)) return nullptr;
  if (trees != 0) m_trees.SetGrowStep(uint32_t(trees));
  for (int32_t t = 0; t < trees; ++t) {
    m_trees.Add(ZR_Tree());
    if (m_trees[m_trees.m_count - 1].ReadCompact(f) == nullptr) return nullptr;
  }
  if (!ReadShortPairs(f, m_pairs)) return nullptr;
  m_tree_pairs.Clear();
  int32_t lists;
  if (!ZR_ReadValue(f, lists)) return nullptr;
  if (lists < 0 || !ZR_RecordFits(f, uint32_t(lists), 4)) return nullptr;
  if (lists != 0) m_tree_pairs.SetGrowStep(uint32_t(lists));
  for (int32_t k = 0; k < lists; ++k) {
    m_tree_pairs.Add(ZR_List<zr_coord>());
    if (!ReadShortPairs(f, m_tree_pairs[m_tree_pairs.m_count - 1])) return nullptr;
  }
  return f;
}

void ZR_PDBT::Clear() {
  m_single_coords = 1;
  m_n_trees = 0;
  m_sample_size = 0;
  m_trees.Clear();
  m_tree_pairs.Clear();
  m_pairs.Clear();
}
