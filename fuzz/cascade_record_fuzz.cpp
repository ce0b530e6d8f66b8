// fuzz/cascade_record_fuzz.cpp: ZR_CascadeClassifier::Read over the bytes through an fmemopen
// stream, one record after another into the same classifier (as the model files hold four), and
// for every record it accepts a DetectAll and a DetectOne on a small fixed picture, so that a
// record the checks let through is also run by the library's evaluator. Covers the head, the five
// counted tables, the evaluator words, the features, the checks and the cascade text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "face/detect/zr_cascade_classifier.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr int kMaxRecords = 4;

volatile float g_sink;

ZR_Image Picture() {
  ZR_Image image(24, 32);
  uint32_t x = 12345;
  for (int r = 0; r < image.m_rows; ++r)
    for (int c = 0; c < image.m_cols; ++c) {
      x = x * 1103515245u + 12345u;
      const uint8_t v = uint8_t((x >> 16) & 0xff);
      image[r][c] = ZR_Colour{v, uint8_t(v ^ 0x55), uint8_t(r * 8), 255};
    }
  return image;
}

// Sums every value read (each converted on its own: the record's ints may be anything).
float Touch(const zr_cascade_record& r) {
  float x = float(r.window_width) + float(r.window_height) + float(r.eval_offset);
  for (const auto& s : r.stages) x += s.threshold + float(s.first) + float(s.count);
  for (const auto& n : r.nodes) x += float(n.feature) + float(n.left) + float(n.right);
  for (float v : r.leaves) x += v;
  for (int32_t w : r.subsets) x += float(w & 1);
  for (const auto& f : r.features)
    x += float(f.x) + float(f.y) + float(f.block_w) + float(f.block_h);
  return x;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ZR_Image picture = Picture();
  FuzzStream stream(data, size);
  FILE* f = stream.get();
  ZR_CascadeClassifier cascade;
  for (int i = 0; i < kMaxRecords; ++i) {
    const bool ok = cascade.Read(f) != nullptr;
    const zr_cascade_record& r = cascade.m_record;
    // Nothing was sized past the input: every element takes at least 4 bytes.
    FUZZ_CHECK((r.stages.size() + r.trees.size() + r.nodes.size() + r.leaves.size() +
                r.subsets.size() + r.features.size()) *
                   4 <=
               size);
    g_sink = Touch(r);
    if (!ok) {
      FUZZ_CHECK(cascade.empty());
      break;
    }
    FUZZ_CHECK(CheckCascadeRecord(r));
    FUZZ_CHECK(cascade.HasStages() == !r.stages.empty());
    ZR_List<ZR_FaceDetection> out;
    const int n = ZR_CascadeSet().DetectAll(picture, cascade, out, 0, 0, 1, 1, 1.15f, 0, 0);
    FUZZ_CHECK(n == int(out.m_count) || (n == -1 && out.m_count == 0));
    ZR_NBox box;
    const int m = ZR_CascadeSet().DetectOne(picture, cascade, box, 0, 0, 1, 1, 1.1f, 1, 0, 0);
    FUZZ_CHECK((m > 0) == (box.m_valid == 1));
  }
  return 0;
}
