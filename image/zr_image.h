// image/zr_image.h: ZR_Image, the RGBA raster every stage works on, and its file readers. Row 0 is
// the bottom row of the picture; pixel (r, c) is (*this)[r][c]. The layout (bases, then quality,
// text, background) is part of the plug-in contract and is pinned in zr_image.cpp.
#ifndef IMAGE_ZR_IMAGE_H
#define IMAGE_ZR_IMAGE_H

#include <cstdint>

#include "core/zr_array.h"
#include "core/zr_array2d.h"
#include "core/zr_object_type.h"
#include "core/zr_string.h"
#include "core/zr_point.h"
#include "image/zr_colour.h"

class ZR_AnnoModel2D;

// The one-line notice every constructed image carries as its text.
constexpr char kZrImageNotice[] = "Quillbeck image: pixel rows from the bottom up, R G B A\n";

// ZR_Image: pixels in the ZR_Array2D<ZR_Colour> base, rows 0..rows-1 bottom-up and columns
// 0..cols-1 (every image the system makes is 0-based); empty: no rows, no block.
//   Fields: JPEG quality for EncodeJPEG (100 after construction and after every Load), a text
//   (the notice; copied, never read), and an optional outside colour for the resampler.
//   Owns: its pixels and its text. Not the background colour: copies share the pointer and
//   nothing frees it.
//   Threads: one image belongs to one thread; the readers keep no state between calls, so all
//   workers load at once.
//   Failure: every reader returns false and leaves the pixels unspecified; no file makes a reader
//   abort, overrun a buffer or allocate beyond the shared image-size cap (image/image_limits.h).
class ZR_Image : public ZR_ObjectType, public ZR_Array2D<ZR_Colour> {
 public:
  ZR_Image();
  // Pixels of rows 0..rows-1 by columns 0..cols-1, no defined value. The counts must be valid
  // (Resize aborts on a count it cannot allocate).
  ZR_Image(int rows, int cols);
  ZR_Image(const ZR_Image& other);
  ZR_Image& operator=(const ZR_Image& other) = default;
  ~ZR_Image() override = default;

  // 1, the image type code.
  int32_t GetType() const override;
  // (cols, rows) as floats: width, then height.
  ZR_Vector2D GetSize() const;

  // Sets the quality to 100, then reads the file with the reader its extension names (the text
  // after the last '.', with A-Z lower-cased; the content never chooses). Returns that reader's
  // result, or false with no message for an extension outside the table.
  bool Load(const char* name);

  // Readers of the system's own (image/readers/). Each returns true when the image holds the
  // picture; a missing file gives false without a message (BIF: "Not enough bytes...").
  bool LoadBMP(const char* name);
  bool LoadGIF(const char* name);
  bool LoadPPM(const char* name);
  bool LoadPGM(const char* name);
  bool LoadTGA(const char* name);
  bool LoadHex(const char* name);
  bool LoadForce(const char* name);
  bool LoadBIF(const char* name);
  // Readers over libpng, libtiff and the own JPEG decoder.
  bool LoadPNG(const char* name);
  bool LoadTIFF(const char* name);
  bool LoadJPEG(const char* name);

  // Decodes a whole JPEG stream held in memory with libjpeg; sets the quality to 100. Returns
  // false with a message on a stream that is not JPEG, has 5 or more components, exceeds the
  // size cap, or that libjpeg cannot get past. A stream that ends early still decodes (one
  // warning line; the missing rows as libjpeg fills them).
  bool ReadJPEG(const ZR_Array<unsigned char>& bytes);
  // Encodes the image as a baseline JPEG of m_quality (libjpeg limits it to 1..100), top row
  // first, into out at its exact length (indices 0..n-1). An image without pixels gives true and
  // leaves out as it was. False, out untouched, when the stream does not fit in rows*cols*3 bytes
  // (tiny images) or libjpeg fails. Each thread keeps its encoder buffer for the next call (one
  // that grew past 8 MiB is freed).
  bool EncodeJPEG(ZR_Array<unsigned char>& out) const;

  // Takes the grey array's four bounds; every pixel becomes (g, g, g, 255).
  void SetGrey(const ZR_Array2D<unsigned char>& grey);
  // Takes the matrix's four bounds; every pixel becomes the grey level of its element stretched
  // from the smallest to the largest finite element to 0..255 (all equal: black). Non-finite
  // elements give black.
  void SetFromFloats(const ZR_Array2D<float>& m);

  // Resampling and crops (image/zr_image_resample.cpp, image/zr_image_crops.cpp). Positions are
  // normalised (x = column / width, y = row / height from the bottom); every size is checked
  // before a float becomes an int, so NaN, infinite or degenerate input fails cleanly.

  // Separable Gaussian blur in place: weights w[i] = IntegrateGaussian(sigma, i - 0.5, i + 0.5) /
  // (sigma sqrt(2 pi)) for |i| <= radius, not renormalised; a neighbour beyond the bounds is the
  // centre pixel; alpha becomes 255. sigma not positive and finite, radius < 0 or above 65535:
  // nothing changes.
  void Smooth(float sigma, int radius);
  // Replaces the pixels by new_rows x new_cols bilinear samples at the new pixel centres; when
  // shrinking either way and smooth is set, blurs first with sigma f / 8 and radius round(f / 2),
  // f = (rows / new_rows + cols / new_cols) / 2. Then quality 100, the notice text, no
  // background. The same size changes nothing at all. Throws ZR_ImageException "ZR_Image::
  // ResizeImage() Error! : image too small for resizing!\n" for fewer than 2 rows or columns and
  // "...: cannot resize to R x C (rows x columns)\n" for a side of 0 or a size past the image cap;
  // the image is then unchanged.
  void ResizeImage(unsigned new_rows, unsigned new_cols, bool smooth);
  // Replaces the image by its region origin..corner, 96 rows high and as wide as the region's
  // aspect gives (at least 1, at most 16 times the height); outside the image the background
  // colour, or opaque black. Then quality 100, the notice text, no background. False, nothing
  // changed, for an image without pixels or a region that is empty, inverted, not finite or
  // wider than 16:1.
  bool CropThumbnail(const ZR_Vector2D& origin, const ZR_Vector2D& corner);
  // The same crop into dest (which may be this image), this image unchanged: dest gets the
  // pixels, quality 100, the notice text and no background. False, dest untouched, as above.
  bool CropThumbnail(ZR_Image& dest, const ZR_Vector2D& origin, const ZR_Vector2D& corner) const;
  // Fills dest with the region origin..corner, 600 rows high (width as for the thumbnail),
  // opaque black outside; dest keeps its quality, text and background, this image is unchanged
  // (dest may be this image). False, dest untouched, as for CropThumbnail.
  bool CropRegion(ZR_Image& dest, const ZR_Vector2D& origin, const ZR_Vector2D& corner) const;
  // Crops the face into dest: h = 1.6 x the distance from the eyes' midpoint to the chin (point
  // n / 2 of "FACE"); the region is centred on the middle of the "FACE" box across and half h
  // above the chin, h (1 + margin) high and aspect times that wide, cut with CropRegion. Then
  // maps every point of model into the crop's normalised coordinates. False, dest and model
  // untouched, when "FACE", "RIGHT EYE" or "LEFT EYE" is missing or has no points, or the region
  // is refused (the chin on the eye line, landmarks not finite, margin <= -1, aspect <= 0).
  bool CropFace(ZR_AnnoModel2D& model, float margin, float aspect, ZR_Image& dest) const;

  int32_t m_quality;
  ZR_String m_text;
  ZR_Colour* m_background;
};

// Stretches the bytes in place so that the smallest becomes 0 and the largest 255,
// (v - min) / (max - min) * 255 in single precision, rounded half away from zero. All bytes
// equal: all become 0.
void StretchGreyRange(ZR_Array2D<unsigned char>& grey);

#endif  // IMAGE_ZR_IMAGE_H
