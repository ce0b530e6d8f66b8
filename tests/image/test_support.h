// tests/image/test_support.h: loading helpers shared by the reader tests — write bytes under a
// name, load them with one reader and keep what the error stream said.
#ifndef TESTS_IMAGE_TEST_SUPPORT_H
#define TESTS_IMAGE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>

#include "image/zr_image.h"
#include "tests/image/image_file_writers.h"

namespace image_files {

struct LoadResult {
  bool ok = false;
  std::string err;  // what the reader wrote to the error stream
  Picture picture;  // the image as seen, when ok
};

// Writes bytes to dir/name and loads it with ZR_Image::Load.
inline LoadResult LoadBytes(const ZR_TempFolder& dir, const std::string& name, const Bytes& bytes,
                            ZR_Image* keep = nullptr) {
  WriteFile((dir / name), bytes);
  ZR_Image local;
  ZR_Image& image = keep ? *keep : local;
  LoadResult r;
  testing::internal::CaptureStderr();
  r.ok = image.Load((dir / name).c_str());
  r.err = testing::internal::GetCapturedStderr();
  if (r.ok) r.picture = FromImage(image);
  return r;
}

inline LoadResult LoadText(const ZR_TempFolder& dir, const std::string& name, const std::string& text) {
  return LoadBytes(dir, name, Bytes(text.begin(), text.end()));
}

inline bool SamePixels(const Picture& a, const Picture& b) {
  return a.width == b.width && a.height == b.height && a.px == b.px;
}

inline bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace image_files

#endif  // TESTS_IMAGE_TEST_SUPPORT_H
