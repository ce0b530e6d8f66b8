// core/zr_point.h: the small value types: 2-D and 3-D float points, the mesh triangle, barycentric
// weights and the integer pair. No dependencies beyond stdio, so the container headers can use
// them. ZR_Vector2D sits inside annotations handed to plug-ins: vptr and two floats, nothing more.
#ifndef CORE_ZR_POINT_H
#define CORE_ZR_POINT_H

#include <cstdint>
#include <cstdio>

// ZR_Vector2D: a 2-D float point; the default constructor leaves x and y unset.
//   Layout (plug-in contract): vptr, float x, float y.
class ZR_Vector2D {
 public:
  float x;
  float y;

  ZR_Vector2D() {}
  ZR_Vector2D(float x_value, float y_value) : x(x_value), y(y_value) {}
  virtual ~ZR_Vector2D() {}

  ZR_Vector2D operator-(const ZR_Vector2D& b) const { return ZR_Vector2D(x - b.x, y - b.y); }
  ZR_Vector2D operator+(const ZR_Vector2D& b) const { return ZR_Vector2D(x + b.x, y + b.y); }
  ZR_Vector2D operator*(const float& s) const { return ZR_Vector2D(s * x, s * y); }
  ZR_Vector2D operator/(const float& s) const { return ZR_Vector2D(x / s, y / s); }
  // Negation flips the sign bits, so -(0, 0) is (-0.0, -0.0).
  ZR_Vector2D operator-() const { return ZR_Vector2D(-x, -y); }
};

inline ZR_Vector2D operator*(const float& s, const ZR_Vector2D& v) {
  return v * s;
}

// ZR_Vector3D: a 3-D float point; the default constructor leaves x, y and z unset.
class ZR_Vector3D {
 public:
  float x;
  float y;
  float z;

  ZR_Vector3D() {}
  ZR_Vector3D(float x_value, float y_value, float z_value) : x(x_value), y(y_value), z(z_value) {}
  virtual ~ZR_Vector3D() {}

  // Reads x, y and z (three 4-byte floats). Returns the stream, or null when fewer than 12 bytes
  // arrive; the point is then left as it was.
  FILE* Read(FILE* f);
};

// ZR_TRIANGLE: three vertex indices into a point array; the constructor leaves them unset.
class ZR_TRIANGLE {
 public:
  int32_t v0;
  int32_t v1;
  int32_t v2;

  ZR_TRIANGLE() {}
  ZR_TRIANGLE(int32_t a, int32_t b, int32_t c) : v0(a), v1(b), v2(c) {}
  virtual ~ZR_TRIANGLE() {}

  // Reads the three indices (4-byte signed each) in order. Returns the stream, or null at the
  // first short read.
  FILE* Read(FILE* f);
};

// ZR_Barys: barycentric weights x, y, z of a sample point in the triangle tri.
class ZR_Barys : public ZR_Vector3D {
 public:
  ZR_TRIANGLE tri;
};

// zr_coord: a plain pair of 4-byte signed values (point indices or pixel offsets).
struct zr_coord {
  int32_t x;
  int32_t y;

  // Write and read the two values in order. Each returns the stream, or null at the first short
  // write or read.
  FILE* Write(FILE* f) const;
  FILE* Read(FILE* f);
};

#if defined(__x86_64__)
static_assert(sizeof(ZR_Vector2D) == 16, "plug-ins see vptr, float x, float y");
#endif
static_assert(sizeof(zr_coord) == 8, "zr_coord is two plain 4-byte values");

#endif  // CORE_ZR_POINT_H
