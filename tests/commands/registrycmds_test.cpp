// Registry commands run as scripts under a key of this test alone below
// HKEY_CURRENT_USER, which the test deletes whole afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/scriptrun.h"

namespace {

// "Software\QuorvelTests\reg-<process>-<tick>": made by the scripts, deleted
// with everything below it when the test ends.
class testkey {
public:
    testkey()
    {
        wchar_t name[80];
        _snwprintf(name, 80, L"Software\\QuorvelTests\\reg-%lu-%llu", GetCurrentProcessId(),
                   static_cast<unsigned long long>(GetTickCount64()));
        path = name;
        // As a script literal: backslashes doubled.
        for (wchar_t c : path)
            literal += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    }
    ~testkey()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
        // The common parent goes too once no other test's key is below it.
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QuorvelTests");
    }
    testkey(const testkey&) = delete;
    testkey& operator=(const testkey&) = delete;

    std::wstring path;
    std::wstring literal;
};

// Replaces every "@K" of a script text by the key's literal.
std::wstring withkey(std::wstring text, const testkey& k)
{
    for (size_t at = text.find(L"@K"); at != std::wstring::npos; at = text.find(L"@K", at + k.literal.size()))
        text.replace(at, 2, k.literal);
    return text;
}

bool keyexists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

TEST(Registry, WriteReadAndDeleteStrings)
{
    testkey k;
    const std::wstring script = withkey(
        L"r = \"HKEY_CURRENT_USER\"\r\n"
        L"regaddstr(r, \"@K\\\\A\\\\B\", \"v\", \"hello\")\r\n"
        L"\"\" reggetstr(r, \"@K\\\\A\\\\B\", \"v\")\r\n"
        L"regaddstr(r, \"@K\", \"\", \"default\")\r\n"
        L"\"\" reggetstr(r, \"@K\", \"\")\r\n"
        L"regaddstr(r, \"@K\", \"empty\", \"\")\r\n"
        L"printf(\"[%s]\\n\", reggetstr(r, \"@K\", \"empty\"))\r\n"
        L"printf(\"[%s]\\n\", reggetstr(r, \"@K\", \"missing\"))\r\n"
        L"printf(\"[%s]\\n\", reggetstr(r, \"@K\\\\none\", \"v\"))\r\n"
        L"regdel(r, \"@K\\\\A\\\\B\", \"v\")\r\n"
        L"regdel(r, \"@K\\\\A\\\\B\", \"v\")\r\n"
        L"regdel(r, \"@K\\\\none\", \"v\")\r\n",
        k);
    const std::wstring log = qtest::runscript(L"regstrings", script);
    const std::wstring p = k.path;
    const std::wstring expected =
        L"regaddstr: root:HKEY_CURRENT_USER path:" + p + L"\\A\\B: key:v: str:hello:Success. \n"
        L"reggetstr: root:HKEY_CURRENT_USER path:" + p + L"\\A\\B: key:v:Success. \n"
        L"\thello\n"
        L"regaddstr: root:HKEY_CURRENT_USER path:" + p + L": key:: str:default:Success. \n"
        L"reggetstr: root:HKEY_CURRENT_USER path:" + p + L": key::Success. \n"
        L"\tdefault\n"
        L"regaddstr: root:HKEY_CURRENT_USER path:" + p + L": key:empty: str::Success. \n"
        L"reggetstr: root:HKEY_CURRENT_USER path:" + p + L": key:empty:Success. \n"
        L"[]\n"
        L"reggetstr: root:HKEY_CURRENT_USER path:" + p + L": key:missing:Fail. \n"
        L"[]\n"
        L"reggetstr: root:HKEY_CURRENT_USER path:" + p + L"\\none: key:v:Fail. \n"
        L"[]\n"
        L"regdel: root:HKEY_CURRENT_USER path:" + p + L"\\A\\B: key:v:Success. \n"
        L"regdel: root:HKEY_CURRENT_USER path:" + p + L"\\A\\B: key:v:Fail. \n"
        L"regdel: root:HKEY_CURRENT_USER path:" + p + L"\\none: key:v:Fail. \n";
    EXPECT_EQ(qtest::narrow(log), qtest::narrow(expected));
    EXPECT_TRUE(keyexists(p + L"\\A\\B")) << "regdel deletes the value, never the key";
    EXPECT_FALSE(keyexists(p + L"\\none"));
}

TEST(Registry, StoredWithoutTerminatorAndReadAtEveryLength)
{
    testkey k;
    // 64 characters fill the inline room exactly; 65 and 100 take the second read.
    const std::wstring script = withkey(
        L"r = \"HKEY_CURRENT_USER\"\r\n"
        L"t = \"1234567890123456789012345678901234567890123456789012345678901234\"\r\n"
        L"regaddstr(r, \"@K\", \"s64\", t)\r\n"
        L"regaddstr(r, \"@K\", \"s65\", t \"5\")\r\n"
        L"regaddstr(r, \"@K\", \"s100\", t \"567890123456789012345678901234567890\")\r\n",
        k);
    qtest::runscript(L"regwrite", script);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, k.path.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"s65", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_GE(size, 130u);
    // Data written elsewhere with its terminator, and data of another type,
    // come back as their code units.
    const wchar_t withnul[] = L"ends";
    RegSetValueExW(key, L"withnul", 0, REG_SZ, reinterpret_cast<const BYTE*>(withnul), sizeof withnul);
    const DWORD number = 0x00420041;  // "AB"
    RegSetValueExW(key, L"number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    const BYTE odd[3] = {'x', 0, 'y'};
    RegSetValueExW(key, L"odd", 0, REG_BINARY, odd, 3);
    RegCloseKey(key);

    const std::wstring read = withkey(
        L"r = \"HKEY_CURRENT_USER\"\r\n"
        L"printf(\"%D %D %D\\n\", strlen(reggetstr(r, \"@K\", \"s64\")), strlen(reggetstr(r, \"@K\", \"s65\")), "
        L"strlen(reggetstr(r, \"@K\", \"s100\")))\r\n"
        L"s = reggetstr(r, \"@K\", \"s100\")\r\n"
        L"printf(\"%s\\n\", cutstr(s, 90))\r\n"
        L"printf(\"%s %s %s\\n\", reggetstr(r, \"@K\", \"withnul\"), reggetstr(r, \"@K\", \"number\"), "
        L"reggetstr(r, \"@K\", \"odd\"))\r\n",
        k);
    const std::wstring log = qtest::runscript(L"regread", read);
    const std::wstring at = L"reggetstr: root:HKEY_CURRENT_USER path:" + k.path + L": key:";
    const std::wstring expected = at + L"s100:Success. \n" + at + L"s65:Success. \n" + at + L"s64:Success. \n" +
                                  L"64 65 100\n" + at + L"s100:Success. \n" + L"1234567890\n" + at +
                                  L"odd:Success. \n" + at + L"number:Success. \n" + at +
                                  L"withnul:Success. \n" + L"ends AB xy\n";
    EXPECT_EQ(qtest::narrow(log), qtest::narrow(expected));
}

TEST(Registry, RootsAreExactTexts)
{
    qtest::expectexits(L"regroot", {
        {L"regaddstr(\"hkey_current_user\", \"Software\", \"v\", \"x\")\r\n",
         L"invalid root string : hkey_current_user at line 1"},
        {L"x = 1\r\ns = reggetstr(\"HKCU\", \"Software\", \"v\")\r\n", L"invalid root string : HKCU at line 2"},
        {L"regdel(\"\", \"Software\", \"v\")\r\n", L"invalid root string :  at line 1"},
    }, true);
    qtest::expectexits(L"regcount", {
        {L"regaddstr(\"HKEY_CURRENT_USER\", \"Software\", \"v\")\r\n", L"the number of argument mismatch. at line 1"},
        {L"s = reggetstr(\"HKEY_CURRENT_USER\", \"Software\")\r\n", L"the number of argument mismatch. at line 1"},
        {L"regdel(\"HKEY_CURRENT_USER\", \"Software\", \"v\", \"x\")\r\n", L"the number of argument mismatch. at line 1"},
    });
}

TEST(Registry, FailuresUnderAnotherRootAreLoggedOnly)
{
    // No right to write there in an ordinary account, or no such key: a
    // "Fail." line either way, and the script goes on.
    const std::wstring log = qtest::runscript(
        L"regother", L"s = reggetstr(\"HKEY_CURRENT_CONFIG\", \"No\\\\Such\\\\Key\", \"v\")\r\n"
                     L"printf(\"[%s] %D\\n\", s, 7)\r\n");
    EXPECT_EQ(qtest::narrow(log), "reggetstr: root:HKEY_CURRENT_CONFIG path:No\\Such\\Key: key:v:Fail. \n[] 7\n");
}
