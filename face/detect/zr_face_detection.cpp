// face/detect/zr_face_detection.cpp: box arithmetic of ZR_NBox and the detection constructor. Every
// step is single precision so that boxes match bit for bit across builds; points start at (0, 0)
// rather than unset, so that no box is ever read undefined.
#include "face/detect/zr_face_detection.h"

ZR_NBox::ZR_NBox()
    : m_corner0(0, 0),
      m_corner1(0, 0),
      m_corner2(0, 0),
      m_corner3(0, 0),
      m_centre(0, 0),
      m_size(0, 0),
      m_valid(0) {}

void ZR_NBox::SetFromPixelRect(int x, int y, int w, int h, int rows, int cols) {
  const float a = float(x) / float(cols);
  const float m = float(w) / float(cols);
  const float l = float(h) / float(rows);
  const float t = float(rows - y) / float(rows);
  m_corner0 = ZR_Vector2D(a, t - l);
  m_corner1 = ZR_Vector2D(a + m, t - l);
  m_corner2 = ZR_Vector2D(a, t);
  m_corner3 = ZR_Vector2D(a + m, t);
  m_centre = ZR_Vector2D(m * 0.5f + a, t - l * 0.5f);
  m_size = ZR_Vector2D(m, l);
  m_valid = 1;
}

void ZR_NBox::SetCorners(const ZR_Vector2D& min, const ZR_Vector2D& max) {
  m_corner0 = min;
  m_corner3 = max;
  m_corner2 = ZR_Vector2D(min.x, max.y);
  m_corner1 = ZR_Vector2D(max.x, min.y);
  m_centre = (min + max) * 0.5f;
  m_size = max - min;
  m_valid = 1;
}

void ZR_NBox::ScaleAboutCentre(const ZR_Vector2D& s) {
  const ZR_Vector2D c = m_centre;
  ZR_Vector2D* corners[4] = {&m_corner0, &m_corner1, &m_corner2, &m_corner3};
  for (ZR_Vector2D* p : corners) {
    const ZR_Vector2D d = *p - c;
    *p = ZR_Vector2D(c.x + d.x * s.x, c.y + d.y * s.y);
  }
  m_size = ZR_Vector2D(m_size.x * s.x, m_size.y * s.y);
}

ZR_FaceDetection::ZR_FaceDetection() : m_hit_value(0), m_vector(0.5f, 0.5f, 0.5f) {}
