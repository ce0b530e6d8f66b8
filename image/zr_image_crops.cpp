// image/zr_image_crops.cpp: the thumbnail, region and face crops. Each samples its region
// bilinearly at the centres of the new pixels; regions the crop rule refuses (empty, inverted,
// not finite, absurdly wide) make the crop fail with nothing changed, never an empty image.
#include "image/zr_image.h"

#include <cmath>
#include <vector>

#include "annotation/zr_anno_model2d.h"
#include "image/internal/crop_region.h"
#include "image/internal/grid_sampler.h"
#include "image/internal/resample_support.h"

namespace {

constexpr int32_t kThumbnailRows = 96;
constexpr int32_t kRegionRows = 600;
constexpr ZR_Colour kOpaqueBlack = {0, 0, 0, 255};

// Fills dst (its rows x cols, from 0) with the samples of the region origin..corner of src at
// the centres of dst's pixels.
void SampleRegion(const ZR_Image& src, const ZR_Vector2D& origin, const ZR_Vector2D& corner,
                  const ZR_Colour& outside, ZR_Array2D<ZR_Colour>& dst) {
  const ZR_Vector2D s = corner - origin;
  const int32_t out_rows = dst.m_rows, out_cols = dst.m_cols;
  const float cols = float(src.m_cols), rows = float(src.m_rows);
  std::vector<float> xs(static_cast<size_t>(out_cols)), ys(static_cast<size_t>(out_rows));
  for (int32_t j = 0; j < out_cols; ++j)
    xs[size_t(j)] = (((float(j) + 0.5f) / float(out_cols)) * s.x + origin.x) * cols;
  for (int32_t i = 0; i < out_rows; ++i)
    ys[size_t(i)] = (((float(i) + 0.5f) / float(out_rows)) * s.y + origin.y) * rows;
  ZR_SampleGrid(src, xs, ys, outside, dst);
}

// The annotation's points, present and with at least one point; null otherwise.
const ZR_Annotation2D* FindWithPoints(const ZR_AnnoModel2D& model, const char* name) {
  const int32_t i = model.FindAnnotation(name);
  if (i < 0 || model[uint32_t(i)].m_count == 0) return nullptr;
  return &model[uint32_t(i)];
}

}  // namespace

bool ZR_Image::CropThumbnail(const ZR_Vector2D& origin, const ZR_Vector2D& corner) {
  return CropThumbnail(*this, origin, corner);
}

bool ZR_Image::CropThumbnail(ZR_Image& dest, const ZR_Vector2D& origin,
                             const ZR_Vector2D& corner) const {
  int32_t cols_out;
  if (!ZR_CropColumns(m_rows, m_cols, origin, corner, kThumbnailRows, cols_out)) return false;
  ZR_Image crop;
  crop.ResizeForOverwrite(kThumbnailRows, cols_out);  // the sampler writes every pixel
  SampleRegion(*this, origin, corner, m_background != nullptr ? *m_background : kOpaqueBlack, crop);
  ZR_TakePixels(dest, crop);  // sampled first, so dest may be this image
  dest.m_quality = 100;
  dest.m_text = kZrImageNotice;
  dest.m_background = nullptr;
  return true;
}

bool ZR_Image::CropRegion(ZR_Image& dest, const ZR_Vector2D& origin,
                          const ZR_Vector2D& corner) const {
  // Resizing dest would free the pixels being sampled.
  if (&dest == this) {
    const ZR_Image source(*this);
    return source.CropRegion(dest, origin, corner);
  }
  int32_t cols_out;
  if (!ZR_CropColumns(m_rows, m_cols, origin, corner, kRegionRows, cols_out)) return false;
  dest.ResizeForOverwrite(kRegionRows, cols_out);  // the sampler writes every pixel
  SampleRegion(*this, origin, corner, kOpaqueBlack, dest);
  return true;
}

bool ZR_Image::CropFace(ZR_AnnoModel2D& model, float margin, float aspect, ZR_Image& dest) const {
  const ZR_Annotation2D* face = FindWithPoints(model, "FACE");
  const ZR_Annotation2D* right_eye = FindWithPoints(model, "RIGHT EYE");
  const ZR_Annotation2D* left_eye = FindWithPoints(model, "LEFT EYE");
  if (face == nullptr || right_eye == nullptr || left_eye == nullptr) return false;

  const ZR_Vector2D size = GetSize();
  const float w = size.x, h_px = size.y;
  ZR_Vector2D min, max;
  face->GetBoundingBox(min, max);
  ZR_Vector2D c = (max + min) * 0.5f;
  c.x = c.x * w;
  c.y = c.y * h_px;
  const ZR_Vector2D er = right_eye->GetScaledCentre(size);
  const ZR_Vector2D el = left_eye->GetScaledCentre(size);
  const ZR_Vector2D& chin_n = (*face)[face->m_count / 2];
  const ZR_Vector2D chin(chin_n.x * w, chin_n.y * h_px);
  const ZR_Vector2D m = (er + el) * 0.5f;
  const float dy = chin.y - m.y, dx = chin.x - m.x;
  const float d = float(std::sqrt(double(dy * dy + dx * dx)));
  float h = d * 1.6f;
  const ZR_Vector2D centre(c.x / w, (h * 0.5f + chin.y) / h_px);
  h = h * (margin + 1);
  const ZR_Vector2D half(h * aspect / w * 0.5f, h / h_px * 0.5f);
  const ZR_Vector2D origin = centre - half, corner = centre + half;
  // A chin on the eye line gives an empty region; non-finite landmarks give a non-finite one.
  if (!CropRegion(dest, origin, corner)) return false;
  ZR_MapIntoRegion(model, origin, corner);
  return true;
}
