// image/zr_image_exception.h: ZR_ImageException, what ZR_Image::ResizeImage throws for a size it
// cannot resample. A plain type thrown by value; the per-image road catches it.
#ifndef IMAGE_ZR_IMAGE_EXCEPTION_H
#define IMAGE_ZR_IMAGE_EXCEPTION_H

#include "core/zr_string.h"

// ZR_ImageException: one message naming the function, ending in a line feed; nothing is printed.
class ZR_ImageException {
 public:
  explicit ZR_ImageException(const ZR_String& message) : m_message(message) {}

  ZR_String m_message;
};

#endif  // IMAGE_ZR_IMAGE_EXCEPTION_H
