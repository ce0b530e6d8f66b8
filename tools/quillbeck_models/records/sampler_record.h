// tools/quillbeck_models/records/sampler_record.h: mesh sampler records, mirroring
// ZR_Sampler2D::Read.
#ifndef TOOLS_QUILLBECK_MODELS_RECORDS_SAMPLER_RECORD_H
#define TOOLS_QUILLBECK_MODELS_RECORDS_SAMPLER_RECORD_H

#include <cstdint>
#include <vector>

#include "tools/quillbeck_models/records/zr_record_bytes.h"

// A sampler record of the given format with every block a format 5 record has (the reader of a
// lower format stops early); index_sets is the count of the format 5 block.
inline std::vector<uint8_t> SamplerRecord(int32_t format, int32_t index_sets = 2) {
  ZR_RecordBytes r;
  r.I32(format).I32(11).I32(12).I32(13);
  r.ArrayHeader(2, 0, 1);
  for (int i = 0; i < 2; ++i) r.F32(0.25f).F32(0.25f).F32(0.5f).I32(i).I32(i + 1).I32(i + 2);
  r.ArrayHeader(3, 0, 2).F32(0).F32(0).F32(1).F32(0).F32(0).F32(1);
  r.ArrayHeader(2, 0, 1).I32(4).I32(5).I32(6).I32(7);
  r.I32(1).I32(0).I32(1).I32(2);
  r.ArrayHeader(3, 0, 2).I32(9).I32(8).I32(7);
  r.U8(0xA1).I32(index_sets);
  for (int i = 0; i < index_sets; ++i) r.ArrayHeader(1, 0, 0).I32(100 + i);
  r.U8(0xB2);
  return r;
}

// A format 5 record with every array and list empty and no index sets (122 bytes): values 0,
// then the weights, points, coordinates, triangles, indices, flag A 0, count 0, flag B 0.
inline std::vector<uint8_t> EmptySamplerRecord() {
  ZR_RecordBytes r;
  r.I32(5).I32(0).I32(0).I32(0);
  r.ArrayHeader(0, 0, -1).ArrayHeader(0, 0, -1).ArrayHeader(0, 0, -1);
  r.I32(0).ArrayHeader(0, 0, -1);
  r.U8(0).I32(0).U8(0);
  return r;
}

// A sampler record over the points xy (x, y pairs; at least three points) holding only the blocks
// its format reads: a fan of triangles from point 0, one sample at the centroid of each (weights
// of a third, coordinates on a 64-pixel grid), the point indices 0..n-1 and, for format 5, one
// index set of all points. Nothing samples through it; it only has to parse as a model file's.
inline std::vector<uint8_t> SamplerRecordOver(int32_t format, const std::vector<float>& xy) {
  const int32_t n = int32_t(xy.size() / 2), t = n >= 3 ? n - 2 : 0;
  ZR_RecordBytes r;
  r.I32(format).I32(1).I32(0).I32(0);
  r.ArrayHeader(uint64_t(t), 0, t - 1);
  for (int32_t i = 0; i < t; ++i) {
    const float third = 1.0f / 3;
    r.F32(third).F32(third).F32(third).I32(0).I32(i + 1).I32(i + 2);
  }
  r.ArrayHeader(uint64_t(n), 0, n - 1);
  for (float v : xy) r.F32(v);
  if (format < 2 || format > 5) return r;
  r.ArrayHeader(uint64_t(t), 0, t - 1);
  for (int32_t i = 0; i < t; ++i) {
    const float cx = (xy[0] + xy[2 * (i + 1)] + xy[2 * (i + 2)]) / 3;
    const float cy = (xy[1] + xy[2 * (i + 1) + 1] + xy[2 * (i + 2) + 1]) / 3;
    r.I32(int32_t(cx * 64)).I32(int32_t(cy * 64));
  }
  if (format < 3) return r;
  r.I32(t);
  for (int32_t i = 0; i < t; ++i) r.I32(0).I32(i + 1).I32(i + 2);
  if (format < 4) return r;
  r.ArrayHeader(uint64_t(n), 0, n - 1);
  for (int32_t i = 0; i < n; ++i) r.I32(i);
  if (format < 5) return r;
  r.U8(1).I32(1).ArrayHeader(uint64_t(n), 0, n - 1);
  for (int32_t i = 0; i < n; ++i) r.I32(i);
  r.U8(0);
  return r;
}

#endif  // TOOLS_QUILLBECK_MODELS_RECORDS_SAMPLER_RECORD_H
