// Number and Boolean: constructors, wrappers and their methods.
#include "player/avm1/native.h"

#include <cfloat>
#include <cmath>

namespace avm1 {

static Value NumberConstruct(Runtime& rt, CallContext& call) {
    double n = HasArg(call, 0) ? NumberArg(rt, call, 0) : 0;
    if (!call.construct)
        return Value(n);
    Object* o = call.ThisObject();
    if (o) {
        o->kind = Kind::NUMBER;
        o->primitive = Value(n);
    }
    return call.thisv;
}

static bool ThisNumber(Runtime& rt, CallContext& call, double* n) {
    (void)rt;
    const Value& t = call.thisv;
    if (t.IsNumber()) {
        *n = t.number;
        return true;
    }
    if (t.IsObject() && t.object->kind == Kind::NUMBER) {
        *n = t.object->primitive.number;
        return true;
    }
    return false;
}

static Value NumberToStringMethod(Runtime& rt, CallContext& call) {
    double n = 0;
    if (!ThisNumber(rt, call, &n))
        return Value();
    int radix = 10;
    if (HasArg(call, 0) && !call.Arg(0).IsUndefined()) {
        double r = NumberArg(rt, call, 0);
        radix = std::isnan(r) ? 10 : static_cast<int>(r);
    }
    return Value(NumberToRadixString(n, radix));
}

static Value NumberValueOf(Runtime& rt, CallContext& call) {
    double n = 0;
    if (!ThisNumber(rt, call, &n))
        return Value();
    return Value(n);
}

static Value BooleanConstruct(Runtime& rt, CallContext& call) {
    bool b = HasArg(call, 0) && rt.ToBoolean(call.Arg(0));
    if (!call.construct)
        return Value(b);
    Object* o = call.ThisObject();
    if (o) {
        o->kind = Kind::BOOLEAN;
        o->primitive = Value(b);
    }
    return call.thisv;
}

static bool ThisBoolean(CallContext& call, bool* b) {
    const Value& t = call.thisv;
    if (t.type == Type::BOOLEAN) {
        *b = t.boolean;
        return true;
    }
    if (t.IsObject() && t.object->kind == Kind::BOOLEAN) {
        *b = t.object->primitive.boolean;
        return true;
    }
    return false;
}

static Value BooleanToString(Runtime& rt, CallContext& call) {
    (void)rt;
    bool b = false;
    if (!ThisBoolean(call, &b))
        return Value();
    return Value(b ? "true" : "false");
}

static Value BooleanValueOf(Runtime& rt, CallContext& call) {
    (void)rt;
    bool b = false;
    if (!ThisBoolean(call, &b))
        return Value();
    return Value(b);
}

void SetupNumber(Runtime& rt) {
    rt.numberProto = rt.NewObject(rt.objectProto);
    rt.Pin(rt.numberProto);
    rt.DefineMethod(rt.numberProto, "toString", NumberToStringMethod);
    rt.DefineMethod(rt.numberProto, "valueOf", NumberValueOf);
    Object* number = rt.NewClass(NumberConstruct, rt.numberProto);
    const uint16_t fixed = PROP_DONT_ENUM | PROP_DONT_DELETE | PROP_READ_ONLY;
    rt.SetOwn(number, "MAX_VALUE", Value(DBL_MAX), fixed);
    rt.SetOwn(number, "MIN_VALUE", Value(4.9406564584124654e-324), fixed);
    rt.SetOwn(number, "NaN", Value(NAN), fixed);
    rt.SetOwn(number, "NEGATIVE_INFINITY", Value(-INFINITY), fixed);
    rt.SetOwn(number, "POSITIVE_INFINITY", Value(INFINITY), fixed);
    rt.SetOwn(rt.global, "Number", Value(number), PROP_DONT_ENUM);

    rt.booleanProto = rt.NewObject(rt.objectProto);
    rt.Pin(rt.booleanProto);
    rt.DefineMethod(rt.booleanProto, "toString", BooleanToString);
    rt.DefineMethod(rt.booleanProto, "valueOf", BooleanValueOf);
    Object* boolean = rt.NewClass(BooleanConstruct, rt.booleanProto);
    rt.SetOwn(rt.global, "Boolean", Value(boolean), PROP_DONT_ENUM);
}

} // namespace avm1
