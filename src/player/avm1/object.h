// Script objects: a table of named properties in the order they were made,
// and the extra state of the kinds that need one (functions, arrays, wrapped
// primitives, dates, movie clip references, the super object).
//
// Objects are made and freed only by the Heap (heap.h); everything here holds
// plain pointers to them, which stay valid while the object is reachable from
// the Heap's roots. "__proto__" is an ordinary property, as scripts can read,
// replace and delete it.
//
// Names compare exactly from version 7 on and ASCII-case-blind before; each
// lookup says which. Enumeration runs from the newest property to the oldest,
// as the players do.
#pragma once

#include "player/avm1/host.h"
#include "player/avm1/value.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace avm1 {

class Runtime;
struct CallContext;

// Property attributes; the low three are those ASSetPropFlags sets.
enum : uint16_t {
    PROP_DONT_ENUM = 1,
    PROP_DONT_DELETE = 2,
    PROP_READ_ONLY = 4,
    // Hidden from movies older than a version (ASSetPropFlags bits).
    PROP_VERSION6 = 0x80,
    PROP_VERSION7 = 0x400,
    PROP_VERSION8 = 0x1000,
    PROP_VERSION9 = 0x2000,
    PROP_VERSION10 = 0x4000,
};

struct Property {
    std::string name;
    Value value;
    // A property made by addProperty: reads call getter, writes call setter.
    Object* getter = nullptr;
    Object* setter = nullptr;
    uint16_t flags = 0;
    bool IsVirtual() const { return getter != nullptr; }
};

// Properties in creation order; a hash index is built once a table grows.
class PropertyTable {
public:
    Property* Find(const std::string& name, bool caseSensitive);
    const Property* Find(const std::string& name, bool caseSensitive) const;
    // Appends a property that Find did not find.
    Property& Add(const std::string& name, bool caseSensitive);
    bool Remove(const std::string& name, bool caseSensitive);
    size_t Size() const { return items_.size(); }
    Property& At(size_t i) { return items_[i]; }
    const Property& At(size_t i) const { return items_[i]; }
    void Clear();

private:
    void Reindex(bool caseSensitive);
    std::vector<Property> items_;
    std::unordered_map<std::string, uint32_t> index_;
    bool indexed_ = false;
    bool indexCaseSensitive_ = true;
};

enum class Kind : uint8_t {
    OBJECT,
    FUNCTION,
    ARRAY,
    BOOLEAN, // Boolean, Number and String wrappers keep their primitive
    NUMBER,
    STRING,
    DATE,
    CLIP,  // a movie clip, button or text field of the host
    SUPER, // the "super" of a method call
};

// One parameter of a defined function: its name and, for DefineFunction2, the
// register it is copied into (0: an ordinary local variable).
struct Parameter {
    std::string name;
    uint8_t reg = 0;
};

// The code of one DefineFunction or DefineFunction2, shared by every
// closure made from it.
struct FunctionCode {
    std::shared_ptr<const std::vector<uint8_t>> block; // the whole action block
    size_t start = 0;                                   // the body within block
    size_t size = 0;
    std::shared_ptr<const std::vector<std::string>> pool; // constants in force at definition
    std::string name;
    std::vector<Parameter> params;
    bool isFunction2 = false;
    uint8_t registerCount = 0;
    uint16_t flags = 0; // DefineFunction2 preload and suppress flags
    int version = 0;    // of the movie that defined it
};

enum : uint16_t {
    FN2_PRELOAD_THIS = 0x0001,
    FN2_SUPPRESS_THIS = 0x0002,
    FN2_PRELOAD_ARGUMENTS = 0x0004,
    FN2_SUPPRESS_ARGUMENTS = 0x0008,
    FN2_PRELOAD_SUPER = 0x0010,
    FN2_SUPPRESS_SUPER = 0x0020,
    FN2_PRELOAD_ROOT = 0x0040,
    FN2_PRELOAD_PARENT = 0x0080,
    FN2_PRELOAD_GLOBAL = 0x0100,
};

using NativeFunction = Value (*)(Runtime& rt, CallContext& call);

struct Watch {
    std::string name;
    Object* callback = nullptr;
    Value data;
};

class Object {
public:
    Kind kind = Kind::OBJECT;
    bool marked = false;
    PropertyTable props;

    // Wrapped primitive (BOOLEAN, NUMBER, STRING), time value (DATE), or a
    // built-in's private state (the target of a Color, for instance).
    Value primitive;

    // FUNCTION: either native or code.
    NativeFunction native = nullptr;
    int nativeTag = 0; // lets one native serve several names
    std::shared_ptr<FunctionCode> code;
    std::vector<Object*> scope; // scopes captured at definition, outermost first
    Object* baseClip = nullptr; // the timeline that defined the function
    // ImplementsOp: the interfaces a constructor's instances implement.
    std::vector<Object*> interfaces;

    // ARRAY: one more than the highest index; elements are ordinary
    // properties named by their index.
    uint32_t length = 0;

    // CLIP: the host's object while it lives, and its target path, by which
    // a reference finds a new clip of the same path once the old one is gone.
    ClipRef clip = nullptr;
    std::string clipPath;

    // SUPER: the object methods are called on, and the prototype whose
    // parent holds the methods super reaches.
    Object* superThis = nullptr;
    Object* superHome = nullptr;

    std::vector<Watch> watches;

    bool IsFunction() const { return kind == Kind::FUNCTION; }

    Property* FindOwn(const std::string& name, bool caseSensitive) { return props.Find(name, caseSensitive); }
    // The object's "__proto__" when that is an object.
    Object* Proto(bool caseSensitive);
};

// Index text of an array element ("0", "1", ...).
std::string IndexName(uint32_t i);
// True when name is a canonical array index below 2^32 - 1.
bool ParseIndex(const std::string& name, uint32_t* index);

} // namespace avm1
