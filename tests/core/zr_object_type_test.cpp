// tests/core/zr_object_type_test.cpp: the type-code base.
#include "core/zr_object_type.h"

#include <type_traits>

#include <gtest/gtest.h>

namespace {

class Boxed : public ZR_ObjectType {
 public:
  int32_t GetType() const override { return ZR_TYPE_NBOX; }
};

static_assert(std::is_abstract_v<ZR_ObjectType>);
static_assert(!std::has_virtual_destructor_v<ZR_ObjectType>);
static_assert(!std::is_destructible_v<ZR_ObjectType>, "never destroyed through the base");

TEST(ZrObjectType, ReportsTheCodeOfTheDerivedClass) {
  const Boxed box;
  const ZR_ObjectType& base = box;
  EXPECT_EQ(5, base.GetType());
  EXPECT_EQ(sizeof(void*), sizeof(Boxed));
}

}  // namespace
