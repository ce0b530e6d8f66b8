// image/readers/bif_reader.cpp: the BIF container, whose picture is the JPEG stream that starts
// at its second start-of-image marker (FF D8); that stream is decoded from memory.
#include "image/zr_image.h"

#include <cstdio>
#include <cstring>

#include "core/zr_file_system.h"
#include "image/internal/reader_support.h"

namespace {

// Far above any real container; a larger file is refused before it is read into memory.
constexpr uint32_t kMaxBifBytes = uint32_t{1} << 29;

}  // namespace

bool ZR_Image::LoadBIF(const char* name) {
  const uint32_t n = GetFileLength(name);
  if (n < 2) {
    std::fputs("Not enough bytes for a BIF file\n", stderr);
    return false;
  }
  if (n > kMaxBifBytes) {
    std::fprintf(stderr, "ZR_Image::LoadBIF() Error! %s has %u bytes, more than the %u allowed\n",
                 name, n, kMaxBifBytes);
    return false;
  }
  ZR_Array<unsigned char> bytes;
  bytes.Resize(static_cast<int32_t>(n));
  {
    ZR_File file = ZR_OpenFile(name, "rb");
    if (!file) {
      std::fputs("Failed to open file\n", stderr);
      return false;
    }
    if (std::fread(&bytes[0], 1, n, file.get()) != n) return false;
  }
  // i: the D8 of the first FF D8; j: the FF of the next one.
  uint32_t i = 1;
  while (i < n && !(bytes[i - 1] == 0xFF && bytes[i] == 0xD8)) ++i;
  if (i >= n) {
    std::fputs("Failed to find first JPG marker in BIF file\n", stderr);
    return false;
  }
  uint32_t j = i;
  while (j + 1 < n && !(bytes[j] == 0xFF && bytes[j + 1] == 0xD8)) ++j;
  if (j + 1 >= n) {
    std::fputs("Failed to find second JPG marker in BIF file\n", stderr);
    return false;
  }
  ZR_Array<unsigned char> stream;
  stream.Resize(static_cast<int32_t>(n - j));
  std::memcpy(&stream[0], &bytes[j], n - j);
  return ReadJPEG(stream);
}
