// enrol/run_log.h: ZR_RunLog, the run's log file. Each run gets a file of its own, even when two
// runs start in the same second on one Data_Dir, and a write that fails (a full disk) is said once
// on the console instead of the log silently stopping.
#ifndef ENROL_RUN_LOG_H
#define ENROL_RUN_LOG_H

#include <fstream>
#include <ostream>

#include "core/zr_string.h"

// ZR_RunLog: an output stream over the log file; closed (every write fails quietly) until Open.
//   Owns: the file, closed by the destructor (which flushes what is still buffered).
//   Threads: one thread writes it.
//   Failure: the first write or flush that the file refuses prints "Failed to write log file: " +
//     path on the console given at construction (which must outlive the log); the stream then
//     turns bad and writes nothing more.
class ZR_RunLog : public std::ostream {
 public:
  explicit ZR_RunLog(std::ostream& console);
  ZR_RunLog(const ZR_RunLog&) = delete;
  ZR_RunLog& operator=(const ZR_RunLog&) = delete;
  ~ZR_RunLog() override;

  // Creates Data_Dir + "/Quillbeck_" + stamp + ".log" when no file has that name; when one has,
  // the same with stamp + "_2", then "_3" and so on, and stamp becomes the stamp of the name
  // taken, so that the run's other files (its FailedImages folder) follow it. Never opens a file
  // that exists. False, with "Failed to open log file: " + the first name on the console, when
  // none can be created.
  bool Open(const ZR_String& Data_Dir, ZR_String& stamp);
  // The file's path; empty before a successful Open.
  const ZR_String& Path() const { return m_path; }

 private:
  // A file buffer that reports the first write the file refuses.
  class Buffer : public std::filebuf {
   public:
    explicit Buffer(ZR_RunLog& owner) : m_owner(owner) {}

   protected:
    int sync() override;
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

   private:
    ZR_RunLog& m_owner;
  };

  void ReportFailedWrite();

  Buffer m_buffer;
  std::ostream* m_console;
  ZR_String m_path;
  bool m_reported = false;
};

#endif  // ENROL_RUN_LOG_H
