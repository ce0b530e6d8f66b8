// nnet/neural_network.h: a feed-forward network built from the text of a network description,
// and the builder that parses that text. Links are stored by target unit, so the weight of
// connection c is reached only through conns[c].link.
#ifndef NNET_NEURAL_NETWORK_H
#define NNET_NEURAL_NETWORK_H

#include <cstdint>

struct NeuralLink;

// Where a unit sits: column x and row y in the grid of its group.
struct UnitPlace {
  int32_t x;
  int32_t y;
  int32_t group;
};

// Bounding box of a group's units, their number and the lowest unit number; a group that no
// unit carries keeps -1, -1, -1, -1, 0, -1.
struct UnitGroup {
  int32_t minX;
  int32_t minY;
  int32_t maxX;
  int32_t maxY;
  int32_t count;
  int32_t firstUnit;
};

struct NeuralUnit {
  float activation;       // 1.0 after building
  int32_t fanIn;          // connections into this unit
  int32_t kind;           // 5 for the input block (bias unit included), 0 for the others
  NeuralLink* firstLink;  // first of fanIn consecutive incoming links, null when fanIn is 0
};

struct NeuralLink {
  float weight;  // no defined value before the weights are attached (the builder zeroes it)
  NeuralUnit* source;
};

// One connection line, in line order.
struct NetConnection {
  NeuralLink* link;
  int32_t from;
  int32_t to;
};

// NeuralNetwork: units 0..inputCount-1 are the input block (unit 0 the bias unit), then the
// hidden units, then the output units.
//   Owns: every array it points to (allocated with new[]); FreeNetworkArrays releases them and
//     the caller then deletes the record.
//   Threads: built, weighted and freed by one thread; nothing else touches it.
struct NeuralNetwork {
  int32_t reserved;
  int32_t unitCount;
  int32_t inputCount;
  int32_t hiddenCount;
  int32_t outputCount;
  int32_t firstInput;
  int32_t firstHidden;
  int32_t firstOutput;
  int32_t connCount;
  int32_t groupCount;
  UnitPlace* places;         // unitCount entries, by unit number
  UnitGroup* groups;         // groupCount entries, by group number
  uint8_t* reservedBuffer1;  // never set by the system; freed when set
  NeuralUnit* units;         // unitCount entries
  NetConnection* conns;      // connCount entries, in line order
  NeuralLink* links;         // connCount entries, grouped by target in ascending unit number
  uint8_t* reservedBuffer2;
  uint8_t* reservedBuffer3;
};

// Builds a network from the lines of one description ("N units", "M inputs", M unit lines,
// "H hiddens", H unit lines, "O outputs", O unit lines, "C conns", C connection lines). The
// index on a unit line, the words and the "-1" of a connection line are not read.
// Returns a new record owned by the caller, never null. Throws std::bad_alloc when memory runs
// out or the unit or connection count is negative, and std::runtime_error when the lines break
// the description's own limits: too few lines for the counts, N != M + H + O, a negative count,
// coordinate or group number, a group number above N, or a connection unit outside 0..N-1.
// Nothing is leaked and nothing is written out of bounds on any failure.
NeuralNetwork* BuildNetworkFromLines(const char* const* lines, int32_t line_count);

// Copies weights[i] bit for bit onto the link of connection i, for i = 0..count-1. Throws
// std::runtime_error, changing nothing, when count is negative or above net->connCount.
void AttachWeights(NeuralNetwork* net, const float* weights, int32_t count);

// Releases the arrays of net that are set and resets their pointers; the record stays.
void FreeNetworkArrays(NeuralNetwork* net);

#endif  // NNET_NEURAL_NETWORK_H
