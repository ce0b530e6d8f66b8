// platform/zr_file_copy.cpp: Boost.Filesystem's copy_file, error-code forms only.
#include "platform/zr_file_copy.h"

#include "platform/zr_path_separators.h"

#include <boost/filesystem.hpp>

#include <exception>

namespace bfs = boost::filesystem;

bool ZR_CopyFile(const char* source, const char* target) {
  if (source == nullptr || target == nullptr) return false;
  try {
    const bfs::path from(ZR_GenericPath(source));
    const bfs::path to(ZR_GenericPath(target));
    boost::system::error_code ec;
    if (!bfs::is_regular_file(from, ec) || ec) return false;
    // Checked first because the copy truncates the target before reading the source.
    if (bfs::exists(to, ec) && bfs::equivalent(from, to, ec)) return false;
    ec.clear();
    bfs::copy_file(from, to, bfs::copy_options::overwrite_existing, ec);
    return !ec;
  } catch (const std::exception&) {  // only allocation can throw here
    return false;
  }
}
