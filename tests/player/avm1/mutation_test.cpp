// Damaged action blocks: assembled programs with random mutations (flipped
// and replaced bytes, cuts, repeats) must run to an end without harming
// anything, on every version the engine knows.
#include "assembler.h"
#include "fakeplayer.h"
#include "swfbuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace swftest;

// A small deterministic generator, so that a failure can be replayed.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    size_t Below(size_t n) { return n ? Next() % n : 0; }
};

std::vector<std::vector<uint8_t>> Seeds() {
    std::vector<std::vector<uint8_t>> seeds;
    Assembler body, handler;
    body.GetVariable("a").GetVariable("b").Op(ACT_ADD2).Op(ACT_RETURN);
    handler.GetVariable("e").Trace();
    Assembler calls;
    calls.ConstantPool({"sum", "a", "b", "e"}).DefineFunction("sum", {"a", "b"}, body);
    calls.Push(2.0).Push(1.0).Push(2.0).Push("sum").Op(ACT_CALL_FUNCTION).Trace();
    calls.Try(Assembler().Push("x").Op(ACT_THROW), "e", &handler, &handler);
    seeds.push_back(calls.Bytes());

    Assembler objects;
    objects.Push("k").Push(1.0).Push("j").Push("v").Push(2.0).Op(ACT_INIT_OBJECT).StoreRegister(1);
    objects.With(Assembler().GetVariable("k").Trace()).PushRegister(1).Op(ACT_ENUMERATE2);
    Assembler::Label loop = objects.NewLabel(), done = objects.NewLabel();
    objects.Bind(loop).StoreRegister(0).PushNull().Op(ACT_EQUALS2).If(done).PushRegister(0).Trace().Jump(loop);
    objects.Bind(done).Push(3.0).Push(2.0).Push(1.0).Push(3.0).Op(ACT_INIT_ARRAY).Push("join");
    seeds.push_back(objects.Bytes());

    Assembler fn2;
    fn2.DefineFunction2("f", 4, 0x0005, {{"x", 3}},
                        Assembler().PushRegister(1).PushRegister(2).PushRegister(3).Op(ACT_ADD2).Op(ACT_RETURN));
    fn2.Push(1.0).Push(1.0).Push("f").Op(ACT_CALL_FUNCTION).Trace().GotoFrame(0).Op(ACT_PLAY);
    fn2.Push("/").Op(ACT_SET_TARGET2).Push("_x").Push(5.0).Op(ACT_SET_VARIABLE);
    seeds.push_back(fn2.Bytes());
    return seeds;
}

std::vector<uint8_t> Mutate(std::vector<uint8_t> code, Random& r) {
    int edits = 1 + static_cast<int>(r.Below(4));
    for (int i = 0; i < edits && !code.empty(); ++i) {
        size_t at = r.Below(code.size());
        switch (r.Below(5)) {
        case 0:
            code[at] ^= static_cast<uint8_t>(1u << r.Below(8));
            break;
        case 1:
            code[at] = static_cast<uint8_t>(r.Next());
            break;
        case 2:
            code.resize(at);
            break;
        case 3: {
            size_t n = r.Below(code.size() - at) + 1;
            std::vector<uint8_t> piece(code.begin() + static_cast<std::ptrdiff_t>(at),
                                       code.begin() + static_cast<std::ptrdiff_t>(at + n));
            code.insert(code.begin() + static_cast<std::ptrdiff_t>(r.Below(code.size())), piece.begin(), piece.end());
            break;
        }
        default:
            code.insert(code.begin() + static_cast<std::ptrdiff_t>(at), static_cast<uint8_t>(r.Next()));
            break;
        }
    }
    return code;
}

TEST(Avm1Mutation, DamagedBlocksRunToAnEnd) {
    Random r{20240611u};
    std::vector<std::vector<uint8_t>> seeds = Seeds();
    const int versions[] = {4, 5, 6, 7, 8, 10};
    // MUTATION_COUNT runs more cases by hand (with the sanitizers, say).
    int count = std::getenv("MUTATION_COUNT") ? std::atoi(std::getenv("MUTATION_COUNT")) : 600;
    for (int i = 0; i < count; ++i) {
        TestMovie movie;
        movie.version = versions[r.Below(6)];
        movie.frames.push_back(Mutate(seeds[r.Below(seeds.size())], r));
        movie.frames.push_back(Mutate(seeds[r.Below(seeds.size())], r));
        FakePlayer player;
        std::string error;
        ASSERT_TRUE(player.Load(BuildSwf(movie), &error)) << error;
        // Mutations make endless loops easily; a lower limit keeps this quick.
        player.Machine().SetActionLimit(20000);
        player.Run(3);
        EXPECT_LE(player.Machine().ObjectCount(), 20000u) << "case " << i;
    }
}

} // namespace
