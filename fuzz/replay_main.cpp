// fuzz/replay_main.cpp: runs a fuzz entry point over files and folders without a fuzzing engine,
// so the normal test run replays the seeds and every input that once broke something.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static int RunFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: cannot read %s\n", p.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

int main(int argc, char** argv) {
  int failures = 0, runs = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    fs::path arg(argv[i]);
    if (fs::is_directory(arg, ec)) {
      std::vector<fs::path> files;
      for (const auto& e : fs::recursive_directory_iterator(arg, ec))
        if (e.is_regular_file(ec) && e.path().filename() != "README.md") files.push_back(e.path());
      std::sort(files.begin(), files.end());
      for (const auto& f : files) failures += RunFile(f), ++runs;
    } else if (fs::exists(arg, ec)) {
      failures += RunFile(arg), ++runs;
    }
  }
  std::printf("replayed %d inputs\n", runs);
  return failures ? 1 : 0;
}
