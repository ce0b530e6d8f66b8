// tools/quillbeck_models/shape_observations.h: the observations of the landmark model's shape PCA:
// seeded synthetic views of the 3-D head (pose, expression, noise) and any real shapes, all in the
// full layout.
#ifndef TOOLS_QUILLBECK_MODELS_SHAPE_OBSERVATIONS_H
#define TOOLS_QUILLBECK_MODELS_SHAPE_OBSERVATIONS_H

#include <vector>

#include "core/zr_point.h"
#include "core/zr_vector.h"
#include "tools/quillbeck_models/landmark_model_section.h"

// options.observations projections of the 68-point head (template units, y up) with a random
// pose, expression and noise drawn from options.seed, then every 68-point shape of
// options.real_shapes with y flipped up (other counts are skipped, the rest counted in
// report.real_observations); x, y pairs of the full layout. The same options give the same shapes.
std::vector<ZR_Vector> ShapeObservations(const std::vector<ZR_Vector3D>& head,
                                         const zr_landmark_section_options& options,
                                         zr_landmark_section_report& report);

#endif  // TOOLS_QUILLBECK_MODELS_SHAPE_OBSERVATIONS_H
