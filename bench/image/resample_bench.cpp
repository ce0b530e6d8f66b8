// bench/image/resample_bench.cpp: the resampler and the crops at the sizes the worker meets: the
// smoothed half-size copy of the HOG search and the face and thumbnail crops of a 2-megapixel
// photo. Each run checks the output size and a pixel checksum against the first run, so a fast
// but wrong build fails. ZR_BENCH_TOKEN=1 shrinks the source to 160 x 120.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "annotation/zr_anno_model2d.h"
#include "image/zr_image.h"

namespace {

bool Token() {
  return std::getenv("ZR_BENCH_TOKEN") != nullptr;
}

ZR_Image Photo() {
  const int rows = Token() ? 120 : 1200, cols = Token() ? 160 : 1600;
  ZR_Image image(rows, cols);
  uint32_t x = 12345;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      x = x * 1664525u + 1013904223u;
      image[r][c] = ZR_Colour{uint8_t((r + c) & 255), uint8_t(x >> 24), uint8_t(r & 255), 255};
    }
  return image;
}

ZR_AnnoModel2D Face() {
  ZR_AnnoModel2D m;
  ZR_Annotation2D face, right_eye, left_eye;
  face.m_name = "FACE";
  right_eye.m_name = "RIGHT EYE";
  left_eye.m_name = "LEFT EYE";
  for (int i = 0; i < 19; ++i) face.Add(ZR_Vector2D(0.35f + 0.3f * float(i) / 18, 0.45f));
  face[9] = ZR_Vector2D(0.5f, 0.3f);
  right_eye.Add(ZR_Vector2D(0.42f, 0.55f));
  right_eye.Add(ZR_Vector2D(0.46f, 0.56f));
  left_eye.Add(ZR_Vector2D(0.54f, 0.56f));
  left_eye.Add(ZR_Vector2D(0.58f, 0.55f));
  m.Add(face);
  m.Add(right_eye);
  m.Add(left_eye);
  return m;
}

uint64_t Checksum(const ZR_Image& image) {
  uint64_t sum = 0;
  for (int r = 0; r < image.m_rows; ++r)
    for (int c = 0; c < image.m_cols; ++c) {
      const ZR_Colour& p = image[r][c];
      sum = sum * 31 + p.r + 3u * p.g + 7u * p.b;
    }
  return sum;
}

// Fails the benchmark when the output differs from the first run's.
bool Check(benchmark::State& state, const ZR_Image& out, int rows, int cols, uint64_t& first) {
  if (out.m_rows != rows || out.m_cols != cols) {
    state.SkipWithError("wrong output size");
    return false;
  }
  const uint64_t sum = Checksum(out);
  if (first == 0) first = sum;
  if (sum != first) {
    state.SkipWithError("output changed between runs");
    return false;
  }
  return true;
}

void BM_HalfSizeSmoothed(benchmark::State& state) {
  const ZR_Image source = Photo();
  const int rows = source.m_rows / 2, cols = source.m_cols / 2;
  uint64_t first = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ZR_Image image = source;
    state.ResumeTiming();
    image.ResizeImage(unsigned(rows), unsigned(cols), true);
    state.PauseTiming();
    const bool ok = Check(state, image, rows, cols, first);
    state.ResumeTiming();
    if (!ok) break;
  }
  state.SetItemsProcessed(state.iterations() * int64_t(source.m_count));
}
BENCHMARK(BM_HalfSizeSmoothed)->Unit(benchmark::kMillisecond);

void BM_FaceCrop(benchmark::State& state) {
  const ZR_Image source = Photo();
  const ZR_AnnoModel2D fitted = Face();
  uint64_t first = 0;
  for (auto _ : state) {
    ZR_AnnoModel2D model = fitted;
    ZR_Image crop;
    if (!source.CropFace(model, 0.6f, 0.75f, crop)) {
      state.SkipWithError("CropFace failed");
      break;
    }
    if (!Check(state, crop, 600, 450, first)) break;
  }
}
BENCHMARK(BM_FaceCrop)->Unit(benchmark::kMillisecond);

void BM_Thumbnail(benchmark::State& state) {
  const ZR_Image source = Photo();
  const ZR_AnnoModel2D fitted = Face();
  uint64_t first = 0;
  int cols = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ZR_Image image = source;
    ZR_AnnoModel2D model = fitted;
    state.ResumeTiming();
    if (!model.CropAndNormalise(image, ZR_Vector2D(0.3f, 0.4f))) {
      state.SkipWithError("CropAndNormalise failed");
      break;
    }
    if (cols == 0) cols = image.m_cols;
    if (!Check(state, image, 96, cols, first)) break;
  }
}
BENCHMARK(BM_Thumbnail)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
