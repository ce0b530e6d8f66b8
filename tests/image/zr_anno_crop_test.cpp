// tests/image/zr_anno_crop_test.cpp: ZR_AnnoModel2D::CropAndNormalise, the thumbnail cut around the
// landmarks: the grown box, which annotations shape it, the mapping of every point, the crop into
// a thumbnail of its own, and the boxes it refuses without touching the image or the model.
#include "annotation/zr_anno_model2d.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "image/zr_image.h"

namespace {

ZR_Image Grey(int rows, int cols) {
  ZR_Image image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) image[r][c] = ZR_Colour{uint8_t(c), uint8_t(r), 0, 255};
  return image;
}

ZR_Annotation2D Group(const char* name, uint8_t include, std::vector<ZR_Vector2D> points) {
  ZR_Annotation2D a;
  a.m_name = name;
  a.m_include = include;
  for (const ZR_Vector2D& p : points) a.Add(p);
  return a;
}

// Included points span (0.4, 0.3)..(0.6, 0.7), so with margin (0.3, 0.4) the region is
// (0.34, 0.14)..(0.66, 0.86): 0.32 wide, 0.72 high.
ZR_AnnoModel2D Model() {
  ZR_AnnoModel2D m;
  m.Add(Group("FACE", 1, {{0.4f, 0.3f}, {0.5f, 0.5f}}));
  m.Add(Group("NOSE", 2, {{0.6f, 0.7f}}));                   // include 2 shapes the box too
  m.Add(Group("EARS", 0, {{0.34f, 0.14f}, {0.9f, 0.95f}}));  // not in the box, but mapped
  return m;
}

TEST(CropAndNormalise, GrowsTheIncludedBoxAndMapsEveryPoint) {
  ZR_Image image = Grey(200, 200);
  ZR_AnnoModel2D model = Model();
  ASSERT_TRUE(model.CropAndNormalise(image, ZR_Vector2D(0.3f, 0.4f)));
  EXPECT_EQ(96, image.m_rows);
  EXPECT_EQ(43, image.m_cols);  // 200 * 0.32 * 96 / (200 * 0.72) = 42.67
  // The box's corners land inside by the margin; the grown box's corner at 0.
  EXPECT_NEAR(0.1875f, model[0][0].x, 1e-5);  // (0.4 - 0.34) / 0.32
  EXPECT_NEAR(0.2222f, model[0][0].y, 1e-4);  // (0.3 - 0.14) / 0.72
  EXPECT_NEAR(0.8125f, model[1][0].x, 1e-5);
  EXPECT_NEAR(0.7778f, model[1][0].y, 1e-4);
  EXPECT_NEAR(0, model[2][0].x, 1e-5);
  EXPECT_NEAR(0, model[2][0].y, 1e-5);
  EXPECT_NEAR((0.9f - 0.34f) / 0.32f, model[2][1].x, 1e-4);
  // The crop's first pixel samples the source near the region's origin (68, 28).
  EXPECT_NEAR(68, image[0][0].r, 1);
  EXPECT_NEAR(28, image[0][0].g, 1);
}

// Into a thumbnail of its own the crop is the in-place one, with the source's background outside
// it, and the source stays as it was.
TEST(CropAndNormalise, IntoAThumbnailLeavesTheSourceAndCropsTheSame) {
  ZR_Colour grey = {9, 8, 7, 255};
  ZR_Image source = Grey(200, 150);
  source.m_background = &grey;
  source.m_quality = 40;
  const ZR_Vector2D margin(2.5f, 0.4f);  // reaches past the left and right edges
  ZR_Image in_place = source;
  ZR_AnnoModel2D in_place_model = Model();
  ASSERT_TRUE(in_place_model.CropAndNormalise(in_place, margin));
  ZR_Image thumbnail(3, 3);
  ZR_AnnoModel2D model = Model();
  ASSERT_TRUE(model.CropAndNormalise(source, margin, thumbnail));
  ASSERT_EQ(in_place.m_count, thumbnail.m_count);
  EXPECT_EQ(0, std::memcmp(in_place.Block(), thumbnail.Block(), in_place.m_count * 4u));
  EXPECT_EQ(9, thumbnail[48][0].r);
  EXPECT_EQ(100, thumbnail.m_quality);
  EXPECT_EQ(nullptr, thumbnail.m_background);
  EXPECT_EQ(in_place_model[1][0].x, model[1][0].x);
  EXPECT_EQ(200, source.m_rows);
  EXPECT_EQ(40, source.m_quality);
  EXPECT_EQ(Grey(200, 150)[10][20].r, source[10][20].r);
}

TEST(CropAndNormalise, MarginZeroMapsTheBoxCornersToZeroAndOne) {
  ZR_Image image = Grey(100, 100);
  ZR_AnnoModel2D model;
  model.Add(Group("FACE", 1, {{0.2f, 0.1f}, {0.5f, 0.4f}, {0.3f, 0.2f}}));
  ASSERT_TRUE(model.CropAndNormalise(image, ZR_Vector2D(0, 0)));
  EXPECT_EQ(96, image.m_cols);
  EXPECT_NEAR(0, model[0][0].x, 1e-6);
  EXPECT_NEAR(0, model[0][0].y, 1e-6);
  EXPECT_NEAR(1, model[0][1].x, 1e-6);
  EXPECT_NEAR(1, model[0][1].y, 1e-6);
}

TEST(CropAndNormalise, DegenerateBoxesFailWithNothingChanged) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  auto model_of = [](std::vector<ZR_Vector2D> points, uint8_t include) {
    ZR_AnnoModel2D m;
    m.Add(Group("FACE", include, points));
    return m;
  };
  const struct {
    const char* what;
    ZR_AnnoModel2D model;
  } cases[] = {
      {"no annotation", ZR_AnnoModel2D()},
      {"no included point", model_of({{0.2f, 0.2f}, {0.6f, 0.6f}}, 0)},
      {"one point", model_of({{0.5f, 0.5f}}, 1)},
      {"a level line", model_of({{0.2f, 0.5f}, {0.6f, 0.5f}}, 1)},
      {"an upright line", model_of({{0.5f, 0.2f}, {0.5f, 0.6f}}, 1)},
      {"infinite point",
       model_of({{0.2f, 0.2f}, {std::numeric_limits<float>::infinity(), 0.6f}}, 1)},
      {"NaN coordinates only", model_of({{nan, nan}}, 1)},
  };
  for (const auto& c : cases) {
    ZR_Image image = Grey(50, 60);
    image.m_quality = 90;
    ZR_AnnoModel2D model = c.model;
    EXPECT_FALSE(model.CropAndNormalise(image, ZR_Vector2D(0.3f, 0.4f))) << c.what;
    EXPECT_EQ(50, image.m_rows) << c.what;
    EXPECT_EQ(60, image.m_cols) << c.what;
    EXPECT_EQ(90, image.m_quality) << c.what;
    ASSERT_EQ(c.model.m_count, model.m_count);
    for (uint32_t a = 0; a < model.m_count; ++a)
      for (uint32_t i = 0; i < model[a].m_count; ++i)
        EXPECT_EQ(0, std::memcmp(&model[a][i].x, &c.model[a][i].x, 8)) << c.what;
  }
}

}  // namespace
