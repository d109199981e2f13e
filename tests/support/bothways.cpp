#include "support/bothways.h"

#include <algorithm>
#include <utility>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

namespace qtest {

namespace {

struct fatalrun {};

// The fatal exit's line as myerrexit writes it, then back to the runner:
// the box and the dispatching that follow it have no place here.
void logfatal(ExeScr& e, const wchar_t* msg)
{
    e.logsupfile = 0;
    e.logsupwin = 0;
    if (e.logon == 1) {
        const int line = e.compiling == 0 ? e.curline() : 0;
        if (line > 0)
            e.mylogmsg(L"%s %s at line %d\n", L"Exiting...", msg, line);
        else
            e.mylogmsg(L"%s %s \n", L"Exiting...", msg);
    }
    throw fatalrun{};
}

void appendf(std::wstring& out, const wchar_t* fmt, ...)
{
    wchar_t buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int n = _vsnwprintf(buf, 512, fmt, ap);
    va_end(ap);
    buf[511] = 0;
    if (n >= 0)
        out += buf;
}

// A text with its control characters shown, cut after 300 characters.
std::wstring shown(const wchar_t* t)
{
    std::wstring out;
    size_t n = 0;
    for (; t[n] && n < 300; ++n) {
        const wchar_t c = t[n];
        if (c == L'\\')
            out += L"\\\\";
        else if (c < 32)
            appendf(out, L"\\x%02x", static_cast<unsigned>(c));
        else
            out += c;
    }
    if (t[n])
        appendf(out, L"...(%zu)", n + wcslen(t + n));
    return out;
}

void describe(ExeScr& e, std::wstring& out, const std::wstring& name, const varrec* v)
{
    out += name;
    if (v->state == varnum) {
        if (v->isint)
            appendf(out, L" int %lld\n", static_cast<long long>(v->i));
        else
            appendf(out, L" double %.17g (%016llx)\n", v->d, static_cast<unsigned long long>(v->i));
    } else if (v->state == varstr) {
        out += L" text \"" + shown(e.vartext(v)) + L"\"\n";
    } else {
        appendf(out, L" state %u\n", static_cast<unsigned>(v->state));
    }
}

// The elements of one level, by their indexes, each made one (its record
// and name noted in `made`), a value given or not: an element is made where
// it is first located, and the segments must make the same ones as the cells,
// in the same order, however a run ends.
void elements(ExeScr& e, std::wstring& out, std::vector<std::pair<int32_t, std::wstring>>& made,
              const std::wstring& prefix, const void* buf, uint32_t count, int levels)
{
    if (!buf)
        return;
    for (uint32_t k = 0; k < count; ++k) {
        const std::wstring at = prefix + L"[" + std::to_wstring(k) + L"]";
        if (levels == 1) {
            const int32_t g = static_cast<const int32_t*>(buf)[k];
            if (g >= 0 && g < e.globals.count()) {
                describe(e, out, at, e.globals.base + g);
                made.emplace_back(g, at);
            }
        } else {
            const indexnode& n = static_cast<const indexnode*>(buf)[k];
            elements(e, out, made, at, n.buf, n.count, levels - 1);
        }
    }
}

std::wstring state(ExeScr& e, bool fatal)
{
    std::wstring out;
    for (int32_t k = 0; k < e.globals.count(); ++k) {
        const varrec* v = e.globals.base + k;
        if (!(v->flags & varelement))
            describe(e, out, e.varname(v), v);
    }
    std::vector<std::pair<int32_t, std::wstring>> made;
    for (const arrayrec* a = e.arrays.base; a && a < e.arrays.top; ++a) {
        const std::wstring name(a->name);  // the compiler keeps it as "a[]", "m[][]"...
        elements(e, out, made, name.substr(0, name.find(L'[')), a->buf, a->count, a->dims > 0 ? a->dims : 1);
    }
    // Records are taken in the order elements are made.
    if (!made.empty()) {
        std::sort(made.begin(), made.end());
        out += L"elements made:";
        for (const auto& m : made)
            out += L" " + m.second;
        out += L"\n";
    }
    appendf(out, L"signmode %u stop %u\n", e.signmode, e.stopflag);
    // After a fatal exit no script reads them: the stacks hold what the
    // failing cell was working on, and the side values may keep what a
    // segment computed before it handed over to cells that failed sooner.
    if (!fatal) {
        appendf(out, L"idivrem %lld eflags %x imuldx %lld\n", static_cast<long long>(e.idivrem),
                static_cast<unsigned>(e.eflags), static_cast<long long>(e.imuldx));
        appendf(out, L"left: datd %d dats %d stackdd %d\n", e.datd.count(), e.dats.count(), e.stackdd.count());
    }
    return out;
}

// Gives back every block the engine still holds: a run here has no end.
void releaseblocks(ExeScr& e)
{
    std::erase_if(e.allocs, [](const memrec& r) {
        if (!r.reserved)
            free(r.ptr);
        return !r.reserved;  // address space the destructor gives back
    });
}

// What the log file got from `from` on; the file pointer ends at its end.
std::wstring readlog(HANDLE h, LARGE_INTEGER from)
{
    std::wstring raw;
    LARGE_INTEGER zero{}, end{};
    SetFilePointerEx(h, zero, &end, FILE_CURRENT);
    raw.resize(static_cast<size_t>(end.QuadPart - from.QuadPart) / sizeof(wchar_t));
    SetFilePointerEx(h, from, nullptr, FILE_BEGIN);
    DWORD got = 0;
    if (!raw.empty())
        ReadFile(h, raw.data(), static_cast<DWORD>(raw.size() * sizeof(wchar_t)), &got, nullptr);
    raw.resize(got / sizeof(wchar_t));
    std::wstring log;
    log.reserve(raw.size());
    for (size_t k = 0; k < raw.size(); ++k)
        if (!(raw[k] == L'\r' && k + 1 < raw.size() && raw[k + 1] == L'\n'))
            log += raw[k];
    return log;
}

}  // namespace

inprocess::inprocess(const std::wstring& logpath, std::function<void()> hang) : onhang(std::move(hang))
{
    logfile = CreateFileW(logpath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_TEMPORARY, nullptr);
    quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watcher = CreateThread(nullptr, 0, watch, this, 0, nullptr);
}

inprocess::~inprocess()
{
    SetEvent(quit);
    if (watcher) {
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
    }
    CloseHandle(quit);
    if (logfile != INVALID_HANDLE_VALUE)
        CloseHandle(logfile);
}

// Polls: a run costs no kernel call for its bound, and runs are short.
DWORD WINAPI inprocess::watch(void* self)
{
    auto* p = static_cast<inprocess*>(self);
    while (WaitForSingleObject(p->quit, 20) == WAIT_TIMEOUT) {
        const ULONGLONG now = GetTickCount64();
        bool hung = false;
        AcquireSRWLockExclusive(&p->lock);
        if (p->engine && now > p->deadline) {
            if (!p->fired) {
                p->engine->stopflag = 1;  // read after every cell and between segments
                p->fired = true;
                p->deadline = now + 5000;
            } else {
                hung = true;
            }
        }
        ReleaseSRWLockExclusive(&p->lock);
        if (hung) {
            fputs("bothways: a run did not end at its stop flag\n", stderr);
            fflush(stderr);
            if (p->onhang)
                p->onhang();
            TerminateProcess(GetCurrentProcess(), 5);
        }
    }
    return 0;
}

runresult inprocess::run(const std::wstring& text, bool segments, DWORD boundms)
{
    runresult r;
    // The log file only grows; each run reads what it added.
    LARGE_INTEGER from{}, zero{};
    SetFilePointerEx(logfile, zero, &from, FILE_CURRENT);
    if (from.QuadPart > (64 << 20)) {
        SetFilePointerEx(logfile, zero, nullptr, FILE_BEGIN);
        SetEndOfFile(logfile);
        from.QuadPart = 0;
    }
    auto* e = new ExeScr();
    e->segon = segments ? 1 : 0;
    e->basename = L"bothways";
    e->loghandle = logfile;
    e->logon = 1;
    std::wstring buf = std::wstring(1, wchar_t(0xFEFF)) + text;
    AcquireSRWLockExclusive(&lock);
    engine = e;
    deadline = GetTickCount64() + boundms;
    fired = false;
    ReleaseSRWLockExclusive(&lock);
    void (*const before)(ExeScr&, const wchar_t*) = g_fatalhook;
    g_fatalhook = logfatal;
    try {
        // As a run reads its file: compile, the pass, the entry unit.
        const int32_t first = e->codecount();
        e->loadscript(buf.data() + 1);
        e->segpass(first);
        if (!e->functable.empty() && e->code)
            e->runentry();
    } catch (const fatalrun&) {
        r.fatal = true;
    }
    g_fatalhook = before;
    AcquireSRWLockExclusive(&lock);
    engine = nullptr;
    r.stopped = fired;
    ReleaseSRWLockExclusive(&lock);
    if (e->logtimer) {
        DeleteTimerQueueTimer(nullptr, e->logtimer, INVALID_HANDLE_VALUE);
        e->logtimer = nullptr;
    }
    e->flushlog();
    e->loghandle = nullptr;
    e->logon = 0;
    r.log = readlog(logfile, from);
    r.state = state(*e, r.fatal);
    exitflag = 0;  // "exit" sets it for the host
    releaseblocks(*e);
    delete e;
    return r;
}

std::wstring difference(const runresult& with, const runresult& without)
{
    std::wstring first;
    if (with.fatal != without.fatal)
        first = with.fatal ? L"a fatal exit only with the segment pass" : L"a fatal exit only without the segment pass";
    else if (with.stopped != without.stopped)
        first = with.stopped ? L"stopped by the time bound only with the segment pass"
                             : L"stopped by the time bound only without the segment pass";
    if (first.empty() && (with.log != without.log || with.state != without.state)) {
        const bool inlog = with.log != without.log;
        const std::wstring& a = inlog ? with.log : with.state;
        const std::wstring& b = inlog ? without.log : without.state;
        size_t at = 0, line = 1;
        while (at < a.size() && at < b.size() && a[at] == b[at]) {
            if (a[at] == L'\n')
                ++line;
            ++at;
        }
        const auto lineof = [](const std::wstring& t, size_t at) {
            const size_t s = t.rfind(L'\n', at ? at - 1 : 0);
            const size_t from = at == 0 || s == std::wstring::npos ? 0 : s + 1;
            const size_t e = t.find(L'\n', from);
            return t.substr(from, e == std::wstring::npos ? std::wstring::npos : e - from);
        };
        first = std::wstring(inlog ? L"the logs" : L"the variables") + L" part at line " + std::to_wstring(line) +
                L": \"" + lineof(a, at) + L"\" with the segment pass, \"" + lineof(b, at) + L"\" without";
    }
    if (first.empty())
        return {};
    return first + L"\n\n---- log with the segment pass\n" + with.log + L"---- log without\n" + without.log +
           L"---- variables with the segment pass\n" + with.state + L"---- variables without\n" + without.state;
}

namespace {

std::vector<std::wstring> splitlines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(L"\r\n", from);
        if (at == std::wstring::npos) {
            lines.push_back(text.substr(from));
            return lines;
        }
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
}

std::wstring joinlines(const std::vector<std::wstring>& lines)
{
    std::wstring t;
    for (size_t k = 0; k < lines.size(); ++k)
        t += (k ? L"\r\n" : L"") + lines[k];
    return t;
}

std::wstring trimmed(const std::wstring& s)
{
    const size_t a = s.find_first_not_of(L" \t");
    if (a == std::wstring::npos)
        return {};
    return s.substr(a, s.find_last_not_of(L" \t") + 1 - a);
}

// The line that closes the block opened at line k (which ends in "{"), or 0.
size_t closing(const std::vector<std::wstring>& lines, size_t k)
{
    int open = 0;
    for (size_t j = k; j < lines.size(); ++j) {
        for (wchar_t c : lines[j]) {
            if (c == L'{')
                ++open;
            else if (c == L'}')
                --open;
        }
        if (open == 0)
            return j > k && trimmed(lines[j]) == L"}" ? j : 0;
    }
    return 0;
}

}  // namespace

std::wstring minimise(const std::wstring& text, const std::function<bool(const std::wstring&)>& still,
                      ULONGLONG deadline)
{
    std::vector<std::wstring> lines = splitlines(text);
    bool changed = true;
    while (changed && GetTickCount64() < deadline) {
        changed = false;
        for (size_t chunk = std::max<size_t>(1, lines.size() / 2); chunk >= 1 && GetTickCount64() < deadline;
             chunk /= 2) {
            for (size_t k = 0; k < lines.size() && GetTickCount64() < deadline;) {
                std::vector<std::wstring> trial(lines.begin(), lines.begin() + static_cast<ptrdiff_t>(k));
                trial.insert(trial.end(), lines.begin() + static_cast<ptrdiff_t>(std::min(lines.size(), k + chunk)),
                             lines.end());
                if (!trial.empty() && still(joinlines(trial))) {
                    lines = trial;
                    changed = true;
                } else {
                    k += chunk;
                }
            }
            if (chunk == 1)
                break;
        }
        // A block's braces without what they hold: its body stays, one level out.
        for (size_t k = 0; k < lines.size() && GetTickCount64() < deadline; ++k) {
            const std::wstring t = trimmed(lines[k]);
            if (t.empty() || t.back() != L'{')
                continue;
            const size_t j = closing(lines, k);
            if (!j)
                continue;
            std::vector<std::wstring> trial = lines;
            trial.erase(trial.begin() + static_cast<ptrdiff_t>(j));
            trial.erase(trial.begin() + static_cast<ptrdiff_t>(k));
            if (still(joinlines(trial))) {
                lines = trial;
                changed = true;
            }
        }
    }
    return joinlines(lines);
}

}  // namespace qtest
