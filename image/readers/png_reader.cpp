// image/readers/png_reader.cpp: PNG through libpng. Palettes and low bit depths are expanded,
// 16-bit samples reduced to their high byte, RGB given alpha 255; grey images are refused. The
// header's size passes the shared cap before any row is allocated. libpng reports errors by
// longjmp, so the frame that sets the jump point holds no C++ object with a destructor.
#include "image/zr_image.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <png.h>

#include "core/zr_file_system.h"
#include "image/internal/reader_support.h"

namespace {

bool ReadPng(FILE* file, ZR_Image* image, const char* name) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    std::free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_user_limits(png, 65535, 65535);
  png_init_io(png, file);
  png_set_sig_bytes(png, 0);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!ZR_CheckSizeAndWaitForRoom(width, height, "ZR_Image::LoadPNG()", name)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  // The transforms of PNG_TRANSFORM_EXPAND and PNG_TRANSFORM_STRIP_16, plus a filler byte of 255
  // after RGB so that every accepted picture arrives as R, G, B, A rows.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_filler(png, 0xff, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_channels(png, info) != 4 || png_get_rowbytes(png, info) != 4 * size_t{width}) {
    png_destroy_read_struct(&png, &info, nullptr);  // grey and grey with alpha
    return false;
  }
  const int32_t image_rows = static_cast<int32_t>(height);
  image->Resize(image_rows, static_cast<int32_t>(width));
  ZR_FillOpaqueBlack(*image);
  rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
  if (!rows) png_error(png, "out of memory for the row table");
  // The PNG's first row is the top row.
  for (int32_t i = 0; i < image_rows; ++i)
    rows[i] = reinterpret_cast<png_bytep>((*image)[image_rows - 1 - i]);
  png_read_image(png, rows);
  png_read_end(png, info);
  std::free(rows);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool ZR_Image::LoadPNG(const char* name) {
  if (!FileExists(name)) return false;
  ZR_File file = ZR_OpenFile(name, "rb");
  if (!file) return false;
  return ReadPng(file.get(), this, name);
}
