// tests/support/mirror/landmark_model_record.cpp: the landmark-model record in
// ZR_LandmarkModel::Read's order.
#include "tests/support/mirror/landmark_model_record.h"

#include "tests/support/zr_memory_file.h"
#include "tests/support/zr_record_bytes.h"

std::vector<uint8_t> LandmarkModelRecord(const zr_landmark_model_spec& spec) {
  ZR_RecordBytes r;
  r.I32(spec.version).Record(spec.estimator).Record(spec.second_estimator);
  bool ok = false, all = true;
  r.Record(ZR_WrittenBytes([&](FILE* f) { return spec.shapes.Write(f); }, &ok));
  all = all && ok;
  r.Record(ZR_WrittenBytes([&](FILE* f) { return spec.extra_table.Write(f); }, &ok));
  all = all && ok;
  AnnoModelRecord(r, spec.anno_model);
  r.Record(ZR_WrittenBytes([&](FILE* f) { return spec.extra_vector.Write(f); }, &ok));
  all = all && ok;
  r.Record(spec.shape_model);
  if (!all) return {};
  return r;
}
