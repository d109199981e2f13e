// Every compile error of statements and expressions: its exact text and the
// line it names. Each case is a whole script run until its fatal exit.
#include <gtest/gtest.h>

#include "support/scriptrun.h"

namespace {

struct errcase {
    const wchar_t* script;
    const wchar_t* message;  // the message of the log's one "Exiting..." line
};

// While compiling the line is part of the message; at run time the exit adds it.
void expecterrors(const char* what, std::initializer_list<errcase> cases, bool atrun = false)
{
    int n = 0;
    for (const errcase& c : cases) {
        const std::wstring log = qtest::runscript(L"err", c.script);
        EXPECT_EQ(qtest::narrow(std::wstring(L"Exiting... ") + c.message + (atrun ? L"\n" : L" \n")), qtest::narrow(log))
            << what << " case " << n << ":\n" << qtest::narrow(c.script);
        ++n;
    }
}

TEST(CompileErrors, StatementHeads)
{
    expecterrors("heads", {
        {L"x = 1\r\n)\r\n", L"syntax error at line 2:29:invalid token in the head"},
        {L"x = 1\r\nelse x = 2\r\n", L"syntax error at line 2:else:invalid token in the head"},
        {L"\r\nif x\r\n", L"syntax error at line 2:VAR:invalid token after if or while."},
        {L"while\r\n(1) x = 1\r\n", L"syntax error at line 1:a:invalid token after if or while."},
        {L"switch (1) x = 1\r\n", L"syntax error at line 1:VAR:missing { error."},
        {L"main x\r\n", L"syntax error at line 1:VAR:invalid token after main"},
        {L"main\r\n{\r\n}\r\nfunction f()\r\nx = 1\r\n", L"missing { error. at line 5"},
        {L"while (1) {\r\n  break 5\r\n}\r\n", L"syntax error at line 2:NUMINT:invalid token after command"},
        {L"x = 1\r\n}\r\n", L"syntax error at line 2:7d:open closure mismatch."},
    });
}

TEST(CompileErrors, SwitchCases)
{
    expecterrors("cases", {
        {L"switch (1) {\r\ncase x:\r\n}\r\n", L"syntax error at line 2:VAR:invalid token after case"},
        {L"switch (1) {\r\ncase 1 x = 2\r\n}\r\n", L"syntax error at line 2:VAR:invalid token after case"},
        {L"switch (1) {\r\ndefault x = 2\r\n}\r\n", L"syntax error at line 2:VAR:invalid token after case"},
        {L"x = 1\r\ncase 1:\r\n", L"no switch statement at line 2"},
        {L"x = 1\r\ndefault:\r\n", L"no switch statement at line 2"},
    });
}

TEST(CompileErrors, UnitEnds)
{
    expecterrors("ends", {
        {L"while (1) {\r\nx = 1\r\n", L"missing } or ) error in the end."},
        {L"x = 1\r\ngoto(nowhere)\r\n", L"unreduced token remains in the end.:292:"},
        {L"break\r\n", L"unreduced token remains in the end.:287:"},
        {L"switch (1) {\r\ncontinue\r\n}\r\n", L"unreduced token remains in the end.:288:"},
        {L"main {\r\n}\r\nx = 1\r\n", L"unknown part remains in the end."},
        {L"function f()\r\n{\r\n}\r\nx = 1\r\nmain {\r\n}\r\n", L"unknown part remains in the end."},
    });
}

TEST(CompileErrors, Expressions)
{
    expecterrors("expressions", {
        {L"1 2\r\n", L"syntax error at line 1:NUMINT:invalid token after number."},
        {L"x = 5 = 3\r\n", L"syntax error at line 1:3d:invalid token after number."},
        {L"x 5\r\n", L"syntax error at line 1:NUMINT:invalid token after variable."},
        {L"x = 1\r\ny = 1 + x \"a\"\r\n", L"syntax error at line 2:str:invalid token after variable."},
        {L"x = 1 + )\r\n", L"syntax error at line 1:29:invalid token after opecode."},
        {L"x = 1\r\n++(x)\r\n", L"syntax error at line 2:28:invalid token after opecode."},
        {L"x = 1\r\nz = x > 0 ? \"yes\" : \"no\"\r\n", L"syntax error at line 2:str:invalid token after opecode."},
        {L"x = ++5\r\n", L"syntax error at line 1:NUMINT:invalid opecode before NUM."},
        {L"\"a\" + \"b\"\r\n", L"syntax error at line 1:2b:invalid token in string mode."},
        {L"x = 1)\r\n", L"syntax error at line 1:29:open closure mismatch."},
        {L"x = (1 + 2\r\n", L"missing ). at line 1"},
        {L"x = 1 + localvar(a)\r\n", L"wrong type of function is called. at line 1"},
        {L"x = 1\r\n\r\ny = foo(1)\r\n", L"Not supported function call.:foo at line 3"},
    });
}

// An error inside a part that the compiler hands to itself again (a for
// header, an array index) names the line of the statement that holds it.
TEST(CompileErrors, NestedTextsReportTheStatementLine)
{
    expecterrors("nested", {
        {L"x = 1\r\n\r\nfor (i = 0; i < 3) x++\r\n", L"the number of argument mismatch. at line 3"},
        {L"x = 1\r\n\r\nfor (i = 0; i < ; i++) x++\r\n", L"syntax error at line 3:0:invalid token after opecode."},
        {L"x = 1\r\n\r\na[1 +] = 2\r\n", L"syntax error at line 3:0:invalid token after opecode."},
        {L"x = 1\r\nfor (i = 0; i < 3; i +) {\r\n x++\r\n}\r\n", L"syntax error at line 2:0:invalid token after opecode."},
        {L"functstr f()\r\n{\r\n  return(1)\r\n}\r\nmain {\r\n}\r\n", L"invalid return type error. at line 3"},
        {L"function f()\r\n{\r\n  retstr(\"a\")\r\n}\r\nmain {\r\n}\r\n", L"invalid return type error. at line 3"},
    });
}

// A lexical error met inside a command's argument text (the dispatcher's
// copy of it, however deeply nested) names the line of its statement, not a
// place in the copy.
TEST(CompileErrors, ArgumentTextsReportTheStatementLine)
{
    expecterrors("arguments", {
        {L"a[1] = 4\r\n\r\ny = sqrt(a[1)\r\nx = 1\r\nx = 2\r\n", L"Cannot find ] error at line 3"},
        {L"x = 1\r\n\r\ny = pow(2, sqrt(a[1))\r\nx = 1\r\nx = 2\r\n", L"Cannot find ] error at line 3"},
        {L"x = 1\r\n\r\nprintf(\"%d\", a[1)\r\nx = 1\r\nx = 2\r\n", L"Cannot find ] error at line 3"},
        {L"x = 1\r\n\r\nfor (i = 0; i < a[1; i++) x++\r\nx = 2\r\n", L"Cannot find ] error at line 3"},
        {L"function f(n)\r\n{\r\n  return(n)\r\n}\r\nmain {\r\n  y = f(a[1)\r\n}\r\n\r\n", L"Cannot find ] error at line 6"},
        {L"x = 1\r\n\r\ny = sqrt(#endif)\r\nx = 1\r\nx = 2\r\n", L"no preceding #if at line 3"},
    });
}

// A word with an index group and "(" right behind it is a call: "monrect[...]"
// goes to its own front end, any other such word is looked up as a function.
TEST(CompileErrors, IndexedWordsAreCalls)
{
    expecterrors("indexed", {
        {L"x = 1\r\ny = monrect[0].width()\r\n", L"Not supported parameter. at line 2:width:"},
        {L"a[1] = 2\r\nx = a[1](2)\r\n", L"Not supported function call.:a[1] at line 2"},
    });
}

TEST(RunErrors, NameTheLineOfTheFailingStatement)
{
    expecterrors("run", {
        {L"x = 1\r\n\r\ny = z + 1\r\n", L"undefined variable.:z at line 3"},
        {L"main {\r\n  x = 2\r\n  if (x == 2)\r\n    y = 1 / (x - 2)\r\n}\r\n", L"division by zero at line 4"},
        {L"x = 0\r\nwhile (x < 2)\r\n  x++\r\nx = 1 / (x - 2)\r\n", L"division by zero at line 4"},
        {L"x = 0\r\ndo\r\n  x++\r\nwhile (x < 2)\r\nif (x == 1) x = 0\r\nelse\r\n  x = 1 / (x - 2)\r\n", L"division by zero at line 7"},
    }, true);
}

}  // namespace
