// enrol/run_setup.cpp: usage text, run stamp, log file and header block, with their exact texts.
#include "enrol/run_setup.h"

#include <string>

namespace {

const char* Arg(char** argv, int i) {
  return argv[i] == nullptr ? "" : argv[i];
}

}  // namespace

bool ReadRunArguments(int argc, char** argv, ZR_RunArguments& args) {
  if (argc < 5 || argv == nullptr) return false;
  args.Data_Dir = Arg(argv, 1);
  args.Image_Dir = Arg(argv, 2);
  args.GalleryName = Arg(argv, 3);
  args.image_type = Arg(argv, 4);
  const char* fifth = argc >= 6 ? Arg(argv, 5) : "";
  args.R = fifth[0] == 'R' || fifth[0] == 'r';
  return true;
}

void PrintUsage(std::ostream& console) {
  static const char* const kLines[] = {
      "Usage:",
      "Quillbeck Data_Dir Image_Dir GalleryName image_type [R]",
      "where:",
      " Data_Dir = folder containing Vellora data files (e.g. Landmarks.data) with sub-folder "
      "named 'FR' containing gallery and FR plugin DLLs.",
      " Image_Dir = folder containing images to enroll (expects FERET filenaming convention, "
      "e.g. 00001_XXX = person id = 1",
      " GalleryName = Name of gallery, e.g. Zandle_GalleryExample",
      " image_type = image extension, e.g. jpg or bmp",
      " R = OPTIONAL, if present then the image dir will be searched recursively and each image "
      "will be assumed to be a different person",
      "",
  };
  for (const char* line : kLines) console << line << std::endl;
}

ZR_String FormatTimeStamp(const zr_system_time& utc) {
  const std::string stamp = "(" + std::to_string(utc.year) + "_" + std::to_string(utc.month) + "_" +
                            std::to_string(utc.day) + ")" + std::to_string(utc.hour) + "_" +
                            std::to_string(utc.minute) + "_" + std::to_string(utc.second);
  return ZR_String(stamp.c_str());
}

ZR_String MakeTimeStamp() {
  return FormatTimeStamp(ZR_GetSystemTimeUtc());
}

ZR_String MakeLogPath(const ZR_String& Data_Dir, const ZR_String& stamp) {
  return Data_Dir + "/Quillbeck_" + stamp + ".log";
}

void WriteHeaderBlock(std::ostream& log, std::ostream& console, const ZR_RunArguments& args,
                      const ZR_String& log_path, uint32_t people, uint32_t images) {
  const std::string dashes = "----------------------";
  const std::string lines[] = {
      dashes,
      std::string("Data dir = ") + args.Data_Dir.m_text,
      std::string("Image dir = ") + args.Image_Dir.m_text,
      std::string("Image type = ") + args.image_type.m_text,
      std::string("Logfile = ") + log_path.m_text,
      "Enrolling " + std::to_string(people) + " people",
      "Enrolling " + std::to_string(images) + " images",
      dashes,
  };
  for (std::ostream* out : {&log, &console})
    for (const std::string& line : lines) *out << line << std::endl;
}
