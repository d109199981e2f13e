// What the regular-expression tests share: an engine, one RegExp made as a
// script's named object, and a fatal handler that records the limit messages
// instead of ending the process, so that a test can see them and go on.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regexp/regexp.h"
#include "runtime/exescr.h"

namespace qtest {

class rxtest : public testing::Test {
protected:
    void SetUp() override
    {
        rx = RegExp::make(eng);
        rx->onfatal = recordfatal;
        rx->fatalctx = this;
    }

    void TearDown() override
    {
        RegExp::destroy(eng, rx);
        EXPECT_TRUE(eng.allocs.empty()) << "blocks still held: " << eng.allocs.size();
    }

    static void recordfatal(void* ctx, const wchar_t* msg)
    {
        static_cast<rxtest*>(ctx)->fatals.push_back(msg);
    }

    // Searches `subject` (copied into the object) from `start`.
    int match(const wchar_t* pattern, const wchar_t* subject, uint32_t start = 0,
              uint32_t end = 0xFFFFFFFF)
    {
        rx->setsubject(subject);
        return rx->regexmatch(0, pattern, start, end);
    }

    // Only level 1; 1 valid.
    int tokens(const wchar_t* pattern) { return rx->regextokens(pattern); }

    std::wstring matched() const
    {
        return rx->mend ? std::wstring(rx->mstart, rx->mend) : L"<none>";
    }
    uint32_t matchoffset() const { return uint32_t(rx->mstart - rx->subject); }
    std::wstring capture(uint32_t n) const
    {
        return n >= 1 && n <= rx->ncaps ? std::wstring(rx->caps[n - 1].text, rx->caps[n - 1].len)
                                        : L"<none>";
    }
    // Every capture record, joined with "|".
    std::wstring captures() const
    {
        std::wstring s;
        for (uint32_t i = 0; i < rx->ncaps; ++i) {
            if (i)
                s += L"|";
            s += std::wstring(rx->caps[i].text, rx->caps[i].len);
        }
        return s;
    }

    ExeScr eng;
    RegExp* rx = nullptr;
    std::vector<std::wstring> fatals;
};

}  // namespace qtest
