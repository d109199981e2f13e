// Runs every script of tests/scripts and compares its log with the .expected
// file beside it. Scripts are kept as UTF-8 with LF line ends in the repository;
// the test hands them over as the host would: UTF-16 with CR LF. Each runs with
// the segment pass and without it: both logs must be the expected one.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/lineends.h"
#include "support/scriptrun.h"

namespace {

std::wstring scriptdir()
{
    return qtest::buildfolder(QUORVEL_SCRIPT_DIR);
}

using qtest::readtext;

std::vector<std::string> listscripts()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((scriptdir() + L"*.tst").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring n = fd.cFileName;
        names.push_back(qtest::narrow(n.substr(0, n.size() - 4)));
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

class Script : public testing::TestWithParam<std::string> {};

TEST_P(Script, LogMatchesExpected)
{
    const std::wstring base = scriptdir() + qtest::widen(GetParam());
    const std::wstring crlf = qtest::crlf(qtest::widen(readtext(base + L".tst")));
    const std::string expected = readtext(base + L".expected");
    const std::string log = qtest::narrow(qtest::runscript(qtest::widen(GetParam()), crlf));
    EXPECT_EQ(expected, log) << "script " << GetParam();
    qtest::segpasson = false;
    const std::string plain = qtest::narrow(qtest::runscript(qtest::widen(GetParam()), crlf));
    qtest::segpasson = true;
    EXPECT_EQ(log, plain) << "script " << GetParam() << ", without the segment pass";
}

INSTANTIATE_TEST_SUITE_P(Scripts, Script, testing::ValuesIn(listscripts()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(Scripts, FolderHoldsScripts)
{
    EXPECT_FALSE(listscripts().empty()) << qtest::narrow(scriptdir());
}

}  // namespace
