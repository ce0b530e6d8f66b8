// face/regression/zr_tree.cpp: tree nodes, deep copies, the full and compact tree records and
// prediction. Nodes are read in pre-order by recursion whose depth is bounded, so a corrupt record
// fails instead of overflowing the stack; leaf vectors must start at index 0, where prediction
// indexes them.
#include "face/regression/zr_tree.h"

#include <cmath>
#include <cstring>

#include "core/zr_array.h"
#include "core/zr_record_io.h"
#include "core/zr_zero_based.h"

namespace {

constexpr float kFloatMax = 3.4028235e38f;

// A vector record whose range must start at 0 (an empty one is given the range 0..-1).
bool ReadVector(FILE* f, ZR_Vector& v) {
  return zr_element_record<ZR_Vector>::ReadOne(f, v);
}

// A compact leaf element: (range / 255) * byte + min.
float Decode(uint8_t byte, float min, float range) {
  return range / 255.0f * static_cast<float>(byte) + min;
}

// True when the node's leaf value is exactly what its stored compact bytes decode to.
bool StillDecodes(const ZR_TreeNode& node) {
  const ZR_Array<uint8_t>* bytes = node.m_compact_bytes;
  const ZR_Vector* v = node.m_leaf_value;
  if (bytes == nullptr || v == nullptr || bytes->m_count != v->m_count) return false;
  for (uint32_t i = 0; i < v->m_count; ++i) {
    const float d = Decode(bytes->Block()[i], node.m_compact_min, node.m_compact_range);
    if (std::memcmp(&d, &v->m_data[i], sizeof d) != 0) return false;
  }
  return true;
}

// Reads one full-form node and its subtrees; split nodes below kMaxDepth levels fail.
bool ReadFullNode(FILE* f, ZR_TreeNode& node, int depth) {
  if (!ZR_ReadValue(f, node.m_leaf) || !ZR_ReadValue(f, node.m_value)) return false;
  if (node.m_leaf != 0) {
    node.m_leaf_value = new ZR_Vector;
    return ReadVector(f, *node.m_leaf_value);
  }
  if (!ZR_ReadValue(f, node.m_threshold) || !ZR_ReadValue(f, node.m_feature)) return false;
  if (depth >= ZR_Tree::kMaxDepth) return false;
  node.m_left = new ZR_TreeNode;
  if (!ReadFullNode(f, *node.m_left, depth + 1)) return false;
  node.m_right = new ZR_TreeNode;
  return ReadFullNode(f, *node.m_right, depth + 1);
}

// A node missing from a hand-built tree is written as a leaf with an empty value.
bool WriteFullNode(FILE* f, const ZR_TreeNode* node) {
  static const ZR_TreeNode kEmptyLeaf = [] {
    ZR_TreeNode n;
    n.m_leaf = 1;
    return n;
  }();
  if (node == nullptr) node = &kEmptyLeaf;
  if (!ZR_WriteValue(f, node->m_leaf) || !ZR_WriteValue(f, node->m_value)) return false;
  if (node->m_leaf != 0) {
    static const ZR_Vector kEmpty;
    const ZR_Vector& v = node->m_leaf_value != nullptr ? *node->m_leaf_value : kEmpty;
    return v.Write(f) != nullptr;
  }
  return ZR_WriteValue(f, node->m_threshold) && ZR_WriteValue(f, node->m_feature) &&
         WriteFullNode(f, node->m_left) && WriteFullNode(f, node->m_right);
}

bool ReadCompactNode(FILE* f, ZR_TreeNode& node, int depth) {
  uint8_t leaf, value;
  if (!ZR_ReadValue(f, leaf) || !ZR_ReadValue(f, value)) return false;
  node.m_leaf = leaf != 0 ? 1 : 0;
  node.m_value = value;
  if (node.m_leaf != 0) {
    float min, range;
    ZR_Array<uint8_t> bytes;
    if (!ZR_ReadValue(f, min) || !ZR_ReadValue(f, range) || bytes.Read(f) == nullptr) return false;
    if (!ZR_IsZeroBased(bytes)) return false;
    node.m_leaf_value = new ZR_Vector;
    ZR_Vector& v = *node.m_leaf_value;
    v.Resize(static_cast<int32_t>(bytes.m_count));
    for (uint32_t i = 0; i < bytes.m_count; ++i) v.m_data[i] = Decode(bytes.m_data[i], min, range);
    node.m_compact_min = min;
    node.m_compact_range = range;
    node.m_compact_bytes = new ZR_Array<uint8_t>(bytes);
    return true;
  }
  if (!ZR_ReadValue(f, node.m_threshold) || !ZR_ReadValue(f, node.m_feature)) return false;
  if (depth >= ZR_Tree::kMaxDepth) return false;
  node.m_left = new ZR_TreeNode;
  if (!ReadCompactNode(f, *node.m_left, depth + 1)) return false;
  node.m_right = new ZR_TreeNode;
  return ReadCompactNode(f, *node.m_right, depth + 1);
}

// trunc((v - min) * 255 / range) kept to its low 8 bits; values that are not finite give 0.
uint8_t Quantise(float v, float min, float range) {
  if (range == 0.0f) return 0;
  const float q = (v - min) * 255.0f / range;
  if (!(std::fabs(q) < 2147483648.0f)) return 0;
  return static_cast<uint8_t>(static_cast<uint32_t>(static_cast<int32_t>(q)) & 0xffu);
}

bool WriteCompactLeaf(FILE* f, const ZR_TreeNode* node) {
  if (node != nullptr && StillDecodes(*node))
    return ZR_WriteValue(f, node->m_compact_min) && ZR_WriteValue(f, node->m_compact_range) &&
           node->m_compact_bytes->Write(f) != nullptr;
  const ZR_Vector* value = node != nullptr ? node->m_leaf_value : nullptr;
  float min = kFloatMax, max = -kFloatMax;
  const uint32_t n = value != nullptr ? value->m_count : 0;
  const float* v = value != nullptr ? value->Block() : nullptr;
  for (uint32_t i = 0; i < n; ++i) {
    if (v[i] < min) min = v[i];
    if (v[i] > max) max = v[i];
  }
  const float range = max - min;
  ZR_Array<uint8_t> bytes;
  bytes.Resize(static_cast<int32_t>(n));
  for (uint32_t i = 0; i < n; ++i) bytes.m_data[i] = Quantise(v[i], min, range);
  return ZR_WriteValue(f, min) && ZR_WriteValue(f, range) && bytes.Write(f) != nullptr;
}

bool WriteCompactNode(FILE* f, const ZR_TreeNode* node) {
  const bool leaf = node == nullptr || node->m_leaf != 0;
  const uint8_t flag = leaf ? 1 : 0;
  const uint8_t value = node != nullptr ? static_cast<uint8_t>(node->m_value & 0xff) : 0;
  if (!ZR_WriteValue(f, flag) || !ZR_WriteValue(f, value)) return false;
  if (leaf) return WriteCompactLeaf(f, node);
  return ZR_WriteValue(f, node->m_threshold) && ZR_WriteValue(f, node->m_feature) &&
         WriteCompactNode(f, node->m_left) && WriteCompactNode(f, node->m_right);
}

}  // namespace

ZR_TreeNode::ZR_TreeNode()
    : m_leaf(0),
      m_value(0),
      m_threshold(0.0f),
      m_feature(0),
      m_left(nullptr),
      m_right(nullptr),
      m_leaf_value(nullptr),
      m_compact_min(0.0f),
      m_compact_range(0.0f),
      m_compact_bytes(nullptr) {}

ZR_TreeNode::ZR_TreeNode(const ZR_TreeNode& other) : ZR_TreeNode() {
  *this = other;
}

ZR_TreeNode& ZR_TreeNode::operator=(const ZR_TreeNode& other) {
  if (this == &other) return *this;
  FreeChildren();
  m_leaf = other.m_leaf;
  m_value = other.m_value;
  m_threshold = other.m_threshold;
  m_feature = other.m_feature;
  if (other.m_left != nullptr) m_left = new ZR_TreeNode(*other.m_left);
  if (other.m_right != nullptr) m_right = new ZR_TreeNode(*other.m_right);
  if (other.m_leaf_value != nullptr) m_leaf_value = new ZR_Vector(*other.m_leaf_value);
  m_compact_min = other.m_compact_min;
  m_compact_range = other.m_compact_range;
  if (other.m_compact_bytes != nullptr)
    m_compact_bytes = new ZR_Array<uint8_t>(*other.m_compact_bytes);
  return *this;
}

ZR_TreeNode::~ZR_TreeNode() {
  FreeChildren();
}

void ZR_TreeNode::FreeChildren() {
  delete m_left;
  delete m_right;
  delete m_leaf_value;
  delete m_compact_bytes;
  m_left = m_right = nullptr;
  m_leaf_value = nullptr;
  m_compact_bytes = nullptr;
}

ZR_Tree::ZR_Tree() : m_params{0, 0, 0, 0, 0, 0}, m_extra(0), m_denormalise(0) {}

ZR_Tree::ZR_Tree(const ZR_Tree& other) : ZR_Tree() {
  *this = other;
}

ZR_Tree& ZR_Tree::operator=(const ZR_Tree& other) {
  if (this == &other) return *this;
  for (int i = 0; i < 6; ++i) m_params[i] = other.m_params[i];
  m_root = other.m_root;
  m_extra = other.m_extra;
  m_denormalise = other.m_denormalise;
  m_offset = other.m_offset;
  m_scale = other.m_scale;
  return *this;
}

void ZR_Tree::Clear() {
  m_root = ZR_TreeNode();
  for (int32_t& p : m_params) p = 0;
  m_extra = 0;
}

FILE* ZR_Tree::ReadHeader(FILE* f) {
  Clear();
  int32_t version;
  if (!ZR_ReadValue(f, version) || !ZR_ReadValues(f, m_params, 6) || !ZR_ReadValue(f, m_extra) ||
      !ZR_ReadValue(f, m_denormalise) || !ReadVector(f, m_offset) || !ReadVector(f, m_scale))
    return nullptr;
  return f;
}

FILE* ZR_Tree::WriteHeader(FILE* f) const {
  const int32_t version = 1;
  if (!ZR_WriteValue(f, version) || !ZR_WriteValues(f, m_params, 6) || !ZR_WriteValue(f, m_extra) ||
      !ZR_WriteValue(f, m_denormalise) || m_offset.Write(f) == nullptr ||
      m_scale.Write(f) == nullptr)
    return nullptr;
  return f;
}

FILE* ZR_Tree::Read(FILE* f) {
  if (ReadHeader(f) == nullptr || !ReadFullNode(f, m_root, 0)) return nullptr;
  return f;
}

FILE* ZR_Tree::Write(FILE* f) const {
  if (WriteHeader(f) == nullptr || !WriteFullNode(f, &m_root)) return nullptr;
  return f;
}

FILE* ZR_Tree::ReadCompact(FILE* f) {
  if (ReadHeader(f) == nullptr || !ReadCompactNode(f, m_root, 0)) return nullptr;
  return f;
}

FILE* ZR_Tree::WriteCompact(FILE* f) const {
  if (WriteHeader(f) == nullptr || !WriteCompactNode(f, &m_root)) return nullptr;
  return f;
}

ZR_Vector ZR_Tree::Predict(const ZR_Vector& f) const {
  const ZR_TreeNode* node = &m_root;
  // Each node owns its children, so the walk cannot loop; it ends at a leaf or a missing child.
  while (node != nullptr && node->m_leaf == 0) {
    const int32_t i = node->m_feature;
    const bool left = i >= 0 && uint32_t(i) < f.m_count && node->m_threshold > f.m_data[i];
    node = left ? node->m_left : node->m_right;
  }
  ZR_Vector out;
  if (node == nullptr || node->m_leaf_value == nullptr) return out;
  out = *node->m_leaf_value;
  if (m_denormalise != 0) {
    const uint32_t ns = out.m_count < m_scale.m_count ? out.m_count : m_scale.m_count;
    for (uint32_t k = 0; k < ns; ++k) out.m_data[k] *= m_scale.m_data[k];
    const uint32_t no = out.m_count < m_offset.m_count ? out.m_count : m_offset.m_count;
    for (uint32_t k = 0; k < no; ++k) out.m_data[k] += m_offset.m_data[k];
  }
  return out;
}
