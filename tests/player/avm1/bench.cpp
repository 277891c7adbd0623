// avm1_bench: figures of the engine's speed and memory on a few kinds of
// script work, each a loop run in one frame of a movie on the stand-in
// player. Prints one line per kind: actions per second and the script
// objects left once the frame's garbage is collected.
#include "assembler.h"
#include "fakeplayer.h"
#include "swfbuilder.h"

#include <chrono>
#include <cstdio>

using namespace swftest;

namespace {

// for (r1 = 0; r1 < count; ++r1) { body }
Assembler Loop(int count, const Assembler& body) {
    Assembler a;
    Assembler::Label top = a.NewLabel(), done = a.NewLabel();
    a.Push(0.0).StoreRegister(1).Op(ACT_POP);
    a.Bind(top).PushRegister(1).Push(static_cast<double>(count)).Op(ACT_LESS2).Op(ACT_NOT).If(done);
    for (uint8_t b : body.Code())
        a.Op(b);
    a.PushRegister(1).Op(ACT_INCREMENT).StoreRegister(1).Op(ACT_POP).Jump(top).Bind(done);
    return a;
}

// Action records in a block of code.
int CountActions(const std::vector<uint8_t>& code) {
    int n = 0;
    for (size_t i = 0; i < code.size(); ++n)
        i += code[i] >= 0x80 && i + 2 < code.size() ? 3 + (code[i + 1] | (code[i + 2] << 8)) : 1;
    return n;
}

void Measure(const char* name, const Assembler& setup, const Assembler& loop, int count) {
    Assembler code;
    for (uint8_t b : setup.Code())
        code.Op(b);
    for (uint8_t b : Loop(count, loop).Code())
        code.Op(b);
    TestMovie movie;
    movie.version = 8;
    movie.frames.push_back(code.Bytes());
    FakePlayer player;
    std::string error;
    if (!player.Load(BuildSwf(movie), &error)) {
        std::printf("%s: %s\n", name, error.c_str());
        return;
    }
    player.Machine().SetActionLimit(400000000);
    size_t before = player.Machine().ObjectCount();
    auto start = std::chrono::steady_clock::now();
    player.Run(1);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The body's actions and the loop's ten per turn (called functions' own not counted).
    double actions = static_cast<double>(count) * (CountActions(loop.Code()) + 10);
    std::printf("%-20s %7d turns %7.3f s %9.0f turns/s %6.1f M actions/s  objects %zu -> %zu\n", name, count,
                seconds, count / seconds, actions / seconds / 1e6, before, player.Machine().ObjectCount());
}

} // namespace

int main() {
    Assembler none;
    Assembler arithmetic;
    arithmetic.PushRegister(2).PushRegister(1).Push(2.0).Op(ACT_MULTIPLY).Op(ACT_ADD2).StoreRegister(2).Op(ACT_POP);
    Measure("arithmetic", none, arithmetic, 500000);

    Assembler variables;
    variables.Push("x").GetVariable("x").Push(1.0).Op(ACT_ADD2).Op(ACT_SET_VARIABLE);
    Measure("timeline variables", Assembler().Push("x").Push(0.0).Op(ACT_SET_VARIABLE), variables, 300000);

    Assembler members;
    members.GetVariable("o").Push("p").GetVariable("o").Push("p").Op(ACT_GET_MEMBER).Op(ACT_INCREMENT).Op(ACT_SET_MEMBER);
    Measure("object members", Assembler().Push("o").Push("p").Push(0.0).Push(1.0).Op(ACT_INIT_OBJECT).Op(ACT_SET_VARIABLE),
            members, 300000);

    Assembler body;
    body.GetVariable("a").Push(1.0).Op(ACT_ADD2).Op(ACT_RETURN);
    Assembler calls;
    calls.PushRegister(1).Push(1.0).Push("f").Op(ACT_CALL_FUNCTION).Op(ACT_POP);
    Measure("function calls", Assembler().DefineFunction("f", {"a"}, body), calls, 100000);

    Assembler objects;
    objects.Push("k").PushRegister(1).Push(1.0).Op(ACT_INIT_OBJECT).Op(ACT_POP);
    Measure("new objects", none, objects, 200000);

    Assembler strings;
    strings.Push("s").GetVariable("s").Push("x").Op(ACT_ADD2).Op(ACT_SET_VARIABLE);
    Measure("string building", Assembler().Push("s").Push("").Op(ACT_SET_VARIABLE), strings, 20000);
    return 0;
}
