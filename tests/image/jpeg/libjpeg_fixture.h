// tests/image/jpeg/libjpeg_fixture.h: JPEG fixtures made in the test with libjpeg's compressor,
// libjpeg's decompressor as the reference, our decoder on a memory stream, and byte surgery on
// marker segments for malformed-input cases. Header-only: the image tests include it.
#ifndef TESTS_IMAGE_JPEG_LIBJPEG_FIXTURE_H
#define TESTS_IMAGE_JPEG_LIBJPEG_FIXTURE_H

#include <csetjmp>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "image/jpeg/jpgd.h"

namespace jpeg_fixture {

using Bytes = std::vector<uint8_t>;

struct EncodeOptions {
  int32_t comps = 3;  // 1 grey, 3 YCbCr (from RGB), 4 CMYK
  bool rgb = false;   // 3 components coded as RGB (ids 'R', 'G', 'B' and an Adobe segment)
  int32_t h0 = 2, v0 = 2;  // sampling of the first component (others 1×1)
  int32_t quality = 85;
  bool progressive = false;
  bool optimize = false;       // optimised Huffman tables
  bool force_baseline = true;  // false with low quality gives 16-bit tables and SOF1
  bool arithmetic = false;
  uint32_t restart_interval = 0;  // in MCUs
  int32_t restart_rows = 0;       // in MCU rows
  const jpeg_scan_info* scans = nullptr;
  int32_t scan_count = 0;
};

struct LibjpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

inline void LibjpegErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<LibjpegError*>(cinfo->err)->jump, 1);
}
inline void LibjpegSilence(j_common_ptr, int) {}

// Smooth gradients plus noise, so that long AC codes, FF bytes in the data and every MCU
// position get exercised. comps bytes a pixel, seeded.
inline Bytes MakePicture(int32_t w, int32_t h, int32_t comps, uint32_t seed, int32_t noise = 40) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> jitter(-noise, noise);
  Bytes px(static_cast<size_t>(w) * h * comps);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int32_t c = 0; c < comps; ++c) {
        double base = 128 + 90 * std::sin((x + 3 * c) * 0.09 + c) * std::cos(y * 0.07 - c);
        int32_t v = static_cast<int32_t>(base) + (noise ? jitter(rng) : 0);
        px[(static_cast<size_t>(y) * w + x) * comps + c] =
            static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
  return px;
}

// Compresses pixels (comps bytes a pixel) with libjpeg; empty on failure.
inline Bytes EncodeJpeg(const Bytes& px, int32_t w, int32_t h, const EncodeOptions& o) {
  jpeg_compress_struct cinfo;
  LibjpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = LibjpegErrorExit;
  err.mgr.emit_message = LibjpegSilence;  // quality 1 warns about coarse tables
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out, &out_size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = o.comps;
  cinfo.in_color_space = o.comps == 1 ? JCS_GRAYSCALE : (o.comps == 4 ? JCS_CMYK : JCS_RGB);
  jpeg_set_defaults(&cinfo);
  cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
  jpeg_set_quality(&cinfo, o.quality, o.force_baseline ? TRUE : FALSE);
  if (o.rgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
  if (o.comps == 3) {
    cinfo.comp_info[0].h_samp_factor = o.h0;
    cinfo.comp_info[0].v_samp_factor = o.v0;
    for (int32_t c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = 1;
    for (int32_t c = 1; c < 3; ++c) cinfo.comp_info[c].v_samp_factor = 1;
  }
  cinfo.optimize_coding = o.optimize ? TRUE : FALSE;
  cinfo.restart_interval = o.restart_interval;
  cinfo.restart_in_rows = o.restart_rows;
  if (o.progressive) jpeg_simple_progression(&cinfo);
  if (o.scans) {
    cinfo.scan_info = o.scans;
    cinfo.num_scans = o.scan_count;
  }
  jpeg_start_compress(&cinfo, TRUE);
  const size_t stride = static_cast<size_t>(w) * o.comps;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(px.data() + cinfo.next_scanline * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes result(out, out + out_size);
  std::free(out);
  return result;
}

inline Bytes EncodePicture(int32_t w, int32_t h, const EncodeOptions& o, uint32_t seed = 1) {
  return EncodeJpeg(MakePicture(w, h, o.comps, seed), w, h, o);
}

struct Picture {
  int32_t width = 0, height = 0, comps = 0;
  int32_t status = 0;
  Bytes rgba;  // 4 bytes a pixel, top line first
  bool ok() const { return !rgba.empty(); }
};

// Our decoder on a memory stream.
inline Picture DecodeOurs(const Bytes& jpeg) {
  Picture p;
  jpgd::jpeg_decoder_mem_stream stream(jpeg.data(), jpeg.size());
  unsigned char* px =
      jpgd::DecodeJpegStreamWithStatus(&stream, &p.width, &p.height, &p.comps, &p.status);
  if (px) {
    p.rgba.assign(px, px + static_cast<size_t>(p.width) * p.height * 4);
    std::free(px);
  }
  return p;
}

// libjpeg's islow decoder, as 4 bytes a pixel like ours; fancy selects its triangle upsampling
// (else replication, which is what ours does for H2V1 and H1V2).
inline Picture DecodeLibjpeg(const Bytes& jpeg, bool fancy) {
  Picture p;
  jpeg_decompress_struct cinfo;
  LibjpegError err;
  std::vector<uint8_t> row;  // before setjmp: a jump back must not skip its destructor
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = LibjpegErrorExit;
  err.mgr.emit_message = LibjpegSilence;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    p.rgba.clear();
    return p;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.do_fancy_upsampling = fancy ? TRUE : FALSE;
  cinfo.do_block_smoothing = FALSE;
  cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  p.width = static_cast<int32_t>(cinfo.output_width);
  p.height = static_cast<int32_t>(cinfo.output_height);
  p.comps = cinfo.num_components;
  const int32_t n = cinfo.output_components;
  row.resize(static_cast<size_t>(p.width) * n);
  p.rgba.resize(static_cast<size_t>(p.width) * p.height * 4);
  while (cinfo.output_scanline < cinfo.output_height) {
    uint8_t* dst = p.rgba.data() + static_cast<size_t>(cinfo.output_scanline) * p.width * 4;
    JSAMPROW r = row.data();
    jpeg_read_scanlines(&cinfo, &r, 1);
    for (int32_t x = 0; x < p.width; ++x) {
      for (int32_t c = 0; c < 3; ++c) dst[x * 4 + c] = row[x * n + (n == 1 ? 0 : c)];
      dst[x * 4 + 3] = 255;
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return p;
}

// Largest per-channel difference and PSNR over the colour channels.
struct Difference {
  int32_t max = 0;
  double psnr = 0;
};

inline Difference Compare(const Picture& a, const Picture& b) {
  Difference d;
  double sq = 0;
  size_t n = 0;
  for (size_t i = 0; i < a.rgba.size() && i < b.rgba.size(); ++i) {
    if (i % 4 == 3) continue;
    int32_t e = std::abs(static_cast<int32_t>(a.rgba[i]) - b.rgba[i]);
    if (e > d.max) d.max = e;
    sq += static_cast<double>(e) * e;
    ++n;
  }
  d.psnr = sq == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / (sq / static_cast<double>(n)));
  return d;
}

// Offset of the n-th (from 0) FF <marker> pair, or -1.
inline int64_t FindMarker(const Bytes& b, uint8_t marker, int32_t nth = 0) {
  for (size_t i = 0; i + 1 < b.size(); ++i)
    if (b[i] == 0xFF && b[i + 1] == marker && nth-- == 0) return static_cast<int64_t>(i);
  return -1;
}

inline void Put16(Bytes* b, size_t at, uint32_t v) {
  (*b)[at] = static_cast<uint8_t>(v >> 8);
  (*b)[at + 1] = static_cast<uint8_t>(v);
}

inline uint32_t Get16(const Bytes& b, size_t at) { return (uint32_t{b[at]} << 8) | b[at + 1]; }

}  // namespace jpeg_fixture

#endif  // TESTS_IMAGE_JPEG_LIBJPEG_FIXTURE_H
