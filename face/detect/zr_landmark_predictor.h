// face/detect/zr_landmark_predictor.h: the regression-tree landmark predictor read from the
// system's own record, and the conversion of a fitted shape into an annotation model. dlib's types
// stay opaque here (face/detect/internal/zr_dlib_types.h holds them, with the cascade evaluation).
#ifndef FACE_DETECT_ZR_LANDMARK_PREDICTOR_H
#define FACE_DETECT_ZR_LANDMARK_PREDICTOR_H

#include <cstdio>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_point.h"

namespace dlib {
class full_object_detection;
}

// ZR_LandmarkPredictor: the predictor's initial shape, forests, anchor indices and deltas.
//   Invariant after a successful read: three equal level counts, anchors and deltas of a level of
//   equal length, every anchor below the point count, every split index below its level's feature
//   count, complete trees with V = S + 1 leaves of the shape's size. Shared read-only by workers.
struct ZR_LandmarkPredictor;

// Allocates a predictor and reads it with ReadLandmarkPredictor; null (nothing kept) on failure.
ZR_LandmarkPredictor* NewLandmarkPredictor(FILE* f);
// Reads a predictor record (int32 version, int32 R, int32 C = 1, R floats; La levels of int32 n,
// n uint32 anchors; Ld levels of int32 n, n (float, float) deltas; Lf levels of int32 T trees,
// each int32 S, S (uint32, uint32, float) splits, int32 V, V leaves of int32 r, int32 c = 1, r
// floats) into p, emptied first. Returns f, or null at a short read, a count the bytes left
// cannot hold, or a record that breaks the invariant above (p then holds what was read and must
// not be evaluated).
FILE* ReadLandmarkPredictor(ZR_LandmarkPredictor* p, FILE* f);
// Destroys and frees a predictor; null is ignored.
void DeleteLandmarkPredictor(ZR_LandmarkPredictor* p);
// The number of points of the predictor's shape (R / 2).
int PredictorPointCount(const ZR_LandmarkPredictor& p);

// Fills model (emptied first; the model flag is kept) from the shape's points, each library point
// (x, y) becoming (x / size.x, 1 - y / size.y): the layout "1".."9" for 68 points, the 50-point
// layout ("BROW RIDGE" .. "FACE", points 0..49) for any count of 50 or more. size is (cols, rows)
// of the full image. False, model empty, for any other count.
bool ShapeToAnnoModel(const dlib::full_object_detection& shape, ZR_AnnoModel2D& model,
                      const ZR_Vector2D& size);
// The 68-point layout alone; false, model empty, unless the shape has 68 points.
bool ShapeToAnnoModel68(const dlib::full_object_detection& shape, ZR_AnnoModel2D& model,
                        const ZR_Vector2D& size);

#endif  // FACE_DETECT_ZR_LANDMARK_PREDICTOR_H
