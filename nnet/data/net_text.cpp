// nnet/data/net_text.cpp: the four network descriptions. The lines are string literals written
// by tools/nnet_datagen at build time; a call only hands out a fresh array of pointers to them.
#include "nnet/data/net_data.h"

#include "nnet/internal/heap_copy.h"

namespace {

// clang-format off
const char* const kUmecLines[] = {
#include "umec_lines.inc"
};
const char* const kFace17cLines[] = {
#include "face17c_lines.inc"
};
const char* const kFace18cLines[] = {
#include "face18c_lines.inc"
};
const char* const kEyeLines[] = {
#include "eye_lines.inc"
};
// clang-format on

}  // namespace

const char** UmecNetText(int32_t* count) {
  return CopyToHeap(kUmecLines, count);
}
const char** Face17cNetText(int32_t* count) {
  return CopyToHeap(kFace17cLines, count);
}
const char** Face18cNetText(int32_t* count) {
  return CopyToHeap(kFace18cLines, count);
}
const char** EyeNetText(int32_t* count) {
  return CopyToHeap(kEyeLines, count);
}
