// face/detect/internal/grey_working_image.h: the grey image both cascade passes search, and the
// pixel region they compute from fractions. The conversion keeps the system's byte order: the
// library reads RGBA memory as BGRA, so red takes the blue weight.
#ifndef FACE_DETECT_INTERNAL_GREY_WORKING_IMAGE_H
#define FACE_DETECT_INTERNAL_GREY_WORKING_IMAGE_H

#include <opencv2/core.hpp>

#include "image/zr_image.h"

// The image's pixels converted with the library's BGR-to-grey code (6) over the RGBA bytes, then
// flipped so that row 0 is the top of the picture. False, grey untouched, for an image without
// pixels. May throw the library's exception.
bool GreyWorkingImage(const ZR_Image& image, cv::Mat& grey);

// zr_pixel_region: a search region in top-down pixels.
struct zr_pixel_region {
  int x0;
  int y0;
  int w;
  int h;
};

// The region of the fractions top, left, width, height of an image of rows x cols: each edge
// rounded half away from zero, origin clamped at 0, a region reaching the last column or row
// losing it (w := cols - x0 - 1). False for non-finite or huge fractions, a region under 5 pixels
// before clamping, or one that clamps to a non-positive size.
bool PixelRegion(int rows, int cols, float top, float left, float width, float height,
                 zr_pixel_region& region);

// zr_search_sizes: the smallest and largest window of a multi-scale scan ((0, 0): no limit).
struct zr_search_sizes {
  int min_w;
  int min_h;
  int max_w;
  int max_h;
};

// DetectAll's sizes: minH = round(rows * minHeight), minW = round(winW * minH / winH) (the window
// for minHeight <= 0); maxH = round(rows * maxHeight), maxW = round(maxH * minW / minH) (the
// window's proportions when minH is 0; (0, 0) for maxHeight <= 0). False for non-finite input.
bool DetectAllSizes(int rows, int win_w, int win_h, float minHeight, float maxHeight,
                    zr_search_sizes& s);
// DetectOne's sizes over a region of region_rows rows in an image of rows rows: a square of
// max(5, rint(0.15 rows)) by default; minH = round(region_rows * minHeight) with the window's
// proportions; maxH = round(region_rows * maxHeight), maxW = round(winW * maxH / winH).
bool DetectOneSizes(int rows, int region_rows, int win_w, int win_h, float minHeight,
                    float maxHeight, zr_search_sizes& s);

// round(v) half away from zero for finite v within +-2^30; false otherwise.
bool RoundFinite(float v, int& out);

#endif  // FACE_DETECT_INTERNAL_GREY_WORKING_IMAGE_H
