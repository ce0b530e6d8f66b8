// face/shape/zr_shape_model2d.h: ZR_ShapeModel2D, a 2-D statistical shape model: a reference shape
// and a PCA over flat x, y vectors. Constrain removes the least-squares similarity onto the
// reference, limits the PCA parameters with a per-call limit and puts the similarity back.
#ifndef FACE_SHAPE_ZR_SHAPE_MODEL2D_H
#define FACE_SHAPE_ZR_SHAPE_MODEL2D_H

#include <cstdint>
#include <cstdio>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_array.h"
#include "core/zr_point.h"
#include "core/zr_vector.h"
#include "face/shape/zr_stat_model.h"

// ZR_ShapeModel2D: read once from a model file, then only read.
//   Record: i32 version; the reference annotation model (i32 model flag, annotation list); i32
//     model type (1); the ZR_PCA record; i32 A, B, C; f32 F; i32 G; the reference shape (float
//     array); the point array (ZR_Vector2D array); i32 D, E. A-G and the point array are carried.
//   Owns: the reference annotation model and the statistical model (a ZR_PCA).
//   Threads: Constrain only reads the model; several threads may call it at once.
//   Failure: Read returns null; Constrain throws LUDexception.
class ZR_ShapeModel2D {
 public:
  ZR_ShapeModel2D();
  ZR_ShapeModel2D(const ZR_ShapeModel2D&) = delete;
  ZR_ShapeModel2D& operator=(const ZR_ShapeModel2D&) = delete;
  virtual ~ZR_ShapeModel2D();

  // Reads the record. Returns the stream, or null at the first short read or failed sub-record,
  // for a reference shape that does not start at 0, and for a model type other than 1, which
  // first prints "Error! ZR_ShapeModel2D::Read() model type T not supported\n" on stderr and
  // leaves the stream right after the type word. Success stores the reference model's layout
  // code.
  FILE* Read(FILE* f);

  // Constrains the flat points v (x0, y0, x1, y1, ...) in place with the limiting mode and the
  // per-call Mahalanobis limit. Without a statistical model v is left as it is. Throws
  // LUDexception for a singular similarity, for a v whose length differs from the reference shape
  // or the model's observation size, and for a similarity scale that is not finite and positive
  // (all target points equal): v is then unchanged or half transformed.
  void Constrain(ZR_Vector& v, int32_t mode, float limit) const;

  int32_t m_version;
  ZR_AnnoModel2D* m_reference_model;
  ZR_StatModel* m_stat_model;
  int32_t m_model_type;
  int32_t m_a;
  int32_t m_b;
  int32_t m_c;
  ZR_Vector m_reference_shape;
  ZR_Array<ZR_Vector2D> m_points;
  int32_t m_d;
  int32_t m_e;
  float m_f;
  int32_t m_g;
  int32_t m_layout_code;
};

#endif  // FACE_SHAPE_ZR_SHAPE_MODEL2D_H
