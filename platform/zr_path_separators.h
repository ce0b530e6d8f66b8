// platform/zr_path_separators.h: path texts in generic form. Windows accepts '\' and '/' alike in
// paths, so every file-system entry point turns '\' into '/' before it reaches the OS; a Linux
// file name that really holds a backslash cannot be reached through these functions.
#ifndef PLATFORM_ZR_PATH_SEPARATORS_H
#define PLATFORM_ZR_PATH_SEPARATORS_H

#include <string>

// A copy of path with every '\' turned into '/'; null gives "".
inline std::string ZR_GenericPath(const char* path) {
  std::string text = path == nullptr ? std::string() : std::string(path);
  for (char& c : text)
    if (c == '\\') c = '/';
  return text;
}

#endif  // PLATFORM_ZR_PATH_SEPARATORS_H
