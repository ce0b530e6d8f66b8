// core/zr_sampler2d.cpp: the mesh sampler record reader. Every array and list reader checks its
// count against the bytes left before allocating; the one count read here (the index sets of
// format 5) gets the same check, so a corrupt model file fails to load instead of aborting.
#include "core/zr_sampler2d.h"

#include "core/zr_record_io.h"

namespace {

// The smallest record an int array can have: its three 8-byte header words.
constexpr uint32_t kMinArrayRecordBytes = 24;

// Reads one field into value only when all its bytes arrived, so a short read leaves it as it was.
template <class T>
bool ReadField(FILE* f, T& value) {
  T read;
  if (!ZR_ReadValue(f, read)) return false;
  value = read;
  return true;
}

}  // namespace

ZR_Sampler2D::ZR_Sampler2D()
    : m_format(5),
      m_value_a(1),
      m_flag_a(0),
      m_flag_b(0),
      m_value_b(0),
      m_value_c(0),
      m_triangles(4),
      m_path("C:\\Temp"),
      m_word_a(0),
      m_word_b(0),
      m_flag_c(1) {}

ZR_Sampler2D::~ZR_Sampler2D() {}

FILE* ZR_Sampler2D::Read(FILE* f) {
  if (!ReadField(f, m_format) || !ReadField(f, m_value_a) || !ReadField(f, m_value_b) ||
      !ReadField(f, m_value_c))
    return nullptr;
  if (m_weights.Read(f) == nullptr || m_points.Read(f) == nullptr) return nullptr;
  if (m_format >= 2 && m_format <= 5) {
    if (m_coordinates.Read(f) == nullptr) return nullptr;
    if (m_format >= 3 && m_triangles.Read(f) == nullptr) return nullptr;
    if (m_format >= 4 && m_indices.Read(f) == nullptr) return nullptr;
    if (m_format == 5 && ReadIndexSets(f) == nullptr) return nullptr;
  }
  m_format = 5;
  return f;
}

FILE* ZR_Sampler2D::ReadIndexSets(FILE* f) {
  int32_t count;
  if (!ReadField(f, m_flag_a) || !ZR_ReadValue(f, count)) return nullptr;
  if (count < 0 || !ZR_RecordFits(f, uint32_t(count), kMinArrayRecordBytes)) return nullptr;
  m_index_sets.Resize(0, count - 1);
  for (int32_t i = 0; i < count; ++i)
    if (m_index_sets[i].Read(f) == nullptr) return nullptr;
  if (!ReadField(f, m_flag_b)) return nullptr;
  return f;
}
