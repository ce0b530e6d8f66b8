// image/internal/netpbm_header.h: the header of binary and plain netpbm files ("P6", "P5", "P2"):
// magic, width, height and maximum value as white-space separated decimal tokens with '#'
// comments anywhere between them, then exactly one white-space byte before the samples.
#ifndef IMAGE_INTERNAL_NETPBM_HEADER_H
#define IMAGE_INTERNAL_NETPBM_HEADER_H

#include <cstdint>
#include <cstdio>

struct zr_netpbm_header {
  char kind;  // the digit after 'P'
  int64_t width;
  int64_t height;
  int64_t max_value;
};

// Reads the header from the start of f, leaving f at the first sample. False when the file does
// not start with 'P' and a digit or a number is missing or malformed. Numbers above 2^31 are
// reported as 2^31 (the size check refuses them).
bool ZR_ReadNetpbmHeader(FILE* f, zr_netpbm_header* header);

// Reads the next decimal number of a plain-text sample list (optional sign, any white space
// before it). False at the end of the file, at a character that starts no number, or for a
// number that does not fit in 32 bits.
bool ZR_ReadNetpbmNumber(FILE* f, int32_t* value);

#endif  // IMAGE_INTERNAL_NETPBM_HEADER_H
