// fuzzengine: the in-process half of tools/fuzz (test code, never shipped).
//
//   fuzzengine inproc SECONDS SEED OUTDIR CORPUSDIR...
//       mutates the corpus scripts and compiles each mutant in this process,
//       for SECONDS; a fatal error unwinds back here through the engine's
//       fatal hook. Exit 0: no finding; 1: a finding, saved in OUTDIR.
//       A fifth of the inputs are regular expressions instead: random
//       patterns, subjects and templates matched and substituted through the
//       RegExp object, its limit errors caught by its fatal seam.
//   fuzzengine check FILE
//       compiles one script file (UTF-16LE with BOM) the same way, or runs
//       one regular-expression input saved by inproc, and prints its class;
//       exit 0 when it is no finding, 1 when it is.
//   fuzzengine gen COUNT SEED OUTDIR CORPUSDIR...
//       writes COUNT mutants as script files (g00000.tst ...) for whole runs,
//       leaving out any that names a command acting outside the run.
//   fuzzengine bothways SECONDS SEED OUTDIR
//       runs generated programs (support/progen.h) in this process, each
//       with the segment pass and without it, for SECONDS, and compares their
//       logs, variables and fatal exits. A difference, or a program that
//       runs past its time bound (every one ends by construction), is a
//       finding: saved as OUTDIR\bothways-N.tst, minimised into
//       bothways-N-min.tst with both logs in bothways-N-min.txt (for at most
//       30 s each and SECONDS in all); up to ten are saved, all are
//       counted. Exit 0: no finding; 1: findings.
//   fuzzengine programs COUNT SEED OUTDIR
//       writes COUNT generated programs (p00000.tst ...) for whole runs.
//   fuzzengine bothcheck FILE
//       runs one script file both ways the same way and prints what differs;
//       exit 0 when nothing does, 1 when something does.
//   fuzzengine minimise FILE SECONDS
//       cuts the lines of one script file down (support/bothways.h) for
//       tools/fuzzdriver.py, which judges each candidate: the candidate is
//       written to FILE.try and a line "try" printed, and the answer is a
//       line on standard input, "1" when the finding stays, else "0". For at
//       most SECONDS; the smallest that kept it replaces FILE. Exit 0, or 2
//       when FILE cannot be read or written.
//
// A finding is an internal error text, a compile that leaves the offset
// stacks unbalanced, a crash (the process dies: OUTDIR\current.tst holds the
// input) or a compile that takes longer than the hang bound; for a regular
// expression also a result or limit message the engine cannot give, a match
// or capture outside its subject, a broken result text or a block left held.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "regexp/regexp.h"
#include "runtime/exescr.h"
#include "runtime/runlist.h"
#include "support/bothways.h"
#include "support/lineends.h"
#include "support/progen.h"
#include "support/rxgen.h"

namespace {

struct fatalstop {
    std::wstring msg;
};

void throwfatal(ExeScr&, const wchar_t* msg)
{
    throw fatalstop{msg};
}

std::wstring widen(const std::string& s)
{
    if (s.empty())
        return {};
    std::wstring w(s.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(),
                                      static_cast<int>(w.size()));
    w.resize(static_cast<size_t>(n > 0 ? n : 0));
    return w;
}

std::string readbytes(const std::wstring& path)
{
    std::string out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        out.append(buf, got);
    CloseHandle(h);
    return out;
}

// A script as stored: UTF-16LE behind its byte-order mark. A lone surrogate
// goes out as it is; that is one of the things tried.
bool writescript(const std::wstring& path, const std::wstring& text)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const std::wstring all = std::wstring(1, wchar_t(0xFEFF)) + text;
    DWORD done = 0;
    const BOOL ok = WriteFile(h, all.data(), static_cast<DWORD>(all.size() * sizeof(wchar_t)), &done, nullptr);
    CloseHandle(h);
    return ok && done == all.size() * sizeof(wchar_t);
}

// The corpus: every .tst below the given folders, UTF-8 with LF as the
// repository keeps them, turned into the CR LF text the engine reads.
std::vector<std::wstring> loadcorpus(int argc, wchar_t** argv, int first)
{
    std::vector<std::wstring> corpus;
    for (int k = first; k < argc; ++k) {
        std::wstring dir = argv[k];
        if (!dir.empty() && dir.back() != L'\\')
            dir += L'\\';
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"*.tst").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        do {
            corpus.push_back(qtest::crlf(widen(readbytes(dir + fd.cFileName))));
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    return corpus;
}

// ---- mutation

const wchar_t* const fragments[] = {
    L"+", L"-", L"*", L"/", L"%", L"=", L"==", L"!=", L"<", L">", L"<=", L">=", L"<<", L">>", L"&", L"|",
    L"^", L"~", L"!", L"&&", L"||", L"++", L"--", L"+=", L"-=", L"*=", L"/=", L"%=", L"^=", L"<<=", L">>=",
    L"?", L":", L",", L";", L"(", L")", L"{", L"}", L"[", L"]", L"\"", L"'", L"\\", L"#if", L"#else",
    L"#endif", L"/*", L"*/", L"//", L"if", L"else", L"while", L"do", L"for", L"switch", L"case", L"default",
    L"break", L"continue", L"return", L"retstr", L"exit", L"goto", L"main", L"function", L"functstr",
    L"thread", L"localvar", L"localfp", L"localdir", L"num", L"str", L"0", L"1", L"-1", L"0.5", L"0x7fffffff",
    L"9223372036854775807", L"-9223372036854775808", L"99999999999999999999999999", L"1.7976931348623157",
    L"0.000000000000000000000000000001", L"printf(\"%d\", ", L"printf(\"%s%D%x%c", L"strlen(", L"cutstr(",
    L"strtok(", L"tolowerstr(", L"trim(", L"sqrt(", L"pow(", L"idiv(", L"imul(", L"iadd(", L"rand(",
    L"exeline(\"", L"threadstart(", L"threadctl(", L"queue(", L"getargument(", L"arg_01()", L"carg_",
    L"def(", L"undef(", L"monrect[0]", L"a[", L"x[1][2]", L"label:", L"\r\n", L"\u00e9", L"\u4e2d",
    L"monrect[0].left()",
    // Texts joined into variables and read as numbers in place.
    L"strstr(", L"strpbrk(", L"s = \"<\" s i \">\"\r\n", L"n = strlen(s) + strstr(s, \"b\")\r\n",
    // Texts that cross the lengths where a variable's text moves (23 and 128
    // characters), in variables, elements and locals.
    L"s = s s\r\n", L"a[i] = s \"0123456789012345678901\"\r\n", L"trim(a[i])\r\n", L"setc(s, 23, 66)\r\n",
    // Texts read in place by position (getc, cutstr pieces, searches from a
    // start), texts that take turns appending, and a text cut short in place.
    L"n = getc(s, i) + getc(s, strlen(s))\r\n", L"t = cutstr(s, i, n) \"|\" cutstr(s, -1)\r\n",
    L"n = strstr(s, \"a\", i) + strpbrk(s, \"b\", n)\r\n", L"t = t \"\" s\r\ns = s \"xy\" t\r\n", L"setc(s, i, 0)\r\n",
    // Steps run with the test after them (increments, compound assignments,
    // assignments), and joins with empty literals left out.
    L"while (n > 1)\r\n    n /= 2\r\n", L"do {\r\n    n = n * 3\r\n} while (n < 100)\r\n",
    L"for (i = 0; i < strlen(s); i++)\r\n    t = t \"\" cutstr(s, i, i + 1)\r\n", L"s = \"\" s \"\" \"\"\r\n",
    // idiv of two numbers as a node (a zero divisor, a quotient past 64 bits,
    // the side values read after it), and its forms with a flag as cells.
    L"while (n > 0) {\r\n    i += n % 10\r\n    n = idiv(n, 10)\r\n}\r\n", L"n = idiv(i, n - 1) + idivrem() + eflags()\r\n",
    L"n = idiv(LLONG_MIN, i - 2) + idiv(n, 3, i)\r\n",
    // A for loop whose body is an if without braces, then a statement of
    // its own (the step is compiled between them).
    L"for (i = 0; i < 3; i = idiv(i + 2, 1))\r\n    if (i == 1)\r\n        n++\r\nn = strlen(s) + n\r\n",
    // A switch whose cases are segments of their own.
    L"switch (i % 3) {\r\ncase 1:\r\n    n++\r\n    break\r\ncase 2:\r\ndefault:\r\n    n--\r\n}\r\n",
    // Labels and gotos, also in code that "call" (of the script itself, the
    // one file a whole run is sure to find) and "exeline" load and cut back.
    L"\r\n:done\r\n", L"\r\n:again\r\n", L"goto(done)", L"goto(again)", L"call(scriptfn() \".tst\")",
    L"exeline(\"goto(done)\\n:done\\nx = 1\\n\")",
    L"exeline(\"n = 0\\n:again\\nn++\\nif (n < 3) goto(again)\\ngoto(done)\\n:done\\n\")",
};

std::wstring pickline(std::mt19937& rng, const std::wstring& text)
{
    std::vector<size_t> starts{0};
    for (size_t k = 0; k < text.size(); ++k)
        if (text[k] == L'\n')
            starts.push_back(k + 1);
    const size_t s = starts[rng() % starts.size()];
    const size_t e = text.find(L'\n', s);
    return text.substr(s, e == std::wstring::npos ? std::wstring::npos : e + 1 - s);
}

// A position at a token boundary: next to a blank, a line end or punctuation.
size_t boundary(std::mt19937& rng, const std::wstring& t)
{
    if (t.empty())
        return 0;
    for (int tries = 0; tries < 8; ++tries) {
        const size_t p = rng() % (t.size() + 1);
        if (p == 0 || p == t.size() || !iswalnum(t[p - 1]) || !iswalnum(t[p]))
            return p;
    }
    return rng() % (t.size() + 1);
}

std::wstring linesof(const std::wstring& t, size_t& a, size_t& b, std::mt19937& rng)
{
    std::vector<size_t> starts{0};
    for (size_t k = 0; k < t.size(); ++k)
        if (t[k] == L'\n')
            starts.push_back(k + 1);
    starts.push_back(t.size());
    const size_t n = starts.size() - 1;
    const size_t i = rng() % n;
    const size_t j = i + 1 + rng() % std::min<size_t>(3, n - i);
    a = starts[i];
    b = starts[j];
    return t.substr(a, b - a);
}

void mutate(std::mt19937& rng, std::wstring& t, const std::vector<std::wstring>& corpus)
{
    size_t a = 0, b = 0;
    switch (rng() % 14) {
    case 0:  // delete lines
        linesof(t, a, b, rng);
        t.erase(a, b - a);
        break;
    case 1: {  // duplicate lines
        const std::wstring l = linesof(t, a, b, rng);
        t.insert(b, l);
        break;
    }
    case 2:  // splice a line of another script
        t.insert(linesof(t, a, b, rng).empty() ? 0 : a, pickline(rng, corpus[rng() % corpus.size()]));
        break;
    case 3:
    case 4:  // a fragment at a token boundary
        t.insert(boundary(rng, t), fragments[rng() % (sizeof fragments / sizeof fragments[0])]);
        break;
    case 5: {  // delete a few characters
        if (t.empty())
            break;
        const size_t p = rng() % t.size();
        t.erase(p, 1 + rng() % 4);
        break;
    }
    case 6: {  // a long name or a long string
        const size_t n = 20 + rng() % 400;
        std::wstring s = rng() % 2 ? std::wstring(n, L'v') : L"\"" + std::wstring(n * 20, L's') + L"\"";
        t.insert(boundary(rng, t), s);
        break;
    }
    case 7: {  // deep nesting around a point
        const size_t p = boundary(rng, t);
        const int n = static_cast<int>(rng() % 3000);
        const wchar_t* open = rng() % 3 == 0 ? L"(" : rng() % 2 ? L"sqrt(" : L"a[";
        const wchar_t* close = open[0] == L'a' ? L"]" : L")";
        std::wstring o, c;
        for (int k = 0; k < n; ++k) {
            o += open;
            c += close;
        }
        t.insert(p, o + L"1" + c);
        break;
    }
    case 8:  // unterminated literal or comment
        t.insert(rng() % (t.size() + 1), rng() % 3 == 0 ? L"/*" : rng() % 2 ? L"\"" : L"'");
        break;
    case 9:  // a lone surrogate
        t.insert(rng() % (t.size() + 1), 1, static_cast<wchar_t>(rng() % 2 ? 0xD800 + rng() % 0x400 : 0xDC00 + rng() % 0x400));
        break;
    case 10: {  // a random character
        if (t.empty())
            break;
        t[rng() % t.size()] = static_cast<wchar_t>(rng() % 2 ? 32 + rng() % 95 : rng() % 0x10000);
        break;
    }
    case 11: {  // swap two lines
        const std::wstring l1 = linesof(t, a, b, rng);
        t.erase(a, b - a);
        t.insert(linesof(t, a, b, rng).empty() ? 0 : a, l1);
        break;
    }
    case 12:  // a huge number
        t.insert(boundary(rng, t), rng() % 2 ? L"123456789012345678901234567890" : L"0x" + std::wstring(30, L'f'));
        break;
    default:  // cut the text short
        if (!t.empty())
            t.resize(rng() % t.size());
        break;
    }
}

std::wstring mutant(std::mt19937& rng, const std::vector<std::wstring>& corpus)
{
    std::wstring t = corpus[rng() % corpus.size()];
    const int n = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < n; ++k)
        mutate(rng, t, corpus);
    return t;
}

// ---- one compile

struct verdict {
    bool finding;
    std::wstring what;
};

bool contains(const std::wstring& s, const wchar_t* part)
{
    return s.find(part) != std::wstring::npos;
}

// Gives back every block the engine still holds: a fatal exit leaves them.
void releaseblocks(ExeScr& e)
{
    std::erase_if(e.allocs, [](const memrec& r) {
        if (!r.reserved)
            free(r.ptr);
        return !r.reserved;  // address space the destructor gives back
    });
}

verdict compileonce(const std::wstring& text)
{
    auto* e = new ExeScr();
    std::wstring buf = std::wstring(1, wchar_t(0xFEFF)) + text;
    verdict v{false, L"ok"};
    try {
        e->loadscript(buf.data() + 1);
        e->segpass(0);
        if (!e->offsets.empty() || !e->offsets2.empty()) {
            v = {true, L"offset stacks left unbalanced"};
        }
    } catch (const fatalstop& f) {
        v = {contains(f.msg, L"internal"), L"fatal: " + f.msg};
    }
    releaseblocks(*e);
    delete e;
    return v;
}

// ---- one regular-expression input
//
// A "match", then a "subs" that may keep the program, template or subject,
// then a "match" on what the object kept: on a fresh object, so that a saved
// input runs again the same way. Saved as a text that no script begins with:
// a header, then the numbers and the four texts, separated by U+0001.

struct rxinput {
    uint32_t flags1 = 0, start1 = 0, end1 = 0xFFFFFFFF;
    uint32_t flags2 = 0, start2 = 0, start3 = 0;
    std::wstring pattern, subject, templ, subject2;
};

const wchar_t rxheader[] = L"//regexp input\x01";

std::wstring rxrecord(const rxinput& in)
{
    std::wstring t = rxheader;
    for (uint32_t v : {in.flags1, in.start1, in.end1, in.flags2, in.start2, in.start3})
        t += std::to_wstring(v) + L" ";
    for (const std::wstring* f : {&in.pattern, &in.subject, &in.templ, &in.subject2})
        t += L"\x01" + *f;
    return t;
}

bool rxparse(const std::wstring& text, rxinput& in)
{
    if (text.compare(0, wcslen(rxheader), rxheader) != 0)
        return false;
    std::vector<std::wstring> fields;
    size_t from = wcslen(rxheader);
    for (size_t at; (at = text.find(L'\x01', from)) != std::wstring::npos; from = at + 1)
        fields.push_back(text.substr(from, at - from));
    fields.push_back(text.substr(from));
    if (fields.size() != 5)
        return false;
    uint32_t* nums[] = {&in.flags1, &in.start1, &in.end1, &in.flags2, &in.start2, &in.start3};
    const wchar_t* p = fields[0].c_str();
    for (uint32_t* n : nums) {
        wchar_t* e = nullptr;
        *n = static_cast<uint32_t>(wcstoul(p, &e, 10));
        if (e == p)
            return false;
        p = e;
    }
    in.pattern = fields[1];
    in.subject = fields[2];
    in.templ = fields[3];
    in.subject2 = fields[4];
    return true;
}

rxinput rxrandom(qtest::rxgen& g)
{
    rxinput in;
    in.pattern = g.pattern();
    in.subject = g.subject();
    in.templ = g.replacement();
    in.subject2 = g.chance(50) ? in.subject : g.subject();
    const auto offset = [&](size_t len) {
        return g.chance(75) ? 0u : g.chance(10) ? 0xFFFFFFFFu : uint32_t(g.pick(len + 3));
    };
    in.flags1 = g.chance(10) ? 1 : 0;
    in.start1 = offset(in.subject.size());
    in.end1 = g.chance(80) ? 0xFFFFFFFFu : uint32_t(g.pick(in.subject.size() + 3));
    in.flags2 = uint32_t(g.pick(32)) & ~8u;
    in.start2 = offset(in.subject2.size());
    in.start3 = offset(in.subject2.size());
    return in;
}

struct rxrecorder {
    std::vector<std::wstring> fatals;
};

void rxrecordfatal(void* ctx, const wchar_t* msg)
{
    static_cast<rxrecorder*>(ctx)->fatals.push_back(msg);
}

// What is wrong with the object after one call, or empty.
std::wstring rxcheck(const RegExp& rx, int r, rxrecorder& rec)
{
    static const std::set<int> results = {1, 0, rxdeep, rxanchor, rxbad1, rxbad2, rxfatal};
    static const std::set<std::wstring> messages = {
        L"split table overflow error", L"Too much restore number error.", L"critical rgexp overflow error.",
        L"combination mismatch of ()  \n", L"invalid capref number error.\n"};
    if (!results.count(r))
        return L"internal: result " + std::to_wstring(r);
    for (const std::wstring& m : rec.fatals)
        if (!messages.count(m))
            return L"internal: limit message " + m;
    if ((r == rxfatal) != !rec.fatals.empty())
        return L"internal: result " + std::to_wstring(r) + L" with " + std::to_wstring(rec.fatals.size()) +
               L" limit messages";
    rec.fatals.clear();
    const wchar_t* s = rx.subject;
    const size_t len = s ? wcslen(s) : 0;
    if (rx.mend) {
        if (!s || rx.mstart < s || rx.mstart > rx.mend || rx.mend > s + len)
            return L"internal: match outside its subject";
        if (rx.ncaps > rxmaxcaptures)
            return L"internal: too many capture records";
        for (uint32_t k = 0; k < rx.ncaps; ++k)
            if (rx.caps[k].text < s || rx.caps[k].text + rx.caps[k].len > s + len)
                return L"internal: capture outside its subject";
    } else if (r != 1 && r != rxfatal && rx.ncaps != 0) {
        return L"internal: capture records after a failed search";
    }
    if (wcslen(rx.resulttext()) != rx.resultlength())
        return L"internal: broken result text";
    return {};
}

ExeScr* g_rxengine = nullptr;

verdict rxonce(const rxinput& in)
{
    if (!g_rxengine)
        g_rxengine = new ExeScr();
    ExeScr& e = *g_rxengine;
    rxrecorder rec;
    verdict v{false, L"ok"};
    try {
        RegExp* rx = RegExp::make(e);
        rx->onfatal = rxrecordfatal;
        rx->fatalctx = &rec;
        std::wstring what;
        rx->setsubject(in.subject.c_str());
        int r = rx->regexmatch(in.flags1, in.pattern.c_str(), in.start1, in.end1);
        what = rxcheck(*rx, r, rec);
        if (what.empty()) {
            r = rx->regexsubs(in.flags2, in.pattern.c_str(), in.templ.c_str(), in.subject2.c_str(), in.start2);
            what = rxcheck(*rx, r, rec);
            // A first-only replacement leaves its place inside the result.
            if (what.empty() && r == 1 && (in.flags2 & 16) && rx->afterpos > rx->resultlength())
                what = L"internal: the place behind the replacement lies past the result";
        }
        if (what.empty()) {
            r = rx->regexmatch(1, nullptr, in.start3, 0xFFFFFFFF);
            what = rxcheck(*rx, r, rec);
        }
        RegExp::destroy(e, rx);
        if (!what.empty())
            v = {true, what};
        else if (!e.allocs.empty())
            v = {true, L"internal: " + std::to_wstring(e.allocs.size()) + L" blocks left held"};
    } catch (const fatalstop& f) {
        // Only the allocator's own exit gets here; the object is spent.
        v = {contains(f.msg, L"internal"), L"fatal: " + f.msg};
    }
    releaseblocks(e);
    return v;
}

// ---- hang bound and crash record

HANDLE g_current = INVALID_HANDLE_VALUE;
volatile LONG g_busy = 0;      // 1 while an attempt runs
volatile LONG g_attempt = 0;   // bumped per attempt
constexpr DWORD hangms = 5000;

// Keeps the input of the running attempt on disk, so that a crash that ends
// the process still leaves it behind.
void recordcurrent(const std::wstring& text)
{
    const std::wstring all = std::wstring(1, wchar_t(0xFEFF)) + text;
    SetFilePointer(g_current, 0, nullptr, FILE_BEGIN);
    DWORD done = 0;
    WriteFile(g_current, all.data(), static_cast<DWORD>(all.size() * sizeof(wchar_t)), &done, nullptr);
    SetEndOfFile(g_current);
}

DWORD WINAPI watchdog(void*)
{
    LONG seen = -1;
    DWORD since = GetTickCount();
    for (;;) {
        Sleep(100);
        const LONG now = g_attempt;
        if (now != seen || !g_busy) {
            seen = now;
            since = GetTickCount();
            continue;
        }
        if (GetTickCount() - since > hangms) {
            fputs("fuzzengine: hang: an attempt ran past the bound; see current.tst\n", stderr);
            fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 5);
        }
    }
}

void recordrunning();

LONG WINAPI crashed(EXCEPTION_POINTERS* info)
{
    recordrunning();
    fprintf(stderr, "fuzzengine: crash 0x%08lx; see current.tst\n", info->ExceptionRecord->ExceptionCode);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 70);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool opencurrent(const std::wstring& outdir)
{
    g_current = CreateFileW((outdir + L"\\current.tst").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
    return g_current != INVALID_HANDLE_VALUE;
}

verdict attempt(const std::wstring& text)
{
    recordcurrent(text);
    InterlockedIncrement(&g_attempt);
    InterlockedExchange(&g_busy, 1);
    rxinput in;
    verdict v = rxparse(text, in) ? rxonce(in) : compileonce(text);
    InterlockedExchange(&g_busy, 0);
    return v;
}

// The words whose commands act outside the run (files, registry, processes,
// input, power, devices, the clipboard): a mutant that names one is not run.
const wchar_t* const outside[] = {
    L"deletefile", L"removedirectory", L"movefile", L"copyfile", L"createdirectory", L"setfileattributes",
    L"setfiletime", L"setcurrentdirectory", L"fopen", L"fwrite", L"fdel", L"fbwrite", L"fflush", L"regaddstr",
    L"regdel", L"creproc", L"shellexe", L"killprocess", L"shutdown", L"wakes3s4", L"preventsuspend", L"keyin",
    L"mousemove", L"mousebtn", L"sendstr", L"clkitem", L"ctrlwin", L"setwindowpos", L"setclipboarddata",
    L"setcliptext", L"mastervol", L"usbeject", L"playsound", L"registerhotkey", L"getopenfilename",
    L"pushpoptasktray", L"setprog", L"imagebox", L"drawbox", L"dshow", L"wmiproc",
};

bool actsoutside(const std::wstring& text)
{
    std::wstring lower = text;
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(towlower(c));
    for (const wchar_t* w : outside)
        if (contains(lower, w))
            return true;
    return false;
}

int usage()
{
    fputs("usage: fuzzengine inproc SECONDS SEED OUTDIR CORPUSDIR... | check FILE | gen COUNT SEED OUTDIR CORPUSDIR...\n"
          "       | bothways SECONDS SEED OUTDIR | programs COUNT SEED OUTDIR | bothcheck FILE\n"
          "       | minimise FILE SECONDS\n",
          stderr);
    return 2;
}

// ---- both ways

// A generated program runs in milliseconds: past this it runs for ever.
constexpr DWORD runbound = 2000;
// What minimising waits for a run: a program cut down runs less.
constexpr DWORD trialbound = 500;
constexpr int savedmost = 10;

std::wstring readscript(const std::wstring& path)
{
    const std::string bytes = readbytes(path);
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * 2);
    if (!text.empty() && text[0] == 0xFEFF)
        text.erase(0, 1);
    return text;
}

bool writeutf8(const std::wstring& path, const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

struct bothrun {
    qtest::runresult with, without;
    bool stopped() const { return with.stopped || without.stopped; }
};

// The program being run both ways, written to current.tst only when the
// process is about to end under it: a file write per program would cost
// more than its runs.
const std::wstring* g_running = nullptr;

void recordrunning()
{
    if (g_running)
        recordcurrent(*g_running);
}

bothrun bothonce(qtest::inprocess& runner, const std::wstring& text, DWORD bound)
{
    g_running = &text;
    bothrun r{runner.run(text, true, bound), runner.run(text, false, bound)};
    g_running = nullptr;
    return r;
}

// A compile error ends the run before it starts: its one line names no cell's
// line at its end ("... at line N" is a run's).
bool compilefailed(const qtest::runresult& r)
{
    if (!r.fatal || r.log.find(L'\n') + 1 != r.log.size())
        return false;
    const size_t at = r.log.rfind(L" at line ");
    return at == std::wstring::npos || r.log.find_first_not_of(L"0123456789", at + 9) != r.log.size() - 1;
}

int bothways(long seconds, uint32_t seed, const std::wstring& outdir)
{
    if (!opencurrent(outdir)) {
        fputs("fuzzengine: cannot write in the output folder\n", stderr);
        return 2;
    }
    qtest::inprocess runner(outdir + L"\\bothways.log", recordrunning);
    qtest::progen gen(seed);
    const ULONGLONG started = GetTickCount64();
    const ULONGLONG end = started + static_cast<ULONGLONG>(seconds) * 1000;
    long count = 0, fatal = 0, compile = 0, differed = 0, stopped = 0;
    int saved = 0;
    ULONGLONG minimising = 0;  // left out of the rate
    while (GetTickCount64() < end) {
        const std::wstring text = gen.program();
        const bothrun r = bothonce(runner, text, runbound);
        ++count;
        if (compilefailed(r.without))
            ++compile;  // the generator's fault: its programs are meant to compile
        else if (r.without.fatal)
            ++fatal;
        const std::wstring diff = qtest::difference(r.with, r.without);
        if (diff.empty() && !r.stopped())
            continue;
        ++(r.stopped() ? stopped : differed);
        if (saved >= savedmost)
            continue;
        const std::wstring name = outdir + L"\\bothways-" + std::to_wstring(++saved);
        writescript(name + L".tst", text);
        const bool hang = r.stopped(), wayswith = r.with.stopped, wayswithout = r.without.stopped;
        const std::wstring past = std::wstring(L"ran past the time bound ") +
                                  (wayswith && wayswithout ? L"both ways" : wayswith ? L"with the segment pass only"
                                                                                     : L"without the segment pass only") +
                                  L"\n";
        writeutf8(name + L".txt", hang ? past : diff);
        // Cut down while the same kind of finding stays. A cut can take a
        // loop's step or a recursion's end away: a run past its bound one way
        // only must stay so, and one past it both ways (which is most likely
        // the generator's) may end up cut to another such program.
        const auto still = [&](const std::wstring& t) {
            const bothrun q = bothonce(runner, t, trialbound);
            if (hang)
                return q.with.stopped == wayswith && q.without.stopped == wayswithout;
            return !q.stopped() && !qtest::difference(q.with, q.without).empty();
        };
        // Minimising takes at most as long as the programs had, in all.
        const ULONGLONG cut = GetTickCount64();
        const ULONGLONG left = static_cast<ULONGLONG>(seconds) * 1000 > minimising
                                   ? static_cast<ULONGLONG>(seconds) * 1000 - minimising
                                   : 0;
        const std::wstring small = qtest::minimise(text, still, cut + std::min<ULONGLONG>(30000, left));
        const bothrun q = bothonce(runner, small, hang ? runbound : trialbound);
        writescript(name + L"-min.tst", small);
        writeutf8(name + L"-min.txt", hang ? past : qtest::difference(q.with, q.without));
        fwprintf(stderr, L"fuzzengine: finding %d after %ld programs: %ls\n", saved, count,
                 (hang ? past.substr(0, past.size() - 1) : diff.substr(0, diff.find(L'\n'))).c_str());
        minimising += GetTickCount64() - cut;
    }
    const double secs = static_cast<double>(GetTickCount64() - started - minimising) / 1000.0;
    printf("fuzzengine: %ld programs run both ways (%.0f a second), %ld ended in a run-time error, %ld in a compile "
           "error, %ld differed, %ld ran past the time bound\n",
           count, secs > 0 ? static_cast<double>(count) / secs : 0.0, fatal, compile, differed, stopped);
    return differed || stopped ? 1 : 0;
}

// The one line minimiser of the fuzzer, for findings that the driver
// judges: each candidate is asked of it over standard output and input.
int minimisefile(const std::wstring& path, unsigned long seconds)
{
    const std::string bytes = readbytes(path);
    if (bytes.size() < 2)
        return 2;
    const std::wstring trial = path + L".try";
    const auto still = [&](const std::wstring& t) {
        if (!writescript(trial, t))
            return false;
        fputs("try\n", stdout);
        fflush(stdout);
        char answer[16] = {};
        return fgets(answer, sizeof answer, stdin) != nullptr && answer[0] == '1';
    };
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    const std::wstring small = qtest::minimise(readscript(path), still, deadline);
    DeleteFileW(trial.c_str());
    return writescript(path, small) ? 0 : 2;
}

}  // namespace

namespace {

int work(int argc, wchar_t** argv)
{
    const std::wstring mode = argv[1];

    if (mode == L"check") {
        const std::wstring text = readscript(argv[2]);
        CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
        g_current = CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const verdict v = attempt(text);
        fwprintf(stdout, L"%ls\n", v.what.c_str());
        return v.finding ? 1 : 0;
    }

    if (mode == L"bothcheck") {
        qtest::inprocess runner(std::wstring(argv[2]) + L".log", recordrunning);
        g_current = CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const bothrun r = bothonce(runner, readscript(argv[2]), runbound);
        const std::wstring diff = qtest::difference(r.with, r.without);
        if (r.stopped())
            fwprintf(stdout, L"ran past the time bound\n");
        fwprintf(stdout, L"%ls\n", diff.empty() ? L"the same both ways" : diff.c_str());
        return diff.empty() && !r.stopped() ? 0 : 1;
    }

    if (mode == L"minimise" && argc == 4)
        return minimisefile(argv[2], wcstoul(argv[3], nullptr, 10));

    if ((mode == L"bothways" || mode == L"programs") && argc == 5) {
        const long amount = wcstol(argv[2], nullptr, 10);
        const uint32_t seed = static_cast<uint32_t>(wcstoul(argv[3], nullptr, 10));
        const std::wstring outdir = argv[4];
        if (mode == L"bothways")
            return bothways(amount, seed, outdir);
        qtest::progen gen(seed);
        int written = 0;
        for (long k = 0; k < amount; ++k) {
            wchar_t name[32];
            _snwprintf(name, 32, L"\\p%05ld.tst", k);
            name[31] = 0;
            if (writescript(outdir + name, gen.program()))
                ++written;
        }
        printf("fuzzengine: %d programs written\n", written);
        return 0;
    }

    if (argc < 6)
        return usage();
    const long amount = wcstol(argv[2], nullptr, 10);
    std::mt19937 rng(static_cast<unsigned>(wcstoul(argv[3], nullptr, 10)));
    const std::wstring outdir = argv[4];
    const std::vector<std::wstring> corpus = loadcorpus(argc, argv, 5);
    if (corpus.empty()) {
        fputs("fuzzengine: no corpus scripts found\n", stderr);
        return 2;
    }

    if (mode == L"gen") {
        int written = 0;
        for (long k = 0; written < amount && k < amount * 20; ++k) {
            const std::wstring t = mutant(rng, corpus);
            if (actsoutside(t))
                continue;
            wchar_t name[32];
            _snwprintf(name, 32, L"\\g%05d.tst", written);
            name[31] = 0;
            if (writescript(outdir + name, t))
                ++written;
        }
        printf("fuzzengine: %d scripts written\n", written);
        return 0;
    }

    if (mode != L"inproc")
        return usage();
    if (!opencurrent(outdir)) {
        fputs("fuzzengine: cannot write in the output folder\n", stderr);
        return 2;
    }
    CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(amount) * 1000;
    qtest::rxgen rxg(static_cast<uint32_t>(rng()));
    long count = 0, fatal = 0, regexps = 0;
    const auto report = [&] {
        printf("fuzzengine: %ld inputs compiled, %ld ended in a compile error, %ld of them regular expressions\n",
               count, fatal, regexps);
    };
    while (GetTickCount64() < end) {
        for (int k = 0; k < 50; ++k) {
            // Every fifth input is a regular expression rather than a script.
            const bool regexp = k % 5 == 4;
            const std::wstring t = regexp ? rxrecord(rxrandom(rxg)) : mutant(rng, corpus);
            const verdict v = attempt(t);
            ++count;
            if (regexp)
                ++regexps;
            if (v.what != L"ok")
                ++fatal;
            if (v.finding) {
                writescript(outdir + L"\\finding.tst", t);
                fwprintf(stderr, L"fuzzengine: finding after %ld inputs: %ls\n", count, v.what.c_str());
                report();
                return 1;
            }
        }
    }
    report();
    return 0;
}

struct workargs {
    int argc;
    wchar_t** argv;
    int status;
};

// Compiles run on a thread with a script thread's stack, so that the nesting
// bounds are tried as in a run.
DWORD WINAPI workthread(void* p)
{
    auto* w = static_cast<workargs*>(p);
    w->status = work(w->argc, w->argv);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return usage();
    SetUnhandledExceptionFilter(crashed);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    g_fatalhook = throwfatal;
    workargs w{argc, argv, 2};
    HANDLE h = CreateThread(nullptr, scriptstacksize, workthread, &w, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!h)
        return 2;
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    return w.status;
}
