// image/readers/hex_reader.cpp: the hexadecimal text grey format. Three free lines, two lines
// "word n n n" (the second gives columns, then rows), then lines of two-character values filled
// in from the bottom row up; the values are stretched to 0..255.
#include "image/zr_image.h"

#include "core/zr_file_system.h"
#include "image/internal/netpbm_header.h"
#include "image/internal/reader_support.h"

namespace {

bool IsSpace(int ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

void SkipLine(FILE* f) {
  for (int ch = std::getc(f); ch != '\n' && ch != EOF;) ch = std::getc(f);
}

// One "%255s %d %d %d\n" line: a word of at most 255 characters and three decimal numbers, then
// any white space (the trailing directive skips it all, blank lines included).
bool ReadSizeLine(FILE* f, int32_t numbers[3]) {
  int ch = std::getc(f);
  while (IsSpace(ch)) ch = std::getc(f);
  if (ch == EOF) return false;
  for (int n = 0; n < 255 && ch != EOF && !IsSpace(ch); ++n) ch = std::getc(f);
  if (ch != EOF) std::ungetc(ch, f);
  for (int i = 0; i < 3; ++i)
    if (!ZR_ReadNetpbmNumber(f, &numbers[i])) return false;
  for (ch = std::getc(f); IsSpace(ch);) ch = std::getc(f);
  if (ch != EOF) std::ungetc(ch, f);
  return true;
}

// '0'..'9' and 'A'..'F' are digits; any other character counts as its own code.
int HexDigit(int ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return ch;
}

}  // namespace

bool ZR_Image::LoadHex(const char* name) {
  if (!FileExists(name)) return false;
  ZR_File file = ZR_OpenFile(name, "rb");
  if (!file) return false;
  FILE* f = file.get();
  for (int i = 0; i < 3; ++i) SkipLine(f);
  int32_t first[3], second[3];
  if (!ReadSizeLine(f, first) || !ReadSizeLine(f, second)) return false;
  const int32_t cols = second[0];
  const int32_t rows = second[1];
  if (!ZR_CheckSizeAndWaitForRoom(cols, rows, "ZR_Image::LoadHex()", name)) return false;
  ZR_Array2D<unsigned char> grey(rows, cols);
  const int64_t total = int64_t{rows} * cols;
  int64_t k = 0;
  int pending = -1;
  auto put = [&](int ch) {
    if (pending < 0) {
      pending = ch;
      return;
    }
    if (k < total)
      grey[static_cast<int32_t>(k / cols)][static_cast<int32_t>(k % cols)] =
          static_cast<unsigned char>(16 * HexDigit(pending) + HexDigit(ch));
    ++k;
    pending = -1;
  };
  // Each line, without its line end, gives one value per two characters from its start; a lone
  // last character is dropped, and so are values beyond rows × cols.
  for (int ch = std::getc(f); ch != EOF && k < total;) {
    pending = -1;
    while (ch != '\n' && ch != EOF) {
      if (ch == '\r') {
        // Carriage returns right before the line end belong to it; elsewhere they are data.
        int run = 0;
        for (; ch == '\r'; ch = std::getc(f)) ++run;
        if (ch == '\n' || ch == EOF) break;
        for (; run > 0; --run) put('\r');
        continue;
      }
      put(ch);
      ch = std::getc(f);
    }
    if (ch == '\n') ch = std::getc(f);
  }
  for (; k < total; ++k) grey[static_cast<int32_t>(k / cols)][static_cast<int32_t>(k % cols)] = 0;
  file.reset();
  StretchGreyRange(grey);
  SetGrey(grey);
  return true;
}
