// tools/nnet_datagen.cpp: writes the embedded network descriptions and weight tables of the
// neural-network detector, run by the build. For each network it writes <net>_lines.inc (one
// string literal per description line) and <net>_weights.inc (one exact hex-float literal per
// connection) into the folder given as its argument.
//
// The descriptions follow fixed rules: the bias unit, the input grid row by row, the hidden
// groups in ascending number (units row by row, x fastest), one output unit; then per hidden
// group its field connections unit by unit (field row by row) and its bias block, and last the
// output's connections and its bias.
//
// The weights are not trained values. Apart from ten anchor values per network (the first four,
// the last four, the minimum and the maximum, which are exact), each weight is a deterministic
// placeholder: a counter-based hash of (network seed, connection index) picks a magnitude in a
// range set by the connection's kind and a sign. Nothing in the system evaluates these networks.
// The generator checks the properties the tables must have and fails the build if one breaks.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// Hidden groups first_group..last_group share one shape: rows x cols units, and unit (y, x)
// reads input rows ry*y .. ry*y+rh-1 and columns cx*x .. cx*x+cw-1, where rh (cw) 0 means every
// row (column). A group fed_by_hidden instead reads every earlier hidden unit, source by source.
struct GroupShape {
  int first_group, last_group;
  int rows, cols;
  int ry, rh, cx, cw;
  bool fed_by_hidden;
};

struct Anchor {
  int index;
  float value;
};

struct Range {
  double lo, hi;
};

struct NetRecipe {
  const char* name;
  uint64_t seed;
  int width, height;  // input grid
  std::vector<GroupShape> shapes;
  int expected_lines, expected_conns;
  Range to_output;  // magnitude range of the free hidden-to-output weights
  int min_index, max_index;
  std::vector<Anchor> anchors;
};

enum Kind { kFromInput, kFromHidden, kBias, kToOutput };

struct Conn {
  int from, to;
  Kind kind;
  int group;  // target's group (the output's group for kToOutput)
};

struct Network {
  std::vector<std::string> lines;
  std::vector<Conn> conns;
};

[[noreturn]] void Die(const char* net, const std::string& what) {
  fprintf(stderr, "nnet_datagen: %s: %s\n", net, what.c_str());
  exit(1);
}

std::string Join(std::initializer_list<int> numbers, const char* tail = nullptr) {
  std::string s;
  for (int v : numbers) {
    if (!s.empty()) s += ' ';
    s += std::to_string(v);
  }
  if (tail) s += tail;
  return s;
}

Network Describe(const NetRecipe& recipe) {
  Network net;
  const int inputs = 1 + recipe.width * recipe.height;
  struct Group {
    int number, first, rows, cols;
    const GroupShape* shape;
  };
  std::vector<Group> groups;
  int next_unit = inputs;
  for (const GroupShape& s : recipe.shapes) {
    for (int g = s.first_group; g <= s.last_group; ++g) {
      // Groups 0 and 1 are the bias unit and the input grid; hidden groups follow without gaps.
      if (g != (groups.empty() ? 2 : groups.back().number + 1)) Die(recipe.name, "group gap");
      groups.push_back({g, next_unit, s.rows, s.cols, &s});
      next_unit += s.rows * s.cols;
    }
  }
  const int output = next_unit;
  const int hiddens = output - inputs;
  const int output_group = groups.back().number + 1;

  net.lines.push_back(std::to_string(output + 1) + " units");
  net.lines.push_back(std::to_string(inputs) + " inputs");
  net.lines.push_back("0 0 0 0");
  for (int y = 0; y < recipe.height; ++y) {
    for (int x = 0; x < recipe.width; ++x) {
      net.lines.push_back(Join({1 + recipe.width * y + x, 1, y, x}));
    }
  }
  net.lines.push_back(std::to_string(hiddens) + " hiddens");
  for (const Group& g : groups) {
    for (int y = 0; y < g.rows; ++y) {
      for (int x = 0; x < g.cols; ++x) {
        net.lines.push_back(Join({g.first + g.cols * y + x, g.number, y, x}));
      }
    }
  }
  net.lines.push_back("1 outputs");
  net.lines.push_back(Join({output, output_group, 0, 0}));

  int output_sources = inputs;  // the output reads the hidden units no hidden group consumes
  for (const Group& g : groups) {
    const GroupShape& s = *g.shape;
    const int units = g.rows * g.cols;
    if (s.fed_by_hidden) {
      for (int from = inputs; from < g.first; ++from) {
        for (int k = 0; k < units; ++k) {
          net.conns.push_back({from, g.first + k, kFromHidden, g.number});
        }
      }
      output_sources = g.first;
    } else {
      for (int y = 0; y < g.rows; ++y) {
        for (int x = 0; x < g.cols; ++x) {
          const int r0 = s.rh ? s.ry * y : 0, rn = s.rh ? s.rh : recipe.height;
          const int c0 = s.cw ? s.cx * x : 0, cn = s.cw ? s.cw : recipe.width;
          if (r0 + rn > recipe.height || c0 + cn > recipe.width) Die(recipe.name, "field off the grid");
          for (int r = r0; r < r0 + rn; ++r) {
            for (int c = c0; c < c0 + cn; ++c) {
              net.conns.push_back(
                  {1 + recipe.width * r + c, g.first + g.cols * y + x, kFromInput, g.number});
            }
          }
        }
      }
    }
    for (int k = 0; k < units; ++k) net.conns.push_back({0, g.first + k, kBias, g.number});
  }
  for (int from = output_sources; from < output; ++from) {
    net.conns.push_back({from, output, kToOutput, output_group});
  }
  net.conns.push_back({0, output, kBias, output_group});

  net.lines.push_back(std::to_string(net.conns.size()) + " conns");
  for (const Conn& c : net.conns) net.lines.push_back(Join({c.from, c.to}, " -1"));
  if (static_cast<int>(net.lines.size()) != recipe.expected_lines ||
      static_cast<int>(net.conns.size()) != recipe.expected_conns) {
    Die(recipe.name, "line or connection count off");
  }
  return net;
}

uint64_t SplitMix64(uint64_t x) {
  uint64_t z = x + 0x9e3779b97f4a7c15ull;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

// Placeholder weight i: magnitude lo + (hi - lo) * k / 2^24 from the top 24 bits k of the hash,
// sign from its lowest bit.
float Placeholder(uint64_t seed, int i, Range range) {
  const uint64_t h = SplitMix64((seed << 32) | static_cast<uint32_t>(i));
  const double magnitude =
      range.lo + (range.hi - range.lo) * static_cast<double>(h >> 40) / 16777216.0;
  return static_cast<float>((h & 1) ? -magnitude : magnitude);
}

// Magnitude ranges by kind: input to hidden [0.1, 0.3], hidden to hidden [0.1, 0.4], bias
// [0.5, 1.5], hidden to output per network; then the anchors overwrite their elements.
std::vector<float> Weights(const NetRecipe& recipe, const Network& net) {
  std::vector<float> w(net.conns.size());
  for (size_t i = 0; i < w.size(); ++i) {
    Range range{0.1, 0.3};
    switch (net.conns[i].kind) {
      case kFromInput:
        break;
      case kFromHidden:
        range = {0.1, 0.4};
        break;
      case kBias:
        range = {0.5, 1.5};
        break;
      case kToOutput:
        range = recipe.to_output;
        break;
    }
    w[i] = Placeholder(recipe.seed, static_cast<int>(i), range);
  }
  for (const Anchor& a : recipe.anchors) w[static_cast<size_t>(a.index)] = a.value;
  return w;
}

void Check(const NetRecipe& recipe, const Network& net, const std::vector<float>& w) {
  for (size_t i = 0; i < w.size(); ++i) {
    if (!std::isnormal(w[i])) Die(recipe.name, "weight " + std::to_string(i) + " not normal");
    if (i != size_t(recipe.min_index) && !(w[i] > w[size_t(recipe.min_index)])) {
      Die(recipe.name, "minimum not unique");
    }
    if (i != size_t(recipe.max_index) && !(w[i] < w[size_t(recipe.max_index)])) {
      Die(recipe.name, "maximum not unique");
    }
  }
  for (int extreme : {recipe.min_index, recipe.max_index}) {
    const Kind k = net.conns[size_t(extreme)].kind;
    if (k != kBias && k != kToOutput) {
      Die(recipe.name, "an extreme is neither a bias nor into the output");
    }
  }
  // Per target group: mean magnitude of bias weights and of the others.
  struct Sums {
    double bias = 0, other = 0, input = 0;
    int nbias = 0, nother = 0, ninput = 0;
  };
  std::vector<Sums> sums(64);
  double to_output = 0;
  int n_to_output = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const Conn& c = net.conns[i];
    const double m = std::fabs(w[i]);
    if (c.kind == kToOutput) {
      to_output += m;
      ++n_to_output;
      continue;
    }
    Sums& s = sums.at(size_t(c.group));
    if (c.kind == kBias) {
      s.bias += m, ++s.nbias;
    } else {
      s.other += m, ++s.nother;
    }
    if (c.kind == kFromInput) s.input += m, ++s.ninput;
  }
  for (size_t g = 0; g < sums.size(); ++g) {
    const Sums& s = sums[g];
    if (s.ninput && (s.input / s.ninput < 0.07 || s.input / s.ninput > 0.42)) {
      Die(recipe.name, "input weights of group " + std::to_string(g) + " out of range");
    }
    if (s.nother && !(s.bias / s.nbias > s.other / s.nother)) {
      Die(recipe.name, "bias weights of group " + std::to_string(g) + " not the largest");
    }
  }
  const double mean = to_output / n_to_output;
  if (mean < 1.0 || mean > 5.2) Die(recipe.name, "hidden-to-output mean out of range");
}

void Write(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f || fwrite(text.data(), 1, text.size(), f) != text.size() || fclose(f) != 0) {
    fprintf(stderr, "nnet_datagen: cannot write %s\n", path.c_str());
    exit(1);
  }
}

const char kBanner[] = "// Generated by tools/nnet_datagen.cpp; do not edit.\n";

void Emit(const std::string& dir, const NetRecipe& recipe, const Network& net,
          const std::vector<float>& w) {
  std::string lines = kBanner;
  for (const std::string& l : net.lines) lines += "\"" + l + "\",\n";
  Write(dir + "/" + recipe.name + "_lines.inc", lines);
  std::string weights = kBanner;
  char buf[64];
  for (float v : w) {
    snprintf(buf, sizeof buf, "%af,\n", static_cast<double>(v));  // exact: hex of a float value
    weights += buf;
  }
  Write(dir + "/" + recipe.name + "_weights.inc", weights);
}

// clang-format off
std::vector<NetRecipe> Recipes() {
  const bool kHidden = true, kInput = false;
  std::vector<NetRecipe> nets;
  nets.push_back({"umec", 1, 30, 30,
                  {{2, 3, 3, 3, 10, 10, 10, 10, kInput},
                   {4, 5, 6, 1, 5, 5, 0, 0, kInput},
                   {6, 7, 1, 6, 0, 0, 5, 5, kInput},
                   {8, 8, 1, 10, 0, 0, 0, 0, kHidden}},
                  6842, 5883,
                  // Five of the ten weights into the output are anchors averaging 5.30; 4.8 keeps
                  // the mean of all ten at most 5.05.
                  {3.0, 4.8}, 5872, 5875,
                  {{0, 0.2799808f}, {1, 0.1593433f}, {2, 0.06375033f}, {3, -0.07918153f},
                   {5879, 5.927774f}, {5880, 4.025811f}, {5881, -4.223916f}, {5882, 2.696506f},
                   {5872, -5.070895f}, {5875, 7.258375f}}});
  nets.push_back({"face17c", 2, 20, 20,
                  {{2, 3, 2, 2, 10, 10, 10, 10, kInput},
                   {4, 5, 4, 4, 5, 5, 5, 5, kInput},
                   {6, 7, 6, 1, 3, 5, 0, 0, kInput}},
                  3364, 2905, {1.0, 1.6}, 1629, 2899,
                  {{0, -0.057794925f}, {1, -0.017143238f}, {2, -0.02656754f}, {3, 0.07676835f},
                   {2901, -1.021523f}, {2902, 2.203681f}, {2903, -1.753474f}, {2904, -0.41874972f},
                   {1629, -2.998824f}, {2899, 2.604087f}}});
  nets.push_back({"face18c", 3, 20, 20,
                  {{2, 4, 2, 2, 10, 10, 10, 10, kInput},
                   {5, 7, 4, 4, 5, 5, 5, 5, kInput},
                   {8, 10, 6, 1, 3, 5, 0, 0, kInput}},
                  4842, 4357, {1.0, 1.6}, 1618, 1620,
                  {{0, -0.09504107f}, {1, 0.1025785f}, {2, 0.06086016f}, {3, 0.01746585f},
                   {4353, 0.94750863f}, {4354, -1.118727f}, {4355, 1.20247f}, {4356, -0.21968892f},
                   {1618, -2.41539f}, {1620, 1.661087f}}});
  nets.push_back({"eye", 4, 25, 15,
                  {{2, 2, 3, 5, 5, 5, 5, 5, kInput},
                   {3, 3, 4, 5, 3, 5, 5, 5, kInput},
                   {4, 5, 3, 1, 5, 5, 0, 0, kInput},
                   {6, 7, 1, 5, 0, 0, 5, 5, kInput}},
                  2911, 2478, {1.0, 1.6}, 897, 894,
                  {{0, 0.144233f}, {1, -0.167727f}, {2, -0.371218f}, {3, -0.14984f},
                   {2474, -2.23223f}, {2475, -2.24813f}, {2476, -1.678171f}, {2477, -0.267721f},
                   {897, -3.736034f}, {894, 3.003031f}}});
  return nets;
}
// clang-format on

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: nnet_datagen OUTPUT_DIR\n");
    return 2;
  }
  for (const NetRecipe& recipe : Recipes()) {
    const Network net = Describe(recipe);
    const std::vector<float> w = Weights(recipe, net);
    Check(recipe, net, w);
    Emit(argv[1], recipe, net, w);
  }
  return 0;
}
