// tests/face/zr_landmark_fitter_photo_test.cpp: find-and-fit on dlib's example photos: plain
// portraits win in the cascade stages and fit; on photos the shape model did not learn from (the
// held-out person and faces/), every face fits with landmarks on it with the quick and the full
// models; a small face on a large canvas reaches full-size HOG, a large face on a larger canvas
// half-size HOG; of two faces the central one is kept; the third stage fits the confirming
// cascade's box, and an unconfirmed hit its own; photos without a face fail with the exact text.
// Skips when the model files or the photos are absent.
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

#include "bench/face/photo_canvas.h"
#include "face/detect/zr_dlib_adapters.h"
#include "face/zr_face_detectors.h"
#include "face/zr_isface_model.h"
#include "image/zr_image.h"
#include "tests/support/model_file_records.h"
#include "tools/quillbeck_models/photo_shapes.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

namespace fs = std::filesystem;

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
  // The model folder the test reads.
  virtual std::string Models() const { return std::string(ZR_BINARY_DIR) + "/models/quick"; }

  void SetUp() override {
    const std::string models = Models();
    if (!Load(models + "/Landmarks.data", [&](FILE* f) { return m_fitter.Read(f); }) ||
        !Load(models + "/Detectors.data",
              [&](FILE* f) { return m_detectors.Read(f) != nullptr; }) ||
        !Load(models + "/IsFace.data", [&](FILE* f) { return m_isface.Read(f) != nullptr; }))
      GTEST_SKIP() << "no model files in " << models;
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

// Plain portraits: a cascade stage wins (the cascade 0 hit re-confirmed by HOG for most), and
// every portrait is refined.
TEST_F(FindAndFitPhotos, PlainPortraitsWinInCascadeStagesAndFit) {
  std::map<int32_t, int> stages;
  int unfitted = 0;
  for (const std::string& path : m_photos) {
    ZR_AnnoModel2D model;
    ZR_String error;
    bool fitted = false;
    ++stages[Run(Photo(path), model, error, &fitted)];
    if (!fitted) ADD_FAILURE() << path << ":" << error.m_text;
    unfitted += !fitted;
  }
  std::printf(
      "stages of %zu plain photos: 1: %d, 2: %d, 3: %d, 4: %d, 5: %d, none: %d; "
      "refinement failed: %d\n",
      m_photos.size(), stages[1], stages[2], stages[3], stages[4], stages[5], stages[0], unfitted);
  EXPECT_GE(stages[ZR_STAGE_CASCADE0], 30);
  EXPECT_GE(stages[ZR_STAGE_CASCADE0] + stages[ZR_STAGE_CASCADE1], 45);
  EXPECT_EQ(0, stages[ZR_STAGE_NONE]);
}

// The face of model lies on its box (normalised, y up): each eye in its upper quarter, the right
// eye at the image's left, the mouth below the eyes and inside the box.
static void ExpectLandmarksOnBox(const ZR_AnnoModel2D& model, const ZR_NBox& box,
                                 const std::string& what) {
  const ZR_Vector2D right = Centre(model, "RIGHT EYE"), left = Centre(model, "LEFT EYE");
  const ZR_Vector2D mouth = Centre(model, "OUTER MOUTH");
  const struct {
    ZR_Vector2D eye;
    float x0, x1;
  } eyes[] = {{right, box.m_corner0.x, box.m_centre.x}, {left, box.m_centre.x, box.m_corner3.x}};
  for (const auto& e : eyes) {
    EXPECT_GT(e.eye.x, e.x0) << what;
    EXPECT_LT(e.eye.x, e.x1) << what;
    EXPECT_GT(e.eye.y, box.m_centre.y) << what;
    EXPECT_LT(e.eye.y, box.m_corner3.y) << what;
    EXPECT_GT(e.eye.y - mouth.y, 0.15f * box.m_size.y) << what;
  }
  EXPECT_GT(left.x - right.x, 0.2f * box.m_size.x) << what;
  EXPECT_GT(mouth.x, box.m_corner0.x) << what;
  EXPECT_LT(mouth.x, box.m_corner3.x) << what;
  EXPECT_GT(mouth.y, box.m_corner0.y) << what;
}

// Photos the shape model did not learn from, with each model set: the held-out person's portraits
// go the whole way of find-and-fit, and every face dlib's HOG finds in faces/ is refined. Closed
// lips put inner-mouth points on one pixel; none of these faces may be refused.
class HeldOutFaces : public FindAndFitPhotos, public ::testing::WithParamInterface<const char*> {
 protected:
  std::string Models() const override {
    return std::string(ZR_BINARY_DIR) + "/models/" + GetParam();
  }
};

TEST_P(HeldOutFaces, EveryFaceIsFittedWithLandmarksOnIt) {
  int portraits = 0, faces = 0;
  for (const std::string& path : m_photos) {
    if (fs::path(path).parent_path().filename() != kHeldOutPerson) continue;
    ++portraits;
    const ZR_Image image = Photo(path);
    ZR_AnnoModel2D model;
    ZR_String error;
    ASSERT_TRUE(m_fitter.FindAndFit(m_detectors, image, m_params, model, error))
        << path << ":" << error.m_text;
    EXPECT_EQ(m_isface.m_pose_estimator1.m_n, PointCount(model)) << path;
    ZR_List<ZR_AnnoModel2D> models;
    ZR_List<ZR_NBox> boxes;
    ASSERT_TRUE(m_fitter.DetectAndFitFaces(m_detectors, image, m_params, models, boxes)) << path;
    ZR_NBox box = boxes[0];
    if (boxes.m_count > 1) ChooseCentralFace(boxes, box);
    ExpectLandmarksOnBox(model, box, path);
    const ZR_Vector3D pose = m_isface.EstimatePose(model, image.GetSize());
    EXPECT_LT(std::sqrt(pose.x * pose.x + pose.y * pose.y + pose.z * pose.z), 30.0f) << path;
  }
  EXPECT_EQ(11, portraits);
  std::error_code ec;
  std::vector<std::string> group_photos;
  for (const auto& e : fs::directory_iterator(kExamples + "/faces", ec))
    if (e.path().extension() == ".jpg") group_photos.push_back(e.path().string());
  std::sort(group_photos.begin(), group_photos.end());
  for (const std::string& path : group_photos) {
    const ZR_Image image = Photo(path);
    ZR_List<ZR_AnnoModel2D> models;
    ZR_List<ZR_NBox> boxes;
    ZR_String error;
    DLIB_FitLandmarks(image, models, boxes, m_detectors.m_hog_detector, m_fitter.m_predictor,
                      error);
    for (uint32_t k = 0; k < models.m_count; ++k, ++faces) {
      ZR_AnnoModel2D model = models[k];
      const std::string what = path + " face " + std::to_string(k);
      ASSERT_TRUE(TryFitLandmarkModel(m_fitter.m_landmark_model, image.GetSize(), model)) << what;
      ExpectLandmarksOnBox(model, boxes[k], what);
    }
  }
  std::printf("%s models: %d portraits and %d HOG faces of faces/ fitted\n", GetParam(), portraits,
              faces);
  EXPECT_GE(faces, 30);
}

INSTANTIATE_TEST_SUITE_P(ModelSets, HeldOutFaces, ::testing::Values("quick", "full"));

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
    FILE* f = std::fopen((Models() + "/Detectors.data").c_str(), "rb");
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

// Two photos pasted unscaled on one grey canvas of rows x cols, vertically centred, with their
// left columns at col_a and col_b.
ZR_Image TwoPhotosOnCanvas(const ZR_Image& a, int col_a, const ZR_Image& b, int col_b, int rows,
                           int cols) {
  ZR_Image canvas = PhotoOnCanvas(a, a.m_rows, a.m_cols, rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) canvas[r][c] = ZR_Colour{128, 128, 128, 255};
  for (const auto& placed : {std::make_pair(&a, col_a), std::make_pair(&b, col_b)}) {
    const ZR_Image& photo = *placed.first;
    const int r0 = (rows - photo.m_rows) / 2;
    for (int r = 0; r < photo.m_rows; ++r)
      for (int c = 0; c < photo.m_cols; ++c) canvas[r + r0][c + placed.second] = photo[r][c];
  }
  return canvas;
}

// Two portraits of different people side by side (a pair the first cascade finds together), the
// central one off the canvas centre: each is central once at the right, and one also at the left.
// Both faces are found, and the face kept is the central one's, whichever the search found first.
TEST_F(FindAndFitPhotos, CentralFaceOfTwoIsKept) {
  const ZR_Image first = Photo(m_photos[12]), second = Photo(m_photos[34]);
  ASSERT_EQ(150, first.m_cols);
  const int cols = 700;
  const struct {
    const ZR_Image &central, &other;
    int central_col, other_col;
  } cases[] = {{first, second, 300, 60}, {second, first, 300, 60}, {first, second, 250, 490}};
  std::vector<int32_t> kept_index;
  for (const auto& c : cases) {
    const ZR_Image image =
        TwoPhotosOnCanvas(c.central, c.central_col, c.other, c.other_col, 260, cols);
    ZR_List<ZR_AnnoModel2D> models;
    ZR_List<ZR_NBox> boxes;
    ASSERT_TRUE(m_fitter.DetectAndFitFaces(m_detectors, image, m_params, models, boxes));
    ASSERT_EQ(2u, boxes.m_count) << c.central_col;
    ZR_NBox chosen;
    kept_index.push_back(ChooseCentralFace(boxes, chosen));
    ZR_AnnoModel2D model;
    ZR_String error;
    ASSERT_TRUE(m_fitter.FindAndFit(m_detectors, image, m_params, model, error)) << error.m_text;
    const float x0 = float(c.central_col) / cols, x1 = float(c.central_col + 150) / cols;
    for (const char* eye : {"RIGHT EYE", "LEFT EYE"}) {
      EXPECT_GT(Centre(model, eye).x, x0) << c.central_col << " " << eye;
      EXPECT_LT(Centre(model, eye).x, x1) << c.central_col << " " << eye;
    }
  }
  // The faces are listed top first, so the central face is found first in one case, second in
  // the other: neither place decides.
  EXPECT_EQ(0, kept_index[0]);
  EXPECT_EQ(1, kept_index[1]);
}

// The third stage: cascade 1 searches box 0 grown 1.2 times for a face of 0.5 to 0.9 of that
// height; a face it confirms there lies on box 0's face, and its box, not box 0, is the one
// fitted. A detection with neither box valid is not fitted.
TEST_F(FindAndFitPhotos, ConfirmingCascadeBoxIsTheOneFitted) {
  int confirmed = 0;
  for (size_t i = 0; i < m_photos.size(); i += 3) {
    const ZR_Image image = Photo(m_photos[i]);
    ZR_List<ZR_FaceDetection> detections;
    if (!DetectAndConfirmFaces(m_detectors, image, m_params, detections)) continue;
    ZR_List<ZR_NBox> boxes;
    ConfirmedFaceBoxes(detections, boxes);
    ASSERT_EQ(detections.m_count, boxes.m_count) << m_photos[i];
    for (uint32_t k = 0; k < detections.m_count; ++k) {
      const ZR_NBox &box0 = detections[k].m_box0, &box1 = detections[k].m_box1;
      const ZR_NBox& fitted = box1.m_valid ? box1 : box0;
      EXPECT_EQ(fitted.m_corner0.x, boxes[k].m_corner0.x) << m_photos[i];
      EXPECT_EQ(fitted.m_corner3.y, boxes[k].m_corner3.y) << m_photos[i];
      if (!box1.m_valid) continue;
      ++confirmed;
      ZR_NBox region = box0;
      region.ScaleAboutCentre(ZR_Vector2D(1.2f, 1.2f));
      const float eps = 2.5f / float(image.m_rows);  // the region is cut to whole pixels
      EXPECT_GE(box1.m_corner0.x, region.m_corner0.x - eps) << m_photos[i];
      EXPECT_GE(box1.m_corner0.y, region.m_corner0.y - eps) << m_photos[i];
      EXPECT_LE(box1.m_corner3.x, region.m_corner3.x + eps) << m_photos[i];
      EXPECT_LE(box1.m_corner3.y, region.m_corner3.y + eps) << m_photos[i];
      EXPECT_GE(box1.m_size.y, 0.5f * region.m_size.y - eps) << m_photos[i];
      EXPECT_LE(box1.m_size.y, 0.9f * region.m_size.y + eps) << m_photos[i];
      EXPECT_LT(std::fabs(box1.m_centre.x - box0.m_centre.x), 0.2f * box0.m_size.x) << m_photos[i];
      EXPECT_LT(std::fabs(box1.m_centre.y - box0.m_centre.y), 0.2f * box0.m_size.y) << m_photos[i];
    }
  }
  EXPECT_GT(confirmed, 10);
  ZR_List<ZR_FaceDetection> neither;
  neither.Add(ZR_FaceDetection());
  ZR_List<ZR_NBox> boxes;
  boxes.Add(ZR_NBox());
  ConfirmedFaceBoxes(neither, boxes);
  EXPECT_EQ(0u, boxes.m_count);
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
