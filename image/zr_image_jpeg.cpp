// image/zr_image_jpeg.cpp: JPEG streams in memory through libjpeg — decoding a whole stream into
// an image (the BIF reader's path) and encoding an image at its quality into a byte array. The
// frames that set libjpeg's jump point hold only plain data, so the longjmp skips no destructor.
#include "image/zr_image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

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

// The encoder's scratch output of one thread, kept from one encoding to the next: never
// zero-filled (only the bytes the compressor writes are read) and freed after an image that
// needed more than kKeptScratchBytes, so no thread keeps a large picture's buffer.
constexpr size_t kKeptScratchBytes = size_t{8} << 20;

class Scratch {
 public:
  // A buffer of at least bytes.
  JOCTET* Get(size_t bytes) {
    if (bytes > m_size) {
      m_block.reset(new JOCTET[bytes]);
      m_size = bytes;
    }
    return m_block.get();
  }
  void ShrinkIfLarge() {
    if (m_size <= kKeptScratchBytes) return;
    m_block.reset();
    m_size = 0;
  }

 private:
  std::unique_ptr<JOCTET[]> m_block;
  size_t m_size = 0;
};

thread_local Scratch t_scratch;

// Compresses the image's rows × cols pixels (row row_lo + rows - 1 written first) into buffer,
// libjpeg reading R, G, B from each R, G, B, A pixel in place. Sets *result as the destination
// does; false after a libjpeg error.
bool CompressImage(const ZR_Image& image, JOCTET* buffer, int32_t buffer_size, int32_t* result) {
  jpeg_compress_struct cinfo;
  zr_jpeg_error_manager err;
  cinfo.err = ZR_JpegErrorManager(&err);
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  ZR_JpegMemoryDestination(&cinfo, buffer, buffer_size, result);
  cinfo.image_width = static_cast<JDIMENSION>(image.m_cols);
  cinfo.image_height = static_cast<JDIMENSION>(image.m_rows);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_RGBA;  // the same colour conversion as for R, G, B
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, image.m_quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int32_t r = image.m_row_hi - static_cast<int32_t>(cinfo.next_scanline);
    JSAMPROW row =
        const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(image[r] + image.m_col_lo));
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
  JOCTET* buffer = t_scratch.Get(static_cast<size_t>(raw_bytes));
  int32_t result = -1;
  const bool ok = CompressImage(*this, buffer, static_cast<int32_t>(raw_bytes), &result);
  if (ok && result >= 0) {
    out.Resize(result);
    if (result > 0) std::memcpy(&out[0], buffer, static_cast<size_t>(result));
  }
  t_scratch.ShrinkIfLarge();
  return ok && result >= 0;
}
