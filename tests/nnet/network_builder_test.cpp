// tests/nnet/network_builder_test.cpp: building networks from small hand-written descriptions:
// the by-target link layout, what the parser ignores, groups, weights and malformed input.
#include "nnet/neural_network.h"

#include "tests/nnet/nnet_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

NetPtr Build(const std::vector<const char*>& lines) {
  return NetPtr(BuildNetworkFromLines(lines.data(), static_cast<int32_t>(lines.size())));
}

// 7 units: bias, inputs 1-2 (group 1), hidden 3-4 (group 2), outputs 5-6 (group 3); the
// connections target 5, 6 and 5 in this order.
const std::vector<const char*> kToy = {"7 units",   "3 inputs", "0 0 0 0", "1 1 0 0",   "2 1 0 1",
                                       "2 hiddens", "3 2 0 0",  "4 2 0 1", "2 outputs", "5 3 0 0",
                                       "6 3 1 0",   "3 conns",  "1 5 -1",  "2 6 -1",    "3 5 -1"};

int32_t LinkIndex(const NeuralNetwork& net, const NeuralLink* link) {
  return static_cast<int32_t>(link - net.links);
}

TEST(BuildNetworkFromLines, LaysLinksOutByTargetInLineOrder) {
  NetPtr net = Build(kToy);
  EXPECT_EQ(0, net->reserved);
  EXPECT_EQ(7, net->unitCount);
  EXPECT_EQ(3, net->inputCount);
  EXPECT_EQ(2, net->hiddenCount);
  EXPECT_EQ(2, net->outputCount);
  EXPECT_EQ(1, net->firstInput);
  EXPECT_EQ(3, net->firstHidden);
  EXPECT_EQ(5, net->firstOutput);
  EXPECT_EQ(3, net->connCount);
  EXPECT_EQ(4, net->groupCount);
  EXPECT_EQ(nullptr, net->reservedBuffer1);
  EXPECT_EQ(nullptr, net->reservedBuffer2);
  EXPECT_EQ(nullptr, net->reservedBuffer3);

  const float weights[] = {1.5f, 2.5f, 3.5f};
  AttachWeights(net.get(), weights, 3);
  const NeuralUnit& five = net->units[5];
  const NeuralUnit& six = net->units[6];
  ASSERT_EQ(2, five.fanIn);
  ASSERT_EQ(1, six.fanIn);
  EXPECT_EQ(net->links, five.firstLink);
  EXPECT_EQ(net->links + 2, six.firstLink);
  EXPECT_EQ(&net->units[1], five.firstLink[0].source);
  EXPECT_EQ(1.5f, five.firstLink[0].weight);
  EXPECT_EQ(&net->units[3], five.firstLink[1].source);
  EXPECT_EQ(3.5f, five.firstLink[1].weight);
  EXPECT_EQ(&net->units[2], six.firstLink[0].source);
  EXPECT_EQ(2.5f, six.firstLink[0].weight);
  EXPECT_EQ(1, LinkIndex(*net, net->conns[2].link));
  EXPECT_EQ(2, LinkIndex(*net, net->conns[1].link));
  EXPECT_EQ(3, net->conns[2].from);
  EXPECT_EQ(5, net->conns[2].to);

  for (int32_t u = 0; u < 5; ++u) {
    EXPECT_EQ(0, net->units[u].fanIn) << u;
    EXPECT_EQ(nullptr, net->units[u].firstLink) << u;
  }
  for (int32_t u = 0; u < 7; ++u) {
    EXPECT_EQ(1.0f, net->units[u].activation) << u;
    EXPECT_EQ(u < 3 ? 5 : 0, net->units[u].kind) << u;
  }
  // Place is (x, y, group) although the line gives group, y, x.
  EXPECT_EQ(0, net->places[6].x);
  EXPECT_EQ(1, net->places[6].y);
  EXPECT_EQ(3, net->places[6].group);
  EXPECT_EQ("0 0 1 0 2 1", GroupText(net->groups[1]));
}

// Structure of two networks, unit by unit and connection by connection.
void ExpectSameStructure(const NeuralNetwork& a, const NeuralNetwork& b, const std::string& what) {
  ASSERT_EQ(a.unitCount, b.unitCount) << what;
  ASSERT_EQ(a.connCount, b.connCount) << what;
  ASSERT_EQ(a.groupCount, b.groupCount) << what;
  for (int32_t u = 0; u < a.unitCount; ++u) {
    EXPECT_EQ(a.units[u].fanIn, b.units[u].fanIn) << what << " unit " << u;
    EXPECT_EQ(0, memcmp(&a.places[u], &b.places[u], sizeof(UnitPlace))) << what << " unit " << u;
  }
  for (int32_t g = 0; g < a.groupCount; ++g) {
    EXPECT_EQ(0, memcmp(&a.groups[g], &b.groups[g], sizeof(UnitGroup))) << what << " group " << g;
  }
  for (int32_t c = 0; c < a.connCount; ++c) {
    EXPECT_EQ(a.conns[c].from, b.conns[c].from) << what << " conn " << c;
    EXPECT_EQ(a.conns[c].to, b.conns[c].to) << what << " conn " << c;
    EXPECT_EQ(LinkIndex(a, a.conns[c].link), LinkIndex(b, b.conns[c].link))
        << what << " conn " << c;
  }
}

TEST(BuildNetworkFromLines, IgnoresIndicesWordsAndTheThirdField) {
  const struct {
    const char* what;
    size_t line;
    const char* text;
  } cases[] = {
      {"wrong unit index", 3, "99 1 0 0"}, {"wrong count word", 5, "2 hidden units"},
      {"no count word", 8, "2"},           {"third field not -1", 13, "2 6 7"},
      {"no third field", 14, "3 5"},       {"extra blanks", 4, "  2   1 0   1 "},
  };
  NetPtr reference = Build(kToy);
  for (const auto& c : cases) {
    std::vector<const char*> lines = kToy;
    lines[c.line] = c.text;
    NetPtr net = Build(lines);
    ExpectSameStructure(*reference, *net, c.what);
  }
}

TEST(BuildNetworkFromLines, GapGroupsKeepTheirStartValues) {
  NetPtr net = Build({"4 units", "2 inputs", "0 0 0 0", "1 1 2 3", "1 hiddens", "2 4 1 0",
                      "1 outputs", "3 4 0 5", "0 conns"});
  ASSERT_EQ(5, net->groupCount);
  EXPECT_EQ("3 2 3 2 1 1", GroupText(net->groups[1]));
  EXPECT_EQ("-1 -1 -1 -1 0 -1", GroupText(net->groups[2]));
  EXPECT_EQ("-1 -1 -1 -1 0 -1", GroupText(net->groups[3]));
  EXPECT_EQ("0 0 5 1 2 2", GroupText(net->groups[4]));
  for (int32_t u = 0; u < 4; ++u) EXPECT_EQ(nullptr, net->units[u].firstLink) << u;
}

TEST(BuildNetworkFromLines, EmptyDescriptionHasOneGroup) {
  NetPtr net = Build({"0 units", "0 inputs", "0 hiddens", "0 outputs", "0 conns"});
  EXPECT_EQ(0, net->unitCount);
  EXPECT_EQ(0, net->connCount);
  ASSERT_EQ(1, net->groupCount);
  EXPECT_EQ("-1 -1 -1 -1 0 -1", GroupText(net->groups[0]));
}

TEST(BuildNetworkFromLines, UnitZeroIsAlwaysAnInputKind) {
  NetPtr net = Build(
      {"2 units", "0 inputs", "2 hiddens", "0 2 0 0", "1 2 0 1", "0 outputs", "1 conns", "0 1 -1"});
  EXPECT_EQ(5, net->units[0].kind);
  EXPECT_EQ(0, net->units[1].kind);
  EXPECT_EQ(1, net->firstInput);
}

TEST(AttachWeights, WritesOnlyTheGivenConnections) {
  NetPtr net = Build(kToy);
  for (int32_t c = 0; c < net->connCount; ++c) net->conns[c].link->weight = -99.0f;
  const float weights[] = {0.25f, 0.5f};
  AttachWeights(net.get(), weights, 2);
  EXPECT_EQ(0.25f, net->conns[0].link->weight);
  EXPECT_EQ(0.5f, net->conns[1].link->weight);
  EXPECT_EQ(-99.0f, net->conns[2].link->weight);

  const float too_many[] = {1, 2, 3, 4};
  EXPECT_THROW(AttachWeights(net.get(), too_many, 4), std::runtime_error);
  EXPECT_THROW(AttachWeights(net.get(), too_many, -1), std::runtime_error);
  EXPECT_EQ(0.25f, net->conns[0].link->weight);
}

TEST(BuildNetworkFromLines, RejectsDescriptionsThatBreakTheirOwnCounts) {
  const struct {
    const char* what;
    size_t line;  // replaced line, or kToy.size() to cut the description there
    const char* text;
    size_t keep;  // lines kept
  } cases[] = {
      {"counts do not add up", 0, "8 units", 15},
      {"more inputs than units", 1, "9 inputs", 15},
      {"more hiddens than units", 5, "6 hiddens", 15},
      {"negative hidden count", 5, "-1 hiddens", 15},
      {"negative group", 6, "3 -2 0 0", 15},
      {"group above the unit count", 6, "3 8 0 0", 15},
      {"negative x", 9, "5 3 0 -1", 15},
      {"negative y", 9, "5 3 -1 0", 15},
      {"source past the units", 12, "7 5 -1", 15},
      {"negative source", 12, "-1 5 -1", 15},
      {"target past the units", 13, "2 7 -1", 15},
      {"negative target", 13, "2 -3 -1", 15},
      {"more connections than lines", 11, "4 conns", 15},
      {"connection count beyond all memory", 11, "2000000000 conns", 15},
      {"unit count beyond the lines", 0, "2000000000 units", 15},
      {"cut in the connections", 0, "7 units", 14},
      {"cut in the units", 0, "7 units", 7},
      {"cut after the counts", 0, "7 units", 1},
      {"no lines", 0, "7 units", 0},
  };
  for (const auto& c : cases) {
    std::vector<const char*> lines = kToy;
    lines[c.line] = c.text;
    lines.resize(c.keep);
    EXPECT_THROW(Build(lines), std::runtime_error) << c.what;
  }
  std::vector<const char*> with_null = kToy;
  with_null[10] = nullptr;
  EXPECT_THROW(Build(with_null), std::runtime_error);
}

TEST(BuildNetworkFromLines, NegativeUnitOrConnectionCountIsAnAllocationFailure) {
  std::vector<const char*> lines = kToy;
  lines[0] = "-7 units";
  EXPECT_THROW(Build(lines), std::bad_alloc);
  lines = kToy;
  lines[11] = "-3 conns";
  EXPECT_THROW(Build(lines), std::bad_alloc);
}

}  // namespace
