// tools/quillbeck_models/records/landmark_model_record.cpp: the landmark-model record in
// ZR_LandmarkModel::Read's order.
#include "tools/quillbeck_models/records/landmark_model_record.h"

#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

std::vector<uint8_t> LandmarkModelRecord(const zr_landmark_model_fields& fields) {
  ZR_RecordBytes r;
  r.I32(fields.version).Record(fields.estimator).Record(fields.second_estimator);
  bool ok = false, all = true;
  r.Record(ZR_WrittenBytes([&](FILE* f) { return fields.shapes.Write(f); }, &ok));
  all = all && ok;
  r.Record(ZR_WrittenBytes([&](FILE* f) { return fields.extra_table.Write(f); }, &ok));
  all = all && ok;
  AnnoModelRecord(r, fields.anno_model);
  r.Record(ZR_WrittenBytes([&](FILE* f) { return fields.extra_vector.Write(f); }, &ok));
  all = all && ok;
  r.Record(fields.shape_model);
  if (!all) return {};
  return r;
}
