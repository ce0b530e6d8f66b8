// face/detect/zr_cascade_classifier.cpp: the classifier filled from a cascade record through the
// library's cascade text read from memory, and the two detection passes. The library's scan runs
// in parallel and hands back its grouped hits in no fixed order, so hits are sorted by
// (y, x, w, h) before they are used. Library exceptions end a pass with no hits.
#include "face/detect/zr_cascade_classifier.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <string>
#include <tuple>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "face/detect/internal/grey_working_image.h"

namespace {

void SortHits(std::vector<cv::Rect>& hits) {
  std::sort(hits.begin(), hits.end(), [](const cv::Rect& a, const cv::Rect& b) {
    return std::tie(a.y, a.x, a.width, a.height) < std::tie(b.y, b.x, b.width, b.height);
  });
}

}  // namespace

FILE* ZR_CascadeClassifier::Read(FILE* f) {
  cc.release();
  if (ReadCascadeRecord(f, m_record) == nullptr) return nullptr;
  if (m_record.stages.empty()) return f;  // valid: finds nothing
  try {
    cv::FileStorage fs(CascadeRecordText(m_record),
                       cv::FileStorage::READ | cv::FileStorage::MEMORY);
    if (!read(fs.getFirstTopLevelNode())) {
      cc.release();
      return nullptr;
    }
  } catch (const std::exception&) {
    cc.release();
    return nullptr;
  }
  return f;
}

int ZR_CascadeSet::DetectAll(const ZR_Image& image, ZR_CascadeClassifier& cascade,
                             ZR_List<ZR_FaceDetection>& out, float top, float left, float width,
                             float height, float scale, float minHeight, float maxHeight) {
  out.Clear();
  try {
    cv::Mat grey;
    if (!GreyWorkingImage(image, grey)) return -1;
    cv::equalizeHist(grey, grey);
    const int rows = grey.rows, cols = grey.cols;
    zr_pixel_region r;
    if (!PixelRegion(rows, cols, top, left, width, height, r)) return -1;
    if (!cascade.HasStages()) return 0;
    zr_search_sizes z;
    if (!DetectAllSizes(rows, cascade.m_record.window_width, cascade.m_record.window_height,
                        minHeight, maxHeight, z))
      return 0;
    std::vector<cv::Rect> hits;
    cascade.detectMultiScale(grey(cv::Rect(r.x0, r.y0, r.w, r.h)), hits, double(scale), 3, 3,
                             cv::Size(z.min_w, z.min_h), cv::Size(z.max_w, z.max_h));
    SortHits(hits);
    for (const cv::Rect& hit : hits) {
      ZR_FaceDetection d;
      d.m_box1.SetFromPixelRect(hit.x + r.x0, hit.y + r.y0, hit.width, hit.height, rows, cols);
      d.m_box0 = d.m_box1;
      out.Add(d);
    }
    return int(out.m_count);
  } catch (const std::exception&) {
    out.Clear();
    return 0;
  }
}

int ZR_CascadeSet::DetectOne(const ZR_Image& image, ZR_CascadeClassifier& cascade, ZR_NBox& out,
                             float top, float left, float width, float height, float scale,
                             int neighbours, float minHeight, float maxHeight) {
  out.m_valid = 0;
  try {
    cv::Mat grey;
    if (!GreyWorkingImage(image, grey)) return -1;
    const int rows = grey.rows, cols = grey.cols;
    zr_pixel_region r;
    if (!PixelRegion(rows, cols, top, left, width, height, r)) return -1;
    cv::Mat region = grey(cv::Rect(r.x0, r.y0, r.w, r.h));
    cv::equalizeHist(region, region);
    if (!cascade.HasStages()) return 0;
    zr_search_sizes z;
    if (!DetectOneSizes(rows, r.h, cascade.m_record.window_width, cascade.m_record.window_height,
                        minHeight, maxHeight, z))
      return 0;
    const int min_neighbours = neighbours <= 1 ? 3 : neighbours;
    const int flags = neighbours <= 1 ? 7 : 3;
    std::vector<cv::Rect> hits;
    cascade.detectMultiScale(region, hits, double(scale), min_neighbours, flags,
                             cv::Size(z.min_w, z.min_h), cv::Size(z.max_w, z.max_h));
    if (hits.empty()) return 0;
    SortHits(hits);
    cv::Rect mean;
    AverageRects(hits, mean);
    out.SetFromPixelRect(mean.x + r.x0, mean.y + r.y0, mean.width, mean.height, rows, cols);
    return int(hits.size());
  } catch (const std::exception&) {
    out.m_valid = 0;
    return 0;
  }
}

bool AverageRects(const std::vector<cv::Rect>& rects, cv::Rect& mean) {
  if (rects.empty()) return false;
  if (rects.size() == 1) {
    mean = rects[0];
    return true;
  }
  int64_t sx = 0, sy = 0, sw = 0, sh = 0;
  for (const cv::Rect& r : rects) {
    sx += r.x;
    sy += r.y;
    sw += r.width;
    sh += r.height;
  }
  const float n = float(rects.size());
  int x = 0, y = 0, w = 0, h = 0;
  RoundFinite(float(sx) / n, x);
  RoundFinite(float(sy) / n, y);
  RoundFinite(float(sw) / n, w);
  RoundFinite(float(sh) / n, h);
  mean = cv::Rect(x, y, w, h);
  return true;
}

void FilterDetections(ZR_List<ZR_FaceDetection>& list) {
  ZR_List<ZR_FaceDetection> inside;
  for (uint32_t i = 0; i < list.m_count; ++i) {
    const ZR_NBox& b = list[i].m_box1;
    if (b.m_corner0.x > 0 && b.m_corner0.y > 0 && b.m_corner3.x < 1 && b.m_corner3.y < 1)
      inside.Add(list[i]);
  }
  ZR_List<ZR_FaceDetection> kept;
  for (uint32_t i = 0; i < inside.m_count; ++i) {
    const ZR_NBox& a = inside[i].m_box1;
    bool held = false;
    for (uint32_t j = 0; j < inside.m_count && !held; ++j) {
      if (j == i) continue;
      const ZR_NBox& b = inside[j].m_box1;
      held = a.m_corner0.x >= b.m_corner0.x && b.m_corner3.x >= a.m_corner3.x &&
             a.m_corner0.y >= b.m_corner0.y && b.m_corner3.y >= a.m_corner3.y;
    }
    if (!held) kept.Add(inside[i]);
  }
  list = kept;
}
