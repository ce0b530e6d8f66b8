// image/jpeg/output.cpp: the decoder's public operations (start, next_scanline), the entry points
// that return the whole picture as 4-byte pixels, top line first, and the one that hands the
// lines to a caller's sink.
#include "image/jpeg/internal/jpeg_decoder_core.h"

#include <cstdlib>
#include <cstring>

namespace jpgd {

int32_t jpeg_decoder_core::start() {
  if (m_status) return -1;
  if (m_ready) return 0;
  try {
    FrameSetup();
    if (m_progressive) {
      DecodeProgressive();
    } else {
      if (!ScanSetup()) fail(kStatusUnexpectedMarker);
      CheckSequentialScan();
    }
    ChooseColourSpace();
    m_ready = true;
    return 0;
  } catch (const failure&) {
    return -1;
  }
}

int32_t jpeg_decoder_core::next_scanline(const uint8_t** line, int32_t* line_bytes,
                                         uint8_t* direct) {
  if (!m_ready || m_status) return -1;
  if (m_lines_left == 0) return 1;
  if (m_mcu_lines_left == 0) {
    try {
      if (m_progressive) {
        OutputMcuRow();
      } else {
        DecodeMcuRow();
        if (m_lines_left <= m_mcu_h) FinishSequential();
      }
    } catch (const failure&) {
      return -1;
    }
    m_mcu_lines_left = m_mcu_h;
  }
  const int32_t row = m_mcu_h - m_mcu_lines_left;
  uint8_t* out = m_line_buf[0];
  if (m_scan_type == kScanH1V2) {
    // Two lines share one chroma row: both are made at once, the second handed out next time.
    if (m_mcu_lines_left & 1)
      out = m_line_buf[1];
    else
      ProduceLine(row, out);
  } else {
    if (direct && m_scan_type != kScanGrey) out = direct;
    ProduceLine(row, out);
  }
  *line = out;
  *line_bytes = m_line_bytes;
  --m_mcu_lines_left;
  --m_lines_left;
  return 0;
}

unsigned char* DecodeJpegStreamWithStatus(jpeg_decoder_stream* stream, int32_t* width,
                                          int32_t* height, int32_t* comps, int32_t* status) {
  if (status) *status = 0;
  if (!comps) return nullptr;
  *comps = 0;
  if (!stream || !width || !height) return nullptr;

  jpeg_decoder_core decoder(stream);
  auto failed = [&](int32_t code) -> unsigned char* {
    if (status) *status = code;
    return nullptr;
  };
  if (decoder.status()) return failed(decoder.status());
  *width = decoder.width();
  *height = decoder.height();
  *comps = decoder.comps();
  if (!decoder.ready() && decoder.start() != 0) return failed(decoder.status());

  const size_t w = static_cast<size_t>(decoder.width());
  const size_t h = static_cast<size_t>(decoder.height());
  // Colour lines are made in place; a line runs up to 15 pixels past the width, into the next
  // line (made afterwards) or, for the last one, into this slack.
  const size_t slack = 16 * 4;
  unsigned char* pixels = static_cast<unsigned char*>(std::malloc(w * 4 * h + slack));
  if (!pixels) return failed(kStatusNoMemory);
  const bool grey = decoder.comps() == 1;
  for (size_t y = 0; y < h; ++y) {
    unsigned char* dst = pixels + y * w * 4;
    const uint8_t* line = nullptr;
    int32_t line_bytes = 0;
    if (decoder.status() || decoder.next_scanline(&line, &line_bytes, dst) != 0) {
      std::free(pixels);
      return failed(decoder.status());
    }
    if (line == dst) continue;
    if (grey) {
      for (size_t x = 0; x < w; ++x, dst += 4) {
        dst[0] = dst[1] = dst[2] = line[x];
        dst[3] = 255;
      }
    } else {
      std::memcpy(dst, line, w * 4);
    }
  }
  return pixels;
}

bool DecodeJpegStreamToSink(jpeg_decoder_stream* stream, jpeg_line_sink* sink, int32_t* status) {
  if (status) *status = 0;
  if (!stream || !sink) return false;
  jpeg_decoder_core decoder(stream);
  auto failed = [&](int32_t code) {
    if (status) *status = code;
    return false;
  };
  if (decoder.status()) return failed(decoder.status());
  if (!sink->frame(decoder.width(), decoder.height())) return false;
  if (!decoder.ready() && decoder.start() != 0) return failed(decoder.status());
  const int32_t w = decoder.width(), h = decoder.height();
  if (!sink->begin(w, h, decoder.comps())) return false;
  const bool grey = decoder.comps() == 1;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* line = nullptr;
    int32_t line_bytes = 0;
    // Lines come from the decoder's own buffer: a line made in place could run past the width.
    if (decoder.next_scanline(&line, &line_bytes) != 0) return failed(decoder.status());
    uint8_t* dst = sink->line(y);
    if (grey) {
      for (int32_t x = 0; x < w; ++x, dst += 4) {
        dst[0] = dst[1] = dst[2] = line[x];
        dst[3] = 255;
      }
    } else {
      std::memcpy(dst, line, static_cast<size_t>(w) * 4);
    }
  }
  return true;
}

unsigned char* DecodeJpegStream(jpeg_decoder_stream* stream, int32_t* width, int32_t* height,
                                int32_t* comps) {
  return DecodeJpegStreamWithStatus(stream, width, height, comps, nullptr);
}

unsigned char* DecodeJpegFile(const char* path, int32_t* width, int32_t* height, int32_t* comps) {
  jpeg_decoder_file_stream file;
  if (!path || !file.open(path)) return nullptr;
  unsigned char* pixels = DecodeJpegStream(&file, width, height, comps);
  file.close();
  return pixels;
}

}  // namespace jpgd
