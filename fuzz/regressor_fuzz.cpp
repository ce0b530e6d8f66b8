// fuzz/regressor_fuzz.cpp: ReadRegressor over the bytes (type tag and record), as a model file's
// regression section holds it: the five regressor records, full and compact trees, ferns, pair
// lists in both widths, the LS matrix. A failure must leave one of the three messages; a regressor
// read is described, asked for a prediction (when its sizes are small) and written; what it
// writes must read back and write again to the same bytes. Released through its base, as owners
// do.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "face/regression/zr_gbt.h"
#include "face/regression/zr_ls.h"
#include "face/regression/zr_pdbf.h"
#include "face/regression/zr_pdbt.h"
#include "face/regression/zr_read_regressor.h"
#include "fuzz/fuzz_support.h"

namespace {

volatile float g_sink;

// Largest sizes a prediction may allocate from the record.
constexpr int32_t kMaxPredictSize = 1 << 16;

void Release(ZR_VectorRegressor* r) {
  r->Clear();
  delete r;
}

// The record's bytes (tag first), or empty when the writer fails.
std::vector<uint8_t> Written(const ZR_VectorRegressor& r) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  FUZZ_CHECK(out != nullptr);
  const bool ok = std::fwrite(&r.m_type, 4, 1, out) == 1 && r.Write(out) == out;
  std::fclose(out);
  std::vector<uint8_t> bytes;
  if (ok) bytes.assign(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

bool SmallToPredict(const ZR_VectorRegressor& r) {
  switch (r.m_type) {
    case 1:
      return static_cast<const ZR_PDBF&>(r).m_n_features <= kMaxPredictSize;
    case 2:
      return static_cast<const ZR_PDBT&>(r).m_n_features <= kMaxPredictSize;
    case 4: {
      const auto& ls = static_cast<const ZR_LS&>(r);
      return ls.m_n_features <= kMaxPredictSize && ls.m_n_outputs <= kMaxPredictSize;
    }
    default:
      return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStream stream(data, size);
  ZR_String error;
  ZR_VectorRegressor* r = ReadRegressor(stream.get(), error);
  if (r == nullptr) {
    FUZZ_CHECK(std::strncmp(error.m_text, "ReadRegressor() Error! ", 23) == 0);
    return 0;
  }
  FUZZ_CHECK(r->m_type >= 0 && r->m_type <= 4);
  g_sink = float(r->Describe().m_length + r->TypeName().m_length);
  if (SmallToPredict(*r)) {
    ZR_Vector x;
    x.Resize(64);
    for (int32_t i = 0; i < 64; ++i) x[i] = float((i * 37) % 19) - 9.0f;
    const ZR_Vector y = r->Predict(x);
    float s = 0;
    for (uint32_t i = 0; i < y.m_count; ++i) s += y.m_data[i];
    g_sink = s;
  }
  const std::vector<uint8_t> first = Written(*r);
  Release(r);
  if (first.empty()) return 0;  // e.g. int32 pairs that the int16 layout cannot hold
  FuzzStream again(first.data(), first.size());
  ZR_VectorRegressor* back = ReadRegressor(again.get(), error);
  FUZZ_CHECK(back != nullptr);
  FUZZ_CHECK(std::fgetc(again.get()) == EOF);
  FUZZ_CHECK(Written(*back) == first);
  Release(back);
  return 0;
}
