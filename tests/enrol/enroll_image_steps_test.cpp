// tests/enrol/enroll_image_steps_test.cpp: the worker's steps that need no model files: relative
// names, the three blobs of one image made all or nothing (a crop that refuses fails them), and
// the choice of the most frontal image.
#include "enrol/enroll_image_steps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

TEST(EnrollImageSteps, RelativeNameFollowsTheFirstMatchOfTheFolderStem) {
  const struct {
    const char* folder;
    const char* path;
    const char* name;
  } cases[] = {
      {"D:/data/faces", "D:/data/faces/sub/00001_fa.jpg", "/sub/00001_fa.jpg"},
      {"I", "I/00001_fa.jpg", "/00001_fa.jpg"},
      {"/data/faces", "/other/x.jpg", "/other/x.jpg"},             // no match: the whole path
      {"/data/faces/", "/data/faces/x.jpg", "/data/faces/x.jpg"},  // empty stem: the whole path
      {"faces.v2", "faces.v2/x.jpg", ".v2/x.jpg"},                 // stem "faces": odd, kept
      {"/data/my.photos/faces", "/data/my.photos/faces/x.jpg", ".photos/faces/x.jpg"},  // stem "my"
      {"D:\\data\\faces", "D:/data/faces/x.jpg", "/x.jpg"},
  };
  for (const auto& c : cases)
    EXPECT_STREQ(c.name, GetRelativeImageName(c.path, c.folder).m_text) << c.folder;
}

ZR_Annotation2D Group(const char* name, std::vector<ZR_Vector2D> points) {
  ZR_Annotation2D a;
  a.m_name = name;
  for (const ZR_Vector2D& p : points) a.Add(p);
  return a;
}

// A face in the middle of the image: eyes at y 0.6, chin at y 0.35, outline 0.3..0.7 wide.
ZR_AnnoModel2D FaceModel(bool with_right_eye = true) {
  ZR_AnnoModel2D m;
  std::vector<ZR_Vector2D> face;
  for (int i = 0; i < 19; ++i) face.push_back(ZR_Vector2D(0.3f + 0.4f * float(i) / 18, 0.5f));
  face[9] = ZR_Vector2D(0.5f, 0.35f);
  m.Add(Group("FACE", face));
  if (with_right_eye) m.Add(Group("RIGHT EYE", {{0.38f, 0.59f}, {0.42f, 0.61f}}));
  m.Add(Group("LEFT EYE", {{0.58f, 0.59f}, {0.62f, 0.61f}}));
  return m;
}

ZR_Image Picture(int rows, int cols) {
  ZR_Image image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      image[r][c] = ZR_Colour{uint8_t(r), uint8_t(c), uint8_t(r + c), 255};
  return image;
}

ZR_Image Decoded(const ZR_Array<unsigned char>& bytes) {
  ZR_Image image;
  EXPECT_TRUE(image.ReadJPEG(bytes));
  return image;
}

TEST(EnrollImageSteps, BlobsAreTheThumbnailTheFaceCropAndTheLandmarksInItsFrame) {
  const ZR_Image image = Picture(240, 200);
  const ZR_AnnoModel2D model = FaceModel();
  ImageBlobs blobs;
  ASSERT_TRUE(MakeImageBlobs(image, model, blobs));
  EXPECT_EQ(96, Decoded(blobs.m_thumbnail).m_rows);
  const ZR_Image face = Decoded(blobs.m_face_jpeg);
  EXPECT_EQ(600, face.m_rows);
  EXPECT_EQ(450, face.m_cols);
  // The blob holds the landmarks mapped into the face crop, not those of the whole image.
  ZR_AnnoModel2D in_crop = model;
  ZR_Image crop;
  ASSERT_TRUE(image.CropFace(in_crop, 0.6f, 0.75f, crop));
  ZR_Array<unsigned char> expected;
  ASSERT_TRUE(in_crop.Serialise(expected));
  ASSERT_EQ(expected.m_count, blobs.m_landmarks.m_count);
  EXPECT_EQ(0, std::memcmp(expected.Block(), blobs.m_landmarks.Block(), expected.m_count));
  ZR_Array<unsigned char> whole;
  ASSERT_TRUE(model.Serialise(whole));
  EXPECT_NE(0, std::memcmp(whole.Block(), blobs.m_landmarks.Block(), whole.m_count));
}

// One refused step fails all three: none of the image's blobs is kept, whatever the others made.
TEST(EnrollImageSteps, ARefusedStepLeavesNoBlobOfTheImage) {
  ZR_AnnoModel2D no_points = FaceModel();
  for (uint32_t a = 0; a < no_points.m_count; ++a) no_points[a].m_include = 0;
  ZR_AnnoModel2D flat = FaceModel();  // the chin on the eye line: the face crop refuses
  flat[0][9] = ZR_Vector2D(0.5f, 0.6f);
  const struct {
    const char* what;
    ZR_Image image;
    ZR_AnnoModel2D model;
  } cases[] = {
      {"no right eye: the face crop refuses", Picture(240, 200), FaceModel(false)},
      {"chin on the eye line", Picture(240, 200), flat},
      {"no included point: the thumbnail refuses", Picture(240, 200), no_points},
      {"no pixels", ZR_Image(), FaceModel()},
  };
  for (const auto& c : cases) {
    ImageBlobs blobs;
    EXPECT_FALSE(MakeImageBlobs(c.image, c.model, blobs)) << c.what;
    EXPECT_EQ(0u, blobs.m_thumbnail.m_count) << c.what;
    EXPECT_EQ(0u, blobs.m_face_jpeg.m_count) << c.what;
    EXPECT_EQ(0u, blobs.m_landmarks.m_count) << c.what;
  }
  // The single crops say the same.
  ZR_Array<unsigned char> out;
  ZR_AnnoModel2D face_model;
  EXPECT_FALSE(MakeFaceJpeg(Picture(240, 200), FaceModel(false), out, face_model));
  EXPECT_EQ(0u, out.m_count);
  EXPECT_TRUE(MakeThumbnailJpeg(Picture(240, 200), FaceModel(false), out));
  EXPECT_FALSE(MakeThumbnailJpeg(Picture(240, 200), no_points, out));
  EXPECT_EQ(0u, out.m_count);
}

TEST(EnrollImageSteps, TheShortestPoseVectorWinsAndTiesKeepTheEarlierImage) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    std::vector<float> lengths;
    int32_t best;
  } cases[] = {
      {{20.0f, 5.0f, 9.0f}, 1},        {{12.5f, 12.5f}, 0}, {{}, -1}, {{nan}, -1}, {{nan, 3.0f}, 1},
      {{PoseLength(3, 4, 0), 5.0f}, 0}};
  for (const auto& c : cases) {
    float best_length = 3.4028235e38f;
    int32_t best = -1;
    for (size_t i = 0; i < c.lengths.size(); ++i)
      ChooseMoreFrontal(c.lengths[i], int32_t(i), best_length, best);
    EXPECT_EQ(c.best, best) << c.lengths.size();
  }
  EXPECT_EQ(5.0f, PoseLength(3, 4, 0));
}

}  // namespace
