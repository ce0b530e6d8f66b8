// image/internal/crop_region.h: the crop rectangle rule shared by the thumbnail crop, the region
// crop, the face crop and the model crop-and-normalise: which regions can be cropped, how many
// columns their crop gets, and how a point maps into the crop.
#ifndef IMAGE_INTERNAL_CROP_REGION_H
#define IMAGE_INTERNAL_CROP_REGION_H

#include <cstdint>

#include "core/zr_point.h"

class ZR_AnnoModel2D;

// A crop is at most this many times wider than high; wider regions are refused, not allocated.
constexpr int32_t kZrMaxCropAspect = 16;

// The columns of a crop out_rows high of the region origin..corner (normalised coordinates) of
// a rows x cols image: round((cols * s.x) * out_rows / (rows * s.y)) with s = corner - origin,
// at least 1. False, cols_out untouched, when the image has no pixels, when origin, corner or s
// is not finite or s is not positive, or when the crop would be wider than kZrMaxCropAspect times
// out_rows.
bool ZR_CropColumns(int32_t rows, int32_t cols, const ZR_Vector2D& origin,
                    const ZR_Vector2D& corner, int32_t out_rows, int32_t& cols_out);

// Maps every point of every annotation into the region, normalised:
// ((x - origin.x) / s.x, (y - origin.y) / s.y) with s = corner - origin.
void ZR_MapIntoRegion(ZR_AnnoModel2D& model, const ZR_Vector2D& origin, const ZR_Vector2D& corner);

#endif  // IMAGE_INTERNAL_CROP_REGION_H
