// tools/quillbeck_models/isface_section.cpp: assembles "IsFace.data". The samplers are not used by
// the system, only parsed; they are laid over the mean models' own points so that their content
// is at least plausible, and the second takes format 2 to exercise the reader's shorter branch.
#include "tools/quillbeck_models/isface_section.h"

#include "annotation/zr_anno_model2d.h"
#include "core/zr_list.h"
#include "tools/quillbeck_models/cascade_records.h"
#include "tools/quillbeck_models/landmark_model_section.h"
#include "tools/quillbeck_models/records/sampler_record.h"
#include "tools/quillbeck_models/records/zr_record_bytes.h"

const char* const kIsFaceCascades[3] = {"lbpcascade_frontalface.xml",
                                        "lbpcascade_frontalface_improved.xml",
                                        "lbpcascade_profileface.xml"};

namespace {

std::vector<float> ModelPoints(const ZR_AnnoModel2D& model) {
  ZR_List<ZR_Vector2D> points;
  model.GetScaledPoints(ZR_Vector2D(1, 1), points, 0);
  std::vector<float> xy;
  for (uint32_t i = 0; i < points.m_count; ++i) {
    xy.push_back(points[i].x);
    xy.push_back(points[i].y);
  }
  return xy;
}

}  // namespace

std::vector<uint8_t> IsFaceDataFile(const std::string& cascade_dir,
                                    const std::vector<ZR_Vector2D>& mean68, std::string& error) {
  ZR_RecordBytes file;
  file.I32(1);
  for (const char* name : kIsFaceCascades) {
    const std::vector<uint8_t> record = CascadeRecordFromXml(cascade_dir + "/" + name, error);
    if (record.empty()) return {};
    file.Record(record);
  }
  const std::vector<uint8_t> estimator = FullPoseEstimatorRecord(mean68);
  if (estimator.empty()) {
    error = "IsFaceDataFile() Error! the full-layout pose estimator is degenerate";
    return {};
  }
  file.Record(estimator).Record(estimator);
  file.Record(FullMeanModelRecord(mean68));
  file.Record(SamplerRecordOver(5, ModelPoints(FullMeanModel(mean68))));
  file.Record(ReducedMeanModelRecord(mean68));
  file.Record(SamplerRecordOver(2, ModelPoints(ReducedMeanModel(mean68))));
  return file;
}
