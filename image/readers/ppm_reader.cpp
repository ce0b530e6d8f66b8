// image/readers/ppm_reader.cpp: binary PPM ("P6") of one byte per sample, rows top-down.
#include "image/zr_image.h"

#include <cstring>
#include <vector>

#include "core/zr_file_system.h"
#include "image/internal/netpbm_header.h"
#include "image/internal/reader_support.h"

bool ZR_Image::LoadPPM(const char* name) {
  if (!FileExists(name)) return false;
  ZR_File file = ZR_OpenFile(name, "rb");
  if (!file) return false;
  zr_netpbm_header header;
  // Two-byte samples (maximum value above 255) are not read.
  if (!ZR_ReadNetpbmHeader(file.get(), &header) || header.kind != '6' || header.max_value < 1 ||
      header.max_value > 255)
    return false;
  if (!ZR_CheckSizeAndWaitForRoom(header.width, header.height, "ZR_Image::LoadPPM()", name))
    return false;
  const int32_t rows = static_cast<int32_t>(header.height);
  const int32_t cols = static_cast<int32_t>(header.width);
  Resize(rows, cols);
  std::vector<uint8_t> line(static_cast<size_t>(cols) * 3);
  // The first file row is the top row; a file cut short reads as zero bytes from there on.
  for (int32_t r = rows - 1; r >= 0; --r) {
    size_t got = std::fread(line.data(), 1, line.size(), file.get());
    std::memset(line.data() + got, 0, line.size() - got);
    ZR_Colour* out = (*this)[r];
    const uint8_t* p = line.data();
    for (int32_t c = 0; c < cols; ++c, p += 3) out[c] = {p[0], p[1], p[2], 255};
  }
  return true;
}
