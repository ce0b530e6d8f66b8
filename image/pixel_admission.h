// image/pixel_admission.h: the one point where every image reader, once the header has given the
// picture's size and before any pixel is allocated, lets the calling thread's admission hold the
// load until the picture fits in memory. Readers keep their signatures; whoever bounds memory
// (the enrolment worker) sets an admission on its own thread for the time of one image.
#ifndef IMAGE_PIXEL_ADMISSION_H
#define IMAGE_PIXEL_ADMISSION_H

#include <cstdint>

// ZR_PixelAdmission: decides when a picture of a given pixel count may be decoded.
//   Threads: Admit is called on the thread the admission is set on.
class ZR_PixelAdmission {
 public:
  virtual ~ZR_PixelAdmission() = default;
  // Returns once the picture may be decoded; may block. pixels is width × height, within the
  // readers' size cap.
  virtual void Admit(int64_t pixels) = 0;
};

// Sets admission as the calling thread's until this object is destroyed, then restores the one
// set before. The admission must outlive it.
class ZR_ScopedPixelAdmission {
 public:
  explicit ZR_ScopedPixelAdmission(ZR_PixelAdmission& admission);
  ZR_ScopedPixelAdmission(const ZR_ScopedPixelAdmission&) = delete;
  ZR_ScopedPixelAdmission& operator=(const ZR_ScopedPixelAdmission&) = delete;
  ~ZR_ScopedPixelAdmission();

 private:
  ZR_PixelAdmission* m_previous;
};

// Hands pixels to the calling thread's admission; returns at once when none is set.
void ZR_AdmitPixels(int64_t pixels);

#endif  // IMAGE_PIXEL_ADMISSION_H
