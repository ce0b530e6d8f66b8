// face/detect/zr_cascade_record.h: zr_cascade_record, the system's raw LBP cascade record (head,
// five counted tables, the evaluator's words and features), its reader and its validation. The
// record comes from model files and is untrusted: every count is bounded by the bytes left before
// any table grows, and a record reaches the library only after CheckCascadeRecord accepts it.
#ifndef FACE_DETECT_ZR_CASCADE_RECORD_H
#define FACE_DETECT_ZR_CASCADE_RECORD_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Record layout (little-endian, no padding): int32 version, uint8 stump based, int32 stage type
// (0 = boosted), int32 feature type (1 = LBP), int32 categories (256), int32 window height, int32
// window width; then the tables stages {int32 first, int32 count, float threshold}, trees {int32
// node count}, nodes {int32 feature, int32 left, int32 right, float threshold}, leaves {float},
// subsets {int32}, each an int32 count and its elements; then int32 feature count, int32 window
// width, int32 window height, int32 offset, 4 x int32 normalisation rectangle, and per feature
// {int32 x, int32 y, int32 block width, int32 block height}.
struct zr_cascade_stage {
  int32_t first;
  int32_t count;
  float threshold;  // the library's in-memory value (its text value - 1e-5f)
};

struct zr_cascade_node {
  int32_t feature;
  int32_t left;  // <= 0: leaf -left of the tree; > 0: a node of the tree
  int32_t right;
  float threshold;  // stored, unused by LBP splits
};

struct zr_cascade_feature {
  int32_t x;
  int32_t y;
  int32_t block_w;
  int32_t block_h;
};

// zr_cascade_record: one cascade as the record holds it; empty: every table empty, head zero.
//   Invariant after a successful ReadCascadeRecord: CheckCascadeRecord holds.
struct zr_cascade_record {
  int32_t version = 0;
  uint8_t stump_based = 0;
  int32_t stage_type = 0;
  int32_t feature_type = 0;
  int32_t categories = 0;
  int32_t window_height = 0;
  int32_t window_width = 0;
  std::vector<zr_cascade_stage> stages;
  std::vector<int32_t> trees;  // node count per tree
  std::vector<zr_cascade_node> nodes;
  std::vector<float> leaves;
  std::vector<int32_t> subsets;
  int32_t eval_width = 0;
  int32_t eval_height = 0;
  int32_t eval_offset = 0;
  int32_t norm_rect[4] = {0, 0, 0, 0};
  std::vector<zr_cascade_feature> features;
};

// Reads one record into r (emptied first). Returns f, or null at the first short read, a count
// that is negative or needs more bytes than the stream has left, or a record CheckCascadeRecord
// refuses; error then names the reason ("ReadCascade() Error! ..."). r holds what was read.
FILE* ReadCascadeRecord(FILE* f, zr_cascade_record& r, std::string* error = nullptr);

// True when the record can be handed to the library: boosted LBP stages, 256 categories, a
// positive window, nodes = sum of node counts, leaves = sum of (node count + 1), 8 subset words
// per node, stage ranges inside the tree table, positive children k < c < node count, leaf
// indices <= node count, feature indices below the feature count, every feature's 3x3 block grid
// inside the window. Otherwise false with the reason in error.
bool CheckCascadeRecord(const zr_cascade_record& r, std::string* error = nullptr);

// The library's cascade text (YAML) for a checked record: stage thresholds written so that the
// library's read gives back the record's value exactly, one-node trees in the library's stump
// convention (children 0, -1; leaves ordered [leaf(-left), leaf(-right)]).
std::string CascadeRecordText(const zr_cascade_record& r);

#endif  // FACE_DETECT_ZR_CASCADE_RECORD_H
