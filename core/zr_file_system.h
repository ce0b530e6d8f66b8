// core/zr_file_system.h: folder listings by extension pattern, folder-path creation, and the
// file-exists and file-size tests. Every path may use '\' or '/'; results are in '/' form.
// Nothing here throws: file-system errors give an empty result, false or 0.
#ifndef CORE_ZR_FILE_SYSTEM_H
#define CORE_ZR_FILE_SYSTEM_H

#include <cstdint>

#include "core/zr_list.h"
#include "core/zr_string.h"

// Appends to files the path of every regular file (links followed) directly in folder whose name
// the pattern accepts, in order of name bytes. "*" and "*.*" accept every file; any other pattern
// accepts names whose extension (the tail from the last '.', dot included; "" without a '.')
// equals the pattern's, exactly and case-sensitively, so "*.jpg" and "x.jpg" select the same
// files and "jpg" only names without a '.'. A path is folder + "/" + name ('/' left out after a
// folder ending in '/', '\' or ':'), with every '\' turned into '/'. Entries that cannot be read
// are passed over; a folder that is missing or not a directory adds nothing. Returns whether
// files holds any element afterwards, also one it held before.
bool GetFilesInFolder(ZR_List<ZR_String>& files, const char* folder, const char* pattern);

// GetFilesInFolder over folder and every folder below it, depth-first: each folder's entries in
// order of name bytes, a sub-folder's whole content at its place among them. Folders reached
// through links are not entered.
bool GetFilesInFolderTree(ZR_List<ZR_String>& files, const char* folder, const char* pattern);

// Creates every missing folder along path ('\' read as '/'), outermost first: each prefix ending
// before a '/', then the whole path unless it ends in '/'. The root "/" and a bare drive prefix
// such as "C:" are never created; an existing folder is no failure; failures are passed over
// (the later creations then fail as well).
void CreateFolderPath(const char* path);

// CreateFolderPath, handing each folder to create instead of creating it.
void CreateFolderPathVia(void (*create)(const char* folder, void* context), void* context,
                         const char* path);

// True when path names a regular file (links followed) that can be opened for reading; false for
// a folder, a missing file or null.
bool FileExists(const char* path);

// The size in bytes of the regular file at path, in its low 32 bits for files of 4 GiB or more;
// 0 for a folder, a missing file or any error.
uint32_t GetFileLength(const char* path);

#endif  // CORE_ZR_FILE_SYSTEM_H
