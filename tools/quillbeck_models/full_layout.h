// tools/quillbeck_models/full_layout.h: the 97-point full layout of the landmark models, a table of
// affine combinations of dlib's 68 points in seven groups, and what the builder derives from it:
// the points, the annotation groups, a group's index range, the reduced (50-point) indices and the
// mean models.
#ifndef TOOLS_QUILLBECK_MODELS_FULL_LAYOUT_H
#define TOOLS_QUILLBECK_MODELS_FULL_LAYOUT_H

#include <cstdint>
#include <vector>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_point.h"
#include "tools/quillbeck_models/records/annotation_record.h"

// The 97 full-layout points from 68 dlib points; every one an affine combination of dlib points,
// so the map applies to 3-D points and commutes with similarities. Groups in the order BROW
// RIDGE 11, OUTER MOUTH 12, INNER MOUTH 12, RIGHT EYE 8, LEFT EYE 8, NOSE 24, FACE 22.
std::vector<ZR_Vector3D> FullLayoutPoints(const std::vector<ZR_Vector3D>& dlib68);

// The full-layout annotation groups (names, open flags, fixed indices) holding xy (194 floats).
std::vector<zr_annotation_fields> FullLayoutSpec(const std::vector<float>& xy);

// The full-layout indices first .. first + count - 1 of the table's group of that name; count 0
// when no group has it.
struct zr_layout_range {
  int first = 0;
  int count = 0;
};
zr_layout_range FullLayoutGroup(const char* name);

// Full-layout indices of the 50 reduced points, in reduced order.
std::vector<int> ReducedIndices();

// The points at the given indices, in their order.
std::vector<ZR_Vector3D> SelectPoints(const std::vector<ZR_Vector3D>& points,
                                      const std::vector<int>& indices);
// The 2-D points at z = 0.
std::vector<ZR_Vector3D> LiftPoints(const std::vector<ZR_Vector2D>& p);

// The full mean model: the mean shape mapped to the full layout, normalised to 0..1 with y from
// the bottom; and its reduced (50-point) layout.
ZR_AnnoModel2D FullMeanModel(const std::vector<ZR_Vector2D>& mean68);
ZR_AnnoModel2D ReducedMeanModel(const std::vector<ZR_Vector2D>& mean68);
// The same as annotation-model file records (int32 model flag, annotation list).
std::vector<uint8_t> FullMeanModelRecord(const std::vector<ZR_Vector2D>& mean68);
std::vector<uint8_t> ReducedMeanModelRecord(const std::vector<ZR_Vector2D>& mean68);

#endif  // TOOLS_QUILLBECK_MODELS_FULL_LAYOUT_H
