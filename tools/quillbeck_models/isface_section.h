// tools/quillbeck_models/isface_section.h: "IsFace.data" from the public data: three of the
// library's LBP cascades, the full-layout pose estimator twice, and the full and reduced mean
// models, each with a mesh sampler over its points (format 5 and format 2).
#ifndef TOOLS_QUILLBECK_MODELS_ISFACE_SECTION_H
#define TOOLS_QUILLBECK_MODELS_ISFACE_SECTION_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/zr_point.h"

// The cascade files of IsFace.data, in record order.
extern const char* const kIsFaceCascades[3];

// The whole file: int32 version 1, the cascades of kIsFaceCascades from cascade_dir, the
// 97-point pose estimator record twice (it must match the refined model's point count, since
// the worker's pose estimate walks every point of it), the full mean model and a format 5
// sampler over it, the reduced mean model and a format 2 sampler. mean68 is dlib's mean shape.
// Empty with the reason in error when a cascade cannot be converted or the estimator not made.
std::vector<uint8_t> IsFaceDataFile(const std::string& cascade_dir,
                                    const std::vector<ZR_Vector2D>& mean68, std::string& error);

#endif  // TOOLS_QUILLBECK_MODELS_ISFACE_SECTION_H
