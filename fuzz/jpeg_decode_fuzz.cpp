// fuzz/jpeg_decode_fuzz.cpp: the own JPEG decoder on arbitrary bytes, through DecodeJpegStream
// on a memory stream: SOI search, marker segments and tables, frame and scan set-up, sequential
// and progressive entropy decoding with restarts, the inverse DCT, upsampling and colour output.
// Inputs whose frame headers declare more than 2^18 pixels are skipped to keep runs fast; the
// decoder's own caps are tested in image_tests.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/jpeg/jpgd.h"

namespace {

constexpr uint64_t kMaxFuzzPixels = uint64_t{1} << 18;

// True when any SOF0/1/2 marker in the bytes declares a frame over the bound. The decoder only
// ever reads a frame header that follows such a literal marker pair.
bool DeclaresLargeFrame(const uint8_t* data, size_t size) {
  for (size_t i = 0; i + 8 < size; ++i) {
    if (data[i] != 0xFF || data[i + 1] < 0xC0 || data[i + 1] > 0xC2) continue;
    const uint64_t h = (uint64_t{data[i + 5]} << 8) | data[i + 6];
    const uint64_t w = (uint64_t{data[i + 7]} << 8) | data[i + 8];
    if (w * h > kMaxFuzzPixels) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (DeclaresLargeFrame(data, size)) return 0;
  jpgd::jpeg_decoder_mem_stream stream(data, size);
  int32_t w = 0, h = 0, comps = 0;
  unsigned char* px = jpgd::DecodeJpegStream(&stream, &w, &h, &comps);
  if (px) {
    // Touch every byte so that a short or uninitialised result shows up under the sanitizers.
    volatile uint32_t sum = 0;
    const size_t n = static_cast<size_t>(w) * 4 * static_cast<size_t>(h);
    for (size_t i = 0; i < n; ++i) sum = sum + px[i];
    std::free(px);
  }
  return 0;
}
