// image/internal/grid_sampler.h: bilinear sampling of a whole grid of points, the inner loop of
// the crops and the resize. The grid is separable, so each column's and each row's cell is found
// once; every pixel is the byte-for-byte result of ZR_Bilinear<ZR_Colour>::Sample at its point.
#ifndef IMAGE_INTERNAL_GRID_SAMPLER_H
#define IMAGE_INTERNAL_GRID_SAMPLER_H

#include <vector>

#include "core/zr_array2d.h"
#include "image/zr_colour.h"

// Fills dst (xs.size() columns and ys.size() rows, both from 0) with the samples of src at the
// points (xs[j], ys[i]), in src's pixel coordinates; a point outside src gets outside. src and
// dst must be different arrays.
void ZR_SampleGrid(const ZR_Array2D<ZR_Colour>& src, const std::vector<float>& xs,
                   const std::vector<float>& ys, const ZR_Colour& outside,
                   ZR_Array2D<ZR_Colour>& dst);

#endif  // IMAGE_INTERNAL_GRID_SAMPLER_H
