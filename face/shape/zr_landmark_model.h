// face/shape/zr_landmark_model.h: ZR_LandmarkModel, the pose-dependent refinement of predictor
// landmarks (reduced layout) into the full layout: pose bin, thin-plate warp of the bin's template
// onto the fitted points, forehead drag, two shape-model constraint passes; TryFitLandmarkModel.
#ifndef FACE_SHAPE_ZR_LANDMARK_MODEL_H
#define FACE_SHAPE_ZR_LANDMARK_MODEL_H

#include <cstdint>
#include <cstdio>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_array2d.h"
#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_string.h"
#include "core/zr_vector.h"
#include "face/shape/zr_pose_estimator.h"
#include "face/shape/zr_shape_model2d.h"

// ZR_LandmarkModel: read once into the landmark fitter, then shared read-only by every worker.
//   Record (after the file's header word): i32 version (ignored); two pose-estimator records;
//     the per-pose shapes, a 2-D record of float-array elements (rows: bins of the yaw, the
//     second angle; columns: bins of the pitch, the first; 10 degrees each, bin 0 frontal); the
//     extra table (2-D record of u32); the full-layout annotation model (i32 model flag,
//     annotation list); the extra vector (float array); the shape-model record. The second
//     estimator, extra table and extra vector are carried and unused.
//   Derived by BuildFeatureMasks after a read: per annotation and point, whether it is a source
//     of the reduced layout and which reduced (annotation, point) it is.
//   Threads: Fit only reads the model (the pose is estimated on a copy of the first estimator,
//     the shape-model limit is an argument); several threads may fit at once.
class ZR_LandmarkModel {
 public:
  ZR_LandmarkModel();
  ZR_LandmarkModel(const ZR_LandmarkModel&) = delete;
  ZR_LandmarkModel& operator=(const ZR_LandmarkModel&) = delete;
  ~ZR_LandmarkModel();

  // Reads the record and derives the masks. Returns the stream, or null at the first failing part
  // (a table or vector not starting at 0, or a table whose block is not rows x cols, included).
  FILE* Read(FILE* f);

  // Refines face (points normalised to 0..1, y from the bottom, the reduced layout of the
  // predictor) in place into the full layout; size is the image's (width, height) in pixels.
  // Returns false, writing the reason into error when given, when the data cannot give a sound
  // fit: face's groups differ in name, order or count from the template's reduced layout, the
  // per-pose table is empty, the chosen shape, the reference shape or the PCA do not hold two
  // values per template point, the pose angles are not finite, the image size is not positive,
  // or the warper is not valid. face may then be changed already. Throws LUDexception for a
  // singular thin-plate or similarity system: two coincident template points included, while
  // coincident fitted points (closed lips) fit, since only the template-to-face spline is fitted.
  bool Fit(const ZR_Vector2D& size, ZR_AnnoModel2D& face, ZR_String* error = nullptr) const;

  // Derives the masks, sources and group indices from the annotation model.
  void BuildFeatureMasks();
  // The angles (degrees, RotationToAngles with flag 0) of face's included points in pixels,
  // centred on their mean, estimated on estimator (a per-call copy). An estimate that is refused
  // leaves the angles of the estimator's stored R. x is the pitch (positive: the nose points
  // down), y the yaw (positive: the nose points to the picture's right, the subject's left), z
  // the roll (negative for a head turned counter-clockwise in the picture); Fit picks the
  // per-pose shape at column round(x / 10), row round(y / 10), each clamped to the table.
  ZR_Vector3D EstimatePose(const ZR_Vector2D& size, const ZR_AnnoModel2D& face,
                           ZR_PoseEstimator& estimator) const;

  ZR_PoseEstimator m_estimator;
  ZR_PoseEstimator m_second_estimator;
  ZR_Array2D<ZR_Vector> m_shapes;
  ZR_ShapeModel2D m_shape_model;
  ZR_List<ZR_List<bool>> m_masks;
  ZR_List<ZR_List<zr_coord>> m_sources;
  ZR_Array2D<uint32_t> m_extra_table;
  ZR_AnnoModel2D m_anno_model;
  ZR_Vector m_extra_vector;
  int32_t m_face_index;
  int32_t m_nose_index;
  int32_t m_inner_mouth_index;
};

// Fits; true when the fit succeeded, false when it failed or threw LUDexception (face is then to
// be discarded). Other exceptions pass.
bool TryFitLandmarkModel(const ZR_LandmarkModel& model, const ZR_Vector2D& size,
                         ZR_AnnoModel2D& face);

#endif  // FACE_SHAPE_ZR_LANDMARK_MODEL_H
