// platform/zr_dynamic_library.h: loading shared libraries at run time (the recognition plug-ins).
// Every symbol is bound at load (a library with an unresolved symbol fails to load rather than in
// a worker later) and kept local, so each handle resolves to its own library's exports.
#ifndef PLATFORM_ZR_DYNAMIC_LIBRARY_H
#define PLATFORM_ZR_DYNAMIC_LIBRARY_H

// Opaque handle of a loaded library; null on failure.
typedef struct zr_library_tag* ZR_LibraryHandle;

// The listing pattern of plug-in files in a folder: exact and case-sensitive ("x.SO" is not one).
constexpr const char* ZR_PLUGIN_PATTERN = "*.so";

// Loads the library at path. A path without '/' is searched for in the system's library folders,
// so callers pass folder + "/" + name. Returns null when it cannot be loaded or bound.
ZR_LibraryHandle ZR_LoadLibrary(const char* path);

// The address of the exported symbol name (exact spelling), or null when the library lacks it or
// either argument is null. Cast it to the function type the export is known to have.
void* ZR_GetProcAddress(ZR_LibraryHandle library, const char* name);

// Releases a library from ZR_LoadLibrary; its symbols must no longer be used. False for null.
bool ZR_FreeLibrary(ZR_LibraryHandle library);

#endif  // PLATFORM_ZR_DYNAMIC_LIBRARY_H
