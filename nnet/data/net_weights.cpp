// nnet/data/net_weights.cpp: the four weight tables, written by tools/nnet_datagen at build time
// as exact hex-float literals. Apart from a few anchor values per network these are
// deterministic placeholders within the tables' ranges, not trained weights; nothing in the
// system evaluates the networks.
#include "nnet/data/net_data.h"

#include "nnet/internal/heap_copy.h"

namespace {

// clang-format off
const float kUmecWeights[] = {
#include "umec_weights.inc"
};
const float kFace17cWeights[] = {
#include "face17c_weights.inc"
};
const float kFace18cWeights[] = {
#include "face18c_weights.inc"
};
const float kEyeWeights[] = {
#include "eye_weights.inc"
};
// clang-format on

}  // namespace

float* UmecNetWeights(int32_t* count) {
  return CopyToHeap(kUmecWeights, count);
}
float* Face17cNetWeights(int32_t* count) {
  return CopyToHeap(kFace17cWeights, count);
}
float* Face18cNetWeights(int32_t* count) {
  return CopyToHeap(kFace18cWeights, count);
}
float* EyeNetWeights(int32_t* count) {
  return CopyToHeap(kEyeWeights, count);
}
