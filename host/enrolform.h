// What the three enrolment windows share: a group box of rows under column
// headings, the row focus chain (click, Tab, ESC) on their controls, the
// browse dialog for a row's Script field, and the file the clipboard holds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "menuscroll.h"
#include "modal.h"
#include "runtime/owners.h"

namespace host {

enum class cellkind { label, title, script, browse, options, modlist, plus, key, save, active, run };

struct column {
    cellkind kind;
    int wmul, wadd;       // width: wmul average character widths + wadd pixels
    const wchar_t* heading;
    bool chained;         // subclassed with the window's focus-chain procedure
};

// What one enrolment window adds to the shared procedure.
struct enrolhooks {
    void (*create)(HWND hwnd);  // builds the form and fills the rows
    void (*command)(int id);
    bool escbychar;             // ESC arrives as WM_CHAR (Enroll Script) or WM_KEYDOWN
};

class enrolform {
public:
    HWND wnd = nullptr;
    int rows = 0;
    int w = 0, h = 0;      // average character width, line height of the font
    int currow = -1;       // the row the focus chain works on; -1 none
    int curcol = 0;        // 0 Title, 1 Script, 2 Options
    menuscroll scroll;

    // Makes every control of the window; `label` gives a row's label text.
    // The window is sized to its rows, at most as high as the main window's
    // monitor (taller rows scroll, see `scroll`), and centred on it.
    void build(HWND window, const wchar_t* title, const std::vector<column>& cols, int rowcount, HFONT headfont,
               std::wstring (*label)(int), WNDPROC chainproc);
    // Deletes the bitmaps and stops listening to the clipboard.
    void release();

    HWND at(cellkind k, int row) const;
    std::wstring text(cellkind k, int row) const;
    void settext(cellkind k, int row, const std::wstring& t) const;
    bool checked(cellkind k, int row) const;
    void check(cellkind k, int row, bool on) const;
    int modsel(int row) const;
    void setmod(int row, int m) const;

    // The window procedure the three windows share.
    LRESULT proc(modalrun& run, const enrolhooks& hooks, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    // The focus-chain procedure's work for one subclassed control.
    LRESULT chain(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // WM_CLIPBOARDUPDATE: a file on the clipboard becomes the current row's
    // Script; anything else on the clipboard changes nothing.
    void onclipboard();
    // The file dialog for a row's Script field.
    void browse(int row, const wchar_t* filter) const;

private:
    struct sub {
        HWND w;
        WNDPROC prev;
        int row;
        int chaincol;  // -1 when the control is not a chain field
    };
    std::vector<cellkind> kinds_;
    std::vector<std::vector<HWND>> cells_;  // per column, per row
    std::vector<sub> subs_;
    int chaincols_ = 0;
    owners::gdiobject<HBITMAP> browsebmp_, savebmp_;
};

// Filters of the browse dialogs.
extern const wchar_t scriptorfilter[];  // "Script(*.tst)" and "text(*.txt)"
extern const wchar_t scriptallfilter[]; // "Script(*.tst)" and "All(*.*)"

// The first file of the clipboard's file list (mode 1), or empty.
std::wstring clipdroppath(int mode);

}  // namespace host
