// core/zr_file_system.cpp: listings, folder creation and file tests over Boost.Filesystem, with
// error-code forms only. The extension rule is our own and never taken from the library (Boost
// and std::filesystem disagree on names such as ".bashrc"), and each folder's entries are sorted
// by name bytes because Linux directories come in hash order.
#include "core/zr_file_system.h"

#include "platform/zr_path_separators.h"

#include <boost/filesystem.hpp>

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace bfs = boost::filesystem;

namespace {

// The tail from the last '.', dot included; "" without a '.'.
std::string ExtensionOf(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

struct Filter {
  bool any;
  std::string extension;
  explicit Filter(const char* pattern) {
    std::string p = pattern == nullptr ? std::string() : std::string(pattern);
    any = p == "*" || p == "*.*";
    extension = ExtensionOf(p);
  }
  bool Accepts(const std::string& name) const { return any || ExtensionOf(name) == extension; }
};

// folder + "/" + name, with no '/' added after a folder ending in '/', '\' or ':'.
std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty()) {
    char last = folder.back();
    if (last == '/' || last == '\\' || last == ':') return folder + name;
  }
  return folder + "/" + name;
}

struct Entry {
  std::string name;
  bool is_file;    // regular file, links followed
  bool is_folder;  // a directory that is not a link
};

// The entries of a folder worth walking, sorted by name bytes; empty when it cannot be read.
std::vector<Entry> ReadFolder(const std::string& folder) {
  std::vector<Entry> entries;
  const bfs::path dir(ZR_GenericPath(folder.c_str()));
  boost::system::error_code ec;
  if (!bfs::is_directory(dir, ec)) return entries;
  bfs::directory_iterator it(dir, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const bfs::path& p = it->path();
    boost::system::error_code status_ec, link_ec;
    const bfs::file_status status = bfs::status(p, status_ec);
    const bfs::file_status link = bfs::symlink_status(p, link_ec);
    Entry e{p.filename().string(), false, false};
    e.is_file = !status_ec && bfs::is_regular_file(status);
    e.is_folder = !status_ec && !link_ec && bfs::is_directory(status) && !bfs::is_symlink(link);
    if (e.is_file || e.is_folder) entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return entries;
}

void Append(ZR_List<ZR_String>& files, const std::string& path) {
  files.Add(ZR_String(ZR_GenericPath(path.c_str()).c_str()));
}

bool IsBareDrive(const std::string& text) {
  return text.size() == 2 && text[1] == ':' &&
         ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

// A folder that names something to create: not empty, not only '/'s, not a bare drive.
bool Creatable(const std::string& folder) {
  return folder.find_first_not_of('/') != std::string::npos && !IsBareDrive(folder);
}

void CreateOne(const char* folder, void*) {
  boost::system::error_code ec;
  bfs::create_directory(bfs::path(folder), ec);
}

}  // namespace

bool GetFilesInFolder(ZR_List<ZR_String>& files, const char* folder, const char* pattern) {
  if (folder != nullptr) {
    const Filter filter(pattern);
    for (const Entry& e : ReadFolder(folder))
      if (e.is_file && filter.Accepts(e.name)) Append(files, Join(folder, e.name));
  }
  return files.m_count > 0;
}

bool GetFilesInFolderTree(ZR_List<ZR_String>& files, const char* folder, const char* pattern) {
  if (folder != nullptr) {
    const Filter filter(pattern);
    // An explicit stack of (folder text, its entries, next position): depth needs no recursion.
    struct Level {
      std::string folder;
      std::vector<Entry> entries;
      size_t next;
    };
    std::vector<Level> stack;
    stack.push_back(Level{folder, ReadFolder(folder), 0});
    while (!stack.empty()) {
      Level& level = stack.back();
      if (level.next == level.entries.size()) {
        stack.pop_back();
        continue;
      }
      const Entry& e = level.entries[level.next++];
      const std::string path = Join(level.folder, e.name);
      if (e.is_file) {
        if (filter.Accepts(e.name)) Append(files, path);
      } else {
        std::vector<Entry> inner = ReadFolder(path);
        stack.push_back(Level{path, std::move(inner), 0});  // may move level: not used after
      }
    }
  }
  return files.m_count > 0;
}

void CreateFolderPathVia(void (*create)(const char* folder, void* context), void* context,
                         const char* path) {
  const std::string text = ZR_GenericPath(path);
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] != '/') continue;
    const std::string prefix = text.substr(0, i);
    if (Creatable(prefix) && prefix.back() != '/') create(prefix.c_str(), context);
  }
  if (!text.empty() && text.back() != '/' && Creatable(text)) create(text.c_str(), context);
}

void CreateFolderPath(const char* path) {
  CreateFolderPathVia(CreateOne, nullptr, path);
}

bool FileExists(const char* path) {
  if (path == nullptr) return false;
  const std::string text = ZR_GenericPath(path);
  boost::system::error_code ec;
  // Opening a folder for reading succeeds on Linux, so the kind is tested first.
  if (!bfs::is_regular_file(bfs::path(text), ec) || ec) return false;
  std::ifstream in(text);
  return in.good();
}

uint32_t GetFileLength(const char* path) {
  if (path == nullptr) return 0;
  const bfs::path p(ZR_GenericPath(path));
  boost::system::error_code ec;
  if (!bfs::is_regular_file(p, ec) || ec) return 0;
  const boost::uintmax_t size = bfs::file_size(p, ec);
  return ec ? 0 : static_cast<uint32_t>(size);
}
