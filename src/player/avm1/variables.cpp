// Variables and target paths: the scope chain of an activation (with and
// function scopes, the timeline, _global), slash paths ("/a/b:c", "../x")
// and dot paths ("_root.a.b").
#include "player/avm1/runtime.h"

namespace avm1 {

static bool IsName(const std::string& name, const char* expected, bool caseSensitive) {
    return EqualNames(name, expected, caseSensitive);
}

// "_level3" gives 3; -1 for any other name.
static int LevelNumber(const std::string& name, bool caseSensitive) {
    if (name.size() <= 6 || !EqualNames(name.substr(0, 6), "_level", caseSensitive))
        return -1;
    int n = 0;
    for (size_t i = 6; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000)
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

Object* Runtime::TargetOf(Activation& a) { return LiveClipObject(a.target); }

static bool HasPathSyntax(const std::string& name) {
    return name.find_first_of(":/.") != std::string::npos;
}

// Names that GetVariable answers before any scope is searched.
static bool IsScopeFreeName(const std::string& name, bool caseSensitive) {
    return IsName(name, "this", caseSensitive) || IsName(name, "_root", caseSensitive) ||
           IsName(name, "_global", caseSensitive) || IsName(name, "super", caseSensitive) ||
           IsName(name, "arguments", caseSensitive) || LevelNumber(name, caseSensitive) >= 0;
}

static bool IsSeparator(char c) { return c == '/' || c == '.' || c == ':'; }

// The parts of a path: "/" at the start stands for the root, ".." for the
// parent; "/", "." and ":" all separate. An empty part ("a//b") makes the
// path name nothing: valid is false.
static std::vector<std::string> PathParts(const std::string& path, bool* absolute, bool* valid = nullptr) {
    std::vector<std::string> parts;
    *absolute = !path.empty() && path[0] == '/';
    if (valid)
        *valid = true;
    size_t i = *absolute ? 1 : 0;
    while (i < path.size()) {
        if (path[i] == '/' && valid)
            *valid = false;
        if (path.compare(i, 2, "..") == 0 && (i + 2 == path.size() || path[i + 2] == '/' || path[i + 2] == ':')) {
            parts.push_back("_parent");
            i += 2;
            if (i < path.size())
                ++i;
            continue;
        }
        size_t j = i;
        while (j < path.size() && !IsSeparator(path[j]))
            ++j;
        if (j > i)
            parts.push_back(path.substr(i, j - i));
        i = j < path.size() ? j + 1 : j;
    }
    return parts;
}

// Where "path:name" or "path.name" splits: the last ":" or "." that is not
// part of a "..". npos when there is none.
static size_t VariableCut(const std::string& full) {
    for (size_t i = full.size(); i-- > 0;) {
        if (full[i] == ':')
            return i;
        if (full[i] == '.') {
            bool dots = (i > 0 && full[i - 1] == '.') || (i + 1 < full.size() && full[i + 1] == '.');
            if (!dots)
                return i;
        }
    }
    return std::string::npos;
}

std::vector<Object*> Runtime::ScopeChain(Activation& a) {
    std::vector<Object*> scopes(a.scope.rbegin(), a.scope.rend());
    if (Object* timeline = TargetOf(a))
        scopes.push_back(timeline);
    if (a.version >= 5)
        scopes.push_back(global);
    return scopes;
}

Value Runtime::ResolvePath(Activation& a, Object* from, const std::string& path) {
    bool absolute = false, valid = true;
    std::vector<std::string> parts = PathParts(path, &absolute, &valid);
    if (!valid)
        return Value();
    auto walk = [&](Value v, size_t first) -> Value {
        for (size_t k = first; k < parts.size() && v.IsObject(); ++k)
            v = PathStep(v, parts[k]);
        return v.IsObject() ? v : Value();
    };
    if (absolute) {
        ClipRef clip = LiveClip(from);
        if (!clip)
            return Value();
        return walk(Value(ClipObject(RootOf(clip))), 0);
    }
    if (parts.empty())
        return from ? Value(from) : Value();
    if (from && from != a.target)
        return walk(Value(from), 0);
    if (IsScopeFreeName(parts[0], caseSensitive))
        return walk(GetVariable(a, parts[0]), 1);
    // Each scope in turn, innermost first: the first in which the whole
    // path leads to an object wins.
    for (Object* scope : ScopeChain(a)) {
        if (!HasProperty(scope, parts[0]))
            continue;
        Value v = walk(PathStep(Value(scope), parts[0]), 1);
        if (v.IsObject() || Unwinding())
            return v;
    }
    return Value();
}

// One part of a target path: a clip's child of that name before any
// variable of that name.
Value Runtime::PathStep(const Value& from, const std::string& name) {
    if (from.IsObject() && from.object->kind == Kind::CLIP) {
        ClipRef clip = LiveClip(from.object);
        ClipRef child = clip ? host->Child(clip, name, caseSensitive) : nullptr;
        if (child)
            return Value(ClipObject(child));
    }
    return Get(from, name);
}

bool Runtime::SplitVariablePath(Activation& a, const std::string& full, Value* holder, std::string* name) {
    size_t cut = VariableCut(full);
    if (cut == std::string::npos) {
        // A slash path without a variable: the last part is the name.
        size_t slash = full.rfind('/');
        std::string path = full.substr(0, slash);
        if (path.empty() && full[0] == '/')
            path = "/";
        *name = full.substr(slash + 1);
        *holder = path.empty() ? Value(a.target) : ResolvePath(a, a.target, path);
        return holder->IsObject();
    }
    std::string path = full.substr(0, cut);
    *name = full.substr(cut + 1);
    *holder = path.empty() ? Value(TargetOf(a)) : ResolvePath(a, a.target, path);
    return holder->IsObject();
}

Value Runtime::GetVariable(Activation& a, const std::string& name) {
    if (HasPathSyntax(name) && name.find_first_of(":/") == std::string::npos) {
        // "a.b.c": the first scope where a.b is an object that has c.
        bool absolute = false;
        std::vector<std::string> parts = PathParts(name, &absolute);
        if (parts.size() >= 2 && !IsScopeFreeName(parts[0], caseSensitive)) {
            for (Object* scope : ScopeChain(a)) {
                if (!HasProperty(scope, parts[0]))
                    continue;
                Value v = PathStep(Value(scope), parts[0]);
                for (size_t k = 1; k + 1 < parts.size() && v.IsObject(); ++k)
                    v = PathStep(v, parts[k]);
                if (Unwinding())
                    return Value();
                if (v.IsObject() && HasProperty(v.object, parts.back()))
                    return Get(v, parts.back());
            }
            return Value();
        }
    }
    if (HasPathSyntax(name)) {
        if (name.find(':') == std::string::npos && name.find('/') != std::string::npos) {
            // A pure target path names the clip itself.
            Value target = ResolvePath(a, a.target, name);
            if (target.IsObject())
                return target;
        }
        Value holder;
        std::string var;
        if (!SplitVariablePath(a, name, &holder, &var))
            return Value();
        if (var.empty())
            return holder;
        return Get(holder, var);
    }
    if (IsName(name, "this", caseSensitive)) {
        if (a.thisIsVariable)
            return a.thisv;
        // Without its own "this", a function sees the timeline's (version 5: none).
        return a.version >= 6 ? Value(TargetOf(a)) : Value();
    }
    if (version >= 6 && IsName(name, "_global", caseSensitive))
        return Value(global);
    if (IsName(name, "_root", caseSensitive)) {
        ClipRef clip = LiveClip(a.target);
        if (!clip)
            clip = host->Level(0);
        return clip ? Value(ClipObject(RootOf(clip))) : Value();
    }
    int level = LevelNumber(name, caseSensitive);
    if (level >= 0) {
        ClipRef clip = host->Level(level);
        return clip ? Value(ClipObject(clip)) : Value();
    }
    if (a.isFunction) {
        if (a.arguments && IsName(name, "arguments", caseSensitive))
            return Value(a.arguments);
        if (IsName(name, "super", caseSensitive))
            return a.super ? Value(a.super) : Value();
    }
    bool found = false;
    for (size_t i = a.scope.size(); i-- > 0;) {
        Value v = GetFrom(a.scope[i], name, Value(a.scope[i]), &found);
        if (found || Unwinding())
            return v;
    }
    Object* timeline = TargetOf(a);
    if (timeline) {
        Value v = GetFrom(timeline, name, Value(timeline), &found);
        if (found || Unwinding())
            return v;
    }
    // Version 4 movies know no built-ins.
    if (a.version < 5)
        return Value();
    return GetFrom(global, name, Value(global), &found);
}

void Runtime::SetVariable(Activation& a, const std::string& name, const Value& v) {
    // "this" can be set, for the rest of the activation.
    if (IsName(name, "this", caseSensitive)) {
        a.thisv = v;
        a.thisIsVariable = true;
        return;
    }
    if (HasPathSyntax(name)) {
        Value holder;
        std::string var;
        if (SplitVariablePath(a, name, &holder, &var) && !var.empty())
            Set(holder, var, v);
        return;
    }
    for (size_t i = a.scope.size(); i-- > 0;) {
        if (HasProperty(a.scope[i], name)) {
            Set(Value(a.scope[i]), name, v);
            return;
        }
    }
    Object* timeline = TargetOf(a);
    if (timeline)
        Set(Value(timeline), name, v);
}

Object* Runtime::FindScopeHolder(Activation& a, const std::string& name) {
    for (size_t i = a.scope.size(); i-- > 0;)
        if (HasProperty(a.scope[i], name))
            return a.scope[i];
    Object* timeline = TargetOf(a);
    if (timeline && HasProperty(timeline, name))
        return timeline;
    if (HasProperty(global, name))
        return global;
    return nullptr;
}

} // namespace avm1
