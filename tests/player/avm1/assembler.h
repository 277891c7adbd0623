// A small assembler of action bytecode for the engine's unit tests:
//   Assembler a;
//   a.Push("x").Push(1.0).Op(ACT_ADD2).Op(ACT_TRACE);
//   std::vector<uint8_t> code = a.Bytes(); // ends with the end action
// Labels give jump targets; function bodies are assemblers of their own.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace swftest {

enum : uint8_t {
    ACT_END = 0x00,
    ACT_NEXT_FRAME = 0x04,
    ACT_PLAY = 0x06,
    ACT_STOP = 0x07,
    ACT_ADD = 0x0A,
    ACT_SUBTRACT = 0x0B,
    ACT_MULTIPLY = 0x0C,
    ACT_DIVIDE = 0x0D,
    ACT_EQUALS = 0x0E,
    ACT_LESS = 0x0F,
    ACT_NOT = 0x12,
    ACT_STRING_EQUALS = 0x13,
    ACT_STRING_LENGTH = 0x14,
    ACT_STRING_EXTRACT = 0x15,
    ACT_POP = 0x17,
    ACT_TO_INTEGER = 0x18,
    ACT_GET_VARIABLE = 0x1C,
    ACT_SET_VARIABLE = 0x1D,
    ACT_SET_TARGET2 = 0x20,
    ACT_STRING_ADD = 0x21,
    ACT_GET_PROPERTY = 0x22,
    ACT_SET_PROPERTY = 0x23,
    ACT_TRACE = 0x26,
    ACT_THROW = 0x2A,
    ACT_CHAR_TO_ASCII = 0x32,
    ACT_ASCII_TO_CHAR = 0x33,
    ACT_DELETE = 0x3A,
    ACT_DEFINE_LOCAL = 0x3C,
    ACT_CALL_FUNCTION = 0x3D,
    ACT_RETURN = 0x3E,
    ACT_MODULO = 0x3F,
    ACT_NEW_OBJECT = 0x40,
    ACT_INIT_ARRAY = 0x42,
    ACT_INIT_OBJECT = 0x43,
    ACT_TYPE_OF = 0x44,
    ACT_ENUMERATE2 = 0x55,
    ACT_ADD2 = 0x47,
    ACT_LESS2 = 0x48,
    ACT_EQUALS2 = 0x49,
    ACT_TO_NUMBER = 0x4A,
    ACT_TO_STRING = 0x4B,
    ACT_PUSH_DUPLICATE = 0x4C,
    ACT_STACK_SWAP = 0x4D,
    ACT_GET_MEMBER = 0x4E,
    ACT_SET_MEMBER = 0x4F,
    ACT_INCREMENT = 0x50,
    ACT_DECREMENT = 0x51,
    ACT_CALL_METHOD = 0x52,
    ACT_NEW_METHOD = 0x53,
    ACT_INSTANCE_OF = 0x54,
    ACT_BIT_AND = 0x60,
    ACT_BIT_OR = 0x61,
    ACT_BIT_XOR = 0x62,
    ACT_BIT_LSHIFT = 0x63,
    ACT_BIT_RSHIFT = 0x64,
    ACT_BIT_URSHIFT = 0x65,
    ACT_STRICT_EQUALS = 0x66,
    ACT_GREATER = 0x67,
    ACT_EXTENDS = 0x69,
    ACT_GOTO_FRAME = 0x81,
    ACT_GET_URL = 0x83,
    ACT_STORE_REGISTER = 0x87,
    ACT_CONSTANT_POOL = 0x88,
    ACT_SET_TARGET = 0x8B,
    ACT_DEFINE_FUNCTION2 = 0x8E,
    ACT_TRY = 0x8F,
    ACT_WITH = 0x94,
    ACT_PUSH = 0x96,
    ACT_JUMP = 0x99,
    ACT_GET_URL2 = 0x9A,
    ACT_DEFINE_FUNCTION = 0x9B,
    ACT_IF = 0x9D,
};

class Assembler {
public:
    struct Label {
        int id;
    };

    Assembler& Op(uint8_t op) {
        code_.push_back(op);
        return *this;
    }
    Assembler& Record(uint8_t op, const std::vector<uint8_t>& payload) {
        code_.push_back(op);
        U16(code_, static_cast<uint16_t>(payload.size()));
        code_.insert(code_.end(), payload.begin(), payload.end());
        return *this;
    }

    // One Push action per value.
    Assembler& Push(const std::string& s) {
        std::vector<uint8_t> p{0};
        Text(p, s);
        return Record(ACT_PUSH, p);
    }
    Assembler& Push(const char* s) { return Push(std::string(s)); }
    Assembler& Push(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        std::vector<uint8_t> p{6};
        U32(p, static_cast<uint32_t>(bits >> 32));
        U32(p, static_cast<uint32_t>(bits));
        return Record(ACT_PUSH, p);
    }
    Assembler& PushInt(int32_t i) {
        std::vector<uint8_t> p{7};
        U32(p, static_cast<uint32_t>(i));
        return Record(ACT_PUSH, p);
    }
    Assembler& PushBool(bool b) { return Record(ACT_PUSH, {5, static_cast<uint8_t>(b ? 1 : 0)}); }
    Assembler& PushNull() { return Record(ACT_PUSH, {2}); }
    Assembler& PushUndefined() { return Record(ACT_PUSH, {3}); }
    Assembler& PushRegister(uint8_t r) { return Record(ACT_PUSH, {4, r}); }
    Assembler& PushConstant(uint8_t i) { return Record(ACT_PUSH, {8, i}); }

    Assembler& Trace() { return Op(ACT_TRACE); }
    // trace(value) of a string literal.
    Assembler& Trace(const std::string& s) { return Push(s).Op(ACT_TRACE); }
    Assembler& GetVariable(const std::string& name) { return Push(name).Op(ACT_GET_VARIABLE); }
    Assembler& SetVariable(const std::string& name) {
        // Value on the stack: name goes under it.
        return Push(name).Op(ACT_STACK_SWAP).Op(ACT_SET_VARIABLE);
    }
    Assembler& StoreRegister(uint8_t r) { return Record(ACT_STORE_REGISTER, {r}); }
    Assembler& ConstantPool(const std::vector<std::string>& pool) {
        std::vector<uint8_t> p;
        U16(p, static_cast<uint16_t>(pool.size()));
        for (const std::string& s : pool)
            Text(p, s);
        return Record(ACT_CONSTANT_POOL, p);
    }
    Assembler& GetUrl(const std::string& url, const std::string& target) {
        std::vector<uint8_t> p;
        Text(p, url);
        Text(p, target);
        return Record(ACT_GET_URL, p);
    }
    Assembler& GotoFrame(uint16_t frame) {
        std::vector<uint8_t> p;
        U16(p, frame);
        return Record(ACT_GOTO_FRAME, p);
    }

    Label NewLabel() {
        labels_.push_back(-1);
        return Label{static_cast<int>(labels_.size() - 1)};
    }
    Assembler& Bind(Label l) {
        labels_[l.id] = static_cast<int>(code_.size());
        return *this;
    }
    Assembler& Jump(Label l) { return Branch(ACT_JUMP, l); }
    Assembler& If(Label l) { return Branch(ACT_IF, l); }

    Assembler& DefineFunction(const std::string& name, const std::vector<std::string>& params, const Assembler& body) {
        std::vector<uint8_t> b = body.Code();
        std::vector<uint8_t> p;
        Text(p, name);
        U16(p, static_cast<uint16_t>(params.size()));
        for (const std::string& s : params)
            Text(p, s);
        U16(p, static_cast<uint16_t>(b.size()));
        Record(ACT_DEFINE_FUNCTION, p);
        code_.insert(code_.end(), b.begin(), b.end());
        return *this;
    }
    // params: name and register (0: a named local).
    Assembler& DefineFunction2(const std::string& name, uint8_t registers, uint16_t flags,
                               const std::vector<std::pair<std::string, uint8_t>>& params, const Assembler& body) {
        std::vector<uint8_t> b = body.Code();
        std::vector<uint8_t> p;
        Text(p, name);
        U16(p, static_cast<uint16_t>(params.size()));
        p.push_back(registers);
        U16(p, flags);
        for (const auto& param : params) {
            p.push_back(param.second);
            Text(p, param.first);
        }
        U16(p, static_cast<uint16_t>(b.size()));
        Record(ACT_DEFINE_FUNCTION2, p);
        code_.insert(code_.end(), b.begin(), b.end());
        return *this;
    }
    Assembler& With(const Assembler& body) {
        std::vector<uint8_t> b = body.Code();
        std::vector<uint8_t> p;
        U16(p, static_cast<uint16_t>(b.size()));
        Record(ACT_WITH, p);
        code_.insert(code_.end(), b.begin(), b.end());
        return *this;
    }
    // try { body } catch (name) { handler } finally { last }; an empty
    // assembler leaves a block out.
    Assembler& Try(const Assembler& body, const std::string& name, const Assembler* handler, const Assembler* last) {
        std::vector<uint8_t> t = body.Code();
        std::vector<uint8_t> c = handler ? handler->Code() : std::vector<uint8_t>();
        std::vector<uint8_t> f = last ? last->Code() : std::vector<uint8_t>();
        std::vector<uint8_t> p;
        p.push_back(static_cast<uint8_t>((handler ? 1 : 0) | (last ? 2 : 0)));
        U16(p, static_cast<uint16_t>(t.size()));
        U16(p, static_cast<uint16_t>(c.size()));
        U16(p, static_cast<uint16_t>(f.size()));
        Text(p, name);
        Record(ACT_TRY, p);
        code_.insert(code_.end(), t.begin(), t.end());
        code_.insert(code_.end(), c.begin(), c.end());
        code_.insert(code_.end(), f.begin(), f.end());
        return *this;
    }

    // The code without the end action, jumps resolved.
    std::vector<uint8_t> Code() const {
        std::vector<uint8_t> out = code_;
        for (const Fixup& f : fixups_) {
            int offset = labels_[f.label] - f.next;
            out[f.at] = static_cast<uint8_t>(offset & 0xFF);
            out[f.at + 1] = static_cast<uint8_t>((offset >> 8) & 0xFF);
        }
        return out;
    }
    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out = Code();
        out.push_back(ACT_END);
        return out;
    }

private:
    struct Fixup {
        size_t at;
        int next;
        int label;
    };
    static void U16(std::vector<uint8_t>& v, uint16_t x) {
        v.push_back(static_cast<uint8_t>(x));
        v.push_back(static_cast<uint8_t>(x >> 8));
    }
    static void U32(std::vector<uint8_t>& v, uint32_t x) {
        U16(v, static_cast<uint16_t>(x));
        U16(v, static_cast<uint16_t>(x >> 16));
    }
    static void Text(std::vector<uint8_t>& v, const std::string& s) {
        v.insert(v.end(), s.begin(), s.end());
        v.push_back(0);
    }
    Assembler& Branch(uint8_t op, Label l) {
        code_.push_back(op);
        U16(code_, 2);
        fixups_.push_back({code_.size(), static_cast<int>(code_.size() + 2), l.id});
        U16(code_, 0);
        return *this;
    }

    std::vector<uint8_t> code_;
    std::vector<int> labels_;
    std::vector<Fixup> fixups_;
};

} // namespace swftest
