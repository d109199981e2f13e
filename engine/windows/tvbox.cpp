// "tvbox": a tree of texts that the script builds item by item, with waits for
// the user's selection or a changed check box. One per script, on a window
// thread of its own.
#include <string>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

#include <commctrl.h>

namespace {

enum : int32_t { tvopen = 0, tvtvi, tvclose, tvsel, tvitm, tvexp, tvcol, tvfontw, tvstyle, tvgcs, tvscs, tvrcs };

const ExeScr::subword treewords[] = {{L"open", tvopen}, {L"tvi", tvtvi},     {L"close", tvclose},
                                     {L"sel", tvsel},   {L"itm", tvitm},     {L"exp", tvexp},
                                     {L"col", tvcol},   {L"font", tvfontw},  {L"style", tvstyle},
                                     {L"gcs", tvgcs},   {L"scs", tvscs},     {L"rcs", tvrcs},
                                     {nullptr, 0}};

int32_t treecount(int32_t code)
{
    switch (code) {
    case tvclose:
    case tvsel:
    case tvitm: return 1;
    case tvtvi:
    case tvfontw: return 3;
    case tvopen: return 5;
    default: return 2;
    }
}

// An item argument: the integer "tvi" returned (a double is made one first);
// 0 stands for the root.
HTREEITEM popitem(ExeScr& e)
{
    const datdcell c = e.popd();
    return reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(cmdargs::toi64(c)));
}

}  // namespace

void ExeScr::tvbox_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    const int32_t code = subcommand(a[0], treewords);
    if (static_cast<int32_t>(a.size()) != treecount(code))
        comperr(L"the number of argument mismatch.");
    for (size_t k = a.size() - 1; k >= 1; --k) {
        if ((code == tvtvi && k == 2) || (code == tvfontw && k == 1))
            argstr(a[k]);
        else
            argnum(a[k]);
    }
    emitcell(&ExeScr::tvbox_exec);
    emitint(code);
}

unsigned __stdcall ExeScr::treeview_threadentry(void* self)
{
    static_cast<ExeScr*>(self)->treeview_thread();
    return 0;
}

void ExeScr::treeview_thread()
{
    registerboxclass(L"quorvel.treeview", boxthunk<ExeScr, &ExeScr::treeview_proc>);
    HWND w = CreateWindowExW(0, L"quorvel.treeview", L"Quorvel - TreeViewBox", WS_OVERLAPPEDWINDOW, tvx, tvy,
                             tvwidth, tvheight, hWndp, nullptr, GetModuleHandleW(nullptr), this);
    tvboxwnd = w;
    tvboxevent.set();
    if (!w)
        return;
    if (tvfont && tvtree)
        SendMessageW(tvtree, WM_SETFONT, reinterpret_cast<WPARAM>(tvfont), TRUE);
    ShowWindow(w, SW_SHOW);
    UpdateWindow(w);
    boxtofront(w);
    boxmessageloop();
}

LRESULT CALLBACK ExeScr::treeview_subclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* e = reinterpret_cast<ExeScr*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!e)
        return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_CHAR && e->tvboxwnd)
        return e->treeview_proc(e->tvboxwnd, msg, wp, lp);
    return CallWindowProcW(e->tvoldproc, hwnd, msg, wp, lp);
}

LRESULT ExeScr::treeview_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        RECT rc;
        GetClientRect(hwnd, &rc);
        tvtree = CreateWindowExW(0, WC_TREEVIEWW, L"",
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
                                 0, 0, rc.right, rc.bottom, hwnd, reinterpret_cast<HMENU>(100),
                                 GetModuleHandleW(nullptr), nullptr);
        if (tvtree)
            tvoldproc = boxsubclass(tvtree, treeview_subclass, this);
        return 0;
    }
    case WM_SIZE:
        if (tvtree)
            MoveWindow(tvtree, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
        if (hdr->code == TVN_SELCHANGEDW && tvwaitkind == 3) {
            const HTREEITEM item = reinterpret_cast<const NMTREEVIEWW*>(lp)->itemNew.hItem;
            tvboxevent.setwith([&] {
                tvchoice = 1;
                tvitem = item;
            });
        } else if (hdr->code == TVN_ITEMCHANGEDW && tvwaitkind == 4) {
            const HTREEITEM item = reinterpret_cast<const NMTVITEMCHANGE*>(lp)->hItem;
            tvboxevent.setwith([&] {
                tvchoice = 1;
                tvitem = item;
            });
        }
        return 0;
    }
    case WM_CHAR:
        // A typed character ends the wait without a choice.
        charret = static_cast<int32_t>(wp);
        tvboxevent.set();
        return 0;
    case WM_USER:
        if (wp == 0 && tvtree) {
            LONG_PTR s = GetWindowLongPtrW(tvtree, GWL_STYLE);
            s = lp ? (s | TVS_CHECKBOXES) : (s & ~static_cast<LONG_PTR>(TVS_CHECKBOXES));
            SetWindowLongPtrW(tvtree, GWL_STYLE, s);
            SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, 0x77);
        }
        return 0;
    case WM_CLOSE:
        charret = 0;
        if (tvtree)
            DestroyWindow(tvtree);
        if (tvfont)
            DeleteObject(tvfont);
        tvfont = nullptr;
        DestroyWindow(hwnd);
        tvboxwnd = nullptr;
        tvtree = nullptr;
        // Last: a script woken here must find the box closed.
        tvboxevent.set();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void ExeScr::tvbox_exec()
{
    const auto code = static_cast<int32_t>(ip->i);
    ++ip;
    switch (code) {
    case tvopen: {
        tvx = cmdargs::toi32(popd());
        tvy = cmdargs::toi32(popd());
        tvwidth = cmdargs::toi32(popd());
        tvheight = cmdargs::toi32(popd());
        if (tvboxwnd)
            return boxrefuse(L"Already opened error.");
        pushint(boxopen(tvboxevent, tvthread, treeview_threadentry, this) ? 1 : 0);
        return;
    }
    case tvtvi: {
        const HTREEITEM parent = popitem(*this);
        const std::wstring text = popstr();
        if (!tvtree)
            return boxrefuse(L"No TreeViewBox error.");
        TVINSERTSTRUCTW ins = {};
        ins.hParent = parent ? parent : TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT;
        ins.item.pszText = const_cast<wchar_t*>(text.c_str());
        const LRESULT item = SendMessageW(tvtree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins));
        InvalidateRect(tvboxwnd, nullptr, TRUE);
        pushint(item);
        return;
    }
    case tvclose:
        if (tvboxwnd)
            SendMessageW(tvboxwnd, WM_CLOSE, 0, 0);
        pushint(1);
        return;
    case tvsel:
    case tvitm:
        tvchoice = 0;
        tvwaitkind = code == tvsel ? 3 : 4;
        if (tvboxwnd) {
            tvboxevent.arm();
            boxwait(tvboxevent);
            tvboxevent.disarm();  // after this the box thread writes no choice
        }
        tvwaitkind = 0;
        pushint(tvchoice == 1 ? reinterpret_cast<intptr_t>(tvitem) : 0);
        return;
    case tvexp:
    case tvcol:
    case tvstyle:
    case tvgcs:
    case tvscs:
    case tvrcs: {
        const datdcell arg = popd();
        if (!tvtree)
            return boxrefuse(L"No TreeViewBox error.");
        const auto item = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(cmdargs::toi64(arg)));
        LRESULT r = 1;
        if (code == tvexp || code == tvcol) {
            SendMessageW(tvtree, TVM_EXPAND, code == tvexp ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
        } else if (code == tvstyle) {
            // Sent, not posted: an item request sent right after would
            // otherwise overtake it and lose its state to the new check boxes.
            SendMessageW(tvboxwnd, WM_USER, 0, static_cast<LPARAM>(cmdargs::toi64(arg)));
        } else if (code == tvgcs) {
            const LRESULT state =
                SendMessageW(tvtree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
            r = (state >> 12) - 1;
        } else {
            TVITEMW it = {};
            it.mask = TVIF_STATE;
            it.hItem = item;
            it.state = code == tvscs ? 0x2000 : 0x1000;
            it.stateMask = 0xF000;
            SendMessageW(tvtree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
        }
        pushint(r);
        return;
    }
    case tvfontw: {
        const std::wstring face = popstr();
        const int32_t height = cmdargs::toi32(popd());
        HFONT font = boxfont(face.c_str(), height, -1);
        if (!font) {
            pushint(0);
            return;
        }
        // The tree takes the new font before the old one goes.
        HFONT old = tvfont;
        tvfont = font;
        if (tvtree) {
            SendMessageW(tvtree, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
            InvalidateRect(tvtree, nullptr, TRUE);
        }
        if (old)
            DeleteObject(old);
        pushint(1);
        return;
    }
    default:
        pushint(0);
        return;
    }
}
