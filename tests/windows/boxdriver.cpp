#include "windows/boxdriver.h"

#include <cstdio>
#include <sstream>

#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

namespace qtest {

namespace {

struct search {
    const wchar_t* cls;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK findtop(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId())
        return TRUE;
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (wcscmp(cls, s->cls) != 0 || (s->title && wintext(hwnd) != s->title))
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

struct childsearch {
    const wchar_t* cls;
    int n;
    HWND found;
};

BOOL CALLBACK findkid(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<childsearch*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (_wcsicmp(cls, s->cls) == 0 && s->n-- == 0) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool pumpuntil(const std::function<bool()>& done, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() > end)
            return done();
        pump(5);
    }
}

std::wstring wintext(HWND w)
{
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(w, t.data(), static_cast<int>(t.size()))));
    return t;
}

HWND findwindow(const wchar_t* cls, const wchar_t* title)
{
    search s{cls, title, nullptr};
    EnumWindows(findtop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND waitwindow(const wchar_t* cls, const wchar_t* title, DWORD ms)
{
    HWND w = nullptr;
    pumpuntil([&] { return (w = findwindow(cls, title)) != nullptr; }, ms);
    return w;
}

HWND nextwindow(const wchar_t* cls, HWND gone, const wchar_t* title)
{
    HWND w = nullptr;
    pumpuntil([&] {
        w = findwindow(cls, title);
        return w && w != gone && IsWindowVisible(w);
    });
    return w;
}

HWND findchild(HWND parent, const wchar_t* cls, int n)
{
    childsearch s{cls, n, nullptr};
    EnumChildWindows(parent, findkid, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

boxscript::boxscript(const std::wstring& n, const wchar_t* text) : path(scratchdir() + n + L".tst"), name(n)
{
    writescript(path, text);
    // A log of an earlier process (Wine reuses process ids, and with them the
    // scratch folder) must not pass for this run's.
    DeleteFileW((scratchdir() + L"log\\" + name + L".log").c_str());
    startMyExec(path.c_str());
}

boxscript::~boxscript()
{
    if (alive()) {
        // A test that failed half-way: stop the run and wake its waits.
        mythreadclosure();
    }
}

ExeScr* boxscript::engine() const
{
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    for (const listedrun& r : runlist)
        if (r.path == path)
            return r.exe;
    return nullptr;
}

bool boxscript::alive() const
{
    return queryexealive(path.c_str()) != 0;
}

bool boxscript::ended(DWORD ms) const
{
    const bool gone = pumpuntil([&] { return !alive(); }, ms);
    if (!gone)
        fprintf(stderr, "---- %s still runs; its log:\n%s", narrow(name).c_str(), narrow(logtext()).c_str());
    return gone;
}

std::vector<std::wstring> boxscript::lines() const
{
    std::wstring text = readfile(scratchdir() + L"log\\" + name + L".log");
    if (!text.empty() && text[0] == 0xFEFF)
        text.erase(0, 1);
    std::vector<std::wstring> all;
    std::wstringstream in(text);
    for (std::wstring line; std::getline(in, line, L'\n');) {
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        all.push_back(line);
    }
    std::vector<std::wstring> body;
    bool started = false;
    for (const std::wstring& l : all) {
        if (l.rfind(L"Script File:", 0) == 0) {
            started = true;
            continue;
        }
        if (l.rfind(L"Quorvel end", 0) == 0)
            break;
        if (started)
            body.push_back(l);
    }
    return body;
}

std::wstring boxscript::logtext() const
{
    std::wstring all;
    for (const std::wstring& l : lines())
        all += l + L"\n";
    return all;
}

bool boxscript::haslines(size_t n, DWORD ms) const
{
    const bool got = pumpuntil([&] { return lines().size() >= n; }, ms);
    if (!got)
        fprintf(stderr, "---- log of %s:\n%s", narrow(name).c_str(), narrow(logtext()).c_str());
    return got;
}

bool boxscript::inboxwait(const std::function<bool(const ExeScr&)>& which, DWORD ms) const
{
    return pumpuntil(
        [&] {
            std::lock_guard<std::mutex> lock(g_scriptmutex);
            for (const listedrun& r : runlist)
                if (r.path == path)
                    return r.exe->boxwaiting != nullptr && (!which || which(*r.exe));
            return false;
        },
        ms);
}

bool incomp(const ExeScr& e) { return e.boxwaiting == &e.gpboxevent; }

bool inchoice(const ExeScr& e) { return e.tvwaitkind != 0; }

}  // namespace qtest
