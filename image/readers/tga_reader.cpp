// image/readers/tga_reader.cpp: uncompressed true-colour Targa (type 2) of 24 or 32 bits. Rows are
// bottom-up unless descriptor bit 5 says top-down; 32-bit pixels keep their alpha.
#include "image/zr_image.h"

#include <vector>

#include "core/zr_file_system.h"
#include "image/internal/reader_support.h"

namespace {

constexpr int kHeaderBytes = 18;
constexpr uint8_t kTrueColour = 2;
constexpr uint8_t kTopDown = 0x20;

}  // namespace

bool ZR_Image::LoadTGA(const char* name) {
  if (!FileExists(name)) return false;
  ZR_File file = ZR_OpenFile(name, "rb");
  if (!file) return false;
  uint8_t header[kHeaderBytes];
  if (std::fread(header, 1, kHeaderBytes, file.get()) != kHeaderBytes) return false;
  const int depth = header[16];
  if (header[2] != kTrueColour || (depth != 24 && depth != 32)) return false;
  if (header[0] != 0 && std::fseek(file.get(), header[0], SEEK_CUR) != 0) return false;
  int64_t skip = 0;
  if (header[1] != 0) skip = int64_t{ZR_Le16(header + 5)} * ((header[7] + 7) / 8);
  const int64_t width = static_cast<int16_t>(ZR_Le16(header + 12));
  const int64_t height = static_cast<int16_t>(ZR_Le16(header + 14));
  if (!ZR_CheckSizeAndWaitForRoom(width, height, "ZR_Image::LoadTGA()", name)) return false;
  const int64_t bytes_per_pixel = depth / 8;
  const int64_t pixel_bytes = bytes_per_pixel * width * height;
  // The ID field, colour map and pixels must all be in the file before anything is allocated.
  const int64_t size = ZR_FileSize(file.get());
  if (size < 0 || size < kHeaderBytes + header[0] + skip + pixel_bytes) return false;
  if (skip != 0 && std::fseek(file.get(), static_cast<long>(skip), SEEK_CUR) != 0) return false;
  std::vector<uint8_t> pixels(static_cast<size_t>(pixel_bytes));
  if (std::fread(pixels.data(), 1, pixels.size(), file.get()) != pixels.size()) return false;

  const int32_t rows = static_cast<int32_t>(height);
  const int32_t cols = static_cast<int32_t>(width);
  Resize(rows, cols);
  const bool top_down = (header[17] & kTopDown) != 0;
  const uint8_t* p = pixels.data();
  for (int32_t file_row = 0; file_row < rows; ++file_row) {
    ZR_Colour* out = (*this)[top_down ? rows - 1 - file_row : file_row];
    for (int32_t c = 0; c < cols; ++c, p += bytes_per_pixel)
      out[c] = {p[2], p[1], p[0], depth == 32 ? p[3] : uint8_t{255}};
  }
  return true;
}
