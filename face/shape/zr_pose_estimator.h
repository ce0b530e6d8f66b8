// face/shape/zr_pose_estimator.h: ZR_PoseEstimator, head pose from 2-D landmarks and a rigid 3-D
// point model by a scaled-orthographic iteration in the manner of POSIT (at most five passes, the
// object points' pseudo-inverse stored), and RotationToAngles, the rotation in degrees.
#ifndef FACE_SHAPE_ZR_POSE_ESTIMATOR_H
#define FACE_SHAPE_ZR_POSE_ESTIMATOR_H

#include <cstdint>
#include <cstdio>

#include "core/zr_array.h"
#include "core/zr_matrix.h"
#include "core/zr_point.h"
#include "core/zr_vector.h"

// ZR_PoseEstimator: a 3-D point model and the pose of the last estimate.
//   Defaults: reference point (0, 0), focal 760, R 3 x 3, n 0, not ready, matrices empty.
//   Record (little-endian, packed): i32 version (ignored), i32 focal, i32 n, f32 change, 4 bytes
//     of which the first is the ready flag, reference point and corrections (float arrays),
//     translation (3 x f32), R, object points (n x 3), third matrix, pseudo-inverse (3 x n),
//     working and previous image points (2-D float records).
//   Invariant: R is 3 x 3 or 2 x 2 from 0; when ready, the object points are n x 3 and the
//     pseudo-inverse 3 x n, both from 0.
//   Threads: Estimate writes the estimator; users estimate on a copy of a shared one.
class ZR_PoseEstimator {
 public:
  ZR_PoseEstimator();
  ZR_PoseEstimator(const ZR_PoseEstimator& other);
  ZR_PoseEstimator& operator=(const ZR_PoseEstimator& other);
  ~ZR_PoseEstimator();

  // Reads the record. Returns the stream, or null at the first short read or failed sub-record,
  // and for an R that is not 3 x 3 or 2 x 2 from 0. A ready record whose object points are not
  // n x 3 or whose pseudo-inverse is not 3 x n (from 0) reads as not ready.
  FILE* Read(FILE* f);

  // Estimates R and the translation from points (n image points in pixels, in model order,
  // indexed from 0). False, R and the translation unchanged, when not ready, when the count is
  // not n, or when a pass meets a degenerate point set (|I| or |J| zero or not finite). R
  // becomes 3 x 3.
  bool Estimate(const ZR_Array<ZR_Vector2D>& points);

  ZR_Vector m_reference;
  int32_t m_focal;
  ZR_Vector3D m_translation;
  ZR_Matrix m_rotation;
  uint32_t m_n;
  uint8_t m_ready;
  ZR_Matrix m_object;
  ZR_Matrix m_third;
  ZR_Matrix m_pinv;
  ZR_Matrix m_working;
  ZR_Matrix m_previous;
  ZR_Vector m_corrections;
  float m_change;
};

// The angles of R in degrees, from float atan2 terms: with transposed 0, z = atan2(R01, R00),
// x = atan2(R12, R22), y = atan2(-R02, R22 / cos x); transposed non-zero reads R's transpose.
// Pose conventions (transposed 0; R estimated by the landmark model's estimator as the model
// builder writes it, from landmark pixels with y up, i.e. counted from the picture's bottom, as
// ZR_LandmarkModel::EstimatePose passes them): x is the pitch, positive when the nose points
// down; y is the yaw, positive when the nose points to the picture's right (the subject's left);
// z is the roll, negative for a head turned counter-clockwise as the picture is seen.
// A 2 x 2 R gives (0, 0, mean of its four acos/asin terms). R must be 3 x 3 or 2 x 2 from 0, as
// ZR_PoseEstimator::Read guarantees; anything else is a programming error and ends the process
// with status 1.
void RotationToAngles(const ZR_Matrix& r, ZR_Vector3D& angles, uint8_t transposed);

#endif  // FACE_SHAPE_ZR_POSE_ESTIMATOR_H
