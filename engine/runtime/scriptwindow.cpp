// The hidden window of a run: ESC, pause, the key and click queue, focus,
// timers, the script's hotkey, clipboard notices and notices from other code.
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"

namespace {

constexpr int hotkeyid = 133;

// Posts WM_CLOSE to the top-level window with this exact title, if any.
void closetitled(const wchar_t* title)
{
    if (HWND w = FindWindowW(nullptr, title))
        PostMessageW(w, WM_CLOSE, 0, 0);
}

BOOL CALLBACK closemsgbox(HWND hwnd, LPARAM)
{
    wchar_t title[32] = {};
    GetWindowTextW(hwnd, title, 32);
    if (wcscmp(title, L"Quorvel - MsgBox") != 0)
        return TRUE;
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return FALSE;
}

}  // namespace

HANDLE createwaitevent()
{
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

LRESULT CALLBACK ExeScr::exescr_wndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* e = reinterpret_cast<ExeScr*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (e)
        return e->exescr_onmessage(hwnd, msg, wp, lp);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void ExeScr::wakewait(int32_t result)
{
    if (waitinput == 1 && waitevent) {
        waitresult = result;
        SetEvent(waitevent);
    }
}

void ExeScr::queuekey(uint16_t code)
{
    if (keycount >= 512)
        return;  // a full queue drops the code and wakes nobody
    if (keywrite == 512) {
        keyring[0] = code;
        keywrite = 1;
    } else {
        keyring[keywrite++] = code;
    }
    ++keycount;
    wakewait(2);
    if (clipwaiting == 1 && clipevent) {
        clipresult = 2;
        SetEvent(clipevent);
    }
}

void ExeScr::focusscript()
{
    SetFocus(running == 1 ? scriptwnd.load() : hWndp);
}

LRESULT ExeScr::exescr_onmessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        focused = msg == WM_SETFOCUS ? 1 : 0;
        runlistmark(focused == 1);
        wakewait(msg == WM_SETFOCUS ? 5 : 6);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        scriptwnd = nullptr;
        return 0;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH brush = CreateSolidBrush(focused == 1 ? RGB(0, 255, 255) : RGB(255, 255, 255));
        FillRect(reinterpret_cast<HDC>(wp), &rc, brush);
        DeleteObject(brush);
        return 1;
    }
    case WM_NCLBUTTONDOWN:
        focusscript();
        break;
    case WM_KEYDOWN:
        if (keymode == 0 && wp == VK_ESCAPE) {
            stopflag = 1;
            if (waitevent) {
                waitresult = -1;
                SetEvent(waitevent);
            }
            // A run waiting on one of its boxes must end too, not only when
            // the box is answered.
            wakeboxwaits();
            return 0;
        }
        if (keymode == 0 && wp == VK_SPACE) {
            pausetoggle = pausetoggle == 1 ? 0 : 1;
            return 0;
        }
        if (keymode == 1 && keydown == 1)
            queuekey(static_cast<uint16_t>(wp));
        break;
    case WM_CHAR:
        if (keymode == 1 && keydown == 0)
            queuekey(static_cast<uint16_t>(wp));
        break;
    case WM_LBUTTONDOWN:
        if (keymode == 1 && keydown == 1)
            queuekey(1);
        focusscript();
        break;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (keymode == 1 && keydown == 1)
            queuekey(msg == WM_RBUTTONDOWN ? 2 : 4);
        return 0;
    case WM_TIMER:
        if (wp == 202) {
            KillTimer(hwnd, 202);
            closetitled(L"Quorvel wakes3s4");
        } else if (wp == 203) {
            KillTimer(hwnd, 203);
            msgboxtimer = 0;
            // This thread's box only: another script may show one too.
            EnumThreadWindows(GetCurrentThreadId(), closemsgbox, 0);
        } else if (wp == 204) {
            KillTimer(hwnd, 204);
        }
        return 0;
    case WM_HOTKEY:
        if (wp == hotkeyid) {
            if (waitevent) {
                waitresult = 3;
                SetEvent(waitevent);
                hotkeypending = 0;
            } else {
                hotkeypending = 1;
            }
        }
        return 0;
    case WM_CLIPBOARDUPDATE:
        if (clipwaiting == 1 && clipevent) {
            clipresult = 1;
            SetEvent(clipevent);
        }
        return 0;
    case WM_USER:
        SetFocus(hWndp);
        return 0;
    case WM_APP:
        if (RegisterHotKey(hwnd, hotkeyid, static_cast<UINT>(wp), static_cast<UINT>(lp)))
            return 1;
        mylogsyserr(L"%s", L"Hot key registration failed.");
        return 0;
    case WM_APP + 1:
        return UnregisterHotKey(hwnd, hotkeyid) ? 1 : 0;
    case WM_APP + 3:  // from an InfoBox thread
        trackbarnotice(static_cast<int32_t>(wp), lp != 0);
        return 0;
    case boxfatalpost:
        boxfatalnotice();
        return 0;
    case WM_APP + 2:  // a ViewBox's notice: Enter or a click, with the caret line
        vbret = static_cast<int32_t>(wp);
        if (waitinput == 1 && waitevent) {
            waitresult = 7;
            SetEvent(waitevent);
            apppending = 0;
        } else {
            apppending = 1;
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}
