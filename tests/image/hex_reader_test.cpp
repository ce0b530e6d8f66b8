// tests/image/hex_reader_test.cpp: the hexadecimal grey text format — digits, line ends, the two
// size lines, and what is dropped.
#include <gtest/gtest.h>

#include "tests/image/test_support.h"

namespace {

using namespace image_files;

const char kHeader[] = "a\nb\nc\nsize 1 2 3\n";

std::string Hex(int cols, int rows, const std::string& lines) {
  return kHeader + std::string("dims ") + std::to_string(cols) + " " + std::to_string(rows) +
         " 0\n" + lines;
}

std::vector<int> Greys(const Picture& p) {  // bottom row first, as the file holds them
  std::vector<int> v;
  for (int y = p.height - 1; y >= 0; --y)
    for (int x = 0; x < p.width; ++x) v.push_back(p.at(x, y).r);
  return v;
}

TEST(LoadHex, PairsOfCharactersFillRowsFromTheBottom) {
  ZR_TempFolder dir;
  // 00 and FF span the range, so stretching keeps the other values.
  const struct {
    const char* what;
    std::string text;
    std::vector<int> expected;
  } cases[] = {
      {"upper-case digits", Hex(3, 2, "000A1B\nFF0102\n"), {0, 10, 27, 255, 1, 2}},
      {"lower-case a is its code", Hex(2, 2, "0a00\nFF00\n"), {97, 0, 255, 0}},
      {"CR LF line ends", Hex(2, 2, "0010\r\nFF20\r\n"), {0, 16, 255, 32}},
      {"odd line drops its last character", Hex(2, 2, "00107\nFF20\n"), {0, 16, 255, 32}},
      {"values beyond the picture dropped", Hex(2, 1, "00FF1234\n5678\n"), {0, 255}},
      {"blank lines after the size lines", Hex(2, 1, "\n\n00FF\n"), {0, 255}},
      {"missing values are 0", Hex(2, 2, "FF40\n"), {255, 64, 0, 0}},
  };
  for (const auto& c : cases) {
    LoadResult r = LoadText(dir, "a.hex", c.text);
    ASSERT_TRUE(r.ok) << c.what;
    EXPECT_EQ(c.expected, Greys(r.picture)) << c.what;
  }
}

TEST(LoadHex, RefusesBadSizeLines) {
  ZR_TempFolder dir;
  const std::string long_word(300, 'w');
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"no size lines", "a\nb\nc\n"},
      {"a number missing", std::string(kHeader) + "dims 2\n00FF\n"},
      {"a word longer than 255", std::string(kHeader) + long_word + " 2 2 0\n00FF\n"},
      {"zero columns", Hex(0, 2, "00\n")},
      {"negative rows", Hex(2, -2, "00\n")},
      {"too many pixels", Hex(65535, 65535, "00\n")},
      {"a number too large", std::string(kHeader) + "dims 99999999999 1 0\n"},
  };
  for (const auto& c : cases) EXPECT_FALSE(LoadText(dir, "a.hex", c.text).ok) << c.what;
}

}  // namespace
