// bench/image/jpeg_decode_bench.cpp: the own JPEG decoder against the system's libjpeg on the
// same files, from memory to 4-byte pixels: real photos and generated 1, 3 and 12 megapixel
// pictures. Prints the time ratio per file at the end. ZR_BENCH_TOKEN=1 shrinks everything.
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "image/jpeg/jpgd.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct LibjpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<LibjpegError*>(cinfo->err)->jump, 1);
}

// libjpeg with its defaults (accurate integer IDCT, fancy upsampling), into RGBA like ours.
unsigned char* DecodeLibjpeg(const Bytes& jpeg, int32_t* w, int32_t* h) {
  jpeg_decompress_struct cinfo;
  LibjpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = ErrorExit;
  unsigned char* volatile out = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(out);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(&cinfo);
  *w = static_cast<int32_t>(cinfo.output_width);
  *h = static_cast<int32_t>(cinfo.output_height);
  const size_t stride = static_cast<size_t>(*w) * 4;
  out = static_cast<unsigned char*>(std::malloc(stride * cinfo.output_height));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

unsigned char* DecodeOurs(const Bytes& jpeg, int32_t* w, int32_t* h) {
  jpgd::jpeg_decoder_mem_stream stream(jpeg.data(), jpeg.size());
  int32_t comps = 0;
  return jpgd::DecodeJpegStream(&stream, w, h, &comps);
}

// A camera-like picture: smooth shading, edges and fine noise, H2V2 at quality 90.
Bytes EncodeGenerated(int32_t w, int32_t h, bool progressive) {
  std::mt19937 rng(17);
  std::uniform_int_distribution<int32_t> noise(-6, 6);
  Bytes px(static_cast<size_t>(w) * h * 3);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int32_t c = 0; c < 3; ++c) {
        double v = 128 + 70 * std::sin(x * 0.013 + c) * std::cos(y * 0.011 - c) +
                   ((x / 97 + y / 61) % 2 ? 30 : -30);
        int32_t s = static_cast<int32_t>(v) + noise(rng);
        px[(static_cast<size_t>(y) * w + x) * 3 + c] =
            static_cast<uint8_t>(s < 0 ? 0 : (s > 255 ? 255 : s));
      }
  jpeg_compress_struct cinfo;
  LibjpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = ErrorExit;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = px.data() + static_cast<size_t>(cinfo.next_scanline) * w * 3;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes jpeg(out, out + size);
  std::free(out);
  return jpeg;
}

struct Input {
  std::string name;
  Bytes jpeg;
  int64_t pixels = 0;
};

bool Token() {
  const char* t = std::getenv("ZR_BENCH_TOKEN");
  return t && std::strcmp(t, "1") == 0;
}

std::vector<Input> MakeInputs() {
  std::vector<Input> inputs;
  const char* dir = "/usr/share/doc/libdlib19.1/examples/faces/";
  // A large baseline photo, a progressive one and a typical small one.
  std::vector<std::string> photos = {"bald_guys.jpg", "dogs.jpg", "2008_001009.jpg"};
  if (Token()) photos.resize(1), photos[0] = "2008_001009.jpg";
  for (const std::string& p : photos) {
    std::ifstream in(dir + p, std::ios::binary);
    Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!b.empty()) inputs.push_back({"photo/" + p, b});
  }
  const struct {
    const char* name;
    int32_t w, h;
    bool progressive;
  } generated[] = {{"gen/1MP", 1152, 864, false},
                   {"gen/3MP", 2048, 1536, false},
                   {"gen/12MP", 4000, 3000, false},
                   {"gen/3MP-progressive", 2048, 1536, true}};
  for (const auto& g : generated) {
    const int32_t w = Token() ? 48 : g.w, h = Token() ? 32 : g.h;
    inputs.push_back({g.name, EncodeGenerated(w, h, g.progressive)});
  }
  return inputs;
}

// Both decoders must agree closely before any timing counts.
bool Verify(Input* in) {
  int32_t w1 = 0, h1 = 0, w2 = 0, h2 = 0;
  std::unique_ptr<unsigned char, decltype(&std::free)> a(DecodeOurs(in->jpeg, &w1, &h1),
                                                          &std::free);
  std::unique_ptr<unsigned char, decltype(&std::free)> b(DecodeLibjpeg(in->jpeg, &w2, &h2),
                                                          &std::free);
  if (!a || !b || w1 != w2 || h1 != h2) return false;
  in->pixels = static_cast<int64_t>(w1) * h1;
  double sq = 0;
  for (int64_t i = 0; i < in->pixels * 4; ++i) {
    double d = static_cast<double>(a.get()[i]) - b.get()[i];
    sq += d * d;
  }
  double mse = sq / static_cast<double>(in->pixels * 3);
  return mse == 0 || 10 * std::log10(255.0 * 255.0 / mse) > 35;
}

void BM_Decode(benchmark::State& state, const Input* in, bool ours) {
  for (auto _ : state) {
    int32_t w = 0, h = 0;
    unsigned char* px = ours ? DecodeOurs(in->jpeg, &w, &h) : DecodeLibjpeg(in->jpeg, &w, &h);
    if (!px) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(px[0]);
    std::free(px);
  }
  state.counters["MPix/s"] = benchmark::Counter(static_cast<double>(in->pixels) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

// Collects the real time per benchmark so that the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // Plain runs, or the medians when the benchmark is repeated.
    for (const Run& r : runs)
      if (!r.error_occurred && (r.aggregate_name.empty() || r.aggregate_name == "median"))
        m_times[r.run_name.str()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios(const std::vector<Input>& inputs) {
    std::printf("\nown decoder time / libjpeg time (goal: at most 2.0)\n");
    for (const Input& in : inputs) {
      auto o = m_times.find("ours/" + in.name), l = m_times.find("libjpeg/" + in.name);
      if (o == m_times.end() || l == m_times.end() || l->second <= 0) continue;
      std::printf("  %-28s %.2f\n", in.name.c_str(), o->second / l->second);
    }
  }

 private:
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<Input> inputs = MakeInputs();
  for (Input& in : inputs) {
    if (!Verify(&in)) {
      std::fprintf(stderr, "jpeg_decode_bench: decoders disagree on %s\n", in.name.c_str());
      return 1;
    }
  }
  for (const Input& in : inputs) {
    benchmark::RegisterBenchmark(("ours/" + in.name).c_str(), BM_Decode, &in, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("libjpeg/" + in.name).c_str(), BM_Decode, &in, false)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios(inputs);
  benchmark::Shutdown();
  return 0;
}
