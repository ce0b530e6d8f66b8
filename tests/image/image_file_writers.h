// tests/image/image_file_writers.h: writers of every image format the readers take, for fixtures
// made in the tests: small byte writers for BMP, GIF (a real LZW encoder and a literal-only one),
// TGA, PPM/PGM, hex, force and BIF, and libpng / libtiff for PNG and TIFF. Pictures are RGBA,
// top row first, as a viewer shows them. Header-only: the image tests include it.
#ifndef TESTS_IMAGE_IMAGE_FILE_WRITERS_H
#define TESTS_IMAGE_IMAGE_FILE_WRITERS_H

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <png.h>
#include <tiffio.h>

#include "image/zr_image.h"
#include "tests/support/zr_temp_folder.h"

namespace image_files {

using Bytes = std::vector<uint8_t>;

struct Rgba {
  uint8_t r, g, b, a;
  bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
  bool operator<(const Rgba& o) const {
    return std::memcmp(this, &o, sizeof(Rgba)) < 0;
  }
};

// A picture as seen: row 0 is the top row.
struct Picture {
  int32_t width = 0, height = 0;
  std::vector<Rgba> px;
  Rgba& at(int32_t x, int32_t y) { return px[static_cast<size_t>(y) * width + x]; }
  const Rgba& at(int32_t x, int32_t y) const { return px[static_cast<size_t>(y) * width + x]; }
  uint8_t grey(int32_t x, int32_t y) const { return at(x, y).r; }
};

// Distinct colours everywhere, each corner easy to tell apart; grey levels (the red byte) span
// 0..255 so that stretching leaves them as they are. Opaque unless alpha is asked for.
inline Picture MakeCornerPicture(int32_t width = 5, int32_t height = 3, bool alpha = false) {
  Picture p;
  p.width = width;
  p.height = height;
  p.px.resize(static_cast<size_t>(width) * height);
  const int32_t n = width * height;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const int32_t i = y * width + x;
      const uint8_t grey = static_cast<uint8_t>(n > 1 ? (i * 255) / (n - 1) : 0);
      p.at(x, y) = {grey, static_cast<uint8_t>(250 - 37 * x), static_cast<uint8_t>(30 + 80 * y),
                    static_cast<uint8_t>(alpha ? 100 + 10 * i : 255)};
    }
  return p;
}

// Grey version: every channel the red byte.
inline Picture GreyOf(const Picture& in) {
  Picture p = in;
  for (Rgba& c : p.px) c = {c.r, c.r, c.r, 255};
  return p;
}

// Reads an image into a picture (row rows-1 of the image becomes the top row).
inline Picture FromImage(const ZR_Image& image) {
  Picture p;
  p.width = image.m_cols;
  p.height = image.m_rows;
  p.px.resize(static_cast<size_t>(p.width) * p.height);
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x) {
      const ZR_Colour& c = image[image.m_row_lo + p.height - 1 - y][image.m_col_lo + x];
      p.at(x, y) = {c.r, c.g, c.b, c.a};
    }
  return p;
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteFile(const std::string& path, const std::string& text) {
  WriteFile(path, Bytes(text.begin(), text.end()));
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xffff);
  Put16(b, v >> 16);
}
inline void Set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

// Palette of a picture's distinct colours in first-seen order, and each pixel's index.
struct Indexed {
  std::vector<Rgba> palette;
  std::vector<uint8_t> index;  // top row first
};

inline Indexed ToIndexed(const Picture& p) {
  Indexed out;
  std::map<Rgba, uint8_t> seen;
  for (const Rgba& c : p.px) {
    auto it = seen.find(c);
    if (it == seen.end()) {
      it = seen.emplace(c, static_cast<uint8_t>(out.palette.size())).first;
      out.palette.push_back(c);
    }
    out.index.push_back(it->second);
  }
  return out;
}

// ---- BMP ----------------------------------------------------------------------------------

struct BmpOptions {
  int bits = 24;               // 8, 24 or 32
  bool top_down = false;       // negative height
  uint32_t colours_used = 0;   // 8-bit: palette entries written (0: 256)
  uint32_t info_size = 40;     // 40, or 124 for a V5 header
  bool bitfields = false;      // 32-bit BI_BITFIELDS with B, G, R masks
  uint32_t gap = 0;            // bytes between the headers/palette and the pixels
};

inline Bytes MakeBmp(const Picture& p, const BmpOptions& o = {}) {
  Indexed ix;
  if (o.bits == 8) ix = ToIndexed(p);
  const uint32_t entries = o.bits == 8 ? (o.colours_used ? o.colours_used : 256) : 0;
  const bool masks_after = o.bitfields && o.info_size == 40;
  const uint32_t offset = 14 + o.info_size + (masks_after ? 12 : 0) + entries * 4 + o.gap;
  const uint32_t bpp = static_cast<uint32_t>(o.bits / 8);
  const uint32_t row_bytes = (bpp * p.width + 3) & ~3u;
  Bytes b = {'B', 'M'};
  Put32(b, offset + row_bytes * p.height);
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, o.info_size);
  Put32(b, static_cast<uint32_t>(p.width));
  Put32(b, static_cast<uint32_t>(o.top_down ? -p.height : p.height));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(o.bits));
  Put32(b, o.bitfields ? 3 : 0);
  Put32(b, row_bytes * p.height);
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, o.colours_used);
  Put32(b, 0);
  if (o.info_size > 40) {
    Bytes extra(o.info_size - 40, 0);
    if (o.bitfields) {
      Set32(extra, 0, 0x00ff0000);
      Set32(extra, 4, 0x0000ff00);
      Set32(extra, 8, 0x000000ff);
      Set32(extra, 12, 0xff000000);
    }
    b.insert(b.end(), extra.begin(), extra.end());
  }
  if (masks_after) {
    Put32(b, 0x00ff0000);
    Put32(b, 0x0000ff00);
    Put32(b, 0x000000ff);
  }
  for (uint32_t i = 0; i < entries; ++i) {
    Rgba c = i < ix.palette.size() ? ix.palette[i] : Rgba{0, 0, 0, 0};
    b.insert(b.end(), {c.b, c.g, c.r, 0});
  }
  b.insert(b.end(), o.gap, 0xEE);
  for (int32_t fr = 0; fr < p.height; ++fr) {
    const int32_t y = o.top_down ? fr : p.height - 1 - fr;
    size_t start = b.size();
    for (int32_t x = 0; x < p.width; ++x) {
      const Rgba& c = p.at(x, y);
      if (o.bits == 8) b.push_back(ix.index[static_cast<size_t>(y) * p.width + x]);
      else if (o.bits == 24) b.insert(b.end(), {c.b, c.g, c.r});
      else b.insert(b.end(), {c.b, c.g, c.r, 0x5A});
    }
    while (b.size() - start < row_bytes) b.push_back(0);
  }
  return b;
}

// ---- TGA ----------------------------------------------------------------------------------

struct TgaOptions {
  int bits = 24;
  bool top_down = false;  // descriptor bit 5
  uint8_t id_length = 0;
  uint16_t map_length = 0;  // colour map entries (type 1 map present)
  uint8_t map_bits = 0;
  uint8_t type = 2;
};

inline Bytes MakeTga(const Picture& p, const TgaOptions& o = {}) {
  Bytes b = {o.id_length, static_cast<uint8_t>(o.map_length ? 1 : 0), o.type};
  Put16(b, 0);
  Put16(b, o.map_length);
  b.push_back(o.map_bits);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, static_cast<uint32_t>(p.width));
  Put16(b, static_cast<uint32_t>(p.height));
  b.push_back(static_cast<uint8_t>(o.bits));
  b.push_back(static_cast<uint8_t>((o.bits == 32 ? 8 : 0) | (o.top_down ? 0x20 : 0)));
  b.insert(b.end(), o.id_length, 'i');
  b.insert(b.end(), static_cast<size_t>(o.map_length) * ((o.map_bits + 7) / 8), 'm');
  for (int32_t fr = 0; fr < p.height; ++fr) {
    const int32_t y = o.top_down ? fr : p.height - 1 - fr;
    for (int32_t x = 0; x < p.width; ++x) {
      const Rgba& c = p.at(x, y);
      b.insert(b.end(), {c.b, c.g, c.r});
      if (o.bits == 32) b.push_back(c.a);
    }
  }
  return b;
}

// ---- PPM / PGM ----------------------------------------------------------------------------

inline Bytes MakePpm(const Picture& p, const std::string& header = "") {
  std::string h = header.empty() ? "P6\n" + std::to_string(p.width) + " " +
                                       std::to_string(p.height) + "\n255\n"
                                 : header;
  Bytes b(h.begin(), h.end());
  for (const Rgba& c : p.px) b.insert(b.end(), {c.r, c.g, c.b});
  return b;
}

inline Bytes MakePgm(const Picture& p, const std::string& header = "") {
  std::string h = header.empty() ? "P5\n" + std::to_string(p.width) + " " +
                                       std::to_string(p.height) + "\n255\n"
                                 : header;
  Bytes b(h.begin(), h.end());
  for (const Rgba& c : p.px) b.push_back(c.r);
  return b;
}

inline std::string MakePlainPgm(const Picture& p, const std::string& header = "") {
  std::string s = header.empty() ? "P2\n" + std::to_string(p.width) + " " +
                                       std::to_string(p.height) + "\n255\n"
                                 : header;
  for (int32_t y = 0; y < p.height; ++y) {
    for (int32_t x = 0; x < p.width; ++x) s += std::to_string(p.grey(x, y)) + " ";
    s += "\n";
  }
  return s;
}

// ---- hex and force --------------------------------------------------------------------------

// Three free lines, two size lines, then one line of hex pairs per row, bottom row first.
inline std::string MakeHex(const Picture& p, const char* line_end = "\n") {
  static const char digits[] = "0123456789ABCDEF";
  std::string s = "hex grey image\nmade by the tests\n\n";
  s += "size 1 2 3\n";
  s += "dims " + std::to_string(p.width) + " " + std::to_string(p.height) + " 8\n";
  for (int32_t y = p.height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < p.width; ++x) {
      s += digits[p.grey(x, y) >> 4];
      s += digits[p.grey(x, y) & 15];
    }
    s += line_end;
  }
  return s;
}

// A ZR_Array2D<float> record: four 4-byte bounds, then the array record (8-byte count, lo, hi)
// and the floats row by row from rowLo.
inline Bytes MakeForceRecord(int32_t row_lo, int32_t row_hi, int32_t col_lo, int32_t col_hi,
                             const std::vector<float>& values, int64_t lo = 0,
                             int64_t hi = INT64_MIN) {
  if (hi == INT64_MIN) hi = static_cast<int64_t>(values.size()) - 1;
  Bytes b;
  for (int32_t v : {row_lo, row_hi, col_lo, col_hi}) Put32(b, static_cast<uint32_t>(v));
  for (int64_t v : {static_cast<int64_t>(values.size()), lo, hi}) {
    Put32(b, static_cast<uint32_t>(v));
    Put32(b, static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
  }
  for (float f : values) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    Put32(b, u);
  }
  return b;
}

// The picture's grey levels as floats, the matrix's first row being the bottom row.
inline Bytes MakeForce(const Picture& p, int32_t row_lo = 0, int32_t col_lo = 0) {
  std::vector<float> v;
  for (int32_t y = p.height - 1; y >= 0; --y)
    for (int32_t x = 0; x < p.width; ++x) v.push_back(p.grey(x, y));
  return MakeForceRecord(row_lo, row_lo + p.height - 1, col_lo, col_lo + p.width - 1, v);
}

// ---- GIF ----------------------------------------------------------------------------------

// LSB-first code packer.
class GifCodeWriter {
 public:
  void Put(int code, int width) {
    m_acc |= static_cast<uint32_t>(code) << m_bits;
    m_bits += width;
    while (m_bits >= 8) {
      m_out.push_back(static_cast<uint8_t>(m_acc));
      m_acc >>= 8;
      m_bits -= 8;
    }
  }
  Bytes Finish() {
    if (m_bits > 0) m_out.push_back(static_cast<uint8_t>(m_acc));
    return m_out;
  }

 private:
  Bytes m_out;
  uint32_t m_acc = 0;
  int m_bits = 0;
};

// Standard LZW as GIF uses it: the code width grows with the table, clear when it is full.
inline Bytes GifLzw(const std::vector<uint8_t>& index, int min_code_size, bool end_code = true) {
  const int clear = 1 << min_code_size, end = clear + 1;
  GifCodeWriter w;
  std::map<uint32_t, int> table;
  int width = min_code_size + 1, next = end + 1;
  auto emit = [&](int code) {
    w.Put(code, width);
    if (next >= (1 << width) && width < 12) ++width;
  };
  emit(clear);
  int prefix = index.empty() ? -1 : index[0];
  for (size_t i = 1; i < index.size(); ++i) {
    const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | index[i];
    auto it = table.find(key);
    if (it != table.end()) {
      prefix = it->second;
      continue;
    }
    emit(prefix);
    if (next < 4094) {
      table[key] = next++;
    } else {
      emit(clear);
      table.clear();
      width = min_code_size + 1;
      next = end + 1;
    }
    prefix = index[i];
  }
  if (prefix >= 0) emit(prefix);
  if (end_code) emit(end);
  return w.Finish();
}

// Literal codes only, fixed width min_code_size + 1: a clear before the table would make a
// decoder widen its codes.
inline Bytes GifLiteral(const std::vector<uint8_t>& index, int min_code_size,
                        bool end_code = true) {
  const int clear = 1 << min_code_size, end = clear + 1, width = min_code_size + 1;
  const int run = clear - 2;
  GifCodeWriter w;
  for (size_t i = 0; i < index.size(); ++i) {
    if (i % run == 0) w.Put(clear, width);
    w.Put(index[i], width);
  }
  if (end_code) w.Put(end, width);
  return w.Finish();
}

inline void PutSubBlocks(Bytes& b, const Bytes& data) {
  for (size_t at = 0; at < data.size(); at += 255) {
    size_t n = std::min<size_t>(255, data.size() - at);
    b.push_back(static_cast<uint8_t>(n));
    b.insert(b.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
             data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  b.push_back(0);
}

struct GifOptions {
  bool literal = false;     // literal-only codes
  int min_code_size = 8;
  bool local_table = false;  // table in the image descriptor instead of the global one
  int table_bits = 0;        // table of 2^(table_bits+1) entries; 0: just enough
  bool interlaced = false;
  bool tricky_extensions = false;  // a control extension with index 0x2C, a comment with , and ;
  bool second_frame = false;       // an extra frame whose data holds 0x3B bytes
  bool end_code = true;            // false: the first frame's data stops after its last pixel
  Bytes after_trailer;
};

inline Bytes MakeGif(const Picture& p, const GifOptions& o = {}) {
  Indexed ix = ToIndexed(p);
  int bits = o.table_bits;
  if (bits == 0)
    while ((2u << bits) < ix.palette.size()) ++bits;
  const uint32_t entries = 2u << bits;
  Bytes table;
  for (uint32_t i = 0; i < entries; ++i) {
    Rgba c = i < ix.palette.size() ? ix.palette[i] : Rgba{0, 0, 0, 0};
    table.insert(table.end(), {c.r, c.g, c.b});
  }
  Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(b, static_cast<uint32_t>(p.width));
  Put16(b, static_cast<uint32_t>(p.height));
  b.push_back(static_cast<uint8_t>((o.local_table ? 0 : 0x80) | 0x70 | bits));
  b.push_back(0);
  b.push_back(0);
  if (!o.local_table) b.insert(b.end(), table.begin(), table.end());
  if (o.tricky_extensions) {
    b.insert(b.end(), {0x21, 0xF9, 4, 0x01, 0, 0, 0x2C, 0});
    b.insert(b.end(), {0x21, 0xFE, 5, ',', ';', ',', ';', ',', 0});
  }
  auto frame = [&](const Bytes& data) {
    b.push_back(0x2C);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, static_cast<uint32_t>(p.width));
    Put16(b, static_cast<uint32_t>(p.height));
    b.push_back(static_cast<uint8_t>((o.local_table ? 0x80 | bits : 0) | (o.interlaced ? 0x40 : 0)));
    if (o.local_table) b.insert(b.end(), table.begin(), table.end());
    b.push_back(static_cast<uint8_t>(o.min_code_size));
    PutSubBlocks(b, data);
  };
  frame(o.literal ? GifLiteral(ix.index, o.min_code_size, o.end_code)
                  : GifLzw(ix.index, o.min_code_size, o.end_code));
  if (o.second_frame) {
    b.insert(b.end(), {0x21, 0xF9, 4, 0, 0, 0, 0x3B, 0});
    Bytes data(64, 0x3B);
    frame(data);
  }
  b.push_back(0x3B);
  b.insert(b.end(), o.after_trailer.begin(), o.after_trailer.end());
  return b;
}

// ---- PNG (libpng) -------------------------------------------------------------------------

struct PngOptions {
  int colour_type = PNG_COLOR_TYPE_RGB;  // also RGBA, PALETTE, GRAY, GRAY_ALPHA
  int bit_depth = 8;                     // 16 for RGB/RGBA, 1 for GRAY
  bool interlaced = false;
  bool palette_alpha = false;  // tRNS for a palette image: entry i gets alpha 255 - i
};

namespace internal {

inline void AppendPngBytes(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
inline void FlushNothing(png_structp) {}

// Runs in a frame of its own so that libpng's longjmp skips no destructor; out lives outside it.
inline bool WritePngRows(Bytes* out, int32_t w, int32_t h, const PngOptions& o, png_bytep* rows,
                         const png_color* palette, int palette_size, const png_byte* trans,
                         int trans_size) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, AppendPngBytes, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), o.bit_depth,
               o.colour_type, o.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette_size) png_set_PLTE(png, info, palette, palette_size);
  if (trans_size) png_set_tRNS(png, info, trans, trans_size, nullptr);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace internal

inline Bytes MakePng(const Picture& p, const PngOptions& o = {}) {
  Indexed ix;
  std::vector<png_color> palette;
  std::vector<png_byte> trans;
  if (o.colour_type == PNG_COLOR_TYPE_PALETTE) {
    ix = ToIndexed(p);
    for (size_t i = 0; i < ix.palette.size(); ++i) {
      palette.push_back({ix.palette[i].r, ix.palette[i].g, ix.palette[i].b});
      if (o.palette_alpha) trans.push_back(static_cast<png_byte>(255 - i));
    }
  }
  const int channels = o.colour_type == PNG_COLOR_TYPE_RGB ? 3
                       : o.colour_type == PNG_COLOR_TYPE_RGBA ? 4
                       : o.colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
  std::vector<Bytes> rows(static_cast<size_t>(p.height));
  for (int32_t y = 0; y < p.height; ++y) {
    Bytes& row = rows[static_cast<size_t>(y)];
    int bit = 0;
    for (int32_t x = 0; x < p.width; ++x) {
      const Rgba& c = p.at(x, y);
      const uint8_t all[4] = {c.r, c.g, c.b, c.a};
      if (o.colour_type == PNG_COLOR_TYPE_PALETTE) {
        row.push_back(ix.index[static_cast<size_t>(y) * p.width + x]);
      } else if (o.bit_depth == 1) {
        if (bit == 0) row.push_back(0);
        if (c.r >= 128) row.back() |= static_cast<uint8_t>(0x80 >> bit);
        bit = (bit + 1) % 8;
      } else {
        for (int ch = 0; ch < channels; ++ch) {
          const uint8_t v = channels == 2 && ch == 1 ? c.a : all[ch];
          row.push_back(v);
          if (o.bit_depth == 16) row.push_back(static_cast<uint8_t>(v ^ 0x5A));  // low byte
        }
      }
    }
  }
  std::vector<png_bytep> pointers;
  for (Bytes& r : rows) pointers.push_back(r.data());
  Bytes out;
  if (!internal::WritePngRows(&out, p.width, p.height, o, pointers.data(), palette.data(),
                              static_cast<int>(palette.size()), trans.data(),
                              static_cast<int>(trans.size())))
    out.clear();
  return out;
}

// ---- TIFF (libtiff) -----------------------------------------------------------------------

struct TiffOptions {
  int samples = 3;            // 1 grey, 3 RGB, 4 RGBA
  int bits = 8;               // 8 or 16
  uint16_t compression = COMPRESSION_NONE;  // also COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE
  bool big_endian = false;
  int pages = 1;              // later pages hold an inverted picture
};

inline bool WriteTiff(const std::string& path, const Picture& p, const TiffOptions& o = {}) {
  TIFF* tif = TIFFOpen(path.c_str(), o.big_endian ? "wb" : "wl");
  if (!tif) return false;
  for (int page = 0; page < o.pages; ++page) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(p.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(p.height));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(o.samples));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(o.bits));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, o.samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, o.compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2u);
    if (o.samples == 4) {
      const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
      TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (o.pages > 1) TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    const size_t bytes = static_cast<size_t>(o.bits / 8);
    Bytes row(static_cast<size_t>(p.width) * o.samples * bytes);
    for (int32_t y = 0; y < p.height; ++y) {
      size_t at = 0;
      for (int32_t x = 0; x < p.width; ++x) {
        const Rgba& c = p.at(x, y);
        const uint8_t all[4] = {c.r, c.g, c.b, c.a};
        for (int ch = 0; ch < o.samples; ++ch) {
          uint8_t v = page == 0 ? all[ch] : static_cast<uint8_t>(255 - all[ch]);
          if (bytes == 2) {
            const uint16_t wide = static_cast<uint16_t>(v * 257);
            std::memcpy(&row[at], &wide, 2);  // libtiff takes native order and swaps if needed
            at += 2;
          } else {
            row[at++] = v;
          }
        }
      }
      if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) < 0) {
        TIFFClose(tif);
        return false;
      }
    }
    if (o.pages > 1) TIFFWriteDirectory(tif);
  }
  TIFFClose(tif);
  return true;
}

}  // namespace image_files

#endif  // TESTS_IMAGE_IMAGE_FILE_WRITERS_H
