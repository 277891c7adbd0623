// Helpers for the native functions of the built-in objects (lib_*.cpp).
#pragma once

#include "player/avm1/runtime.h"

namespace avm1 {

inline double NumberArg(Runtime& rt, CallContext& call, size_t i) { return rt.ToNumber(call.Arg(i)); }
inline std::string StringArg(Runtime& rt, CallContext& call, size_t i) { return rt.ToString(call.Arg(i)); }
inline bool HasArg(CallContext& call, size_t i) { return i < call.Count(); }

// The object a method was called on, wrapping a primitive.
inline Object* ThisObject(Runtime& rt, CallContext& call) {
    return call.thisv.IsObject() ? call.thisv.object : rt.ToObject(call.thisv);
}

// The live clip a MovieClip method was called on; null when gone.
inline ClipRef ThisClip(Runtime& rt, CallContext& call) {
    return call.thisv.IsObject() ? rt.LiveClip(call.thisv.object) : nullptr;
}

inline bool IsFunction(const Value& v) { return v.IsObject() && v.object->IsFunction(); }

} // namespace avm1
