// core/zr_system_probe.h: the processor and memory figures of the machine. The worker count comes
// from the logical processors, which are those this process may run on (its CPU affinity).
#ifndef CORE_ZR_SYSTEM_PROBE_H
#define CORE_ZR_SYSTEM_PROBE_H

#include <cstdint>

#include "core/zr_string.h"
#include "platform/zr_processor.h"

// zr_processor_info: the counts QueryProcessorTopology fills; all 0 and the message empty at the
//   start. success is the result of that call; failures are appended to message.
struct zr_processor_info {
  bool success = false;
  int32_t numa_nodes = 0;
  int32_t packages = 0;
  int32_t cores = 0;
  int32_t logical_processors = 0;
  int32_t level1_caches = 0;
  int32_t level2_caches = 0;
  int32_t level3_caches = 0;
  ZR_String message;
};

// The number of set bits of a processor mask (0 to 64).
uint32_t CountMaskBits(uint64_t mask);

// Sets the seven counts to 0 and message to "", then counts the platform's topology records:
// a core record adds one core and its mask bits to the logical processors, a cache record of
// level 1, 2 or 3 one cache of that level (other levels nothing), a NUMA node or package record
// one of those; any other kind appends "Error: Unsupported LOGICAL_PROCESSOR_RELATIONSHIP
// value.\n" once per record and is skipped. Returns true; false when the records cannot be read,
// with "Error: Allocation failure\n" (out of memory) or "Error " + number + "\n" in message and
// every count 0.
bool QueryProcessorTopology(int32_t& numa_nodes, int32_t& packages, int32_t& cores,
                            int32_t& logical_processors, int32_t& level1_caches,
                            int32_t& level2_caches, int32_t& level3_caches, ZR_String& message);

// QueryProcessorTopology over the given record source instead of the live one.
bool QueryProcessorTopologyFrom(ZR_ProcessorRecordSource source, int32_t& numa_nodes,
                                int32_t& packages, int32_t& cores, int32_t& logical_processors,
                                int32_t& level1_caches, int32_t& level2_caches,
                                int32_t& level3_caches, ZR_String& message);

// Hands out the cores and logical processors counted by QueryProcessorTopology (0 and 0 when it
// failed; its message is dropped) and the total physical memory in bytes (0 when unreadable).
void QuerySystemResources(int32_t& cores, int32_t& logical_processors, uint64_t& total_memory);

#endif  // CORE_ZR_SYSTEM_PROBE_H
