#include "player/avm1/runtime.h"

#include "player/avm1/mvavm.h"
#include "player/avm1/text.h"

#include <cmath>
#include <cstdio>

namespace avm1 {

// Getters and setters that call themselves stop being called at this depth
// (the property then reads as undefined), as the players do.
static const int MaxAccessorDepth = 64;
// Prototype chains longer than this are taken as cycles.
static const int MaxProtoDepth = 256;
// Values action blocks may leave behind for the next ones.
static const size_t MaxLeftOnStack = 65536;

static const Value Undefined;

const Value& CallContext::Arg(size_t i) const { return i < args.size() ? args[i] : Undefined; }

Runtime::Runtime(Host* h, int v)
    : host(h), version(v), caseSensitive(v >= 7), actionLimit(mvAvm::DefaultActionLimit) {}

Runtime::~Runtime() {
    for (Object* o : objects_)
        delete o;
    objects_.clear();
}

void Runtime::Setup() {
    objectProto = NewObject(nullptr);
    functionProto = NewObject(objectProto);
    // _global is bare: no prototype, so no valueOf or toString of its own.
    global = NewObject(nullptr);
    Pin(objectProto);
    Pin(functionProto);
    Pin(global);
    SetupObject(*this);
    SetupFunction(*this);
    SetupArray(*this);
    SetupString(*this);
    SetupNumber(*this);
    SetupMath(*this);
    SetupDate(*this);
    SetupGlobals(*this);
    SetupClip(*this);
    SetupStage(*this);
}

// ---------------------------------------------------------------- heap

Object* Runtime::NewKind(Kind kind, Object* proto) {
    Object* o = new Object;
    o->kind = kind;
    if (proto) {
        Property& p = o->props.Add("__proto__", caseSensitive);
        p.value = Value(proto);
        p.flags = PROP_DONT_ENUM | PROP_DONT_DELETE;
    }
    objects_.push_back(o);
    return o;
}

Object* Runtime::NewObject(Object* proto) { return NewKind(Kind::OBJECT, proto); }

Object* Runtime::NewArray() { return NewKind(Kind::ARRAY, arrayProto); }

Object* Runtime::NewArray(const std::vector<Value>& items) {
    Object* a = NewArray();
    for (size_t i = 0; i < items.size(); ++i)
        PutOwn(a, IndexName(static_cast<uint32_t>(i)), items[i]);
    a->length = static_cast<uint32_t>(items.size());
    return a;
}

Object* Runtime::NewNative(NativeFunction fn, int tag) {
    Object* f = NewKind(Kind::FUNCTION, functionProto);
    f->native = fn;
    f->nativeTag = tag;
    return f;
}

Object* Runtime::NewClass(NativeFunction fn, Object* prototype, int tag) {
    Object* f = NewNative(fn, tag);
    SetOwn(f, "prototype", Value(prototype), PROP_DONT_ENUM | PROP_DONT_DELETE);
    SetOwn(prototype, "constructor", Value(f), PROP_DONT_ENUM | PROP_DONT_DELETE);
    return f;
}

Object* Runtime::NewScriptFunction(const std::shared_ptr<FunctionCode>& code, Activation& definer) {
    Object* f = NewKind(Kind::FUNCTION, functionProto);
    f->code = code;
    // Version 5 functions see no closure: only their timeline and _global.
    if (code->version >= 6)
        f->scope = definer.scope;
    f->baseClip = definer.baseClip ? definer.baseClip : definer.target;
    Object* prototype = NewObject(objectProto);
    SetOwn(prototype, "constructor", Value(f), PROP_DONT_ENUM);
    SetOwn(f, "prototype", Value(prototype), PROP_DONT_ENUM | PROP_DONT_DELETE);
    return f;
}

void Runtime::MarkValue(const Value& v, std::vector<Object*>& work) {
    if (v.type == Type::OBJECT)
        Mark(v.object, work);
}

void Runtime::Mark(Object* o, std::vector<Object*>& work) {
    if (o && !o->marked) {
        o->marked = true;
        work.push_back(o);
    }
}

void Runtime::Collect() {
    if (entryDepth > 0)
        return;
    std::vector<Object*> work;
    for (Object* o : pinned_)
        Mark(o, work);
    for (auto& entry : clipObjects_)
        Mark(entry.second, work);
    for (auto& entry : registeredClasses)
        Mark(entry.second, work);
    for (const Interval& i : intervals) {
        MarkValue(i.function, work);
        for (const Value& v : i.args)
            MarkValue(v, work);
    }
    for (const Value& v : stack)
        MarkValue(v, work);
    MarkValue(thrown, work);
    Mark(pendingInit, work);
    while (!work.empty()) {
        Object* o = work.back();
        work.pop_back();
        for (size_t i = 0; i < o->props.Size(); ++i) {
            const Property& p = o->props.At(i);
            MarkValue(p.value, work);
            Mark(p.getter, work);
            Mark(p.setter, work);
        }
        MarkValue(o->primitive, work);
        for (Object* s : o->scope)
            Mark(s, work);
        Mark(o->baseClip, work);
        for (Object* s : o->interfaces)
            Mark(s, work);
        Mark(o->superThis, work);
        Mark(o->superHome, work);
        for (const Watch& w : o->watches) {
            Mark(w.callback, work);
            MarkValue(w.data, work);
        }
    }
    size_t kept = 0;
    for (Object* o : objects_) {
        if (o->marked) {
            o->marked = false;
            objects_[kept++] = o;
        } else {
            delete o;
        }
    }
    objects_.resize(kept);
}

// ---------------------------------------------------------------- defining built-ins

void Runtime::SetOwn(Object* o, const std::string& name, const Value& v, uint16_t flags) {
    Property* p = o->FindOwn(name, caseSensitive);
    if (!p)
        p = &o->props.Add(name, caseSensitive);
    p->value = v;
    p->getter = p->setter = nullptr;
    p->flags = flags;
}

Object* Runtime::DefineMethod(Object* o, const char* name, NativeFunction fn, int tag, uint16_t flags) {
    Object* f = NewNative(fn, tag);
    SetOwn(o, name, Value(f), flags);
    return f;
}

void Runtime::DefineAccessor(Object* o, const char* name, NativeFunction getter, NativeFunction setter, int tag,
                             uint16_t flags) {
    Property* p = o->FindOwn(name, caseSensitive);
    if (!p)
        p = &o->props.Add(name, caseSensitive);
    p->value = Value();
    p->getter = NewNative(getter, tag);
    p->setter = setter ? NewNative(setter, tag) : nullptr;
    p->flags = flags;
}

// ---------------------------------------------------------------- property access

bool Runtime::Visible(const Property& p) const {
    if ((p.flags & PROP_VERSION6) && version < 6)
        return false;
    if ((p.flags & PROP_VERSION7) && version < 7)
        return false;
    if ((p.flags & PROP_VERSION8) && version < 8)
        return false;
    if ((p.flags & PROP_VERSION9) && version < 9)
        return false;
    if ((p.flags & PROP_VERSION10) && version < 10)
        return false;
    return true;
}

Property* Runtime::Lookup(Object* o, const std::string& name, Object** holder) {
    int depth = 0;
    for (Object* p = o; p; p = p->Proto(caseSensitive), ++depth) {
        if (depth >= MaxProtoDepth) {
            // A prototype chain that loops stops the script, as in the players.
            Abort("a prototype chain loops");
            return nullptr;
        }
        Property* prop = p->FindOwn(name, caseSensitive);
        if (prop && Visible(*prop)) {
            if (holder)
                *holder = p;
            return prop;
        }
    }
    return nullptr;
}

static bool IsName(const std::string& name, const char* expected, bool caseSensitive) {
    return EqualNames(name, expected, caseSensitive);
}

Value Runtime::Get(const Value& base, const std::string& name) {
    switch (base.type) {
    case Type::UNDEFINED:
    case Type::NUL:
        return Value();
    case Type::BOOLEAN:
        return GetFrom(booleanProto, name, base);
    case Type::NUMBER:
        return GetFrom(numberProto, name, base);
    case Type::STRING:
        if (IsName(name, "length", caseSensitive))
            return Value(static_cast<double>(UnitLength(base.string, version >= 6)));
        return GetFrom(stringProto, name, base);
    case Type::OBJECT:
        return GetFrom(base.object, name, base);
    }
    return Value();
}

Value Runtime::GetFrom(Object* o, const std::string& name, const Value& given, bool* found) {
    if (found)
        *found = false;
    if (!o)
        return Value();
    Value thisv = given;
    if (o->kind == Kind::SUPER) {
        // super.x: x of the prototype above the method's home, on this.
        thisv = o->superThis ? Value(o->superThis) : Value();
        o = o->superHome ? o->superHome->Proto(caseSensitive) : nullptr;
        if (!o)
            return Value();
    }
    Object* start = o;
    if (o->kind == Kind::CLIP) {
        Object* live = LiveClipObject(o);
        if (!live)
            return Value();
        o = live;
        start = live;
        ClipRef clip = live->clip;
        int property = DisplayProperty(name);
        if (property >= 0) {
            if (found)
                *found = true;
            return GetDisplayProperty(clip, property);
        }
        if (IsName(name, "_parent", caseSensitive)) {
            ClipRef parent = host->Parent(clip);
            if (found)
                *found = parent != nullptr;
            return parent ? Value(ClipObject(parent)) : Value();
        }
        if (IsName(name, "_root", caseSensitive)) {
            if (found)
                *found = true;
            return Value(ClipObject(RootOf(clip)));
        }
        if (version >= 6 && IsName(name, "_global", caseSensitive)) {
            if (found)
                *found = true;
            return Value(global);
        }
        if (host->Kind(clip) == CLIP_TEXT) {
            std::string text;
            if (host->GetTextProperty(clip, name, &text)) {
                if (found)
                    *found = true;
                return Value(text);
            }
        }
        Property* own = o->FindOwn(name, caseSensitive);
        if (!own || !Visible(*own)) {
            ClipRef child = host->Child(clip, name, caseSensitive);
            if (child) {
                if (found)
                    *found = true;
                return Value(ClipObject(child));
            }
        }
    } else if (o->kind == Kind::ARRAY && IsName(name, "length", caseSensitive)) {
        if (found)
            *found = true;
        return Value(static_cast<double>(o->length));
    }
    Object* holder = nullptr;
    Property* p = Lookup(start, name, &holder);
    if (p) {
        if (found)
            *found = true;
        if (!p->IsVirtual())
            return p->value;
        if (getterDepth >= MaxAccessorDepth + 1)
            return Value();
        ++getterDepth;
        Object* getter = p->getter;
        Value result = Call(Value(getter), thisv, {});
        --getterDepth;
        return result;
    }
    if (found)
        return Value();
    if (version >= 6 && !IsName(name, "__resolve", caseSensitive)) {
        // The nearest __resolve that is a function answers; one that is a
        // primitive or a clip is passed over, any other object ends the search.
        int depth = 0;
        for (Object* p = start; p && depth < MaxProtoDepth; p = p->Proto(caseSensitive), ++depth) {
            Property* resolver = p->FindOwn("__resolve", caseSensitive);
            if (!resolver || resolver->IsVirtual() || !Visible(*resolver))
                continue;
            const Value& r = resolver->value;
            if (r.IsObject() && r.object->IsFunction())
                return Call(r, thisv, {Value(name)});
            if (r.IsObject() && r.object->kind != Kind::CLIP)
                break;
        }
    }
    return Value();
}

void Runtime::PutOwn(Object* o, const std::string& name, const Value& v) {
    Property* p = o->FindOwn(name, caseSensitive);
    if (!p)
        p = &o->props.Add(name, caseSensitive);
    p->value = v;
    p->getter = p->setter = nullptr;
    if (o->kind == Kind::ARRAY) {
        uint32_t index;
        if (ParseIndex(name, &index) && index >= o->length)
            o->length = index + 1;
    }
}

void Runtime::Set(const Value& base, const std::string& name, const Value& value) {
    // A property without a name cannot be made.
    if (!base.IsObject() || name.empty())
        return;
    Object* o = base.object;
    if (o->kind == Kind::CLIP) {
        o = LiveClipObject(o);
        if (!o)
            return;
        int property = DisplayProperty(name);
        if (property >= 0) {
            SetDisplayProperty(o->clip, property, value);
            return;
        }
        if (host->Kind(o->clip) == CLIP_TEXT && host->SetTextProperty(o->clip, name, ToString(value)))
            return;
    }
    if (o->kind == Kind::ARRAY && IsName(name, "length", caseSensitive)) {
        double n = ToNumber(value);
        if (n >= 0 && n < 4294967295.0)
            SetArrayLength(o, static_cast<uint32_t>(n));
        return;
    }
    Value v = value;
    // A watcher may set the property again and so call itself, up to the
    // depth getters and setters have.
    for (size_t i = 0; i < o->watches.size(); ++i) {
        if (!EqualNames(o->watches[i].name, name, caseSensitive) || getterDepth > MaxAccessorDepth)
            continue;
        Watch w = o->watches[i];
        Property* old = o->FindOwn(name, caseSensitive);
        Value oldValue = old && !old->IsVirtual() ? old->value : Value();
        ++getterDepth;
        v = Call(Value(w.callback), Value(o), {Value(name), oldValue, v, w.data});
        --getterDepth;
        if (Unwinding())
            return;
        break;
    }
    Property* own = o->FindOwn(name, caseSensitive);
    if (own && Visible(*own)) {
        if (own->IsVirtual()) {
            if (own->setter && getterDepth <= MaxAccessorDepth) {
                ++getterDepth;
                Call(Value(own->setter), Value(o), {v});
                --getterDepth;
            }
            return;
        }
        if (own->flags & PROP_READ_ONLY)
            return;
        own->value = v;
        if (o->kind == Kind::ARRAY)
            PutOwn(o, name, v);
        return;
    }
    Object* holder = nullptr;
    Object* proto = o->Proto(caseSensitive);
    Property* inherited = proto ? Lookup(proto, name, &holder) : nullptr;
    if (inherited && inherited->IsVirtual()) {
        if (inherited->setter && getterDepth <= MaxAccessorDepth) {
            ++getterDepth;
            Call(Value(inherited->setter), Value(o), {v});
            --getterDepth;
        }
        return;
    }
    if (own) {
        // Hidden from this version: the store makes it an ordinary property again.
        own->value = v;
        own->flags = 0;
        return;
    }
    PutOwn(o, name, v);
}

Object* Runtime::Own(Object* o) { return o && o->kind == Kind::CLIP ? LiveClipObject(o) : o; }

bool Runtime::HasOwnProperty(Object* o, const std::string& name) {
    o = Own(o);
    if (!o)
        return false;
    if (o->kind == Kind::ARRAY && IsName(name, "length", caseSensitive))
        return true;
    return o->FindOwn(name, caseSensitive) != nullptr;
}

bool Runtime::HasProperty(Object* o, const std::string& name) {
    bool found = false;
    if (!o)
        return false;
    if (o->kind == Kind::CLIP) {
        Object* live = LiveClipObject(o);
        if (!live)
            return false;
        if (DisplayProperty(name) >= 0 || IsName(name, "_parent", caseSensitive) ||
            IsName(name, "_root", caseSensitive))
            return true;
        if (!live->FindOwn(name, caseSensitive) && host->Child(live->clip, name, caseSensitive))
            return true;
        o = live;
    }
    if (o->kind == Kind::ARRAY && IsName(name, "length", caseSensitive))
        return true;
    found = Lookup(o, name) != nullptr;
    return found;
}

bool Runtime::Delete(Object* o, const std::string& name) {
    o = Own(o);
    if (!o)
        return false;
    Property* p = o->FindOwn(name, caseSensitive);
    if (!p || (p->flags & PROP_DONT_DELETE))
        return false;
    o->props.Remove(name, caseSensitive);
    return true;
}

void Runtime::Enumerate(Object* o, std::vector<std::string>* names) {
    // Each object of the chain lists its names newest first; the chain is
    // listed from its far end (the prototypes' names come first). A name
    // seen nearer (enumerable or not) hides the same name further on.
    o = Own(o);
    std::vector<std::vector<std::string>> levels;
    std::vector<std::string> seen;
    auto fresh = [&](const std::string& name) {
        for (const std::string& s : seen)
            if (EqualNames(s, name, caseSensitive))
                return false;
        seen.push_back(name);
        return true;
    };
    int depth = 0;
    for (Object* p = o; p && depth < MaxProtoDepth; p = p->Proto(caseSensitive), ++depth) {
        levels.emplace_back();
        for (size_t i = p->props.Size(); i-- > 0;) {
            const Property& prop = p->props.At(i);
            if (fresh(prop.name) && !(prop.flags & PROP_DONT_ENUM))
                levels.back().push_back(prop.name);
        }
        if (p->kind == Kind::CLIP && p->clip) {
            std::vector<ClipRef> children;
            host->Children(p->clip, &children);
            for (size_t i = children.size(); i-- > 0;) {
                std::string name = host->Name(children[i]);
                if (!name.empty() && fresh(name))
                    levels.back().push_back(name);
            }
        }
    }
    for (size_t l = levels.size(); l-- > 0;)
        names->insert(names->end(), levels[l].begin(), levels[l].end());
}

uint32_t Runtime::LengthOf(Object* o) {
    if (!o)
        return 0;
    if (o->kind == Kind::ARRAY)
        return o->length;
    double n = ToInteger(Get(Value(o), "length"));
    if (!(n > 0))
        return 0;
    return n > 4294967294.0 ? 4294967294u : static_cast<uint32_t>(n);
}

void Runtime::SetArrayLength(Object* o, uint32_t length) {
    if (length < o->length) {
        std::vector<std::string> doomed;
        for (size_t i = 0; i < o->props.Size(); ++i) {
            uint32_t index;
            if (ParseIndex(o->props.At(i).name, &index) && index >= length)
                doomed.push_back(o->props.At(i).name);
        }
        for (const std::string& name : doomed)
            o->props.Remove(name, true);
    }
    o->length = length;
}

// ---------------------------------------------------------------- conversions

double Runtime::ToNumber(const Value& v) {
    switch (v.type) {
    case Type::UNDEFINED:
        return version >= 7 ? NAN : 0;
    case Type::NUL:
        return version >= 7 ? NAN : 0;
    case Type::BOOLEAN:
        return v.boolean ? 1 : 0;
    case Type::NUMBER:
        return v.number;
    case Type::STRING:
        return version >= 5 ? StringToNumber(v.string, version) : StringToNumberSwf4(v.string);
    case Type::OBJECT: {
        if (v.object->kind == Kind::CLIP)
            return NAN;
        Value p = ToPrimitive(v);
        if (p.IsObject() || Unwinding())
            return NAN;
        return ToNumber(p);
    }
    }
    return NAN;
}

// Conversions find toString and valueOf as ordinary properties (getters
// included) but never ask __resolve.
Value Runtime::ConversionMethod(Object* o, const char* name, const Value& thisv) {
    bool found = false;
    return GetFrom(o, name, thisv, &found);
}

std::string Runtime::ToString(const Value& v) {
    switch (v.type) {
    case Type::UNDEFINED:
        return version >= 7 ? "undefined" : "";
    case Type::NUL:
        return "null";
    case Type::BOOLEAN:
        if (version < 5)
            return v.boolean ? "1" : "0";
        return v.boolean ? "true" : "false";
    case Type::NUMBER:
        return NumberToString(v.number);
    case Type::STRING:
        return v.string;
    case Type::OBJECT:
        break;
    }
    Object* o = v.object;
    if (o->kind == Kind::CLIP) {
        ClipRef clip = LiveClip(o);
        return clip ? TargetPath(clip, false) : std::string();
    }
    Value method = ConversionMethod(o, "toString", v);
    if (method.IsObject() && method.object->IsFunction()) {
        Value r = Call(method, v, {});
        if (r.IsString())
            return r.string;
        if (Unwinding())
            return std::string();
    }
    return o->IsFunction() ? "[type Function]" : "[type Object]";
}

bool Runtime::ToBoolean(const Value& v) {
    switch (v.type) {
    case Type::UNDEFINED:
    case Type::NUL:
        return false;
    case Type::BOOLEAN:
        return v.boolean;
    case Type::NUMBER:
        return v.number != 0 && !std::isnan(v.number);
    case Type::STRING:
        if (version >= 7)
            return !v.string.empty();
        {
            double n = ToNumber(v);
            return n != 0 && !std::isnan(n);
        }
    case Type::OBJECT:
        return true;
    }
    return false;
}

Value Runtime::ToPrimitive(const Value& v, bool stringHint) {
    if (!v.IsObject())
        return v;
    Object* o = v.object;
    // A clip's valueOf is Object's: the clip itself.
    if (o->kind == Kind::CLIP)
        return stringHint ? Value(ToString(v)) : v;
    if (stringHint || o->kind == Kind::DATE) {
        Value method = ConversionMethod(o, "toString", v);
        if (method.IsObject() && method.object->IsFunction()) {
            Value r = Call(method, v, {});
            if (!r.IsObject() || Unwinding())
                return r;
        }
    }
    Value method = ConversionMethod(o, "valueOf", v);
    if (!method.IsObject() || !method.object->IsFunction())
        return Value();
    Value r = Call(method, v, {});
    return r.IsObject() ? v : r;
}

Object* Runtime::ToObject(const Value& v) {
    Object* o = nullptr;
    switch (v.type) {
    case Type::UNDEFINED:
    case Type::NUL:
        return nullptr;
    case Type::BOOLEAN:
        o = NewKind(Kind::BOOLEAN, booleanProto);
        break;
    case Type::NUMBER:
        o = NewKind(Kind::NUMBER, numberProto);
        break;
    case Type::STRING:
        o = NewKind(Kind::STRING, stringProto);
        SetOwn(o, "length", Value(static_cast<double>(UnitLength(v.string, version >= 6))), PROP_DONT_ENUM | PROP_DONT_DELETE);
        break;
    case Type::OBJECT:
        return v.object;
    }
    o->primitive = v;
    return o;
}

std::string Runtime::TypeOf(const Value& v) {
    switch (v.type) {
    case Type::UNDEFINED:
        return "undefined";
    case Type::NUL:
        return "null";
    case Type::BOOLEAN:
        return "boolean";
    case Type::NUMBER:
        return "number";
    case Type::STRING:
        return "string";
    case Type::OBJECT:
        break;
    }
    Object* o = v.object;
    if (o->IsFunction())
        return "function";
    if (o->kind == Kind::CLIP) {
        ClipRef clip = LiveClip(o);
        if (clip && host->Kind(clip) != CLIP_MOVIE)
            return "object";
        return "movieclip";
    }
    return "object";
}

static bool SameObject(Runtime& rt, Object* a, Object* b) {
    if (a == b)
        return true;
    if (a->kind == Kind::CLIP && b->kind == Kind::CLIP) {
        ClipRef ca = rt.LiveClip(a);
        return ca && ca == rt.LiveClip(b);
    }
    return false;
}

bool Runtime::StrictEquals(const Value& a, const Value& b) {
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case Type::UNDEFINED:
    case Type::NUL:
        return true;
    case Type::BOOLEAN:
        return a.boolean == b.boolean;
    case Type::NUMBER:
        return a.number == b.number;
    case Type::STRING:
        return a.string == b.string;
    case Type::OBJECT:
        return SameObject(*this, a.object, b.object);
    }
    return false;
}

bool Runtime::LooseEquals(const Value& a, const Value& b) { return Equals(a, b); }

bool Runtime::Equals(const Value& a, const Value& b) {
    if (a.type == b.type) {
        // Movies before version 8 find a NaN equal to a NaN (but not to text that reads as one).
        if (a.IsNumber() && version <= 7 && std::isnan(a.number) && std::isnan(b.number))
            return true;
        return StrictEquals(a, b);
    }
    if (a.IsObject() || b.IsObject()) {
        const Value& o = a.IsObject() ? a : b;
        const Value& other = a.IsObject() ? b : a;
        Value p = ToPrimitive(o);
        if (p.IsObject() || Unwinding())
            return false;
        return a.IsObject() ? Equals(p, other) : Equals(other, p);
    }
    if (a.IsNullish() && b.IsNullish())
        return true;
    if (a.IsNullish() || b.IsNullish())
        return false;
    if (a.IsNumber() && b.IsString())
        return a.number == ToNumber(b);
    if (a.IsString() && b.IsNumber())
        return ToNumber(a) == b.number;
    if (a.type == Type::BOOLEAN)
        return Equals(Value(a.boolean ? 1.0 : 0.0), b);
    if (b.type == Type::BOOLEAN)
        return Equals(a, Value(b.boolean ? 1.0 : 0.0));
    return false;
}

Value Runtime::Compare(const Value& left, const Value& right, bool greater) {
    // An object whose valueOf gives an object compares false, without
    // reading the other side; a clip reads as NaN.
    Value pl = ToPrimitive(left);
    if (Unwinding() || (pl.IsObject() && pl.object->kind != Kind::CLIP))
        return Value(false);
    Value pr = ToPrimitive(right);
    if (Unwinding() || (pr.IsObject() && pr.object->kind != Kind::CLIP))
        return Value(false);
    if (pl.IsString() && pr.IsString())
        return Value(greater ? pl.string > pr.string : pl.string < pr.string);
    double x = ToNumber(pl);
    double y = ToNumber(pr);
    if (std::isnan(x) || std::isnan(y))
        return Value();
    return Value(greater ? x > y : x < y);
}

static bool ImplementsInterface(Runtime& rt, Object* proto, Object* wanted, int depth) {
    if (!proto || depth > 32)
        return false;
    for (Object* iface : proto->interfaces) {
        Value p = rt.Get(Value(iface), "prototype");
        if (p.IsObject() && (p.object == wanted || ImplementsInterface(rt, p.object, wanted, depth + 1)))
            return true;
    }
    return false;
}

bool Runtime::InstanceOf(const Value& v, Object* ctor) {
    if (!v.IsObject() || !ctor)
        return false;
    Value p = Get(Value(ctor), "prototype");
    if (!p.IsObject())
        return false;
    Object* o = v.object;
    if (o->kind == Kind::CLIP) {
        o = LiveClipObject(o);
        if (!o)
            return false;
    }
    int depth = 0;
    for (Object* q = o->Proto(caseSensitive); q && depth < MaxProtoDepth; q = q->Proto(caseSensitive), ++depth) {
        if (q == p.object)
            return true;
        if (version >= 7 && ImplementsInterface(*this, q, p.object, 0))
            return true;
    }
    return false;
}

std::string Runtime::Escape(const std::string& s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string Runtime::Unescape(const std::string& s) {
    // "+" is a space; a "%" that starts no escape is dropped with the
    // character after it (and the one after that when the first was a
    // hex digit).
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] != '%') {
            out += s[i];
        } else if (i + 2 < s.size() && HexDigitValue(s[i + 1]) >= 0 && HexDigitValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(s[i + 1]) * 16 + HexDigitValue(s[i + 2]));
            i += 2;
        } else if (i + 1 < s.size()) {
            i += HexDigitValue(s[i + 1]) >= 0 && i + 2 < s.size() ? 2 : 1;
        }
    }
    return out;
}

// ---------------------------------------------------------------- calls

Value Runtime::Call(const Value& fn, const Value& thisv, const std::vector<Value>& args, Object* home) {
    if (fn.IsObject() && fn.object->kind == Kind::SUPER && !Unwinding()) {
        // super(...): the constructor of the class the method's home extends.
        Object* super = fn.object;
        Value ctor = super->superHome ? GetFrom(super->superHome, "__constructor__", Value(super->superThis))
                                      : Value();
        Value ctorProto = ctor.IsObject() ? Get(ctor, "prototype") : Value();
        return Call(ctor, Value(super->superThis), args, ctorProto.IsObject() ? ctorProto.object : nullptr);
    }
    if (!fn.IsObject() || !fn.object->IsFunction() || Unwinding())
        return Value();
    Object* f = fn.object;
    if (callDepth >= mvAvm::MaxCallDepth) {
        Abort("256 levels of recursion were exceeded in one action list");
        return Value();
    }
    ++callDepth;
    Value result;
    if (f->native) {
        CallContext call;
        call.thisv = thisv;
        call.args = args;
        call.callee = f;
        result = f->native(*this, call);
    } else {
        Activation a;
        FunctionCode& code = *f->code;
        a.block = code.block;
        a.start = code.start;
        a.end = code.start + code.size;
        a.pool = code.pool;
        a.version = code.version;
        a.isFunction = true;
        a.thisv = thisv;
        a.callee = f;
        // The defining timeline; once that is gone, the clip called on, or the root.
        bool thisIsClip = thisv.IsObject() && thisv.object->kind == Kind::CLIP;
        Object* base = LiveClipObject(f->baseClip);
        if (!base)
            base = thisIsClip ? thisv.object : ClipObject(host->Level(0));
        a.baseClip = a.target = base;
        if (code.version < 6 && thisIsClip)
            a.target = thisv.object;
        a.scope = f->scope;
        a.locals = NewObject(nullptr);
        a.scope.push_back(a.locals);
        Object* argsObject = NewArray(args);
        SetOwn(argsObject, "callee", Value(f), PROP_DONT_ENUM);
        SetOwn(argsObject, "caller", callers.empty() ? Value::Null() : Value(callers.back()), PROP_DONT_ENUM);
        a.arguments = argsObject;
        Object* thisObject = thisv.IsObject() ? thisv.object : nullptr;
        if (thisObject) {
            a.super = NewKind(Kind::SUPER, nullptr);
            a.super->superThis = thisObject;
            a.super->superHome = home ? home : thisObject->Proto(caseSensitive);
        }
        if (code.isFunction2) {
            a.regs.resize(code.registerCount);
            a.sharesRegisters = true;
            unsigned next = 1;
            // Each preload takes the next register; a suppressed this or super
            // leaves its register empty (arguments are loaded all the same).
            uint16_t flags = code.flags;
            uint16_t empty = 0;
            if (flags & FN2_SUPPRESS_THIS)
                empty |= FN2_PRELOAD_THIS;
            if (flags & FN2_SUPPRESS_SUPER)
                empty |= FN2_PRELOAD_SUPER;
            auto preload = [&](uint16_t flag, const Value& v) {
                if (!(flags & flag))
                    return;
                if (next < a.regs.size() && !(empty & flag))
                    a.regs[next] = v;
                ++next;
            };
            Object* target = LiveClipObject(a.target);
            ClipRef clip = target ? target->clip : nullptr;
            preload(FN2_PRELOAD_THIS, thisv);
            preload(FN2_PRELOAD_ARGUMENTS, Value(argsObject));
            preload(FN2_PRELOAD_SUPER, a.super ? Value(a.super) : Value());
            preload(FN2_PRELOAD_ROOT, clip ? Value(ClipObject(RootOf(clip))) : Value());
            // A missing _parent takes no register: _global moves up.
            ClipRef parent = clip ? host->Parent(clip) : nullptr;
            if (parent || !(code.flags & FN2_PRELOAD_PARENT))
                preload(FN2_PRELOAD_PARENT, parent ? Value(ClipObject(parent)) : Value());
            preload(FN2_PRELOAD_GLOBAL, Value(global));
            // Preloaded or suppressed, these names are no variables.
            if (code.flags & (FN2_SUPPRESS_ARGUMENTS | FN2_PRELOAD_ARGUMENTS))
                a.arguments = nullptr;
            if (code.flags & (FN2_SUPPRESS_SUPER | FN2_PRELOAD_SUPER))
                a.super = nullptr;
            if (code.flags & (FN2_SUPPRESS_THIS | FN2_PRELOAD_THIS))
                a.thisIsVariable = false;
            if (!(code.flags & (FN2_SUPPRESS_ARGUMENTS | FN2_PRELOAD_ARGUMENTS)))
                SetOwn(a.locals, "arguments", Value(argsObject));
            for (size_t i = 0; i < code.params.size(); ++i) {
                const Parameter& p = code.params[i];
                Value arg = i < args.size() ? args[i] : Value();
                if (p.reg && p.reg < a.regs.size())
                    a.regs[p.reg] = arg;
                else if (!p.reg)
                    SetOwn(a.locals, p.name, arg);
            }
        } else {
            a.regs.resize(4);
            SetOwn(a.locals, "arguments", Value(argsObject));
            for (size_t i = 0; i < code.params.size(); ++i)
                SetOwn(a.locals, code.params[i].name, i < args.size() ? args[i] : Value());
        }
        a.stackBase = stack.size();
        callers.push_back(f);
        Execute(a);
        callers.pop_back();
        if (stack.size() > a.stackBase)
            stack.resize(a.stackBase);
        result = a.result;
    }
    --callDepth;
    return result;
}

Value Runtime::CallMethod(const Value& base, const std::string& name, const std::vector<Value>& args) {
    Object* holder = nullptr;
    Value fn;
    if (base.IsObject()) {
        Object* o = base.object;
        if (o->kind == Kind::CLIP)
            o = LiveClipObject(o);
        if (!o)
            return Value();
        fn = GetFrom(o, name, base);
        Lookup(o, name, &holder);
    } else {
        fn = Get(base, name);
    }
    Value thisv = base;
    if (!base.IsObject() && !base.IsNullish())
        thisv = Value(ToObject(base));
    return Call(fn, thisv, args, holder);
}

Value Runtime::Construct(const Value& ctor, const std::vector<Value>& args) {
    if (!ctor.IsObject() || !ctor.object->IsFunction())
        return Value();
    Value prototype = Get(ctor, "prototype");
    Object* o = NewObject(prototype.IsObject() ? prototype.object : objectProto);
    if (version >= 6)
        SetOwn(o, "__constructor__", ctor, PROP_DONT_ENUM);
    else
        SetOwn(o, "constructor", ctor, PROP_DONT_ENUM);
    Object* f = ctor.object;
    if (f->native) {
        if (callDepth >= mvAvm::MaxCallDepth) {
            Abort("256 levels of recursion were exceeded in one action list");
            return Value();
        }
        ++callDepth;
        CallContext call;
        call.thisv = Value(o);
        call.args = args;
        call.callee = f;
        call.construct = true;
        Value r = f->native(*this, call);
        --callDepth;
        if (r.IsObject())
            return r;
        return Value(o);
    }
    Call(ctor, Value(o), args, prototype.IsObject() ? prototype.object : nullptr);
    return Value(o);
}

bool Runtime::TextFits(size_t bytes) {
    if (bytes <= MaxTextBytes)
        return true;
    Abort("a script made a string too long");
    return false;
}

void Runtime::Throw(const Value& v) {
    if (unwind == Unwind::ABORT)
        return;
    unwind = Unwind::THROW;
    thrown = v;
}

void Runtime::Abort(const std::string& reason) {
    if (unwind != Unwind::ABORT)
        host->ScriptStopped(reason);
    unwind = Unwind::ABORT;
    thrown = Value();
}

bool Runtime::CountAction() {
    if (++actionCount <= actionLimit)
        return true;
    Abort("a script ran too many actions");
    return false;
}

uint32_t Runtime::RandomBits() {
    uint32_t x = randomState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    randomState = x;
    return x;
}

void Runtime::Trace(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (c == '\r')
            c = '\n';
    host->Trace(line);
}

// ---------------------------------------------------------------- clips

Object* Runtime::ClipObject(ClipRef clip) {
    if (!clip)
        return nullptr;
    auto it = clipObjects_.find(clip);
    if (it != clipObjects_.end())
        return it->second;
    // A named shape stands for the clip it is in.
    if (host->Kind(clip) == CLIP_OTHER) {
        ClipRef parent = host->Parent(clip);
        return parent ? ClipObject(parent) : nullptr;
    }
    Object* proto = clipProto;
    switch (host->Kind(clip)) {
    case CLIP_BUTTON:
        proto = buttonProto;
        break;
    case CLIP_TEXT:
        proto = textFieldProto;
        break;
    default:
        break;
    }
    Object* o = NewKind(Kind::CLIP, proto);
    o->clip = clip;
    clipObjects_[clip] = o;
    return o;
}

ClipRef Runtime::RootOf(ClipRef clip) {
    int depth = 0;
    while (clip && depth++ < 10000) {
        ClipRef parent = host->Parent(clip);
        if (!parent)
            return clip;
        clip = parent;
    }
    return clip;
}

std::string Runtime::TargetPath(ClipRef clip, bool slash) {
    std::vector<std::string> names;
    int depth = 0;
    ClipRef c = clip;
    while (c && depth++ < 10000) {
        ClipRef parent = host->Parent(c);
        if (!parent)
            break;
        names.push_back(host->Name(c));
        c = parent;
    }
    int level = c ? host->LevelNumber(c) : 0;
    std::string out;
    if (slash) {
        if (level != 0)
            out = "_level" + std::to_string(level);
        if (names.empty())
            return out.empty() ? "/" : out;
        for (size_t i = names.size(); i-- > 0;)
            out += "/" + names[i];
        return out;
    }
    out = "_level" + std::to_string(level);
    for (size_t i = names.size(); i-- > 0;)
        out += "." + names[i];
    return out;
}

// Finds the clip a dot path of the kind TargetPath makes names.
static ClipRef FindClipByPath(Runtime& rt, const std::string& path) {
    if (path.compare(0, 6, "_level") != 0)
        return nullptr;
    size_t i = 6;
    int level = 0;
    while (i < path.size() && path[i] >= '0' && path[i] <= '9')
        level = level * 10 + (path[i++] - '0');
    ClipRef clip = rt.host->Level(level);
    while (clip && i < path.size()) {
        if (path[i] != '.')
            return nullptr;
        size_t next = path.find('.', i + 1);
        std::string name = path.substr(i + 1, next == std::string::npos ? std::string::npos : next - i - 1);
        clip = rt.host->Child(clip, name, rt.caseSensitive);
        i = next == std::string::npos ? path.size() : next;
    }
    return clip;
}

ClipRef Runtime::LiveClip(Object* o) {
    if (!o || o->kind != Kind::CLIP)
        return nullptr;
    if (o->clip)
        return o->clip;
    return FindClipByPath(*this, o->clipPath);
}

Object* Runtime::LiveClipObject(Object* o) {
    if (o && o->kind == Kind::CLIP && o->clip)
        return o;
    return ClipObject(LiveClip(o));
}

bool Runtime::FrameNumber(double n, int* frame) {
    int32_t index = static_cast<int32_t>(static_cast<uint32_t>(DoubleToInt32(n)) - 1u);
    if (index < 0)
        return false;
    *frame = index == 2147483647 ? index : index + 1;
    return true;
}

static const char* const DisplayNames[PROP_COUNT] = {
    "_x",      "_y",          "_xscale",      "_yscale", "_currentframe", "_totalframes", "_alpha", "_visible",
    "_width",  "_height",     "_rotation",    "_target", "_framesloaded", "_name",        "_droptarget",
    "_url",    "_highquality", "_focusrect",  "_soundbuftime", "_quality", "_xmouse",     "_ymouse"};

int Runtime::DisplayProperty(const std::string& name) const {
    if (name.size() < 2 || name[0] != '_')
        return -1;
    // These names are case-blind in every version.
    for (int i = 0; i < PROP_COUNT; ++i)
        if (EqualNames(name, DisplayNames[i], false))
            return i;
    return -1;
}

Value Runtime::GetDisplayProperty(ClipRef clip, int property) {
    switch (property) {
    case PROP_TARGET:
        return Value(TargetPath(clip, true));
    case PROP_NAME:
        return Value(host->Name(clip));
    case PROP_URL:
    case PROP_DROPTARGET:
    case PROP_QUALITY:
        return Value(host->GetStringProperty(clip, property));
    case PROP_VISIBLE:
        return Value(host->GetProperty(clip, property) != 0);
    default:
        return Value(host->GetProperty(clip, property));
    }
}

void Runtime::SetDisplayProperty(ClipRef clip, int property, const Value& v) {
    switch (property) {
    case PROP_NAME:
        host->SetName(clip, ToString(v));
        return;
    case PROP_QUALITY:
        host->SetStringProperty(clip, property, ToString(v));
        return;
    case PROP_TARGET:
    case PROP_URL:
    case PROP_DROPTARGET:
    case PROP_CURRENTFRAME:
    case PROP_TOTALFRAMES:
    case PROP_FRAMESLOADED:
    case PROP_XMOUSE:
    case PROP_YMOUSE:
        return;
    case PROP_VISIBLE:
        host->SetProperty(clip, property, ToBoolean(v) ? 1 : 0);
        return;
    default:
        host->SetProperty(clip, property, ToNumber(v));
        return;
    }
}

void Runtime::ClipCreated(ClipRef clip, const std::string& exportName) {
    Object* o = ClipObject(clip);
    if (pendingInit) {
        Object* init = pendingInit;
        pendingInit = nullptr;
        for (size_t i = 0; i < init->props.Size(); ++i) {
            const Property& p = init->props.At(i);
            if (!(p.flags & PROP_DONT_ENUM))
                Set(Value(o), p.name, p.value);
        }
    }
    if (exportName.empty())
        return;
    auto it = registeredClasses.find(caseSensitive ? exportName : FoldName(exportName));
    if (it == registeredClasses.end() || !it->second)
        return;
    Object* ctor = it->second;
    Value prototype = Get(Value(ctor), "prototype");
    if (prototype.IsObject())
        SetOwn(o, "__proto__", prototype, PROP_DONT_ENUM | PROP_DONT_DELETE);
    // A clip of a registered class carries both names of its constructor.
    SetOwn(o, "constructor", Value(ctor), PROP_DONT_ENUM);
    if (version >= 6)
        SetOwn(o, "__constructor__", Value(ctor), PROP_DONT_ENUM);
    EnterEntry();
    Call(Value(ctor), Value(o), {}, prototype.IsObject() ? prototype.object : nullptr);
    LeaveEntry();
}

void Runtime::ClipRemoved(ClipRef clip) {
    auto it = clipObjects_.find(clip);
    if (it == clipObjects_.end())
        return;
    Object* o = it->second;
    o->clipPath = TargetPath(clip, false);
    o->clip = nullptr;
    clipObjects_.erase(it);
}

// ---------------------------------------------------------------- entries

void Runtime::EnterEntry() {
    if (entryDepth++ == 0) {
        actionCount = 0;
        callDepth = 0;
        getterDepth = 0;
        unwind = Unwind::NONE;
        thrown = Value();
    }
}

void Runtime::LeaveEntry() {
    if (--entryDepth == 0) {
        unwind = Unwind::NONE;
        thrown = Value();
        // What a block leaves on the stack stays for the next, as in the
        // players; a stack that only grows is dropped.
        if (stack.size() > MaxLeftOnStack)
            stack.clear();
    }
}

void Runtime::RunBlock(ClipRef clip, const Block& block) {
    Object* target = ClipObject(clip);
    if (!target || !block)
        return;
    EnterEntry();
    Activation a;
    a.block = block;
    a.start = 0;
    a.end = block->size();
    a.target = a.baseClip = target;
    a.thisv = Value(target);
    a.version = version;
    a.regs.resize(4);
    a.stackBase = 0;
    std::vector<Value>* outerRegisters = blockRegisters;
    blockRegisters = &a.regs;
    Execute(a);
    blockRegisters = outerRegisters;
    LeaveEntry();
}

void Runtime::Tick() {
    double now = host->TimerMs();
    // Callbacks may add and clear intervals: work from a snapshot of ids.
    std::vector<int> due;
    for (const Interval& i : intervals)
        if (i.dueMs <= now)
            due.push_back(i.id);
    for (int id : due) {
        size_t k = 0;
        while (k < intervals.size() && intervals[k].id != id)
            ++k;
        if (k == intervals.size())
            continue;
        Interval interval = intervals[k];
        if (interval.once) {
            intervals.erase(intervals.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            double period = interval.periodMs > 0 ? interval.periodMs : 1;
            intervals[k].dueMs = interval.dueMs + period;
            if (intervals[k].dueMs <= now)
                intervals[k].dueMs = now + period;
        }
        EnterEntry();
        if (interval.method.empty())
            Call(interval.function, Value(), interval.args);
        else
            CallMethod(interval.function, interval.method, interval.args);
        LeaveEntry();
    }
}

} // namespace avm1
