// "infobox": named layered information windows with text messages, a progress
// bar and a trackbar, each on a window thread of its own.
#include "windows/infobox.h"

#include <algorithm>
#include <cwchar>
#include <new>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

#include <commctrl.h>

namespace {

enum : int32_t {
    ibopen = 1, ibclose, ibprgs, ibprgp, ibbackc, ibalpha, ibkeyc, ibtbs, ibtbp, ibtbr, ibstyle, ibtitle,
    ibgethwnd, ibgetmsgxe, ibgetmsgye, ibgetmsg1xe, ibgetmsg1ye, ibmsgadd, ibmsgrect, ibmsgfont, ibmsgupd,
    ibmsgsizexe, ibmsgsizeye, ibmsgsize
};

const ExeScr::subword infowords[] = {
    {L"open", ibopen},           {L"close", ibclose},         {L"prgs", ibprgs},
    {L"prgp", ibprgp},           {L"backc", ibbackc},         {L"alpha", ibalpha},
    {L"keyc", ibkeyc},           {L"tbs", ibtbs},             {L"tbp", ibtbp},
    {L"tbr", ibtbr},             {L"style", ibstyle},         {L"title", ibtitle},
    {L"gethwnd", ibgethwnd},     {L"getmsgxe", ibgetmsgxe},   {L"getmsgye", ibgetmsgye},
    {L"getmsg1xe", ibgetmsg1xe}, {L"getmsg1ye", ibgetmsg1ye}, {L"msgadd", ibmsgadd},
    {L"msgrect", ibmsgrect},     {L"msgfont", ibmsgfont},     {L"msgupd", ibmsgupd},
    {L"msgsizexe", ibmsgsizexe}, {L"msgsizeye", ibmsgsizeye}, {L"msgsize", ibmsgsize},
    {nullptr, 0}};

// Argument counts, name and word included.
bool countfits(int32_t code, int32_t n)
{
    switch (code) {
    case ibopen: return n >= 6 && n <= 8;
    case ibprgs:
    case ibtbs: return n == 6;
    case ibtbr:
    case ibmsgupd:
    case ibmsgsize: return n == 4;
    case ibmsgrect: return n == 7;
    case ibmsgfont: return n == 6 || n == 7;
    case ibprgp:
    case ibbackc:
    case ibalpha:
    case ibkeyc:
    case ibtbp:
    case ibstyle:
    case ibtitle:
    case ibmsgsizexe:
    case ibmsgsizeye: return n == 3;
    default: return n == 2;
    }
}

// The argument at `k` (0 the name) is a string.
bool stringarg(int32_t code, int32_t k)
{
    return (code == ibtitle && k == 2) || ((code == ibmsgfont || code == ibmsgupd || code == ibmsgsize) && k == 3);
}

int32_t popi32(ExeScr& e) { return cmdargs::toi32(e.popd()); }

constexpr int32_t tbpostmsg = WM_APP + 3;  // the script window's trackbar notice

}  // namespace

// ---- the box object

infobox::~infobox()
{
    if (hwnd)
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
    thread.join();
    std::lock_guard<std::recursive_mutex> guard(lock);
    for (infomsg& m : msgs)
        if (m.font)
            DeleteObject(m.font);
    msgs.clear();
    if (backbrush)
        DeleteObject(backbrush);
    if (whitebrush)
        DeleteObject(whitebrush);
}

unsigned __stdcall infobox::infobox_threadentry(void* self)
{
    static_cast<infobox*>(self)->infobox_thread();
    return 0;
}

void infobox::infobox_thread()
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    // The class outlives any one box's brushes: it keeps the stock white one,
    // and every box erases with its own.
    registerboxclass(L"quorvel.infobox", boxthunk<infobox, &infobox::infobox_proc>);
    HWND w = CreateWindowExW(WS_EX_LAYERED, L"quorvel.infobox", L"Quorvel - InfoBox", style, x, y, width, height,
                             hWndp, nullptr, GetModuleHandleW(nullptr), this);
    hwnd = w;
    ev.set();  // made or not: the opening script thread goes on
    if (!w)
        return;
    ShowWindow(w, SW_SHOW);
    UpdateWindow(w);
    if (topmost) {
        boxtofront(w);
        boxtopmost(w);
    }
    boxmessageloop();
}

void infobox::tbnotice(int32_t pos, bool latch)
{
    if (HWND sw = exe->scriptwnd)
        PostMessageW(sw, tbpostmsg, static_cast<WPARAM>(pos), latch ? 1 : 0);
}

LRESULT CALLBACK infobox::infobox_childproc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* b = reinterpret_cast<infobox*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (!b)
        return DefWindowProcW(w, msg, wp, lp);
    const WNDPROC old = w == b->trackbar ? b->oldtbproc : b->oldprgproc;
    switch (msg) {
    case WM_KEYDOWN:
    case WM_CHAR:
        if (HWND sw = b->exe->scriptwnd)
            PostMessageW(sw, msg, wp, lp);
        return 0;
    case WM_LBUTTONDOWN:
        if (w == b->trackbar) {
            // Jumps to the click, rounded up past the middle. The channel is
            // read again: the control lays it out anew when it changes.
            RECT ch = {};
            if (CallWindowProcW(old, w, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&ch)), ch.right > ch.left) {
                b->chleft = ch.left;
                b->chright = ch.right;
            }
            const int32_t cx = static_cast<short>(LOWORD(lp));
            int32_t p = 0;
            if (cx >= b->chleft && b->chright > b->chleft) {
                p = (std::min(cx, b->chright) - b->chleft) * 100 / (b->chright - b->chleft);
                if (p >= 51 && p <= 99)
                    ++p;
            }
            SendMessageW(w, TBM_SETPOS, TRUE, p);
            b->tbnotice(p, false);
            return 0;
        }
        break;
    default:
        break;
    }
    return old ? CallWindowProcW(old, w, msg, wp, lp) : DefWindowProcW(w, msg, wp, lp);
}

LRESULT infobox::infobox_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (boxforward(exe->scriptwnd, msg, wp, lp))
        return 0;
    switch (msg) {
    case WM_CREATE:
        SetLayeredWindowAttributes(w, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
        return 0;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(w, &rc);
        std::lock_guard<std::recursive_mutex> guard(lock);
        if (HBRUSH brush = backbrush ? backbrush : whitebrush)
            FillRect(reinterpret_cast<HDC>(wp), &rc, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        viewtext_paint(dc);
        EndPaint(w, &ps);
        return 0;
    }
    case WM_HSCROLL:
        if (trackbar && reinterpret_cast<HWND>(lp) == trackbar) {
            if (LOWORD(wp) == TB_THUMBTRACK) {
                dragging = 1;
            } else if (LOWORD(wp) == TB_ENDTRACK) {
                tbnotice(static_cast<int32_t>(SendMessageW(trackbar, TBM_GETPOS, 0, 0)), true);
                dragging = 0;
            }
        }
        return 0;
    case WM_CLOSE: {
        if (progress)
            DestroyWindow(progress);
        if (trackbar)
            DestroyWindow(trackbar);
        {
            std::lock_guard<std::recursive_mutex> guard(lock);
            if (backbrush)
                DeleteObject(backbrush);
            if (whitebrush)
                DeleteObject(whitebrush);
            backbrush = nullptr;
            whitebrush = nullptr;
        }
        DestroyWindow(w);
        progress = nullptr;
        trackbar = nullptr;
        hwnd = nullptr;
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_USER:
        break;
    default:
        return DefWindowProcW(w, msg, wp, lp);
    }

    // WM_USER: a request of the script thread, wParam its code.
    HINSTANCE inst = GetModuleHandleW(nullptr);
    switch (wp) {
    case ibprgs:
        progress = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, prgrect.left, prgrect.top,
                                   prgrect.right, prgrect.bottom, w, nullptr, inst, nullptr);
        if (progress) {
            SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SendMessageW(progress, PBM_SETPOS, 0, 0);
            oldprgproc = boxsubclass(progress, infobox_childproc, this);
        } else if (exe->logon == 1) {
            exe->boxlog(L"CreateWindowEx error.\n");
        }
        ev.set();
        break;
    case ibprgp:
        if (progress)
            SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(lp), 0);
        break;
    case ibtbs:
        trackbar = CreateWindowExW(0, TRACKBAR_CLASSW, L"",
                                   WS_CHILD | WS_VISIBLE | WS_BORDER | TBS_ENABLESELRANGE | TBS_BOTH | TBS_AUTOTICKS,
                                   tbrect.left, tbrect.top, tbrect.right, tbrect.bottom, w, nullptr, inst, nullptr);
        if (trackbar) {
            SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
            SendMessageW(trackbar, TBM_SETPAGESIZE, 0, 10);
            SendMessageW(trackbar, TBM_SETTICFREQ, 10, 0);
            SendMessageW(trackbar, TBM_SETPOS, TRUE, 0);
            RECT ch = {};
            SendMessageW(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&ch));
            chleft = ch.left;
            chright = ch.right;
            oldtbproc = boxsubclass(trackbar, infobox_childproc, this);
        } else if (exe->logon == 1) {
            exe->boxlog(L"CreateWindowEx error.\n");
        }
        ev.set();
        break;
    case ibtbp:
        if (trackbar && !dragging)
            SendMessageW(trackbar, TBM_SETPOS, TRUE, lp);
        break;
    case ibtbr: {
        const auto low = static_cast<int32_t>(static_cast<uint64_t>(lp) >> 32);
        const auto high = static_cast<int32_t>(static_cast<uint64_t>(lp) & 0xFFFFFFFFu);
        if (low >= 0 && low <= 100 && low < high && high <= 100) {
            if (trackbar)
                SendMessageW(trackbar, TBM_SETSEL, TRUE, MAKELONG(low, high));
        } else if (exe->logon == 1) {
            exe->boxlog(L"invalid range error.\n");
        }
        break;
    }
    case ibstyle: {
        LONG_PTR s = GetWindowLongPtrW(w, GWL_STYLE);
        s = lp ? (s | WS_CAPTION) : (s & ~static_cast<LONG_PTR>(WS_CAPTION));
        SetWindowLongPtrW(w, GWL_STYLE, s);
        SetWindowPos(w, nullptr, 0, 0, 0, 0, 0x77);
        break;
    }
    case ibmsgupd: {
        std::lock_guard<std::recursive_mutex> guard(lock);
        const auto k = static_cast<size_t>(lp);
        if (k < msgs.size()) {
            const infomsg& m = msgs[k];
            const RECT r = {m.x, m.y, m.x + m.width, m.y + m.height};
            // A record without a rectangle still has to be painted once, or
            // its size queries would wait for ever.
            InvalidateRect(w, IsRectEmpty(&r) ? nullptr : &r, TRUE);
        }
        break;
    }
    case ibmsgsize:
        measured = textwidth(static_cast<size_t>(lp));
        break;
    default:
        break;
    }
    return 0;
}

void infobox::viewtext_paint(HDC dc)
{
    RECT client = {};
    GetClientRect(WindowFromDC(dc), &client);
    std::lock_guard<std::recursive_mutex> guard(lock);
    SetBkMode(dc, OPAQUE);
    for (infomsg& m : msgs) {
        if (m.text.empty()) {
            m.pending = 0;
            continue;
        }
        HFONT font = m.font ? m.font : hFont1;
        HGDIOBJ oldfont = font ? SelectObject(dc, font) : nullptr;
        const int32_t limitw = std::max(0L, std::min<LONG>(m.x + m.width, client.right) - m.x);
        const int32_t limitb = std::min<LONG>(m.y + m.height, client.bottom);
        TEXTMETRICW tm = {};
        GetTextMetricsW(dc, &tm);
        const int32_t lh = tm.tmHeight + tm.tmExternalLeading;
        SetTextColor(dc, m.color);
        SetBkColor(dc, backcolor);
        int32_t top = m.y, widest = 0, lastbottom = m.y;
        const wchar_t* p = m.text.c_str();
        bool full = false;
        while (!full) {
            const wchar_t* lf = wcschr(p, L'\n');
            size_t rest = lf ? static_cast<size_t>(lf - p) : wcslen(p);
            if (rest && p[rest - 1] == L'\r')
                --rest;
            const wchar_t* s = p;
            do {
                if (top + lh > limitb) {
                    full = true;
                    break;
                }
                int fit = 0;
                SIZE sz = {};
                GetTextExtentExPointW(dc, s, static_cast<int>(rest), limitw, &fit, nullptr, &sz);
                if (static_cast<size_t>(fit) < rest) {
                    fit = std::max(fit, 1);  // always progress, even in a narrow rectangle
                    TextOutW(dc, m.x, top, s, fit);
                    widest = std::max(widest, limitw);
                    s += fit;
                    rest -= static_cast<size_t>(fit);
                } else {
                    TextOutW(dc, m.x, top, s, static_cast<int>(rest));
                    widest = std::max<int32_t>(widest, sz.cx);
                    rest = 0;
                }
                top += lh;
                lastbottom = top;
            } while (rest > 0);
            if (!lf)
                break;
            p = lf + 1;
        }
        m.right = m.x + widest;
        m.bottom = lastbottom;
        m.pending = 0;
        if (oldfont)
            SelectObject(dc, oldfont);
    }
    sizeev.set();
}

int32_t infobox::textwidth(size_t index)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (index >= msgs.size() || msgs[index].text.empty())
        return 0;
    const infomsg& m = msgs[index];
    return boxdc(hwnd, m.font ? m.font : hFont1).width(m.text.c_str(), m.text.size());
}

// ---- the script thread's side

void ExeScr::trackbarnotice(int32_t pos, bool latch)
{
    tbpos = pos;
    if (waitevent) {
        waitresult = 4;
        SetEvent(waitevent);
        tbpending = 0;
    } else if (latch) {
        tbpending = 1;
    }
}

void ExeScr::infobox_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    const auto n = static_cast<int32_t>(a.size());
    const int32_t index = namedbox<infobox>(a[0], objinfobox, infoboxid);
    const int32_t code = boxsubword(a, infowords, countfits);
    for (int32_t k = n - 1; k >= 2; --k) {
        if (code == ibopen && k == 6) {
            emitcell(&ExeScr::pushint_exec);
            emitint(boxopenflags(a[static_cast<size_t>(k)]));
        } else if (stringarg(code, k)) {
            argstr(a[static_cast<size_t>(k)]);
        } else {
            argnum(a[static_cast<size_t>(k)]);
        }
    }
    emitcell(&ExeScr::infobox_exec);
    emitu64((static_cast<uint64_t>(n) << 32) | (static_cast<uint64_t>(code) << 16));
    emitint(index);
}

namespace {

// A message index popped from datd, fatal when there is no such record.
size_t msgindex(ExeScr& e, infobox& b)
{
    const int32_t k = popi32(e);
    std::lock_guard<std::recursive_mutex> guard(b.lock);
    if (k < 0 || static_cast<size_t>(k) >= b.msgs.size())
        e.myerrexit(L"%s\n", L"Invalid value.");
    return static_cast<size_t>(k);
}

RECT popgeometry(ExeScr& e)
{
    RECT r;
    r.left = popi32(e);
    r.top = popi32(e);
    r.right = popi32(e);
    r.bottom = popi32(e);
    return r;
}

}  // namespace

void ExeScr::infobox_exec()
{
    const boxoperands op = readboxoperands();
    const int32_t code = op.code, n = op.count;
    infobox& b = *static_cast<infobox*>(boxtable.base[op.index].obj);
    const auto needwindow = [&] {
        if (!b.hwnd)
            myerrexit(L"%s\n", L"No infobox error.");
    };
    int64_t result = 1;
    switch (code) {
    case ibopen: {
        const RECT g = popgeometry(*this);
        b.x = g.left;
        b.y = g.top;
        b.width = g.right;
        b.height = g.bottom;
        b.topmost = 0;
        b.alpha = 255;
        if (n >= 7) {
            const int32_t flags = popi32(*this);
            if (flags & 1)
                b.topmost = 1;
            if (flags & 2)
                b.alpha = 0;
        }
        b.style = n == 8 ? static_cast<uint32_t>(popi32(*this)) : 0;
        if (b.hwnd)
            myerrexit(L"%s\n", L"Already opened error.");
        b.backcolor = 0xFFFFFF;
        b.keyflag = 0;
        if (!b.whitebrush)
            b.whitebrush = CreateSolidBrush(0xFFFFFF);
        boxopen(b.ev, b.thread, infobox::infobox_threadentry, &b);
        break;
    }
    case ibclose:
        if (b.hwnd)
            SendMessageW(b.hwnd, WM_CLOSE, 0, 0);
        break;
    case ibprgs:
    case ibtbs: {
        const RECT g = popgeometry(*this);
        needwindow();
        if ((code == ibprgs ? b.progress : b.trackbar) != nullptr)
            myerrexit(L"%s\n", L"Already opened error.");
        (code == ibprgs ? b.prgrect : b.tbrect) = g;
        boxrequest(b.ev, [&] { PostMessageW(b.hwnd, WM_USER, static_cast<WPARAM>(code), 0); });
        break;
    }
    case ibprgp:
    case ibtbp: {
        const int32_t pos = popi32(*this);
        if (!b.hwnd || !(code == ibprgp ? b.progress : b.trackbar))
            myerrexit(L"%s\n", L"No progress bar error.");
        PostMessageW(b.hwnd, WM_USER, static_cast<WPARAM>(code), pos);
        break;
    }
    case ibtbr: {
        const int32_t low = popi32(*this);
        const int32_t high = popi32(*this);
        if (!b.hwnd || !b.trackbar)
            myerrexit(L"%s\n", L"No progress bar error.");
        const uint64_t both = (static_cast<uint64_t>(static_cast<uint32_t>(low)) << 32) | static_cast<uint32_t>(high);
        PostMessageW(b.hwnd, WM_USER, ibtbr, static_cast<LPARAM>(both));
        break;
    }
    case ibbackc: {
        const auto colour = static_cast<COLORREF>(popi32(*this));
        {
            std::lock_guard<std::recursive_mutex> guard(b.lock);
            if (b.backbrush)
                DeleteObject(b.backbrush);
            b.backbrush = CreateSolidBrush(colour);
            b.backcolor = colour;
        }
        if (b.hwnd)
            InvalidateRect(b.hwnd, nullptr, TRUE);
        break;
    }
    case ibalpha:
        b.alpha = popi32(*this) & 0xFF;
        needwindow();
        SetLayeredWindowAttributes(b.hwnd, b.keycolor, static_cast<BYTE>(b.alpha),
                                   LWA_ALPHA | (b.keyflag ? LWA_COLORKEY : 0));
        break;
    case ibkeyc:
        b.keycolor = static_cast<COLORREF>(popi32(*this));
        needwindow();
        b.keyflag = 1;
        SetLayeredWindowAttributes(b.hwnd, b.keycolor, static_cast<BYTE>(b.alpha), LWA_COLORKEY | LWA_ALPHA);
        InvalidateRect(b.hwnd, nullptr, TRUE);
        break;
    case ibstyle:
        b.caption = popi32(*this);
        needwindow();
        PostMessageW(b.hwnd, WM_USER, ibstyle, b.caption);
        break;
    case ibtitle: {
        const std::wstring text = popstr();
        needwindow();
        SetWindowTextW(b.hwnd, text.c_str());
        break;
    }
    case ibgethwnd:
        result = reinterpret_cast<intptr_t>(b.hwnd);
        break;
    case ibgetmsgxe:
    case ibgetmsgye:
    case ibgetmsg1xe:
    case ibgetmsg1ye:
        result = 0;
        break;
    case ibmsgadd: {
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        b.msgs.emplace_back();
        result = static_cast<int64_t>(b.msgs.size()) - 1;
        break;
    }
    case ibmsgrect: {
        const size_t k = msgindex(*this, b);
        const RECT g = popgeometry(*this);
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        infomsg& m = b.msgs[k];
        m.x = g.left;
        m.y = g.top;
        m.width = g.right;
        m.height = g.bottom;
        break;
    }
    case ibmsgfont: {
        const size_t k = msgindex(*this, b);
        const std::wstring face = popstr();
        const int32_t height = popi32(*this);
        const int32_t weight = popi32(*this);
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        infomsg& m = b.msgs[k];
        m.fontheight = height;
        if (n == 7)
            m.color = static_cast<COLORREF>(popi32(*this));
        if (m.font)
            DeleteObject(m.font);
        m.font = boxfont(face.c_str(), height, weight);
        break;
    }
    case ibmsgupd: {
        const size_t k = msgindex(*this, b);
        std::wstring text = popstr();
        {
            std::lock_guard<std::recursive_mutex> guard(b.lock);
            b.msgs[k].text = std::move(text);
            b.msgs[k].pending = 1;
        }
        if (b.hwnd)
            PostMessageW(b.hwnd, WM_USER, ibmsgupd, static_cast<LPARAM>(k));
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        break;
    }
    case ibmsgsizexe:
    case ibmsgsizeye: {
        const size_t k = msgindex(*this, b);
        // One wait: the painting ends it, and so does the host's closing.
        if (b.msgs[k].pending && b.hwnd) {
            b.sizeev.arm();
            boxwait(b.sizeev, &b.msgs[k].pending);
            b.sizeev.disarm();
        }
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        result = code == ibmsgsizexe ? b.msgs[k].right : b.msgs[k].bottom;
        break;
    }
    case ibmsgsize: {
        const size_t k = msgindex(*this, b);
        std::wstring text = popstr();
        {
            std::lock_guard<std::recursive_mutex> guard(b.lock);
            b.msgs[k].text = std::move(text);
        }
        if (b.hwnd)
            SendMessageW(b.hwnd, WM_USER, ibmsgsize, static_cast<LPARAM>(k));
        result = b.measured;
        break;
    }
    default:
        result = 0;
        break;
    }
    pushint(result);
}
