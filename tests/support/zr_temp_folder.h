// tests/support/zr_temp_folder.h: a fresh scratch folder per test, removed with its content.
#ifndef TESTS_SUPPORT_ZR_TEMP_FOLDER_H
#define TESTS_SUPPORT_ZR_TEMP_FOLDER_H

#include <string>

// ZR_TempFolder: an empty folder under the system's temporary folder, named after the process and
//   the running test so that tests run in parallel never share one. The destructor removes it
//   and everything below it (permissions restored first).
class ZR_TempFolder {
 public:
  ZR_TempFolder();
  ZR_TempFolder(const ZR_TempFolder&) = delete;
  ZR_TempFolder& operator=(const ZR_TempFolder&) = delete;
  ~ZR_TempFolder();

  // The folder's path, without a trailing '/'.
  const std::string& Path() const { return m_path; }
  // Path() + "/" + relative.
  std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }
  // Writes bytes to the file at relative, creating its folders.
  void Write(const std::string& relative, const std::string& bytes = "x") const;
  // The bytes of the file at an absolute path ("" when it cannot be read).
  static std::string Read(const std::string& path);

 private:
  std::string m_path;
};

#endif  // TESTS_SUPPORT_ZR_TEMP_FOLDER_H
