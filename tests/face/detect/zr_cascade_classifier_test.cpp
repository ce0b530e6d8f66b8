// tests/face/detect/zr_cascade_classifier_test.cpp: the classifier filled from hand-made records
// whose outcome the record semantics decide (stump children, exact stage thresholds), the region
// and size arithmetic of the passes, the grey working image, AverageRects and FilterDetections.
#include "face/detect/zr_cascade_classifier.h"

#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "face/detect/internal/grey_working_image.h"
#include "tools/quillbeck_models/records/cascade_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

bool ReadInto(ZR_CascadeClassifier& c, const zr_cascade_record& r) {
  ZR_MemoryFile f(CascadeRecordBytes(r));
  return c.Read(f.get()) == f.get();
}

ZR_Image Uniform(int rows, int cols, uint8_t v) {
  ZR_Image image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) image[r][c] = ZR_Colour{v, v, v, 255};
  return image;
}

// On a uniform image every LBP code is 255. A stump sending 255 left reaches leaf(-left); the
// stage passes when that leaf reaches the threshold.
TEST(ZrCascadeClassifier, OneStumpOutcomeFollowsTheRecord) {
  const ZR_Image image = Uniform(40, 40, 90);
  const float just_above = std::nextafter(0.5f, 1.0f);
  const struct {
    const char* what;
    zr_cascade_record record;
    bool finds;
  } cases[] = {
      {"255 in subset, left leaf 1", OneStumpCascade(255, 1, -1, 0), true},
      {"255 not in subset", OneStumpCascade(0, 1, -1, 0), false},
      {"children swapped: left is leaf 1", OneStumpCascade(255, 1, -1, 0, -1, 0), false},
      {"swapped, other leaf passes", OneStumpCascade(255, -1, 1, 0, -1, 0), true},
      {"leaf equal to the threshold passes", OneStumpCascade(255, 0.5f, -1, 0.5f), true},
      {"threshold one ulp above the leaf", OneStumpCascade(255, 0.5f, -1, just_above), false},
  };
  for (const auto& c : cases) {
    ZR_CascadeClassifier cascade;
    ASSERT_TRUE(ReadInto(cascade, c.record)) << c.what;
    ASSERT_TRUE(cascade.HasStages());
    ZR_List<ZR_FaceDetection> out;
    const int n = ZR_CascadeSet().DetectAll(image, cascade, out, 0, 0, 1, 1, 1.15f, 0, 0);
    EXPECT_EQ(c.finds, n > 0) << c.what << ": " << n;
    EXPECT_EQ(uint32_t(std::max(n, 0)), out.m_count);
    ZR_NBox one;
    const int m = ZR_CascadeSet().DetectOne(image, cascade, one, 0, 0, 1, 1, 1.15f, 1, 0, 0);
    EXPECT_EQ(c.finds, m > 0) << c.what;
    EXPECT_EQ(c.finds ? 1 : 0, one.m_valid) << c.what;
  }
}

TEST(ZrCascadeClassifier, DetectAllHitsAreSortedWithEqualBoxes) {
  ZR_CascadeClassifier cascade;
  ASSERT_TRUE(ReadInto(cascade, OneStumpCascade(255, 1, -1, 0)));
  const ZR_Image image = Uniform(60, 80, 200);
  ZR_List<ZR_FaceDetection> out;
  const int n = ZR_CascadeSet().DetectAll(image, cascade, out, 0, 0, 1, 1, 1.15f, 0, 0);
  ASSERT_GT(n, 1);
  for (uint32_t i = 0; i < out.m_count; ++i) {
    const ZR_NBox& a = out[i].m_box0;
    const ZR_NBox& b = out[i].m_box1;
    EXPECT_EQ(1, b.m_valid);
    EXPECT_EQ(a.m_corner0.x, b.m_corner0.x);
    EXPECT_EQ(a.m_corner3.y, b.m_corner3.y);
    EXPECT_EQ(0, out[i].m_hit_value);
    if (i > 0) {
      // (y, x) order: the top edge descends, or stays and the left edge grows.
      const ZR_NBox& p = out[i - 1].m_box1;
      EXPECT_TRUE(p.m_corner3.y > b.m_corner3.y ||
                  (p.m_corner3.y == b.m_corner3.y && p.m_corner0.x <= b.m_corner0.x));
    }
  }
}

TEST(ZrCascadeClassifier, CascadeWithoutStagesFindsNothing) {
  zr_cascade_record r = OneStumpCascade(255, 1, -1, 0);
  r.stages.clear();
  ZR_CascadeClassifier cascade;
  ASSERT_TRUE(ReadInto(cascade, r));
  EXPECT_FALSE(cascade.HasStages());
  EXPECT_TRUE(cascade.empty());
  const ZR_Image image = Uniform(40, 40, 90);
  ZR_List<ZR_FaceDetection> out;
  out.Add(ZR_FaceDetection());
  EXPECT_EQ(0, ZR_CascadeSet().DetectAll(image, cascade, out, 0, 0, 1, 1, 1.15f, 0.2f, 0.9f));
  EXPECT_EQ(0u, out.m_count);
  ZR_NBox one;
  one.m_valid = 1;
  EXPECT_EQ(0, ZR_CascadeSet().DetectOne(image, cascade, one, 0, 0, 1, 1, 1.1f, 1, 0.5f, 0.9f));
  EXPECT_EQ(0, one.m_valid);
  // A region too small is still reported as such.
  EXPECT_EQ(-1, ZR_CascadeSet().DetectAll(image, cascade, out, 0, 0, 0.1f, 1, 1.15f, 0, 0));
}

TEST(ZrCascadeClassifier, FailedReadLeavesTheClassifierEmpty) {
  ZR_CascadeClassifier cascade;
  ASSERT_TRUE(ReadInto(cascade, OneStumpCascade(255, 1, -1, 0)));
  zr_cascade_record bad = OneStumpCascade(255, 1, -1, 0);
  bad.features[0].block_w = 2;  // 3 blocks of 2 do not fit a 3-pixel window
  EXPECT_FALSE(ReadInto(cascade, bad));
  EXPECT_TRUE(cascade.empty());
  EXPECT_FALSE(cascade.HasStages());
}

TEST(ZrCascadeSet, RegionArithmetic) {
  zr_pixel_region r;
  // The worker's region on 640 x 480: the right and bottom edges lose their last column and row.
  ASSERT_TRUE(PixelRegion(480, 640, 0.001f, 0.001f, 0.999f, 0.999f, r));
  EXPECT_EQ(1, r.x0);
  EXPECT_EQ(0, r.y0);
  EXPECT_EQ(638, r.w);
  EXPECT_EQ(479, r.h);
  zr_search_sizes s;
  ASSERT_TRUE(DetectAllSizes(480, 24, 24, 0.2f, 0.999f, s));
  EXPECT_EQ(96, s.min_w);
  EXPECT_EQ(96, s.min_h);
  EXPECT_EQ(480, s.max_w);
  EXPECT_EQ(480, s.max_h);
  // The profile cascade's 20 x 34 window: widths follow its proportions.
  ASSERT_TRUE(DetectAllSizes(480, 20, 34, 0.2f, 0.0f, s));
  EXPECT_EQ(56, s.min_w);  // round(20 * 96 / 34 = 56.47)
  EXPECT_EQ(0, s.max_w);
  // A minimum that rounds to 0 gives the window's proportions for the maximum, not a division by 0.
  ASSERT_TRUE(DetectAllSizes(2, 24, 24, 0.1f, 0.9f, s));
  EXPECT_EQ(0, s.min_h);
  EXPECT_EQ(2, s.max_w);
  // DetectOne: a default square of max(5, rint(0.15 rows)), halves to even.
  ASSERT_TRUE(DetectOneSizes(30, 30, 24, 24, 0, 0, s));
  EXPECT_EQ(5, s.min_w);  // 4.5 -> 4 -> at least 5
  ASSERT_TRUE(DetectOneSizes(70, 70, 24, 24, 0, 0, s));
  EXPECT_EQ(10, s.min_w);  // 10.5 -> 10
  ASSERT_TRUE(DetectOneSizes(480, 200, 24, 24, 0.5f, 0.9f, s));
  EXPECT_EQ(100, s.min_h);
  EXPECT_EQ(180, s.max_h);
  EXPECT_EQ(180, s.max_w);

  const struct {
    int rows, cols;
    float top, left, width, height;
  } refused[] = {
      {100, 4, 0, 0, 1, 1},            // 4 columns wide
      {100, 100, 0, 0, 0.04f, 1},      // 4 pixels wide
      {100, 100, 0, 0.995f, 0.5f, 1},  // origin rounds onto the last column: clamps to 0
      {100, 100, 1.2f, 0, 1, 1},       // origin past the bottom
      {100, 100, NAN, 0, 1, 1},        // not finite
      {100, 100, 0, 0, 1e20f, 1},      // beyond any int
  };
  for (const auto& c : refused)
    EXPECT_FALSE(PixelRegion(c.rows, c.cols, c.top, c.left, c.width, c.height, r))
        << c.rows << "x" << c.cols << " " << c.top << " " << c.left << " " << c.width;
}

TEST(ZrCascadeSet, TooSmallRegionsAndEmptyImagesReturnMinusOne) {
  ZR_CascadeClassifier cascade;
  ASSERT_TRUE(ReadInto(cascade, OneStumpCascade(255, 1, -1, 0)));
  const ZR_Image narrow = Uniform(100, 4, 90);
  ZR_List<ZR_FaceDetection> out;
  out.Add(ZR_FaceDetection());
  EXPECT_EQ(-1, ZR_CascadeSet().DetectAll(narrow, cascade, out, 0, 0, 1, 1, 1.15f, 0, 0));
  EXPECT_EQ(0u, out.m_count);
  ZR_NBox box;
  box.m_valid = 1;
  EXPECT_EQ(-1, ZR_CascadeSet().DetectOne(narrow, cascade, box, 0, 0, 1, 1, 1.1f, 1, 0, 0));
  EXPECT_EQ(0, box.m_valid);
  const ZR_Image empty;
  EXPECT_EQ(-1, ZR_CascadeSet().DetectAll(empty, cascade, out, 0, 0, 1, 1, 1.15f, 0, 0));
  EXPECT_EQ(-1, ZR_CascadeSet().DetectOne(empty, cascade, box, 0, 0, 1, 1, 1.1f, 1, 0, 0));
  // A scale the library refuses (<= 1) throws inside it: the pass finds nothing.
  const ZR_Image image = Uniform(40, 40, 90);
  EXPECT_EQ(0, ZR_CascadeSet().DetectAll(image, cascade, out, 0, 0, 1, 1, 1.0f, 0, 0));
  EXPECT_EQ(0u, out.m_count);
}

TEST(ZrCascadeSet, GreyImageWeightsTheFirstByteAsBlue) {
  ZR_Image image(2, 1);
  image[0][0] = ZR_Colour{255, 0, 0, 255};  // bottom row
  image[1][0] = ZR_Colour{0, 0, 255, 255};  // top row
  cv::Mat grey;
  ASSERT_TRUE(GreyWorkingImage(image, grey));
  EXPECT_EQ((255 * 1868 + 8192) >> 14, grey.at<uint8_t>(1, 0));  // red byte, blue weight
  EXPECT_EQ((255 * 4899 + 8192) >> 14, grey.at<uint8_t>(0, 0));  // top row first after the flip
}

TEST(AverageRects, RoundsMeansHalfAwayFromZero) {
  cv::Rect mean(-1, -1, -1, -1);
  EXPECT_FALSE(AverageRects({}, mean));
  EXPECT_EQ(-1, mean.x);
  ASSERT_TRUE(AverageRects({cv::Rect(10, 10, 20, 20), cv::Rect(13, 11, 21, 21)}, mean));
  EXPECT_EQ(cv::Rect(12, 11, 21, 21), mean);
  ASSERT_TRUE(AverageRects({cv::Rect(3, 4, 5, 6)}, mean));
  EXPECT_EQ(cv::Rect(3, 4, 5, 6), mean);
  ASSERT_TRUE(
      AverageRects({cv::Rect(0, 0, 1, 1), cv::Rect(0, 1, 1, 1), cv::Rect(1, 1, 2, 1)}, mean));
  EXPECT_EQ(cv::Rect(0, 1, 1, 1), mean);  // 1/3 -> 0, 2/3 -> 1, 4/3 -> 1
}

ZR_FaceDetection Detection(float x0, float y0, float x1, float y1) {
  ZR_FaceDetection d;
  d.m_box1.SetCorners(ZR_Vector2D(x0, y0), ZR_Vector2D(x1, y1));
  d.m_hit_value = int32_t(x0 * 1000);
  return d;
}

TEST(FilterDetections, DropsBorderBoxesAndBoxesInsideOthers) {
  const struct {
    const char* what;
    std::vector<ZR_FaceDetection> in;
    std::vector<int> kept;  // indices into in
  } cases[] = {
      {"corner 0 at x = 0", {Detection(0, 0.1f, 0.2f, 0.3f)}, {}},
      {"corner 3 at x = 0.9999", {Detection(0.5f, 0.1f, 0.9999f, 0.3f)}, {0}},
      {"corner 3 at y = 1", {Detection(0.5f, 0.1f, 0.6f, 1.0f)}, {}},
      {"inside another, shared edge",
       {Detection(0.1f, 0.1f, 0.5f, 0.5f), Detection(0.1f, 0.2f, 0.3f, 0.4f)},
       {0}},
      {"identical pair",
       {Detection(0.2f, 0.2f, 0.4f, 0.4f), Detection(0.2f, 0.2f, 0.4f, 0.4f)},
       {}},
      {"nested A in B in C",
       {Detection(0.3f, 0.3f, 0.4f, 0.4f), Detection(0.2f, 0.2f, 0.5f, 0.5f),
        Detection(0.1f, 0.1f, 0.6f, 0.6f)},
       {2}},
      {"overlapping, neither inside",
       {Detection(0.1f, 0.1f, 0.4f, 0.4f), Detection(0.3f, 0.3f, 0.6f, 0.6f)},
       {0, 1}},
      {"border box holds nothing",
       {Detection(0, 0, 0.9f, 0.9f), Detection(0.2f, 0.2f, 0.3f, 0.3f)},
       {1}},
  };
  for (const auto& c : cases) {
    ZR_List<ZR_FaceDetection> list;
    for (const ZR_FaceDetection& d : c.in) list.Add(d);
    FilterDetections(list);
    ASSERT_EQ(c.kept.size(), list.m_count) << c.what;
    for (size_t i = 0; i < c.kept.size(); ++i)
      EXPECT_EQ(c.in[size_t(c.kept[i])].m_hit_value, list[uint32_t(i)].m_hit_value) << c.what;
  }
}

}  // namespace
