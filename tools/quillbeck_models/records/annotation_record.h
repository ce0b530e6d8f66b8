// tools/quillbeck_models/records/annotation_record.h: writes the annotation and annotation-model
// file records field by field, mirroring ZR_Annotation2D::Read and ZR_AnnoModel2D::Read (the
// product only reads them). Used by the record tests and by the model-file builder.
#ifndef TOOLS_QUILLBECK_MODELS_RECORDS_ANNOTATION_RECORD_H
#define TOOLS_QUILLBECK_MODELS_RECORDS_ANNOTATION_RECORD_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/quillbeck_models/records/zr_record_bytes.h"

// One annotation record: value, include, open, flag, the name record, colour bytes r, g, b, the
// fixed-index list, then the point list (xy holds x, y pairs).
inline ZR_RecordBytes& AnnotationRecord(ZR_RecordBytes& r, int32_t value, uint8_t include,
                                        uint8_t open, uint8_t flag, const std::string& name,
                                        const std::vector<int32_t>& fixed,
                                        const std::vector<float>& xy, uint8_t red = 10,
                                        uint8_t green = 20, uint8_t blue = 30) {
  r.I32(value).U8(include).U8(open).U8(flag).String(name).U8(red).U8(green).U8(blue);
  r.I32(int32_t(fixed.size()));
  for (int32_t i : fixed) r.I32(i);
  r.I32(int32_t(xy.size() / 2));
  for (float v : xy) r.F32(v);
  return r;
}

// One annotation of a model record, as the builder describes it.
struct zr_annotation_fields {
  std::string name;
  bool open;
  std::vector<int32_t> fixed;
  std::vector<float> xy;
};

// A model record (model flag 1, then the annotation list) whose annotations carry value 1,
// include 1, flag 1 and colour 0, 0, 255: the state of a freshly made annotation.
inline ZR_RecordBytes& AnnoModelRecord(ZR_RecordBytes& r,
                                       const std::vector<zr_annotation_fields>& annotations) {
  r.I32(1).I32(int32_t(annotations.size()));
  for (const zr_annotation_fields& a : annotations)
    AnnotationRecord(r, 1, 1, a.open ? 1 : 0, 1, a.name, a.fixed, a.xy, 0, 0, 255);
  return r;
}

#endif  // TOOLS_QUILLBECK_MODELS_RECORDS_ANNOTATION_RECORD_H
