// tools/quillbeck_models/records/shape_model_record.h: writes the shape-model record, mirroring
// ZR_ShapeModel2D::Read: the reference annotation model, type, the PCA bytes (made by
// ZR_PCA::Write), the carried values A-G, the reference shape and the point array.
#ifndef TOOLS_QUILLBECK_MODELS_RECORDS_SHAPE_MODEL_RECORD_H
#define TOOLS_QUILLBECK_MODELS_RECORDS_SHAPE_MODEL_RECORD_H

#include <cstdint>
#include <vector>

#include "core/zr_vector.h"
#include "tools/quillbeck_models/records/annotation_record.h"

struct zr_shape_model_fields {
  int32_t version = 1;
  std::vector<zr_annotation_fields> reference_model;
  int32_t model_type = 1;
  std::vector<uint8_t> pca;  // a ZR_PCA record
  int32_t a = 0, b = -1, c = 0;
  float f = 98.0f;
  int32_t g = -1;
  ZR_Vector reference_shape;
  std::vector<float> points;  // x, y pairs of the carried point array
  int32_t d = 0, e = 0;
};

// The record bytes; empty when a writer failed.
std::vector<uint8_t> ShapeModelRecord(const zr_shape_model_fields& fields);

#endif  // TOOLS_QUILLBECK_MODELS_RECORDS_SHAPE_MODEL_RECORD_H
