// "viewbox": creates, opens, sets up, asks and closes the named ViewBoxes of a
// script. The runtime runs on the script thread: it changes the box's fields
// and posts requests to its view, which the box thread carries out.
#include <cwchar>
#include <new>

#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "windows/vbgdi.h"
#include "windows/viewbox.h"

namespace {

enum : int32_t {
    vbgethwnd = 0, vbopen, vbfont, vbmarks_, vbmarksb, vbmarke, vbmarkeb, vbmarkse, vbmarkseb, vbmarkdel, vbmarkl,
    vbpair, vbnumber, vbsetcar, vbgetcar, vbcaret, vbkey, vbcolor, vbstatus, vbstatusmsg, vbrefresh, vbstyle, vbclose
};

const ExeScr::subword viewwords[] = {
    {L"gethwnd", vbgethwnd}, {L"open", vbopen},         {L"font", vbfont},           {L"marks", vbmarks_},
    {L"marksb", vbmarksb},   {L"marke", vbmarke},       {L"markeb", vbmarkeb},       {L"markse", vbmarkse},
    {L"markseb", vbmarkseb}, {L"markdel", vbmarkdel},   {L"markl", vbmarkl},         {L"pair", vbpair},
    {L"number", vbnumber},   {L"setcar", vbsetcar},     {L"getcar", vbgetcar},       {L"caret", vbcaret},
    {L"key", vbkey},         {L"color", vbcolor},       {L"status", vbstatus},       {L"statusmsg", vbstatusmsg},
    {L"refresh", vbrefresh}, {L"style", vbstyle},       {L"close", vbclose},         {nullptr, 0}};

// Argument counts, name and word included.
bool countfits(int32_t code, int32_t n)
{
    switch (code) {
    case vbopen:
    case vbnumber: return n == 3 || n == 4;
    case vbfont:
    case vbcolor: return n == 4 || n == 5;
    case vbstatus: return n == 3 || n == 5;
    case vbmarks_:
    case vbmarksb:
    case vbpair: return n == 6;
    case vbmarke:
    case vbmarkeb:
    case vbsetcar: return n == 4;
    case vbmarkse:
    case vbmarkseb: return n == 7;
    case vbmarkdel:
    case vbmarkl: return n == 5;
    case vbcaret:
    case vbkey:
    case vbstatusmsg:
    case vbstyle: return n == 3;
    default: return n == 2;
    }
}

// The encoding word of "open", read at compile time by its first letters:
// "s..." the ANSI code page (4), "un..." a byte-order mark only (0), any other
// "u..." UTF-8 (8).
int32_t encodingword(ExeScr& e, wchar_t* text)
{
    const wchar_t* p = textscan::skipblank(text);
    if (p[0] == L's')
        return 4;
    if (p[0] == L'u')
        return p[1] == L'n' ? 0 : 8;
    e.comperr(L"Not supported parameter.");
}

int32_t popi32(ExeScr& e) { return cmdargs::toi32(e.popd()); }

}  // namespace

void ExeScr::viewbox_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    const auto n = static_cast<int32_t>(a.size());
    const int32_t index = namedbox<viewbox>(a[0], objviewbox, viewboxid);
    const int32_t code = boxsubword(a, viewwords, countfits);
    for (int32_t k = n - 1; k >= 2; --k) {
        wchar_t* arg = a[static_cast<size_t>(k)];
        if (code == vbopen && k == 3) {
            emitcell(&ExeScr::pushint_exec);
            emitint(encodingword(*this, arg));
        } else if (k == 2 && (code == vbopen || code == vbfont || code == vbstatusmsg)) {
            argstr(arg);
        } else {
            argnum(arg);
        }
    }
    emitcell(&ExeScr::viewbox_exec);
    emitu64((static_cast<uint64_t>(n) << 32) | (static_cast<uint64_t>(code) << 16));
    emitint(index);
}

void ExeScr::viewbox_exec()
{
    const boxoperands op = readboxoperands();
    const int32_t code = op.code, n = op.count;
    viewbox& b = *static_cast<viewbox*>(boxtable.base[op.index].obj);
    const auto request = [&](int32_t req) {
        if (HWND v = b.view)
            PostMessageW(v, WM_USER, static_cast<WPARAM>(req), 0);
    };
    int64_t result = 1;
    switch (code) {
    case vbgethwnd: result = reinterpret_cast<intptr_t>(b.frame); break;
    case vbopen: {
        const std::wstring file = popstr();
        const int32_t encoding = n == 4 ? popi32(*this) : 0;
        // 0 once the box is open, as after "ReOpen error."; -1 when no box
        // could be opened (a file that cannot be read, no window), so that
        // a script can tell the two apart.
        result = 0;
        if (b.frame) {
            if (logon == 1)
                mylogmsgforced(L"%s %s\n", L"ReOpen error.", file.c_str());
            break;
        }
        // An earlier window closed by the user: its thread is done with the text.
        b.thread.join();
        b.vb_release();
        b.vb_reset();
        if (!b.viewbox_loadfile(file.c_str(), encoding)) {
            result = -1;
            break;
        }
        // The monitor under the cursor, for the frame's place: taken here,
        // as the monitor table belongs to the script thread.
        cursormonitorrect(&b.monitor);
        if (!boxopen(b.ev, b.thread, viewbox::viewbox_threadentry, &b) || !b.frame) {
            b.thread.join();
            b.vb_release();
            result = -1;
        }
        break;
    }
    case vbfont: {
        const std::wstring face = popstr();
        const int32_t height = popi32(*this);
        const int32_t weight = n == 5 ? popi32(*this) : b.fontweight;
        wcsncpy(b.fontface, face.c_str(), 31);
        b.fontface[31] = 0;
        b.fontheight = height;
        b.fontweight = weight;
        HFONT made = vbgdi::makefont(b.fontface, height, weight);
        {
            std::lock_guard<std::recursive_mutex> guard(b.lock);
            if (b.font)
                DeleteObject(b.font);
            b.font = made;
        }
        request(vbreqfont);
        result = made ? 1 : 0;
        break;
    }
    case vbmarks_:
    case vbmarksb:
    case vbmarkse:
    case vbmarkseb: {
        const bool range = code == vbmarkse || code == vbmarkseb;
        const int32_t line = popi32(*this);
        const int32_t start = popi32(*this);
        const int32_t end = range ? popi32(*this) : 0;
        const auto text = static_cast<uint32_t>(popi32(*this));
        const auto back = static_cast<uint32_t>(popi32(*this));
        if (range && start >= end) {
            result = 0;
            break;
        }
        uint32_t flags = range ? 3 : 2;
        if (code == vbmarksb || code == vbmarkseb)
            flags |= 4;
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        result = b.marks.add(line, start, end, text, back, flags) ? 1 : 0;
        break;
    }
    case vbmarke:
    case vbmarkeb: {
        const int32_t line = popi32(*this);
        const int32_t column = popi32(*this);
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        result = b.marks.add(line, 0, column, 0, 0, code == vbmarkeb ? 5 : 1) ? 1 : 0;
        break;
    }
    case vbmarkdel: {
        const int32_t line = popi32(*this);
        const int32_t start = popi32(*this);
        const int32_t end = popi32(*this);
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        b.marks.remove(line, start, end);
        break;
    }
    case vbmarkl: {
        const int32_t line = popi32(*this);
        const auto text = static_cast<uint32_t>(popi32(*this));
        const auto back = static_cast<uint32_t>(popi32(*this));
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        // The whole line, its row ends filled: up to the next line's start.
        result = line >= 0 && line < INT32_MAX && b.marks.add(line, 0, 0, text, back, 6) &&
                         b.marks.add(line + 1, 0, 0, 0, 0, 5)
                     ? 1
                     : 0;
        break;
    }
    case vbpair: {
        const int32_t l1 = popi32(*this);
        const int32_t c1 = popi32(*this);
        const int32_t l2 = popi32(*this);
        const int32_t c2 = popi32(*this);
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        b.pairs.add(l1, c1, l2, c2);
        break;
    }
    case vbnumber:
        b.numberson = popi32(*this);
        if (n == 4)
            b.numbercolour = static_cast<COLORREF>(popi32(*this));
        break;
    case vbsetcar: {
        const int32_t line = popi32(*this);
        const int32_t column = popi32(*this);
        if (!b.view) {
            result = 0;
            break;
        }
        {
            std::lock_guard<std::recursive_mutex> guard(b.lock);
            b.reqline = line;
            b.reqcolumn = column;
        }
        request(vbreqsetcar);
        break;
    }
    case vbgetcar: {
        if (!b.view) {
            result = 0;
            break;
        }
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        xcaret = b.caretcolumn;
        ycaret = b.caretline;
        break;
    }
    case vbcaret: b.caretkind = popi32(*this); break;
    case vbkey: b.keyson = popi32(*this); break;
    case vbcolor:
        b.textcolour = static_cast<COLORREF>(popi32(*this));
        b.backcolour = static_cast<COLORREF>(popi32(*this));
        if (n == 5)
            b.bandcolour = static_cast<COLORREF>(popi32(*this));
        request(vbreqcolor);
        break;
    case vbstatus:
        b.statuson = cmdargs::todbl(popd()) != 0 ? 1 : 0;  // NaN too
        if (n == 5) {
            b.statustext = static_cast<COLORREF>(popi32(*this));
            b.statusback = static_cast<COLORREF>(popi32(*this));
        }
        if (b.status)
            request(vbreqstatus);
        break;
    case vbstatusmsg: {
        std::wstring msg = popstr();
        {
            std::lock_guard<std::recursive_mutex> guard(b.lock);
            b.statusmsg = std::move(msg);
        }
        if (b.status)
            request(vbreqstatusmsg);
        break;
    }
    case vbrefresh: request(vbreqrefresh); break;
    case vbstyle:
        b.style = popi32(*this) != 0 ? 1 : 0;
        request(vbreqstyle);
        break;
    case vbclose:
        if (HWND f = b.frame) {
            ShowWindow(f, SW_HIDE);
            SendMessageW(f, WM_CLOSE, 0, 0);
            b.thread.join();
            b.vb_release();
        }
        break;
    default: result = 0; break;
    }
    pushint(result);
}
