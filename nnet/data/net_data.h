// nnet/data/net_data.h: the embedded network descriptions and weight tables, one description
// function and one weight function per network ("umec", "face17c", "face18c", "eye").
#ifndef NNET_DATA_NET_DATA_H
#define NNET_DATA_NET_DATA_H

#include <cstdint>

// Each description function stores the number of lines through count and returns a new array
// (malloc) of that many pointers to the network's constant, NUL-terminated lines. The caller
// frees the array with free, never the lines, which every call shares. Throws std::bad_alloc
// when the array cannot be allocated; never returns null.
const char** UmecNetText(int32_t* count);
const char** Face17cNetText(int32_t* count);
const char** Face18cNetText(int32_t* count);
const char** EyeNetText(int32_t* count);

// Each weight function stores the network's connection count through count and returns a new
// array (malloc) of that many floats, weight i for connection line i. The caller frees it with
// free. Throws std::bad_alloc when the array cannot be allocated; never returns null.
float* UmecNetWeights(int32_t* count);
float* Face17cNetWeights(int32_t* count);
float* Face18cNetWeights(int32_t* count);
float* EyeNetWeights(int32_t* count);

#endif  // NNET_DATA_NET_DATA_H
