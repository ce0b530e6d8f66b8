// tools/quillbeck_models/records/landmark_model_record.h: writes the pose-dependent landmark-model
// record, mirroring ZR_LandmarkModel::Read: version, two estimator records, the per-pose table
// (written by the product's ZR_Array2D<ZR_Vector> writer), the extra table, the template annotation
// model, the extra vector and the shape-model record.
#ifndef TOOLS_QUILLBECK_MODELS_RECORDS_LANDMARK_MODEL_RECORD_H
#define TOOLS_QUILLBECK_MODELS_RECORDS_LANDMARK_MODEL_RECORD_H

#include <cstdint>
#include <vector>

#include "core/zr_array2d.h"
#include "core/zr_vector.h"
#include "tools/quillbeck_models/records/annotation_record.h"

struct zr_landmark_model_fields {
  int32_t version = 1;
  std::vector<uint8_t> estimator;         // PoseEstimatorRecord
  std::vector<uint8_t> second_estimator;  // PoseEstimatorRecord
  ZR_Array2D<ZR_Vector> shapes;
  ZR_Array2D<uint32_t> extra_table;
  std::vector<zr_annotation_fields> anno_model;
  ZR_Vector extra_vector;
  std::vector<uint8_t> shape_model;  // ShapeModelRecord
};

// The record bytes (without the file's header word); empty when a writer failed.
std::vector<uint8_t> LandmarkModelRecord(const zr_landmark_model_fields& fields);

#endif  // TOOLS_QUILLBECK_MODELS_RECORDS_LANDMARK_MODEL_RECORD_H
