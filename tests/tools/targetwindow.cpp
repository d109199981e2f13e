// The window the window tests drive (see targetwindow.h).
#include "tools/targetwindow.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace target {

namespace {

enum : int {
    idopen = 101,
    idfirst = 111,
    idalpha = 121,
    idbeta = 122,
    idgamma = 123,
    idexit = 109,
    idabout = 201,
    idapply = 301,
    idlater = 302,
    idcancel = 303,
    idcheck = 304,
    idblank = 305,
    idlist1 = 401,
    idlist2 = 402,
    idcombo = 403,
    idedit = 501,
    idreport = 601,
    idtimer = 1,
};

struct menuname {
    int id;
    const wchar_t* name;
};
const menuname menunames[] = {
    {idopen, L"Open"},   {idfirst, L"First file"}, {idalpha, L"Alpha"}, {idbeta, L"Beta"},
    {idgamma, L"Gamma"}, {idexit, L"Exit"},        {idabout, L"About"},
};

std::wstring textof(HWND h)
{
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(h, t.data(), static_cast<int>(t.size()))));
    return t;
}

// The selected item of a list box or combo box, empty when none.
std::wstring selection(HWND h, UINT getsel, UINT getlen, UINT gettext)
{
    const LRESULT sel = SendMessageW(h, getsel, 0, 0);
    if (sel < 0)
        return L"";
    std::wstring t(static_cast<size_t>(SendMessageW(h, getlen, static_cast<WPARAM>(sel), 0)) + 1, L'\0');
    const LRESULT n = SendMessageW(h, gettext, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(t.data()));
    t.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return t;
}

HMENU makemenu()
{
    HMENU more = CreatePopupMenu();
    AppendMenuW(more, MF_STRING, idalpha, L"&Alpha");
    AppendMenuW(more, MF_STRING, idbeta, L"&Beta");
    AppendMenuW(more, MF_STRING, idgamma, L"&Gamma");
    HMENU recent = CreatePopupMenu();
    AppendMenuW(recent, MF_STRING, idfirst, L"&First file");
    AppendMenuW(recent, MF_POPUP, reinterpret_cast<UINT_PTR>(more), L"&More");
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, idopen, L"&Open\tCtrl+O");
    AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), L"&Recent");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, idexit, L"E&xit");
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, idabout, L"&About");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
    return bar;
}

HWND child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id)
{
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

class window {
public:
    explicit window(const options& o) : opts(o)
    {
        if (!o.logpath.empty())
            logfile = CreateFileW(o.logpath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~window()
    {
        if (logfile != INVALID_HANDLE_VALUE)
            CloseHandle(logfile);
    }
    window(const window&) = delete;
    window& operator=(const window&) = delete;

    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == WM_NCCREATE)
            SetWindowLongPtrW(w, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
        auto* self = reinterpret_cast<window*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        return self ? self->onmessage(w, msg, wp, lp) : DefWindowProcW(w, msg, wp, lp);
    }

    // One event: a line of the log (flushed at once: the test reads it while
    // the window lives) and, with `show`, the report line's text.
    void report(const std::wstring& line, bool show = true)
    {
        if (logfile != INVALID_HANDLE_VALUE) {
            const std::wstring l = line + L"\n";
            const int n = WideCharToMultiByte(CP_UTF8, 0, l.c_str(), static_cast<int>(l.size()), nullptr, 0, nullptr, nullptr);
            std::string u(static_cast<size_t>(n), '\0');
            WideCharToMultiByte(CP_UTF8, 0, l.c_str(), static_cast<int>(l.size()), u.data(), n, nullptr, nullptr);
            DWORD written = 0;
            WriteFile(logfile, u.data(), static_cast<DWORD>(u.size()), &written, nullptr);
            FlushFileBuffers(logfile);
        }
        if (show && hwnd)
            SetWindowTextW(GetDlgItem(hwnd, idreport), line.c_str());
    }

    const options& opts;
    HWND hwnd = nullptr;

private:
    HANDLE logfile = INVALID_HANDLE_VALUE;
    RECT lastrect = {};
    bool iconic = false;
    bool zoomed = false;
    bool closing = false;  // the last lines are written: its destruction is not reported

    std::wstring listsel(int id) const
    {
        return selection(GetDlgItem(hwnd, id), LB_GETCURSEL, LB_GETTEXTLEN, LB_GETTEXT);
    }
    std::wstring combosel() const
    {
        return selection(GetDlgItem(hwnd, idcombo), CB_GETCURSEL, CB_GETLBTEXTLEN, CB_GETLBTEXT);
    }

    void makecontrols()
    {
        HWND w = hwnd;
        child(w, L"Button", L"Apply", BS_PUSHBUTTON, 10, 10, 90, 24, idapply);
        child(w, L"Button", L"Apply later", BS_PUSHBUTTON, 110, 10, 90, 24, idlater);
        child(w, L"Button", L"Cancel", BS_PUSHBUTTON, 210, 10, 90, 24, idcancel);
        child(w, L"Button", L"Remember", BS_AUTO3STATE, 10, 44, 120, 20, idcheck);
        HWND l1 = child(w, L"ListBox", nullptr, WS_BORDER | WS_VSCROLL | LBS_NOTIFY, 10, 70, 120, 90, idlist1);
        for (const wchar_t* item : {L"Apple", L"Banana", L"Cherry pie", L"Cherry"})
            SendMessageW(l1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        HWND l2 = child(w, L"ListBox", nullptr, WS_BORDER | LBS_NOTIFY, 140, 70, 100, 90, idlist2);
        for (const wchar_t* item : {L"One", L"Two", L"Three"})
            SendMessageW(l2, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        HWND combo = child(w, L"ComboBox", nullptr, CBS_SIMPLE, 250, 70, 120, 100, idcombo);
        for (const wchar_t* item : {L"Red", L"Green", L"Blue"})
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        child(w, L"Edit", L"hello", WS_BORDER | ES_AUTOHSCROLL, 10, 170, 240, 22, idedit);
        child(w, L"Static", L"starting", SS_LEFT, 10, 200, 380, 20, idreport);
        // Made last, so that the other children keep their order and numbers.
        child(w, L"Button", L"", BS_PUSHBUTTON, 310, 10, 24, 24, idblank);
    }

    void oncommand(WPARAM wp, LPARAM lp)
    {
        const int id = LOWORD(wp);
        const int code = HIWORD(wp);
        if (lp == 0 && code == 0) {
            for (const menuname& m : menunames)
                if (m.id == id)
                    report(std::wstring(L"menu ") + m.name);
            if (id == idexit)
                PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return;
        }
        HWND control = reinterpret_cast<HWND>(lp);
        switch (id) {
        case idapply:
        case idlater:
        case idcancel:
        case idblank:
            if (code == BN_CLICKED) {
                const std::wstring text = textof(control);
                report(L"button " + (text.empty() ? std::wstring(L"(untitled)") : text));
            }
            break;
        case idcheck:
            if (code == BN_CLICKED)
                report(L"check " + std::to_wstring(SendMessageW(control, BM_GETCHECK, 0, 0)));
            break;
        case idlist1:
        case idlist2:
            if (code == LBN_SELCHANGE)
                report((id == idlist1 ? L"list1 " : L"list2 ") + listsel(id));
            break;
        case idcombo:
            if (code == CBN_SELCHANGE)
                report(L"combo " + combosel());
            break;
        default:
            break;
        }
    }

    // Placement and show state, each change logged once.
    void onposchanged(const WINDOWPOS* wp)
    {
        if (closing)
            return;
        if (wp->flags & SWP_SHOWWINDOW)
            report(L"show");
        if (wp->flags & SWP_HIDEWINDOW)
            report(L"hide");
        const bool nowiconic = IsIconic(hwnd) != 0;
        const bool nowzoomed = IsZoomed(hwnd) != 0;
        if (nowiconic != iconic || nowzoomed != zoomed) {
            report(nowiconic ? L"minimized" : nowzoomed ? L"maximized" : L"restored");
            iconic = nowiconic;
            zoomed = nowzoomed;
        }
        RECT r;
        GetWindowRect(hwnd, &r);
        if (!EqualRect(&r, &lastrect) && !nowiconic) {
            lastrect = r;
            wchar_t line[80];
            _snwprintf(line, 80, L"pos %ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
            report(line);
        }
    }

    LRESULT onmessage(HWND w, UINT msg, WPARAM wp, LPARAM lp)
    {
        switch (msg) {
        case WM_CREATE:
            hwnd = w;
            makecontrols();
            return 0;
        case WM_COMMAND:
            oncommand(wp, lp);
            return 0;
        case WM_WINDOWPOSCHANGED:
            onposchanged(reinterpret_cast<const WINDOWPOS*>(lp));
            break;
        case WM_TIMER:
            if (wp == idtimer) {
                report(L"timeout", false);
                closing = true;
                DestroyWindow(w);
            }
            return 0;
        case WM_CLOSE:
            report(L"close", false);
            report(L"final edit=" + textof(GetDlgItem(w, idedit)) + L" check=" +
                       std::to_wstring(SendMessageW(GetDlgItem(w, idcheck), BM_GETCHECK, 0, 0)) + L" list1=" +
                       listsel(idlist1) + L" list2=" + listsel(idlist2) + L" combo=" + combosel(),
                   false);
            closing = true;
            DestroyWindow(w);
            return 0;
        case WM_DESTROY:
            hwnd = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            break;
        }
        return DefWindowProcW(w, msg, wp, lp);
    }
};

}  // namespace

options parse(int argc, wchar_t** argv)
{
    options o;
    for (int k = 1; k < argc; ++k) {
        const std::wstring a = argv[k];
        const bool more = k + 1 < argc;
        if (a == L"/title" && more)
            o.title = argv[++k];
        else if (a == L"/class" && more)
            o.cls = argv[++k];
        else if (a == L"/log" && more)
            o.logpath = argv[++k];
        else if (a == L"/timeout" && more)
            o.timeout = _wtoi(argv[++k]);
        else if (a == L"/at" && k + 4 < argc)
            for (int& v : o.at)
                v = _wtoi(argv[++k]);
    }
    return o;
}

int run(const options& o, HWND volatile* created)
{
    window self(o);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = window::proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = o.cls.c_str();
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return 2;
    HWND w = CreateWindowExW(0, o.cls.c_str(), o.title.c_str(), WS_OVERLAPPEDWINDOW, o.at[0], o.at[1], o.at[2], o.at[3],
                             nullptr, makemenu(), wc.hInstance, &self);
    if (!w)
        return 3;
    ShowWindow(w, SW_SHOWNORMAL);
    UpdateWindow(w);
    SetForegroundWindow(w);
    SetTimer(w, idtimer, static_cast<UINT>(o.timeout) * 1000u, nullptr);
    if (created)
        *created = w;
    self.report(L"ready");

    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return 0;
}

}  // namespace target
