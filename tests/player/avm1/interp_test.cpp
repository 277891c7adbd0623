// The interpreter on assembled action blocks: the stack machine, versions,
// functions, scopes, exceptions, runaway scripts and damaged code.
#include "assembler.h"
#include "swfbuilder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace swftest;

std::string Play(const Assembler& a, int version = 8) { return RunCode(a.Bytes(), version); }

// trace(left OP right) for two pushed values.
Assembler Binary(const Assembler& left, const Assembler& right, uint8_t op) {
    Assembler a;
    std::vector<uint8_t> l = left.Code(), r = right.Code();
    for (uint8_t b : l)
        a.Op(b);
    for (uint8_t b : r)
        a.Op(b);
    return a.Op(op).Trace();
}

Assembler Lit(const std::string& s) { return Assembler().Push(s); }
Assembler Num(double d) { return Assembler().Push(d); }

TEST(Avm1Interpreter, TypedAdditionConcatenatesWhenEitherSideIsText) {
    EXPECT_EQ(Play(Binary(Num(1), Num(2), ACT_ADD2)), "3\n");
    EXPECT_EQ(Play(Binary(Lit("1"), Num(2), ACT_ADD2)), "12\n");
    EXPECT_EQ(Play(Binary(Num(1), Lit("2"), ACT_ADD2)), "12\n");
    EXPECT_EQ(Play(Binary(Assembler().PushBool(true), Num(2), ACT_ADD2)), "3\n");
    EXPECT_EQ(Play(Binary(Assembler().PushNull(), Lit("x"), ACT_ADD2)), "nullx\n");
}

TEST(Avm1Interpreter, Version4ArithmeticReadsTextAsNumbers) {
    EXPECT_EQ(Play(Binary(Lit("12"), Lit("3abc"), ACT_ADD), 4), "15\n");
    EXPECT_EQ(Play(Binary(Num(1), Num(0), ACT_DIVIDE), 4), "#ERROR#\n");
    EXPECT_EQ(Play(Binary(Num(1), Num(0), ACT_DIVIDE), 5), "Infinity\n");
    EXPECT_EQ(Play(Binary(Num(2), Num(2), ACT_EQUALS), 4), "1\n");
    EXPECT_EQ(Play(Binary(Num(2), Num(2), ACT_EQUALS), 5), "true\n");
}

TEST(Avm1Interpreter, UndefinedReadsAsEmptyTextBeforeVersion7) {
    Assembler a = Binary(Assembler().PushUndefined(), Lit("x"), ACT_ADD2);
    EXPECT_EQ(Play(a, 6), "x\n");
    EXPECT_EQ(Play(a, 7), "undefinedx\n");
    // Trace itself always names it.
    EXPECT_EQ(Play(Assembler().PushUndefined().Trace(), 6), "undefined\n");
}

TEST(Avm1Interpreter, NamesAreCaseBlindBeforeVersion7) {
    Assembler a;
    a.Push("Foo").Push(5.0).Op(ACT_SET_VARIABLE).GetVariable("foo").Trace();
    EXPECT_EQ(Play(a, 6), "5\n");
    EXPECT_EQ(Play(a, 7), "undefined\n");
}

TEST(Avm1Interpreter, LooseEqualityOfMixedTypes) {
    const struct {
        Assembler left, right;
        const char* result;
    } cases[] = {
        {Assembler().PushNull(), Assembler().PushUndefined(), "true\n"},
        {Lit("1"), Num(1), "true\n"},
        {Lit("1.0"), Num(1), "true\n"},
        {Assembler().PushBool(true), Num(1), "true\n"},
        {Assembler().PushNull(), Num(0), "false\n"},
        {Lit("abc"), Lit("ABC"), "false\n"},
        {Num(NAN), Num(NAN), "false\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Play(Binary(c.left, c.right, ACT_EQUALS2)), c.result);
    EXPECT_EQ(Play(Binary(Lit("1"), Num(1), ACT_STRICT_EQUALS)), "false\n");
}

TEST(Avm1Interpreter, ComparisonWithNaNIsUndefined) {
    EXPECT_EQ(Play(Binary(Num(1), Num(2), ACT_LESS2)), "true\n");
    EXPECT_EQ(Play(Binary(Lit("b"), Lit("a"), ACT_LESS2)), "false\n");
    EXPECT_EQ(Play(Binary(Num(NAN), Num(2), ACT_LESS2)), "undefined\n");
    EXPECT_EQ(Play(Binary(Num(3), Num(2), ACT_GREATER)), "true\n");
}

TEST(Avm1Interpreter, BitOperatorsWorkOnInt32) {
    EXPECT_EQ(Play(Binary(Num(-1), Num(28), ACT_BIT_URSHIFT)), "15\n");
    EXPECT_EQ(Play(Binary(Num(-16), Num(2), ACT_BIT_RSHIFT)), "-4\n");
    EXPECT_EQ(Play(Binary(Num(1), Num(31), ACT_BIT_LSHIFT)), "-2147483648\n");
    EXPECT_EQ(Play(Binary(Num(4294967295.0), Num(255), ACT_BIT_AND)), "255\n");
    EXPECT_EQ(Play(Binary(Num(5), Num(3), ACT_BIT_XOR)), "6\n");
}

TEST(Avm1Interpreter, StringActionsCountCharactersFromVersion6) {
    // "é" is two bytes of UTF-8.
    Assembler length;
    length.Push("h\xC3\xA9llo").Op(ACT_STRING_LENGTH).Trace();
    EXPECT_EQ(Play(length, 6), "5\n");
    EXPECT_EQ(Play(length, 5), "6\n");
    Assembler extract;
    extract.Push("abcdef").Push(2.0).Push(3.0).Op(ACT_STRING_EXTRACT).Trace();
    EXPECT_EQ(Play(extract), "bcd\n");
    Assembler chars;
    chars.Push(65.0).Op(ACT_ASCII_TO_CHAR).Trace().Push("a").Op(ACT_CHAR_TO_ASCII).Trace();
    EXPECT_EQ(Play(chars), "A\n97\n");
}

TEST(Avm1Interpreter, ConstantPoolAndRegisters) {
    Assembler a;
    a.ConstantPool({"first", "second"}).PushConstant(1).StoreRegister(2).Op(ACT_POP).PushRegister(2).Trace();
    a.PushConstant(9).Trace(); // past the pool: undefined
    EXPECT_EQ(Play(a), "second\nundefined\n");
}

TEST(Avm1Interpreter, FunctionsTakeArgumentsAndReturn) {
    Assembler body;
    body.GetVariable("a").GetVariable("b").Op(ACT_ADD2).Op(ACT_RETURN);
    Assembler a;
    a.DefineFunction("sum", {"a", "b"}, body);
    a.Push(2.0).Push(1.0).Push(2.0).Push("sum").Op(ACT_CALL_FUNCTION).Trace();
    // Missing arguments are undefined.
    a.Push(7.0).Push(1.0).Push("sum").Op(ACT_CALL_FUNCTION).Trace();
    EXPECT_EQ(Play(a), "3\nNaN\n");
}

TEST(Avm1Interpreter, DefineFunction2PutsArgumentsAndPreloadsInRegisters) {
    // function f(x in r3) { trace(r1 == this); trace(r2.length); trace(r3) }
    Assembler body;
    body.PushRegister(1).GetVariable("this").Op(ACT_EQUALS2).Trace();
    body.PushRegister(2).Push("length").Op(ACT_GET_MEMBER).Trace();
    body.PushRegister(3).Trace();
    const uint16_t preloadThisAndArguments = 0x0001 | 0x0004;
    Assembler a;
    a.DefineFunction2("f", 4, preloadThisAndArguments, {{"x", 3}}, body);
    a.Push("b").Push("a").Push(2.0).Push("f").Op(ACT_CALL_FUNCTION).Op(ACT_POP);
    EXPECT_EQ(Play(a), "true\n2\na\n");
}

TEST(Avm1Interpreter, ClosuresSeeTheirDefiningScopeFromVersion6) {
    // function outer() { var v = "inner"; return function () { return v; }; }
    Assembler inner;
    inner.GetVariable("v").Op(ACT_RETURN);
    Assembler outer;
    outer.Push("v").Push("inner").Op(ACT_DEFINE_LOCAL);
    outer.DefineFunction("", {}, inner).Op(ACT_RETURN);
    Assembler a;
    a.Push("v").Push("timeline").Op(ACT_SET_VARIABLE);
    a.DefineFunction("outer", {}, outer);
    a.Push(0.0).Push("outer").Op(ACT_CALL_FUNCTION); // the closure
    a.Push(0.0).Op(ACT_STACK_SWAP).PushUndefined().Op(ACT_CALL_METHOD).Trace();
    EXPECT_EQ(Play(a, 6), "inner\n");
    EXPECT_EQ(Play(a, 5), "timeline\n");
}

TEST(Avm1Interpreter, TryCatchFinally) {
    Assembler body, handler, last;
    body.Trace("try").Push("boom").Op(ACT_THROW).Trace("not reached");
    handler.GetVariable("e").Trace();
    last.Trace("finally");
    Assembler a;
    a.Try(body, "e", &handler, &last).Trace("after");
    EXPECT_EQ(Play(a), "try\nboom\nfinally\nafter\n");
}

TEST(Avm1Interpreter, FinallyRunsWhenAFunctionReturnsFromTry) {
    Assembler body, last;
    body.Push("returned").Op(ACT_RETURN);
    last.Trace("finally");
    Assembler fn;
    fn.Try(body, "e", nullptr, &last).Push("fell through").Op(ACT_RETURN);
    Assembler a;
    a.DefineFunction("f", {}, fn).Push(0.0).Push("f").Op(ACT_CALL_FUNCTION).Trace();
    EXPECT_EQ(Play(a), "finally\nreturned\n");
}

TEST(Avm1Interpreter, ThrowsCrossFunctionsAndUncaughtOnesEndTheBlock) {
    Assembler thrower;
    thrower.Push("deep").Op(ACT_THROW);
    Assembler body, handler;
    body.Push(0.0).Push("thrower").Op(ACT_CALL_FUNCTION).Op(ACT_POP);
    handler.GetVariable("e").Trace();
    Assembler a;
    a.DefineFunction("thrower", {}, thrower).Try(body, "e", &handler, nullptr);
    a.Push("again").Op(ACT_THROW).Trace("not reached");
    EXPECT_EQ(Play(a), "deep\nWarning: Uncaught exception, again\n");
}

TEST(Avm1Interpreter, ObjectsPrototypesAndInstanceOf) {
    // function C() { this.own = 1 }  C.prototype.shared = 2
    Assembler ctor;
    ctor.GetVariable("this").Push("own").Push(1.0).Op(ACT_SET_MEMBER);
    Assembler a;
    a.DefineFunction("C", {}, ctor);
    a.GetVariable("C").Push("prototype").Op(ACT_GET_MEMBER).Push("shared").Push(2.0).Op(ACT_SET_MEMBER);
    a.Push(0.0).Push("C").Op(ACT_NEW_OBJECT).StoreRegister(0);
    a.Push("own").Op(ACT_GET_MEMBER).Trace();
    a.PushRegister(0).Push("shared").Op(ACT_GET_MEMBER).Trace();
    a.PushRegister(0).GetVariable("C").Op(ACT_INSTANCE_OF).Trace();
    a.PushRegister(0).GetVariable("Array").Op(ACT_INSTANCE_OF).Trace();
    a.PushRegister(0).Op(ACT_TYPE_OF).Trace();
    EXPECT_EQ(Play(a), "1\n2\ntrue\nfalse\nobject\n");
}

TEST(Avm1Interpreter, WithPutsAnObjectFirstInTheScope) {
    Assembler body;
    body.GetVariable("x").Trace();
    body.Push("x").Push("changed").Op(ACT_SET_VARIABLE);
    Assembler a;
    a.Push("x").Push("timeline").Op(ACT_SET_VARIABLE);
    a.Push("x").Push("object").Push(1.0).Op(ACT_INIT_OBJECT).StoreRegister(0).With(body);
    a.GetVariable("x").Trace().PushRegister(0).Push("x").Op(ACT_GET_MEMBER).Trace();
    EXPECT_EQ(Play(a), "object\ntimeline\nchanged\n");
}

TEST(Avm1Interpreter, EnumerationListsTheNewestPropertyFirst) {
    Assembler a;
    a.Push("first").Push(1.0).Push("second").Push(2.0).Push(2.0).Op(ACT_INIT_OBJECT);
    a.Op(ACT_ENUMERATE2);
    Assembler::Label loop = a.NewLabel(), done = a.NewLabel();
    a.Bind(loop).StoreRegister(0).PushNull().Op(ACT_EQUALS2).If(done);
    a.PushRegister(0).Trace().Jump(loop);
    a.Bind(done);
    EXPECT_EQ(Play(a), "first\nsecond\n");
}

TEST(Avm1Interpreter, PoppingAnEmptyStackGivesUndefined) {
    Assembler a;
    a.Op(ACT_POP).Op(ACT_POP).Trace().Op(ACT_ADD2).Trace();
    EXPECT_EQ(Play(a, 7), "undefined\nNaN\n");
}

TEST(Avm1Interpreter, AnEndlessLoopIsStoppedAndTheMovieGoesOn) {
    Assembler loop;
    Assembler::Label top = loop.NewLabel();
    loop.Trace("start").Bind(top).Jump(top);
    TestMovie movie;
    movie.frames.push_back(loop.Bytes());
    movie.frames.push_back(Assembler().Trace("frame 2").Op(ACT_STOP).Bytes());
    EXPECT_EQ(RunMovie(movie, 2), "start\nframe 2\n");
}

TEST(Avm1Interpreter, EndlessRecursionIsStoppedAndTheMovieGoesOn) {
    Assembler body;
    body.Push(0.0).Push("f").Op(ACT_CALL_FUNCTION).Op(ACT_RETURN);
    Assembler first;
    first.DefineFunction("f", {}, body).Push(0.0).Push("f").Op(ACT_CALL_FUNCTION).Trace("not reached");
    TestMovie movie;
    movie.frames.push_back(first.Bytes());
    movie.frames.push_back(Assembler().Trace("frame 2").Op(ACT_STOP).Bytes());
    EXPECT_EQ(RunMovie(movie, 2), "frame 2\n");
}

TEST(Avm1Interpreter, LoopsThatFillMemoryAreStopped) {
    // One pushes for ever; one doubles a string for ever.
    Assembler pusher;
    Assembler::Label top = pusher.NewLabel();
    pusher.Bind(top).Push(1.0).Jump(top);
    Assembler doubler;
    Assembler::Label again = doubler.NewLabel();
    doubler.Push("s").Push("x").Op(ACT_SET_VARIABLE);
    doubler.Bind(again).Push("s").GetVariable("s").GetVariable("s").Op(ACT_ADD2).Op(ACT_SET_VARIABLE).Jump(again);
    for (const Assembler* a : {&pusher, &doubler}) {
        TestMovie movie;
        movie.frames.push_back(a->Bytes());
        movie.frames.push_back(Assembler().Trace("frame 2").Op(ACT_STOP).Bytes());
        EXPECT_EQ(RunMovie(movie, 2), "frame 2\n");
    }
}

TEST(Avm1Interpreter, DamagedBlocksStopWhereTheDamageBegins) {
    Assembler good;
    good.Trace("before");
    const struct {
        std::vector<uint8_t> tail;
        const char* output;
    } cases[] = {
        // A record whose length runs past the block.
        {{ACT_PUSH, 0xFF, 0x7F, 0x00}, "before\n"},
        // A push whose string has no end pushes nothing; the trace still runs.
        {{ACT_PUSH, 3, 0, 0, 'a', 'b', ACT_TRACE}, "before\nundefined\n"},
        // A push of an unknown type, a jump far outside, an unknown action.
        {{ACT_PUSH, 2, 0, 0x42, 0x00, 0x7F, ACT_JUMP, 2, 0, 0x00, 0x70, ACT_TRACE}, "before\n"},
        // A header cut in the middle of its length.
        {{ACT_PUSH, 0x05}, "before\n"},
        // A huge argument count for a missing function.
        {{ACT_PUSH, 5, 0, 7, 0xFF, 0xFF, 0xFF, 0x7F, ACT_CALL_FUNCTION}, "before\n"},
        // A function whose body claims more than there is.
        {{ACT_DEFINE_FUNCTION, 6, 0, 'f', 0, 0, 0, 0xFF, 0x7F, ACT_TRACE}, "before\n"},
        // A with, and a try, whose blocks run past the end.
        {{ACT_PUSH, 1, 0, 2, ACT_WITH, 2, 0, 0xFF, 0x7F, ACT_TRACE}, "before\n"},
        {{ACT_TRY, 8, 0, 3, 0xFF, 0x7F, 9, 0, 9, 0, 0, ACT_TRACE}, "before\n"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> code = good.Code();
        code.insert(code.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(RunCode(code), c.output);
    }
}

TEST(Avm1Interpreter, JumpsLeavingAWithBlockPopItsScope) {
    // with (o) { trace(x); jump out past the rest; } trace("skipped"); trace(x)
    Assembler rest, skipped;
    rest.Trace("rest of body");
    skipped.Trace("skipped");
    int over = static_cast<int>(rest.Code().size() + skipped.Code().size());
    Assembler body;
    body.GetVariable("x").Trace();
    body.Record(ACT_JUMP, {static_cast<uint8_t>(over & 0xFF), static_cast<uint8_t>(over >> 8)});
    for (uint8_t b : rest.Code())
        body.Op(b);
    Assembler a;
    a.Push("x").Push("timeline").Op(ACT_SET_VARIABLE);
    a.Push("x").Push("object").Push(1.0).Op(ACT_INIT_OBJECT).With(body);
    for (uint8_t b : skipped.Code())
        a.Op(b);
    a.GetVariable("x").Trace();
    EXPECT_EQ(Play(a), "object\ntimeline\n");
}

TEST(Avm1Interpreter, BlocksOfOneFrameShareTheStack) {
    // The placed clip's block runs first (its placement comes before the
    // root's script) and leaves a name and a value; the root's sets them.
    TestMovie movie;
    Assembler first, second;
    first.Push("left").Push("over");
    second.Op(ACT_SET_VARIABLE).GetVariable("left").Trace();
    TestSprite sprite;
    sprite.id = 1;
    sprite.frames.push_back(first.Bytes());
    movie.sprites.push_back(sprite);
    movie.placements.push_back({1, 1, 1, "clip"});
    movie.frames.push_back(second.Bytes());
    // A block of the next frame finds the stack empty again.
    movie.frames.push_back(Assembler().Op(ACT_TRACE).Op(ACT_STOP).Bytes());
    EXPECT_EQ(RunMovie(movie, 2), "over\nundefined\n");
}

TEST(Avm1Interpreter, Function2RegistersPastItsCountReachTheBlocks) {
    // f has one register of its own (r0); r1 and up are the block's.
    Assembler body;
    body.PushRegister(1).Trace().Push(9.0).StoreRegister(2).Op(ACT_POP);
    Assembler a;
    a.Push(5.0).StoreRegister(1).Op(ACT_POP);
    a.DefineFunction2("f", 1, 0, {}, body).Push(0.0).Push("f").Op(ACT_CALL_FUNCTION).Op(ACT_POP);
    a.PushRegister(2).Trace();
    EXPECT_EQ(Play(a), "5\n9\n");
}

TEST(Avm1Interpreter, TellTargetOfAMissingClipReachesTheRoot) {
    Assembler a;
    a.Push("where").Push("root").Op(ACT_SET_VARIABLE);
    a.Record(ACT_SET_TARGET, {'n', 'o', 'n', 'e', 0}).GetVariable("where").Trace();
    a.Record(ACT_SET_TARGET, {0});
    EXPECT_EQ(Play(a), "root\n");
}

} // namespace
