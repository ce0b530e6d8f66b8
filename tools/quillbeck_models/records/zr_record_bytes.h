// tools/quillbeck_models/records/zr_record_bytes.h: builds record bytes field by field
// (little-endian), for golden records, corrupt variants and the records the product only reads
// (lists, strings).
#ifndef TOOLS_QUILLBECK_MODELS_RECORDS_ZR_RECORD_BYTES_H
#define TOOLS_QUILLBECK_MODELS_RECORDS_ZR_RECORD_BYTES_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ZR_RecordBytes {
 public:
  ZR_RecordBytes& I16(int16_t v) { return Raw(&v, 2); }
  ZR_RecordBytes& I32(int32_t v) { return Raw(&v, 4); }
  ZR_RecordBytes& U32(uint32_t v) { return Raw(&v, 4); }
  ZR_RecordBytes& I64(int64_t v) { return Raw(&v, 8); }
  ZR_RecordBytes& U64(uint64_t v) { return Raw(&v, 8); }
  ZR_RecordBytes& F32(float v) { return Raw(&v, 4); }
  ZR_RecordBytes& U8(uint8_t v) { return Raw(&v, 1); }
  // The bytes of text as given (no terminating zero unless it is part of text).
  ZR_RecordBytes& Text(const std::string& text) { return Raw(text.data(), text.size()); }
  // The bytes of another record, appended.
  ZR_RecordBytes& Record(const std::vector<uint8_t>& other) {
    return Raw(other.data(), other.size());
  }
  // A string record: uint32 length with the zero, the text, the zero.
  ZR_RecordBytes& String(const std::string& text) {
    return U32(static_cast<uint32_t>(text.size() + 1)).Text(text).U8(0);
  }
  // An array record header: u64 count, i64 lo, i64 hi.
  ZR_RecordBytes& ArrayHeader(uint64_t count, int64_t lo, int64_t hi) {
    return U64(count).I64(lo).I64(hi);
  }

  const std::vector<uint8_t>& bytes() const { return m_bytes; }
  operator std::vector<uint8_t>() const { return m_bytes; }

 private:
  ZR_RecordBytes& Raw(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    m_bytes.insert(m_bytes.end(), b, b + n);
    return *this;
  }
  std::vector<uint8_t> m_bytes;
};

#endif  // TOOLS_QUILLBECK_MODELS_RECORDS_ZR_RECORD_BYTES_H
