// Array: its constructor, methods and sort flags. The methods work on any
// object with a length, as the players' do; elements are ordinary
// properties named by index.
#include "player/avm1/native.h"

#include <cmath>

namespace avm1 {

enum : int {
    SORT_CASEINSENSITIVE = 1,
    SORT_DESCENDING = 2,
    SORT_UNIQUESORT = 4,
    SORT_RETURNINDEXEDARRAY = 8,
    SORT_NUMERIC = 16,
};

// Arrays longer than this are not walked by the methods (a length of
// 4 billion would otherwise hang the movie).
static const uint32_t MaxWalk = 1u << 20;

static uint32_t Walk(uint32_t n) { return n > MaxWalk ? MaxWalk : n; }

static Value ArrayConstruct(Runtime& rt, CallContext& call) {
    Object* a = call.construct ? call.ThisObject() : nullptr;
    if (!a)
        a = rt.NewArray();
    a->kind = Kind::ARRAY;
    if (call.Count() == 1 && call.Arg(0).IsNumber()) {
        double n = call.Arg(0).number;
        if (n >= 0 && n < 4294967295.0 && n == std::floor(n))
            a->length = static_cast<uint32_t>(n);
        return Value(a);
    }
    for (size_t i = 0; i < call.Count(); ++i)
        rt.PutOwn(a, IndexName(static_cast<uint32_t>(i)), call.args[i]);
    a->length = static_cast<uint32_t>(call.Count());
    return Value(a);
}

static void SetLength(Runtime& rt, Object* o, uint32_t n) {
    if (o->kind == Kind::ARRAY)
        rt.SetArrayLength(o, n);
    else
        rt.Set(Value(o), "length", Value(static_cast<double>(n)));
}

static std::vector<Value> Elements(Runtime& rt, Object* o) {
    std::vector<Value> items;
    uint32_t n = Walk(rt.LengthOf(o));
    items.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        items.push_back(rt.GetIndex(o, i));
    return items;
}

static void Store(Runtime& rt, Object* o, const std::vector<Value>& items) {
    for (size_t i = 0; i < items.size(); ++i)
        rt.SetIndex(o, static_cast<uint32_t>(i), items[i]);
    SetLength(rt, o, static_cast<uint32_t>(items.size()));
}

static std::string Join(Runtime& rt, Object* o, const std::string& separator) {
    std::string out;
    uint32_t n = Walk(rt.LengthOf(o));
    for (uint32_t i = 0; i < n && !rt.Unwinding(); ++i) {
        if (i)
            out += separator;
        if (!rt.TextFits(out.size()))
            break;
        Value v = rt.GetIndex(o, i);
        if (!v.IsNullish() || (v.IsUndefined() && rt.version >= 7))
            out += rt.ToString(v);
        else if (v.IsNull())
            out += "null";
    }
    return out;
}

static Value ArrayToString(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    return o ? Value(Join(rt, o, ",")) : Value();
}

static Value ArrayJoin(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value();
    std::string sep = HasArg(call, 0) && !call.Arg(0).IsUndefined() ? StringArg(rt, call, 0) : ",";
    return Value(Join(rt, o, sep));
}

static Value ArrayPush(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value();
    uint32_t n = rt.LengthOf(o);
    for (size_t i = 0; i < call.Count(); ++i)
        rt.SetIndex(o, n + static_cast<uint32_t>(i), call.args[i]);
    SetLength(rt, o, n + static_cast<uint32_t>(call.Count()));
    return Value(static_cast<double>(n + call.Count()));
}

static Value ArrayPop(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value();
    uint32_t n = rt.LengthOf(o);
    if (n == 0)
        return Value();
    Value last = rt.GetIndex(o, n - 1);
    rt.Delete(o, IndexName(n - 1));
    SetLength(rt, o, n - 1);
    return last;
}

static Value ArrayShift(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value();
    std::vector<Value> items = Elements(rt, o);
    if (items.empty())
        return Value();
    Value first = items.front();
    items.erase(items.begin());
    rt.Delete(o, IndexName(static_cast<uint32_t>(items.size())));
    Store(rt, o, items);
    return first;
}

static Value ArrayUnshift(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value();
    std::vector<Value> items = Elements(rt, o);
    items.insert(items.begin(), call.args.begin(), call.args.end());
    Store(rt, o, items);
    return Value(static_cast<double>(items.size()));
}

// A relative index as slice and splice take it: negative from the end.
static uint32_t RelativeIndex(double d, uint32_t length) {
    if (std::isnan(d))
        return 0;
    d = std::trunc(d);
    if (d < 0) {
        d += length;
        return d < 0 ? 0 : static_cast<uint32_t>(d);
    }
    return d > length ? length : static_cast<uint32_t>(d);
}

static Value ArraySlice(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value();
    std::vector<Value> items = Elements(rt, o);
    uint32_t n = static_cast<uint32_t>(items.size());
    uint32_t from = HasArg(call, 0) ? RelativeIndex(NumberArg(rt, call, 0), n) : 0;
    uint32_t to = HasArg(call, 1) && !call.Arg(1).IsUndefined() ? RelativeIndex(NumberArg(rt, call, 1), n) : n;
    std::vector<Value> out;
    for (uint32_t i = from; i < to; ++i)
        out.push_back(items[i]);
    return Value(rt.NewArray(out));
}

static Value ArraySplice(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o || !HasArg(call, 0))
        return Value();
    std::vector<Value> items = Elements(rt, o);
    uint32_t n = static_cast<uint32_t>(items.size());
    uint32_t from = RelativeIndex(NumberArg(rt, call, 0), n);
    uint32_t count = n - from;
    if (HasArg(call, 1)) {
        double c = NumberArg(rt, call, 1);
        if (std::isnan(c) || c < 0)
            c = 0;
        count = c < count ? static_cast<uint32_t>(c) : count;
    }
    std::vector<Value> removed(items.begin() + from, items.begin() + from + count);
    items.erase(items.begin() + from, items.begin() + from + count);
    if (call.Count() > 2)
        items.insert(items.begin() + from, call.args.begin() + 2, call.args.end());
    for (uint32_t i = static_cast<uint32_t>(items.size()); i < n; ++i)
        rt.Delete(o, IndexName(i));
    Store(rt, o, items);
    return Value(rt.NewArray(removed));
}

static Value ArrayConcat(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value();
    std::vector<Value> items = Elements(rt, o);
    for (const Value& v : call.args) {
        if (v.IsObject() && v.object->kind == Kind::ARRAY) {
            std::vector<Value> more = Elements(rt, v.object);
            items.insert(items.end(), more.begin(), more.end());
        } else {
            items.push_back(v);
        }
    }
    return Value(rt.NewArray(items));
}

static Value ArrayReverse(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value();
    std::vector<Value> items = Elements(rt, o);
    std::vector<Value> reversed(items.rbegin(), items.rend());
    Store(rt, o, reversed);
    return call.thisv;
}

// ---- sorting

struct SortItem {
    Value value;
    std::vector<Value> keys; // sortOn: one per field
    uint32_t index = 0;
};

struct Sorter {
    Runtime& rt;
    Value compare; // a function, or undefined
    std::vector<int> flags;
    bool unequalSeen = false;
    bool equalSeen = false;

    // <0, 0, >0 as a is before, level with or after b.
    int Compare(const Value& a, const Value& b, int f) {
        int r = 0;
        if (IsFunction(compare)) {
            double d = rt.ToNumber(rt.Call(compare, Value(), {a, b}));
            r = d < 0 ? -1 : d > 0 ? 1 : 0;
        } else if (f & SORT_NUMERIC) {
            double x = rt.ToNumber(a), y = rt.ToNumber(b);
            if (a.IsNumber() && b.IsNumber()) {
                r = x < y ? -1 : x > y ? 1 : 0;
                if (std::isnan(x) || std::isnan(y))
                    r = std::isnan(x) ? (std::isnan(y) ? 0 : 1) : -1;
            } else {
                r = CompareText(a, b, f);
            }
        } else {
            r = CompareText(a, b, f);
        }
        return (f & SORT_DESCENDING) ? -r : r;
    }

    int CompareText(const Value& a, const Value& b, int f) {
        std::string x = rt.ToString(a), y = rt.ToString(b);
        if (f & SORT_CASEINSENSITIVE) {
            x = FoldName(x);
            y = FoldName(y);
        }
        return x < y ? -1 : x > y ? 1 : 0;
    }

    int CompareItems(const SortItem& a, const SortItem& b) {
        int r = 0;
        if (a.keys.empty()) {
            r = Compare(a.value, b.value, flags.empty() ? 0 : flags[0]);
        } else {
            for (size_t k = 0; k < a.keys.size() && r == 0; ++k)
                r = Compare(a.keys[k], b.keys[k], k < flags.size() ? flags[k] : flags.back());
        }
        if (r == 0)
            equalSeen = true;
        return r;
    }

    // A merge sort: stable, and safe with comparisons that contradict
    // themselves (scripts' compare functions can).
    void Sort(std::vector<SortItem>& items) {
        std::vector<SortItem> scratch(items.size());
        for (size_t width = 1; width < items.size() && !rt.Unwinding(); width *= 2) {
            for (size_t lo = 0; lo < items.size(); lo += 2 * width) {
                size_t mid = std::min(lo + width, items.size());
                size_t hi = std::min(lo + 2 * width, items.size());
                size_t i = lo, j = mid, k = lo;
                while (i < mid && j < hi)
                    scratch[k++] = CompareItems(items[j], items[i]) < 0 ? items[j++] : items[i++];
                while (i < mid)
                    scratch[k++] = items[i++];
                while (j < hi)
                    scratch[k++] = items[j++];
            }
            items.swap(scratch);
        }
    }
};

static Value SortResult(Runtime& rt, Object* o, std::vector<SortItem>& items, Sorter& sorter, int flags) {
    sorter.Sort(items);
    if (rt.Unwinding())
        return Value();
    if ((flags & SORT_UNIQUESORT) && sorter.equalSeen)
        return Value(0.0);
    if (flags & SORT_RETURNINDEXEDARRAY) {
        std::vector<Value> indexes;
        for (const SortItem& item : items)
            indexes.push_back(Value(static_cast<double>(item.index)));
        return Value(rt.NewArray(indexes));
    }
    std::vector<Value> values;
    for (const SortItem& item : items)
        values.push_back(item.value);
    Store(rt, o, values);
    return Value(o);
}

static Value ArraySort(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value();
    Sorter sorter{rt, Value(), {}};
    size_t next = 0;
    if (IsFunction(call.Arg(0)))
        sorter.compare = call.args[next++];
    int flags = HasArg(call, next) ? rt.ToInt32(call.Arg(next)) : 0;
    sorter.flags.push_back(flags);
    std::vector<Value> values = Elements(rt, o);
    std::vector<SortItem> items(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        items[i].value = values[i];
        items[i].index = static_cast<uint32_t>(i);
    }
    return SortResult(rt, o, items, sorter, flags);
}

static Value ArraySortOn(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o || !HasArg(call, 0))
        return Value();
    std::vector<std::string> fields;
    const Value& names = call.Arg(0);
    if (names.IsObject() && names.object->kind == Kind::ARRAY) {
        uint32_t n = rt.LengthOf(names.object);
        for (uint32_t i = 0; i < n; ++i)
            fields.push_back(rt.ToString(rt.GetIndex(names.object, i)));
    } else {
        fields.push_back(rt.ToString(names));
    }
    Sorter sorter{rt, Value(), {}};
    int flags = 0;
    const Value& flagArg = call.Arg(1);
    if (flagArg.IsObject() && flagArg.object->kind == Kind::ARRAY) {
        uint32_t n = rt.LengthOf(flagArg.object);
        for (uint32_t i = 0; i < n; ++i)
            sorter.flags.push_back(rt.ToInt32(rt.GetIndex(flagArg.object, i)));
        if (sorter.flags.size() != fields.size())
            sorter.flags.assign(fields.size(), 0);
        flags = sorter.flags.empty() ? 0 : sorter.flags[0];
    } else {
        flags = rt.ToInt32(flagArg);
        sorter.flags.assign(fields.size(), flags);
    }
    if (sorter.flags.empty())
        sorter.flags.push_back(0);
    std::vector<Value> values = Elements(rt, o);
    std::vector<SortItem> items(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        items[i].value = values[i];
        items[i].index = static_cast<uint32_t>(i);
        for (const std::string& field : fields)
            items[i].keys.push_back(rt.Get(values[i], field));
    }
    return SortResult(rt, o, items, sorter, flags);
}

void SetupArray(Runtime& rt) {
    rt.arrayProto = rt.NewObject(rt.objectProto);
    rt.Pin(rt.arrayProto);
    Object* p = rt.arrayProto;
    rt.DefineMethod(p, "toString", ArrayToString);
    rt.DefineMethod(p, "join", ArrayJoin);
    rt.DefineMethod(p, "push", ArrayPush);
    rt.DefineMethod(p, "pop", ArrayPop);
    rt.DefineMethod(p, "shift", ArrayShift);
    rt.DefineMethod(p, "unshift", ArrayUnshift);
    rt.DefineMethod(p, "slice", ArraySlice);
    rt.DefineMethod(p, "splice", ArraySplice);
    rt.DefineMethod(p, "concat", ArrayConcat);
    rt.DefineMethod(p, "reverse", ArrayReverse);
    rt.DefineMethod(p, "sort", ArraySort);
    rt.DefineMethod(p, "sortOn", ArraySortOn);
    rt.arrayCtor = rt.NewClass(ArrayConstruct, p);
    rt.Pin(rt.arrayCtor);
    const std::pair<const char*, int> constants[] = {{"CASEINSENSITIVE", SORT_CASEINSENSITIVE},
                                                     {"DESCENDING", SORT_DESCENDING},
                                                     {"UNIQUESORT", SORT_UNIQUESORT},
                                                     {"RETURNINDEXEDARRAY", SORT_RETURNINDEXEDARRAY},
                                                     {"NUMERIC", SORT_NUMERIC}};
    for (const auto& c : constants)
        rt.SetOwn(rt.arrayCtor, c.first, Value(c.second), PROP_DONT_ENUM | PROP_DONT_DELETE | PROP_READ_ONLY);
    rt.SetOwn(rt.global, "Array", Value(rt.arrayCtor), PROP_DONT_ENUM);
}

} // namespace avm1
