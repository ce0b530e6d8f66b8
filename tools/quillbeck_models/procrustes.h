// tools/quillbeck_models/procrustes.h: generalised Procrustes alignment of full-layout shapes for
// the shape model's PCA, in the direction the product's Constrain uses: each shape is mapped into
// the mean's frame by the inverse of the similarity from the mean onto it.
#ifndef TOOLS_QUILLBECK_MODELS_PROCRUSTES_H
#define TOOLS_QUILLBECK_MODELS_PROCRUSTES_H

#include <vector>

#include "core/zr_vector.h"

// Maps v into the frame of mean by the inverse of the similarity from mean onto v.
ZR_Vector AlignTo(const ZR_Vector& mean, const ZR_Vector& v);

// Centres the full-layout shape and scales it to an interocular distance (between the centres of
// the layout's RIGHT EYE and LEFT EYE groups) of 60.
void Normalise(ZR_Vector& v);

// Three rounds of alignment to the normalised mean, starting from mean (normalised here); returns
// the aligned shapes and leaves the last mean in mean. Throws LUDexception from a similarity fit.
std::vector<ZR_Vector> AlignShapes(const std::vector<ZR_Vector>& shapes, ZR_Vector& mean);

#endif  // TOOLS_QUILLBECK_MODELS_PROCRUSTES_H
