// tools/quillbeck_models/landmark_model_section.h: the pose-dependent landmark model of
// "Landmarks.data", made from dlib's 68-point mean shape: the 97-point full layout, a synthetic
// 3-D head model, the pose estimators, the per-pose templates and a shape model built with the
// product's own PCA. Nothing here is measured 3-D data: the depth profile is hand-made.
#ifndef TOOLS_QUILLBECK_MODELS_LANDMARK_MODEL_SECTION_H
#define TOOLS_QUILLBECK_MODELS_LANDMARK_MODEL_SECTION_H

#include <cstdint>
#include <string>
#include <vector>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_point.h"
#include "tools/quillbeck_models/records/annotation_record.h"

// Reads the mean shape (68 points, unit box, y down as dlib stores it) from a dlib shape
// predictor file. False with error set when the file cannot be read or holds another count.
bool ReadDlibMeanShape(const std::string& dat_path, std::vector<ZR_Vector2D>& mean68,
                       std::string& error);

// The 97 full-layout points from 68 dlib points; every one an affine combination of dlib points,
// so the map applies to 3-D points and commutes with similarities. Groups in the order BROW
// RIDGE 11, OUTER MOUTH 12, INNER MOUTH 12, RIGHT EYE 8, LEFT EYE 8, NOSE 24, FACE 22.
std::vector<ZR_Vector3D> FullLayoutPoints(const std::vector<ZR_Vector3D>& dlib68);

// The full-layout annotation groups (names, open flags, fixed indices) holding xy (194 floats).
std::vector<zr_annotation_fields> FullLayoutSpec(const std::vector<float>& xy);

// The full mean model: the mean shape mapped to the full layout, normalised to 0..1 with y from
// the bottom; and its reduced (50-point) layout.
ZR_AnnoModel2D FullMeanModel(const std::vector<ZR_Vector2D>& mean68);
ZR_AnnoModel2D ReducedMeanModel(const std::vector<ZR_Vector2D>& mean68);
// The same as annotation-model file records (int32 model flag, annotation list).
std::vector<uint8_t> FullMeanModelRecord(const std::vector<ZR_Vector2D>& mean68);
std::vector<uint8_t> ReducedMeanModelRecord(const std::vector<ZR_Vector2D>& mean68);

// The synthetic 3-D head: the mean shape in template units (x 200, x right, y up) with the
// documented depth profile, z away from the camera (the nose tip has negative z). 68 points.
std::vector<ZR_Vector3D> SyntheticHead68(const std::vector<ZR_Vector2D>& mean68);

// A ready pose-estimator record for the given 3-D model points (focal 760, R = I, the camera at
// 3 x focal, the pseudo-inverse by LU). Empty when the object points are degenerate.
std::vector<uint8_t> PoseEstimatorRecordFor(const std::vector<ZR_Vector3D>& points);
// The estimator record of the 97 full-layout points, and of the 50 reduced ones (the landmark
// model's first estimator).
std::vector<uint8_t> FullPoseEstimatorRecord(const std::vector<ZR_Vector2D>& mean68);
std::vector<uint8_t> ReducedPoseEstimatorRecord(const std::vector<ZR_Vector2D>& mean68);

struct zr_landmark_section_options {
  int32_t bins = 2;            // the table spans -bins..bins in both angles (10 degrees each)
  int32_t observations = 400;  // synthetic shapes for the PCA besides the real ones
  uint32_t seed = 14;
  // Real 68-point shapes (any pixel frame, y down), e.g. landmarks fitted on photos; optional.
  std::vector<std::vector<ZR_Vector2D>> real_shapes;
};

// What the builder measured while it made the section.
struct zr_landmark_section_report {
  int32_t templates = 0;
  int32_t bins_recovered = 0;   // per-pose templates whose estimated bin is the intended one
  float worst_angle_error = 0;  // degrees, over the templates
  int32_t warpers_valid = 0;    // thin-plate systems of the 50 reduced points, per outcome
  int32_t warpers_invalid = 0;
  int32_t warpers_threw = 0;
  int32_t observations = 0;
  int32_t real_observations = 0;
  int32_t modes = 0;
  int32_t below_150 = 0;       // training shapes with Mahalanobis distance < 150
  float reference_change = 0;  // largest change of the reference shape by Constrain
};

// The landmark-model record (as ZR_LandmarkModel::Read takes it, after the file's header word).
// Empty, with error set, when a part cannot be made or a self-check fails.
std::vector<uint8_t> LandmarkModelSection(const std::vector<ZR_Vector2D>& mean68,
                                          const zr_landmark_section_options& options,
                                          zr_landmark_section_report* report, std::string& error);

#endif  // TOOLS_QUILLBECK_MODELS_LANDMARK_MODEL_SECTION_H
