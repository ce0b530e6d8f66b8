// nnet/network_builder.cpp: parses a network description line by line with sscanf and lays the
// links out by target in two passes (count, then place). Every count, unit number and group
// number is checked against the description's own counts before it indexes an array.
#include "nnet/neural_network.h"

#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& detail) {
  throw std::runtime_error("BuildNetworkFromLines() Error! " + detail);
}

// Hands out the description's lines in sequence, never past the reported line count.
class LineCursor {
 public:
  LineCursor(const char* const* lines, int32_t line_count)
      : lines_(lines), count_(line_count < 0 ? 0 : line_count) {}

  const char* Next(const char* expected) {
    if (next_ >= count_) {
      Fail("description of " + std::to_string(count_) + " lines ends before " + expected);
    }
    const char* line = lines_[next_];
    if (!line) Fail("line " + std::to_string(next_) + " is null");
    ++next_;
    return line;
  }
  // Lines not yet read.
  int64_t Left() const { return count_ - next_; }

 private:
  const char* const* lines_;
  int32_t count_;
  int32_t next_ = 0;
};

int32_t ScanCount(LineCursor& cursor, const char* format, const char* what) {
  int32_t value = 0;  // a line without a number reads as 0
  sscanf(cursor.Next(what), format, &value);
  return value;
}

// A count of lines that must still follow: not negative and not more than the lines left.
void CheckFollowingLines(const LineCursor& cursor, int64_t count, const char* what) {
  if (count < 0) Fail(std::string("negative ") + what + " count " + std::to_string(count));
  if (count > cursor.Left()) {
    Fail(std::to_string(count) + " " + what + " announced but only " +
         std::to_string(cursor.Left()) + " lines left");
  }
}

struct NetworkDeleter {
  void operator()(NeuralNetwork* net) const {
    FreeNetworkArrays(net);
    delete net;
  }
};

}  // namespace

NeuralNetwork* BuildNetworkFromLines(const char* const* lines, int32_t line_count) {
  LineCursor cursor(lines, line_count);
  const int32_t n = ScanCount(cursor, "%d units", "the unit count");
  const int32_t m = ScanCount(cursor, "%d inputs", "the input count");
  if (n < 0) throw std::bad_array_new_length();
  CheckFollowingLines(cursor, n, "units");
  if (m < 0 || m > n) Fail(std::to_string(m) + " inputs for " + std::to_string(n) + " units");

  std::vector<UnitPlace> place(static_cast<size_t>(n), UnitPlace{0, 0, 0});
  int32_t max_group = 0;
  auto read_units = [&](int32_t first, int32_t count) {
    for (int32_t u = first; u < first + count; ++u) {
      UnitPlace& p = place[static_cast<size_t>(u)];
      sscanf(cursor.Next("a unit line"), "%*d %d %d %d\n", &p.group, &p.y, &p.x);
      if (p.group < 0 || p.group > n || p.x < 0 || p.y < 0) {
        Fail("unit " + std::to_string(u) + " has group " + std::to_string(p.group) + " at (" +
             std::to_string(p.x) + ", " + std::to_string(p.y) + ")");
      }
      if (p.group > max_group) max_group = p.group;
    }
  };
  read_units(0, m);
  const int32_t h = ScanCount(cursor, "\n%d hiddens\n", "the hidden count");
  if (h < 0 || int64_t{m} + h > n) Fail(std::to_string(h) + " hiddens do not fit the units");
  read_units(m, h);
  const int32_t o = ScanCount(cursor, "\n%d outputs\n", "the output count");
  if (int64_t{m} + h + o != n) {
    Fail(std::to_string(m) + " + " + std::to_string(h) + " + " + std::to_string(o) +
         " units do not add up to " + std::to_string(n));
  }
  read_units(m + h, o);
  const int32_t c = ScanCount(cursor, "\n%d conns\n", "the connection count");
  if (c < 0) throw std::bad_array_new_length();
  CheckFollowingLines(cursor, c, "connections");

  std::unique_ptr<NeuralNetwork, NetworkDeleter> net(new NeuralNetwork());
  net->unitCount = n;
  net->inputCount = m;
  net->hiddenCount = h;
  net->outputCount = o;
  net->firstInput = 1;
  net->firstHidden = m;
  net->firstOutput = m + h;
  net->connCount = c;
  net->groupCount = max_group + 1;
  net->places = new UnitPlace[n];
  net->groups = new UnitGroup[net->groupCount];
  net->units = new NeuralUnit[n];
  net->conns = new NetConnection[c];
  net->links = new NeuralLink[c];

  for (int32_t g = 0; g < net->groupCount; ++g) net->groups[g] = UnitGroup{-1, -1, -1, -1, 0, -1};
  for (int32_t u = 0; u < n; ++u) {
    const UnitPlace& p = place[static_cast<size_t>(u)];
    net->units[u] = NeuralUnit{1.0f, 0, (u == 0 || u < m) ? 5 : 0, nullptr};
    net->places[u] = p;
    UnitGroup& g = net->groups[p.group];
    if (g.minX == -1 || g.minX > p.x) g.minX = p.x;
    if (g.minY == -1 || g.minY > p.y) g.minY = p.y;
    if (g.maxX == -1 || g.maxX < p.x) g.maxX = p.x;
    if (g.maxY == -1 || g.maxY < p.y) g.maxY = p.y;
    ++g.count;
    if (g.firstUnit == -1) g.firstUnit = u;
  }

  for (int32_t i = 0; i < c; ++i) {
    int32_t from = 0, to = 0;
    sscanf(cursor.Next("a connection line"), "%d %d -1\n", &from, &to);
    if (from < 0 || from >= n || to < 0 || to >= n) {
      Fail("connection " + std::to_string(i) + " joins " + std::to_string(from) + " to " +
           std::to_string(to) + " outside 0.." + std::to_string(n - 1));
    }
    ++net->units[to].fanIn;
    net->conns[i] = NetConnection{nullptr, from, to};
  }

  // Counting pass: each unit's run starts where the previous one ended; fanIn restarts at 0 and
  // serves as the fill position of the placing pass, which leaves it at its count again.
  NeuralLink* next = net->links;
  for (int32_t u = 0; u < n; ++u) {
    NeuralUnit& unit = net->units[u];
    unit.firstLink = unit.fanIn > 0 ? next : nullptr;
    next += unit.fanIn;
    unit.fanIn = 0;
  }
  for (int32_t i = 0; i < c; ++i) {
    NetConnection& conn = net->conns[i];
    NeuralUnit& target = net->units[conn.to];
    NeuralLink* link = target.firstLink + target.fanIn++;
    *link = NeuralLink{0.0f, &net->units[conn.from]};
    conn.link = link;
  }
  return net.release();
}

void AttachWeights(NeuralNetwork* net, const float* weights, int32_t count) {
  if (count < 0 || count > net->connCount) {
    throw std::runtime_error("AttachWeights() Error! " + std::to_string(count) + " weights for " +
                             std::to_string(net->connCount) + " connections");
  }
  for (int32_t i = 0; i < count; ++i) net->conns[i].link->weight = weights[i];
}

void FreeNetworkArrays(NeuralNetwork* net) {
  delete[] net->units;
  delete[] net->conns;
  delete[] net->links;
  delete[] net->places;
  delete[] net->groups;
  delete[] net->reservedBuffer1;
  delete[] net->reservedBuffer2;
  delete[] net->reservedBuffer3;
  net->units = nullptr;
  net->conns = nullptr;
  net->links = nullptr;
  net->places = nullptr;
  net->groups = nullptr;
  net->reservedBuffer1 = net->reservedBuffer2 = net->reservedBuffer3 = nullptr;
}
