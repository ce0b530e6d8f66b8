// face/regression/zr_regression_landmark_model.h: ZR_RegressionLandmarkModel, the second model
// section of "Landmarks.data": parameters, a vector, two annotation models, a mesh sampler and one
// regressor. Fitting does not use it, but it is read in full so that the predictor record after
// it stays aligned, and a section that does not read fails the file.
#ifndef FACE_REGRESSION_ZR_REGRESSION_LANDMARK_MODEL_H
#define FACE_REGRESSION_ZR_REGRESSION_LANDMARK_MODEL_H

#include <cstdint>
#include <cstdio>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_list.h"
#include "core/zr_sampler2d.h"
#include "core/zr_vector.h"
#include "face/regression/zr_vector_regressor.h"

// ZR_RegressionLandmarkModel: held, not interpreted; nothing in the system reads its values.
//   New: parameters 1, 2, 4 = 48, 128, 1, float parameter 1.0, parameters 3 and 5 and 6..8 = 0,
//     flag 1 = 0, flag 2 = 1, empty vector, annotation models and sampler, no regressor, empty
//     vector lists (grow step 4), trailing value 0.
//   Owns: everything it holds, the regressor included; not copyable.
//   Threads: read once on the main thread, then shared read-only by the workers.
//   Failure: Read returns null with no message; the fields read before the failure keep their
//     new values.
class ZR_RegressionLandmarkModel {
 public:
  ZR_AnnoModel2D m_anno_a;
  int32_t m_param1;
  int32_t m_param2;
  int32_t m_param3;
  int32_t m_param4;
  float m_float_param;
  int32_t m_param5;
  uint8_t m_flag1;  // not stored
  uint8_t m_flag2;
  ZR_Vector m_vector;
  ZR_AnnoModel2D m_anno_b;
  ZR_Sampler2D m_sampler;
  int32_t m_param6;
  int32_t m_param7;
  int32_t m_param8;
  ZR_VectorRegressor* m_regressor;
  ZR_List<ZR_Vector> m_vectors_a;  // not stored
  ZR_List<ZR_Vector> m_vectors_b;  // not stored
  int32_t m_trailing;              // not stored

  ZR_RegressionLandmarkModel();
  // Releases the regressor, then the members go in reverse order: the vector lists, the
  // sampler, annotation model B, the vector, annotation model A.
  ~ZR_RegressionLandmarkModel();
  ZR_RegressionLandmarkModel(const ZR_RegressionLandmarkModel&) = delete;
  ZR_RegressionLandmarkModel& operator=(const ZR_RegressionLandmarkModel&) = delete;

  // Reads the section: int32 version (ignored), parameter 5, parameter 1, parameter 4, the float
  // parameter, parameter 2 (int32 each but the float), uint8 flag 2, parameters 3, 6, 7, 8; the
  // vector record (range from 0); annotation model B, then A; the sampler; then the regressor's
  // int32 tag and record (ReadRegressor), which replaces the one held. Returns the stream, or null
  // at the first failure, with no message.
  FILE* Read(FILE* f);

  // When a regressor is held: Clear it, delete it and set the pointer to null.
  void ReleaseRegressor();
};

#endif  // FACE_REGRESSION_ZR_REGRESSION_LANDMARK_MODEL_H
