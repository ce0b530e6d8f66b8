// tests/face/face_test_support.h: where the face tests find the public data packages and the
// generated model folders, and the skips when they are absent.
#ifndef TESTS_FACE_FACE_TEST_SUPPORT_H
#define TESTS_FACE_FACE_TEST_SUPPORT_H

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "image/zr_image.h"

inline bool ZR_FileExists(const std::string& path) {
  FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
  if (f != nullptr) std::fclose(f);
  return f != nullptr;
}

// A file of the generated model folders: kind "full" or "quick".
inline std::string ModelFile(const char* kind, const char* name) {
  return std::string(ZR_BINARY_DIR) + "/models/" + kind + "/" + name;
}

inline std::string CascadeXml(const char* name) {
  return std::string(ZR_LBP_CASCADE_DIR) + "/" + name;
}

inline std::string ExamplePhoto(const char* name) {
  return std::string(ZR_DLIB_EXAMPLES_DIR) + "/" + name;
}

#define ZR_SKIP_UNLESS_FILE(path, why)                                        \
  do {                                                                        \
    if (!ZR_FileExists(path)) GTEST_SKIP() << (path) << " absent: " << (why); \
  } while (0)

// Loads a photo; fails the test when it exists and does not load.
inline bool LoadPhoto(const std::string& path, ZR_Image& image) {
  const bool ok = image.Load(path.c_str());
  EXPECT_TRUE(ok) << path;
  return ok;
}

#endif  // TESTS_FACE_FACE_TEST_SUPPORT_H
