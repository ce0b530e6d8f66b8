// tests/support/zr_peak_memory.h: the process's resident and peak resident memory from
// /proc/self/status, and the reset of the peak to the present size (/proc/self/clear_refs), for
// the tests that bound how much memory a load or a run takes.
#ifndef TESTS_SUPPORT_ZR_PEAK_MEMORY_H
#define TESTS_SUPPORT_ZR_PEAK_MEMORY_H

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

// A "VmRSS:" or "VmHWM:" line of /proc/self/status, in bytes; -1 when there is none.
inline int64_t ZR_StatusBytes(const char* key) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, std::strlen(key), key) == 0)
      return std::stoll(line.substr(std::strlen(key))) * 1024;
  return -1;
}

// Makes the peak ("VmHWM:") the present resident size; nothing where the kernel does not allow it.
inline void ZR_ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

#endif  // TESTS_SUPPORT_ZR_PEAK_MEMORY_H
