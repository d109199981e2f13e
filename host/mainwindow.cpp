#include "mainwindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>

#include "core/formats.h"
#include "core/hostalloc.h"
#include "core/iniimage.h"
#include "core/runcheck.h"
#include "core/syslog.h"
#include "hoststate.h"
#include "resource.h"
#include "runtime/owners.h"
#include "runtime/quorvelcore.h"
#include "runtime/version.h"
#include "enrolhk.h"
#include "enrolres.h"
#include "enrolscript.h"
#include "hotkeys.h"
#include "launchmenu.h"
#include "modal.h"
#include "recentmenu.h"
#include "settingwnd.h"
#include "tabs.h"

namespace host {

namespace {

int rectheight(HWND w)
{
    RECT r;
    return w && GetWindowRect(w, &r) ? r.bottom - r.top : 0;
}

HWND makechild(const wchar_t* cls, DWORD style, int id)
{
    return CreateWindowExW(0, cls, L"", style, 0, 0, 0, 0, hs().main,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), hs().inst, nullptr);
}

void maketoolbar(HWND hwnd)
{
    hoststate& h = hs();
    h.toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD | TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE, 0, 0,
                                0, 0, hwnd, nullptr, h.inst, nullptr);
    SendMessageW(h.toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    h.images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 5, 5);
    SendMessageW(h.toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(h.images));
    const int stdbase = ImageList_GetImageCount(h.images);
    SendMessageW(h.toolbar, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    const int viewbase = ImageList_GetImageCount(h.images);
    SendMessageW(h.toolbar, TB_LOADIMAGES, IDB_VIEW_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    h.runbmp = LoadBitmapW(h.inst, MAKEINTRESOURCEW(IDB_RUN));
    h.runmask = LoadBitmapW(h.inst, MAKEINTRESOURCEW(IDB_RUNMASK));
    const int runimage = ImageList_Add(h.images, h.runbmp, h.runmask);

    auto button = [](int image, int id) {
        TBBUTTON b = {};
        b.iBitmap = image;
        b.idCommand = id;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_BUTTON;
        return b;
    };
    TBBUTTON sep = {};
    sep.fsStyle = BTNS_SEP;
    const TBBUTTON buttons[] = {
        sep,
        button(stdbase + STD_FILEOPEN, CMD_OPEN),
        button(stdbase + STD_PROPERTIES, CMD_PROPERTIES),
        button(stdbase + STD_REDOW, CMD_LASTFILE),
        button(viewbase + VIEW_LIST, CMD_RECENT),
        button(stdbase + STD_DELETE, CMD_CLEARLOG),
        sep, sep, sep, sep, sep,
        button(runimage, CMD_RUN),
    };
    SendMessageW(h.toolbar, TB_ADDBUTTONSW, sizeof buttons / sizeof buttons[0], reinterpret_cast<LPARAM>(buttons));
    ShowWindow(h.toolbar, SW_SHOW);
}

void makefonts()
{
    hoststate& h = hs();
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    LOGFONTW lf = ncm.lfMessageFont;
    if (lf.lfHeight == 0)
        lf.lfHeight = -12;  // a metrics answer without a size
    if (fontheight == -1) {
        fontheight = std::abs(lf.lfHeight);
        if (fontname[0])
            wcsncpy_s(lf.lfFaceName, LF_FACESIZE, fontname, _TRUNCATE);
    } else if (fontname[0]) {
        lf.lfHeight = fontheight;
        wcsncpy_s(lf.lfFaceName, LF_FACESIZE, fontname, _TRUNCATE);
    } else {
        lf.lfHeight = lf.lfHeight < 0 ? -std::abs(fontheight) : std::abs(fontheight);
    }
    h.lineheight = std::abs(fontheight) + 6;
    hFont1 = CreateFontIndirectW(&lf);
    lf.lfWeight = FW_BOLD;
    hFont2 = CreateFontIndirectW(&lf);
}

void makechildren(HWND hwnd)
{
    hoststate& h = hs();
    h.main = hwnd;
    DragAcceptFiles(hwnd, TRUE);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    maketoolbar(hwnd);
    makefonts();
    h.tabctl = makechild(WC_TABCONTROLW, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_OWNERDRAWFIXED, IDC_TABS);
    SendMessageW(h.tabctl, WM_SETFONT, reinterpret_cast<WPARAM>(hFont1), FALSE);
    hWndRunEdit = makechild(L"EDIT", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY | ES_CENTER, IDC_RUNLINE);
    const DWORD pane = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_READONLY | ES_MULTILINE;
    hEditp = makechild(L"EDIT", pane, IDC_RUNLINE);
    hEditSys = makechild(L"EDIT", pane, IDC_SYSLOG);
    for (HWND p : {hEditp, hEditSys}) {
        SendMessageW(p, EM_SETLIMITTEXT, 0, 0);
        SendMessageW(p, WM_SETFONT, reinterpret_cast<WPARAM>(hFont1), FALSE);
    }
    h.editpproc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hEditp, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editsubproc)));
    h.editsysproc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hEditSys, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editsubproc)));
    hStatus = makechild(STATUSCLASSNAMEW, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, IDC_STATUS);
    int parts[4] = {200, 400, 600, -1};
    SendMessageW(hStatus, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(parts));
    const std::wstring version = L"QUORVEL ver: " QUORVEL_VERSION;
    SendMessageW(hStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(version.c_str()));
    if (h.cmd.hide)
        h.cmd.min = false;
}

void postsize(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    PostMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
}

// The splitter bar, drawn and erased by inverting.
void drawbar(HWND hwnd, splitzone zone, int pos)
{
    hoststate& h = hs();
    RECT rc;
    GetClientRect(hwnd, &rc);
    const owners::windowdc dc(hwnd, GetStockObject(GRAY_BRUSH));
    SetROP2(dc, R2_NOT);
    SetBkMode(dc, TRANSPARENT);
    if (zone == splitzone::lower)
        Rectangle(dc, 0, pos, rc.right, pos + 2);
    else
        Rectangle(dc, pos, h.lay.tabs.top, pos + 2, h.lay.tabs.top + h.lay.upper);
}

void onmouse(HWND hwnd, UINT msg, LPARAM lp)
{
    hoststate& h = hs();
    const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    RECT rc;
    GetClientRect(hwnd, &rc);
    const auto cursor = [](splitzone z) {
        SetCursor(LoadCursorW(nullptr, z == splitzone::lower  ? IDC_SIZENS
                                       : z == splitzone::side ? IDC_SIZEWE
                                                              : IDC_ARROW));
    };
    if (msg == WM_MOUSEMOVE) {
        if (h.dragging == splitzone::none) {
            cursor(hoverzone(x, y, h.lay));
            return;
        }
        const int pos = h.dragging == splitzone::lower ? clamplower(y, rc.bottom) : clampside(x, rc.right);
        drawbar(hwnd, h.dragging, h.dragpos);
        drawbar(hwnd, h.dragging, pos);
        h.dragpos = pos;
    } else if (msg == WM_LBUTTONDOWN) {
        const splitzone z = presszone(x, y, h.lay);
        if (z == splitzone::none)
            return;
        SetCapture(hwnd);
        cursor(z);
        h.dragging = z;
        h.dragpos = z == splitzone::lower ? h.lay.splity : x;
        drawbar(hwnd, z, h.dragpos);
    } else if (msg == WM_LBUTTONUP && h.dragging != splitzone::none) {
        ReleaseCapture();
        drawbar(hwnd, h.dragging, h.dragpos);
        if (h.dragging == splitzone::lower)
            h.set.vsratio = vsratiofor(h.dragpos, rc.bottom, rectheight(h.toolbar));
        else
            h.set.hsratio = hsratiofor(h.dragpos, rc.right);
        h.dragging = splitzone::none;
        postsize(hwnd);
    }
}

void drawtab(const DRAWITEMSTRUCT* di)
{
    wchar_t text[257] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(di->hwndItem, TCM_GETITEMW, di->itemID, reinterpret_cast<LPARAM>(&item));
    if (di->itemState & ODS_SELECTED) {
        if (editorfocus()) {
            const owners::gdiobject<HBRUSH> cyan(CreateSolidBrush(RGB(0, 255, 255)));
            FillRect(di->hDC, &di->rcItem, cyan.get());
        } else {
            FillRect(di->hDC, &di->rcItem,
                     reinterpret_cast<HBRUSH>(GetClassLongPtrW(hs().main, GCLP_HBRBACKGROUND)));
        }
    }
    SetBkMode(di->hDC, TRANSPARENT);
    RECT r = di->rcItem;
    DrawTextW(di->hDC, text, -1, &r, DT_VCENTER | DT_SINGLELINE);
}

void onnotify(HWND hwnd, NMHDR* nm)
{
    hoststate& h = hs();
    if (nm->code == TTN_GETDISPINFOW) {
        auto* di = reinterpret_cast<NMTTDISPINFOW*>(nm);
        static wchar_t runtip[20];
        int sid = 0;
        switch (nm->idFrom) {
        case CMD_OPEN: sid = IDS_OPEN; break;
        case CMD_PROPERTIES: sid = IDS_PROPERTIES; break;
        case CMD_LASTFILE: sid = IDS_LASTONE; break;
        case CMD_RECENT: sid = IDS_LAST30; break;
        case CMD_CLEARLOG: sid = IDS_CLEARLOG; break;
        case CMD_RUN:
            _snwprintf(runtip, 20, h.set.runkeyalt ? L"Run,ALT+%c" : L"Run,CTL+%c", h.set.runkeyletter);
            runtip[19] = 0;
            di->lpszText = runtip;
            return;
        default:
            return;
        }
        di->hinst = h.inst;
        di->lpszText = MAKEINTRESOURCEW(sid);
    } else if (nm->hwndFrom == h.tabctl && nm->code == NM_RCLICK) {
        TCHITTESTINFO hit = {};
        GetCursorPos(&hit.pt);
        ScreenToClient(h.tabctl, &hit.pt);
        const int index = static_cast<int>(SendMessageW(h.tabctl, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (index < 0)
            return;
        SendMessageW(h.tabctl, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
        selecttab(index);
        layoutmain();
        settitle();
        if (HMENU menu = LoadMenuW(h.inst, MAKEINTRESOURCEW(IDM_TABCLOSURE))) {
            POINT pt;
            GetCursorPos(&pt);
            TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN, pt.x, pt.y, 0, hwnd, nullptr);
            DestroyMenu(menu);
        }
    } else if (nm->hwndFrom == h.tabctl && nm->code == TCN_SELCHANGE) {
        SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
        selecttab(static_cast<int>(SendMessageW(h.tabctl, TCM_GETCURSEL, 0, 0)));
        layoutmain();
        SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
        settitle();
    }
}

void propmenu(HWND hwnd)
{
    hoststate& h = hs();
    HMENU menu = LoadMenuW(h.inst, MAKEINTRESOURCEW(IDM_PROPERTIES));
    if (!menu)
        return;
    RECT r = {};
    const LRESULT index = SendMessageW(h.toolbar, TB_COMMANDTOINDEX, CMD_PROPERTIES, 0);
    SendMessageW(h.toolbar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(h.toolbar, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0, hwnd, nullptr);
    DestroyMenu(menu);
}

void oncopydata(const COPYDATASTRUCT* cds)
{
    std::wstring path;
    if (!copydatapath(cds, path))
        return;
    logmsg(L"......End   of %s\n", path.c_str());
    delremoterun(hs().remoteruns, scriptbasename(path));
    settitle();
}

bool firstonly()
{
    if (hs().firstapp)
        return true;
    logmsg(L"%s\n", L"This is not first app.");
    return false;
}

void oncommand(HWND hwnd, int id)
{
    hoststate& h = hs();
    switch (id) {
    case CMD_OPEN:
        openscriptfile(0);
        settitle();
        break;
    case CMD_LASTFILE:
        if (theini().getinis(L"main", L"scrfid", h.curscript)) {
            openscriptfile(1);
            settitle();
        }
        break;
    case CMD_RECENT: {
        const int slot = openrecentmenu();
        if (slot >= 0 && slot < h.recent.count()) {
            h.curscript = h.recent.at(slot);
            openscriptfile(1);
            settitle();
        }
        break;
    }
    case CMD_PROPERTIES:
        propmenu(hwnd);
        layoutmain();
        break;
    case CMD_RUN: {
        // What Run was given: a file opened while the question is open does
        // not take its place.
        const std::wstring script = h.curscript;
        if (asksave() != 2)
            runscript(script);
        break;
    }
    case CMD_SETTING:
        if (firstonly()) {
            static bool inside = false;
            if (!inside) {
                inside = true;
                opensetting();
                inside = false;
                settitle();
            }
        }
        break;
    case CMD_HELP: {
        const std::wstring help = programdir + L"help\\quorvel.chm";
        const auto done = reinterpret_cast<INT_PTR>(
            ShellExecuteW(hwnd, L"open", help.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (done <= 32)
            logmsg(L"%s:%s: \n", L"Help file not opened", help.c_str());
        break;
    }
    case CMD_ABOUT:
        ShellAboutW(hwnd, L"QUORVEL#Quorvel desktop automation", L"Version " QUORVEL_VERSION,
                    LoadIconW(h.inst, MAKEINTRESOURCEW(IDI_QUORVEL)));
        break;
    case CMD_TOTRAY:
        tasktray(true);
        break;
    case CMD_FROMTRAY:
        tasktray(false);
        break;
    case CMD_QUIT:
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
        break;
    case CMD_ENROLSCRIPT:
    case CMD_ENROLSCRIPTSHIFT:
        if (firstonly()) {
            h.enrolset = id == CMD_ENROLSCRIPT ? 1 : 2;
            openenrolscript();
        }
        break;
    case CMD_HIDEOTHERS:
        hideothers();
        break;
    case CMD_CLOSETAB:
        closeeditor();
        break;
    case CMD_REFRESHTAB:
        refreshtab();
        break;
    case CMD_ENROLHOTKEY:
        if (firstonly())
            openenrolhk();
        break;
    case CMD_ENROLRESIDENT:
        if (firstonly())
            openenrolres();
        break;
    case CMD_CLEARLOG:
        SetWindowTextW(hEditp, L"");
        break;
    default:
        if (id >= CMD_LAUNCHFIRST && id <= CMD_LAUNCHLAST)
            runlaunchentry(h.launchmode, id - CMD_LAUNCHFIRST);
        break;
    }
}

bool onctrlchar(HWND hwnd, wchar_t c)
{
    hoststate& h = hs();
    int post = 0;
    if (h.set.runkeyalt == 0 && c == h.runkeych)
        post = CMD_RUN;
    else if (c == 4) {
        hideothers();
        return true;
    } else if (c == 20) {
        tasktray(!h.trayshown);
        return true;
    } else {
        switch (c) {
        case 5: post = CMD_QUIT; break;
        case 11: post = CMD_CLOSETAB; break;
        case 15: post = CMD_OPEN; break;
        case 16: post = CMD_PROPERTIES; break;
        case 17: post = CMD_LASTFILE; break;
        case 18: post = CMD_REFRESHTAB; break;
        case 23: post = CMD_RECENT; break;
        case 26: post = CMD_CLEARLOG; break;
        default: return false;
        }
    }
    PostMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(post), 0);
    return true;
}

void ondropfiles(HDROP drop)
{
    hoststate& h = hs();
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT len = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(len + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), len + 1));
        h.curscript = path;
        openscriptfile(1);
        settitle();
    }
    DragFinish(drop);
}

void savewindowrect(HWND hwnd)
{
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(hwnd, &wp) || !(wp.showCmd & 1))
        return;  // minimised: keep the rectangle saved before
    RECT r;
    GetWindowRect(hwnd, &r);
    iniimage& ini = theini();
    ini.setinis(L"setting", L"left", format(L"%ld", r.left));
    ini.setinis(L"setting", L"top", format(L"%ld", r.top));
    ini.setinis(L"setting", L"right", format(L"%ld", r.right));
    ini.setinis(L"setting", L"bottom", format(L"%ld", r.bottom));
}

// Tells the first instance that the script this instance ran has ended.
void sendendreport()
{
    HWND first = findfirstapp(L"", L"QUORVEL (HotKey:");
    if (!first)
        return;
    const std::wstring& path = hs().curscript;
    COPYDATASTRUCT cds = {};
    cds.dwData = 0;
    cds.cbData = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
    cds.lpData = const_cast<wchar_t*>(path.c_str());
    DWORD_PTR result = 0;
    SendMessageTimeoutW(first, WM_COPYDATA, reinterpret_cast<WPARAM>(hs().main), reinterpret_cast<LPARAM>(&cds),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

bool askclose(const wchar_t* line1)
{
    const std::wstring text = format(L"%s\r\n%s", line1, L"Is it OK to close this?");
    return MessageBoxW(nullptr, text.c_str(), hs().curscript.c_str(), MB_OKCANCEL | MB_TOPMOST) == IDOK;
}

// The close sequence. False when the user cancelled it.
bool closemain(HWND hwnd)
{
    hoststate& h = hs();
    if (h.closing)
        return true;
    h.closing = true;
    if (!g_screxits) {
        const int running = queryexeflag();
        if (h.firstapp) {
            if (!h.remoteruns.empty() && !askclose(L"script is still running (in hide state).")) {
                h.closing = false;
                return false;
            }
            mythreadclosure();
        } else if (running == 1 && exitflag != 1) {
            if (!askclose(L"script is still running.... ")) {
                h.closing = false;
                return false;
            }
            InterlockedExchange(&g_screxits, 1);
        }
    }
    while (tabcount() > 0) {
        if (!closeeditor()) {
            h.closing = false;
            return false;
        }
    }
    if (!h.firstapp && quitflag == 1)
        sendendreport();
    unregisterhotkeys();
    if (h.trayshown) {
        NOTIFYICONDATAW nid = {};
        nid.cbSize = sizeof nid;
        nid.hWnd = hwnd;
        nid.uID = TRAY_UID;
        Shell_NotifyIconW(NIM_DELETE, &nid);  // the window stays hidden while it closes
        h.trayshown = false;
    }
    if (!h.cmd.scriptgiven && !g_screxits)
        savewindowrect(hwnd);
    theini().saveini(h.inipath, h.firstapp);
    // argbuffs stays: script threads still alive may copy it until the process ends.
    h.recent.freerecent();
    theini().freeini();
    freescripttables();
    freetabs();
    if (!g_screxits) {
        const std::wstring leaks = leakreport();
        if (!leaks.empty()) {
            errlog(programdir, leaks.c_str());
            MessageBoxW(nullptr, L"Unknown memory leak error 1.", L"QUORVEL", MB_OK);
        }
    }
    closeerrlog();
    // Back to their own procedures first: the subclass procedure knows the
    // panes only while they are the published ones.
    SetWindowLongPtrW(hEditp, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(h.editpproc));
    SetWindowLongPtrW(hEditSys, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(h.editsysproc));
    HWND panes[] = {hEditp, hEditSys};
    hEditp = nullptr;
    hEditSys = nullptr;
    for (HWND p : panes)
        DestroyWindow(p);
    DestroyWindow(hwnd);
    DeleteObject(hFont1);
    DeleteObject(hFont2);
    hFont1 = hFont2 = nullptr;
    DeleteObject(h.runbmp);
    DeleteObject(h.runmask);
    ImageList_Destroy(h.images);
    return true;
}

}  // namespace

namespace {

BOOL CALLBACK monitorproc(HMONITOR mon, HDC, LPRECT, LPARAM)
{
    auto& table = hs().monitors;
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    if (!GetMonitorInfoW(mon, &mi))
        return TRUE;
    if (mi.dwFlags & MONITORINFOF_PRIMARY) {
        table[0] = mi.rcMonitor;
        return TRUE;
    }
    if (table.size() >= 6)
        return FALSE;
    table.push_back(mi.rcMonitor);
    return TRUE;
}

}  // namespace

void fillmonitors()
{
    hoststate& h = hs();
    h.monitors.assign(1, RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    EnumDisplayMonitors(nullptr, nullptr, monitorproc, 0);
}

RECT mainmonitor()
{
    hoststate& h = hs();
    fillmonitors();
    RECT w = {};
    GetWindowRect(h.main, &w);
    const POINT c = rectcentre(w);
    for (const RECT& m : h.monitors)
        if (c.x >= m.left && c.x < m.right && c.y >= m.top && c.y < m.bottom)
            return m;
    return h.monitors[0];
}

ATOM regmainclass(HINSTANCE inst)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = mainwndproc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(IDI_QUORVEL));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"quorvel.main";
    return RegisterClassExW(&wc);
}

int createmainwnd(HINSTANCE inst, int show)
{
    hoststate& h = hs();
    iniimage& ini = theini();
    ini.loadini(h.inipath);
    if (h.firstapp)
        readini(ini, h.set, true, true, true, true);
    else
        readini(ini, h.set, true, false, true, false);
    fontheight = h.set.fontheight;
    wcsncpy_s(fontname, LF_FACESIZE, h.set.fontname.c_str(), _TRUNCATE);
    if (h.set.suplogmsgset)
        g_suplogmsg = h.set.suplogmsg;
    h.runkeych = runkeychar(h.set.runkeyletter, h.set.runkeyalt);

    if (h.firstapp)
        loadhotkeys();
    fillmonitors();
    const RECT r = placewindow(RECT{h.set.left, h.set.top, h.set.right, h.set.bottom}, h.monitors, h.cmd.prim);

    HWND hwnd = CreateWindowExW(0, L"quorvel.main", L"QUORVEL", WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, inst, nullptr);
    if (!hwnd)
        return 0;
    hWndp = hwnd;
    if (h.cmd.min)
        ShowWindow(hwnd, SW_SHOWMINIMIZED);
    else if (!h.cmd.hide)
        ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    if (h.cmd.scriptgiven) {
        h.set.hsratio = 1;  // the log panes take nearly the whole width
        postsize(hwnd);
        // No one watches a host started with "/quit": a run that cannot open
        // its log would end on the engine's box with nothing written anywhere.
        // Say why and close. A script that cannot be opened runs: its own log
        // says so.
        const std::wstring why = quitflag == 1 ? runblocker(programdir, h.curscript) : std::wstring();
        if (unattended())
            SetTimer(hwnd, TIMER_FATALBOX, 100, nullptr);
        if (why.empty()) {
            runscript(h.curscript);
        } else {
            logmsg(L"%s", why.c_str());
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        settitle();
        return 1;
    }
    regmainhotkey(hwnd);
    settitle();
    return 1;
}

LRESULT CALLBACK mainwndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    hoststate& h = hs();
    if (h.taskbarcreated && msg == h.taskbarcreated) {
        traycreated();
        return 0;
    }
    switch (msg) {
    case WM_CREATE:
        makechildren(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (LOWORD(lp) == 0 || HIWORD(lp) == 0)
            return 0;
        SendMessageW(hStatus, WM_SIZE, wp, lp);
        MoveWindow(h.toolbar, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        layoutmain();
        return 0;
    case WM_SETFOCUS:
        if (queryexeflag()) {
            focusscript();
        } else {
            h.focused = true;
            settitle();
        }
        return 0;
    case WM_KILLFOCUS:
        h.focused = false;
        settitle();
        return 0;
    case WM_CLOSE:
        // A script thread that sent this waits for the answer and cannot
        // leave the run list meanwhile: answer at once and close from the queue.
        if (InSendMessage()) {
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return 0;
        }
        closemain(hwnd);
        return 0;
    case WM_QUERYENDSESSION:
        return closemain(hwnd) ? TRUE : FALSE;
    case WM_DRAWITEM:
        if (reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem == h.tabctl) {
            drawtab(reinterpret_cast<DRAWITEMSTRUCT*>(lp));
            return TRUE;
        }
        break;
    case WM_COPYDATA:
        oncopydata(reinterpret_cast<const COPYDATASTRUCT*>(lp));
        return 0;
    case WM_TIMER:
        if (wp == TIMER_FATALBOX) {
            answerfatalbox();
            return 0;
        }
        break;
    case WM_NOTIFY:
        onnotify(hwnd, reinterpret_cast<NMHDR*>(lp));
        return 0;
    case WM_NCLBUTTONDOWN:
        if (queryexeflag())
            focusscript();
        else
            SetFocus(hwnd);
        break;
    case WM_CHAR:
        if (GetKeyState(VK_CONTROL) < 0 && onctrlchar(hwnd, static_cast<wchar_t>(wp)))
            return 0;
        break;
    case WM_SYSCHAR:
        if (h.set.runkeyalt == 1 && static_cast<wchar_t>(wp) == h.runkeych) {
            SendMessageW(hwnd, WM_COMMAND, CMD_RUN, 0);
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        onmouse(hwnd, msg, lp);
        return 0;
    case WM_DROPFILES:
        ondropfiles(reinterpret_cast<HDROP>(wp));
        return 0;
    case WM_HOTKEY:
        if (!IsWindowEnabled(hwnd)) {
            // A modal host window is open: bring it forward instead.
            HWND modal = launchmenuwindow();
            if (!modal)
                modal = GetLastActivePopup(hwnd);
            if (modal && modal != hwnd)
                bringfront(modal);
            return 0;
        }
        onhotkey(hwnd, static_cast<int>(wp));
        return 0;
    case WM_USER:
        tasktray(!h.trayshown);
        return 0;
    case WM_TRAYCALLBACK:
        if (lp == WM_RBUTTONUP) {
            if (HMENU menu = LoadMenuW(h.inst, L"MYTRAY")) {
                POINT pt;
                GetCursorPos(&pt);
                SetForegroundWindow(hwnd);
                TrackPopupMenu(GetSubMenu(menu, 0), TPM_BOTTOMALIGN, pt.x, pt.y, 0, hwnd, nullptr);
                DestroyMenu(menu);
            }
            return 0;
        }
        break;
    case WM_COMMAND:
        oncommand(hwnd, LOWORD(wp));
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void layoutmain()
{
    hoststate& h = hs();
    if (!h.main)
        return;
    RECT rc;
    GetClientRect(h.main, &rc);
    const int t = rectheight(h.toolbar);
    h.lay = computelayout({rc.right, rc.bottom, t, rectheight(hStatus), h.set.vsratio, h.set.hsratio, h.lineheight});
    if (!h.lay.ok)
        return;
    const auto place = [](HWND w, const RECT& b) {
        MoveWindow(w, b.left, b.top, b.right, b.bottom, TRUE);
        ShowWindow(w, SW_SHOW);
    };
    place(h.tabctl, h.lay.tabs);
    RECT display = {0, 0, h.lay.left, h.lay.upper};
    SendMessageW(h.tabctl, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    placeeditor(display, t);
    place(hWndRunEdit, h.lay.runline);
    place(hEditp, h.lay.editp);
    place(hEditSys, h.lay.editsys);
}

void settitle()
{
    hoststate& h = hs();
    if (h.main)
        SetWindowTextW(h.main, titletext(h.titlebase, h.curscript, h.remoteruns, h.focused).c_str());
}

}  // namespace host
