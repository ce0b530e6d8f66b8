// tools/quillbeck_models/predictor_record.h: the landmark predictor record from libdlib-data's
// 68-point shape predictor, either as it stands or re-packed to 69 points so that the first 50
// are the system's 50-point layout and point 68 is the centroid of the 68.
#ifndef TOOLS_QUILLBECK_MODELS_PREDICTOR_RECORD_H
#define TOOLS_QUILLBECK_MODELS_PREDICTOR_RECORD_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/quillbeck_models/records/predictor_record.h"

// The dlib point at each slot 0..67 of the 69-point re-packing: the 50-point layout's groups in
// its order (brow ridge, outer mouth, inner mouth, right eye, left eye, nose, face), then the 18
// unused points. Slot 68 is the centroid.
extern const uint32_t kRepack69[68];

// Reads a dlib shape predictor file (version, initial shape, forests, anchors, deltas) into out.
// False with the reason in error when dlib cannot read it.
bool ReadDlibPredictor(const std::string& path, zr_predictor_data& out, std::string& error);

// Keeps the first trees trees of every level (all of them when trees <= 0 or larger).
void KeepTrees(zr_predictor_data& p, int trees);
// Appends as many empty levels as p has (no features, no trees), so that the system's second
// pass over the later half of the levels changes nothing.
void PadLevels(zr_predictor_data& p);
// The 69-point re-packing of a 68-point predictor: shape and leaves permuted by kRepack69 with the
// centroid appended, anchors renumbered, deltas unchanged. Since the centroid leaves the
// similarity fit of the shapes unchanged, feature pixels and fitted points are dlib's.
zr_predictor_data Repack69(const zr_predictor_data& p);

// The record of the predictor in path: trees per level kept (<= 0: all), padded when pad, and
// re-packed to 69 points when points is 69 (68: as dlib has it). Empty with the reason in error
// when the file cannot be read or points is neither.
std::vector<uint8_t> PredictorRecordFromDlib(const std::string& path, int trees, bool pad,
                                             int points, std::string& error);

#endif  // TOOLS_QUILLBECK_MODELS_PREDICTOR_RECORD_H
