// platform/zr_processor.cpp: processor affinity, sysfs topology and memory. The affinity set is
// read with a CPU set sized up until the kernel accepts it, so machines with more than
// CPU_SETSIZE processors are counted too. Topology files that are missing or malformed (containers
// often hide parts of sysfs) degrade to one core and package per processor, never to a failure.
#include "platform/zr_processor.h"

#include <sched.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs file, or "" when it cannot be read.
std::string ReadLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::string();
  return line;
}

// A decimal value of a sysfs file; false when the file is missing or holds no number.
bool ReadNumber(const fs::path& path, long& value) {
  std::string text = ReadLine(path);
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && end != text.c_str();
}

uint64_t LowBits(size_t n) {
  return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
}

// Whether name is prefix followed by one or more decimal digits ("cpu12", "index3", "node0").
bool IsNumbered(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (size_t i = prefix.size(); i < name.size(); ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

void AddCaches(const fs::path& cpu_dir, std::set<std::tuple<long, std::string, std::string>>& seen,
               std::vector<zr_processor_record>& records) {
  std::error_code ec;
  fs::directory_iterator it(cpu_dir / "cache", ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const fs::path dir = it->path();
    if (!IsNumbered(dir.filename().string(), "index")) continue;
    long level = 0;
    if (!ReadNumber(dir / "level", level)) continue;
    // A cache shared by several processors appears under each of them: count it once.
    auto key = std::make_tuple(level, ReadLine(dir / "type"), ReadLine(dir / "shared_cpu_list"));
    if (!seen.insert(key).second) continue;
    uint8_t byte_level = level < 0 || level > 255 ? 0 : static_cast<uint8_t>(level);
    records.push_back(zr_processor_record{ZR_RELATION_CACHE, 0, byte_level});
  }
}

uint32_t CountNodes(const std::string& sys_root) {
  uint32_t nodes = 0;
  std::error_code ec;
  fs::directory_iterator it(fs::path(sys_root) / "node", ec), end;
  for (; !ec && it != end; it.increment(ec))
    if (IsNumbered(it->path().filename().string(), "node")) ++nodes;
  return nodes == 0 ? 1 : nodes;
}

}  // namespace

std::vector<int> ZR_GetAllowedProcessors() {
  std::vector<int> cpus;
  for (int size = CPU_SETSIZE; size <= (1 << 20); size *= 2) {
    cpu_set_t* set = CPU_ALLOC(size);
    if (set == nullptr) break;
    const size_t bytes = CPU_ALLOC_SIZE(size);
    CPU_ZERO_S(bytes, set);
    if (sched_getaffinity(0, bytes, set) == 0) {
      for (int cpu = 0; cpu < size; ++cpu)
        if (CPU_ISSET_S(cpu, bytes, set)) cpus.push_back(cpu);
      CPU_FREE(set);
      break;
    }
    const int error = errno;
    CPU_FREE(set);
    if (error != EINVAL) break;  // EINVAL: the kernel's set is larger than ours
  }
  if (cpus.empty()) {
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    if (online < 1) online = 1;
    for (long cpu = 0; cpu < online; ++cpu) cpus.push_back(static_cast<int>(cpu));
  }
  return cpus;
}

uint32_t ZR_GetLogicalProcessorCount() {
  return static_cast<uint32_t>(ZR_GetAllowedProcessors().size());
}

uint32_t ZR_ReadProcessorRecords(const std::string& sys_root, const std::vector<int>& processors,
                                 std::vector<zr_processor_record>& records) {
  records.clear();
  try {
    const fs::path cpu_root = fs::path(sys_root) / "cpu";
    // Keys are texts so that a processor without topology files gets a key of its own.
    std::map<std::string, size_t> core_of;  // key -> index in cores
    std::vector<size_t> cores;              // logical processors per core, in first-seen order
    std::set<std::string> packages;
    std::set<std::tuple<long, std::string, std::string>> caches;
    std::vector<zr_processor_record> cache_records;
    for (int cpu : processors) {
      const fs::path dir = cpu_root / ("cpu" + std::to_string(cpu));
      long package = 0, core = 0;
      std::string package_key, core_key;
      if (ReadNumber(dir / "topology" / "physical_package_id", package) &&
          ReadNumber(dir / "topology" / "core_id", core)) {
        package_key = "p" + std::to_string(package);
        core_key = package_key + "c" + std::to_string(core);
      } else {
        package_key = core_key = "cpu" + std::to_string(cpu);
      }
      packages.insert(package_key);
      auto found = core_of.find(core_key);
      if (found == core_of.end()) {
        core_of.emplace(core_key, cores.size());
        cores.push_back(1);
      } else {
        ++cores[found->second];
      }
      AddCaches(dir, caches, cache_records);
    }
    for (size_t n : cores) records.push_back({ZR_RELATION_PROCESSOR_CORE, LowBits(n), 0});
    records.insert(records.end(), cache_records.begin(), cache_records.end());
    for (size_t i = 0; i < packages.size(); ++i)
      records.push_back({ZR_RELATION_PROCESSOR_PACKAGE, 0, 0});
    for (uint32_t i = CountNodes(sys_root); i > 0; --i)
      records.push_back({ZR_RELATION_NUMA_NODE, 0, 0});
  } catch (const std::bad_alloc&) {
    records.clear();
    return ZR_ERROR_NOT_ENOUGH_MEMORY;
  }
  return 0;
}

uint32_t ZR_GetProcessorRecords(std::vector<zr_processor_record>& records) {
  return ZR_ReadProcessorRecords("/sys/devices/system", ZR_GetAllowedProcessors(), records);
}

uint64_t ZR_GetTotalPhysicalMemory() {
  struct sysinfo info;
  if (sysinfo(&info) != 0) return 0;
  return static_cast<uint64_t>(info.totalram) * info.mem_unit;
}
