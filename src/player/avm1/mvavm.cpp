#include "player/avm1/mvavm.h"

#include "player/avm1/runtime.h"

#include <new>

using namespace avm1;

mvAvm::~mvAvm() { Release(); }

bool mvAvm::Init(Host* host, int swfVersion) {
    Release();
    if (!host)
        return false;
    runtime_ = new (std::nothrow) Runtime(host, swfVersion);
    if (!runtime_)
        return false;
    runtime_->Setup();
    return true;
}

void mvAvm::Release() {
    delete runtime_;
    runtime_ = nullptr;
}

void mvAvm::SetActionLimit(unsigned actions) {
    if (runtime_)
        runtime_->actionLimit = actions ? actions : DefaultActionLimit;
}

int mvAvm::Version() const { return runtime_ ? runtime_->version : 0; }

size_t mvAvm::ObjectCount() const { return runtime_ ? runtime_->ObjectCount() : 0; }

void mvAvm::SetVariables(const std::string& query) {
    if (!runtime_)
        return;
    ClipRef root = runtime_->host->Level(0);
    Object* target = runtime_->ClipObject(root);
    if (!target)
        return;
    size_t start = 0;
    while (start < query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        std::string pair = query.substr(start, end - start);
        size_t equals = pair.find('=');
        std::string name = Runtime::Unescape(pair.substr(0, equals));
        std::string value = equals == std::string::npos ? std::string() : Runtime::Unescape(pair.substr(equals + 1));
        if (!name.empty())
            runtime_->Set(Value(target), name, Value(value));
        start = end + 1;
    }
}

void mvAvm::SetVariable(ClipRef clip, const std::string& name, const std::string& value) {
    if (!runtime_ || !clip)
        return;
    runtime_->EnterEntry();
    Activation a;
    a.target = a.baseClip = runtime_->ClipObject(clip);
    a.thisv = Value(a.target);
    a.version = runtime_->version;
    runtime_->SetVariable(a, name, Value(value));
    runtime_->LeaveEntry();
}

bool mvAvm::GetVariable(ClipRef clip, const std::string& name, std::string* value) {
    if (!runtime_ || !clip)
        return false;
    runtime_->EnterEntry();
    Activation a;
    a.target = a.baseClip = runtime_->ClipObject(clip);
    a.thisv = Value(a.target);
    a.version = runtime_->version;
    Value v = runtime_->GetVariable(a, name);
    bool found = !v.IsUndefined();
    if (found && value)
        *value = runtime_->ToString(v);
    runtime_->LeaveEntry();
    return found;
}

void mvAvm::QueueActions(ClipRef clip, const uint8_t* code, size_t size) {
    if (!runtime_ || !clip || !code)
        return;
    QueuedBlock q;
    q.clip = clip;
    q.block = std::make_shared<const std::vector<uint8_t>>(code, code + size);
    runtime_->queue.push_back(q);
}

void mvAvm::QueueMethod(ClipRef clip, const std::string& name) {
    if (!runtime_ || !clip)
        return;
    QueuedBlock q;
    q.clip = clip;
    q.method = name;
    runtime_->queue.push_back(q);
}

void mvAvm::RunQueue() {
    if (!runtime_)
        return;
    // Blocks that go to frames queue more blocks; a frame whose blocks keep
    // doing so is cut short once it has spent a few entries' worth.
    unsigned long long spent = 0;
    const unsigned long long budget = 4ull * runtime_->actionLimit;
    while (!runtime_->queue.empty()) {
        QueuedBlock q = runtime_->queue.front();
        runtime_->queue.pop_front();
        if (q.method.empty())
            runtime_->RunBlock(q.clip, q.block);
        else
            CallMethod(q.clip, q.method);
        spent += runtime_->actionCount + 1ull;
        if (spent > budget && !runtime_->queue.empty()) {
            runtime_->queue.clear();
            runtime_->host->ScriptStopped("the frame's scripts kept queueing more");
        }
    }
    // The blocks of one frame share the stack; the next frame starts empty.
    runtime_->stack.clear();
}

void mvAvm::RunInitActions(ClipRef clip, const uint8_t* code, size_t size) { RunActions(clip, code, size); }

void mvAvm::RunActions(ClipRef clip, const uint8_t* code, size_t size) {
    if (!runtime_ || !clip || !code)
        return;
    runtime_->RunBlock(clip, std::make_shared<const std::vector<uint8_t>>(code, code + size));
}

void mvAvm::ClipCreated(ClipRef clip, const std::string& exportName) {
    if (runtime_ && clip)
        runtime_->ClipCreated(clip, exportName);
}

void mvAvm::ClipRemoved(ClipRef clip) {
    if (!runtime_ || !clip)
        return;
    runtime_->ClipRemoved(clip);
    auto& queue = runtime_->queue;
    for (size_t i = 0; i < queue.size();) {
        if (queue[i].clip == clip)
            queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

bool mvAvm::HasMethod(ClipRef clip, const std::string& name) {
    if (!runtime_ || !clip)
        return false;
    Object* o = runtime_->ClipObject(clip);
    runtime_->EnterEntry();
    Value fn = runtime_->Get(Value(o), name);
    runtime_->LeaveEntry();
    return fn.IsObject() && fn.object->IsFunction();
}

bool mvAvm::CallMethod(ClipRef clip, const std::string& name) {
    if (!runtime_ || !clip)
        return false;
    Object* o = runtime_->ClipObject(clip);
    runtime_->EnterEntry();
    Value fn = runtime_->Get(Value(o), name);
    bool callable = fn.IsObject() && fn.object->IsFunction();
    if (callable) {
        Object* holder = nullptr;
        runtime_->Lookup(o, name, &holder);
        runtime_->Call(fn, Value(o), {}, holder);
    }
    runtime_->LeaveEntry();
    return callable;
}

static void Broadcast(Runtime& rt, Object* source, const std::string& name) {
    if (!source)
        return;
    rt.EnterEntry();
    rt.CallMethod(Value(source), "broadcastMessage", {Value(name)});
    rt.LeaveEntry();
}

void mvAvm::KeyEvent(bool down, int keyCode, int ascii) {
    if (!runtime_)
        return;
    runtime_->lastKeyCode = keyCode;
    runtime_->lastKeyAscii = ascii;
    Broadcast(*runtime_, runtime_->keyObject, down ? "onKeyDown" : "onKeyUp");
}

void mvAvm::MouseEvent(const std::string& name) {
    if (runtime_)
        Broadcast(*runtime_, runtime_->mouseObject, name);
}

void mvAvm::Tick() {
    if (runtime_)
        runtime_->Tick();
}

void mvAvm::Collect() {
    if (runtime_)
        runtime_->Collect();
}
