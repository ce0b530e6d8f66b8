// tests/image/load_peak_memory_test.cpp: the peak resident memory of loading a hostile tiny file
// that declares the largest picture the cap allows (2^27 pixels), per format. Each load runs in a
// child process that resets its peak (/proc/self/clear_refs) and reads VmHWM afterwards; the
// rise over the resident size before the load must stay within the picture's own bytes + 10%,
// except where a library or a format's own working copy is known to add more (noted per case).
// The numbers are printed; sanitizer builds (shadow memory, quarantine) print without checking.
// Since a kernel that backs pages only read with one zero page hides such reads from the peak,
// the blocks a progressive decoding reads from its coefficient planes are counted as well.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "image/jpeg/jpgd.h"
#include "image/pixel_admission.h"
#include "image/zr_image.h"
#include "tests/image/jpeg/libjpeg_fixture.h"
#include "tests/image/test_support.h"
#include "tests/support/zr_peak_memory.h"
#include "tests/support/zr_sanitized.h"

namespace {

using namespace image_files;

constexpr int32_t kWidth = 16384, kHeight = 8192;  // 2^27 pixels
constexpr int64_t kPictureBytes = int64_t{kWidth} * kHeight * 4;

// The peak rise of resident memory while load runs, measured in a child process; -1 when it
// could not be measured.
int64_t PeakRise(const std::function<void()>& load) {
  int out[2];
  if (::pipe(out) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    ZR_ResetPeakMemory();  // the peak becomes the current size
    const int64_t before = ZR_StatusBytes("VmRSS:");
    load();
    const int64_t rise = ZR_StatusBytes("VmHWM:") - before;
    const bool sent = ::write(out[1], &rise, sizeof rise) == ssize_t(sizeof rise);
    ::_exit(sent ? 0 : 1);
  }
  ::close(out[1]);
  int64_t rise = -1;
  if (::read(out[0], &rise, sizeof rise) != ssize_t(sizeof rise)) rise = -1;
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return rise;
}

void PutBig16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}
void PutLittle(Bytes& b, size_t at, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A small JPEG whose frame header claims the cap picture; the decoder reads filler past its data.
Bytes HostileJpeg(bool progressive) {
  jpeg_fixture::EncodeOptions o;
  o.progressive = progressive;
  Bytes b = jpeg_fixture::EncodePicture(16, 16, o);
  const int64_t sof = jpeg_fixture::FindMarker(b, progressive ? 0xC2 : 0xC0);
  PutBig16(b, size_t(sof) + 5, kHeight);
  PutBig16(b, size_t(sof) + 7, kWidth);
  return b;
}

// A progressive file built marker by marker that declares the cap picture and holds no
// entropy-coded data: unit quantisation; a DC table with the one code "0" for size 0; an AC table
// with "0" for end of band and "1" for (run 0, size 1), so that the 1-bits standing in for missing
// data read as a value at every position; a DC-first scan of every component, then an AC-first
// scan of bands 1 to 63 per component. comps 1 is grey, 3 is 4:4:4.
Bytes AllOnesProgressiveJpeg(int32_t comps) {
  Bytes b = {0xFF, 0xD8};
  auto segment = [&b](uint8_t marker, const Bytes& body) {
    const size_t at = b.size();
    b.resize(at + 4);
    b[at] = 0xFF, b[at + 1] = marker;
    PutBig16(b, at + 2, static_cast<uint32_t>(body.size() + 2));
    b.insert(b.end(), body.begin(), body.end());
  };
  Bytes dqt(65, 1);
  dqt[0] = 0;
  segment(0xDB, dqt);
  Bytes sof = {8, 0, 0, 0, 0, static_cast<uint8_t>(comps)};
  PutBig16(sof, 1, kHeight);
  PutBig16(sof, 3, kWidth);
  for (int32_t c = 1; c <= comps; ++c) sof.insert(sof.end(), {uint8_t(c), 0x11, 0});
  segment(0xC2, sof);
  Bytes dht = {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
               0x10, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x01};
  segment(0xC4, dht);
  Bytes dc_scan = {static_cast<uint8_t>(comps)};
  for (int32_t c = 1; c <= comps; ++c) dc_scan.insert(dc_scan.end(), {uint8_t(c), 0x00});
  dc_scan.insert(dc_scan.end(), {0, 0, 0});
  segment(0xDA, dc_scan);
  for (int32_t c = 1; c <= comps; ++c) segment(0xDA, {1, uint8_t(c), 0x00, 1, 63, 0});
  b.insert(b.end(), {0xFF, 0xD9});
  return b;
}

// A PNG chunk: length, type, data, CRC.
void PngChunk(Bytes& b, const char* type, const Bytes& data) {
  const size_t at = b.size();
  b.resize(at + 4);
  PutBig16(b, at, 0);
  PutBig16(b, at + 2, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), data.begin(), data.end());
  const uint32_t crc = static_cast<uint32_t>(crc32(
      0, reinterpret_cast<const Bytef*>(b.data() + at + 4), static_cast<uInt>(data.size() + 4)));
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(crc >> (8 * i)));
}

// IHDR for the cap picture in RGBA, then (when with_data) an IDAT with the first few filtered
// rows' bytes, then IEND.
Bytes HostilePng(bool with_data) {
  Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr(13, 0);
  PutBig16(ihdr, 2, kWidth);
  PutBig16(ihdr, 6, kHeight);
  ihdr[8] = 8, ihdr[9] = 6;
  PngChunk(b, "IHDR", ihdr);
  if (with_data) {
    const Bytes raw(100, 0);
    Bytes packed(200);
    uLongf n = packed.size();
    compress(packed.data(), &n, raw.data(), raw.size());
    packed.resize(n - 4);  // a stream that stops early
    PngChunk(b, "IDAT", packed);
  }
  PngChunk(b, "IEND", {});
  return b;
}

Bytes HostileGif() {
  Picture small = MakeCornerPicture(4, 4);
  Bytes b = MakeGif(small);
  PutLittle(b, 6, kWidth, 2);
  PutLittle(b, 8, kHeight, 2);
  const size_t sep = 13 + 3 * (2u << (b[10] & 7));  // after the screen and the global table
  PutLittle(b, sep + 5, kWidth, 2);
  PutLittle(b, sep + 7, kHeight, 2);
  return b;
}

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes HostileBmp() {
  Bytes b = MakeBmp(MakeCornerPicture(4, 4));
  PutLittle(b, 18, kWidth, 4);
  PutLittle(b, 22, kHeight, 4);
  return b;
}

Bytes HostileTga() {
  Bytes b = MakeTga(MakeCornerPicture(4, 4));
  PutLittle(b, 12, kWidth, 2);
  PutLittle(b, 14, kHeight, 2);
  return b;
}

// One deflated row of the cap picture's width, in a single strip of all its rows.
bool WriteHostileTiff(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif) return false;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(kWidth));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(kHeight));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(kHeight));
  std::vector<uint8_t> row(size_t{kWidth} * 3, 7);
  const bool ok = TIFFWriteScanline(tif, row.data(), 0, 0) == 1;
  TIFFClose(tif);
  return ok;
}

TEST(LoadPeakMemory, HostileTinyFilesAtTheCapHoldOnePicture) {
  ZR_TempFolder dir;
  ASSERT_TRUE(WriteHostileTiff(dir / "a.tif"));
  const struct {
    const char* name;
    Bytes bytes;     // empty: written above
    double allowed;  // the rise allowed beyond the picture, as a share of it
  } cases[] = {
      {"seq.jpg", HostileJpeg(false), 0.1},
      {"prog.jpg", HostileJpeg(true), 0.1},
      {"ones-grey.jpg", AllOnesProgressiveJpeg(1), 0.1},
      {"ones-444.jpg", AllOnesProgressiveJpeg(3), 0.1},
      // libtiff decodes a whole strip into a zeroed buffer of its own: 3 bytes a pixel here.
      {"a.tif", {}, 0.8},
      {"data.png", HostilePng(true), 0.1},
      {"nodata.png", HostilePng(false), 0.1},
      {"a.gif", HostileGif(), 0.1},
      {"a.pgm", Text("P5\n16384 8192\n255\n" + std::string(8, '\x7f')), 0.1},
      {"plain.pgm", Text("P2\n16384 8192\n255\n1 2 3"), 0.1},
      {"a.ppm", Text("P6\n16384 8192\n255\n" + std::string(8, '\x7f')), 0.1},
      {"a.bmp", HostileBmp(), 0.1},
      {"a.tga", HostileTga(), 0.1},
  };
  for (const auto& c : cases) {
    const std::string path = dir / c.name;
    if (!c.bytes.empty()) WriteFile(path, c.bytes);
    const size_t file_bytes = std::filesystem::file_size(path);
    const int64_t rise = PeakRise([&] {
      ZR_Image image;
      std::freopen("/dev/null", "w", stderr);  // the child's messages are not the test's
      image.Load(path.c_str());
    });
    ASSERT_GE(rise, 0) << c.name;
    std::printf("peak rise %-13s %6zu bytes on disk: %7.1f MiB (picture %lld MiB)\n", c.name,
                file_bytes, rise / 1048576.0, static_cast<long long>(kPictureBytes >> 20));
#ifndef ZR_MEMORY_SANITIZED
    EXPECT_LE(rise, kPictureBytes + int64_t(c.allowed * kPictureBytes)) << c.name;
#endif
  }
}

// Takes every line into one buffer.
class DiscardingSink : public jpgd::jpeg_line_sink {
 public:
  bool begin(int32_t width, int32_t, int32_t) override {
    m_line.resize(size_t(width) * 4);
    return true;
  }
  uint8_t* line(int32_t) override { return m_line.data(); }
  Bytes m_line;
};

// The output pass reads a block's AC values only where a scan stored some; a kernel that maps
// pages only read to one zero page would hide reads of the rest from the peak above. prog.jpg's
// data cover its 16 x 16 picture: 2 x 2 luma blocks and one block per chroma component. The
// all-ones files have no data; the block where each AC scan meets the end of it is decoded.
TEST(LoadPeakMemory, HostileProgressiveFilesReadOnlyTheBlocksTheirDataReached) {
  const struct {
    const char* name;
    Bytes bytes;
    int64_t most;
  } cases[] = {
      {"prog.jpg", HostileJpeg(true), 6},
      {"ones-grey.jpg", AllOnesProgressiveJpeg(1), 1},
      {"ones-444.jpg", AllOnesProgressiveJpeg(3), 3},
  };
  for (const auto& c : cases) {
    jpgd::jpeg_decoder_mem_stream stream(c.bytes.data(), c.bytes.size());
    DiscardingSink sink;
    int32_t status = 0;
    const int64_t before = jpgd::ProgressivePlaneBlocksRead();
    ASSERT_TRUE(jpgd::DecodeJpegStreamToSink(&stream, &sink, &status)) << c.name << " " << status;
    const int64_t read = jpgd::ProgressivePlaneBlocksRead() - before;
    EXPECT_LE(read, c.most) << c.name;
    EXPECT_GT(read, 0) << c.name;
  }
}

// Records how far resident memory had risen when a reader asked for its picture.
class RecordingAdmission : public ZR_PixelAdmission {
 public:
  explicit RecordingAdmission(int64_t before) : m_before(before) {}
  void Admit(int64_t pixels) override {
    m_calls += 1;
    m_pixels += pixels;
    m_rise = ZR_StatusBytes("VmHWM:") - m_before;
  }
  int64_t m_before, m_calls = 0, m_pixels = 0, m_rise = -1;
};

// A reader asks for its picture once, with its pixel count, before it holds memory for it:
// a progressive JPEG's coefficients come after the admission too. Measured in a child process
// as above on a real 3000 x 2000 photo-like picture, each way of coding it.
TEST(LoadPeakMemory, ReadersAdmitThePictureBeforeHoldingIt) {
  constexpr int32_t w = 3000, h = 2000;
  constexpr int64_t picture_bytes = int64_t{w} * h * 4;
  ZR_TempFolder dir;
  for (const bool progressive : {false, true}) {
    jpeg_fixture::EncodeOptions o;
    o.progressive = progressive;
    const std::string path = dir / (progressive ? "prog.jpg" : "seq.jpg");
    WriteFile(path, jpeg_fixture::EncodePicture(w, h, o));
    int out[2];
    ASSERT_EQ(0, ::pipe(out));
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(out[0]);
      ZR_ResetPeakMemory();
      RecordingAdmission admission(ZR_StatusBytes("VmRSS:"));
      {
        ZR_ScopedPixelAdmission scope(admission);
        ZR_Image image;
        image.Load(path.c_str());
      }
      const int64_t report[3] = {admission.m_calls, admission.m_pixels, admission.m_rise};
      const bool sent = ::write(out[1], report, sizeof report) == ssize_t(sizeof report);
      ::_exit(sent ? 0 : 1);
    }
    ::close(out[1]);
    int64_t report[3] = {-1, -1, -1};
    const bool read = ::read(out[0], report, sizeof report) == ssize_t(sizeof report);
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(read) << path;
    EXPECT_EQ(1, report[0]) << path;
    EXPECT_EQ(int64_t{w} * h, report[1]) << path;
    std::printf("%s: resident rise when admitted %.1f MiB (picture %.1f MiB)\n", path.c_str(),
                report[2] / 1048576.0, picture_bytes / 1048576.0);
#ifndef ZR_MEMORY_SANITIZED
    EXPECT_LT(report[2], picture_bytes / 10) << path;
#endif
  }
}

}  // namespace
