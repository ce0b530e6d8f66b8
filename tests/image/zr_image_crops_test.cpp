// tests/image/zr_image_crops_test.cpp: the region, thumbnail and face crops: sizes, what each
// keeps or resets, outside colours, the face rectangle of a hand-computed model, and the
// degenerate rectangles and models every crop refuses without touching anything.
#include "image/zr_image.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "annotation/zr_anno_model2d.h"
#include "image/internal/grid_sampler.h"
#include "image/zr_bilinear.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// Pixel (r, c) holds its column and row: red c % 256, green r % 256, blue (c / 256) * 16 + r / 256.
ZR_Image Coordinates(int rows, int cols) {
  ZR_Image image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      image[r][c] =
          ZR_Colour{uint8_t(c % 256), uint8_t(r % 256), uint8_t((c / 256) * 16 + r / 256), 255};
  return image;
}

bool SamePixels(const ZR_Image& a, const ZR_Image& b) {
  if (a.m_rows != b.m_rows || a.m_cols != b.m_cols || a.m_row_lo != b.m_row_lo) return false;
  for (int r = a.m_row_lo; r <= a.m_row_hi; ++r)
    for (int c = a.m_col_lo; c <= a.m_col_hi; ++c) {
      const ZR_Colour &p = a[r][c], &q = b[r][c];
      if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) return false;
    }
  return true;
}

// Every channel a scrambled byte, 255 and 0 included, so blends land on halves and saturate.
ZR_Image Scrambled(int rows, int cols) {
  ZR_Image image(rows, cols);
  uint32_t x = 12345;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      uint8_t v[4];
      for (uint8_t& b : v) {
        x = x * 1103515245u + 12345u;
        b = (x >> 16) % 7 == 0 ? 255 : uint8_t(x >> 23);
      }
      image[r][c] = ZR_Colour{v[0], v[1], v[2], v[3]};
    }
  return image;
}

bool IsBlack(const ZR_Colour& c) {
  return c.r == 0 && c.g == 0 && c.b == 0 && c.a == 255;
}

ZR_Annotation2D Group(const char* name, std::vector<ZR_Vector2D> points) {
  ZR_Annotation2D a;
  a.m_name = name;
  for (const ZR_Vector2D& p : points) a.Add(p);
  return a;
}

// On a 1000 x 1000 image: eye centres (400, 600) and (600, 600), chin (FACE point 9 of 19) at
// (500, 350), FACE box 300..700 wide. So d = 250, h = 400, the centre is (0.5, 0.55), and with
// margin 0.6 and aspect 0.75 the region is (0.26, 0.23)..(0.74, 0.87).
ZR_AnnoModel2D FaceModel() {
  ZR_AnnoModel2D m;
  std::vector<ZR_Vector2D> face;
  for (int i = 0; i < 19; ++i) face.push_back(ZR_Vector2D(0.3f + 0.4f * float(i) / 18, 0.5f));
  face[9] = ZR_Vector2D(0.5f, 0.35f);
  m.Add(Group("FACE", face));
  m.Add(Group("RIGHT EYE", {{0.38f, 0.59f}, {0.42f, 0.61f}}));
  m.Add(Group("LEFT EYE", {{0.58f, 0.59f}, {0.62f, 0.61f}}));
  m.Add(Group("MARKS", {{0.26f, 0.23f}, {0.74f, 0.87f}, {0.5f, 0.55f}}));
  return m;
}

TEST(ZrImageCrops, RegionOfTheWholeImageIs600RowsAndKeepsTheDestination) {
  const ZR_Image source = Coordinates(300, 400);
  ZR_Colour background{9, 9, 9, 9};
  ZR_Image dest(2, 2);
  dest.m_quality = 95;
  dest.m_text = "face";
  dest.m_background = &background;
  ASSERT_TRUE(source.CropRegion(dest, ZR_Vector2D(0, 0), ZR_Vector2D(1, 1)));
  EXPECT_EQ(600, dest.m_rows);
  EXPECT_EQ(800, dest.m_cols);
  EXPECT_EQ(95, dest.m_quality);
  EXPECT_TRUE(dest.m_text == "face");
  EXPECT_EQ(&background, dest.m_background);
  // Destination pixel (i, j) samples the source at ((j + 0.5) / 2, (i + 0.5) / 2).
  EXPECT_EQ(0, dest[0][0].r);
  EXPECT_EQ(200, dest[401][401].r);  // x = 200.75: 3/4 of column 200, 1/4 of 201... rounds to 200
  EXPECT_EQ(200, dest[400][400].g);
  EXPECT_TRUE(SamePixels(Coordinates(300, 400), source));
}

TEST(ZrImageCrops, RegionBeyondTheImageIsOpaqueBlack) {
  const ZR_Image source = Coordinates(300, 400);
  ZR_Colour background{9, 9, 9, 9};
  ZR_Image from_background = source;
  from_background.m_background = &background;  // not consulted by the region crop
  ZR_Image dest;
  ASSERT_TRUE(from_background.CropRegion(dest, ZR_Vector2D(0.5f, 0), ZR_Vector2D(1.5f, 1)));
  EXPECT_EQ(800, dest.m_cols);
  EXPECT_FALSE(IsBlack(dest[300][100]));
  EXPECT_TRUE(IsBlack(dest[300][500]));
  EXPECT_TRUE(IsBlack(dest[599][799]));
  ASSERT_TRUE(source.CropRegion(dest, ZR_Vector2D(3, 3), ZR_Vector2D(4, 4)));
  EXPECT_TRUE(IsBlack(dest[0][0]));
}

TEST(ZrImageCrops, ThumbnailIs96RowsAndResetsTheImage) {
  ZR_Image image = Coordinates(200, 100);
  ZR_Colour background{1, 2, 3, 4};
  image.m_quality = 90;
  image.m_text = "thumb";
  image.m_background = &background;
  // s = (0.5, 0.25): a square of 50 x 50 pixels, its right half outside the image.
  ASSERT_TRUE(image.CropThumbnail(ZR_Vector2D(0.75f, 0.5f), ZR_Vector2D(1.25f, 0.75f)));
  EXPECT_EQ(96, image.m_rows);
  EXPECT_EQ(96, image.m_cols);
  EXPECT_EQ(100, image.m_quality);
  EXPECT_STREQ(kZrImageNotice, image.m_text.m_text);
  EXPECT_EQ(nullptr, image.m_background);
  EXPECT_EQ(75, image[0][0].r);  // x = 75.26: column 75, row 100
  EXPECT_EQ(100, image[0][0].g);
  EXPECT_EQ(4, image[50][90].a);  // outside: the background colour
  image = Coordinates(200, 100);
  ASSERT_TRUE(image.CropThumbnail(ZR_Vector2D(0.75f, 0.5f), ZR_Vector2D(1.25f, 0.75f)));
  EXPECT_TRUE(IsBlack(image[50][90]));  // without a background: black
}

TEST(ZrImageCrops, NarrowSourcesAndSliversStillCrop) {
  for (auto size : {std::pair<int, int>{1, 7}, {7, 1}, {1, 1}}) {
    const ZR_Image source = Coordinates(size.first, size.second);
    ZR_Image dest;
    ASSERT_TRUE(source.CropRegion(dest, ZR_Vector2D(-0.5f, -0.5f), ZR_Vector2D(1.5f, 1.5f)));
    ZR_Image thumb = source;
    ASSERT_TRUE(thumb.CropThumbnail(ZR_Vector2D(0, 0), ZR_Vector2D(1, 1)));
  }
  // A region narrower than half a column of the crop still gets one column.
  ZR_Image thumb = Coordinates(100, 100);
  ASSERT_TRUE(thumb.CropThumbnail(ZR_Vector2D(0.5f, 0), ZR_Vector2D(0.501f, 1)));
  EXPECT_EQ(1, thumb.m_cols);
}

TEST(ZrImageCrops, DegenerateRegionsFailWithNothingChanged) {
  const struct {
    const char* what;
    ZR_Vector2D origin, corner;
  } cases[] = {
      {"zero size", {0.5f, 0.5f}, {0.5f, 0.5f}},   {"zero width", {0.5f, 0.1f}, {0.5f, 0.9f}},
      {"zero height", {0.1f, 0.5f}, {0.9f, 0.5f}}, {"inverted", {0.9f, 0.9f}, {0.1f, 0.1f}},
      {"NaN origin", {kNaN, 0}, {1, 1}},           {"NaN corner", {0, 0}, {1, kNaN}},
      {"infinite corner", {0, 0}, {kInf, 1}},      {"size overflows", {-3e38f, 0}, {3e38f, 1}},
      {"wider than 16:1", {0, 0}, {1, 0.01f}},
  };
  const ZR_Image source = Coordinates(40, 30);
  for (const auto& c : cases) {
    ZR_Image dest = Coordinates(3, 2);
    dest.m_quality = 7;
    EXPECT_FALSE(source.CropRegion(dest, c.origin, c.corner)) << c.what;
    EXPECT_TRUE(SamePixels(Coordinates(3, 2), dest)) << c.what;
    EXPECT_EQ(7, dest.m_quality) << c.what;
    ZR_Image thumb = source;
    thumb.m_quality = 7;
    EXPECT_FALSE(thumb.CropThumbnail(c.origin, c.corner)) << c.what;
    EXPECT_TRUE(SamePixels(source, thumb)) << c.what;
    EXPECT_EQ(7, thumb.m_quality) << c.what;
  }
  ZR_Image empty, dest;
  EXPECT_FALSE(empty.CropRegion(dest, ZR_Vector2D(0, 0), ZR_Vector2D(1, 1)));
  EXPECT_FALSE(empty.CropThumbnail(ZR_Vector2D(0, 0), ZR_Vector2D(1, 1)));
  EXPECT_EQ(0u, dest.m_count);
}

// Each crop pixel computed on its own through ZR_Bilinear::Sample at the centre of the new pixel:
// the grid sampler must give exactly these bytes, inside, across every border and over 1-pixel
// sources and images whose bounds do not start at 0.
TEST(ZrImageCrops, MatchPerPixelSamplesExactly) {
  ZR_Colour background{1, 2, 3, 4};
  const struct {
    int rows, cols, row_lo, col_lo;
    ZR_Vector2D origin, corner;
  } cases[] = {
      {40, 30, 0, 0, {0.1f, 0.2f}, {0.7f, 0.9f}},     {40, 30, 0, 0, {-0.3f, -0.2f}, {0.4f, 0.5f}},
      {40, 30, 0, 0, {0.6f, 0.7f}, {1.4f, 1.3f}},     {40, 30, 0, 0, {-1, -1}, {2, 2}},
      {150, 150, 0, 0, {0.2f, 0.15f}, {0.8f, 0.95f}}, {1, 7, 0, 0, {-0.5f, -0.5f}, {1.5f, 1.5f}},
      {7, 1, 0, 0, {-0.5f, -0.5f}, {1.5f, 1.5f}},     {1, 1, 0, 0, {0, 0}, {1, 1}},
      {9, 11, -2, 3, {0.1f, 0.1f}, {0.9f, 0.8f}},
  };
  for (const auto& c : cases) {
    ZR_Image source;
    source.Resize(c.row_lo, c.row_lo + c.rows - 1, c.col_lo, c.col_lo + c.cols - 1);
    const ZR_Image texture = Scrambled(c.rows, c.cols);
    for (int r = 0; r < c.rows; ++r)
      for (int col = 0; col < c.cols; ++col)
        source[r + c.row_lo][col + c.col_lo] = texture[r][col];
    ZR_Image region, thumb = source;
    thumb.m_background = &background;
    ASSERT_TRUE(source.CropRegion(region, c.origin, c.corner));
    ASSERT_TRUE(thumb.CropThumbnail(c.origin, c.corner));
    for (const ZR_Image* crop : {&region, &thumb}) {
      ZR_Bilinear<ZR_Colour> sampler(source);
      sampler.m_outside = crop == &thumb ? background : ZR_Colour{0, 0, 0, 255};
      const ZR_Vector2D s = c.corner - c.origin;
      ZR_Image expected(crop->m_rows, crop->m_cols);
      for (int i = 0; i < crop->m_rows; ++i)
        for (int j = 0; j < crop->m_cols; ++j) {
          const float x = (((float(j) + 0.5f) / float(crop->m_cols)) * s.x + c.origin.x) *
                          float(c.cols);
          const float y = (((float(i) + 0.5f) / float(crop->m_rows)) * s.y + c.origin.y) *
                          float(c.rows);
          expected[i][j] = sampler.Sample(ZR_Vector2D(x, y));
        }
      EXPECT_TRUE(SamePixels(expected, *crop))
          << c.rows << " x " << c.cols << (crop == &thumb ? " thumbnail" : " region");
    }
  }
}

// The grid sampler shares work between grid rows that blend the same image rows; rows given in
// any order (falling, repeated, jumping back, outside) must still match the sampler point by
// point, on a one-column image too.
TEST(ZrSampleGrid, RowsInAnyOrderMatchTheSampler) {
  const std::vector<float> rows_of[] = {{9.5f, 8.9f, 8.2f, 7.7f, 7.1f, 2.6f, 2.4f, 2.4f},
                                        {1.2f, 6.8f, 1.4f, 6.6f, 1.2f, -3.0f, 1.3f, 11.0f},
                                        {0.2f, 0.3f, 9.9f, 0.1f, 0.6f, 0.6f, 5.5f, 5.4f}};
  const ZR_Colour outside{7, 6, 5, 4};
  for (const int cols : {13, 1}) {
    const ZR_Image source = Scrambled(10, cols);
    const std::vector<float> xs = {-1.0f, 0.3f, 0.7f, 2.2f, 2.9f, 5.5f, 12.6f, 14.0f, 6.1f};
    ZR_Bilinear<ZR_Colour> sampler(source);
    sampler.m_outside = outside;
    for (const std::vector<float>& ys : rows_of) {
      ZR_Array2D<ZR_Colour> got(int32_t(ys.size()), int32_t(xs.size()));
      ZR_SampleGrid(source, xs, ys, outside, got);
      int differing = 0;
      for (size_t i = 0; i < ys.size(); ++i)
        for (size_t j = 0; j < xs.size(); ++j) {
          const ZR_Colour want = sampler.Sample(ZR_Vector2D(xs[j], ys[i]));
          differing += std::memcmp(&want, &got[int32_t(i)][j], sizeof want) != 0;
        }
      EXPECT_EQ(0, differing) << cols << " columns, first row " << ys[0];
    }
  }
}

TEST(ZrImageCrops, RegionIntoItselfCropsTheOriginal) {
  ZR_Image image = Coordinates(300, 400);
  ASSERT_TRUE(image.CropRegion(image, ZR_Vector2D(0, 0), ZR_Vector2D(1, 1)));
  EXPECT_EQ(800, image.m_cols);
  EXPECT_EQ(200, image[400][400].g);
}

TEST(ZrImageCrops, FaceCropIs600By450AndMapsTheModelIntoIt) {
  const ZR_Image source = Coordinates(1000, 1000);
  ZR_AnnoModel2D model = FaceModel();
  ZR_Image dest;
  ASSERT_TRUE(source.CropFace(model, 0.6f, 0.75f, dest));
  EXPECT_EQ(600, dest.m_rows);
  EXPECT_EQ(450, dest.m_cols);
  const ZR_Annotation2D& marks = model[3];
  EXPECT_NEAR(0, marks[0].x, 1e-5);  // the region's origin
  EXPECT_NEAR(0, marks[0].y, 1e-5);
  EXPECT_NEAR(1, marks[1].x, 1e-5);  // its corner
  EXPECT_NEAR(1, marks[1].y, 1e-5);
  EXPECT_NEAR(0.5f, marks[2].x, 1e-5);
  EXPECT_NEAR(0.5f, marks[2].y, 1e-5);
  // The chin's new position shows the source pixel under it: (500, 350).
  const ZR_Vector2D chin = model[0][9];
  const ZR_Colour at = dest[int(chin.y * 600)][int(chin.x * 450)];
  EXPECT_NEAR(500 % 256, at.r, 1);
  EXPECT_NEAR(350 % 256, at.g, 1);
}

TEST(ZrImageCrops, IncompleteOrDegenerateFaceModelsFailWithNothingChanged) {
  auto without = [](const char* name) {
    ZR_AnnoModel2D m = FaceModel();
    m[uint32_t(m.FindAnnotation(name))].m_name = "GONE";
    return m;
  };
  auto emptied = [](const char* name) {
    ZR_AnnoModel2D m = FaceModel();
    m[uint32_t(m.FindAnnotation(name))].Clear();
    return m;
  };
  ZR_AnnoModel2D chin_on_eyes = FaceModel();
  chin_on_eyes[0][9] = ZR_Vector2D(0.5f, 0.6f);
  ZR_AnnoModel2D nan_chin = FaceModel();
  nan_chin[0][9].y = kNaN;
  ZR_AnnoModel2D inf_eye = FaceModel();
  inf_eye[2][1].x = kInf;
  ZR_AnnoModel2D inf_face = FaceModel();
  inf_face[0][0].x = -kInf;  // the box's left side: its middle is not finite
  const struct {
    const char* what;
    ZR_AnnoModel2D model;
  } cases[] = {
      {"no FACE", without("FACE")},
      {"no RIGHT EYE", without("RIGHT EYE")},
      {"no LEFT EYE", without("LEFT EYE")},
      {"FACE without points", emptied("FACE")},
      {"eye without points", emptied("LEFT EYE")},
      {"chin on the eye line", chin_on_eyes},
      {"NaN chin", nan_chin},
      {"infinite eye", inf_eye},
      {"infinite FACE side", inf_face},
      {"empty model", ZR_AnnoModel2D()},
  };
  const ZR_Image source = Coordinates(100, 100);
  for (const auto& c : cases) {
    ZR_AnnoModel2D model = c.model;
    ZR_Image dest = Coordinates(2, 3);
    EXPECT_FALSE(source.CropFace(model, 0.6f, 0.75f, dest)) << c.what;
    EXPECT_TRUE(SamePixels(Coordinates(2, 3), dest)) << c.what;
    for (uint32_t a = 0; a < model.m_count; ++a)
      for (uint32_t i = 0; i < model[a].m_count; ++i) {
        const ZR_Vector2D &p = model[a][i], &q = c.model[a][i];
        EXPECT_TRUE(std::memcmp(&p.x, &q.x, 4) == 0 && std::memcmp(&p.y, &q.y, 4) == 0)
            << c.what << " " << a << " " << i;
      }
  }
  // A face crop with a zero or negative aspect or a margin of -1 has no width or height.
  for (auto p : {std::pair<float, float>{0.6f, 0}, {0.6f, -1}, {-1, 0.75f}, {kNaN, 0.75f}}) {
    ZR_AnnoModel2D model = FaceModel();
    ZR_Image dest;
    EXPECT_FALSE(source.CropFace(model, p.first, p.second, dest)) << p.first << " " << p.second;
  }
}

}  // namespace
