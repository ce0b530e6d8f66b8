// face/detect/zr_dlib_adapters.h: the adapters to dlib: the frontal HOG face detector, the
// regression-tree landmark predictor read from the system's own record, the conversion of a fitted
// shape into an annotation model, and the three fitting entry points of the face search. dlib's
// types stay opaque here (face/detect/internal/zr_dlib_types.h holds them); no library exception
// leaves a call.
#ifndef FACE_DETECT_ZR_DLIB_ADAPTERS_H
#define FACE_DETECT_ZR_DLIB_ADAPTERS_H

#include <cstdio>
#include <string>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_string.h"
#include "face/detect/zr_face_detection.h"
#include "image/zr_image.h"

namespace dlib {
class full_object_detection;
}

// ZR_HogDetector: dlib's frontal face detector. Not thread-safe: one per worker.
struct ZR_HogDetector;
// ZR_LandmarkPredictor: the predictor's initial shape, forests, anchor indices and deltas.
//   Invariant after a successful read: three equal level counts, anchors and deltas of a level of
//   equal length, every anchor below the point count, every split index below its level's feature
//   count, complete trees with V = S + 1 leaves of the shape's size. Shared read-only by workers.
struct ZR_LandmarkPredictor;

// A new copy of dlib's frontal face detector, or null with the library's text in error.
ZR_HogDetector* CreateFaceDetector(std::string& error);
// Frees a detector from CreateFaceDetector; null is ignored.
void DeleteFaceDetector(ZR_HogDetector* d);

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

// Finds faces with the HOG detector on the full image and fits landmarks in each: models[k] and
// boxes[k] describe face k (both emptied first). True when at least one face was fitted. Null d
// or p: "DLIB_FitLandmarks() detector or landmark model pointer is NULL" in error, false, lists
// untouched. A library exception: its text in error, false (the lists keep what was appended).
bool DLIB_FitLandmarks(const ZR_Image& image, ZR_List<ZR_AnnoModel2D>& models,
                       ZR_List<ZR_NBox>& boxes, ZR_HogDetector* d, const ZR_LandmarkPredictor* p,
                       ZR_String& error);
// As DLIB_FitLandmarks with the detection run on a smoothed half-size copy and the doubled
// rectangles fitted on the full image (same null-pointer message). An image under 4 rows or
// columns finds nothing (false, error untouched).
bool DLIB_FitLandmarksHalfSize(const ZR_Image& image, ZR_List<ZR_AnnoModel2D>& models,
                               ZR_List<ZR_NBox>& boxes, ZR_HogDetector* d,
                               const ZR_LandmarkPredictor* p, ZR_String& error);
// Confirms each given box with the HOG detector on a patch 120 pixels high and fits the first
// rectangle found; boxes is replaced by the confirmed rectangles' boxes, models by their fits
// (note: boxes before models). True when at least one face was fitted. Boxes that are degenerate
// (not finite, zero height or width, or a patch past the image-size cap) are skipped. Null d or p:
// "DLIB_FitLandmarksToBoxes() detector or landmark model pointer is NULL", false, lists untouched.
// A library exception: its text in error, false (models and boxes hold the faces fitted before).
bool DLIB_FitLandmarksToBoxes(const ZR_Image& image, ZR_List<ZR_NBox>& boxes,
                              ZR_List<ZR_AnnoModel2D>& models, ZR_HogDetector* d,
                              const ZR_LandmarkPredictor* p, ZR_String& error);

#endif  // FACE_DETECT_ZR_DLIB_ADAPTERS_H
