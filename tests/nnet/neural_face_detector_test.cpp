// tests/nnet/neural_face_detector_test.cpp: creating and destroying detectors: the four built
// networks with their weights on the right links, the masks, the lighting-correction matrix,
// the one-time build, and many detectors built at once on several threads.
#include "nnet/neural_face_detector.h"

#include "nnet/neural_network.h"
#include "nnet/ximage.h"
#include "tests/nnet/nnet_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Detector {
  NeuralFaceDetector* d = nullptr;
  Detector() { EXPECT_EQ(&d, CreateNNFaceDetector(&d)); }
  ~Detector() { DestroyNNFaceDetector(&d); }
  NeuralFaceDetector* operator->() const { return d; }
};

TEST(NeuralFaceDetector, CreateBuildsFourNetworks) {
  const struct {
    int32_t units, inputs, hiddens, conns, groups;
  } expected[] = {{954, 901, 52, 5883, 10},
                  {454, 401, 52, 2905, 9},
                  {480, 401, 78, 4357, 12},
                  {428, 376, 51, 2478, 9}};
  Detector det;
  ASSERT_NE(nullptr, det.d);
  EXPECT_TRUE(det->initialised);
  ASSERT_EQ(4u, det->networkCount);
  for (int n = 0; n < 4; ++n) {
    const NeuralNetwork* net = det->networks[n];
    ASSERT_NE(nullptr, net) << n;
    EXPECT_EQ(expected[n].units, net->unitCount) << n;
    EXPECT_EQ(expected[n].inputs, net->inputCount) << n;
    EXPECT_EQ(expected[n].hiddens, net->hiddenCount) << n;
    EXPECT_EQ(1, net->outputCount) << n;
    EXPECT_EQ(1, net->firstInput) << n;
    EXPECT_EQ(expected[n].inputs, net->firstHidden) << n;
    EXPECT_EQ(expected[n].inputs + expected[n].hiddens, net->firstOutput) << n;
    EXPECT_EQ(expected[n].conns, net->connCount) << n;
    EXPECT_EQ(expected[n].groups, net->groupCount) << n;
  }
  ASSERT_NE(nullptr, det->faceMask);
  EXPECT_STREQ("facemask", det->faceMask->name);
  EXPECT_EQ(20, det->faceMask->width);
  EXPECT_EQ(20, det->faceMask->height);
  ASSERT_NE(nullptr, det->eyeMask);
  EXPECT_STREQ("eyemask", det->eyeMask->name);
  EXPECT_EQ(25, det->eyeMask->width);
  EXPECT_EQ(15, det->eyeMask->height);
  EXPECT_EQ(3, det->lightingMatrix.rows);
  EXPECT_EQ(3, det->lightingMatrix.cols);
  ASSERT_NE(nullptr, det->lightingMatrix.block);
  EXPECT_EQ(1, det->lightingMatrix.block->refs);
}

// Connections into each unit of a group, bias included, and connections out of each input unit
// by input row.
struct FanFacts {
  std::vector<std::pair<int, int>> fan_in;  // {group, fan-in}
  int bias_fan_out;
  int (*input_fan_out)(int row);
  int hidden_fan_out_except_umec;
};

bool In(int row, std::initializer_list<int> rows) {
  for (int r : rows) {
    if (r == row) return true;
  }
  return false;
}

TEST(NeuralFaceDetector, NetworksHaveTheirFieldsLinksAndWeights) {
  const FanFacts facts[] = {
      {{{2, 101}, {3, 101}, {4, 151}, {5, 151}, {6, 151}, {7, 151}, {8, 43}, {9, 11}},
       53,
       [](int) { return 6; },
       0},
      {{{2, 101}, {3, 101}, {4, 26}, {5, 26}, {6, 101}, {7, 101}, {8, 53}},
       53,
       [](int r) {
         return In(r, {3, 4, 6, 7, 9, 10, 12, 13, 15, 16}) ? 8 : 6;
       },
       1},
      {{{2, 101},
        {3, 101},
        {4, 101},
        {5, 26},
        {6, 26},
        {7, 26},
        {8, 101},
        {9, 101},
        {10, 101},
        {11, 79}},
       79,
       [](int r) {
         return In(r, {3, 4, 6, 7, 9, 10, 12, 13, 15, 16}) ? 12 : 9;
       },
       1},
      {{{2, 26}, {3, 26}, {4, 126}, {5, 126}, {6, 76}, {7, 76}, {8, 52}},
       52,
       [](int r) {
         return r == 14 ? 5 : In(r, {3, 4, 6, 7, 9, 10}) ? 7 : 6;
       },
       1},
  };
  Detector det;
  for (int n = 0; n < 4; ++n) {
    const NetFacts& layout = Nets()[n];
    SCOPED_TRACE(layout.name);
    const NeuralNetwork& net = *det->networks[n];

    for (const GroupLayout& g : layout.groups) {
      const UnitGroup expected{0, 0, g.cols - 1, g.rows - 1, g.rows * g.cols, g.first};
      EXPECT_EQ(GroupText(expected), GroupText(net.groups[g.group])) << "group " << g.group;
    }
    for (const auto& [group, fan_in] : facts[n].fan_in) {
      const UnitGroup& ug = net.groups[group];
      for (int u = ug.firstUnit; u < ug.firstUnit + ug.count; ++u) {
        ASSERT_EQ(fan_in, net.units[u].fanIn) << "unit " << u;
      }
    }
    for (int u = 0; u < net.firstHidden; ++u) {
      ASSERT_EQ(0, net.units[u].fanIn) << "unit " << u;
      ASSERT_EQ(nullptr, net.units[u].firstLink) << "unit " << u;
      ASSERT_EQ(5, net.units[u].kind) << "unit " << u;
    }

    std::vector<int> fan_out(size_t(net.unitCount), 0);
    for (int c = 0; c < net.connCount; ++c) ++fan_out[size_t(net.conns[c].from)];
    EXPECT_EQ(facts[n].bias_fan_out, fan_out[0]);
    for (int u = 1; u < net.firstHidden; ++u) {
      ASSERT_EQ(facts[n].input_fan_out(net.places[u].y), fan_out[size_t(u)]) << "unit " << u;
    }
    if (facts[n].hidden_fan_out_except_umec) {
      for (int u = net.firstHidden; u < net.firstOutput; ++u) ASSERT_EQ(1, fan_out[size_t(u)]) << u;
    }

    // Every link: its connection's source, inside its target's run, sources ascending with the
    // bias link last, and the table's value for that connection bit for bit.
    int32_t count = 0;
    std::unique_ptr<float, decltype(&free)> weights(layout.weights(&count), &free);
    ASSERT_EQ(net.connCount, count);
    for (int c = 0; c < net.connCount; ++c) {
      const NetConnection& conn = net.conns[c];
      const NeuralUnit& target = net.units[conn.to];
      ASSERT_EQ(&net.units[conn.from], conn.link->source) << "conn " << c;
      ASSERT_GE(conn.link, target.firstLink) << "conn " << c;
      ASSERT_LT(conn.link, target.firstLink + target.fanIn) << "conn " << c;
      ASSERT_EQ(Bits(weights.get()[c]), Bits(conn.link->weight)) << "conn " << c;
    }
    for (int u = net.firstHidden; u < net.unitCount; ++u) {
      const NeuralUnit& unit = net.units[u];
      for (int i = 0; i + 2 < unit.fanIn; ++i) {
        ASSERT_LT(unit.firstLink[i].source, unit.firstLink[i + 1].source) << "unit " << u;
      }
      ASSERT_EQ(&net.units[0], unit.firstLink[unit.fanIn - 1].source) << "unit " << u;
    }
    // Weight 0 on the first link of the first hidden unit; the last on the output's bias link.
    EXPECT_EQ(net.units[net.firstHidden].firstLink, net.conns[0].link);
    const NeuralUnit& out = net.units[net.firstOutput];
    EXPECT_EQ(out.firstLink + out.fanIn - 1, net.conns[net.connCount - 1].link);
  }
  EXPECT_EQ(Bits(2.696506f), Bits(det->networks[0]->conns[5882].link->weight));
  EXPECT_EQ(Bits(-0.057794925f), Bits(det->networks[1]->units[401].firstLink[0].weight));
}

TEST(NeuralFaceDetector, LinkRunsFollowTheConnectionOrder) {
  Detector det;
  // umec unit 943 reads groups 2 to 7 through interleaved connections 5442, 5452, ... 5852.
  const NeuralNetwork& umec = *det->networks[0];
  const NeuralUnit& u943 = umec.units[943];
  ASSERT_EQ(43, u943.fanIn);
  for (int j = 0; j < 42; ++j) EXPECT_EQ(u943.firstLink + j, umec.conns[5442 + 10 * j].link) << j;
  EXPECT_EQ(u943.firstLink + 42, umec.conns[5862].link);

  // face17c unit 440 and face18c unit 428: the last 5 x 5 tile, then the bias.
  const struct {
    int net, unit, first_conn, bias_conn;
  } tiles[] = {{1, 440, 1599, 1639}, {2, 428, 1587, 1627}};
  for (const auto& t : tiles) {
    const NeuralNetwork& net = *det->networks[t.net];
    const NeuralUnit& unit = net.units[t.unit];
    ASSERT_EQ(26, unit.fanIn) << t.unit;
    for (int i = 0; i < 25; ++i) {
      const int source = 316 + 20 * (i / 5) + i % 5;
      EXPECT_EQ(&net.units[source], unit.firstLink[i].source) << t.unit << " link " << i;
      EXPECT_EQ(unit.firstLink + i, net.conns[t.first_conn + i].link) << t.unit << " link " << i;
    }
    EXPECT_EQ(unit.firstLink + 25, net.conns[t.bias_conn].link) << t.unit;
  }
}

TEST(NeuralFaceDetector, SecondInitChangesNothing) {
  Detector det;
  NeuralNetwork* const nets[] = {det->networks[0], det->networks[1], det->networks[2],
                                 det->networks[3]};
  NeuralNetwork** const table = det->networks;
  XByteImage* const face = det->faceMask;
  XByteImage* const eye = det->eyeMask;
  MatrixData* const block = det->lightingMatrix.block;
  det->Init();
  EXPECT_EQ(table, det->networks);
  for (int n = 0; n < 4; ++n) EXPECT_EQ(nets[n], det->networks[n]) << n;
  EXPECT_EQ(face, det->faceMask);
  EXPECT_EQ(eye, det->eyeMask);
  EXPECT_EQ(block, det->lightingMatrix.block);
  EXPECT_EQ(1, block->refs);
}

TEST(NeuralFaceDetector, DestroyHandlesNullFreshAndPartlyBuiltDetectors) {
  NeuralFaceDetector* none = nullptr;
  DestroyNNFaceDetector(&none);
  EXPECT_EQ(nullptr, none);

  NeuralFaceDetector* fresh = new NeuralFaceDetector();
  EXPECT_FALSE(fresh->initialised);
  EXPECT_EQ(0u, fresh->networkCount);
  EXPECT_EQ(nullptr, fresh->networks);
  EXPECT_EQ(nullptr, fresh->faceMask);
  EXPECT_EQ(nullptr, fresh->eyeMask);
  EXPECT_EQ(nullptr, fresh->lightingMatrix.block);
  DestroyNNFaceDetector(&fresh);
  EXPECT_EQ(nullptr, fresh);

  // As a build that stopped after its second network: empty slots are skipped.
  NeuralFaceDetector* partial = new NeuralFaceDetector();
  partial->networks = new NeuralNetwork*[4]();
  partial->networkCount = 4;
  const char* const names[] = {"eye"};
  partial->networks[1] = NeuralFaceDetector::LoadNetwork(1, names);
  partial->faceMask = new XByteImage("facemask");
  DestroyNNFaceDetector(&partial);  // LeakSanitizer: everything freed
}

TEST(NeuralFaceDetector, LoadNetworkSelectsByTheFirstKeyInTheName) {
  const struct {
    const char* name;
    int32_t units;  // 0: no network of that name
  } cases[] = {{"umec", 954},        {"face17c", 454},
               {"face18c", 480},     {"eye", 428},
               {"my_eye_umec", 954}, {"face18c+eye", 480},
               {"net-eye-2", 428},   {"face", 0},
               {"Eye", 0},           {"", 0}};
  for (const auto& c : cases) {
    const char* const names[] = {c.name};
    if (!c.units) {
      EXPECT_THROW(NeuralFaceDetector::LoadNetwork(1, names), std::invalid_argument) << c.name;
      continue;
    }
    NetPtr net(NeuralFaceDetector::LoadNetwork(1, names));
    EXPECT_EQ(c.units, net->unitCount) << c.name;
    NeuralFaceDetector::LoadWeights(net.get(), 1, names);
  }
  const char* const eye[] = {"eye", "umec"};
  EXPECT_THROW(NeuralFaceDetector::LoadNetwork(2, eye), std::invalid_argument);
  EXPECT_THROW(NeuralFaceDetector::LoadNetwork(0, eye), std::invalid_argument);
  EXPECT_THROW(NeuralFaceDetector::LoadNetwork(-1, eye), std::bad_alloc);
  const char* const null_name[] = {nullptr};
  EXPECT_THROW(NeuralFaceDetector::LoadNetwork(1, null_name), std::invalid_argument);

  // A weight table longer than the network is refused and the links are left alone.
  NetPtr small(NeuralFaceDetector::LoadNetwork(1, eye));
  const char* const umec[] = {"umec"};
  EXPECT_THROW(NeuralFaceDetector::LoadWeights(small.get(), 1, umec), std::runtime_error);
  EXPECT_THROW(NeuralFaceDetector::LoadWeights(small.get(), 2, eye), std::invalid_argument);
}

// Row counts of the face mask: pixels at 255 in each row.
TEST(FaceMask, HasCutCornersAndClearedSideColumns) {
  Detector det;
  const XByteImage& mask = *det->faceMask;
  ASSERT_EQ(400, mask.size);
  const int per_row[20] = {10, 12, 14, 16, 18, 18, 18, 18, 18, 18,
                           18, 18, 18, 18, 18, 18, 16, 14, 12, 10};
  int inside = 0;
  for (int y = 0; y < 20; ++y) {
    int row = 0;
    for (int x = 0; x < 20; ++x) {
      const unsigned char p = mask.pixels[y * 20 + x];
      ASSERT_TRUE(p == 0 || p == 255) << x << ", " << y;
      row += p == 255;
      EXPECT_EQ(p, mask.pixels[y * 20 + 19 - x]) << x << ", " << y;
      EXPECT_EQ(p, mask.pixels[(19 - y) * 20 + x]) << x << ", " << y;
    }
    EXPECT_EQ(per_row[y], row) << "row " << y;
    inside += row;
  }
  EXPECT_EQ(320, inside);
  const struct {
    int x, y, value;
  } probes[] = {{0, 10, 0}, {19, 10, 0}, {5, 0, 255}, {14, 0, 255}, {4, 0, 0}, {15, 0, 0}};
  for (const auto& p : probes)
    EXPECT_EQ(p.value, mask.pixels[p.y * 20 + p.x]) << p.x << ", " << p.y;

  XByteImage again("again");
  again.Allocate(7, 3);
  NeuralFaceDetector::MakeFaceMask(&again);
  ASSERT_EQ(400, again.size);
  EXPECT_EQ(0, memcmp(mask.pixels, again.pixels, 400));

  const XByteImage& eye = *det->eyeMask;
  ASSERT_EQ(375, eye.size);
  for (int i = 0; i < 375; ++i) ASSERT_EQ(255, eye.pixels[i]) << i;
}

void ExpectRelativelyNear(double expected, double actual, const std::string& what) {
  if (expected == 0.0) {
    EXPECT_EQ(0.0, actual) << what;
  } else {
    EXPECT_NEAR(expected, actual, 1e-12 * std::fabs(expected)) << what;
  }
}

TEST(LightingMatrix, IsTheInverseOfTheFaceMasksNormalMatrix) {
  Detector det;
  Matrix& m = det->lightingMatrix;
  const double expected[3][3] = {{1.0 / 7400, 0, 1.0 / 14800},
                                 {0, 1.0 / 9040, 1.0 / 18080},
                                 {1.0 / 14800, 1.0 / 18080, 5329.0 / 1672400}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      ExpectRelativelyNear(expected[r][c], m(r, c), std::to_string(r) + "," + std::to_string(c));
    }
  }
  EXPECT_NEAR(3.1864387e-3, m(2, 2), 1e-10);
  // Inverting again gives back the sums over the mask.
  Matrix sums = Matrix::Invert(m, nullptr);
  const double expected_sums[3][3] = {{7480, 80, -160}, {80, 9120, -160}, {-160, -160, 320}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(expected_sums[r][c], sums(r, c), 1e-8) << r << "," << c;
  }
  EXPECT_EQ(1, m.block->refs);
}

TEST(LightingMatrix, OddSizedMaskCentresByTruncatingDivision) {
  for (unsigned char value : {255, 1}) {
    NeuralFaceDetector det;
    det.faceMask = new XByteImage("odd");
    det.faceMask->Allocate(25, 15);
    memset(det.faceMask->pixels, value, 375);
    det.ComputeLightingMatrix();
    Matrix& m = det.lightingMatrix;
    const double diagonal[3] = {1.0 / 19500, 1.0 / 7000, 1.0 / 375};
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) {
        ExpectRelativelyNear(
            r == c ? diagonal[r] : 0.0, m(r, c),
            std::to_string(value) + " at " + std::to_string(r) + "," + std::to_string(c));
      }
    }
  }
}

// Everything a detector holds, compared bit for bit; link pointers as offsets in their arrays.
void ExpectSameDetector(NeuralFaceDetector& a, NeuralFaceDetector& b) {
  ASSERT_TRUE(b.initialised);
  ASSERT_EQ(a.networkCount, b.networkCount);
  for (uint32_t n = 0; n < a.networkCount; ++n) {
    const NeuralNetwork& x = *a.networks[n];
    const NeuralNetwork& y = *b.networks[n];
    ASSERT_EQ(0, memcmp(&x, &y, offsetof(NeuralNetwork, places))) << n;
    ASSERT_EQ(0, memcmp(x.places, y.places, sizeof(UnitPlace) * size_t(x.unitCount))) << n;
    ASSERT_EQ(0, memcmp(x.groups, y.groups, sizeof(UnitGroup) * size_t(x.groupCount))) << n;
    for (int u = 0; u < x.unitCount; ++u) {
      ASSERT_EQ(x.units[u].fanIn, y.units[u].fanIn) << n << " unit " << u;
      ASSERT_EQ(x.units[u].firstLink ? x.units[u].firstLink - x.links : -1,
                y.units[u].firstLink ? y.units[u].firstLink - y.links : -1)
          << n << " unit " << u;
    }
    for (int c = 0; c < x.connCount; ++c) {
      ASSERT_EQ(x.conns[c].link - x.links, y.conns[c].link - y.links) << n << " conn " << c;
      ASSERT_EQ(x.links[c].source - x.units, y.links[c].source - y.units) << n << " link " << c;
      ASSERT_EQ(Bits(x.links[c].weight), Bits(y.links[c].weight)) << n << " link " << c;
    }
  }
  ASSERT_EQ(0, memcmp(a.faceMask->pixels, b.faceMask->pixels, 400));
  ASSERT_EQ(0, memcmp(a.eyeMask->pixels, b.eyeMask->pixels, 375));
  ASSERT_EQ(0, memcmp(a.lightingMatrix.block->values, b.lightingMatrix.block->values,
                      9 * sizeof(double)));
}

TEST(NeuralFaceDetector, ManyThreadsBuildAndFreeDetectorsAtOnce) {
  Detector alone;
  constexpr int kThreads = 8;
  std::vector<NeuralFaceDetector*> built(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&built, t] {
      NeuralFaceDetector* extra = nullptr;  // frees interleave with the others' builds
      CreateNNFaceDetector(&extra);
      CreateNNFaceDetector(&built[size_t(t)]);
      DestroyNNFaceDetector(&extra);
    });
  }
  for (std::thread& t : threads) t.join();
  threads.clear();
  for (NeuralFaceDetector* d : built) {
    ASSERT_NE(nullptr, d);
    ExpectSameDetector(*alone.d, *d);
  }
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&built, t] { DestroyNNFaceDetector(&built[size_t(t)]); });
  }
  for (std::thread& t : threads) t.join();
}

}  // namespace
