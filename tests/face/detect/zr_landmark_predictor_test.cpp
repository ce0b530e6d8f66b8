// tests/face/detect/zr_landmark_predictor_test.cpp: the predictor record reader (every prefix, the
// checks that keep dlib from reading out of bounds), the system's cascade evaluation against dlib's
// own predictor on the same levels, and the two shape layouts.
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "face/detect/internal/zr_dlib_types.h"
#include "tests/face/detect/dlib_reference.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

struct PredictorDeleter {
  void operator()(ZR_LandmarkPredictor* p) const { DeleteLandmarkPredictor(p); }
};
using PredictorPtr = std::unique_ptr<ZR_LandmarkPredictor, PredictorDeleter>;

PredictorPtr Load(const std::vector<uint8_t>& bytes) {
  ZR_MemoryFile f(bytes);
  return PredictorPtr(NewLandmarkPredictor(f.get()));
}

// A picture with structure at every scale: gradients, rings and seeded noise.
dlib::array2d<dlib::rgb_pixel> TestPicture(long rows, long cols, unsigned seed) {
  std::mt19937 rng(seed);
  dlib::array2d<dlib::rgb_pixel> img(rows, cols);
  for (long r = 0; r < rows; ++r)
    for (long c = 0; c < cols; ++c) {
      const double ring = 127 + 100 * std::sin(std::hypot(r - rows / 2.0, c - cols / 3.0) / 4.0);
      img[r][c] = dlib::rgb_pixel(uint8_t(ring), uint8_t((r * 255) / rows),
                                  uint8_t((c * 7 + rng() % 40) & 255));
    }
  return img;
}

void ExpectSameParts(const dlib::full_object_detection& want,
                     const dlib::full_object_detection& got, const std::string& what) {
  ASSERT_EQ(want.num_parts(), got.num_parts()) << what;
  int differing = 0;
  for (unsigned long k = 0; k < want.num_parts(); ++k) differing += want.part(k) != got.part(k);
  EXPECT_EQ(0, differing) << what;
  EXPECT_EQ(want.get_rect(), got.get_rect()) << what;
}

// The system's loop (second pass over the later half of the levels) equals dlib's predictor run
// over levels 0..L-1, L/2..L-1, point for point: also with trees of unequal depth in one level (a
// lone leaf among them) and with levels that have no trees, with or without features, first,
// between the others and as the padding that leaves the second pass nothing to do.
TEST(RunLandmarkCascade, EqualsDlibOnTheSameLevelOrder) {
  const dlib::array2d<dlib::rgb_pixel> img = TestPicture(120, 140, 3);
  const dlib::rectangle rects[] = {dlib::rectangle(20, 15, 99, 94),
                                   dlib::rectangle(-10, 50, 60, 130)};
  std::vector<std::pair<std::string, zr_predictor_data>> cases;
  for (int levels : {0, 1, 2, 5})
    cases.emplace_back("L = " + std::to_string(levels),
                       RandomPredictor(100 + unsigned(levels), 6, levels));
  zr_predictor_data mixed = RandomPredictor(7, 6, 5, 24, 12, 3);
  mixed.forests[1][0].splits.clear();
  mixed.forests[1][0].leaves.resize(1);
  mixed.forests[1][1] = RandomPredictor(8, 6, 1, 24, 1, 1).forests[0][0];
  mixed.forests[0].clear();
  mixed.forests[3].clear();
  mixed.anchors[4].clear();
  mixed.deltas[4].clear();
  mixed.forests[4].clear();
  cases.emplace_back("unequal depths, empty levels", mixed);
  zr_predictor_data padded = RandomPredictor(9, 6, 3);
  for (int l = 0; l < 3; ++l) {
    padded.anchors.emplace_back();
    padded.deltas.emplace_back();
    padded.forests.emplace_back();
  }
  cases.emplace_back("padded", padded);
  for (const auto& c : cases) {
    PredictorPtr p = Load(PredictorRecordBytes(c.second));
    ASSERT_NE(nullptr, p) << c.first;
    const dlib::shape_predictor reference =
        ReferencePredictor(c.second, SystemLevelOrder(c.second.forests.size()));
    for (const dlib::rectangle& rect : rects)
      ExpectSameParts(reference(img, rect), RunLandmarkCascade(*p, img, rect), c.first);
  }
}

TEST(RunLandmarkCascade, SecondPassMovesPointsFromASinglePass) {
  const dlib::array2d<dlib::rgb_pixel> img = TestPicture(120, 140, 3);
  const zr_predictor_data data = RandomPredictor(77, 6, 4, 24, 12, 2);
  PredictorPtr p = Load(PredictorRecordBytes(data));
  ASSERT_NE(nullptr, p);
  const dlib::rectangle rect(20, 15, 99, 94);
  const dlib::full_object_detection once = ReferencePredictor(data, {0, 1, 2, 3})(img, rect);
  const dlib::full_object_detection ours = RunLandmarkCascade(*p, img, rect);
  int moved = 0;
  for (unsigned long k = 0; k < ours.num_parts(); ++k) moved += ours.part(k) != once.part(k);
  EXPECT_GT(moved, 0);
}

TEST(ReadLandmarkPredictor, EveryPrefixFailsCleanly) {
  const std::vector<uint8_t> bytes = PredictorRecordBytes(RandomPredictor(5, 3, 2, 4, 2, 1));
  for (size_t n = 0; n < bytes.size(); ++n) {
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
    EXPECT_EQ(nullptr, Load(cut)) << "prefix " << n << " of " << bytes.size();
  }
  PredictorPtr p = Load(bytes);
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(3, PredictorPointCount(*p));
}

TEST(ReadLandmarkPredictor, RefusesRecordsDlibWouldMisread) {
  const struct {
    const char* what;
    std::function<void(zr_predictor_data&)> spoil;
  } cases[] = {
      {"more anchor levels than forests", [](zr_predictor_data& p) { p.anchors.push_back({0}); }},
      {"fewer delta levels", [](zr_predictor_data& p) { p.deltas.pop_back(); }},
      {"deltas shorter than anchors", [](zr_predictor_data& p) { p.deltas[0].resize(2); }},
      {"anchor at the point count", [](zr_predictor_data& p) { p.anchors[1][0] = 6; }},
      {"split index at the feature count",
       [](zr_predictor_data& p) { p.forests[0][0].splits[0].idx2 = 24; }},
      {"leaf one value short", [](zr_predictor_data& p) { p.forests[1][2].leaves[3].pop_back(); }},
      {"V = S", [](zr_predictor_data& p) { p.forests[0][1].leaves.pop_back(); }},
      {"V = S + 2",
       [](zr_predictor_data& p) { p.forests[0][1].leaves.push_back(p.forests[0][1].leaves[0]); }},
      {"odd shape size", [](zr_predictor_data& p) { p.shape.pop_back(); }},
      {"NaN in the shape", [](zr_predictor_data& p) { p.shape[3] = NAN; }},
      {"huge delta", [](zr_predictor_data& p) { p.deltas[0][0] = 1e30f; }},
      {"infinite leaf", [](zr_predictor_data& p) { p.forests[1][0].leaves[0][0] = INFINITY; }},
      {"shape without spread", [](zr_predictor_data& p) { p.shape.assign(12, 0.5f); }},
  };
  ASSERT_NE(nullptr, Load(PredictorRecordBytes(RandomPredictor(9, 6, 2))));
  for (const auto& c : cases) {
    zr_predictor_data p = RandomPredictor(9, 6, 2);
    c.spoil(p);
    EXPECT_EQ(nullptr, Load(PredictorRecordBytes(p))) << c.what;
  }
  // Header words the plain data cannot express: shape columns and counts past the bytes left.
  const std::vector<uint8_t> good = PredictorRecordBytes(RandomPredictor(9, 6, 2));
  const struct {
    const char* what;
    size_t offset;
    int32_t value;
  } words[] = {{"two shape columns", 8, 2},
               {"negative rows", 4, -12},
               {"level count past the bytes", 12 + 48, 0x7fffffff},
               {"negative level count", 12 + 48, -1},
               {"anchor count past the bytes", 16 + 48, 1 << 28}};
  for (const auto& w : words) {
    std::vector<uint8_t> bytes = good;
    std::memcpy(&bytes[w.offset], &w.value, 4);
    EXPECT_EQ(nullptr, Load(bytes)) << w.what;
  }
}

dlib::full_object_detection Shape(int points) {
  std::vector<dlib::point> parts;
  for (int k = 0; k < points; ++k) parts.emplace_back(k, 2 * k);
  return dlib::full_object_detection(dlib::rectangle(0, 0, 99, 199), parts);
}

TEST(ShapeToAnnoModel, PicksTheLayoutByPointCount) {
  const ZR_Vector2D size(200, 400);
  {
    ZR_AnnoModel2D m;
    m.m_flag = 5;
    ASSERT_TRUE(ShapeToAnnoModel(Shape(68), m, size));
    EXPECT_EQ(5, m.m_flag);  // the model flag stays
    const struct {
      const char* name;
      uint32_t count;
      int first;
      uint8_t open;
    } groups[] = {{"1", 17, 0, 1}, {"2", 4, 27, 1},  {"3", 5, 17, 1},
                  {"4", 5, 22, 1}, {"5", 6, 30, 0},  {"6", 6, 36, 0},
                  {"7", 6, 42, 0}, {"8", 12, 48, 0}, {"9", 8, 60, 0}};
    ASSERT_EQ(9u, m.m_count);
    for (uint32_t g = 0; g < 9; ++g) {
      const ZR_Annotation2D& a = m[g];
      EXPECT_TRUE(a.m_name == groups[g].name) << g;
      EXPECT_EQ(groups[g].count, a.m_count) << groups[g].name;
      EXPECT_EQ(groups[g].open, a.m_open) << groups[g].name;
      EXPECT_EQ(0u, a.m_fixed.m_count) << groups[g].name;
      EXPECT_FLOAT_EQ(float(groups[g].first) / 200, a[0].x) << groups[g].name;
      EXPECT_FLOAT_EQ(1 - float(2 * groups[g].first) / 400, a[0].y) << groups[g].name;
    }
    EXPECT_FLOAT_EQ(m[1][3].x, m[4][0].x);  // point 30 in both "2" and "5"
  }
  for (int points : {50, 69}) {
    ZR_AnnoModel2D m;
    ASSERT_TRUE(ShapeToAnnoModel(Shape(points), m, size)) << points;
    ASSERT_EQ(7u, m.m_count);
    EXPECT_EQ(1, m.GetLayoutCode()) << points;
    const int eye = m.FindAnnotation("RIGHT EYE");
    ASSERT_EQ(3, eye);
    EXPECT_EQ(0, m[3].m_open);
    ASSERT_EQ(3u, m[3].m_fixed.m_count);
    EXPECT_EQ(2, m[3].m_fixed[2]);
    EXPECT_FLOAT_EQ(18.0f / 200, m[3][0].x);
    EXPECT_EQ(1, m[6].m_open);  // FACE
    EXPECT_EQ(11u, m[6].m_count);
    EXPECT_FLOAT_EQ(49.0f / 200, m[6][10].x);
    ASSERT_EQ(7u, m[5].m_fixed.m_count);  // NOSE 0, 2, ..., 12
    EXPECT_EQ(12, m[5].m_fixed[6]);
    EXPECT_EQ(1, m[0].m_value);
    EXPECT_EQ(255, m[0].m_colour[2]);
  }
  for (int points : {49, 5, 0}) {
    ZR_AnnoModel2D m;
    ASSERT_TRUE(ShapeToAnnoModel(Shape(68), m, size));
    EXPECT_FALSE(ShapeToAnnoModel(Shape(points), m, size)) << points;
    EXPECT_EQ(0u, m.m_count) << points;
  }
  ZR_AnnoModel2D m;
  EXPECT_FALSE(ShapeToAnnoModel68(Shape(69), m, size));
}

}  // namespace
