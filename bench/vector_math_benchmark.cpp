// Cost of the 4-component vector math objects: every operation through a
// _Vector4MathFunctions pointer at the scalar object and at the SSE object, next to the
// same arithmetic written inline as the floor. Names are "<operation>/<form>/<variant>",
// registered side by side per operation:
//   Add/inline, Add/in_place/scalar, Add/in_place/sse, Add/returning/scalar, ...
#include <benchmark/benchmark.h>

#include <string>

#include "vecmath/vector_math.h"

namespace {

_Vector4MathFunctions scalar_object;
_Vector4MathFunctionsSSE sse_object;

struct Inputs {
  Vector4 a = {1.5f, -2.25f, 3.125f, 4.0f};
  Vector4 b = {0.5f, 1.25f, -2.0f, 8.0f};
  float s = 1.75f;
};

struct AddOp {
  static constexpr const char* kName = "Add";
  static void InPlace(_Vector4MathFunctions* m, const Inputs& in, Vector4& out) {
    m->Add(in.a, in.b, out);
  }
  static Vector4 Returning(_Vector4MathFunctions* m, const Inputs& in) {
    return m->Add(in.a, in.b);
  }
  static void Inline(const Inputs& in, Vector4& out) {
    out.x = in.a.x + in.b.x;
    out.y = in.a.y + in.b.y;
    out.z = in.a.z + in.b.z;
    out.w = in.a.w + in.b.w;
  }
};

struct SubtractOp {
  static constexpr const char* kName = "Subtract";
  static void InPlace(_Vector4MathFunctions* m, const Inputs& in, Vector4& out) {
    m->Subtract(in.a, in.b, out);
  }
  static Vector4 Returning(_Vector4MathFunctions* m, const Inputs& in) {
    return m->Subtract(in.a, in.b);
  }
  static void Inline(const Inputs& in, Vector4& out) {
    out.x = in.a.x - in.b.x;
    out.y = in.a.y - in.b.y;
    out.z = in.a.z - in.b.z;
    out.w = in.a.w - in.b.w;
  }
};

struct MultiplyScalarOp {
  static constexpr const char* kName = "MultiplyScalar";
  static void InPlace(_Vector4MathFunctions* m, const Inputs& in, Vector4& out) {
    m->Multiply(in.a, in.s, out);
  }
  static Vector4 Returning(_Vector4MathFunctions* m, const Inputs& in) {
    return m->Multiply(in.a, in.s);
  }
  static void Inline(const Inputs& in, Vector4& out) {
    out.x = in.a.x * in.s;
    out.y = in.a.y * in.s;
    out.z = in.a.z * in.s;
    out.w = in.a.w * in.s;
  }
};

struct MultiplyVectorOp {
  static constexpr const char* kName = "MultiplyVector";
  static void InPlace(_Vector4MathFunctions* m, const Inputs& in, Vector4& out) {
    m->Multiply(in.a, in.b, out);
  }
  static Vector4 Returning(_Vector4MathFunctions* m, const Inputs& in) {
    return m->Multiply(in.a, in.b);
  }
  static void Inline(const Inputs& in, Vector4& out) {
    out.x = in.a.x * in.b.x;
    out.y = in.a.y * in.b.y;
    out.z = in.a.z * in.b.z;
    out.w = in.a.w * in.b.w;
  }
};

struct DivideScalarOp {
  static constexpr const char* kName = "DivideScalar";
  static void InPlace(_Vector4MathFunctions* m, const Inputs& in, Vector4& out) {
    m->Divide(in.a, in.s, out);
  }
  static Vector4 Returning(_Vector4MathFunctions* m, const Inputs& in) {
    return m->Divide(in.a, in.s);
  }
  static void Inline(const Inputs& in, Vector4& out) {
    const float r = 1.0f / in.s;
    out.x = in.a.x * r;
    out.y = in.a.y * r;
    out.z = in.a.z * r;
    out.w = in.a.w * r;
  }
};

struct DivideVectorOp {
  static constexpr const char* kName = "DivideVector";
  static void InPlace(_Vector4MathFunctions* m, const Inputs& in, Vector4& out) {
    m->Divide(in.a, in.b, out);
  }
  static Vector4 Returning(_Vector4MathFunctions* m, const Inputs& in) {
    return m->Divide(in.a, in.b);
  }
  static void Inline(const Inputs& in, Vector4& out) {
    out.x = in.a.x / in.b.x;
    out.y = in.a.y / in.b.y;
    out.z = in.a.z / in.b.z;
    out.w = in.a.w / in.b.w;
  }
};

// Each iteration the inputs are made opaque again and the result is forced out, so the
// compiler can neither hoist the arithmetic out of the loop nor drop it.
template <typename Op>
void InlineFloor(benchmark::State& state) {
  Inputs in;
  Vector4 out = {};
  for (auto _ : state) {
    benchmark::DoNotOptimize(in);
    Op::Inline(in, out);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
}

template <typename Op>
void DispatchedInPlace(benchmark::State& state, _Vector4MathFunctions* object) {
  _Vector4MathFunctions* m = object;
  benchmark::DoNotOptimize(m);  // the dynamic class stays unknown to the compiler
  Inputs in;
  Vector4 out = {};
  for (auto _ : state) {
    benchmark::DoNotOptimize(in);
    Op::InPlace(m, in, out);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
}

template <typename Op>
void DispatchedReturning(benchmark::State& state, _Vector4MathFunctions* object) {
  _Vector4MathFunctions* m = object;
  benchmark::DoNotOptimize(m);
  Inputs in;
  for (auto _ : state) {
    benchmark::DoNotOptimize(in);
    Vector4 out = Op::Returning(m, in);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
}

template <typename Op>
void RegisterOperation() {
  const std::string name = Op::kName;
  benchmark::RegisterBenchmark((name + "/inline").c_str(), InlineFloor<Op>);
  benchmark::RegisterBenchmark((name + "/in_place/scalar").c_str(), DispatchedInPlace<Op>,
                               &scalar_object);
  benchmark::RegisterBenchmark((name + "/in_place/sse").c_str(), DispatchedInPlace<Op>,
                               &sse_object);
  benchmark::RegisterBenchmark((name + "/returning/scalar").c_str(), DispatchedReturning<Op>,
                               &scalar_object);
  benchmark::RegisterBenchmark((name + "/returning/sse").c_str(), DispatchedReturning<Op>,
                               &sse_object);
}

}  // namespace

int main(int argc, char** argv) {
  RegisterOperation<AddOp>();
  RegisterOperation<SubtractOp>();
  RegisterOperation<MultiplyScalarOp>();
  RegisterOperation<MultiplyVectorOp>();
  RegisterOperation<DivideScalarOp>();
  RegisterOperation<DivideVectorOp>();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
