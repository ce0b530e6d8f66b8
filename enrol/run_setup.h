// enrol/run_setup.h: the pieces of run set-up: the run arguments and usage text, the UTC run
// stamp, the log-file path and stream, and the header block that opens the log.
#ifndef ENROL_RUN_SETUP_H
#define ENROL_RUN_SETUP_H

#include <cstdint>
#include <ostream>

#include "core/zr_string.h"
#include "platform/zr_system_time.h"

// The command line "Quillbeck Data_Dir Image_Dir GalleryName image_type [R]", copied as given.
struct ZR_RunArguments {
  ZR_String Data_Dir;
  ZR_String Image_Dir;
  ZR_String GalleryName;
  ZR_String image_type;  // without the dot
  bool R = false;        // recursive mode: a fifth argument starting with 'R' or 'r'
};

// Copies the four arguments and the recursive flag (arguments after the fifth are ignored).
// Returns false, leaving args as they were, when there are fewer than four (argc below 5).
bool ReadRunArguments(int argc, char** argv, ZR_RunArguments& args);

// The nine lines of the usage text, each ended and flushed, the last one empty.
void PrintUsage(std::ostream& console);

// "(" year "_" month "_" day ")" hour "_" minute "_" second, each as "%d": (2017_1_5)9_5_3.
ZR_String FormatTimeStamp(const zr_system_time& utc);

// FormatTimeStamp of the current UTC time, read once.
ZR_String MakeTimeStamp();

// Data_Dir + "/Quillbeck_" + stamp + ".log", joined as plain text.
ZR_String MakeLogPath(const ZR_String& Data_Dir, const ZR_String& stamp);

// The eight header lines, to the log first, then the same to the console, each ended and flushed.
void WriteHeaderBlock(std::ostream& log, std::ostream& console, const ZR_RunArguments& args,
                      const ZR_String& log_path, uint32_t people, uint32_t images);

#endif  // ENROL_RUN_SETUP_H
