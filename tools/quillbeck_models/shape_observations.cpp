// tools/quillbeck_models/shape_observations.cpp: the synthetic and real observations. The draws
// come from std::mt19937 in a fixed order (pose, expression, then one noise value per coordinate),
// so a seed gives the same shape model on every build.
#include "tools/quillbeck_models/shape_observations.h"

#include <random>

#include "tools/quillbeck_models/full_layout.h"
#include "tools/quillbeck_models/head_model.h"
#include "tools/quillbeck_models/pose_projection.h"

std::vector<ZR_Vector> ShapeObservations(const std::vector<ZR_Vector3D>& head,
                                         const zr_landmark_section_options& options,
                                         zr_landmark_section_report& report) {
  std::mt19937 rng(options.seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::normal_distribution<double> noise(0.0, 0.007 * 0.9 * kUnits);
  std::vector<ZR_Vector> shapes;
  for (int32_t i = 0; i < options.observations; ++i) {
    const double yaw = 40 * unit(rng), pitch = 25 * unit(rng), roll = 15 * unit(rng);
    const float jaw = float(0.04 * (unit(rng) + 1.0)), smile = float(0.015 * (unit(rng) + 1.0));
    const float brow = float(0.02 * (unit(rng) + 1.0));
    const std::vector<ZR_Vector3D> face = FullLayoutPoints(Express(head, jaw, smile, brow));
    std::vector<float> xy = Project(face, Mul(Rz(roll), PoseRotation(pitch, yaw)));
    for (float& v : xy) v += float(noise(rng));
    shapes.push_back(ToVector(xy));
  }
  for (const std::vector<ZR_Vector2D>& real : options.real_shapes) {
    if (real.size() != 68) continue;
    std::vector<ZR_Vector2D> up;
    for (const ZR_Vector2D& p : real) up.push_back(ZR_Vector2D(p.x, -p.y));
    std::vector<float> xy;
    for (const ZR_Vector3D& p : FullLayoutPoints(LiftPoints(up)))
      xy.push_back(p.x), xy.push_back(p.y);
    shapes.push_back(ToVector(xy));
    ++report.real_observations;
  }
  return shapes;
}
