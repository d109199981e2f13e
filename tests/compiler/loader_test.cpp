// The loader's declaration passes, symbol tables and line mapping.
#include <gtest/gtest.h>

#include "compiler/scriptsource.h"
#include "runtime/exescr.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::scriptsource;

namespace {

// Declares a script in a fresh engine and keeps both for the checks.
struct declared {
    ExeScr e;
    scriptsource src;
    explicit declared(const std::wstring& text, const wchar_t* thread = nullptr) : src(text)
    {
        if (thread) {
            e.threadmode = 1;
            e.threadblock = thread;
        }
        e.declarescript(src.text());
    }
    ~declared()
    {
        e.freefunctbl();
        e.freeblocktbl();
        e.freestrtbls();
        e.freevartable();
    }
    std::vector<std::wstring> functions() const
    {
        std::vector<std::wstring> names;
        for (const funcrec& f : e.functable)
            names.push_back(f.name);
        return names;
    }
    const funcrec& fn(const wchar_t* name) const
    {
        for (const funcrec& f : e.functable)
            if (std::wstring(f.name) == name)
                return f;
        static funcrec none{};
        ADD_FAILURE() << "no function";
        return none;
    }
};

using names = std::vector<std::wstring>;

std::wstring declerror(const std::wstring& text, const wchar_t* thread = nullptr)
{
    ExeScr& e = fatalengine();
    auto* src = new scriptsource(text);
    if (thread) {
        e.threadmode = 1;
        e.threadblock = thread;
    }
    return expectfatal(e, [src](ExeScr& x) { x.declarescript(src->text()); });
}

}  // namespace

TEST(Loader, TopLevelScriptsGetTheNullFunction)
{
    declared d(L"x = 1\r\nlocalvar(a)\r\nfunction f(p)\r\n{\r\n}\r\n");
    EXPECT_EQ(d.functions(), (names{L"f", L"null"}));
    EXPECT_EQ(d.fn(L"null").localnames.count(), 1);
    EXPECT_EQ(d.fn(L"null").module, 0u);
    EXPECT_EQ(d.e.curfunc, 1);
    EXPECT_EQ(d.e.compiling, 0u);
}

TEST(Loader, FunctionsBeforeAndAfterMainAreDeclared)
{
    declared d(L"function a(str s, t, num u)\n{\n localvar(v, w)\n}\nmain\n{\n localvar(m)\n}\n"
               L"functstr b()\n{\n}\nfunction a()\n{\n}\n");
    EXPECT_EQ(d.functions(), (names{L"a", L"b", L"a", L"main"})) << "same-named functions get two records";
    const funcrec& a = d.e.functable[0];
    EXPECT_EQ(a.paramcount, 3u);
    ASSERT_EQ(a.localnames.count(), 5);
    EXPECT_EQ(a.localnames.base[0].kind, 2u);
    EXPECT_EQ(a.localnames.base[1].kind, 1u);
    EXPECT_EQ(a.localnames.base[2].kind, 1u);
    EXPECT_EQ(std::wstring(a.localnames.base[4].name), L"w");
    EXPECT_EQ(d.e.functable[1].functstr, 1u);
    EXPECT_EQ(d.fn(L"main").localnames.count(), 1) << "main's locals are its own";
}

TEST(Loader, MainIsFoundBehindCommentsStatementsAndCalls)
{
    declared d(L"// note\nx = 1\nprint(x)\n\nmain\n{\n localvar(m)\n}\n");
    EXPECT_EQ(d.functions(), (names{L"main"}));
    EXPECT_EQ(d.fn(L"main").localnames.count(), 1);
}

TEST(Loader, LocalLookupsCountFromTheTop)
{
    declared d(L"function f()\n{\n localvar(first, second)\n localfp(fp)\n localdir(dir1, dir2)\n}\n");
    d.e.curfunc = 0;
    EXPECT_EQ(d.e.findlocalvar(L"first"), -2);
    EXPECT_EQ(d.e.findlocalvar(L"second"), -1);
    EXPECT_EQ(d.e.findlocalvar(L"third"), 0);
    EXPECT_EQ(d.e.findlocalsym2(L"fp"), -1);
    EXPECT_EQ(d.e.findlocalsym3(L"dir1"), -2);
    d.e.curfunc = -1;
    EXPECT_EQ(d.e.findlocalvar(L"first"), 0);
}

TEST(Loader, LongNamesAreCutTo21Characters)
{
    declared d(L"function abcdefghijklmnopqrstuvwxyz(parameterabcdefghijklmnop)\n{\n}\n");
    EXPECT_EQ(std::wstring(d.e.functable[0].name), L"abcdefghijklmnopqrstu");
    d.e.curfunc = 0;
    EXPECT_EQ(d.e.findlocalvar(L"parameterabcdefghijklXYZ"), -1);
}

TEST(Loader, ThreadsOfAMainScript)
{
    declared d(L"function before()\n{\n}\nmain\n{\n}\nthread worker(str name, n)\n{\n}\n"
               L"function after()\n{\n}\nthread other()\n{\n}\n");
    EXPECT_EQ(d.functions(), (names{L"before", L"main"})) << "the first thread block ends the declarations";
    ASSERT_EQ(d.e.blocktable.size(), 2u);
    EXPECT_EQ(std::wstring(d.e.blocktable[0].name), L"worker");
    ASSERT_EQ(d.e.blocktable[0].params.count(), 2);
    EXPECT_EQ(d.e.blocktable[0].params.base[0].kind, 2u);
    EXPECT_EQ(d.e.blocktable[0].params.base[1].kind, 1u);
}

TEST(Loader, AScriptThreadDeclaresItsOwnBlock)
{
    declared d(L"thread first(a)\n{\n}\nfunction mine()\n{\n}\nthread second(b)\n{\n}\nfunction theirs()\n{\n}\n",
               L"first");
    EXPECT_EQ(d.functions(), (names{L"mine", L"main"})) << "declared on line 1; stops at the next thread";
    EXPECT_EQ(d.fn(L"main").paramcount, 1u);
    declared s(L"x\nthread one()\n{\n}\nthread two(str t)\n{\n}\nfunction f()\n{\n}\n", L"two");
    EXPECT_EQ(s.functions(), (names{L"f", L"main"}));
    EXPECT_EQ(s.e.blocktable.size(), 1u) << "passes begin at the thread's own line";
}

TEST(Loader, AThreadWithALongNameIsFoundByItsFirst21Characters)
{
    declared d(L"x\nthread worker_with_a_long_name_here(n)\n{\n}\n", L"worker_with_a_long_na");
    EXPECT_EQ(d.functions(), (names{L"main"}));
    EXPECT_EQ(d.fn(L"main").paramcount, 1u);
}

// The pre-scan hides a comment's lines in a skipped branch as the lexer does.
TEST(Loader, ACommentInASkippedBranchHidesItsDirectives)
{
    declared d(L"#if 0\n/*\n#endif\n*/\nfunction hidden()\n{\n}\n#endif\nx = 1\n");
    EXPECT_EQ(d.functions(), (names{L"null"}));
}

TEST(Loader, PreScanSeesOnlyTheFirstTokenOfALine)
{
    declared d(L"x = 1 /* comment\nfunction f()\n*/\n");
    EXPECT_EQ(d.functions(), (names{L"f", L"null"}));
}

TEST(Loader, DeclarationErrors)
{
    EXPECT_EQ(declerror(L"function g(a b)\n{\n}\n"), L"syntax error at line 1:VAR:invalid token in arguments.");
    EXPECT_EQ(declerror(L"x\nfunction g(a, 5)\n{\n}\n"), L"syntax error at line 2:35:invalid token in arguments.");
    EXPECT_EQ(declerror(L"function\n"), L"syntax error at line 1:a:invalid token after function.");
    EXPECT_EQ(declerror(L"thread a()\n{\n}\n", L"b").substr(0, 35), L" Thread function not founded error.");
}

TEST(LineMapping, SourcePositionsAndCodeCells)
{
    declared d(L"a\r\nbb\r\nccc");
    std::vector<lineitem>& lines = d.e.functable.back().lines;
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].srcoffset, 4);
    EXPECT_EQ(lines[3].line, 3);
    EXPECT_EQ(lines[3].srcoffset, 11);
    const wchar_t* t = d.src.text();
    EXPECT_EQ(d.e.lineofsrc(t - 1), 0) << "the very start";
    EXPECT_EQ(d.e.lineofsrc(t + 1), 1);
    EXPECT_EQ(d.e.lineofsrc(t + 3), 1) << "the first character of a line reports the line before";
    EXPECT_EQ(d.e.lineofsrc(t + 4), 2);
    EXPECT_EQ(d.e.lineofsrc(t + 10), 3) << "the end of the text";

    EXPECT_EQ(d.e.lineofcode(5), -1) << "no line has code yet";
    lines[0].codeidx = 2;
    lines[2].codeidx = 7;
    EXPECT_EQ(d.e.lineofcode(1), -1);
    EXPECT_EQ(d.e.lineofcode(3), 1);
    EXPECT_EQ(d.e.lineofcode(7), 1) << "ip stands past the cell: the first cell of line 3 is 7";
    EXPECT_EQ(d.e.lineofcode(8), 3);
}
