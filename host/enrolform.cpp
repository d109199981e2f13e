#include "enrolform.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

#include "core/keynames.h"
#include "hotkeys.h"
#include "hoststate.h"
#include "modal.h"
#include "resource.h"
#include "runtime/quorvelcore.h"

namespace host {

const wchar_t scriptorfilter[] = L"Script(*.tst)\0*.tst\0text(*.txt)\0*.txt\0";
const wchar_t scriptallfilter[] = L"Script(*.tst)\0*.tst\0All(*.*)\0*.*\0";

namespace {

int cellid(cellkind k, int row)
{
    switch (k) {
    case cellkind::label: return IDC_ROW_LABEL + row;
    case cellkind::title: return IDC_ROW_TITLE + row;
    case cellkind::script: return IDC_ROW_SCRIPT + row;
    case cellkind::browse: return IDC_ROW_BROWSE + row;
    case cellkind::options: return IDC_ROW_OPTIONS + row;
    case cellkind::modlist: return IDC_ROW_MOD + row;
    case cellkind::key: return IDC_ROW_KEY + row;
    case cellkind::save: return IDC_ROW_SAVE + row;
    case cellkind::active: return IDC_ROW_ACTIVE + row;
    case cellkind::run: return IDC_ROW_RUN + row;
    case cellkind::plus: break;
    }
    return -1;
}

int chainindex(cellkind k)
{
    return k == cellkind::title ? 0 : k == cellkind::script ? 1 : k == cellkind::options ? 2 : -1;
}

}  // namespace

void enrolform::build(HWND window, const wchar_t* title, const std::vector<column>& cols, int rowcount,
                      HFONT headfont, std::wstring (*label)(int), WNDPROC chainproc)
{
    hoststate& h0 = hs();
    wnd = window;
    rows = rowcount;
    currow = -1;
    curcol = 0;
    scroll = menuscroll{};
    kinds_.clear();
    cells_.clear();
    subs_.clear();
    chaincols_ = 0;
    const TEXTMETRICW tm = fontmetrics(window, hFont1);
    w = tm.tmAveCharWidth;
    h = tm.tmHeight + tm.tmExternalLeading;
    browsebmp_.reset(LoadBitmapW(h0.inst, MAKEINTRESOURCEW(IDB_BROWSE)));
    savebmp_.reset(LoadBitmapW(h0.inst, MAKEINTRESOURCEW(IDB_SAVE)));

    const auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int cw, int ch, int id,
                          HFONT font) {
        HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, cw, ch, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), h0.inst, nullptr);
        if (font)
            setfont(c, font);
        return c;
    };

    const int top = 2 * h + 22, pitch = h + 6, field = h + 4;
    int x = 20;
    for (const column& col : cols) {
        const bool button = col.kind == cellkind::browse || col.kind == cellkind::save;
        const int cw = button ? 18 : col.wmul * w + col.wadd;
        if (col.heading)
            make(L"STATIC", col.heading, SS_CENTER, x, h + 16, cw, h, -1, headfont);
        std::vector<HWND> cells;
        for (int r = 0; r < rows; ++r) {
            const int y = top + r * pitch;
            const int id = cellid(col.kind, r);
            HWND c = nullptr;
            switch (col.kind) {
            case cellkind::label:
                c = make(L"STATIC", label(r).c_str(), 0, x, y, cw, field, id, hFont1);
                break;
            case cellkind::title:
            case cellkind::script:
            case cellkind::options:
                c = make(L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL, x, y, cw, field, id, hFont1);
                break;
            case cellkind::key:
                c = make(L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL, x, y, cw, field, id, hFont1);
                SendMessageW(c, EM_SETLIMITTEXT, 9, 0);
                subclasskeycap(c, keycapproc);
                break;
            case cellkind::modlist:
                c = make(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, x, y, cw, field * 8, id, hFont1);
                for (const modname& m : modtable)
                    SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m.name));
                SendMessageW(c, CB_SETCURSEL, 1, 0);  // "ALT"
                break;
            case cellkind::plus:
                c = make(L"STATIC", L"+", SS_CENTER, x, y, cw, field, -1, hFont1);
                break;
            case cellkind::browse:
            case cellkind::save:
                c = make(L"BUTTON", L"", BS_BITMAP, x, y, 18, 18, id, nullptr);
                SendMessageW(c, BM_SETIMAGE, IMAGE_BITMAP,
                             reinterpret_cast<LPARAM>((col.kind == cellkind::browse ? browsebmp_ : savebmp_).get()));
                break;
            case cellkind::active:
                c = make(L"BUTTON", L"Active", BS_CHECKBOX, x, y, cw, field, id, hFont1);
                break;
            case cellkind::run:
                c = make(L"BUTTON", L"Run", BS_RADIOBUTTON, x, y, cw, field, id, hFont1);
                break;
            }
            if (col.chained) {
                const auto prev = reinterpret_cast<WNDPROC>(
                    SetWindowLongPtrW(c, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(chainproc)));
                subs_.push_back(sub{c, prev, r, chainindex(col.kind)});
            }
            cells.push_back(c);
        }
        if (chainindex(col.kind) >= 0)
            chaincols_ = std::max(chaincols_, chainindex(col.kind) + 1);
        kinds_.push_back(col.kind);
        cells_.push_back(cells);
        x += cw + 4;
    }
    const int groupw = x - 4 - 10 + 10, grouph = top + rows * pitch - 10 + 4;
    make(L"BUTTON", title, BS_GROUPBOX, 10, 10, groupw, grouph, -1, hFont1);

    // The window: as large as its rows, at most as high as its monitor.
    const RECT mon = mainmonitor();
    RECT r = {0, 0, 10 + groupw + 10, 10 + grouph + 10};
    AdjustWindowRectEx(&r, WS_CAPTION | WS_SYSMENU, FALSE, 0);
    const int height = std::min<int>(r.bottom - r.top, mon.bottom - mon.top);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    scroll.row = pitch;
    scroll.content = 10 + grouph + 10;
    scroll.width = 10 + groupw + 10;
    scroll.centre = rectcentre(mon);
    centrewindow(window, scroll.centre);
    AddClipboardFormatListener(window);
}

void enrolform::release()
{
    if (wnd)
        RemoveClipboardFormatListener(wnd);
    browsebmp_.reset();
    savebmp_.reset();
}

HWND enrolform::at(cellkind k, int row) const
{
    for (size_t i = 0; i < kinds_.size(); ++i)
        if (kinds_[i] == k && row >= 0 && row < rows)
            return cells_[i][static_cast<size_t>(row)];
    return nullptr;
}

std::wstring enrolform::text(cellkind k, int row) const
{
    HWND c = at(k, row);
    if (!c)
        return std::wstring();
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(c)) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(c, t.data(), static_cast<int>(t.size()))));
    return t;
}

void enrolform::settext(cellkind k, int row, const std::wstring& t) const
{
    if (HWND c = at(k, row))
        SetWindowTextW(c, t.c_str());
}

bool enrolform::checked(cellkind k, int row) const
{
    HWND c = at(k, row);
    return c && SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void enrolform::check(cellkind k, int row, bool on) const
{
    if (HWND c = at(k, row))
        SendMessageW(c, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

int enrolform::modsel(int row) const
{
    HWND c = at(cellkind::modlist, row);
    return c ? static_cast<int>(SendMessageW(c, CB_GETCURSEL, 0, 0)) : -1;
}

void enrolform::setmod(int row, int m) const
{
    if (HWND c = at(cellkind::modlist, row))
        SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(m), 0);
}

LRESULT enrolform::chain(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    const auto s = std::find_if(subs_.begin(), subs_.end(), [&](const sub& x) { return x.w == hwnd; });
    if (s == subs_.end())
        return 0;
    if (msg == WM_CHAR && wp == VK_ESCAPE) {
        PostMessageW(wnd, WM_CLOSE, 0, 0);
        return 0;
    }
    if (msg == WM_LBUTTONDOWN && s->chaincol >= 0) {
        currow = s->row;
        curcol = s->chaincol;
    } else if (msg == WM_KEYDOWN && wp == VK_TAB) {
        curcol = chaincols_ > 0 ? (curcol + 1) % chaincols_ : 0;
        if (currow >= 0) {
            static const cellkind chainkinds[] = {cellkind::title, cellkind::script, cellkind::options};
            if (HWND next = at(chainkinds[curcol], currow))
                SetFocus(next);
        }
        return 0;
    }
    return CallWindowProcW(s->prev, hwnd, msg, wp, lp);
}

LRESULT enrolform::proc(modalrun& run, const enrolhooks& hooks, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        hooks.create(hwnd);
        currow = -1;
        return 0;
    case WM_SIZE:
        scroll.onsize(hwnd, HIWORD(lp));
        break;
    case WM_VSCROLL:
        scroll.onvscroll(hwnd, LOWORD(wp));
        return 0;
    case WM_COMMAND:
        hooks.command(LOWORD(wp));
        return 0;
    case WM_CLIPBOARDUPDATE:
        onclipboard();
        return 0;
    case WM_KEYDOWN:
    case WM_CHAR:
        if (wp == VK_ESCAPE && (msg == WM_CHAR) == hooks.escbychar)
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        // Also when the main window takes this one with it.
        release();
        break;
    default:
        break;
    }
    LRESULT result = 0;
    if (modalmessage(run, hwnd, msg, wp, result))
        return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void enrolform::onclipboard()
{
    if (currow < 0)
        return;
    const std::wstring path = clipdroppath(1);
    if (!path.empty())
        settext(cellkind::script, currow, path);
}

void enrolform::browse(int row, const wchar_t* filter) const
{
    wchar_t file[MAX_PATH] = {};
    const std::wstring current = text(cellkind::script, row);
    wcsncpy_s(file, MAX_PATH, current.c_str(), _TRUNCATE);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hs().main;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = L"File Open";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    ofn.lpstrDefExt = L"txt";
    if (GetOpenFileNameW(&ofn))
        settext(cellkind::script, row, file);
}

std::wstring clipdroppath(int mode)
{
    if (mode != 1)
        return std::wstring();
    bool open = false;
    for (int i = 0; i < 6 && !open; ++i) {
        if (i > 0)
            Sleep(100);
        open = OpenClipboard(hs().main) != 0;
    }
    if (!open)
        return std::wstring();
    std::wstring path;
    if (HANDLE data = GetClipboardData(CF_HDROP)) {
        auto drop = static_cast<HDROP>(data);
        if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
            const UINT len = DragQueryFileW(drop, 0, nullptr, 0);
            if (len > 0) {
                path.assign(len + 1, L'\0');
                path.resize(DragQueryFileW(drop, 0, path.data(), len + 1));
            }
        }
    }
    CloseClipboard();
    return path;
}

}  // namespace host
