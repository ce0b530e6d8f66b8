// face/detect/internal/grey_working_image.cpp: the grey working image and the region arithmetic of
// the cascade passes. Fractions come from callers and boxes: each product is checked finite and in
// range before it becomes an int.
#include "face/detect/internal/grey_working_image.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "core/zr_rounding.h"

bool GreyWorkingImage(const ZR_Image& image, cv::Mat& grey) {
  ZR_Colour* block = image.Block();
  if (block == nullptr || image.m_rows < 1 || image.m_cols < 1) return false;
  const cv::Mat rgba(image.m_rows, image.m_cols, CV_8UC4, block, size_t(4) * image.m_cols);
  cv::Mat g;
  cv::cvtColor(rgba, g, cv::COLOR_BGR2GRAY);
  cv::flip(g, g, 0);
  grey = g;
  return true;
}

bool RoundFinite(float v, int& out) {
  if (!std::isfinite(v) || std::fabs(v) > 1073741824.0f) return false;
  out = int(ZR_RoundHalfAway(v));
  return true;
}

bool PixelRegion(int rows, int cols, float top, float left, float width, float height,
                 zr_pixel_region& region) {
  int h, w, y0, x0;
  if (!RoundFinite(float(rows) * height, h) || !RoundFinite(float(cols) * width, w) ||
      !RoundFinite(float(rows) * top, y0) || !RoundFinite(float(cols) * left, x0))
    return false;
  if (w < 5 || h < 5) return false;
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (int64_t(x0) + w >= cols) w = cols - x0 - 1;
  if (int64_t(y0) + h >= rows) h = rows - y0 - 1;
  if (w <= 0 || h <= 0) return false;
  region = {x0, y0, w, h};
  return true;
}

namespace {

// round(a * b / c) in float with c > 0; 0 when the result is not representable.
int ScaledSize(int a, int b, int c) {
  int out;
  return RoundFinite(float(a) * float(b) / float(c), out) ? out : 0;
}

}  // namespace

bool DetectAllSizes(int rows, int win_w, int win_h, float minHeight, float maxHeight,
                    zr_search_sizes& s) {
  s = {win_w, win_h, 0, 0};
  if (minHeight > 0) {
    if (!RoundFinite(float(rows) * minHeight, s.min_h)) return false;
    s.min_w = ScaledSize(win_w, s.min_h, win_h);
  }
  if (maxHeight > 0) {
    if (!RoundFinite(float(rows) * maxHeight, s.max_h)) return false;
    // The maximum keeps the minimum's proportions; a minimum that rounded to 0 gives the
    // window's instead of a division by zero.
    s.max_w =
        s.min_h > 0 ? ScaledSize(s.max_h, s.min_w, s.min_h) : ScaledSize(win_w, s.max_h, win_h);
  }
  return true;
}

bool DetectOneSizes(int rows, int region_rows, int win_w, int win_h, float minHeight,
                    float maxHeight, zr_search_sizes& s) {
  const int side = std::max(5, int(std::nearbyint(0.15 * double(rows))));
  s = {side, side, 0, 0};
  if (minHeight > 0) {
    if (!RoundFinite(float(region_rows) * minHeight, s.min_h)) return false;
    s.min_w = ScaledSize(win_w, s.min_h, win_h);
  }
  if (maxHeight > 0) {
    if (!RoundFinite(float(region_rows) * maxHeight, s.max_h)) return false;
    s.max_w = ScaledSize(win_w, s.max_h, win_h);
  }
  return true;
}
