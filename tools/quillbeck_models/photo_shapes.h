// tools/quillbeck_models/photo_shapes.h: 68-point landmark shapes fitted by dlib's own HOG detector
// and shape predictor on example photos, the real observations of the landmark model's shape model
// beside its synthetic ones.
#ifndef TOOLS_QUILLBECK_MODELS_PHOTO_SHAPES_H
#define TOOLS_QUILLBECK_MODELS_PHOTO_SHAPES_H

#include <string>
#include <vector>

#include "core/zr_point.h"

// The person of dlib's johns/ photos whose folder the builder leaves out of the shape model, so
// that the photo tests can score the face search on a person the model never saw.
extern const char kHeldOutPerson[];

// For every .jpg under photo_dir (recursively, in name order) that the system loads and whose
// folder is not named skip_folder, the shape of the first face dlib finds, in the photo's pixels
// with y down. Photos without a face are left out; an absent folder gives no shapes. False with
// the reason in error when the predictor file cannot be read.
bool PhotoShapes68(const std::string& photo_dir, const std::string& skip_folder,
                   const std::string& dat_path, std::vector<std::vector<ZR_Vector2D>>& shapes,
                   std::string& error);

#endif  // TOOLS_QUILLBECK_MODELS_PHOTO_SHAPES_H
