// tools/quillbeck_models/landmark_model_section.cpp: the landmark-model section: the per-pose
// templates are the head's perspective projections, checked by the product's own estimator; the
// shape model is the product's PCA over Procrustes-aligned observations; the record is read back
// through the product's reader before it is handed out.
#include "tools/quillbeck_models/landmark_model_section.h"

#include <algorithm>
#include <cmath>

#include "core/zr_lud.h"
#include "face/shape/zr_landmark_model.h"
#include "face/shape/zr_pca.h"
#include "image/zr_warper2d.h"
#include "tools/quillbeck_models/pose_projection.h"
#include "tools/quillbeck_models/procrustes.h"
#include "tools/quillbeck_models/records/landmark_model_record.h"
#include "tools/quillbeck_models/records/shape_model_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/shape_observations.h"

namespace {

// Counts one thin-plate system by its outcome.
void CountWarper(const ZR_List<ZR_Vector2D>& first, const ZR_List<ZR_Vector2D>& second,
                 zr_landmark_section_report& report) {
  try {
    const ZR_Warper2D w(first, second);
    (w.m_valid ? report.warpers_valid : report.warpers_invalid)++;
  } catch (const LUDexception&) {
    report.warpers_threw++;
  }
}

}  // namespace

std::vector<uint8_t> LandmarkModelSection(const std::vector<ZR_Vector2D>& mean68,
                                          const zr_landmark_section_options& options,
                                          zr_landmark_section_report* report_out,
                                          std::string& error) {
  zr_landmark_section_report report;
  if (mean68.size() != 68) {
    error = "LandmarkModelSection() Error! the mean shape needs 68 points\n";
    return {};
  }
  const std::vector<ZR_Vector3D> head = SyntheticHead68(mean68);
  const std::vector<ZR_Vector3D> full = FullLayoutPoints(head);
  const std::vector<int> reduced = ReducedIndices();
  if (full.size() != 97 || reduced.size() != 50) {
    error = "LandmarkModelSection() Error! layout is not 97 / 50 points\n";
    return {};
  }
  const std::vector<uint8_t> estimator = PoseEstimatorRecordFor(SelectPoints(full, reduced));
  if (estimator.empty()) {
    error = "LandmarkModelSection() Error! the estimator's object points are degenerate\n";
    return {};
  }

  // Per-pose templates: rows are the second angle (y), columns the first (x).
  zr_landmark_model_fields fields;
  fields.estimator = estimator;
  fields.second_estimator = estimator;
  const int32_t bins = options.bins;
  fields.shapes.Resize(-bins, bins, -bins, bins);
  for (int32_t row = -bins; row <= bins; ++row) {
    for (int32_t col = -bins; col <= bins; ++col) {
      const std::vector<float> xy = Project(full, PoseRotation(10.0 * col, 10.0 * row));
      fields.shapes[row][col] = ToVector(xy);
      const ZR_List<ZR_Vector2D> points = PointList(xy, reduced);
      CountWarper(points, points, report);
      ++report.templates;
    }
  }
  const int32_t template_warpers_valid = report.warpers_valid;
  const std::vector<float> frontal = Project(full, PoseRotation(0, 0));
  // The template's stored points: the frontal shape, normalised into 0..1.
  std::vector<float> template_xy;
  for (size_t i = 0; i < frontal.size(); ++i) template_xy.push_back(frontal[i] / 400.0f + 0.5f);
  fields.anno_model = FullLayoutSpec(template_xy);

  // Observations: synthetic poses and expressions with noise, then any real shapes.
  const std::vector<ZR_Vector> shapes = ShapeObservations(head, options, report);
  const ZR_List<ZR_Vector2D> frontal_points = PointList(frontal, reduced);
  for (const ZR_Vector& s : shapes) {
    ZR_List<ZR_Vector2D> points;
    for (int i : reduced) points.Add(ZR_Vector2D(s[2 * i], s[2 * i + 1]));
    CountWarper(frontal_points, points, report);
  }

  // Generalised Procrustes in the direction Constrain uses, three rounds.
  ZR_Vector mean = ToVector(frontal);
  std::vector<ZR_Vector> aligned;
  try {
    aligned = AlignShapes(shapes, mean);
  } catch (const LUDexception& e) {
    error = std::string("LandmarkModelSection() Error! alignment: ") + e.m_message.m_text;
    return {};
  }
  ZR_PCA pca;
  for (const ZR_Vector& a : aligned) pca.AddObservation(a);
  pca.BuildWithMaxModesForVariance(20, 98.0f);
  if (!pca.IsBuilt()) {
    error = std::string("LandmarkModelSection() Error! PCA: ") + pca.GetMessage().m_text + "\n";
    return {};
  }
  report.observations = int32_t(shapes.size());
  report.modes = pca.GetNparams();
  for (const ZR_Vector& a : aligned) report.below_150 += pca.ObsDistance(a) < 150.0f ? 1 : 0;

  zr_shape_model_fields shape;
  shape.reference_model = fields.anno_model;
  bool ok = false;
  shape.pca = ZR_WrittenBytes([&](FILE* f) { return pca.Write(f); }, &ok);
  shape.reference_shape = pca.GetMean();
  fields.shape_model = ShapeModelRecord(shape);
  const std::vector<uint8_t> record = LandmarkModelRecord(fields);
  if (!ok || fields.shape_model.empty() || record.empty()) {
    error = "LandmarkModelSection() Error! a record writer failed\n";
    return {};
  }

  // Self-checks through the product's own reader and estimator.
  ZR_LandmarkModel model;
  ZR_MemoryFile f(record);
  if (model.Read(f.get()) == nullptr || f.Left() != 0) {
    error = "LandmarkModelSection() Error! the record does not read back\n";
    return {};
  }
  ZR_AnnoModel2D face = ReducedMeanModel(mean68);
  for (int32_t row = -bins; row <= bins; ++row) {
    for (int32_t col = -bins; col <= bins; ++col) {
      const ZR_Vector& xy = model.m_shapes[row][col];
      ZR_Vector flat;
      flat.Resize(100);
      for (size_t k = 0; k < reduced.size(); ++k) {
        flat[int32_t(2 * k)] = xy[2 * reduced[k]];
        flat[int32_t(2 * k + 1)] = xy[2 * reduced[k] + 1];
      }
      face.SetPoints(ZR_Vector2D(1, 1), flat, 1);
      ZR_PoseEstimator copy(model.m_estimator);
      const ZR_Vector3D angles = model.EstimatePose(ZR_Vector2D(1, 1), face, copy);
      const float ex = std::fabs(angles.x - 10.0f * col), ey = std::fabs(angles.y - 10.0f * row);
      report.worst_angle_error = std::max(report.worst_angle_error, std::max(ex, ey));
      if (std::lround(angles.x / 10) == col && std::lround(angles.y / 10) == row)
        ++report.bins_recovered;
    }
  }
  ZR_Vector reference = model.m_shape_model.m_reference_shape;
  const ZR_Vector before = reference;
  model.m_shape_model.Constrain(reference, 0, 150.0f);
  for (uint32_t k = 0; k < reference.m_count; ++k)
    report.reference_change =
        std::max(report.reference_change, std::fabs(reference[int32_t(k)] - before[int32_t(k)]));
  if (report_out != nullptr) *report_out = report;
  if (report.bins_recovered != report.templates || template_warpers_valid != report.templates) {
    error = "LandmarkModelSection() Error! a template fails its pose or warper check\n";
    return {};
  }
  return record;
}
