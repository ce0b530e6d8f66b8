// core/zr_record_io.cpp: bytes left in a stream. Regular files take the cheap path (fstat and the
// cached position) because model files are read record by record and every record asks.
#include "core/zr_record_io.h"

#include <sys/stat.h>

int64_t ZR_BytesLeft(FILE* f) {
  if (f == nullptr) return -1;
  const off_t pos = ftello(f);
  if (pos < 0) return -1;
  const int fd = fileno(f);
  if (fd >= 0) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return st.st_size > pos ? static_cast<int64_t>(st.st_size - pos) : 0;
  }
  // A stream without a descriptor (a memory stream): seek to the end and back.
  if (fseeko(f, 0, SEEK_END) != 0) return -1;
  const off_t end = ftello(f);
  if (fseeko(f, pos, SEEK_SET) != 0 || end < 0) return -1;
  return end > pos ? static_cast<int64_t>(end - pos) : 0;
}

bool ZR_RecordFits(FILE* f, uint64_t count, uint64_t element_bytes) {
  if (element_bytes != 0 && count > std::numeric_limits<uint64_t>::max() / element_bytes)
    return false;
  const int64_t left = ZR_BytesLeft(f);
  return left < 0 || count * element_bytes <= static_cast<uint64_t>(left);
}
