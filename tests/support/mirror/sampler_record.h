// tests/support/mirror/sampler_record.h: mesh sampler records, mirroring ZR_Sampler2D::Read.
#ifndef TESTS_SUPPORT_MIRROR_SAMPLER_RECORD_H
#define TESTS_SUPPORT_MIRROR_SAMPLER_RECORD_H

#include <cstdint>
#include <vector>

#include "tests/support/zr_record_bytes.h"

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

#endif  // TESTS_SUPPORT_MIRROR_SAMPLER_RECORD_H
