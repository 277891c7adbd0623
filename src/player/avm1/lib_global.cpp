// The global functions: parseInt, parseFloat, isNaN, isFinite, escape,
// unescape, setInterval and its kin, and the global constants.
#include "player/avm1/native.h"

#include <cmath>

namespace avm1 {

static int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// parseInt as the players read it: "0x" counts only at the very start,
// octal only for a whole text of octal digits without leading blanks.
static Value ParseInt(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    std::string s = StringArg(rt, call, 0);
    int radix = 0;
    if (HasArg(call, 1)) {
        double r = DoubleToInteger(NumberArg(rt, call, 1));
        if (std::isnan(NumberArg(rt, call, 1)) || r < 2 || r > 36)
            return Value(NAN);
        radix = static_cast<int>(r);
    }
    size_t i = 0;
    bool negative = false;
    bool signedHex = s.size() >= 3 && (s[0] == '-' || s[0] == '+') && s[1] == '0' && (s[2] == 'x' || s[2] == 'X');
    if (signedHex) {
        if (radix == 0)
            return Value(NAN);
        // The sign is dropped and "0x" read as digits; an "x" that is no
        // digit ends the number at once.
        i = 1;
        if (DigitValue(s[2]) >= radix)
            return Value(NAN);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        if (radix == 0)
            radix = 16;
        i = 2;
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
            negative = s[i] == '-';
            ++i;
        }
    } else {
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        bool blanks = i > 0;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
            negative = s[i] == '-';
            ++i;
        }
        if (radix == 0) {
            radix = 10;
            bool octal = !blanks && i + 1 < s.size() && s[i] == '0';
            for (size_t k = i; octal && k < s.size(); ++k)
                octal = s[k] >= '0' && s[k] <= '7';
            if (octal)
                radix = 8;
        }
    }
    double value = 0;
    size_t digits = 0;
    for (; i < s.size(); ++i) {
        int d = DigitValue(s[i]);
        if (d >= radix)
            break;
        value = value * radix + d;
        ++digits;
    }
    if (!digits)
        return Value(NAN);
    return Value(negative ? -value : value);
}

static Value ParseFloat(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    return Value(ParseFloatPrefix(StringArg(rt, call, 0)));
}

static Value IsNaN(Runtime& rt, CallContext& call) { return Value(std::isnan(NumberArg(rt, call, 0))); }

static Value IsFinite(Runtime& rt, CallContext& call) { return Value(std::isfinite(NumberArg(rt, call, 0))); }

static Value EscapeFunction(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    return Value(Runtime::Escape(StringArg(rt, call, 0)));
}

static Value UnescapeFunction(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    return Value(Runtime::Unescape(StringArg(rt, call, 0)));
}

// setInterval(function, ms, args...) or setInterval(object, "method", ms, args...).
static Value AddInterval(Runtime& rt, CallContext& call, bool once) {
    Interval interval;
    size_t next = 0;
    if (IsFunction(call.Arg(0))) {
        interval.function = call.Arg(0);
        next = 1;
    } else if (call.Arg(0).IsObject() && HasArg(call, 1)) {
        interval.function = call.Arg(0);
        interval.method = StringArg(rt, call, 1);
        next = 2;
    } else {
        return Value();
    }
    // A missing or undefined period makes no timer (null is taken as 0).
    if (!HasArg(call, next) || call.Arg(next).IsUndefined())
        return Value();
    double period = NumberArg(rt, call, next);
    interval.periodMs = std::isnan(period) || period < 0 ? 0 : period;
    for (size_t i = next + 1; i < call.Count(); ++i)
        interval.args.push_back(call.args[i]);
    interval.once = once;
    interval.id = rt.nextIntervalId++;
    interval.dueMs = rt.host->TimerMs() + interval.periodMs;
    rt.intervals.push_back(interval);
    return Value(static_cast<double>(interval.id));
}

static Value SetInterval(Runtime& rt, CallContext& call) { return AddInterval(rt, call, false); }
static Value SetTimeout(Runtime& rt, CallContext& call) { return AddInterval(rt, call, true); }

static Value ClearInterval(Runtime& rt, CallContext& call) {
    double id = NumberArg(rt, call, 0);
    for (size_t i = 0; i < rt.intervals.size(); ++i) {
        if (rt.intervals[i].id == id) {
            rt.intervals.erase(rt.intervals.begin() + static_cast<std::ptrdiff_t>(i));
            return Value(true);
        }
    }
    return Value(false);
}

static Value Nothing(Runtime& rt, CallContext& call) {
    (void)rt, (void)call;
    return Value();
}

void SetupGlobals(Runtime& rt) {
    Object* g = rt.global;
    rt.DefineMethod(g, "parseInt", ParseInt);
    rt.DefineMethod(g, "parseFloat", ParseFloat);
    rt.DefineMethod(g, "isNaN", IsNaN);
    rt.DefineMethod(g, "isFinite", IsFinite);
    rt.DefineMethod(g, "escape", EscapeFunction);
    rt.DefineMethod(g, "unescape", UnescapeFunction);
    rt.DefineMethod(g, "setInterval", SetInterval);
    rt.DefineMethod(g, "clearInterval", ClearInterval);
    rt.DefineMethod(g, "setTimeout", SetTimeout, 0, PROP_DONT_ENUM | PROP_VERSION8);
    rt.DefineMethod(g, "clearTimeout", ClearInterval, 0, PROP_DONT_ENUM | PROP_VERSION8);
    rt.DefineMethod(g, "updateAfterEvent", Nothing);
    rt.SetOwn(g, "NaN", Value(NAN), PROP_DONT_ENUM);
    rt.SetOwn(g, "Infinity", Value(INFINITY), PROP_DONT_ENUM);
    // The players' _global carries an "o" that is null; movies can see it.
    rt.SetOwn(g, "o", Value::Null(), PROP_DONT_ENUM);
    SetupBroadcaster(rt);
}

} // namespace avm1
