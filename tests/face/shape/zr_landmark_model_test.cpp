// tests/face/shape/zr_landmark_model_test.cpp: the landmark model built by the model builder's
// section from dlib's mean shape: the record reads back, a bin pose's exact reduced projection
// refines into the full projection, predictor points stay, unsound inputs fail the fit while closed
// lips fit, and several threads fitting with one shared model give the one-thread results.
#include "face/shape/zr_landmark_model.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "annotation/zr_anno_model2d.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/landmark_model_section.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct zr_fixture {
  std::vector<ZR_Vector2D> mean68;
  Bytes record;
  zr_landmark_section_report report;
  std::unique_ptr<ZR_LandmarkModel> model;
};

// Built once for the file: about a second of PCA work.
const zr_fixture* Fixture() {
  static const zr_fixture* fixture = []() -> zr_fixture* {
    auto* f = new zr_fixture;
    std::string error;
    if (std::strlen(ZR_DLIB_PREDICTOR_DAT) == 0 ||
        !ReadDlibMeanShape(ZR_DLIB_PREDICTOR_DAT, f->mean68, error))
      return nullptr;
    zr_landmark_section_options options;
    options.observations = 300;
    f->record = LandmarkModelSection(f->mean68, options, &f->report, error);
    if (f->record.empty()) {
      ADD_FAILURE() << error;
      return nullptr;
    }
    f->model = std::make_unique<ZR_LandmarkModel>();
    ZR_MemoryFile file(f->record);
    if (f->model->Read(file.get()) == nullptr) return nullptr;
    return f;
  }();
  return fixture;
}

#define NEED_FIXTURE()              \
  const zr_fixture* fx = Fixture(); \
  if (fx == nullptr) GTEST_SKIP() << "dlib's shape_predictor_68_face_landmarks.dat is absent"

const ZR_Vector2D kSize(640, 480);

// The reduced-layout face of the template at bin (row, col), placed in the image: the exact
// projection the per-pose table holds, scaled and moved into pixels, then normalised.
ZR_AnnoModel2D FaceAtBin(const zr_fixture& fx, int32_t row, int32_t col, float scale = 1.5f) {
  ZR_AnnoModel2D full(fx.model->m_anno_model);
  const ZR_Vector& xy = fx.model->m_shapes[row][col];
  ZR_Vector pixels = xy;
  for (uint32_t k = 0; k < pixels.m_count; k += 2) {
    pixels[int32_t(k)] = 320 + scale * xy[int32_t(k)];
    pixels[int32_t(k + 1)] = 240 + scale * xy[int32_t(k + 1)];
  }
  full.SetPoints(kSize, pixels, 1);
  full.ReduceLayout();
  return full;
}

TEST(ZrLandmarkModel, FixtureRecordReadsAndPassesItsSelfChecks) {
  NEED_FIXTURE();
  const zr_landmark_section_report& r = fx->report;
  EXPECT_EQ(r.templates, r.bins_recovered);
  EXPECT_EQ(0, r.warpers_threw);
  EXPECT_EQ(0, r.warpers_invalid);
  EXPECT_GT(r.modes, 0);
  EXPECT_LE(r.modes, 20);
  EXPECT_GT(r.below_150, r.observations * 9 / 10);
  EXPECT_LT(r.reference_change, 1e-2f);
  EXPECT_EQ(0, fx->model->m_shape_model.m_layout_code);
  EXPECT_EQ(97u * 2, fx->model->m_shapes[0][0].m_count);
  std::printf(
      "section: %d templates, %d bins recovered, worst angle error %.2f deg; thin-plate "
      "systems valid %d, invalid %d, threw %d; %d observations (%d real), %d modes, "
      "%d below D 150, reference moved %.2g\n",
      r.templates, r.bins_recovered, r.worst_angle_error, r.warpers_valid, r.warpers_invalid,
      r.warpers_threw, r.observations, r.real_observations, r.modes, r.below_150,
      r.reference_change);
}

TEST(ZrLandmarkModel, BinProjectionRefinesIntoTheFullProjection) {
  NEED_FIXTURE();
  for (int32_t row : {-1, 0, 1}) {
    for (int32_t col : {-1, 0, 2}) {
      ZR_AnnoModel2D face = FaceAtBin(*fx, row, col);
      const ZR_AnnoModel2D input = face;
      ZR_String error;
      ASSERT_TRUE(fx->model->Fit(kSize, face, &error)) << error.m_text;
      // The expected full layout at this pose, in the same pixel frame.
      ZR_AnnoModel2D expected(fx->model->m_anno_model);
      ZR_Vector pixels = fx->model->m_shapes[row][col];
      for (uint32_t k = 0; k < pixels.m_count; k += 2) {
        pixels[int32_t(k)] = 320 + 1.5f * pixels[int32_t(k)];
        pixels[int32_t(k + 1)] = 240 + 1.5f * pixels[int32_t(k + 1)];
      }
      expected.SetPoints(kSize, pixels, 1);
      ASSERT_EQ(expected.m_count, face.m_count);
      float worst = 0;
      for (uint32_t g = 0; g < face.m_count; ++g) {
        EXPECT_FALSE(face[g].m_name != expected[g].m_name) << g;
        EXPECT_EQ(expected[g].m_open, face[g].m_open);
        EXPECT_EQ(1, face[g].m_include);
        ASSERT_EQ(expected[g].m_fixed.m_count, face[g].m_fixed.m_count);
        ASSERT_EQ(expected[g].m_count, face[g].m_count);
        for (uint32_t k = 0; k < face[g].m_count; ++k)
          worst = std::max(worst, std::hypot((face[g][k].x - expected[g][k].x) * kSize.x,
                                             (face[g][k].y - expected[g][k].y) * kSize.y));
      }
      // The face is about 300 pixels wide; the FACE forehead is dragged to the nose target.
      EXPECT_LT(worst, 6.0f) << row << " " << col;
      // The predictor's own points leave the fit unchanged.
      for (uint32_t g = 0; g < face.m_count; ++g)
        for (uint32_t k = 0; k < face[g].m_count; ++k) {
          const zr_coord s = fx->model->m_sources[g][k];
          if (s.x < 0 || s.y < 0) continue;
          EXPECT_EQ(input[uint32_t(s.x)][uint32_t(s.y)].x, face[g][k].x);
          EXPECT_EQ(input[uint32_t(s.x)][uint32_t(s.y)].y, face[g][k].y);
        }
    }
  }
}

TEST(ZrLandmarkModel, UnsoundInputsFailTheFit) {
  NEED_FIXTURE();
  const ZR_LandmarkModel& model = *fx->model;
  {
    // dlib's stock 68-point layout: groups "1".."9".
    ZR_AnnoModel2D face;
    for (int g = 1; g <= 9; ++g) {
      ZR_Annotation2D a;
      a.m_name = ZR_String(g);
      for (int k = 0; k < 7; ++k) a.Add(ZR_Vector2D(0.1f * k, 0.05f * g));
      face.Add(a);
    }
    EXPECT_FALSE(TryFitLandmarkModel(model, kSize, face));
  }
  {
    ZR_AnnoModel2D face = FaceAtBin(*fx, 0, 0);
    face[0].RemoveLast();  // a short BROW RIDGE
    EXPECT_FALSE(TryFitLandmarkModel(model, kSize, face));
  }
  {
    // Two template points of the inner mouth on one spot in every per-pose shape make the
    // template-to-face spline singular.
    ZR_LandmarkModel doubled;
    ZR_MemoryFile file(fx->record);
    ASSERT_NE(nullptr, doubled.Read(file.get()));
    const int32_t g = doubled.m_anno_model.FindAnnotation("INNER MOUTH");
    ASSERT_GE(g, 0);
    uint32_t offset = 0;
    for (int32_t i = 0; i < g; ++i) offset += doubled.m_anno_model[uint32_t(i)].m_count;
    std::vector<uint32_t> kept;  // the group's points that come from the predictor
    for (uint32_t k = 0; k < doubled.m_masks[uint32_t(g)].m_count; ++k)
      if (doubled.m_masks[uint32_t(g)][k]) kept.push_back(2 * (offset + k));
    ASSERT_GE(kept.size(), 2u);
    for (uint32_t i = 0; i < doubled.m_shapes.m_count; ++i) {
      ZR_Vector& shape = doubled.m_shapes.Block()[i];
      shape[int32_t(kept[1])] = shape[int32_t(kept[0])];
      shape[int32_t(kept[1] + 1)] = shape[int32_t(kept[0] + 1)];
    }
    ZR_AnnoModel2D face = FaceAtBin(*fx, 0, 0);
    EXPECT_FALSE(TryFitLandmarkModel(doubled, kSize, face));
  }
  {
    ZR_AnnoModel2D face = FaceAtBin(*fx, 0, 0);
    face[5][3].x = std::nanf("");
    EXPECT_FALSE(TryFitLandmarkModel(model, kSize, face));
  }
  {
    ZR_AnnoModel2D face = FaceAtBin(*fx, 0, 0);
    EXPECT_FALSE(TryFitLandmarkModel(model, ZR_Vector2D(0, 480), face));
  }
  {
    ZR_AnnoModel2D face = FaceAtBin(*fx, 0, 0);
    EXPECT_TRUE(TryFitLandmarkModel(model, kSize, face));
  }
}

// Closed lips: the predictor rounds to whole pixels, so the inner mouth's upper and lower pairs
// (points 1 and 5, 2 and 4) land on one spot. The face's points are only the spline's targets,
// so the fit succeeds, keeps them and gives finite points everywhere.
TEST(ZrLandmarkModel, ClosedLipsFit) {
  NEED_FIXTURE();
  const ZR_LandmarkModel& model = *fx->model;
  ZR_AnnoModel2D face = FaceAtBin(*fx, 0, 0);
  ZR_Annotation2D& lips = face[uint32_t(model.m_inner_mouth_index)];
  lips[5] = lips[1];
  lips[4] = lips[2];
  const ZR_Vector2D upper = lips[1], lower = lips[2];
  ZR_String error;
  ASSERT_TRUE(model.Fit(kSize, face, &error)) << error.m_text;
  uint32_t on_upper = 0, on_lower = 0;
  for (uint32_t g = 0; g < face.m_count; ++g)
    for (uint32_t k = 0; k < face[g].m_count; ++k) {
      EXPECT_TRUE(std::isfinite(face[g][k].x) && std::isfinite(face[g][k].y)) << g << " " << k;
      on_upper += face[g][k].x == upper.x && face[g][k].y == upper.y;
      on_lower += face[g][k].x == lower.x && face[g][k].y == lower.y;
    }
  EXPECT_GE(on_upper, 2u);
  EXPECT_GE(on_lower, 2u);
}

TEST(ZrLandmarkModel, MouthOrderIsSwappedWhenPointFiveLiesAbove) {
  NEED_FIXTURE();
  const ZR_LandmarkModel& model = *fx->model;
  ZR_AnnoModel2D normal = FaceAtBin(*fx, 0, 0);
  ZR_AnnoModel2D swapped = normal;
  ZR_Annotation2D& m = swapped[uint32_t(model.m_inner_mouth_index)];
  std::swap(m[1], m[5]);
  std::swap(m[2], m[4]);
  ASSERT_TRUE(model.Fit(kSize, normal));
  ASSERT_TRUE(model.Fit(kSize, swapped));
  ZR_Vector2D min, max;
  for (uint32_t g = 0; g < normal.m_count; ++g)
    for (uint32_t k = 0; k < normal[g].m_count; ++k) {
      EXPECT_EQ(normal[g][k].x, swapped[g][k].x) << g << " " << k;
      EXPECT_EQ(normal[g][k].y, swapped[g][k].y) << g << " " << k;
    }
}

TEST(ZrLandmarkModelThreads, SharedModelFitsLikeOneThread) {
  NEED_FIXTURE();
  const ZR_LandmarkModel& model = *fx->model;
  std::vector<ZR_AnnoModel2D> faces;
  for (int32_t row = -2; row <= 2; ++row)
    for (int32_t col = -2; col <= 2; ++col) faces.push_back(FaceAtBin(*fx, row, col, 1.2f));
  std::vector<Bytes> expected;
  for (ZR_AnnoModel2D face : faces) {
    Bytes blob;
    if (TryFitLandmarkModel(model, kSize, face)) {
      ZR_Array<unsigned char> out;
      face.Serialise(out);
      blob.assign(out.Block(), out.Block() + out.m_count);
    }
    expected.push_back(blob);
  }
  const int threads = 4;
  std::vector<std::vector<Bytes>> got(threads);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&, t] {
      for (size_t i = 0; i < faces.size(); ++i) {
        ZR_AnnoModel2D face = faces[(i + size_t(t)) % faces.size()];
        Bytes blob;
        if (TryFitLandmarkModel(model, kSize, face)) {
          ZR_Array<unsigned char> out;
          face.Serialise(out);
          blob.assign(out.Block(), out.Block() + out.m_count);
        }
        got[size_t(t)].push_back(blob);
      }
    });
  for (std::thread& w : workers) w.join();
  for (int t = 0; t < threads; ++t)
    for (size_t i = 0; i < faces.size(); ++i)
      EXPECT_EQ(expected[(i + size_t(t)) % faces.size()], got[size_t(t)][i]) << t << " " << i;
  for (const Bytes& b : expected) EXPECT_FALSE(b.empty());
}

TEST(ZrLandmarkModel, EveryCutRecordFailsToRead) {
  NEED_FIXTURE();
  const Bytes& r = fx->record;
  for (size_t n = 0; n < r.size(); n += 97) {
    ZR_LandmarkModel m;
    ZR_MemoryFile f(Bytes(r.begin(), r.begin() + n));
    EXPECT_EQ(nullptr, m.Read(f.get())) << "cut at " << n;
  }
}

}  // namespace
