// The printf formatter on its own, then printf_exec on the datum stacks.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "commands/printfformat.h"
#include "runtime/exescr.h"
#include "support/codelist.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::popstr;

namespace {

std::wstring fmt(const wchar_t* format, printflist args)
{
    std::wstring out, error;
    EXPECT_TRUE(printfformat(format, args, out, error)) << "error: " << testing::PrintToString(error);
    EXPECT_FALSE(args.short_) << "the format took more arguments than given";
    return out;
}

std::wstring fmterror(const wchar_t* format, printflist args = {})
{
    std::wstring out, error;
    EXPECT_FALSE(printfformat(format, args, out, error));
    return error;
}

printflist n(int64_t v) { return printflist().num(v); }
printflist f(double v) { return printflist().dbl(v); }
printflist s(const wchar_t* v) { return printflist().str(v); }

}  // namespace

TEST(PrintfNumbers, IntegersPlainAndGrouped)
{
    EXPECT_EQ(fmt(L"%d", n(1234567)), L"1,234,567");
    EXPECT_EQ(fmt(L"%D", n(1234567)), L"1234567");
    EXPECT_EQ(fmt(L"%d", n(-1234)), L"-1,234");
    EXPECT_EQ(fmt(L"%d", n(-123)), L"-123") << "no comma after the sign";
    EXPECT_EQ(fmt(L"%d", n(1000)), L"1,000");
    EXPECT_EQ(fmt(L"%d", n(0)), L"0");
    EXPECT_EQ(fmt(L"%.3D", n(7)), L"7") << "integers have no fraction";
    EXPECT_EQ(fmt(L"%D", n(INT64_MIN)), L"-9223372036854775808");
    EXPECT_EQ(fmt(L"%d", n(INT64_MIN)), L"-9,223,372,036,854,775,808");
}

TEST(PrintfNumbers, DoublesTruncateTheirFraction)
{
    EXPECT_EQ(fmt(L"%d", f(2.5)), L"2.5");
    EXPECT_EQ(fmt(L"%d", f(3.0)), L"3") << "an integral double has no point";
    EXPECT_EQ(fmt(L"%.2d", f(1.0 / 3)), L"0.33");
    EXPECT_EQ(fmt(L"%d", f(1.0 / 3)), L"0.333333") << "six digits by default";
    EXPECT_EQ(fmt(L"%.1d", f(2.999)), L"2.9") << "truncated, not rounded";
    EXPECT_EQ(fmt(L"%.0d", f(2.5)), L"2.");
    EXPECT_EQ(fmt(L"%.D", f(2.5)), L"2.") << "a point without digits is precision 0";
    EXPECT_EQ(fmt(L"%.20D", f(0.5)), L"0.5") << "no trailing zeros";
    EXPECT_EQ(fmt(L"%D", f(-0.25)), L"-0.25");
    EXPECT_EQ(fmt(L"%D", f(-0.0)), L"0");
    EXPECT_EQ(fmt(L"%d", f(-1234567.5)), L"-1,234,567.5");
    EXPECT_EQ(fmt(L"%D", f(1e20)), L"100000000000000000000");
    EXPECT_EQ(fmt(L"%d", f(1e20)), L"100,000,000,000,000,000,000");
    EXPECT_EQ(fmt(L"%D", f(9007199254740993.0)), L"9007199254740992");
    // Every integer digit of a large double, exactly.
    EXPECT_EQ(fmt(L"%D", f(1e300)),
              L"1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375080447864"
              L"0437044438328838781769425232353604305756447921847867069828483872009265758037378302337947880900593689"
              L"53234970799945081119038967640880074652742780142494579258788820056842838115669472196386865459400540160");
    EXPECT_EQ(fmt(L"%D", f(-std::numeric_limits<double>::max())).size(), 310u);
}

TEST(PrintfNumbers, NanAndInfinitiesEndTheirDigits)
{
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(fmt(L"%d", f(std::nan(""))), L"nan");
    EXPECT_EQ(fmt(L"%D", f(-std::nan(""))), L"nan");
    EXPECT_EQ(fmt(L"%.3d", f(inf)), L"inf");
    EXPECT_EQ(fmt(L"%d", f(-inf)), L"-inf");
    EXPECT_EQ(fmt(L"%06D", f(-inf)), L"  -inf") << "no zeros inside a word";
    EXPECT_EQ(fmt(L"%-6D|", f(inf)), L"inf   |");
}

TEST(PrintfFields, WidthsPadOrCut)
{
    EXPECT_EQ(fmt(L"[%5D]", n(42)), L"[   42]");
    EXPECT_EQ(fmt(L"[%-5D]", n(42)), L"[42   ]");
    EXPECT_EQ(fmt(L"[%05D]", n(42)), L"[00042]");
    EXPECT_EQ(fmt(L"[%05D]", n(-42)), L"[-0042]") << "zeros after the sign";
    EXPECT_EQ(fmt(L"[%08.2d]", f(-1234.5)), L"[-1,234.5]") << "long enough: no padding";
    EXPECT_EQ(fmt(L"[%09.2d]", f(-1234.5)), L"[-01,234.5]");
    EXPECT_EQ(fmt(L"[%-05D]", n(-42)), L"[-42  ]") << "left-justified fields pad with blanks";
    EXPECT_EQ(fmt(L"[%3D]", n(123456)), L"[123]");
    EXPECT_EQ(fmt(L"[%3D]", n(-123456)), L"[-12]");
    EXPECT_EQ(fmt(L"[%2s]", s(L"abc")), L"[ab]");
    EXPECT_EQ(fmt(L"[%5s]", s(L"ab")), L"[   ab]");
    EXPECT_EQ(fmt(L"[%05s]", s(L"-b")), L"[000-b]") << "texts take zeros in front";
    EXPECT_EQ(fmt(L"[%04x]", n(255)), L"[00ff]");
    EXPECT_EQ(fmt(L"[%3c]", n(65)), L"[  A]");
}

TEST(PrintfConversions, HexCharactersAndTexts)
{
    EXPECT_EQ(fmt(L"%x", n(255)), L"ff");
    EXPECT_EQ(fmt(L"%x", n(0)), L"0");
    EXPECT_EQ(fmt(L"%x", n(-1)), L"ffffffffffffffff");
    EXPECT_EQ(fmt(L"%.2x", f(255.9)), L"ff") << "doubles truncate; precision ignored";
    EXPECT_EQ(fmt(L"%x", f(-1.5)), L"ffffffffffffffff");
    EXPECT_EQ(fmt(L"%x", f(9223372036854775808.0)), L"8000000000000000");
    EXPECT_EQ(fmt(L"%x", f(1e19)), L"8ac7230489e80000");
    EXPECT_EQ(fmt(L"%x", f(1e30)), L"8000000000000000");
    EXPECT_EQ(fmt(L"%c%c", printflist().num(72).dbl(105.9)), L"Hi");
    EXPECT_EQ(fmt(L"[%c]", n(0)), L"[]");
    EXPECT_EQ(fmt(L"%c", n(0x10041)), L"A") << "the low 16 bits";
    EXPECT_EQ(fmt(L"%s", s(L"it's")), L"it's");
    EXPECT_EQ(fmt(L"%S", s(L"it's")), L"it''s");
    EXPECT_EQ(fmt(L"%s and %D", printflist().str(L"%D").num(5)), L"%D and 5") << "fields are not scanned again";
    EXPECT_EQ(fmt(L"%s=%d, %s=%x", printflist().str(L"a").num(1000).str(L"b").num(16)), L"a=1,000, b=10");
}

TEST(PrintfConversions, PercentSigns)
{
    EXPECT_EQ(fmt(L"100%%", {}), L"100%");
    EXPECT_EQ(fmt(L"%%d%%", {}), L"%d%");
    EXPECT_EQ(fmt(L"no conversions", {}), L"no conversions");
}

TEST(PrintfConversions, BadFormatsReportTheirFatalMessage)
{
    EXPECT_EQ(fmterror(L"50%"), L"unsupportrd format.:");
    EXPECT_EQ(fmterror(L"a %q rest"), L"unsupportrd format.:q rest");
    EXPECT_EQ(fmterror(L"%t", s(L"x")), L"unsupportrd format.:t");
    EXPECT_EQ(fmterror(L"%0-5d", n(1)), L"unsupportrd format.:-5d") << "\"-\" must come first";
    EXPECT_EQ(fmterror(L"%00d", n(1)), L"field length 0 error.");
    EXPECT_EQ(fmterror(L"%-000d", n(1)), L"field length 0 error.");
    EXPECT_EQ(fmterror(L"%D then %00d", n(1)), L"field length 0 error.");
    EXPECT_EQ(fmt(L"[%0D]", n(7)), L"[7]") << "a zero flag without width";
}

TEST(PrintfConversions, FieldsOfMoreThanAMillionCharactersAreRefused)
{
    EXPECT_EQ(fmt(L"%1000000D", n(1)).size(), 1000000u) << "the bound itself is a width";
    EXPECT_EQ(fmt(L"%.1000000d", f(0.5)), L"0.5");
    EXPECT_EQ(fmterror(L"%1000001D", n(1)), L"field length 0 error.");
    EXPECT_EQ(fmterror(L"%2147483647d|", n(1)), L"field length 0 error.");
    EXPECT_EQ(fmterror(L"%99999999999999999999d", n(1)), L"field length 0 error.") << "digits saturate";
    EXPECT_EQ(fmterror(L"%.1000001d", f(0.5)), L"field length 0 error.");
    EXPECT_EQ(fmterror(L"%-5.2147483647s", s(L"x")), L"field length 0 error.");
}

TEST(PrintfExec, ArgumentsComeOffBothStacksFirstOnTop)
{
    ExeScr e;
    // printf("%s=%d %s|%D", "a", 1234, "b", 2.5) compiled last to first.
    e.pushdbl(2.5);
    e.pushstrtext(L"b", 1, 217);
    e.pushint(1234);
    e.pushstrtext(L"a", 1, 217);
    e.pushstrtext(L"%s=%d %s|%D", 11, 217);
    e.printf_exec();
    EXPECT_EQ(popstr(e), L"a=1,234 b|2.5");
    EXPECT_TRUE(e.datd.empty());
    EXPECT_TRUE(e.dats.empty());

    // Results past 64 characters travel in a heap buffer.
    const std::wstring long70(70, L'x');
    for (const std::wstring& arg : {std::wstring(64, L'y'), std::wstring(65, L'y'), long70}) {
        e.pushstrtext(arg.c_str(), arg.size(), 217);
        e.pushstrtext(L"%s", 2, 217);
        e.printf_exec();
        EXPECT_EQ(e.dats.top[-1].heap != nullptr, arg.size() > 64) << arg.size();
        EXPECT_EQ(popstr(e), arg);
    }
    e.freedatd();
    e.freedats();
    EXPECT_TRUE(e.allocs.empty()) << "blocks still held: " << e.allocs.size();
}

TEST(PrintfExec, BadFormatsAndMissingArgumentsAreFatal)
{
    EXPECT_EQ(expectfatal(fatalengine(),
                          [](ExeScr& x) {
                              x.pushstrtext(L"%q!", 3, 217);
                              x.printf_exec();
                          }),
              L"unsupportrd format.:q!");
    EXPECT_EQ(expectfatal(fatalengine(),
                          [](ExeScr& x) {
                              x.pushint(1);
                              x.pushstrtext(L"%00D", 4, 217);
                              x.printf_exec();
                          }),
              L"field length 0 error.");
    EXPECT_EQ(expectfatal(fatalengine(),
                          [](ExeScr& x) {
                              x.pushstrtext(L"%D", 2, 217);
                              x.printf_exec();
                          }),
              L"datd stack underflow");
}
