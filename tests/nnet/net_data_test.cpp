// tests/nnet/net_data_test.cpp: the embedded descriptions line by line against the closed-form
// unit and connection formulas of each network and a table of telling lines, and the weight
// tables against their exact anchor values and the properties every table must have.
#include "nnet/data/net_data.h"

#include "nnet/neural_network.h"
#include "tests/nnet/nnet_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Lines {
  std::unique_ptr<const char*, decltype(&free)> array{nullptr, &free};
  int32_t count = 0;
  std::string operator[](int i) const { return array.get()[i]; }
};

Lines Get(const NetFacts& net) {
  Lines l;
  l.array.reset(net.text(&l.count));
  return l;
}

std::string Conn(int from, int to) {
  return std::to_string(from) + " " + std::to_string(to) + " -1";
}

// Expected connection lines by number, derived from the block formulas.
std::map<int, std::string> ExpectedConnections(const NetFacts& net) {
  std::map<int, std::string> out;
  for (const FieldBlock& b : net.fields) {
    const int f = b.field_rows * b.field_cols;
    for (int i = b.start; i < b.start + b.units * f; ++i) {
      const int k = (i - b.start) / f, j = (i - b.start) % f;
      const int row = b.row_step * (k / b.unit_cols) + j / b.field_cols;
      const int col = b.col_step * (k % b.unit_cols) + j % b.field_cols;
      out[i] = Conn(1 + net.width * row + col, b.first + k);
    }
    for (int k = 0; k < b.units; ++k) out[b.start + b.units * f + k] = Conn(0, b.first + k);
  }
  for (const DenseBlock& b : net.dense) {
    for (int i = 0; i < b.source_count * b.target_count; ++i) {
      out[b.start + i] = Conn(b.sources + i / b.target_count, b.targets + i % b.target_count);
    }
    for (int m = 0; m < b.target_count; ++m) {
      out[b.start + b.source_count * b.target_count + m] = Conn(0, b.targets + m);
    }
  }
  return out;
}

TEST(NetText, EveryLineFollowsTheUnitAndConnectionFormulas) {
  for (const NetFacts& net : Nets()) {
    SCOPED_TRACE(net.name);
    const Lines lines = Get(net);
    ASSERT_EQ(net.lines, lines.count);
    const int units = net.inputs + net.hiddens + 1;
    EXPECT_EQ(std::to_string(units) + " units", lines[0]);
    EXPECT_EQ(std::to_string(net.inputs) + " inputs", lines[1]);
    EXPECT_EQ(std::to_string(net.hiddens) + " hiddens", lines[net.inputs + 2]);
    EXPECT_EQ("1 outputs", lines[units + 2]);
    EXPECT_EQ(std::to_string(net.conns) + " conns", lines[units + 4]);

    int unit_lines = 0;
    for (const GroupLayout& g : net.groups) {
      for (int y = 0; y < g.rows; ++y) {
        for (int x = 0; x < g.cols; ++x, ++unit_lines) {
          const int u = g.first + g.cols * y + x;
          const int line = u < net.inputs ? u + 2 : u < net.inputs + net.hiddens ? u + 3 : u + 4;
          ASSERT_EQ(std::to_string(u) + " " + std::to_string(g.group) + " " + std::to_string(y) +
                        " " + std::to_string(x),
                    lines[line]);
        }
      }
    }
    EXPECT_EQ(units, unit_lines);

    const std::map<int, std::string> expected = ExpectedConnections(net);
    ASSERT_EQ(static_cast<size_t>(net.conns), expected.size());  // blocks tile 0..conns-1
    EXPECT_EQ(net.conns - 1, expected.rbegin()->first);
    const int first_conn_line = units + 5;
    ASSERT_EQ(net.lines, first_conn_line + net.conns);
    for (const auto& [i, text] : expected)
      ASSERT_EQ(text, lines[first_conn_line + i]) << "conn " << i;
  }
}

TEST(NetText, TellingLinesStandWhereTheyBelong) {
  // {network, line number (negative: connection number -n - 1), text}
  const struct {
    const char* net;
    int line;
    const char* text;
  } cases[] = {
      {"umec", 2, "0 0 0 0"},
      {"umec", 13, "11 1 0 10"},
      {"umec", 902, "900 1 29 29"},
      {"umec", 903, "52 hiddens"},
      {"umec", 904, "901 2 0 0"},
      {"umec", 922, "919 4 0 0"},
      {"umec", 923, "920 4 1 0"},
      {"umec", 927, "924 4 5 0"},
      {"umec", 934, "931 6 0 0"},
      {"umec", 935, "932 6 0 1"},
      {"umec", 939, "936 6 0 5"},
      {"umec", 955, "952 8 0 9"},
      {"umec", 956, "1 outputs"},
      {"umec", 957, "953 9 0 0"},
      {"umec", 958, "5883 conns"},
      {"umec", 959, "1 901 -1"},
      {"umec", 959 + 99, "280 901 -1"},
      {"umec", 959 + 100, "11 902 -1"},
      {"umec", 959 + 1967, "150 919 -1"},
      {"umec", 959 + 1968, "151 920 -1"},
      {"umec", 959 + 3779, "875 931 -1"},
      {"umec", 959 + 3780, "6 932 -1"},
      {"umec", 959 + 5442, "901 943 -1"},
      {"umec", 959 + 5451, "901 952 -1"},
      {"umec", 959 + 5452, "902 943 -1"},
      {"umec", 959 + 5861, "942 952 -1"},
      {"umec", 959 + 5862, "0 943 -1"},
      {"umec", 959 + 5872, "943 953 -1"},
      {"umec", 6841, "0 953 -1"},

      {"face17c", 0, "454 units"},
      {"face17c", 3, "1 1 0 0"},
      {"face17c", 22, "20 1 0 19"},
      {"face17c", 23, "21 1 1 0"},
      {"face17c", 402, "400 1 19 19"},
      {"face17c", 403, "52 hiddens"},
      {"face17c", 406, "403 2 1 0"},
      {"face17c", 413, "410 4 0 1"},
      {"face17c", 443, "440 5 3 3"},
      {"face17c", 445, "442 6 1 0"},
      {"face17c", 455, "452 7 5 0"},
      {"face17c", 456, "1 outputs"},
      {"face17c", 457, "453 8 0 0"},
      {"face17c", 458, "2905 conns"},
      {"face17c", 459 + 1, "2 401 -1"},
      {"face17c", 459 + 9, "10 401 -1"},
      {"face17c", 459 + 10, "21 401 -1"},
      {"face17c", 459 + 99, "190 401 -1"},
      {"face17c", 459 + 100, "11 402 -1"},
      {"face17c", 459 + 399, "400 404 -1"},
      {"face17c", 459 + 400, "0 401 -1"},
      {"face17c", 459 + 832, "85 409 -1"},
      {"face17c", 459 + 833, "6 410 -1"},
      {"face17c", 459 + 1739, "100 441 -1"},
      {"face17c", 459 + 1740, "61 442 -1"},
      {"face17c", 459 + 1839, "160 442 -1"},
      {"face17c", 459 + 1840, "121 443 -1"},
      {"face17c", 459 + 2239, "400 446 -1"},
      {"face17c", 459 + 2852, "401 453 -1"},
      {"face17c", 459 + 2903, "452 453 -1"},
      {"face17c", 3363, "0 453 -1"},

      {"face18c", 0, "480 units"},
      {"face18c", 1, "401 inputs"},
      {"face18c", 2, "0 0 0 0"},
      {"face18c", 402, "400 1 19 19"},
      {"face18c", 403, "78 hiddens"},
      {"face18c", 404, "401 2 0 0"},
      {"face18c", 481, "478 10 5 0"},
      {"face18c", 482, "1 outputs"},
      {"face18c", 483, "479 11 0 0"},
      {"face18c", 484, "4357 conns"},
      {"face18c", 485 + 9, "10 401 -1"},
      {"face18c", 485 + 10, "21 401 -1"},
      {"face18c", 485 + 99, "190 401 -1"},
      {"face18c", 485 + 100, "11 402 -1"},
      {"face18c", 485 + 400, "0 401 -1"},
      {"face18c", 485 + 404, "1 405 -1"},
      {"face18c", 485 + 1236, "85 413 -1"},
      {"face18c", 485 + 1237, "6 414 -1"},
      {"face18c", 485 + 2559, "100 461 -1"},
      {"face18c", 485 + 2560, "61 462 -1"},
      {"face18c", 485 + 4278, "401 479 -1"},
      {"face18c", 4841, "0 479 -1"},

      {"eye", 0, "428 units"},
      {"eye", 1, "376 inputs"},
      {"eye", 3, "1 1 0 0"},
      {"eye", 27, "25 1 0 24"},
      {"eye", 28, "26 1 1 0"},
      {"eye", 377, "375 1 14 24"},
      {"eye", 378, "51 hiddens"},
      {"eye", 379, "376 2 0 0"},
      {"eye", 393, "390 2 2 4"},
      {"eye", 394, "391 3 0 0"},
      {"eye", 413, "410 3 3 4"},
      {"eye", 414, "411 4 0 0"},
      {"eye", 416, "413 4 2 0"},
      {"eye", 417, "414 5 0 0"},
      {"eye", 419, "416 5 2 0"},
      {"eye", 420, "417 6 0 0"},
      {"eye", 424, "421 6 0 4"},
      {"eye", 425, "422 7 0 0"},
      {"eye", 429, "426 7 0 4"},
      {"eye", 430, "1 outputs"},
      {"eye", 431, "427 8 0 0"},
      {"eye", 432, "2478 conns"},
      {"eye", 433 + 4, "5 376 -1"},
      {"eye", 433 + 5, "26 376 -1"},
      {"eye", 433 + 24, "105 376 -1"},
      {"eye", 433 + 25, "6 377 -1"},
      {"eye", 433 + 125, "126 381 -1"},
      {"eye", 433 + 374, "375 390 -1"},
      {"eye", 433 + 375, "0 376 -1"},
      {"eye", 433 + 515, "76 396 -1"},
      {"eye", 433 + 539, "180 396 -1"},
      {"eye", 433 + 765, "226 406 -1"},
      {"eye", 433 + 789, "330 406 -1"},
      {"eye", 433 + 889, "350 410 -1"},
      {"eye", 433 + 1034, "125 411 -1"},
      {"eye", 433 + 1035, "126 412 -1"},
      {"eye", 433 + 1670, "5 417 -1"},
      {"eye", 433 + 1671, "26 417 -1"},
      {"eye", 433 + 1740, "355 417 -1"},
      {"eye", 433 + 1741, "6 418 -1"},
      {"eye", 433 + 2426, "376 427 -1"},
      {"eye", 2910, "0 427 -1"},
  };
  std::map<std::string, Lines> texts;
  for (const NetFacts& net : Nets()) texts.emplace(net.name, Get(net));
  for (const auto& c : cases) {
    const Lines& lines = texts.at(c.net);
    ASSERT_LT(c.line, lines.count) << c.net << " line " << c.line;
    EXPECT_EQ(c.text, lines[c.line]) << c.net << " line " << c.line;
  }
}

TEST(NetText, LinesArePlainText) {
  for (const NetFacts& net : Nets()) {
    const Lines lines = Get(net);
    for (int i = 0; i < lines.count; ++i) {
      const std::string l = lines[i];
      ASSERT_FALSE(l.empty()) << net.name << " line " << i;
      EXPECT_NE(' ', l.front()) << net.name << " line " << i;
      EXPECT_NE(' ', l.back()) << net.name << " line " << i;
      EXPECT_EQ(std::string::npos, l.find("  ")) << net.name << " line " << i;
      EXPECT_EQ(std::string::npos, l.find_first_not_of("0123456789 -abcdefghijklmnopqrstuvwxyz"))
          << net.name << " line " << i;
    }
  }
}

TEST(NetText, EachCallHandsOutAFreshArrayOfTheSameLines) {
  for (const NetFacts& net : Nets()) {
    Lines a = Get(net);
    const Lines b = Get(net);
    ASSERT_EQ(a.count, b.count);
    EXPECT_NE(a.array.get(), b.array.get()) << net.name;
    EXPECT_EQ(0, memcmp(a.array.get(), b.array.get(), sizeof(const char*) * size_t(a.count)))
        << net.name;
    a.array.reset();  // the other array's lines stay readable
    EXPECT_EQ("0 0 0 0", b[2]) << net.name;
  }
}

struct Weights {
  std::unique_ptr<float, decltype(&free)> array{nullptr, &free};
  int32_t count = 0;
  float operator[](int i) const { return array.get()[i]; }
};

Weights GetWeights(const NetFacts& net) {
  Weights w;
  w.array.reset(net.weights(&w.count));
  return w;
}

TEST(NetWeights, AnchorValuesAreExact) {
  const struct {
    const char* net;
    int index;
    const char* value;
  } cases[] = {
      {"umec", 0, "0.2799808"},        {"umec", 1, "0.1593433"},
      {"umec", 2, "0.06375033"},       {"umec", 3, "-0.07918153"},
      {"umec", 5879, "5.927774"},      {"umec", 5880, "4.025811"},
      {"umec", 5881, "-4.223916"},     {"umec", 5882, "2.696506"},
      {"umec", 5872, "-5.070895"},     {"umec", 5875, "7.258375"},
      {"face17c", 0, "-0.057794925"},  {"face17c", 1, "-0.017143238"},
      {"face17c", 2, "-0.02656754"},   {"face17c", 3, "0.07676835"},
      {"face17c", 2901, "-1.021523"},  {"face17c", 2902, "2.203681"},
      {"face17c", 2903, "-1.753474"},  {"face17c", 2904, "-0.41874972"},
      {"face17c", 1629, "-2.998824"},  {"face17c", 2899, "2.604087"},
      {"face18c", 0, "-0.09504107"},   {"face18c", 1, "0.1025785"},
      {"face18c", 2, "0.06086016"},    {"face18c", 3, "0.01746585"},
      {"face18c", 4353, "0.94750863"}, {"face18c", 4354, "-1.118727"},
      {"face18c", 4355, "1.20247"},    {"face18c", 4356, "-0.21968892"},
      {"face18c", 1618, "-2.41539"},   {"face18c", 1620, "1.661087"},
      {"eye", 0, "0.144233"},          {"eye", 1, "-0.167727"},
      {"eye", 2, "-0.371218"},         {"eye", 3, "-0.14984"},
      {"eye", 2474, "-2.23223"},       {"eye", 2475, "-2.24813"},
      {"eye", 2476, "-1.678171"},      {"eye", 2477, "-0.267721"},
      {"eye", 897, "-3.736034"},       {"eye", 894, "3.003031"},
  };
  std::map<std::string, Weights> tables;
  for (const NetFacts& net : Nets()) tables.emplace(net.name, GetWeights(net));
  for (const auto& c : cases) {
    const Weights& w = tables.at(c.net);
    ASSERT_LT(c.index, w.count) << c.net;
    EXPECT_EQ(Bits(strtof(c.value, nullptr)), Bits(w[c.index])) << c.net << " " << c.index;
  }
}

// Every value normal, the extremes unique where listed, and the mean magnitudes by kind of
// connection (kinds taken from the built network) in their stated ranges.
TEST(NetWeights, TablesHaveTheStatedRangesAndExtremes) {
  const struct {
    const char* net;
    int min_index, max_index;
  } extremes[] = {
      {"umec", 5872, 5875}, {"face17c", 1629, 2899}, {"face18c", 1618, 1620}, {"eye", 897, 894}};
  for (size_t n = 0; n < Nets().size(); ++n) {
    const NetFacts& facts = Nets()[n];
    SCOPED_TRACE(facts.name);
    const Lines lines = Get(facts);
    NetPtr net(BuildNetworkFromLines(lines.array.get(), lines.count));
    const Weights w = GetWeights(facts);
    ASSERT_EQ(net->connCount, w.count);
    for (int i = 0; i < w.count; ++i) {
      ASSERT_TRUE(std::isnormal(w[i])) << i;  // finite, non-zero, not subnormal
      if (i != extremes[n].min_index) {
        ASSERT_GT(w[i], w[extremes[n].min_index]) << i;
      }
      if (i != extremes[n].max_index) {
        ASSERT_LT(w[i], w[extremes[n].max_index]) << i;
      }
    }
    struct Sum {
      double bias = 0, other = 0, input = 0;
      int nbias = 0, nother = 0, ninput = 0;
    };
    std::map<int, Sum> by_group;
    double to_output = 0;
    int n_to_output = 0;
    for (int i = 0; i < w.count; ++i) {
      const NetConnection& c = net->conns[i];
      const double m = std::fabs(w[i]);
      if (c.to >= net->firstOutput && c.from != 0) {
        to_output += m, ++n_to_output;
        continue;
      }
      Sum& s = by_group[net->places[c.to].group];
      if (c.from == 0) {
        s.bias += m, ++s.nbias;
      } else {
        s.other += m, ++s.nother;
        if (c.from < net->firstHidden) s.input += m, ++s.ninput;
      }
    }
    for (const auto& [group, s] : by_group) {
      if (s.ninput) {
        EXPECT_GE(s.input / s.ninput, 0.07) << "group " << group;
        EXPECT_LE(s.input / s.ninput, 0.42) << "group " << group;
      }
      if (s.nother) {
        EXPECT_GT(s.bias / s.nbias, s.other / s.nother) << "group " << group;
      }
    }
    EXPECT_GE(to_output / n_to_output, 1.0);
    EXPECT_LE(to_output / n_to_output, 5.2);
    for (int i : {extremes[n].min_index, extremes[n].max_index}) {
      const NetConnection& c = net->conns[i];
      EXPECT_TRUE(c.from == 0 || c.to >= net->firstOutput) << i << " is neither bias nor output";
    }
  }
}

TEST(NetWeights, EachCallHandsOutAFreshEqualTable) {
  for (const NetFacts& net : Nets()) {
    Weights a = GetWeights(net);
    const Weights b = GetWeights(net);
    EXPECT_EQ(net.conns, a.count) << net.name;
    ASSERT_EQ(a.count, b.count) << net.name;
    EXPECT_NE(a.array.get(), b.array.get()) << net.name;
    EXPECT_EQ(0, memcmp(a.array.get(), b.array.get(), sizeof(float) * size_t(a.count))) << net.name;
    a.array.reset();
    EXPECT_EQ(Bits(b[0]), Bits(GetWeights(net)[0])) << net.name;
  }
}

TEST(NetWeights, GroupsWithTheSameFieldsHaveTheirOwnWeights) {
  // face17c groups 2 and 3 share their fields: connections 0..399 and 404..803.
  const Weights w = GetWeights(Nets()[1]);
  EXPECT_NE(0, memcmp(w.array.get(), w.array.get() + 404, 400 * sizeof(float)));
}

}  // namespace
