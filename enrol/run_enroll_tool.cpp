// enrol/run_enroll_tool.cpp: the start-up sequence, stage by stage.
#include "enrol/run_enroll_tool.h"

#include "core/zr_file_system.h"
#include "core/zr_string.h"
#include "enrol/run_setup.h"

#include <iostream>

void RunEnrollTool(int argc, char** argv, std::ostream& console) {
  ZR_RunArguments args;
  if (!ReadRunArguments(argc, argv, args)) {
    PrintUsage(console);
    return;
  }
  const ZR_String path = args.Data_Dir + "/Landmarks.data";
  if (!FileExists(path.m_text)) {
    console << "Failed to find: " << path.m_text << std::endl;
    return;
  }
  // Reading the landmark models, the gallery, the log, the person list and the enrolment follow
  // here; until they exist a run with a landmark file ends at this point.
}

void RunEnrollTool(int argc, char** argv) {
  RunEnrollTool(argc, argv, std::cout);
}
