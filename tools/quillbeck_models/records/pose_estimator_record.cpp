// tools/quillbeck_models/records/pose_estimator_record.cpp: the estimator record, in
// ZR_PoseEstimator::Read's field order.
#include "tools/quillbeck_models/records/pose_estimator_record.h"

#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

std::vector<uint8_t> PoseEstimatorRecord(const zr_pose_estimator_fields& fields) {
  ZR_RecordBytes r;
  r.I32(fields.version).I32(fields.focal).I32(fields.n).F32(fields.change);
  r.U8(fields.ready).U8(0).U8(0).U8(0);
  bool ok = true, part = false;
  const auto add = [&](const std::vector<uint8_t>& bytes) {
    ok = ok && part;
    r.Record(bytes);
  };
  add(ZR_WrittenBytes([&](FILE* f) { return fields.reference.Write(f); }, &part));
  add(ZR_WrittenBytes([&](FILE* f) { return fields.corrections.Write(f); }, &part));
  r.F32(fields.tx).F32(fields.ty).F32(fields.tz);
  for (const ZR_Matrix* m : {&fields.rotation, &fields.object, &fields.third, &fields.pinv,
                             &fields.working, &fields.previous})
    add(ZR_WrittenBytes([&](FILE* f) { return m->Write(f); }, &part));
  if (!ok) return {};
  return r;
}
