// face/regression/zr_read_regressor.cpp: the regressor factory behind a model record's type tag.
#include "face/regression/zr_read_regressor.h"

#include "core/zr_record_io.h"
#include "face/regression/zr_gbt.h"
#include "face/regression/zr_ls.h"
#include "face/regression/zr_pdbf.h"
#include "face/regression/zr_pdbt.h"
#include "face/regression/zr_tree_regressor.h"

namespace {

ZR_VectorRegressor* NewRegressor(int32_t type) {
  switch (type) {
    case ZR_REGRESSOR_GBT:
      return new ZR_GBT;
    case ZR_REGRESSOR_PDBF:
      return new ZR_PDBF;
    case ZR_REGRESSOR_PDBT:
      return new ZR_PDBT;
    case ZR_REGRESSOR_TREE:
      return new ZR_TreeRegressor;
    case ZR_REGRESSOR_LS:
      return new ZR_LS;
    default:
      return nullptr;
  }
}

}  // namespace

ZR_VectorRegressor* ReadRegressor(FILE* f, ZR_String& error) {
  int32_t type;
  if (!ZR_ReadValue(f, type)) {
    error = "ReadRegressor() Error! failed to read regressor type\n";
    return nullptr;
  }
  ZR_VectorRegressor* regressor = NewRegressor(type);
  if (regressor == nullptr) {
    error = "ReadRegressor() Error! unknown regressor type\n";
    return nullptr;
  }
  regressor->m_type = type;
  if (regressor->Read(f) == nullptr) {
    regressor->Clear();
    delete regressor;
    error = ZR_String("ReadRegressor() Error! failed to read regressor of type ") +
            ZR_String(static_cast<int>(type)) + "\n";
    return nullptr;
  }
  return regressor;
}
