// bench/face/photo_canvas.h: search images built from one photo, for the find-and-fit tests
// and benchmark: the photo resampled to a given size and centred on a grey canvas, so that the
// face's share of the image height decides which search stage can find it. GTest-free.
#ifndef BENCH_FACE_PHOTO_CANVAS_H
#define BENCH_FACE_PHOTO_CANVAS_H

#include "image/zr_image.h"

// photo resampled to photo_rows x photo_cols (smoothed when it shrinks) and copied centred onto a
// rows x cols canvas of grey 128; the parts of the photo outside the canvas are cut off.
inline ZR_Image PhotoOnCanvas(const ZR_Image& photo, int photo_rows, int photo_cols, int rows,
                              int cols) {
  ZR_Image scaled = photo;
  if (photo_rows != photo.m_rows || photo_cols != photo.m_cols)
    scaled.ResizeImage(unsigned(photo_rows), unsigned(photo_cols), photo_rows < photo.m_rows);
  ZR_Image canvas(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) canvas[r][c] = ZR_Colour{128, 128, 128, 255};
  const int r0 = (rows - photo_rows) / 2, c0 = (cols - photo_cols) / 2;
  for (int r = 0; r < photo_rows; ++r)
    for (int c = 0; c < photo_cols; ++c)
      if (r + r0 >= 0 && r + r0 < rows && c + c0 >= 0 && c + c0 < cols)
        canvas[r + r0][c + c0] = scaled[r][c];
  return canvas;
}

#endif  // BENCH_FACE_PHOTO_CANVAS_H
