// image/image_limits.h: the one image-size cap that every image reader and the own JPEG decoder
// apply before allocating pixels, so a small file cannot claim a picture that exhausts memory.
#ifndef IMAGE_IMAGE_LIMITS_H
#define IMAGE_IMAGE_LIMITS_H

#include <cstdint>

// Largest side in pixels and largest pixel count (2^27, 512 MiB at 4 bytes a pixel).
constexpr int64_t kZrMaxImageSide = 65535;
constexpr int64_t kZrMaxImagePixels = int64_t{1} << 27;

// True when a width × height picture is within the cap: each side 1..65535 and at most 2^27
// pixels, computed in 64 bits so that no product overflows.
constexpr bool ZR_ImageSizeOk(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= kZrMaxImageSide && height <= kZrMaxImageSide &&
         width * height <= kZrMaxImagePixels;
}

#endif  // IMAGE_IMAGE_LIMITS_H
