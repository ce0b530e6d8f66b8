// image/internal/resample_support.h: helpers shared by the resampler and the crops: handing a
// freshly sampled pixel array over to an image without a copy.
#ifndef IMAGE_INTERNAL_RESAMPLE_SUPPORT_H
#define IMAGE_INTERNAL_RESAMPLE_SUPPORT_H

#include <cstdint>
#include <utility>

#include "core/zr_array.h"
#include "core/zr_array2d.h"
#include "core/zr_rounding.h"

// Swaps the blocks, bounds and row tables of two arrays; the row pointers stay valid because each
// block moves with its own table.
template <class T>
void ZR_SwapArray(ZR_Array<T>& a, ZR_Array<T>& b) {
  std::swap(a.m_data, b.m_data);
  std::swap(a.m_count, b.m_count);
  std::swap(a.m_lo, b.m_lo);
  std::swap(a.m_hi, b.m_hi);
}

// to takes over from's pixels and bounds; from gets to's old ones (freed with it).
template <class T>
void ZR_TakePixels(ZR_Array2D<T>& to, ZR_Array2D<T>& from) {
  ZR_SwapArray<T>(to, from);
  ZR_SwapArray(to.m_row_table, from.m_row_table);
  std::swap(to.m_rows, from.m_rows);
  std::swap(to.m_cols, from.m_cols);
  std::swap(to.m_row_lo, from.m_row_lo);
  std::swap(to.m_row_hi, from.m_row_hi);
  std::swap(to.m_col_lo, from.m_col_lo);
  std::swap(to.m_col_hi, from.m_col_hi);
}

#endif  // IMAGE_INTERNAL_RESAMPLE_SUPPORT_H
