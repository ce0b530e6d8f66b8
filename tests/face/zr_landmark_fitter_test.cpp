// tests/face/zr_landmark_fitter_test.cpp: the central-face choice, the search chain's failure
// paths with models that hold nothing (no stage may throw or leave a stale text), and
// "Landmarks.data" cut at and inside every record.
#include "face/zr_landmark_fitter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "face/zr_face_detectors.h"
#include "image/zr_image.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

ZR_NBox Box(float cx, float cy, float sx, float sy) {
  ZR_NBox b;
  b.SetCorners(ZR_Vector2D(cx - sx / 2, cy - sy / 2), ZR_Vector2D(cx + sx / 2, cy + sy / 2));
  return b;
}

ZR_List<ZR_NBox> Boxes(std::initializer_list<ZR_NBox> boxes) {
  ZR_List<ZR_NBox> list;
  for (const ZR_NBox& b : boxes) list.Add(b);
  return list;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

}  // namespace

TEST(ZrChooseCentralFace, PicksSmallestCentreDistanceOverSize) {
  const ZR_NBox a = Box(0.5f, 0.5f, 0.1f, 0.1f);    // d = 0
  const ZR_NBox b = Box(0.55f, 0.5f, 0.5f, 0.5f);   // d = 0.05 / 0.707 = about 0.071
  const ZR_NBox far = Box(0.9f, 0.9f, 0.1f, 0.1f);  // d = 0.566 / 0.141 = 4
  const ZR_NBox zero = Box(0.5f, 0.5f, 0, 0);       // 0 / 0: never chosen
  const struct {
    const char* what;
    ZR_List<ZR_NBox> boxes;
    int32_t index;
    bool written;
  } cases[] = {
      {"A then B", Boxes({a, b}), 0, true},
      {"B then A", Boxes({b, a}), 1, true},
      {"far then B", Boxes({far, b}), 1, true},
      {"identical boxes keep the first", Boxes({b, b}), 0, true},
      {"zero size then far", Boxes({zero, far}), 1, true},
      {"a single zero-size box", Boxes({zero}), 0, false},
  };
  for (const auto& c : cases) {
    ZR_NBox chosen = Box(0.1f, 0.2f, 0.3f, 0.4f);
    chosen.m_valid = 7;
    const ZR_NBox before = chosen;
    EXPECT_EQ(c.index, ChooseCentralFace(c.boxes, chosen)) << c.what;
    if (c.written) {
      const ZR_NBox& expected = c.boxes[uint32_t(c.index)];
      EXPECT_EQ(expected.m_centre.x, chosen.m_centre.x) << c.what;
      EXPECT_EQ(expected.m_size.y, chosen.m_size.y) << c.what;
      EXPECT_EQ(expected.m_valid, chosen.m_valid) << c.what;
    } else {
      EXPECT_EQ(7, chosen.m_valid) << c.what;
      EXPECT_EQ(before.m_centre.x, chosen.m_centre.x) << c.what;
    }
  }
}

// Detectors that were never read (no cascade stages, no HOG detector) and a fitter without a
// predictor: every stage finds nothing, and the error replaces whatever the text held.
TEST(ZrLandmarkFitter, EmptyModelsFailWithExactFindText) {
  ZR_FaceDetectors detectors;
  ZR_LandmarkFitter fitter;
  const ZR_DetectionParams params;
  const struct { int rows, cols; } sizes[] = {{240, 320}, {3, 3}, {1, 1}, {0, 0}};
  for (const auto& s : sizes) {
    ZR_Image image;
    if (s.rows > 0) image = ZR_Image(s.rows, s.cols);
    for (int r = 0; r < s.rows; ++r)
      for (int c = 0; c < s.cols; ++c) image[r][c] = ZR_Colour{uint8_t(r), uint8_t(c), 9, 255};
    ZR_AnnoModel2D model;
    ZR_String error = "previous text\n";
    int32_t stage = 99;
    EXPECT_FALSE(fitter.FindAndFit(detectors, image, params, model, error, &stage))
        << s.rows << "x" << s.cols;
    EXPECT_STREQ(" Failed to find face", error.m_text) << s.rows << "x" << s.cols;
    EXPECT_EQ(ZR_STAGE_NONE, stage);
  }
}

TEST(ZrLandmarkFitter, ReadFailsOnEmptyAndHeaderOnlyStreams) {
  for (const std::vector<uint8_t>& bytes :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{1, 0}, std::vector<uint8_t>{1, 0, 0, 0}}) {
    ZR_LandmarkFitter fitter;
    ZR_MemoryFile file(bytes);
    EXPECT_FALSE(fitter.Read(file.get())) << bytes.size() << " bytes";
    EXPECT_EQ(nullptr, fitter.m_predictor);
  }
}

// The quick fixture file, cut at every record boundary (found by the readers themselves) and
// inside every record: each cut fails, and the whole file reads to its last byte.
TEST(ZrLandmarkFitter, ModelsTruncatedFileFailsAtEveryRecordBoundary) {
  const std::string path = std::string(ZR_BINARY_DIR) + "/models/quick/Landmarks.data";
  const std::vector<uint8_t> bytes = FileBytes(path);
  if (bytes.empty()) GTEST_SKIP() << "no model files at " << path;

  std::vector<long> ends;  // end offset of the header and of each record
  {
    ZR_MemoryFile file(bytes);
    FILE* f = file.get();
    int32_t header;
    ASSERT_EQ(1u, std::fread(&header, 4, 1, f));
    ends.push_back(std::ftell(f));
    ZR_LandmarkModel landmark_model;
    ASSERT_NE(nullptr, landmark_model.Read(f));
    ends.push_back(std::ftell(f));
    ZR_RegressionLandmarkModel regression_model;
    ASSERT_NE(nullptr, regression_model.Read(f));
    ends.push_back(std::ftell(f));
    ZR_LandmarkFitter whole;
    ZR_MemoryFile again(bytes);
    ASSERT_TRUE(whole.Read(again.get()));
    EXPECT_EQ(0, again.Left()) << "the predictor is the last record";
    ends.push_back(long(bytes.size()));
  }
  std::vector<long> cuts = {0, 2};
  long start = 0;
  for (long end : ends) {
    cuts.push_back(start + (end - start) / 2);           // inside the record
    cuts.push_back(end - 1);                             // one byte short of its end
    if (end != long(bytes.size())) cuts.push_back(end);  // at the boundary
    start = end;
  }
  for (long cut : cuts) {
    ZR_LandmarkFitter fitter;
    ZR_MemoryFile file(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
    EXPECT_FALSE(fitter.Read(file.get())) << "cut at " << cut << " of " << bytes.size();
  }
}
