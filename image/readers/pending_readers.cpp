// image/readers/pending_readers.cpp: the file readers not yet written refuse every file, so that
// ZR_Image::Load links while they arrive one per file.
#include "image/zr_image.h"

bool ZR_Image::LoadPNG(const char*) { return false; }
bool ZR_Image::LoadTIFF(const char*) { return false; }
bool ZR_Image::LoadJPEG(const char*) { return false; }
