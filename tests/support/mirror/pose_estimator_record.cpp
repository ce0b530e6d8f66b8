// tests/support/mirror/pose_estimator_record.cpp: the estimator record, in ZR_PoseEstimator::Read's
// field order.
#include "tests/support/mirror/pose_estimator_record.h"

#include "tests/support/zr_memory_file.h"
#include "tests/support/zr_record_bytes.h"

std::vector<uint8_t> PoseEstimatorRecord(const zr_pose_estimator_spec& spec) {
  ZR_RecordBytes r;
  r.I32(spec.version).I32(spec.focal).I32(spec.n).F32(spec.change);
  r.U8(spec.ready).U8(0).U8(0).U8(0);
  bool ok = true, part = false;
  const auto add = [&](const std::vector<uint8_t>& bytes) {
    ok = ok && part;
    r.Record(bytes);
  };
  add(ZR_WrittenBytes([&](FILE* f) { return spec.reference.Write(f); }, &part));
  add(ZR_WrittenBytes([&](FILE* f) { return spec.corrections.Write(f); }, &part));
  r.F32(spec.tx).F32(spec.ty).F32(spec.tz);
  for (const ZR_Matrix* m :
       {&spec.rotation, &spec.object, &spec.third, &spec.pinv, &spec.working, &spec.previous})
    add(ZR_WrittenBytes([&](FILE* f) { return m->Write(f); }, &part));
  if (!ok) return {};
  return r;
}
