// Operating another program's controls: clicking a menu path, a list item or a
// button by its text, listing a menu tree, reading a check box, typing a text
// into a control, and writing the clipboard.
#include <cwchar>

#include "commands/wintext.h"
#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/shorttext.h"

using wintext::windowtexts;

namespace {

constexpr int32_t itembufid = 2160;  // a list item longer than the inline buffer

enum : uint32_t { formmenu = 0, formlist = 1, formbutton = 2 };

// Queries one field of a menu item by position; `text` (1024 characters)
// receives the item's text for MIIM_STRING.
BOOL menuitem(HMENU menu, int32_t pos, UINT mask, MENUITEMINFOW& info, wchar_t* text = nullptr)
{
    info.cbSize = sizeof info;
    info.fMask = mask;
    if (text) {
        text[0] = 0;
        info.dwTypeData = text;
        info.cch = 1024;
    }
    return GetMenuItemInfoW(menu, static_cast<UINT>(pos), TRUE, &info);
}

// The texts of a menu path still on the stack when the click stops early.
void discardtexts(ExeScr& e, int32_t n)
{
    for (; n > 0; --n)
        e.datsrelease(e.pops());
}

void clickmenupath(ExeScr& e, HWND wnd, int32_t levels)
{
    HMENU menu = GetMenu(wnd);
    SetForegroundWindow(wnd);
    e.clickdone = 0;
    if (!menu) {
        if (e.winverbose())
            e.mylogmsg(L"%s\n", L"No menu item...");
        discardtexts(e, levels);
        return;
    }
    for (int32_t k = 0; k < levels; ++k) {
        datscell* text = e.pops();
        MENUITEMINFOW info = {};
        const int32_t pos = e.menuitemcount(menu, e.datstext(text), info);
        if (e.winverbose())
            e.mylogmsg(L"%s:", e.datstext(text));
        e.datsrelease(text);
        if (pos == -1) {
            if (e.winverbose())
                e.mylogmsg(L"%s", L"Cannot find the item.");
            discardtexts(e, levels - k - 1);
            return;
        }
        // A submenu's rectangle exists once its popup is open.
        RECT r = {};
        bool placed = false;
        for (int attempt = 0; attempt < 3 && !placed; ++attempt) {
            placed = GetMenuItemRect(k == 0 ? wnd : nullptr, menu, static_cast<UINT>(pos), &r) != 0;
            if (!placed)
                Sleep(100);
        }
        if (!placed) {
            if (e.winverbose())
                e.mylogmsg(L"GetMenuItemRect fails. \n");
            discardtexts(e, levels - k - 1);
            return;
        }
        const LONG h = r.bottom - r.top;
        e.sendmouse(static_cast<uint32_t>(r.left + h), static_cast<uint32_t>(r.top + h / 2), 0);
        Sleep(100);
        e.sendmouse(0, 0, 1);
        Sleep(100);
        if (k == levels - 1) {
            e.clickdone = 1;
            return;
        }
        menu = info.hSubMenu;
    }
}

}  // namespace

BOOL CALLBACK ExeScr::clkbutton_enumcb(HWND hwnd, LPARAM self)
{
    return reinterpret_cast<ExeScr*>(self)->clickbutton_enumproc(hwnd);
}

BOOL CALLBACK ExeScr::listitem_enumcb(HWND hwnd, LPARAM self)
{
    return reinterpret_cast<ExeScr*>(self)->listitem_enumproc(hwnd);
}

int32_t ExeScr::menuitemcount(HMENU menu, const wchar_t* needle, MENUITEMINFOW& info)
{
    int count = -1;
    for (int attempt = 0; attempt < 4; ++attempt) {
        count = GetMenuItemCount(menu);
        if (count != -1)
            break;
        if (attempt < 3)
            Sleep(100);
    }
    if (count == -1) {
        if (logon == 1)
            mylogmsgforced(L"%s\n", L"GetMenuItemCount fails.");
        return -1;
    }
    wchar_t text[1024];
    for (int32_t pos = 0; pos < count; ++pos) {
        MENUITEMINFOW q = {};
        menuitem(menu, pos, MIIM_STRING, q, text);
        if (!hastext(text, needle))
            continue;
        menuitem(menu, pos, MIIM_ID, info);
        menuitem(menu, pos, MIIM_SUBMENU, info);
        return pos;
    }
    return -1;
}

void ExeScr::menuwalk(HMENU menu)
{
    ++menudepth;
    const int count = GetMenuItemCount(menu);
    const bool talk = winverbose();
    auto indent = [this] {
        for (int32_t k = 1; k < menudepth; ++k)
            mylogmsg(L"   ");
    };
    if (talk) {
        indent();
        mylogmsg(L"%s %d \n", L"ItemCount is", count);
    }
    wchar_t text[1024];
    for (int32_t pos = 0; pos < count; ++pos) {
        MENUITEMINFOW q = {};
        menuitem(menu, pos, MIIM_STRING, q, text);
        if (talk) {
            indent();
            mylogmsg(L"%d:%s:\n", pos, text);
        }
        MENUITEMINFOW sub = {};
        if (menuitem(menu, pos, MIIM_SUBMENU, sub) && sub.hSubMenu)
            menuwalk(sub.hSubMenu);
    }
    --menudepth;
}

BOOL ExeScr::clickbutton_enumproc(HWND hwnd)
{
    const windowtexts w(hwnd);
    if (!hastext(w.cls, L"Button") || !hastext(w.title, clicktarget))
        return TRUE;
    if (clickcounter == clickwanted) {
        SendMessageW(hwnd, BM_CLICK, 0, 0);
        clickdone = 1;
        return FALSE;
    }
    ++clickcounter;
    return TRUE;
}

BOOL ExeScr::listitem_enumproc(HWND hwnd)
{
    wchar_t cls[256] = {};
    GetClassNameW(hwnd, cls, 256);
    if (!hastext(cls, L"ListBox") && !hastext(cls, L"ComboLBox"))
        return TRUE;
    // Every list box counts, whatever its items.
    const bool chosen = clickcounter == clickwanted;
    ++clickcounter;
    if (!chosen)
        return TRUE;
    const LRESULT n = SendMessageW(hwnd, LB_GETCOUNT, 0, 0);
    if (winverbose())
        mylogmsg(L" count: %d\n", static_cast<int>(n));
    if (n < 1)
        return TRUE;

    wchar_t inl[256];
    wchar_t* buf = inl;
    LRESULT cap = 256;
    auto readitem = [&](LRESULT i) {
        LRESULT len = SendMessageW(hwnd, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len < 0)
            len = 0;
        if (len >= cap) {
            if (buf != inl)
                myfree(buf, itembufid);
            buf = static_cast<wchar_t*>(mymalloc2(static_cast<uint64_t>(len + 1) * sizeof(wchar_t), itembufid));
            cap = len + 1;
        }
        buf[0] = 0;
        const LRESULT got = SendMessageW(hwnd, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        // LB_ERR (an item gone since its length was read) leaves the text empty.
        buf[got > 0 && got < cap ? got : 0] = 0;
        if (winverbose())
            mylogmsg(L" list: %s\n", buf);
    };
    LRESULT hit = -1;
    for (LRESULT i = 0; i < n && hit < 0; ++i) {
        readitem(i);
        if (wcscmp(buf, clicktarget) == 0) {
            if (winverbose())
                mylogmsg(L"C-Matched \n");
            hit = i;
        }
    }
    for (LRESULT i = 0; i < n && hit < 0; ++i) {
        readitem(i);
        if (hastext(buf, clicktarget)) {
            if (winverbose())
                mylogmsg(L"T-Matched \n");
            hit = i;
        }
    }
    if (buf != inl)
        myfree(buf, itembufid);
    if (hit < 0)
        return TRUE;
    clicklistitem(hwnd, static_cast<int32_t>(hit));
    return FALSE;
}

bool ExeScr::clicklistitem(HWND list, int32_t index)
{
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    RECT r = {};
    if (SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)) == LB_ERR)
        return false;
    const LONG h = r.bottom - r.top;
    POINT p = {r.left + h, r.top + (h >> 1)};
    ClientToScreen(list, &p);
    POINT back = {};
    GetCursorPos(&back);
    sendmouse(static_cast<uint32_t>(p.x), static_cast<uint32_t>(p.y), 0);
    sendmouse(0, 0, 1);
    sendmouse(static_cast<uint32_t>(back.x), static_cast<uint32_t>(back.y), 0);
    clickdone = 1;
    return true;
}

void ExeScr::clkitem_exec()
{
    const int64_t word = ip->i;
    ++ip;
    const uint32_t form = static_cast<uint32_t>(word >> 16) & 0xFFFFu;
    const auto count = static_cast<int32_t>(word >> 32);
    HWND wnd = hwndof(popd());
    if (form == formmenu) {
        clickmenupath(*this, wnd, count - 2);
        return;
    }
    datscell* text = pops();
    clickwanted = count == 4 ? static_cast<uint32_t>(cmdargs::toi32(popd())) : 0;
    SetForegroundWindow(wnd);
    clickcounter = 0;
    clickdone = 0;
    clicktarget = datstext(text);
    if (winverbose())
        mylogmsg(form == formlist ? L"list num:%d target:%s \n" : L"button num:%d target:%s \n",
                 static_cast<int>(clickwanted), clicktarget);
    EnumChildWindows(wnd, form == formlist ? listitem_enumcb : clkbutton_enumcb, reinterpret_cast<LPARAM>(this));
    clicktarget = nullptr;
    datsrelease(text);
}

void ExeScr::getitem_exec()
{
    HMENU menu = GetMenu(hwndof(popd()));
    if (!menu) {
        if (winverbose())
            mylogmsg(L"%s\n", L"No menu item...");
        return;
    }
    menudepth = 0;
    menuwalk(menu);
}

void ExeScr::bm_getstate_exec()
{
    pushint(SendMessageW(hwndof(popd()), BM_GETCHECK, 0, 0) & 1);
}

void ExeScr::sendstr_exec()
{
    HWND wnd = hwndof(popd());
    datscell* text = pops();
    for (const wchar_t* p = datstext(text); *p; ++p)
        SendMessageW(wnd, WM_CHAR, static_cast<WPARAM>(*p), 0);
    datsrelease(text);
}

const wchar_t* ExeScr::putcliptext(HWND owner, const wchar_t* text)
{
    if (!OpenClipboard(owner))
        return L"OpenClipboard error.";
    EmptyClipboard();
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, bytes);
    if (!mem) {
        // The clipboard must not stay open behind the fatal exit.
        CloseClipboard();
        return L"GlobalAlloc failure.";
    }
    memcpy(GlobalLock(mem), text, bytes);
    GlobalUnlock(mem);
    // The clipboard owns the block only when it took it.
    if (!SetClipboardData(CF_UNICODETEXT, mem))
        GlobalFree(mem);
    CloseClipboard();
    return nullptr;
}

void ExeScr::setcliptext(const wchar_t* text)
{
    if (const wchar_t* failed = putcliptext(hWndp, text))
        myerrexit(L"%s", failed);
}

// ---- front ends

void ExeScr::clkitem_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count < 3)
        comperr(L"the number of argument mismatch.");
    // A comma followed the second argument: the splitter ended it with a NUL,
    // and it begins behind the first one's.
    const wchar_t* second = textscan::skipblank(args + wcslen(args) + 1);
    uint32_t form;
    if (wcsncmp(second, L"menu", 4) == 0)
        form = formmenu;
    else if (wcsncmp(second, L"list", 4) == 0)
        form = formlist;
    else if (wcsncmp(second, L"button", 6) == 0)
        form = formbutton;
    else
        comperr(L"Not supported parameter.");
    if (form != formmenu && count > 4)
        comperr(L"the number of argument mismatch.");
    if (form == formmenu) {
        for (int32_t k = 2; k < count; ++k)
            nextstr(args);
    } else {
        if (count == 4)
            nextnum(args);
        nextstr(args);
    }
    mypop();  // the form word makes no code
    nextnum(args);
    emitcell(&ExeScr::clkitem_exec);
    emitu64(static_cast<uint64_t>(form) << 16 | static_cast<uint64_t>(count) << 32);
}

void ExeScr::getitem_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    if (!wintext::isword(args + mypop(), L"menu"))
        comperr(L"Not supported parameter.");
    emitcell(&ExeScr::getitem_exec);
}

void ExeScr::bm_getstate_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::bm_getstate_exec);
}

void ExeScr::sendstr_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextstr(args);
    nextnum(args);
    emitcell(&ExeScr::sendstr_exec);
}

void ExeScr::geteditstr_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::geteditstr_exec);
}
