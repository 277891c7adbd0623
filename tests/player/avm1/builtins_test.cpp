// The built-in objects, called from assembled code.
#include "assembler.h"
#include "swfbuilder.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

using namespace swftest;

// A value pushed by the call helpers: text, number or a variable's value.
struct Arg {
    enum { TEXT, NUMBER, VARIABLE } kind;
    std::string text;
    double number;
};
Arg T(const std::string& s) { return {Arg::TEXT, s, 0}; }
Arg N(double d) { return {Arg::NUMBER, "", d}; }
Arg V(const std::string& name) { return {Arg::VARIABLE, name, 0}; }

void PushArg(Assembler& a, const Arg& arg) {
    if (arg.kind == Arg::TEXT)
        a.Push(arg.text);
    else if (arg.kind == Arg::NUMBER)
        a.Push(arg.number);
    else
        a.GetVariable(arg.text);
}

void PushArgs(Assembler& a, std::initializer_list<Arg> args) {
    std::vector<Arg> list(args);
    for (size_t i = list.size(); i-- > 0;)
        PushArg(a, list[i]);
    a.Push(static_cast<double>(list.size()));
}

// object.method(args) with the result left on the stack.
Assembler& Method(Assembler& a, const std::string& object, const std::string& method, std::initializer_list<Arg> args) {
    PushArgs(a, args);
    a.GetVariable(object).Push(method).Op(ACT_CALL_METHOD);
    return a;
}

// function(args) with the result left on the stack.
Assembler& Function(Assembler& a, const std::string& name, std::initializer_list<Arg> args) {
    PushArgs(a, args);
    a.Push(name).Op(ACT_CALL_FUNCTION);
    return a;
}

// name = [items]
Assembler& MakeArray(Assembler& a, const std::string& name, std::initializer_list<Arg> items) {
    a.Push(name);
    PushArgs(a, items);
    a.Op(ACT_INIT_ARRAY).Op(ACT_SET_VARIABLE);
    return a;
}

std::string Play(const Assembler& a, int version = 8) { return RunCode(a.Bytes(), version); }

TEST(Avm1Builtins, ArraySortFlags) {
    Assembler a;
    MakeArray(a, "a", {T("b"), T("B"), N(10), N(9), T("a")});
    Method(a, "a", "sort", {}).Op(ACT_POP).GetVariable("a").Trace();
    // CASEINSENSITIVE, then with DESCENDING; the sort is stable.
    Method(a, "a", "sort", {N(1)}).Op(ACT_POP).GetVariable("a").Trace();
    Method(a, "a", "sort", {N(1 | 2)}).Op(ACT_POP).GetVariable("a").Trace();
    MakeArray(a, "n", {N(10), N(9), N(100)});
    Method(a, "n", "sort", {N(16)}).Op(ACT_POP).GetVariable("n").Trace();       // NUMERIC
    Method(a, "n", "sort", {N(8)}).Trace().GetVariable("n").Trace();            // RETURNINDEXEDARRAY
    MakeArray(a, "u", {N(1), N(2), N(1)});
    Method(a, "u", "sort", {N(4)}).Trace().GetVariable("u").Trace();            // UNIQUESORT fails
    EXPECT_EQ(Play(a), "10,9,B,a,b\n10,9,a,B,b\nB,b,a,9,10\n9,10,100\n1,2,0\n9,10,100\n0\n1,2,1\n");
}

TEST(Avm1Builtins, ArraySortWithACompareFunction) {
    Assembler compare;
    compare.GetVariable("y").GetVariable("x").Op(ACT_SUBTRACT).Op(ACT_RETURN);
    Assembler a;
    a.DefineFunction("byValueDown", {"x", "y"}, compare);
    MakeArray(a, "a", {N(3), N(1), N(2)});
    Method(a, "a", "sort", {V("byValueDown")}).Trace();
    EXPECT_EQ(Play(a), "3,2,1\n");
}

TEST(Avm1Builtins, ArrayEditingMethods) {
    Assembler a;
    MakeArray(a, "a", {N(1), N(2), N(3), N(4)});
    Method(a, "a", "splice", {N(1), N(2), T("x")}).Trace().GetVariable("a").Trace();
    Method(a, "a", "slice", {N(-2)}).Trace();
    Method(a, "a", "push", {N(5)}).Trace();
    Method(a, "a", "shift", {}).Trace();
    Method(a, "a", "unshift", {N(0)}).Trace();
    Method(a, "a", "reverse", {}).Trace();
    Method(a, "a", "join", {T("-")}).Trace();
    Method(a, "a", "concat", {N(9), V("a")}).Trace();
    a.GetVariable("a").Push("length").Push(2.0).Op(ACT_SET_MEMBER).GetVariable("a").Trace();
    EXPECT_EQ(Play(a), "2,3\n1,x,4\nx,4\n4\n1\n4\n5,4,x,0\n5-4-x-0\n5,4,x,0,9,5,4,x,0\n5,4\n");
}

TEST(Avm1Builtins, ArrayHolesAndConstructor) {
    Assembler a;
    a.Push("a").Push(3.0).Push(1.0).Push("Array").Op(ACT_NEW_OBJECT).Op(ACT_SET_VARIABLE);
    a.GetVariable("a").Push("length").Op(ACT_GET_MEMBER).Trace().GetVariable("a").Trace();
    EXPECT_EQ(Play(a, 7), "3\nundefined,undefined,undefined\n");
    EXPECT_EQ(Play(a, 6), "3\n,,\n");
}

TEST(Avm1Builtins, StringMethods) {
    Assembler a;
    a.Push("s").Push("Hello, World").Op(ACT_SET_VARIABLE);
    Method(a, "s", "indexOf", {T("o")}).Trace();
    Method(a, "s", "lastIndexOf", {T("o")}).Trace();
    Method(a, "s", "substr", {N(-5), N(3)}).Trace();
    Method(a, "s", "substring", {N(5), N(0)}).Trace();
    Method(a, "s", "slice", {N(7), N(-1)}).Trace();
    Method(a, "s", "charAt", {N(4)}).Trace();
    Method(a, "s", "charCodeAt", {N(99)}).Trace();
    Method(a, "s", "split", {T(", ")}).Trace();
    Method(a, "s", "toUpperCase", {}).Trace();
    Function(a, "String.fromCharCode", {N(104), N(105)}).Trace();
    EXPECT_EQ(Play(a), "4\n8\nWor\nHello\nWorl\no\nNaN\nHello,World\nHELLO, WORLD\nhi\n");
}

TEST(Avm1Builtins, NumbersMathAndParsing) {
    Assembler a;
    a.Push("n").Push(255.0).Op(ACT_SET_VARIABLE);
    Method(a, "n", "toString", {N(16)}).Trace();
    Method(a, "Math", "round", {N(-2.5)}).Trace();
    Method(a, "Math", "max", {N(1), N(3), N(2)}).Trace();
    Method(a, "Math", "min", {}).Trace();
    Function(a, "parseInt", {T("0x1A")}).Trace();
    Function(a, "parseInt", {T("017")}).Trace();  // octal
    Function(a, "parseInt", {T(" 017")}).Trace(); // not after blanks
    Function(a, "parseInt", {T("z"), N(36)}).Trace();
    Function(a, "parseFloat", {T("1.5e2px")}).Trace();
    Function(a, "isNaN", {T("abc")}).Trace();
    Function(a, "escape", {T("a b&c")}).Trace();
    Function(a, "unescape", {T("%41+%2")}).Trace();
    EXPECT_EQ(Play(a), "ff\n-2\n3\nInfinity\n26\n15\n17\n35\n150\ntrue\na%20b%26c\nA \n");
}

TEST(Avm1Builtins, DatesInUtc) {
    Assembler a;
    // new Date(2000, 0, 31, 12) in the stand-in host's zone (UTC).
    a.Push("d").Push(12.0).Push(31.0).Push(0.0).Push(2000.0).Push(4.0).Push("Date").Op(ACT_NEW_OBJECT);
    a.Op(ACT_SET_VARIABLE);
    Method(a, "d", "getTime", {}).Trace();
    Method(a, "d", "getDay", {}).Trace();
    Method(a, "d", "setMonth", {N(1)}).Op(ACT_POP);
    Method(a, "d", "getDate", {}).Trace();
    Method(a, "d", "toString", {}).Trace();
    Function(a, "Date.UTC", {N(1970), N(0), N(2)}).Trace();
    EXPECT_EQ(Play(a), "949320000000\n1\n2\nThu Mar 2 12:00:00 GMT+0000 2000\n86400000\n");
}

TEST(Avm1Builtins, FunctionCallAndApplySetThis) {
    Assembler body;
    body.GetVariable("this").Push("name").Op(ACT_GET_MEMBER).GetVariable("x").Op(ACT_ADD2).Op(ACT_RETURN);
    Assembler a;
    a.DefineFunction("f", {"x"}, body);
    a.Push("o").Push("name").Push("o").Push(1.0).Op(ACT_INIT_OBJECT).Op(ACT_SET_VARIABLE);
    Method(a, "f", "call", {V("o"), T("!")}).Trace();
    MakeArray(a, "args", {T("?")});
    Method(a, "f", "apply", {V("o"), V("args")}).Trace();
    EXPECT_EQ(Play(a), "o!\no?\n");
}

TEST(Avm1Builtins, GettersSettersAndWatches) {
    Assembler getter, setter, watcher;
    getter.Push("got").Op(ACT_RETURN);
    setter.Push("set ").GetVariable("v").Op(ACT_ADD2).Trace();
    // watch callback (name, old, new): returns new + "!"
    watcher.GetVariable("now").Push("!").Op(ACT_ADD2).Op(ACT_RETURN);
    Assembler a;
    a.Push("o").Push(0.0).Op(ACT_INIT_OBJECT).Op(ACT_SET_VARIABLE);
    a.DefineFunction("g", {}, getter).DefineFunction("s", {"v"}, setter).DefineFunction("w", {"p", "was", "now"}, watcher);
    Method(a, "o", "addProperty", {T("p"), V("g"), V("s")}).Trace();
    a.GetVariable("o").Push("p").Op(ACT_GET_MEMBER).Trace();
    a.GetVariable("o").Push("p").Push(5.0).Op(ACT_SET_MEMBER);
    Method(a, "o", "watch", {T("q"), V("w")}).Op(ACT_POP);
    a.GetVariable("o").Push("q").Push("x").Op(ACT_SET_MEMBER);
    a.GetVariable("o").Push("q").Op(ACT_GET_MEMBER).Trace();
    EXPECT_EQ(Play(a), "true\ngot\nset 5\nx!\n");
}

TEST(Avm1Builtins, SetPropFlagsHidesFromEnumerationAndProtectsFromWrites) {
    Assembler a;
    a.Push("o").Push("a").Push(1.0).Push("b").Push(2.0).Push(2.0).Op(ACT_INIT_OBJECT).Op(ACT_SET_VARIABLE);
    Function(a, "ASSetPropFlags", {V("o"), T("a"), N(1 | 4)}).Op(ACT_POP);
    a.GetVariable("o").Push("a").Push(9.0).Op(ACT_SET_MEMBER);
    a.GetVariable("o").Push("a").Op(ACT_GET_MEMBER).Trace();
    a.GetVariable("o").Op(ACT_ENUMERATE2);
    Assembler::Label loop = a.NewLabel(), done = a.NewLabel();
    a.Bind(loop).StoreRegister(0).PushNull().Op(ACT_EQUALS2).If(done).PushRegister(0).Trace().Jump(loop).Bind(done);
    EXPECT_EQ(Play(a), "1\nb\n");
}

TEST(Avm1Builtins, IntervalsRunBetweenFrames) {
    Assembler tick;
    tick.Trace("tick").GetVariable("id").Push(1.0).Push("clearInterval").Op(ACT_CALL_FUNCTION).Op(ACT_POP);
    Assembler first;
    first.DefineFunction("tick", {}, tick);
    first.Push("id");
    PushArgs(first, {V("tick"), N(1)});
    first.Push("setInterval").Op(ACT_CALL_FUNCTION).Op(ACT_SET_VARIABLE);
    TestMovie movie;
    movie.frames.push_back(first.Bytes());
    movie.frames.push_back(Assembler().Trace("frame 2").Bytes());
    movie.frames.push_back(Assembler().Trace("frame 3").Op(ACT_STOP).Bytes());
    EXPECT_EQ(RunMovie(movie, 3), "tick\nframe 2\nframe 3\n");
}

} // namespace
