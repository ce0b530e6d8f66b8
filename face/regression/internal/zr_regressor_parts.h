// face/regression/internal/zr_regressor_parts.h: what the regressors share: the tree and fern list
// readers, pair-difference features, the boosted sum and the "name = value" lines of Describe.
// Inputs come from model files, so every index taken from a record is checked before it is used.
#ifndef FACE_REGRESSION_INTERNAL_ZR_REGRESSOR_PARTS_H
#define FACE_REGRESSION_INTERNAL_ZR_REGRESSOR_PARTS_H

#include <cstdint>
#include <cstdio>

#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_string.h"
#include "core/zr_vector.h"
#include "face/regression/zr_fern.h"
#include "face/regression/zr_tree.h"

// List records of full-form trees and of ferns (int32 count, then the elements), read into one
// block. Return the stream, or null with the list empty.
FILE* ZR_ReadTreeList(FILE* f, ZR_List<ZR_Tree>& trees);
FILE* ZR_ReadFernList(FILE* f, ZR_List<ZR_Fern>& ferns);

// n features f[i] = x[a_i] - x[b_i] from the pairs (a_i, b_i); a feature whose pair is missing or
// whose indices fall outside x is 0. n < 0 gives an empty vector.
ZR_Vector ZR_PairFeatures(const ZR_Vector& x, const ZR_List<zr_coord>& pairs, int32_t n);

// y[k] += shrinkage * p[k] over the shorter of the two lengths.
void ZR_AddScaled(ZR_Vector& y, float shrinkage, const ZR_Vector& p);

// Appends "name = value\n"; the float form writes 3 truncated decimals.
void ZR_DescribeLine(ZR_String& s, const char* name, int32_t value);
void ZR_DescribeLine(ZR_String& s, const char* name, float value);

#endif  // FACE_REGRESSION_INTERNAL_ZR_REGRESSOR_PARTS_H
