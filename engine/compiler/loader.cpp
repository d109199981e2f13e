// The script loader: pre-scan passes that find every declaration, the symbol
// tables they fill, the hand-over of each unit to the statement compiler, and
// the mapping between source lines and code cells.
#include <cwctype>
#include <functional>
#include <string>

#include "compiler/textscan.h"
#include "runtime/exescr.h"

using textscan::asciiletter;
using textscan::namechar;
using textscan::pastline;

namespace {

bool wordchar(wchar_t c)
{
    return asciiletter(c) || (c >= L'0' && c <= L'9') || c == L'_';
}

void copyname(wchar_t* dst, const wchar_t* src, size_t len)
{
    if (len > static_cast<size_t>(symnamemax))
        len = symnamemax;
    wmemcpy(dst, src, len);
    dst[len] = 0;
}

// The start of the line that holds `p`.
wchar_t* linestart(const wchar_t* origin, wchar_t* p)
{
    while (p > origin && p[-1] != L'\n')
        --p;
    return p;
}

}  // namespace

int32_t ExeScr::prelex(wchar_t** pos)
{
    wchar_t* p = skiptotoken(*pos);
    if (*p == 0) {
        *pos = p;
        return 0;
    }
    if (asciiletter(*p)) {
        wchar_t* q = p;
        while (namechar(*q))
            ++q;
        const std::wstring word(p, q);
        if (word == L"main" || word == L"thread" || word == L"functstr" || word == L"function") {
            *pos = q;
            return word == L"main" ? 282 : word == L"thread" ? 303 : word == L"functstr" ? 294 : 281;
        }
        if (*q == L'(') {
            *pos = scancall(p, q);
            return 276;
        }
    }
    // Anything else: the rest of the line goes.
    *pos = pastline(p);
    return (*pos)[-1] == L'\n' ? 10 : 0;
}

// ---- symbol tables

int32_t ExeScr::addfuncentry(const wchar_t* name)
{
    uint32_t modules = 0;
    for (const funcrec& f : functable)
        if (wcscmp(f.name, L"main") == 0 || wcscmp(f.name, L"null") == 0)
            ++modules;
    functable.emplace_back();
    funcrec& f = functable.back();
    copyname(f.name, name, wcslen(name));
    f.codestart = 0;
    f.paramcount = 0;
    f.functstr = 0;
    f.module = modules;
    return static_cast<int32_t>(functable.size() - 1);
}

int32_t ExeScr::addblockentry(const wchar_t* name)
{
    blocktable.emplace_back();
    copyname(blocktable.back().name, name, wcslen(name));
    return static_cast<int32_t>(blocktable.size() - 1);
}

static void additem(ExeScr& e, tbuf<nameitem>& list, int32_t id, const wchar_t* name, uint32_t kind)
{
    if (list.full())
        e.growbuf(list, 16, id);
    nameitem* it = list.top++;
    copyname(it->name, name, wcslen(name));
    it->kind = kind;
}

void ExeScr::addlocalname(int32_t func, const wchar_t* name, uint32_t kind)
{
    additem(*this, functable[func].localnames, 204, name, kind);
}

void ExeScr::addfuncitem_a(int32_t func, const wchar_t* name)
{
    additem(*this, functable[func].fpnames, 205, name, 0);
}

void ExeScr::addfuncitem_b(int32_t func, const wchar_t* name)
{
    additem(*this, functable[func].dirnames, 206, name, 0);
}

void ExeScr::addblockitem(int32_t block, const wchar_t* name, uint32_t kind)
{
    additem(*this, blocktable[block].params, 470, name, kind);
}

// Reads a parameter or declaration list: names separated by ",", each optionally
// after the type word "str" (a string) or "num" when `typewords` is set.
template <class F>
static void parselist(ExeScr& e, const wchar_t* p, bool typewords, F add)
{
    auto skipblanks = [&p] {
        while (*p == L' ' || *p == L'\t')
            ++p;
    };
    for (;;) {
        skipblanks();
        if (*p == 0)
            return;
        if (!asciiletter(*p))
            e.synerr(*p, L"invalid token in arguments.");
        const wchar_t* word = p;
        while (wordchar(*p))
            ++p;
        std::wstring name(word, p);
        uint32_t kind = 1;
        if (typewords && (name == L"str" || name == L"num")) {
            skipblanks();
            if (asciiletter(*p)) {
                kind = name == L"str" ? 2 : 1;
                word = p;
                while (wordchar(*p))
                    ++p;
                name.assign(word, p);
            }
        }
        add(name.c_str(), kind);
        skipblanks();
        if (*p == L',') {
            ++p;
            continue;
        }
        if (*p == 0)
            return;
        e.synerr(asciiletter(*p) ? 256 : *p, L"invalid token in arguments.");
    }
}

int32_t ExeScr::declfunction(const wchar_t* header, int32_t namelen, int32_t textlen, uint32_t functstr)
{
    const std::wstring name(header, static_cast<size_t>(namelen));
    const std::wstring args(header + namelen + 1, header + textlen);
    const int32_t f = addfuncentry(name.c_str());
    functable[f].functstr = functstr;
    parselist(*this, args.c_str(), true, [&](const wchar_t* n, uint32_t kind) {
        addlocalname(f, n, kind);
        ++functable[f].paramcount;
    });
    return f;
}

void ExeScr::localvar_comp(wchar_t* args)
{
    localdir_comp(args, 0);
}

void ExeScr::localfp_comp(wchar_t* args)
{
    localdir_comp(args, 1);
}

void ExeScr::localdir_comp(wchar_t* args, int32_t selector)
{
    const int32_t f = curfunc;
    parselist(*this, args, false, [&](const wchar_t* n, uint32_t) {
        if (selector == 0)
            addlocalname(f, n, 1);
        else if (selector == 1)
            addfuncitem_a(f, n);
        else
            addfuncitem_b(f, n);
    });
}

// Position minus count: -n for the first of n items, -1 for the last; 0 for none.
static int32_t findin(const tbuf<nameitem>& list, const wchar_t* name)
{
    const int32_t n = list.count();
    for (int32_t k = 0; k < n; ++k)
        if (wcsncmp(list.base[k].name, name, symnamemax) == 0)
            return k - n;
    return 0;
}

int32_t ExeScr::findlocalvar(const wchar_t* name)
{
    if (curfunc < 0 || static_cast<size_t>(curfunc) >= functable.size())
        return 0;
    return findin(functable[curfunc].localnames, name);
}

int32_t ExeScr::findlocalsym2(const wchar_t* name)
{
    if (curfunc < 0 || static_cast<size_t>(curfunc) >= functable.size())
        return 0;
    return findin(functable[curfunc].fpnames, name);
}

int32_t ExeScr::findlocalsym3(const wchar_t* name)
{
    if (curfunc < 0 || static_cast<size_t>(curfunc) >= functable.size())
        return 0;
    return findin(functable[curfunc].dirnames, name);
}

void ExeScr::freefunctbl()
{
    for (funcrec& f : functable) {
        if (f.dirnames.base)
            freebuf(f.dirnames);
        if (f.fpnames.base)
            freebuf(f.fpnames);
        if (f.localnames.base)
            freebuf(f.localnames);
    }
    for (funcrec& f : functable)
        std::vector<lineitem>().swap(f.lines);
    functable.clear();
}

void ExeScr::freeblocktbl()
{
    for (blockrec& b : blocktable)
        if (b.params.base)
            freebuf(b.params);
    blocktable.clear();
}

// ---- line mapping

bool ExeScr::insource(const wchar_t* p) const
{
    // std::less_equal orders any two pointers: a copy lies anywhere.
    const std::less_equal<const wchar_t*> le;
    return srctext && srcend && p && le(srctext, p) && le(p, srcend);
}

int32_t ExeScr::lineofsrc(const wchar_t* pos)
{
    if (!srctext || !pos)
        return 0;
    const std::vector<lineitem>* lines = functable.empty() ? nullptr : &functable.back().lines;
    if (lines && !lines->empty()) {
        const int32_t offset = static_cast<int32_t>(pos - srctext);
        for (const lineitem& it : *lines)
            if (it.srcoffset >= offset)
                return it.line;
        return lines->back().line;
    }
    int32_t line = 1;
    for (const wchar_t* p = srctext; p < pos; ++p)
        if (*p == L'\n' && p + 1 != pos)
            ++line;
    return line;
}

int32_t ExeScr::lineofcode(int32_t cellindex)
{
    if (functable.empty())
        return -1;
    const std::vector<lineitem>& lines = functable.back().lines;
    size_t k = 0;
    while (k < lines.size() && (lines[k].codeidx == -1 || lines[k].codeidx > cellindex))
        ++k;
    if (k == lines.size())
        return -1;
    const lineitem* taken = &lines[k];
    for (++k; k < lines.size(); ++k) {
        if (lines[k].codeidx == -1)
            continue;
        if (lines[k].codeidx >= cellindex)
            break;
        taken = &lines[k];
    }
    return taken->line + 1;
}

// ---- loading

namespace {

struct loader {
    ExeScr& e;
    wchar_t* text;   // first character behind the byte-order mark
    wchar_t* start;  // where every pass begins (a script thread's own line)
    wchar_t* pos;
    const wchar_t* threadname;

    // The name of the call token just read.
    std::wstring callname() const
    {
        return std::wstring(e.tokstart, static_cast<size_t>(e.toknamelen));
    }

    int32_t next() { return e.prelex(&pos); }

    // Whether the header just read is the script thread's own block.
    bool ownheader() const
    {
        return samesymbol(threadname, e.tokstart, static_cast<size_t>(e.toknamelen));
    }

    void skipline() { pos = pastline(pos); }

    // The token after "function", "functstr" or "thread" must be its header.
    void expectheader()
    {
        const int32_t tok = next();
        if (tok != 276)
            e.synerr(tok, L"invalid token after function.");
    }

    // "localvar", "localfp" and "localdir" calls declare into `curfunc`.
    void localdeclaration()
    {
        const std::wstring name = callname();
        const int32_t sel = name == L"localvar" ? 0 : name == L"localfp" ? 1 : name == L"localdir" ? 2 : -1;
        if (sel >= 0) {
            std::wstring args(e.tokstart + e.toknamelen + 1, e.tokstart + e.toklen);
            e.localdir_comp(args.data(), sel);
        }
        skipline();
    }

    void findthreadline()
    {
        pos = text;
        for (;;) {
            const int32_t tok = next();
            if (tok == 0)
                e.myerrexit(L"%s", L" Thread function not founded error.\n");
            if (tok != 303)
                continue;
            wchar_t* header = pos;
            expectheader();
            if (ownheader()) {
                start = linestart(text, header);
                return;
            }
        }
    }

    void declarationpass()
    {
        pos = start;
        bool ownthread = false;
        for (int32_t tok; (tok = next()) != 0;) {
            if (tok == 281 || tok == 294) {
                expectheader();
                e.curfunc = e.declfunction(e.tokstart, e.toknamelen, e.toklen, tok == 294);
                skipline();
            } else if (tok == 276 && e.curfunc != -1) {
                localdeclaration();
            } else if (tok == 282) {
                // Functions may follow main: main's own locals are declared later.
                e.curfunc = -1;
                skipline();
            } else if (tok == 303) {
                // A script thread reads its own block; any other thread block ends it.
                if (e.threadmode == 0 || ownthread)
                    return;
                ownthread = true;
                e.curfunc = -1;
                skipline();
            } else if (tok == 276) {
                skipline();
            }
        }
    }

    void threaddeclarationpass()
    {
        pos = start;
        e.curfunc = -1;
        for (int32_t tok; (tok = next()) != 0;) {
            if (tok != 303)
                continue;
            expectheader();
            const int32_t b = e.addblockentry(callname().c_str());
            const std::wstring args(e.tokstart + e.toknamelen + 1, e.tokstart + e.toklen);
            parselist(e, args.c_str(), true, [&](const wchar_t* n, uint32_t kind) { e.addblockitem(b, n, kind); });
        }
    }

    bool mainpass()
    {
        pos = start;
        e.curfunc = -1;
        bool found = false;
        for (int32_t tok; (tok = next()) != 0;) {
            if (tok == 10)
                continue;
            if (tok == 282 && e.threadmode == 0 && !found) {
                e.curfunc = e.addfuncentry(L"main");
                found = true;
                skipline();
            } else if (tok == 303 && e.threadmode == 1 && !found) {
                expectheader();
                if (!ownheader())
                    break;
                e.curfunc = e.declfunction(e.tokstart, e.toknamelen, e.toklen, 0);
                wcscpy(e.functable[e.curfunc].name, L"main");
                found = true;
                skipline();
            } else if (tok == 276) {
                if (e.curfunc != -1)
                    localdeclaration();
                else
                    skipline();
            } else if (tok == 281 || tok == 294) {
                if (e.curfunc != -1)
                    break;
                skipline();
            } else {
                break;
            }
        }
        return found;
    }

    void nullfunction()
    {
        e.curfunc = e.addfuncentry(L"null");
        pos = start;
        for (int32_t tok; (tok = next()) != 0;) {
            if (tok == 281 || tok == 294)
                return;
            if (tok == 276)
                localdeclaration();
        }
    }

    void linetable()
    {
        std::vector<lineitem>& lines = e.functable.back().lines;
        lines.clear();
        lines.push_back(lineitem{0, 1, -1});
        int32_t k = 0;
        const wchar_t* p = text;
        for (; *p; ++p)
            if (*p == L'\n')
                lines.push_back(lineitem{++k, static_cast<int32_t>(p + 1 - e.srctext), -1});
        lines.push_back(lineitem{k + 1, static_cast<int32_t>(p - e.srctext), -1});
    }

    void functionbodies()
    {
        pos = start;
        bool ownthread = false;
        for (int32_t tok; (tok = next()) != 0;) {
            if (tok == 281 || tok == 294) {
                wchar_t* line = linestart(text, pos);
                expectheader();
                wchar_t* after = pastline(pos);
                e.compscr(line, 12);
                pos = after;
            } else if (tok == 303) {
                if (e.threadmode == 0 || ownthread)
                    return;
                ownthread = true;
                skipline();
            } else if (tok == 276) {
                skipline();
            }
        }
    }

    void toplevel(bool mainfound)
    {
        if (!mainfound) {
            e.curfunc = static_cast<int32_t>(e.functable.size() - 1);  // the "null" record
            e.emitcell(nullptr);
            e.unitbase = static_cast<uint32_t>(e.codecount());
            e.functable[e.curfunc].codestart = e.codecount();
            e.compscr(start, 11);
            return;
        }
        pos = start;
        const int32_t want = e.threadmode == 0 ? 282 : 303;
        for (int32_t tok; (tok = next()) != 0;) {
            if (tok == want) {
                e.compscr(linestart(text, pos), e.threadmode == 0 ? 10 : 15);
                return;
            }
            if (tok == 276)
                skipline();
        }
    }
};

}  // namespace

// Steps every load takes before any body is compiled; returns whether a main
// block (or the script thread's own block) was found.
static bool declare(ExeScr& e, loader& ld)
{
    e.srctext = ld.text - 1;
    e.srcend = ld.text + wcslen(ld.text);
    e.lexorigin = ld.text;
    e.ifskip = 0;
    e.ifnest = 0;
    e.compiling = 1;
    e.curfunc = -1;
    e.srccursor = &ld.pos;
    if (e.threadmode == 1)
        ld.findthreadline();
    ld.declarationpass();
    ld.threaddeclarationpass();
    const bool mainfound = ld.mainpass();
    if (!mainfound)
        ld.nullfunction();
    ld.linetable();
    return mainfound;
}

void ExeScr::declarescript(wchar_t* text)
{
    loader ld{*this, text, text, text, threadblock.c_str()};
    declare(*this, ld);
    srccursor = nullptr;
    compiling = 0;
}

void ExeScr::loadscript(wchar_t* text)
{
    loader ld{*this, text, text, text, threadblock.c_str()};
    const bool mainfound = declare(*this, ld);
    ld.functionbodies();
    ld.toplevel(mainfound);
    srccursor = nullptr;
    compiling = 0;
}
