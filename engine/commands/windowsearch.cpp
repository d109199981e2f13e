// Finding windows: top-level windows by title and class text (or the
// foreground window, or the one under the cursor), descendants of a window,
// a window's parent, and a window's title, class and rectangles.
#include <cwchar>

#include "commands/wintext.h"
#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/shorttext.h"

using wintext::hex32;
using wintext::isword;
using wintext::windowtexts;

namespace {

// The description of a search, cut to its 128 characters whatever the
// needles' length; by the needles it has: both (title, class, number), the
// title alone (title, number) or the class alone (class, number).
void describe(wchar_t (&out)[128], const ExeScr::winsearch& s, const wchar_t* both, const wchar_t* titleonly,
              const wchar_t* clsonly)
{
    const int n = s.title && s.cls ? _snwprintf(out, 128, both, s.title, s.cls, s.wanted)
                  : s.title       ? _snwprintf(out, 128, titleonly, s.title, s.wanted)
                                  : _snwprintf(out, 128, clsonly, s.cls, s.wanted);
    if (n < 0 || n >= 128)
        out[127] = 0;
}

// The text of a popped needle datum, or null when it is empty.
const wchar_t* needle(ExeScr& e, const datscell* c)
{
    const wchar_t* t = e.datstext(c);
    return *t ? t : nullptr;
}

}  // namespace

BOOL CALLBACK ExeScr::winmatch2_enumcb(HWND hwnd, LPARAM self)
{
    return reinterpret_cast<ExeScr*>(self)->winmatch2_enumproc(hwnd);
}

BOOL CALLBACK ExeScr::winmatch_enumcb(HWND hwnd, LPARAM self)
{
    reinterpret_cast<ExeScr*>(self)->winmatch_enumproc(hwnd);
    return TRUE;
}

BOOL ExeScr::winmatch2_enumproc(HWND hwnd)
{
    winsearch& s = topsearch;
    const windowtexts w(hwnd);
    if (s.listonly) {
        if (winverbose())
            mylogmsg(L"title:%s: Class:%s: hWnd:%llx \n", w.title, w.cls,
                     static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)));
        return TRUE;
    }
    if (!s.title && !s.cls)
        return TRUE;
    if (s.title && !hastext(w.title, s.title))
        return TRUE;
    if (s.cls && !hastext(w.cls, s.cls))
        return TRUE;
    if (s.wanted == -1) {
        if (winverbose()) {
            mylogmsg(L"Match hWnd %x:%s:%s: ..............\n", hex32(hwnd), w.title, w.cls);
            RECT r = {};
            GetWindowRect(hwnd, &r);
            mylogmsg(L" left:%d top:%d right:%d bottom:%d \n", r.left, r.top, r.right, r.bottom);
        }
        s.found = hwnd;
        return FALSE;
    }
    if (s.counter == static_cast<uint32_t>(s.wanted)) {
        s.found = hwnd;
        if (winverbose())
            mylogmsg(L"Match selnum:%d hWnd %x:%s:%s: ..............\n", s.wanted, hex32(hwnd), w.title, w.cls);
        ++s.counter;
        return FALSE;
    }
    ++s.counter;
    return TRUE;
}

void ExeScr::winmatch_enumproc(HWND hwnd)
{
    winsearch& s = childsearch;
    const windowtexts w(hwnd);
    RECT r = {};
    GetWindowRect(hwnd, &r);
    if (s.listonly) {
        if (winverbose()) {
            mylogmsg(L"   hWnd:%x:title:%s:Class:%s:", hex32(hwnd), w.title, w.cls);
            mylogmsg(L"left:%d top:%d width:%d hight:%d \n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
        return;
    }
    if (s.title) {
        if (!hastext(w.title, s.title))
            return;
        if (winverbose())
            mylogmsg(L" Title Match hWnd %x:%s:..............\n", hex32(hwnd), w.title);
    }
    if (s.cls) {
        if (!hastext(w.cls, s.cls))
            return;
        if (winverbose())
            mylogmsg(L" Class Match hWnd %x:%s:..............\n", hex32(hwnd), w.cls);
    }
    if (s.wanted == -1) {
        // The enumeration goes on: the last matching descendant wins.
        s.found = hwnd;
        if (winverbose())
            mylogmsg(L" Match hWnd %x:%s:%s: ..............\n", hex32(hwnd), w.title, w.cls);
    } else if (s.counter == static_cast<uint32_t>(s.wanted)) {
        s.found = hwnd;
        if (winverbose())
            mylogmsg(L" Match with selnum hWnd %x:%s:%s: ..............\n", hex32(hwnd), w.title, w.cls);
    }
    ++s.counter;
}

void ExeScr::gethwnd_exec()
{
    const int64_t mode = ip->i;
    ++ip;
    topsearch = {nullptr, nullptr, -1, 0, 0, nullptr};
    if (mode == 0) {
        topsearch.listonly = 1;
        EnumWindows(winmatch2_enumcb, reinterpret_cast<LPARAM>(this));
        return;
    }
    const auto dest = static_cast<int32_t>(popd().i);
    HWND found = nullptr;
    if (mode == 1) {
        found = GetForegroundWindow();
    } else if (mode == 2) {
        POINT p = {};
        GetCursorPos(&p);
        found = WindowFromPoint(p);
    } else {
        datscell* title = pops();
        datscell* cls = mode >= 4 ? pops() : nullptr;
        if (mode == 5)
            topsearch.wanted = cmdargs::toi32(popd());
        topsearch.title = needle(*this, title);
        topsearch.cls = cls ? needle(*this, cls) : nullptr;
        const winsearch& s = topsearch;
        if (!s.title && !s.cls) {
            if (winverbose())
                mylogmsg(L"title&class:%s \n", L"invalid string.");
            stopflag = 1;
            if (cls)
                datsrelease(cls);
            datsrelease(title);
            return;
        }
        wchar_t what[128];
        describe(what, s, L"title:%s; class:%s: pos:%d", L"title:%s; class:: pos:%d", L"title:; class:%s: pos:%d");
        if (winverbose())
            mylogmsg(L"gethwnd:%s %s \n", L"searching", what);
        EnumWindows(winmatch2_enumcb, reinterpret_cast<LPARAM>(this));
        if (winverbose()) {
            if (s.title)
                mylogmsg(L"Title:%s: Matched %x \n", s.title, hex32(s.found));
            else
                mylogmsg(L"class:%s: Matched %x \n", s.cls, hex32(s.found));
        }
        found = s.found;
        // The texts were read through the needles up to here.
        if (cls)
            datsrelease(cls);
        datsrelease(title);
        topsearch.title = nullptr;
        topsearch.cls = nullptr;
    }
    setvarnum(dest, datdcell{{static_cast<int64_t>(reinterpret_cast<intptr_t>(found))}, 1});
}

void ExeScr::getchildhwnd_exec()
{
    const int64_t word = ip->i;
    ++ip;
    const uint32_t listonly = static_cast<uint32_t>(word >> 16) & 0xFFFFu;
    const auto count = static_cast<int32_t>(word >> 32);
    if (winverbose())
        mylogmsg(L"getchildhwnd: ");
    childsearch = {nullptr, nullptr, -1, 0, 0, nullptr};
    winsearch& s = childsearch;
    int32_t dest = 0;
    HWND parent = nullptr;
    datscell* title = nullptr;
    datscell* cls = nullptr;
    if (listonly) {
        s.listonly = 1;
        if (winverbose())
            mylogmsg(L"%s\n", L"Enum selection");
        parent = hwndof(popd());
    } else {
        dest = static_cast<int32_t>(popd().i);
        parent = hwndof(popd());
        title = pops();
        s.title = needle(*this, title);
        if (count >= 4) {
            cls = pops();
            s.cls = needle(*this, cls);
        }
        if (count == 5)
            s.wanted = cmdargs::toi32(popd());
        if (!s.title && !s.cls)
            myerrexit(L"title&class:%s", L"invalid string.");
        wchar_t what[128];
        describe(what, s, L"Title:%s:Class:%s pos:%d ", L"Title:%s:Class:: pos:%d ", L"Title::Class:%s pos:%d ");
        if (winverbose())
            mylogmsg(L"%s %s \n", L"searching", what);
    }
    if (winverbose()) {
        const windowtexts p(parent, 128);
        RECT r = {};
        GetWindowRect(parent, &r);
        mylogmsg(L"S: title:%s:Class:%s:hWnd:%x:", p.title, p.cls, hex32(parent));
        mylogmsg(L"left:%d top:%d width:%d hight:%d \n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    s.counter = 0;
    EnumChildWindows(parent, winmatch_enumcb, reinterpret_cast<LPARAM>(this));
    if (!listonly)
        setvarnum(dest, datdcell{{static_cast<int64_t>(reinterpret_cast<intptr_t>(s.found))}, 1});
    if (cls)
        datsrelease(cls);
    if (title)
        datsrelease(title);
    s.title = nullptr;
    s.cls = nullptr;
}

void ExeScr::getparent_exec()
{
    const auto dest = static_cast<int32_t>(popd().i);
    HWND parent = GetParent(hwndof(popd()));
    setvarnum(dest, datdcell{{static_cast<int64_t>(reinterpret_cast<intptr_t>(parent))}, 1});
}

void ExeScr::wininfo_exec()
{
    HWND h = hwndof(popd());
    const windowtexts w(h);
    RECT r = {};
    RECT c = {};
    GetWindowRect(h, &r);
    GetClientRect(h, &c);
    winrect = r;
    cliright = c.right;
    clibottom = c.bottom;
    foundtitle = w.title;
    foundclass = w.cls;
}

// ---- front ends

namespace {

// Whether a text holds nothing but blanks, tabs and comments (the splitter
// has checked that each comment ends).
bool nothingin(const wchar_t* text)
{
    for (;;) {
        while (textscan::blank(*text))
            ++text;
        if (text[0] != L'/' || text[1] != L'*')
            return *text == 0;
        const wchar_t* end = wcsstr(text + 2, L"*/");
        if (!end)
            return false;
        text = end + 2;
    }
}

}  // namespace

void ExeScr::optstr_comp(wchar_t* text)
{
    if (!nothingin(text)) {
        argstr(text);
        return;
    }
    emitcell(&ExeScr::pushstrlit_exec);
    emitu64(3);  // pool 3: the empty string
}

void ExeScr::gethwnd_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count > 4)
        comperr(L"the number of argument mismatch.");
    if (count == 1) {
        if (!isword(args + mypop(), L"enum"))
            comperr(L"the number of argument mismatch.");
        emitcell(&ExeScr::gethwnd_exec);
        emitu64(0);
        return;
    }
    if (count == 4)
        nextnum(args);
    if (count >= 3)
        optstr_comp(args + mypop());
    wchar_t* second = args + mypop();
    int64_t mode = count + 1;
    if (isword(second, L"getforegroundwindow"))
        mode = 1;
    else if (isword(second, L"windowfrompoint"))
        mode = 2;
    if (mode < 3 && count != 2)
        comperr(L"the number of argument mismatch.");
    if (mode >= 3)
        optstr_comp(second);
    destvar_comp(args + mypop());
    emitcell(&ExeScr::gethwnd_exec);
    emitu64(static_cast<uint64_t>(mode));
}

void ExeScr::getchildhwnd_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count == 1 || count > 5)
        comperr(L"the number of argument mismatch.");
    if (count == 5)
        nextnum(args);
    if (count >= 4)
        optstr_comp(args + mypop());
    if (count >= 3)
        optstr_comp(args + mypop());
    nextnum(args);
    wchar_t* first = args + mypop();
    if (!textscan::asciiletter(*textscan::skipblank(first)))
        comperr(L"invalid name.");
    uint64_t listonly = 0;
    if (isword(first, L"enum")) {
        if (count != 2)
            comperr(L"the number of argument mismatch.");
        listonly = 1;
    } else {
        if (count < 3)
            comperr(L"the number of argument mismatch.");
        destvar_comp(first);
    }
    emitcell(&ExeScr::getchildhwnd_exec);
    emitu64(listonly << 16 | static_cast<uint64_t>(count) << 32);
}

void ExeScr::getparent_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    destvar_comp(args + mypop());
    emitcell(&ExeScr::getparent_exec);
}

void ExeScr::wininfo_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::wininfo_exec);
}
