// image/readers/pgm_reader.cpp: PGM grey images, binary ("P5", one byte per sample) and plain
// text ("P2", decimal samples, low 8 bits kept); rows top-down, stretched to 0..255.
#include "image/zr_image.h"

#include <cstring>
#include <vector>

#include "core/zr_file_system.h"
#include "image/internal/netpbm_header.h"
#include "image/internal/reader_support.h"

bool ZR_Image::LoadPGM(const char* name) {
  if (!FileExists(name)) return false;
  ZR_File file = ZR_OpenFile(name, "rb");
  if (!file) return false;
  zr_netpbm_header header;
  if (!ZR_ReadNetpbmHeader(file.get(), &header) || (header.kind != '5' && header.kind != '2') ||
      header.max_value < 1 || header.max_value > 255)
    return false;
  if (!ZR_CheckSizeAndWaitForRoom(header.width, header.height, "ZR_Image::LoadPGM()", name))
    return false;
  const int32_t rows = static_cast<int32_t>(header.height);
  const int32_t cols = static_cast<int32_t>(header.width);
  // Samples go straight into the pixels, one row buffer at a time, so a file that declares a
  // large picture costs the picture and nothing more; the stretch is applied in place after.
  Resize(0, rows - 1, 0, cols - 1);
  std::vector<unsigned char> line(static_cast<size_t>(cols));
  unsigned char lo = 255, hi = 0;
  bool ended = false;  // samples the file lacks (cut short, or a text sample that is no number) are 0
  for (int32_t r = rows - 1; r >= 0; --r) {
    unsigned char* row = line.data();
    size_t got = 0;
    if (ended) {
      // nothing more to read: the rest of the picture stays 0
    } else if (header.kind == '5') {
      got = std::fread(row, 1, static_cast<size_t>(cols), file.get());
    } else {
      // The text samples continue from the header in the same stream, so comment lines in the
      // header cannot shift them.
      for (int32_t value; got < size_t(cols) && ZR_ReadNetpbmNumber(file.get(), &value); ++got)
        row[got] = static_cast<unsigned char>(value & 0xff);
      ended = got < size_t(cols);
    }
    std::memset(row + got, 0, static_cast<size_t>(cols) - got);
    ZR_Colour* out = (*this)[r];
    for (int32_t c = 0; c < cols; ++c) {
      const unsigned char v = row[c];
      if (v < lo) lo = v;
      if (v > hi) hi = v;
      out[c] = {v, v, v, 255};
    }
  }
  unsigned char map[256];
  ZR_GreyStretchMap(lo, hi, map);
  for (int32_t r = 0; r < rows; ++r) {
    ZR_Colour* out = (*this)[r];
    for (int32_t c = 0; c < cols; ++c) {
      const unsigned char v = map[out[c].r];
      out[c] = {v, v, v, 255};
    }
  }
  return true;
}
