// tests/support/mirror/shape_model_record.cpp: the shape-model record in ZR_ShapeModel2D::Read's
// order (F and G before the reference shape, D and E last).
#include "tests/support/mirror/shape_model_record.h"

#include "tests/support/zr_memory_file.h"
#include "tests/support/zr_record_bytes.h"

std::vector<uint8_t> ShapeModelRecord(const zr_shape_model_spec& spec) {
  ZR_RecordBytes r;
  r.I32(spec.version);
  AnnoModelRecord(r, spec.reference_model);
  r.I32(spec.model_type).Record(spec.pca);
  r.I32(spec.a).I32(spec.b).I32(spec.c).F32(spec.f).I32(spec.g);
  bool ok = false;
  r.Record(ZR_WrittenBytes([&](FILE* f) { return spec.reference_shape.Write(f); }, &ok));
  if (!ok) return {};
  const int64_t n = int64_t(spec.points.size() / 2);
  r.ArrayHeader(uint64_t(n), 0, n - 1);
  for (size_t i = 0; i + 1 < spec.points.size(); i += 2)
    r.F32(spec.points[i]).F32(spec.points[i + 1]);
  r.I32(spec.d).I32(spec.e);
  return r;
}
