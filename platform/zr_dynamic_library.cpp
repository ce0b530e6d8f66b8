// platform/zr_dynamic_library.cpp: dlopen(RTLD_NOW | RTLD_LOCAL), dlsym and dlclose.
#include "platform/zr_dynamic_library.h"

#include <dlfcn.h>

ZR_LibraryHandle ZR_LoadLibrary(const char* path) {
  if (path == nullptr || path[0] == '\0') return nullptr;  // "" would give the main program
  return static_cast<ZR_LibraryHandle>(dlopen(path, RTLD_NOW | RTLD_LOCAL));
}

void* ZR_GetProcAddress(ZR_LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return dlsym(static_cast<void*>(library), name);
}

bool ZR_FreeLibrary(ZR_LibraryHandle library) {
  if (library == nullptr) return false;
  return dlclose(static_cast<void*>(library)) == 0;
}
