// tests/face/zr_face_detectors_test.cpp: "Detectors.data": a file of four cascades loads and
// makes the HOG detector, every cut (three cascades included) fails, a second read replaces the
// detector, and the fixture file loads to its last byte.
#include "face/zr_face_detectors.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/model_file_records.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

TEST(ZrFaceDetectors, ReadsFourCascadesAndMakesTheHogDetector) {
  const zr_model_file file = DetectorsFile(4);
  ZR_FaceDetectors detectors;
  EXPECT_EQ(nullptr, detectors.m_hog_detector);
  ZR_MemoryFile stream(file.bytes);
  ASSERT_EQ(stream.get(), detectors.Read(stream.get()));
  EXPECT_NE(nullptr, detectors.m_hog_detector);
  EXPECT_EQ(0, stream.Left());
  for (const ZR_CascadeClassifier& c : detectors.m_cascade) EXPECT_FALSE(c.HasStages());

  // A second read deletes the first detector (the leak check of the sanitizer build sees it).
  ZR_MemoryFile again(file.bytes);
  ASSERT_EQ(again.get(), detectors.Read(again.get()));
  EXPECT_NE(nullptr, detectors.m_hog_detector);
}

TEST(ZrFaceDetectors, EveryCutAndThreeCascadesFail) {
  const zr_model_file file = DetectorsFile(4);
  for (long cut : file.Cuts()) {
    ZR_FaceDetectors detectors;
    ZR_MemoryFile stream(file.Prefix(cut));
    EXPECT_EQ(nullptr, detectors.Read(stream.get())) << "cut at " << cut;
    EXPECT_EQ(nullptr, detectors.m_hog_detector) << "cut at " << cut;
  }
  ZR_FaceDetectors detectors;
  ZR_MemoryFile three(DetectorsFile(3).bytes);
  EXPECT_EQ(nullptr, detectors.Read(three.get()));
}

TEST(ZrFaceDetectors, ModelsFixtureFileLoadsToItsEnd) {
  const std::string path = std::string(ZR_BINARY_DIR) + "/models/quick/Detectors.data";
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (bytes.empty()) GTEST_SKIP() << "no model files at " << path;
  ZR_FaceDetectors detectors;
  ZR_MemoryFile stream(bytes);
  ASSERT_EQ(stream.get(), detectors.Read(stream.get()));
  EXPECT_EQ(0, stream.Left());
  for (const ZR_CascadeClassifier& c : detectors.m_cascade) EXPECT_TRUE(c.HasStages());
}
