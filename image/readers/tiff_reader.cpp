// image/readers/tiff_reader.cpp: TIFF through libtiff's RGBA interface (first directory). The
// raster's first row is the bottom row. The size is checked against the shared cap and computed
// in size_t before the raster is allocated. Errors go to the error stream as one line from a
// handler of this handle only; warnings are dropped.
#include "image/zr_image.h"

#include <cstdarg>
#include <cstdio>

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
            ZR_ReaderSizeOk(width, height, "ZR_Image::LoadTIFF()", name);
  uint32_t* raster = nullptr;
  if (ok) {
    raster = static_cast<uint32_t*>(_TIFFmalloc(static_cast<tmsize_t>(size_t{width} * height * 4)));
    ok = raster && TIFFReadRGBAImage(tif, width, height, raster, 0) == 1;
  }
  if (ok) {
    const int32_t rows = static_cast<int32_t>(height);
    const int32_t cols = static_cast<int32_t>(width);
    Resize(rows, cols);
    const uint32_t* p = raster;
    for (int32_t r = 0; r < rows; ++r) {
      ZR_Colour* out = (*this)[r];
      for (int32_t c = 0; c < cols; ++c, ++p)
        out[c] = {static_cast<uint8_t>(TIFFGetR(*p)), static_cast<uint8_t>(TIFFGetG(*p)),
                  static_cast<uint8_t>(TIFFGetB(*p)), 255};
    }
  }
  if (raster) _TIFFfree(raster);
  TIFFClose(tif);
  return ok;
}
