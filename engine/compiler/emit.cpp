// Appending cells to the code list, and the compile-error reports.
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "runtime/exescr.h"

namespace {

// The names the syntax-error report gives to the lexer's multi-character tokens.
struct tokenname {
    int32_t code;
    const wchar_t* name;
};

const tokenname tokennames[] = {
    {256, L"VAR"},      {257, L"NUM"},     {258, L">="},       {259, L"<<"},
    {260, L"<="},       {261, L">>"},      {262, L"="},        {263, L"!="},
    {264, L"||"},       {265, L"|="},      {266, L"&&"},       {267, L"&="},
    {268, L"++"},       {269, L"+="},      {270, L"--"},       {271, L"-="},
    {272, L"*="},       {273, L"/="},      {274, L"%="},       {275, L"^="},
    {276, L"func"},     {277, L"str"},     {278, L"while"},    {279, L"if"},
    {280, L"else"},     {281, L"function"}, {282, L"main"},    {287, L"break"},
    {288, L"continue"}, {289, L"return"},  {291, L"exit"},     {294, L"functstr"},
    {295, L"switch"},   {296, L"case"},    {297, L"default"},  {300, L"NUMINT"},
    {301, L"<<="},      {302, L">>="},     {303, L"thread"},
};

}  // namespace

// Makes room for one more cell: 512 cells first, then doubling.
static codecell* nextcell(ExeScr& e)
{
    const int32_t used = e.codecount();
    if (used >= e.codecap) {
        const int32_t newcap = e.codecap == 0 ? 512 : e.codecap * 2;
        auto* block = static_cast<codecell*>(e.mymalloc2(sizeof(codecell) * static_cast<uint64_t>(newcap), 234));
        if (e.code) {
            memcpy(static_cast<void*>(block), e.code, sizeof(codecell) * static_cast<size_t>(used));
            // Text compiled while a run is under way must not strand the run.
            if (e.ip >= e.code && e.ip <= e.codeend)
                e.ip = block + (e.ip - e.code);
            e.myfree(e.code, e.codeid);
        }
        e.code = block;
        e.codeend = block + used;
        e.codecap = newcap;
        e.codeid = 234;
    }
    codecell* c = e.codeend++;
    *c = codecell{};
    // Operand until emitcell says otherwise; a cell taken again after the
    // list was cut back loses the mark it had.
    const auto at = static_cast<size_t>(c - e.code);
    if (at < e.opmarks.size())
        e.opmarks[at] = 0;
    return c;
}

int32_t ExeScr::emitcell(execfn op)
{
    codecell* c = nextcell(*this);
    c->op = op;
    const auto at = static_cast<size_t>(c - code);
    if (at >= opmarks.size())
        opmarks.resize(at + 1, 0);
    opmarks[at] = 1;
    return static_cast<int32_t>(c - code) - static_cast<int32_t>(unitbase);
}

int32_t ExeScr::emitint(int32_t value)
{
    codecell* c = nextcell(*this);
    c->i = value;
    return static_cast<int32_t>(c - code) - static_cast<int32_t>(unitbase);
}

codecell* ExeScr::emitnum(double value)
{
    codecell* c = nextcell(*this);
    c->d = value;
    return c;
}

codecell* ExeScr::emitptr(const void* value)
{
    codecell* c = nextcell(*this);
    c->p = const_cast<void*>(value);
    return c;
}

void ExeScr::emitu64(uint64_t value)
{
    nextcell(*this)->u = value;
}

codecell* ExeScr::emitu64r(uint64_t value)
{
    codecell* c = nextcell(*this);
    c->u = value;
    return c;
}

static int32_t currentline(ExeScr& e)
{
    return e.srccursor ? e.lineofsrc(*e.srccursor) : 0;
}

void ExeScr::comperr(const wchar_t* msg)
{
    if (compiling == 1)
        myerrexit(L"%s at line %d", msg, currentline(*this));
    myerrexit(L"%s", msg);
}

void ExeScr::comperr2(const wchar_t* msg, const wchar_t* detail)
{
    // A detail is source text: only its first line goes into the message, so
    // that no CR or LF lands in the box or splits the log line.
    const std::wstring first(detail, wcscspn(detail, L"\r\n"));
    if (compiling == 1)
        myerrexit(L"%s at line %d:%s:", msg, currentline(*this), first.c_str());
    myerrexit(L"%s:%s:", msg, first.c_str());
}

void ExeScr::synerr(int32_t token, const wchar_t* detail)
{
    wchar_t line[21] = L"";
    if (compiling == 1) {
        _snwprintf(line, 20, L" at line %d", currentline(*this));
        line[20] = 0;
    }
    for (const tokenname& t : tokennames)
        if (t.code == token)
            myerrexit(L"%s%s:%s:%s", L"syntax error", line, t.name, detail);
    myerrexit(L"%s%s:%x:%s", L"syntax error", line, token, detail);
}
