// Date: a time value in milliseconds since 1970 UTC, read and changed in the
// host's local time or in UTC.
#include "player/avm1/native.h"

#include <cmath>
#include <cstdio>

namespace avm1 {

static const double MsPerDay = 86400000.0;

// Days since 1970-01-01 of a civil date (month 0..11), for any year.
static double DaysFromCivil(double year, double month) {
    double y = year + std::floor(month / 12);
    double m = std::fmod(month, 12);
    if (m < 0)
        m += 12;
    m += 1;
    y -= m <= 2 ? 1 : 0;
    double era = std::floor(y / 400);
    double yoe = y - era * 400;
    double mp = m > 2 ? m - 3 : m + 9;
    double doy = std::floor((153 * mp + 2) / 5);
    double doe = yoe * 365 + std::floor(yoe / 4) - std::floor(yoe / 100) + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    double year, month, date, hours, minutes, seconds, ms, day;
};

static Civil Split(double t) {
    Civil c;
    double days = std::floor(t / MsPerDay);
    double within = t - days * MsPerDay;
    double z = days + 719468;
    double era = std::floor(z / 146097);
    double doe = z - era * 146097;
    double yoe = std::floor((doe - std::floor(doe / 1460) + std::floor(doe / 36524) - std::floor(doe / 146096)) / 365);
    double y = yoe + era * 400;
    double doy = doe - (365 * yoe + std::floor(yoe / 4) - std::floor(yoe / 100));
    double mp = std::floor((5 * doy + 2) / 153);
    c.date = doy - std::floor((153 * mp + 2) / 5) + 1;
    double m = mp < 10 ? mp + 3 : mp - 9;
    c.year = m <= 2 ? y + 1 : y;
    c.month = m - 1;
    c.hours = std::floor(within / 3600000);
    c.minutes = std::floor(std::fmod(within, 3600000) / 60000);
    c.seconds = std::floor(std::fmod(within, 60000) / 1000);
    c.ms = std::fmod(within, 1000);
    c.day = std::fmod(days + 4, 7);
    if (c.day < 0)
        c.day += 7;
    return c;
}

static double Join(const Civil& c) {
    if (!std::isfinite(c.year) || !std::isfinite(c.month) || !std::isfinite(c.date) || !std::isfinite(c.hours) ||
        !std::isfinite(c.minutes) || !std::isfinite(c.seconds) || !std::isfinite(c.ms))
        return NAN;
    double days = DaysFromCivil(std::trunc(c.year), std::trunc(c.month)) + std::trunc(c.date) - 1;
    double t = days * MsPerDay + std::trunc(c.hours) * 3600000 + std::trunc(c.minutes) * 60000 +
               std::trunc(c.seconds) * 1000 + std::trunc(c.ms);
    if (std::fabs(t) > 8.64e15)
        return NAN;
    return t;
}

static double OffsetMs(Runtime& rt, double utc) { return rt.host->LocalOffsetMinutes(utc) * 60000; }
static double ToLocal(Runtime& rt, double utc) { return utc + OffsetMs(rt, utc); }
static double FromLocal(Runtime& rt, double local) { return local - OffsetMs(rt, local - OffsetMs(rt, local)); }

static Civil Args(Runtime& rt, CallContext& call, size_t first) {
    Civil c = {0, 0, 1, 0, 0, 0, 0, 0};
    double* fields[] = {&c.year, &c.month, &c.date, &c.hours, &c.minutes, &c.seconds, &c.ms};
    for (size_t i = 0; i < 7 && first + i < call.Count(); ++i)
        *fields[i] = NumberArg(rt, call, first + i);
    if (c.year >= 0 && c.year <= 99 && std::trunc(c.year) == c.year)
        c.year += 1900;
    return c;
}

static Value DateConstruct(Runtime& rt, CallContext& call) {
    double t;
    if (call.Count() == 0) {
        t = std::floor(rt.host->NowMs());
    } else if (call.Count() == 1) {
        t = NumberArg(rt, call, 0);
        t = std::isfinite(t) ? std::trunc(t) : NAN;
    } else {
        double local = Join(Args(rt, call, 0));
        t = std::isnan(local) ? NAN : FromLocal(rt, local);
    }
    if (!call.construct) {
        // Date() called as a function gives the time now as text.
        Object* d = rt.NewKind(Kind::DATE, rt.dateProto);
        d->primitive = Value(std::floor(rt.host->NowMs()));
        return Value(rt.ToString(Value(d)));
    }
    Object* o = call.ThisObject();
    if (o) {
        o->kind = Kind::DATE;
        o->primitive = Value(t);
    }
    return call.thisv;
}

static Value DateUtc(Runtime& rt, CallContext& call) {
    if (call.Count() < 2)
        return Value(NAN);
    return Value(Join(Args(rt, call, 0)));
}

static Object* ThisDate(CallContext& call) {
    Object* o = call.ThisObject();
    return o && o->kind == Kind::DATE ? o : nullptr;
}

enum DateField { F_YEAR, F_MONTH, F_DATE, F_HOURS, F_MINUTES, F_SECONDS, F_MS, F_DAY, F_FULLYEAR, F_TIME, F_OFFSET };
enum { TAG_UTC = 0x100 };

static Value DateGet(Runtime& rt, CallContext& call) {
    Object* d = ThisDate(call);
    if (!d)
        return Value();
    double t = d->primitive.number;
    int tag = call.callee->nativeTag;
    int field = tag & 0xFF;
    if (field == F_TIME)
        return Value(t);
    if (std::isnan(t))
        return Value(NAN);
    if (field == F_OFFSET)
        return Value(-OffsetMs(rt, t) / 60000);
    Civil c = Split((tag & TAG_UTC) ? t : ToLocal(rt, t));
    switch (field) {
    case F_YEAR:
        return Value(c.year - 1900);
    case F_FULLYEAR:
        return Value(c.year);
    case F_MONTH:
        return Value(c.month);
    case F_DATE:
        return Value(c.date);
    case F_HOURS:
        return Value(c.hours);
    case F_MINUTES:
        return Value(c.minutes);
    case F_SECONDS:
        return Value(c.seconds);
    case F_MS:
        return Value(c.ms);
    case F_DAY:
        return Value(c.day);
    }
    return Value();
}

static Value DateSet(Runtime& rt, CallContext& call) {
    Object* d = ThisDate(call);
    if (!d)
        return Value();
    int tag = call.callee->nativeTag;
    int field = tag & 0xFF;
    bool utc = (tag & TAG_UTC) != 0;
    if (field == F_TIME) {
        double t = NumberArg(rt, call, 0);
        d->primitive = Value(std::isfinite(t) ? std::trunc(t) : NAN);
        return d->primitive;
    }
    double t = d->primitive.number;
    if (std::isnan(t))
        t = 0;
    Civil c = Split(utc ? t : ToLocal(rt, t));
    double* order[] = {&c.year, &c.month, &c.date, &c.hours, &c.minutes, &c.seconds, &c.ms};
    size_t first = 0;
    switch (field) {
    case F_YEAR:
    case F_FULLYEAR:
        first = 0;
        break;
    case F_MONTH:
        first = 1;
        break;
    case F_DATE:
        first = 2;
        break;
    case F_HOURS:
        first = 3;
        break;
    case F_MINUTES:
        first = 4;
        break;
    case F_SECONDS:
        first = 5;
        break;
    case F_MS:
        first = 6;
        break;
    default:
        return Value();
    }
    // setFullYear takes year, month, date; setHours hours to ms; and so on.
    size_t most = first == 0 ? 3 : first == 1 ? 2 : first == 2 ? 1 : 7 - first;
    for (size_t i = 0; i < most && i < call.Count(); ++i)
        *order[first + i] = NumberArg(rt, call, i);
    if (field == F_YEAR && c.year >= 0 && c.year <= 99)
        c.year += 1900;
    double joined = Join(c);
    d->primitive = Value(std::isnan(joined) ? NAN : (utc ? joined : FromLocal(rt, joined)));
    return d->primitive;
}

static Value DateToString(Runtime& rt, CallContext& call) {
    Object* d = ThisDate(call);
    if (!d)
        return Value();
    double t = d->primitive.number;
    if (std::isnan(t))
        return Value("Invalid Date");
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    double offset = OffsetMs(rt, t) / 60000;
    Civil c = Split(t + offset * 60000);
    int off = static_cast<int>(offset);
    char sign = off < 0 ? '-' : '+';
    if (off < 0)
        off = -off;
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %.0f", days[static_cast<int>(c.day)],
                  months[static_cast<int>(c.month)], static_cast<int>(c.date), static_cast<int>(c.hours),
                  static_cast<int>(c.minutes), static_cast<int>(c.seconds), sign, off / 60, off % 60, c.year);
    return Value(buffer);
}

static Value DateValueOf(Runtime& rt, CallContext& call) {
    (void)rt;
    Object* d = ThisDate(call);
    return d ? d->primitive : Value();
}

void SetupDate(Runtime& rt) {
    rt.dateProto = rt.NewObject(rt.objectProto);
    rt.Pin(rt.dateProto);
    Object* p = rt.dateProto;
    struct Named {
        const char* name;
        int field;
    };
    const Named fields[] = {{"FullYear", F_FULLYEAR}, {"Month", F_MONTH},     {"Date", F_DATE},
                            {"Hours", F_HOURS},       {"Minutes", F_MINUTES}, {"Seconds", F_SECONDS},
                            {"Milliseconds", F_MS}};
    for (const Named& f : fields) {
        std::string name = f.name;
        rt.DefineMethod(p, ("get" + name).c_str(), DateGet, f.field);
        rt.DefineMethod(p, ("getUTC" + name).c_str(), DateGet, f.field | TAG_UTC);
        rt.DefineMethod(p, ("set" + name).c_str(), DateSet, f.field);
        rt.DefineMethod(p, ("setUTC" + name).c_str(), DateSet, f.field | TAG_UTC);
    }
    rt.DefineMethod(p, "getDay", DateGet, F_DAY);
    rt.DefineMethod(p, "getUTCDay", DateGet, F_DAY | TAG_UTC);
    rt.DefineMethod(p, "getYear", DateGet, F_YEAR);
    rt.DefineMethod(p, "setYear", DateSet, F_YEAR);
    rt.DefineMethod(p, "getTime", DateGet, F_TIME);
    rt.DefineMethod(p, "setTime", DateSet, F_TIME);
    rt.DefineMethod(p, "getTimezoneOffset", DateGet, F_OFFSET);
    rt.DefineMethod(p, "toString", DateToString);
    rt.DefineMethod(p, "valueOf", DateValueOf);
    Object* ctor = rt.NewClass(DateConstruct, p);
    rt.DefineMethod(ctor, "UTC", DateUtc);
    rt.SetOwn(rt.global, "Date", Value(ctor), PROP_DONT_ENUM);
}

} // namespace avm1
