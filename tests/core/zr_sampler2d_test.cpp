// tests/core/zr_sampler2d_test.cpp: the mesh sampler record: what each format reads, where it
// stops, short and implausible records, and the seeds of the mesh_sampler fuzz target.
#include "core/zr_sampler2d.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/quillbeck_models/records/sampler_record.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Bytes each format reads: the fixed part with weights and points, then the blocks it adds.
constexpr long kFixed = 16 + (24 + 2 * 24) + (24 + 3 * 8);
constexpr long kCoordinates = 24 + 2 * 8;
constexpr long kTriangles = 4 + 12;
constexpr long kIndices = 24 + 3 * 4;
constexpr long kIndexSets = 1 + 4 + 2 * (24 + 4) + 1;

// The record of a format with only the blocks that format reads.
Bytes OwnRecord(int32_t format) {
  long n = kFixed;
  if (format >= 2 && format <= 5) n += kCoordinates;
  if (format >= 3 && format <= 5) n += kTriangles;
  if (format >= 4 && format <= 5) n += kIndices;
  if (format == 5) n += kIndexSets;
  Bytes record = SamplerRecord(format);
  record.resize(size_t(n));
  return record;
}

TEST(ZrSampler2D, ConstructsWithTheRecordDefaults) {
  ZR_Sampler2D s;
  EXPECT_EQ(5, s.m_format);
  EXPECT_EQ(1, s.m_value_a);
  EXPECT_EQ(0, s.m_value_b);
  EXPECT_EQ(0, s.m_value_c);
  EXPECT_EQ(0, s.m_flag_a);
  EXPECT_EQ(0, s.m_flag_b);
  EXPECT_EQ(1, s.m_flag_c);
  EXPECT_EQ(0u, s.m_word_a);
  EXPECT_EQ(0u, s.m_word_b);
  EXPECT_TRUE(s.m_path == "C:\\Temp");
  EXPECT_EQ(4u, s.m_triangles.m_grow_step);
  EXPECT_EQ(0u, s.m_points.m_count + s.m_weights.m_count + s.m_coordinates.m_count +
                    s.m_indices.m_count + s.m_index_sets.m_count + s.m_triangles.m_count);
}

TEST(ZrSampler2D, EachFormatReadsItsBlocksAndStops) {
  const struct {
    int32_t format;
    long bytes;
    uint32_t coordinates, triangles, indices, index_sets;
  } cases[] = {
      {0, kFixed, 0, 0, 0, 0},
      {1, kFixed, 0, 0, 0, 0},
      {7, kFixed, 0, 0, 0, 0},
      {-3, kFixed, 0, 0, 0, 0},
      {2, kFixed + kCoordinates, 2, 0, 0, 0},
      {3, kFixed + kCoordinates + kTriangles, 2, 1, 0, 0},
      {4, kFixed + kCoordinates + kTriangles + kIndices, 2, 1, 3, 0},
      {5, kFixed + kCoordinates + kTriangles + kIndices + kIndexSets, 2, 1, 3, 2},
  };
  for (const auto& c : cases) {
    ZR_MemoryFile file(SamplerRecord(c.format));
    ZR_Sampler2D s;
    ASSERT_EQ(file.get(), s.Read(file.get())) << c.format;
    EXPECT_EQ(c.bytes, std::ftell(file.get())) << c.format;
    EXPECT_EQ(5, s.m_format) << c.format;
    EXPECT_EQ(11, s.m_value_a);
    EXPECT_EQ(12, s.m_value_b);
    EXPECT_EQ(13, s.m_value_c);
    EXPECT_EQ(2u, s.m_weights.m_count);
    EXPECT_EQ(3u, s.m_points.m_count);
    EXPECT_EQ(c.coordinates, s.m_coordinates.m_count) << c.format;
    EXPECT_EQ(c.triangles, s.m_triangles.m_count) << c.format;
    EXPECT_EQ(c.indices, s.m_indices.m_count) << c.format;
    EXPECT_EQ(c.index_sets, s.m_index_sets.m_count) << c.format;
  }
}

TEST(ZrSampler2D, Format5KeepsEveryValueInFieldOrder) {
  ZR_MemoryFile file(SamplerRecord(5));
  ZR_Sampler2D s;
  ASSERT_EQ(file.get(), s.Read(file.get()));
  EXPECT_EQ(1.0f, s.m_points[1].x);
  EXPECT_EQ(0.5f, s.m_weights[1].z);
  EXPECT_EQ(3, s.m_weights[1].tri.v2);
  EXPECT_EQ(7, s.m_coordinates[1].y);
  EXPECT_EQ(2, s.m_triangles[0].v2);
  EXPECT_EQ(7, s.m_indices[2]);
  EXPECT_EQ(0xA1, s.m_flag_a);
  EXPECT_EQ(101, s.m_index_sets[1][0]);
  EXPECT_EQ(0xB2, s.m_flag_b);
}

TEST(ZrSampler2D, Format5WithNoIndexSetsStillReadsFlagB) {
  ZR_MemoryFile file(SamplerRecord(5, 0));
  ZR_Sampler2D s;
  ASSERT_EQ(file.get(), s.Read(file.get()));
  EXPECT_EQ(0u, s.m_index_sets.m_count);
  EXPECT_EQ(0xB2, s.m_flag_b);
  EXPECT_EQ(0, file.Left());
}

TEST(ZrSampler2D, EveryCutRecordFailsAndKeepsTheFormatRead) {
  for (int32_t format : {4, 5}) {
    const Bytes whole = OwnRecord(format);
    for (size_t n = 0; n < whole.size(); ++n) {
      ZR_MemoryFile file(Bytes(whole.begin(), whole.begin() + long(n)));
      ZR_Sampler2D s;
      s.m_format = 99;
      EXPECT_EQ(nullptr, s.Read(file.get())) << format << " cut at " << n;
      EXPECT_EQ(n < 4 ? 99 : format, s.m_format) << format << " cut at " << n;
    }
  }
}

TEST(ZrSampler2D, RefusesNegativeAndOversizedIndexSetCounts) {
  for (int32_t count : {-1, -2147483647 - 1, 3, 1 << 30}) {
    Bytes record = SamplerRecord(5, 0);
    // Patch the count (after flag A, 5 bytes before the end) without adding the sets.
    const size_t at = record.size() - 5;
    std::memcpy(&record[at], &count, 4);
    ZR_MemoryFile file(record);
    ZR_Sampler2D s;
    EXPECT_EQ(nullptr, s.Read(file.get())) << count;
    EXPECT_EQ(0u, s.m_index_sets.m_count) << count;
  }
}

// The fuzz target's seeds are these records; ZR_UPDATE_SEEDS=1 rewrites them.
TEST(ZrSampler2D, CommittedFuzzSeedsAreTheseRecords) {
  const struct {
    const char* file;
    Bytes bytes;
  } seeds[] = {{"format2.bin", OwnRecord(2)},
               {"format5.bin", OwnRecord(5)},
               {"format5_no_sets.bin", SamplerRecord(5, 0)},
               {"format7.bin", OwnRecord(7)}};
  const std::string dir = std::string(ZR_SOURCE_DIR) + "/fuzz/seeds/mesh_sampler/";
  const bool update = std::getenv("ZR_UPDATE_SEEDS") != nullptr;
  for (const auto& seed : seeds) {
    if (update) {
      std::ofstream(dir + seed.file, std::ios::binary)
          .write(reinterpret_cast<const char*>(seed.bytes.data()),
                 std::streamsize(seed.bytes.size()));
      continue;
    }
    std::ifstream in(dir + seed.file, std::ios::binary);
    ASSERT_TRUE(in) << seed.file;
    const Bytes committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(seed.bytes, committed) << seed.file;
  }
}

}  // namespace
