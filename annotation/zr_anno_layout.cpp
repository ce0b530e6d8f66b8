// annotation/zr_anno_layout.cpp: the landmark layout code (0 full or unknown, 1 reduced,
// 2 coarse) and the rewrite of a full-layout model into the reduced layout, whose groups take
// fixed subsets of the full layout's points. The refinement's point sources rely on this table.
#include "annotation/zr_anno_model2d.h"

#include <cstddef>

namespace {

struct zr_reduced_group {
  const char* name;
  const int32_t* sources;  // full-layout point indices, in the reduced order
  size_t source_count;
  const int32_t* fixed;
  size_t fixed_count;
  bool force_open;
};

constexpr int32_t kFaceSources[] = {4, 5, 7, 9, 10, 11, 12, 13, 15, 17, 18};
constexpr int32_t kFaceFixed[] = {0, 2, 5, 8, 10};
constexpr int32_t kBrowSources[] = {0, 2, 4, 6, 8, 10};
constexpr int32_t kBrowFixed[] = {0, 2, 3, 5};
constexpr int32_t kNoseSources[] = {1, 4, 5, 6, 8, 10, 12, 14, 16, 18, 19, 20, 23};
constexpr int32_t kNoseFixed[] = {0, 2, 4, 6, 8, 10, 12};
constexpr int32_t kEyeSources[] = {0, 2, 4, 6};
constexpr int32_t kEyeFixed[] = {0, 1, 2};
constexpr int32_t kMouthSources[] = {0, 2, 4, 6, 8, 10};
constexpr int32_t kMouthFixed[] = {0, 1, 2, 3};

template <size_t S, size_t F>
constexpr zr_reduced_group Group(const char* name, const int32_t (&sources)[S],
                                 const int32_t (&fixed)[F], bool force_open) {
  return {name, sources, S, fixed, F, force_open};
}

const zr_reduced_group kReducedGroups[] = {
    Group("FACE", kFaceSources, kFaceFixed, true),
    Group("BROW RIDGE", kBrowSources, kBrowFixed, false),
    Group("NOSE", kNoseSources, kNoseFixed, false),
    Group("RIGHT EYE", kEyeSources, kEyeFixed, false),
    Group("LEFT EYE", kEyeSources, kEyeFixed, false),
    Group("OUTER MOUTH", kMouthSources, kMouthFixed, false),
    Group("INNER MOUTH", kMouthSources, kMouthFixed, false),
};

// The reduced-layout entry whose name the annotation's name equals (exact, case-sensitive), or
// null.
const zr_reduced_group* FindGroup(const ZR_String& name) {
  for (const zr_reduced_group& group : kReducedGroups)
    if (name == group.name) return &group;
  return nullptr;
}

}  // namespace

const int32_t* ZR_ReducedLayoutSources(const ZR_String& name, uint32_t& count) {
  const zr_reduced_group* group = FindGroup(name);
  count = group == nullptr ? 0 : uint32_t(group->source_count);
  return group == nullptr ? nullptr : group->sources;
}

int32_t ZR_AnnoModel2D::GetLayoutCode() const {
  const int32_t nose = FindAnnotation("NOSE");
  const int32_t outer_mouth = FindAnnotation("OUTER MOUTH");
  const int32_t mouth = FindAnnotation("MOUTH");
  if (nose < 0) return 0;
  const uint32_t nose_points = (*this)[uint32_t(nose)].m_count;
  if (mouth >= 0) return nose_points == 3 && (*this)[uint32_t(mouth)].m_count == 4 ? 2 : 0;
  if (outer_mouth < 0) return 0;
  return nose_points == 13 && (*this)[uint32_t(outer_mouth)].m_count == 6 ? 1 : 0;
}

void ZR_AnnoModel2D::ReduceLayout() {
  const int32_t code = GetLayoutCode();
  if (code == 1 || code == 2) return;
  const ZR_AnnoModel2D full(*this);
  ZR_List<ZR_Annotation2D>::Clear();
  for (uint32_t a = 0; a < full.m_count; ++a) {
    const ZR_Annotation2D& source = full[a];
    const zr_reduced_group* group = FindGroup(source.m_name);
    if (group == nullptr) continue;  // "MOUTH" and every other name are dropped
    ZR_Annotation2D reduced;
    reduced.m_name = source.m_name;
    reduced.m_open = group->force_open ? 1 : source.m_open;
    // A group shorter than the full layout loses the points it lacks, and the fixed indices past
    // its end, instead of reading beyond its list.
    for (size_t k = 0; k < group->source_count; ++k)
      if (uint32_t(group->sources[k]) < source.m_count)
        reduced.Add(source[uint32_t(group->sources[k])]);
    for (size_t k = 0; k < group->fixed_count; ++k)
      if (uint32_t(group->fixed[k]) < reduced.m_count) reduced.m_fixed.Add(group->fixed[k]);
    Add(reduced);
  }
}
