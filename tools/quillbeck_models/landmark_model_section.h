// tools/quillbeck_models/landmark_model_section.h: the pose-dependent landmark model of
// "Landmarks.data", made from dlib's 68-point mean shape: the per-pose templates and a shape model
// built with the product's own PCA, over the full layout (full_layout.h) and the synthetic head
// with its pose estimators (head_model.h), which this header also gives its callers.
#ifndef TOOLS_QUILLBECK_MODELS_LANDMARK_MODEL_SECTION_H
#define TOOLS_QUILLBECK_MODELS_LANDMARK_MODEL_SECTION_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/zr_point.h"
#include "tools/quillbeck_models/full_layout.h"
#include "tools/quillbeck_models/head_model.h"

struct zr_landmark_section_options {
  int32_t bins = 2;            // the table spans -bins..bins in both angles (10 degrees each)
  int32_t observations = 400;  // synthetic shapes for the PCA besides the real ones
  uint32_t seed = 14;
  // Real 68-point shapes (any pixel frame, y down), e.g. landmarks fitted on photos; optional.
  std::vector<std::vector<ZR_Vector2D>> real_shapes;
};

// What the builder measured while it made the section.
struct zr_landmark_section_report {
  int32_t templates = 0;
  int32_t bins_recovered = 0;   // per-pose templates whose estimated bin is the intended one
  float worst_angle_error = 0;  // degrees, over the templates
  int32_t warpers_valid = 0;    // thin-plate systems of the 50 reduced points, per outcome
  int32_t warpers_invalid = 0;
  int32_t warpers_threw = 0;
  int32_t observations = 0;
  int32_t real_observations = 0;
  int32_t modes = 0;
  int32_t below_150 = 0;       // training shapes with Mahalanobis distance < 150
  float reference_change = 0;  // largest change of the reference shape by Constrain
};

// The landmark-model record (as ZR_LandmarkModel::Read takes it, after the file's header word).
// Empty, with error set, when a part cannot be made or a self-check fails.
std::vector<uint8_t> LandmarkModelSection(const std::vector<ZR_Vector2D>& mean68,
                                          const zr_landmark_section_options& options,
                                          zr_landmark_section_report* report, std::string& error);

#endif  // TOOLS_QUILLBECK_MODELS_LANDMARK_MODEL_SECTION_H
