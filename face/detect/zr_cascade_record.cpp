// face/detect/zr_cascade_record.cpp: reading, checking and rendering the LBP cascade record. Counts
// come from model files: each is checked against the bytes left before its table grows, and tables
// grow element by element with a capped reserve, so a stream of unknown length cannot make the
// reader allocate more than it reads. The rendered text is what the library's cascade reader
// parses; its stage thresholds are chosen so that the library's "- 1e-5f" gives the record's.
#include "face/detect/zr_cascade_record.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/zr_record_io.h"

namespace {

constexpr int32_t kLbpCategories = 256;
constexpr int32_t kSubsetWords = (kLbpCategories + 31) / 32;
constexpr int32_t kMaxWindow = 4096;     // no LBP cascade comes near this
constexpr size_t kReserveCap = 1 << 16;  // elements reserved before their bytes are seen

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

// Reads the count of a table whose elements take element_bytes each; false with the reason
// when it is short, negative or larger than the stream can hold.
bool ReadCount(FILE* f, const char* table, uint32_t element_bytes, int32_t& count,
               std::string* error) {
  if (!ZR_ReadValue(f, count)) {
    SetError(error,
             std::string("ReadCascadeRecord() Error! short read at the ") + table + " count\n");
    return false;
  }
  if (count < 0 || !ZR_RecordFits(f, uint64_t(count), element_bytes)) {
    SetError(error, "ReadCascadeRecord() Error! " + std::string(table) + " count " +
                        std::to_string(count) + " exceeds the " + std::to_string(ZR_BytesLeft(f)) +
                        " bytes left\n");
    return false;
  }
  return true;
}

// Reads a counted table with read_one(f, element); false at the first short element.
template <class T, class ReadOne>
bool ReadTable(FILE* f, const char* table, uint32_t element_bytes, std::vector<T>& out,
               std::string* error, ReadOne read_one) {
  int32_t count;
  if (!ReadCount(f, table, element_bytes, count, error)) return false;
  out.clear();
  out.reserve(std::min<size_t>(size_t(count), kReserveCap));
  for (int32_t i = 0; i < count; ++i) {
    T element;
    if (!read_one(f, element)) {
      SetError(error,
               std::string("ReadCascadeRecord() Error! short read in the ") + table + " table\n");
      return false;
    }
    out.push_back(element);
  }
  return true;
}

bool Fail(std::string* error, const std::string& what) {
  SetError(error, "CheckCascadeRecord() Error! " + what + "\n");
  return false;
}

void AppendFloat(std::string& s, float v) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  s.append(buffer, result.ptr);
}

void AppendInt(std::string& s, int64_t v) {
  s += std::to_string(v);
}

// The text value c whose library reading (float)c - 1e-5f is exactly r (or the closest there is).
float TextThreshold(float r) {
  float c = r + 1e-5f;
  float best = c;
  float best_gap = std::fabs((c - 1e-5f) - r);
  for (int i = 0; i < 64 && best_gap != 0; ++i) {
    const float got = c - 1e-5f;
    if (got == r) return c;
    c = std::nextafter(c, got < r ? INFINITY : -INFINITY);
    const float gap = std::fabs((c - 1e-5f) - r);
    if (gap < best_gap) {
      best_gap = gap;
      best = c;
    }
  }
  return best;
}

}  // namespace

FILE* ReadCascadeRecord(FILE* f, zr_cascade_record& r, std::string* error) {
  r = zr_cascade_record();
  if (!ZR_ReadValue(f, r.version) || !ZR_ReadValue(f, r.stump_based) ||
      !ZR_ReadValue(f, r.stage_type) || !ZR_ReadValue(f, r.feature_type) ||
      !ZR_ReadValue(f, r.categories) || !ZR_ReadValue(f, r.window_height) ||
      !ZR_ReadValue(f, r.window_width)) {
    SetError(error, "ReadCascadeRecord() Error! short read in the head\n");
    return nullptr;
  }
  auto read_stage = [](FILE* s, zr_cascade_stage& e) {
    return ZR_ReadValue(s, e.first) && ZR_ReadValue(s, e.count) && ZR_ReadValue(s, e.threshold);
  };
  auto read_node = [](FILE* s, zr_cascade_node& e) {
    return ZR_ReadValue(s, e.feature) && ZR_ReadValue(s, e.left) && ZR_ReadValue(s, e.right) &&
           ZR_ReadValue(s, e.threshold);
  };
  auto read_int = [](FILE* s, int32_t& e) { return ZR_ReadValue(s, e); };
  auto read_float = [](FILE* s, float& e) { return ZR_ReadValue(s, e); };
  if (!ReadTable(f, "stage", 12, r.stages, error, read_stage) ||
      !ReadTable(f, "tree", 4, r.trees, error, read_int) ||
      !ReadTable(f, "node", 16, r.nodes, error, read_node) ||
      !ReadTable(f, "leaf", 4, r.leaves, error, read_float) ||
      !ReadTable(f, "subset", 4, r.subsets, error, read_int))
    return nullptr;
  int32_t feature_count;
  if (!ZR_ReadValue(f, feature_count)) {
    SetError(error, "ReadCascadeRecord() Error! short read at the feature count\n");
    return nullptr;
  }
  if (!ZR_ReadValue(f, r.eval_width) || !ZR_ReadValue(f, r.eval_height) ||
      !ZR_ReadValue(f, r.eval_offset) || !ZR_ReadValues(f, r.norm_rect, 4)) {
    SetError(error, "ReadCascadeRecord() Error! short read in the evaluator words\n");
    return nullptr;
  }
  if (feature_count < 0 || !ZR_RecordFits(f, uint64_t(feature_count), 16)) {
    SetError(error, "ReadCascadeRecord() Error! feature count " + std::to_string(feature_count) +
                        " exceeds the " + std::to_string(ZR_BytesLeft(f)) + " bytes left\n");
    return nullptr;
  }
  r.features.reserve(std::min<size_t>(size_t(feature_count), kReserveCap));
  for (int32_t i = 0; i < feature_count; ++i) {
    zr_cascade_feature e;
    if (!ZR_ReadValue(f, e.x) || !ZR_ReadValue(f, e.y) || !ZR_ReadValue(f, e.block_w) ||
        !ZR_ReadValue(f, e.block_h)) {
      SetError(error, "ReadCascadeRecord() Error! short read in the feature table\n");
      return nullptr;
    }
    r.features.push_back(e);
  }
  if (!CheckCascadeRecord(r, error)) return nullptr;
  return f;
}

bool CheckCascadeRecord(const zr_cascade_record& r, std::string* error) {
  if (r.stage_type != 0) return Fail(error, "stage type " + std::to_string(r.stage_type));
  if (r.feature_type != 1) return Fail(error, "feature type " + std::to_string(r.feature_type));
  if (r.categories != kLbpCategories)
    return Fail(error, "category count " + std::to_string(r.categories));
  if (r.window_width <= 0 || r.window_height <= 0 || r.window_width > kMaxWindow ||
      r.window_height > kMaxWindow)
    return Fail(error, "window " + std::to_string(r.window_width) + " x " +
                           std::to_string(r.window_height));
  int64_t node_sum = 0;
  for (int32_t n : r.trees) {
    if (n < 1) return Fail(error, "tree with " + std::to_string(n) + " nodes");
    node_sum += n;
  }
  if (int64_t(r.nodes.size()) != node_sum)
    return Fail(error, std::to_string(r.nodes.size()) + " nodes for trees holding " +
                           std::to_string(node_sum));
  if (int64_t(r.leaves.size()) != node_sum + int64_t(r.trees.size()))
    return Fail(error, std::to_string(r.leaves.size()) + " leaves for " +
                           std::to_string(node_sum + int64_t(r.trees.size())));
  if (int64_t(r.subsets.size()) != node_sum * kSubsetWords)
    return Fail(error, std::to_string(r.subsets.size()) + " subset words for " +
                           std::to_string(node_sum) + " nodes");
  for (size_t s = 0; s < r.stages.size(); ++s) {
    const zr_cascade_stage& st = r.stages[s];
    if (st.first < 0 || st.count < 1 || int64_t(st.first) + st.count > int64_t(r.trees.size()))
      return Fail(error, "stage " + std::to_string(s) + " trees " + std::to_string(st.first) +
                             " + " + std::to_string(st.count) + " outside the " +
                             std::to_string(r.trees.size()) + " trees");
    if (!std::isfinite(st.threshold))
      return Fail(error, "stage " + std::to_string(s) + " threshold not finite");
  }
  const int64_t features = int64_t(r.features.size());
  size_t node = 0;
  for (size_t t = 0; t < r.trees.size(); ++t) {
    const int32_t count = r.trees[t];
    for (int32_t k = 0; k < count; ++k, ++node) {
      const zr_cascade_node& n = r.nodes[node];
      if (n.feature < 0 || n.feature >= features)
        return Fail(error, "node " + std::to_string(node) + " feature " +
                               std::to_string(n.feature) + " of " + std::to_string(features));
      for (int32_t c : {n.left, n.right}) {
        // A positive child lies after its parent (no cycles); a leaf index is within the tree.
        if ((c > 0 && (c <= k || c >= count)) || (c <= 0 && int64_t(-int64_t(c)) > count))
          return Fail(error, "tree " + std::to_string(t) + " node " + std::to_string(k) +
                                 " child " + std::to_string(c));
      }
    }
  }
  for (float v : r.leaves)
    if (!std::isfinite(v)) return Fail(error, "leaf value not finite");
  for (int64_t i = 0; i < features; ++i) {
    const zr_cascade_feature& e = r.features[size_t(i)];
    if (e.x < 0 || e.y < 0 || e.block_w <= 0 || e.block_h <= 0 ||
        int64_t(e.x) + 3 * int64_t(e.block_w) > r.window_width ||
        int64_t(e.y) + 3 * int64_t(e.block_h) > r.window_height)
      return Fail(error, "feature " + std::to_string(i) + " (" + std::to_string(e.x) + ", " +
                             std::to_string(e.y) + ", " + std::to_string(e.block_w) + ", " +
                             std::to_string(e.block_h) + ") outside the window");
  }
  return true;
}

std::string CascadeRecordText(const zr_cascade_record& r) {
  // Node and leaf offsets of each tree, from running sums over the tree table.
  std::vector<size_t> node_at(r.trees.size() + 1, 0);
  for (size_t t = 0; t < r.trees.size(); ++t) node_at[t + 1] = node_at[t] + size_t(r.trees[t]);
  std::string s;
  s.reserve(64 * r.nodes.size() + 1024);
  s += "%YAML:1.0\n---\ncascade:\n  stageType: BOOST\n  featureType: LBP\n  height: ";
  AppendInt(s, r.window_height);
  s += "\n  width: ";
  AppendInt(s, r.window_width);
  s += "\n  featureParams:\n    maxCatCount: ";
  AppendInt(s, r.categories);
  s += "\n  stages:\n";
  for (const zr_cascade_stage& st : r.stages) {
    s += "    - stageThreshold: ";
    AppendFloat(s, TextThreshold(st.threshold));
    s += "\n      weakClassifiers:\n";
    for (int32_t t = st.first; t < st.first + st.count; ++t) {
      const size_t n0 = node_at[size_t(t)];
      const size_t count = size_t(r.trees[size_t(t)]);
      const size_t l0 = n0 + size_t(t);  // leaves before tree t: nodes before it + t
      s += "        - internalNodes: [";
      for (size_t k = 0; k < count; ++k) {
        const zr_cascade_node& n = r.nodes[n0 + k];
        if (k) s += ", ";
        if (count == 1) {
          s += "0, -1, ";  // the library's stump convention: in subset -> leaf 0
        } else {
          AppendInt(s, n.left);
          s += ", ";
          AppendInt(s, n.right);
          s += ", ";
        }
        AppendInt(s, n.feature);
        for (int32_t w = 0; w < kSubsetWords; ++w) {
          s += ", ";
          AppendInt(s, r.subsets[(n0 + k) * kSubsetWords + size_t(w)]);
        }
      }
      s += "]\n          leafValues: [";
      if (count == 1) {
        const zr_cascade_node& n = r.nodes[n0];
        AppendFloat(s, r.leaves[l0 + size_t(-n.left)]);
        s += ", ";
        AppendFloat(s, r.leaves[l0 + size_t(-n.right)]);
      } else {
        for (size_t k = 0; k <= count; ++k) {
          if (k) s += ", ";
          AppendFloat(s, r.leaves[l0 + k]);
        }
      }
      s += "]\n";
    }
  }
  s += "  features:\n";
  for (const zr_cascade_feature& e : r.features) {
    s += "    - rect: [";
    AppendInt(s, e.x);
    s += ", ";
    AppendInt(s, e.y);
    s += ", ";
    AppendInt(s, e.block_w);
    s += ", ";
    AppendInt(s, e.block_h);
    s += "]\n";
  }
  return s;
}
