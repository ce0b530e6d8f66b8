// enrol/tool/main.cpp: the Quillbeck program. Exit status 0 in every case (scripts rely on it);
// the console and the log tell success from failure.
#include "enrol/run_enroll_tool.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
  try {
    RunEnrollTool(argc, argv);
  } catch (const std::exception& e) {  // nothing may leave main
    std::cerr << "Quillbeck: " << e.what() << std::endl;
  } catch (...) {  // ZR_ImageException and LUDexception are plain classes
    std::cerr << "Quillbeck: stopped by an exception" << std::endl;
  }
  return 0;
}
