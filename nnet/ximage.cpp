// nnet/ximage.cpp: named images and byte images. The zoomed copy computes its step in 64 bits so
// that the most negative zoom cannot overflow when negated.
#include "nnet/ximage.h"

#include <cstdlib>
#include <cstring>
#include <new>

XImage::XImage(const char* image_name)
    : name(image_name ? strdup(image_name) : nullptr), width(0), height(0), size(0) {}

XImage::~XImage() {
  free(name);
}

int32_t XImage::Kind() {
  return 0;
}

void XImage::CopyPixels(unsigned char*, int32_t) {}

unsigned char* XImage::Data() {
  return nullptr;
}

XByteImage::XByteImage(const char* image_name) : XImage(image_name), pixels(nullptr) {}

XByteImage::~XByteImage() {
  free(pixels);
}

int32_t XByteImage::Kind() {
  return 1;
}

unsigned char* XByteImage::Data() {
  return pixels;
}

void XByteImage::Allocate(int32_t new_width, int32_t new_height) {
  free(pixels);
  pixels = nullptr;
  width = height = size = 0;
  const int64_t bytes = int64_t{new_width} * new_height;
  if (new_width < 0 || new_height < 0 || bytes > INT32_MAX) throw std::bad_array_new_length();
  if (bytes > 0) {
    pixels = static_cast<unsigned char*>(malloc(static_cast<size_t>(bytes)));
    if (!pixels) throw std::bad_alloc();
    memset(pixels, 255, static_cast<size_t>(bytes));
  }
  width = new_width;
  height = new_height;
  size = static_cast<int32_t>(bytes);
}

void XByteImage::CopyPixels(unsigned char* out, int32_t zoom) {
  if (!pixels) return;
  if (zoom == 0) {
    memcpy(out, pixels, static_cast<size_t>(size));
  } else if (zoom > 0) {
    for (int32_t y = 0; y < height; ++y) {
      const unsigned char* row = pixels + int64_t{y} * width;
      for (int32_t repeat = 0; repeat < zoom; ++repeat) {
        for (int32_t x = 0; x < width; ++x) {
          memset(out, row[x], static_cast<size_t>(zoom));
          out += zoom;
        }
      }
    }
  } else {
    const int64_t step = -int64_t{zoom};
    for (int64_t y = 0; y < height; y += step) {
      for (int64_t x = 0; x < width; x += step) *out++ = pixels[y * width + x];
    }
  }
}
