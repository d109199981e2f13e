// Runtime of "printf": the formatter fed from the datum stacks.
#include <new>
#include <string>

#include "commands/printfformat.h"
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
