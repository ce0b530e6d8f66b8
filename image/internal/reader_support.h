// image/internal/reader_support.h: what the image-file readers share — the size check with its
// message, the perror-form print, owned C file handles and little-endian fields of headers.
#ifndef IMAGE_INTERNAL_READER_SUPPORT_H
#define IMAGE_INTERNAL_READER_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "image/zr_image.h"

// True when a width × height picture passes the shared cap (image/image_limits.h), once the
// calling thread's pixel admission (image/pixel_admission.h), if any, has let it in, which may
// wait for other threads' pictures. Otherwise prints "<reader> Error! image size W x H of <name>
// is outside 1..65535 per side or above 134217728 pixels" and returns false.
bool ZR_CheckSizeAndWaitForRoom(int64_t width, int64_t height, const char* reader,
                                const char* name);

// The text, ": ", the description of errno and a line feed, on the error stream.
void ZR_PrintPerror(const std::string& text);

// The table StretchGreyRange applies for bytes whose smallest is lo and largest hi (all 0 when
// hi <= lo), so a reader can stretch pixels it has already placed without a second grey copy.
void ZR_GreyStretchMap(unsigned char lo, unsigned char hi, unsigned char map[256]);

// Every pixel (0, 0, 0, 255): what a reader leaves where the file had nothing to say.
void ZR_FillOpaqueBlack(ZR_Image& image);

struct ZR_FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using ZR_File = std::unique_ptr<FILE, ZR_FileCloser>;

// Opens name with fopen(mode); null when it does not open.
inline ZR_File ZR_OpenFile(const char* name, const char* mode) {
  return ZR_File(std::fopen(name, mode));
}

// Size of an open file in bytes, or -1 when it cannot be told; leaves the position unchanged.
int64_t ZR_FileSize(FILE* f);

inline uint16_t ZR_Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ZR_Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

#endif  // IMAGE_INTERNAL_READER_SUPPORT_H
