// The action interpreter: runs the actions of one activation.
//
// A With body, a Try's blocks and the whole activation are ranges of the
// action block run by the same loop, nested: a jump that leaves a range ends
// it and continues in the enclosing one, so scopes pushed by With are popped
// and finally blocks run on every way out. Every read is checked against the
// range; a damaged action ends the range where the damage begins.
#include "player/avm1/mvavm.h"
#include "player/avm1/runtime.h"
#include "player/avm1/text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace avm1 {

namespace {

enum class Exit { END, JUMP, RETURN, UNWIND };

// With blocks nest at most this deep (8 in version 5 movies).
const int MaxWithDepth = 16;
// Values the stack may hold.
const size_t MaxStack = 1u << 18;

class Interpreter {
public:
    Interpreter(Runtime& rt, Activation& a) : rt_(rt), a_(a), code_(*a.block) {}

    void Run() {
        size_t jump = 0;
        Exit e = RunRange(a_.start, std::min(a_.end, code_.size()), &jump);
        if (e == Exit::UNWIND && rt_.unwind == Unwind::THROW && !a_.isFunction && rt_.entryDepth == 1 &&
            rt_.callDepth == 0) {
            rt_.Trace("Warning: Uncaught exception, " + rt_.ToString(rt_.thrown));
            rt_.unwind = Unwind::THROW;
        }
    }

private:
    Runtime& rt_;
    Activation& a_;
    const std::vector<uint8_t>& code_;
    int withDepth_ = 0;

    // ---- stack
    Value Pop() {
        if (rt_.stack.size() <= a_.stackBase)
            return Value();
        Value v = std::move(rt_.stack.back());
        rt_.stack.pop_back();
        return v;
    }
    void Push(Value v) {
        // A loop that only pushes would fill the memory before the action limit.
        if (rt_.stack.size() >= MaxStack) {
            rt_.Abort("a script filled the stack");
            return;
        }
        rt_.stack.push_back(std::move(v));
    }
    Value& Top() {
        if (rt_.stack.size() <= a_.stackBase)
            rt_.stack.emplace_back();
        return rt_.stack.back();
    }
    // Argument counts come from the stack; never trust them beyond it.
    size_t PopCount() {
        double n = rt_.ToNumber(Pop());
        if (!(n > 0))
            return 0;
        size_t available = rt_.stack.size() - a_.stackBase;
        return n > static_cast<double>(available) ? available : static_cast<size_t>(n);
    }
    std::vector<Value> PopArgs() {
        size_t n = PopCount();
        std::vector<Value> args;
        args.reserve(n);
        for (size_t i = 0; i < n; ++i)
            args.push_back(Pop());
        return args;
    }

    // ---- reading
    uint16_t U16(size_t at) const { return static_cast<uint16_t>(code_[at] | (code_[at + 1] << 8)); }
    uint32_t U32(size_t at) const {
        return static_cast<uint32_t>(code_[at]) | (static_cast<uint32_t>(code_[at + 1]) << 8) |
               (static_cast<uint32_t>(code_[at + 2]) << 16) | (static_cast<uint32_t>(code_[at + 3]) << 24);
    }
    // A zero-ended string within [at, end); false when it runs off the end.
    bool String(size_t* at, size_t end, std::string* out) const {
        size_t i = *at;
        while (i < end && code_[i] != 0)
            ++i;
        if (i >= end)
            return false;
        out->assign(reinterpret_cast<const char*>(&code_[*at]), i - *at);
        *at = i + 1;
        return true;
    }

    // A DefineFunction2 function has its own registers up to its count; the
    // numbers above reach the four of the block that runs (as in the players).
    Value* Register(unsigned r) {
        if (r < a_.regs.size())
            return &a_.regs[r];
        if (a_.sharesRegisters && rt_.blockRegisters && r < rt_.blockRegisters->size())
            return &(*rt_.blockRegisters)[r];
        return nullptr;
    }

    bool Swf4() const { return a_.version < 5; }
    // Players of version 5 on push booleans also for version 4 movies (which
    // print them as 1 and 0).
    Value BoolResult(bool b) const { return Value(b); }
    bool Unicode() const { return a_.version >= 6; }

    Object* TargetClip() { return rt_.LiveClipObject(a_.target); }
    ClipRef TargetRef() {
        Object* t = TargetClip();
        return t ? t->clip : nullptr;
    }

    // ---- the loop
    Exit RunRange(size_t start, size_t end, size_t* jump);
    bool Step(uint8_t op, size_t data, size_t length, size_t* pc, size_t start, size_t end, Exit* exit,
              size_t* jump);
    bool SkipActions(size_t* pc, size_t end, int count);

    void DoPush(size_t data, size_t length);
    // False when the function's body runs past the range: the block is damaged.
    bool DoDefineFunction(uint8_t op, size_t data, size_t length, size_t* pc, size_t end);
    Exit DoWith(size_t bodyStart, size_t bodyEnd, size_t* pc, size_t* jump);
    Exit DoTry(size_t data, size_t length, size_t* pc, size_t end, size_t* jump);
    void DoCallFunction();
    void DoCallMethod();
    void DoNewMethod();
    void DoGotoFrame2(size_t data, size_t length);
    void DoCall();
    void DoGetUrl(const std::string& url, const std::string& target, int method);
    void DoSetTarget(const Value& target);
    void DoEnumerate(const Value& v);
    void DoCloneSprite();
    void DoStartDrag();
    Value ResolveTargetValue(const Value& target);
    ClipRef ResolveClip(const Value& target);
    bool FrameFromValue(const Value& frame, ClipRef* clip, int* number);
};

Exit Interpreter::RunRange(size_t start, size_t end, size_t* jump) {
    size_t pc = start;
    while (true) {
        if (rt_.Unwinding())
            return Exit::UNWIND;
        if (pc == end)
            return Exit::END;
        if (pc < start || pc > end) {
            *jump = pc;
            return Exit::JUMP;
        }
        if (!rt_.CountAction())
            return Exit::UNWIND;
        uint8_t op = code_[pc];
        size_t data = pc + 1;
        size_t length = 0;
        if (op >= 0x80) {
            if (pc + 3 > end)
                return Exit::END;
            length = U16(pc + 1);
            data = pc + 3;
        }
        if (data + length > end)
            return Exit::END;
        size_t next = data + length;
        Exit exit = Exit::END;
        if (!Step(op, data, length, &next, start, end, &exit, jump))
            return exit;
        pc = next;
    }
}

bool Interpreter::SkipActions(size_t* pc, size_t end, int count) {
    for (int i = 0; i < count && *pc < end; ++i) {
        uint8_t op = code_[*pc];
        if (op >= 0x80) {
            if (*pc + 3 > end)
                return false;
            *pc += 3 + U16(*pc + 1);
        } else {
            *pc += 1;
        }
    }
    return *pc <= end;
}

void Interpreter::DoPush(size_t at, size_t length) {
    size_t end = at + length;
    while (at < end) {
        uint8_t type = code_[at++];
        switch (type) {
        case 0: {
            std::string s;
            if (!String(&at, end, &s))
                return;
            Push(Value(std::move(s)));
            break;
        }
        case 1: {
            if (at + 4 > end)
                return;
            uint32_t bits = U32(at);
            float f;
            std::memcpy(&f, &bits, 4);
            Push(Value(static_cast<double>(f)));
            at += 4;
            break;
        }
        case 2:
            Push(Value::Null());
            break;
        case 3:
            Push(Value());
            break;
        case 4: {
            if (at + 1 > end)
                return;
            uint8_t r = code_[at++];
            Value* reg = Register(r);
            Push(reg ? *reg : Value());
            break;
        }
        case 5:
            if (at + 1 > end)
                return;
            Push(Value(code_[at++] != 0));
            break;
        case 6: {
            if (at + 8 > end)
                return;
            // Two little-endian words, the high one first.
            uint64_t bits = (static_cast<uint64_t>(U32(at)) << 32) | U32(at + 4);
            double d;
            std::memcpy(&d, &bits, 8);
            Push(Value(d));
            at += 8;
            break;
        }
        case 7:
            if (at + 4 > end)
                return;
            Push(Value(static_cast<double>(static_cast<int32_t>(U32(at)))));
            at += 4;
            break;
        case 8:
        case 9: {
            size_t size = type == 8 ? 1 : 2;
            if (at + size > end)
                return;
            unsigned index = type == 8 ? code_[at] : U16(at);
            at += size;
            if (a_.pool && index < a_.pool->size())
                Push(Value((*a_.pool)[index]));
            else
                Push(Value());
            break;
        }
        default:
            return; // an unknown type: the rest cannot be read
        }
    }
}

bool Interpreter::DoDefineFunction(uint8_t op, size_t at, size_t length, size_t* pc, size_t end) {
    size_t recordEnd = at + length;
    auto code = std::make_shared<FunctionCode>();
    code->block = a_.block;
    code->pool = a_.pool;
    code->version = a_.version;
    code->isFunction2 = op == 0x8E;
    if (!String(&at, recordEnd, &code->name) || at + 2 > recordEnd)
        return true;
    unsigned params = U16(at);
    at += 2;
    if (code->isFunction2) {
        if (at + 3 > recordEnd)
            return true;
        code->registerCount = code_[at];
        code->flags = U16(at + 1);
        at += 3;
    }
    for (unsigned i = 0; i < params; ++i) {
        Parameter p;
        if (code->isFunction2) {
            if (at >= recordEnd)
                return true;
            p.reg = code_[at++];
        }
        if (!String(&at, recordEnd, &p.name))
            return true;
        code->params.push_back(p);
    }
    if (at + 2 > recordEnd)
        return true;
    size_t size = U16(at);
    if (size > end - *pc)
        return false;
    code->start = *pc;
    code->size = size;
    *pc += size;
    Object* f = rt_.NewScriptFunction(code, a_);
    if (code->name.empty())
        Push(Value(f));
    else if (a_.locals && code->name.find_first_of(":/.") == std::string::npos)
        rt_.PutOwn(a_.locals, code->name, Value(f));
    else
        rt_.SetVariable(a_, code->name, Value(f));
    return true;
}

Exit Interpreter::DoWith(size_t bodyStart, size_t bodyEnd, size_t* pc, size_t* jump) {
    Value v = Pop();
    Object* o = rt_.ToObject(v);
    int limit = a_.version >= 6 ? MaxWithDepth : 8;
    *pc = bodyEnd;
    if (!o || withDepth_ >= limit)
        return Exit::END;
    a_.scope.push_back(o);
    ++withDepth_;
    size_t target = 0;
    Exit e = RunRange(bodyStart, bodyEnd, &target);
    --withDepth_;
    a_.scope.pop_back();
    if (e == Exit::JUMP)
        *jump = target;
    return e;
}

Exit Interpreter::DoTry(size_t at, size_t length, size_t* pc, size_t end, size_t* jump) {
    size_t recordEnd = at + length;
    if (at + 7 > recordEnd)
        return Exit::END;
    uint8_t flags = code_[at];
    size_t trySize = U16(at + 1), catchSize = U16(at + 3), finallySize = U16(at + 5);
    at += 7;
    bool catchInRegister = (flags & 4) != 0;
    bool hasFinally = (flags & 2) != 0;
    bool hasCatch = (flags & 1) != 0;
    std::string catchName;
    uint8_t catchRegister = 0;
    if (catchInRegister) {
        if (at >= recordEnd)
            return Exit::END;
        catchRegister = code_[at];
    } else if (!String(&at, recordEnd, &catchName)) {
        return Exit::END;
    }
    size_t tryStart = *pc;
    size_t catchStart = tryStart + trySize;
    size_t finallyStart = catchStart + catchSize;
    size_t after = finallyStart + finallySize;
    if (after > end) {
        *pc = end;
        return Exit::RETURN;
    }
    size_t height = rt_.stack.size();

    size_t target = 0;
    Exit e = RunRange(tryStart, catchStart, &target);
    if (e == Exit::UNWIND && rt_.unwind == Unwind::THROW && hasCatch) {
        Value exception = rt_.thrown;
        rt_.unwind = Unwind::NONE;
        rt_.thrown = Value();
        if (rt_.stack.size() > height)
            rt_.stack.resize(height);
        if (catchInRegister) {
            if (Value* reg = Register(catchRegister))
                *reg = exception;
        } else if (a_.locals) {
            rt_.PutOwn(a_.locals, catchName, exception);
        } else {
            rt_.SetVariable(a_, catchName, exception);
        }
        e = RunRange(catchStart, finallyStart, &target);
    }
    if (e == Exit::JUMP && target >= finallyStart && target <= after) {
        // A jump into the finally block (as compilers end a try with) runs
        // it in the flow of the code, once.
        *pc = target;
        return Exit::END;
    }
    if (hasFinally && rt_.unwind != Unwind::ABORT) {
        Unwind pending = rt_.unwind;
        Value pendingThrown = rt_.thrown;
        Value pendingResult = a_.result;
        rt_.unwind = Unwind::NONE;
        rt_.thrown = Value();
        size_t finallyTarget = 0;
        Exit f = RunRange(finallyStart, after, &finallyTarget);
        if (f == Exit::END) {
            if (rt_.unwind == Unwind::NONE) {
                rt_.unwind = pending;
                rt_.thrown = pendingThrown;
            }
            if (e == Exit::RETURN)
                a_.result = pendingResult;
        } else {
            e = f;
            target = finallyTarget;
        }
    }
    *pc = after;
    if (e == Exit::JUMP)
        *jump = target;
    return e;
}

Value Interpreter::ResolveTargetValue(const Value& target) {
    if (target.IsObject())
        return target;
    std::string path = rt_.ToString(target);
    if (path.empty())
        return Value(TargetClip());
    return rt_.ResolvePath(a_, a_.target, path);
}

ClipRef Interpreter::ResolveClip(const Value& target) {
    Value v = ResolveTargetValue(target);
    if (!v.IsObject())
        return nullptr;
    return rt_.LiveClip(v.object);
}

void Interpreter::DoCallFunction() {
    Value nameValue = Pop();
    std::vector<Value> args = PopArgs();
    std::string name = rt_.ToString(nameValue);
    Value fn;
    Value thisv;
    if (name.find_first_of(":/.") != std::string::npos) {
        Value holder;
        std::string var;
        if (rt_.SplitVariablePath(a_, name, &holder, &var)) {
            fn = rt_.Get(holder, var);
            thisv = holder;
        }
    } else {
        fn = rt_.GetVariable(a_, name);
        Object* holder = rt_.FindScopeHolder(a_, name);
        if (holder && holder != rt_.global && holder != a_.locals &&
            (holder->kind == Kind::CLIP || std::find(a_.scope.begin(), a_.scope.end(), holder) != a_.scope.end()))
            thisv = Value(holder);
        if (thisv.IsUndefined() || (holder && holder->kind == Kind::OBJECT && !holder->FindOwn("__proto__", true)))
            thisv = Value(TargetClip());
    }
    if (rt_.Unwinding())
        return;
    Push(rt_.Call(fn, thisv, args));
}

void Interpreter::DoCallMethod() {
    Value nameValue = Pop();
    Value object = Pop();
    std::vector<Value> args = PopArgs();
    std::string name = nameValue.IsUndefined() ? std::string() : rt_.ToString(nameValue);
    if (object.IsObject() && object.object->kind == Kind::SUPER) {
        Object* super = object.object;
        Object* home = super->superHome;
        Value thisv(super->superThis);
        if (name.empty()) {
            Push(rt_.Call(object, thisv, args));
            return;
        }
        Object* from = home ? home->Proto(rt_.caseSensitive) : nullptr;
        Object* holder = nullptr;
        Value method = from ? rt_.GetFrom(from, name, thisv) : Value();
        if (from)
            rt_.Lookup(from, name, &holder);
        Push(rt_.Call(method, thisv, args, holder));
        return;
    }
    if (name.empty()) {
        Push(rt_.Call(object, Value(), args));
        return;
    }
    if (object.IsNullish()) {
        Push(Value());
        return;
    }
    Push(rt_.CallMethod(object, name, args));
}

void Interpreter::DoNewMethod() {
    Value nameValue = Pop();
    Value object = Pop();
    std::vector<Value> args = PopArgs();
    std::string name = nameValue.IsUndefined() ? std::string() : rt_.ToString(nameValue);
    Value ctor = name.empty() ? object : rt_.Get(object, name);
    if (rt_.Unwinding())
        return;
    Push(rt_.Construct(ctor, args));
}

bool Interpreter::FrameFromValue(const Value& frame, ClipRef* clip, int* number) {
    *clip = TargetRef();
    if (frame.IsNumber())
        return *clip != nullptr && Runtime::FrameNumber(frame.number, number);
    std::string text = rt_.ToString(frame);
    size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        Value target = rt_.ResolvePath(a_, a_.target, text.substr(0, colon));
        *clip = target.IsObject() ? rt_.LiveClip(target.object) : nullptr;
        text = text.substr(colon + 1);
    }
    if (!*clip)
        return false;
    double n = StringToNumber(text, a_.version);
    if (!std::isnan(n))
        return Runtime::FrameNumber(n, number);
    *number = rt_.host->FrameOfLabel(*clip, text);
    return *number > 0;
}

void Interpreter::DoGotoFrame2(size_t at, size_t length) {
    if (length < 1)
        return;
    uint8_t flags = code_[at];
    int bias = 0;
    if ((flags & 2) && length >= 3)
        bias = U16(at + 1);
    Value frame = Pop();
    ClipRef clip = nullptr;
    int number = 0;
    if (!FrameFromValue(frame, &clip, &number))
        return;
    rt_.host->GotoFrame(clip, number + bias, (flags & 1) != 0);
}

void Interpreter::DoCall() {
    Value frame = Pop();
    ClipRef clip = nullptr;
    int number = 0;
    if (!FrameFromValue(frame, &clip, &number))
        return;
    std::vector<ActionCode> blocks;
    rt_.host->FrameActions(clip, number, &blocks);
    Object* target = rt_.ClipObject(clip);
    // A called frame counts as a nested call: frames that call themselves stop.
    if (rt_.callDepth >= mvAvm::MaxCallDepth) {
        rt_.Abort("256 levels of recursion were exceeded in one action list");
        return;
    }
    ++rt_.callDepth;
    for (const ActionCode& code : blocks) {
        if (!code.code || rt_.Unwinding())
            continue;
        Activation a;
        a.block = std::make_shared<const std::vector<uint8_t>>(code.code, code.code + code.size);
        a.start = 0;
        a.end = code.size;
        a.target = a.baseClip = target;
        a.thisv = Value(target);
        a.version = rt_.version;
        a.regs.resize(4);
        // A called frame works on the caller's stack: what it pushes stays.
        a.stackBase = a_.stackBase;
        rt_.Execute(a);
    }
    --rt_.callDepth;
}

void Interpreter::DoGetUrl(const std::string& url, const std::string& target, int method) {
    if (url.size() >= 10 && EqualNames(url.substr(0, 10), "FSCommand:", false)) {
        rt_.host->FsCommand(url.substr(10), target);
        return;
    }
    rt_.host->GetUrl(url, target, method);
}

void Interpreter::DoSetTarget(const Value& target) {
    // Undefined and "" go back to the block's own timeline; a target that
    // names no clip sends the actions to the movie's root.
    if (target.IsObject() && target.object->kind == Kind::CLIP) {
        a_.target = target.object;
        return;
    }
    std::string path = target.IsUndefined() ? std::string() : rt_.ToString(target);
    if (path.empty()) {
        a_.target = a_.baseClip;
        return;
    }
    Value v = rt_.ResolvePath(a_, a_.baseClip, path);
    if (v.IsObject() && v.object->kind == Kind::CLIP) {
        a_.target = v.object;
        return;
    }
    ClipRef base = rt_.LiveClip(a_.baseClip);
    a_.target = rt_.ClipObject(base ? rt_.RootOf(base) : rt_.host->Level(0));
}

void Interpreter::DoEnumerate(const Value& v) {
    std::vector<std::string> names;
    if (!v.IsObject()) {
        Push(Value()); // nothing to list: just the end mark
        return;
    }
    rt_.Enumerate(v.object, &names);
    Push(Value()); // the end mark; the players push undefined, loops test "== null
    for (size_t i = names.size(); i-- > 0;)
        Push(Value(names[i]));
}

void Interpreter::DoCloneSprite() {
    double depth = rt_.ToNumber(Pop());
    std::string name = rt_.ToString(Pop());
    ClipRef source = ResolveClip(Pop());
    if (!source || std::isnan(depth))
        return;
    rt_.host->DuplicateClip(source, name, static_cast<int>(depth) - 16384);
}

void Interpreter::DoStartDrag() {
    ClipRef clip = ResolveClip(Pop());
    bool lockCenter = rt_.ToBoolean(Pop());
    bool constrain = rt_.ToBoolean(Pop());
    Bounds limits;
    if (constrain) {
        limits.yMax = rt_.ToNumber(Pop());
        limits.xMax = rt_.ToNumber(Pop());
        limits.yMin = rt_.ToNumber(Pop());
        limits.xMin = rt_.ToNumber(Pop());
    }
    if (clip)
        rt_.host->StartDrag(clip, lockCenter, constrain ? &limits : nullptr);
}

bool Interpreter::Step(uint8_t op, size_t data, size_t length, size_t* pc, size_t start, size_t end, Exit* exit,
                       size_t* jump) {
    (void)start;
    Runtime& rt = rt_;
    switch (op) {
    case 0x00: // end of actions
        *exit = Exit::RETURN;
        return false;

    // ---- version 3
    case 0x04: // NextFrame
    case 0x05: // PreviousFrame
    {
        ClipRef clip = TargetRef();
        if (clip) {
            int frame = static_cast<int>(rt.host->GetProperty(clip, PROP_CURRENTFRAME));
            rt.host->GotoFrame(clip, op == 0x04 ? frame + 1 : frame - 1, false);
        }
        break;
    }
    case 0x06: // Play
    case 0x07: // Stop
    {
        ClipRef clip = TargetRef();
        if (clip)
            rt.host->SetPlaying(clip, op == 0x06);
        break;
    }
    case 0x08:
        rt.host->ToggleQuality();
        break;
    case 0x09:
        rt.host->StopSounds();
        break;
    case 0x81: // GotoFrame
    {
        ClipRef clip = TargetRef();
        if (clip && length >= 2)
            rt.host->GotoFrame(clip, U16(data) + 1, false);
        break;
    }
    case 0x83: // GetURL
    {
        size_t at = data;
        std::string url, target;
        if (String(&at, data + length, &url) && String(&at, data + length, &target))
            DoGetUrl(url, target, 0);
        break;
    }
    case 0x8A: // WaitForFrame
    {
        ClipRef clip = TargetRef();
        if (length >= 3 && clip) {
            int frame = U16(data) + 1;
            if (rt.host->GetProperty(clip, PROP_FRAMESLOADED) < frame && !SkipActions(pc, end, code_[data + 2]))
                return false;
        }
        break;
    }
    case 0x8B: // SetTarget
    {
        size_t at = data;
        std::string name;
        if (String(&at, data + length, &name))
            DoSetTarget(Value(name));
        break;
    }
    case 0x8C: // GoToLabel
    {
        size_t at = data;
        std::string label;
        ClipRef clip = TargetRef();
        if (clip && String(&at, data + length, &label)) {
            int frame = rt.host->FrameOfLabel(clip, label);
            if (frame > 0)
                rt.host->GotoFrame(clip, frame, false);
        }
        break;
    }

    // ---- version 4: stack and arithmetic
    case 0x96:
        DoPush(data, length);
        break;
    case 0x17:
        Pop();
        break;
    case 0x0A: // Add
    case 0x0B: // Subtract
    case 0x0C: // Multiply
    case 0x0D: // Divide
    {
        // The left operand (pushed first) is converted first.
        Value right = Pop();
        double b = rt.ToNumber(Pop());
        double a = rt.ToNumber(right);
        if (op == 0x0A)
            Push(Value(b + a));
        else if (op == 0x0B)
            Push(Value(b - a));
        else if (op == 0x0C)
            Push(Value(b * a));
        else if (a == 0 && Swf4())
            Push(Value("#ERROR#"));
        else
            Push(Value(b / a));
        break;
    }
    case 0x0E: // Equals: the right operand is converted first
    {
        double a = rt.ToNumber(Pop());
        double b = rt.ToNumber(Pop());
        Push(BoolResult(a == b));
        break;
    }
    case 0x0F: // Less
    {
        Value right = Pop();
        double b = rt.ToNumber(Pop());
        double a = rt.ToNumber(right);
        Push(BoolResult(b < a));
        break;
    }
    case 0x10: // And
    case 0x11: // Or
    {
        bool a = rt.ToBoolean(Pop());
        bool b = rt.ToBoolean(Pop());
        Push(BoolResult(op == 0x10 ? (a && b) : (a || b)));
        break;
    }
    case 0x12: // Not
        Push(BoolResult(!rt.ToBoolean(Pop())));
        break;
    case 0x13: // StringEquals
    {
        std::string a = rt.ToString(Pop());
        std::string b = rt.ToString(Pop());
        Push(BoolResult(a == b));
        break;
    }
    case 0x14: // StringLength
    case 0x31: // MBStringLength
        Push(Value(static_cast<double>(UnitLength(rt.ToString(Pop()), Unicode()))));
        break;
    case 0x15: // StringExtract
    case 0x35: // MBStringExtract
    {
        double count = rt.ToNumber(Pop());
        double index = rt.ToNumber(Pop());
        std::u16string s = ToUnits(rt.ToString(Pop()), Unicode());
        if (std::isnan(count) || std::isnan(index)) {
            Push(Value(""));
            break;
        }
        // Index (from 1) and count wrap as 32-bit integers; a negative count takes the rest.
        long long from = static_cast<long long>(DoubleToInt32(index)) - 1;
        if (from < 0)
            from = 0;
        long long n = DoubleToInt32(count);
        if (n < 0)
            n = static_cast<long long>(s.size());
        if (from >= static_cast<long long>(s.size()) || n <= 0) {
            Push(Value(""));
            break;
        }
        Push(Value(FromUnits(s.substr(static_cast<size_t>(from), static_cast<size_t>(n)), Unicode())));
        break;
    }
    case 0x29: // StringLess
    case 0x68: // StringGreater
    {
        std::string a = rt.ToString(Pop());
        std::string b = rt.ToString(Pop());
        Push(BoolResult(op == 0x29 ? b < a : b > a));
        break;
    }
    case 0x21: // StringAdd
    {
        std::string a = rt.ToString(Pop());
        std::string b = rt.ToString(Pop());
        if (rt.TextFits(a.size() + b.size()))
            Push(Value(b + a));
        break;
    }
    case 0x18: // ToInteger
        Push(Value(DoubleToInteger(rt.ToNumber(Pop()))));
        break;
    case 0x32: // CharToAscii
    case 0x36: // MBCharToAscii
    {
        std::u16string s = ToUnits(rt.ToString(Pop()), Unicode());
        // A character beyond 16 bits reads as the replacement character.
        unsigned code = s.empty() ? 0 : s[0];
        if (code >= 0xD800 && code < 0xE000 && Unicode())
            code = 0xFFFD;
        Push(Value(static_cast<double>(code)));
        break;
    }
    case 0x33: // AsciiToChar
    case 0x37: // MBAsciiToChar
    {
        double n = rt.ToNumber(Pop());
        unsigned code = static_cast<unsigned>(DoubleToUint32(n)) & 0xFFFF;
        std::u16string units;
        if (code)
            units += static_cast<char16_t>(code);
        Push(Value(FromUnits(units, Unicode())));
        break;
    }
    case 0x1C: // GetVariable
    {
        std::string name = rt.ToString(Pop());
        Push(rt.GetVariable(a_, name));
        break;
    }
    case 0x1D: // SetVariable
    {
        Value v = Pop();
        std::string name = rt.ToString(Pop());
        rt.SetVariable(a_, name, v);
        break;
    }
    case 0x20: // SetTarget2
        DoSetTarget(Pop());
        break;
    case 0x22: // GetProperty
    {
        double index = DoubleToInteger(rt.ToNumber(Pop()));
        ClipRef clip = ResolveClip(Pop());
        if (!clip || index < 0 || index >= PROP_COUNT) {
            Push(Value());
            break;
        }
        Push(rt.GetDisplayProperty(clip, static_cast<int>(index)));
        break;
    }
    case 0x23: // SetProperty
    {
        Value v = Pop();
        double index = DoubleToInteger(rt.ToNumber(Pop()));
        ClipRef clip = ResolveClip(Pop());
        if (clip && index >= 0 && index < PROP_COUNT)
            rt.SetDisplayProperty(clip, static_cast<int>(index), v);
        break;
    }
    case 0x24:
        DoCloneSprite();
        break;
    case 0x25: // RemoveSprite
    {
        ClipRef clip = ResolveClip(Pop());
        if (clip)
            rt.host->RemoveClip(clip);
        break;
    }
    case 0x26: // Trace
    {
        Value v = Pop();
        std::string text = v.IsUndefined() ? "undefined" : rt.ToString(v);
        if (!rt.Unwinding())
            rt.Trace(text);
        break;
    }
    case 0x27:
        DoStartDrag();
        break;
    case 0x28:
        rt.host->StopDrag();
        break;
    case 0x30: // RandomNumber
    {
        double max = rt.ToNumber(Pop());
        uint32_t seed = rt.RandomBits();
        int limit = std::isnan(max) || max < 1 ? 0 : static_cast<int>(std::min(max, 2147483647.0));
        Push(Value(limit ? static_cast<double>(seed % static_cast<uint32_t>(limit)) : 0.0));
        break;
    }
    case 0x34: // GetTime
        Push(Value(std::floor(rt.host->TimerMs())));
        break;
    case 0x99: // Jump
        if (length >= 2) {
            *pc = *pc + static_cast<int16_t>(U16(data));
        }
        break;
    case 0x9D: // If
    {
        Value cond = Pop();
        bool taken = Swf4() ? rt.ToNumber(cond) != 0 : rt.ToBoolean(cond);
        if (length >= 2 && taken)
            *pc = *pc + static_cast<int16_t>(U16(data));
        break;
    }
    case 0x9E:
        DoCall();
        break;
    case 0x9A: // GetURL2
    {
        uint8_t flags = length >= 1 ? code_[data] : 0;
        std::string target = rt.ToString(Pop());
        std::string url = rt.ToString(Pop());
        DoGetUrl(url, target, flags >> 6);
        break;
    }
    case 0x9F:
        DoGotoFrame2(data, length);
        break;
    case 0x8D: // WaitForFrame2
    {
        Value frame = Pop();
        ClipRef clip = nullptr;
        int number = 0;
        if (length >= 1 && FrameFromValue(frame, &clip, &number) &&
            rt.host->GetProperty(clip, PROP_FRAMESLOADED) < number && !SkipActions(pc, end, code_[data]))
            return false;
        break;
    }

    // ---- version 5
    case 0x3D:
        DoCallFunction();
        break;
    case 0x52:
        DoCallMethod();
        break;
    case 0x53:
        DoNewMethod();
        break;
    case 0x40: // NewObject
    {
        std::string name = rt.ToString(Pop());
        std::vector<Value> args = PopArgs();
        Value ctor = rt.GetVariable(a_, name);
        if (!rt.Unwinding())
            Push(rt.Construct(ctor, args));
        break;
    }
    case 0x88: // ConstantPool
    {
        if (length < 2)
            break;
        auto pool = std::make_shared<std::vector<std::string>>();
        unsigned count = U16(data);
        size_t at = data + 2;
        for (unsigned i = 0; i < count; ++i) {
            std::string s;
            if (!String(&at, data + length, &s))
                break;
            pool->push_back(std::move(s));
        }
        a_.pool = pool;
        break;
    }
    case 0x9B: // DefineFunction
    case 0x8E: // DefineFunction2
        if (!DoDefineFunction(op, data, length, pc, end))
            return false;
        break;
    case 0x3C: // DefineLocal
    {
        Value v = Pop();
        std::string name = rt.ToString(Pop());
        // Outside functions: a With object that has the name itself (not
        // by its prototype) takes it, else the timeline.
        if (a_.locals) {
            rt.PutOwn(a_.locals, name, v);
        } else if (name.find_first_of(":/.") != std::string::npos) {
            rt.SetVariable(a_, name, v);
        } else {
            Object* holder = TargetClip();
            for (size_t i = a_.scope.size(); i-- > 0;) {
                if (rt.HasOwnProperty(a_.scope[i], name)) {
                    holder = a_.scope[i];
                    break;
                }
            }
            if (holder)
                rt.Set(Value(holder), name, v);
        }
        break;
    }
    case 0x41: // DefineLocal2
    {
        std::string name = rt.ToString(Pop());
        if (a_.locals) {
            if (!a_.locals->FindOwn(name, rt.caseSensitive))
                rt.PutOwn(a_.locals, name, Value());
        } else {
            Object* t = TargetClip();
            if (t && !rt.HasProperty(t, name))
                rt.Set(Value(t), name, Value());
        }
        break;
    }
    case 0x3A: // Delete
    {
        std::string name = rt.ToString(Pop());
        Value o = Pop();
        Push(Value(o.IsObject() && rt.Delete(o.object, name)));
        break;
    }
    case 0x3B: // Delete2
    {
        std::string name = rt.ToString(Pop());
        Object* holder = rt.FindScopeHolder(a_, name);
        Push(Value(holder != nullptr && rt.Delete(holder, name)));
        break;
    }
    case 0x46: // Enumerate
    {
        std::string name = rt.ToString(Pop());
        DoEnumerate(rt.GetVariable(a_, name));
        break;
    }
    case 0x55: // Enumerate2
        DoEnumerate(Pop());
        break;
    case 0x49: // Equals2
    {
        Value a = Pop();
        Value b = Pop();
        Push(Value(rt.LooseEquals(b, a)));
        break;
    }
    case 0x66: // StrictEquals
    {
        Value a = Pop();
        Value b = Pop();
        Push(Value(rt.StrictEquals(b, a)));
        break;
    }
    case 0x4E: // GetMember
    {
        Value name = Pop();
        Value o = Pop();
        Push(rt.Get(o, rt.ToString(name)));
        break;
    }
    case 0x4F: // SetMember
    {
        Value v = Pop();
        std::string name = rt.ToString(Pop());
        Value o = Pop();
        rt.Set(o, name, v);
        break;
    }
    case 0x42: // InitArray
    {
        // A count beyond the stack makes nothing and takes nothing.
        double count = rt.ToNumber(Pop());
        if (count > static_cast<double>(rt.stack.size() - a_.stackBase)) {
            Push(Value());
            break;
        }
        Push(count);
        std::vector<Value> items = PopArgs();
        Push(Value(rt.NewArray(items)));
        break;
    }
    case 0x43: // InitObject
    {
        double count = rt.ToNumber(Pop());
        if (count * 2 > static_cast<double>(rt.stack.size() - a_.stackBase)) {
            Push(Value());
            break;
        }
        Push(count);
        size_t n = PopCount();
        Object* o = rt.NewObject(rt.objectProto);
        for (size_t i = 0; i < n; ++i) {
            Value v = Pop();
            std::string name = rt.ToString(Pop());
            rt.Set(Value(o), name, v);
        }
        Push(Value(o));
        break;
    }
    case 0x44: // TypeOf
        Push(Value(rt.TypeOf(Pop())));
        break;
    case 0x45: // TargetPath
    {
        Value v = Pop();
        ClipRef clip = v.IsObject() ? rt.LiveClip(v.object) : nullptr;
        Push(clip ? Value(rt.TargetPath(clip, false)) : Value());
        break;
    }
    case 0x94: // With
    {
        if (length < 2)
            break;
        size_t bodyStart = *pc;
        size_t bodyEnd = bodyStart + U16(data);
        if (bodyEnd > end)
            return false;
        Exit e = DoWith(bodyStart, bodyEnd, pc, jump);
        if (e == Exit::JUMP) {
            *pc = *jump;
        } else if (e != Exit::END) {
            *exit = e;
            return false;
        }
        break;
    }
    case 0x8F: // Try
    {
        Exit e = DoTry(data, length, pc, end, jump);
        if (e == Exit::JUMP) {
            *pc = *jump;
        } else if (e != Exit::END) {
            *exit = e;
            return false;
        }
        break;
    }
    case 0x2A: // Throw
        rt.Throw(Pop());
        *exit = Exit::UNWIND;
        return false;
    case 0x4A: // ToNumber
        Push(Value(rt.ToNumber(Pop())));
        break;
    case 0x4B: // ToString
        Push(Value(rt.ToString(Pop())));
        break;
    case 0x47: // Add2
    {
        // Objects that stay objects are read again: as text or as number.
        Value a = rt.ToPrimitive(Pop());
        Value b = rt.ToPrimitive(Pop());
        if (a.IsString() || b.IsString()) {
            std::string left = rt.ToString(b), right = rt.ToString(a);
            if (rt.TextFits(left.size() + right.size()))
                Push(Value(left + right));
        } else {
            Push(Value(rt.ToNumber(b) + rt.ToNumber(a)));
        }
        break;
    }
    case 0x48: // Less2
    case 0x67: // Greater
    {
        Value right = Pop();
        Value left = Pop();
        Push(rt.Compare(left, right, op == 0x67));
        break;
    }
    case 0x3F: // Modulo
    {
        double a = rt.ToNumber(Pop());
        double b = rt.ToNumber(Pop());
        Push(Value(std::fmod(b, a)));
        break;
    }
    case 0x60: // BitAnd
    case 0x61: // BitOr
    case 0x62: // BitXor
    {
        int32_t a = rt.ToInt32(Pop());
        int32_t b = rt.ToInt32(Pop());
        int32_t r = op == 0x60 ? (a & b) : op == 0x61 ? (a | b) : (a ^ b);
        Push(Value(static_cast<double>(r)));
        break;
    }
    case 0x63: // BitLShift
    case 0x64: // BitRShift
    case 0x65: // BitURShift
    {
        uint32_t count = static_cast<uint32_t>(rt.ToInt32(Pop())) & 31;
        int32_t value = rt.ToInt32(Pop());
        if (op == 0x63)
            Push(Value(static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value) << count))));
        else if (op == 0x64)
            Push(Value(static_cast<double>(value >> count)));
        else if (rt.version <= 8) // older players gave the result as signed
            Push(Value(static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value) >> count))));
        else
            Push(Value(static_cast<double>(static_cast<uint32_t>(value) >> count)));
        break;
    }
    case 0x50: // Increment
        Push(Value(rt.ToNumber(Pop()) + 1));
        break;
    case 0x51: // Decrement
        Push(Value(rt.ToNumber(Pop()) - 1));
        break;
    case 0x4C: // PushDuplicate
    {
        Value v = Top();
        Push(v);
        break;
    }
    case 0x4D: // StackSwap
    {
        Value a = Pop();
        Value b = Pop();
        Push(a);
        Push(b);
        break;
    }
    case 0x3E: // Return
        a_.result = Pop();
        *exit = Exit::RETURN;
        return false;
    case 0x87: // StoreRegister
        if (length >= 1) {
            if (Value* reg = Register(code_[data]))
                *reg = Top();
        }
        break;

    // ---- versions 6 and 7
    case 0x54: // InstanceOf
    {
        Value ctor = Pop();
        Value o = Pop();
        Push(Value(ctor.IsObject() && rt.InstanceOf(o, ctor.object)));
        break;
    }
    case 0x69: // Extends
    {
        Value superclass = Pop();
        Value subclass = Pop();
        if (!superclass.IsObject() || !subclass.IsObject())
            break;
        Value superProto = rt.Get(superclass, "prototype");
        Object* proto = rt.NewObject(superProto.IsObject() ? superProto.object : nullptr);
        rt.SetOwn(proto, "__constructor__", superclass, PROP_DONT_ENUM);
        rt.Set(subclass, "prototype", Value(proto));
        break;
    }
    case 0x2B: // CastOp
    {
        Value o = Pop();
        Value ctor = Pop();
        Push(ctor.IsObject() && rt.InstanceOf(o, ctor.object) ? o : Value::Null());
        break;
    }
    case 0x2C: // ImplementsOp
    {
        Value ctor = Pop();
        std::vector<Value> interfaces = PopArgs();
        Value proto = rt.Get(ctor, "prototype");
        if (!proto.IsObject())
            break;
        proto.object->interfaces.clear();
        for (const Value& v : interfaces)
            if (v.IsObject())
                proto.object->interfaces.push_back(v.object);
        break;
    }
    case 0x89: // StrictMode: a hint only
        break;
    default:
        // Unknown actions are skipped by their length, as the players do.
        break;
    }
    return true;
}

} // namespace

void Runtime::Execute(Activation& a) {
    if (!a.block)
        return;
    Interpreter interpreter(*this, a);
    interpreter.Run();
}

} // namespace avm1
