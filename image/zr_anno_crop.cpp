// image/zr_anno_crop.cpp: ZR_AnnoModel2D::CropAndNormalise, the thumbnail cut around the
// landmarks. It is a member of the annotation model but crops an image, so it is defined here in
// zr_image (which builds on zr_annotation) and not in zr_annotation, which knows no images.
#include "annotation/zr_anno_model2d.h"

#include "image/internal/crop_region.h"
#include "image/zr_image.h"

bool ZR_AnnoModel2D::CropAndNormalise(ZR_Image& image, const ZR_Vector2D& margin) {
  return CropAndNormalise(image, margin, image);
}

bool ZR_AnnoModel2D::CropAndNormalise(const ZR_Image& image, const ZR_Vector2D& margin,
                                      ZR_Image& thumbnail) {
  ZR_Vector2D min, max;
  const ZR_Vector2D s = GetBoundingBox(min, max, 1);
  const ZR_Vector2D e(s.x * margin.x, s.y * margin.y);
  const ZR_Vector2D c = (max + min) / 2;
  const ZR_Vector2D h = s * 0.5f;
  const ZR_Vector2D lo = c - h - e, hi = c + h + e;
  // No included point, a box of zero width or height, or non-finite points: the crop rule
  // refuses the region and neither the thumbnail nor the points change.
  if (!image.CropThumbnail(thumbnail, lo, hi)) return false;
  ZR_MapIntoRegion(*this, lo, hi);
  return true;
}
