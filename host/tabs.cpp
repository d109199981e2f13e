#include "tabs.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "core/formats.h"
#include "core/hostalloc.h"
#include "core/iniimage.h"
#include "core/syslog.h"
#include "core/textfile.h"
#include "hoststate.h"
#include "resource.h"
#include "runtime/quorvelcore.h"
#include "runtime/scriptname.h"

namespace host {

namespace {

struct edittab {
    unsigned id = 0;  // never reused: names the tab across anything that dispatches messages
    std::wstring path;
    HWND editor = nullptr;
    std::wstring label;
    WNDPROC prevproc = nullptr;
    int converted = 0;  // opened from another code page: counts as modified
};

std::vector<edittab> g_tabs;
int g_cur = 0;
bool g_editfocus = false;
unsigned g_nextid = 1;

edittab* tabof(HWND editor)
{
    for (edittab& t : g_tabs)
        if (t.editor == editor)
            return &t;
    return nullptr;
}

// The index of the tab with this id; -1 when it was closed.
int indexof(unsigned id)
{
    for (size_t i = 0; i < g_tabs.size(); ++i)
        if (g_tabs[i].id == id)
            return static_cast<int>(i);
    return -1;
}

void setlabel(HWND tabctl, int index, const std::wstring& label)
{
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(label.c_str());
    SendMessageW(tabctl, TCM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

// Remembers the file as the last one opened and moves it to the top of the
// recently-opened list.
void noteopened(const std::wstring& path)
{
    hoststate& h = hs();
    if (h.cmd.scriptgiven || g_screxits || path.empty())
        return;
    iniimage& ini = theini();
    ini.setinis(L"main", L"scrfid", path);
    h.recent.loadrecent(ini);
    h.recent.delrecent(path);
    h.recent.addrecent(path);
    h.recent.saverecent(ini);
}

bool askfile()
{
    hoststate& h = hs();
    std::wstring filtervalue;
    theini().getinis(L"setting", L"filter", filtervalue);
    const std::wstring filter = filterlist(filtervalue);
    if (h.curscript.empty())
        theini().getinis(L"main", L"scrfid", h.curscript);
    std::wstring initialdir;
    // The folder without its final separator; a drive's colon stays.
    if (const size_t name = namestart(h.curscript); name > 0)
        initialdir = h.curscript.substr(0, h.curscript[name - 1] == L':' ? name : name - 1);
    wchar_t file[MAX_PATH] = {};
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = h.main;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = initialdir.empty() ? nullptr : initialdir.c_str();
    ofn.lpstrTitle = L"File Open";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    ofn.lpstrDefExt = L"txt";
    if (!GetOpenFileNameW(&ofn))
        return false;
    h.curscript = file;
    return true;
}

}  // namespace

int tabcount()
{
    return static_cast<int>(g_tabs.size());
}

int currenttab()
{
    return g_cur;
}

bool editorfocus()
{
    return g_editfocus;
}

int openscriptfile(int mode)
{
    hoststate& h = hs();
    if (mode == 0 && !askfile())
        return -1;
    const std::wstring path = h.curscript;
    hostblock block;
    uint64_t bytes = 0;
    DWORD err = 0;
    if (const readfail f = readwhole(path, id_scriptread, block, bytes, err); f != readfail::none) {
        logmsg(L"%s:%s:%s: \n", readfailtext(f), path.c_str(), syserrtext(err).c_str());
        return -1;
    }
    std::wstring text;
    bool converted = false;
    if (!decodescript(block.as<char>(), bytes, text, converted, err)) {
        logmsg(L"MultiByteToWideChar failed.:%s:\n", syserrtext(err).c_str());
        return -1;
    }
    if (!openeditor(path))
        return -1;
    edittab& t = g_tabs[static_cast<size_t>(g_cur)];
    t.converted = converted ? 1 : 0;
    SetWindowTextW(t.editor, text.c_str());
    SendMessageW(t.editor, EM_SETMODIFY, FALSE, 0);
    if (h.set.hsratio < 10 || h.set.hsratio > 70)
        h.set.hsratio = 40;
    layoutmain();
    noteopened(path);
    return 0;
}

int openeditor(const std::wstring& path)
{
    hoststate& h = hs();
    if (g_tabs.size() >= maxtabs) {
        logmsg(L"Allowed edit window's count is %d \n", maxtabs);
        return 0;
    }
    if (path.empty())
        return 0;
    for (const edittab& t : g_tabs) {
        if (t.path == path) {
            logmsg(L"Already Opened. \n");
            return 0;
        }
    }
    if (!g_tabs.empty())
        ShowWindow(g_tabs[static_cast<size_t>(g_cur)].editor, SW_HIDE);
    g_tabs.reserve(maxtabs);  // records never move while a window procedure holds one
    edittab t;
    t.id = g_nextid++;
    t.path = path;
    t.label = tablabel(path, false);
    t.editor = CreateWindowExW(0, L"EDIT", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                   ES_AUTOHSCROLL | ES_WANTRETURN,
                               0, 0, 0, 0, h.main, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_EDITOR)),
                               h.inst, nullptr);
    if (!t.editor) {
        logmsg(L"%s:%s: \n", L"Cannot create the editor", syserrtext(GetLastError()).c_str());
        return 0;
    }
    SendMessageW(t.editor, WM_SETFONT, reinterpret_cast<WPARAM>(hFont1), FALSE);
    int stop = 16;
    SendMessageW(t.editor, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
    SendMessageW(t.editor, EM_SETLIMITTEXT, 0, 0);
    g_tabs.push_back(t);
    g_cur = static_cast<int>(g_tabs.size()) - 1;
    // Subclassed once its record is in place: the procedure looks the window up.
    g_tabs.back().prevproc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(t.editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editsubproc)));
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(g_tabs.back().label.c_str());
    SendMessageW(h.tabctl, TCM_INSERTITEMW, static_cast<WPARAM>(g_cur), reinterpret_cast<LPARAM>(&item));
    SendMessageW(h.tabctl, TCM_SETCURSEL, static_cast<WPARAM>(g_cur), 0);
    return 1;
}

namespace {

// Saves one tab. The file must still be there: one deleted meanwhile is not
// made again behind the user's back. A failure keeps the tab as it was.
int savetab(edittab& t)
{
    if (GetFileAttributesW(t.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD err = GetLastError();
        logmsg(L"File open failed.:%s:%s: \n", t.path.c_str(), syserrtext(err).c_str());
        return -1;
    }
    const int len = GetWindowTextLengthW(t.editor);
    hostblock text((static_cast<size_t>(len) + 2) * sizeof(wchar_t), id_savetext);
    if (!text)
        return -1;
    wchar_t* p = text.as<wchar_t>();
    p[0] = 0xFEFF;
    const int got = GetWindowTextW(t.editor, p + 1, len + 1);
    DWORD err = 0;
    switch (writefileatomic(t.path, p, (static_cast<size_t>(got) + 1) * sizeof(wchar_t), err)) {
    case writefail::none:
        break;
    case writefail::open:
        logmsg(L"File open failed.:%s:%s: \n", t.path.c_str(), syserrtext(err).c_str());
        return -1;
    case writefail::write:
        // The box dispatches messages: nothing of the record is read after it.
        MessageBoxW(t.editor, L"Error CloseHandle", L"Error", MB_OK);
        return -1;
    }
    t.converted = 0;
    SendMessageW(t.editor, EM_SETMODIFY, FALSE, 0);
    return 0;
}

enum class answer { goon, cancel, notsaved, gone };

// The save question about the tab with this id. The box dispatches messages,
// and a close met there (a script's "exit", the tray's Quit, a close typed
// ahead) may erase any tab: only the id is kept across it, and the tab is
// looked up again after it.
answer asktab(unsigned id)
{
    int index = indexof(id);
    if (index < 0)
        return answer::gone;
    HWND editor = g_tabs[static_cast<size_t>(index)].editor;
    if (!SendMessageW(editor, EM_GETMODIFY, 0, 0) && g_tabs[static_cast<size_t>(index)].converted == 0)
        return answer::goon;
    const int choice = MessageBoxW(editor, L"File is updated. \nDo you want to save it?", L"QUORVEL",
                                   MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_TOPMOST);
    index = indexof(id);
    if (index < 0)
        return answer::gone;
    // The box gave the focus to the main window: the user goes on in the editor.
    if (IsWindowVisible(editor))
        SetFocus(editor);
    switch (choice) {
    case IDYES:
        // A failed save keeps the edits: whatever asked must not go on.
        return savetab(g_tabs[static_cast<size_t>(index)]) == 0 ? answer::goon : answer::cancel;
    case IDNO:
        return answer::notsaved;
    default:
        return answer::cancel;
    }
}

enum class closed { no, yes, gone };

// Closes the tab with this id after its save question.
closed closetab(unsigned id)
{
    hoststate& h = hs();
    const answer a = asktab(id);
    if (a == answer::gone)
        return closed::gone;
    if (a == answer::cancel)
        return closed::no;
    const int index = indexof(id);
    if (index < 0)
        return closed::gone;
    DestroyWindow(g_tabs[static_cast<size_t>(index)].editor);
    SendMessageW(h.tabctl, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
    g_tabs.erase(g_tabs.begin() + index);
    if (!g_tabs.empty()) {
        // The current tab stays current when another one went; closing the
        // current one makes the next current, or the one before the last.
        if (index < g_cur)
            --g_cur;
        else if (g_cur >= static_cast<int>(g_tabs.size()))
            g_cur = static_cast<int>(g_tabs.size()) - 1;
        h.curscript = g_tabs[static_cast<size_t>(g_cur)].path;
        SendMessageW(h.tabctl, TCM_SETCURSEL, static_cast<WPARAM>(g_cur), 0);
        layoutmain();
    } else {
        g_cur = 0;
        h.curscript.clear();
    }
    // The strip does not repaint where the deleted tab was drawn.
    RedrawWindow(h.tabctl, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    settitle();
    return closed::yes;
}

}  // namespace

int saveeditor()
{
    if (g_tabs.empty())
        return 0;
    return savetab(g_tabs[static_cast<size_t>(g_cur)]);
}

int asksave()
{
    if (g_tabs.empty())
        return 0;
    switch (asktab(g_tabs[static_cast<size_t>(g_cur)].id)) {
    case answer::goon:
        return 0;
    case answer::notsaved:
        return 7;
    default:
        // Cancelled, the save failed, or the tab was closed meanwhile: nothing goes on.
        return 2;
    }
}

int closeeditor()
{
    if (g_tabs.empty())
        return 0;
    // A tab closed by someone else while its question was open is closed all the same.
    return closetab(g_tabs[static_cast<size_t>(g_cur)].id) == closed::no ? 0 : 1;
}

void refreshtab()
{
    if (g_tabs.empty())
        return;
    const unsigned id = g_tabs[static_cast<size_t>(g_cur)].id;
    const std::wstring path = g_tabs[static_cast<size_t>(g_cur)].path;
    // Opened again only when this close went through: a tab that went while
    // its question was open stays gone.
    if (closetab(id) == closed::yes) {
        hs().curscript = path;
        openscriptfile(1);
        settitle();
    }
}

void selecttab(int index)
{
    if (index < 0 || index >= static_cast<int>(g_tabs.size()) || index == g_cur)
        return;
    ShowWindow(g_tabs[static_cast<size_t>(g_cur)].editor, SW_HIDE);
    g_cur = index;
    hs().curscript = g_tabs[static_cast<size_t>(g_cur)].path;
}

void placeeditor(const RECT& display, int toolbarheight)
{
    if (g_tabs.empty())
        return;
    HWND e = g_tabs[static_cast<size_t>(g_cur)].editor;
    ShowWindow(e, SW_SHOW);
    MoveWindow(e, display.left, display.top + toolbarheight, display.right - display.left,
               display.bottom - display.top, TRUE);
}

void freetabs()
{
    for (edittab& t : g_tabs)
        DestroyWindow(t.editor);
    g_tabs.clear();
    g_cur = 0;
}

LRESULT CALLBACK editsubproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    hoststate& h = hs();
    edittab* tab = tabof(hwnd);
    const bool logpane = hwnd == hEditp || hwnd == hEditSys;
    WNDPROC prev = tab ? tab->prevproc : hwnd == hEditp ? h.editpproc : hwnd == hEditSys ? h.editsysproc : nullptr;
    if (!prev) {
        fatalexit(L"Cannot find original window procedure.");
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    switch (msg) {
    case WM_CHAR:
        if (GetKeyState(VK_CONTROL) < 0) {
            const wchar_t c = static_cast<wchar_t>(wp);
            int post = 0;
            if (h.set.runkeyalt == 0 && c == h.runkeych)
                post = CMD_RUN;
            else if (c == 4) {
                hideothers();
                return 0;
            } else if (c == 20) {
                tasktray(!h.trayshown);
                return 0;
            } else if (c == 11)
                post = CMD_CLOSETAB;
            else if (c == 15)
                post = CMD_OPEN;
            else if (c == 16)
                post = CMD_PROPERTIES;
            else if (c == 18)
                post = CMD_REFRESHTAB;
            if (post) {
                PostMessageW(h.main, WM_COMMAND, static_cast<WPARAM>(post), 0);
                return 0;
            }
        }
        break;
    case WM_SYSCHAR:
        if (h.set.runkeyalt == 1 && static_cast<wchar_t>(wp) == h.runkeych) {
            SendMessageW(h.main, WM_COMMAND, CMD_RUN, 0);
            return 0;
        }
        break;
    case WM_SETFOCUS:
        g_editfocus = true;
        if (logpane && queryexeflag() == 1)
            focusscript();
        else if (tab) {
            tab->label = tablabel(tab->path, true);
            setlabel(h.tabctl, static_cast<int>(tab - g_tabs.data()), tab->label);
        }
        InvalidateRect(h.tabctl, nullptr, TRUE);
        break;
    case WM_KILLFOCUS:
        g_editfocus = false;
        if (tab) {
            tab->label = tablabel(tab->path, false);
            setlabel(h.tabctl, static_cast<int>(tab - g_tabs.data()), tab->label);
        }
        InvalidateRect(h.tabctl, nullptr, TRUE);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // The log panes never take the focus by a click.
        if (logpane)
            return 0;
        break;
    default:
        break;
    }
    return CallWindowProcW(prev, hwnd, msg, wp, lp);
}

}  // namespace host
