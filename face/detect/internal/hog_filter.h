// face/detect/internal/hog_filter.h: a faster build of dlib's separable float filter for the HOG
// detector's filter bank. The detector's feature planes are only a few cells wider than its
// filters, so most outputs fall in dlib's one-at-a-time border loop, where each output is one
// serial chain of additions. Here four such outputs run side by side in vector lanes; each lane
// adds its own terms in dlib's order, so every output is the same float. Declared before dlib's
// detector is included: the detector's scans then use this specialisation.
#ifndef FACE_DETECT_INTERNAL_HOG_FILTER_H
#define FACE_DETECT_INTERNAL_HOG_FILTER_H

#include <dlib/array2d.h>
#include <dlib/geometry/rectangle.h>
#include <dlib/image_transforms/spatial_filtering.h>
#include <dlib/matrix.h>

namespace dlib {

// dlib's float_spatially_filter_image_separable for float planes and float column-vector filters:
// the same outputs, bit for bit, and the same returned rectangle.
template <>
rectangle float_spatially_filter_image_separable<array2d<float>, array2d<float>,
                                                 matrix<float, 0, 1>, matrix<float, 0, 1>>(
    const array2d<float>& in_img, array2d<float>& out_img,
    const matrix_exp<matrix<float, 0, 1>>& row_filter,
    const matrix_exp<matrix<float, 0, 1>>& col_filter, array2d<float>& scratch, bool add_to);

}  // namespace dlib

#endif  // FACE_DETECT_INTERNAL_HOG_FILTER_H
