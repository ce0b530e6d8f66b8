// core/zr_string.h: ZR_String, the heap string whose stored length counts the terminating zero.
// Two rules bind every user: equality with a text stops at that text's first line feed, and
// floats are formatted by truncation, digit by digit. The layout sits inside annotations handed
// to plug-ins (vptr, uint32 length, char* text), so no member may be added.
#ifndef CORE_ZR_STRING_H
#define CORE_ZR_STRING_H

#include <cstdint>
#include <cstdio>

// The two fields of a string: m_length counts the bytes of m_text including its terminating zero.
struct zr_string_data {
  uint32_t m_length;
  char* m_text;
};

// ZR_String: a heap copy of a zero-terminated byte text; empty: length 1, text "".
//   Invariant: m_text is never null, and m_text[m_length - 1] is its first zero byte.
//   Owns: m_text (made by array-new); every change makes a new block.
//   A null const char* given to a constructor, assignment, comparison or concatenation counts as
//   the empty text.
//   Threads: not synchronised; several threads may read a string that nobody writes.
//   Failure: an allocation that fails prints "ZR_String, run out of memory" and aborts.
class ZR_String : public zr_string_data {
 public:
  ZR_String();
  ZR_String(const char* text);
  // The decimal text of value as printf "%d" writes it.
  explicit ZR_String(int value);
  // The empty string, then AppendFloat(value, decimals).
  explicit ZR_String(float value, int decimals);
  ZR_String(const ZR_String& other);
  virtual ~ZR_String();

  ZR_String& operator=(const ZR_String& other);
  ZR_String& operator=(const char* text);
  ZR_String& operator=(int value);

  // Appends; appending a string to itself doubles it.
  ZR_String& operator+=(const ZR_String& other);
  ZR_String& operator+=(const char* text);

  // True when this string holds exactly the bytes of text before text's first zero or line feed.
  // A string that itself holds a line feed equals no text.
  bool operator==(const char* text) const;
  // !(*this == other.m_text).
  bool operator!=(const ZR_String& other) const;

  // The first n characters (all of them when n is larger; none when n <= 0).
  ZR_String Left(int n) const;
  // Index of the last '.', or -1 when there is none.
  int FindLastDot() const;
  // The characters before the last '.'; the whole text when there is none.
  ZR_String RemoveExtension() const;
  // Path parts of the text with every '\' turned into '/'. GetFileStem cuts the extension at the
  // last '.' of the whole text first, so "dir.old/file" gives "dir": the part after the last '/'.
  ZR_String GetFileStem() const;
  // The part before the last '/', or all of the text when it has none.
  ZR_String GetFolder() const;
  // The part after the last '.', or "" when there is none.
  ZR_String GetExtension() const;

  // Appends value with decimals digits after the point, each truncated, never rounded: a sign
  // only for value < 0, the integer part as the low 32 bits of its truncation printed "%d", then
  // each digit from the fraction times 10 in float. Infinities give "inf" (after the sign) and
  // NaN gives "nan", without decimals.
  void AppendFloat(float value, int decimals);

  // Reads a string record: uint32 n (bytes including the zero), then n bytes. Returns the stream,
  // or null, leaving the string as it was, at a short read, for n = 0, for n larger than the bytes
  // left, and when the last byte is not the only zero.
  FILE* Read(FILE* f);

 private:
  // Replaces the text by a copy of the first n bytes of text (which may lie in the old block).
  void Assign(const char* text, uint32_t n);
  // Appends the n bytes of text (which may lie in the old block).
  void Append(const char* text, uint32_t n);
  // A new string of the characters from..to - 1.
  ZR_String Slice(uint32_t from, uint32_t to) const;
};

ZR_String operator+(const ZR_String& a, const ZR_String& b);
ZR_String operator+(const ZR_String& a, const char* b);

#if defined(__x86_64__)
static_assert(sizeof(ZR_String) == 24, "plug-ins see vptr, uint32 length, char* text");
#endif

#endif  // CORE_ZR_STRING_H
