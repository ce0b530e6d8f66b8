// bench/face/detection_stages_bench.cpp: the detection stages of the face search on a VGA photo
// (dlib's example 2008_002506.jpg, three faces, resampled to 640 x 480), each beside the library
// call it wraps: the cascade pass (DetectAll with the worker's region against OpenCV's
// detectMultiScale on the same grey image), the HOG pass at full and half size (with the image
// copy and the smoothed half-size resample against dlib's detector alone) and the landmark fit per
// face (the system's cascade loop on the predictor record against dlib's shape_predictor, both
// its stock single pass and the record's own levels in the system's order, whose points must be
// the system's). Each run checks its count of faces or its points, so a fast but wrong build
// fails. ZR_BENCH_TOKEN=1 uses a 320 x 240 photo and the quick predictor record.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <exception>
#include <string>

#include <opencv2/imgproc.hpp>

#include "face/detect/internal/grey_working_image.h"
#include "face/detect/internal/zr_dlib_types.h"
#include "face/detect/zr_cascade_classifier.h"
#include "face/regression/zr_regression_landmark_model.h"
#include "face/shape/zr_landmark_model.h"
#include "tests/face/detect/dlib_reference.h"

namespace {

bool Token() {
  return std::getenv("ZR_BENCH_TOKEN") != nullptr;
}

// The photo and everything the stages need, made once.
struct zr_bench_data {
  bool ok = false;
  std::string why;
  ZR_Image image;
  dlib::array2d<dlib::rgb_pixel> copy;
  ZR_CascadeClassifier cascade;
  cv::CascadeClassifier library;
  cv::Mat grey;
  ZR_HogDetector* hog = nullptr;
  ZR_LandmarkPredictor* predictor = nullptr;
  dlib::shape_predictor stock;
  bool have_stock = false;
  std::vector<dlib::rectangle> faces;
};

zr_bench_data& Data() {
  static zr_bench_data d = [] {
    zr_bench_data d;
    const std::string photo = std::string(ZR_DLIB_EXAMPLES_DIR) + "/faces/2008_002506.jpg";
    const std::string models =
        std::string(ZR_BINARY_DIR) + "/models/" + (Token() ? "quick" : "full");
    if (!d.image.Load(photo.c_str())) {
      d.why = "cannot load " + photo;
      return d;
    }
    d.image.ResizeImage(Token() ? 240 : 480, Token() ? 320 : 640, true);
    ToDlibImage(d.image, d.copy);
    FILE* f = std::fopen((models + "/Detectors.data").c_str(), "rb");
    int32_t version;
    if (f == nullptr || std::fread(&version, 4, 1, f) != 1 || d.cascade.Read(f) == nullptr) {
      d.why = "no " + models + "/Detectors.data";
      if (f) std::fclose(f);
      return d;
    }
    std::fclose(f);
    d.library.load(std::string(ZR_LBP_CASCADE_DIR) + "/lbpcascade_frontalface.xml");
    GreyWorkingImage(d.image, d.grey);
    cv::equalizeHist(d.grey, d.grey);
    std::string error;
    d.hog = CreateFaceDetector(error);
    // The predictor is the last record of Landmarks.data, after the header and the two models.
    f = std::fopen((models + "/Landmarks.data").c_str(), "rb");
    ZR_LandmarkModel landmark_model;
    ZR_RegressionLandmarkModel regression_model;
    const bool skipped = f != nullptr && std::fread(&version, 4, 1, f) == 1 &&
                         landmark_model.Read(f) != nullptr && regression_model.Read(f) != nullptr;
    d.predictor = skipped ? NewLandmarkPredictor(f) : nullptr;
    if (f) std::fclose(f);
    if (d.hog == nullptr || d.predictor == nullptr || d.library.empty()) {
      d.why = "no detector, predictor or library cascade";
      return d;
    }
    try {
      dlib::deserialize(ZR_DLIB_PREDICTOR_DAT) >> d.stock;
      d.have_stock = true;
    } catch (const std::exception&) {
      // libdlib-data absent: the library's fit is skipped
    }
    d.faces = d.hog->m_detector(d.copy, 0.0);
    d.ok = !d.faces.empty();
    if (!d.ok) d.why = "no HOG face in the photo";
    return d;
  }();
  return d;
}

#define ZR_BENCH_DATA(state)            \
  zr_bench_data& d = Data();            \
  if (!d.ok) {                          \
    state.SkipWithError(d.why.c_str()); \
    return;                             \
  }

// The worker's cascade stage: DetectAll of cascade 0 over the worker's region.
void BM_CascadeDetectAll(benchmark::State& state) {
  ZR_BENCH_DATA(state);
  ZR_List<ZR_FaceDetection> out;
  for (auto _ : state) {
    const int n = ZR_CascadeSet().DetectAll(d.image, d.cascade, out, 0.001f, 0.001f, 0.999f, 0.999f,
                                            1.15f, Token() ? 0.1f : 0.2f, 0.999f);
    if (n < 0) state.SkipWithError("region refused");
    benchmark::DoNotOptimize(n);
  }
  state.counters["hits"] = double(out.m_count);
}

// OpenCV alone on the prepared grey image with the same sizes.
void BM_CascadeLibrary(benchmark::State& state) {
  ZR_BENCH_DATA(state);
  zr_search_sizes s;
  DetectAllSizes(d.grey.rows, 24, 24, Token() ? 0.1f : 0.2f, 0.999f, s);
  std::vector<cv::Rect> hits;
  for (auto _ : state) {
    d.library.detectMultiScale(d.grey, hits, double(1.15f), 3, 3, cv::Size(s.min_w, s.min_h),
                               cv::Size(s.max_w, s.max_h));
    benchmark::DoNotOptimize(hits.data());
  }
  state.counters["hits"] = double(hits.size());
}

void BM_HogFull(benchmark::State& state) {
  ZR_BENCH_DATA(state);
  size_t faces = 0;
  for (auto _ : state) {
    dlib::array2d<dlib::rgb_pixel> copy;
    ToDlibImage(d.image, copy);
    faces = d.hog->m_detector(copy, 0.0).size();
  }
  if (faces != d.faces.size()) state.SkipWithError("face count changed");
  state.counters["faces"] = double(faces);
}

void BM_HogHalf(benchmark::State& state) {
  ZR_BENCH_DATA(state);
  size_t faces = 0;
  for (auto _ : state) {
    ZR_Image half(d.image);
    half.ResizeImage(unsigned(d.image.m_rows / 2), unsigned(d.image.m_cols / 2), true);
    dlib::array2d<dlib::rgb_pixel> copy;
    ToDlibImage(half, copy);
    faces = d.hog->m_detector(copy, 0.0).size();
  }
  state.counters["faces"] = double(faces);
}

// dlib's detector alone on an image already in its type.
void BM_HogLibrary(benchmark::State& state) {
  ZR_BENCH_DATA(state);
  size_t faces = 0;
  for (auto _ : state) faces = d.hog->m_detector(d.copy, 0.0).size();
  state.counters["faces"] = double(faces);
}

// The landmark fit per face: the system's loop (two passes over the later levels).
void BM_LandmarkFitPerFace(benchmark::State& state) {
  ZR_BENCH_DATA(state);
  long sum = 0;
  size_t k = 0;
  for (auto _ : state) {
    const dlib::full_object_detection s =
        RunLandmarkCascade(*d.predictor, d.copy, d.faces[k++ % d.faces.size()]);
    sum += s.part(0).x();
  }
  benchmark::DoNotOptimize(sum);
  state.counters["points"] = double(PredictorPointCount(*d.predictor));
}

// dlib's own shape_predictor on the same faces (one pass over its 15 levels).
void BM_LandmarkFitLibrary(benchmark::State& state) {
  ZR_BENCH_DATA(state);
  if (!d.have_stock) {
    state.SkipWithError("dlib's predictor file not readable");
    return;
  }
  long sum = 0;
  size_t k = 0;
  for (auto _ : state) {
    const dlib::full_object_detection s = d.stock(d.copy, d.faces[k++ % d.faces.size()]);
    sum += s.part(0).x();
  }
  benchmark::DoNotOptimize(sum);
}

// The record's predictor in plain data, the source of dlib's predictor over the same levels.
zr_predictor_data PlainPredictor(const ZR_LandmarkPredictor& p) {
  zr_predictor_data out;
  for (long i = 0; i < p.m_initial_shape.size(); ++i) out.shape.push_back(p.m_initial_shape(i));
  const size_t values = out.shape.size();
  for (size_t l = 0; l < p.m_forests.size(); ++l) {
    out.anchors.emplace_back(p.m_anchor_idx[l].begin(), p.m_anchor_idx[l].end());
    out.deltas.emplace_back();
    for (const dlib::vector<float, 2>& v : p.m_deltas[l]) {
      out.deltas.back().push_back(v.x());
      out.deltas.back().push_back(v.y());
    }
    const zr_forest& forest = p.m_forests[l];
    out.forests.emplace_back();
    for (const zr_tree_span& t : forest.m_trees) {
      zr_predictor_tree tree;
      for (uint32_t k = 0; k < t.split_count; ++k) {
        const zr_tree_split& s = forest.m_splits[t.first_split + k];
        tree.splits.push_back({s.idx1, s.idx2, s.thresh});
      }
      for (uint32_t v = 0; v <= t.split_count; ++v) {
        const float* leaf = forest.m_leaves.data() + t.first_leaf + v * values;
        tree.leaves.emplace_back(leaf, leaf + values);
      }
      out.forests.back().push_back(tree);
    }
  }
  return out;
}

// dlib's shape_predictor built from the record's levels in the system's order (levels without
// trees included, as dlib runs them) on the same faces; it first checks that every point is the
// system's.
void BM_LandmarkFitLibrarySystemOrder(benchmark::State& state) {
  ZR_BENCH_DATA(state);
  static const dlib::shape_predictor reference = [&] {
    const zr_predictor_data plain = PlainPredictor(*d.predictor);
    return ReferencePredictor(plain, SystemLevelOrder(plain.forests.size()));
  }();
  for (const dlib::rectangle& face : d.faces) {
    const dlib::full_object_detection want = RunLandmarkCascade(*d.predictor, d.copy, face);
    const dlib::full_object_detection got = reference(d.copy, face);
    for (unsigned long k = 0; k < want.num_parts(); ++k)
      if (got.part(k) != want.part(k)) {
        state.SkipWithError("dlib's points differ from the system's");
        return;
      }
  }
  long sum = 0;
  size_t k = 0;
  for (auto _ : state) {
    const dlib::full_object_detection s = reference(d.copy, d.faces[k++ % d.faces.size()]);
    sum += s.part(0).x();
  }
  benchmark::DoNotOptimize(sum);
}

BENCHMARK(BM_CascadeDetectAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CascadeLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HogFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HogHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HogLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LandmarkFitPerFace)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LandmarkFitLibrary)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LandmarkFitLibrarySystemOrder)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
