// enrol/run_enroll_tool.h: the body of the Quillbeck program.
#ifndef ENROL_RUN_ENROLL_TOOL_H
#define ENROL_RUN_ENROLL_TOOL_H

#include <ostream>

// Tests the argument count (usage text on fewer than four arguments), copies the arguments and
// runs the start-up stages, each of which can end the run with one console message; the first is
// the landmark model file: a missing Data_Dir + "/Landmarks.data" gives "Failed to find: " + path
// and creates nothing. Returns in every case; the process's exit status is 0 whatever happened.
void RunEnrollTool(int argc, char** argv);
void RunEnrollTool(int argc, char** argv, std::ostream& console);

#endif  // ENROL_RUN_ENROLL_TOOL_H
