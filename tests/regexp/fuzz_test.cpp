// Random patterns and subjects, bounded in count and time: no crash (every
// subject ends right before an inaccessible page), no hang, no leak, and only
// results and limit messages the engine can give.
#include <chrono>
#include <random>
#include <set>

#include "regexp/rxtest.h"
#include "support/scriptrun.h"

namespace {

const char* const atoms[] = {
    "a", "b", "c", ".", "\\d", "\\w", "\\s", "\\W", "\\b", "\\B", "[ab]", "[^a]", "[a-c-[b]]",
    "[\\d_]", "^", "$", "\\1", "\\2", "\\u{1F600}", "\\u{61}", "\\(", "\\.", "x", " ", "\\u{2FFFF}",
    "[^\\w]", "\\D",
};
const char* const heads[] = {"(", "(", "(?:", "(?=", "(?!", "(?<=", "(?<!", "(?>"};
const char* const quantifiers[] = {"*", "+", "?", "*?", "+?", "??", "{2}", "{0,3}", "{1,}", "{,2}", "{2,3}?"};
const char* const raw[] = {
    "a", "(", ")", "|", "*", "+", "?", "{", "}", "[", "]", "-", "^", "\\", "\\u{", "(?R)", "(?1)",
    "(?2)", "(?>", "(?<", "\\9", "{3,1}", "{255}", "[^]", "\\u{0}", "\xF0\x9F\x98\x80",
};

class Fuzz : public qtest::rxtest {
protected:
    // QUORVEL_FUZZ_SEED picks another sequence; QUORVEL_FUZZ_TRACE writes each
    // case to standard error before it runs, to find one that hangs.
    std::mt19937 rng{getenv("QUORVEL_FUZZ_SEED") ? uint32_t(atoi(getenv("QUORVEL_FUZZ_SEED"))) : 20240611u};
    const bool trace = getenv("QUORVEL_FUZZ_TRACE") != nullptr;

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }
    bool chance(int percent) { return int(pick(100)) < percent; }

    std::string structured(int depth)
    {
        std::string s;
        const size_t items = 1 + pick(4);
        for (size_t i = 0; i < items; ++i) {
            if (depth < 3 && chance(30))
                s += std::string(heads[pick(std::size(heads))]) + structured(depth + 1) + ")";
            else if (chance(4))
                s += chance(50) ? "(?R)" : "(?1)";
            else
                s += atoms[pick(std::size(atoms))];
            if (chance(30))
                s += quantifiers[pick(std::size(quantifiers))];
            if (chance(10))
                s += "|";
        }
        return s;
    }

    std::wstring pattern()
    {
        std::string s;
        if (chance(75)) {
            s = structured(0);
        } else {
            for (size_t n = pick(12); n > 0; --n)
                s += raw[pick(std::size(raw))];
        }
        return qtest::widen(s);
    }

    std::wstring subject()
    {
        static const wchar_t* const units[] = {L"a", L"a", L"b", L"c", L" ", L"\n", L"1", L"_",
                                               L"(", L"x", L"\xD83D\xDE00", L"\xD800", L"\xE9",
                                               L"\xDB40\xDC01", L"\xDFC0\xDE00"};
        std::wstring s;
        for (size_t n = pick(48); n > 0; --n)
            s += units[pick(std::size(units))];
        return s;
    }
};

TEST_F(Fuzz, RandomPatternsAndSubjects)
{
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    char* mem = static_cast<char*>(VirtualAlloc(nullptr, si.dwPageSize * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(mem + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &old);
    wchar_t* pageend = reinterpret_cast<wchar_t*>(mem + si.dwPageSize);

    const std::set<int> results = {1, 0, rxdeep, rxanchor, rxbad1, rxbad2, rxfatal};
    const std::set<std::wstring> messages = {L"split table overflow error", L"Too much restore number error.",
                                             L"critical rgexp overflow error.", L"combination mismatch of ()  \n"};
    const auto begin = std::chrono::steady_clock::now();
    auto slowest = std::chrono::steady_clock::duration::zero();
    int runs = 0, matches = 0;
    for (; runs < 30000 && std::chrono::steady_clock::now() - begin < std::chrono::seconds(20); ++runs) {
        const std::wstring p = pattern(), s = subject();
        wchar_t* text = pageend - (s.size() + 1);
        wmemcpy(text, s.c_str(), s.size() + 1);
        rx->usesubject(text);
        const uint32_t start = chance(80) ? 0 : uint32_t(pick(s.size() + 3));
        const uint32_t end = chance(80) ? 0xFFFFFFFF : uint32_t(pick(s.size() + 3));
        const uint32_t flags = chance(10) ? 1 : 0;

        if (trace) {
            fprintf(stderr, "%d [%s] [%s] %u %u %u\n", runs, qtest::narrow(p).c_str(),
                    qtest::narrow(s).c_str(), start, end, flags);
            fflush(stderr);
        }
        const auto t0 = std::chrono::steady_clock::now();
        const int r = rx->regexmatch(flags, p.c_str(), start, end);
        slowest = std::max(slowest, std::chrono::steady_clock::now() - t0);

        const std::string what = qtest::narrow(p) + " on \"" + qtest::narrow(s) + "\"";
        ASSERT_TRUE(results.count(r)) << r << ": " << what;
        for (const std::wstring& m : fatals)
            ASSERT_TRUE(messages.count(m)) << qtest::narrow(m) << ": " << what;
        EXPECT_EQ(r == rxfatal, !fatals.empty()) << what;
        fatals.clear();
        if (r == 1) {
            ++matches;
            ASSERT_TRUE(rx->mstart >= text && rx->mstart <= rx->mend && rx->mend <= text + s.size()) << what;
            ASSERT_LE(rx->ncaps, rxmaxcaptures) << what;
            for (uint32_t k = 0; k < rx->ncaps; ++k)
                ASSERT_TRUE(rx->caps[k].text >= text && rx->caps[k].text + rx->caps[k].len <= text + s.size())
                    << what;
        }
        // The object's blocks are reused, never piled up.
        ASSERT_LE(eng.allocs.size(), 12u) << what;
    }
    VirtualFree(mem, 0, MEM_RELEASE);
    EXPECT_GT(runs, 1000);
    EXPECT_GT(matches, runs / 10);
    EXPECT_LT(slowest, std::chrono::seconds(2));
    printf("%d patterns, %d matched, slowest %lld ms\n", runs, matches,
           static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count()));
}

}  // namespace
