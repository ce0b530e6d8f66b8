// face/shape/zr_flat_anno_model2d.h: ZR_FlatAnnoModel2D, the included annotations of a model
// flattened into one vector of pixel coordinates, with a saved copy and per-value restore flags so
// that the predictor's own points go back after each constraint step; ZR_FlatAnno2D, one group.
#ifndef FACE_SHAPE_ZR_FLAT_ANNO_MODEL2D_H
#define FACE_SHAPE_ZR_FLAT_ANNO_MODEL2D_H

#include <cstdint>

#include "annotation/zr_anno_model2d.h"
#include "core/zr_array.h"
#include "core/zr_list.h"
#include "core/zr_point.h"
#include "core/zr_string.h"
#include "core/zr_vector.h"

// ZR_FlatAnno2D: name, point count and open flag of one flattened group; default "", 0, 1.
class ZR_FlatAnno2D {
 public:
  ZR_FlatAnno2D();
  virtual ~ZR_FlatAnno2D();

  ZR_String m_name;
  int32_t m_count;
  uint8_t m_open;
};

// ZR_FlatAnnoModel2D: the groups in flattening order (the base), then the points.
//   Invariant after SetAnnoModel: m_points, m_saved and m_restore hold 2P values for the P points
//     of the groups; both flags of a point are equal.
//   A working object of one refinement. Owns its members.
class ZR_FlatAnnoModel2D : public ZR_Array<ZR_FlatAnno2D> {
 public:
  ZR_FlatAnnoModel2D();
  ~ZR_FlatAnnoModel2D() override;

  // Flattens the annotations whose include flag is non-zero, each point times size (pixels);
  // masks[l][m] marks point m of annotation l (position in the model, included or not) for
  // restoring. A mask entry missing from masks counts as false. Returns true.
  bool SetAnnoModel(const ZR_Vector2D& size, const ZR_AnnoModel2D& model,
                    const ZR_List<ZR_List<bool>>& masks);
  // Every value whose restore flag is set goes back to its saved value.
  void RestoreFlaggedPoints();
  // Replaces model's annotations (its model flag stays) by one fresh annotation per group: the
  // group's name and open flag, include 1, the other fields at their defaults, and the group's
  // points divided by size.
  void GetAnnoModel(const ZR_Vector2D& size, ZR_AnnoModel2D& model) const;

  ZR_Vector m_points;
  ZR_Vector m_saved;
  ZR_Array<bool> m_restore;
};

#endif  // FACE_SHAPE_ZR_FLAT_ANNO_MODEL2D_H
