// tests/face/detect/zr_dlib_adapters_test.cpp: the HOG adapters: the image copy, rectangle and
// patch geometry, the patch against the sampler, the null-pointer messages, images too small for
// the half-size search, and the three fitting entry points against dlib's detector on an example
// photo. A seeded 50-point predictor stands in for the real one: these tests check faces, boxes
// and lists, not accuracy.
#include <memory>

#include <gtest/gtest.h>

#include "face/detect/internal/dlib_geometry.h"
#include "face/detect/internal/zr_dlib_types.h"
#include "image/zr_bilinear.h"
#include "tests/face/detect/dlib_reference.h"
#include "tests/face/face_test_support.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

struct Deleters {
  void operator()(ZR_LandmarkPredictor* p) const { DeleteLandmarkPredictor(p); }
  void operator()(ZR_HogDetector* d) const { DeleteFaceDetector(d); }
};

std::unique_ptr<ZR_LandmarkPredictor, Deleters> Predictor50() {
  ZR_MemoryFile f(PredictorRecordBytes(RandomPredictor(11, 50, 2, 16, 4, 2)));
  return std::unique_ptr<ZR_LandmarkPredictor, Deleters>(NewLandmarkPredictor(f.get()));
}

std::unique_ptr<ZR_HogDetector, Deleters> Detector() {
  std::string error;
  std::unique_ptr<ZR_HogDetector, Deleters> d(CreateFaceDetector(error));
  EXPECT_NE(nullptr, d) << error;
  return d;
}

void ExpectBox(const ZR_NBox& b, float x0, float y0, float x1, float y1) {
  EXPECT_FLOAT_EQ(x0, b.m_corner0.x);
  EXPECT_FLOAT_EQ(y0, b.m_corner0.y);
  EXPECT_FLOAT_EQ(x1, b.m_corner3.x);
  EXPECT_FLOAT_EQ(y1, b.m_corner3.y);
  EXPECT_EQ(1, b.m_valid);
}

TEST(DlibGeometry, RectanglesBoxesAndPatches) {
  ExpectBox(BoxOfLibraryRect(10, 20, 50, 60, ZR_Vector2D(200, 100)), 0.05f, 0.4f, 0.25f, 0.8f);
  // The half-size search doubles the half image's rectangle (10, 20, 50, 60).
  ExpectBox(BoxOfLibraryRect(20, 40, 100, 120, ZR_Vector2D(400, 200)), 0.05f, 0.4f, 0.25f, 0.8f);

  ZR_NBox box;
  box.SetCorners(ZR_Vector2D(0.4f, 0.3f), ZR_Vector2D(0.5f, 0.5f));  // 0.1 wide, 0.2 high
  zr_patch_geometry g;
  ASSERT_TRUE(PatchGeometry(box, 401, 401, g));
  EXPECT_EQ(60, g.cols);
  EXPECT_FLOAT_EQ(80.0f / 120, g.step);
  EXPECT_FLOAT_EQ(160.0f, g.col0);
  EXPECT_FLOAT_EQ(120.0f, g.row0);
  EXPECT_FLOAT_EQ(200.0f, g.top);
  long v;
  ASSERT_TRUE(PatchToImage(30, g.step, g.col0, v));
  EXPECT_EQ(180, v);

  const struct {
    const char* what;
    float x0, y0, x1, y1;
  } refused[] = {{"zero height", 0.2f, 0.3f, 0.4f, 0.3f},
                 {"zero width", 0.2f, 0.3f, 0.2f, 0.5f},
                 {"inverted", 0.4f, 0.5f, 0.2f, 0.3f},
                 {"not finite", 0.2f, NAN, 0.4f, 0.5f},
                 {"patch past the cap", 0.0f, 0.5f, 1.0f, 0.5001f}};
  for (const auto& c : refused) {
    ZR_NBox b;
    b.SetCorners(ZR_Vector2D(c.x0, c.y0), ZR_Vector2D(c.x1, c.y1));
    EXPECT_FALSE(PatchGeometry(b, 401, 401, g)) << c.what;
  }
}

TEST(ToDlibImage, CopiesTopRowFirstAndDropsAlpha) {
  ZR_Image image(2, 3);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c)
      image[r][c] = ZR_Colour{uint8_t(r), uint8_t(c), uint8_t(10 * r + c), 7};
  dlib::array2d<dlib::rgb_pixel> out;
  ToDlibImage(image, out);
  ASSERT_EQ(2, out.nr());
  ASSERT_EQ(3, out.nc());
  EXPECT_EQ(1, out[0][2].red);  // library row 0 is the image's top row (row 1)
  EXPECT_EQ(2, out[0][2].green);
  EXPECT_EQ(12, out[0][2].blue);
  EXPECT_EQ(0, out[1][0].red);
  ToDlibImage(ZR_Image(), out);
  EXPECT_EQ(0u, out.size());
}

// The patch equals the sampler's pixel by pixel: inside the image, across each edge (the outside
// colour, and the clamped cells at the first and last pixel), on an image one pixel wide.
TEST(SampleHogPatch, EqualsTheSamplerPixelByPixel) {
  const struct {
    int rows, cols;
    zr_patch_geometry g;
    bool outside;  // some samples lie outside the image
  } cases[] = {{37, 53, {40, 0.25f, 3.3f, 2.7f, 0}, false},
               {37, 53, {40, 0.25f, -0.5f, -0.5f, 0}, false},  // the first pixel's clamped cell
               {37, 53, {90, 0.61f, -9.2f, -20.4f, 0}, true},
               {37, 53, {30, 0.5f, 45.0f, 10.0f, 0}, true},
               {37, 53, {64, 1.0f, -0.5f, -0.5f, 0}, true},
               {1, 5, {12, 0.05f, -0.3f, -0.4f, 0}, true}};
  for (const auto& c : cases) {
    ZR_Image image(c.rows, c.cols);
    for (int r = 0; r < c.rows; ++r)
      for (int k = 0; k < c.cols; ++k)
        image[r][k] = ZR_Colour{uint8_t(r * 7 + k * 3), uint8_t(255 - k * 5), uint8_t(r * k), 9};
    dlib::array2d<dlib::rgb_pixel> patch;
    SampleHogPatch(image, c.g, patch);
    ASSERT_EQ(kZrPatchRows, patch.nr());
    ASSERT_EQ(c.g.cols, patch.nc());
    ZR_Bilinear<ZR_Colour> sampler(image);
    int differing = 0, outside = 0;
    for (int r = 0; r < kZrPatchRows; ++r)
      for (long j = 0; j < c.g.cols; ++j) {
        const ZR_Vector2D at(float(j) * c.g.step + c.g.col0,
                             float(kZrPatchRows - 1 - r) * c.g.step + c.g.row0);
        const ZR_Colour s = sampler.Sample(at);
        const dlib::rgb_pixel& p = patch[r][j];
        differing += p.red != s.r || p.green != s.g || p.blue != s.b;
        outside += sampler.SetPoint(at.x, at.y);
      }
    EXPECT_EQ(0, differing) << c.rows << " x " << c.cols << ", col0 " << c.g.col0;
    EXPECT_EQ(c.outside, outside > 0) << c.rows << " x " << c.cols << ", col0 " << c.g.col0;
  }
}

TEST(DlibFit, NullPointersGiveTheMessagesAndLeaveTheLists) {
  auto p = Predictor50();
  auto d = Detector();
  ASSERT_NE(nullptr, p);
  const ZR_Image image(20, 20);
  ZR_List<ZR_AnnoModel2D> models;
  ZR_List<ZR_NBox> boxes;
  models.Add(ZR_AnnoModel2D());
  boxes.Add(ZR_NBox());
  ZR_String error;
  EXPECT_FALSE(DLIB_FitLandmarks(image, models, boxes, nullptr, p.get(), error));
  EXPECT_TRUE(error == "DLIB_FitLandmarks() detector or landmark model pointer is NULL");
  error = "";
  EXPECT_FALSE(DLIB_FitLandmarksHalfSize(image, models, boxes, d.get(), nullptr, error));
  EXPECT_TRUE(error == "DLIB_FitLandmarks() detector or landmark model pointer is NULL");
  error = "";
  EXPECT_FALSE(DLIB_FitLandmarksToBoxes(image, boxes, models, nullptr, nullptr, error));
  EXPECT_TRUE(error == "DLIB_FitLandmarksToBoxes() detector or landmark model pointer is NULL");
  EXPECT_EQ(1u, models.m_count);
  EXPECT_EQ(1u, boxes.m_count);
}

TEST(DlibFit, TinyAndEmptyImagesFindNothing) {
  auto p = Predictor50();
  auto d = Detector();
  ZR_List<ZR_AnnoModel2D> models;
  ZR_List<ZR_NBox> boxes;
  ZR_String error("untouched");
  for (int side : {0, 1, 3}) {
    const ZR_Image image = side ? ZR_Image(side, side) : ZR_Image();
    EXPECT_FALSE(DLIB_FitLandmarksHalfSize(image, models, boxes, d.get(), p.get(), error)) << side;
    EXPECT_FALSE(DLIB_FitLandmarks(image, models, boxes, d.get(), p.get(), error)) << side;
    boxes.Add(ZR_NBox());
    boxes[0].SetCorners(ZR_Vector2D(0.1f, 0.1f), ZR_Vector2D(0.9f, 0.9f));
    EXPECT_FALSE(DLIB_FitLandmarksToBoxes(image, boxes, models, d.get(), p.get(), error)) << side;
    EXPECT_EQ(0u, boxes.m_count);
    EXPECT_EQ(0u, models.m_count);
  }
  EXPECT_TRUE(error == "untouched");
}

// Three frontal faces of about 100 pixels.
const char kPhoto[] = "faces/2008_002506.jpg";

class DlibFitPhoto : public testing::Test {
 protected:
  void SetUp() override {
    const std::string path = ExamplePhoto(kPhoto);
    ZR_SKIP_UNLESS_FILE(path, "dlib example photos absent");
    ASSERT_TRUE(LoadPhoto(path, m_image));
    m_predictor = Predictor50();
    m_detector = Detector();
    ASSERT_NE(nullptr, m_predictor);
    ToDlibImage(m_image, m_copy);
    m_faces = m_detector->m_detector(m_copy, 0.0);
    ASSERT_FALSE(m_faces.empty());
    m_size = m_image.GetSize();
  }

  ZR_Image m_image;
  std::unique_ptr<ZR_LandmarkPredictor, Deleters> m_predictor;
  std::unique_ptr<ZR_HogDetector, Deleters> m_detector;
  dlib::array2d<dlib::rgb_pixel> m_copy;
  std::vector<dlib::rectangle> m_faces;
  ZR_Vector2D m_size;
};

TEST_F(DlibFitPhoto, FullImageFitsEveryHogFace) {
  ZR_List<ZR_AnnoModel2D> models;
  ZR_List<ZR_NBox> boxes;
  ZR_String error;
  ASSERT_TRUE(
      DLIB_FitLandmarks(m_image, models, boxes, m_detector.get(), m_predictor.get(), error));
  ASSERT_EQ(m_faces.size(), boxes.m_count);
  ASSERT_EQ(m_faces.size(), models.m_count);
  for (size_t k = 0; k < m_faces.size(); ++k) {
    const dlib::rectangle& r = m_faces[k];
    const ZR_NBox want = BoxOfLibraryRect(r.left(), r.top(), r.right(), r.bottom(), m_size);
    EXPECT_EQ(want.m_corner0.x, boxes[uint32_t(k)].m_corner0.x);
    EXPECT_EQ(want.m_corner3.y, boxes[uint32_t(k)].m_corner3.y);
    EXPECT_EQ(1, models[uint32_t(k)].GetLayoutCode());
    // The fit is the system's cascade on the detector's rectangle.
    ZR_AnnoModel2D direct;
    ASSERT_TRUE(ShapeToAnnoModel(RunLandmarkCascade(*m_predictor, m_copy, r), direct, m_size));
    EXPECT_EQ(direct[6][5].x, models[uint32_t(k)][6][5].x);
  }
}

TEST_F(DlibFitPhoto, HalfSizeDoublesTheHalfImagesRectangles) {
  // A face large enough for the detector at half size (about 450 pixels).
  const std::string path = ExamplePhoto("faces/Tom_Cruise_avp_2014_4.jpg");
  ZR_SKIP_UNLESS_FILE(path, "dlib example photos absent");
  ASSERT_TRUE(LoadPhoto(path, m_image));
  m_size = m_image.GetSize();
  ZR_Image half(m_image);
  half.ResizeImage(unsigned(m_image.m_rows / 2), unsigned(m_image.m_cols / 2), true);
  dlib::array2d<dlib::rgb_pixel> half_copy;
  ToDlibImage(half, half_copy);
  const std::vector<dlib::rectangle> rects = m_detector->m_detector(half_copy, 0.0);
  ASSERT_FALSE(rects.empty());
  ZR_List<ZR_AnnoModel2D> models;
  ZR_List<ZR_NBox> boxes;
  ZR_String error;
  EXPECT_TRUE(DLIB_FitLandmarksHalfSize(m_image, models, boxes, m_detector.get(), m_predictor.get(),
                                        error));
  ASSERT_EQ(rects.size(), boxes.m_count);
  for (size_t k = 0; k < rects.size(); ++k) {
    const dlib::rectangle& r = rects[k];
    const ZR_NBox want =
        BoxOfLibraryRect(2 * r.left(), 2 * r.top(), 2 * r.right(), 2 * r.bottom(), m_size);
    EXPECT_EQ(want.m_corner0.x, boxes[uint32_t(k)].m_corner0.x);
    EXPECT_EQ(want.m_corner0.y, boxes[uint32_t(k)].m_corner0.y);
  }
}

TEST_F(DlibFitPhoto, BoxesKeepOnlyConfirmedFacesWithTheHogRectangle) {
  const dlib::rectangle& face = m_faces[0];
  ZR_NBox grown = BoxOfLibraryRect(face.left(), face.top(), face.right(), face.bottom(), m_size);
  grown.ScaleAboutCentre(ZR_Vector2D(1.2f, 1.2f));
  ZR_NBox background;
  background.SetCorners(ZR_Vector2D(0.0f, 0.0f), ZR_Vector2D(0.08f, 0.08f));
  ZR_NBox flat;
  flat.SetCorners(ZR_Vector2D(0.2f, 0.3f), ZR_Vector2D(0.4f, 0.3f));  // zero height: skipped
  ZR_List<ZR_NBox> boxes;
  boxes.Add(background);
  boxes.Add(flat);
  boxes.Add(grown);
  ZR_List<ZR_AnnoModel2D> models;
  ZR_String error;
  ASSERT_TRUE(
      DLIB_FitLandmarksToBoxes(m_image, boxes, models, m_detector.get(), m_predictor.get(), error));
  ASSERT_EQ(1u, boxes.m_count);
  ASSERT_EQ(1u, models.m_count);
  // The HOG rectangle found in the patch, mapped back: near the detector's own, not the grown box.
  const ZR_NBox want =
      BoxOfLibraryRect(face.left(), face.top(), face.right(), face.bottom(), m_size);
  EXPECT_NEAR(want.m_centre.x, boxes[0].m_centre.x, 0.1f * want.m_size.x);
  EXPECT_NEAR(want.m_size.y, boxes[0].m_size.y, 0.2f * want.m_size.y);
  EXPECT_LT(boxes[0].m_size.y, grown.m_size.y);

  ZR_List<ZR_NBox> none;
  EXPECT_FALSE(
      DLIB_FitLandmarksToBoxes(m_image, none, models, m_detector.get(), m_predictor.get(), error));
  EXPECT_EQ(0u, none.m_count);
  EXPECT_EQ(0u, models.m_count);
}

// The scanner's feature pyramid (about 6 bytes a picture pixel) goes with every search, so that
// it never lies beside the next image's stages; the next search builds it anew.
TEST_F(DlibFitPhoto, SearchesLeaveNoFeaturePyramidBehind) {
  const auto& scanner = m_detector->m_detector.get_scanner();
  ASSERT_TRUE(scanner.is_loaded_with_image());  // the fixture's own search keeps it
  ZR_List<ZR_AnnoModel2D> models;
  ZR_List<ZR_NBox> boxes;
  ZR_String error;
  EXPECT_TRUE(
      DLIB_FitLandmarks(m_image, models, boxes, m_detector.get(), m_predictor.get(), error));
  EXPECT_FALSE(scanner.is_loaded_with_image());
  DLIB_FitLandmarksHalfSize(m_image, models, boxes, m_detector.get(), m_predictor.get(), error);
  EXPECT_FALSE(scanner.is_loaded_with_image());
  ZR_List<ZR_NBox> faces;
  faces.Add(BoxOfLibraryRect(m_faces[0].left(), m_faces[0].top(), m_faces[0].right(),
                             m_faces[0].bottom(), m_size));
  EXPECT_TRUE(
      DLIB_FitLandmarksToBoxes(m_image, faces, models, m_detector.get(), m_predictor.get(), error));
  EXPECT_FALSE(scanner.is_loaded_with_image());
  EXPECT_EQ(m_faces, m_detector->m_detector(m_copy, 0.0));  // built anew, the same faces
}

}  // namespace
