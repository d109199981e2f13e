// "gpbox": a form of static texts, editable combo boxes and radio groups that
// the script builds row by row, then waits on until the user completes it.
// The form runs on a window thread; what it leaves for script variables is
// stored into them on the script thread (gpapply).
#include <algorithm>
#include <cwchar>
#include <string>

#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

#include <shellapi.h>

namespace {

enum : int32_t {
    gpopen = 0, gpclosew, gpstat, gpcombt, gpcombd, gpcomp, gpfontw, gpbtn, gpsetret, gpsetsel, gpaddstr, gpactv,
    gpfit, gpgethwnd
};

const ExeScr::subword formwords[] = {{L"open", gpopen},     {L"close", gpclosew},   {L"stat", gpstat},
                                     {L"combt", gpcombt},   {L"combd", gpcombd},    {L"comp", gpcomp},
                                     {L"font", gpfontw},    {L"btn", gpbtn},        {L"setret", gpsetret},
                                     {L"setsel", gpsetsel}, {L"addstr", gpaddstr},  {L"actv", gpactv},
                                     {L"fit", gpfit},       {L"gethwnd", gpgethwnd}, {nullptr, 0}};

bool formcount(int32_t code, size_t n)
{
    switch (code) {
    case gpclosew:
    case gpcomp:
    case gpfit:
    case gpgethwnd: return n == 1;
    case gpstat:
    case gpsetret:
    case gpactv:
    case gpbtn: return n == 2;
    case gpfontw:
    case gpsetsel:
    case gpaddstr: return n == 3;
    case gpcombt:
    case gpcombd: return n == 2 || n == 3;
    default: return n == 5 || n == 6;
    }
}

constexpr uint32_t rowstatic = 2, rowtext = 3, rowfiles = 4, rowradio = 7;
constexpr int32_t optappend = 1, optchoose = 2;
constexpr int32_t gptextid = 1413;  // texts stored into script variables

bool iscombo(uint32_t kind) { return kind == rowtext || kind == rowfiles; }

std::wstring controltext(HWND w)
{
    std::wstring t(static_cast<size_t>(SendMessageW(w, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    t.resize(static_cast<size_t>(SendMessageW(w, WM_GETTEXT, t.size(), reinterpret_cast<LPARAM>(t.data()))));
    return t;
}

}  // namespace

void ExeScr::gpbox_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    const int32_t code = subcommand(a[0], formwords);
    if (!formcount(code, a.size()))
        comperr(L"the number of argument mismatch.");
    switch (code) {
    case gpopen: {
        int32_t top = 0;
        if (a.size() == 6)
            top = *textscan::skipblank(a[5]) == L't' ? 1 : 0;
        emitcell(&ExeScr::pushint_exec);
        emitint(top);
        for (size_t k = 4; k >= 1; --k)
            argnum(a[k]);
        break;
    }
    case gpcombt:
    case gpcombd:
    case gpbtn: {
        int32_t options = 0;
        if (a.size() == 3)
            for (const wchar_t* p = a[2]; *p; ++p)
                options |= *p == L'a' ? optappend : *p == L'c' ? optchoose : 0;
        if (code == gpcombd) {
            // The row keeps its variable's name for the array of file names.
            wchar_t* name = boxname(a[1]);
            emitcell(&ExeScr::pushstrlit_exec);
            emitu64(static_cast<uint64_t>(parsenamelist(name - 1, name + wcslen(name), 3)));
        }
        if (code != gpbtn) {
            emitcell(&ExeScr::pushint_exec);
            emitint(options);
        }
        destvar_comp(a[1]);
        break;
    }
    case gpstat:
        argstr(a[1]);
        break;
    case gpfontw:
        argnum(a[2]);
        argstr(a[1]);
        break;
    case gpaddstr:
        argstr(a[2]);
        argnum(a[1]);
        break;
    case gpsetsel:
        argnum(a[2]);
        argnum(a[1]);
        break;
    case gpsetret:
    case gpactv:
        argnum(a[1]);
        break;
    default:
        break;
    }
    emitcell(&ExeScr::gpbox_exec);
    emitint(code);
}

int32_t ExeScr::gpbox_items(uint32_t kind, int32_t varindex)
{
    std::lock_guard<std::recursive_mutex> guard(gplock);
    gprow r;
    r.kind = kind;
    r.varindex = varindex;
    gprows.push_back(r);
    return static_cast<int32_t>(gprows.size()) - 1;
}

void ExeScr::gpapply()
{
    std::vector<gpvalue> values;
    std::wstring fatal;
    int32_t drop;
    {
        std::lock_guard<std::recursive_mutex> guard(gplock);
        values.swap(gpvalues);
        fatal.swap(gpfatal);
        drop = gphdrop;
        gphdrop = -1;
    }
    if (!fatal.empty())
        myerrexit(L"%s", fatal.c_str());
    if (drop >= 0)
        hdropcnt = drop;
    for (const gpvalue& v : values) {
        int32_t index = v.varindex;
        if (!v.array.empty())
            index = arraytable(arrayfind(v.array.c_str()), 1, v.element, 0, 0);
        else if (index < 0 ? -index > stackdd.count() : index >= globals.count())
            continue;  // the function that made the row has returned
        varrec* r = varat(index);
        if (v.isnumber) {
            r->state = varnum;
            r->isint = 1;
            r->i = v.number;
        } else {
            r->state = varstr;
            settext(r, v.text.c_str(), v.text.size(), gptextid);
        }
    }
}

void ExeScr::gpdropresults()
{
    std::lock_guard<std::recursive_mutex> guard(gplock);
    gpvalues.clear();
    gpfatal.clear();
    gphdrop = -1;
}

void ExeScr::gpend(int32_t reason, int32_t row, int32_t sel)
{
    gpreason = reason;
    if (row >= 0)
        index1ret = row;
    if (sel >= 0)
        index2ret = sel;
    gpboxevent.set();
}

// ---- the window thread

unsigned __stdcall ExeScr::gpbox_threadentry(void* self)
{
    static_cast<ExeScr*>(self)->gpbox_thread();
    return 0;
}

void ExeScr::gpbox_thread()
{
    registerboxclass(L"quorvel.gpbox", boxthunk<ExeScr, &ExeScr::gpbox_proc>);
    HWND w = CreateWindowExW(0, L"quorvel.gpbox", L"Quorvel - GroupBox", WS_POPUP | WS_CAPTION | WS_SYSMENU, gpx,
                             gpy, gpwidth, gpheight, hWndp, nullptr, GetModuleHandleW(nullptr), this);
    gpboxwnd = w;
    gpfocusctl = nullptr;
    gpfocusrow = -1;
    gpopenevent.set();
    if (w) {
        ShowWindow(w, SW_SHOW);
        UpdateWindow(w);
        boxtofront(w);
        if (gptopmost)
            boxtopmost(w);
        boxmessageloop();
    }
    std::lock_guard<std::recursive_mutex> guard(gplock);
    gprows.clear();
}

void ExeScr::gplayout(int32_t row, const wchar_t* text)
{
    std::lock_guard<std::recursive_mutex> guard(gplock);
    if (row < 0 || static_cast<size_t>(row) >= gprows.size())
        return;
    HWND w = gpboxwnd;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    RECT rc;
    GetClientRect(w, &rc);
    const int32_t cw = rc.right;
    HFONT font = gpfont ? gpfont : hFont1;
    const int32_t h = boxlineheight(w, font, 2);
    int32_t top = 0;
    for (int32_t k = 0; k < row; ++k)
        top = std::max(top, gprows[static_cast<size_t>(k)].bottom);
    top += 2;
    const auto setfont = [&](HWND c) {
        if (font)
            SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    };
    gprow& r = gprows[static_cast<size_t>(row)];
    if (r.kind == rowstatic) {
        if (r.control)
            return;
        r.control = CreateWindowExW(0, L"STATIC", text ? text : L"", WS_CHILD | WS_VISIBLE, 4, top, cw - 8, h, w,
                                    nullptr, inst, nullptr);
        if (!r.control)
            return;
        setfont(r.control);
        r.top = top;
        r.bottom = top + h;
        r.oldproc = boxsubclass(r.control, gpbox_childthunk, this);
    } else if (iscombo(r.kind)) {
        if (r.control) {
            if (text) {
                SendMessageW(r.control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
                ++r.count;
            }
            return;
        }
        HWND combo = CreateWindowExW(0, L"ComboBox", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_AUTOHSCROLL, 4,
                                     top, cw - 8, h, w, nullptr, inst, nullptr);
        if (!combo)
            return;
        setfont(combo);
        RECT cr;
        GetWindowRect(combo, &cr);
        r.control = combo;
        r.top = top;
        r.bottom = top + (cr.bottom - cr.top);
        r.oldproc = boxsubclass(combo, gpbox_childthunk, this);
        if (HWND edit = GetWindow(combo, GW_CHILD)) {
            gprows[static_cast<size_t>(row)].edit = edit;
            gprows[static_cast<size_t>(row)].oldeditproc = boxsubclass(edit, gpbox_childthunk, this);
            if (gpfocusrow < 0)
                SetFocus(edit);
        }
    } else if (r.kind == rowradio && text) {
        const int32_t head = r.group >= 0 ? r.group : row;
        const int32_t n = gprows[static_cast<size_t>(head)].count;
        if (n == 0) {
            gprows[static_cast<size_t>(head)].top = top;
            gprows[static_cast<size_t>(head)].bottom = top + h;
        }
        const int32_t gtop = gprows[static_cast<size_t>(head)].top;
        const int32_t bw = (cw - 8) / (n + 1);
        for (const gprow& b : gprows)
            if (b.kind == rowradio && b.group == head && b.control)
                MoveWindow(b.control, 4 + b.number * bw, gtop, bw, h, TRUE);
        HWND button = CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON, 4 + n * bw, gtop,
                                      bw, h, w, nullptr, inst, nullptr);
        if (!button)
            return;
        setfont(button);
        gprow b;
        b.kind = rowradio;
        b.varindex = gprows[static_cast<size_t>(head)].varindex;
        b.control = button;
        b.group = head;
        b.number = n;
        b.top = gtop;
        b.bottom = gtop + h;
        gprows.push_back(b);
        gprows.back().oldproc = boxsubclass(button, gpbox_childthunk, this);
        gprows[static_cast<size_t>(head)].count = n + 1;
    }
}

void ExeScr::gpclose(HWND w)
{
    {
        std::lock_guard<std::recursive_mutex> guard(gplock);
        for (const gprow& r : gprows) {
            if (!r.control)
                continue;
            if (iscombo(r.kind))
                gpvalues.push_back(gpvalue{r.varindex, L"", 0, false, 0, controltext(r.control)});
            else if (r.kind == rowradio && r.group >= 0 && SendMessageW(r.control, BM_GETCHECK, 0, 0) == BST_CHECKED)
                gpvalues.push_back(gpvalue{gprows[static_cast<size_t>(r.group)].varindex, L"", 0, true, r.number, L""});
        }
        for (gprow& r : gprows) {
            if (r.control)
                DestroyWindow(r.control);
            r.control = nullptr;
            r.edit = nullptr;
        }
        RemoveClipboardFormatListener(w);
        DestroyWindow(w);
        if (gpfont)
            DeleteObject(gpfont);
        gpfont = nullptr;
        for (HFONT f : gpoldfonts)
            DeleteObject(f);
        gpoldfonts.clear();
        gpboxwnd = nullptr;
    }
    gpboxevent.set();
}

bool ExeScr::gpbox_readclip(int32_t row)
{
    bool opened = false;
    for (int k = 0; k < 6 && !opened; ++k) {
        opened = OpenClipboard(hWndp) != FALSE;
        if (!opened && k < 5)
            Sleep(100);
    }
    if (!opened) {
        boxlog(L"%s\n", L"OpenClipboard error.");
        return false;
    }
    std::lock_guard<std::recursive_mutex> guard(gplock);
    gprow& r = gprows[static_cast<size_t>(row)];
    std::wstring shown = (r.options & optappend) ? controltext(r.control) : L"";
    if (r.kind == rowtext) {
        HANDLE data = GetClipboardData(CF_TEXT);
        if (!data) {
            CloseClipboard();
            return false;
        }
        const char* ansi = static_cast<const char*>(GlobalLock(data));
        const int n = ansi ? MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0) : 0;
        std::wstring text(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
        if (n > 0)
            MultiByteToWideChar(CP_ACP, 0, ansi, -1, text.data(), n);
        const DWORD err = GetLastError();
        if (ansi)
            GlobalUnlock(data);
        CloseClipboard();
        if (n <= 0) {
            wchar_t line[512];
            _snwprintf(line, 512, L"%s:%s: \n", L"MultiByteToWideChar failed.", lasterrortext(err).c_str());
            line[511] = 0;
            gpfatal = line;
            return false;
        }
        text.resize(static_cast<size_t>(n) - 1);
        gpvalues.push_back(gpvalue{r.varindex, L"", 0, false, 0, text});
        shown += text;
    } else {
        HANDLE data = GetClipboardData(CF_HDROP);
        if (!data) {
            CloseClipboard();
            boxlog(L"%s\n", L"hdrop open error.");
            return false;
        }
        auto* drop = static_cast<HDROP>(data);
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        gphdrop = static_cast<int32_t>(count);
        r.clipcount = static_cast<int32_t>(count);
        std::wstring array = std::wstring(L"_") + r.varname + L"[]";
        if (array.size() > static_cast<size_t>(arraynamemax))
            array.resize(arraynamemax);  // as the compiler cuts the name of an element it reads
        for (UINT i = 0; i < count; ++i) {
            const UINT len = DragQueryFileW(drop, i, nullptr, 0);
            if (len == 0) {
                gpfatal = L"DragQueryFile error.";
                break;
            }
            std::wstring name(len + 1, L'\0');
            if (DragQueryFileW(drop, i, name.data(), len + 1) == 0) {
                gpfatal = L"DragQueryFile error 2.";
                break;
            }
            name.resize(len);
            shown += name + L"|";
            gpvalues.push_back(gpvalue{0, array, i, false, 0, name});
        }
        CloseClipboard();
    }
    SetWindowTextW(r.control, shown.c_str());
    return true;
}

LRESULT CALLBACK ExeScr::gpbox_childthunk(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* e = reinterpret_cast<ExeScr*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!e)
        return DefWindowProcW(hwnd, msg, wp, lp);
    return e->gpbox_childproc(hwnd, msg, wp, lp);
}

LRESULT ExeScr::gpbox_childproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    int32_t row = -1;
    WNDPROC old = nullptr;
    uint32_t kind = 0;
    HWND combo = nullptr;
    int32_t options = 0;
    {
        std::lock_guard<std::recursive_mutex> guard(gplock);
        for (size_t k = 0; k < gprows.size() && row < 0; ++k) {
            const gprow& r = gprows[k];
            if (r.control == hwnd || r.edit == hwnd) {
                row = static_cast<int32_t>(k);
                old = r.control == hwnd ? r.oldproc : r.oldeditproc;
                kind = r.kind;
                combo = r.control;
                options = r.options;
            }
        }
    }
    if (!old)
        return DefWindowProcW(hwnd, msg, wp, lp);
    const bool dropped = iscombo(kind) && SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0;
    switch (msg) {
    case WM_SETFOCUS:
        gpfocusrow = row;
        gpfocusctl = hwnd;
        break;
    case WM_CHAR:
        if (wp == VK_TAB) {
            std::lock_guard<std::recursive_mutex> guard(gplock);
            const auto n = static_cast<int32_t>(gprows.size());
            for (int32_t step = 1; step <= n; ++step) {
                const gprow& r = gprows[static_cast<size_t>((std::max(gpfocusrow, 0) + step) % n)];
                if (iscombo(r.kind) && r.edit) {
                    SetFocus(r.edit);
                    break;
                }
            }
            return 0;
        }
        if ((wp == VK_RETURN || wp == VK_ESCAPE) && !dropped) {
            if (wp == VK_ESCAPE)
                gpreason = 0;
            PostMessageW(gpboxwnd, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_KEYDOWN:
        if ((wp == VK_UP || wp == VK_DOWN) && iscombo(kind) && !dropped) {
            if (options & optchoose)
                gpend(4, row);
            else
                SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
            return 0;
        }
        if (wp >= VK_F1 && wp <= VK_F12)
            gpend(static_cast<int32_t>(wp));
        break;
    default:
        break;
    }
    return CallWindowProcW(old, hwnd, msg, wp, lp);
}

LRESULT ExeScr::gpbox_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        AddClipboardFormatListener(hwnd);
        return 0;
    case WM_SETFOCUS: {
        std::lock_guard<std::recursive_mutex> guard(gplock);
        if (gpfocusctl && IsWindow(gpfocusctl)) {
            SetFocus(gpfocusctl);
        } else {
            for (const gprow& r : gprows)
                if (iscombo(r.kind) && r.edit) {
                    SetFocus(r.edit);
                    break;
                }
        }
        return 0;
    }
    case WM_CHAR: {
        // A form without rows has nobody to take the key.
        std::lock_guard<std::recursive_mutex> guard(gplock);
        if (!gprows.empty() && gprows[0].control)
            PostMessageW(gprows[0].control, WM_CHAR, wp, lp);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
        SetFocus(hwnd);
        break;
    case WM_COMMAND: {
        std::lock_guard<std::recursive_mutex> guard(gplock);
        const auto ctl = reinterpret_cast<HWND>(lp);
        for (size_t k = 0; ctl && k < gprows.size(); ++k) {
            const gprow r = gprows[k];
            if (r.control != ctl)
                continue;
            if (r.kind == rowradio && HIWORD(wp) == BN_CLICKED && r.group >= 0) {
                for (const gprow& b : gprows)
                    if (b.kind == rowradio && b.group == r.group && b.control)
                        SendMessageW(b.control, BM_SETCHECK, b.control == ctl ? BST_CHECKED : BST_UNCHECKED, 0);
                if (gprows[static_cast<size_t>(r.group)].armed)
                    gpend(2, r.group, r.number);
            } else if (iscombo(r.kind) && HIWORD(wp) == CBN_SELCHANGE && r.armed) {
                gpend(2, static_cast<int32_t>(k), static_cast<int32_t>(SendMessageW(ctl, CB_GETCURSEL, 0, 0)));
            }
            break;
        }
        return 0;
    }
    case WM_CLIPBOARDUPDATE: {
        HWND focus = GetFocus();
        int32_t row = -1;
        {
            std::lock_guard<std::recursive_mutex> guard(gplock);
            for (size_t k = 0; focus && k < gprows.size() && row < 0; ++k)
                if (iscombo(gprows[k].kind) && (gprows[k].control == focus || gprows[k].edit == focus))
                    row = static_cast<int32_t>(k);
        }
        if (row >= 0 && gpbox_readclip(row)) {
            boxtofront(hwnd);
            std::lock_guard<std::recursive_mutex> guard(gplock);
            if (gprows[static_cast<size_t>(row)].armed)
                gpend(3, row);
        }
        return 0;
    }
    case WM_USER:
        gplayout(static_cast<int32_t>(wp), reinterpret_cast<const wchar_t*>(lp));
        return 0;
    case WM_USER + 1: {
        std::lock_guard<std::recursive_mutex> guard(gplock);
        const auto row = static_cast<int32_t>(wp);
        const auto sel = static_cast<int32_t>(lp);
        if (row < 0 || static_cast<size_t>(row) >= gprows.size())
            return 0;
        const gprow& r = gprows[static_cast<size_t>(row)];
        if (iscombo(r.kind)) {
            if (sel >= 0 && sel < r.count)
                SendMessageW(r.control, CB_SETCURSEL, static_cast<WPARAM>(sel), 0);
        } else if (r.kind == rowradio && r.group >= 0) {
            const int32_t head = r.group;
            if (sel >= 0 && sel < gprows[static_cast<size_t>(head)].count)
                for (const gprow& b : gprows)
                    if (b.kind == rowradio && b.group == head && b.control)
                        SendMessageW(b.control, BM_SETCHECK, b.number == sel ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        return 0;
    }
    case WM_USER + 2: {
        // Any row, the first included.
        std::lock_guard<std::recursive_mutex> guard(gplock);
        const auto row = static_cast<int32_t>(wp);
        if (row < 0 || static_cast<size_t>(row) >= gprows.size())
            return 0;
        const gprow& r = gprows[static_cast<size_t>(row)];
        HWND target = nullptr;
        if (iscombo(r.kind))
            target = r.edit;
        else if (r.kind == rowradio)
            for (const gprow& b : gprows)
                if (b.kind == rowradio && b.group == r.group && b.control && (b.control == r.control || !r.control)) {
                    target = b.control;
                    break;
                }
        if (!target)
            return 0;
        SetFocus(target);
        return 1;
    }
    case WM_USER + 3: {
        std::lock_guard<std::recursive_mutex> guard(gplock);
        int32_t bottom = 0;
        for (const gprow& r : gprows)
            bottom = std::max(bottom, r.bottom);
        RECT wr, cr;
        GetWindowRect(hwnd, &wr);
        GetClientRect(hwnd, &cr);
        const int32_t frame = (wr.bottom - wr.top) - cr.bottom;
        SetWindowPos(hwnd, nullptr, 0, 0, wr.right - wr.left, frame + bottom + 2, SWP_NOMOVE | SWP_NOZORDER);
        return 0;
    }
    case WM_CLOSE:
        gpclose(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// ---- the script thread's side

void ExeScr::gpbox_exec()
{
    const auto code = static_cast<int32_t>(ip->i);
    ++ip;
    gpapply();
    switch (code) {
    case gpopen:
        gpx = cmdargs::toi32(popd());
        gpy = cmdargs::toi32(popd());
        gpwidth = cmdargs::toi32(popd());
        gpheight = cmdargs::toi32(popd());
        gptopmost = cmdargs::toi32(popd()) != 0 ? 1 : 0;
        if (gpboxwnd)
            return boxrefuse(L"Already opened error.");
        pushint(boxopen(gpopenevent, gpthread, gpbox_threadentry, this) ? 1 : 0);
        return;
    case gpclosew:
        if (gpboxwnd)
            boxrequest(gpboxevent, [&] { SendMessageW(gpboxwnd, WM_CLOSE, 0, 0); });
        gpapply();
        pushint(1);
        return;
    case gpstat: {
        const std::wstring text = popstr();
        if (!gpboxwnd)
            return boxrefuse(L"No GroupBox error.");
        const int32_t row = gpbox_items(rowstatic, 0);
        SendMessageW(gpboxwnd, WM_USER, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.c_str()));
        pushint(1);
        return;
    }
    case gpcombt:
    case gpcombd:
    case gpbtn: {
        const auto var = static_cast<int32_t>(popd().i);
        const int32_t options = code == gpbtn ? 0 : cmdargs::toi32(popd());
        std::wstring name;
        if (code == gpcombd) {
            name = popstr();
        }
        if (!gpboxwnd)
            return boxrefuse(L"No GroupBox error.");
        const int32_t row = gpbox_items(code == gpbtn ? rowradio : code == gpcombt ? rowtext : rowfiles, var);
        {
            std::lock_guard<std::recursive_mutex> guard(gplock);
            gprow& r = gprows[static_cast<size_t>(row)];
            r.options = options;
            wcsncpy(r.varname, name.c_str(), 21);
            r.varname[21] = 0;
            if (code == gpbtn)
                r.group = row;
        }
        if (code != gpbtn)
            SendMessageW(gpboxwnd, WM_USER, static_cast<WPARAM>(row), 0);
        pushint(row);
        return;
    }
    case gpcomp:
        if (!gpboxwnd) {
            pushint(0);
            return;
        }
        gpreason = 1;
        gpboxevent.arm();
        boxwait(gpboxevent);
        gpboxevent.disarm();
        gpapply();
        pushint(gpreason);
        return;
    case gpfontw: {
        const std::wstring face = popstr();
        const int32_t height = cmdargs::toi32(popd());
        HFONT font = boxfont(face.c_str(), height, -1);
        std::lock_guard<std::recursive_mutex> guard(gplock);
        // Rows made with the old font keep it until the form closes.
        if (gpfont && gpboxwnd)
            gpoldfonts.push_back(gpfont);
        else if (gpfont)
            DeleteObject(gpfont);
        gpfont = font;
        pushint(1);
        return;
    }
    case gpsetret: {
        const int32_t row = cmdargs::toi32(popd());
        std::lock_guard<std::recursive_mutex> guard(gplock);
        int32_t result = -1;
        if (row >= 0 && static_cast<size_t>(row) < gprows.size()) {
            gprow& r = gprows[static_cast<size_t>(row)];
            if (iscombo(r.kind) || r.kind == rowradio) {
                gprows[static_cast<size_t>(r.kind == rowradio && r.group >= 0 ? r.group : row)].armed = 1;
                result = row;
            }
        }
        pushint(result);
        return;
    }
    case gpsetsel:
    case gpaddstr: {
        const int32_t row = cmdargs::toi32(popd());
        std::wstring text;
        int32_t sel = 0;
        if (code == gpaddstr) {
            text = popstr();
        } else {
            sel = cmdargs::toi32(popd());
        }
        if (!gpboxwnd)
            return boxrefuse(L"No GroupBox error.");
        if (code == gpaddstr)
            SendMessageW(gpboxwnd, WM_USER, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.c_str()));
        else
            SendMessageW(gpboxwnd, WM_USER + 1, static_cast<WPARAM>(row), sel);
        pushint(1);
        return;
    }
    case gpactv: {
        const int32_t row = cmdargs::toi32(popd());
        pushint(gpboxwnd ? SendMessageW(gpboxwnd, WM_USER + 2, static_cast<WPARAM>(row), 0) : 0);
        return;
    }
    case gpfit:
        if (!gpboxwnd)
            return boxrefuse(L"No GroupBox error.");
        SendMessageW(gpboxwnd, WM_USER + 3, 0, 0);
        pushint(1);
        return;
    case gpgethwnd:
        pushint(reinterpret_cast<intptr_t>(gpboxwnd));
        return;
    default:
        pushint(0);
        return;
    }
}
