// Vector math dispatch objects: the arithmetic of both 4-component classes and of the
// 3-component class, aliasing of out with an input, IEEE results for zero divisors,
// unaligned data on the SSE class, and the binary layout the host relies on (slot order,
// the slots the SSE class shares with the scalar class, dispatch of the returning forms).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "vecmath/vector_math.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The host sees plain structures and objects that hold nothing but their dispatch pointer.
static_assert(sizeof(Vector3) == 12 && offsetof(Vector3, z) == 8, "Vector3 layout");
static_assert(sizeof(Vector4) == 16 && offsetof(Vector4, w) == 12, "Vector4 layout");
static_assert(sizeof(_Vector3MathFunctions) == sizeof(void*), "no data in the object");
static_assert(sizeof(_Vector4MathFunctions) == sizeof(void*), "no data in the object");
static_assert(sizeof(_Vector4MathFunctionsSSE) == sizeof(void*), "no data in the object");
static_assert(!std::has_virtual_destructor<_Vector4MathFunctions>::value,
              "a virtual destructor would shift the slots");
static_assert(std::is_base_of<_Vector4MathFunctions, _Vector4MathFunctionsSSE>::value,
              "the SSE class derives from the scalar class");

enum class Compare { kExact, kNear };

// Exact: same value, same sign of zero, NaN where NaN is expected. Near: within 4 ulps.
::testing::AssertionResult SameFloat(float expected, float actual, Compare how) {
  if (std::isnan(expected) || std::isnan(actual)) {
    if (std::isnan(expected) && std::isnan(actual)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected " << expected << ", got " << actual;
  }
  if (how == Compare::kNear) {
    const ::testing::internal::FloatingPoint<float> e(expected), a(actual);
    if (e.AlmostEquals(a)) return ::testing::AssertionSuccess();
  } else if (expected == actual && std::signbit(expected) == std::signbit(actual)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << std::hexfloat << "expected " << expected << ", got "
                                       << actual;
}

void ExpectVector(const Vector4& expected, const Vector4& actual, Compare how = Compare::kExact) {
  EXPECT_TRUE(SameFloat(expected.x, actual.x, how)) << "x";
  EXPECT_TRUE(SameFloat(expected.y, actual.y, how)) << "y";
  EXPECT_TRUE(SameFloat(expected.z, actual.z, how)) << "z";
  EXPECT_TRUE(SameFloat(expected.w, actual.w, how)) << "w";
}

void ExpectVector(const Vector3& expected, const Vector3& actual, Compare how = Compare::kExact) {
  EXPECT_TRUE(SameFloat(expected.x, actual.x, how)) << "x";
  EXPECT_TRUE(SameFloat(expected.y, actual.y, how)) << "y";
  EXPECT_TRUE(SameFloat(expected.z, actual.z, how)) << "z";
}

// True where float expressions are evaluated in single precision (not on the x87 unit);
// only there does the scalar class round the reciprocal of a divisor before using it.
constexpr bool kSinglePrecisionEvaluation = (FLT_EVAL_METHOD == 0);

// ---------------------------------------------------------------------------------------
// 4-component arithmetic, run over both classes.

enum class Op4 { kAdd, kSubtract, kMultiplyScalar, kMultiplyVector, kDivideScalar, kDivideVector };

bool TakesScalar(Op4 op) { return op == Op4::kMultiplyScalar || op == Op4::kDivideScalar; }

struct Case4 {
  const char* name;
  Op4 op;
  Vector4 a;  // a, or v for the scalar forms
  Vector4 b;  // unused by the scalar forms
  float s;    // used by the scalar forms only
  Vector4 expected;
  bool needs_single_precision;  // the result shows the rounded reciprocal of s
};

const Case4 kCases4[] = {
    {"AddOnes", Op4::kAdd, {1, 2, 3, 4}, {1, 1, 1, 1}, 0, {2, 3, 4, 5}, false},
    {"AddMixedSigns", Op4::kAdd, {-1.5f, 2, 0.25f, -8}, {1.5f, -3, 0.5f, 2}, 0,
     {0, -1, 0.75f, -6}, false},
    {"AddInfinities", Op4::kAdd, {kInf, -kInf, kInf, 1}, {1, 2, -kInf, kNaN}, 0,
     {kInf, -kInf, kNaN, kNaN}, false},
    {"Subtract", Op4::kSubtract, {5, 2, -3, 0.5f}, {1, 4, -3, 2}, 0, {4, -2, 0, -1.5f}, false},
    {"MultiplyByScalar", Op4::kMultiplyScalar, {1, -2, 0.5f, 3}, {}, -4, {-4, 8, -2, -12},
     false},
    {"MultiplyByInfiniteScalar", Op4::kMultiplyScalar, {1, 0, -2, 3}, {}, kInf,
     {kInf, kNaN, -kInf, kInf}, false},
    {"MultiplyByVector", Op4::kMultiplyVector, {1, 2, 3, 4}, {5, -6, 0.5f, 0.25f},
     0, {5, -12, 1.5f, 1}, false},
    {"DivideByScalar", Op4::kDivideScalar, {2, 4, 6, 8}, {}, 2, {1, 2, 3, 4}, false},
    // 5/3 divided directly would be 0x1.aaaaaap+0; times the rounded 1/3 it is ...acp+0.
    {"DivideByScalarUsesReciprocal", Op4::kDivideScalar, {5, 7, 10, 14}, {}, 3,
     {0x1.aaaaacp+0f, 0x1.2aaaacp+1f, 0x1.aaaaacp+1f, 0x1.2aaaacp+2f}, true},
    {"DivideByZeroScalar", Op4::kDivideScalar, {1, -2, 0, 3}, {}, 0, {kInf, -kInf, kNaN, kInf},
     false},
    {"DivideByNegativeZeroScalar", Op4::kDivideScalar, {1, -2, 0, 3}, {}, -0.0f,
     {-kInf, kInf, kNaN, -kInf}, false},
    {"DivideByInfiniteScalar", Op4::kDivideScalar, {1, -2, kInf, 3}, {}, kInf,
     {0, -0.0f, kNaN, 0}, false},
    {"DivideByVector", Op4::kDivideVector, {1, 6, -9, 8}, {2, 3, 3, -4}, 0, {0.5f, 2, -3, -2},
     false},
    {"DivideByZeroComponents", Op4::kDivideVector, {1, -1, 0, 2}, {0, 0, 0, -0.0f}, 0,
     {kInf, -kInf, kNaN, -kInf}, false},
};

Vector4 CallReturning(_Vector4MathFunctions& m, Op4 op, const Vector4& a, const Vector4& b,
                      const float& s) {
  switch (op) {
    case Op4::kAdd: return m.Add(a, b);
    case Op4::kSubtract: return m.Subtract(a, b);
    case Op4::kMultiplyScalar: return m.Multiply(a, s);
    case Op4::kMultiplyVector: return m.Multiply(a, b);
    case Op4::kDivideScalar: return m.Divide(a, s);
    case Op4::kDivideVector: return m.Divide(a, b);
  }
  return {};
}

void CallInPlace(_Vector4MathFunctions& m, Op4 op, const Vector4& a, const Vector4& b,
                 const float& s, Vector4& out) {
  switch (op) {
    case Op4::kAdd: m.Add(a, b, out); return;
    case Op4::kSubtract: m.Subtract(a, b, out); return;
    case Op4::kMultiplyScalar: m.Multiply(a, s, out); return;
    case Op4::kMultiplyVector: m.Multiply(a, b, out); return;
    case Op4::kDivideScalar: m.Divide(a, s, out); return;
    case Op4::kDivideVector: m.Divide(a, b, out); return;
  }
}

_Vector4MathFunctions scalar_object;
_Vector4MathFunctionsSSE sse_object;

struct Impl4 {
  const char* name;
  _Vector4MathFunctions* object;
  bool single_precision;  // rounds the reciprocal of a divisor on every target
};

void PrintTo(const Impl4& impl, std::ostream* os) { *os << impl.name; }

class Vector4Arithmetic : public ::testing::TestWithParam<Impl4> {
 protected:
  _Vector4MathFunctions& M() { return *GetParam().object; }
  bool Skip(const Case4& c) {
    return c.needs_single_precision && !GetParam().single_precision &&
           !kSinglePrecisionEvaluation;
  }
};

TEST_P(Vector4Arithmetic, ReturningForms) {
  for (const Case4& c : kCases4) {
    if (Skip(c)) continue;
    SCOPED_TRACE(c.name);
    ExpectVector(c.expected, CallReturning(M(), c.op, c.a, c.b, c.s));
  }
}

TEST_P(Vector4Arithmetic, InPlaceFormsOverwriteEveryComponent) {
  for (const Case4& c : kCases4) {
    if (Skip(c)) continue;
    SCOPED_TRACE(c.name);
    Vector4 out = {-77, -77, -77, -77};
    CallInPlace(M(), c.op, c.a, c.b, c.s, out);
    ExpectVector(c.expected, out);
  }
}

TEST_P(Vector4Arithmetic, InPlaceFormsWithOutAliasingAnInput) {
  for (const Case4& c : kCases4) {
    if (Skip(c)) continue;
    SCOPED_TRACE(c.name);
    {
      SCOPED_TRACE("out is a");
      Vector4 a = c.a;
      CallInPlace(M(), c.op, a, c.b, c.s, a);
      ExpectVector(c.expected, a);
    }
    if (!TakesScalar(c.op)) {
      SCOPED_TRACE("out is b");
      Vector4 b = c.b;
      CallInPlace(M(), c.op, c.a, b, c.s, b);
      ExpectVector(c.expected, b);
    }
    {
      SCOPED_TRACE("a, b and out are one vector");
      Vector4 v = c.a;
      Vector4 expected = {};
      CallInPlace(M(), c.op, c.a, c.a, c.s, expected);
      CallInPlace(M(), c.op, v, v, c.s, v);
      ExpectVector(expected, v);
    }
  }
}

// The scalar is read before any component is written, even when it is one of them.
TEST_P(Vector4Arithmetic, ScalarThatIsAComponentOfOut) {
  Vector4 v = {2, 4, 6, 8};
  M().Multiply(v, v.x, v);
  ExpectVector({4, 8, 12, 16}, v);

  v = {2, 4, 6, 8};
  M().Divide(v, v.x, v);
  ExpectVector({1, 2, 3, 4}, v);

  v = {2, 4, 6, 8};
  M().Divide(v, v.w, v);
  ExpectVector({0.25f, 0.5f, 0.75f, 1}, v);
}

INSTANTIATE_TEST_SUITE_P(BothClasses, Vector4Arithmetic,
                         ::testing::Values(Impl4{"Scalar", &scalar_object, false},
                                           Impl4{"SSE", &sse_object, true}),
                         [](const ::testing::TestParamInfo<Impl4>& param_info) {
                           return std::string(param_info.param.name);
                         });

// The SSE class takes vectors at any address. The byte buffer puts them off every
// 16-byte boundary, odd addresses included.
__attribute__((no_sanitize("alignment"))) void RunAtOffset(const Case4& c, std::size_t offset) {
  alignas(16) unsigned char buffer[3 * sizeof(Vector4) + 32];
  std::memset(buffer, 0xCD, sizeof buffer);
  unsigned char* const pa = buffer + offset;
  unsigned char* const pb = pa + sizeof(Vector4) + 1;
  unsigned char* const pout = pb + sizeof(Vector4) + 2;
  std::memcpy(pa, &c.a, sizeof(Vector4));
  std::memcpy(pb, &c.b, sizeof(Vector4));
  const Vector4& a = *reinterpret_cast<const Vector4*>(pa);
  const Vector4& b = *reinterpret_cast<const Vector4*>(pb);
  Vector4& out = *reinterpret_cast<Vector4*>(pout);

  CallInPlace(sse_object, c.op, a, b, c.s, out);
  Vector4 result;
  std::memcpy(&result, pout, sizeof result);
  ExpectVector(c.expected, result);
  EXPECT_EQ(0xCD, pout[sizeof(Vector4)]) << "wrote past out";
  EXPECT_EQ(0xCD, pout[-1]) << "wrote before out";

  ExpectVector(c.expected, CallReturning(sse_object, c.op, a, b, c.s));

  CallInPlace(sse_object, c.op, *reinterpret_cast<const Vector4*>(pa), b, c.s,
              *reinterpret_cast<Vector4*>(pa));
  std::memcpy(&result, pa, sizeof result);
  ExpectVector(c.expected, result);
}

TEST(Vector4SSE, UnalignedVectors) {
  for (std::size_t offset : {1u, 2u, 3u, 4u, 8u, 12u}) {
    for (const Case4& c : kCases4) {
      SCOPED_TRACE(std::string(c.name) + " at offset " + std::to_string(offset));
      RunAtOffset(c, offset);
    }
  }
}

// ---------------------------------------------------------------------------------------
// 3-component arithmetic.

enum class Op3 {
  kAdd, kSubtract, kMultiplyScalar, kMultiplyVector, kDivideScalar, kDivideVector,
  kCross, kNormalize, kDot
};

struct Case3 {
  const char* name;
  Op3 op;
  Vector3 a;  // a, or v for the scalar forms and Normalize
  Vector3 b;
  float s;
  Vector3 expected;  // Dot: the result in x
  Compare how;
  bool needs_single_precision;
};

const Case3 kCases3[] = {
    {"Add", Op3::kAdd, {1, 2, 3}, {0.5f, -2, 4}, 0, {1.5f, 0, 7}, Compare::kExact, false},
    {"Subtract", Op3::kSubtract, {1, 2, 3}, {0.5f, -2, 4}, 0, {0.5f, 4, -1}, Compare::kExact,
     false},
    {"MultiplyByScalar", Op3::kMultiplyScalar, {1, -2, 3}, {}, 0.5f, {0.5f, -1, 1.5f},
     Compare::kExact, false},
    {"MultiplyByVector", Op3::kMultiplyVector, {1, -2, 3}, {4, 5, -6}, 0, {4, -10, -18},
     Compare::kExact, false},
    {"DivideByScalar", Op3::kDivideScalar, {2, 4, 6}, {}, 2, {1, 2, 3}, Compare::kExact, false},
    {"DivideByScalarUsesReciprocal", Op3::kDivideScalar, {5, 7, 10}, {}, 3,
     {0x1.aaaaacp+0f, 0x1.2aaaacp+1f, 0x1.aaaaacp+1f}, Compare::kExact, true},
    {"DivideByZeroScalar", Op3::kDivideScalar, {1, 0, -1}, {}, 0, {kInf, kNaN, -kInf},
     Compare::kExact, false},
    {"DivideByVector", Op3::kDivideVector, {1, 6, 0}, {4, -3, 0}, 0, {0.25f, -2, kNaN},
     Compare::kExact, false},
    {"CrossYZ", Op3::kCross, {0, 1, 0}, {0, 0, 1}, 0, {1, 0, 0}, Compare::kExact, false},
    {"CrossZY", Op3::kCross, {0, 0, 1}, {0, 1, 0}, 0, {-1, 0, 0}, Compare::kExact, false},
    {"CrossGeneral", Op3::kCross, {1, 2, 3}, {4, 5, 6}, 0, {-3, 6, -3}, Compare::kExact,
     false},
    {"NormalizeZero", Op3::kNormalize, {0, 0, 0}, {}, 0, {0, 0, 0}, Compare::kExact, false},
    {"NormalizeSignedZero", Op3::kNormalize, {-0.0f, 0, -0.0f}, {}, 0, {0, 0, 0},
     Compare::kExact, false},
    {"Normalize345", Op3::kNormalize, {3, 0, 4}, {}, 0, {0.6f, 0, 0.8f}, Compare::kNear, false},
    {"NormalizeAxis", Op3::kNormalize, {0, -5, 0}, {}, 0, {0, -1, 0}, Compare::kExact, false},
    {"NormalizeInfinite", Op3::kNormalize, {kInf, 1, 0}, {}, 0, {kNaN, 0, 0}, Compare::kExact,
     false},
    {"Dot", Op3::kDot, {1, 2, 3}, {4, 5, 6}, 0, {32, 0, 0}, Compare::kExact, false},
    // Summed z, y, x: (1e8 - 1e8) + 1. From x first the 1 is lost to rounding.
    {"DotSumsFromZ", Op3::kDot, {1, -1e8f, 1e8f}, {1, 1, 1}, 0, {1, 0, 0}, Compare::kExact,
     false},
};

Vector3 CallReturning3(_Vector3MathFunctions& m, const Case3& c, const Vector3& a,
                       const Vector3& b) {
  switch (c.op) {
    case Op3::kAdd: return m.Add(a, b);
    case Op3::kSubtract: return m.Subtract(a, b);
    case Op3::kMultiplyScalar: return m.Multiply(a, c.s);
    case Op3::kMultiplyVector: return m.Multiply(a, b);
    case Op3::kDivideScalar: return m.Divide(a, c.s);
    case Op3::kDivideVector: return m.Divide(a, b);
    case Op3::kCross: return m.Cross(a, b);
    case Op3::kNormalize: return m.Normalize(a);
    case Op3::kDot: return {m.Dot(a, b), 0, 0};
  }
  return {};
}

void CallInPlace3(_Vector3MathFunctions& m, const Case3& c, const Vector3& a, const Vector3& b,
                  Vector3& out) {
  switch (c.op) {
    case Op3::kAdd: m.Add(a, b, out); return;
    case Op3::kSubtract: m.Subtract(a, b, out); return;
    case Op3::kMultiplyScalar: m.Multiply(a, c.s, out); return;
    case Op3::kMultiplyVector: m.Multiply(a, b, out); return;
    case Op3::kDivideScalar: m.Divide(a, c.s, out); return;
    case Op3::kDivideVector: m.Divide(a, b, out); return;
    case Op3::kCross: m.Cross(a, b, out); return;
    case Op3::kNormalize: m.Normalize(a, out); return;
    case Op3::kDot: m.Dot(a, b, out.x); return;
  }
}

bool UsesB(Op3 op) {
  return op != Op3::kMultiplyScalar && op != Op3::kDivideScalar && op != Op3::kNormalize;
}

class Vector3Arithmetic : public ::testing::Test {
 protected:
  bool Skip(const Case3& c) { return c.needs_single_precision && !kSinglePrecisionEvaluation; }
  _Vector3MathFunctions m_;
};

TEST_F(Vector3Arithmetic, ReturningForms) {
  for (const Case3& c : kCases3) {
    if (Skip(c)) continue;
    SCOPED_TRACE(c.name);
    ExpectVector(c.expected, CallReturning3(m_, c, c.a, c.b), c.how);
  }
}

TEST_F(Vector3Arithmetic, InPlaceForms) {
  for (const Case3& c : kCases3) {
    if (Skip(c)) continue;
    SCOPED_TRACE(c.name);
    Vector3 out = {-77, 0, 0};  // Dot writes x only
    CallInPlace3(m_, c, c.a, c.b, out);
    ExpectVector(c.expected, out, c.how);
  }
}

TEST_F(Vector3Arithmetic, InPlaceFormsWithOutAliasingAnInput) {
  for (const Case3& c : kCases3) {
    if (Skip(c) || c.op == Op3::kDot) continue;
    SCOPED_TRACE(c.name);
    {
      SCOPED_TRACE("out is a");
      Vector3 a = c.a;
      CallInPlace3(m_, c, a, c.b, a);
      ExpectVector(c.expected, a, c.how);
    }
    if (UsesB(c.op)) {
      SCOPED_TRACE("out is b");
      Vector3 b = c.b;
      CallInPlace3(m_, c, c.a, b, b);
      ExpectVector(c.expected, b, c.how);
    }
  }
}

// Dot's output may be a component of an operand; every product is formed before it is set.
TEST_F(Vector3Arithmetic, DotIntoAComponentOfAnOperand) {
  for (float Vector3::*component : {&Vector3::x, &Vector3::y, &Vector3::z}) {
    Vector3 a = {1, 2, 3};
    m_.Dot(a, {4, 5, 6}, a.*component);
    EXPECT_EQ(32.0f, a.*component);
  }
}

TEST_F(Vector3Arithmetic, ScalarThatIsAComponentOfOut) {
  Vector3 v = {2, 4, 6};
  m_.Multiply(v, v.x, v);
  ExpectVector({4, 8, 12}, v);
  v = {2, 4, 6};
  m_.Divide(v, v.x, v);
  ExpectVector({1, 2, 3}, v);
}

// ---------------------------------------------------------------------------------------
// Binary layout: the objects are dispatched by slot number.

void* const* Vtable(const void* object) {
  void* const* vptr;
  std::memcpy(&vptr, object, sizeof vptr);
  return vptr;
}

TEST(Vector4Layout, SSEClassSharesReturningSlotsAndReplacesInPlaceSlots) {
  void* const* scalar = Vtable(&scalar_object);
  void* const* sse = Vtable(&sse_object);
  ASSERT_NE(scalar, sse);
  for (int slot : {0, 2, 4, 5, 8, 9}) {
    EXPECT_EQ(scalar[slot], sse[slot]) << "slot " << slot << " should be inherited";
  }
  for (int slot : {1, 3, 6, 7, 10, 11}) {
    EXPECT_NE(scalar[slot], sse[slot]) << "slot " << slot << " should be the SSE one";
  }
}

#if !defined(_WIN32)
// Calls a slot as the host does: the object pointer first, then the arguments as declared.
// (Itanium C++ ABI on System V targets; a member call there is a plain call with this first.)
template <typename Result, typename... Args>
Result CallSlot(void* object, int slot, Args&... args) {
  using Fn = Result (*)(void*, Args&...);
  return reinterpret_cast<Fn>(Vtable(object)[slot])(object, args...);
}

TEST(Vector4Layout, SlotsInHostOrder) {
  const Vector4 a = {6, 8, 12, 16};
  const Vector4 b = {2, 4, 3, 8};
  const float s = 2;
  const Vector4 add = {8, 12, 15, 24}, sub = {4, 4, 9, 8}, mul_s = {12, 16, 24, 32},
                mul_v = {12, 32, 36, 128}, div_s = {3, 4, 6, 8}, div_v = {3, 2, 4, 2};
  struct Returning {
    int slot;
    bool scalar_arg;
    Vector4 expected;
  };
  const Returning returning[] = {{0, false, add},  {2, false, sub},  {4, true, mul_s},
                                 {5, false, mul_v}, {8, true, div_s}, {9, false, div_v}};
  const Returning in_place[] = {{1, false, add},  {3, false, sub},  {6, true, mul_s},
                                {7, false, mul_v}, {10, true, div_s}, {11, false, div_v}};
  for (_Vector4MathFunctions* object : {static_cast<_Vector4MathFunctions*>(&scalar_object),
                                        static_cast<_Vector4MathFunctions*>(&sse_object)}) {
    for (const Returning& r : returning) {
      SCOPED_TRACE("slot " + std::to_string(r.slot));
      ExpectVector(r.expected, r.scalar_arg ? CallSlot<Vector4>(object, r.slot, a, s)
                                            : CallSlot<Vector4>(object, r.slot, a, b));
    }
    for (const Returning& r : in_place) {
      SCOPED_TRACE("slot " + std::to_string(r.slot));
      Vector4 out = {};
      if (r.scalar_arg) {
        CallSlot<void>(object, r.slot, a, s, out);
      } else {
        CallSlot<void>(object, r.slot, a, b, out);
      }
      ExpectVector(r.expected, out);
    }
  }
}

TEST(Vector3Layout, SlotsInHostOrder) {
  _Vector3MathFunctions object;
  const Vector3 a = {6, 8, 12};
  const Vector3 b = {2, 4, 3};
  const float s = 2;
  enum Form { kReturning, kInPlace };
  enum Args { kVector, kScalar, kUnary };
  const float n = 1.0f / std::sqrt(244.0f);
  const Vector3 add = {8, 12, 15}, sub = {4, 4, 9}, mul_s = {12, 16, 24}, mul_v = {12, 32, 36},
                div_s = {3, 4, 6}, div_v = {3, 2, 4}, cross = {-24, 6, 8},
                unit = {6 * n, 8 * n, 12 * n};
  const struct {
    int slot;
    Form form;
    Args args;
    Vector3 expected;
  } kSlots[] = {
      {0, kReturning, kVector, add},    {1, kInPlace, kVector, add},
      {2, kReturning, kVector, sub},    {3, kInPlace, kVector, sub},
      {4, kReturning, kScalar, mul_s},  {5, kReturning, kVector, mul_v},
      {6, kInPlace, kScalar, mul_s},    {7, kInPlace, kVector, mul_v},
      {8, kReturning, kScalar, div_s},  {9, kReturning, kVector, div_v},
      {10, kInPlace, kScalar, div_s},   {11, kInPlace, kVector, div_v},
      {12, kReturning, kVector, cross}, {13, kInPlace, kVector, cross},
      {14, kReturning, kUnary, unit},   {15, kInPlace, kUnary, unit},
  };
  for (const auto& e : kSlots) {
    SCOPED_TRACE("slot " + std::to_string(e.slot));
    Vector3 result = {};
    if (e.form == kReturning) {
      if (e.args == kVector) result = CallSlot<Vector3>(&object, e.slot, a, b);
      if (e.args == kScalar) result = CallSlot<Vector3>(&object, e.slot, a, s);
      if (e.args == kUnary) result = CallSlot<Vector3>(&object, e.slot, a);
    } else {
      if (e.args == kVector) CallSlot<void>(&object, e.slot, a, b, result);
      if (e.args == kScalar) CallSlot<void>(&object, e.slot, a, s, result);
      if (e.args == kUnary) CallSlot<void>(&object, e.slot, a, result);
    }
    ExpectVector(e.expected, result, e.args == kUnary ? Compare::kNear : Compare::kExact);
  }
  EXPECT_EQ(80.0f, CallSlot<float>(&object, 16, a, b));
  float dot = 0;
  CallSlot<void>(&object, 17, a, b, dot);
  EXPECT_EQ(80.0f, dot);
}
#endif

// ---------------------------------------------------------------------------------------
// The returning forms zero their result and hand it to the paired in-place slot through
// the object's own dispatch, so a class that replaces the in-place slots is used by them.

struct CallRecord {
  std::vector<std::string> calls;
  bool out_was_zero = true;

  template <typename V>
  void Note(const char* slot, const V& out) {
    calls.push_back(slot);
    const float* f = reinterpret_cast<const float*>(&out);
    for (std::size_t i = 0; i < sizeof(V) / sizeof(float); ++i) {
      if (f[i] != 0.0f) out_was_zero = false;
    }
  }
};

class RecordingSSE : public _Vector4MathFunctionsSSE {
 public:
  using _Vector4MathFunctionsSSE::Add;
  using _Vector4MathFunctionsSSE::Divide;
  using _Vector4MathFunctionsSSE::Multiply;
  using _Vector4MathFunctionsSSE::Subtract;
  void Add(const Vector4& a, const Vector4& b, Vector4& out) override {
    record.Note("Add", out);
    _Vector4MathFunctionsSSE::Add(a, b, out);
  }
  void Subtract(const Vector4& a, const Vector4& b, Vector4& out) override {
    record.Note("Subtract", out);
    _Vector4MathFunctionsSSE::Subtract(a, b, out);
  }
  void Multiply(const Vector4& v, const float& s, Vector4& out) override {
    record.Note("MultiplyScalar", out);
    _Vector4MathFunctionsSSE::Multiply(v, s, out);
  }
  void Multiply(const Vector4& a, const Vector4& b, Vector4& out) override {
    record.Note("MultiplyVector", out);
    _Vector4MathFunctionsSSE::Multiply(a, b, out);
  }
  void Divide(const Vector4& v, const float& s, Vector4& out) override {
    record.Note("DivideScalar", out);
    _Vector4MathFunctionsSSE::Divide(v, s, out);
  }
  void Divide(const Vector4& a, const Vector4& b, Vector4& out) override {
    record.Note("DivideVector", out);
    _Vector4MathFunctionsSSE::Divide(a, b, out);
  }
  CallRecord record;
};

TEST(Vector4Dispatch, ReturningFormsCallTheObjectsInPlaceSlot) {
  const struct {
    Op4 op;
    const char* slot;
  } kPairs[] = {{Op4::kAdd, "Add"},
                {Op4::kSubtract, "Subtract"},
                {Op4::kMultiplyScalar, "MultiplyScalar"},
                {Op4::kMultiplyVector, "MultiplyVector"},
                {Op4::kDivideScalar, "DivideScalar"},
                {Op4::kDivideVector, "DivideVector"}};
  const Vector4 a = {6, 8, 12, 16};
  const Vector4 b = {2, 4, 3, 8};
  const float s = 2;
  for (const auto& pair : kPairs) {
    SCOPED_TRACE(pair.slot);
    RecordingSSE recording;
    _Vector4MathFunctions& m = recording;
    const Vector4 result = CallReturning(m, pair.op, a, b, s);
    ASSERT_EQ(std::vector<std::string>{pair.slot}, recording.record.calls);
    EXPECT_TRUE(recording.record.out_was_zero);
    Vector4 expected = {};
    CallInPlace(sse_object, pair.op, a, b, s, expected);
    ExpectVector(expected, result);
  }
}

class RecordingVector3 : public _Vector3MathFunctions {
 public:
  using _Vector3MathFunctions::Add;
  using _Vector3MathFunctions::Cross;
  using _Vector3MathFunctions::Divide;
  using _Vector3MathFunctions::Dot;
  using _Vector3MathFunctions::Multiply;
  using _Vector3MathFunctions::Normalize;
  using _Vector3MathFunctions::Subtract;
  // Each replacement writes a marker of its own, so the returned value shows whose it was.
  void Add(const Vector3&, const Vector3&, Vector3& out) override { Mark("Add", out, 1); }
  void Subtract(const Vector3&, const Vector3&, Vector3& out) override {
    Mark("Subtract", out, 2);
  }
  void Multiply(const Vector3&, const float&, Vector3& out) override {
    Mark("MultiplyScalar", out, 3);
  }
  void Multiply(const Vector3&, const Vector3&, Vector3& out) override {
    Mark("MultiplyVector", out, 4);
  }
  void Divide(const Vector3&, const float&, Vector3& out) override {
    Mark("DivideScalar", out, 5);
  }
  void Divide(const Vector3&, const Vector3&, Vector3& out) override {
    Mark("DivideVector", out, 6);
  }
  void Cross(const Vector3&, const Vector3&, Vector3& out) override { Mark("Cross", out, 7); }
  void Normalize(const Vector3&, Vector3& out) override { Mark("Normalize", out, 8); }
  void Dot(const Vector3&, const Vector3&, float& out) override {
    record.Note("Dot", out);
    out = 9;
  }
  CallRecord record;

 private:
  void Mark(const char* slot, Vector3& out, float marker) {
    record.Note(slot, out);
    out = {marker, -marker, marker};
  }
};

TEST(Vector3Dispatch, ReturningFormsCallTheObjectsInPlaceSlot) {
  const Vector3 a = {1, 2, 3};
  const Vector3 b = {4, 5, 6};
  const float s = 2;
  const struct {
    const char* slot;
    float marker;
    Vector3 (*call)(_Vector3MathFunctions&, const Vector3&, const Vector3&, const float&);
  } kPairs[] = {
      {"Add", 1, [](_Vector3MathFunctions& m, const Vector3& u, const Vector3& v,
                    const float&) { return m.Add(u, v); }},
      {"Subtract", 2, [](_Vector3MathFunctions& m, const Vector3& u, const Vector3& v,
                         const float&) { return m.Subtract(u, v); }},
      {"MultiplyScalar", 3, [](_Vector3MathFunctions& m, const Vector3& u, const Vector3&,
                               const float& k) { return m.Multiply(u, k); }},
      {"MultiplyVector", 4, [](_Vector3MathFunctions& m, const Vector3& u, const Vector3& v,
                               const float&) { return m.Multiply(u, v); }},
      {"DivideScalar", 5, [](_Vector3MathFunctions& m, const Vector3& u, const Vector3&,
                             const float& k) { return m.Divide(u, k); }},
      {"DivideVector", 6, [](_Vector3MathFunctions& m, const Vector3& u, const Vector3& v,
                             const float&) { return m.Divide(u, v); }},
      {"Cross", 7, [](_Vector3MathFunctions& m, const Vector3& u, const Vector3& v,
                      const float&) { return m.Cross(u, v); }},
      {"Normalize", 8, [](_Vector3MathFunctions& m, const Vector3& u, const Vector3&,
                          const float&) { return m.Normalize(u); }},
      {"Dot", 9, [](_Vector3MathFunctions& m, const Vector3& u, const Vector3& v,
                    const float&) { return Vector3{m.Dot(u, v), -9, 9}; }},
  };
  for (const auto& pair : kPairs) {
    SCOPED_TRACE(pair.slot);
    RecordingVector3 recording;
    const Vector3 result = pair.call(recording, a, b, s);
    ASSERT_EQ(std::vector<std::string>{pair.slot}, recording.record.calls);
    EXPECT_TRUE(recording.record.out_was_zero);
    ExpectVector({pair.marker, -pair.marker, pair.marker}, result);
  }
}

}  // namespace
