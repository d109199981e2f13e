// The peer corpus of tests/regexp/data (its README gives the format): one
// record per line, a pattern, a subject and what a search from offset 0 finds.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "support/scriptrun.h"

namespace qtest {

struct corpusrecord {
    std::string id;
    std::wstring pattern, subject;
    bool matches = false;
    // The capture records when they are checked, else -1.
    int ncap = -1;
    // The matched text, then capture records 1 to ncap.
    std::vector<std::wstring> texts;
};

inline int corpushex(char c)
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
inline std::wstring corpusdecode(const std::string& f)
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
                cp = cp * 16 + uint32_t(corpushex(f[j]));
            if (cp >= 0x10000) {
                out += wchar_t(0xD800 + ((cp - 0x10000) >> 10));
                out += wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                out += wchar_t(cp);
            }
            i = j;
            continue;
        }
        out += wchar_t(corpushex(f[i + 1]) * 16 + corpushex(f[i + 2]));
        i += 2;
    }
    return out;
}

inline std::vector<std::string> corpusfields(const std::string& line)
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

// Every record of the corpus file; a line too short to be one is left out
// and counted in `bad`.
inline std::vector<corpusrecord> readcorpus(int& bad)
{
    std::vector<corpusrecord> records;
    bad = 0;
    std::ifstream in(hostpath(QUORVEL_REGEX_CORPUS).c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        const std::vector<std::string> f = corpusfields(line);
        if (f.size() < 4 || (f[3] == "match" && f.size() < 6)) {
            ++bad;
            continue;
        }
        corpusrecord r;
        r.id = f[0];
        r.pattern = corpusdecode(f[1]);
        r.subject = corpusdecode(f[2]);
        r.matches = f[3] == "match";
        if (r.matches) {
            r.ncap = f[4] == "-" ? -1 : std::stoi(f[4]);
            for (size_t k = 5; k < f.size(); ++k)
                r.texts.push_back(corpusdecode(f[k]));
            if (r.ncap >= 0 && r.texts.size() != size_t(r.ncap) + 1) {
                ++bad;
                continue;
            }
        }
        records.push_back(r);
    }
    return records;
}

}  // namespace qtest
