// face/detect/internal/zr_dlib_types.h: the full types behind the opaque ZR_HogDetector and
// ZR_LandmarkPredictor, the copy of a ZR_Image into dlib's image type, the HOG check's patch and
// the system's predictor evaluation. Included only by the adapter sources and the face tests:
// dlib's headers are slow to compile (the detector's scanner most of all).
#ifndef FACE_DETECT_INTERNAL_ZR_DLIB_TYPES_H
#define FACE_DETECT_INTERNAL_ZR_DLIB_TYPES_H

#include <cstdint>
#include <vector>

// Before the detector: its scans must see the filter specialisation.
#include "face/detect/internal/hog_filter.h"

#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/image_processing/shape_predictor.h>

#include "face/detect/internal/dlib_geometry.h"
#include "face/detect/zr_dlib_adapters.h"
#include "image/zr_image.h"

struct ZR_HogDetector {
  dlib::frontal_face_detector m_detector;
};

// One split of a regression tree: node n goes on to 2n + 1 when feature idx1 minus feature idx2
// exceeds thresh, else to 2n + 2.
struct zr_tree_split {
  uint32_t idx1;
  uint32_t idx2;
  float thresh;
};

// One tree of a forest: split_count splits from m_splits[first_split], split_count + 1 leaves of
// the shape's size from m_leaves[first_leaf].
struct zr_tree_span {
  uint64_t first_split;
  uint64_t first_leaf;
  uint32_t split_count;
};

// The trees of one level, each kind of data in one block: the split walks read a few kilobytes
// in order, and a leaf is one run of values beside the tree's other leaves.
struct zr_forest {
  std::vector<zr_tree_span> m_trees;
  std::vector<zr_tree_split> m_splits;
  std::vector<float> m_leaves;
};

// The predictor's data: the shape, anchors and deltas in dlib's own types (its feature extraction
// reads them), the forests flattened; the record holds them as shape, anchors, deltas, forests.
struct ZR_LandmarkPredictor {
  dlib::matrix<float, 0, 1> m_initial_shape;
  std::vector<zr_forest> m_forests;
  std::vector<std::vector<unsigned long>> m_anchor_idx;
  std::vector<std::vector<dlib::vector<float, 2>>> m_deltas;
};

// Copies image into out, top row first (library row d = image row rows - 1 - d), red, green and
// blue of each pixel; alpha is dropped. An image without pixels gives an empty out.
void ToDlibImage(const ZR_Image& image, dlib::array2d<dlib::rgb_pixel>& out);

// Fills patch (kZrPatchRows x g.cols, top row first) with image at column j * step + col0 and
// bottom-up row (kZrPatchRows - 1 - r) * step + row0 of patch pixel (r, j), each blended as
// ZR_Bilinear<ZR_Colour>::Sample blends it (its outside colour beyond the image); alpha is dropped.
void SampleHogPatch(const ZR_Image& image, const zr_patch_geometry& g,
                    dlib::array2d<dlib::rgb_pixel>& patch);

// The system's evaluation of a checked predictor: levels 0..L-1, then floor(L/2)..L-1 again, each
// level reading its feature pixels with dlib's extraction and adding the leaves its trees reach in
// tree order (a level without trees changes nothing and reads no pixel);
// the points are mapped into rect and rounded with floor(v + 0.5). Returns rect with the points.
dlib::full_object_detection RunLandmarkCascade(const ZR_LandmarkPredictor& p,
                                               const dlib::array2d<dlib::rgb_pixel>& image,
                                               const dlib::rectangle& rect);

#endif  // FACE_DETECT_INTERNAL_ZR_DLIB_TYPES_H
