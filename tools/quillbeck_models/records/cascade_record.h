// tools/quillbeck_models/records/cascade_record.h: writes a cascade record field by field,
// mirroring ReadCascadeRecord (the product only reads them). Used by the face tests, the fuzz seeds
// and the model-file builder.
#ifndef TOOLS_QUILLBECK_MODELS_RECORDS_CASCADE_RECORD_H
#define TOOLS_QUILLBECK_MODELS_RECORDS_CASCADE_RECORD_H

#include <cstdint>
#include <vector>

#include "face/detect/zr_cascade_record.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

// The record bytes of r: the head, the five counted tables, the evaluator words, the features.
inline ZR_RecordBytes& CascadeRecord(ZR_RecordBytes& out, const zr_cascade_record& r) {
  out.I32(r.version).U8(r.stump_based).I32(r.stage_type).I32(r.feature_type).I32(r.categories);
  out.I32(r.window_height).I32(r.window_width);
  out.I32(int32_t(r.stages.size()));
  for (const zr_cascade_stage& s : r.stages) out.I32(s.first).I32(s.count).F32(s.threshold);
  out.I32(int32_t(r.trees.size()));
  for (int32_t n : r.trees) out.I32(n);
  out.I32(int32_t(r.nodes.size()));
  for (const zr_cascade_node& n : r.nodes)
    out.I32(n.feature).I32(n.left).I32(n.right).F32(n.threshold);
  out.I32(int32_t(r.leaves.size()));
  for (float v : r.leaves) out.F32(v);
  out.I32(int32_t(r.subsets.size()));
  for (int32_t w : r.subsets) out.I32(w);
  out.I32(int32_t(r.features.size())).I32(r.eval_width).I32(r.eval_height).I32(r.eval_offset);
  for (int32_t v : r.norm_rect) out.I32(v);
  for (const zr_cascade_feature& e : r.features)
    out.I32(e.x).I32(e.y).I32(e.block_w).I32(e.block_h);
  return out;
}

inline std::vector<uint8_t> CascadeRecordBytes(const zr_cascade_record& r) {
  ZR_RecordBytes out;
  CascadeRecord(out, r);
  return out;
}

// A one-stage, one-stump, one-feature cascade over a 3 x 3 window of 1-pixel blocks: the stump
// sends LBP code `code` left (bit set in its subset) and the stage passes when the leaf reached
// is at least the threshold. left and right are the child fields (0: leaf 0, -1: leaf 1).
inline zr_cascade_record OneStumpCascade(int code, float leaf0, float leaf1, float threshold,
                                         int32_t left = 0, int32_t right = -1) {
  zr_cascade_record r;
  r.version = 1;
  r.stump_based = 1;
  r.feature_type = 1;
  r.categories = 256;
  r.window_height = 3;
  r.window_width = 3;
  r.stages = {{0, 1, threshold}};
  r.trees = {1};
  r.nodes = {{0, left, right, 0.0f}};
  r.leaves = {leaf0, leaf1};
  r.subsets.assign(8, 0);
  r.subsets[size_t(code >> 5)] = int32_t(uint32_t(1) << (code & 31));
  r.eval_width = 3;
  r.eval_height = 3;
  r.features = {{0, 0, 1, 1}};
  return r;
}

#endif  // TOOLS_QUILLBECK_MODELS_RECORDS_CASCADE_RECORD_H
