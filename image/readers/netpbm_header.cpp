// image/readers/netpbm_header.cpp: token parsing of netpbm headers and plain sample lists.
#include "image/internal/netpbm_header.h"

namespace {

constexpr int64_t kNumberCeiling = int64_t{1} << 31;

bool IsSpace(int ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

// Skips white space and comments (from '#' to the end of its line); returns the next character.
int SkipToToken(FILE* f) {
  int ch = std::getc(f);
  for (;;) {
    if (ch == '#') {
      while (ch != '\n' && ch != '\r' && ch != EOF) ch = std::getc(f);
    } else if (!IsSpace(ch)) {
      return ch;
    }
    ch = std::getc(f);
  }
}

// Reads an unsigned decimal token; on success the character after it is left unread.
bool ReadHeaderNumber(FILE* f, int64_t* value) {
  int ch = SkipToToken(f);
  if (ch < '0' || ch > '9') return false;
  int64_t v = 0;
  for (; ch >= '0' && ch <= '9'; ch = std::getc(f))
    if (v < kNumberCeiling) v = v * 10 + (ch - '0');
  *value = v < kNumberCeiling ? v : kNumberCeiling;
  if (ch != EOF) std::ungetc(ch, f);
  return true;
}

}  // namespace

bool ZR_ReadNetpbmHeader(FILE* f, zr_netpbm_header* header) {
  if (std::getc(f) != 'P') return false;
  int kind = std::getc(f);
  if (kind < '0' || kind > '9') return false;
  header->kind = static_cast<char>(kind);
  // The magic must end in white space or a comment, as the numbers are tokens of their own.
  int after = std::getc(f);
  if (!IsSpace(after) && after != '#') return false;
  std::ungetc(after, f);
  if (!ReadHeaderNumber(f, &header->width) || !ReadHeaderNumber(f, &header->height) ||
      !ReadHeaderNumber(f, &header->max_value))
    return false;
  return IsSpace(std::getc(f));
}

bool ZR_ReadNetpbmNumber(FILE* f, int32_t* value) {
  int ch = std::getc(f);
  while (IsSpace(ch)) ch = std::getc(f);
  bool negative = false;
  if (ch == '-' || ch == '+') {
    negative = ch == '-';
    ch = std::getc(f);
  }
  if (ch < '0' || ch > '9') return false;
  int64_t v = 0;
  for (; ch >= '0' && ch <= '9'; ch = std::getc(f)) {
    v = v * 10 + (ch - '0');
    if (v > kNumberCeiling) return false;
  }
  if (ch != EOF) std::ungetc(ch, f);
  if (negative) v = -v;
  if (v < -kNumberCeiling || v >= kNumberCeiling) return false;
  *value = static_cast<int32_t>(v);
  return true;
}
