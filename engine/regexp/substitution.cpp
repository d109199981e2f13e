// Search and replace: the pattern's matches in a copy of the subject are
// replaced by the template, in which "\N" stands for the N-th capture record.
// The subject is never changed; the rewritten text stays in the object.
#include <cstring>

#include "regexp/regexp.h"
#include "runtime/exescr.h"

namespace {

bool isdigitw(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

void RegExp::settemplate(const wchar_t* text)
{
    uint32_t n = 0;
    if (text)
        while (n < rxmaxtemplate && text[n])
            ++n;
    // A cut between the halves of a pair would leave half a character.
    if (n == rxmaxtemplate && ishigh(text[n - 1]) && islow(text[n]))
        --n;
    if (n)
        wmemcpy(templ, text, n);
    templ[n] = 0;
}

void RegExp::resultappend(const wchar_t* text, uint64_t len)
{
    const uint64_t need = uint64_t(result.count) + len + 1;
    if (need > rxmaxresult)
        eng.mymallocfail(need * sizeof(wchar_t), result.id);
    grow(result, uint32_t(need), 256);
    if (len)
        wmemcpy(result.base + result.count, text, size_t(len));
    result.count += uint32_t(len);
    result.base[result.count] = 0;
}

// Appends the template with its references replaced by the captures of the
// match just found. 1, or rxfatal for a reference beyond the records.
int RegExp::expandtemplate()
{
    const wchar_t* t = templ;
    while (*t) {
        const wchar_t* lit = t;
        while (*t && !(t[0] == L'\\' && t[1] >= L'1' && t[1] <= L'9'))
            ++t;
        resultappend(lit, uint64_t(t - lit));
        if (!*t)
            break;
        // "\" and every digit after it; a number past the records saturates.
        ++t;
        uint32_t n = 0;
        while (isdigitw(*t)) {
            n = n * 10 + uint32_t(*t - L'0');
            if (n > rxmaxcaptures + 1)
                n = rxmaxcaptures + 1;
            ++t;
        }
        if (n > ncaps)
            return fatal(L"invalid capref number error.\n");
        resultappend(caps[n - 1].text, caps[n - 1].len);
    }
    return 1;
}

int RegExp::regexreplace(uint32_t start, bool all)
{
    const wchar_t* s = subject ? subject : L"";
    const uint32_t len = subject ? subjectlen : 0;
    uint32_t p = start;
    bool replaced = false;
    for (;;) {
        const int r = regexrun(p, 0xFFFFFFFF);
        if (r == rxfatal)
            return r;
        if (r != rxmatched) {
            if (!replaced)
                return r;  // the result text of the last substitution stays
            break;
        }
        if (!replaced) {
            // The text before the start offset is kept as it is.
            result.count = 0;
            resultappend(s, start);
            replaced = true;
        }
        const uint32_t ms = uint32_t(mstart - s), me = uint32_t(mend - s);
        resultappend(s + p, ms - p);
        if (expandtemplate() != 1)
            return rxfatal;
        const uint32_t after = result.count;
        p = me;
        if (me == ms) {
            // An empty match: the next search starts one code point on, and
            // that code point (a whole pair, never half of one) stays.
            const uint32_t step = me + 1 < len && ishigh(s[me]) && islow(s[me + 1]) ? 2 : 1;
            if (me < len)
                resultappend(s + me, step);
            p = me + step;
        }
        if (!all) {
            afterpos = after;
            break;
        }
        if (p > len)
            return 1;
    }
    if (p < len)
        resultappend(s + p, len - p);
    return 1;
}

int RegExp::regexsubs(uint32_t flags, const wchar_t* pattern, const wchar_t* replacement,
                      const wchar_t* subjecttext, uint32_t start)
{
    int built = 1;
    if (!(flags & 1) || progstate == 0) {
        // A reuse on an object that never compiled compiles the empty pattern.
        const wchar_t* text = (flags & 1) || !pattern ? L"" : pattern;
        built = regexbuild(text);
        if (built == rxbad1 && logging())
            eng.mylogmsgforced(L"parser 1st level erroroffset:%s \n", text);
        else if (built == rxbad2 && logging())
            eng.mylogmsgforced(L"parser 2nd level error.:%s:\n", text);
    } else if (progstate != 1) {
        built = progstate;  // the compilation this reuses failed
    }
    if (!(flags & 2))
        settemplate(replacement);
    if (!(flags & 4) || !subject)
        setsubject(!(flags & 4) && subjecttext ? subjecttext : L"");
    if (built == rxfatal)
        return rxfatal;
    if (start == 0xFFFFFFFF)
        return (flags & 1) || built == 1 ? 0 : built;
    if (built != 1)
        return 0;
    return regexreplace(start, !(flags & 16));
}
