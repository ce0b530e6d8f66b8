// tests/face/model_file_seeds_test.cpp: the seeds of the model_files fuzz target (first byte: 0
// "Detectors.data", 1 "IsFace.data", 2 "Landmarks.data") are made by the mirror writers. This
// test rebuilds them and checks the committed files; ZR_UPDATE_SEEDS=1 rewrites them instead.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/model_file_records.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Seed(uint8_t file, const Bytes& bytes) {
  Bytes seed(1 + bytes.size());
  seed[0] = file;
  std::copy(bytes.begin(), bytes.end(), seed.begin() + 1);
  return seed;
}

// A ready three-point estimator: a right triangle in the image plane and its pseudo-inverse.
zr_pose_estimator_fields SmallEstimator() {
  zr_pose_estimator_fields e = UnreadyEstimator();
  const float object[3][3] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 5}};
  const float pinv[3][3] = {{0, 0.1f, 0}, {0, 0, 0.1f}, {0, 0, 0}};
  e.n = 3;
  e.ready = 1;
  e.corrections.Resize(3);
  e.object = ZR_Matrix(3, 3);
  e.pinv = ZR_Matrix(3, 3);
  for (int r = 0; r < 3; ++r) {
    e.corrections[r] = 0;
    for (int c = 0; c < 3; ++c) {
      e.object[r][c] = object[r][c];
      e.pinv[r][c] = pinv[r][c];
    }
  }
  return e;
}

const struct {
  const char* file;
  std::function<Bytes()> make;
} kSeeds[] = {
    {"detectors.bin", [] { return Seed(0, DetectorsFile(4).bytes); }},
    {"detectors_three_cascades.bin", [] { return Seed(0, DetectorsFile(3).bytes); }},
    {"isface.bin", [] { return Seed(1, IsFaceFile(SmallEstimator()).bytes); }},
    {"landmarks_header_only.bin", [] { return Seed(2, ZR_RecordBytes().I32(1)); }},
    // The header, then a landmark-model record that ends after its two estimators.
    {"landmarks_estimators.bin",
     [] {
       return Seed(2, ZR_RecordBytes()
                          .I32(1)
                          .I32(1)
                          .Record(PoseEstimatorRecord(SmallEstimator()))
                          .Record(PoseEstimatorRecord(UnreadyEstimator())));
     }},
};

TEST(ModelFileSeeds, CommittedSeedsAreWhatTheWritersMake) {
  const std::string dir = std::string(ZR_SOURCE_DIR) + "/fuzz/seeds/model_files/";
  const bool update = std::getenv("ZR_UPDATE_SEEDS") != nullptr;
  for (const auto& seed : kSeeds) {
    const Bytes made = seed.make();
    if (update) {
      std::ofstream(dir + seed.file, std::ios::binary)
          .write(reinterpret_cast<const char*>(made.data()), std::streamsize(made.size()));
      continue;
    }
    std::ifstream in(dir + seed.file, std::ios::binary);
    ASSERT_TRUE(in) << seed.file << " is missing; run with ZR_UPDATE_SEEDS=1";
    const Bytes committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(made, committed) << seed.file;
  }
}

}  // namespace
