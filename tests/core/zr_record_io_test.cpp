// tests/core/zr_record_io_test.cpp: bytes left in a stream and the count check of the readers.
#include "core/zr_record_io.h"

#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "tools/quillbeck_models/records/zr_memory_file.h"

namespace {

TEST(ZrBytesLeft, RegularFileKeepsPositionAndBuffer) {
  FILE* f = std::tmpfile();
  ASSERT_NE(nullptr, f);
  for (int i = 0; i < 100; ++i) std::fputc(i, f);
  std::rewind(f);
  EXPECT_EQ(100, ZR_BytesLeft(f));
  EXPECT_EQ(0, std::fgetc(f));
  EXPECT_EQ(1, std::fgetc(f));
  EXPECT_EQ(98, ZR_BytesLeft(f));
  EXPECT_EQ(2, std::fgetc(f)) << "the read goes on where it was";
  std::fseek(f, 0, SEEK_END);
  EXPECT_EQ(0, ZR_BytesLeft(f));
  std::fclose(f);
}

TEST(ZrBytesLeft, MemoryStreamSeeksBack) {
  ZR_MemoryFile f(std::vector<uint8_t>{10, 11, 12, 13});
  EXPECT_EQ(4, ZR_BytesLeft(f.get()));
  EXPECT_EQ(10, std::fgetc(f.get()));
  EXPECT_EQ(3, ZR_BytesLeft(f.get()));
  EXPECT_EQ(11, std::fgetc(f.get()));
  ZR_MemoryFile empty(std::vector<uint8_t>{});
  EXPECT_EQ(0, ZR_BytesLeft(empty.get()));
}

TEST(ZrBytesLeft, UnknownForPipesAndNull) {
  EXPECT_EQ(-1, ZR_BytesLeft(nullptr));
  FILE* pipe = popen("echo abc", "r");
  ASSERT_NE(nullptr, pipe);
  EXPECT_EQ(-1, ZR_BytesLeft(pipe));
  EXPECT_TRUE(ZR_RecordFits(pipe, 1000000, 4)) << "unknown size: only overflow is refused";
  EXPECT_FALSE(ZR_RecordFits(pipe, 1ull << 62, 8));
  pclose(pipe);
}

TEST(ZrRecordFits, ComparesTheElementBytesWithTheBytesLeft) {
  ZR_MemoryFile f(std::vector<uint8_t>(12));
  EXPECT_TRUE(ZR_RecordFits(f.get(), 3, 4));
  EXPECT_FALSE(ZR_RecordFits(f.get(), 4, 3 + 1));
  EXPECT_TRUE(ZR_RecordFits(f.get(), 0, 4));
  EXPECT_FALSE(ZR_RecordFits(f.get(), 0x8000000000000000ull, 2)) << "the product overflows";
}

TEST(ZrRecordValues, TwoByteFieldsKeepTheirSign) {
  const std::vector<uint8_t> bytes = ZR_WrittenBytes([](FILE* f) {
    const int16_t values[] = {-3, 32767, -32768};
    return ZR_WriteValues(f, values, 3) ? f : nullptr;
  });
  ASSERT_EQ((std::vector<uint8_t>{0xfd, 0xff, 0xff, 0x7f, 0x00, 0x80}), bytes);
  ZR_MemoryFile f(bytes);
  int16_t values[3];
  ASSERT_TRUE(ZR_ReadValues(f.get(), values, 3));
  EXPECT_EQ(-3, values[0]);
  EXPECT_EQ(-32768, values[2]);
  int16_t past_end;
  EXPECT_FALSE(ZR_ReadValue(f.get(), past_end));
}

}  // namespace
