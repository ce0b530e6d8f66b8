// annotation/zr_anno_model2d.h: ZR_AnnoModel2D, the landmark set of one face as an ordered
// list of named annotations, its model-file record, lookup by name and the bounding box. Plug-ins
// receive it by pointer, so its bases and field, in order and width, are a contract.
#ifndef ANNOTATION_ZR_ANNO_MODEL2D_H
#define ANNOTATION_ZR_ANNO_MODEL2D_H

#include <cstdint>
#include <cstdio>

#include "core/zr_array.h"
#include "core/zr_byte_buffer.h"
#include "core/zr_list.h"
#include "core/zr_object_type.h"
#include "core/zr_point.h"
#include "core/zr_string.h"
#include "core/zr_vector.h"
#include "annotation/zr_annotation2d.h"

class ZR_Image;

// ZR_AnnoModel2D: the annotations of one face, in order, held by value.
//   Layout (plug-in contract): ZR_ObjectType (type code 4), the annotation list base
//     ZR_List<ZR_Annotation2D> (grow step 10), then int32 m_flag.
//   Default: no annotations, model flag 1 (carried through copies and records; never
//     interpreted).
//   Names looked up: "FACE", "BROW RIDGE", "NOSE", "RIGHT EYE", "LEFT EYE", "OUTER MOUTH",
//     "INNER MOUTH", "MOUTH"; other names may be present.
//   Owns: its annotations; copies share nothing.
//   Threads: not synchronised; the models of the shared landmark fitter are read by all workers
//     and written by none.
class ZR_AnnoModel2D : public ZR_ObjectType, public ZR_List<ZR_Annotation2D> {
 public:
  int32_t m_flag;

  ZR_AnnoModel2D();
  // The annotation list assigned (one block of exactly their number) and the flag copied.
  ZR_AnnoModel2D(const ZR_AnnoModel2D& other);
  ZR_AnnoModel2D& operator=(const ZR_AnnoModel2D& other);
  ~ZR_AnnoModel2D() override;

  int32_t GetType() const override { return ZR_TYPE_ANNO_MODEL_2D; }

  // Reads a model record: int32 model flag, then the annotation list record. Returns the stream,
  // or null at the first short read or refused count: a flag that cannot be read leaves the model
  // untouched; after it, the flag keeps its new value and the list is left empty.
  FILE* Read(FILE* f);

  // Index of the first annotation whose name equals the query by ZR_String equality: byte-wise,
  // case-sensitive, the query ending at its first zero or line feed, the name's stored length
  // counting exactly. -1 for no match or an empty model. The text form wraps the text (null
  // counts as empty).
  int32_t FindAnnotation(const ZR_String& name) const;
  int32_t FindAnnotation(const char* name) const;

  // The box of the points of every annotation, or, when included_only is non-zero, of those whose
  // include flag is non-zero; returns max - min. With no point in it the result is (-inf, -inf)
  // (see ZR_Annotation2D::GetBoundingBox).
  ZR_Vector2D GetBoundingBox(ZR_Vector2D& min, ZR_Vector2D& max, uint8_t included_only) const;

  // Geometry (annotation/zr_anno_points.cpp, zr_anno_layout.cpp). With included_only
  // non-zero only annotations whose include flag is exactly 1 take part; the bounding box, by
  // contrast, takes every non-zero flag.

  // Empties out, then appends every point times scale (component-wise), in annotation order and
  // point order.
  void GetScaledPoints(const ZR_Vector2D& scale, ZR_List<ZR_Vector2D>& out,
                       uint8_t included_only) const;
  // The inverse: walks the annotations in order and sets each point to
  // (v[k] / scale.x, v[k + 1] / scale.y) for k = 0, 2, 4, ... from v's first element. When v
  // runs out, the remaining points are left as they were.
  void SetPoints(const ZR_Vector2D& scale, const ZR_Vector& v, uint8_t included_only);

  // 2 (coarse) when "MOUTH" exists, "NOSE" has 3 points and "MOUTH" 4; 1 (reduced) when there is
  // no "MOUTH", "NOSE" has 13 points and "OUTER MOUTH" 6; otherwise 0 (full, or not recognised).
  int32_t GetLayoutCode() const;
  // Unless the layout code is 1 or 2, rebuilds the model in the reduced layout: "FACE",
  // "BROW RIDGE", "NOSE", both eyes and both mouth contours take their table's subset of the full
  // layout's points and fixed indices (new annotations otherwise: value 1, flags 1, colour
  // 0, 0, 255, 255; the open flag from the source, forced to 1 for "FACE"); every other group,
  // "MOUTH" included, is dropped; the model flag stays. A group with fewer points than the table
  // names loses the missing points and the fixed indices past its new end.
  void ReduceLayout();

  // Crops image in place to the box of the included annotations (include flag non-zero), grown
  // on each side by margin times its size (the thumbnail takes (0.3, 0.4)), with
  // ZR_Image::CropThumbnail, and maps every point of every annotation into the crop's
  // normalised coordinates. False, image and points untouched, when there is no included point,
  // the box has no width or height or a point is not finite. Defined in zr_image
  // (image/zr_anno_crop.cpp), since it crops an image: callers link zr_image.
  bool CropAndNormalise(ZR_Image& image, const ZR_Vector2D& margin);
  // The same crop into thumbnail, image unchanged (no copy of the whole picture is made).
  bool CropAndNormalise(const ZR_Image& image, const ZR_Vector2D& margin, ZR_Image& thumbnail);

  // The "amod" landmark blob (annotation/zr_landmark_blob.cpp): int32 model flag, int32
  // annotation count, then each annotation's entry (ZR_Annotation2D::Serialise), little-endian,
  // no gaps. Serialise fills out with the blob at indices 0..n-1 and returns true; false, out
  // untouched, when the working buffer cannot grow. SerialiseInto appends the same bytes to out
  // and returns false when it cannot grow (out keeps what was appended; its owner frees it).
  bool Serialise(ZR_Array<unsigned char>& out) const;
  bool SerialiseInto(zr_byte_buffer& out) const;
};

// The full-layout point indices that ReduceLayout keeps of the group called name, in reduced
// order (count of them), or null with count 0 for a group the reduced layout drops. The landmark
// refinement derives its point sources from the same table.
const int32_t* ZR_ReducedLayoutSources(const ZR_String& name, uint32_t& count);

#if defined(__x86_64__)
static_assert(sizeof(ZR_AnnoModel2D) == 56, "plug-ins see two vptrs, the list, the model flag");
#endif

#endif  // ANNOTATION_ZR_ANNO_MODEL2D_H
