// face/regression/zr_read_regressor.h: ReadRegressor, which reads the int32 type tag of a regressor
// record and the record of that type into a new regressor.
#ifndef FACE_REGRESSION_ZR_READ_REGRESSOR_H
#define FACE_REGRESSION_ZR_READ_REGRESSOR_H

#include <cstdio>

#include "core/zr_string.h"
#include "face/regression/zr_vector_regressor.h"

// Reads an int32 tag (0 ZR_GBT, 1 ZR_PDBF, 2 ZR_PDBT, 3 ZR_TreeRegressor, 4 ZR_LS) and the
// record behind it. Returns a new regressor owned by the caller (release it with Clear, then
// delete), or null with error set to one of:
//   "ReadRegressor() Error! failed to read regressor type\n"   (no tag),
//   "ReadRegressor() Error! unknown regressor type\n"          (any other tag),
//   "ReadRegressor() Error! failed to read regressor of type N\n" (the record did not read).
// The text replaces what error held; nothing is printed. The stream is left after what was read.
ZR_VectorRegressor* ReadRegressor(FILE* f, ZR_String& error);

#endif  // FACE_REGRESSION_ZR_READ_REGRESSOR_H
