// image/zr_image.cpp: construction of ZR_Image, its layout pins and the choice of a reader by the
// file's extension alone.
#include "image/zr_image.h"

#include <cstddef>
#include <cstring>
#include <string>

// The plug-ins are built against this layout: the type-code base, the pixel array, then quality,
// text and background in that order, with no other member.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(ZR_Image, m_quality) ==
                  sizeof(ZR_ObjectType) + sizeof(ZR_Array2D<ZR_Colour>),
              "quality follows the two bases");
static_assert(sizeof(ZR_Image::m_quality) == 4, "quality is a signed 32-bit integer");
static_assert(offsetof(ZR_Image, m_text) ==
                  (offsetof(ZR_Image, m_quality) + 4 + alignof(ZR_String) - 1) /
                      alignof(ZR_String) * alignof(ZR_String),
              "text follows quality");
static_assert(offsetof(ZR_Image, m_background) == offsetof(ZR_Image, m_text) + sizeof(ZR_String),
              "background follows text");
static_assert(sizeof(ZR_Image) == offsetof(ZR_Image, m_background) + sizeof(ZR_Colour*),
              "no member after background");
#pragma GCC diagnostic pop

ZR_Image::ZR_Image() : m_quality(100), m_text(kZrImageNotice), m_background(nullptr) {}

ZR_Image::ZR_Image(int rows, int cols)
    : m_quality(100), m_text(kZrImageNotice), m_background(nullptr) {
  Resize(rows, cols);
}

ZR_Image::ZR_Image(const ZR_Image& other)
    : ZR_ObjectType(),
      ZR_Array2D<ZR_Colour>(other),
      m_quality(other.m_quality),
      m_text(other.m_text),
      m_background(other.m_background) {}

int32_t ZR_Image::GetType() const { return 1; }

ZR_Vector2D ZR_Image::GetSize() const {
  return ZR_Vector2D(static_cast<float>(m_cols), static_cast<float>(m_rows));
}

namespace {

struct ReaderEntry {
  const char* extension;
  bool (ZR_Image::*reader)(const char*);
};

// Tried in this order; the first exact match wins. "tiff" and "jfif" are deliberately absent.
const ReaderEntry kReaders[] = {
    {"pgm", &ZR_Image::LoadPGM},   {"ppm", &ZR_Image::LoadPPM},   {"png", &ZR_Image::LoadPNG},
    {"gif", &ZR_Image::LoadGIF},   {"bmp", &ZR_Image::LoadBMP},   {"jpg", &ZR_Image::LoadJPEG},
    {"jpe", &ZR_Image::LoadJPEG},  {"jpeg", &ZR_Image::LoadJPEG}, {"tif", &ZR_Image::LoadTIFF},
    {"tga", &ZR_Image::LoadTGA},   {"hex", &ZR_Image::LoadHex},   {"force", &ZR_Image::LoadForce},
    {"bif", &ZR_Image::LoadBIF},
};

}  // namespace

bool ZR_Image::Load(const char* name) {
  m_quality = 100;
  // Only A-Z are folded; every other byte, UTF-8 included, stays as it is.
  std::string ext = ZR_String(name).GetExtension().m_text;
  for (char& ch : ext)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  for (const ReaderEntry& entry : kReaders)
    if (ext == entry.extension) return (this->*entry.reader)(name);
  return false;
}
