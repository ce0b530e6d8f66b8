// tools/quillbeck_models/regression_model_section.h: the regression landmark model section of
// "Landmarks.data", holding a real regressor: the first trees of the first level of libdlib-data's
// shape predictor, converted into a ZR_PDBT over the pixel-difference pairs of their splits.
#ifndef TOOLS_QUILLBECK_MODELS_REGRESSION_MODEL_SECTION_H
#define TOOLS_QUILLBECK_MODELS_REGRESSION_MODEL_SECTION_H

#include <string>
#include <vector>

#include "face/regression/zr_pdbt.h"

// Fills out with the first trees trees (all of them when trees <= 0 or more than there are) of
// level 0 of the dlib predictor file dat_path: the distinct (idx1, idx2) split pairs as the pair
// list, each split's feature index its pair's index, threshold nextafterf(dlib's, +inf) and the
// two children swapped, so that "left when threshold > d" is dlib's "left when d > threshold",
// ties included; node values are dlib's node indices; the initial output is dlib's initial shape,
// shrinkage 1, one pair list for all trees. Predict on dlib's level-0 feature pixel values then
// gives dlib's shape after those trees, up to the 8-bit leaves of the compact record.
// False with the reason in error when dlib cannot read the file or a pair index does not fit
// the int16 record.
bool DlibLevelZeroToPDBT(const std::string& dat_path, int trees, ZR_PDBT& out, std::string& error);

// The section's bytes: version 1, the constructor's parameter values (48, 128, 1, 1.0, flag 2
// set, the rest 0), dlib's initial shape as the vector, the 50-point reduced layout from that
// shape as annotation models B and A, an empty format-5 sampler, then tag 2 and the converted
// PDBT written by ZR_PDBT::Write. Empty with the reason in error on failure.
std::vector<uint8_t> RegressionModelSection(const std::string& dat_path, int trees,
                                            std::string& error);

#endif  // TOOLS_QUILLBECK_MODELS_REGRESSION_MODEL_SECTION_H
