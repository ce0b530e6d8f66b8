// core/zr_sampler2d.h: ZR_Sampler2D, a triangle mesh with per-sample barycentric weights, integer
// coordinates and index tables, as the model files store it. Nothing samples through it: it only
// has to read its record exactly so that the records after it in a model file stay aligned.
#ifndef CORE_ZR_SAMPLER2D_H
#define CORE_ZR_SAMPLER2D_H

#include <cstdint>
#include <cstdio>

#include "core/zr_array.h"
#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_string.h"

// ZR_Sampler2D: the mesh sampler record; after construction format 5, value A 1, every array and
//   list empty, path "C:\Temp", flag C 1, the other values 0.
//   Owns: its arrays, lists and path. Threads: read once on the main thread, then only freed.
//   Failure: Read returns null at the first short read or implausible count (see Read).
class ZR_Sampler2D {
 public:
  int32_t m_format;
  int32_t m_value_a;
  uint8_t m_flag_a;
  uint8_t m_flag_b;
  ZR_Array<ZR_Vector2D> m_points;
  ZR_Array<ZR_Barys> m_weights;
  ZR_Array<zr_coord> m_coordinates;
  int32_t m_value_b;
  int32_t m_value_c;
  ZR_List<ZR_TRIANGLE> m_triangles;
  ZR_Array<int> m_indices;
  ZR_Array<ZR_Array<int>> m_index_sets;
  ZR_String m_path;
  uint64_t m_word_a;
  uint64_t m_word_b;
  uint8_t m_flag_c;

  ZR_Sampler2D();
  // Members go in reverse order: path, index sets, indices, triangles, coordinates, weights,
  // points.
  virtual ~ZR_Sampler2D();

  // Reads one record: int32 format, value A, value B, value C; the weights and points array
  // records; then by format: 2 the coordinates; 3 also the triangle list; 4 also the indices;
  // 5 also flag A, an int32 count c, c int array records into the index sets, and flag B. Any
  // other format ends after the points. Returns the stream with format set to 5, or null at the
  // first short read or bad array or list record, and for c < 0 or more sets than the bytes left
  // could hold (24 bytes each at least); what was read before stays, format keeps the value read.
  FILE* Read(FILE* f);

 private:
  // The format 5 block: flag A, the count, the index sets, flag B.
  FILE* ReadIndexSets(FILE* f);
};

#endif  // CORE_ZR_SAMPLER2D_H
