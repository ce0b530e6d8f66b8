// image/readers/pgm_reader.cpp: PGM grey images, binary ("P5", one byte per sample) and plain
// text ("P2", decimal samples, low 8 bits kept); rows top-down, stretched to 0..255.
#include "image/zr_image.h"

#include <cstring>

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
  if (!ZR_ReaderSizeOk(header.width, header.height, "ZR_Image::LoadPGM()", name)) return false;
  const int32_t rows = static_cast<int32_t>(header.height);
  const int32_t cols = static_cast<int32_t>(header.width);
  ZR_Array2D<unsigned char> grey(rows, cols);
  // Samples the file lacks (cut short, or a text sample that is no number) are 0.
  for (int32_t r = rows - 1; r >= 0; --r) {
    unsigned char* row = grey[r];
    if (header.kind == '5') {
      size_t got = std::fread(row, 1, static_cast<size_t>(cols), file.get());
      std::memset(row + got, 0, static_cast<size_t>(cols) - got);
      continue;
    }
    // The text samples continue from the header in the same stream, so comment lines in the
    // header cannot shift them.
    int32_t c = 0;
    for (int32_t value; c < cols && ZR_ReadNetpbmNumber(file.get(), &value); ++c)
      row[c] = static_cast<unsigned char>(value & 0xff);
    if (c < cols) {
      std::memset(row + c, 0, static_cast<size_t>(cols - c));
      for (int32_t rest = r - 1; rest >= 0; --rest) std::memset(grey[rest], 0, cols);
      break;
    }
  }
  StretchGreyRange(grey);
  SetGrey(grey);
  return true;
}
