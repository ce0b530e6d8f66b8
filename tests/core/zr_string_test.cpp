// tests/core/zr_string_test.cpp: ZR_String equality, float text, path parts and its record.
#include "core/zr_string.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

void ExpectText(const char* expected, const ZR_String& s, const std::string& what = "") {
  EXPECT_STREQ(expected, s.m_text) << what;
  EXPECT_EQ(std::strlen(expected) + 1, s.m_length) << what;
}

TEST(ZrString, ConstructorsCountTheTerminatingZero) {
  ExpectText("", ZR_String());
  ExpectText("abc", ZR_String("abc"));
  ExpectText("-7", ZR_String(-7));
  ExpectText("-2147483648", ZR_String(std::numeric_limits<int>::min()));
  ExpectText("2.50", ZR_String(2.5f, 2));
  ZR_String s;
  s = 42;
  ExpectText("42", s);
}

TEST(ZrString, NullTextCountsAsEmpty) {
  const char* null_text = nullptr;
  ExpectText("", ZR_String(null_text));
  ZR_String s("abc");
  s = null_text;
  ExpectText("", s);
  EXPECT_TRUE(s == null_text);
  EXPECT_TRUE(s == 0);
  ExpectText("ab", ZR_String("ab") + null_text);
  s = "x";
  s += null_text;
  ExpectText("x", s);
}

// s == t: s holds exactly the bytes of t before t's first zero or line feed.
TEST(ZrString, EqualityStopsAtTheLineFeedOfTheOtherText) {
  const struct {
    const char* s;
    const char* t;
    bool equal;
  } cases[] = {
      {"abc", "abc", true},        {"abc", "abc\nxyz", true},
      {"abc", "ab", false},        {"abc", "abcd", false},
      {"abc\nd", "abc\nd", false}, {"", "", true},
      {"", "\nx", true},           {"", "a", false},
      {"ABC", "abc", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.equal, ZR_String(c.s) == c.t) << '"' << c.s << "\" == \"" << c.t << '"';
    EXPECT_EQ(!c.equal, ZR_String(c.s) != ZR_String(c.t)) << c.s << " != " << c.t;
  }
}

TEST(ZrString, AppendFloatTruncatesDigitByDigit) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float value;
    int decimals;
    const char* text;
  } cases[] = {
      {2.675f, 2, "2.67"},
      {0.1f, 3, "0.100"},
      {-1.25f, 1, "-1.2"},
      {1.5f, 0, "1"},
      {3.0f, 2, "3.00"},
      {-0.0f, 1, "0.0"},
      {0.7f, 2, "0.70"},
      {2.0833f, 2, "2.08"},
      {60.0f, 2, "60.00"},
      {0.999f, 1, "0.9"},
      {-3.75f, 0, "-3"},
      // Past 2^31 the integer part is the low 32 bits of the truncation, read as signed.
      {2147483648.0f, 0, "-2147483648"},
      {4294967296.0f, 1, "0.0"},
      {3e9f, 0, "-1294967296"},
      {1e10f, 0, "1410065408"},
      {1e20f, 0, "0"},
      {3.4e38f, 0, "0"},
      {inf, 2, "inf"},
      {-inf, 2, "-inf"},
      {std::numeric_limits<float>::quiet_NaN(), 2, "nan"},
  };
  for (const auto& c : cases) {
    ZR_String s("t=");
    s.AppendFloat(c.value, c.decimals);
    ExpectText((std::string("t=") + c.text).c_str(), s,
               std::to_string(c.value) + " with " + std::to_string(c.decimals));
  }
}

TEST(ZrString, ConcatenationAndSelfAppend) {
  ZR_String s("abc");
  s += s;
  ExpectText("abcabc", s);
  EXPECT_EQ(7u, s.m_length);
  ExpectText("abcabcxy", s + ZR_String("xy"));
  ExpectText("abcabc!", s + "!");
  s = s.m_text + 3;  // assignment from its own text
  ExpectText("abc", s);
  const ZR_String& same = s;
  s = same;  // self-assignment
  ExpectText("abc", s);
}

TEST(ZrString, LeftAndDots) {
  ExpectText("abc", ZR_String("abc").Left(10));
  ExpectText("ab", ZR_String("abc").Left(2));
  ExpectText("", ZR_String("abc").Left(0));
  ExpectText("", ZR_String("abc").Left(-3));
  EXPECT_EQ(3, ZR_String("a.b.c").FindLastDot());
  EXPECT_EQ(-1, ZR_String("abc").FindLastDot());
  EXPECT_EQ(-1, ZR_String().FindLastDot());
  ExpectText("img.01", ZR_String("img.01.jpg").RemoveExtension());
  ExpectText("img", ZR_String("img").RemoveExtension());
}

TEST(ZrString, PathPartsTurnBackslashesIntoSlashes) {
  const struct {
    const char* path;
    const char* stem;
    const char* folder;
    const char* extension;
  } cases[] = {
      {"C:\\faces\\img.jpg", "img", "C:/faces", "jpg"},
      {"dir.old/file", "dir", "dir.old", "old/file"},
      {"file.jpg", "file", "file.jpg", "jpg"},
      {"/x", "x", "", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    const ZR_String path(c.path);
    ExpectText(c.stem, path.GetFileStem(), std::string("stem of ") + c.path);
    ExpectText(c.folder, path.GetFolder(), std::string("folder of ") + c.path);
    ExpectText(c.extension, path.GetExtension(), std::string("extension of ") + c.path);
  }
}

const Bytes kAbcRecord = {4, 0, 0, 0, 'a', 'b', 'c', 0};

TEST(ZrStringRecord, ReadsTheGoldenRecord) {
  ZR_MemoryFile f(kAbcRecord);
  ZR_String s("old");
  ASSERT_EQ(f.get(), s.Read(f.get()));
  ExpectText("abc", s);
  EXPECT_EQ(0, f.Left());
}

// Malformed and cut-short records are refused and leave the string as it was.
TEST(ZrStringRecord, RefusesMalformedAndCutShortRecords) {
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"n = 0", ZR_RecordBytes().U32(0).Text("abc")},
      {"no terminating zero", ZR_RecordBytes().U32(3).Text("abc")},
      {"earlier zero", ZR_RecordBytes().U32(4).Text("a").U8(0).Text("c").U8(0)},
      {"past the bytes left", ZR_RecordBytes().U32(0xffffffff).Text("abc").U8(0)},
  };
  for (size_t n = 0; n < kAbcRecord.size(); ++n)
    cases.push_back(
        {"cut at " + std::to_string(n), Bytes(kAbcRecord.begin(), kAbcRecord.begin() + n)});
  for (const auto& [what, record] : cases) {
    ZR_MemoryFile f(record);
    ZR_String s("old");
    EXPECT_EQ(nullptr, s.Read(f.get())) << what;
    ExpectText("old", s, what);
  }
}

}  // namespace
