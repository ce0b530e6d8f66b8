// image/readers/reader_support.cpp: helpers shared by the image-file readers.
#include "image/internal/reader_support.h"

#include <cstdio>

#include "image/image_limits.h"
#include "image/pixel_admission.h"

namespace {

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing builds refuse pictures above 256 K pixels, so that an input claiming a huge picture costs
// no more than a small one; the checks around the cap are the same.
constexpr int64_t kPixelLimit = int64_t{1} << 18;
#else
constexpr int64_t kPixelLimit = kZrMaxImagePixels;
#endif

}  // namespace

bool ZR_CheckSizeAndWaitForRoom(int64_t width, int64_t height, const char* reader,
                                const char* name) {
  if (ZR_ImageSizeOk(width, height) && width * height <= kPixelLimit) {
    ZR_AdmitPixels(width * height);  // may wait until the picture fits in memory
    return true;
  }
  std::fprintf(stderr,
               "%s Error! image size %lld x %lld of %s is outside 1..%lld per side or above %lld "
               "pixels\n",
               reader, static_cast<long long>(width), static_cast<long long>(height), name,
               static_cast<long long>(kZrMaxImageSide), static_cast<long long>(kPixelLimit));
  return false;
}

void ZR_PrintPerror(const std::string& text) { std::perror(text.c_str()); }

void ZR_FillOpaqueBlack(ZR_Image& image) {
  for (int32_t r = image.m_row_lo; r <= image.m_row_hi && image.m_cols > 0; ++r) {
    ZR_Colour* row = image[r];
    for (int32_t c = image.m_col_lo; c <= image.m_col_hi; ++c) row[c] = {0, 0, 0, 255};
  }
}

int64_t ZR_FileSize(FILE* f) {
  long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(f);
  if (std::fseek(f, here, SEEK_SET) != 0) return -1;
  return end;
}
