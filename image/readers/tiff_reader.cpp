// image/readers/tiff_reader.cpp: TIFF through libtiff's RGBA interface (first directory). The
// raster's first row is the bottom row, as in the image's own block, so libtiff fills that block
// directly and each packed pixel is then rewritten in place as R, G, B, 255: a load holds one
// copy of the picture. The size is checked against the shared cap before the block is allocated.
// Errors go to the error stream as one line from a handler of this handle only; warnings are
// dropped.
#include "image/zr_image.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <tiffio.h>

#include "core/zr_file_system.h"
#include "image/internal/reader_support.h"

namespace {

int PrintTiffError(TIFF*, void* name, const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof(text), format, args);
  std::fprintf(stderr, "ZR_Image::LoadTIFF() %s: %s: %s\n", static_cast<const char*>(name),
               module ? module : "libtiff", text);
  return 1;
}

int DropTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

bool ZR_Image::LoadTIFF(const char* name) {
  if (!FileExists(name)) return false;
  {
    ZR_File probe = ZR_OpenFile(name, "r");
    if (!probe) return false;
  }
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return false;
  TIFFOpenOptionsSetErrorHandlerExtR(options, PrintTiffError, const_cast<char*>(name));
  TIFFOpenOptionsSetWarningHandlerExtR(options, DropTiffWarning, nullptr);
  TIFF* tif = TIFFOpenExt(name, "r", options);
  TIFFOpenOptionsFree(options);
  if (!tif) return false;
  uint32_t width = 0, height = 0;
  bool ok = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) == 1 &&
            TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) == 1 &&
            ZR_CheckSizeAndWaitForRoom(width, height, "ZR_Image::LoadTIFF()", name);
  if (ok) {
    static_assert(sizeof(ZR_Colour) == sizeof(uint32_t), "one packed pixel per image pixel");
    const int32_t rows = static_cast<int32_t>(height);
    const int32_t cols = static_cast<int32_t>(width);
    Resize(rows, cols);  // rows bottom-up, one block: the raster's layout
    ZR_Colour* pixels = Block();
    ok = TIFFReadRGBAImage(tif, width, height, reinterpret_cast<uint32_t*>(pixels), 0) == 1;
    const size_t count = size_t{width} * height;
    for (size_t i = 0; ok && i < count; ++i) {
      uint32_t p;
      std::memcpy(&p, &pixels[i], sizeof(p));
      pixels[i] = {static_cast<uint8_t>(TIFFGetR(p)), static_cast<uint8_t>(TIFFGetG(p)),
                   static_cast<uint8_t>(TIFFGetB(p)), 255};
    }
  }
  TIFFClose(tif);
  return ok;
}
