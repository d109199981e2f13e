// The regular-expression commands. A name made by "match" or "subs" is one
// RegExp for the whole run; the other commands read what it keeps. The object
// always holds its own copy of the subject, so that the match and captures
// outlive the variable (or local frame) the subject came from.
#include "compiler/textscan.h"
#include "regexp/regexp.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"

namespace {

// String results longer than a datum's inline text.
constexpr int32_t rxtextid = 1009;

// Flags of "match" and "subs": both reuse the program with bit 0.
constexpr uint32_t rxkeepprogram = 1;
constexpr uint32_t matchkeepsubject = 2;
constexpr uint32_t matchgivenstart = 4;
constexpr uint32_t matchgivenend = 8;
constexpr uint32_t subskeeptemplate = 2;
constexpr uint32_t subskeepsubject = 4;
constexpr uint32_t subsgivenstart = 8;
constexpr uint32_t subsfirstonly = 16;

bool blankarg(const wchar_t* t)
{
    while (*t == L' ' || *t == L'\t')
        ++t;
    return *t == 0;
}

// A string argument, or `flag` when it is blank: the object keeps what it had.
uint32_t strorkept(ExeScr& e, wchar_t* text, uint32_t flag)
{
    if (blankarg(text))
        return flag;
    e.argstr(text);
    return 0;
}

// The arguments of "match" and "subs", counted, and the name's object.
std::vector<wchar_t*> rxargs(ExeScr& e, wchar_t* args, size_t least, size_t most, int32_t& index)
{
    std::vector<wchar_t*> a = e.boxargs(args);
    if (a.size() < least || a.size() > most)
        e.comperr(L"the number of argument mismatch.");
    index = e.regexpobject(a[0], true);
    return a;
}

void emitrx(ExeScr& e, execfn op, uint32_t flags, int32_t index)
{
    e.emitcell(op);
    e.emitint(static_cast<int32_t>(flags));
    e.emitint(index);
}

RegExp& objectat(ExeScr& e)
{
    const auto index = static_cast<int32_t>(e.ip->i);
    ++e.ip;
    return *static_cast<RegExp*>(e.boxtable.base[index].obj);
}

// A popped string datum, read in place; its buffer is given back later.
struct popped {
    datscell* cell = nullptr;
    const wchar_t* text = nullptr;
};

popped popstring(ExeScr& e)
{
    popped p;
    p.cell = e.pops();
    p.text = e.datstext(p.cell);
    return p;
}

void release(ExeScr& e, popped& p)
{
    if (p.cell)
        e.datsrelease(p.cell);
}

uint32_t popoffset(ExeScr& e)
{
    return static_cast<uint32_t>(cmdargs::toi32(e.popd()));
}

}  // namespace

int32_t ExeScr::regexpobject(wchar_t* text, bool create)
{
    const wchar_t* name = boxname(text);
    int32_t index = findobject(name, objregexp);
    if (index < 0) {
        if (!create)
            comperr(L"invalid name.");
        index = addobject(name, RegExp::make(*this), regexpobjid, objregexp);
    }
    return index;
}

void ExeScr::match_comp(wchar_t* args)
{
    int32_t index = 0;
    std::vector<wchar_t*> a = rxargs(*this, args, 3, 5, index);
    const size_t n = a.size();
    uint32_t flags = 0;
    if (n == 5) {
        argnum(a[4]);
        flags |= matchgivenend;
    }
    if (n >= 4) {
        argnum(a[3]);
        flags |= matchgivenstart;
    }
    flags |= strorkept(*this, a[2], matchkeepsubject);
    flags |= strorkept(*this, a[1], rxkeepprogram);
    emitrx(*this, &ExeScr::match_exec, flags, index);
}

void ExeScr::match_exec()
{
    const auto flags = static_cast<uint32_t>(ip->i);
    ++ip;
    RegExp& rx = objectat(*this);
    popped pattern, subject;
    if (!(flags & rxkeepprogram))
        pattern = popstring(*this);
    if (!(flags & matchkeepsubject)) {
        subject = popstring(*this);
        rx.setsubject(subject.text);
    } else if (!rx.subject) {
        rx.setsubject(L"");  // a name that never had a subject searches the empty one
    }
    const uint32_t start = (flags & matchgivenstart) ? popoffset(*this) : 0;
    const uint32_t end = (flags & matchgivenend) ? popoffset(*this) : 0xFFFFFFFF;
    const int r = rx.regexmatch(flags & rxkeepprogram, pattern.text, start, end);
    release(*this, subject);
    release(*this, pattern);
    pushint(r);
}

void ExeScr::regexpnamenum_comp(wchar_t* args, execfn op)
{
    std::vector<wchar_t*> a = boxargs(args);
    if (a.size() != 2)
        comperr(L"the number of argument mismatch.");
    argnum(a[1]);
    const int32_t index = regexpobject(a[0], false);
    emitcell(op);
    emitint(index);
}

void ExeScr::matchstr_comp(wchar_t* args)
{
    regexpnamenum_comp(args, &ExeScr::matchstr_exec);
}

void ExeScr::matchstr_exec()
{
    RegExp& rx = objectat(*this);
    const int64_t n = cmdargs::toi64(popd());
    if (n == 0) {
        if (rx.mend) {
            pushstrtext(rx.mstart, static_cast<size_t>(rx.mend - rx.mstart), rxtextid);
            return;
        }
        if (logon == 1)
            mylogmsgforced(L"Not matched state.\n");
    } else if (n > 0 && n <= rx.ncaps) {
        const rxcapture& c = rx.caps[n - 1];
        pushstrtext(c.text, c.len, rxtextid);
        return;
    }
    pushstrtext(L"", 0, rxtextid);
}

void ExeScr::matchval_comp(wchar_t* args)
{
    regexpnamenum_comp(args, &ExeScr::matchval_exec);
}

void ExeScr::matchval_exec()
{
    RegExp& rx = objectat(*this);
    const int32_t selector = cmdargs::toi32(popd());
    int64_t v = 0;
    switch (selector) {
    case 0:  // after a failed search there is no match to place: -1
        v = rx.mend ? rx.mstart - rx.subject : -1;
        break;
    case 1:
        v = rx.mend ? rx.mend - rx.subject : -1;
        break;
    case 2:
        v = rx.ncaps;
        break;
    case 3:
        v = rx.afterpos;
        break;
    default:
        break;
    }
    pushint(v);
}

void ExeScr::subs_comp(wchar_t* args)
{
    int32_t index = 0;
    std::vector<wchar_t*> a = rxargs(*this, args, 4, 6, index);
    const size_t n = a.size();
    uint32_t flags = 0;
    if (n == 6) {
        // The mode is a bare word: empty or "n..." replaces the first match only.
        const wchar_t* mode = textscan::trimblanks(a[5]);
        if (*mode == 0 || *mode == L'n')
            flags |= subsfirstonly;
    }
    if (n >= 5) {
        argnum(a[4]);
        flags |= subsgivenstart;
    }
    if (blankarg(a[3]))
        flags |= subskeepsubject;
    else
        destvar_comp(a[3]);
    flags |= strorkept(*this, a[2], subskeeptemplate);
    flags |= strorkept(*this, a[1], rxkeepprogram);
    emitrx(*this, &ExeScr::subs_exec, flags, index);
}

void ExeScr::subs_exec()
{
    const auto flags = static_cast<uint32_t>(ip->i);
    ++ip;
    RegExp& rx = objectat(*this);
    popped pattern, replacement;
    if (!(flags & rxkeepprogram))
        pattern = popstring(*this);
    if (!(flags & subskeeptemplate))
        replacement = popstring(*this);
    const wchar_t* subject = nullptr;
    if (!(flags & subskeepsubject)) {
        const varrec* v = varat(static_cast<int32_t>(popd().i));
        if (v->state != varstr)
            myerrexit(L"invalid variable:%s", varname(v));
        subject = vartext(v);  // copied by the object before anything changes it
    }
    const uint32_t start = (flags & subsgivenstart) ? popoffset(*this) : 0;
    const int r = rx.regexsubs(flags, pattern.text, replacement.text, subject, start);
    release(*this, replacement);
    release(*this, pattern);
    pushint(r);
}

void ExeScr::subsstr_comp(wchar_t* args)
{
    const int32_t index = regexpobject(args, false);
    emitcell(&ExeScr::subsstr_exec);
    emitint(index);
}

void ExeScr::subsstr_exec()
{
    RegExp& rx = objectat(*this);
    pushstrtext(rx.resulttext(), rx.resultlength(), rxtextid);
}
