// image/libjpeg_glue.cpp: libjpeg's memory source and destination and the error escape.
#include "image/internal/libjpeg_glue.h"

#include <jerror.h>

namespace {

void NoOpSource(j_decompress_ptr) {}

void SupplyEndOfImage(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<zr_jpeg_memory_source*>(cinfo->src);
  WARNMS(cinfo, JWRN_JPEG_EOF);
  src->eoi[0] = 0xFF;
  src->eoi[1] = JPEG_EOI;
  src->pub.next_input_byte = src->eoi;
  src->pub.bytes_in_buffer = 2;
}

void ErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<zr_jpeg_error_manager*>(cinfo->err)->jump, 1);
}

}  // namespace

boolean JpegMemoryFillInputBuffer(j_decompress_ptr cinfo) {
  SupplyEndOfImage(cinfo);
  return TRUE;
}

void JpegMemorySkipInputData(j_decompress_ptr cinfo, long n) {
  if (n < 1) return;
  jpeg_source_mgr* src = cinfo->src;
  while (n > static_cast<long>(src->bytes_in_buffer)) {
    n -= static_cast<long>(src->bytes_in_buffer);
    SupplyEndOfImage(cinfo);
  }
  src->next_input_byte += n;
  src->bytes_in_buffer -= static_cast<size_t>(n);
}

void ZR_JpegMemorySource(j_decompress_ptr cinfo, const JOCTET* data, size_t size) {
  if (!cinfo->src)
    cinfo->src = static_cast<jpeg_source_mgr*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(zr_jpeg_memory_source)));
  jpeg_source_mgr* src = cinfo->src;
  src->init_source = NoOpSource;
  src->fill_input_buffer = JpegMemoryFillInputBuffer;
  src->skip_input_data = JpegMemorySkipInputData;
  src->resync_to_restart = jpeg_resync_to_restart;
  src->term_source = NoOpSource;
  src->next_input_byte = data;
  src->bytes_in_buffer = size;
}

void JpegMemoryInitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<zr_jpeg_memory_destination*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = static_cast<size_t>(dest->buffer_size);
  dest->bytes_written = 0;
  dest->overflow_count = 0;
}

boolean JpegMemoryEmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<zr_jpeg_memory_destination*>(cinfo->dest);
  ++dest->overflow_count;
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = static_cast<size_t>(dest->buffer_size);
  return TRUE;
}

void JpegMemoryTermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<zr_jpeg_memory_destination*>(cinfo->dest);
  dest->bytes_written = dest->buffer_size - static_cast<int64_t>(dest->pub.free_in_buffer);
  if (dest->result)
    *dest->result = dest->overflow_count != 0 ? -1 : static_cast<int32_t>(dest->bytes_written);
}

void ZR_JpegMemoryDestination(j_compress_ptr cinfo, JOCTET* buffer, int32_t size,
                              int32_t* result) {
  if (!cinfo->dest)
    cinfo->dest = static_cast<jpeg_destination_mgr*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT,
                                   sizeof(zr_jpeg_memory_destination)));
  auto* dest = reinterpret_cast<zr_jpeg_memory_destination*>(cinfo->dest);
  dest->pub.init_destination = JpegMemoryInitDestination;
  dest->pub.empty_output_buffer = JpegMemoryEmptyOutputBuffer;
  dest->pub.term_destination = JpegMemoryTermDestination;
  dest->buffer = buffer;
  dest->buffer_size = size;
  dest->bytes_written = 0;
  dest->result = result;
  dest->overflow_count = 0;
}

jpeg_error_mgr* ZR_JpegErrorManager(zr_jpeg_error_manager* manager) {
  jpeg_error_mgr* err = jpeg_std_error(&manager->pub);
  err->trace_level = 0;
  err->error_exit = ErrorExit;
  return err;
}
