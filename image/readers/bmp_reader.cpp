// image/readers/bmp_reader.cpp: uncompressed Windows bitmaps of 8 (palette), 24 and 32 bits. The
// pixels are taken from the file header's data offset, rows bottom-up (top-down when the height is
// negative); 32-bit BI_BITFIELDS files are read when their masks are the plain B, G, R layout.
#include "image/zr_image.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "core/zr_file_system.h"
#include "image/internal/reader_support.h"

namespace {

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitfields = 3;
constexpr int64_t kFileHeaderBytes = 14;
constexpr int64_t kInfoHeaderBytes = 40;

void PrintUnrecognised(const char* name) {
  std::cerr << "ZR_Image::LoadBMP(). " << "Error! : " << name << " is an unrecognised BMP file";
}

// Reads up to n bytes at the current position; bytes the file does not have stay zero.
void ReadZeroFilled(std::ifstream& in, uint8_t* buf, size_t n) {
  std::memset(buf, 0, n);
  if (in) in.read(reinterpret_cast<char*>(buf), static_cast<std::streamsize>(n));
}

}  // namespace

bool ZR_Image::LoadBMP(const char* name) {
  if (!FileExists(name)) return false;
  std::ifstream in(name, std::ios::binary);
  if (!in.is_open()) {
    ZR_PrintPerror(std::string("ZR_Image::LoadBMP() Error! can't open file ") + name);
    return false;
  }
  if (in.bad()) {
    ZR_PrintPerror(std::string("ZR_Image::LoadBMP() Error! file stream bad ") + name);
    return false;
  }
  char magic[3] = {0, 0, 0};
  in.get(magic, 3);
  if (magic[0] != 'B' || magic[1] != 'M') {
    std::cerr << magic[0] << '|' << magic[1] << '|' << magic[2] << '|' << '\n';
    ZR_PrintPerror(std::string("ZR_Image::LoadBMP() Error!") + name + " is NOT a BMP File");
    return false;
  }
  in.seekg(0, std::ios::end);
  const int64_t file_size = static_cast<int64_t>(in.tellg());
  in.seekg(2, std::ios::beg);

  uint8_t header[12 + kInfoHeaderBytes];
  in.read(reinterpret_cast<char*>(header), sizeof(header));
  if (in.gcount() != static_cast<std::streamsize>(sizeof(header))) {
    std::fprintf(stderr, "ZR_Image::LoadBMP() Error! %s ends inside its %lld-byte header\n", name,
                 static_cast<long long>(kFileHeaderBytes + kInfoHeaderBytes));
    return false;
  }
  const uint8_t* info = header + 12;
  const int64_t pixel_offset = ZR_Le32(header + 8);
  const int64_t info_size = ZR_Le32(info);
  const int64_t width = static_cast<int32_t>(ZR_Le32(info + 4));
  const int64_t height = static_cast<int32_t>(ZR_Le32(info + 8));
  const uint16_t bits = ZR_Le16(info + 14);
  const uint32_t compression = ZR_Le32(info + 16);
  const uint32_t colours_used = ZR_Le32(info + 32);

  bool layout_ok = info_size >= kInfoHeaderBytes && (bits == 8 || bits == 24 || bits == 32);
  if (layout_ok && compression == kCompressionBitfields && bits == 32) {
    // The masks sit at file offset 54 after a 40-byte header and inside the larger headers alike.
    uint8_t masks[12];
    in.seekg(kFileHeaderBytes + kInfoHeaderBytes, std::ios::beg);
    ReadZeroFilled(in, masks, sizeof(masks));
    layout_ok = ZR_Le32(masks) == 0x00ff0000u && ZR_Le32(masks + 4) == 0x0000ff00u &&
                ZR_Le32(masks + 8) == 0x000000ffu;
  } else if (compression != kCompressionNone) {
    layout_ok = false;
  }
  if (!layout_ok) {
    PrintUnrecognised(name);
    return false;
  }
  // A negative height stores the rows top-down.
  const bool top_down = height < 0;
  const int64_t rows = top_down ? -height : height;
  if (!ZR_CheckSizeAndWaitForRoom(width, rows, "ZR_Image::LoadBMP()", name)) return false;
  if (pixel_offset < kFileHeaderBytes + info_size || pixel_offset > file_size) {
    std::fprintf(stderr,
                 "ZR_Image::LoadBMP() Error! pixel data offset %lld of %s is outside %lld..%lld\n",
                 static_cast<long long>(pixel_offset), name,
                 static_cast<long long>(kFileHeaderBytes + info_size),
                 static_cast<long long>(file_size));
    return false;
  }
  const int32_t cols = static_cast<int32_t>(width);
  Resize(static_cast<int32_t>(rows), cols);

  // Entries the file does not give (a short palette, an index past colours-used) are black.
  ZR_Colour palette[256];
  for (ZR_Colour& entry : palette) entry = {0, 0, 0, 255};
  if (bits == 8) {
    const uint32_t entries = colours_used == 0 || colours_used > 256 ? 256 : colours_used;
    uint8_t raw[256 * 4];
    in.clear();
    in.seekg(kFileHeaderBytes + info_size, std::ios::beg);
    ReadZeroFilled(in, raw, entries * 4);
    for (uint32_t i = 0; i < entries; ++i) palette[i] = {raw[4 * i + 2], raw[4 * i + 1], raw[4 * i], 255};
  }

  const size_t bytes_per_pixel = bits / 8;
  const size_t row_bytes = (bytes_per_pixel * static_cast<size_t>(cols) + 3) & ~static_cast<size_t>(3);
  std::vector<uint8_t> line(row_bytes);
  in.clear();
  in.seekg(pixel_offset, std::ios::beg);
  // A file cut short still loads: what it lacks reads as zero bytes.
  for (int32_t file_row = 0; file_row < rows; ++file_row) {
    ReadZeroFilled(in, line.data(), row_bytes);
    ZR_Colour* out = (*this)[top_down ? static_cast<int32_t>(rows) - 1 - file_row : file_row];
    const uint8_t* p = line.data();
    if (bits == 8) {
      for (int32_t c = 0; c < cols; ++c) out[c] = palette[p[c]];
    } else {
      for (int32_t c = 0; c < cols; ++c, p += bytes_per_pixel) out[c] = {p[2], p[1], p[0], 255};
    }
  }
  return true;
}
