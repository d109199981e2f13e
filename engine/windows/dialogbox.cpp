// "dialogbox" (texts from a script array) and "dialogbox2" (texts as
// arguments): a column of buttons with separator lines, centred on the
// monitor under the cursor, scrollable when taller than it; the result is the
// chosen index or -1.
#include <algorithm>
#include <cwchar>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

namespace {

constexpr int32_t firstitemid = 1500;

wchar_t lowerchar(wchar_t c)
{
    return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(CharLowerW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(c)))));
}

}  // namespace

void ExeScr::dialogbox_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    if (a.size() != 2)
        comperr(L"the number of argument mismatch.");
    argnum(a[1]);
    wchar_t* name = boxname(a[0]);
    emitcell(&ExeScr::pushstrlit_exec);
    emitu64(static_cast<uint64_t>(parsenamelist(name - 1, name + wcslen(name), 3)));
    emitcell(&ExeScr::dialogbox_exec);
}

void ExeScr::dialogbox2_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    // Every text waits on the string stack until the window is made.
    if (a.size() > static_cast<size_t>(datumstackmax))
        comperr(L"the number of argument mismatch.");
    for (size_t k = a.size(); k-- > 0;)
        argstr(a[k]);
    emitcell(&ExeScr::dialogbox2_exec);
    emitint(static_cast<int32_t>(a.size()));
}

void ExeScr::dialogbox_exec()
{
    dialogstate& d = dlgarray;
    d.result = -1;
    const std::wstring name = popstr();
    d.n = cmdargs::toi32(popd());
    if (d.n < 1)
        myerrexit(L"%s", L"invalid number error.");
    d.arrayref = name + L"[]";
    std::wstring key = d.arrayref;
    if (key.size() > static_cast<size_t>(arraynamemax))
        key.resize(arraynamemax);  // as the compiler names the array
    d.texts.clear();
    const int32_t a = arrayfind(key.c_str());
    for (int32_t i = 0; i < d.n; ++i) {
        const varrec* v = varat(arraytable(a, 1, static_cast<uint32_t>(i), 0, 0));
        if (v->state != varstr)
            myerrexit(L"%s:%s:", L"invalid string.", d.arrayref.c_str());
        d.texts.emplace_back(vartext(v));
    }
    dialogrun(d, L"quorvel.dialogbox", L"DialogBox", boxthunk<ExeScr, &ExeScr::dialogbox_proc>);
    pushint(d.result);
}

void ExeScr::dialogbox2_exec()
{
    dialogstate& d = dlgargs;
    d.result = -1;
    d.n = static_cast<int32_t>(ip->i);
    ++ip;
    d.texts.clear();
    for (int32_t i = 0; i < d.n; ++i) {
        datscell* c = pops();
        d.texts.emplace_back(datstext(c));
        datsrelease(c);
    }
    dialogrun(d, L"quorvel.dialogbox2", L"DialogBox2", boxthunk<ExeScr, &ExeScr::dialogbox2_proc>);
    pushint(d.result);
}

void ExeScr::dialogrun(dialogstate& d, const wchar_t* cls, const wchar_t* title, WNDPROC proc)
{
    registerboxclass(cls, proc);
    d.wnd = CreateWindowExW(0, cls, title, WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            hWndp, nullptr, GetModuleHandleW(nullptr), this);
    if (!d.wnd)
        return;
    ShowWindow(d.wnd, SW_SHOW);
    UpdateWindow(d.wnd);
    boxtopmost(d.wnd);
    boxtofront(d.wnd);
    modalloop();
}

LRESULT ExeScr::dialogbox_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return dialogproc(dlgarray, hwnd, msg, wp, lp);
}

LRESULT ExeScr::dialogbox2_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return dialogproc(dlgargs, hwnd, msg, wp, lp);
}

void ExeScr::dialoglayout(dialogstate& d, HWND hwnd)
{
    RECT mon;
    cursormonitorrect(&mon);
    const SIZE frame = boxframe(hwnd);
    const boxdc dc(hwnd, hFont1);
    const int32_t bh = dc.lineheight(4);
    d.buttonheight = bh;
    // Classified afresh: nothing of an earlier list stays.
    d.items.assign(static_cast<size_t>(d.n), dialogitem{});
    int32_t seps = 0, widest = 0;
    for (int32_t i = 0; i < d.n; ++i) {
        dialogitem& it = d.items[static_cast<size_t>(i)];
        it.text = d.texts[static_cast<size_t>(i)];
        if (it.text.compare(0, 2, L"SP") == 0) {
            it.separator = 1;
            ++seps;
        } else {
            it.shortcut = it.text.empty() ? 0 : it.text[0];
        }
        widest = std::max(widest, dc.width(it.text.c_str(), it.text.size()));
    }

    int32_t cw = d.n < 1 ? 20 : widest + 20;
    const int32_t cxmin = GetSystemMetrics(SM_CXMIN);
    if (cw >= cxmin) {
        if (!(cw < mon.right - 99))
            cw = mon.right - 100;
    } else {
        cw = cxmin;
    }
    int32_t width = cw + frame.cx + 4;
    const int32_t content = seps * 2 + (d.n - seps) * bh;
    int32_t height = frame.cy + content + 4;
    d.scroll = 0;
    if (mon.bottom < height) {
        d.scroll = 1;
        width += GetSystemMetrics(SM_CXVSCROLL);
        height = mon.bottom;
    }
    HINSTANCE inst = GetModuleHandleW(nullptr);
    int32_t y = 2;
    for (int32_t i = 0; i < d.n; ++i) {
        dialogitem& it = d.items[static_cast<size_t>(i)];
        const auto id = reinterpret_cast<HMENU>(static_cast<intptr_t>(firstitemid + i));
        if (it.separator) {
            it.control = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 2, y, cw, 2, hwnd, id,
                                         inst, nullptr);
            y += 2;
        } else {
            it.control = CreateWindowExW(0, L"BUTTON", it.text.c_str(), WS_CHILD | WS_VISIBLE | BS_LEFT, 2, y, cw, bh,
                                         hwnd, id, inst, nullptr);
            if (it.control && hFont1)
                SendMessageW(it.control, WM_SETFONT, reinterpret_cast<WPARAM>(hFont1), TRUE);
            y += bh;
        }
    }
    MoveWindow(hwnd, mon.left - (width >> 1), mon.top - (height >> 1), width, height, TRUE);
    if (d.scroll) {
        RECT cr;
        GetClientRect(hwnd, &cr);
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE;
        si.nMin = 0;
        si.nMax = content / bh - 1;
        si.nPage = static_cast<UINT>(cr.bottom / bh);
        SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
        ShowScrollBar(hwnd, SB_VERT, TRUE);
    }
}

LRESULT ExeScr::dialogproc(dialogstate& d, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        dialoglayout(d, hwnd);
        return 0;
    case WM_VSCROLL: {
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        GetScrollInfo(hwnd, SB_VERT, &si);
        const int old = si.nPos;
        switch (LOWORD(wp)) {
        case SB_LINEUP: si.nPos -= 1; break;
        case SB_LINEDOWN: si.nPos += 1; break;
        case SB_PAGEUP: si.nPos -= static_cast<int>(si.nPage); break;
        case SB_PAGEDOWN: si.nPos += static_cast<int>(si.nPage); break;
        case SB_THUMBTRACK: si.nPos = si.nTrackPos; break;
        case SB_TOP: si.nPos = si.nMin; break;
        case SB_BOTTOM: si.nPos = si.nMax; break;
        default: break;
        }
        si.fMask = SIF_POS;
        SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
        GetScrollInfo(hwnd, SB_VERT, &si);
        if (si.nPos != old) {
            ScrollWindow(hwnd, 0, (old - si.nPos) * d.buttonheight, nullptr, nullptr);
            UpdateWindow(hwnd);
        }
        return 0;
    }
    case WM_COMMAND: {
        const int32_t i = LOWORD(wp) - firstitemid;
        if (i >= 0 && i < d.n) {
            d.result = i;
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        return 0;
    }
    case WM_CHAR: {
        const auto ch = static_cast<wchar_t>(wp);
        if (ch == L'Z' || ch == L'z')
            return 0;
        // "s" picks "Save": shortcuts are compared without case.
        for (int32_t i = 0; i < static_cast<int32_t>(d.items.size()); ++i) {
            const dialogitem& it = d.items[static_cast<size_t>(i)];
            if (!it.separator && it.shortcut && lowerchar(it.shortcut) == lowerchar(ch))
                d.result = i;
        }
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (!g_stock_black)
            g_stock_black = GetStockObject(BLACK_BRUSH);
        SetBkColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(g_stock_black);
    case WM_CLOSE:
        ShowWindow(hwnd, SW_HIDE);
        for (dialogitem& it : d.items) {
            if (it.control)
                DestroyWindow(it.control);
            it.control = nullptr;
        }
        DestroyWindow(hwnd);
        d.wnd = nullptr;
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}
