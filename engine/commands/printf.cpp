// Runtime of "printf": the formatter fed from the datum stacks.
#include <new>
#include <string>

#include "commands/printfformat.h"
#include "compiler/textscan.h"
#include "runtime/exescr.h"

namespace {

constexpr int32_t printfid = 2110;

// Arguments as the compiled code left them: the first one on top of each stack.
class stackargs final : public printfargs {
public:
    explicit stackargs(ExeScr& engine) : e(engine) {}
    datdcell number() override { return e.popd(); }
    std::wstring text() override
    {
        datscell* c = e.pops();
        std::wstring t = e.datstext(c);
        e.datsrelease(c);
        return t;
    }

private:
    ExeScr& e;
};

}  // namespace

void ExeScr::printf_exec()
{
    datscell* c = pops();
    const std::wstring format = datstext(c);
    datsrelease(c);
    stackargs args(*this);
    std::wstring out, error;
    bool done = false;
    try {
        done = printfformat(format.c_str(), args, out, error);
    } catch (const std::bad_alloc&) {
        // A width of a few billion characters: the allocator's own fatal error.
        mymallocfail(0, printfid);
    }
    if (!done)
        myerrexit(L"%s", error.c_str());
    pushstrtext(out.c_str(), out.size(), printfid);
}

// ---- front end: the format is a quoted literal, checked and counted here.

void ExeScr::printf_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    wchar_t* format = textscan::trimblanks(args);
    const size_t len = wcslen(format);
    if (len < 2 || (format[0] != L'"' && format[0] != L'\'') || format[len - 1] != format[0])
        comperr(L"format string error in printf.");
    // The text between the quotes, scanned for its conversions.
    wchar_t* close = format + len - 1;
    const wchar_t quote = *close;
    *close = 0;
    int32_t conversions = 0;
    for (const wchar_t* p = format + 1; *p; ++p) {
        if (*p != L'%')
            continue;
        if (p[1] == L'%') {
            ++p;
            continue;
        }
        ++p;
        if (*p == L'-')
            ++p;
        if (*p == L'0')
            ++p;
        if (*p >= L'0' && *p <= L'9') {
            int64_t width = 0;
            for (; *p >= L'0' && *p <= L'9'; ++p)
                width = width < INT32_MAX ? width * 10 + (*p - L'0') : width;
            if (width == 0 || width > printfmaxfield)
                myerrexit(L"%s", L"field length 0 error.");
        }
        if (*p == L'.') {
            int64_t precision = 0;
            for (++p; *p >= L'0' && *p <= L'9'; ++p)
                precision = precision < INT32_MAX ? precision * 10 + (*p - L'0') : precision;
            if (precision > printfmaxfield)
                myerrexit(L"%s", L"field length 0 error.");
        }
        switch (*p) {
        case L'd':
        case L'x':
        case L'c':
        case L'D':
            mypush2(1);
            break;
        case L's':
        case L'S':
        case L't':
            mypush2(2);
            break;
        default:
            myerrexit(L"%s:%s", L"unsupportrd format.", p);
        }
        ++conversions;
    }
    *close = quote;
    if (conversions != count - 1)
        comperr(L"number of arguments mismatch.");
    for (int32_t k = 0; k < conversions; ++k) {
        if (mypop2() == 1)
            nextnum(args);
        else
            nextstr(args);
    }
    nextstr(args);
    emitcell(&ExeScr::printf_exec);
}
