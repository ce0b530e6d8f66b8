// image/readers/jpeg_file_reader.cpp: JPEG files through the system's own decoder, whose top-down
// R, G, B, A lines go straight into image rows from the top (rows - 1) down: a load holds one copy
// of the picture.
#include "image/zr_image.h"

#include "core/zr_file_system.h"
#include "image/internal/reader_support.h"
#include "image/jpeg/jpgd.h"

namespace {

// Sizes the image once the decoder knows the picture, then hands out its rows top first.
class ImageRows : public jpgd::jpeg_line_sink {
 public:
  ImageRows(ZR_Image& image, const char* name) : m_image(image), m_name(name) {}
  // The size is checked, and the picture admitted, before the decoder allocates for its scans.
  bool frame(int32_t width, int32_t height) override {
    m_sized = ZR_CheckSizeAndWaitForRoom(width, height, "ZR_Image::LoadJPEG()", m_name);
    m_width = width;
    m_height = height;
    return m_sized;
  }
  bool begin(int32_t width, int32_t height, int32_t) override {
    if (!m_sized || width != m_width || height != m_height) return false;
    m_image.Resize(height, width);
    return true;
  }
  uint8_t* line(int32_t y) override {
    return reinterpret_cast<uint8_t*>(m_image[m_image.m_rows - 1 - y]);
  }

 private:
  ZR_Image& m_image;
  const char* m_name;
  bool m_sized = false;
  int32_t m_width = 0, m_height = 0;
};

}  // namespace

bool ZR_Image::LoadJPEG(const char* name) {
  if (!FileExists(name)) return false;
  jpgd::jpeg_decoder_file_stream file;
  if (!file.open(name)) return false;
  ImageRows rows(*this, name);
  return jpgd::DecodeJpegStreamToSink(&file, &rows, nullptr);
}
