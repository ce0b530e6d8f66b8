// tools/quillbeck_models/records/shape_model_record.cpp: the shape-model record in
// ZR_ShapeModel2D::Read's order (F and G before the reference shape, D and E last).
#include "tools/quillbeck_models/records/shape_model_record.h"

#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

std::vector<uint8_t> ShapeModelRecord(const zr_shape_model_fields& fields) {
  ZR_RecordBytes r;
  r.I32(fields.version);
  AnnoModelRecord(r, fields.reference_model);
  r.I32(fields.model_type).Record(fields.pca);
  r.I32(fields.a).I32(fields.b).I32(fields.c).F32(fields.f).I32(fields.g);
  bool ok = false;
  r.Record(ZR_WrittenBytes([&](FILE* f) { return fields.reference_shape.Write(f); }, &ok));
  if (!ok) return {};
  const int64_t n = int64_t(fields.points.size() / 2);
  r.ArrayHeader(uint64_t(n), 0, n - 1);
  for (size_t i = 0; i + 1 < fields.points.size(); i += 2)
    r.F32(fields.points[i]).F32(fields.points[i + 1]);
  r.I32(fields.d).I32(fields.e);
  return r;
}
