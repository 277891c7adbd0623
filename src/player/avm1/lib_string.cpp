// String: the constructor, fromCharCode and the methods, on UTF-16 units
// from version 6 on (bytes before).
#include "player/avm1/native.h"
#include "player/avm1/text.h"

#include <cmath>

namespace avm1 {

static bool Unicode(Runtime& rt) { return rt.version >= 6; }

static std::string ThisString(Runtime& rt, CallContext& call) {
    const Value& t = call.thisv;
    if (t.IsObject() && t.object->kind == Kind::STRING)
        return t.object->primitive.string;
    return rt.ToString(t);
}

static Value StringConstruct(Runtime& rt, CallContext& call) {
    std::string s = HasArg(call, 0) ? StringArg(rt, call, 0) : std::string();
    if (!call.construct)
        return Value(s);
    Object* o = call.ThisObject();
    if (o) {
        o->kind = Kind::STRING;
        o->primitive = Value(s);
        // A wrapper's length is its own property, free to change.
        rt.SetOwn(o, "length", Value(static_cast<double>(UnitLength(s, Unicode(rt)))), PROP_DONT_ENUM | PROP_DONT_DELETE);
    }
    return call.thisv;
}

static Value StringValueOf(Runtime& rt, CallContext& call) { return Value(ThisString(rt, call)); }

static Value StringFromCharCode(Runtime& rt, CallContext& call) {
    std::u16string units;
    for (size_t i = 0; i < call.Count(); ++i) {
        unsigned code = DoubleToUint32(NumberArg(rt, call, i)) & 0xFFFF;
        if (code == 0)
            break;
        units += static_cast<char16_t>(code);
    }
    return Value(FromUnits(units, Unicode(rt)));
}

// An index argument: wraps as a 32-bit integer, NaN as 0.
static double IndexArg(Runtime& rt, CallContext& call, size_t i) { return DoubleToInt32(NumberArg(rt, call, i)); }

static Value StringCharAt(Runtime& rt, CallContext& call) {
    std::u16string s = ToUnits(ThisString(rt, call), Unicode(rt));
    double i = IndexArg(rt, call, 0);
    if (i < 0 || i >= static_cast<double>(s.size()))
        return Value("");
    return Value(FromUnits(s.substr(static_cast<size_t>(i), 1), Unicode(rt)));
}

static Value StringCharCodeAt(Runtime& rt, CallContext& call) {
    std::u16string s = ToUnits(ThisString(rt, call), Unicode(rt));
    double i = IndexArg(rt, call, 0);
    if (i < 0 || i >= static_cast<double>(s.size()))
        return Value(NAN);
    return Value(static_cast<double>(s[static_cast<size_t>(i)]));
}

static Value StringConcat(Runtime& rt, CallContext& call) {
    std::string out = ThisString(rt, call);
    for (size_t i = 0; i < call.Count() && rt.TextFits(out.size()); ++i)
        out += StringArg(rt, call, i);
    return rt.Unwinding() ? Value() : Value(out);
}

static Value StringIndexOf(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    std::u16string s = ToUnits(ThisString(rt, call), Unicode(rt));
    std::u16string what = ToUnits(StringArg(rt, call, 0), Unicode(rt));
    double from = HasArg(call, 1) ? IndexArg(rt, call, 1) : 0;
    if (from < 0)
        from = 0;
    if (from > static_cast<double>(s.size()))
        return Value(-1.0);
    size_t at = s.find(what, static_cast<size_t>(from));
    return Value(at == std::u16string::npos ? -1.0 : static_cast<double>(at));
}

static Value StringLastIndexOf(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    std::u16string s = ToUnits(ThisString(rt, call), Unicode(rt));
    std::u16string what = ToUnits(StringArg(rt, call, 0), Unicode(rt));
    size_t from = std::u16string::npos;
    if (HasArg(call, 1) && !call.Arg(1).IsUndefined()) {
        double d = IndexArg(rt, call, 1);
        if (d < 0)
            return Value(-1.0);
        if (d < static_cast<double>(s.size()))
            from = static_cast<size_t>(d);
    }
    size_t at = s.rfind(what, from);
    return Value(at == std::u16string::npos ? -1.0 : static_cast<double>(at));
}

// Negative counts from the end, clamped to 0..length.
static size_t Relative(double d, size_t length) {
    if (std::isnan(d))
        return 0;
    d = std::trunc(d);
    if (d < 0)
        d += static_cast<double>(length);
    if (d < 0)
        return 0;
    return d > static_cast<double>(length) ? length : static_cast<size_t>(d);
}

static Value StringSlice(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    std::u16string s = ToUnits(ThisString(rt, call), Unicode(rt));
    size_t from = Relative(IndexArg(rt, call, 0), s.size());
    size_t to = HasArg(call, 1) && !call.Arg(1).IsUndefined() ? Relative(IndexArg(rt, call, 1), s.size()) : s.size();
    if (to <= from)
        return Value("");
    return Value(FromUnits(s.substr(from, to - from), Unicode(rt)));
}

static Value StringSubstring(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    std::u16string s = ToUnits(ThisString(rt, call), Unicode(rt));
    auto clamp = [&](double d) -> size_t {
        if (std::isnan(d) || d < 0)
            return 0;
        return d > static_cast<double>(s.size()) ? s.size() : static_cast<size_t>(d);
    };
    size_t from = clamp(IndexArg(rt, call, 0));
    size_t to = HasArg(call, 1) && !call.Arg(1).IsUndefined() ? clamp(IndexArg(rt, call, 1)) : s.size();
    if (from > to)
        std::swap(from, to);
    return Value(FromUnits(s.substr(from, to - from), Unicode(rt)));
}

static Value StringSubstr(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    std::u16string s = ToUnits(ThisString(rt, call), Unicode(rt));
    size_t from = Relative(IndexArg(rt, call, 0), s.size());
    size_t count = s.size() - from;
    if (HasArg(call, 1) && !call.Arg(1).IsUndefined()) {
        double n = IndexArg(rt, call, 1);
        if (n < 0) {
            // A negative count is counted back from the end of the whole
            // string, and gives nothing once it would reach the end.
            n += static_cast<double>(s.size());
            if (n < 0 || static_cast<double>(from) + n >= static_cast<double>(s.size()))
                return Value("");
        }
        if (n < static_cast<double>(count))
            count = static_cast<size_t>(n);
    }
    return Value(FromUnits(s.substr(from, count), Unicode(rt)));
}

static Value StringSplit(Runtime& rt, CallContext& call) {
    std::string whole = ThisString(rt, call);
    Object* out = rt.NewArray();
    if (!HasArg(call, 0) || call.Arg(0).IsUndefined()) {
        rt.SetIndex(out, 0, Value(whole));
        return Value(out);
    }
    double limitArg = HasArg(call, 1) && !call.Arg(1).IsUndefined() ? NumberArg(rt, call, 1) : 4294967295.0;
    size_t limit = std::isnan(limitArg) || limitArg < 0 ? 0 : static_cast<size_t>(std::min(limitArg, 4294967295.0));
    std::u16string s = ToUnits(whole, Unicode(rt));
    std::u16string sep = ToUnits(StringArg(rt, call, 0), Unicode(rt));
    uint32_t n = 0;
    if (sep.empty()) {
        for (size_t i = 0; i < s.size() && n < limit; ++i)
            rt.SetIndex(out, n++, Value(FromUnits(s.substr(i, 1), Unicode(rt))));
        return Value(out);
    }
    size_t start = 0;
    while (n < limit) {
        size_t at = s.find(sep, start);
        if (at == std::u16string::npos) {
            rt.SetIndex(out, n++, Value(FromUnits(s.substr(start), Unicode(rt))));
            break;
        }
        rt.SetIndex(out, n++, Value(FromUnits(s.substr(start, at - start), Unicode(rt))));
        start = at + sep.size();
    }
    return Value(out);
}

static Value StringToUpper(Runtime& rt, CallContext& call) {
    return Value(FromUnits(UpperUnits(ToUnits(ThisString(rt, call), Unicode(rt))), Unicode(rt)));
}

static Value StringToLower(Runtime& rt, CallContext& call) {
    return Value(FromUnits(LowerUnits(ToUnits(ThisString(rt, call), Unicode(rt))), Unicode(rt)));
}

void SetupString(Runtime& rt) {
    rt.stringProto = rt.NewObject(rt.objectProto);
    rt.Pin(rt.stringProto);
    Object* p = rt.stringProto;
    rt.DefineMethod(p, "toString", StringValueOf);
    rt.DefineMethod(p, "valueOf", StringValueOf);
    rt.DefineMethod(p, "charAt", StringCharAt);
    rt.DefineMethod(p, "charCodeAt", StringCharCodeAt);
    rt.DefineMethod(p, "concat", StringConcat);
    rt.DefineMethod(p, "indexOf", StringIndexOf);
    rt.DefineMethod(p, "lastIndexOf", StringLastIndexOf);
    rt.DefineMethod(p, "slice", StringSlice);
    rt.DefineMethod(p, "substring", StringSubstring);
    rt.DefineMethod(p, "substr", StringSubstr);
    rt.DefineMethod(p, "split", StringSplit);
    rt.DefineMethod(p, "toUpperCase", StringToUpper);
    rt.DefineMethod(p, "toLowerCase", StringToLower);
    Object* ctor = rt.NewClass(StringConstruct, p);
    rt.DefineMethod(ctor, "fromCharCode", StringFromCharCode);
    rt.SetOwn(rt.global, "String", Value(ctor), PROP_DONT_ENUM);
}

} // namespace avm1
