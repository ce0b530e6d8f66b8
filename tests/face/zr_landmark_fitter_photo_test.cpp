// tests/face/zr_landmark_fitter_photo_test.cpp: find-and-fit on dlib's example photos with the
// quick fixture models: plain portraits win in the cascade stages with landmarks on the face and
// a small pose, a small face on a large canvas reaches full-size HOG, a large face on a larger
// canvas half-size HOG, an unconfirmed cascade hit keeps its own box, and photos without a face
// fail with the exact text. Skips when the model files or the photos are absent.
#include "face/zr_landmark_fitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "face/zr_face_detectors.h"
#include "face/zr_isface_model.h"
#include "image/zr_image.h"
#include "tests/support/model_file_records.h"
#include "bench/face/photo_canvas.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

namespace fs = std::filesystem;

const std::string kModels = std::string(ZR_BINARY_DIR) + "/models/quick";
const std::string kExamples = ZR_DLIB_EXAMPLES_DIR;

std::vector<std::string> JohnsPhotos() {
  std::vector<std::string> photos;
  std::error_code ec;
  if (kExamples.empty()) return photos;
  for (const auto& e : fs::recursive_directory_iterator(kExamples + "/johns", ec))
    if (e.path().extension() == ".jpg") photos.push_back(e.path().string());
  std::sort(photos.begin(), photos.end());
  return photos;
}

// The models of one worker and the shared fitter, read once per test.
class FindAndFitPhotos : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Load(kModels + "/Landmarks.data", [&](FILE* f) { return m_fitter.Read(f); }) ||
        !Load(kModels + "/Detectors.data",
              [&](FILE* f) { return m_detectors.Read(f) != nullptr; }) ||
        !Load(kModels + "/IsFace.data", [&](FILE* f) { return m_isface.Read(f) != nullptr; }))
      GTEST_SKIP() << "no model files in " << kModels;
    m_photos = JohnsPhotos();
    if (m_photos.size() < 50) GTEST_SKIP() << "no dlib example photos in " << kExamples;
  }

  template <class Reader>
  static bool Load(const std::string& path, Reader read) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const bool ok = read(f);
    std::fclose(f);
    return ok;
  }

  // FindAndFit, returning the stage that found the face (ZR_STAGE_NONE when none did); fitted
  // tells whether the refinement then succeeded.
  int32_t Run(const ZR_Image& image, ZR_AnnoModel2D& model, ZR_String& error,
              bool* fitted = nullptr) {
    int32_t stage = -1;
    const bool ok = m_fitter.FindAndFit(m_detectors, image, m_params, model, error, &stage);
    EXPECT_TRUE(ok || stage == ZR_STAGE_NONE || error == " Failed to fit to face");
    if (fitted) *fitted = ok;
    return stage;
  }

  ZR_Image Photo(const std::string& path) {
    ZR_Image image;
    EXPECT_TRUE(image.Load(path.c_str())) << path;
    return image;
  }

  ZR_LandmarkFitter m_fitter;
  ZR_FaceDetectors m_detectors;
  ZR_IsFaceModel m_isface;
  ZR_DetectionParams m_params;
  std::vector<std::string> m_photos;
};

ZR_Vector2D Centre(const ZR_AnnoModel2D& model, const char* name) {
  const int32_t a = model.FindAnnotation(name);
  if (a < 0 || model[uint32_t(a)].m_count == 0) return ZR_Vector2D(NAN, NAN);
  ZR_Vector2D sum(0, 0);
  const ZR_Annotation2D& points = model[uint32_t(a)];
  for (uint32_t i = 0; i < points.m_count; ++i) sum = sum + points[i];
  return sum / float(points.m_count);
}

uint32_t PointCount(const ZR_AnnoModel2D& model) {
  uint32_t n = 0;
  for (uint32_t a = 0; a < model.m_count; ++a) n += model[a].m_count;
  return n;
}

}  // namespace

// Plain portraits: a cascade stage wins (the cascade 0 hit re-confirmed by HOG for most), the
// eyes lie inside the face contour above the mouth and in their quarters of the HOG rectangle,
// right eye at the image's left, and the pose of these frontal photos is small.
TEST_F(FindAndFitPhotos, PlainPortraitsWinInCascadeStagesWithLandmarksOnTheFace) {
  std::map<int32_t, int> stages;
  int unfitted = 0;
  float worst_pose = 0, mean_pose = 0;
  for (const std::string& path : m_photos) {
    const ZR_Image image = Photo(path);
    ZR_AnnoModel2D model;
    ZR_String error;
    bool fitted = false;
    const int32_t stage = Run(image, model, error, &fitted);
    ++stages[stage];
    if (!fitted) {
      std::printf("%s: stage %d, %s\n", path.c_str(), stage, error.m_text);
      ++unfitted;
      continue;
    }
    EXPECT_EQ(m_isface.m_pose_estimator1.m_n, PointCount(model)) << path;
    const ZR_Vector2D right = Centre(model, "RIGHT EYE"), left = Centre(model, "LEFT EYE");
    const ZR_Vector2D mouth = Centre(model, "OUTER MOUTH");
    ZR_Vector2D min, max;
    model[uint32_t(model.FindAnnotation("FACE"))].GetBoundingBox(min, max);
    for (const ZR_Vector2D& eye : {right, left}) {
      EXPECT_GT(eye.x, min.x) << path;
      EXPECT_LT(eye.x, max.x) << path;
      EXPECT_GT(eye.y, mouth.y + 0.05f) << path;
    }
    EXPECT_LT(right.x, left.x) << path;
    // Each eye lies in its upper quarter of the HOG rectangle the face was fitted in.
    ZR_List<ZR_AnnoModel2D> models;
    ZR_List<ZR_NBox> boxes;
    ASSERT_TRUE(m_fitter.DetectAndFitFaces(m_detectors, image, m_params, models, boxes)) << path;
    ZR_NBox box = boxes[0];
    if (boxes.m_count > 1) ChooseCentralFace(boxes, box);
    const struct {
      ZR_Vector2D eye;
      float x0, x1;
    } eye_boxes[] = {{right, box.m_corner0.x, box.m_centre.x},
                     {left, box.m_centre.x, box.m_corner3.x}};
    for (const auto& e : eye_boxes) {
      EXPECT_GT(e.eye.x, e.x0) << path;
      EXPECT_LT(e.eye.x, e.x1) << path;
      EXPECT_GT(e.eye.y, box.m_centre.y) << path;
      EXPECT_LT(e.eye.y, box.m_corner3.y) << path;
    }
    EXPECT_GT(left.x - right.x, 0.15f) << path << ": eyes of a 150-pixel portrait";
    const ZR_Vector3D pose = m_isface.EstimatePose(model, image.GetSize());
    const float length = std::sqrt(pose.x * pose.x + pose.y * pose.y + pose.z * pose.z);
    EXPECT_LT(length, 30.0f) << path;
    worst_pose = std::max(worst_pose, length);
    mean_pose += length / float(m_photos.size());
  }
  std::printf(
      "stages of %zu plain photos: 1: %d, 2: %d, 3: %d, 4: %d, 5: %d, none: %d; "
      "refinement failed: %d; pose length mean %.1f, worst %.1f degrees\n",
      m_photos.size(), stages[1], stages[2], stages[3], stages[4], stages[5], stages[0], unfitted,
      mean_pose, worst_pose);
  EXPECT_GE(stages[ZR_STAGE_CASCADE0], 30);
  EXPECT_GE(stages[ZR_STAGE_CASCADE0] + stages[ZR_STAGE_CASCADE1], 45);
  EXPECT_EQ(0, stages[ZR_STAGE_NONE]);
  EXPECT_LE(unfitted, 3);
}

// The photo shrunk to 100 x 100 in a 1000 x 1000 canvas: the face is under the cascades' minimum
// height and too small for HOG at half size, so only the full-size HOG finds it.
TEST_F(FindAndFitPhotos, SmallFaceOnLargeCanvasReachesFullSizeHog) {
  for (size_t i = 0; i < m_photos.size(); i += 11) {
    const ZR_Image image = PhotoOnCanvas(Photo(m_photos[i]), 100, 100, 1000, 1000);
    ZR_AnnoModel2D model;
    ZR_String error;
    EXPECT_EQ(ZR_STAGE_HOG_FULL_SIZE, Run(image, model, error)) << m_photos[i];
  }
}

// The photo scaled 3 times in a 2400 x 2400 canvas: under the cascades' minimum height, large
// enough for HOG at half size.
TEST_F(FindAndFitPhotos, LargerFaceOnLargerCanvasReachesHalfSizeHog) {
  int half = 0, tried = 0;
  for (size_t i = 0; i < m_photos.size(); i += 5, ++tried) {
    const ZR_Image image = PhotoOnCanvas(Photo(m_photos[i]), 450, 450, 2400, 2400);
    ZR_AnnoModel2D model;
    ZR_String error;
    const int32_t stage = Run(image, model, error);
    EXPECT_NE(ZR_STAGE_NONE, stage) << m_photos[i];
    half += stage == ZR_STAGE_HOG_HALF_SIZE;
  }
  EXPECT_GE(half, tried - 2) << "of " << tried;  // 50 of all 55 (the cascade's window fires on 5)
}

// Cascade 1 without stages confirms nothing: every cascade 0 hit keeps an invalid box 1, the
// confirmation marks, and its own valid box 0, which the third stage then fits.
TEST_F(FindAndFitPhotos, UnconfirmedCascadeHitKeepsItsOwnBox) {
  std::vector<uint8_t> bytes;
  {
    FILE* f = std::fopen((kModels + "/Detectors.data").c_str(), "rb");
    ASSERT_NE(nullptr, f);
    int32_t version;
    ASSERT_EQ(1u, std::fread(&version, 4, 1, f));
    ZR_CascadeClassifier first;
    ASSERT_NE(nullptr, first.Read(f));
    bytes.resize(size_t(std::ftell(f)));
    std::rewind(f);
    ASSERT_EQ(bytes.size(), std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
  }
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t> empty = EmptyCascadeRecord();
    bytes.insert(bytes.end(), empty.begin(), empty.end());
  }
  ZR_FaceDetectors unconfirmed;
  ZR_MemoryFile stream(bytes);
  ASSERT_NE(nullptr, unconfirmed.Read(stream.get()));

  int with_hits = 0;
  for (size_t i = 0; i < m_photos.size(); i += 5) {
    const ZR_Image image = Photo(m_photos[i]);
    ZR_List<ZR_FaceDetection> confirmed, plain;
    if (!DetectAndConfirmFaces(unconfirmed, image, m_params, plain)) continue;
    ASSERT_TRUE(DetectAndConfirmFaces(m_detectors, image, m_params, confirmed));
    ASSERT_EQ(plain.m_count, confirmed.m_count);
    for (uint32_t k = 0; k < plain.m_count; ++k) {
      ++with_hits;
      EXPECT_EQ(0, plain[k].m_box1.m_valid) << m_photos[i];
      EXPECT_EQ(1, plain[k].m_box0.m_valid) << m_photos[i];
      EXPECT_EQ(0, plain[k].m_hit_value);
      EXPECT_EQ(1.0f, plain[k].m_vector.y);
      EXPECT_EQ(0.0f, plain[k].m_vector.x);
      EXPECT_EQ(plain[k].m_box0.m_centre.x, confirmed[k].m_box0.m_centre.x);
    }
    // With the real second cascade, the third stage's fit, unconfirmed box or not, finds a face.
    ZR_List<ZR_AnnoModel2D> models;
    ZR_List<ZR_NBox> boxes;
    int32_t stage = 0;
    EXPECT_TRUE(m_fitter.DetectAndFitFaces(unconfirmed, image, m_params, models, boxes, &stage));
    EXPECT_EQ(models.m_count, boxes.m_count);
  }
  EXPECT_GT(with_hits, 5);
}

// Photos without a face (two car photos, noise) fail every stage with the exact text.
TEST_F(FindAndFitPhotos, PhotosWithoutFaceFailWithExactText) {
  std::vector<ZR_Image> images;
  for (const char* name : {"mmod_cars_test_image.jpg", "mmod_cars_test_image2.jpg"})
    images.push_back(Photo(kExamples + "/" + name));
  ZR_Image noise(480, 640);
  uint32_t x = 2024;
  for (int r = 0; r < noise.m_rows; ++r)
    for (int c = 0; c < noise.m_cols; ++c) {
      x = x * 1664525u + 1013904223u;
      noise[r][c] = ZR_Colour{uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), 255};
    }
  images.push_back(noise);
  for (const ZR_Image& image : images) {
    ZR_AnnoModel2D model;
    ZR_String error = "Failed to fit to face\n";
    EXPECT_EQ(ZR_STAGE_NONE, Run(image, model, error)) << image.m_cols << "x" << image.m_rows;
    EXPECT_STREQ(" Failed to find face", error.m_text);
  }
}

// A landmark file whose predictor is dlib's plain 68-point one: the face is found, but the
// 68-point layout lacks the groups the refinement needs, so the fit fails cleanly.
TEST_F(FindAndFitPhotos, PlainDlibPredictorFailsToFitWithExactText) {
  const std::string path = std::string(ZR_BINARY_DIR) + "/models/quick68/Landmarks.data";
  ZR_LandmarkFitter fitter68;
  if (!Load(path, [&](FILE* f) { return fitter68.Read(f); }))
    GTEST_SKIP() << "no 68-point model file at " << path;
  for (size_t i = 0; i < m_photos.size(); i += 18) {
    ZR_AnnoModel2D model;
    ZR_String error = " Failed to find face";
    int32_t stage = ZR_STAGE_NONE;
    EXPECT_FALSE(
        fitter68.FindAndFit(m_detectors, Photo(m_photos[i]), m_params, model, error, &stage));
    EXPECT_NE(ZR_STAGE_NONE, stage) << m_photos[i];
    EXPECT_STREQ(" Failed to fit to face", error.m_text) << m_photos[i];
  }
}
