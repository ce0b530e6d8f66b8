// image/readers/jpeg_file_reader.cpp: JPEG files through the system's own decoder, whose top-down
// R, G, B, A rows become image rows from the top (rows - 1) down.
#include "image/zr_image.h"

#include <cstdlib>
#include <cstring>

#include "core/zr_file_system.h"
#include "image/internal/reader_support.h"
#include "image/jpeg/jpgd.h"

bool ZR_Image::LoadJPEG(const char* name) {
  if (!FileExists(name)) return false;
  int32_t width = 0, height = 0, components = 0;
  unsigned char* pixels = jpgd::DecodeJpegFile(name, &width, &height, &components);
  if (!pixels) return false;
  if (!ZR_ReaderSizeOk(width, height, "ZR_Image::LoadJPEG()", name)) {
    std::free(pixels);
    return false;
  }
  Resize(height, width);
  const size_t row_bytes = static_cast<size_t>(width) * 4;
  for (int32_t k = 0; k < height; ++k)
    std::memcpy((*this)[height - 1 - k], pixels + row_bytes * static_cast<size_t>(k), row_bytes);
  std::free(pixels);
  return true;
}
