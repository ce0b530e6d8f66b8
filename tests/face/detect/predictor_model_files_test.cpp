// tests/face/detect/predictor_model_files_test.cpp: libdlib-data's 68-point predictor converted by
// the model builder and evaluated by the system, against dlib's own shape_predictor on the HOG
// faces of dlib's example photos: exact with the padded 69-point re-packing of the full model
// folder and with the plain 68 on the doubled level order; the generated quick record fits the
// 50-point layout. Skipped when the data packages are absent; one test loads the full folder.
#include <cmath>
#include <cstdio>
#include <memory>

#include <gtest/gtest.h>

#include "face/detect/internal/zr_dlib_types.h"
#include "face/regression/zr_regression_landmark_model.h"
#include "face/shape/zr_landmark_model.h"
#include "tests/face/detect/dlib_reference.h"
#include "tests/face/face_test_support.h"
#include "tools/quillbeck_models/predictor_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

struct PredictorDeleter {
  void operator()(ZR_LandmarkPredictor* p) const { DeleteLandmarkPredictor(p); }
};
using PredictorPtr = std::unique_ptr<ZR_LandmarkPredictor, PredictorDeleter>;

PredictorPtr FromBytes(std::vector<uint8_t> bytes) {
  ZR_MemoryFile f(std::move(bytes));
  return PredictorPtr(NewLandmarkPredictor(f.get()));
}

// The HOG faces of a few example photos, with the photos in dlib's image type.
struct zr_photo_faces {
  std::vector<dlib::array2d<dlib::rgb_pixel>> images;
  std::vector<std::vector<dlib::rectangle>> faces;
  size_t count = 0;
};

zr_photo_faces PhotoFaces() {
  zr_photo_faces out;
  std::string error;
  ZR_HogDetector* d = CreateFaceDetector(error);
  EXPECT_NE(nullptr, d) << error;
  for (const char* name : {"faces/2008_001322.jpg", "faces/2008_002506.jpg",
                           "faces/2009_004587.jpg", "faces/Tom_Cruise_avp_2014_4.jpg"}) {
    ZR_Image image;
    if (!LoadPhoto(ExamplePhoto(name), image)) continue;
    out.images.emplace_back();
    ToDlibImage(image, out.images.back());
    out.faces.push_back(d->m_detector(out.images.back(), 0.0));
    out.count += out.faces.back().size();
  }
  DeleteFaceDetector(d);
  return out;
}

#define ZR_SKIP_WITHOUT_DATA()                                                      \
  do {                                                                              \
    ZR_SKIP_UNLESS_FILE(std::string(ZR_DLIB_PREDICTOR_DAT), "libdlib-data absent"); \
    ZR_SKIP_UNLESS_FILE(ExamplePhoto("faces/2008_002506.jpg"), "photos absent");    \
  } while (0)

// The predictor of a generated model folder: the last record of its Landmarks.data, after the
// header word and the two models, which must end the file. Null when the file is absent.
PredictorPtr PredictorOfModelFolder(const char* kind) {
  FILE* f = std::fopen(ModelFile(kind, "Landmarks.data").c_str(), "rb");
  if (f == nullptr) return nullptr;
  int32_t header;
  ZR_LandmarkModel landmark_model;
  ZR_RegressionLandmarkModel regression_model;
  PredictorPtr p;
  if (std::fread(&header, 4, 1, f) == 1 && landmark_model.Read(f) != nullptr &&
      regression_model.Read(f) != nullptr)
    p.reset(NewLandmarkPredictor(f));
  EXPECT_EQ(EOF, std::fgetc(f)) << kind;
  std::fclose(f);
  return p;
}

// The padded 69-point predictor runs dlib's 15 levels once (the second pass meets only empty
// levels), and point s is dlib's point kRepack69[s]: the centroid changes no feature pixel. The
// full model folder holds it, since padding is the builder's default.
TEST(PredictorModelFiles, SlowPadded69EqualsDlibPointForPoint) {
  ZR_SKIP_WITHOUT_DATA();
  ZR_SKIP_UNLESS_FILE(ModelFile("full", "Landmarks.data"), "the model builder did not write it");
  dlib::shape_predictor stock;
  dlib::deserialize(ZR_DLIB_PREDICTOR_DAT) >> stock;
  PredictorPtr p = PredictorOfModelFolder("full");
  ASSERT_NE(nullptr, p);
  ASSERT_EQ(69, PredictorPointCount(*p));
  const zr_photo_faces photos = PhotoFaces();
  ASSERT_GE(photos.count, 5u);
  size_t points = 0, differing = 0;
  for (size_t i = 0; i < photos.images.size(); ++i)
    for (const dlib::rectangle& r : photos.faces[i]) {
      const dlib::full_object_detection want = stock(photos.images[i], r);
      const dlib::full_object_detection got = RunLandmarkCascade(*p, photos.images[i], r);
      for (uint32_t s = 0; s < 68; ++s, ++points)
        differing += got.part(s) != want.part(kRepack69[s]);
    }
  EXPECT_EQ(0u, differing) << "of " << points << " points";
  std::printf("padded 69-point predictor: %zu faces, %zu points, %zu differ from dlib\n",
              photos.count, points, differing);
}

// The plain 68-point conversion (first 100 trees per level) equals dlib's predictor run over the
// system's level order exactly; its distance from dlib's single pass is reported.
TEST(PredictorModelFiles, Plain68EqualsDlibOnTheSystemsLevelOrder) {
  ZR_SKIP_WITHOUT_DATA();
  zr_predictor_data data;
  std::string error;
  ASSERT_TRUE(ReadDlibPredictor(ZR_DLIB_PREDICTOR_DAT, data, error)) << error;
  ASSERT_EQ(15u, data.forests.size());
  KeepTrees(data, 100);
  PredictorPtr p = FromBytes(PredictorRecordBytes(data));
  ASSERT_NE(nullptr, p);
  const dlib::shape_predictor doubled = ReferencePredictor(data, SystemLevelOrder(15));
  std::vector<size_t> once_order;
  for (size_t i = 0; i < 15; ++i) once_order.push_back(i);
  const dlib::shape_predictor once = ReferencePredictor(data, once_order);
  const zr_photo_faces photos = PhotoFaces();
  size_t points = 0, differing = 0;
  double moved = 0, eyes = 0;
  for (size_t i = 0; i < photos.images.size(); ++i)
    for (const dlib::rectangle& r : photos.faces[i]) {
      const dlib::full_object_detection got = RunLandmarkCascade(*p, photos.images[i], r);
      const dlib::full_object_detection want = doubled(photos.images[i], r);
      const dlib::full_object_detection single = once(photos.images[i], r);
      for (unsigned long k = 0; k < 68; ++k, ++points) {
        differing += got.part(k) != want.part(k);
        moved += std::sqrt(double((got.part(k) - single.part(k)).length_squared()));
      }
      eyes += std::sqrt(double((got.part(36) - got.part(45)).length_squared()));
    }
  EXPECT_EQ(0u, differing) << "of " << points << " points";
  ASSERT_GT(points, 0u);
  const double mean = moved / double(points);
  std::printf("second pass vs one pass (100 trees): mean %.3f px, %.2f %% of the eye distance\n",
              mean, 100.0 * mean / (eyes / double(photos.count)));
  EXPECT_LT(mean, 0.05 * eyes / double(photos.count));
}

TEST(PredictorModelFiles, QuickRecordFitsTheFiftyPointLayout) {
  const std::string path = ModelFile("quick", "Landmarks.data");
  ZR_SKIP_UNLESS_FILE(path, "the model builder did not write it (libdlib-data absent?)");
  ZR_SKIP_UNLESS_FILE(ExamplePhoto("faces/2008_002506.jpg"), "photos absent");
  PredictorPtr p = PredictorOfModelFolder("quick");
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(69, PredictorPointCount(*p));

  std::string text;
  ZR_HogDetector* d = CreateFaceDetector(text);
  ZR_Image image;
  ASSERT_TRUE(LoadPhoto(ExamplePhoto("faces/2008_002506.jpg"), image));
  ZR_List<ZR_AnnoModel2D> models;
  ZR_List<ZR_NBox> boxes;
  ZR_String error;
  EXPECT_TRUE(DLIB_FitLandmarks(image, models, boxes, d, p.get(), error));
  DeleteFaceDetector(d);
  ASSERT_EQ(3u, models.m_count);
  for (uint32_t k = 0; k < models.m_count; ++k) {
    EXPECT_EQ(1, models[k].GetLayoutCode());
    // The fitted face outline lies inside its box, grown by a quarter.
    const ZR_NBox& b = boxes[k];
    ZR_Vector2D lo, hi;
    models[k][6].GetBoundingBox(lo, hi);
    EXPECT_GT(lo.x, b.m_corner0.x - 0.25f * b.m_size.x);
    EXPECT_LT(hi.x, b.m_corner3.x + 0.25f * b.m_size.x);
    EXPECT_GT(lo.y, b.m_corner0.y - 0.25f * b.m_size.y);
  }
  // The record cut in half no longer reads.
  FILE* f = std::fopen(path.c_str(), "rb");
  std::vector<uint8_t> bytes(size_t(1) << 20);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  EXPECT_EQ(nullptr, FromBytes(bytes));
}

}  // namespace
