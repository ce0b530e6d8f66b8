// face/shape/zr_landmark_model.cpp: reading the pose-dependent landmark model and refining
// predictor landmarks with it. The data is checked against the fitted layout before anything is
// indexed: a mismatch, an invalid warper or NaN angles fail the fit, never giving points at (0, 0).
#include "face/shape/zr_landmark_model.h"

#include <cmath>
#include <cstdio>

#include "core/zr_lud.h"
#include "core/zr_record_io.h"
#include "core/zr_rounding.h"
#include "core/zr_zero_based.h"
#include "face/shape/zr_flat_anno_model2d.h"
#include "image/zr_warper2d.h"

namespace {

bool Fail(ZR_String* error, const char* text) {
  if (error != nullptr) *error = text;
  return false;
}

// Points of the annotations whose include flag passes: exactly 1 (exact) or non-zero.
uint32_t IncludedPoints(const ZR_AnnoModel2D& model, bool exact) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < model.m_count; ++i)
    if (exact ? model[i].m_include == 1 : model[i].m_include != 0) n += model[i].m_count;
  return n;
}

// True when both models hold the same group names in the same order with the same counts.
bool SameLayout(const ZR_AnnoModel2D& a, const ZR_AnnoModel2D& b) {
  if (a.m_count != b.m_count) return false;
  for (uint32_t i = 0; i < a.m_count; ++i)
    if (a[i].m_count != b[i].m_count || a[i].m_name != b[i].m_name) return false;
  return true;
}

int32_t Clamp(int64_t v, int32_t lo, int32_t hi) {
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return static_cast<int32_t>(v);
}

}  // namespace

ZR_LandmarkModel::ZR_LandmarkModel()
    : m_face_index(-1), m_nose_index(-1), m_inner_mouth_index(-1) {}

ZR_LandmarkModel::~ZR_LandmarkModel() {}

FILE* ZR_LandmarkModel::Read(FILE* f) {
  int32_t version;
  if (!ZR_ReadValue(f, version)) return nullptr;
  if (m_estimator.Read(f) == nullptr || m_second_estimator.Read(f) == nullptr) return nullptr;
  if (m_shapes.Read(f) == nullptr || m_extra_table.Read(f) == nullptr) return nullptr;
  if (m_anno_model.Read(f) == nullptr) return nullptr;
  if (m_extra_vector.ZR_Array<float>::Read(f) == nullptr || !ZR_IsZeroBased(m_extra_vector))
    return nullptr;
  if (m_extra_vector.m_count == 0) m_extra_vector.Resize(0);
  if (m_shape_model.Read(f) == nullptr) return nullptr;
  BuildFeatureMasks();
  return f;
}

void ZR_LandmarkModel::BuildFeatureMasks() {
  m_masks.Clear();
  m_sources.Clear();
  ZR_AnnoModel2D reduced(m_anno_model);
  reduced.ReduceLayout();
  for (uint32_t g = 0; g < m_anno_model.m_count; ++g) {
    const ZR_Annotation2D& group = m_anno_model[g];
    m_masks.Add(ZR_List<bool>());
    m_sources.Add(ZR_List<zr_coord>());
    ZR_List<bool>& mask = m_masks[g];
    ZR_List<zr_coord>& sources = m_sources[g];
    const int32_t a = reduced.FindAnnotation(group.m_name);
    for (uint32_t k = 0; k < group.m_count; ++k) {
      mask.Add(false);
      sources.Add(zr_coord{a, -1});
    }
    uint32_t count;
    const int32_t* points = ZR_ReducedLayoutSources(group.m_name, count);
    for (uint32_t r = 0; r < count; ++r) {
      const uint32_t k = uint32_t(points[r]);
      if (k >= group.m_count) break;  // a short group: ReduceLayout drops the same points
      mask[k] = true;
      sources[k].y = int32_t(r);
    }
  }
  m_face_index = m_anno_model.FindAnnotation("FACE");
  m_nose_index = reduced.FindAnnotation("NOSE");
  m_inner_mouth_index = reduced.FindAnnotation("INNER MOUTH");
}

ZR_Vector3D ZR_LandmarkModel::EstimatePose(const ZR_Vector2D& size, const ZR_AnnoModel2D& face,
                                           ZR_PoseEstimator& estimator) const {
  ZR_List<ZR_Vector2D> scaled;
  face.GetScaledPoints(size, scaled, 1);
  ZR_Array<ZR_Vector2D> points;
  points.Resize(int32_t(scaled.m_count));
  for (uint32_t j = 0; j < scaled.m_count; ++j) points[int32_t(j)] = scaled[j];
  if (scaled.m_count != 0) {
    ZR_Vector2D sum = points[0];
    for (uint32_t j = 1; j < scaled.m_count; ++j) sum = sum + points[int32_t(j)];
    const ZR_Vector2D mean = sum / static_cast<float>(scaled.m_count);
    for (uint32_t j = 0; j < scaled.m_count; ++j) points[int32_t(j)] = points[int32_t(j)] - mean;
  }
  estimator.Estimate(points);  // a refusal leaves the stored R
  ZR_Vector3D angles(0.0f, 0.0f, 0.0f);
  RotationToAngles(estimator.m_rotation, angles, 0);
  return angles;
}

bool ZR_LandmarkModel::Fit(const ZR_Vector2D& s, ZR_AnnoModel2D& face, ZR_String* error) const {
  // The data must fit the layout before anything is indexed by it.
  if (!(s.x > 0.0f && s.y > 0.0f && std::isfinite(s.x) && std::isfinite(s.y)))
    return Fail(error, "ZR_LandmarkModel::Fit() Error! image size is not positive\n");
  if (m_shapes.m_count == 0)
    return Fail(error, "ZR_LandmarkModel::Fit() Error! the per-pose table is empty\n");
  {
    ZR_AnnoModel2D reduced(m_anno_model);
    reduced.ReduceLayout();
    if (!SameLayout(reduced, face))
      return Fail(error, "ZR_LandmarkModel::Fit() Error! face layout differs from the model's\n");
  }
  if (m_face_index < 0 || m_nose_index < 0 || m_inner_mouth_index < 0 ||
      face[uint32_t(m_nose_index)].m_count == 0 || face[uint32_t(m_inner_mouth_index)].m_count < 6)
    return Fail(error, "ZR_LandmarkModel::Fit() Error! the model lacks FACE, NOSE or mouth\n");
  const uint32_t full_values = 2 * IncludedPoints(m_anno_model, true);
  if (m_shape_model.m_stat_model != nullptr &&
      (2 * IncludedPoints(m_anno_model, false) != full_values ||
       int64_t(m_shape_model.m_stat_model->GetObsSize()) != int64_t(full_values) ||
       m_shape_model.m_reference_shape.m_count != full_values))
    return Fail(error, "ZR_LandmarkModel::Fit() Error! shape model length differs\n");

  // 1-2: pose and bin.
  ZR_PoseEstimator estimator(m_estimator);
  const ZR_Vector3D angles = EstimatePose(s, face, estimator);
  if (!std::isfinite(angles.x) || !std::isfinite(angles.y))
    return Fail(error, "ZR_LandmarkModel::Fit() Error! pose angles are not finite\n");
  const int32_t column =
      Clamp(ZR_RoundHalfAway(angles.x / 10.0f), m_shapes.m_col_lo, m_shapes.m_col_hi);
  const int32_t row =
      Clamp(ZR_RoundHalfAway(angles.y / 10.0f), m_shapes.m_row_lo, m_shapes.m_row_hi);
  const ZR_Vector& shape = m_shapes[row][column];
  if (shape.m_count != full_values)
    return Fail(error, "ZR_LandmarkModel::Fit() Error! per-pose shape length differs\n");

  // 3: mouth order.
  ZR_Annotation2D& mouth = face[uint32_t(m_inner_mouth_index)];
  if (mouth[5].y > mouth[1].y) {
    const ZR_Vector2D p1 = mouth[1], p2 = mouth[2];
    mouth[1] = mouth[5];
    mouth[5] = p1;
    mouth[2] = mouth[4];
    mouth[4] = p2;
  }

  // 4: forehead target from the nose, in pixels.
  const ZR_Annotation2D& nose = face[uint32_t(m_nose_index)];
  const uint32_t k = nose.m_count;
  const ZR_Vector2D mid = (nose[0] + nose[k - 1]) * 0.5f;
  const ZR_Vector2D m(mid.x * s.x, mid.y * s.y);
  const ZR_Vector2D c(nose[k / 2].x * s.x, nose[k / 2].y * s.y);
  const ZR_Vector2D target = m + (m - c) * 1.4f;

  // 5-7: the template at this pose, warped onto the fitted points.
  ZR_AnnoModel2D a(m_anno_model);
  a.SetPoints(s, shape, 1);
  ZR_AnnoModel2D b(a);
  b.ReduceLayout();
  ZR_List<ZR_Vector2D> fitted, templ;
  for (uint32_t i = 0; i < face.m_count; ++i) {
    for (uint32_t j = 0; j < face[i].m_count; ++j) {
      fitted.Add(ZR_Vector2D(face[i][j].x * s.x, face[i][j].y * s.y));
      templ.Add(ZR_Vector2D(b[i][j].x * s.x, b[i][j].y * s.y));
    }
  }
  // Only the forward spline (centres: the template's points, always distinct) is read below. The
  // inverse one would have the fitted points as centres, and the predictor rounds to whole
  // pixels, so closed lips put inner-mouth pairs on one pixel and would fail the fit.
  const ZR_Warper2D warper(templ, fitted, ZR_WARP_FORWARD_ONLY);
  if (!warper.m_valid)
    return Fail(error, "ZR_LandmarkModel::Fit() Error! the thin-plate warper is not valid\n");

  // 8: predictor points kept, the others warped.
  for (uint32_t i = 0; i < a.m_count; ++i) {
    ZR_Annotation2D& group = a[i];
    for (uint32_t j = 0; j < group.m_count; ++j) {
      const zr_coord source = m_sources[i][j];
      if (source.x >= 0 && source.y >= 0) {
        group[j] = face[uint32_t(source.x)][uint32_t(source.y)];
        continue;
      }
      ZR_Vector2D out;
      if (!warper.WarpPoint(ZR_Vector2D(group[j].x * s.x, group[j].y * s.y), out))
        return Fail(error, "ZR_LandmarkModel::Fit() Error! the thin-plate warper is not valid\n");
      group[j] = ZR_Vector2D(out.x / s.x, out.y / s.y);
    }
  }

  // 9-10: forehead drag, then the result replaces the face.
  a[uint32_t(m_face_index)].MovePoint(0, ZR_Vector2D(target.x / s.x, target.y / s.y));
  face = a;

  // 11-14: two constraint passes, the predictor's points restored after each.
  const float limit = (row < 0 ? -row : row) == m_shapes.m_row_hi ? 300.0f : 150.0f;
  ZR_FlatAnnoModel2D flat;
  flat.SetAnnoModel(s, face, m_masks);
  for (int pass = 0; pass < 2; ++pass) {
    m_shape_model.Constrain(flat.m_points, 0, limit);
    flat.RestoreFlaggedPoints();
  }
  flat.GetAnnoModel(s, face);

  // 15: fixed indices from the i-th included template annotation.
  uint32_t i = 0;
  for (uint32_t g = 0; g < a.m_count && i < face.m_count; ++g)
    if (a[g].m_include != 0) face[i++].m_fixed = a[g].m_fixed;
  return true;
}

bool TryFitLandmarkModel(const ZR_LandmarkModel& model, const ZR_Vector2D& size,
                         ZR_AnnoModel2D& face) {
  try {
    return model.Fit(size, face);
  } catch (const LUDexception&) {
    return false;
  }
}
