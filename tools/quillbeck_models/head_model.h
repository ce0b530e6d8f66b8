// tools/quillbeck_models/head_model.h: the 3-D head of the landmark models: dlib's 68-point mean
// shape read from a predictor file, a hand-made depth profile (nothing here is measured 3-D data),
// non-rigid expressions, and the pose-estimator records of its full and reduced points.
#ifndef TOOLS_QUILLBECK_MODELS_HEAD_MODEL_H
#define TOOLS_QUILLBECK_MODELS_HEAD_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/zr_point.h"

constexpr float kFocal = 760.0f;
constexpr float kDistance = 3.0f * 760.0f;  // camera distance of the templates and the estimator
constexpr float kUnits = 200.0f;            // template units per unit of the mean shape

// Reads the mean shape (68 points, unit box, y down as dlib stores it) from a dlib shape
// predictor file. False with error set when the file cannot be read or holds another count.
bool ReadDlibMeanShape(const std::string& dat_path, std::vector<ZR_Vector2D>& mean68,
                       std::string& error);

// The synthetic 3-D head: the mean shape in template units (x 200, x right, y up) with the
// documented depth profile, z away from the camera (the nose tip has negative z). 68 points.
std::vector<ZR_Vector3D> SyntheticHead68(const std::vector<ZR_Vector2D>& mean68);

// The 68 dlib points of the head with a non-rigid expression applied (template units, y up): the
// jaw opened, the mouth corners raised and the brows lifted by the given mean-shape fractions.
std::vector<ZR_Vector3D> Express(std::vector<ZR_Vector3D> head, float jaw, float smile, float brow);

// A ready pose-estimator record for the given 3-D model points (focal 760, R = I, the camera at
// 3 x focal, the pseudo-inverse by LU). Empty when the object points are degenerate.
std::vector<uint8_t> PoseEstimatorRecordFor(const std::vector<ZR_Vector3D>& points);
// The estimator record of the 97 full-layout points, and of the 50 reduced ones (the landmark
// model's first estimator).
std::vector<uint8_t> FullPoseEstimatorRecord(const std::vector<ZR_Vector2D>& mean68);
std::vector<uint8_t> ReducedPoseEstimatorRecord(const std::vector<ZR_Vector2D>& mean68);

#endif  // TOOLS_QUILLBECK_MODELS_HEAD_MODEL_H
