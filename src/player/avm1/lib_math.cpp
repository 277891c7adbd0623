// Math: the functions and constants.
#include "player/avm1/native.h"

#include <cmath>

namespace avm1 {

enum MathTag {
    MATH_ABS,
    MATH_ACOS,
    MATH_ASIN,
    MATH_ATAN,
    MATH_CEIL,
    MATH_COS,
    MATH_EXP,
    MATH_FLOOR,
    MATH_LOG,
    MATH_ROUND,
    MATH_SIN,
    MATH_SQRT,
    MATH_TAN,
};

// The first two arguments are read as numbers, in order; the first is used.
static double FirstNumber(Runtime& rt, CallContext& call) {
    double first = NAN;
    for (size_t i = 0; i < call.Count() && i < 2; ++i) {
        double x = NumberArg(rt, call, i);
        if (i == 0)
            first = x;
    }
    return first;
}

static Value MathUnary(Runtime& rt, CallContext& call) {
    double x = FirstNumber(rt, call);
    switch (call.callee->nativeTag) {
    case MATH_ABS:
        return Value(std::fabs(x));
    case MATH_ACOS:
        return Value(std::acos(x));
    case MATH_ASIN:
        return Value(std::asin(x));
    case MATH_ATAN:
        return Value(std::atan(x));
    case MATH_CEIL:
        return Value(std::ceil(x));
    case MATH_COS:
        return Value(std::cos(x));
    case MATH_EXP:
        return Value(std::exp(x));
    case MATH_FLOOR:
        return Value(std::floor(x));
    case MATH_LOG:
        return Value(std::log(x));
    case MATH_ROUND:
        return Value(std::floor(x + 0.5));
    case MATH_SIN:
        return Value(std::sin(x));
    case MATH_SQRT:
        return Value(std::sqrt(x));
    case MATH_TAN:
        return Value(std::tan(x));
    }
    return Value(NAN);
}

static Value MathAtan2(Runtime& rt, CallContext& call) {
    return Value(std::atan2(NumberArg(rt, call, 0), NumberArg(rt, call, 1)));
}

static Value MathPow(Runtime& rt, CallContext& call) {
    return Value(std::pow(NumberArg(rt, call, 0), NumberArg(rt, call, 1)));
}

// Math.min and Math.max: no arguments give the identity, one gives NaN.
static Value MathExtreme(Runtime& rt, CallContext& call) {
    bool max = call.callee->nativeTag != 0;
    double best = max ? -INFINITY : INFINITY;
    if (call.Count() == 1) {
        NumberArg(rt, call, 0);
        return Value(NAN);
    }
    bool nan = false;
    for (size_t i = 0; i < call.Count(); ++i) {
        double x = NumberArg(rt, call, i);
        if (std::isnan(x))
            nan = true;
        else if (max ? x > best : x < best)
            best = x;
    }
    return Value(nan ? NAN : best);
}

static Value MathRandom(Runtime& rt, CallContext& call) {
    (void)call;
    return Value(rt.Random());
}

void SetupMath(Runtime& rt) {
    Object* m = rt.NewObject(rt.objectProto);
    const std::pair<const char*, int> unary[] = {
        {"abs", MATH_ABS},     {"acos", MATH_ACOS}, {"asin", MATH_ASIN}, {"atan", MATH_ATAN}, {"ceil", MATH_CEIL},
        {"cos", MATH_COS},     {"exp", MATH_EXP},   {"floor", MATH_FLOOR}, {"log", MATH_LOG}, {"round", MATH_ROUND},
        {"sin", MATH_SIN},     {"sqrt", MATH_SQRT}, {"tan", MATH_TAN}};
    for (const auto& f : unary)
        rt.DefineMethod(m, f.first, MathUnary, f.second);
    rt.DefineMethod(m, "atan2", MathAtan2);
    rt.DefineMethod(m, "pow", MathPow);
    rt.DefineMethod(m, "max", MathExtreme, 1);
    rt.DefineMethod(m, "min", MathExtreme, 0);
    rt.DefineMethod(m, "random", MathRandom);
    const uint16_t fixed = PROP_DONT_ENUM | PROP_DONT_DELETE | PROP_READ_ONLY;
    rt.SetOwn(m, "E", Value(2.718281828459045), fixed);
    rt.SetOwn(m, "LN10", Value(2.302585092994046), fixed);
    rt.SetOwn(m, "LN2", Value(0.6931471805599453), fixed);
    rt.SetOwn(m, "LOG10E", Value(0.4342944819032518), fixed);
    rt.SetOwn(m, "LOG2E", Value(1.4426950408889634), fixed);
    rt.SetOwn(m, "PI", Value(3.141592653589793), fixed);
    rt.SetOwn(m, "SQRT1_2", Value(0.7071067811865476), fixed);
    rt.SetOwn(m, "SQRT2", Value(1.4142135623730951), fixed);
    rt.SetOwn(rt.global, "Math", Value(m), PROP_DONT_ENUM);
}

} // namespace avm1
