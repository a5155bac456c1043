// Process-wide dispatch objects for 3- and 4-component float vector arithmetic.
// The implementation is chosen once, at creation; callers only dispatch.
#pragma once

struct Vector3 {
  float x, y, z;
};

struct Vector4 {
  float x, y, z, w;
};

// Virtual slots in declaration order (0..17). No virtual destructor: never destroyed.
class _Vector3MathFunctions {
 public:
  virtual Vector3 Add(const Vector3& a, const Vector3& b);
  virtual void Add(const Vector3& a, const Vector3& b, Vector3& out);
  virtual Vector3 Subtract(const Vector3& a, const Vector3& b);
  virtual void Subtract(const Vector3& a, const Vector3& b, Vector3& out);
  virtual Vector3 Multiply(const Vector3& v, const float& s);
  virtual Vector3 Multiply(const Vector3& a, const Vector3& b);
  virtual void Multiply(const Vector3& v, const float& s, Vector3& out);
  virtual void Multiply(const Vector3& a, const Vector3& b, Vector3& out);
  virtual Vector3 Divide(const Vector3& v, const float& s);
  virtual Vector3 Divide(const Vector3& a, const Vector3& b);
  virtual void Divide(const Vector3& v, const float& s, Vector3& out);
  virtual void Divide(const Vector3& a, const Vector3& b, Vector3& out);
  virtual Vector3 Cross(const Vector3& a, const Vector3& b);
  virtual void Cross(const Vector3& a, const Vector3& b, Vector3& out);
  virtual Vector3 Normalize(const Vector3& v);
  virtual void Normalize(const Vector3& v, Vector3& out);
  virtual float Dot(const Vector3& a, const Vector3& b);
  virtual void Dot(const Vector3& a, const Vector3& b, float& out);
};

// Virtual slots 0..11, scalar arithmetic one component after another.
class _Vector4MathFunctions {
 public:
  virtual Vector4 Add(const Vector4& a, const Vector4& b);
  virtual void Add(const Vector4& a, const Vector4& b, Vector4& out);
  virtual Vector4 Subtract(const Vector4& a, const Vector4& b);
  virtual void Subtract(const Vector4& a, const Vector4& b, Vector4& out);
  virtual Vector4 Multiply(const Vector4& v, const float& s);
  virtual Vector4 Multiply(const Vector4& a, const Vector4& b);
  virtual void Multiply(const Vector4& v, const float& s, Vector4& out);
  virtual void Multiply(const Vector4& a, const Vector4& b, Vector4& out);
  virtual Vector4 Divide(const Vector4& v, const float& s);
  virtual Vector4 Divide(const Vector4& a, const Vector4& b);
  virtual void Divide(const Vector4& v, const float& s, Vector4& out);
  virtual void Divide(const Vector4& a, const Vector4& b, Vector4& out);
};

// Packed SSE single-precision arithmetic on unaligned data; overrides the in-place slots
// 1, 3, 6, 7, 10 and 11 and inherits the returning forms. Compiled with SSE on its own.
class _Vector4MathFunctionsSSE : public _Vector4MathFunctions {
 public:
  using _Vector4MathFunctions::Add;
  using _Vector4MathFunctions::Divide;
  using _Vector4MathFunctions::Multiply;
  using _Vector4MathFunctions::Subtract;
  void Add(const Vector4& a, const Vector4& b, Vector4& out) override;
  void Subtract(const Vector4& a, const Vector4& b, Vector4& out) override;
  void Multiply(const Vector4& v, const float& s, Vector4& out) override;
  void Multiply(const Vector4& a, const Vector4& b, Vector4& out) override;
  void Divide(const Vector4& v, const float& s, Vector4& out) override;
  void Divide(const Vector4& a, const Vector4& b, Vector4& out) override;
};

extern _Vector3MathFunctions* Vector3Math;
extern _Vector4MathFunctions* Vector4Math;

// Creates both objects from the host allocator; the host's flag byte picks the SSE class.
void Create_Vector_Math();
