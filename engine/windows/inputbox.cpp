// "inputbox" (one line of text, or a message with an OK button, optionally
// with a count-down) and "msgbox" (a system message box, optionally closed by
// a time-out), both modal on the script thread.
#include <algorithm>
#include <cwchar>
#include <string>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

namespace {

constexpr int32_t inputresultid = 1420;
constexpr UINT_PTR inputtimer = 207;
constexpr UINT_PTR msgboxtimerid = 203;

std::wstring windowtext(HWND w)
{
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(w, t.data(), static_cast<int>(t.size()))));
    return t;
}

}  // namespace

void ExeScr::modalloop()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (hWndp)
        SendMessageW(hWndp, WM_SETFOCUS, 0, 0);
}

void ExeScr::inputbox_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    if (a.size() > 3)
        comperr(L"the number of argument mismatch.");
    if (a.size() == 3)
        argnum(a[2]);
    if (a.size() >= 2)
        argstr(a[1]);
    argstr(a[0]);
    emitcell(&ExeScr::pushint_exec);
    emitint(static_cast<int32_t>(a.size()));
    emitcell(&ExeScr::inputbox_exec);
}

void ExeScr::inputbox_exec()
{
    const int32_t n = cmdargs::toi32(popd());
    const std::wstring prompt = popstr();
    const std::wstring def = n >= 2 ? popstr() : std::wstring();
    const int32_t seconds = n == 3 ? cmdargs::toi32(popd()) : 0;
    inputbox_run(prompt.c_str(), def.c_str(), seconds);
    // A copy: the kept result changes with the next InputBox.
    pushstrtext(inputresult.c_str(), inputresult.size(), inputresultid);
}

void ExeScr::inputbox_run(const wchar_t* prompt, const wchar_t* defaulttext, int32_t seconds)
{
    inputprompt = prompt;
    inputdefault = defaulttext;
    inputtitle = L"InputBox";
    inputremain = static_cast<int64_t>(seconds) * 1000;
    registerboxclass(L"quorvel.inputbox", inputbox_wndproc);
    CreateWindowExW(0, L"quorvel.inputbox", L"InputBox", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, hWndp, nullptr, GetModuleHandleW(nullptr), this);
    if (!inputwnd)
        return;  // the result stays what it was
    ShowWindow(inputwnd, SW_SHOW);
    UpdateWindow(inputwnd);
    boxtofront(inputwnd);
    boxtopmost(inputwnd);
    modalloop();
}

LRESULT CALLBACK ExeScr::inputbox_wndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* e = static_cast<ExeScr*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(e));
        e->inputwnd = hwnd;
    }
    auto* e = reinterpret_cast<ExeScr*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return e ? e->inputbox_proc(hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ExeScr::inputbox_editproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* e = reinterpret_cast<ExeScr*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!e)
        return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_CHAR && wp == VK_RETURN) {
        e->inputresult = windowtext(hwnd);
        SendMessageW(e->inputwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    return CallWindowProcW(e->inputoldproc, hwnd, msg, wp, lp);
}

void ExeScr::inputbox_layout(HWND hwnd)
{
    RECT mon;
    cursormonitorrect(&mon);
    const SIZE frame = boxframe(hwnd);
    int32_t lh = 0, lines = 0, widest = 400;
    {
        const boxdc dc(hwnd, hFont1);
        lh = dc.lineheight(4);
        for (size_t at = 0;;) {
            const size_t lf = inputprompt.find(L'\n', at);
            size_t len = (lf == std::wstring::npos ? inputprompt.size() : lf) - at;
            if (len && inputprompt[at + len - 1] == L'\r')
                --len;
            widest = std::max(widest, dc.width(inputprompt.c_str() + at, len));
            if (lf == std::wstring::npos)
                break;
            ++lines;
            at = lf + 1;
        }
    }
    const int32_t top = (lines + 2) * lh;
    const int32_t width = std::min<int32_t>(frame.cx + widest + 60, mon.right);
    HINSTANCE inst = GetModuleHandleW(nullptr);
    if (inputdefault != L"msgonly") {
        inputedit = CreateWindowExW(0, L"EDIT", inputdefault.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                                    40, top, width - 80, lh, hwnd, reinterpret_cast<HMENU>(101), inst, nullptr);
        if (inputedit) {
            if (hFont1)
                SendMessageW(inputedit, WM_SETFONT, reinterpret_cast<WPARAM>(hFont1), TRUE);
            inputoldproc = boxsubclass(inputedit, inputbox_editproc, this);
        }
    } else {
        inputok = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE, (width >> 1) - 20, top, 40, lh, hwnd,
                                  reinterpret_cast<HMENU>(102), inst, nullptr);
        if (inputok && hFont1)
            SendMessageW(inputok, WM_SETFONT, reinterpret_cast<WPARAM>(hFont1), TRUE);
    }
    if (inputremain)
        SetTimer(hwnd, inputtimer, 1000, nullptr);
    const int32_t height = std::min<int32_t>(mon.bottom, top + frame.cy + 2 * lh);
    MoveWindow(hwnd, mon.left - (width >> 1), mon.top - (height >> 1), width, height, TRUE);
}

LRESULT ExeScr::inputbox_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        inputbox_layout(hwnd);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        rc.top = 20;
        DRAWTEXTPARAMS dtp = {sizeof dtp, 4, 20, 20, 0};
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        HGDIOBJ oldfont = hFont1 ? SelectObject(dc, hFont1) : nullptr;
        std::wstring text = inputprompt;
        DrawTextExW(dc, text.data(), static_cast<int>(text.size()), &rc, DT_WORDBREAK | DT_EXPANDTABS | DT_TABSTOP,
                    &dtp);
        if (oldfont)
            SelectObject(dc, oldfont);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == 102 && inputok)
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CHAR:
        if (wp == VK_RETURN && inputok)
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_TIMER:
        if (wp != inputtimer)
            return 0;
        inputremain -= 1000;
        if (inputremain >= 0) {
            wchar_t title[64];
            _snwprintf(title, 64, L"%s - timeout:%d ", L"InputBox", static_cast<int>(inputremain / 1000));
            title[63] = 0;
            inputtitle = title;
            SetWindowTextW(hwnd, inputtitle.c_str());
        } else {
            KillTimer(hwnd, inputtimer);
            if (inputedit)
                inputresult = windowtext(inputedit);
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_SETFOCUS:
        if (inputedit)
            SetFocus(inputedit);
        return 0;
    case WM_CLOSE:
        KillTimer(hwnd, inputtimer);
        if (inputedit)
            DestroyWindow(inputedit);
        if (inputok)
            DestroyWindow(inputok);
        inputedit = nullptr;
        inputok = nullptr;
        DestroyWindow(hwnd);
        inputwnd = nullptr;
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void ExeScr::msgbox_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    if (a.size() > 3)
        comperr(L"the number of argument mismatch.");
    for (size_t k = a.size() - 1; k >= 1; --k)
        argnum(a[k]);
    argstr(a[0]);
    emitcell(&ExeScr::msgbox_exec);
    emitint(static_cast<int32_t>(a.size()));
}

void ExeScr::msgbox_exec()
{
    const auto n = static_cast<int32_t>(ip->i);
    ++ip;
    msgboxtext = popstr();
    msgboxtype = n >= 2 ? static_cast<uint32_t>(cmdargs::toi32(popd())) : MB_OK;
    if (n == 3) {
        const int32_t seconds = cmdargs::toi32(popd());
        if (seconds >= 1 && scriptwnd && SetTimer(scriptwnd, msgboxtimerid, static_cast<UINT>(seconds) * 1000, nullptr))
            msgboxtimer = 1;
    }
    const std::wstring text = msgboxtext;
    msgboxresult = MessageBoxW(hWndp, text.c_str(), L"Quorvel - MsgBox", msgboxtype);
    if (hWndp)
        SendMessageW(hWndp, WM_SETFOCUS, 0, 0);
    if (msgboxtimer) {
        KillTimer(scriptwnd, msgboxtimerid);
        msgboxtimer = 0;
    }
    pushint(msgboxresult);
}
