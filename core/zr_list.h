// core/zr_list.h: ZR_List<T>, the list that grows by whole blocks and never moves an element while
// it grows, and the list records (int32 count, then the elements). The layout sits inside
// annotations handed to plug-ins, so the fields are a contract. Readers check the count against
// the bytes left before they make a block.
#ifndef CORE_ZR_LIST_H
#define CORE_ZR_LIST_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <type_traits>

#include "core/zr_element_record.h"
#include "core/zr_out_of_memory.h"
#include "core/zr_record_io.h"
#include "core/zr_string.h"

// ZR_List<T>: a list that grows in blocks of m_grow_step elements (4 by default); empty: count 0.
//   Layout (plug-in contract): vptr, uint32 m_count, m_grow_step, m_blocks, m_capacity,
//     T** m_items (one entry per slot), T** m_block_table (one entry per block).
//   Invariant: an element never moves while the list grows; its address changes only at Clear,
//     assignment, SetGrowStep, a record read into the list and destruction. All blocks have
//     m_grow_step slots; slots past m_count hold constructed elements (plain ones zeroed).
//   Owns: its blocks and the elements in them (a list of pointers owns only the pointers).
//   Threads: not synchronised; several threads may read one list that nobody writes.
//   Failure: an allocation that fails prints "ZR_List<T>::Grow(), run out of memory" and aborts.
template <class T>
class ZR_List {
 public:
  uint32_t m_count;
  uint32_t m_grow_step;
  uint32_t m_blocks;
  uint32_t m_capacity;
  T** m_items;
  T** m_block_table;

  explicit ZR_List(uint32_t grow_step = 4)
      : m_count(0),
        m_grow_step(grow_step),
        m_blocks(0),
        m_capacity(0),
        m_items(nullptr),
        m_block_table(nullptr) {}
  // A copy owns its own elements, in one block of exactly their number.
  ZR_List(const ZR_List& other) : ZR_List() { *this = other; }
  virtual ~ZR_List() { Clear(); }

  T& operator[](uint32_t i) { return *m_items[i]; }
  const T& operator[](uint32_t i) const { return *m_items[i]; }

  // Appends a copy of x. x may be an element of this list: growing moves no element.
  void Add(const T& x) {
    if (m_capacity < m_count + 1) Grow();
    ++m_count;
    *m_items[m_count - 1] = x;
  }

  // Adds one block of m_grow_step slots (a grow step of 0 on a list without blocks becomes 4).
  void Grow() {
    if (m_grow_step == 0 && m_blocks == 0) m_grow_step = 4;
    const uint64_t capacity = uint64_t(m_grow_step) * (m_blocks + 1);
    if (capacity > std::numeric_limits<uint32_t>::max()) OutOfMemory();
    T** block_table = static_cast<T**>(std::realloc(m_block_table, (m_blocks + 1) * sizeof(T*)));
    if (block_table == nullptr) OutOfMemory();
    m_block_table = block_table;
    T* block = new (std::nothrow) T[m_grow_step]();
    if (block == nullptr) OutOfMemory();
    T** items = static_cast<T**>(std::realloc(m_items, capacity * sizeof(T*)));
    if (items == nullptr) OutOfMemory();
    m_items = items;
    m_block_table[m_blocks] = block;
    for (uint32_t i = 0; i < m_grow_step; ++i) m_items[m_capacity + i] = block + i;
    ++m_blocks;
    m_capacity = static_cast<uint32_t>(capacity);
  }

  // Drops the last element from use (its slot keeps the object); nothing on an empty list.
  void RemoveLast() {
    if (m_count != 0) --m_count;
  }

  // Frees every block. A list that never held one is left exactly as it is; otherwise count,
  // blocks and capacity become 0 and a grow step of 0 becomes 4.
  void Clear() {
    if (m_blocks == 0) return;
    for (uint32_t b = 0; b < m_blocks; ++b) delete[] m_block_table[b];
    std::free(m_block_table);
    std::free(m_items);
    m_block_table = nullptr;
    m_items = nullptr;
    m_count = m_blocks = m_capacity = 0;
    if (m_grow_step == 0) m_grow_step = 4;
  }

  // Copies the source into one block of exactly its count slots (grow step := source count, or
  // the source's grow step when it is empty). Self-assignment does nothing.
  ZR_List& operator=(const ZR_List& source) {
    if (this == &source) return *this;
    Clear();
    m_grow_step = source.m_count != 0 ? source.m_count : source.m_grow_step;
    for (uint32_t i = 0; i < source.m_count; ++i) Add(source[i]);
    return *this;
  }

  // Sets the grow step; 0 is ignored. A list holding blocks is rebuilt, even for the same n: the
  // elements keep their order and values but all move.
  void SetGrowStep(uint32_t n) {
    if (n == 0) return;
    if (m_blocks == 0) {
      m_grow_step = n;
      return;
    }
    ZR_List copy;
    copy = *this;
    Clear();
    m_grow_step = n;
    for (uint32_t i = 0; i < copy.m_count; ++i) Add(copy[i]);
  }

  // Index of the first element equal to s by ZR_String equality (s against the element's text,
  // which stops at its first line feed), or -1. For ZR_List<ZR_String>.
  int32_t Find(const ZR_String& s) const {
    static_assert(std::is_same_v<T, ZR_String>, "Find is for lists of strings");
    for (uint32_t i = 0; i < m_count; ++i)
      if (s == m_items[i]->m_text) return static_cast<int32_t>(i);
    return -1;
  }

  // Reads a list record: int32 count, then the elements. Returns the stream, or null when the
  // count is short, negative, or needs more bytes than the stream has left, or an element is
  // short. The list is cleared first; for int lists a short element keeps the values read so
  // far, for every other list a failure leaves it empty. A count of 0 keeps the grow step; any
  // other count becomes the grow step (one block of exactly count slots). For int, ZR_Vector2D,
  // ZR_TRIANGLE, zr_coord and lists of those (each element a list record of its own); other
  // element readers go through ReadInPlace.
  FILE* Read(FILE* f);

  // Writes a list record: int32 count, then each element's record in order (numbers as their
  // bytes, class elements through their own Write(FILE*)). Returns the stream, or null at the
  // first short write, that of an element included, and for more than 2^31 - 1 elements.
  FILE* Write(FILE* f) const;

  // The reader behind Read for class elements: clears the list, reads and checks the count
  // (min_element_bytes is the smallest record one element can have), makes count default
  // elements in one block and calls read_one(f, element) on each in order. Any failure clears the
  // list and returns null.
  template <class ReadOne>
  FILE* ReadInPlace(FILE* f, uint32_t min_element_bytes, ReadOne read_one) {
    Clear();
    int32_t count;
    if (!ZR_ReadValue(f, count)) return nullptr;
    if (count == 0) return f;
    if (count < 0 || !ZR_RecordFits(f, uint32_t(count), min_element_bytes)) return nullptr;
    m_grow_step = static_cast<uint32_t>(count);
    Grow();
    m_count = m_capacity;
    for (uint32_t i = 0; i < m_count; ++i) {
      if (!read_one(f, *m_items[i])) {
        Clear();
        return nullptr;
      }
    }
    return f;
  }

 private:
  // Read for element types that have an element record (not lists).
  FILE* ReadElements(FILE* f);

  [[noreturn]] static void OutOfMemory() {
    ZR_OutOfMemory("ZR_List<T>::Grow(), run out of memory");
  }
};

// zr_is_list<T>: true for the list instances, whose list records nest.
template <class T>
struct zr_is_list : std::false_type {};
template <class T>
struct zr_is_list<ZR_List<T>> : std::true_type {};

template <class T>
FILE* ZR_List<T>::Read(FILE* f) {
  if constexpr (zr_is_list<T>::value) {
    // Each element is a list record of at least its 4-byte count.
    return ReadInPlace(f, 4, [](FILE* s, T& e) { return e.Read(s) != nullptr; });
  } else {
    return ReadElements(f);
  }
}

template <class T>
FILE* ZR_List<T>::ReadElements(FILE* f) {
  using record = zr_element_record<T>;
  static_assert(record::kDefined, "this element type has no list record");
  if constexpr (std::is_same_v<T, int32_t>) {
    Clear();
    int32_t count;
    if (!ZR_ReadValue(f, count)) return nullptr;
    if (count == 0) return f;
    if (count < 0 || !ZR_RecordFits(f, uint32_t(count), record::kBytes)) return nullptr;
    m_grow_step = static_cast<uint32_t>(count);
    for (int32_t i = 0; i < count; ++i) {
      int32_t value;
      if (!ZR_ReadValue(f, value)) return nullptr;
      Add(value);
    }
    return f;
  } else {
    static_assert(!record::kPlain, "list records exist for int and the class elements");
    return ReadInPlace(f, record::kBytes, [](FILE* s, T& e) { return record::ReadOne(s, e); });
  }
}

template <class T>
FILE* ZR_List<T>::Write(FILE* f) const {
  if (m_count > uint32_t(std::numeric_limits<int32_t>::max())) return nullptr;
  const int32_t count = static_cast<int32_t>(m_count);
  if (!ZR_WriteValue(f, count)) return nullptr;
  for (uint32_t i = 0; i < m_count; ++i) {
    if constexpr (std::is_arithmetic_v<T>) {
      if (!ZR_WriteValue(f, *m_items[i])) return nullptr;
    } else {
      if (m_items[i]->Write(f) == nullptr) return nullptr;
    }
  }
  return f;
}

#if defined(__x86_64__)
static_assert(sizeof(ZR_List<int32_t>) == 40, "plug-ins see vptr, four uint32, two tables");
#endif

#endif  // CORE_ZR_LIST_H
