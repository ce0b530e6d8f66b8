// image/zr_image_jpeg.cpp: JPEG streams in memory through libjpeg — decoding a whole stream into
// an image (the BIF reader's path) and encoding an image at its quality into a byte array. The
// frames that set libjpeg's jump point hold only plain data, so the longjmp skips no destructor.
#include "image/zr_image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "image/internal/libjpeg_glue.h"
#include "image/internal/reader_support.h"

namespace {

// Decodes size bytes into image. False after a libjpeg error (its message printed), for a picture
// over the size cap, or for 5 or more components.
bool DecodeStream(const JOCTET* data, size_t size, ZR_Image* image) {
  jpeg_decompress_struct cinfo;
  zr_jpeg_error_manager err;
  cinfo.err = ZR_JpegErrorManager(&err);
  JSAMPLE* volatile line = nullptr;
  if (setjmp(err.jump)) {
    std::free(line);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  ZR_JpegMemorySource(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  if (!ZR_CheckSizeAndWaitForRoom(cinfo.image_width, cinfo.image_height, "ZR_Image::ReadJPEG()",
                                  "stream")) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  const int components = cinfo.output_components;
  if (components >= 5) {
    jpeg_destroy_decompress(&cinfo);
    ZR_PrintPerror("ZR_Image::LoadJPEG(). Error, file format not supported!.\n");
    return false;
  }
  const int32_t rows = static_cast<int32_t>(cinfo.output_height);
  const int32_t cols = static_cast<int32_t>(cinfo.output_width);
  line = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(components) * cols));
  if (!line) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  image->Resize(rows, cols);
  while (cinfo.output_scanline < cinfo.output_height) {
    // Scanline k (0 at the top of the picture) is image row rows - 1 - k.
    const int32_t k = static_cast<int32_t>(cinfo.output_scanline);
    JSAMPROW row = line;
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
    ZR_Colour* out = (*image)[rows - 1 - k];
    const JSAMPLE* p = line;
    if (components == 4) {
      for (int32_t c = 0; c < cols; ++c, p += 4) out[c] = {p[0], p[1], p[2], p[3]};
    } else if (components == 3) {
      for (int32_t c = 0; c < cols; ++c, p += 3) out[c] = {p[0], p[1], p[2], 255};
    } else {
      for (int32_t c = 0; c < cols; ++c) out[c] = {p[c], p[c], p[c], 255};
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::free(line);
  return true;
}

// Compresses rows × cols RGB pixels (row rows - 1 written first) into buffer. Sets *result as the
// destination does; false after a libjpeg error.
bool CompressRgb(const zr_rgb_data* pixels, int32_t rows, int32_t cols, int32_t quality,
                 JOCTET* buffer, int32_t buffer_size, int32_t* result) {
  jpeg_compress_struct cinfo;
  zr_jpeg_error_manager err;
  cinfo.err = ZR_JpegErrorManager(&err);
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  ZR_JpegMemoryDestination(&cinfo, buffer, buffer_size, result);
  cinfo.image_width = static_cast<JDIMENSION>(cols);
  cinfo.image_height = static_cast<JDIMENSION>(rows);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const size_t r = static_cast<size_t>(rows) - 1 - cinfo.next_scanline;
    JSAMPROW row = const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(pixels + r * cols));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

bool ZR_Image::ReadJPEG(const ZR_Array<unsigned char>& bytes) {
  if (bytes.m_count < 2) {
    std::fprintf(stderr, "ZR_Image()::ReadJPEG() Not a JPEG file: %u bytes\n", bytes.m_count);
    return false;
  }
  const unsigned char* data = &bytes[bytes.m_lo];
  if (data[0] != 0xFF || data[1] != 0xD8) {
    std::fprintf(stderr, "ZR_Image()::ReadJPEG() Not a JPEG file first marker was %d %d\n",
                 data[0], data[1]);
    return false;
  }
  m_quality = 100;
  return DecodeStream(data, bytes.m_count, this);
}

bool ZR_Image::EncodeJPEG(ZR_Array<unsigned char>& out) const {
  const int32_t rows = m_rows;
  const int32_t cols = m_cols;
  if (rows < 1 || cols < 1) return true;
  const int64_t raw_bytes = int64_t{rows} * cols * 3;
  if (raw_bytes > std::numeric_limits<int32_t>::max()) return false;
  ZR_Array2D<zr_rgb_data> rgb(rows, cols);
  for (int32_t r = 0; r < rows; ++r) {
    const ZR_Colour* in = (*this)[m_row_lo + r] + m_col_lo;
    zr_rgb_data* to = rgb[r];
    for (int32_t c = 0; c < cols; ++c) to[c] = {in[c].r, in[c].g, in[c].b};
  }
  ZR_Array<unsigned char> buffer;
  buffer.Resize(static_cast<int32_t>(raw_bytes));
  int32_t result = -1;
  if (!CompressRgb(rgb[0], rows, cols, m_quality, &buffer[0], static_cast<int32_t>(raw_bytes),
                   &result) ||
      result < 0)
    return false;
  out.Resize(result);
  if (result > 0) std::memcpy(&out[0], &buffer[0], static_cast<size_t>(result));
  return true;
}
