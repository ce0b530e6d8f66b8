// tools/quillbeck_models/pose_projection.h: head rotations in double precision and the perspective
// projection of the head that gives the per-pose templates and the synthetic observations, with
// the two conversions of projected x, y pairs.
#ifndef TOOLS_QUILLBECK_MODELS_POSE_PROJECTION_H
#define TOOLS_QUILLBECK_MODELS_POSE_PROJECTION_H

#include <vector>

#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_vector.h"

// Row-major 3 x 3 rotations.
struct zr_rot {
  double m[3][3];
};
zr_rot Mul(const zr_rot& a, const zr_rot& b);
zr_rot Transposed(const zr_rot& a);
// Rotations about x, y and z by deg degrees.
zr_rot Rx(double deg);
zr_rot Ry(double deg);
zr_rot Rz(double deg);
// The rotation whose RotationToAngles (flag 0) is (x, y, 0): (Ry(y) Rx(x))^T.
zr_rot PoseRotation(double x_deg, double y_deg);

// Perspective projection of the points, rotated about their centroid, with the camera at
// kDistance; image units are template units at that distance (y up). x, y pairs.
std::vector<float> Project(const std::vector<ZR_Vector3D>& points, const zr_rot& r);

// The x, y pairs as one vector, and the points of the given indices as a list.
ZR_Vector ToVector(const std::vector<float>& xy);
ZR_List<ZR_Vector2D> PointList(const std::vector<float>& xy, const std::vector<int>& indices);

#endif  // TOOLS_QUILLBECK_MODELS_POSE_PROJECTION_H
