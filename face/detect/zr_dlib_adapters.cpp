// face/detect/zr_dlib_adapters.cpp: the HOG detector's creation and the three fitting entry points.
// This is the one file that instantiates dlib's HOG scanner (slow to compile). The library's
// rectangles are top-down with inclusive right and bottom and may reach outside the image; boxes
// are made in the system's bottom-up normalised frame. Library exceptions become the error text.
#include "face/detect/zr_dlib_adapters.h"

#include <cmath>
#include <exception>
#include <new>
#include <vector>

#include "face/detect/internal/dlib_geometry.h"
#include "face/detect/internal/zr_dlib_types.h"
#include "image/internal/grid_sampler.h"
#include "image/zr_bilinear.h"
#include "image/zr_image_exception.h"

namespace {

ZR_NBox BoxOfRect(const dlib::rectangle& r, const ZR_Vector2D& size) {
  return BoxOfLibraryRect(r.left(), r.top(), r.right(), r.bottom(), size);
}

// The picture in dlib's type, copied from image at the first use only: a stage whose search finds
// no face to fit makes no copy.
class zr_lazy_copy {
 public:
  explicit zr_lazy_copy(const ZR_Image& image) : m_image(image) {}
  const dlib::array2d<dlib::rgb_pixel>& Get() {
    if (m_copy.size() == 0) ToDlibImage(m_image, m_copy);
    return m_copy;
  }

 private:
  const ZR_Image& m_image;
  dlib::array2d<dlib::rgb_pixel> m_copy;
};

// The detector's rectangles on image, its scanner's feature pyramid freed afterwards. The
// scanner would keep it (31 planes a cell on every level, about 6 bytes a picture pixel) until
// the next search, beside everything the next image's earlier stages allocate; and dlib never
// frees the levels beyond a smaller picture's, so neither would the search of a small picture
// that sheds the other buffers. Every search builds the pyramid anew, so no result changes; the
// memory stays in the C library's pool for the next search.
template <class Image>
std::vector<dlib::rectangle> Search(ZR_HogDetector& d, const Image& image) {
  std::vector<dlib::rectangle> rects = d.m_detector(image, 0.0);
  // The scanner is the detector's own member; only its const view is public. Setting the window
  // to its own size changes nothing but clearing the pyramid.
  auto& scanner = const_cast<dlib::frontal_face_detector::image_scanner_type&>(
      d.m_detector.get_scanner());
  scanner.set_detection_window_size(scanner.get_detection_window_width(),
                                    scanner.get_detection_window_height());
  return rects;
}

// Fits every rectangle on image and appends the model and box of each face whose shape has a
// layout.
void FitRects(const std::vector<dlib::rectangle>& rects, zr_lazy_copy& image,
              const ZR_LandmarkPredictor& p, const ZR_Vector2D& size,
              ZR_List<ZR_AnnoModel2D>& models, ZR_List<ZR_NBox>& boxes) {
  for (const dlib::rectangle& r : rects) {
    ZR_AnnoModel2D model;
    if (!ShapeToAnnoModel(RunLandmarkCascade(p, image.Get(), r), model, size)) continue;
    models.Add(model);
    boxes.Add(BoxOfRect(r, size));
  }
}

}  // namespace

void ToDlibImage(const ZR_Image& image, dlib::array2d<dlib::rgb_pixel>& out) {
  if (image.Block() == nullptr || image.m_rows < 1 || image.m_cols < 1) {
    out.clear();
    return;
  }
  const int rows = image.m_rows, cols = image.m_cols;
  out.set_size(rows, cols);
  for (int d = 0; d < rows; ++d) {
    const ZR_Colour* src = image[image.m_row_lo + rows - 1 - d] + image.m_col_lo;
    for (int c = 0; c < cols; ++c) out[d][c] = dlib::rgb_pixel(src[c].r, src[c].g, src[c].b);
  }
}

void SampleHogPatch(const ZR_Image& image, const zr_patch_geometry& g,
                    dlib::array2d<dlib::rgb_pixel>& patch) {
  std::vector<float> xs(static_cast<size_t>(g.cols)), ys(static_cast<size_t>(kZrPatchRows));
  for (long j = 0; j < g.cols; ++j) xs[size_t(j)] = float(j) * g.step + g.col0;
  for (int r = 0; r < kZrPatchRows; ++r)
    ys[size_t(r)] = float(kZrPatchRows - 1 - r) * g.step + g.row0;
  ZR_Array2D<ZR_Colour> grid;
  grid.ResizeForOverwrite(kZrPatchRows, int32_t(g.cols));
  ZR_SampleGrid(image, xs, ys, ZR_Bilinear<ZR_Colour>(image).m_outside, grid);
  patch.set_size(kZrPatchRows, g.cols);
  for (int r = 0; r < kZrPatchRows; ++r) {
    const ZR_Colour* s = grid[r];
    for (long j = 0; j < g.cols; ++j) patch[r][j] = dlib::rgb_pixel(s[j].r, s[j].g, s[j].b);
  }
}

ZR_HogDetector* CreateFaceDetector(std::string& error) {
  try {
    auto* d = new ZR_HogDetector;
    d->m_detector = dlib::get_frontal_face_detector();
    return d;
  } catch (const std::exception& e) {
    error = e.what();
    return nullptr;
  }
}

void DeleteFaceDetector(ZR_HogDetector* d) {
  delete d;
}

bool DLIB_FitLandmarks(const ZR_Image& image, ZR_List<ZR_AnnoModel2D>& models,
                       ZR_List<ZR_NBox>& boxes, ZR_HogDetector* d, const ZR_LandmarkPredictor* p,
                       ZR_String& error) {
  if (d == nullptr || p == nullptr) {
    error = "DLIB_FitLandmarks() detector or landmark model pointer is NULL";
    return false;
  }
  const ZR_Vector2D size = image.GetSize();
  models.Clear();
  boxes.Clear();
  try {
    zr_lazy_copy copy(image);
    if (copy.Get().size() == 0) return false;
    FitRects(Search(*d, copy.Get()), copy, *p, size, models, boxes);
    return models.m_count != 0;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

bool DLIB_FitLandmarksHalfSize(const ZR_Image& image, ZR_List<ZR_AnnoModel2D>& models,
                               ZR_List<ZR_NBox>& boxes, ZR_HogDetector* d,
                               const ZR_LandmarkPredictor* p, ZR_String& error) {
  if (d == nullptr || p == nullptr) {
    error = "DLIB_FitLandmarks() detector or landmark model pointer is NULL";
    return false;
  }
  const ZR_Vector2D size = image.GetSize();
  models.Clear();
  boxes.Clear();
  // The half-size copy needs 2 x 2 pixels; smaller images have no face to find at half size.
  if (image.Block() == nullptr || image.m_rows < 4 || image.m_cols < 4) return false;
  try {
    ZR_Image half(image);
    half.ResizeImage(unsigned(image.m_rows / 2), unsigned(image.m_cols / 2), true);
    dlib::array2d<dlib::rgb_pixel> half_copy;
    ToDlibImage(half, half_copy);
    zr_lazy_copy copy(image);
    std::vector<dlib::rectangle> rects = Search(*d, half_copy);
    for (dlib::rectangle& r : rects)
      r = dlib::rectangle(r.left() * 2, r.top() * 2, r.right() * 2, r.bottom() * 2);
    FitRects(rects, copy, *p, size, models, boxes);
    return models.m_count != 0;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  } catch (const ZR_ImageException&) {
    return false;  // an image the resampler refuses: no face at half size
  }
}

bool DLIB_FitLandmarksToBoxes(const ZR_Image& image, ZR_List<ZR_NBox>& boxes,
                              ZR_List<ZR_AnnoModel2D>& models, ZR_HogDetector* d,
                              const ZR_LandmarkPredictor* p, ZR_String& error) {
  if (d == nullptr || p == nullptr) {
    error = "DLIB_FitLandmarksToBoxes() detector or landmark model pointer is NULL";
    return false;
  }
  models.Clear();
  ZR_List<ZR_NBox> confirmed;
  try {
    if (image.Block() == nullptr || image.m_rows < 1 || image.m_cols < 1) {
      boxes = confirmed;
      return false;
    }
    zr_lazy_copy copy(image);
    const ZR_Vector2D size = image.GetSize();
    dlib::array2d<dlib::rgb_pixel> patch;
    for (uint32_t k = 0; k < boxes.m_count; ++k) {
      zr_patch_geometry g;
      if (!PatchGeometry(boxes[k], image.m_rows, image.m_cols, g)) continue;  // no area: skip
      SampleHogPatch(image, g, patch);
      const std::vector<dlib::rectangle> rects = Search(*d, patch);
      if (rects.empty()) continue;
      const dlib::rectangle& hit = rects[0];
      long left, right, top, bottom;
      if (!PatchToImage(hit.left(), g.step, g.col0, left) ||
          !PatchToImage(hit.right(), g.step, g.col0, right) ||
          !PatchToImage(hit.top(), g.step, g.top, top) ||
          !PatchToImage(hit.bottom(), g.step, g.top, bottom))
        continue;
      const dlib::rectangle rect(left, top, right, bottom);
      ZR_AnnoModel2D model;
      if (!ShapeToAnnoModel(RunLandmarkCascade(*p, copy.Get(), rect), model, size)) continue;
      models.Add(model);
      confirmed.Add(BoxOfRect(rect, size));
    }
    boxes = confirmed;
    return models.m_count != 0;
  } catch (const std::exception& e) {
    error = e.what();
    boxes = confirmed;
    return false;
  }
}
