// face/detect/internal/dlib_geometry.h: the arithmetic between dlib's top-down pixel rectangles and
// the system's boxes, kept free of dlib's headers so that it is cheap to test. Rectangles are left,
// top, right, bottom with inclusive right and bottom, as dlib gives them.
#ifndef FACE_DETECT_INTERNAL_DLIB_GEOMETRY_H
#define FACE_DETECT_INTERNAL_DLIB_GEOMETRY_H

#include "core/zr_point.h"
#include "face/detect/zr_face_detection.h"

// Rows of the patch a candidate box is resampled to before the HOG detector re-checks it.
constexpr int kZrPatchRows = 120;

// The box SetCorners((left / cols, 1 - bottom / rows), (right / cols, 1 - top / rows)) of a
// library rectangle in an image of size (cols, rows).
ZR_NBox BoxOfLibraryRect(long left, long top, long right, long bottom, const ZR_Vector2D& size);

// zr_patch_geometry: where a box's patch samples the image. Column j, row r (top first) of the
// patch samples the image at column j * step + col0 and bottom-up row (rows - 1 - r) * step +
// row0; top is the box's top edge in top-down pixels.
struct zr_patch_geometry {
  long cols;
  float step;
  float col0;
  float row0;
  float top;
};

// The patch of box in an image of rows x cols pixels: kZrPatchRows high and round-half-away(
// width / height * 120) wide, with the highest row and column index as the scale. False for a box
// that is not finite, has no height or width, or gives a patch past the image-size cap.
bool PatchGeometry(const ZR_NBox& box, int rows, int cols, zr_patch_geometry& g);

// A patch coordinate v mapped back into image pixels: round-half-away(v * step + origin). False
// when the result is not finite or beyond +-2^30.
bool PatchToImage(long v, float step, float origin, long& out);

#endif  // FACE_DETECT_INTERNAL_DLIB_GEOMETRY_H
