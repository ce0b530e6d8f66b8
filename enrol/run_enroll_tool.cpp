// enrol/run_enroll_tool.cpp: the start-up sequence, stage by stage: the landmark fitter, the
// gallery with its plug-ins, the run stamp and log, the person list, the header, the enrolment.
// Each stage can end the run with one console message; teardown runs in reverse (the log, then
// the gallery, which frees the plug-ins after the workers are gone, then the fitter).
#include "enrol/run_enroll_tool.h"

#include <cstdio>
#include <iostream>

#include "core/zr_file_system.h"
#include "core/zr_list.h"
#include "core/zr_string.h"
#include "enrol/enroll_people.h"
#include "enrol/extract_people.h"
#include "enrol/pixel_budget.h"
#include "enrol/run_log.h"
#include "enrol/run_setup.h"
#include "enrol/zr_person_list.h"
#include "enrol/zr_sqlite_gallery.h"
#include "face/zr_face_detectors.h"
#include "face/zr_landmark_fitter.h"
#include "platform/zr_free_memory.h"

namespace {

constexpr size_t kLargeBlockBytes = size_t{32} << 20;

// Opens path "rb" and reads the fitter from it; false when it does not open or read.
bool ReadLandmarkFile(const ZR_String& path, ZR_LandmarkFitter& fitter) {
  FILE* f = std::fopen(path.m_text, "rb");
  if (f == nullptr) return false;
  bool ok = false;
  try {
    ok = fitter.Read(f);
  } catch (...) {
    ok = false;
  }
  std::fclose(f);
  return ok;
}

}  // namespace

void RunEnrollTool(int argc, char** argv, std::ostream& console) {
  ZR_RunArguments args;
  if (!ReadRunArguments(argc, argv, args)) {
    PrintUsage(console);
    return;
  }
  PrepareEnrolmentProcess();
  ZR_LandmarkFitter fitter;
  const ZR_String landmark_path = args.Data_Dir + "/Landmarks.data";
  if (!FileExists(landmark_path.m_text)) {
    console << "Failed to find: " << landmark_path.m_text << std::endl;
    return;
  }
  if (!ReadLandmarkFile(landmark_path, fitter)) {
    console << "Failed to load: " << landmark_path.m_text << std::endl;
    return;
  }

  const ZR_String gallery_path = args.Data_Dir + "/FR/" + args.GalleryName + ".gal";
  ZR_SQliteGallery gallery(console);
  gallery.m_verbose = 1;
  if (!gallery.OpenDB(gallery_path.m_text)) {
    console << "Failed to open: " << gallery_path.m_text << "\n"
            << gallery.m_error.m_text << std::endl;
    return;
  }

  ZR_String stamp = MakeTimeStamp();
  ZR_RunLog log(console);
  if (!log.Open(args.Data_Dir, stamp)) return;
  const ZR_String& log_path = log.Path();

  ZR_List<ZR_PersonList> people(10000);
  const uint32_t total = args.R ? ExtractPeopleOnePerImage(log, console, args.Image_Dir,
                                                           args.image_type.m_text, people)
                                : ExtractPeopleFromFeretNames(log, console, args.Image_Dir,
                                                              args.image_type.m_text, people);
  if (total == 0) {
    console << "No images found in " << args.Image_Dir.m_text << std::endl;
    log << "No images found in " << args.Image_Dir.m_text << std::endl;
    return;
  }
  WriteHeaderBlock(log, console, args, log_path, people.m_count, total);
  ZR_PixelBudget::ForThisMachine();  // set up before the workers start
  EnrollPeople(args.Data_Dir, log, people, fitter, gallery, total, args.Image_Dir, stamp, console);
}

void PrepareEnrolmentProcess() {
  ZR_RunDetectorsOnCallingThreads();
  ZR_FixLargeBlockThresholds(kLargeBlockBytes);
}

void RunEnrollTool(int argc, char** argv) {
  RunEnrollTool(argc, argv, std::cout);
}
