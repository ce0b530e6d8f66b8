// platform/zr_processor.h: the processors this process may run on and the machine's memory. The
// logical processors are those of the process's CPU affinity, so `taskset -c 0,1` gives two; the
// topology records (cores, packages, NUMA nodes, caches) are read from Linux's sysfs over them.
#ifndef PLATFORM_ZR_PROCESSOR_H
#define PLATFORM_ZR_PROCESSOR_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/zr_last_error.h"

// Relationship kinds of a topology record, with the Windows numbers.
constexpr uint32_t ZR_RELATION_PROCESSOR_CORE = 0;
constexpr uint32_t ZR_RELATION_NUMA_NODE = 1;
constexpr uint32_t ZR_RELATION_CACHE = 2;
constexpr uint32_t ZR_RELATION_PROCESSOR_PACKAGE = 3;

// One topology record. processor_mask: for a core, one set bit per logical processor of the core
// that the process may use, packed from bit 0 (Linux numbers processors past 64, so bit positions
// carry no processor number); 0 for the other kinds. cache_level: 1 to 3 for a cache, else 0.
struct zr_processor_record {
  uint32_t relationship;
  uint64_t processor_mask;
  uint8_t cache_level;
};

// Signature of a topology source: fills records and returns 0, or returns an error number
// (ZR_ERROR_NOT_ENOUGH_MEMORY when out of memory) with records empty.
typedef uint32_t (*ZR_ProcessorRecordSource)(std::vector<zr_processor_record>& records);

// The logical processors the calling thread may run on, ascending: its CPU affinity; when that
// cannot be read, 0 .. (online processors - 1); never empty.
std::vector<int> ZR_GetAllowedProcessors();

// The number of entries of ZR_GetAllowedProcessors(): at least 1.
uint32_t ZR_GetLogicalProcessorCount();

// The topology records of the allowed processors, read from the live sysfs.
uint32_t ZR_GetProcessorRecords(std::vector<zr_processor_record>& records);

// The topology records of the given processors from a sysfs tree rooted at sys_root (the live one
// is "/sys/devices/system"): one core record per (package, core) pair, one package record per
// package, one cache record per distinct cache (level, type and sharing processors), one NUMA
// node record per node folder (one in all when the tree has none). A processor whose topology
// files are missing counts as a core and package of its own. Returns 0, or 8 when out of memory.
uint32_t ZR_ReadProcessorRecords(const std::string& sys_root, const std::vector<int>& processors,
                                 std::vector<zr_processor_record>& records);

// Total physical memory in bytes, or 0 when it cannot be read.
uint64_t ZR_GetTotalPhysicalMemory();

#endif  // PLATFORM_ZR_PROCESSOR_H
