// enrol/run_enroll_tool.h: the body of the Quillbeck program.
#ifndef ENROL_RUN_ENROLL_TOOL_H
#define ENROL_RUN_ENROLL_TOOL_H

#include <ostream>

// Tests the argument count (usage text on fewer than four arguments), copies the arguments and
// runs the start-up stages, each of which can end the run with one console message:
//   Data_Dir + "/Landmarks.data" missing: "Failed to find: " + path (nothing is created);
//   not opened or not read: "Failed to load: " + path;
//   the gallery Data_Dir + "/FR/" + GalleryName + ".gal" not opened (verbose, so its own texts
//     come first): "Failed to open: " + path, then the gallery's error text on the next line;
//   the log not opened: "Failed to open log file: " + path;
//   no image: "No images found in " + Image_Dir, also as the log's last line.
// Then the header block and the enrolment. The log exists only from its stage on. Every text of
// the run, the gallery's, plug-in loader's and workers' included, goes to console (the tool
// passes standard output). Returns in every case; the exit status is 0 whatever happened.
void RunEnrollTool(int argc, char** argv);
void RunEnrollTool(int argc, char** argv, std::ostream& console);

// The process set-up of an enrolment run, made once before any worker starts: OpenCV's own
// threads off (the workers are the run's parallelism) and the C library's large-block thresholds
// fixed at 32 MiB, the most glibc's own adjustment reaches (ZR_FixLargeBlockThresholds), so that
// each image's buffers reuse the last image's memory instead of being mapped afresh. Pictures of
// 32 MiB and more are still mapped apart and unmapped when freed. Process-wide and permanent:
// RunEnrollTool makes it first, and a program that drives EnrollPeople itself makes it alike.
void PrepareEnrolmentProcess();

#endif  // ENROL_RUN_ENROLL_TOOL_H
