// The peer corpus (tests/regexp/data, see its README): every record is
// compiled, searched from offset 0 and compared with the expected match and
// capture records.
#include <fstream>
#include <sstream>

#include "regexp/rxtest.h"
#include "support/scriptrun.h"

namespace {

int hexval(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "%-" is the empty text, "%HH" one code unit, "%{H...}" any code point.
std::wstring decode(const std::string& f)
{
    if (f == "%-")
        return L"";
    std::wstring out;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%') {
            out += wchar_t(static_cast<unsigned char>(f[i]));
            continue;
        }
        if (i + 1 < f.size() && f[i + 1] == '{') {
            uint32_t cp = 0;
            size_t j = i + 2;
            for (; j < f.size() && f[j] != '}'; ++j)
                cp = cp * 16 + uint32_t(hexval(f[j]));
            if (cp >= 0x10000) {
                out += wchar_t(0xD800 + ((cp - 0x10000) >> 10));
                out += wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                out += wchar_t(cp);
            }
            i = j;
            continue;
        }
        out += wchar_t(hexval(f[i + 1]) * 16 + hexval(f[i + 2]));
        i += 2;
    }
    return out;
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> fields;
    std::string cur;
    for (char c : line) {
        if (c == '\t') {
            fields.push_back(cur);
            cur.clear();
        } else if (c != '\r') {
            cur += c;
        }
    }
    fields.push_back(cur);
    return fields;
}

class PeerCorpus : public qtest::rxtest {};

TEST_F(PeerCorpus, EveryRecordPasses)
{
    std::ifstream in(qtest::hostpath(QUORVEL_REGEX_CORPUS).c_str(), std::ios::binary);
    ASSERT_TRUE(in.good()) << "cannot read " << QUORVEL_REGEX_CORPUS;
    std::string line;
    int records = 0, failed = 0;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        const std::vector<std::string> f = split(line);
        ASSERT_GE(f.size(), 4u) << line;
        ++records;
        const std::wstring pattern = decode(f[1]), subject = decode(f[2]);
        const int r = match(pattern.c_str(), subject.c_str());
        std::string why;
        if (f[3] == "nomatch") {
            if (r != 0 && r != rxanchor)
                why = "expected no match, got " + std::to_string(r) + " " + qtest::narrow(matched());
        } else if (r != 1) {
            why = "expected a match, got " + std::to_string(r);
        } else if (matched() != decode(f[5])) {
            why = "match \"" + qtest::narrow(matched()) + "\", expected \"" + f[5] + "\"";
        } else if (f[4] != "-") {
            const uint32_t n = uint32_t(std::stoul(f[4]));
            if (rx->ncaps != n) {
                why = "captures " + qtest::narrow(captures()) + " (" + std::to_string(rx->ncaps) +
                      "), expected " + f[4];
            } else {
                for (uint32_t k = 1; k <= n && why.empty(); ++k)
                    if (capture(k) != decode(f[5 + k]))
                        why = "capture " + std::to_string(k) + " \"" + qtest::narrow(capture(k)) +
                              "\", expected \"" + f[5 + k] + "\"";
            }
        }
        if (!why.empty()) {
            ++failed;
            ADD_FAILURE() << f[0] << " /" << f[1] << "/ on \"" << f[2] << "\": " << why;
        }
        EXPECT_TRUE(fatals.empty()) << f[0] << ": " << qtest::narrow(fatals.front());
        fatals.clear();
    }
    EXPECT_EQ(records, 862);
    EXPECT_EQ(failed, 0);
}

}  // namespace
