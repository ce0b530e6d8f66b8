// tools/quillbeck_models/records/predictor_record.h: the landmark predictor's data in plain types
// and its record, written field by field as ReadLandmarkPredictor reads it (shape, anchors, deltas,
// forests; the product only reads it). Used by the face tests and the model-file builder.
#ifndef TOOLS_QUILLBECK_MODELS_RECORDS_PREDICTOR_RECORD_H
#define TOOLS_QUILLBECK_MODELS_RECORDS_PREDICTOR_RECORD_H

#include <cstdint>
#include <vector>

#include "tools/quillbeck_models/records/zr_record_bytes.h"

struct zr_predictor_split {
  uint32_t idx1;
  uint32_t idx2;
  float thresh;
};

struct zr_predictor_tree {
  std::vector<zr_predictor_split> splits;
  std::vector<std::vector<float>> leaves;  // splits + 1 leaves of the shape's size
};

// zr_predictor_data: initial shape (x, y per point), then per level the anchor indices, the
// deltas (x, y pairs) and the trees.
struct zr_predictor_data {
  std::vector<float> shape;
  std::vector<std::vector<uint32_t>> anchors;
  std::vector<std::vector<float>> deltas;  // 2 floats per feature
  std::vector<std::vector<zr_predictor_tree>> forests;
};

inline ZR_RecordBytes& PredictorRecord(ZR_RecordBytes& out, const zr_predictor_data& p,
                                       int32_t version = 1) {
  out.I32(version).I32(int32_t(p.shape.size())).I32(1);
  for (float v : p.shape) out.F32(v);
  out.I32(int32_t(p.anchors.size()));
  for (const auto& level : p.anchors) {
    out.I32(int32_t(level.size()));
    for (uint32_t a : level) out.U32(a);
  }
  out.I32(int32_t(p.deltas.size()));
  for (const auto& level : p.deltas) {
    out.I32(int32_t(level.size() / 2));
    for (float v : level) out.F32(v);
  }
  out.I32(int32_t(p.forests.size()));
  for (const auto& level : p.forests) {
    out.I32(int32_t(level.size()));
    for (const zr_predictor_tree& t : level) {
      out.I32(int32_t(t.splits.size()));
      for (const zr_predictor_split& s : t.splits) out.U32(s.idx1).U32(s.idx2).F32(s.thresh);
      out.I32(int32_t(t.leaves.size()));
      for (const auto& leaf : t.leaves) {
        out.I32(int32_t(leaf.size())).I32(1);
        for (float v : leaf) out.F32(v);
      }
    }
  }
  return out;
}

inline std::vector<uint8_t> PredictorRecordBytes(const zr_predictor_data& p) {
  ZR_RecordBytes out;
  PredictorRecord(out, p);
  return out;
}

#endif  // TOOLS_QUILLBECK_MODELS_RECORDS_PREDICTOR_RECORD_H
