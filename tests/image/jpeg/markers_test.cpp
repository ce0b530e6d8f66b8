// tests/image/jpeg/markers_test.cpp: the marker parser and frame and scan set-up on malformed
// files, each made by patching a small valid file from libjpeg, with the status code it must give.
#include <gtest/gtest.h>

#include <functional>

#include "image/image_limits.h"
#include "tests/image/jpeg/libjpeg_fixture.h"

namespace {

using namespace jpeg_fixture;

// Offset of the DHT segment whose first table has this class-and-number byte.
int64_t FindDhtTable(const Bytes& b, uint8_t index) {
  for (int32_t n = 0;; ++n) {
    int64_t at = FindMarker(b, 0xC4, n);
    if (at < 0 || b[at + 4] == index) return at;
  }
}

Bytes Base(uint32_t restart = 0) {
  EncodeOptions o;
  o.restart_interval = restart;
  return EncodePicture(32, 32, o);
}

struct Case {
  const char* what;
  std::function<void(Bytes*)> patch;
  int32_t status;
};

void RunCases(const Bytes& base, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Bytes b = base;
    c.patch(&b);
    Picture p = DecodeOurs(b);
    EXPECT_EQ(c.status, p.status) << c.what;
    EXPECT_EQ(c.status == 0, p.ok()) << c.what;
  }
}

TEST(JpegMarkers, MalformedSegmentsGiveTheirStatusCodes) {
  const Bytes base = Base();
  ASSERT_EQ(0, DecodeOurs(base).status);
  const int64_t sof = FindMarker(base, 0xC0);
  const int64_t sos = FindMarker(base, 0xDA);
  const int64_t dqt = FindMarker(base, 0xDB);
  const int64_t dht_dc0 = FindDhtTable(base, 0x00);
  ASSERT_TRUE(sof > 0 && sos > 0 && dqt > 0 && dht_dc0 > 0);
  using jpgd::kStatusOk;
  RunCases(
      base,
      {
          {"no SOI", [](Bytes* b) { (*b)[0] = (*b)[1] = 0; }, jpgd::kStatusNoStartOfImage},
          {"4095 junk bytes before SOI",
           [](Bytes* b) { b->insert(b->begin(), 4095, 0x11); }, kStatusOk},
          {"4096 junk bytes before SOI",
           [](Bytes* b) { b->insert(b->begin(), 4096, 0x11); }, jpgd::kStatusNoStartOfImage},
          {"junk, then FF D8 not followed by FF",
           [](Bytes* b) {
             b->insert(b->begin(), 10, 0x11);
             (*b)[12] = 0x00;
           },
           jpgd::kStatusNoStartOfImage},
          {"SOF3 lossless", [&](Bytes* b) { (*b)[sof + 1] = 0xC3; }, jpgd::kStatusUnsupportedFrame},
          {"SOF10", [&](Bytes* b) { (*b)[sof + 1] = 0xCA; }, jpgd::kStatusUnsupportedFrame},
          {"SOF9 arithmetic", [&](Bytes* b) { (*b)[sof + 1] = 0xC9; },
           jpgd::kStatusArithmeticCoding},
          {"DAC segment", [](Bytes* b) { (*b)[3] = 0xCC; }, jpgd::kStatusArithmeticCoding},
          {"precision 12", [&](Bytes* b) { (*b)[sof + 4] = 12; }, jpgd::kStatusBadPrecision},
          {"height 0 (DNL)", [&](Bytes* b) { Put16(b, sof + 5, 0); }, jpgd::kStatusBadHeight},
          {"height 16385", [&](Bytes* b) { Put16(b, sof + 5, 16385); }, jpgd::kStatusBadHeight},
          {"width 0", [&](Bytes* b) { Put16(b, sof + 7, 0); }, jpgd::kStatusBadWidth},
          {"width 16385", [&](Bytes* b) { Put16(b, sof + 7, 16385); }, jpgd::kStatusBadWidth},
          {"16384 × 16384 is over the pixel cap",
           [&](Bytes* b) {
             Put16(b, sof + 5, 16384);
             Put16(b, sof + 7, 16384);
           },
           jpgd::kStatusImageTooLarge},
          {"5 components", [&](Bytes* b) { (*b)[sof + 9] = 5; }, jpgd::kStatusTooManyComponents},
          {"frame header length", [&](Bytes* b) { Put16(b, sof + 2, Get16(*b, sof + 2) + 1); },
           jpgd::kStatusBadFrameLength},
          {"2 components",
           [&](Bytes* b) {
             Put16(b, sof + 2, Get16(*b, sof + 2) - 3);
             (*b)[sof + 9] = 2;
             b->erase(b->begin() + sof + 16, b->begin() + sof + 19);
           },
           jpgd::kStatusBadComponentCount},
          {"DHT class 1 number 4", [&](Bytes* b) { (*b)[dht_dc0 + 4] = 0x14; },
           jpgd::kStatusBadHuffmanSlot},
          {"DHT class 0 number 8", [&](Bytes* b) { (*b)[dht_dc0 + 4] = 0x08; },
           jpgd::kStatusBadHuffmanSlot},
          {"DHT counts summing to 256",
           [&](Bytes* b) {
             (*b)[dht_dc0 + 5] = 255;
             (*b)[dht_dc0 + 6] = 1;
           },
           jpgd::kStatusTooManyHuffmanSymbols},
          {"DHT shorter than its tables", [&](Bytes* b) { Put16(b, dht_dc0 + 2, 20); },
           jpgd::kStatusBadHuffmanSegment},
          {"DHT length 1", [&](Bytes* b) { Put16(b, dht_dc0 + 2, 1); },
           jpgd::kStatusBadHuffmanSegment},
          {"DHT codes over-filling the code space",
           [&](Bytes* b) {
             // Three codes of length 1 (the symbol total is unchanged).
             (*b)[dht_dc0 + 7] = static_cast<uint8_t>((*b)[dht_dc0 + 7] - 3 + (*b)[dht_dc0 + 5]);
             (*b)[dht_dc0 + 5] = 3;
           },
           jpgd::kStatusBadHuffmanCodes},
          {"DQT table number 4", [&](Bytes* b) { (*b)[dqt + 4] = 0x04; },
           jpgd::kStatusBadQuantTableNumber},
          {"DQT ending inside a table", [&](Bytes* b) { Put16(b, dqt + 2, 40); },
           jpgd::kStatusShortQuantTable},
          {"DQT length 1", [&](Bytes* b) { Put16(b, dqt + 2, 1); }, jpgd::kStatusBadQuantSegment},
          {"APP0 length 1", [](Bytes* b) { Put16(b, 4, 1); }, jpgd::kStatusBadSegmentLength},
          {"RST between segments", [](Bytes* b) { (*b)[3] = 0xD3; },
           jpgd::kStatusUnexpectedMarker},
          {"TEM between segments", [](Bytes* b) { (*b)[3] = 0x01; },
           jpgd::kStatusUnexpectedMarker},
          {"EOI before the first scan",
           [&](Bytes* b) {
             b->resize(sos);
             b->push_back(0xFF);
             b->push_back(0xD9);
           },
           jpgd::kStatusUnexpectedMarker},
          {"scan header length", [&](Bytes* b) { Put16(b, sos + 2, Get16(*b, sos + 2) + 1); },
           jpgd::kStatusBadScanHeader},
          {"scan of 0 components",
           [&](Bytes* b) {
             (*b)[sos + 4] = 0;
             Put16(b, sos + 2, 6);
           },
           jpgd::kStatusBadScanHeader},
          {"scan component not in the frame", [&](Bytes* b) { (*b)[sos + 5] = 0x77; },
           jpgd::kStatusBadScanComponent},
          {"scan naming a component twice", [&](Bytes* b) { (*b)[sos + 7] = (*b)[sos + 5]; },
           jpgd::kStatusBadScanLayout},
          {"scan components out of frame order",
           [&](Bytes* b) { std::swap((*b)[sos + 7], (*b)[sos + 9]); },
           jpgd::kStatusBadScanLayout},
          {"undefined Huffman table", [&](Bytes* b) { (*b)[sos + 6] = 0x33; },
           jpgd::kStatusUndefinedHuffman},
          {"Huffman slot beyond the 8", [&](Bytes* b) { (*b)[sos + 6] = 0x90; },
           jpgd::kStatusUndefinedHuffman},
          {"undefined quantisation table", [&](Bytes* b) { (*b)[sof + 12] = 3; },
           jpgd::kStatusUndefinedQuant},
          {"quantisation table beyond the 4", [&](Bytes* b) { (*b)[sof + 12] = 9; },
           jpgd::kStatusUndefinedQuant},
          {"sequential spectral range 1..5 is read as 0..63",
           [&](Bytes* b) {
             const size_t at = sos + 4 + 1 + 2 * 3;
             (*b)[at] = 1;
             (*b)[at + 1] = 5;
           },
           kStatusOk},
      });
}

TEST(JpegMarkers, RestartSegmentLengthMustBeFour) {
  Bytes b = Base(2);
  const int64_t dri = FindMarker(b, 0xDD);
  ASSERT_GT(dri, 0);
  Put16(&b, dri + 2, 5);
  EXPECT_EQ(jpgd::kStatusBadRestartSegment, DecodeOurs(b).status);
}

TEST(JpegMarkers, EquivalentTableEncodingsDecodeIdentically) {
  const Bytes base = Base();
  const Picture want = DecodeOurs(base);
  ASSERT_TRUE(want.ok());
  // A DC-class table numbered 5 lands in slot 5, where the scan looks for AC table 1.
  Bytes renumbered = base;
  renumbered[FindDhtTable(base, 0x11) + 4] = 0x05;
  // Two tables in one DHT segment.
  Bytes merged = base;
  const int64_t first = FindDhtTable(merged, 0x00);
  const int64_t second = first + 2 + Get16(merged, first + 2);
  ASSERT_EQ(0xC4, merged[second + 1]);
  Put16(&merged, first + 2, Get16(merged, first + 2) + Get16(merged, second + 2) - 2);
  merged.erase(merged.begin() + second, merged.begin() + second + 4);
  // Segments the decoder passes over: a longer APP segment and a comment.
  Bytes extra = base;
  const uint8_t com[] = {0xFF, 0xFE, 0x00, 0x02, 0xFF, 0xEF, 0x00, 0x05, 1, 2, 3};
  extra.insert(extra.begin() + 2, std::begin(com), std::end(com));
  for (const Bytes* b : {&renumbered, &merged, &extra}) {
    Picture p = DecodeOurs(*b);
    ASSERT_TRUE(p.ok()) << p.status;
    EXPECT_EQ(want.rgba, p.rgba);
  }
}

TEST(JpegMarkers, SixteenBitQuantisationTablesAreReadBigEndian) {
  // Quality 1 without baseline limits gives 16-bit tables and an SOF1 frame.
  EncodeOptions o;
  o.comps = 1;
  o.quality = 1;
  o.force_baseline = false;
  Bytes jpeg = EncodeJpeg(MakePicture(64, 48, 1, 3, 5), 64, 48, o);
  const int64_t dqt = FindMarker(jpeg, 0xDB);
  ASSERT_GT(dqt, 0);
  ASSERT_EQ(0x10, jpeg[dqt + 4] & 0xF0);
  ASSERT_GT(FindMarker(jpeg, 0xC1), 0);
  Picture ours = DecodeOurs(jpeg);
  ASSERT_TRUE(ours.ok()) << ours.status;
  EXPECT_LE(Compare(ours, DecodeLibjpeg(jpeg, false)).max, 1);
}

TEST(JpegMarkers, UnsupportedFramesFromLibjpegAreRefused) {
  EncodeOptions arithmetic;
  arithmetic.arithmetic = true;
  EncodeOptions cmyk;
  cmyk.comps = 4;
  EncodeOptions h4v1;
  h4v1.h0 = 4, h4v1.v0 = 1;
  EncodeOptions chroma_h2;  // 4:4:4 luma with subsampled-looking chroma factors
  chroma_h2.h0 = 2, chroma_h2.v0 = 2;
  const struct {
    const char* what;
    EncodeOptions o;
    int32_t status;
  } cases[] = {{"arithmetic coding", arithmetic, jpgd::kStatusArithmeticCoding},
               {"CMYK", cmyk, jpgd::kStatusBadComponentCount},
               {"4:1:1", h4v1, jpgd::kStatusBadSampling}};
  for (const auto& c : cases) {
    Bytes jpeg = EncodePicture(48, 32, c.o);
    ASSERT_FALSE(jpeg.empty()) << c.what;
    EXPECT_EQ(c.status, DecodeOurs(jpeg).status) << c.what;
  }
  // Chroma sampled above 1×1, and grey sampled 2×2.
  Bytes b = EncodePicture(32, 32, chroma_h2);
  const int64_t sof = FindMarker(b, 0xC0);
  b[sof + 11 + 3] = 0x21;
  EXPECT_EQ(jpgd::kStatusBadSampling, DecodeOurs(b).status);
  EncodeOptions grey;
  grey.comps = 1;
  b = EncodePicture(32, 32, grey);
  b[FindMarker(b, 0xC0) + 11] = 0x22;
  EXPECT_EQ(jpgd::kStatusBadSampling, DecodeOurs(b).status);
}

TEST(JpegMarkers, LargestSideIsAccepted) {
  EncodeOptions o;
  o.comps = 1;
  Bytes jpeg = EncodePicture(16384, 1, o);
  Picture p = DecodeOurs(jpeg);
  ASSERT_TRUE(p.ok()) << p.status;
  EXPECT_EQ(16384, p.width);
}

TEST(ImageLimits, CapsEachSideAndThePixelCount) {
  EXPECT_TRUE(ZR_ImageSizeOk(1, 1));
  EXPECT_TRUE(ZR_ImageSizeOk(65535, 2048));
  EXPECT_TRUE(ZR_ImageSizeOk(16384, 8192));
  EXPECT_FALSE(ZR_ImageSizeOk(16384, 8193));
  EXPECT_FALSE(ZR_ImageSizeOk(65536, 1));
  EXPECT_FALSE(ZR_ImageSizeOk(0, 10));
  EXPECT_FALSE(ZR_ImageSizeOk(10, -1));
  EXPECT_FALSE(ZR_ImageSizeOk(65535, 65535));
}

}  // namespace
