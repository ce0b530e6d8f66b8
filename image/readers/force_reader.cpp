// image/readers/force_reader.cpp: the raw float-matrix format, one ZR_Array2D<float> record
// stretched to grey. The image is rebased to rows and columns from 0, keeping the row order
// (the matrix's first row is the bottom row), as every later stage expects 0-based images.
#include "image/zr_image.h"

#include "core/zr_file_system.h"
#include "image/internal/reader_support.h"

bool ZR_Image::LoadForce(const char* name) {
  if (!FileExists(name)) return false;
  ZR_File file = ZR_OpenFile(name, "rb");
  if (!file) return false;
  ZR_Array2D<float> matrix;
  if (!matrix.Read(file.get())) return false;
  file.reset();
  if (!ZR_CheckSizeAndWaitForRoom(matrix.m_cols, matrix.m_rows, "ZR_Image::LoadForce()", name))
    return false;
  SetFromFloats(matrix);
  // Same element count: the block and its values stay, only the bounds move to 0.
  Resize(0, m_rows - 1, 0, m_cols - 1);
  return true;
}
