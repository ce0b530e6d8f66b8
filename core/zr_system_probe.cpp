// core/zr_system_probe.cpp: counting the topology records of the platform layer.
#include "core/zr_system_probe.h"

#include <string>
#include <vector>

uint32_t CountMaskBits(uint64_t mask) {
  uint32_t bits = 0;
  for (; mask != 0; mask &= mask - 1) ++bits;
  return bits;
}

bool QueryProcessorTopologyFrom(ZR_ProcessorRecordSource source, int32_t& numa_nodes,
                                int32_t& packages, int32_t& cores, int32_t& logical_processors,
                                int32_t& level1_caches, int32_t& level2_caches,
                                int32_t& level3_caches, ZR_String& message) {
  numa_nodes = packages = cores = logical_processors = 0;
  level1_caches = level2_caches = level3_caches = 0;
  message = "";
  std::vector<zr_processor_record> records;
  const uint32_t error = source(records);
  if (error == ZR_ERROR_NOT_ENOUGH_MEMORY) {
    message += "Error: Allocation failure\n";
    return false;
  }
  if (error != 0) {
    message += ("Error " + std::to_string(error) + "\n").c_str();
    return false;
  }
  for (const zr_processor_record& r : records) {
    switch (r.relationship) {
      case ZR_RELATION_PROCESSOR_CORE:
        ++cores;
        logical_processors += static_cast<int32_t>(CountMaskBits(r.processor_mask));
        break;
      case ZR_RELATION_NUMA_NODE:
        ++numa_nodes;
        break;
      case ZR_RELATION_CACHE:
        if (r.cache_level == 1) ++level1_caches;
        if (r.cache_level == 2) ++level2_caches;
        if (r.cache_level == 3) ++level3_caches;
        break;
      case ZR_RELATION_PROCESSOR_PACKAGE:
        ++packages;
        break;
      default:
        message += "Error: Unsupported LOGICAL_PROCESSOR_RELATIONSHIP value.\n";
        break;
    }
  }
  return true;
}

bool QueryProcessorTopology(int32_t& numa_nodes, int32_t& packages, int32_t& cores,
                            int32_t& logical_processors, int32_t& level1_caches,
                            int32_t& level2_caches, int32_t& level3_caches, ZR_String& message) {
  return QueryProcessorTopologyFrom(ZR_GetProcessorRecords, numa_nodes, packages, cores,
                                    logical_processors, level1_caches, level2_caches, level3_caches,
                                    message);
}

void QuerySystemResources(int32_t& cores, int32_t& logical_processors, uint64_t& total_memory) {
  zr_processor_info info;
  info.success = QueryProcessorTopology(info.numa_nodes, info.packages, info.cores,
                                        info.logical_processors, info.level1_caches,
                                        info.level2_caches, info.level3_caches, info.message);
  cores = info.cores;
  logical_processors = info.logical_processors;
  total_memory = ZR_GetTotalPhysicalMemory();
}
