// tests/core/array_record_seeds_test.cpp: the seeds of the array_records fuzz target are records
// made by the project's writers (and, for records the product only reads, by the test record
// builder). This test rebuilds them and checks the committed files; ZR_UPDATE_SEEDS=1 rewrites
// the files instead.
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/zr_array.h"
#include "core/zr_array2d.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FloatArray() {
  ZR_Array<float> a;
  a.Resize(-2, 3);
  for (int i = -2; i <= 3; ++i) a[i] = 0.5f * i;
  return ZR_WrittenBytes([&](FILE* f) { return a.Write(f); });
}

Bytes IntArrays() {
  ZR_Array<int> a, b;
  a.Resize(0, 3);
  for (int i = 0; i <= 3; ++i) a[i] = 1 - i;
  return ZR_WrittenBytes([&](FILE* f) { return a.Write(f) && b.Write(f) ? f : nullptr; });
}

Bytes ByteArray() {
  ZR_Array<unsigned char> a;
  a.Resize(10);
  for (int i = 0; i < 10; ++i) a[i] = static_cast<unsigned char>(i * 25);
  return ZR_WrittenBytes([&](FILE* f) { return a.Write(f); });
}

Bytes Matrices() {
  ZR_Array2D<float> a, empty;
  a.Resize(1, 2, -1, 1);
  for (int r = 1; r <= 2; ++r)
    for (int c = -1; c <= 1; ++c) a[r][c] = float(r * 10 + c);
  return ZR_WrittenBytes([&](FILE* f) { return a.Write(f) && empty.Write(f) ? f : nullptr; });
}

const struct {
  const char* file;
  std::function<Bytes()> make;
} kSeeds[] = {
    {"float_array.bin", FloatArray},
    {"int_arrays.bin", IntArrays},
    {"byte_array.bin", ByteArray},
    {"matrices.bin", Matrices},
    {"point_array.bin",
     [] { return ZR_RecordBytes().ArrayHeader(2, 0, 1).F32(0.25f).F32(0.75f).F32(1).F32(0); }},
    {"barys_array.bin",
     [] {
       return ZR_RecordBytes().ArrayHeader(1, 0, 0).F32(0.2f).F32(0.3f).F32(0.5f).I32(0).I32(1).I32(
           2);
     }},
    {"point_list.bin",
     [] { return ZR_RecordBytes().I32(2).F32(0.5f).F32(0.5f).F32(0.1f).F32(0.9f); }},
    {"triangle_list.bin", [] { return ZR_RecordBytes().I32(1).I32(0).I32(1).I32(2).I32(0); }},
    {"strings.bin", [] { return ZR_RecordBytes().String("FACE").String("").String("LEFT EYE"); }},
};

TEST(ArrayRecordSeeds, CommittedSeedsAreWhatTheWritersMake) {
  const std::string dir = std::string(ZR_SOURCE_DIR) + "/fuzz/seeds/array_records/";
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
