// tests/support/model_file_records.h: the smallest valid records of the detector and
// IsFace model files, for truncation tables and fuzz seeds: a cascade without stages (valid; it
// finds nothing) and the record sequence of each file, with the end offset of every record.
#ifndef TESTS_SUPPORT_MODEL_FILE_RECORDS_H
#define TESTS_SUPPORT_MODEL_FILE_RECORDS_H

#include <cstdint>
#include <vector>

#include "tools/quillbeck_models/records/annotation_record.h"
#include "tools/quillbeck_models/records/cascade_record.h"
#include "tools/quillbeck_models/records/pose_estimator_record.h"
#include "tools/quillbeck_models/records/sampler_record.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

// An LBP cascade record with a 24 x 24 window and every table empty (77 bytes).
inline std::vector<uint8_t> EmptyCascadeRecord() {
  zr_cascade_record r;
  r.version = 1;
  r.stump_based = 1;
  r.feature_type = 1;
  r.categories = 256;
  r.window_height = r.window_width = r.eval_width = r.eval_height = 24;
  return CascadeRecordBytes(r);
}

// The bytes of a model file made of records, and the offset where each record ends (the first
// entry is the end of the leading int32 version word).
struct zr_model_file {
  std::vector<uint8_t> bytes;
  std::vector<long> ends;

  explicit zr_model_file(int32_t version = 1) {
    ZR_RecordBytes r;
    r.I32(version);
    Append(r);
  }
  zr_model_file& Append(const std::vector<uint8_t>& record) {
    bytes.insert(bytes.end(), record.begin(), record.end());
    ends.push_back(long(bytes.size()));
    return *this;
  }
  // Lengths at which a reader must fail: inside the version word, and for every record its
  // middle, one byte short of its end and (but for the last) its end.
  std::vector<long> Cuts() const {
    std::vector<long> cuts = {0, 2};
    long start = 0;
    for (size_t i = 0; i < ends.size(); ++i) {
      if (ends[i] - start > 2) cuts.push_back(start + (ends[i] - start) / 2);
      cuts.push_back(ends[i] - 1);
      if (i + 1 < ends.size()) cuts.push_back(ends[i]);
      start = ends[i];
    }
    return cuts;
  }
  std::vector<uint8_t> Prefix(long n) const {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + n);
  }
};

// A constructed, never estimated estimator: not ready, identity rotation, no points.
inline zr_pose_estimator_fields UnreadyEstimator() {
  zr_pose_estimator_fields e;
  e.ready = 0;
  e.rotation = ZR_Matrix(3, 3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) e.rotation[r][c] = r == c ? 1.0f : 0.0f;
  return e;
}

// "Detectors.data" with the given number of stage-less cascades (four make a valid file).
inline zr_model_file DetectorsFile(int cascades) {
  zr_model_file file;
  for (int i = 0; i < cascades; ++i) file.Append(EmptyCascadeRecord());
  return file;
}

// A small "IsFace.data": three stage-less cascades, estimator 1 as given, a constructed estimator
// 2, a one-annotation model with a format 5 sampler and a two-annotation model with a format 2
// sampler (the reader's other branch).
inline zr_model_file IsFaceFile(const zr_pose_estimator_fields& estimator) {
  zr_model_file file;
  for (int i = 0; i < 3; ++i) file.Append(EmptyCascadeRecord());
  file.Append(PoseEstimatorRecord(estimator));
  file.Append(PoseEstimatorRecord(UnreadyEstimator()));
  ZR_RecordBytes model1, model2;
  file.Append(
      AnnoModelRecord(model1, {{"FACE", true, {0, 2}, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}}}));
  file.Append(SamplerRecordOver(5, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.1f}));
  file.Append(
      AnnoModelRecord(model2, {{"NOSE", true, {}, {0.5f, 0.5f}}, {"LEFT EYE", false, {}, {}}}));
  file.Append(SamplerRecordOver(2, {0.5f, 0.5f, 0.6f, 0.5f, 0.5f, 0.6f}));
  return file;
}

#endif  // TESTS_SUPPORT_MODEL_FILE_RECORDS_H
