// Random patterns and subjects, bounded in count and time: no crash (every
// subject ends right before an inaccessible page), no hang, no leak, and only
// results and limit messages the engine can give.
#include <chrono>
#include <random>
#include <set>

#include "regexp/rxtest.h"
#include "support/rxgen.h"
#include "support/scriptrun.h"

namespace {

class Fuzz : public qtest::rxtest {
protected:
    // QUORVEL_FUZZ_SEED picks another sequence; QUORVEL_FUZZ_TRACE writes each
    // case to standard error before it runs, to find one that hangs.
    qtest::rxgen gen{getenv("QUORVEL_FUZZ_SEED") ? uint32_t(atoi(getenv("QUORVEL_FUZZ_SEED"))) : 20240611u};
    const bool trace = getenv("QUORVEL_FUZZ_TRACE") != nullptr;

    size_t pick(size_t n) { return gen.pick(n); }
    bool chance(int percent) { return gen.chance(percent); }
    std::wstring pattern() { return gen.pattern(); }
    std::wstring subject() { return gen.subject(); }
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

namespace {

// Substitutions of random templates: the same bounds, and a result text that
// is whole (its length as counted; the position behind a first-only
// replacement inside it).
TEST_F(Fuzz, RandomSubstitutions)
{
    const std::set<int> results = {1, 0, rxdeep, rxanchor, rxbad1, rxbad2, rxfatal};
    const auto begin = std::chrono::steady_clock::now();
    int runs = 0, replaced = 0;
    for (; runs < 10000 && std::chrono::steady_clock::now() - begin < std::chrono::seconds(10); ++runs) {
        const std::wstring p = pattern(), s = subject(), t = gen.replacement();
        const uint32_t flags = uint32_t(pick(32)) & ~8u;
        const uint32_t start = chance(80) ? 0 : chance(10) ? 0xFFFFFFFF : uint32_t(pick(s.size() + 3));
        const int r = rx->regexsubs(flags, p.c_str(), t.c_str(), s.c_str(), start);
        const std::string what = qtest::narrow(p) + " / " + qtest::narrow(t) + " on \"" + qtest::narrow(s) + "\"";
        ASSERT_TRUE(results.count(r)) << r << ": " << what;
        EXPECT_EQ(r == rxfatal, !fatals.empty()) << what;
        fatals.clear();
        if (r == 1)
            ++replaced;
        ASSERT_EQ(wcslen(rx->resulttext()), rx->resultlength()) << what;
        if (r == 1 && (flags & 16)) {
            ASSERT_LE(rx->afterpos, rx->resultlength()) << what;
        }
        ASSERT_LE(eng.allocs.size(), 13u) << what;
    }
    EXPECT_GT(runs, 1000);
    EXPECT_GT(replaced, runs / 10);
}

}  // namespace
