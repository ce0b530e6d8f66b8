// face/shape/zr_pose_estimator.cpp: the scaled-orthographic pose iteration and RotationToAngles.
// Each pass solves I and J from the stored pseudo-inverse, corrects the image points by each model
// point's depth along r2 (farther points get a factor above 1) and stops when no rounded pixel
// moved. Angles come from float atan2 terms times 57.29577951308232 in double.
#include "face/shape/zr_pose_estimator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/zr_record_io.h"
#include "core/zr_zero_based.h"

namespace {

constexpr double kDegrees = 57.29577951308232;

bool IsShape(const ZR_Matrix& m, int64_t rows, int64_t cols) {
  return m.m_rows == rows && m.m_cols == cols && m.m_count != 0 && ZR_IsZeroBased(m);
}

}  // namespace

ZR_PoseEstimator::ZR_PoseEstimator()
    : m_focal(760),
      m_translation(0.0f, 0.0f, 0.0f),
      m_rotation(3, 3),
      m_n(0),
      m_ready(0),
      m_change(0.0f) {
  m_reference.Resize(2);
  m_reference[0] = 0.0f;
  m_reference[1] = 0.0f;
}

ZR_PoseEstimator::ZR_PoseEstimator(const ZR_PoseEstimator& other) = default;
ZR_PoseEstimator& ZR_PoseEstimator::operator=(const ZR_PoseEstimator& other) = default;
ZR_PoseEstimator::~ZR_PoseEstimator() = default;

FILE* ZR_PoseEstimator::Read(FILE* f) {
  int32_t version, n;
  uint8_t ready[4];
  if (!ZR_ReadValue(f, version) || !ZR_ReadValue(f, m_focal) || !ZR_ReadValue(f, n) ||
      !ZR_ReadValue(f, m_change) || !ZR_ReadValues(f, ready, 4))
    return nullptr;
  m_n = static_cast<uint32_t>(n);
  m_ready = ready[0];
  if (m_reference.ZR_Array<float>::Read(f) == nullptr ||
      m_corrections.ZR_Array<float>::Read(f) == nullptr || m_translation.Read(f) == nullptr ||
      m_rotation.Read(f) == nullptr || m_object.Read(f) == nullptr || m_third.Read(f) == nullptr ||
      m_pinv.Read(f) == nullptr || m_working.Read(f) == nullptr || m_previous.Read(f) == nullptr)
    return nullptr;
  // RotationToAngles reads R as 3 x 3 or 2 x 2 from 0; any other R is a malformed record.
  if (!IsShape(m_rotation, 3, 3) && !IsShape(m_rotation, 2, 2)) return nullptr;
  // Estimate indexes the object points as n x 3 and the pseudo-inverse as 3 x n: an estimator
  // whose matrices disagree with n refuses to estimate, as one that is not ready.
  if (m_ready != 0 && (m_n == 0 || !IsShape(m_object, m_n, 3) || !IsShape(m_pinv, 3, m_n)))
    m_ready = 0;
  return f;
}

bool ZR_PoseEstimator::Estimate(const ZR_Array<ZR_Vector2D>& points) {
  if (m_ready == 0 || points.m_count != m_n || m_n == 0) return false;
  const ZR_Vector2D* p = points.Block();
  const int32_t n = static_cast<int32_t>(m_n);
  m_working.Resize(n, 2);
  m_previous.Resize(n, 2);
  m_corrections.Resize(n);
  float r[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  ZR_Vector3D t(0.0f, 0.0f, 0.0f);
  for (int pass = 0; pass < 5; ++pass) {
    if (pass == 0) {
      for (int32_t j = 0; j < n; ++j) {
        m_working[j][0] = p[j].x - p[0].x;
        m_working[j][1] = p[j].y - p[0].y;
      }
    } else {
      for (int32_t j = 0; j < n; ++j) {
        const float depth =
            m_object[j][0] * r[2][0] + m_object[j][1] * r[2][1] + m_object[j][2] * r[2][2];
        const float eps = depth / t.z;
        m_corrections[j] = eps;
        m_working[j][0] = (1.0f + eps) * p[j].x - p[0].x;
        m_working[j][1] = (1.0f + eps) * p[j].y - p[0].y;
      }
      float change = 0.0f;
      for (int32_t j = 0; j < n; ++j)
        for (int c = 0; c < 2; ++c)
          change +=
              std::fabs(std::floor(m_working[j][c] + 0.5f) - std::floor(m_previous[j][c] + 0.5f));
      m_change = change;
    }
    m_previous = m_working;
    float i_row[3], j_row[3];
    for (int k = 0; k < 3; ++k) {
      float si = 0.0f, sj = 0.0f;
      for (int32_t j = 0; j < n; ++j) {
        si += m_pinv[k][j] * m_working[j][0];
        sj += m_pinv[k][j] * m_working[j][1];
      }
      i_row[k] = si;
      j_row[k] = sj;
    }
    const float ni = std::sqrt(i_row[0] * i_row[0] + i_row[1] * i_row[1] + i_row[2] * i_row[2]);
    const float nj = std::sqrt(j_row[0] * j_row[0] + j_row[1] * j_row[1] + j_row[2] * j_row[2]);
    // A degenerate point set gives a zero or non-finite row: no pose, rather than NaN angles.
    if (!(ni > 0.0f) || !(nj > 0.0f) || !std::isfinite(ni) || !std::isfinite(nj)) return false;
    const float s = (ni + nj) * 0.5f;
    t = ZR_Vector3D(p[0].x / s, p[0].y / s, static_cast<float>(m_focal) / s);
    for (int k = 0; k < 3; ++k) {
      r[0][k] = i_row[k] / ni;
      r[1][k] = j_row[k] / nj;
    }
    r[2][0] = r[0][1] * r[1][2] - r[0][2] * r[1][1];
    r[2][1] = r[0][2] * r[1][0] - r[0][0] * r[1][2];
    r[2][2] = r[0][0] * r[1][1] - r[0][1] * r[1][0];
    if (pass > 0 && m_change == 0.0f) break;
  }
  m_rotation.Resize(3, 3);
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) m_rotation[a][b] = r[a][b];
  m_translation = t;
  return true;
}

void RotationToAngles(const ZR_Matrix& r, ZR_Vector3D& angles, uint8_t transposed) {
  const bool zero_based = r.m_row_lo == 0 && r.m_col_lo == 0 && r.m_count != 0;
  if (zero_based && r.m_rows == 3 && r.m_cols == 3) {
    float x, y, z;
    if (transposed == 0) {
      z = static_cast<float>(std::atan2(double(r[0][1]), double(r[0][0])));
      x = static_cast<float>(std::atan2(double(r[1][2]), double(r[2][2])));
      const float c = r[2][2] / static_cast<float>(std::cos(double(x)));
      y = static_cast<float>(std::atan2(double(-r[0][2]), double(c)));
    } else {
      z = static_cast<float>(std::atan2(double(r[1][0]), double(r[0][0])));
      x = static_cast<float>(std::atan2(double(r[2][1]), double(r[2][2])));
      const float c = r[2][2] / static_cast<float>(std::cos(double(x)));
      y = static_cast<float>(std::atan2(double(-r[2][0]), double(c)));
    }
    angles.x = static_cast<float>(double(x) * kDegrees);
    angles.y = static_cast<float>(double(y) * kDegrees);
    angles.z = static_cast<float>(double(z) * kDegrees);
    return;
  }
  if (zero_based && r.m_rows == 2 && r.m_cols == 2) {
    float sum = static_cast<float>(std::acos(double(r[0][0])));
    sum += static_cast<float>(std::acos(double(r[1][1])));
    sum += static_cast<float>(std::asin(double(std::fabs(r[0][1]))));
    sum += static_cast<float>(std::asin(double(std::fabs(r[1][0]))));
    angles.x = 0.0f;
    angles.y = 0.0f;
    angles.z = static_cast<float>(double(sum * 0.25f) * kDegrees);
    return;
  }
  // The readers refuse every other R, so this is a programming error.
  std::fprintf(stderr, "RotationToAngles() Error! R is %d x %d\n", r.m_rows, r.m_cols);
  std::exit(1);
}
