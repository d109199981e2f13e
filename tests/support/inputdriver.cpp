#include "support/inputdriver.h"

#include <vector>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

namespace qtest {

foregroundowner::foregroundowner() : saved(hWndp)
{
    static HWND window = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"quorveltest.foreground";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"foreground owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
    }();
    hwnd = window;
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    pump(20);
    hWndp = hwnd;
}

foregroundowner::~foregroundowner()
{
    hWndp = saved;
    ShowWindow(hwnd, SW_HIDE);
    pump(10);
}

threadowner::threadowner() : saved(hWndp)
{
    hwnd = CreateWindowExW(0, L"STATIC", L"box owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    hWndp = hwnd;
}

threadowner::~threadowner()
{
    hWndp = saved;
    DestroyWindow(hwnd);
}

bool waitfor(const std::function<bool()>& done, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        pump(2);
    }
    return true;
}

bool focusscript(ExeScr& e)
{
    // HTNOWHERE: the default handling of a non-client click then does nothing.
    PostMessageW(e.scriptwnd, WM_NCLBUTTONDOWN, HTNOWHERE, 0);
    return waitfor([&] { return e.focused == 1; });
}

void typekeys(std::initializer_list<WORD> keys, DWORD modifiers)
{
    std::vector<INPUT> in;
    auto add = [&](WORD vk, DWORD flags) {
        INPUT i = {};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.dwFlags = flags;
        in.push_back(i);
    };
    const WORD mods[] = {VK_MENU, VK_CONTROL, VK_SHIFT};
    const DWORD bits[] = {MOD_ALT, MOD_CONTROL, MOD_SHIFT};
    for (int k = 0; k < 3; ++k)
        if (modifiers & bits[k])
            add(mods[k], 0);
    for (WORD vk : keys) {
        add(vk, 0);
        add(vk, KEYEVENTF_KEYUP);
    }
    for (int k = 2; k >= 0; --k)
        if (modifiers & bits[k])
            add(mods[k], KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

DWORD WINAPI scriptthread::entry(void* arg)
{
    auto* t = static_cast<scriptthread*>(arg);
    openscriptwindow(t->e);
    InterlockedExchange(&t->started, 1);
    t->body(t->e);
    closescriptwindow(t->e);
    InterlockedExchange(&t->done, 1);
    return 0;
}

bool scriptthread::go(const std::function<void(ExeScr&)>& during, DWORD ms)
{
    HANDLE h = CreateThread(nullptr, 0, entry, this, 0, nullptr);
    waitfor([&] { return started != 0; });
    during(e);
    const bool ended = waitfor([&] { return done != 0; }, ms);
    if (!ended)
        TerminateThread(h, 0);
    WaitForSingleObject(h, 2000);
    CloseHandle(h);
    return ended;
}

std::string scriptthread::log()
{
    e.closelog();
    std::wstring text = e.contents();
    if (!text.empty() && text[0] == 0xFEFF)
        text.erase(0, 1);
    std::wstring lf;
    for (wchar_t c : text)
        if (c != L'\r')
            lf += c;
    return narrow(lf);
}

}  // namespace qtest
