// tools/quillbeck_models/records/pose_estimator_record.h: writes the head-pose estimator record
// field by field, mirroring ZR_PoseEstimator::Read (the product only reads it). The arrays go
// through the product's own float array and 2-D writers.
#ifndef TOOLS_QUILLBECK_MODELS_RECORDS_POSE_ESTIMATOR_RECORD_H
#define TOOLS_QUILLBECK_MODELS_RECORDS_POSE_ESTIMATOR_RECORD_H

#include <cstdint>
#include <vector>

#include "core/zr_matrix.h"
#include "core/zr_vector.h"

// The fields of one estimator record, in record order.
struct zr_pose_estimator_fields {
  int32_t version = 1;
  int32_t focal = 760;
  int32_t n = 0;
  float change = 0.0f;
  uint8_t ready = 1;
  ZR_Vector reference = ZR_Vector(0.0f, 0.0f);
  ZR_Vector corrections;
  float tx = 0.0f, ty = 0.0f, tz = 0.0f;
  ZR_Matrix rotation;  // 3 x 3 or 2 x 2
  ZR_Matrix object;    // n x 3
  ZR_Matrix third;
  ZR_Matrix pinv;  // 3 x n
  ZR_Matrix working;
  ZR_Matrix previous;
};

// The record bytes; empty when a writer failed.
std::vector<uint8_t> PoseEstimatorRecord(const zr_pose_estimator_fields& fields);

#endif  // TOOLS_QUILLBECK_MODELS_RECORDS_POSE_ESTIMATOR_RECORD_H
