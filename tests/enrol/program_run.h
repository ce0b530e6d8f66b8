// tests/enrol/program_run.h: running the built Quillbeck binary from a folder of its own, and the
// pieces of its console and log: lines split on line feeds and on carriage returns.
#ifndef TESTS_ENROL_PROGRAM_RUN_H
#define TESTS_ENROL_PROGRAM_RUN_H

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct ZR_ProgramRun {
  std::string out;
  int status;
};

// Runs prefix (for example "taskset -c 0,1 ") + Quillbeck with the arguments inside folder, with
// standard error kept apart; arguments must not hold a single quote.
inline ZR_ProgramRun ZR_RunQuillbeck(const std::filesystem::path& folder,
                                     const std::vector<std::string>& args,
                                     const std::string& prefix = "") {
  std::string command = "cd '" + folder.string() + "' && " + prefix + "'" ZR_QUILLBECK "'";
  for (const auto& a : args) command += " '" + a + "'";
  ZR_ProgramRun run{std::string(), -1};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

// The text split on '\n', each line split again on '\r' (progress lines); a trailing line feed
// gives no empty last piece.
inline std::vector<std::string> ZR_Pieces(const std::string& text) {
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

inline std::string ZR_ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

#endif  // TESTS_ENROL_PROGRAM_RUN_H
