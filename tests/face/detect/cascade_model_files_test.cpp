// tests/face/detect/cascade_model_files_test.cpp: opencv-data's LBP cascades converted by the model
// builder and read back by the system against the library loading the same XML (photos and
// noise), and the generated "Detectors.data". Skipped when the packages are absent.
#include <cstdio>
#include <random>
#include <set>
#include <tuple>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "face/detect/internal/grey_working_image.h"
#include "face/detect/zr_cascade_classifier.h"
#include "tests/face/face_test_support.h"
#include "tools/quillbeck_models/cascade_records.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

ZR_Image Noise(int rows, int cols, unsigned seed) {
  std::mt19937 rng(seed);
  ZR_Image image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      image[r][c] = ZR_Colour{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 255};
  return image;
}

using RectSet = std::set<std::tuple<int, int, int, int>>;

RectSet Rects(const std::vector<cv::Rect>& v) {
  RectSet s;
  for (const cv::Rect& r : v) s.insert({r.x, r.y, r.width, r.height});
  return s;
}

// Each opencv-data cascade converted to a record and read back finds the same rectangles as the
// library loading its XML, on photos and on noise.
TEST(ZrCascadeClassifier, RecordRoundTripMatchesTheLibrary) {
  ZR_SKIP_UNLESS_FILE(CascadeXml("lbpcascade_frontalface.xml"), "opencv-data not installed");
  ZR_SKIP_UNLESS_FILE(ExamplePhoto("faces/2008_002470.jpg"), "dlib example photos absent");
  std::vector<ZR_Image> images;
  for (const char* name : {"faces/2008_002470.jpg", "faces/2009_004587.jpg", "faces/bald_guys.jpg",
                           "faces/2008_001322.jpg"}) {
    images.emplace_back();
    ASSERT_TRUE(LoadPhoto(ExamplePhoto(name), images.back()));
  }
  images.push_back(Noise(240, 320, 7));
  int total = 0;
  for (const char* xml : {"lbpcascade_frontalface.xml", "lbpcascade_frontalface_improved.xml",
                          "lbpcascade_profileface.xml"}) {
    cv::CascadeClassifier library(CascadeXml(xml));
    ASSERT_FALSE(library.empty()) << xml;
    std::string error;
    const std::vector<uint8_t> bytes = CascadeRecordFromXml(CascadeXml(xml), error);
    ASSERT_FALSE(bytes.empty()) << error;
    ZR_MemoryFile f(bytes);
    ZR_CascadeClassifier ours;
    ASSERT_EQ(f.get(), ours.Read(f.get())) << xml;
    EXPECT_EQ(0, f.Left());
    EXPECT_EQ(library.getOriginalWindowSize(), ours.getOriginalWindowSize()) << xml;
    for (size_t i = 0; i < images.size(); ++i) {
      cv::Mat grey;
      ASSERT_TRUE(GreyWorkingImage(images[i], grey));
      cv::equalizeHist(grey, grey);
      std::vector<cv::Rect> a, b;
      library.detectMultiScale(grey, a, 1.1, 3, 0, cv::Size(20, 20));
      ours.detectMultiScale(grey, b, 1.1, 3, 0, cv::Size(20, 20));
      EXPECT_EQ(Rects(a), Rects(b)) << xml << " image " << i;
      if (i + 1 == images.size()) {
        EXPECT_TRUE(a.empty()) << "faces in noise: " << xml;
      }
      total += int(a.size());
    }
  }
  EXPECT_GT(total, 5);  // the photos do hold faces
}

TEST(ZrCascadeClassifier, DetectorsFileHoldsFourCascades) {
  const std::string path = ModelFile("full", "Detectors.data");
  ZR_SKIP_UNLESS_FILE(path, "the model builder did not run (opencv-data absent?)");
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(nullptr, f);
  int32_t version = 0;
  ASSERT_EQ(1u, std::fread(&version, 4, 1, f));
  EXPECT_EQ(1, version);
  ZR_CascadeClassifier c[4];
  for (auto& cascade : c) EXPECT_EQ(f, cascade.Read(f));
  EXPECT_EQ(EOF, std::fgetc(f));
  std::fclose(f);
  EXPECT_EQ(24, c[0].m_record.window_width);
  EXPECT_EQ(45, c[1].m_record.window_width);
  EXPECT_EQ(34, c[2].m_record.window_height);
  EXPECT_EQ(c[1].m_record.nodes.size(), c[3].m_record.nodes.size());
  for (const auto& cascade : c) EXPECT_EQ(1, cascade.m_record.stump_based);
}

}  // namespace
