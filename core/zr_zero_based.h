// core/zr_zero_based.h: the check every model reader makes on a vector or matrix it took from a
// file. The array readers keep the stored ranges, but ZR_Vector and ZR_Matrix arithmetic indexes
// from 0, so a record whose range starts elsewhere would be read out of bounds.
#ifndef CORE_ZR_ZERO_BASED_H
#define CORE_ZR_ZERO_BASED_H

#include "core/zr_array.h"
#include "core/zr_array2d.h"

// True when the array holds no element or its range starts at 0.
template <class T>
bool ZR_IsZeroBased(const ZR_Array<T>& a) {
  return a.m_count == 0 || a.m_lo == 0;
}

// True when the 2-D array holds no element or both its row and column ranges start at 0.
template <class T>
bool ZR_IsZeroBased(const ZR_Array2D<T>& a) {
  return a.m_count == 0 || (a.m_row_lo == 0 && a.m_col_lo == 0);
}

#endif  // CORE_ZR_ZERO_BASED_H
