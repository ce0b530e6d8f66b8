// core/zr_point.cpp: the records of the small value types.
#include "core/zr_point.h"

#include "core/zr_record_io.h"

FILE* ZR_Vector3D::Read(FILE* f) {
  float v[3];
  if (!ZR_ReadValues(f, v, 3)) return nullptr;
  x = v[0];
  y = v[1];
  z = v[2];
  return f;
}

FILE* ZR_TRIANGLE::Read(FILE* f) {
  if (!ZR_ReadValue(f, v0) || !ZR_ReadValue(f, v1) || !ZR_ReadValue(f, v2)) return nullptr;
  return f;
}

FILE* zr_coord::Write(FILE* f) const {
  if (!ZR_WriteValue(f, x) || !ZR_WriteValue(f, y)) return nullptr;
  return f;
}

FILE* zr_coord::Read(FILE* f) {
  if (!ZR_ReadValue(f, x) || !ZR_ReadValue(f, y)) return nullptr;
  return f;
}
