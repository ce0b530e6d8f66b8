// fuzz/model_files_fuzz.cpp: the three model-file readers over a memory stream. The first byte
// picks the file: 0 "Detectors.data" (ZR_FaceDetectors::Read), 1 "IsFace.data"
// (ZR_IsFaceModel::Read), 2 "Landmarks.data" (ZR_LandmarkFitter::Read); the rest is the file.
// Covers the cascade, pose-estimator, annotation-model, sampler, landmark-model, regression-model
// and predictor readers as they meet inside one stream. A model that loads gets a pose estimate.
#include <cstdint>
#include <cstdio>

#include "annotation/zr_anno_model2d.h"
#include "face/zr_face_detectors.h"
#include "face/zr_isface_model.h"
#include "face/zr_landmark_fitter.h"
#include "fuzz/fuzz_support.h"

namespace {

volatile float g_sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  FuzzStream stream(data + 1, size - 1);
  FILE* f = stream.get();
  switch (data[0] % 3) {
    case 0: {
      ZR_FaceDetectors detectors;
      if (detectors.Read(f)) FUZZ_CHECK(detectors.m_hog_detector != nullptr);
      break;
    }
    case 1: {
      ZR_IsFaceModel model;
      if (model.Read(f)) {
        // The first estimator on the model's own first annotation model, matching or not.
        const ZR_Vector3D a = model.EstimatePose(model.m_anno_model1, ZR_Vector2D(640, 480));
        g_sink = a.x + a.y + a.z;
      }
      break;
    }
    default: {
      ZR_LandmarkFitter fitter;
      if (fitter.Read(f)) FUZZ_CHECK(fitter.m_predictor != nullptr);
      break;
    }
  }
  return 0;
}
