// The formatter behind "printf": a format text and its arguments in, the built
// text out. Window-free, so it can be used and tested without an engine.
//
// A conversion is "%" [-] [0] [width] [.precision] letter, the letters being
// D (number), d (number with thousands commas), c (character code), x (hex
// pattern), s (text) and S (text with single quotes doubled); "%%" is one "%".
// With a width the field has exactly that many characters: longer texts are
// cut, shorter ones padded (blanks on the right with "-", zeros with "0" after
// any sign, else blanks on the left). Fractions are truncated digit by digit,
// never rounded, and end early when nothing is left.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/datum.h"

// Where the formatter takes one argument per conversion, left to right.
class printfargs {
public:
    virtual datdcell number() = 0;
    virtual std::wstring text() = 0;

protected:
    ~printfargs() = default;
};

// Widths and precisions above this are refused like a width of 0: a field of
// billions of characters would only exhaust memory.
constexpr int32_t printfmaxfield = 1000000;

// Builds the text of `format` into `out` and returns true; on a bad format
// returns false with the fatal message in `error` ("field length 0 error.", or
// "unsupportrd format." followed by ":" and the format from the bad letter).
bool printfformat(const wchar_t* format, printfargs& args, std::wstring& out, std::wstring& error);

// The decimal text of one number into `out`: an integer without fraction, a
// double with up to `precision` fraction digits (-1: 6); mode 1 puts a comma
// between groups of three integer digits. NaN and infinities give "nan",
// "inf" and "-inf".
void formatfield(const datdcell& value, int32_t precision, int mode, std::wstring& out);

// An argument list held in memory: numbers and texts each taken in order.
// A list that runs short gives 0 and "" and sets `short_`.
class printflist final : public printfargs {
public:
    printflist& num(int64_t v);
    printflist& dbl(double v);
    printflist& str(std::wstring v);
    datdcell number() override;
    std::wstring text() override;
    bool short_ = false;

private:
    std::vector<datdcell> nums;
    std::vector<std::wstring> texts;
    size_t nextnum = 0, nexttext = 0;
};
