// The lexer: one token per call, with comments, hidden lines and conditional
// sections dropped, keywords and named constants looked up, string literals
// pooled and plain names resolved to local or global variables.
#include <cwctype>
#include <string>

#include "compiler/textscan.h"
#include "runtime/exescr.h"

using textscan::asciiletter;
using textscan::blank;
using textscan::namechar;
using textscan::pastline;

namespace {

bool startswith(const wchar_t* p, const wchar_t* word)
{
    for (; *word; ++p, ++word)
        if (*p != *word)
            return false;
    return true;
}

struct keyword {
    const wchar_t* word;
    int32_t code;
};

const keyword kwtable[] = {
    {L"if", 279},        {L"else", 280},   {L"while", 278},  {L"switch", 295},
    {L"do", 298},        {L"case", 296},   {L"default", 297}, {L"functstr", 294},
    {L"thread", 303},    {L"function", 281}, {L"main", 282}, {L"continue", 288},
    {L"break", 287},     {L"return", 289}, {L"exit", 291},   {nullptr, 0},
};

struct constant {
    const wchar_t* name;
    int64_t value;
};

const constant constants[] = {
    {L"INT_MIN", -2147483648LL}, {L"INT_MAX", 2147483647LL},
    {L"LLONG_MIN", INT64_MIN}, {L"LLONG_MAX", INT64_MAX},
    {L"UINT_MAX", 4294967295LL}, {L"ULLONG_MAX", -1},
    {L"false", 0}, {L"true", 1},
    {L"idok", 1}, {L"idcancel", 2}, {L"idabort", 3}, {L"idretry", 4}, {L"idignore", 5},
    {L"idyes", 6}, {L"idno", 7}, {L"idtryagain", 10}, {L"idcontinue", 11},
    {L"mb_ok", 0}, {L"mb_okcancel", 1}, {L"mb_abortretryignore", 2}, {L"mb_yesnocancel", 3},
    {L"mb_yesno", 4}, {L"mb_retrycancel", 5}, {L"mb_canceltrycontinue", 6},
    {L"mb_systemmodal", 0x1000}, {L"mb_setforeground", 0x10000}, {L"mb_topmost", 0x40000},
    {L"vk_lbutton", VK_LBUTTON}, {L"vk_rbutton", VK_RBUTTON}, {L"vk_cancel", VK_CANCEL},
    {L"vk_mbutton", VK_MBUTTON}, {L"vk_back", VK_BACK}, {L"vk_tab", VK_TAB},
    {L"vk_clear", VK_CLEAR}, {L"vk_return", VK_RETURN}, {L"vk_shift", VK_SHIFT},
    {L"vk_control", VK_CONTROL}, {L"vk_alt", VK_MENU}, {L"vk_escape", VK_ESCAPE},
    {L"vk_space", VK_SPACE}, {L"vk_prior", VK_PRIOR}, {L"vk_next", VK_NEXT},
    {L"vk_end", VK_END}, {L"vk_home", VK_HOME}, {L"vk_left", VK_LEFT}, {L"vk_up", VK_UP},
    {L"vk_right", VK_RIGHT}, {L"vk_down", VK_DOWN}, {L"vk_print", VK_PRINT},
    {L"vk_snapshot", VK_SNAPSHOT}, {L"vk_insert", VK_INSERT}, {L"vk_delete", VK_DELETE},
    {L"vk_lwin", VK_LWIN}, {L"vk_rwin", VK_RWIN}, {L"vk_multiply", VK_MULTIPLY},
    {L"vk_add", VK_ADD}, {L"vk_separator", VK_SEPARATOR}, {L"vk_subtract", VK_SUBTRACT},
    {L"vk_decimal", VK_DECIMAL}, {L"vk_divide", VK_DIVIDE}, {L"vk_numlock", VK_NUMLOCK},
    {L"vk_scroll", VK_SCROLL}, {L"vk_oem_1", VK_OEM_1}, {L"vk_oem_plus", VK_OEM_PLUS},
    {L"vk_oem_comma", VK_OEM_COMMA}, {L"vk_oem_minus", VK_OEM_MINUS},
    {L"vk_oem_period", VK_OEM_PERIOD}, {L"vk_oem_2", VK_OEM_2}, {L"vk_oem_3", VK_OEM_3},
    {L"vk_oem_4", VK_OEM_4}, {L"vk_oem_5", VK_OEM_5}, {L"vk_oem_6", VK_OEM_6},
    {L"vk_oem_7", VK_OEM_7}, {L"vk_oem_8", VK_OEM_8},
};

bool sameword(const wchar_t* word, const wchar_t* text, size_t len)
{
    return wcsncmp(word, text, len) == 0 && word[len] == 0;
}

// The value of a key name with a numbered series: vk_0..vk_9, vk_a..vk_z,
// vk_numpad0..9, vk_f1..vk_f12.
bool keyseries(const wchar_t* name, size_t len, int64_t* value)
{
    if (len == 4 && name[3] >= L'0' && name[3] <= L'9')
        return *value = 0x30 + (name[3] - L'0'), true;
    if (len == 4 && name[3] >= L'a' && name[3] <= L'z')
        return *value = 0x41 + (name[3] - L'a'), true;
    if (len == 10 && wcsncmp(name, L"vk_numpad", 9) == 0 && name[9] >= L'0' && name[9] <= L'9')
        return *value = VK_NUMPAD0 + (name[9] - L'0'), true;
    if ((len == 5 || len == 6) && name[3] == L'f') {
        int n = 0;
        for (size_t k = 4; k < len; ++k) {
            if (name[k] < L'0' || name[k] > L'9')
                return false;
            n = n * 10 + (name[k] - L'0');
        }
        if (n >= 1 && n <= 12 && !(len == 6 && name[4] == L'0'))
            return *value = VK_F1 + n - 1, true;
    }
    return false;
}

}  // namespace

int32_t ExeScr::findkeyword(const wchar_t* word, size_t len)
{
    for (const keyword* k = kwtable; k->word; ++k)
        if (sameword(k->word, word, len))
            return k->code;
    return 0;
}

int32_t ExeScr::findconstant(const wchar_t* name, size_t len)
{
    switch (name[0]) {
    case L'I': case L'L': case L'U': case L'f': case L'i': case L'm': case L't': case L'v':
        break;
    default:
        return 0;
    }
    for (const constant& c : constants) {
        if (sameword(c.name, name, len)) {
            tokval.i = c.value;
            return 1;
        }
    }
    int64_t v;
    if (len > 3 && wcsncmp(name, L"vk_", 3) == 0 && keyseries(name, len, &v)) {
        tokval.i = v;
        return 1;
    }
    return 0;
}

static int hexdigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

void ExeScr::unescape(wchar_t* text)
{
    wchar_t* out = text;
    for (wchar_t* p = text; *p;) {
        if (*p != L'\\') {
            *out++ = *p++;
            continue;
        }
        switch (p[1]) {
        case L'n':
            *out++ = L'\r';
            *out++ = L'\n';
            p += 2;
            break;
        case L'r': *out++ = L'\r'; p += 2; break;
        case L't': *out++ = L'\t'; p += 2; break;
        case L'\\': *out++ = L'\\'; p += 2; break;
        case L'\'': *out++ = L'\''; p += 2; break;
        case L'"': *out++ = L'"'; p += 2; break;
        case L'0':
            *out = 0;
            return;
        case L'x': {
            int value = 0;
            bool ended = false;
            for (int k = 2; k < 4; ++k) {
                if (ended || p[k] == 0) {
                    ended = true;  // missing digits count as 0 and end the text
                    value *= 16;
                    continue;
                }
                const int h = hexdigit(p[k]);
                value = value * 16 + (h < 0 ? 0 : h);
            }
            *out++ = static_cast<wchar_t>(value);
            if (ended) {
                *out = 0;
                return;
            }
            p += 4;
            break;
        }
        default:  // no escape: the backslash stays
            *out++ = *p++;
            break;
        }
    }
    *out = 0;
}

// A lexical error: the report's line is that of `at`, where the scan stopped,
// when that is a place in the script's text. In the dispatcher's copy of an
// argument text it is not: the statement's own position stands.
[[noreturn]] static void failat(ExeScr& e, const wchar_t* at, const wchar_t* msg,
                                const wchar_t* detail = nullptr)
{
    if (e.srccursor && e.insource(at))
        *e.srccursor = const_cast<wchar_t*>(at);
    if (detail)
        e.comperr2(msg, detail);
    e.comperr(msg);
}

// Applies "#if 0", "#if 1", "#else" and "#endif" at `p` ("#"). Returns false
// when the text there is no directive.
static bool directive(ExeScr& e, const wchar_t* p)
{
    // Whether any level outside the innermost one is being skipped.
    auto outerskipped = [&e] {
        for (uint32_t n = e.ifnest >> 2; n & 1u; n >>= 2)
            if ((n & 3u) == 1u)
                return true;
        return false;
    };
    if (startswith(p, L"#if")) {
        const wchar_t* q = p + 3;
        while (blank(*q))
            ++q;
        if (*q == L'0' || *q == L'1') {
            // Sixteen levels fill the nesting word; a seventeenth would push out the outermost.
            if (e.ifnest & 0x40000000u)
                failat(e, p + 1, L"too many nested #if");
        }
        if (*q == L'0') {
            e.ifnest = e.ifnest * 4 + 1;
            e.ifskip = 1;
        } else if (*q == L'1') {
            e.ifnest = e.ifnest * 4 + 3;
            e.ifskip = outerskipped() ? 1 : 2;
        } else {
            return false;
        }
        return true;
    }
    if (startswith(p, L"#else")) {
        if (!(e.ifnest & 1u))
            failat(e, p + 1, L"no preceding #if");
        if ((e.ifnest & 3u) == 3u) {
            e.ifnest &= ~2u;
            e.ifskip = 1;
        } else {
            e.ifnest |= 2u;
            e.ifskip = outerskipped() ? 1 : 2;
        }
        return true;
    }
    if (startswith(p, L"#endif")) {
        if (!(e.ifnest & 1u))
            failat(e, p + 1, L"no preceding #if");
        e.ifnest >>= 2;
        bool skipped = false;
        for (uint32_t n = e.ifnest; n & 1u; n >>= 2)
            if ((n & 3u) == 1u)
                skipped = true;
        e.ifskip = skipped ? 1 : 2;
        return true;
    }
    return false;
}

wchar_t* ExeScr::skiptotoken(wchar_t* p)
{
    for (;;) {
        while (blank(*p))
            ++p;
        if (*p == 0)
            return p;
        // The characters that hide text are tested at a token start before a
        // skipped branch skips its line: a directive inside a block comment
        // stays hidden there too.
        if (*p == L'\\' || *p == L'[') {  // hides the rest of the line, line end included
            p = pastline(p);
            continue;
        }
        if (p[0] == L'/' && p[1] == L'/') {
            while (*p && *p != L'\n')
                ++p;
            if (*p == L'\n' && p[-1] == L'\r')
                --p;  // the line end is still a token
            if (ifskip == 0)
                return p;
            continue;  // a skipped branch skips that line end with its line
        }
        if (p[0] == L'/' && p[1] == L'*') {
            const wchar_t* end = wcsstr(p + 2, L"*/");
            if (!end) {
                while (*p)
                    ++p;
                return p;
            }
            p = const_cast<wchar_t*>(end) + 2;
            continue;
        }
        if (*p == L'#') {
            if (directive(*this, p)) {
                p = pastline(p);
                if (ifskip == 2)
                    ifskip = 0;
                continue;
            }
            if (ifskip == 0) {  // a comment line
                p = pastline(p);
                continue;
            }
        }
        if (ifskip != 0) {
            p = pastline(p);
            if (ifskip == 2)
                ifskip = 0;
            continue;
        }
        return p;
    }
}

// Past the literal that starts at `p` (a quote), or fatal when it does not end
// on its line.
static wchar_t* skipliteral(ExeScr& e, wchar_t* p)
{
    const wchar_t quote = *p;
    wchar_t* q = p + 1;
    for (;;) {
        if (*q == 0 || *q == L'\r' || *q == L'\n')
            failat(e, q, L"no end mark of string.", std::wstring(p + 1, q).c_str());
        if (quote == L'"' && *q == L'\\' && q[1] != 0) {
            q += 2;
            continue;
        }
        if (*q == quote) {
            if (quote == L'\'' && q[1] == L'\'') {
                q += 2;
                continue;
            }
            return q;  // at the closing quote
        }
        ++q;
    }
}

wchar_t* ExeScr::scancall(wchar_t* name, wchar_t* open)
{
    int depth = 0;
    wchar_t* q = open;
    for (;;) {
        const wchar_t c = *q;
        if (c == 0 || c == L'\n')
            failat(*this, q, L"cannot find ) error.");
        if (c == L'"' || c == L'\'') {
            q = skipliteral(*this, q) + 1;
            continue;
        }
        if (c == L'/' && q[1] == L'*') {
            wchar_t* end = q + 2;
            while (*end && *end != L'\n' && !(end[0] == L'*' && end[1] == L'/'))
                ++end;
            if (end[0] != L'*')
                failat(*this, end, L"no */ for the comment.", std::wstring(q + 2, end).c_str());
            q = end + 2;
            continue;
        }
        if (c == L'(')
            ++depth;
        else if (c == L')' && --depth == 0)
            break;
        ++q;
    }
    tokstart = name;
    toknamelen = static_cast<int32_t>(open - name);
    toklen = static_cast<int32_t>(q - name);
    return q + 1;
}

// The index groups of an array expression, from the "[" to past the last
// name character that follows them.
static wchar_t* scanindexes(ExeScr& e, wchar_t* p)
{
    while (*p == L'[') {
        int depth = 0;
        for (;;) {
            const wchar_t c = *p;
            if (c == 0 || c == L'\n' || c == L'\r')
                failat(e, p, L"Cannot find ] error");
            if (c == L'"' || c == L'\'') {
                p = skipliteral(e, p) + 1;
                continue;
            }
            if (c == L'[')
                ++depth;
            else if (c == L']' && --depth == 0)
                break;
            ++p;
        }
        ++p;
        while (namechar(*p))
            ++p;
    }
    return p;
}

namespace {

struct oper {
    const wchar_t* text;
    int32_t code;
};

// Longest first where one is a prefix of another.
const oper operators[] = {
    {L"<<=", 301}, {L">>=", 302}, {L"!=", 263}, {L"%=", 274}, {L"&&", 266}, {L"&=", 267},
    {L"*=", 272},  {L"++", 268},  {L"+=", 269}, {L"--", 270}, {L"-=", 271}, {L"/=", 273},
    {L"<<", 259},  {L"<=", 260},  {L"==", 262}, {L">>", 261}, {L">=", 258}, {L"^=", 275},
    {L"||", 264},  {L"|=", 265},
};

}  // namespace

int32_t ExeScr::lexscr(wchar_t** pos)
{
    wchar_t* p = skiptotoken(*pos);
    const wchar_t c = *p;
    if (c == 0) {
        *pos = p;
        return 0;
    }

    if (iswdigit(c) || c == L'.') {
        if (c == L'0' && p[1] == L'x') {
            uint64_t v = 0;
            p += 2;
            for (int h; (h = hexdigit(*p)) >= 0; ++p)
                v = v * 16 + static_cast<uint64_t>(h);
            tokval.i = static_cast<int64_t>(v);
            *pos = p;
            return 300;
        }
        wchar_t* q = p;
        while (iswdigit(*q) || *q == L'.')
            ++q;
        const std::wstring text(p, q);
        *pos = q;
        double d;
        int64_t i;
        if (str2num(text.c_str(), &d, &i)) {
            tokval.d = d;
            return 257;
        }
        tokval.i = i;
        return 300;
    }

    if (asciiletter(c)) {
        wchar_t* name = p;
        wchar_t* q = p;
        while (namechar(*q))
            ++q;
        bool isarray = false;
        if (*q == L'[') {
            q = scanindexes(*this, q);
            isarray = true;
        }
        // An index group is part of the name: "(" right behind makes the whole
        // word a call ("monrect[0].left()").
        const size_t len = static_cast<size_t>(q - name);
        if (*q == L'(') {
            const int32_t kw = findkeyword(name, len);
            if (kw && kw != 289) {
                *pos = q;
                return kw;
            }
            if (!kw && startswith(name, L"function")) {
                *pos = name + 8;
                return 281;
            }
            if (!kw && startswith(name, L"else")) {
                *pos = name + 4;
                return 280;
            }
            *pos = scancall(name, q);
            return (len == 4 && startswith(name, L"goto")) ? 292 : 276;
        }
        if (!isarray) {
            if (const int32_t kw = findkeyword(name, len)) {
                *pos = q;
                return kw;
            }
            if (len == 3 && startswith(name, L"for")) {
                wchar_t* open = q;
                while (blank(*open))
                    ++open;
                if (*open != L'(')
                    failat(*this, open, L"cannot find ( error.");
                *pos = scancall(name, open);
                return 276;
            }
        }
        *pos = q;
        if (isarray) {
            tokval.i = 2;
            tokstart = name;
            tokidx = static_cast<int32_t>(q - name);
            return 256;
        }
        if (findconstant(name, len))
            return 300;
        const std::wstring word(name, len);
        if (const int32_t local = findlocalvar(word.c_str())) {
            tokval.i = 0;
            tokidx = local;
            return 256;
        }
        tokval.i = 1;
        tokidx = declvar(word.c_str(), 0);
        return 256;
    }

    if (c == L'"' || c == L'\'') {
        wchar_t* close = skipliteral(*this, p);
        tokval.i = parsenamelist(p, close, c == L'"' ? 1 : 2);
        *pos = close + 1;
        return 277;
    }

    if (c == L':') {
        if (p > lexorigin && p[-1] == L'\n' && iswalpha(p[1])) {
            wchar_t* q = p + 1;
            while (iswalnum(*q))
                ++q;
            tokstart = p + 1;
            tokidx = static_cast<int32_t>(q - (p + 1));
            *pos = q;
            return 293;
        }
        *pos = p + 1;
        return L':';
    }

    if (c == L'\r') {
        if (p[1] == L'\n') {
            *pos = p + 2;
            return 10;
        }
        *pos = p + 1;
        return 13;
    }
    if (c == L'\n') {
        *pos = p + 1;
        return 10;
    }

    for (const oper& o : operators) {
        if (startswith(p, o.text)) {
            *pos = p + wcslen(o.text);
            return o.code;
        }
    }
    *pos = p + 1;
    return c;
}
