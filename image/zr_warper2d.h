// image/zr_warper2d.h: ZR_Warper2D, thin-plate splines fitted exactly through two corresponding
// point lists (forward: source onto target; inverse: target onto source), either both or the
// forward one alone, and ZR_WarpTransform, one such spline. The (n+3) x (n+3) spline system is
// inverted by LU; a spline's centres are the points it maps from, so they must be distinct.
#ifndef IMAGE_ZR_WARPER2D_H
#define IMAGE_ZR_WARPER2D_H

#include <cstdint>

#include "core/zr_list.h"
#include "core/zr_matrix.h"
#include "core/zr_point.h"

// ZR_WarpTransform: p -> a0 + ax p.x + ay p.y + sum_i weights[i] U(|p - c_i|^2), with the centres
//   c_i kept by the warper and U(s) = s ln s (0 below 2^-23). Empty: zero terms, 0 x 0 weights.
class ZR_WarpTransform {
 public:
  ZR_WarpTransform();
  // The weights go first, then the three vectors.
  virtual ~ZR_WarpTransform();

  ZR_Vector2D m_a0;
  ZR_Vector2D m_ax;
  ZR_Vector2D m_ay;
  ZR_Matrix m_weights;  // n x 2: row i is centre i's weight in the output (x, y)
};

// Which splines a ZR_Warper2D fits. The forward spline alone suits a caller that only maps
// source points: the target list may then hold coincident points.
enum zr_warp_splines : uint8_t {
  ZR_WARP_BOTH = 0,          // forward and inverse
  ZR_WARP_FORWARD_ONLY = 1,  // forward only; m_inverse stays empty
};

// ZR_Warper2D: the splines between the lists source and target, fitted once in the constructor
//   and then only read. The forward spline maps source onto target and has the source points as
//   its centres; the inverse spline maps target onto source and has the target points as its
//   centres. WarpPoint and MapPoint read only the forward spline; nothing here reads m_inverse,
//   which is kept for callers that need the inverse map.
//   Invariant: m_valid is 1 exactly when every spline m_splines names was fitted.
//   Threads: made per call on the caller's thread; a fitted warper may be read by several.
//   Failure: a system that LU decomposition finds singular, which includes two coincident
//   centres (source points for the forward spline, target points for the inverse one), throws
//   LUDexception out of the constructor; an inverse refused for a small determinant,
//   coefficients that are not finite, lists of different counts or points that are not finite
//   leave m_valid 0.
class ZR_Warper2D {
 public:
  // Fits the inverse spline first, then the forward one (ZR_WARP_BOTH), or the forward alone.
  ZR_Warper2D(const ZR_List<ZR_Vector2D>& source, const ZR_List<ZR_Vector2D>& target,
              zr_warp_splines splines = ZR_WARP_BOTH);
  // Forward spline, inverse spline, target list, source list.
  virtual ~ZR_Warper2D();

  // When valid, writes the forward image of p into out and returns true; otherwise writes
  // nothing and returns false.
  bool WarpPoint(const ZR_Vector2D& p, ZR_Vector2D& out) const;
  // The forward image of p, or (0, 0) when the warper is not valid.
  ZR_Vector2D MapPoint(const ZR_Vector2D& p) const;

  // The steps of a fit. K becomes n x n with K[i][j] = U(|c_i - c_j|^2) and a zero diagonal.
  static void BuildKernelMatrix(const ZR_List<ZR_Vector2D>& centres, ZR_Matrix& k);
  // inverse becomes the inverse of the spline system [K 1 x y; 1 0; x 0; y 0] of the centres.
  // Returns false (inverse 0 x 0) when LU refuses the inverse for |det| < 1e-10. Throws
  // LUDexception when the decomposition finds the system singular, and
  // "ZR_Warper2D::InvertSystemMatrix() Error! centres I and J coincide\n" for two equal centres,
  // whose singularity a float determinant of many large pivots can overflow past.
  static bool InvertSystemMatrix(const ZR_List<ZR_Vector2D>& centres, const ZR_Matrix& k,
                                 ZR_Matrix& inverse);
  // The spline coefficients for the targets from the inverted system, into spline.
  static void SolveCoefficients(const ZR_List<ZR_Vector2D>& targets, const ZR_Matrix& inverse,
                                ZR_WarpTransform& spline);
  // The spline through the centres onto the targets (same count): the three steps above, then
  // one step of iterative refinement with the same inverse (the float inverse alone misses the
  // targets by about 0.1 pixel for 70 centres in pixel units). Returns true with spline replaced,
  // or false with spline untouched when the inverse is refused or a coefficient is not finite.
  // Throws as InvertSystemMatrix.
  static bool FitTransform(const ZR_List<ZR_Vector2D>& targets, const ZR_List<ZR_Vector2D>& centres,
                           ZR_WarpTransform& spline);

  ZR_List<ZR_Vector2D> m_source;  // the forward spline's centres
  ZR_List<ZR_Vector2D> m_target;  // the inverse spline's centres
  ZR_WarpTransform m_inverse;     // target onto source; empty with ZR_WARP_FORWARD_ONLY
  ZR_WarpTransform m_forward;     // source onto target
  zr_warp_splines m_splines;
  uint8_t m_valid;
};

#endif  // IMAGE_ZR_WARPER2D_H
