// "wmiproc" against the WMI of the system (root\cimv2 answers under Wine,
// root\WMI has no rows), the values it stores, and "getsysteminfo".
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <type_traits>

#include "commands/syscommon.h"
#include "runtime/exescr.h"
#include "support/codelist.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::hasline;
using qtest::popstr;
using qtest::runop;
using qtest::runscript;

namespace {


const varrec& element(ExeScr& e, const wchar_t* name, const wchar_t* suffix, uint32_t i1, int32_t n = 1,
                      uint32_t i2 = 0)
{
    return *e.varat(e.listvar(name, suffix, n, i1, i2));
}

// A one-dimensional safe array of `vt` holding `values`.
template <class T>
SAFEARRAY* makearray(VARTYPE vt, std::initializer_list<T> values)
{
    SAFEARRAY* sa = SafeArrayCreateVector(vt, 0, static_cast<ULONG>(values.size()));
    LONG k = 0;
    for (T v : values) {
        if constexpr (std::is_same_v<T, BSTR>)
            SafeArrayPutElement(sa, &k, v);  // a BSTR is passed as itself
        else
            SafeArrayPutElement(sa, &k, &v);
        ++k;
    }
    return sa;
}

void givebackall(ExeScr& e)
{
    e.wmiproc_free();
    e.freenametbls();
    qtest::releaseall(e);
}

}  // namespace

TEST(Wmi, ReadsPropertiesOfEveryRow)
{
    const std::wstring log = runscript(L"wmiread", L"wmiproc(init, 'root\\cimv2', 'Select * From Win32_OperatingSystem')\n"
                                                   L"wmiproc( item , \"os\", \"Caption\")\n"
                                                   L"wmiproc(item, \"prim\", \"Primary\")\n"
                                                   L"wmiproc(item, \"lang\", \"OSLanguage\")\n"
                                                   L"r = wmiproc(read)\n"
                                                   L"printf(\"%D %D\\n\", r, wmicnt())\n"
                                                   L"printf(\"%D %D %D\\n\", strlen(os[0]) > 0, prim[0], lang[0] > 0)\n"
                                                   L"wmiproc(init, 'root\\cimv2', 'Select * From Win32_Process')\n"
                                                   L"wmiproc(item, \"pid\", \"ProcessId\")\n"
                                                   L"r = wmiproc(read)\n"
                                                   L"printf(\"%D %D\\n\", r, wmicnt() > 1)\n");
    EXPECT_EQ(log, L"1 1\n1 255 1\n1 1\n") << "a true boolean reads 255";
}

TEST(Wmi, ArrayPropertiesFillCountsAndElements)
{
    // ChassisTypes is an array of integers: "ct[]"[0] holds VT_ARRAY | VT_I4.
    const std::wstring log = runscript(L"wmiarray", L"wmiproc(init, 'root\\cimv2', 'Select * From Win32_SystemEnclosure')\n"
                                                    L"wmiproc(item, \"ct\", \"ChassisTypes\")\n"
                                                    L"r = wmiproc(read)\n"
                                                   L"printf(\"%D %D\\n\", r, wmicnt())\n"
                                                    L"printf(\"%D %D %D\\n\", ct[0], ct_cnt[0], def(ct[0][0]))\n");
    EXPECT_EQ(log, L"1 1\n8195 1 1\n");
}

TEST(Wmi, AnUnreadablePropertyEndsItsRow)
{
    const std::wstring log = runscript(L"wmibad", L"wmiproc(init, 'root\\cimv2', 'Select * From Win32_OperatingSystem')\n"
                                                  L"wmiproc(item, \"cap\", \"Caption\")\n"
                                                  L"wmiproc(item, \"bad\", \"NoSuchPropertyHere\")\n"
                                                  L"wmiproc(item, \"after\", \"Version\")\n"
                                                  L"r = wmiproc(read)\n"
                                                   L"printf(\"%D %D\\n\", r, wmicnt())\n"
                                                  L"printf(\"%D %D\\n\", def(cap[0]), def(after[0]))\n");
    EXPECT_EQ(log, L"--FAILED hr \n0 1\n1 0\n");
}

TEST(Wmi, NamespaceWithoutRowsReadsNothing)
{
    const std::wstring log = runscript(L"wmiempty", L"wmiproc(init, 'root\\WMI', 'Select * From WmiMonitorID')\n"
                                                    L"wmiproc(item, \"name\", \"UserFriendlyName\")\n"
                                                    L"r = wmiproc(read)\n"
                                                   L"printf(\"%D %D\\n\", r, wmicnt())\n");
    EXPECT_EQ(log, L"0 0\n");
}

TEST(Wmi, ReadNeedsInitAndItemAndAWorkingQuery)
{
    std::wstring log = runscript(L"wmiorder", L"wmiproc(init, 'root\\cimv2', 'Select * From Win32_OperatingSystem')\n"
                                              L"wmiproc(read)\n");
    EXPECT_NE(log.find(L"No call for init or item error."), std::wstring::npos) << qtest::narrow(log);
    log = runscript(L"wmiorder2", L"wmiproc(item, \"a\", \"Caption\")\nwmiproc(read)\n");
    EXPECT_NE(log.find(L"No call for init or item error."), std::wstring::npos) << qtest::narrow(log);
    log = runscript(L"wmiquery", L"wmiproc(init, 'root\\cimv2', 'Select from where')\n"
                                 L"wmiproc(item, \"a\", \"Caption\")\nwmiproc(read)\n");
    EXPECT_NE(log.find(L"ExecQuery Error"), std::wstring::npos) << qtest::narrow(log);
    log = runscript(L"wmins", L"wmiproc(init, 'root\\nowhere', 'Select * From Win32_OperatingSystem')\n"
                              L"wmiproc(item, \"a\", \"Caption\")\nwmiproc(read)\n");
    EXPECT_NE(log.find(L"ConnectServer Error"), std::wstring::npos) << qtest::narrow(log);
}

TEST(Wmi, FrontEndChecksWordsAndCounts)
{
    EXPECT_NE(runscript(L"wmiw1", L"wmiproc(reads)\n").find(L"Not supported parameter."), std::wstring::npos);
    EXPECT_NE(runscript(L"wmiw2", L"wmiproc( , \"a\", \"b\")\n").find(L"invalid name."), std::wstring::npos);
    EXPECT_NE(runscript(L"wmiw3", L"wmiproc(read, \"a\")\n").find(L"the number of argument mismatch."),
              std::wstring::npos);
    EXPECT_NE(runscript(L"wmiw4", L"wmiproc(item, \"a\")\n").find(L"the number of argument mismatch."),
              std::wstring::npos);
}

TEST(Wmi, ScalarsKeepTheirKind)
{
    ExeScr e;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = 3.75;
    e.wmistorevalue(v, L"real", 0);
    EXPECT_EQ(element(e, L"real", L"[]", 0).isint, 0u) << "a real stays a real";
    EXPECT_EQ(element(e, L"real", L"[]", 0).d, 3.75);
    v.vt = VT_R4;
    v.fltVal = -0.5f;
    e.wmistorevalue(v, L"real", 1);
    EXPECT_EQ(element(e, L"real", L"[]", 1).d, -0.5);
    v.vt = VT_I8;
    v.llVal = -(1ll << 40);
    e.wmistorevalue(v, L"wide", 0);
    EXPECT_EQ(element(e, L"wide", L"[]", 0).i, -(1ll << 40));
    v.vt = VT_I2;
    v.llVal = 0x12345678FFFFll;  // only the low 16 bits belong to the value
    e.wmistorevalue(v, L"short", 0);
    EXPECT_EQ(element(e, L"short", L"[]", 0).i, -1);
    v.vt = VT_UI4;
    v.llVal = 0;
    v.ulVal = 4000000000u;
    e.wmistorevalue(v, L"short", 1);
    EXPECT_EQ(element(e, L"short", L"[]", 1).i, 4000000000ll);
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    e.wmistorevalue(v, L"flag", 0);
    v.boolVal = VARIANT_FALSE;
    e.wmistorevalue(v, L"flag", 1);
    EXPECT_EQ(element(e, L"flag", L"[]", 0).i, 255);
    EXPECT_EQ(element(e, L"flag", L"[]", 1).i, 0);
    v.vt = VT_NULL;
    e.wmistorevalue(v, L"flag", 2);
    EXPECT_EQ(element(e, L"flag", L"[]", 2).state, varnum);
    EXPECT_EQ(element(e, L"flag", L"[]", 2).i, 0);

    // A long text goes to a heap copy of its own.
    const std::wstring longtext(200, L'w');
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(longtext.c_str());
    e.wmistorevalue(v, L"text", 0);
    VariantClear(&v);
    EXPECT_EQ(element(e, L"text", L"[]", 0).state, varstr);
    EXPECT_EQ(std::wstring(e.heapof(&element(e, L"text", L"[]", 0))), longtext);
    givebackall(e);
}

TEST(Wmi, ArrayElementsAreReadWithTheirOwnSize)
{
    ExeScr e;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_R8;
    v.parray = makearray<double>(VT_R8, {1.5, -2.25, 1e300});
    e.wmistorevalue(v, L"r", 0);
    VariantClear(&v);
    EXPECT_EQ(element(e, L"r", L"[]", 0).d, static_cast<double>(VT_ARRAY | VT_R8));
    EXPECT_EQ(element(e, L"r", L"_cnt[]", 0).i, 3);
    EXPECT_EQ(element(e, L"r", L"[][]", 0, 2, 1).isint, 0u);
    EXPECT_EQ(element(e, L"r", L"[][]", 0, 2, 1).d, -2.25);
    EXPECT_EQ(element(e, L"r", L"[][]", 0, 2, 2).d, 1e300);

    v.vt = VT_ARRAY | VT_I8;
    v.parray = makearray<LONGLONG>(VT_I8, {1ll << 40, -1});
    e.wmistorevalue(v, L"w", 3);
    VariantClear(&v);
    EXPECT_EQ(element(e, L"w", L"_cnt[]", 3).i, 2);
    EXPECT_EQ(element(e, L"w", L"[][]", 3, 2, 0).i, 1ll << 40);
    EXPECT_EQ(element(e, L"w", L"[][]", 3, 2, 1).i, -1);

    v.vt = VT_ARRAY | VT_BSTR;
    BSTR a = SysAllocString(L"first");
    BSTR b = SysAllocString(std::wstring(100, L'b').c_str());
    v.parray = makearray<BSTR>(VT_BSTR, {a, b});
    SysFreeString(a);
    SysFreeString(b);
    e.wmistorevalue(v, L"s", 0);
    VariantClear(&v);
    EXPECT_EQ(element(e, L"s", L"[]", 0).d, 8200.0) << "VT_ARRAY | VT_BSTR";
    EXPECT_EQ(element(e, L"s", L"_cnt[]", 0).i, 2);
    EXPECT_STREQ(e.vartext(&element(e, L"s", L"[][]", 0, 2, 0)), L"first");
    EXPECT_EQ(std::wstring(e.vartext(&element(e, L"s", L"[][]", 0, 2, 1))), std::wstring(100, L'b'));

    // Variants inside an array: each read by its own type, then cleared.
    v.vt = VT_ARRAY | VT_VARIANT;
    v.parray = SafeArrayCreateVector(VT_VARIANT, 0, 3);
    VARIANT item;
    LONG k = 0;
    VariantInit(&item);
    item.vt = VT_BSTR;
    item.bstrVal = SysAllocString(L"inner");
    SafeArrayPutElement(v.parray, &k, &item);
    VariantClear(&item);
    k = 1;
    item.vt = VT_R8;
    item.dblVal = 0.125;
    SafeArrayPutElement(v.parray, &k, &item);
    k = 2;
    item.vt = VT_I4;
    item.lVal = -7;
    SafeArrayPutElement(v.parray, &k, &item);
    e.wmistorevalue(v, L"m", 0);
    VariantClear(&v);
    EXPECT_STREQ(e.vartext(&element(e, L"m", L"[][]", 0, 2, 0)), L"inner");
    EXPECT_EQ(element(e, L"m", L"[][]", 0, 2, 1).d, 0.125);
    EXPECT_EQ(element(e, L"m", L"[][]", 0, 2, 2).i, -7);

    v.vt = VT_ARRAY | VT_BOOL;
    v.parray = makearray<VARIANT_BOOL>(VT_BOOL, {VARIANT_TRUE, VARIANT_FALSE});
    e.wmistorevalue(v, L"b", 0);
    VariantClear(&v);
    EXPECT_EQ(element(e, L"b", L"[][]", 0, 2, 0).i, 255);
    EXPECT_EQ(element(e, L"b", L"[][]", 0, 2, 1).i, 0);

    v.vt = VT_ARRAY | VT_I2;
    v.parray = makearray<SHORT>(VT_I2, {-5, 7});
    e.wmistorevalue(v, L"i", 0);
    VariantClear(&v);
    EXPECT_EQ(element(e, L"i", L"[][]", 0, 2, 0).i, -5);

    // An empty array counts 0 elements.
    v.vt = VT_ARRAY | VT_I4;
    v.parray = SafeArrayCreateVector(VT_I4, 0, 0);
    e.wmistorevalue(v, L"none", 0);
    VariantClear(&v);
    EXPECT_EQ(element(e, L"none", L"_cnt[]", 0).i, 0);
    givebackall(e);
}

TEST(Wmi, ArrayNamesAreCutToTwentyCharacters)
{
    ExeScr e;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 1;
    // 19 characters: "%s[]" cut to 20 keeps only the opening bracket.
    e.wmistorevalue(v, L"abcdefghijklmnopqrs", 0);
    bool found = false;
    for (const arrayrec* a = e.arrays.base; a < e.arrays.top; ++a)
        found = found || wcscmp(a->name, L"abcdefghijklmnopqrs[") == 0;
    EXPECT_TRUE(found);
    givebackall(e);
}

TEST(Wmi, ItemTableGrowsAndIsGivenBack)
{
    ExeScr e;
    const std::wstring longname(80, L'p');
    for (int k = 0; k < 70; ++k)
        e.wmiproc_additem(L"a_name_longer_than_twenty", k == 3 ? longname.c_str() : L"Caption");
    EXPECT_EQ(e.wmiitems.count(), 70);
    EXPECT_STREQ(e.wmiitems.base[0].name, L"a_name_longer_than_t");
    EXPECT_EQ(std::wstring(e.wmiitems.base[3].value), longname);
    EXPECT_EQ(qtest::countid(e, 1922), 1u);
    e.wmiitemsclear();
    EXPECT_EQ(qtest::countid(e, 1922), 0u);
    EXPECT_EQ(e.wmiitems.count(), 0);
    e.wmiproc_additem(L"x", longname.c_str());
    e.wmiproc_free();
    EXPECT_EQ(qtest::countid(e, 1921), 0u);
    EXPECT_EQ(qtest::countid(e, 1922), 0u);
    qtest::releaseall(e);
}

TEST(SystemInfo, SelectorsGiveTextsOrNothing)
{
    ExeScr e;
    auto info = [&e](int64_t selector, int64_t index, int32_t count) {
        if (count == 2)
            e.pushint(index);
        e.pushint(selector);
        runop(e, &ExeScr::getsysteminfo_exec, count);
        return popstr(e);
    };
    EXPECT_EQ(info(4, 0, 2), L"");
    EXPECT_EQ(info(-1, 0, 1), L"");
    EXPECT_EQ(info(3, 0, 2), L"") << "root\\WMI has no monitor rows";
    EXPECT_EQ(info(1, 11, 2), L"") << "at most 11 endpoints";
    EXPECT_EQ(info(0, 6, 2), L"");
    info(0, 0, 1);  // a description only where the system knows one
    if (qtest::hasaudio()) {
        EXPECT_NE(info(1, 0, 2), L"") << "the first active output";
        EXPECT_NE(info(2, 0, 1), L"") << "the default output";
        EXPECT_EQ(info(1, 10, 2), L"");
    }
    qtest::releaseall(e);
}

TEST(SystemInfo, FrontEndTakesOneOrTwoNumbers)
{
    EXPECT_EQ(runscript(L"sysinfo", L"printf(\"[%s]\\n\", getsysteminfo(4))\n"), L"[]\n");
    EXPECT_NE(runscript(L"sysinfo3", L"getsysteminfo(1, 2, 3)\n").find(L"the number of argument mismatch."),
              std::wstring::npos);
}

TEST(Wmi, RunEndGivesBackTheItemTable)
{
    // A property name of more than 64 characters has a block of its own; the
    // run's end must give back both it and the table, or the leak report
    // ends the run with a fatal error.
    const std::wstring log = qtest::runfile(L"wmirunend", L"wmiproc(init, 'root\\cimv2', 'Select * From Win32_OperatingSystem')\n"
                                                          L"wmiproc(item, \"a\", \"Caption_with_a_name_far_longer_than_sixty_four_characters_in_all\")\n"
                                                          L"printf(\"items\\n\")\n");
    EXPECT_NE(log.find(L"items\r\n"), std::wstring::npos) << qtest::narrow(log);
    EXPECT_NE(log.find(L"Quorvel end"), std::wstring::npos) << qtest::narrow(log);
    EXPECT_EQ(log.find(L"[box]"), std::wstring::npos) << qtest::narrow(log);
}
