// nnet/internal/heap_copy.h: hands out a constant table as a fresh C-heap array, the form in
// which the embedded descriptions and weight tables reach their callers.
#ifndef NNET_INTERNAL_HEAP_COPY_H
#define NNET_INTERNAL_HEAP_COPY_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

// A malloc copy of table that the caller frees with free; its length goes to count. Throws
// std::bad_alloc when the copy cannot be allocated.
template <typename T, size_t N>
std::remove_const_t<T>* CopyToHeap(T (&table)[N], int32_t* count) {
  static_assert(N <= INT32_MAX, "table too long for a 32-bit count");
  auto* out = static_cast<std::remove_const_t<T>*>(malloc(sizeof(table)));
  if (!out) throw std::bad_alloc();
  memcpy(out, table, sizeof(table));
  *count = static_cast<int32_t>(N);
  return out;
}

#endif  // NNET_INTERNAL_HEAP_COPY_H
