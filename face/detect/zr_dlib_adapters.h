// face/detect/zr_dlib_adapters.h: the adapters to dlib: the frontal HOG face detector and the three
// fitting entry points of the face search, with the landmark predictor of zr_landmark_predictor.h.
// dlib's types stay opaque here (face/detect/internal/zr_dlib_types.h holds them); no library
// exception leaves a call.
#ifndef FACE_DETECT_ZR_DLIB_ADAPTERS_H
#define FACE_DETECT_ZR_DLIB_ADAPTERS_H

#include <string>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_string.h"
#include "face/detect/zr_face_detection.h"
#include "face/detect/zr_landmark_predictor.h"
#include "image/zr_image.h"

// ZR_HogDetector: dlib's frontal face detector. Not thread-safe: one per worker.
struct ZR_HogDetector;
// A new copy of dlib's frontal face detector, or null with the library's text in error.
ZR_HogDetector* CreateFaceDetector(std::string& error);
// Frees a detector from CreateFaceDetector; null is ignored.
void DeleteFaceDetector(ZR_HogDetector* d);

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
