// enrol/run_log.cpp: the run's log file. The name is taken by creating the file exclusively
// (fopen "wx"), so that of two runs in the same second only one gets each name; a refused write
// is caught in the file buffer, where every write and flush passes.
#include "enrol/run_log.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "enrol/run_setup.h"

namespace {

// Names tried after the plain stamp: stamp + "_2" up to stamp + "_999".
constexpr int kMaxRunsPerSecond = 999;

}  // namespace

ZR_RunLog::ZR_RunLog(std::ostream& console)
    : std::ostream(nullptr), m_buffer(*this), m_console(&console) {
  rdbuf(&m_buffer);
  setstate(std::ios::badbit);  // closed until Open
}

ZR_RunLog::~ZR_RunLog() {
  if (m_buffer.is_open()) flush();
}

bool ZR_RunLog::Open(const ZR_String& Data_Dir, ZR_String& stamp) {
  const ZR_String first = MakeLogPath(Data_Dir, stamp);
  for (int run = 1; run <= kMaxRunsPerSecond; ++run) {
    const ZR_String taken = run == 1 ? stamp : stamp + ("_" + std::to_string(run)).c_str();
    const ZR_String path = MakeLogPath(Data_Dir, taken);
    errno = 0;
    FILE* f = std::fopen(path.m_text, "wx");
    if (f == nullptr) {
      if (errno == EEXIST) continue;
      break;
    }
    std::fclose(f);
    if (m_buffer.open(path.m_text, std::ios::out) == nullptr) break;
    m_path = path;
    stamp = taken;
    clear();
    return true;
  }
  *m_console << "Failed to open log file: " << first.m_text << std::endl;
  return false;
}

void ZR_RunLog::ReportFailedWrite() {
  if (m_reported) return;
  m_reported = true;
  *m_console << "Failed to write log file: " << m_path.m_text << std::endl;
}

int ZR_RunLog::Buffer::sync() {
  const int result = std::filebuf::sync();
  if (result != 0) m_owner.ReportFailedWrite();
  return result;
}

ZR_RunLog::Buffer::int_type ZR_RunLog::Buffer::overflow(int_type c) {
  const int_type result = std::filebuf::overflow(c);
  if (traits_type::eq_int_type(result, traits_type::eof())) m_owner.ReportFailedWrite();
  return result;
}

std::streamsize ZR_RunLog::Buffer::xsputn(const char* s, std::streamsize n) {
  const std::streamsize written = std::filebuf::xsputn(s, n);
  if (written != n) m_owner.ReportFailedWrite();
  return written;
}
