// bench/face/find_and_fit_bench.cpp: ZR_LandmarkFitter::FindAndFit on VGA and 1600 x 1200 images
// built so that each search stage wins (a portrait on a grey canvas, its size chosen against the
// cascades' minimum face height and HOG's smallest face), beside the library calls each stage
// makes, timed alone: DetectAll of cascade 0, the HOG check and fit of its boxes, HOG at half and
// full size, and the refinement. Each run checks the winning stage or the face count, so a fast
// but wrong build fails. ZR_BENCH_TOKEN=1 runs the VGA cases only.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "face/detect/zr_cascade_classifier.h"
#include "bench/face/photo_canvas.h"
#include "face/detect/zr_dlib_adapters.h"
#include "face/zr_face_detectors.h"
#include "face/zr_landmark_fitter.h"
#include "image/zr_image.h"

namespace {

bool Token() {
  return std::getenv("ZR_BENCH_TOKEN") != nullptr;
}

// Two portraits: on the first cascade 0's hit passes HOG at every size that the cascade sees; on
// the second only cascade 1's does, and smaller copies reach the HOG stages at coarser sizes.
const char* const kFirst = "/johns/John_Schneider/000288_00925786.jpg";
const char* const kSecond = "/johns/John_Salley/000179_02159509.jpg";

// The worker's models, read once for the whole run.
struct zr_bench_models {
  ZR_LandmarkFitter fitter;
  ZR_FaceDetectors detectors;
  bool loaded = false;

  zr_bench_models() {
    const std::string dir = std::string(ZR_BINARY_DIR) + "/models/quick";
    FILE* f = std::fopen((dir + "/Landmarks.data").c_str(), "rb");
    FILE* g = std::fopen((dir + "/Detectors.data").c_str(), "rb");
    loaded = f && g && fitter.Read(f) && detectors.Read(g);
    if (f) std::fclose(f);
    if (g) std::fclose(g);
  }
};

zr_bench_models& Models() {
  static zr_bench_models models;
  return models;
}

// A canvas of rows x cols with a portrait resampled to side x side in its centre (measured: the
// stage that wins for each). The third stage cannot be forced with a plain photo: its boxes are
// the first stage's unless the second cascade confirms.
struct zr_case {
  const char* name;
  const char* photo;
  int rows, cols, side;
  int32_t stage;  // the stage that must win
};

const zr_case kCases[] = {
    {"vga/stage1", kFirst, 480, 640, 300, ZR_STAGE_CASCADE0},
    {"vga/stage2", kSecond, 480, 640, 300, ZR_STAGE_CASCADE1},
    {"vga/stage4", kSecond, 480, 640, 130, ZR_STAGE_HOG_HALF_SIZE},
    {"vga/stage5", kSecond, 480, 640, 110, ZR_STAGE_HOG_FULL_SIZE},
    {"1600x1200/stage1", kFirst, 1200, 1600, 600, ZR_STAGE_CASCADE0},
    {"1600x1200/stage2", kSecond, 1200, 1600, 500, ZR_STAGE_CASCADE1},
    {"1600x1200/stage4", kFirst, 1200, 1600, 200, ZR_STAGE_HOG_HALF_SIZE},
    {"1600x1200/stage5", kFirst, 1200, 1600, 120, ZR_STAGE_HOG_FULL_SIZE},
};

bool Image(benchmark::State& state, const zr_case& c, ZR_Image& image) {
  if (!Models().loaded) {
    state.SkipWithError("no model files in the build tree's models/quick");
    return false;
  }
  ZR_Image photo;
  if (!photo.Load((std::string(ZR_DLIB_EXAMPLES_DIR) + c.photo).c_str())) {
    state.SkipWithError("no dlib example photos");
    return false;
  }
  image = PhotoOnCanvas(photo, c.side, c.side, c.rows, c.cols);
  return true;
}

void BM_FindAndFit(benchmark::State& state, zr_case c) {
  ZR_Image image;
  if (!Image(state, c, image)) return;
  const ZR_DetectionParams params;
  for (auto _ : state) {
    ZR_AnnoModel2D model;
    ZR_String error;
    int32_t stage = 0;
    Models().fitter.FindAndFit(Models().detectors, image, params, model, error, &stage);
    if (stage != c.stage) {
      state.SkipWithError(("stage " + std::to_string(stage) + " won").c_str());
      break;
    }
  }
}

// Cascade 0 over the search region, as the first stage runs it.
void BM_CascadeDetectAll(benchmark::State& state, zr_case c) {
  ZR_Image image;
  if (!Image(state, c, image)) return;
  const ZR_DetectionParams params;
  for (auto _ : state) {
    ZR_List<ZR_FaceDetection> detections;
    DetectFaces(Models().detectors.m_cascade[0], image, params, detections);
    benchmark::DoNotOptimize(detections.m_count);
  }
}

// The HOG check on a 120-pixel patch and the landmark fit of cascade 0's boxes.
void BM_FitToBoxes(benchmark::State& state, zr_case c) {
  ZR_Image image;
  if (!Image(state, c, image)) return;
  const ZR_DetectionParams params;
  ZR_List<ZR_FaceDetection> detections;
  DetectFaces(Models().detectors.m_cascade[0], image, params, detections);
  ZR_List<ZR_NBox> found;
  for (uint32_t i = 0; i < detections.m_count; ++i) found.Add(detections[i].m_box1);
  for (auto _ : state) {
    ZR_List<ZR_NBox> boxes = found;
    ZR_List<ZR_AnnoModel2D> models;
    ZR_String error;
    if (!DLIB_FitLandmarksToBoxes(image, boxes, models, Models().detectors.m_hog_detector,
                                  Models().fitter.m_predictor, error)) {
      state.SkipWithError("no box confirmed");
      break;
    }
  }
}

template <bool kHalf>
void BM_Hog(benchmark::State& state, zr_case c) {
  ZR_Image image;
  if (!Image(state, c, image)) return;
  for (auto _ : state) {
    ZR_List<ZR_AnnoModel2D> models;
    ZR_List<ZR_NBox> boxes;
    ZR_String error;
    const bool found =
        kHalf ? DLIB_FitLandmarksHalfSize(image, models, boxes, Models().detectors.m_hog_detector,
                                          Models().fitter.m_predictor, error)
              : DLIB_FitLandmarks(image, models, boxes, Models().detectors.m_hog_detector,
                                  Models().fitter.m_predictor, error);
    if (!found || models.m_count != 1) {
      state.SkipWithError("HOG did not find the one face");
      break;
    }
  }
}

// The pose-dependent refinement of the fitted face, alone.
void BM_Refine(benchmark::State& state, zr_case c) {
  ZR_Image image;
  if (!Image(state, c, image)) return;
  ZR_List<ZR_AnnoModel2D> models;
  ZR_List<ZR_NBox> boxes;
  ZR_String error;
  if (!DLIB_FitLandmarks(image, models, boxes, Models().detectors.m_hog_detector,
                         Models().fitter.m_predictor, error)) {
    state.SkipWithError("HOG did not find the face");
    return;
  }
  for (auto _ : state) {
    ZR_AnnoModel2D model = models[0];
    if (!TryFitLandmarkModel(Models().fitter.m_landmark_model, image.GetSize(), model)) {
      state.SkipWithError("refinement failed");
      break;
    }
  }
}

void Register() {
  for (const zr_case& c : kCases) {
    if (Token() && c.rows != 480) continue;
    const std::string n = c.name;
    benchmark::RegisterBenchmark(("FindAndFit/" + n).c_str(), BM_FindAndFit, c)
        ->Unit(benchmark::kMillisecond);
    if (c.stage == ZR_STAGE_CASCADE0) {
      benchmark::RegisterBenchmark(("DetectAll/" + n).c_str(), BM_CascadeDetectAll, c)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("FitToBoxes/" + n).c_str(), BM_FitToBoxes, c)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("Refine/" + n).c_str(), BM_Refine, c)
          ->Unit(benchmark::kMillisecond);
    }
    if (c.stage == ZR_STAGE_HOG_HALF_SIZE)
      benchmark::RegisterBenchmark(("HogHalfSize/" + n).c_str(), BM_Hog<true>, c)
          ->Unit(benchmark::kMillisecond);
    if (c.stage == ZR_STAGE_HOG_FULL_SIZE)
      benchmark::RegisterBenchmark(("HogFullSize/" + n).c_str(), BM_Hog<false>, c)
          ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
