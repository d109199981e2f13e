// The script words "match", "matchstr", "matchval", "subs" and "subsstr":
// what their front ends refuse, the fatal errors of their runtimes, the names
// of their objects, and the peer corpus searched by a script.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "regexp/corpus.h"
#include "support/scriptrun.h"

namespace {

using qtest::narrow;

TEST(RegexpWords, ArgumentCountsAreChecked)
{
    const wchar_t* const mismatch = L"the number of argument mismatch. at line 2";
    qtest::expectexits(L"rxcount", {
        {L"x = 1\r\nr = match(a, \"x\")\r\n", mismatch},
        {L"x = 1\r\nr = match(a, \"x\", \"y\", 0, 1, 2)\r\n", mismatch},
        {L"x = 1\r\nr = subs(a, \"x\", \"y\")\r\n", mismatch},
        {L"x = 1\r\nr = subs(a, \"x\", \"y\", s, 0, n, 1)\r\n", mismatch},
        {L"r = match(a, \"x\", \"y\")\r\ns = matchstr(a)\r\n", mismatch},
        {L"r = match(a, \"x\", \"y\")\r\nv = matchval(a, 0, 1)\r\n", mismatch},
        {L"r = match(a, \"x\", \"y\")\r\nv = matchval(a)\r\n", mismatch},
    });
}

TEST(RegexpWords, NamesAreCheckedAndLookedUp)
{
    qtest::expectexits(L"rxname", {
        {L"r = match(1a, \"x\", \"y\")\r\n", L"invalid name. at line 1"},
        {L"r = match( , \"x\", \"y\")\r\n", L"invalid name. at line 1"},
        {L"r = subs(_a, \"x\", \"y\", s)\r\n", L"invalid name. at line 1"},
        {L"r = subs(a, \"x\", \"y\", 2s)\r\n", L"invalid name. at line 1"},
        // Only "match" and "subs" make a name, and only above the reader.
        {L"s = matchstr(b, 0)\r\n", L"invalid name. at line 1"},
        {L"v = matchval(b, 0)\r\n", L"invalid name. at line 1"},
        {L"s = subsstr(b)\r\n", L"invalid name. at line 1"},
        {L"r = match(a, \"x\", \"y\")\r\ns = subsstr(b)\r\n", L"invalid name. at line 2"},
        {L"s = subsstr(a)\r\nr = subs(a, \"x\", \"y\", s)\r\n", L"invalid name. at line 1"},
    });
}

TEST(RegexpWords, ArgumentsOfTheWrongKind)
{
    qtest::expectexits(L"rxkind", {
        {L"r = match(a, \"x\", \"y\")\r\nv = matchval(a, )\r\n", L"invalid number error. at line 2"},
        {L"r = match(a, \"x\", \"y\")\r\ns = matchstr(a, )\r\n", L"invalid number error. at line 2"},
        {L"r = match(a, \"x\", \"y\", )\r\n", L"invalid number error. at line 1"},
        {L"s = \"\"\r\nr = subs(a, \"x\", \"y\", s, )\r\n", L"invalid number error. at line 2"},
    });
}

TEST(RegexpWords, TheSubjectOfSubsMustBeAStringVariable)
{
    qtest::expectexits(L"rxvariable", {
        {L"n = 12\r\nr = subs(a, \"1\", \"x\", n)\r\n", L"invalid variable:n at line 2"},
        {L"r = subs(a, \"1\", \"x\", never)\r\n", L"invalid variable:never at line 1"},
        {L"s = \"ab\"\r\nr = subs(a, \"(a)\", \"\\\\2\", s)\r\n", L"invalid capref number error.\n at line 2"},
    }, true);
}

// Names are kept and compared on their first 21 characters; every word reads
// the object its name made, whatever the word that made it.
TEST(RegexpWords, ObjectsByName)
{
    const std::wstring log = qtest::runscript(
        L"rxnames",
        L"r = match(abcdefghijklmnopqrstuXYZ, \"b+\", \"abbbc\")\r\n"
        L"printf(\"%d [%s]\\n\", r, matchstr(abcdefghijklmnopqrstuQQ, 0))\r\n"
        L"s = \"x-y\"\r\n"
        L"r = subs(other, \"-\", \"+\", s)\r\n"
        L"r = match(other, , )\r\n"
        L"printf(\"%d [%s] [%s] %d\\n\", r, matchstr(other, 0), subsstr(other), matchval(other, 0))\r\n");
    EXPECT_EQ(narrow(log), "1 [bbb]\n1 [-] [x+y] 1\n");
}

// A script made from the peer corpus searches every record with "match" and
// reads the match and its captures back with "matchstr" and "matchval". The
// patterns and subjects reach "match" as string arguments of a function.
TEST(RegexpWords, ThePeerCorpusThroughAScript)
{
    int bad = 0;
    const std::vector<qtest::corpusrecord> records = qtest::readcorpus(bad);
    ASSERT_FALSE(records.empty());
    const wchar_t sep = 0x2016;  // no text of the corpus holds it
    const auto quoted = [](const std::wstring& t) {
        std::wstring q = L"'";
        for (wchar_t c : t) {
            q += c;
            if (c == L'\'')
                q += L'\'';
        }
        return q + L"'";
    };
    // Functions are compiled before main: the one that reads the object makes
    // it too.
    std::wstring script =
        L"function show(i, str p, str s)\r\n{\r\n    localvar(k, t, r)\r\n    r = match(c, p, s)\r\n"
        L"    t = \"\" i \"\x2016\" r\r\n    if (r == 1)\r\n    {\r\n        t = t \"\x2016\" matchstr(c, 0)\r\n"
        L"        for (k = 1; k <= matchval(c, 2); k++)\r\n            t = t \"\x2016\" matchstr(c, k)\r\n"
        L"    }\r\n    printf(\"%s\\n\", t)\r\n    return(0)\r\n}\r\nmain\r\n{\r\n";
    std::vector<size_t> used;
    for (size_t k = 0; k < records.size(); ++k) {
        const qtest::corpusrecord& rec = records[k];
        // Line ends and other control characters cannot stand in a literal.
        bool plain = true;
        for (wchar_t c : rec.pattern + rec.subject)
            plain = plain && c >= 0x20 && c != 0x7F;
        if (!plain)
            continue;
        used.push_back(k);
        script += L"    x = show(" + std::to_wstring(k) + L", " + quoted(rec.pattern) + L", " + quoted(rec.subject) +
                  L")\r\n";
    }
    script += L"}\r\n";
    ASSERT_GT(used.size(), records.size() * 9 / 10);

    const std::wstring log = qtest::runscript(L"rxcorpus", script);
    std::map<size_t, std::vector<std::wstring>> lines;
    std::wistringstream in(log);
    std::wstring line;
    while (std::getline(in, line)) {
        std::vector<std::wstring> fields;
        size_t from = 0;
        for (size_t at; (at = line.find(sep, from)) != std::wstring::npos; from = at + 1)
            fields.push_back(line.substr(from, at - from));
        fields.push_back(line.substr(from));
        if (fields.size() < 2 || fields[0].empty() || fields[0].find_first_not_of(L"0123456789") != std::wstring::npos)
            ADD_FAILURE() << "unexpected log line: " << narrow(line);
        else
            lines[std::stoul(fields[0])] = std::vector<std::wstring>(fields.begin() + 1, fields.end());
    }
    EXPECT_EQ(lines.size(), used.size());
    int failed = 0;
    for (size_t k : used) {
        const qtest::corpusrecord& rec = records[k];
        const auto found = lines.find(k);
        if (found == lines.end())
            continue;
        const std::vector<std::wstring>& got = found->second;
        bool ok;
        if (!rec.matches) {
            ok = got.size() == 1 && (got[0] == L"0" || got[0] == L"-4");
        } else if (rec.ncap < 0) {
            ok = got.size() >= 2 && got[0] == L"1" && got[1] == rec.texts[0];
        } else {
            std::vector<std::wstring> want{L"1"};
            want.insert(want.end(), rec.texts.begin(), rec.texts.end());
            ok = got == want;
        }
        if (!ok) {
            ++failed;
            std::wstring all;
            for (const std::wstring& g : got)
                all += L"|" + g;
            ADD_FAILURE() << rec.id << " /" << narrow(rec.pattern) << "/ on \"" << narrow(rec.subject)
                          << "\": the script logged " << narrow(all);
        }
    }
    EXPECT_EQ(failed, 0);
}

}  // namespace
