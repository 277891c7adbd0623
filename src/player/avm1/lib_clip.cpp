// MovieClip, Button, TextField and Color: the methods scripts call on the
// host's display objects, each turned into a Host call.
#include "player/avm1/native.h"

#include <cmath>

namespace avm1 {

// Script depths at and above this are taken by the player itself.
static const double MaxScriptDepth = 2130690044.0;

static Value ClipValue(Runtime& rt, ClipRef clip) { return clip ? Value(rt.ClipObject(clip)) : Value(); }

enum ClipMethodTag { TAG_PLAY, TAG_STOP, TAG_NEXT, TAG_PREV, TAG_GOTO_PLAY, TAG_GOTO_STOP };

static Value ClipTimeline(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    if (!clip)
        return Value();
    int tag = call.callee->nativeTag;
    int current = static_cast<int>(rt.host->GetProperty(clip, PROP_CURRENTFRAME));
    switch (tag) {
    case TAG_PLAY:
    case TAG_STOP:
        rt.host->SetPlaying(clip, tag == TAG_PLAY);
        break;
    case TAG_NEXT:
        rt.host->GotoFrame(clip, current + 1, false);
        break;
    case TAG_PREV:
        rt.host->GotoFrame(clip, current - 1, false);
        break;
    default: {
        // A number is a frame; text that reads as one too, other text a label.
        const Value& frame = call.Arg(0);
        int number = 0;
        double n = frame.IsNumber() ? frame.number : NAN;
        if (!frame.IsNumber()) {
            std::string text = rt.ToString(frame);
            size_t colon = text.rfind(':');
            if (colon != std::string::npos) {
                // "path:frame" names a frame of another clip.
                Activation a;
                a.target = a.baseClip = rt.ClipObject(clip);
                a.version = rt.version;
                Value target = rt.ResolvePath(a, a.target, text.substr(0, colon));
                clip = target.IsObject() ? rt.LiveClip(target.object) : nullptr;
                if (!clip)
                    return Value();
                text = text.substr(colon + 1);
            }
            n = StringToNumber(text, rt.version);
            if (std::isnan(n)) {
                number = rt.host->FrameOfLabel(clip, text);
                if (number <= 0)
                    return Value();
            }
        }
        if (number == 0 && !Runtime::FrameNumber(n, &number))
            return Value();
        rt.host->GotoFrame(clip, number, tag == TAG_GOTO_PLAY);
        break;
    }
    }
    return Value();
}

// Depths wrap as 32-bit integers and must lie in the scripts' range.
static bool DepthArg(Runtime& rt, CallContext& call, size_t i, int* depth) {
    double d = DoubleToInt32(NumberArg(rt, call, i));
    if (d < -16384 || d > MaxScriptDepth)
        return false;
    *depth = static_cast<int>(d);
    return true;
}

static Value ClipAttachMovie(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    int depth = 0;
    if (!clip || call.Count() < 3 || !DepthArg(rt, call, 2, &depth))
        return Value();
    const Value& init = call.Arg(3);
    rt.pendingInit = init.IsObject() ? init.object : nullptr;
    ClipRef child = rt.host->AttachClip(clip, StringArg(rt, call, 0), StringArg(rt, call, 1), depth);
    rt.pendingInit = nullptr;
    return ClipValue(rt, child);
}

static Value ClipDuplicate(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    int depth = 0;
    if (!clip || call.Count() < 2 || !DepthArg(rt, call, 1, &depth))
        return Value();
    const Value& init = call.Arg(2);
    rt.pendingInit = init.IsObject() ? init.object : nullptr;
    ClipRef copy = rt.host->DuplicateClip(clip, StringArg(rt, call, 0), depth);
    rt.pendingInit = nullptr;
    return ClipValue(rt, copy);
}

static Value ClipCreateEmpty(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    int depth = 0;
    if (!clip || call.Count() < 2 || !DepthArg(rt, call, 1, &depth))
        return Value();
    return ClipValue(rt, rt.host->CreateEmptyClip(clip, StringArg(rt, call, 0), depth));
}

static Value ClipCreateTextField(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    int depth = 0;
    if (!clip || call.Count() < 6 || !DepthArg(rt, call, 1, &depth))
        return Value();
    Bounds box;
    box.xMin = NumberArg(rt, call, 2);
    box.yMin = NumberArg(rt, call, 3);
    box.xMax = box.xMin + NumberArg(rt, call, 4);
    box.yMax = box.yMin + NumberArg(rt, call, 5);
    ClipRef field = rt.host->CreateTextField(clip, StringArg(rt, call, 0), depth, box);
    return rt.version >= 8 ? ClipValue(rt, field) : Value();
}

static Value ClipRemove(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    if (clip && rt.host->Parent(clip)) {
        int depth = rt.host->Depth(clip);
        if (depth >= 0 && depth < 1048576)
            rt.host->RemoveClip(clip);
    }
    return Value();
}

static Value ClipSwapDepths(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    if (!clip || !HasArg(call, 0) || !rt.host->Parent(clip))
        return Value();
    const Value& target = call.Arg(0);
    int depth = 0;
    if (target.IsObject() && target.object->kind == Kind::CLIP) {
        ClipRef other = rt.LiveClip(target.object);
        if (!other || rt.host->Parent(other) != rt.host->Parent(clip))
            return Value();
        depth = rt.host->Depth(other);
    } else if (!DepthArg(rt, call, 0, &depth)) {
        return Value();
    }
    rt.host->SwapDepths(clip, depth);
    return Value();
}

static Value ClipGetDepth(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    return clip ? Value(static_cast<double>(rt.host->Depth(clip))) : Value();
}

static Value ClipNextHighestDepth(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    return clip ? Value(static_cast<double>(rt.host->NextHighestDepth(clip))) : Value();
}

static Value ClipInstanceAtDepth(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    int depth = 0;
    if (!clip || !DepthArg(rt, call, 0, &depth))
        return Value();
    return ClipValue(rt, rt.host->ClipAtDepth(clip, depth));
}

static Value ClipHitTest(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    if (!clip)
        return Value(false);
    if (call.Count() >= 2) {
        double x = NumberArg(rt, call, 0), y = NumberArg(rt, call, 1);
        if (std::isnan(x) || std::isnan(y))
            return Value(false);
        return Value(rt.host->HitTestPoint(clip, x, y, rt.ToBoolean(call.Arg(2))));
    }
    const Value& other = call.Arg(0);
    ClipRef target = nullptr;
    if (other.IsObject())
        target = rt.LiveClip(other.object);
    else if (other.IsString())
        target = rt.LiveClip(rt.Get(Value(rt.ClipObject(rt.RootOf(clip))), other.string).object);
    if (!target)
        return Value(false);
    Bounds a = rt.host->GetBounds(clip, nullptr), b = rt.host->GetBounds(target, nullptr);
    return Value(a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax && b.yMin <= a.yMax);
}

static Value ClipGetBounds(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    if (!clip)
        return Value();
    ClipRef space = clip;
    if (HasArg(call, 0)) {
        const Value& target = call.Arg(0);
        space = target.IsObject() ? rt.LiveClip(target.object) : nullptr;
        if (!space)
            return Value();
    }
    Bounds b = rt.host->GetBounds(clip, space);
    Object* o = rt.NewObject(rt.objectProto);
    rt.Set(Value(o), "xMin", Value(b.xMin));
    rt.Set(Value(o), "xMax", Value(b.xMax));
    rt.Set(Value(o), "yMin", Value(b.yMin));
    rt.Set(Value(o), "yMax", Value(b.yMax));
    return Value(o);
}

static Value ClipConvertPoint(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    const Value& point = call.Arg(0);
    if (!clip || !point.IsObject())
        return Value();
    double x = rt.ToNumber(rt.Get(point, "x")), y = rt.ToNumber(rt.Get(point, "y"));
    if (call.callee->nativeTag)
        rt.host->GlobalToLocal(clip, &x, &y);
    else
        rt.host->LocalToGlobal(clip, &x, &y);
    rt.Set(point, "x", Value(x));
    rt.Set(point, "y", Value(y));
    return Value();
}

static Value ClipStartDrag(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    if (!clip)
        return Value();
    Bounds limits;
    bool constrain = call.Count() >= 5;
    if (constrain) {
        limits.xMin = NumberArg(rt, call, 1);
        limits.yMin = NumberArg(rt, call, 2);
        limits.xMax = NumberArg(rt, call, 3);
        limits.yMax = NumberArg(rt, call, 4);
    }
    rt.host->StartDrag(clip, rt.ToBoolean(call.Arg(0)), constrain ? &limits : nullptr);
    return Value();
}

static Value ClipStopDrag(Runtime& rt, CallContext& call) {
    (void)call;
    rt.host->StopDrag();
    return Value();
}

static Value ClipDraw(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    if (!clip)
        return Value();
    DrawCommand command;
    command.op = static_cast<DrawOp>(call.callee->nativeTag);
    size_t count = 0;
    switch (command.op) {
    case DRAW_LINE_STYLE:
        command.args[0] = HasArg(call, 0) ? NumberArg(rt, call, 0) : NAN;
        command.args[1] = NumberArg(rt, call, 1);
        command.args[2] = HasArg(call, 2) ? NumberArg(rt, call, 2) : 100;
        rt.host->Draw(clip, command);
        return Value();
    case DRAW_BEGIN_FILL:
        if (!HasArg(call, 0))
            return Value();
        command.args[0] = NumberArg(rt, call, 0);
        command.args[1] = HasArg(call, 1) ? NumberArg(rt, call, 1) : 100;
        rt.host->Draw(clip, command);
        return Value();
    case DRAW_GRADIENT_FILL: {
        if (call.Count() < 5 || !call.Arg(1).IsObject() || !call.Arg(2).IsObject() || !call.Arg(3).IsObject() ||
            !call.Arg(4).IsObject())
            return Value();
        std::string type = StringArg(rt, call, 0);
        command.args[0] = type == "radial" ? 1 : 0;
        Object* colors = call.Arg(1).object;
        Object* alphas = call.Arg(2).object;
        Object* ratios = call.Arg(3).object;
        uint32_t n = rt.LengthOf(colors);
        if (n > 15)
            n = 15;
        for (uint32_t i = 0; i < n; ++i) {
            GradientStop stop;
            stop.rgb = DoubleToUint32(rt.ToNumber(rt.GetIndex(colors, i))) & 0xFFFFFF;
            stop.alpha = rt.ToNumber(rt.GetIndex(alphas, i));
            stop.ratio = rt.ToNumber(rt.GetIndex(ratios, i));
            command.stops.push_back(stop);
        }
        Value matrix = call.Arg(4);
        const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
        for (int i = 0; i < 6; ++i)
            command.args[1 + i] = rt.ToNumber(rt.Get(matrix, names[i]));
        rt.host->Draw(clip, command);
        return Value();
    }
    case DRAW_MOVE_TO:
    case DRAW_LINE_TO:
        count = 2;
        break;
    case DRAW_CURVE_TO:
        count = 4;
        break;
    default:
        break;
    }
    if (call.Count() < count)
        return Value();
    for (size_t i = 0; i < count; ++i) {
        command.args[i] = NumberArg(rt, call, i);
        if (std::isnan(command.args[i]))
            return Value();
    }
    rt.host->Draw(clip, command);
    return Value();
}

static Value ClipBytes(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    return clip ? Value(1.0) : Value();
}

static Value ClipGetUrl(Runtime& rt, CallContext& call) {
    if (!HasArg(call, 0))
        return Value();
    std::string url = StringArg(rt, call, 0);
    std::string window = HasArg(call, 1) ? StringArg(rt, call, 1) : std::string();
    if (url.size() >= 10 && EqualNames(url.substr(0, 10), "FSCommand:", false))
        rt.host->FsCommand(url.substr(10), window);
    else
        rt.host->GetUrl(url, window, 0);
    return Value();
}

static Value ClipLoadMovie(Runtime& rt, CallContext& call) {
    ClipRef clip = ThisClip(rt, call);
    if (clip && HasArg(call, 0))
        rt.host->GetUrl(StringArg(rt, call, 0), rt.TargetPath(clip, false), 0);
    return Value();
}

static Value ClipConstruct(Runtime& rt, CallContext& call) {
    (void)rt;
    return call.thisv;
}

void SetupClip(Runtime& rt) {
    rt.clipProto = rt.NewObject(rt.objectProto);
    rt.Pin(rt.clipProto);
    Object* p = rt.clipProto;
    rt.DefineMethod(p, "play", ClipTimeline, TAG_PLAY);
    rt.DefineMethod(p, "stop", ClipTimeline, TAG_STOP);
    rt.DefineMethod(p, "nextFrame", ClipTimeline, TAG_NEXT);
    rt.DefineMethod(p, "prevFrame", ClipTimeline, TAG_PREV);
    rt.DefineMethod(p, "gotoAndPlay", ClipTimeline, TAG_GOTO_PLAY);
    rt.DefineMethod(p, "gotoAndStop", ClipTimeline, TAG_GOTO_STOP);
    rt.DefineMethod(p, "attachMovie", ClipAttachMovie);
    rt.DefineMethod(p, "duplicateMovieClip", ClipDuplicate);
    rt.DefineMethod(p, "createEmptyMovieClip", ClipCreateEmpty, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "createTextField", ClipCreateTextField, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "removeMovieClip", ClipRemove);
    rt.DefineMethod(p, "swapDepths", ClipSwapDepths);
    rt.DefineMethod(p, "getDepth", ClipGetDepth, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "getNextHighestDepth", ClipNextHighestDepth, 0, PROP_DONT_ENUM | PROP_VERSION7);
    rt.DefineMethod(p, "getInstanceAtDepth", ClipInstanceAtDepth, 0, PROP_DONT_ENUM | PROP_VERSION7);
    rt.DefineMethod(p, "hitTest", ClipHitTest);
    rt.DefineMethod(p, "getBounds", ClipGetBounds);
    rt.DefineMethod(p, "getRect", ClipGetBounds, 0, PROP_DONT_ENUM | PROP_VERSION8);
    rt.DefineMethod(p, "localToGlobal", ClipConvertPoint, 0);
    rt.DefineMethod(p, "globalToLocal", ClipConvertPoint, 1);
    rt.DefineMethod(p, "startDrag", ClipStartDrag);
    rt.DefineMethod(p, "stopDrag", ClipStopDrag);
    rt.DefineMethod(p, "clear", ClipDraw, DRAW_CLEAR, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "lineStyle", ClipDraw, DRAW_LINE_STYLE, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "beginFill", ClipDraw, DRAW_BEGIN_FILL, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "beginGradientFill", ClipDraw, DRAW_GRADIENT_FILL, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "endFill", ClipDraw, DRAW_END_FILL, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "moveTo", ClipDraw, DRAW_MOVE_TO, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "lineTo", ClipDraw, DRAW_LINE_TO, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "curveTo", ClipDraw, DRAW_CURVE_TO, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(p, "getBytesLoaded", ClipBytes);
    rt.DefineMethod(p, "getBytesTotal", ClipBytes);
    rt.DefineMethod(p, "getURL", ClipGetUrl);
    rt.DefineMethod(p, "loadMovie", ClipLoadMovie);
    Object* clip = rt.NewClass(ClipConstruct, p);
    rt.SetOwn(rt.global, "MovieClip", Value(clip), PROP_DONT_ENUM);

    rt.buttonProto = rt.NewObject(rt.objectProto);
    rt.Pin(rt.buttonProto);
    rt.DefineMethod(rt.buttonProto, "getDepth", ClipGetDepth, 0, PROP_DONT_ENUM | PROP_VERSION6);
    Object* button = rt.NewClass(ClipConstruct, rt.buttonProto);
    rt.SetOwn(rt.global, "Button", Value(button), PROP_DONT_ENUM);

    rt.textFieldProto = rt.NewObject(rt.objectProto);
    rt.Pin(rt.textFieldProto);
    rt.DefineMethod(rt.textFieldProto, "getDepth", ClipGetDepth, 0, PROP_DONT_ENUM | PROP_VERSION6);
    rt.DefineMethod(rt.textFieldProto, "removeTextField", ClipRemove, 0, PROP_DONT_ENUM | PROP_VERSION6);
    Object* text = rt.NewClass(ClipConstruct, rt.textFieldProto);
    rt.SetOwn(rt.global, "TextField", Value(text), PROP_DONT_ENUM);
}

} // namespace avm1
