// Key, Mouse, Stage and Color: input, the stage and colour transforms, as
// far as the host reports and keeps them.
#include "player/avm1/native.h"

#include <cmath>

namespace avm1 {

static Value KeyIsDown(Runtime& rt, CallContext& call) {
    return Value(rt.host->IsKeyDown(rt.ToInt32(call.Arg(0))));
}

static Value KeyGetCode(Runtime& rt, CallContext& call) {
    (void)call;
    return Value(static_cast<double>(rt.lastKeyCode));
}

static Value KeyGetAscii(Runtime& rt, CallContext& call) {
    (void)call;
    return Value(static_cast<double>(rt.lastKeyAscii));
}

static Value KeyIsToggled(Runtime& rt, CallContext& call) {
    (void)rt, (void)call;
    return Value(false);
}

static Value MouseShow(Runtime& rt, CallContext& call) {
    rt.host->ShowMouse(call.callee->nativeTag != 0);
    return Value(1.0);
}

static Value StageSize(Runtime& rt, CallContext& call) {
    return Value(call.callee->nativeTag ? rt.host->StageHeight() : rt.host->StageWidth());
}

static Value ReadOnly(Runtime& rt, CallContext& call) {
    (void)rt, (void)call;
    return Value();
}

// ---- Color: the target clip is kept in the object's primitive slot.

static ClipRef ColorTarget(Runtime& rt, CallContext& call) {
    Object* o = call.ThisObject();
    if (!o)
        return nullptr;
    const Value& target = o->primitive;
    if (target.IsObject())
        return rt.LiveClip(target.object);
    if (target.IsString()) {
        Value clip = rt.Get(Value(rt.ClipObject(rt.host->Level(0))), target.string);
        return clip.IsObject() ? rt.LiveClip(clip.object) : nullptr;
    }
    return nullptr;
}

static Value ColorConstruct(Runtime& rt, CallContext& call) {
    Object* o = call.construct ? call.ThisObject() : nullptr;
    if (!o)
        return Value();
    const Value& target = call.Arg(0);
    if (target.IsObject() || target.IsString())
        o->primitive = target;
    (void)rt;
    return call.thisv;
}

static Value ColorSetRgb(Runtime& rt, CallContext& call) {
    ClipRef clip = ColorTarget(rt, call);
    if (!clip)
        return Value();
    uint32_t rgb = DoubleToUint32(NumberArg(rt, call, 0));
    ColorTransform t = rt.host->GetColorTransform(clip);
    t.ra = t.ga = t.ba = 0;
    t.rb = (rgb >> 16) & 0xFF;
    t.gb = (rgb >> 8) & 0xFF;
    t.bb = rgb & 0xFF;
    rt.host->SetColorTransform(clip, t);
    return Value();
}

static Value ColorGetRgb(Runtime& rt, CallContext& call) {
    ClipRef clip = ColorTarget(rt, call);
    if (!clip)
        return Value();
    ColorTransform t = rt.host->GetColorTransform(clip);
    int r = static_cast<int>(t.rb), g = static_cast<int>(t.gb), b = static_cast<int>(t.bb);
    return Value(static_cast<double>(((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF)));
}

static const char* const TransformNames[8] = {"ra", "rb", "ga", "gb", "ba", "bb", "aa", "ab"};

static double* TransformField(ColorTransform& t, int i) {
    double* fields[8] = {&t.ra, &t.rb, &t.ga, &t.gb, &t.ba, &t.bb, &t.aa, &t.ab};
    return fields[i];
}

static Value ColorGetTransform(Runtime& rt, CallContext& call) {
    ClipRef clip = ColorTarget(rt, call);
    if (!clip)
        return Value();
    ColorTransform t = rt.host->GetColorTransform(clip);
    Object* o = rt.NewObject(rt.objectProto);
    for (int i = 0; i < 8; ++i)
        rt.Set(Value(o), TransformNames[i], Value(*TransformField(t, i)));
    return Value(o);
}

static Value ColorSetTransform(Runtime& rt, CallContext& call) {
    ClipRef clip = ColorTarget(rt, call);
    const Value& given = call.Arg(0);
    if (!clip || !given.IsObject())
        return Value();
    ColorTransform t = rt.host->GetColorTransform(clip);
    for (int i = 0; i < 8; ++i) {
        if (rt.HasProperty(given.object, TransformNames[i])) {
            double d = rt.ToNumber(rt.Get(given, TransformNames[i]));
            if (!std::isnan(d))
                *TransformField(t, i) = d;
        }
    }
    rt.host->SetColorTransform(clip, t);
    return Value();
}

void SetupStage(Runtime& rt) {
    const uint16_t fixed = PROP_DONT_ENUM | PROP_DONT_DELETE | PROP_READ_ONLY;

    Object* key = rt.NewObject(rt.objectProto);
    rt.keyObject = key;
    rt.Pin(key);
    const std::pair<const char*, int> keys[] = {
        {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40}, {"END", 35},
        {"ENTER", 13},    {"ESCAPE", 27},   {"HOME", 36},    {"INSERT", 45},    {"LEFT", 37}, {"PGDN", 34},
        {"PGUP", 33},     {"RIGHT", 39},    {"SHIFT", 16},   {"SPACE", 32},     {"TAB", 9},   {"UP", 38}};
    for (const auto& k : keys)
        rt.SetOwn(key, k.first, Value(k.second), fixed);
    rt.DefineMethod(key, "isDown", KeyIsDown);
    rt.DefineMethod(key, "getCode", KeyGetCode);
    rt.DefineMethod(key, "getAscii", KeyGetAscii);
    rt.DefineMethod(key, "isToggled", KeyIsToggled);
    InitializeBroadcaster(rt, key);
    rt.SetOwn(rt.global, "Key", Value(key), PROP_DONT_ENUM);

    Object* mouse = rt.NewObject(rt.objectProto);
    rt.mouseObject = mouse;
    rt.Pin(mouse);
    rt.DefineMethod(mouse, "show", MouseShow, 1);
    rt.DefineMethod(mouse, "hide", MouseShow, 0);
    InitializeBroadcaster(rt, mouse);
    rt.SetOwn(rt.global, "Mouse", Value(mouse), PROP_DONT_ENUM);

    Object* stage = rt.NewObject(rt.objectProto);
    rt.Pin(stage);
    rt.DefineAccessor(stage, "width", StageSize, ReadOnly, 0);
    rt.DefineAccessor(stage, "height", StageSize, ReadOnly, 1);
    rt.SetOwn(stage, "scaleMode", Value("showAll"), PROP_DONT_ENUM);
    rt.SetOwn(stage, "align", Value(""), PROP_DONT_ENUM);
    rt.SetOwn(stage, "showMenu", Value(true), PROP_DONT_ENUM);
    InitializeBroadcaster(rt, stage);
    rt.SetOwn(rt.global, "Stage", Value(stage), PROP_DONT_ENUM);

    Object* colorProto = rt.NewObject(rt.objectProto);
    rt.DefineMethod(colorProto, "setRGB", ColorSetRgb);
    rt.DefineMethod(colorProto, "getRGB", ColorGetRgb);
    rt.DefineMethod(colorProto, "setTransform", ColorSetTransform);
    rt.DefineMethod(colorProto, "getTransform", ColorGetTransform);
    Object* color = rt.NewClass(ColorConstruct, colorProto);
    rt.SetOwn(rt.global, "Color", Value(color), PROP_DONT_ENUM);
}

} // namespace avm1
