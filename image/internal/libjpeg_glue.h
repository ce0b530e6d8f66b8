// image/internal/libjpeg_glue.h: libjpeg's memory source and destination of the image class and
// the error manager whose error_exit prints the library's message and longjmps back to the call
// that set the jump point, so no libjpeg error ends the process.
#ifndef IMAGE_INTERNAL_LIBJPEG_GLUE_H
#define IMAGE_INTERNAL_LIBJPEG_GLUE_H

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

// Source over bytes handed over whole; past their end it feeds an end-of-image marker.
struct zr_jpeg_memory_source {
  jpeg_source_mgr pub;
  JOCTET eoi[2];
};

// Destination over a fixed caller buffer; on overflow it wraps to the buffer's start and counts.
struct zr_jpeg_memory_destination {
  jpeg_destination_mgr pub;
  JOCTET* buffer;  // not owned
  int32_t buffer_size;
  int64_t bytes_written;
  int32_t* result;  // receives -1 after an overflow, else the bytes written; may be null
  int32_t overflow_count;
};

// libjpeg's standard error manager with a jump point for error_exit.
struct zr_jpeg_error_manager {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

// Warns JWRN_JPEG_EOF and supplies FF D9; always TRUE.
boolean JpegMemoryFillInputBuffer(j_decompress_ptr cinfo);
// Skips n bytes; past the end it supplies FF D9 as the fill does.
void JpegMemorySkipInputData(j_decompress_ptr cinfo, long n);
void JpegMemoryInitDestination(j_compress_ptr cinfo);
boolean JpegMemoryEmptyOutputBuffer(j_compress_ptr cinfo);
void JpegMemoryTermDestination(j_compress_ptr cinfo);

// Installs the memory source over size bytes (allocated in the permanent pool if none yet).
void ZR_JpegMemorySource(j_decompress_ptr cinfo, const JOCTET* data, size_t size);
// Installs the memory destination over buffer (allocated in the permanent pool if none yet).
void ZR_JpegMemoryDestination(j_compress_ptr cinfo, JOCTET* buffer, int32_t size, int32_t* result);
// jpeg_std_error with trace level 0 and the printing, jumping error_exit.
jpeg_error_mgr* ZR_JpegErrorManager(zr_jpeg_error_manager* manager);

#endif  // IMAGE_INTERNAL_LIBJPEG_GLUE_H
