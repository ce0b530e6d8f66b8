// core/zr_object_type.h: ZR_ObjectType, the abstract base that reports a type code. It holds only
// its vptr, which sits first in ZR_Image and the annotation and detection records handed to
// plug-ins. It has no virtual destructor: objects are destroyed through their own class or
// another polymorphic base, never through this one, so its destructor is protected.
#ifndef CORE_ZR_OBJECT_TYPE_H
#define CORE_ZR_OBJECT_TYPE_H

#include <cstdint>

// The type codes; no class reports 2.
constexpr int32_t ZR_TYPE_IMAGE = 1;
constexpr int32_t ZR_TYPE_ANNOTATION_2D = 3;
constexpr int32_t ZR_TYPE_ANNO_MODEL_2D = 4;
constexpr int32_t ZR_TYPE_NBOX = 5;
constexpr int32_t ZR_TYPE_FACE_DETECTION = 6;

class ZR_ObjectType {
 public:
  // The type code of the object's class.
  virtual int32_t GetType() const = 0;

 protected:
  ZR_ObjectType() = default;
  ZR_ObjectType(const ZR_ObjectType&) = default;
  ZR_ObjectType& operator=(const ZR_ObjectType&) = default;
  ~ZR_ObjectType() = default;
};

static_assert(sizeof(ZR_ObjectType) == sizeof(void*), "the base holds only its vptr");

#endif  // CORE_ZR_OBJECT_TYPE_H
