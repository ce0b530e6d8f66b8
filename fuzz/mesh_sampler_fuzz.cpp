// fuzz/mesh_sampler_fuzz.cpp: ZR_Sampler2D::Read over the bytes through an fmemopen stream, one
// record after another into the same sampler (re-reads over filled arrays and lists), as the
// model files hold samplers beside other records. Every element read is touched, and what was
// read is checked against the bytes the input could hold.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/zr_sampler2d.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr int kMaxRecords = 8;

volatile float g_sink;

// Sums every value of the sampler, so that each element is read.
float TouchAll(const ZR_Sampler2D& s) {
  float x = float(s.m_format) + float(s.m_value_a) + float(s.m_value_b) + float(s.m_value_c) +
            float(s.m_flag_a) + float(s.m_flag_b);
  for (int32_t i = s.m_points.m_lo; i <= s.m_points.m_hi; ++i)
    x += s.m_points[i].x + s.m_points[i].y;
  for (int32_t i = s.m_weights.m_lo; i <= s.m_weights.m_hi; ++i) {
    const ZR_Barys& b = s.m_weights[i];
    x += b.x + b.y + b.z + float(b.tri.v0 ^ b.tri.v1 ^ b.tri.v2);
  }
  for (int32_t i = s.m_coordinates.m_lo; i <= s.m_coordinates.m_hi; ++i)
    x += float(s.m_coordinates[i].x ^ s.m_coordinates[i].y);
  for (uint32_t i = 0; i < s.m_triangles.m_count; ++i)
    x += float(s.m_triangles[i].v0 ^ s.m_triangles[i].v1 ^ s.m_triangles[i].v2);
  for (int32_t i = s.m_indices.m_lo; i <= s.m_indices.m_hi; ++i) x += float(s.m_indices[i]);
  for (int32_t k = s.m_index_sets.m_lo; k <= s.m_index_sets.m_hi; ++k) {
    const ZR_Array<int>& set = s.m_index_sets[k];
    for (int32_t i = set.m_lo; i <= set.m_hi; ++i) x += float(set[i]);
  }
  return x;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStream stream(data, size);
  FILE* f = stream.get();
  ZR_Sampler2D s;
  for (int i = 0; i < kMaxRecords && s.Read(f) != nullptr; ++i) {
    FUZZ_CHECK(s.m_format == 5);
    // Each record element takes at least 8 bytes of input: nothing was sized past the bytes.
    const uint64_t elements = uint64_t(s.m_points.m_count) + s.m_weights.m_count +
                              s.m_coordinates.m_count + s.m_triangles.m_count +
                              s.m_index_sets.m_count;
    FUZZ_CHECK(elements * 8 <= size);
    g_sink = TouchAll(s);
  }
  g_sink = TouchAll(s);  // also what a failed read left behind
  return 0;
}
