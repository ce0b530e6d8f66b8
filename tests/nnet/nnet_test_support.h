// tests/nnet/nnet_test_support.h: shared by the nnet tests: an owning pointer for built networks
// and the layout of each embedded network as its closed-form rules state it (unit groups, field
// connection blocks, dense blocks), to check descriptions and built networks against.
#ifndef TESTS_NNET_NNET_TEST_SUPPORT_H
#define TESTS_NNET_NNET_TEST_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "nnet/data/net_data.h"
#include "nnet/neural_network.h"

struct NetDeleter {
  void operator()(NeuralNetwork* net) const {
    FreeNetworkArrays(net);
    delete net;
  }
};
using NetPtr = std::unique_ptr<NeuralNetwork, NetDeleter>;

inline uint32_t Bits(float f) {
  uint32_t u;
  memcpy(&u, &f, sizeof u);
  return u;
}

// "minX minY maxX maxY count firstUnit", for comparing a group in one expectation.
inline std::string GroupText(const UnitGroup& g) {
  std::string s;
  for (int32_t v : {g.minX, g.minY, g.maxX, g.maxY, g.count, g.firstUnit}) {
    s += (s.empty() ? "" : " ") + std::to_string(v);
  }
  return s;
}

// Units of one group: the unit at (y, x) is first + cols * y + x.
struct GroupLayout {
  int group, first, rows, cols;
};

// Connections start.. of the units first.. (k-th unit at row k / unit_cols, column
// k % unit_cols): each reads field_rows x field_cols inputs beginning at input row
// row_step * unit row and column col_step * unit column; then one bias connection per unit.
struct FieldBlock {
  int start, first, units, unit_cols, field_rows, field_cols, row_step, col_step;
};

// Connections start.. from every source in sources..sources+source_count-1 to every target in
// targets..targets+target_count-1, source by source; then one bias connection per target.
struct DenseBlock {
  int start, sources, source_count, targets, target_count;
};

struct NetFacts {
  const char* name;
  const char** (*text)(int32_t*);
  float* (*weights)(int32_t*);
  int width, lines, inputs, hiddens, conns;
  std::vector<GroupLayout> groups;
  std::vector<FieldBlock> fields;
  std::vector<DenseBlock> dense;  // the last one feeds the output unit
};

inline const std::vector<NetFacts>& Nets() {
  static const std::vector<NetFacts> nets = {
      {"umec",
       UmecNetText,
       UmecNetWeights,
       30,
       6842,
       901,
       52,
       5883,
       {{0, 0, 1, 1},
        {1, 1, 30, 30},
        {2, 901, 3, 3},
        {3, 910, 3, 3},
        {4, 919, 6, 1},
        {5, 925, 6, 1},
        {6, 931, 1, 6},
        {7, 937, 1, 6},
        {8, 943, 1, 10},
        {9, 953, 1, 1}},
       {{0, 901, 9, 3, 10, 10, 10, 10},
        {909, 910, 9, 3, 10, 10, 10, 10},
        {1818, 919, 6, 1, 5, 30, 5, 0},
        {2724, 925, 6, 1, 5, 30, 5, 0},
        {3630, 931, 6, 6, 30, 5, 0, 5},
        {4536, 937, 6, 6, 30, 5, 0, 5}},
       {{5442, 901, 42, 943, 10}, {5872, 943, 10, 953, 1}}},
      {"face17c",
       Face17cNetText,
       Face17cNetWeights,
       20,
       3364,
       401,
       52,
       2905,
       {{0, 0, 1, 1},
        {1, 1, 20, 20},
        {2, 401, 2, 2},
        {3, 405, 2, 2},
        {4, 409, 4, 4},
        {5, 425, 4, 4},
        {6, 441, 6, 1},
        {7, 447, 6, 1},
        {8, 453, 1, 1}},
       {{0, 401, 4, 2, 10, 10, 10, 10},
        {404, 405, 4, 2, 10, 10, 10, 10},
        {808, 409, 16, 4, 5, 5, 5, 5},
        {1224, 425, 16, 4, 5, 5, 5, 5},
        {1640, 441, 6, 1, 5, 20, 3, 0},
        {2246, 447, 6, 1, 5, 20, 3, 0}},
       {{2852, 401, 52, 453, 1}}},
      {"face18c",
       Face18cNetText,
       Face18cNetWeights,
       20,
       4842,
       401,
       78,
       4357,
       {{0, 0, 1, 1},
        {1, 1, 20, 20},
        {2, 401, 2, 2},
        {3, 405, 2, 2},
        {4, 409, 2, 2},
        {5, 413, 4, 4},
        {6, 429, 4, 4},
        {7, 445, 4, 4},
        {8, 461, 6, 1},
        {9, 467, 6, 1},
        {10, 473, 6, 1},
        {11, 479, 1, 1}},
       {{0, 401, 4, 2, 10, 10, 10, 10},
        {404, 405, 4, 2, 10, 10, 10, 10},
        {808, 409, 4, 2, 10, 10, 10, 10},
        {1212, 413, 16, 4, 5, 5, 5, 5},
        {1628, 429, 16, 4, 5, 5, 5, 5},
        {2044, 445, 16, 4, 5, 5, 5, 5},
        {2460, 461, 6, 1, 5, 20, 3, 0},
        {3066, 467, 6, 1, 5, 20, 3, 0},
        {3672, 473, 6, 1, 5, 20, 3, 0}},
       {{4278, 401, 78, 479, 1}}},
      {"eye",
       EyeNetText,
       EyeNetWeights,
       25,
       2911,
       376,
       51,
       2478,
       {{0, 0, 1, 1},
        {1, 1, 15, 25},
        {2, 376, 3, 5},
        {3, 391, 4, 5},
        {4, 411, 3, 1},
        {5, 414, 3, 1},
        {6, 417, 1, 5},
        {7, 422, 1, 5},
        {8, 427, 1, 1}},
       {{0, 376, 15, 5, 5, 5, 5, 5},
        {390, 391, 20, 5, 5, 5, 3, 5},
        {910, 411, 3, 1, 5, 25, 5, 0},
        {1288, 414, 3, 1, 5, 25, 5, 0},
        {1666, 417, 5, 5, 15, 5, 0, 5},
        {2046, 422, 5, 5, 15, 5, 0, 5}},
       {{2426, 376, 51, 427, 1}}},
  };
  return nets;
}

#endif  // TESTS_NNET_NNET_TEST_SUPPORT_H
