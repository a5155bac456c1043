// Packed SSE implementation of the 4-component vector math object. This file alone is
// compiled with SSE enabled; the rest of the library runs on a plain i686. Every operation
// loads its operands with unaligned loads, does one packed single-precision operation and
// stores the four lanes with one unaligned store, so the vectors need no alignment and out
// may be one of the inputs (all loads come before the store).
#include "vecmath/vector_math.h"

#include <xmmintrin.h>

#if !defined(__SSE__)
#error "vector_math_sse.cpp must be compiled with SSE enabled (-msse)"
#endif

namespace {

inline __m128 Load(const Vector4& v) {
  return _mm_loadu_ps(reinterpret_cast<const float*>(&v));
}

inline void Store(Vector4& v, __m128 lanes) {
  _mm_storeu_ps(reinterpret_cast<float*>(&v), lanes);
}

}  // namespace

void _Vector4MathFunctionsSSE::Add(const Vector4& a, const Vector4& b, Vector4& out) {
  Store(out, _mm_add_ps(Load(a), Load(b)));
}

void _Vector4MathFunctionsSSE::Subtract(const Vector4& a, const Vector4& b, Vector4& out) {
  Store(out, _mm_sub_ps(Load(a), Load(b)));
}

void _Vector4MathFunctionsSSE::Multiply(const Vector4& v, const float& s, Vector4& out) {
  const __m128 k = _mm_load1_ps(&s);
  Store(out, _mm_mul_ps(Load(v), k));
}

void _Vector4MathFunctionsSSE::Multiply(const Vector4& a, const Vector4& b, Vector4& out) {
  Store(out, _mm_mul_ps(Load(a), Load(b)));
}

void _Vector4MathFunctionsSSE::Divide(const Vector4& v, const float& s, Vector4& out) {
  // The reciprocal is formed once, in single precision, and broadcast to all four lanes.
  const __m128 reciprocal = _mm_div_ss(_mm_set_ss(1.0f), _mm_load_ss(&s));
  const __m128 r = _mm_shuffle_ps(reciprocal, reciprocal, _MM_SHUFFLE(0, 0, 0, 0));
  Store(out, _mm_mul_ps(Load(v), r));
}

void _Vector4MathFunctionsSSE::Divide(const Vector4& a, const Vector4& b, Vector4& out) {
  Store(out, _mm_div_ps(Load(a), Load(b)));
}
