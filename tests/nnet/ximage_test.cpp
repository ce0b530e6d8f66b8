// tests/nnet/ximage_test.cpp: byte images: construction, Allocate, and CopyPixels at every kind
// of zoom, with a guard byte after the expected output to catch over-writes.
#include "nnet/ximage.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr unsigned char kGuard = 0xA5;

// Runs CopyPixels into a buffer pre-filled with guard bytes and returns the bytes written,
// checking that nothing beyond expected_len was touched.
std::vector<unsigned char> Copy(XImage& image, int32_t zoom, size_t expected_len) {
  std::vector<unsigned char> buf(expected_len + 16, kGuard);
  image.CopyPixels(buf.data(), zoom);
  for (size_t i = expected_len; i < buf.size(); ++i) {
    EXPECT_EQ(kGuard, buf[i]) << "over-write at " << i << " for zoom " << zoom;
  }
  buf.resize(expected_len);
  return buf;
}

// A w x h image whose pixel (x, y) is 10 * y + x + 1.
std::unique_ptr<XByteImage> Numbered(int32_t w, int32_t h) {
  auto image = std::make_unique<XByteImage>("numbered");
  image->Allocate(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x)
      image->pixels[y * w + x] = static_cast<unsigned char>(10 * y + x + 1);
  }
  return image;
}

TEST(XByteImage, NewImageHasNoPixelsAndWritesNothing) {
  XByteImage image("eyemask");
  EXPECT_STREQ("eyemask", image.name);
  EXPECT_EQ(0, image.width);
  EXPECT_EQ(0, image.height);
  EXPECT_EQ(0, image.size);
  EXPECT_EQ(nullptr, image.pixels);
  EXPECT_EQ(1, image.Kind());
  EXPECT_EQ(nullptr, image.Data());
  for (int32_t zoom : {0, 1, 3, -1, -4, INT_MIN}) Copy(image, zoom, 0);
}

TEST(XByteImage, NameIsAPrivateCopyAndMayBeNull) {
  char text[] = "facemask";
  XByteImage named(text);
  text[0] = 'X';
  EXPECT_STREQ("facemask", named.name);
  XByteImage unnamed(nullptr);
  EXPECT_EQ(nullptr, unnamed.name);
}

TEST(XImage, PlainImageHasKindZeroAndNoData) {
  XImage image("plain");
  EXPECT_EQ(0, image.Kind());
  EXPECT_EQ(nullptr, image.Data());
  Copy(image, 0, 0);
}

TEST(XByteImage, AllocateFillsWith255AndReplacesTheBlock) {
  XByteImage image("eyemask");
  image.Allocate(20, 20);
  image.Allocate(25, 15);  // the first block must be freed (LeakSanitizer)
  EXPECT_EQ(25, image.width);
  EXPECT_EQ(15, image.height);
  ASSERT_EQ(375, image.size);
  EXPECT_EQ(image.pixels, image.Data());
  for (int32_t i = 0; i < image.size; ++i) ASSERT_EQ(255, image.pixels[i]) << i;
  image.Allocate(0, 7);
  EXPECT_EQ(0, image.size);
  Copy(image, 2, 0);
}

TEST(XByteImage, ImpossibleSizeThrowsAndLeavesNoPixels) {
  const struct { int32_t w, h; } cases[] = {{-1, 5}, {5, -1}, {INT_MAX, 2}, {65536, 65536}};
  for (const auto& c : cases) {
    XByteImage image("bad");
    image.Allocate(3, 3);
    EXPECT_THROW(image.Allocate(c.w, c.h), std::bad_alloc) << c.w << " x " << c.h;
    EXPECT_EQ(nullptr, image.pixels);
    EXPECT_EQ(0, image.width);
    EXPECT_EQ(0, image.height);
    EXPECT_EQ(0, image.size);
  }
}

TEST(XByteImage, CopyPixelsZooms) {
  auto two = std::make_unique<XByteImage>("2x1");
  two->Allocate(2, 1);
  two->pixels[0] = 'a';
  two->pixels[1] = 'b';
  EXPECT_EQ((std::vector<unsigned char>{'a', 'a', 'b', 'b', 'a', 'a', 'b', 'b'}), Copy(*two, 2, 8));

  auto three = Numbered(3, 3);
  EXPECT_EQ((std::vector<unsigned char>{1, 3, 21, 23}), Copy(*three, -2, 4));
  EXPECT_EQ((std::vector<unsigned char>{1}), Copy(*three, -3, 1));
  EXPECT_EQ((std::vector<unsigned char>{1}), Copy(*three, INT_MIN, 1));

  auto eye = Numbered(25, 15);
  const std::vector<unsigned char> plain(eye->pixels, eye->pixels + 375);
  for (int32_t zoom : {0, 1, -1}) EXPECT_EQ(plain, Copy(*eye, zoom, 375)) << zoom;
  const std::vector<unsigned char> half = Copy(*eye, -2, 13 * 8);
  EXPECT_EQ(eye->pixels[2 * 25 + 4], half[1 * 13 + 2]);  // row 2, column 4
  EXPECT_EQ(eye->pixels[14 * 25 + 24], half.back());
  const std::vector<unsigned char> twice = Copy(*eye, 2, 50 * 30);
  EXPECT_EQ(eye->pixels[7 * 25 + 11], twice[(2 * 7 + 1) * 50 + 2 * 11 + 1]);
}

TEST(XByteImage, DeletesThroughBasePointer) {
  std::unique_ptr<XImage> image(new XByteImage("facemask"));
  static_cast<XByteImage*>(image.get())->Allocate(20, 20);
  EXPECT_EQ(1, image->Kind());
  EXPECT_NE(nullptr, image->Data());
  image.reset();  // frees pixels, name and object (LeakSanitizer)
}

}  // namespace
