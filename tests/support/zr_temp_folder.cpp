// tests/support/zr_temp_folder.cpp: scratch folders over std::filesystem.
#include "tests/support/zr_temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

ZR_TempFolder::ZR_TempFolder() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "zr_" + std::to_string(::getpid());
  if (test != nullptr) name += std::string("_") + test->test_suite_name() + "_" + test->name();
  for (char& c : name)
    if (c == '/') c = '_';  // parameterised test names
  m_path = (fs::temp_directory_path() / name).string();
  std::error_code ec;
  fs::remove_all(m_path, ec);
  fs::create_directories(m_path);
}

ZR_TempFolder::~ZR_TempFolder() {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(m_path, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(m_path, ec);
}

void ZR_TempFolder::Write(const std::string& relative, const std::string& bytes) const {
  const fs::path p = *this / relative;
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string ZR_TempFolder::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
