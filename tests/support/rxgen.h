// Random regular expressions for the fuzzers: patterns built from the
// engine's syntax (most of them well formed, some raw splinters), subjects of
// a few units that the patterns can meet (surrogate pairs and lone halves
// included), and substitution templates with references. Header-only: the
// in-process fuzzer links no test library.
#pragma once

#include <cstdint>
#include <iterator>
#include <random>
#include <string>

namespace qtest {

class rxgen {
public:
    explicit rxgen(uint32_t seed) : rng(seed) {}

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }
    bool chance(int percent) { return int(pick(100)) < percent; }

    std::wstring pattern()
    {
        if (chance(75))
            return structured(0);
        return joined(raw, std::size(raw), 12);
    }

    std::wstring subject()
    {
        static const wchar_t* const units[] = {L"a", L"a", L"b", L"c", L" ", L"\n", L"1", L"_",
                                               L"(", L"x", L"\xD83D\xDE00", L"\xD800", L"\xE9",
                                               L"\xDB40\xDC01", L"\xDFC0\xDE00"};
        return joined(units, std::size(units), 48);
    }

    std::wstring replacement()
    {
        static const wchar_t* const parts[] = {L"x", L"-", L"\\1", L"\\2", L"\\3", L"\\9", L"\\12", L"\\0",
                                               L"\\\\", L"\\", L"\\n", L"\xD83D\xDE00", L"\xDC00", L"",
                                               L"0123456789abcdef0123456789abcdef"};
        return joined(parts, std::size(parts), 10);
    }

    std::mt19937 rng;

private:
    static constexpr const wchar_t* atoms[] = {
        L"a", L"b", L"c", L".", L"\\d", L"\\w", L"\\s", L"\\W", L"\\b", L"\\B", L"[ab]", L"[^a]", L"[a-c-[b]]",
        L"[\\d_]", L"^", L"$", L"\\1", L"\\2", L"\\u{1F600}", L"\\u{61}", L"\\(", L"\\.", L"x", L" ",
        L"\\u{2FFFF}", L"[^\\w]", L"\\D",
    };
    static constexpr const wchar_t* heads[] = {L"(", L"(", L"(?:", L"(?=", L"(?!", L"(?<=", L"(?<!", L"(?>"};
    static constexpr const wchar_t* quantifiers[] = {L"*", L"+", L"?", L"*?", L"+?", L"??",
                                                     L"{2}", L"{0,3}", L"{1,}", L"{,2}", L"{2,3}?"};
    static constexpr const wchar_t* raw[] = {
        L"a", L"(", L")", L"|", L"*", L"+", L"?", L"{", L"}", L"[", L"]", L"-", L"^", L"\\", L"\\u{",
        L"(?R)", L"(?1)", L"(?2)", L"(?>", L"(?<", L"\\9", L"{3,1}", L"{255}", L"[^]", L"\\u{0}",
        L"\xD83D\xDE00",
    };

    // Fewer than `most` parts picked at random.
    std::wstring joined(const wchar_t* const* parts, size_t count, size_t most)
    {
        std::wstring s;
        for (size_t n = pick(most); n > 0; --n)
            s += parts[pick(count)];
        return s;
    }

    std::wstring structured(int depth)
    {
        std::wstring s;
        const size_t items = 1 + pick(4);
        for (size_t i = 0; i < items; ++i) {
            if (depth < 3 && chance(30))
                s += std::wstring(heads[pick(std::size(heads))]) + structured(depth + 1) + L")";
            else if (chance(4))
                s += chance(50) ? L"(?R)" : L"(?1)";
            else
                s += atoms[pick(std::size(atoms))];
            if (chance(30))
                s += quantifiers[pick(std::size(quantifiers))];
            if (chance(10))
                s += L"|";
        }
        return s;
    }
};

}  // namespace qtest
