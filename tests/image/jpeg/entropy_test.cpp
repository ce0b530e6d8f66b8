// tests/image/jpeg/entropy_test.cpp: entropy decoding cases beyond the differential matrix:
// restart markers, coefficient-index limits and undefined codes on hand-built scans, bad
// progressive scan parameters, layouts the decoder refuses, and cut or damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/image/jpeg/libjpeg_fixture.h"

namespace {

using namespace jpeg_fixture;

// Offset of the n-th SOS segment whose spectral start is (start == 0) or is not (start != 0) 0.
int64_t FindScan(const Bytes& b, bool dc, int32_t nth = 0) {
  for (int32_t n = 0;; ++n) {
    int64_t at = FindMarker(b, 0xDA, n);
    if (at < 0) return -1;
    const int32_t count = b[at + 4];
    const bool is_dc = b[at + 5 + 2 * count] == 0;
    if (is_dc == dc && nth-- == 0) return at;
  }
}

// MSB-first bit writer for hand-built entropy-coded data, with FF stuffing and 1-bit padding.
class BitWriter {
 public:
  void Put(uint32_t bits, int32_t n) {
    for (int32_t i = n - 1; i >= 0; --i) {
      m_acc = (m_acc << 1) | ((bits >> i) & 1);
      if (++m_count == 8) Flush();
    }
  }
  Bytes Finish() {
    while (m_count) Put(1, 1);
    return m_out;
  }

 private:
  void Flush() {
    m_out.push_back(static_cast<uint8_t>(m_acc));
    if (m_acc == 0xFF) m_out.push_back(0);
    m_acc = 0;
    m_count = 0;
  }
  Bytes m_out;
  uint32_t m_acc = 0;
  int32_t m_count = 0;
};

// A grey file 8 high and width wide with unit quantisation, a DC table holding only size 0 (code
// 0) and an AC table of 3-bit codes for EOB, ZRL, (15,1), (14,1) and (0,1), around the given scan
// data: baseline with one scan of DC and AC, or progressive with one AC-first scan of bands 1-63.
Bytes HandBuiltGrey(const Bytes& scan, uint8_t width = 8, bool progressive = false) {
  Bytes b = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
  b.insert(b.end(), 64, 1);
  const uint8_t sof_marker = progressive ? 0xC2 : 0xC0;
  const uint8_t sof[] = {0xFF, sof_marker, 0x00, 0x0B, 8, 0, 8, 0, width, 1, 1, 0x11, 0};
  b.insert(b.end(), std::begin(sof), std::end(sof));
  const uint8_t dht_dc[] = {0xFF, 0xC4, 0x00, 0x14, 0x00, 1, 0, 0, 0, 0, 0, 0, 0,
                            0,    0,    0,    0,    0,    0, 0, 0, 0x00};
  b.insert(b.end(), std::begin(dht_dc), std::end(dht_dc));
  const uint8_t dht_ac[] = {0xFF, 0xC4, 0x00, 0x18, 0x10, 0, 0, 5, 0,    0,    0,    0,   0,
                            0,    0,    0,    0,    0,    0, 0, 0, 0x00, 0xF0, 0xF1, 0xE1, 0x01};
  b.insert(b.end(), std::begin(dht_ac), std::end(dht_ac));
  const uint8_t first = progressive ? 1 : 0;  // spectral start
  const uint8_t sos[] = {0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, first, 63, 0};
  b.insert(b.end(), std::begin(sos), std::end(sos));
  b.insert(b.end(), scan.begin(), scan.end());
  b.push_back(0xFF);
  b.push_back(0xD9);
  return b;
}

enum : uint32_t { kEob = 0, kZrl = 1, kRun15 = 2, kRun14 = 3, kRun0 = 4 };  // AC codes

TEST(JpegEntropy, ZeroRunLimitsAtTheEndOfTheBlock) {
  // (14,1) then (15,1) twice reach zig-zag 48; (15,1) three times reach 49.
  const struct {
    const char* what;
    std::vector<uint32_t> codes;
    int32_t status;
  } cases[] = {
      {"ZRL at 48", {kRun14, kRun15, kRun15, kZrl}, jpgd::kStatusOk},
      {"ZRL at 49", {kRun15, kRun15, kRun15, kZrl}, jpgd::kStatusBadCoefficient},
      {"coefficient run to 63", {kRun15, kRun15, kRun15, kRun14}, jpgd::kStatusOk},
      {"coefficient run past 63", {kRun15, kRun15, kRun15, kRun15}, jpgd::kStatusBadCoefficient},
  };
  for (const auto& c : cases) {
    BitWriter w;
    w.Put(0, 1);  // DC size 0
    for (uint32_t code : c.codes) {
      w.Put(code, 3);
      if (code != kZrl && code != kEob) w.Put(1, 1);  // one extra bit: +1
    }
    w.Put(kEob, 3);
    Bytes jpeg = HandBuiltGrey(w.Finish());
    Picture ours = DecodeOurs(jpeg);
    EXPECT_EQ(c.status, ours.status) << c.what;
    if (c.status == 0) {
      Picture ref = DecodeLibjpeg(jpeg, false);
      ASSERT_TRUE(ref.ok()) << c.what;
      EXPECT_LE(Compare(ours, ref).max, 1) << c.what;
    }
  }
}

TEST(JpegEntropy, AnUndefinedCodeReadsAsSymbolZeroAndTakesItsEightBits) {
  // No AC code starts with 11: eight 1-bits in place of the first block's end of block must end
  // that block just the same, so that the second block gets its values either way: +1 at every
  // AC position.
  for (const bool progressive : {false, true}) {
    auto file = [progressive](bool undefined) {
      BitWriter w;
      if (!progressive) w.Put(0, 1);  // DC size 0
      if (undefined)
        w.Put(0xFF, 8);
      else
        w.Put(kEob, 3);
      if (!progressive) w.Put(0, 1);
      for (int32_t k = 1; k < 64; ++k) w.Put(kRun0, 3), w.Put(1, 1);
      return HandBuiltGrey(w.Finish(), 16, progressive);
    };
    const Picture undefined = DecodeOurs(file(true)), eob = DecodeOurs(file(false));
    ASSERT_TRUE(undefined.ok() && eob.ok()) << progressive;
    EXPECT_EQ(eob.rgba, undefined.rgba) << progressive;
    EXPECT_NE(128, eob.rgba[8 * 4]) << progressive;  // the second block's values are there
  }
}

TEST(JpegEntropy, RestartMarkersMustComeInOrder) {
  EncodeOptions o;
  o.restart_interval = 1;
  const Bytes base = EncodePicture(64, 32, o);
  ASSERT_EQ(0, DecodeOurs(base).status);
  const int64_t rst2 = FindMarker(base, 0xD2);
  ASSERT_GT(rst2, 0);
  Bytes wrong = base;
  wrong[rst2 + 1] = 0xD3;
  EXPECT_EQ(jpgd::kStatusBadRestartMarker, DecodeOurs(wrong).status);
  Bytes missing = base;
  missing.erase(missing.begin() + rst2, missing.begin() + rst2 + 2);
  EXPECT_EQ(jpgd::kStatusBadRestartMarker, DecodeOurs(missing).status);
  Bytes far = base;  // more than the search budget of junk before the marker
  far.insert(far.begin() + rst2, 1600, 0x00);
  EXPECT_EQ(jpgd::kStatusBadRestartMarker, DecodeOurs(far).status);
  EncodeOptions p = o;
  p.progressive = true;
  Bytes progressive = EncodePicture(64, 32, p);
  const int64_t prst = FindMarker(progressive, 0xD2);
  ASSERT_GT(prst, 0);
  progressive[prst + 1] = 0xD5;
  EXPECT_EQ(jpgd::kStatusBadRestartMarker, DecodeOurs(progressive).status);
}

// Some encoders end the last restart interval with a marker as well, before EOI (and before the
// next scan in a progressive file); libjpeg reads such files without a warning, and so do we.
TEST(JpegEntropy, ARestartMarkerAfterTheLastIntervalIsPassedOver) {
  for (bool progressive : {false, true}) {
    for (uint32_t interval : {1u, 3u}) {
      EncodeOptions o;
      o.progressive = progressive;
      o.restart_interval = interval;
      const Bytes base = EncodePicture(48, 32, o);
      Bytes extended = base;
      // Before EOI, then before every SOS but the first; k counts on from the markers before.
      std::vector<int64_t> at;
      for (int32_t n = 1; FindMarker(base, 0xDA, n) > 0; ++n)
        at.push_back(FindMarker(base, 0xDA, n));
      at.push_back(static_cast<int64_t>(base.size()) - 2);
      for (int64_t a : at) {  // in file order, so each insertion shifts only what follows
        int32_t before = 0;
        for (int64_t i = 0; i + 1 < a; ++i)
          if (base[i] == 0xFF && base[i + 1] >= 0xD0 && base[i + 1] <= 0xD7) ++before;
        const uint8_t rst[] = {0xFF, static_cast<uint8_t>(0xD0 + before % 8)};
        extended.insert(extended.begin() + a + (extended.size() - base.size()), rst, rst + 2);
      }
      ASSERT_EQ(base.size() + 2 * at.size(), extended.size());
      const std::string what = std::string(progressive ? "progressive" : "sequential") +
                               " interval " + std::to_string(interval);
      const Picture reference = DecodeLibjpeg(extended, true);
      ASSERT_TRUE(reference.ok()) << what;
      ASSERT_EQ(DecodeLibjpeg(base, true).rgba, reference.rgba) << what;
      const Picture ours = DecodeOurs(extended);
      ASSERT_TRUE(ours.ok()) << what << " status " << ours.status;
      EXPECT_EQ(DecodeOurs(base).rgba, ours.rgba) << what;
    }
  }
  // Between the header segments an RSTn still has no place.
  Bytes early = EncodePicture(16, 16, EncodeOptions{});
  const uint8_t rst[] = {0xFF, 0xD0};
  early.insert(early.begin() + 2, rst, rst + 2);
  EXPECT_EQ(jpgd::kStatusUnexpectedMarker, DecodeOurs(early).status);
}

TEST(JpegEntropy, BadProgressiveScanParametersAreRefused) {
  EncodeOptions o;
  o.h0 = 1, o.v0 = 1;
  o.progressive = true;
  const Bytes base = EncodePicture(32, 32, o);
  ASSERT_EQ(0, DecodeOurs(base).status);
  const int64_t ac = FindScan(base, false);
  // The DC refinement scan: by then the AC tables are defined, so only the range is wrong.
  const int64_t dc = FindScan(base, true, 1);
  ASSERT_TRUE(ac > 0 && dc > 0);
  const int32_t dc_count = base[dc + 4];
  const size_t dc_params = dc + 5 + 2 * dc_count;  // Ss, Se, AhAl
  const size_t ac_params = ac + 7;
  const struct {
    const char* what;
    size_t at;
    uint8_t value;
    int32_t status;
  } cases[] = {
      {"AC spectral end below start", ac_params + 1, 0, jpgd::kStatusBadSpectralRange},
      {"AC spectral end 64", ac_params + 1, 64, jpgd::kStatusBadSpectralRange},
      {"DC scan with spectral end 1", dc_params + 1, 1, jpgd::kStatusBadSpectralRange},
      {"Ah neither 0 nor Al + 1", ac_params + 2, 0x31, jpgd::kStatusBadSuccessiveHigh},
  };
  for (const auto& c : cases) {
    Bytes b = base;
    b[c.at] = c.value;
    EXPECT_EQ(c.status, DecodeOurs(b).status) << c.what;
  }
  // An AC scan that names two components.
  Bytes two = base;
  Put16(&two, ac + 2, 10);
  two[ac + 4] = 2;
  const uint8_t other[] = {static_cast<uint8_t>(base[ac + 5] == 1 ? 2 : 1), 0x00};
  two.insert(two.begin() + ac + 7, std::begin(other), std::end(other));
  EXPECT_EQ(jpgd::kStatusBadSpectralRange, DecodeOurs(two).status);
}

TEST(JpegEntropy, SequentialScanPerComponentIsRefused) {
  // Three one-component sequential scans: the MCU buffers are laid out for one interleaved scan.
  static const jpeg_scan_info scans[] = {
      {1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
  EncodeOptions o;
  o.scans = scans;
  o.scan_count = 3;
  for (int32_t h0 : {1, 2}) {
    o.h0 = o.v0 = h0;
    Bytes jpeg = EncodePicture(64, 32, o);
    ASSERT_FALSE(jpeg.empty());
    EXPECT_EQ(jpgd::kStatusBadScanLayout, DecodeOurs(jpeg).status) << h0;
  }
}

TEST(JpegEntropy, MissingEndOfImageStillDeliversEveryLine) {
  for (bool progressive : {false, true}) {
    EncodeOptions o;
    o.progressive = progressive;
    Bytes jpeg = EncodePicture(40, 40, o);
    Picture full = DecodeOurs(jpeg);
    ASSERT_TRUE(full.ok());
    jpeg.resize(jpeg.size() - 2);
    Picture cut = DecodeOurs(jpeg);
    ASSERT_TRUE(cut.ok()) << cut.status;
    EXPECT_EQ(full.rgba, cut.rgba);
  }
}

TEST(JpegEntropy, BrokenSegmentAfterTheLastScanFailsTheDecoding) {
  Bytes jpeg = EncodePicture(16, 16, EncodeOptions{});
  const uint8_t bad_dqt[] = {0xFF, 0xDB, 0x00, 0x01};
  jpeg.insert(jpeg.end() - 2, std::begin(bad_dqt), std::end(bad_dqt));
  EXPECT_EQ(jpgd::kStatusBadQuantSegment, DecodeOurs(jpeg).status);
}

TEST(JpegEntropy, ProgressiveScansStopWhereTheirDataEnd) {
  // A 16 x 16 progressive file whose frame header claims 64 x 64: its scans' data end in the top
  // 16 rows, and every block below keeps all its coefficients 0, which is mid-grey.
  EncodeOptions o;
  o.progressive = true;
  Bytes jpeg = EncodePicture(16, 16, o);
  const int64_t sof = FindMarker(jpeg, 0xC2);
  Put16(&jpeg, size_t(sof) + 5, 64);
  Put16(&jpeg, size_t(sof) + 7, 64);
  const Picture p = DecodeOurs(jpeg);
  ASSERT_TRUE(p.ok()) << p.status;
  int32_t not_grey = 0;
  for (size_t i = 16 * 64 * 4; i < p.rgba.size(); ++i)
    not_grey += p.rgba[i] != (i % 4 == 3 ? 255 : 128);
  EXPECT_EQ(0, not_grey);
}

TEST(JpegEntropy, ARestartIntervalWithoutDataLeavesTheOthersIntact) {
  // The first scan (DC) loses the data of its second restart interval, which crosses an MCU row:
  // the decoding goes on at the next interval, and every MCU outside the lost one is unchanged.
  const struct {
    const char* what;
    int32_t comps, mcu_side, interval;
  } cases[] = {{"grey", 1, 8, 5}, {"H2V2", 3, 16, 3}};
  for (const auto& c : cases) {
    EncodeOptions o;
    o.progressive = true;
    o.comps = c.comps;
    o.restart_interval = static_cast<uint32_t>(c.interval);
    const Bytes whole = EncodePicture(64, 64, o);
    const int64_t from = FindMarker(whole, 0xD0) + 2, to = FindMarker(whole, 0xD1);
    ASSERT_TRUE(from > 1 && to > from) << c.what;
    Bytes damaged = whole;
    damaged.erase(damaged.begin() + from, damaged.begin() + to);
    const Picture a = DecodeOurs(whole), b = DecodeOurs(damaged);
    ASSERT_TRUE(a.ok() && b.ok()) << c.what << " " << b.status;
    const int32_t per_row = 64 / c.mcu_side;
    int32_t changed_outside = 0, changed_inside = 0;
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 64; ++x) {
        const int32_t mcu = (y / c.mcu_side) * per_row + x / c.mcu_side;
        const bool lost = mcu >= c.interval && mcu < 2 * c.interval;
        const size_t at = (size_t(y) * 64 + x) * 4;
        const bool changed = std::memcmp(&a.rgba[at], &b.rgba[at], 4) != 0;
        (lost ? changed_inside : changed_outside) += changed;
      }
    EXPECT_EQ(0, changed_outside) << c.what;
    EXPECT_GT(changed_inside, 0) << c.what;
  }
}

TEST(JpegEntropy, EveryPrefixDecodesDeterministicallyWithoutOverrun) {
  // Each prefix either fails with a status code or completes from the end-of-image filler; run
  // twice, it gives the same result.
  for (bool progressive : {false, true}) {
    EncodeOptions o;
    o.progressive = progressive;
    o.restart_interval = progressive ? 0 : 2;
    const Bytes jpeg = EncodePicture(24, 24, o);
    for (size_t n = 0; n < jpeg.size(); n += 1 + n / 64) {
      Bytes prefix(jpeg.begin(), jpeg.begin() + n);
      Picture a = DecodeOurs(prefix), b = DecodeOurs(prefix);
      ASSERT_EQ(a.status, b.status) << n;
      ASSERT_EQ(a.rgba, b.rgba) << n;
      ASSERT_EQ(a.ok(), a.status == 0) << n;
    }
  }
  // Cut inside the first DHT: the filler cannot make a table.
  const Bytes jpeg = EncodePicture(64, 64, EncodeOptions{});
  Bytes cut(jpeg.begin(), jpeg.begin() + FindMarker(jpeg, 0xC4) + 10);
  EXPECT_NE(0, DecodeOurs(cut).status);
  // Cut at half: the rest of the picture comes from the filler.
  Bytes half(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  Picture a = DecodeOurs(half);
  EXPECT_EQ(a.rgba, DecodeOurs(half).rgba);
}

}  // namespace
