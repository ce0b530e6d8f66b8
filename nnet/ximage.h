// nnet/ximage.h: named images that the neural-network detector keeps its masks in. XImage holds
// only a name and dimensions; XByteImage adds one byte per pixel, row-major.
#ifndef NNET_XIMAGE_H
#define NNET_XIMAGE_H

#include <cstdint>

// XImage: a named image without pixels; empty: no name when constructed with null, sizes 0.
//   Owns: its name, a copy on the C heap (as by strdup), freed by the virtual destructor.
//   Threads: not synchronised; an image belongs to one detector and one thread.
//   Failure: a name that cannot be copied leaves the image without a name, unreported.
class XImage {
 public:
  explicit XImage(const char* image_name);
  virtual ~XImage();
  XImage(const XImage&) = delete;  // would free the name twice
  XImage& operator=(const XImage&) = delete;

  // 0 for a plain image, 1 for a byte image.
  virtual int32_t Kind();
  // Writes the pixels to out, enlarged (zoom > 0) or subsampled (zoom < 0); a plain image writes
  // nothing. The caller provides room for the output size of the zoom it asks for.
  virtual void CopyPixels(unsigned char* out, int32_t zoom);
  // The pixel bytes, or null; a plain image has none.
  virtual unsigned char* Data();

  char* name;
  int32_t width;
  int32_t height;
  int32_t size;  // bytes of pixel data: width * height for a byte image
};

// XByteImage: an XImage with one byte per pixel; empty: no pixels, sizes 0.
//   Invariant: when pixels is set it holds exactly size = width * height bytes; pixel (x, y) is
//     byte y * width + x.
//   Owns: pixels (C heap) and, through XImage, the name; both freed by the destructor.
//   Failure: Allocate throws std::bad_alloc and leaves the image without pixels and sizes 0.
class XByteImage : public XImage {
 public:
  explicit XByteImage(const char* image_name);
  ~XByteImage() override;

  int32_t Kind() override;
  // zoom 0 copies size bytes; zoom z > 0 writes each row z times with each pixel repeated z times
  // (height*z rows of width*z bytes); zoom -s takes every s-th pixel of every s-th row from (0, 0)
  // (ceil(height/s) rows of ceil(width/s) bytes). Without pixels nothing is written.
  void CopyPixels(unsigned char* out, int32_t zoom) override;
  unsigned char* Data() override;

  // Replaces the pixel block by a new one of new_width x new_height bytes, all 255. A size of 0
  // leaves no block. Throws std::bad_alloc when the block cannot be had (or the size is negative
  // or exceeds 32 bits); the image then has no pixels and sizes 0.
  void Allocate(int32_t new_width, int32_t new_height);

  unsigned char* pixels;
};

#endif  // NNET_XIMAGE_H
