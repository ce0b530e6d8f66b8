// platform/zr_file_copy.h: copying one file, replacing the target when it exists.
#ifndef PLATFORM_ZR_FILE_COPY_H
#define PLATFORM_ZR_FILE_COPY_H

// Copies the regular file source to target (both in '/' or '\' form), replacing a target file
// that exists. Returns false and changes nothing when source is not a readable regular file, when
// target is a folder or cannot be written, or when both name the same file (a copy onto itself
// would truncate it). Never throws.
bool ZR_CopyFile(const char* source, const char* target);

#endif  // PLATFORM_ZR_FILE_COPY_H
