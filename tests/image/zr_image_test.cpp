// tests/image/zr_image_test.cpp: the image class (construction, copies, size, type code, layout)
// and the choice of a reader by extension.
#include "image/zr_image.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/image/image_file_writers.h"
#include "tests/image/jpeg/libjpeg_fixture.h"

namespace {

using namespace image_files;

TEST(ZrImage, ConstructorsSetQualityNoticeAndNoBackground) {
  ZR_Image empty;
  EXPECT_EQ(0, empty.m_rows);
  EXPECT_EQ(0, empty.m_cols);
  EXPECT_EQ(100, empty.m_quality);
  EXPECT_STREQ(kZrImageNotice, empty.m_text.m_text);
  EXPECT_EQ(nullptr, empty.m_background);

  ZR_Image sized(3, 2);
  EXPECT_EQ(0, sized.m_row_lo);
  EXPECT_EQ(2, sized.m_row_hi);
  EXPECT_EQ(0, sized.m_col_lo);
  EXPECT_EQ(1, sized.m_col_hi);
  EXPECT_EQ(100, sized.m_quality);
  EXPECT_STREQ(kZrImageNotice, sized.m_text.m_text);
  ZR_Vector2D size = sized.GetSize();
  EXPECT_EQ(2.0f, size.x);
  EXPECT_EQ(3.0f, size.y);
  EXPECT_EQ(1, sized.GetType());
  const ZR_ObjectType& base = sized;
  EXPECT_EQ(1, base.GetType());
}

TEST(ZrImage, CopySharesTheBackgroundAndCopiesPixels) {
  ZR_Colour outside = {1, 2, 3, 4};
  ZR_Image image(2, 3);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) image[r][c] = {uint8_t(r), uint8_t(c), 7, 255};
  image.m_quality = 42;
  image.m_background = &outside;
  {
    ZR_Image* copy = new ZR_Image(image);
    EXPECT_EQ(&outside, copy->m_background);
    EXPECT_EQ(42, copy->m_quality);
    EXPECT_EQ(2, (*copy)[1][2].g);
    EXPECT_NE(&image[0][0], &(*copy)[0][0]);
    // The pixel array's virtual destructor takes the whole image.
    ZR_Array2D<ZR_Colour>* as_pixels = copy;
    delete as_pixels;
  }
  EXPECT_EQ(3, outside.b);  // untouched by the copy's destruction
  EXPECT_EQ(1, image[1][1].r);
}

TEST(ZrImage, LayoutIsTypeBaseThenPixelsThenFields) {
  ZR_Image image;
  const char* at = reinterpret_cast<const char*>(&image);
  EXPECT_EQ(at, reinterpret_cast<const char*>(static_cast<ZR_ObjectType*>(&image)));
  EXPECT_EQ(at + sizeof(void*),
            reinterpret_cast<const char*>(static_cast<ZR_Array2D<ZR_Colour>*>(&image)));
  EXPECT_LT(reinterpret_cast<const char*>(&image.m_quality),
            reinterpret_cast<const char*>(&image.m_text));
  EXPECT_LT(reinterpret_cast<const char*>(&image.m_text),
            reinterpret_cast<const char*>(&image.m_background));
}

// Which reader Load picks is told by the content each file holds: a name whose extension is in
// the table loads its picture, any other fails without a word.
TEST(ZrImageLoad, ChoosesTheReaderByExtensionAlone) {
  ZR_TempFolder dir;
  const Picture pic = MakeCornerPicture();
  jpeg_fixture::EncodeOptions opt;
  const Bytes jpeg = jpeg_fixture::EncodePicture(8, 8, opt);
  const Bytes pgm = MakePgm(pic);
  ASSERT_TRUE(WriteTiff(dir / "tiff.bytes", pic));
  const Bytes tiff = ReadFile(dir / "tiff.bytes");
  dir.Write("dir.old/x");
  const struct {
    const char* name;
    const Bytes* content;
    bool loads;
  } cases[] = {
      {"a.JPG", &jpeg, true},     {"b.Jpeg", &jpeg, true},       {"c.jpe", &jpeg, true},
      {"d.b.pgm", &pgm, true},    {"e.PGM", &pgm, true},         {"f.TiF", &tiff, true},
      {"g.tiff", &tiff, false},   {"h.jfif", &jpeg, false},      {"noext", &pgm, false},
      {"trail.", &pgm, false},    {"dir.old/file", &pgm, false}, {"i.pgm ", &pgm, false},
  };
  for (const auto& c : cases) {
    WriteFile(dir / c.name, *c.content);
    ZR_Image image;
    testing::internal::CaptureStderr();
    EXPECT_EQ(c.loads, image.Load((dir / c.name).c_str())) << c.name;
    const std::string err = testing::internal::GetCapturedStderr();
    if (!c.loads) {
      EXPECT_EQ("", err) << c.name;
    }
  }
}

TEST(ZrImageLoad, ContentNeverChoosesAndQualityIsResetEvenOnFailure) {
  ZR_TempFolder dir;
  WriteFile(dir / "x.bmp", MakePng(MakeCornerPicture()));
  ZR_Image image;
  image.m_quality = 5;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(image.Load((dir / "x.bmp").c_str()));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(" is NOT a BMP File"));
  EXPECT_EQ(100, image.m_quality);
  image.m_quality = 7;
  EXPECT_FALSE(image.Load((dir / "missing.png").c_str()));
  EXPECT_EQ(100, image.m_quality);
}

TEST(ZrImageLoad, NamesOutsideTheTableFailSilentlyAndQualityIsReset) {
  const char* names[] = {"a.tiff", "a.jfif", "noext", "trail.", "dir.old/file", "a.pgm ", "a.JPG2"};
  for (const char* name : names) {
    ZR_Image image;
    image.m_quality = 5;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(image.Load(name)) << name;
    EXPECT_EQ("", testing::internal::GetCapturedStderr()) << name;
    EXPECT_EQ(100, image.m_quality) << name;
  }
}

}  // namespace
