// tools/quillbeck_models/main.cpp: quillbeck-models, the builder of the model files the system
// reads, from the public data packages (opencv-data's LBP cascades, libdlib-data's predictor).
//   quillbeck-models --out DIR [--quick] [--trees N] [--no-pad-levels] [--predictor 69|68]
//                    [--cascades DIR] [--dlib-dat FILE]
// Writes the data folder DIR: "Detectors.data", "IsFace.data" and "Landmarks.data", each through
// a temporary file renamed into place and each read back by the system's own reader, which must
// take every byte. Prints what it wrote with the sources' checksums. A package location found by
// CMake but absent is skipped with a note (with the files that need it); a named one must exist.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "face/zr_face_detectors.h"
#include "face/zr_isface_model.h"
#include "face/zr_landmark_fitter.h"
#include "tools/quillbeck_models/records/zr_memory_file.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"
#include "tools/quillbeck_models/cascade_records.h"
#include "tools/quillbeck_models/isface_section.h"
#include "tools/quillbeck_models/landmark_model_section.h"
#include "tools/quillbeck_models/photo_shapes.h"
#include "tools/quillbeck_models/predictor_record.h"
#include "tools/quillbeck_models/regression_model_section.h"

#ifndef ZR_LBP_CASCADE_DIR
#define ZR_LBP_CASCADE_DIR ""
#endif
#ifndef ZR_DLIB_PREDICTOR_DAT
#define ZR_DLIB_PREDICTOR_DAT ""
#endif
#ifndef ZR_DLIB_EXAMPLES_DIR
#define ZR_DLIB_EXAMPLES_DIR ""
#endif

namespace {

struct zr_options {
  std::string out;
  int trees = 0;
  // Padded by default: the system's second pass over the later half of the levels then meets only
  // empty levels, and the predictor's points are dlib's. Unpadded records re-apply trees that
  // dlib's model was not trained for; tests keep one to exercise that pass.
  bool pad = true;
  int points = 69;
  std::string cascades = ZR_LBP_CASCADE_DIR;
  std::string dlib_dat = ZR_DLIB_PREDICTOR_DAT;
  bool cascades_named = false;
  bool dlib_dat_named = false;
};

const char kUsage[] =
    "usage: quillbeck-models --out DIR [--quick] [--trees N] [--no-pad-levels]\n"
    "                        [--predictor 69|68] [--cascades DIR] [--dlib-dat FILE]\n";

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
    } else if (a == "--pad-levels") {  // the default; still accepted
      o.pad = true;
    } else if (a == "--no-pad-levels") {
      o.pad = false;
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

// Reads bytes back with the system's reader of that file; false with a message when the reader
// refuses them or leaves bytes unread.
template <class Reader>
bool ReadsInFull(const char* name, const std::vector<uint8_t>& bytes, Reader read) {
  ZR_MemoryFile stream(bytes);
  const bool ok = read(stream.get());
  if (ok && stream.Left() == 0) return true;
  std::fprintf(stderr, "quillbeck-models: the system's reader %s %s\n",
               ok ? "leaves bytes unread in" : "refuses", name);
  return false;
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
  ZR_FaceDetectors detectors;
  if (!ReadsInFull("Detectors.data", file.bytes(),
                   [&](FILE* f) { return detectors.Read(f) != nullptr; }) ||
      !WriteFile(o.out, "Detectors.data", file))
    return 1;
  std::printf("  4 cascade records\n");
  for (int i = 0; i < 3; ++i) PrintSource(o.cascades + "/" + names[i]);
  return 0;
}

bool HavePredictor(const zr_options& o, const char* files) {
  if (FileExists(o.dlib_dat)) return true;
  if (o.dlib_dat_named) {
    std::fprintf(stderr, "quillbeck-models: cannot open '%s'\n", o.dlib_dat.c_str());
    return false;
  }
  std::printf("skipped %s: libdlib-data's predictor not found\n", files);
  return true;
}

// IsFace.data: three cascades, the full-layout estimator twice, the two mean models and samplers.
int WriteIsFace(const zr_options& o, const std::vector<ZR_Vector2D>& mean68) {
  if (!FileExists(o.cascades + "/" + kIsFaceCascades[0])) {
    std::printf("skipped IsFace.data: opencv-data's LBP cascades not found\n");
    return 0;
  }
  std::string error;
  const std::vector<uint8_t> file = IsFaceDataFile(o.cascades, mean68, error);
  if (file.empty()) {
    std::fprintf(stderr, "quillbeck-models: %s\n", error.c_str());
    return 1;
  }
  ZR_IsFaceModel model;
  if (!ReadsInFull("IsFace.data", file, [&](FILE* f) { return model.Read(f) != nullptr; }) ||
      !WriteFile(o.out, "IsFace.data", file))
    return 1;
  std::printf(
      "  3 cascade records, 2 pose estimators (%u points), 2 annotation models "
      "(%u and %u annotations) with samplers\n",
      model.m_pose_estimator1.m_n, model.m_anno_model1.m_count, model.m_anno_model2.m_count);
  for (const char* name : kIsFaceCascades) PrintSource(o.cascades + "/" + name);
  return 0;
}

// Landmarks.data: header word 1, the landmark model, the regression landmark model and the
// predictor (69 points re-packed, or dlib's 68 for --predictor 68).
int WriteLandmarks(const zr_options& o, const std::vector<ZR_Vector2D>& mean68) {
  std::string error;
  // The shape model learns from the example portraits too, when libdlib19.1's examples are there,
  // all but one person's, on whom the tests score the search.
  zr_landmark_section_options options;
  const std::string photos =
      std::string(ZR_DLIB_EXAMPLES_DIR).empty() ? "" : std::string(ZR_DLIB_EXAMPLES_DIR) + "/johns";
  if (!PhotoShapes68(photos, kHeldOutPerson, o.dlib_dat, options.real_shapes, error)) {
    std::fprintf(stderr, "quillbeck-models: %s\n", error.c_str());
    return 1;
  }
  zr_landmark_section_report report;
  const std::vector<uint8_t> landmark_model = LandmarkModelSection(mean68, options, &report, error);
  const std::vector<uint8_t> regression_model =
      landmark_model.empty() ? landmark_model : RegressionModelSection(o.dlib_dat, o.trees, error);
  const std::vector<uint8_t> predictor =
      regression_model.empty()
          ? regression_model
          : PredictorRecordFromDlib(o.dlib_dat, o.trees, o.pad, o.points, error);
  if (predictor.empty()) {
    std::fprintf(stderr, "quillbeck-models: %s\n", error.c_str());
    return 1;
  }
  ZR_RecordBytes file;
  file.I32(1).Record(landmark_model).Record(regression_model).Record(predictor);
  ZR_LandmarkFitter fitter;
  if (!ReadsInFull("Landmarks.data", file.bytes(), [&](FILE* f) { return fitter.Read(f); }) ||
      !WriteFile(o.out, "Landmarks.data", file))
    return 1;
  std::printf(
      "  landmark model %zu bytes (%d templates, %d bins recovered, %d modes from %d "
      "shapes, %d of them fitted on photos)\n",
      landmark_model.size(), report.templates, report.bins_recovered, report.modes,
      report.observations, report.real_observations);
  std::printf("  regression model %zu bytes\n", regression_model.size());
  std::printf("  predictor %zu bytes: %d points, trees per level %s%s\n", predictor.size(),
              o.points, o.trees > 0 ? std::to_string(o.trees).c_str() : "all",
              o.pad ? ", padded with empty levels" : ", unpadded");
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
  // The other two files both start from dlib's mean shape.
  if (!HavePredictor(o, "IsFace.data and Landmarks.data")) return 1;
  if (!FileExists(o.dlib_dat)) return 0;
  std::string error;
  std::vector<ZR_Vector2D> mean68;
  if (!ReadDlibMeanShape(o.dlib_dat, mean68, error)) {
    std::fprintf(stderr, "quillbeck-models: %s\n", error.c_str());
    return 1;
  }
  if (WriteIsFace(o, mean68) != 0) return 1;
  if (WriteLandmarks(o, mean68) != 0) return 1;
  return 0;
}
