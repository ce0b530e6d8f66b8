// image/zr_transform2d.h: ZR_Transform2D, the least-squares 2-D similarity (rotation, uniform
// scale, translation) between two point sets, solved through its 4 x 4 normal equations by LU.
#ifndef IMAGE_ZR_TRANSFORM2D_H
#define IMAGE_ZR_TRANSFORM2D_H

#include "core/zr_matrix.h"
#include "core/zr_point.h"
#include "core/zr_vector.h"

// ZR_Transform2D: the similarity (u, v) = (a x - b y + tx, b x + a y + ty), which is
//   m_scale * m_rotation * (x, y) + m_translation. Users read the four fields directly.
//   m_rotation is [a -b; b a] / scale (2 x 2 from 0), m_parameters is (a, b, tx, ty).
//   Threads: computed once per call on the caller's thread.
//   Failure: a singular system, or source and target of different lengths, throws LUDexception
//   out of the constructor and Compute (the landmark fit catches it and fails).
class ZR_Transform2D {
 public:
  // Source and target are interleaved sets x0, y0, x1, y1, ... of the same length.
  ZR_Transform2D(const ZR_Vector& source, const ZR_Vector& target);
  virtual ~ZR_Transform2D();

  // Fits the similarity carrying source onto target and stores the four fields. Throws
  // LUDexception "ZR_Transform2D::Compute() Error! source has S values, target T\n" when the
  // lengths differ, or the decomposition's own exception for a singular system (fewer than two
  // distinct points); the fields are then unspecified.
  void Compute(const ZR_Vector& source, const ZR_Vector& target);

  ZR_Matrix m_rotation;
  ZR_Vector2D m_translation;
  float m_scale;
  ZR_Vector m_parameters;
};

#endif  // IMAGE_ZR_TRANSFORM2D_H
