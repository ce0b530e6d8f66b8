// nnet/face_masks.cpp: the 20 x 20 face mask with cut corners and the lighting-correction
// matrix, the inverse of the normal matrix of a plane fit a*x + b*y + c over the mask's pixels.
#include "nnet/neural_face_detector.h"

#include "nnet/ximage.h"

#include <cassert>
#include <initializer_list>

void NeuralFaceDetector::MakeFaceMask(XByteImage* mask) {
  mask->Allocate(20, 20);
  const int32_t w = mask->width;
  const int32_t h = mask->height;
  unsigned char* p = mask->pixels;
  const int32_t cut[] = {5, 4, 3, 2};  // pixels cleared at each end of rows 0..3 and h-1..h-4
  for (int32_t r = 0; r < 4; ++r) {
    for (int32_t row : {r, h - 1 - r}) {
      for (int32_t x = 0; x < cut[r]; ++x) {
        p[row * w + x] = 0;
        p[row * w + w - 1 - x] = 0;
      }
    }
  }
  for (int32_t y = 0; y < h; ++y) {
    p[y * w] = 0;
    p[y * w + w - 1] = 0;
  }
}

void NeuralFaceDetector::ComputeLightingMatrix() {
  assert(faceMask);
  Matrix sums = Matrix::Zeros(3, 3);
  const int32_t w = faceMask->width;
  const int32_t h = faceMask->height;
  const unsigned char* p = faceMask->pixels;
  for (int32_t r = 0; r < h; ++r) {
    for (int32_t c = 0; c < w; ++c) {
      if (!p[r * w + c]) continue;
      const int32_t x = c - w / 2;
      const int32_t y = r - h / 2;
      sums(0, 0) += x * x;
      sums(0, 1) += x * y;
      sums(0, 2) += x;
      sums(1, 0) += x * y;
      sums(1, 1) += y * y;
      sums(1, 2) += y;
      sums(2, 0) += x;
      sums(2, 1) += y;
      sums(2, 2) += 1.0;
    }
  }
  lightingMatrix = Matrix::Invert(sums, nullptr);
}
