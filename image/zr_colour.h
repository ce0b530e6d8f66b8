// image/zr_colour.h: the pixel types. ZR_Colour is red, green, blue, alpha in memory order, so read
// as a little-endian word red is the lowest byte (0xff808080 is opaque mid grey). Later stages and
// the plug-ins depend on this order; zr_rgb_data is the same without alpha.
#ifndef IMAGE_ZR_COLOUR_H
#define IMAGE_ZR_COLOUR_H

#include <cstdint>

// One pixel; alpha 255 is opaque. A plain record: no constructor, no defined value until written.
struct ZR_Colour {
  uint8_t r;
  uint8_t g;
  uint8_t b;
  uint8_t a;
};

// Three bytes red, green, blue.
struct zr_rgb_data {
  uint8_t r;
  uint8_t g;
  uint8_t b;
};

static_assert(sizeof(ZR_Colour) == 4 && alignof(ZR_Colour) == 1, "ZR_Colour is 4 bytes R, G, B, A");
static_assert(sizeof(zr_rgb_data) == 3 && alignof(zr_rgb_data) == 1, "zr_rgb_data is 3 bytes R, G, B");

#endif  // IMAGE_ZR_COLOUR_H
