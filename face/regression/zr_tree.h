// face/regression/zr_tree.h: ZR_Tree, a binary regression tree that maps a feature vector to an
// output vector, with its nodes and its two records: the full form (float leaves) and the compact
// form (leaves quantised to 8 bits over their min..max). Trees come from model files, so reading
// bounds the depth and every allocation by what the stream holds.
#ifndef FACE_REGRESSION_ZR_TREE_H
#define FACE_REGRESSION_ZR_TREE_H

#include <cstdint>
#include <cstdio>

#include "core/zr_array.h"
#include "core/zr_vector.h"

// ZR_TreeNode: one node; a leaf (m_leaf non-zero) holds an output vector, a split node a test on
//   one feature and two subtrees. New: not a leaf, every value 0, no children, no leaf value.
//   A leaf read from the compact form also keeps the stored min, range and bytes, so that writing
//   it again in that form gives the same bytes while its value is unchanged (quantising the
//   decoded floats anew would shift the range by rounding and the bytes with it).
//   Owns: its children, its leaf value and the stored bytes; copies are deep.
class ZR_TreeNode {
 public:
  uint8_t m_leaf;
  int32_t m_value;  // carried through copies and records; prediction ignores it
  float m_threshold;
  int32_t m_feature;
  ZR_TreeNode* m_left;
  ZR_TreeNode* m_right;
  ZR_Vector* m_leaf_value;
  float m_compact_min;
  float m_compact_range;
  ZR_Array<uint8_t>* m_compact_bytes;  // null unless read from the compact form

  ZR_TreeNode();
  ZR_TreeNode(const ZR_TreeNode& other);
  ZR_TreeNode& operator=(const ZR_TreeNode& other);
  ~ZR_TreeNode();

  // Frees the children, the leaf value and the stored bytes; the node's own values stay.
  void FreeChildren();
};

// ZR_Tree: a regression tree with six parameters and one more int32 that are carried, not
//   interpreted, and an optional de-normalisation (output * scale + offset).
//   New: everything 0 or empty; the root has no children and no leaf value.
//   Owns: every node below the root and every leaf value; copies are deep and share nothing.
//   Threads: not synchronised; read-only after loading.
//   Failure: the readers return null at the first short read, at a vector whose range does not
//     start at 0 and at a split deeper than kMaxDepth; the nodes read so far stay until the tree
//     is read again, cleared or destroyed.
class ZR_Tree {
 public:
  // Deepest split level a record may hold (the root is level 0). Real trees are a few levels
  // deep; a bound keeps a hostile chain of splits from exhausting the stack.
  static constexpr int kMaxDepth = 64;
  // Smallest records: header (81 bytes) and one leaf, full (29) or compact (34).
  static constexpr uint32_t kMinFullBytes = 110;
  static constexpr uint32_t kMinCompactBytes = 115;

  int32_t m_params[6];
  ZR_TreeNode m_root;
  int32_t m_extra;
  uint8_t m_denormalise;
  ZR_Vector m_offset;
  ZR_Vector m_scale;

  ZR_Tree();
  ZR_Tree(const ZR_Tree& other);
  ZR_Tree& operator=(const ZR_Tree& other);

  // Frees the node tree (the root becomes a new node) and sets the parameters and m_extra to 0.
  void Clear();

  // Full form: int32 version (written 1, ignored), the six parameters, m_extra, uint8
  // de-normalise flag, offset and scale vector records, then the nodes in pre-order: uint8 leaf
  // flag, int32 value, then a leaf's vector record, or a split's float threshold, int32 feature
  // index, left subtree, right subtree. Each returns the stream, or null (see Failure).
  FILE* Read(FILE* f);
  FILE* Write(FILE* f) const;

  // Compact form: the same header, then nodes of uint8 leaf flag (written 0 or 1; any non-zero
  // byte is a leaf), uint8 value (its low 8 bits, read back without sign), then a leaf's float
  // min, float range and byte-array record (lo 0), or a split as in the full form. A leaf element
  // is written as trunc((v - min) * 255 / range) kept to 8 bits (0 when the range is 0) and read
  // back as (range / 255) * byte + min. A leaf whose value still decodes from the min, range and
  // bytes it was read with is written with those.
  FILE* ReadCompact(FILE* f);
  FILE* WriteCompact(FILE* f) const;

  // Walks from the root, going left when threshold > f[feature] and right otherwise (equal
  // values and NaN go right; so does a feature index outside f), and returns a copy of the leaf
  // reached; an empty vector when the walk meets a missing child or leaf value. With the
  // de-normalise flag the copy is multiplied by scale (over the shorter length), then offset is
  // added (over the shorter length).
  ZR_Vector Predict(const ZR_Vector& f) const;

 private:
  FILE* ReadHeader(FILE* f);
  FILE* WriteHeader(FILE* f) const;
};

#endif  // FACE_REGRESSION_ZR_TREE_H
