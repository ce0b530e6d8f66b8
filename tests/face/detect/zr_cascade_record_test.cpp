// tests/face/detect/zr_cascade_record_test.cpp: the cascade record reader (golden bytes, every
// prefix, counts past the bytes left), the checks that keep bad tables from the library, and the
// cascade text whose thresholds the library must read back exactly.
#include "face/detect/zr_cascade_record.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <random>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "tools/quillbeck_models/records/cascade_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

// The one-stump cascade's record: head 25, stages 16, trees 8, nodes 20, leaves 12, subsets 36,
// evaluator words 32, one feature 16.
constexpr size_t kOneStumpBytes = 165;

bool Reads(const std::vector<uint8_t>& bytes, zr_cascade_record* out = nullptr,
           std::string* error = nullptr) {
  ZR_MemoryFile f(bytes);
  zr_cascade_record r;
  const bool ok = ReadCascadeRecord(f.get(), r, error) != nullptr;
  if (out != nullptr) *out = r;
  return ok;
}

TEST(CascadeRecord, GoldenOneStumpRecordReadsBackAndStopsAtItsEnd) {
  const zr_cascade_record source = OneStumpCascade(255, 1.0f, -1.0f, 0.25f);
  std::vector<uint8_t> bytes = CascadeRecordBytes(source);
  ASSERT_EQ(kOneStumpBytes, bytes.size());
  // The head in record order: version, stump byte, stage type, feature type, cats, height, width.
  const uint8_t head[25] = {1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0,
                            0, 1, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(head, bytes.data(), 25));
  bytes.push_back(0xEE);  // a following record's byte stays unread
  ZR_MemoryFile f(bytes);
  zr_cascade_record r;
  ASSERT_EQ(f.get(), ReadCascadeRecord(f.get(), r));
  EXPECT_EQ(1, f.Left());
  EXPECT_EQ(3, r.window_height);
  EXPECT_EQ(0.25f, r.stages[0].threshold);
  EXPECT_EQ(int32_t(1u << 31), r.subsets[7]);
  EXPECT_EQ(-1.0f, r.leaves[1]);
  EXPECT_EQ(1, r.features[0].block_h);
}

TEST(CascadeRecord, EveryPrefixFailsCleanly) {
  const std::vector<uint8_t> bytes = CascadeRecordBytes(OneStumpCascade(7, 1, -1, 0));
  for (size_t n = 0; n < bytes.size(); ++n) {
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
    EXPECT_FALSE(Reads(cut)) << "prefix " << n;
  }
  EXPECT_TRUE(Reads(bytes));
}

// A two-node tree: node 0 goes left to node 1, which ends in leaves 0 and 1; node 0's right is 2.
zr_cascade_record TwoNodeCascade() {
  zr_cascade_record r = OneStumpCascade(255, 1, -1, 0);
  r.stump_based = 0;
  r.trees = {2};
  r.nodes = {{0, 1, -2, 0}, {0, 0, -1, 0}};
  r.leaves = {1, 2, 3};
  r.subsets.resize(16, 0);
  return r;
}

TEST(CascadeRecord, CheckRefusesTablesTheLibraryWouldMisread) {
  const struct {
    const char* what;
    std::function<void(zr_cascade_record&)> spoil;
  } cases[] = {
      {"feature type 2", [](zr_cascade_record& r) { r.feature_type = 2; }},
      {"128 categories", [](zr_cascade_record& r) { r.categories = 128; }},
      {"stage type 1", [](zr_cascade_record& r) { r.stage_type = 1; }},
      {"zero window", [](zr_cascade_record& r) { r.window_width = 0; }},
      {"leaf index past the tree", [](zr_cascade_record& r) { r.nodes[0].right = -2; }},
      {"child pointing at itself", [](zr_cascade_record& r) { r.nodes[0].left = 1; }},
      {"feature index past the table", [](zr_cascade_record& r) { r.nodes[0].feature = 1; }},
      {"negative feature index", [](zr_cascade_record& r) { r.nodes[0].feature = -1; }},
      {"feature grid past the window", [](zr_cascade_record& r) { r.features[0].x = 1; }},
      {"feature block of width 0", [](zr_cascade_record& r) { r.features[0].block_w = 0; }},
      {"stage past the trees", [](zr_cascade_record& r) { r.stages[0].count = 2; }},
      {"negative first tree", [](zr_cascade_record& r) { r.stages[0].first = -1; }},
      {"node count not the tree sum", [](zr_cascade_record& r) { r.trees = {2}; }},
      {"missing leaf", [](zr_cascade_record& r) { r.leaves.pop_back(); }},
      {"missing subset word", [](zr_cascade_record& r) { r.subsets.pop_back(); }},
      {"NaN leaf", [](zr_cascade_record& r) { r.leaves[0] = NAN; }},
      {"infinite threshold", [](zr_cascade_record& r) { r.stages[0].threshold = INFINITY; }},
  };
  ASSERT_TRUE(CheckCascadeRecord(OneStumpCascade(255, 1, -1, 0)));
  for (const auto& c : cases) {
    zr_cascade_record r = OneStumpCascade(255, 1, -1, 0);
    c.spoil(r);
    std::string error;
    EXPECT_FALSE(CheckCascadeRecord(r, &error)) << c.what;
    EXPECT_FALSE(Reads(CascadeRecordBytes(r))) << c.what;
    EXPECT_EQ(0u, error.find("CheckCascadeRecord() Error! ")) << c.what << ": " << error;
  }
  // Deeper trees: a child must lie after its parent and inside the tree.
  ASSERT_TRUE(CheckCascadeRecord(TwoNodeCascade()));
  zr_cascade_record back = TwoNodeCascade();
  back.nodes[1].left = 1;  // node 1 pointing at itself would loop for ever
  EXPECT_FALSE(CheckCascadeRecord(back));
  zr_cascade_record past = TwoNodeCascade();
  past.nodes[0].left = 2;
  EXPECT_FALSE(CheckCascadeRecord(past));
}

TEST(CascadeRecord, CountsPastTheBytesLeftFailBeforeAllocating) {
  const std::vector<uint8_t> good = CascadeRecordBytes(OneStumpCascade(255, 1, -1, 0));
  const struct {
    const char* table;
    size_t offset;  // of the count in the golden record
  } counts[] = {{"stages", 25}, {"trees", 41},   {"nodes", 49},
                {"leaves", 69}, {"subsets", 81}, {"features", 117}};
  for (const auto& c : counts) {
    for (int32_t bad : {-1, 70000, 0x7fffffff}) {
      std::vector<uint8_t> bytes = good;
      std::memcpy(&bytes[c.offset], &bad, 4);
      std::string error;
      EXPECT_FALSE(Reads(bytes, nullptr, &error)) << c.table << " " << bad;
      EXPECT_NE(std::string::npos, error.find("ReadCascadeRecord() Error!")) << error;
    }
  }
  std::vector<uint8_t> bytes = good;
  const int32_t stages = 70000;
  std::memcpy(&bytes[25], &stages, 4);
  std::string error;
  Reads(bytes, nullptr, &error);
  EXPECT_EQ("ReadCascadeRecord() Error! stage count 70000 exceeds the 136 bytes left\n", error);
}

TEST(CascadeRecord, ZeroStagesIsAValidRecord) {
  zr_cascade_record r = OneStumpCascade(255, 1, -1, 0);
  r.stages.clear();
  EXPECT_TRUE(Reads(CascadeRecordBytes(r)));
}

// The library subtracts 1e-5f from every stage threshold it reads; the text must undo that for
// every value, so that the classifier holds the record's threshold to the bit.
TEST(CascadeRecord, TextThresholdsReadBackExactly) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> any(-20.0f, 5.0f);
  std::vector<float> values = {-0.75f, -3.3049023f, 0.5f, 0.0f, -1e-5f, 1e-5f, 1e-3f, -12.5f};
  for (int i = 0; i < 300; ++i) values.push_back(any(rng));
  zr_cascade_record r = OneStumpCascade(255, 1, -1, 0);
  r.trees.assign(values.size(), 1);
  r.nodes.assign(values.size(), zr_cascade_node{0, 0, -1, 0});
  r.leaves.assign(values.size() * 2, 0.5f);
  r.subsets.assign(values.size() * 8, 0);
  r.stages.clear();
  for (size_t i = 0; i < values.size(); ++i) r.stages.push_back({int32_t(i), 1, values[i]});
  ASSERT_TRUE(CheckCascadeRecord(r));
  cv::FileStorage fs(CascadeRecordText(r), cv::FileStorage::READ | cv::FileStorage::MEMORY);
  const cv::FileNode stages = fs.getFirstTopLevelNode()["stages"];
  ASSERT_EQ(values.size(), stages.size());
  size_t i = 0;
  int exact = 0;
  for (const cv::FileNode& s : stages) {
    const float library = float(s["stageThreshold"]) - 1e-5f;
    exact += library == values[i];
    EXPECT_EQ(values[i], library) << "stage " << i;
    ++i;
  }
  EXPECT_EQ(int(values.size()), exact);
}

TEST(CascadeRecord, TextPutsStumpsInTheLibrarysConvention) {
  // Children swapped (left = leaf 1, right = leaf 0): the text lists leaf 1 first.
  const zr_cascade_record r = OneStumpCascade(255, 1.5f, -2.5f, 0, -1, 0);
  const std::string text = CascadeRecordText(r);
  EXPECT_NE(std::string::npos, text.find("internalNodes: [0, -1, 0, ")) << text;
  EXPECT_NE(std::string::npos, text.find("leafValues: [-2.5, 1.5]")) << text;
}

}  // namespace
