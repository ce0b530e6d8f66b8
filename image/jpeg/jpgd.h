// image/jpeg/jpgd.h: the system's own JPEG file decoder (Huffman-coded ITU-T T.81 with 8-bit
// samples: baseline, extended sequential and progressive frames, grey, YCbCr or RGB in the
// layouts H1V1, H2V1, H1V2, H2V2). Input comes through a stream; the result is 4 bytes per pixel.
// Everything it refuses ends in one of the status codes below; no input makes it read or write
// outside its buffers.
#ifndef IMAGE_JPEG_JPGD_H
#define IMAGE_JPEG_JPGD_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace jpgd {

// Status codes of a decoding; 0 while all is well. -233, -236 and -242 guard against files that
// would otherwise overrun the decoder's tables or memory.
enum : int32_t {
  kStatusOk = 0,
  kStatusNoMemory = -224,             // the pool or an allocation for it failed
  kStatusStreamRead = -225,           // the stream's fetch reported a read error
  kStatusBadSuccessiveHigh = -226,    // progressive: Ah neither 0 nor Al + 1
  kStatusBadSpectralRange = -227,     // progressive: bad Ss/Se, or an AC scan of several components
  kStatusTooManyBlocks = -228,        // blocks per MCU row above 8192
  kStatusBadRestartMarker = -229,     // the expected restart marker is not found
  kStatusBadCoefficient = -230,       // coefficient index past 63, bad refinement or DC size
  kStatusBadSampling = -231,          // sampling factors outside the four layouts
  kStatusBadComponentCount = -232,    // a component count other than 1 or 3
  kStatusBadHuffmanCodes = -233,      // Huffman code counts that over-fill the code space
  kStatusUndefinedHuffman = -234,     // a scan uses a Huffman table that was never defined
  kStatusUndefinedQuant = -235,       // a scan uses a quantisation table that was never defined
  kStatusBadScanLayout = -236,        // duplicate scan component, oversized MCU, sequential
                                      // first scan without every component, or too many scans
  kStatusShortQuantTable = -237,      // a DQT segment ends inside a table
  kStatusUnsupportedFrame = -238,     // lossless, hierarchical or other unsupported frames
  kStatusNoStartOfImage = -239,       // no SOI marker
  kStatusUnexpectedMarker = -240,     // a marker where it does not belong
  kStatusArithmeticCoding = -241,     // SOF9 or a DAC segment
  kStatusImageTooLarge = -242,        // width × height beyond the shared image-size cap
  kStatusBadScanComponent = -243,     // a scan names a component the frame does not have
  kStatusBadScanHeader = -244,        // SOS length or component count wrong
  kStatusBadRestartSegment = -245,    // DRI length other than 4
  kStatusBadSegmentLength = -246,     // a skipped segment shorter than its length field
  kStatusBadFrameLength = -247,       // SOF length other than 8 + 3 × components
  kStatusTooManyComponents = -248,    // more than 4 frame components
  kStatusBadWidth = -249,             // width 0 or above 16384
  kStatusBadHeight = -250,            // height 0 (DNL) or above 16384
  kStatusBadPrecision = -251,         // sample precision other than 8
  kStatusBadQuantTableNumber = -252,  // DQT table number above 3
  kStatusBadQuantSegment = -253,      // DQT length below 2
  kStatusBadHuffmanSegment = -254,    // DHT length below 2 or too short for its tables
  kStatusBadHuffmanSlot = -255,       // DHT class and number beyond the 8 slots
  kStatusTooManyHuffmanSymbols = -256,  // more than 255 symbols in one table
};

// jpeg_decoder_stream: the decoder's input.
//   Threads: one stream feeds one decoding on one thread.
class jpeg_decoder_stream {
 public:
  virtual ~jpeg_decoder_stream() {}
  // Delivers up to max_bytes into buf. Returns the number delivered (0 at the end, with *eof
  // set), or -1 on a read error.
  virtual int32_t fetch(uint8_t* buf, int32_t max_bytes, bool* eof) = 0;
};

// jpeg_decoder_file_stream: reads a file through the C runtime; empty state: no file open.
//   Owns: the open file, closed by close() or the destructor.
class jpeg_decoder_file_stream : public jpeg_decoder_stream {
 public:
  jpeg_decoder_file_stream() {}
  ~jpeg_decoder_file_stream() override;
  jpeg_decoder_file_stream(const jpeg_decoder_file_stream&) = delete;
  jpeg_decoder_file_stream& operator=(const jpeg_decoder_file_stream&) = delete;

  // Opens path with mode "rb" (closing any file open before). Returns false when it cannot.
  bool open(const char* path);
  void close();
  // -1 when no file is open or after a read error; 0 with *eof set once the file has ended.
  int32_t fetch(uint8_t* buf, int32_t max_bytes, bool* eof) override;

 private:
  FILE* m_file = nullptr;
  bool m_eof = false;
  bool m_error = false;
};

// jpeg_decoder_mem_stream: reads a caller's byte block (tests, fuzzing, data already in memory).
//   Owns: nothing; the bytes must outlive the stream.
class jpeg_decoder_mem_stream : public jpeg_decoder_stream {
 public:
  jpeg_decoder_mem_stream(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  int32_t fetch(uint8_t* buf, int32_t max_bytes, bool* eof) override;

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

// jpeg_line_sink: where DecodeJpegStreamToSink puts the picture, line by line, so that a caller
// can decode straight into a block of its own.
class jpeg_line_sink {
 public:
  virtual ~jpeg_line_sink() {}
  // Called once the frame header has given the picture's size, before the decoder allocates
  // anything for the scans (a progressive picture's coefficients are held whole). False stops
  // the decoding.
  virtual bool frame(int32_t width, int32_t height) {
    (void)width;
    (void)height;
    return true;
  }
  // Called once the frame is set up and before any line, with the picture's size and its
  // component count (1 or 3). False stops the decoding.
  virtual bool begin(int32_t width, int32_t height, int32_t comps) = 0;
  // Where line y (0 the top line) goes: width × 4 bytes red, green, blue, alpha (grey as Y, Y, Y,
  // 255). Nothing is written past those bytes.
  virtual uint8_t* line(int32_t y) = 0;
};

// Decodes stream into sink. True when every line has been written; false when the decoding
// fails (with its status code in *status, which may be null) or begin() refuses (status 0).
// Holds one line of output at a time besides the decoder's own buffers.
bool DecodeJpegStreamToSink(jpeg_decoder_stream* stream, jpeg_line_sink* sink, int32_t* status);

// Decodes the whole picture of stream. Returns width × 4 × height bytes from malloc (red, green,
// blue, alpha; grey as Y, Y, Y, 255), top line first, freed by the caller with free; or null.
// A null comps gives null at once; otherwise *comps is set to 0 first, and once the frame header
// has been read width, height and the frame's component count (1 or 3) are handed out even if a
// later step fails.
unsigned char* DecodeJpegStream(jpeg_decoder_stream* stream, int32_t* width, int32_t* height,
                                int32_t* comps);

// Opens path with mode "rb" and decodes it as DecodeJpegStream does. When the file cannot be
// opened, returns null and leaves the out-values untouched.
unsigned char* DecodeJpegFile(const char* path, int32_t* width, int32_t* height, int32_t* comps);

// DecodeJpegStream that also hands out the decoder's status code: 0 on success or when an
// argument is null, one of the codes above otherwise (kStatusNoMemory also when the result block
// cannot be allocated). status may be null.
unsigned char* DecodeJpegStreamWithStatus(jpeg_decoder_stream* stream, int32_t* width,
                                          int32_t* height, int32_t* comps, int32_t* status);

// The blocks whose AC values the progressive decodings on the calling thread have read from their
// coefficient planes so far. A block that no scan stored an AC value in is taken as zeros without
// a read, so this shows how far a picture's data reached into the planes.
int64_t ProgressivePlaneBlocksRead();

}  // namespace jpgd

#endif  // IMAGE_JPEG_JPGD_H
