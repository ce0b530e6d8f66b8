// annotation/zr_annotation2d.h: ZR_Annotation2D, one named group of landmark points, and its
// model-file record. The object is handed to plug-ins inside ZR_AnnoModel2D, so its bases and
// fields, in order and width, are a contract.
#ifndef ANNOTATION_ZR_ANNOTATION2D_H
#define ANNOTATION_ZR_ANNOTATION2D_H

#include <cstdint>
#include <cstdio>

#include "core/zr_byte_buffer.h"
#include "core/zr_list.h"
#include "core/zr_object_type.h"
#include "core/zr_point.h"
#include "core/zr_string.h"

// ZR_Annotation2D: a named point group (a contour such as the face outline or an eye), points in
//   normalised image coordinates (x = column / width, y = row / height from the bottom).
//   Layout (plug-in contract): ZR_ObjectType (type code 3), then the point list base
//     ZR_List<ZR_Vector2D> (grow step 10), then m_value, m_name, m_fixed, m_flag, m_open,
//     m_include and m_colour (red, green, blue, alpha), the seven bytes packed together.
//   Default: no points, value 1, name "NONE", no fixed indices, the three flags 1, colour
//     (0, 0, 255, 255).
//   Owns: its points, name and fixed indices; copies share nothing.
//   Threads: not synchronised; several threads may read one annotation that nobody writes.
class ZR_Annotation2D : public ZR_ObjectType, public ZR_List<ZR_Vector2D> {
 public:
  int32_t m_value;           // carried through copies and records; never interpreted
  ZR_String m_name;          // looked up by ZR_AnnoModel2D::FindAnnotation
  ZR_List<int32_t> m_fixed;  // points that end a neighbour walk when a point is dragged
  uint8_t m_flag;            // carried through copies and the file record; never interpreted
  uint8_t m_open;            // 0: closed contour; anything else: open
  uint8_t m_include;         // non-zero: takes part in the included-only operations
  uint8_t m_colour[4];       // red, green, blue, alpha

  ZR_Annotation2D();
  ZR_Annotation2D(const ZR_Annotation2D& other);
  // Points, value, name (re-derived from its text, so a name read with extra zeros gets its text's
  // length), fixed indices, flags and all four colour bytes. Self-assignment changes nothing.
  ZR_Annotation2D& operator=(const ZR_Annotation2D& other);
  ~ZR_Annotation2D() override;

  int32_t GetType() const override { return ZR_TYPE_ANNOTATION_2D; }

  // Reads one annotation record: int32 value, uint8 include, open and flag (the reverse of their
  // order in memory), the name as a string record, red, green, blue, the fixed-index list, the
  // point list. Returns the stream, or null at the first short read or refused count; the fields
  // read by then keep their new values. Alpha is not stored and never changes. A name stored with
  // extra zeros after its text keeps the stored length, so lookups by its text miss it.
  FILE* Read(FILE* f);

  // The box of all points: min and max component-wise; returns max - min. Without points min is
  // (3.4028235e38, 3.4028235e38), max its negative, and the result (-inf, -inf).
  ZR_Vector2D GetBoundingBox(ZR_Vector2D& min, ZR_Vector2D& max) const;
  // The centre of the box, (min + max) / 2, multiplied component-wise by scale (the image size
  // gives pixels).
  ZR_Vector2D GetScaledCentre(const ZR_Vector2D& scale) const;

  // Moves point index to target and drags its neighbours (annotation/zr_move_point.cpp).
  // Two chains start at the point: backward (wrapping past point 0 on a closed contour) and
  // forward (never wrapping), each ending at a fixed index, the contour's end, or, on a closed
  // contour without fixed indices, once every other point has joined. With three or more points
  // in a chain, a curve is fitted through them and each inner point moves by (1 - u) times the
  // displacement, u being its closest curve parameter (0 at the moved point). Chain ends and the
  // points outside the chains stay. An index past the last point changes nothing.
  void MovePoint(uint32_t index, const ZR_Vector2D& target);

  // Appends this annotation's entry of the "amod" landmark blob (annotation/
  // zr_landmark_blob.cpp): int32 value, u8 open, u8 include, u8 red, green, blue, int32 name
  // length L with the zero, L name bytes, int32 p, p x (float32 x, y), int32 m, m x int32 fixed
  // indices; 21 + L + 8p + 4m bytes. False when the buffer cannot grow; it then keeps the bytes
  // appended before, and its owner frees it.
  bool Serialise(zr_byte_buffer& out) const;
};

// The annotation list record: int32 count, then that many annotation records read in place into
// one block of exactly count annotations. A count of 0 gives an empty list. Returns the stream, or
// null, with the list empty, at a short read, a negative count, a count that the bytes left
// cannot hold, or an annotation that fails. Also read by the shape-model reader.
template <>
FILE* ZR_List<ZR_Annotation2D>::Read(FILE* f);

#if defined(__x86_64__)
static_assert(sizeof(ZR_Annotation2D) == 128,
              "plug-ins see two vptrs, the point list, value, name, fixed list, 3 flags, colour");
#endif

#endif  // ANNOTATION_ZR_ANNOTATION2D_H
