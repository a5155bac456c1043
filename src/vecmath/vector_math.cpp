// Scalar implementations of the 3- and 4-component vector math objects.
//
// Every returning form zeroes its result and hands it to the paired in-place slot through
// the object's own dispatch, so a derived class that overrides only the in-place slots
// (the SSE class) is used by the returning forms as well. Every in-place form reads all of
// its inputs before it writes to out, so out may be one of the inputs.
#include "vecmath/vector_math.h"

#include <cmath>

// ---------------------------------------------------------------------------------------
// _Vector3MathFunctions

Vector3 _Vector3MathFunctions::Add(const Vector3& a, const Vector3& b) {
  Vector3 result = {0.0f, 0.0f, 0.0f};
  Add(a, b, result);
  return result;
}

void _Vector3MathFunctions::Add(const Vector3& a, const Vector3& b, Vector3& out) {
  const float x = a.x + b.x;
  const float y = a.y + b.y;
  const float z = a.z + b.z;
  out.x = x;
  out.y = y;
  out.z = z;
}

Vector3 _Vector3MathFunctions::Subtract(const Vector3& a, const Vector3& b) {
  Vector3 result = {0.0f, 0.0f, 0.0f};
  Subtract(a, b, result);
  return result;
}

void _Vector3MathFunctions::Subtract(const Vector3& a, const Vector3& b, Vector3& out) {
  const float x = a.x - b.x;
  const float y = a.y - b.y;
  const float z = a.z - b.z;
  out.x = x;
  out.y = y;
  out.z = z;
}

Vector3 _Vector3MathFunctions::Multiply(const Vector3& v, const float& s) {
  Vector3 result = {0.0f, 0.0f, 0.0f};
  Multiply(v, s, result);
  return result;
}

Vector3 _Vector3MathFunctions::Multiply(const Vector3& a, const Vector3& b) {
  Vector3 result = {0.0f, 0.0f, 0.0f};
  Multiply(a, b, result);
  return result;
}

void _Vector3MathFunctions::Multiply(const Vector3& v, const float& s, Vector3& out) {
  const float k = s;
  const float x = v.x * k;
  const float y = v.y * k;
  const float z = v.z * k;
  out.x = x;
  out.y = y;
  out.z = z;
}

void _Vector3MathFunctions::Multiply(const Vector3& a, const Vector3& b, Vector3& out) {
  const float x = a.x * b.x;
  const float y = a.y * b.y;
  const float z = a.z * b.z;
  out.x = x;
  out.y = y;
  out.z = z;
}

Vector3 _Vector3MathFunctions::Divide(const Vector3& v, const float& s) {
  Vector3 result = {0.0f, 0.0f, 0.0f};
  Divide(v, s, result);
  return result;
}

Vector3 _Vector3MathFunctions::Divide(const Vector3& a, const Vector3& b) {
  Vector3 result = {0.0f, 0.0f, 0.0f};
  Divide(a, b, result);
  return result;
}

void _Vector3MathFunctions::Divide(const Vector3& v, const float& s, Vector3& out) {
  const float r = 1.0f / s;
  const float x = v.x * r;
  const float y = v.y * r;
  const float z = v.z * r;
  out.x = x;
  out.y = y;
  out.z = z;
}

void _Vector3MathFunctions::Divide(const Vector3& a, const Vector3& b, Vector3& out) {
  const float x = a.x / b.x;
  const float y = a.y / b.y;
  const float z = a.z / b.z;
  out.x = x;
  out.y = y;
  out.z = z;
}

Vector3 _Vector3MathFunctions::Cross(const Vector3& a, const Vector3& b) {
  Vector3 result = {0.0f, 0.0f, 0.0f};
  Cross(a, b, result);
  return result;
}

void _Vector3MathFunctions::Cross(const Vector3& a, const Vector3& b, Vector3& out) {
  const float x = a.y * b.z - a.z * b.y;
  const float y = a.z * b.x - a.x * b.z;
  const float z = a.x * b.y - a.y * b.x;
  out.x = x;
  out.y = y;
  out.z = z;
}

Vector3 _Vector3MathFunctions::Normalize(const Vector3& v) {
  Vector3 result = {0.0f, 0.0f, 0.0f};
  Normalize(v, result);
  return result;
}

void _Vector3MathFunctions::Normalize(const Vector3& v, Vector3& out) {
  const float x = v.x;
  const float y = v.y;
  const float z = v.z;
  const float length_squared = x * x + y * y + z * z;
  if (length_squared == 0.0f) {
    out.x = 0.0f;
    out.y = 0.0f;
    out.z = 0.0f;
    return;
  }
  const float k = 1.0f / std::sqrt(length_squared);
  out.x = x * k;
  out.y = y * k;
  out.z = z * k;
}

float _Vector3MathFunctions::Dot(const Vector3& a, const Vector3& b) {
  float result = 0.0f;
  Dot(a, b, result);
  return result;
}

void _Vector3MathFunctions::Dot(const Vector3& a, const Vector3& b, float& out) {
  out = a.z * b.z + a.y * b.y + a.x * b.x;
}

// ---------------------------------------------------------------------------------------
// _Vector4MathFunctions: one component after another.

Vector4 _Vector4MathFunctions::Add(const Vector4& a, const Vector4& b) {
  Vector4 result = {0.0f, 0.0f, 0.0f, 0.0f};
  Add(a, b, result);
  return result;
}

void _Vector4MathFunctions::Add(const Vector4& a, const Vector4& b, Vector4& out) {
  const float x = a.x + b.x;
  const float y = a.y + b.y;
  const float z = a.z + b.z;
  const float w = a.w + b.w;
  out.x = x;
  out.y = y;
  out.z = z;
  out.w = w;
}

Vector4 _Vector4MathFunctions::Subtract(const Vector4& a, const Vector4& b) {
  Vector4 result = {0.0f, 0.0f, 0.0f, 0.0f};
  Subtract(a, b, result);
  return result;
}

void _Vector4MathFunctions::Subtract(const Vector4& a, const Vector4& b, Vector4& out) {
  const float x = a.x - b.x;
  const float y = a.y - b.y;
  const float z = a.z - b.z;
  const float w = a.w - b.w;
  out.x = x;
  out.y = y;
  out.z = z;
  out.w = w;
}

Vector4 _Vector4MathFunctions::Multiply(const Vector4& v, const float& s) {
  Vector4 result = {0.0f, 0.0f, 0.0f, 0.0f};
  Multiply(v, s, result);
  return result;
}

Vector4 _Vector4MathFunctions::Multiply(const Vector4& a, const Vector4& b) {
  Vector4 result = {0.0f, 0.0f, 0.0f, 0.0f};
  Multiply(a, b, result);
  return result;
}

void _Vector4MathFunctions::Multiply(const Vector4& v, const float& s, Vector4& out) {
  const float k = s;
  const float x = v.x * k;
  const float y = v.y * k;
  const float z = v.z * k;
  const float w = v.w * k;
  out.x = x;
  out.y = y;
  out.z = z;
  out.w = w;
}

void _Vector4MathFunctions::Multiply(const Vector4& a, const Vector4& b, Vector4& out) {
  const float x = a.x * b.x;
  const float y = a.y * b.y;
  const float z = a.z * b.z;
  const float w = a.w * b.w;
  out.x = x;
  out.y = y;
  out.z = z;
  out.w = w;
}

Vector4 _Vector4MathFunctions::Divide(const Vector4& v, const float& s) {
  Vector4 result = {0.0f, 0.0f, 0.0f, 0.0f};
  Divide(v, s, result);
  return result;
}

Vector4 _Vector4MathFunctions::Divide(const Vector4& a, const Vector4& b) {
  Vector4 result = {0.0f, 0.0f, 0.0f, 0.0f};
  Divide(a, b, result);
  return result;
}

void _Vector4MathFunctions::Divide(const Vector4& v, const float& s, Vector4& out) {
  const float r = 1.0f / s;
  const float x = v.x * r;
  const float y = v.y * r;
  const float z = v.z * r;
  const float w = v.w * r;
  out.x = x;
  out.y = y;
  out.z = z;
  out.w = w;
}

void _Vector4MathFunctions::Divide(const Vector4& a, const Vector4& b, Vector4& out) {
  const float x = a.x / b.x;
  const float y = a.y / b.y;
  const float z = a.z / b.z;
  const float w = a.w / b.w;
  out.x = x;
  out.y = y;
  out.z = z;
  out.w = w;
}
