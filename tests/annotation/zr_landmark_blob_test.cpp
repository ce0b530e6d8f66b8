// tests/annotation/zr_landmark_blob_test.cpp: the "amod" landmark blob: golden bytes of a known model,
// the entry sizes, a round trip through a reader of the layout, and the failure to grow.
#include "annotation/zr_anno_model2d.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

ZR_Annotation2D Annotation(const char* name, std::vector<float> xy, std::vector<int32_t> fixed) {
  ZR_Annotation2D a;
  a.m_name = name;
  for (size_t i = 0; i + 1 < xy.size(); i += 2) a.Add(ZR_Vector2D(xy[i], xy[i + 1]));
  for (int32_t f : fixed) a.m_fixed.Add(f);
  return a;
}

Bytes Blob(const ZR_AnnoModel2D& model) {
  ZR_Array<unsigned char> out;
  EXPECT_TRUE(model.Serialise(out));
  EXPECT_EQ(0, out.m_lo);
  return Bytes(out.Block(), out.Block() + out.m_count);
}

// Reads the blob layout back, the way a plug-in or a peer reading the gallery would. False for
// any byte too few or too many.
class BlobReader {
 public:
  explicit BlobReader(const Bytes& b) : m_bytes(b) {}

  bool Model(ZR_AnnoModel2D& model) {
    int32_t n;
    if (!Get(model.m_flag) || !Get(n) || n < 0) return false;
    for (int32_t i = 0; i < n; ++i) {
      ZR_Annotation2D a;
      int32_t length, points, fixed;
      if (!Get(a.m_value) || !Get(a.m_open) || !Get(a.m_include) || !Get(a.m_colour[0]) ||
          !Get(a.m_colour[1]) || !Get(a.m_colour[2]) || !Get(length) || length < 1 ||
          size_t(length) > Left() || m_bytes[m_at + size_t(length) - 1] != 0)
        return false;
      a.m_name = reinterpret_cast<const char*>(&m_bytes[m_at]);
      m_at += size_t(length);
      if (!Get(points) || points < 0) return false;
      for (int32_t k = 0; k < points; ++k) {
        ZR_Vector2D p;
        if (!Get(p.x) || !Get(p.y)) return false;
        a.Add(p);
      }
      if (!Get(fixed) || fixed < 0) return false;
      for (int32_t k = 0; k < fixed; ++k) {
        int32_t f;
        if (!Get(f)) return false;
        a.m_fixed.Add(f);
      }
      model.Add(a);
    }
    return Left() == 0;
  }

 private:
  size_t Left() const { return m_bytes.size() - m_at; }
  template <class T>
  bool Get(T& value) {
    if (Left() < sizeof(T)) return false;
    std::memcpy(&value, &m_bytes[m_at], sizeof(T));
    m_at += sizeof(T);
    return true;
  }
  const Bytes& m_bytes;
  size_t m_at = 0;
};

TEST(LandmarkBlob, EmptyModelIsFlagAndCount) {
  ZR_AnnoModel2D model;
  model.m_flag = -3;
  EXPECT_EQ((Bytes{0xfd, 0xff, 0xff, 0xff, 0, 0, 0, 0}), Blob(model));
}

// "NOSE" (value -2, open 0, include 2, colour 10, 20, 30 with alpha 40), 3 points, 4 fixed
// indices: 21 + 5 + 24 + 16 = 66 bytes after the model's 8.
TEST(LandmarkBlob, KnownModelGivesTheseBytes) {
  ZR_AnnoModel2D model;
  model.m_flag = 7;
  ZR_Annotation2D nose =
      Annotation("NOSE", {0.25f, 0.5f, 1.0f, -2.0f, 0.125f, 0.75f}, {0, 2, 5, 7});
  nose.m_value = -2;
  nose.m_open = 0;
  nose.m_include = 2;
  nose.m_flag = 9;  // not in the blob
  const uint8_t colour[4] = {10, 20, 30, 40};
  std::memcpy(nose.m_colour, colour, 4);
  model.Add(nose);
  const Bytes expected = {
      7,    0,    0,    0,                 // 0: model flag
      1,    0,    0,    0,                 // 4: annotation count
      0xfe, 0xff, 0xff, 0xff,              // 8 + 0: value -2
      0,                                   // 8 + 4: open
      2,                                   // 8 + 5: include
      10,   20,   30,                      // 8 + 6: red, green, blue (no alpha)
      5,    0,    0,    0,                 // 8 + 9: name length with the zero
      'N',  'O',  'S',  'E',  0,           // 8 + 13: name
      3,    0,    0,    0,                 // 8 + 18 = 13 + L: point count
      0,    0,    0x80, 0x3e,              // 8 + 22 = 17 + L: 0.25
      0,    0,    0,    0x3f,              //   0.5
      0,    0,    0x80, 0x3f,              //   1.0
      0,    0,    0,    0xc0,              //   -2.0
      0,    0,    0,    0x3e,              //   0.125
      0,    0,    0x40, 0x3f,              //   0.75
      4,    0,    0,    0,                 // 8 + 46 = 17 + L + 8p: fixed count
      0,    0,    0,    0,    2, 0, 0, 0,  // 8 + 50 = 21 + L + 8p: fixed indices
      5,    0,    0,    0,    7, 0, 0, 0,  //
  };
  ASSERT_EQ(8u + 66u, expected.size());
  EXPECT_EQ(expected, Blob(model));
}

TEST(LandmarkBlob, EachEntryTakes21PlusNamePointsAndIndices) {
  const struct {
    const char* name;
    size_t points, fixed;
  } cases[] = {{"", 0, 0}, {"FACE", 19, 5}, {"OUTER MOUTH", 6, 0}, {"X", 0, 3}};
  for (const auto& c : cases) {
    ZR_AnnoModel2D model;
    model.Add(Annotation(c.name, std::vector<float>(2 * c.points, 0.5f),
                         std::vector<int32_t>(c.fixed, 1)));
    const size_t length = std::strlen(c.name) + 1;
    EXPECT_EQ(8 + 21 + length + 8 * c.points + 4 * c.fixed, Blob(model).size()) << c.name;
  }
}

TEST(LandmarkBlob, RoundTripsThroughItsLayout) {
  ZR_AnnoModel2D model;
  model.m_flag = 3;
  model.Add(Annotation("FACE", {0.1f, 0.9f, 0.2f, 0.8f, -0.0f, 1e-30f}, {0, 2}));
  model.Add(Annotation("LEFT EYE", {}, {}));
  model.Add(Annotation("NOSE", {0.5f, 0.5f}, {0}));
  model[1].m_open = 0;
  model[2].m_include = 0;
  model[2].m_colour[1] = 99;
  const Bytes blob = Blob(model);

  ZR_AnnoModel2D back;
  back.m_flag = 0;
  ASSERT_TRUE(BlobReader(blob).Model(back));
  EXPECT_EQ(model.m_flag, back.m_flag);
  ASSERT_EQ(model.m_count, back.m_count);
  for (uint32_t a = 0; a < model.m_count; ++a) {
    EXPECT_TRUE(back[a].m_name == model[a].m_name.m_text) << a;
    EXPECT_EQ(model[a].m_value, back[a].m_value) << a;
    EXPECT_EQ(model[a].m_open, back[a].m_open) << a;
    EXPECT_EQ(model[a].m_include, back[a].m_include) << a;
    EXPECT_EQ(0, std::memcmp(model[a].m_colour, back[a].m_colour, 3)) << a;
    ASSERT_EQ(model[a].m_count, back[a].m_count) << a;
    for (uint32_t i = 0; i < model[a].m_count; ++i) {
      EXPECT_EQ(0, std::memcmp(&model[a][i].x, &back[a][i].x, 4)) << a << " " << i;
      EXPECT_EQ(0, std::memcmp(&model[a][i].y, &back[a][i].y, 4)) << a << " " << i;
    }
    ASSERT_EQ(model[a].m_fixed.m_count, back[a].m_fixed.m_count) << a;
    for (uint32_t i = 0; i < model[a].m_fixed.m_count; ++i)
      EXPECT_EQ(model[a].m_fixed[i], back[a].m_fixed[i]) << a << " " << i;
  }
  // Every shorter prefix is refused by the reader: the blob has no spare bytes.
  for (size_t n = 0; n < blob.size(); ++n) {
    ZR_AnnoModel2D cut;
    EXPECT_FALSE(BlobReader(Bytes(blob.begin(), blob.begin() + long(n))).Model(cut)) << n;
  }
}

TEST(LandmarkBlob, SerialiseReplacesTheArrayAndAppendsNothingElse) {
  ZR_AnnoModel2D model;
  model.Add(Annotation("NOSE", {1, 2}, {}));
  ZR_Array<unsigned char> out;
  out.Resize(-4, 100);
  ASSERT_TRUE(model.Serialise(out));
  EXPECT_EQ(0, out.m_lo);
  EXPECT_EQ(8 + 21 + 5 + 8, int(out.m_count));
  zr_byte_buffer buffer;
  ASSERT_TRUE(buffer.Append("ab", 2));
  ASSERT_TRUE(model.SerialiseInto(buffer));
  ASSERT_EQ(2 + out.m_count, buffer.m_size);
  EXPECT_EQ(0, std::memcmp(buffer.m_data + 2, out.Block(), out.m_count));
  buffer.Free();
}

TEST(LandmarkBlob, ABufferThatCannotGrowFailsTheBlob) {
  ZR_AnnoModel2D model;
  model.Add(Annotation("FACE", {1, 2}, {0}));
  // A buffer already at the 32-bit size limit refuses every append.
  for (uint32_t room : {0u, 3u}) {
    zr_byte_buffer full;
    full.m_size = std::numeric_limits<uint32_t>::max() - room;
    EXPECT_FALSE(model.SerialiseInto(full)) << room;
    EXPECT_FALSE(model[0].Serialise(full)) << room;
    full.m_size = 0;
  }
}

}  // namespace
