// fuzz/image_readers_fuzz.cpp: the system's own image-file readers through ZR_Image::Load. The
// first byte picks the format — BMP, GIF, PPM, PGM (binary and plain), TGA, hex, force or BIF
// (whose embedded stream goes through ReadJPEG and libjpeg) — and the rest is the file, written
// to a scratch file of that extension. Every pixel of a loaded image is read. Fuzzing builds of
// zr_image refuse pictures above 256 K pixels, so a header cannot make one run slow.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "image/zr_image.h"

namespace {

const char* const kExtensions[] = {"bmp", "gif", "ppm", "pgm", "tga", "hex", "force", "bif"};

// One scratch folder per process, so parallel fuzzing jobs do not share files; in memory
// (/dev/shm) where there is one, as every input is written and read back. A plain array, so the
// exit handler that removes the folder never sees a destroyed string.
char g_folder[64];

void RemoveFolder() { rmdir(g_folder); }

const char* ScratchFolder() {
  if (g_folder[0] == 0) {
    std::snprintf(g_folder, sizeof(g_folder), "%s/zr_image_readers_XXXXXX",
                  access("/dev/shm", W_OK) == 0 ? "/dev/shm" : P_tmpdir);
    if (!mkdtemp(g_folder)) std::abort();
    std::atexit(RemoveFolder);
  }
  return g_folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string path = std::string(ScratchFolder()) + "/input." +
                           kExtensions[data[0] % (sizeof(kExtensions) / sizeof(kExtensions[0]))];
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size > 1 && std::fwrite(data + 1, 1, size - 1, f) != size - 1) std::abort();
  std::fclose(f);

  ZR_Image image;
  if (image.Load(path.c_str())) {
    uint32_t sum = 0;
    for (int32_t r = image.m_row_lo; r <= image.m_row_hi && image.m_cols > 0; ++r)
      for (int32_t c = image.m_col_lo; c <= image.m_col_hi; ++c) {
        const ZR_Colour& px = image[r][c];
        sum += px.r + px.g + px.b + px.a;
      }
    volatile uint32_t sink = sum;
    (void)sink;
  }
  std::remove(path.c_str());
  return 0;
}
