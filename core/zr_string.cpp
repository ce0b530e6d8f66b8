// core/zr_string.cpp: ZR_String. Every change builds a new block of exactly length bytes; the old
// block is freed only after the new text is complete, so a string may be built from itself.
#include "core/zr_string.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "core/zr_out_of_memory.h"
#include "core/zr_record_io.h"

namespace {

char* NewBlock(uint64_t n) {
  if (n > std::numeric_limits<uint32_t>::max()) ZR_OutOfMemory("ZR_String, run out of memory");
  char* block = new (std::nothrow) char[n];
  if (block == nullptr) ZR_OutOfMemory("ZR_String, run out of memory");
  return block;
}

uint32_t TextLength(const char* text) {
  const size_t n = text == nullptr ? 0 : std::strlen(text);
  if (n >= std::numeric_limits<uint32_t>::max()) ZR_OutOfMemory("ZR_String, run out of memory");
  return static_cast<uint32_t>(n);
}

// The text with every '\' turned into '/'.
ZR_String Generic(const ZR_String& s) {
  ZR_String g = s;
  for (uint32_t i = 0; i + 1 < g.m_length; ++i)
    if (g.m_text[i] == '\\') g.m_text[i] = '/';
  return g;
}

// Index of the last c before the terminating zero, or -1.
int64_t FindLast(const ZR_String& s, char c) {
  for (int64_t i = int64_t(s.m_length) - 2; i >= 0; --i)
    if (s.m_text[i] == c) return i;
  return -1;
}

}  // namespace

ZR_String::ZR_String() {
  m_text = NewBlock(1);
  m_text[0] = 0;
  m_length = 1;
}

ZR_String::ZR_String(const char* text) {
  m_text = nullptr;
  m_length = 0;
  Assign(text, TextLength(text));
}

ZR_String::ZR_String(int value) : ZR_String() {
  *this = value;
}

ZR_String::ZR_String(float value, int decimals) : ZR_String() {
  AppendFloat(value, decimals);
}

ZR_String::ZR_String(const ZR_String& other) : zr_string_data() {
  m_text = nullptr;
  m_length = 0;
  Assign(other.m_text, TextLength(other.m_text));
}

ZR_String::~ZR_String() {
  delete[] m_text;
}

ZR_String& ZR_String::operator=(const ZR_String& other) {
  if (this != &other) Assign(other.m_text, TextLength(other.m_text));
  return *this;
}

ZR_String& ZR_String::operator=(const char* text) {
  Assign(text, TextLength(text));
  return *this;
}

ZR_String& ZR_String::operator=(int value) {
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%d", value);
  Assign(digits, static_cast<uint32_t>(n));
  return *this;
}

ZR_String& ZR_String::operator+=(const ZR_String& other) {
  Append(other.m_text, TextLength(other.m_text));
  return *this;
}

ZR_String& ZR_String::operator+=(const char* text) {
  Append(text, TextLength(text));
  return *this;
}

void ZR_String::Assign(const char* text, uint32_t n) {
  char* block = NewBlock(uint64_t(n) + 1);
  if (n != 0) std::memcpy(block, text, n);
  block[n] = 0;
  delete[] m_text;
  m_text = block;
  m_length = n + 1;
}

void ZR_String::Append(const char* text, uint32_t n) {
  char* block = NewBlock(uint64_t(m_length) + n);
  std::memcpy(block, m_text, m_length - 1);
  if (n != 0) std::memcpy(block + m_length - 1, text, n);
  block[m_length - 1 + n] = 0;
  delete[] m_text;
  m_text = block;
  m_length += n;
}

bool ZR_String::operator==(const char* text) const {
  if (text == nullptr) text = "";
  uint32_t i = 0;
  while (text[i] != 0 && text[i] != '\n') {
    if (i >= m_length) break;
    if (text[i] != m_text[i]) return false;
    ++i;
  }
  return m_length == i + 1;
}

bool ZR_String::operator!=(const ZR_String& other) const {
  return !(*this == other.m_text);
}

ZR_String operator+(const ZR_String& a, const ZR_String& b) {
  ZR_String sum = a;
  sum += b;
  return sum;
}

ZR_String operator+(const ZR_String& a, const char* b) {
  ZR_String sum = a;
  sum += b;
  return sum;
}

ZR_String ZR_String::Slice(uint32_t from, uint32_t to) const {
  ZR_String part;
  part.Assign(m_text + from, to - from);
  return part;
}

ZR_String ZR_String::Left(int n) const {
  if (n <= 0) return ZR_String();
  const uint32_t k = uint32_t(n) < m_length - 1 ? uint32_t(n) : m_length - 1;
  return Slice(0, k);
}

int ZR_String::FindLastDot() const {
  if (m_length < 2) return -1;
  return static_cast<int>(FindLast(*this, '.'));
}

ZR_String ZR_String::RemoveExtension() const {
  const int k = FindLastDot();
  return k < 0 ? *this : Left(k);
}

ZR_String ZR_String::GetFileStem() const {
  const ZR_String g = Generic(RemoveExtension());
  const int64_t slash = FindLast(g, '/');
  return g.Slice(uint32_t(slash + 1), g.m_length - 1);
}

ZR_String ZR_String::GetFolder() const {
  const ZR_String g = Generic(*this);
  const int64_t slash = FindLast(g, '/');
  return slash < 0 ? g : g.Slice(0, uint32_t(slash));
}

ZR_String ZR_String::GetExtension() const {
  const ZR_String g = Generic(*this);
  const int64_t dot = FindLast(g, '.');
  return dot < 0 ? ZR_String() : g.Slice(uint32_t(dot + 1), g.m_length - 1);
}

namespace {

// The low 32 bits of the truncation of a finite, non-negative whole float, read as signed. Floats
// of 2^63 and above are whole multiples of 2^40, so their low 32 bits are 0.
int32_t Low32(float whole) {
  if (whole >= 9223372036854775808.0f) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(whole)));
}

}  // namespace

void ZR_String::AppendFloat(float value, int decimals) {
  ZR_String w = value < 0 ? "-" : "";
  const float m = std::fabs(value);
  if (std::isnan(m)) {
    w += "nan";
  } else if (std::isinf(m)) {
    w += "inf";
  } else {
    const float u = static_cast<float>(std::floor(static_cast<double>(m)));
    w += ZR_String(Low32(u));
    if (decimals != 0) {
      w += ".";
      float frac = m - u;
      for (int d = 0; d < decimals; ++d) {
        frac = frac * 10.0f;
        const float digit = static_cast<float>(std::floor(static_cast<double>(frac)));
        w += ZR_String(Low32(digit));
        frac = frac - digit;
      }
    }
  }
  *this += w;
}

FILE* ZR_String::Read(FILE* f) {
  uint32_t n;
  if (!ZR_ReadValue(f, n) || n == 0 || !ZR_RecordFits(f, n, 1)) return nullptr;
  char* block = NewBlock(n);
  if (!ZR_ReadValues(f, block, n) || block[n - 1] != 0 || std::memchr(block, 0, n - 1) != nullptr) {
    delete[] block;
    return nullptr;
  }
  delete[] m_text;
  m_text = block;
  m_length = n;
  return f;
}
