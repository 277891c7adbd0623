// The engine's inside: the heap of script objects, the built-in objects, the
// conversions and comparisons that may call script, property access with
// prototypes, getters, watches and clips, calls, variables and target paths.
// mvAvm (mvavm.h) is its face towards the player; interp.cpp runs the
// actions; the lib_*.cpp files fill in the built-in objects.
//
// Every Object is made by NewObject/NewKind and owned by the Runtime, which
// frees the unreachable ones in Collect and all of them on destruction.
// Collect runs only between entries (no action block running), so native
// code may hold plain Object pointers while it runs.
//
// Errors a script makes (a throw) and runaway limits travel as the unwind
// state: a call that returns with Unwinding() true has abandoned its work,
// and its caller stops and returns too, until a Try catches the throw or the
// entry ends.
#pragma once

#include "player/avm1/host.h"
#include "player/avm1/object.h"
#include "player/avm1/value.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace avm1 {

using Block = std::shared_ptr<const std::vector<uint8_t>>;
using Pool = std::shared_ptr<const std::vector<std::string>>;

struct Activation;

struct CallContext {
    Value thisv;
    std::vector<Value> args;
    Object* callee = nullptr;
    bool construct = false;

    const Value& Arg(size_t i) const;
    size_t Count() const { return args.size(); }
    Object* ThisObject() const { return thisv.IsObject() ? thisv.object : nullptr; }
};

// One running action block: a frame's actions, an event handler or a call
// of a defined function.
struct Activation {
    Block block;
    size_t start = 0, end = 0;
    Pool pool;
    // Scopes searched before the timeline, innermost last: the activation
    // objects of enclosing functions and the objects of With blocks.
    std::vector<Object*> scope;
    Object* target = nullptr;   // the timeline actions apply to (SetTarget changes it)
    Object* baseClip = nullptr; // the timeline the code belongs to
    Value thisv;
    Object* callee = nullptr;
    Object* arguments = nullptr;
    Object* super = nullptr;
    Object* locals = nullptr; // the activation object of a function call
    std::vector<Value> regs;
    int version = 0;
    size_t stackBase = 0;
    Value result;
    bool isFunction = false;
    // False when DefineFunction2 suppressed or preloaded "this": the name
    // then means the timeline.
    bool thisIsVariable = true;
    // DefineFunction2: registers past its own reach the block's.
    bool sharesRegisters = false;
};

enum class Unwind { NONE, THROW, ABORT };

// A setInterval or setTimeout.
struct Interval {
    int id = 0;
    Value function; // a function, or the object whose method is called
    std::string method;
    std::vector<Value> args;
    double periodMs = 0;
    double dueMs = 0;
    bool once = false;
};

// A queued action block, or (with method set) a queued call of a clip's method.
struct QueuedBlock {
    ClipRef clip = nullptr;
    Block block;
    std::string method;
};

class Runtime {
public:
    Runtime(Host* host, int version);
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // Builds the global object and the built-ins (lib_*.cpp).
    void Setup();

    Host* host;
    int version;
    bool caseSensitive;

    // ---- heap
    Object* NewObject(Object* proto);
    Object* NewKind(Kind kind, Object* proto);
    Object* NewArray();
    Object* NewArray(const std::vector<Value>& items);
    // A native function with Function.prototype and no "prototype" of its own.
    Object* NewNative(NativeFunction fn, int tag = 0);
    // A constructor: a native with a "prototype" whose "constructor" is it.
    Object* NewClass(NativeFunction fn, Object* prototype, int tag = 0);
    Object* NewScriptFunction(const std::shared_ptr<FunctionCode>& code, Activation& definer);
    void Collect();
    size_t ObjectCount() const { return objects_.size(); }

    // ---- built-in objects, kept alive whatever scripts do to the globals
    Object* global = nullptr;
    Object* objectProto = nullptr;
    Object* functionProto = nullptr;
    Object* arrayProto = nullptr;
    Object* stringProto = nullptr;
    Object* numberProto = nullptr;
    Object* booleanProto = nullptr;
    Object* dateProto = nullptr;
    Object* errorProto = nullptr;
    Object* clipProto = nullptr;
    Object* buttonProto = nullptr;
    Object* textFieldProto = nullptr;
    Object* objectCtor = nullptr;
    Object* functionCtor = nullptr;
    Object* arrayCtor = nullptr;
    Object* keyObject = nullptr;
    Object* mouseObject = nullptr;
    void Pin(Object* o) { pinned_.push_back(o); }

    // ---- defining built-ins
    void SetOwn(Object* o, const std::string& name, const Value& v, uint16_t flags = 0);
    Object* DefineMethod(Object* o, const char* name, NativeFunction fn, int tag = 0,
                         uint16_t flags = PROP_DONT_ENUM);
    // A property read (and written) through natives, as addProperty makes.
    void DefineAccessor(Object* o, const char* name, NativeFunction getter, NativeFunction setter, int tag = 0,
                        uint16_t flags = PROP_DONT_ENUM);

    // ---- property access
    Value Get(const Value& base, const std::string& name);
    // Looks name up on o and its prototypes; getters see thisv.
    Value GetFrom(Object* o, const std::string& name, const Value& thisv, bool* found = nullptr);
    void Set(const Value& base, const std::string& name, const Value& v);
    // Stores into o itself (no setter, no prototype); keeps existing flags.
    void PutOwn(Object* o, const std::string& name, const Value& v);
    bool HasProperty(Object* o, const std::string& name);
    // The object whose own properties o means: for a clip, the live one (or null).
    Object* Own(Object* o);
    bool HasOwnProperty(Object* o, const std::string& name);
    bool Delete(Object* o, const std::string& name);
    // Enumerable names of o and its prototypes, newest first, each once.
    void Enumerate(Object* o, std::vector<std::string>* names);
    // The property found on o or its prototypes, and the object holding it.
    Property* Lookup(Object* o, const std::string& name, Object** holder = nullptr);
    bool Visible(const Property& p) const;

    Value GetIndex(Object* o, uint32_t i) { return Get(Value(o), IndexName(i)); }
    void SetIndex(Object* o, uint32_t i, const Value& v) { Set(Value(o), IndexName(i), v); }
    uint32_t LengthOf(Object* o);
    void SetArrayLength(Object* o, uint32_t length);

    // ---- conversions
    double ToNumber(const Value& v);
    std::string ToString(const Value& v);
    bool ToBoolean(const Value& v);
    // Objects to a primitive as the operators do: what valueOf gives (the
    // object itself when that is an object, undefined without a valueOf);
    // toString first for Dates and with stringHint.
    Value ToPrimitive(const Value& v, bool stringHint = false);
    // Wraps primitives; null for undefined and null.
    Object* ToObject(const Value& v);
    std::string TypeOf(const Value& v);
    int32_t ToInt32(const Value& v) { return DoubleToInt32(ToNumber(v)); }
    double ToInteger(const Value& v) { return DoubleToInteger(ToNumber(v)); }
    bool LooseEquals(const Value& a, const Value& b);
    bool StrictEquals(const Value& a, const Value& b);
    // left < right (left > right when greater): true, false, or undefined
    // when either side is NaN. The left side is converted first.
    Value Compare(const Value& left, const Value& right, bool greater);
    bool InstanceOf(const Value& v, Object* ctor);
    // The string with "%XX" escapes, as escape() gives.
    static std::string Escape(const std::string& s);
    static std::string Unescape(const std::string& s);

    // ---- calls
    Value Call(const Value& fn, const Value& thisv, const std::vector<Value>& args, Object* home = nullptr);
    Value CallMethod(const Value& base, const std::string& name, const std::vector<Value>& args);
    Value Construct(const Value& ctor, const std::vector<Value>& args);
    bool Unwinding() const { return unwind != Unwind::NONE; }
    void Throw(const Value& v);
    void Abort(const std::string& reason);
    // Counts one action; false (and the entry abandoned) past the limit.
    bool CountAction();
    // False (and the entry abandoned) when a string would pass MaxTextBytes:
    // a script that doubles a string in a loop must not exhaust memory.
    bool TextFits(size_t bytes);
    static const size_t MaxTextBytes = 16u << 20;

    Unwind unwind = Unwind::NONE;
    Value thrown;
    unsigned actionCount = 0;
    unsigned actionLimit = 0; // set by the constructor
    int callDepth = 0;
    int getterDepth = 0;
    std::vector<Value> stack;
    // The defined functions running now, innermost last (arguments.caller).
    std::vector<Object*> callers;
    // The four registers of the action block running now.
    std::vector<Value>* blockRegisters = nullptr;

    // ---- clips
    Object* ClipObject(ClipRef clip);
    // The live clip a clip object stands for, found again by path once the
    // original has gone; null when there is none.
    ClipRef LiveClip(Object* o);
    Object* LiveClipObject(Object* o);
    std::string TargetPath(ClipRef clip, bool slash);
    ClipRef RootOf(ClipRef clip);
    // A frame number as scripts give it: wraps as a 32-bit integer, and one
    // before the first frame (after the wrap) means no frame at all.
    static bool FrameNumber(double n, int* frame);
    // A clip's display property by name ("_x"), -1 when name is none.
    int DisplayProperty(const std::string& name) const;
    Value GetDisplayProperty(ClipRef clip, int property);
    void SetDisplayProperty(ClipRef clip, int property, const Value& v);
    void ClipCreated(ClipRef clip, const std::string& exportName);
    void ClipRemoved(ClipRef clip);
    std::map<std::string, Object*> registeredClasses;
    // attachMovie's init object, copied onto the clip before its constructor.
    Object* pendingInit = nullptr;

    // ---- paths and variables
    // A target path ("/a/b", "_root.a", "../b", "this") from the timeline
    // clip: the clip or object it names, undefined when none.
    Value ResolvePath(Activation& a, Object* from, const std::string& path);
    Value PathStep(const Value& from, const std::string& name);
    Value GetVariable(Activation& a, const std::string& name);
    void SetVariable(Activation& a, const std::string& name, const Value& v);
    // Splits "path:name" or "a.b.name" into the object holding the variable
    // and the name; false when the path names nothing.
    bool SplitVariablePath(Activation& a, const std::string& full, Value* holder, std::string* name);
    Object* FindScopeHolder(Activation& a, const std::string& name);
    // The objects a name is looked up in, innermost first: With and function
    // scopes, the timeline, _global.
    std::vector<Object*> ScopeChain(Activation& a);
    Object* TargetOf(Activation& a);

    // ---- running code
    // One entry: runs a block with clip as timeline; resets the limits first.
    void RunBlock(ClipRef clip, const Block& block);
    void Execute(Activation& a); // interp.cpp
    void EnterEntry();
    void LeaveEntry();
    std::deque<QueuedBlock> queue;
    int entryDepth = 0;

    // ---- timers and input
    std::vector<Interval> intervals;
    int nextIntervalId = 1;
    int lastKeyCode = 0;
    int lastKeyAscii = 0;
    void Tick();

    // Trace text with "\r" turned into "\n".
    void Trace(const std::string& text);

    // The generator behind random() and Math.random (xorshift).
    uint32_t RandomBits();
    double Random() { return RandomBits() / 4294967296.0; }
    uint32_t randomState = 0x2545F491u;

private:
    bool Equals(const Value& a, const Value& b);
    Value ConversionMethod(Object* o, const char* name, const Value& thisv);
    void Mark(Object* o, std::vector<Object*>& work);
    void MarkValue(const Value& v, std::vector<Object*>& work);
    std::vector<Object*> objects_;
    std::vector<Object*> pinned_;
    std::unordered_map<ClipRef, Object*> clipObjects_;
};

// Builds the built-ins, one unit each (lib_*.cpp).
void SetupObject(Runtime& rt);
void SetupFunction(Runtime& rt);
void SetupArray(Runtime& rt);
void SetupString(Runtime& rt);
void SetupNumber(Runtime& rt);
void SetupMath(Runtime& rt);
void SetupDate(Runtime& rt);
void SetupGlobals(Runtime& rt);
void SetupClip(Runtime& rt);
void SetupStage(Runtime& rt);
void SetupBroadcaster(Runtime& rt);
// Makes o a broadcaster, as AsBroadcaster.initialize does.
void InitializeBroadcaster(Runtime& rt, Object* o);

} // namespace avm1
