// tools/quillbeck_models/main.cpp: quillbeck-models, the builder of the model files the system
// reads, from the public data packages (opencv-data's LBP cascades, libdlib-data's predictor).
//   quillbeck-models --out DIR [--quick] [--trees N] [--pad-levels] [--predictor 69|68]
//                    [--cascades DIR] [--dlib-dat FILE]
// Writes "Detectors.data" and the predictor record "predictor.rec" into DIR, each through a
// temporary file renamed into place, and prints what it wrote with the sources' checksums. A
// package location found by CMake but absent is skipped with a note; a named one must exist.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/zr_record_bytes.h"
#include "tools/quillbeck_models/cascade_records.h"
#include "tools/quillbeck_models/predictor_record.h"

#ifndef ZR_LBP_CASCADE_DIR
#define ZR_LBP_CASCADE_DIR ""
#endif
#ifndef ZR_DLIB_PREDICTOR_DAT
#define ZR_DLIB_PREDICTOR_DAT ""
#endif

namespace {

struct zr_options {
  std::string out;
  int trees = 0;
  bool pad = false;
  int points = 69;
  std::string cascades = ZR_LBP_CASCADE_DIR;
  std::string dlib_dat = ZR_DLIB_PREDICTOR_DAT;
  bool cascades_named = false;
  bool dlib_dat_named = false;
};

const char kUsage[] =
    "usage: quillbeck-models --out DIR [--quick] [--trees N] [--pad-levels] [--predictor 69|68]\n"
    "                        [--cascades DIR] [--dlib-dat FILE]\n";

bool ParseInt(const char* text, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != 0 || v < 0 || v > 1000000) return false;
  value = int(v);
  return true;
}

bool ParseArguments(int argc, char** argv, zr_options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--out" && has_value) {
      o.out = argv[++i];
    } else if (a == "--quick") {
      o.trees = 100;
    } else if (a == "--trees" && has_value) {
      if (!ParseInt(argv[++i], o.trees)) return false;
    } else if (a == "--pad-levels") {
      o.pad = true;
    } else if (a == "--predictor" && has_value) {
      if (!ParseInt(argv[++i], o.points) || (o.points != 68 && o.points != 69)) return false;
    } else if (a == "--cascades" && has_value) {
      o.cascades = argv[++i];
      o.cascades_named = true;
    } else if (a == "--dlib-dat" && has_value) {
      o.dlib_dat = argv[++i];
      o.dlib_dat_named = true;
    } else {
      return false;
    }
  }
  return !o.out.empty();
}

bool FileExists(const std::string& path) {
  FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// FNV-1a (64 bits) of a file's bytes, for the summary; 0 when it cannot be read.
uint64_t FileChecksum(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  uint64_t h = 1469598103934665603ull;
  std::vector<unsigned char> buffer(1 << 16);
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
    for (size_t i = 0; i < n; ++i) h = (h ^ buffer[i]) * 1099511628211ull;
  std::fclose(f);
  return h;
}

void PrintSource(const std::string& path) {
  std::printf("  source %s fnv1a64 %016llx\n", path.c_str(),
              static_cast<unsigned long long>(FileChecksum(path)));
}

// Writes bytes to dir/name through dir/name.tmp; false with a message on failure.
bool WriteFile(const std::string& dir, const char* name, const std::vector<uint8_t>& bytes) {
  const std::string path = dir + "/" + name, tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f != nullptr) ok = std::fclose(f) == 0 && ok;
  ok = ok && std::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    std::fprintf(stderr, "quillbeck-models: cannot write %s\n", path.c_str());
    std::remove(tmp.c_str());
    return false;
  }
  std::printf("wrote %s (%zu bytes)\n", path.c_str(), bytes.size());
  return true;
}

// Detectors.data: version 1, then frontalface, frontalface_improved, profileface and
// frontalface_improved again (the fourth is read and kept by the system).
int WriteDetectors(const zr_options& o) {
  const char* names[] = {"lbpcascade_frontalface.xml", "lbpcascade_frontalface_improved.xml",
                         "lbpcascade_profileface.xml", "lbpcascade_frontalface_improved.xml"};
  if (!FileExists(o.cascades + "/" + names[0])) {
    if (o.cascades_named) {
      std::fprintf(stderr, "quillbeck-models: no LBP cascades in '%s'\n", o.cascades.c_str());
      return 1;
    }
    std::printf("skipped Detectors.data: opencv-data's LBP cascades not found\n");
    return 0;
  }
  ZR_RecordBytes file;
  file.I32(1);
  for (const char* name : names) {
    std::string error;
    const std::vector<uint8_t> record = CascadeRecordFromXml(o.cascades + "/" + name, error);
    if (record.empty()) {
      std::fprintf(stderr, "quillbeck-models: %s\n", error.c_str());
      return 1;
    }
    file.Record(record);
  }
  if (!WriteFile(o.out, "Detectors.data", file)) return 1;
  std::printf("  4 cascade records\n");
  for (int i = 0; i < 3; ++i) PrintSource(o.cascades + "/" + names[i]);
  return 0;
}

int WritePredictor(const zr_options& o) {
  if (!FileExists(o.dlib_dat)) {
    if (o.dlib_dat_named) {
      std::fprintf(stderr, "quillbeck-models: cannot open '%s'\n", o.dlib_dat.c_str());
      return 1;
    }
    std::printf("skipped predictor.rec: libdlib-data's predictor not found\n");
    return 0;
  }
  std::string error;
  const std::vector<uint8_t> record =
      PredictorRecordFromDlib(o.dlib_dat, o.trees, o.pad, o.points, error);
  if (record.empty()) {
    std::fprintf(stderr, "quillbeck-models: %s\n", error.c_str());
    return 1;
  }
  if (!WriteFile(o.out, "predictor.rec", record)) return 1;
  std::printf("  predictor: %d points, trees per level %s%s\n", o.points,
              o.trees > 0 ? std::to_string(o.trees).c_str() : "all",
              o.pad ? ", padded with empty levels" : "");
  PrintSource(o.dlib_dat);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  zr_options o;
  if (!ParseArguments(argc, argv, o)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (WriteDetectors(o) != 0) return 1;
  if (WritePredictor(o) != 0) return 1;
  return 0;
}
