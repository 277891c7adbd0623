// Object, Function, Error, AsBroadcaster and ASSetPropFlags.
#include "player/avm1/native.h"

namespace avm1 {

// ---------------------------------------------------------------- Object

static Value ObjectConstruct(Runtime& rt, CallContext& call) {
    const Value& v = call.Arg(0);
    if (v.IsObject())
        return v;
    if (!v.IsNullish())
        return Value(rt.ToObject(v));
    if (call.construct)
        return call.thisv;
    // Object() as a function makes a bare object, without a prototype.
    return Value(rt.NewObject(nullptr));
}

static Value ObjectToString(Runtime& rt, CallContext& call) {
    (void)rt;
    Object* o = call.ThisObject();
    if (o && o->IsFunction())
        return Value("[type Function]");
    return Value("[object Object]");
}

static Value ObjectValueOf(Runtime& rt, CallContext& call) {
    (void)rt;
    return call.thisv;
}

static Value ObjectHasOwnProperty(Runtime& rt, CallContext& call) {
    Object* o = ThisObject(rt, call);
    if (!o || !HasArg(call, 0))
        return Value(false);
    return Value(rt.HasOwnProperty(o, StringArg(rt, call, 0)));
}

static Value ObjectIsPropertyEnumerable(Runtime& rt, CallContext& call) {
    Object* o = ThisObject(rt, call);
    if (!o)
        return Value(false);
    Property* p = o->FindOwn(StringArg(rt, call, 0), rt.caseSensitive);
    return Value(p != nullptr && !(p->flags & PROP_DONT_ENUM));
}

static Value ObjectIsPrototypeOf(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    const Value& v = call.Arg(0);
    if (!o || !v.IsObject())
        return Value(false);
    int depth = 0;
    for (Object* p = v.object->Proto(rt.caseSensitive); p && depth < 256; p = p->Proto(rt.caseSensitive), ++depth)
        if (p == o)
            return Value(true);
    return Value(false);
}

static Value ObjectAddProperty(Runtime& rt, CallContext& call) {
    Object* o = rt.Own(call.ThisObject());
    if (!o || call.Count() < 3)
        return Value(false);
    std::string name = StringArg(rt, call, 0);
    const Value& getter = call.Arg(1);
    const Value& setter = call.Arg(2);
    if (name.empty() || !IsFunction(getter) || (!IsFunction(setter) && !setter.IsNull()))
        return Value(false);
    Property* p = o->FindOwn(name, rt.caseSensitive);
    if (!p)
        p = &o->props.Add(name, rt.caseSensitive);
    p->value = Value();
    p->getter = getter.object;
    p->setter = IsFunction(setter) ? setter.object : nullptr;
    p->flags &= static_cast<uint16_t>(~PROP_READ_ONLY);
    return Value(true);
}

static Value ObjectWatch(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o || !IsFunction(call.Arg(1)))
        return Value(false);
    std::string name = StringArg(rt, call, 0);
    for (Watch& w : o->watches) {
        if (EqualNames(w.name, name, rt.caseSensitive)) {
            w.callback = call.Arg(1).object;
            w.data = call.Arg(2);
            return Value(true);
        }
    }
    Watch w;
    w.name = name;
    w.callback = call.Arg(1).object;
    w.data = call.Arg(2);
    o->watches.push_back(w);
    return Value(true);
}

static Value ObjectUnwatch(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return Value(false);
    std::string name = StringArg(rt, call, 0);
    for (size_t i = 0; i < o->watches.size(); ++i) {
        if (EqualNames(o->watches[i].name, name, rt.caseSensitive)) {
            o->watches.erase(o->watches.begin() + static_cast<std::ptrdiff_t>(i));
            return Value(true);
        }
    }
    return Value(false);
}

static Value ObjectRegisterClass(Runtime& rt, CallContext& call) {
    if (call.Count() < 2)
        return Value(false);
    std::string name = StringArg(rt, call, 0);
    std::string key = rt.caseSensitive ? name : FoldName(name);
    if (IsFunction(call.Arg(1)))
        rt.registeredClasses[key] = call.Arg(1).object;
    else
        rt.registeredClasses.erase(key);
    return Value(true);
}

void SetupObject(Runtime& rt) {
    Object* p = rt.objectProto;
    rt.DefineMethod(p, "toString", ObjectToString);
    rt.DefineMethod(p, "valueOf", ObjectValueOf);
    rt.DefineMethod(p, "hasOwnProperty", ObjectHasOwnProperty, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "isPropertyEnumerable", ObjectIsPropertyEnumerable, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "isPrototypeOf", ObjectIsPrototypeOf, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "addProperty", ObjectAddProperty, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "watch", ObjectWatch, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "unwatch", ObjectUnwatch, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.objectCtor = rt.NewClass(ObjectConstruct, p);
    rt.DefineMethod(rt.objectCtor, "registerClass", ObjectRegisterClass, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.SetOwn(rt.global, "Object", Value(rt.objectCtor), PROP_DONT_ENUM);
    rt.Pin(rt.objectCtor);
}

// ---------------------------------------------------------------- Function

// Function(f) gives f back; new Function() an empty object.
static Value FunctionConstruct(Runtime& rt, CallContext& call) {
    (void)rt;
    if (call.construct)
        return call.thisv;
    return call.Arg(0);
}

static Value FunctionCall(Runtime& rt, CallContext& call) {
    std::vector<Value> args;
    for (size_t i = 1; i < call.Count(); ++i)
        args.push_back(call.args[i]);
    // Without an object to run on, the function runs on _global.
    Value thisv = call.Arg(0);
    if (thisv.IsNullish())
        thisv = Value(rt.global);
    return rt.Call(call.thisv, thisv, args);
}

static Value FunctionApply(Runtime& rt, CallContext& call) {
    std::vector<Value> args;
    const Value& list = call.Arg(1);
    if (list.IsObject()) {
        uint32_t n = rt.LengthOf(list.object);
        for (uint32_t i = 0; i < n && i < 100000; ++i)
            args.push_back(rt.GetIndex(list.object, i));
    }
    Value thisv = call.Arg(0);
    if (thisv.IsNullish())
        thisv = Value(rt.global);
    return rt.Call(call.thisv, thisv, args);
}

void SetupFunction(Runtime& rt) {
    Object* p = rt.functionProto;
    rt.DefineMethod(p, "call", FunctionCall, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "apply", FunctionApply, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.functionCtor = rt.NewClass(FunctionConstruct, p);
    rt.SetOwn(rt.global, "Function", Value(rt.functionCtor), PROP_DONT_ENUM);
    rt.Pin(rt.functionCtor);

    // Error
    rt.errorProto = rt.NewObject(rt.objectProto);
    rt.Pin(rt.errorProto);
    Object* error = rt.NewClass(
        [](Runtime& rt, CallContext& call) -> Value {
            Object* o = call.construct ? call.ThisObject() : rt.NewObject(rt.errorProto);
            if (o && HasArg(call, 0) && !call.Arg(0).IsUndefined())
                rt.SetOwn(o, "message", call.Arg(0));
            return Value(o);
        },
        rt.errorProto);
    rt.SetOwn(rt.errorProto, "name", Value("Error"));
    rt.SetOwn(rt.errorProto, "message", Value("Error"));
    rt.DefineMethod(rt.errorProto, "toString", [](Runtime& rt, CallContext& call) -> Value {
        return Value(rt.ToString(rt.Get(call.thisv, "message")));
    });
    rt.SetOwn(rt.global, "Error", Value(error), PROP_DONT_ENUM);
}

// ---------------------------------------------------------------- AsBroadcaster

static Object* Listeners(Runtime& rt, const Value& owner) {
    Value list = rt.Get(owner, "_listeners");
    return list.IsObject() ? list.object : nullptr;
}

static Value BroadcasterAddListener(Runtime& rt, CallContext& call) {
    Object* list = Listeners(rt, call.thisv);
    if (!list)
        return Value(false);
    const Value& listener = call.Arg(0);
    uint32_t n = rt.LengthOf(list);
    for (uint32_t i = 0; i < n; ++i)
        if (rt.StrictEquals(rt.GetIndex(list, i), listener))
            return Value(true);
    rt.SetIndex(list, n, listener);
    return Value(true);
}

static Value BroadcasterRemoveListener(Runtime& rt, CallContext& call) {
    Object* list = Listeners(rt, call.thisv);
    if (!list)
        return Value(false);
    const Value& listener = call.Arg(0);
    uint32_t n = rt.LengthOf(list);
    for (uint32_t i = 0; i < n; ++i) {
        if (rt.StrictEquals(rt.GetIndex(list, i), listener)) {
            for (uint32_t k = i; k + 1 < n; ++k)
                rt.SetIndex(list, k, rt.GetIndex(list, k + 1));
            if (list->kind == Kind::ARRAY)
                rt.SetArrayLength(list, n - 1);
            else
                rt.Set(Value(list), "length", Value(static_cast<double>(n - 1)));
            return Value(true);
        }
    }
    return Value(false);
}

static Value BroadcasterBroadcast(Runtime& rt, CallContext& call) {
    Object* list = Listeners(rt, call.thisv);
    if (!list || !HasArg(call, 0))
        return Value();
    std::string name = StringArg(rt, call, 0);
    std::vector<Value> args(call.args.begin() + 1, call.args.end());
    std::vector<Value> listeners;
    uint32_t n = rt.LengthOf(list);
    for (uint32_t i = 0; i < n; ++i)
        listeners.push_back(rt.GetIndex(list, i));
    for (const Value& l : listeners) {
        rt.CallMethod(l, name, args);
        if (rt.Unwinding())
            break;
    }
    return Value(n > 0);
}

static Value BroadcasterInitialize(Runtime& rt, CallContext& call) {
    const Value& target = call.Arg(0);
    if (!target.IsObject())
        return Value();
    Object* broadcaster = call.ThisObject();
    Object* o = target.object;
    rt.Set(target, "_listeners", Value(rt.NewArray()));
    rt.Set(target, "addListener", broadcaster ? rt.Get(Value(broadcaster), "addListener") : Value());
    rt.Set(target, "removeListener", broadcaster ? rt.Get(Value(broadcaster), "removeListener") : Value());
    rt.Set(target, "broadcastMessage", broadcaster ? rt.Get(Value(broadcaster), "broadcastMessage") : Value());
    const char* hidden[] = {"_listeners", "addListener", "removeListener", "broadcastMessage"};
    for (const char* name : hidden) {
        Property* p = o->FindOwn(name, rt.caseSensitive);
        if (p)
            p->flags |= PROP_DONT_ENUM;
    }
    return Value();
}

void InitializeBroadcaster(Runtime& rt, Object* o) {
    Value broadcaster = rt.Get(Value(rt.global), "AsBroadcaster");
    CallContext call;
    call.thisv = broadcaster;
    call.args.push_back(Value(o));
    BroadcasterInitialize(rt, call);
}

// ---------------------------------------------------------------- ASSetPropFlags

static Value SetPropFlags(Runtime& rt, CallContext& call) {
    const Value& target = call.Arg(0);
    if (!target.IsObject())
        return Value();
    Object* o = rt.Own(target.object);
    if (!o)
        return Value();
    uint16_t setTrue = static_cast<uint16_t>(rt.ToInt32(call.Arg(2)));
    uint16_t setFalse = HasArg(call, 3) ? static_cast<uint16_t>(rt.ToInt32(call.Arg(3))) : 0;
    std::vector<std::string> names;
    const Value& list = call.Arg(1);
    bool all = list.IsNull();
    if (list.IsString() || list.IsUndefined() || (list.IsObject() && list.object->kind != Kind::ARRAY)) {
        // Names in a comma list; an object gives its text (after the flags were read).
        std::string s = rt.ToString(list);
        size_t start = 0;
        while (start <= s.size()) {
            size_t comma = s.find(',', start);
            if (comma == std::string::npos)
                comma = s.size();
            names.push_back(s.substr(start, comma - start));
            start = comma + 1;
        }
    } else if (list.IsObject()) { // an array of names
        uint32_t n = rt.LengthOf(list.object);
        for (uint32_t i = 0; i < n; ++i)
            names.push_back(rt.ToString(rt.GetIndex(list.object, i)));
    } else if (!all) {
        return Value();
    }
    for (size_t i = 0; i < o->props.Size(); ++i) {
        Property& p = o->props.At(i);
        bool chosen = all;
        for (const std::string& name : names)
            if (EqualNames(name, p.name, rt.caseSensitive))
                chosen = true;
        if (chosen)
            p.flags = static_cast<uint16_t>((p.flags & ~setFalse) | setTrue);
    }
    return Value();
}

void SetupBroadcaster(Runtime& rt) {
    Object* b = rt.NewObject(rt.objectProto);
    rt.DefineMethod(b, "initialize", BroadcasterInitialize);
    rt.DefineMethod(b, "addListener", BroadcasterAddListener);
    rt.DefineMethod(b, "removeListener", BroadcasterRemoveListener);
    rt.DefineMethod(b, "broadcastMessage", BroadcasterBroadcast);
    rt.SetOwn(rt.global, "AsBroadcaster", Value(b), PROP_DONT_ENUM);
    rt.DefineMethod(rt.global, "ASSetPropFlags", SetPropFlags);
}

} // namespace avm1
