// image/readers/gif_reader.cpp: the first frame of a GIF (87a/89a), non-interlaced. Blocks are
// parsed by their structure (extension sub-blocks are skipped whole, so a 0x2C or 0x3B inside
// them is data); the image data is decoded with a full LZW string table whose code width grows
// to 12 bits. Every palette index and pixel position is bounded. The data are read before the
// picture is allocated, so a tiny file cannot claim a huge picture it holds nothing of.
#include "image/zr_image.h"

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/zr_file_system.h"
#include "image/internal/reader_support.h"

namespace {

constexpr int kImageSeparator = 0x2C;
constexpr int kExtensionIntroducer = 0x21;
constexpr int kTrailer = 0x3B;
constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;

// Byte input that reports the end of the file as -1.
class GifInput {
 public:
  explicit GifInput(std::ifstream& in) : m_in(in) {}
  int Byte() {
    char ch;
    if (!m_in.get(ch)) return -1;
    return static_cast<unsigned char>(ch);
  }
  // Reads n bytes into out; false when the file ends first.
  bool Bytes(uint8_t* out, size_t n) {
    m_in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
    return static_cast<size_t>(m_in.gcount()) == n;
  }
  // Skips data sub-blocks up to and including the zero-length terminator or the end of file.
  void SkipSubBlocks() {
    for (int size = Byte(); size > 0; size = Byte()) m_in.ignore(size);
  }
  // Appends the data sub-blocks to out, up to the terminator or the end of the file.
  void ReadSubBlocks(std::vector<uint8_t>& out) {
    for (int size = Byte(); size > 0; size = Byte()) {
      size_t at = out.size();
      out.resize(at + size);
      m_in.read(reinterpret_cast<char*>(out.data() + at), size);
      out.resize(at + static_cast<size_t>(m_in.gcount()));
      if (m_in.gcount() < size) return;
    }
  }

 private:
  std::ifstream& m_in;
};

// A colour table: 256 entries, those the file does not set black; indices at or beyond size are
// refused by the decoder.
struct ColourTable {
  ZR_Colour entries[256];
  uint32_t size;
};

// Number of entries of a colour table flagged in a packed byte.
uint32_t TableSize(int packed) { return 1u << ((packed & 7) + 1); }

bool ReadTable(GifInput& input, uint32_t size, ColourTable& table) {
  uint8_t raw[256 * 3];
  if (!input.Bytes(raw, size * 3)) return false;
  for (uint32_t i = 0; i < 256; ++i)
    table.entries[i] = i < size ? ZR_Colour{raw[3 * i], raw[3 * i + 1], raw[3 * i + 2], 255}
                                : ZR_Colour{0, 0, 0, 255};
  table.size = size;
  return true;
}

// Puts decoded palette indices into the image: the file's first row is the top row. Pixels
// beyond rows × cols are dropped.
class PixelWriter {
 public:
  PixelWriter(ZR_Image& image, const ColourTable& table) : m_image(image), m_table(table) {
    m_row = image.m_rows - 1;
  }
  // Whether every pixel of the picture has been written.
  bool Complete() const { return m_row < 0; }
  int64_t Written() const { return (int64_t(m_image.m_rows) - 1 - m_row) * m_image.m_cols + m_col; }
  // False for an index outside the colour table.
  bool Put(uint32_t index) {
    if (index >= m_table.size) return false;
    if (m_row < 0) return true;
    m_image[m_row][m_col] = m_table.entries[index];
    if (++m_col == m_image.m_cols) m_col = 0, --m_row;
    return true;
  }

 private:
  ZR_Image& m_image;
  const ColourTable& m_table;
  int32_t m_row;
  int32_t m_col = 0;
};

enum class LzwEnd { kEndCode, kDataEnded, kBadCode };

// Decodes one frame's LZW data (GIF89a, appendix F): codes LSB first, width min_code_size + 1
// growing to 12 bits, clear resets the table, end stops. A code beyond the table built so far or
// a palette index outside the colour table is kBadCode.
LzwEnd DecodeLzw(const std::vector<uint8_t>& data, int min_code_size, PixelWriter& out) {
  const int clear = 1 << min_code_size;
  const int end = clear + 1;
  uint16_t prefix[kMaxCodes];
  uint8_t suffix[kMaxCodes];
  uint8_t first[kMaxCodes];
  uint8_t stack[kMaxCodes];
  for (int i = 0; i < clear && i < kMaxCodes; ++i) suffix[i] = first[i] = static_cast<uint8_t>(i);

  int width = min_code_size + 1;
  int next = end + 1;
  int prev = -1;
  uint32_t acc = 0;
  int acc_bits = 0;
  size_t pos = 0;
  for (;;) {
    while (acc_bits < width && pos < data.size()) {
      acc |= static_cast<uint32_t>(data[pos++]) << acc_bits;
      acc_bits += 8;
    }
    if (acc_bits < width) return LzwEnd::kDataEnded;
    const int code = static_cast<int>(acc & ((1u << width) - 1));
    acc >>= width;
    acc_bits -= width;

    if (code == clear) {
      width = min_code_size + 1;
      next = end + 1;
      prev = -1;
      continue;
    }
    if (code == end) return LzwEnd::kEndCode;
    if (prev < 0) {
      if (code >= clear) return LzwEnd::kBadCode;
      if (!out.Put(static_cast<uint32_t>(code))) return LzwEnd::kBadCode;
      prev = code;
      continue;
    }
    // The string of code (or, for the code about to be defined, prev's string and its own first
    // byte) is unwound backwards onto the stack.
    int depth = 0;
    int walk = code;
    if (code == next) {
      stack[depth++] = first[prev];
      walk = prev;
    } else if (code > next) {
      return LzwEnd::kBadCode;
    }
    while (walk > end) {
      stack[depth++] = suffix[walk];
      walk = prefix[walk];
    }
    stack[depth++] = static_cast<uint8_t>(walk);
    for (int i = depth - 1; i >= 0; --i)
      if (!out.Put(stack[i])) return LzwEnd::kBadCode;
    if (next < kMaxCodes) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = stack[depth - 1];
      first[next] = first[prev];
      ++next;
      if (next >= (1 << width) && width < kMaxCodeBits) ++width;
    }
    prev = code;
  }
}

// Skips one image block after its separator: descriptor, local table, code size, data.
void SkipImage(GifInput& input) {
  uint8_t descriptor[9];
  if (!input.Bytes(descriptor, sizeof(descriptor))) return;
  if (descriptor[8] & 0x80) {
    uint8_t raw[256 * 3];
    if (!input.Bytes(raw, TableSize(descriptor[8]) * 3)) return;
  }
  if (input.Byte() < 0) return;
  input.SkipSubBlocks();
}

}  // namespace

bool ZR_Image::LoadGIF(const char* name) {
  if (!FileExists(name)) return false;
  std::ifstream in(name, std::ios::binary);
  if (!in.is_open() || in.bad()) {
    ZR_PrintPerror("ZR_Image::LoadGIF() File Access Error : Unable to Open File: ");
    ZR_PrintPerror(name);
    return false;
  }
  char signature[7] = {};
  in.get(signature, 7);
  if (std::strncmp(signature, "GIF", 3) != 0) {
    ZR_PrintPerror("ZR_Image::LoadGIF(): File Format Error : not a GIF File: ");
    ZR_PrintPerror(name);
    return false;
  }
  GifInput input(in);
  ColourTable table;
  for (ZR_Colour& entry : table.entries) entry = {0, 0, 0, 255};
  uint8_t screen[7] = {};
  bool ok = input.Bytes(screen, sizeof(screen));
  table.size = TableSize(screen[4]);
  if (ok && (screen[4] & 0x80)) ok = ReadTable(input, table.size, table);

  // Extensions before the image are skipped by structure; any other stray byte one at a time.
  int block = ok ? input.Byte() : -1;
  while (block >= 0 && block != kImageSeparator) {
    if (block == kExtensionIntroducer && input.Byte() >= 0) input.SkipSubBlocks();
    block = input.Byte();
  }
  if (block < 0) {
    ZR_PrintPerror("ZR_Image::LoadGIF() Error! : - start of image not detected");
    return false;
  }

  bool result = false;
  uint8_t descriptor[9];
  if (!input.Bytes(descriptor, sizeof(descriptor))) {
    std::fprintf(stderr, "ZR_Image::LoadGIF() Error! - %s ends inside its image descriptor\n", name);
    return false;
  }
  const int packed = descriptor[8];
  const int64_t width = ZR_Le16(descriptor + 4);
  const int64_t height = ZR_Le16(descriptor + 6);
  if (packed & 0x40) {
    ZR_PrintPerror(
        "ZR_Image::LoadGIF() Error! : - Gif 89a Interlaced mode not implemented. Change to "
        "non-interlaced");
    if (packed & 0x80) {
      uint8_t raw[256 * 3];
      input.Bytes(raw, TableSize(packed) * 3);
    }
    input.Byte();
    input.SkipSubBlocks();
  } else {
    if ((packed & 0x80) && !ReadTable(input, TableSize(packed), table)) {
      std::fprintf(stderr, "ZR_Image::LoadGIF() Error! - %s ends inside its colour table\n", name);
      return false;
    }
    if (!ZR_CheckSizeAndWaitForRoom(width, height, "ZR_Image::LoadGIF()", name)) return false;
    const int min_code_size = input.Byte();
    if (min_code_size < 1 || min_code_size > kMaxCodeBits - 1) {
      std::fprintf(stderr, "ZR_Image::LoadGIF() Error! - LZW code size %d of %s is outside 1..11\n",
                   min_code_size, name);
      return false;
    }
    std::vector<uint8_t> data;
    input.ReadSubBlocks(data);
    if (data.empty()) {
      std::fprintf(stderr, "ZR_Image::LoadGIF() Error! - %s holds no image data\n", name);
      return false;
    }
    Resize(static_cast<int32_t>(height), static_cast<int32_t>(width));
    ZR_FillOpaqueBlack(*this);
    PixelWriter writer(*this, table);
    const LzwEnd end = DecodeLzw(data, min_code_size, writer);
    if (end == LzwEnd::kBadCode)
      ZR_PrintPerror("ZR_Image::LoadGIF() Error! - colour index > colour palette size");
    // Data that stop after the last pixel without the end code still hold the whole picture.
    result = end == LzwEnd::kEndCode || (end == LzwEnd::kDataEnded && writer.Complete());
    if (end == LzwEnd::kDataEnded && !result)
      std::fprintf(
          stderr,
          "ZR_Image::LoadGIF() Error! - the image data of %s end after %lld of %lld pixels\n", name,
          static_cast<long long>(writer.Written()), static_cast<long long>(width * height));
  }

  // Later frames and extensions are skipped by structure up to the trailer; nothing may follow it.
  for (block = input.Byte(); block >= 0 && block != kTrailer; block = input.Byte()) {
    if (block == kExtensionIntroducer) {
      if (input.Byte() >= 0) input.SkipSubBlocks();
    } else if (block == kImageSeparator) {
      SkipImage(input);
    }
  }
  if (block == kTrailer && input.Byte() >= 0) {
    ZR_PrintPerror("ZR_Image::LoadGIF() Error! - end of file not reached");
    result = false;
  }
  return result;
}
