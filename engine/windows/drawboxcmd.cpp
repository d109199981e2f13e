// "drawbox": a DrawBox opened, filled item by item and shown. Every
// sub-command yields an integer.
#include <cwchar>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "windows/drawbox.h"

namespace {

enum : int32_t {
    dbopen, dbclose, dbimgset, dbimgman, dblineset, dblineman, dbellipseset, dbellipseman, dbalpha, dbbackc,
    dbkeyc, dbstyle, dbfont, dbtextset, dbtextman, dbupd, dbdraw, dbpathopen, dbpathline, dbpathbezier,
    dbpathclose, dbsolid, dblinear, dbradial, dbrectset, dbrectman, dbroundset, dbroundman, dbgethwnd, dblast
};

const ExeScr::subword drawwords[] = {
    {L"open", dbopen},
    {L"close", dbclose},
    {L"img_set", dbimgset},
    {L"img_man", dbimgman},
    {L"line_set", dblineset},
    {L"line_man", dblineman},
    {L"ellipse_set", dbellipseset},
    {L"ellipse_man", dbellipseman},
    {L"alpha", dbalpha},
    {L"backc", dbbackc},
    {L"keyc", dbkeyc},
    {L"style", dbstyle},
    {L"font", dbfont},
    {L"text_set", dbtextset},
    {L"text_man", dbtextman},
    {L"upd", dbupd},
    {L"draw", dbdraw},
    {L"pathgeo_open", dbpathopen},
    {L"pathgeo_line", dbpathline},
    {L"pathgeo_bezier", dbpathbezier},
    {L"pathgeo_close", dbpathclose},
    {L"solidbrush", dbsolid},
    {L"linearbrush", dblinear},
    {L"radialbrush", dbradial},
    {L"rectangle_set", dbrectset},
    {L"rectangle_man", dbrectman},
    {L"roundrectangle_set", dbroundset},
    {L"roundrectangle_man", dbroundman},
    {L"gethwnd", dbgethwnd},
    {nullptr, 0}};

// Per word: the arguments after the word at their longest ('n' a number, 's'
// a string) and the argument counts it takes, name and word included.
struct drawshape {
    const char* kinds;
    int32_t counts[3];  // 0: unused
};
const drawshape shapes[dblast] = {
    {"nnnnn", {6, 7, 0}},         // open
    {"", {2, 0, 0}},              // close
    {"snnnnnnn", {5, 8, 10}},     // img_set
    {"nnnnnnnn", {5, 8, 10}},     // img_man
    {"nnnnnnnnn", {7, 11, 0}},    // line_set
    {"nnnnnnnnnn", {8, 12, 0}},   // line_man
    {"nnnnnnnnn", {7, 11, 0}},    // ellipse_set
    {"nnnnnnnnnn", {8, 12, 0}},   // ellipse_man
    {"n", {3, 0, 0}},             // alpha
    {"n", {3, 0, 0}},             // backc
    {"n", {3, 0, 0}},             // keyc
    {"n", {3, 0, 0}},             // style
    {"snnnn", {4, 7, 0}},         // font
    {"snnnnnn", {5, 9, 0}},       // text_set
    {"nsnnnnnn", {6, 10, 0}},     // text_man
    {"n", {3, 0, 0}},             // upd
    {"nn", {4, 0, 0}},            // draw
    {"nnnnnnnn", {6, 10, 0}},     // pathgeo_open
    {"nnn", {5, 0, 0}},           // pathgeo_line
    {"nnnnnnn", {9, 0, 0}},       // pathgeo_bezier
    {"nn", {4, 0, 0}},            // pathgeo_close
    {"nnnnnn", {4, 8, 0}},        // solidbrush
    {"nnnnnnnnn", {4, 11, 0}},    // linearbrush
    {"nnnnnnnnnn", {4, 12, 0}},   // radialbrush
    {"nnnnnnnnn", {7, 11, 0}},    // rectangle_set
    {"nnnnnnnnnn", {8, 12, 0}},   // rectangle_man
    {"nnnnnnnnn", {7, 11, 0}},    // roundrectangle_set
    {"nnnnnnnnnn", {8, 12, 0}},   // roundrectangle_man
    {"", {2, 0, 0}},              // gethwnd
};

bool countfits(int32_t code, int32_t n)
{
    for (int32_t c : shapes[code].counts)
        if (c != 0 && c == n)
            return true;
    return false;
}

// The popped arguments after the word: numbers in their order, the string.
struct drawargs {
    datdcell num[10] = {};
    std::wstring text;
    int32_t n = 0;  // the statement's argument count, name and word included
    float f(int k) const { return static_cast<float>(cmdargs::todbl(num[k])); }
    int32_t i(int k) const { return cmdargs::toi32(num[k]); }
    void colour(int k, float* to) const
    {
        for (int c = 0; c < 4; ++c)
            to[c] = f(k + c);
    }
};

constexpr float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};

void setcolour(float* to, const float* from)
{
    for (int c = 0; c < 4; ++c)
        to[c] = from[c];
}

bool itemword(int32_t code)
{
    return (code >= dbimgset && code <= dbellipseman) || code == dbtextset || code == dbtextman ||
           (code >= dbdraw && code <= dbroundman);
}

// Whether the word names an existing item by its index first.
bool indexword(int32_t code)
{
    switch (code) {
    case dbimgman:
    case dblineman:
    case dbellipseman:
    case dbtextman:
    case dbrectman:
    case dbroundman:
        return true;
    default:
        return code >= dbdraw && code <= dbradial && code != dbpathopen;
    }
}

// The message of an item of the wrong kind for the word, or null when it fits.
const wchar_t* kindmismatch(int32_t code, uint32_t kind)
{
    const bool shape = kind == drawellipse || kind == drawpath || kind == drawrect;
    switch (code) {
    case dbimgman: return kind == drawimage ? nullptr : L"invalid index for image:%d:";
    case dbpathline:
    case dbpathbezier:
    case dbpathclose: return kind == drawpath ? nullptr : L"invalid index for image:%d:";
    case dblineman: return kind == drawline ? nullptr : L"invalid index for line:%d:";
    case dbellipseman: return kind == drawellipse ? nullptr : L"invalid index for line:%d:";
    case dbtextman: return kind == drawtext ? nullptr : L"invalid index for line:%d:";
    case dbrectman:
    case dbroundman: return kind == drawrect ? nullptr : L"invalid index for line:%d:";
    case dbsolid: return shape ? nullptr : L"invalid index for the brush:%d:";
    case dblinear:
    case dbradial: return shape ? nullptr : L"invalid index for thel brush:%d:";
    default: return nullptr;
    }
}

uint32_t kindof(int32_t code)
{
    switch (code) {
    case dbimgset: return drawimage;
    case dblineset: return drawline;
    case dbellipseset: return drawellipse;
    case dbtextset: return drawtext;
    case dbpathopen: return drawpath;
    default: return drawrect;
    }
}

// Changes the item (already made, or found and checked) as the word says; the
// lock is held. The numbers of an indexed word start behind the index.
int64_t edititem(DrawBox& b, int32_t code, int32_t index, const drawargs& a)
{
    drawitem& it = b.items[static_cast<size_t>(index)];
    it.remake = true;  // its geometry or format is made again at the next paint
    const int k = indexword(code) ? 1 : 0;
    const bool made = !indexword(code);
    switch (code) {
    case dbimgset:
    case dbimgman: {
        if (made)
            it.text = a.text;
        it.p0x = a.f(k);
        it.p0y = a.f(k + 1);
        it.a = 0.0f;
        it.g0x = it.g0y = 0.0f;
        if (a.n >= 8) {
            it.p1x = a.f(k + 2);
            it.p1y = a.f(k + 3);
            it.a = a.f(k + 4);
        }
        if (a.n == 10) {
            it.g0x = a.f(k + 5);
            it.g0y = a.f(k + 6);
        }
        return index;
    }
    case dblineset:
    case dblineman:
    case dbellipseset:
    case dbellipseman:
    case dbrectset:
    case dbrectman:
    case dbroundset:
    case dbroundman: {
        it.p0x = a.f(k);
        it.p0y = a.f(k + 1);
        if (code == dbellipseset || code == dbellipseman) {
            it.a = a.f(k + 2);
            it.b = a.f(k + 3);
        } else {
            it.p1x = a.f(k + 2);
            it.p1y = a.f(k + 3);
        }
        it.stroke = a.f(k + 4);
        if (a.n >= 11)
            a.colour(k + 5, it.colour);
        else if (made)
            setcolour(it.colour, black);
        if (code == dbrectset)
            it.rounded = 0;
        else if (code == dbroundset)
            it.rounded = 1;
        return index;
    }
    case dbtextset:
    case dbtextman:
        if (made) {
            it.weight = b.weight;
            it.style = b.fontstyle;
            it.stretch = b.stretch;
            it.size = b.fontsize;
        }
        it.text = a.text;
        it.p0x = a.f(k);
        it.p0y = a.f(k + 1);
        if (a.n >= 9)
            a.colour(k + 2, it.colour);
        else if (made)
            setcolour(it.colour, black);
        drawbox_copyface(it.family, b.family);
        return index;
    case dbpathopen: {
        it.closed = 0;
        const int32_t s = drawbox_addsegment(b, index);
        it.segments[static_cast<size_t>(s)].kind = 0;
        it.segments[static_cast<size_t>(s)].pt[0] = a.f(0);
        it.segments[static_cast<size_t>(s)].pt[1] = a.f(1);
        it.figurebegin = static_cast<uint32_t>(a.i(2));
        it.stroke = a.f(3);
        if (a.n == 10)
            a.colour(4, it.colour);
        else
            setcolour(it.colour, black);
        return index;
    }
    case dbpathline:
    case dbpathbezier: {
        pathsegment& s = it.segments[static_cast<size_t>(drawbox_addsegment(b, index))];
        s.kind = code == dbpathline ? 1 : 2;
        for (int p = 0; p < (code == dbpathline ? 2 : 6); ++p)
            s.pt[p] = a.f(1 + p);
        return 1;
    }
    case dbpathclose:
        it.closed = 1;
        it.figureend = static_cast<uint32_t>(a.i(1));
        return 1;
    case dbsolid:
        it.solidfill = static_cast<uint32_t>(a.i(1));
        if (a.n == 8)
            a.colour(2, it.fill);
        return 1;
    case dblinear:
    case dbradial: {
        const bool linear = code == dblinear;
        const uint8_t onbit = linear ? gradlinon : gradradon;
        if (a.i(1) == 1)
            it.gradient |= onbit;
        else
            it.gradient &= static_cast<uint8_t>(~onbit);
        if (a.n == 4)
            return 1;
        // One kind of gradient's stops clear the other's.
        it.gradient &= static_cast<uint8_t>(linear ? ~(gradradfirst | gradradsecond) : ~(gradlinstart | gradlinend));
        // `which` 0 gives the first point and stop, any other the second.
        const bool first = a.i(2) == 0;
        (first ? it.g0x : it.g1x) = a.f(3);
        (first ? it.g0y : it.g1y) = a.f(4);
        a.colour(linear ? 5 : 6, first ? it.stop0 : it.stop1);
        if (!linear)
            (first ? it.radiusx : it.radiusy) = a.f(5);
        it.gradient |= linear ? (first ? gradlinstart : gradlinend) : (first ? gradradfirst : gradradsecond);
        return 1;
    }
    case dbdraw:
        it.visible = static_cast<uint32_t>(a.i(1));
        return 1;
    default:
        return 0;
    }
}

}  // namespace

void ExeScr::drawbox_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    const auto n = static_cast<int32_t>(a.size());
    const int32_t index = namedbox<DrawBox>(a[0], objdrawbox, drawboxid);
    const int32_t code = boxsubword(a, drawwords, countfits);
    for (int32_t k = n - 1; k >= 2; --k) {
        if (code == dbopen && k == 6) {
            emitcell(&ExeScr::pushint_exec);
            emitint(boxopenflags(a[static_cast<size_t>(k)]));
        } else if (shapes[code].kinds[k - 2] == 's') {
            argstr(a[static_cast<size_t>(k)]);
        } else {
            argnum(a[static_cast<size_t>(k)]);
        }
    }
    // Unlike the other boxes, the operand holds the count less one.
    emitcell(&ExeScr::drawbox_exec);
    emitu64((static_cast<uint64_t>(n - 1) << 32) | (static_cast<uint64_t>(code) << 16));
    emitint(index);
}

void ExeScr::drawbox_exec()
{
    const boxoperands op = readboxoperands();
    const int32_t code = op.code;
    drawargs a;
    a.n = op.count + 1;
    for (int32_t k = 0, nums = 0; k < a.n - 2; ++k) {
        if (shapes[code].kinds[k] == 's')
            a.text = popstr();
        else
            a.num[nums++] = popd();
    }
    DrawBox& b = *static_cast<DrawBox*>(boxtable.base[op.index].obj);
    HWND w = b.window;

    if (itemword(code)) {
        if (!w)
            myerrexit(L"%s", L"No drawbox window error.");
        if (b.update != 0)
            myerrexit(L"%s", L"Update flag active error.");
        const wchar_t* fatal = nullptr;
        int32_t item = indexword(code) ? a.i(0) : -1;
        int64_t result = 0;
        {
            std::lock_guard<std::recursive_mutex> guard(b.lock);
            if (item >= 0 && static_cast<size_t>(item) < b.items.size()) {
                fatal = kindmismatch(code, b.items[static_cast<size_t>(item)].kind);
            } else if (indexword(code)) {
                fatal = L"out of range index error:%d:";
            } else {
                item = drawbox_additem(b);
                drawitem& it = b.items[static_cast<size_t>(item)];
                it.kind = kindof(code);
                it.visible = 1;
            }
            if (!fatal) {
                result = edititem(b, code, item, a);
                b.redraw = true;
            }
        }
        // Raised with the lock given back: the window thread paints on.
        if (fatal)
            myerrexit(fatal, item);
        pushint(result);
        return;
    }

    int64_t result = 1;
    switch (code) {
    case dbopen: {
        b.x = a.i(0);
        b.y = a.i(1);
        b.width = a.i(2);
        b.height = a.i(3);
        b.topmost = 0;
        b.alpha = 255;
        if (a.n == 7) {
            const int32_t flags = a.i(4);
            if (flags & 1)
                b.topmost = 1;
            if (flags & 2)
                b.alpha = 0;
        }
        b.windowstyle = 0;
        if (w) {
            boxrefuse(L"Already opened error.");
            return;
        }
        b.backcolour = 0xFFFFFF;
        b.keyon = 0;
        b.update = 0;
        {
            std::lock_guard<std::recursive_mutex> guard(b.lock);
            if (!b.backbrush)
                b.backbrush = CreateSolidBrush(0xFFFFFF);
        }
        boxopen(b.ready, b.thread, DrawBox::drawbox_threadentry, &b);
        w = b.window;
        // A window that could not be made is no success.
        if (!w)
            result = 0;
        else if (b.topmost == 1) {
            boxtofront(w);
            boxtopmost(w);
        }
        break;
    }
    case dbclose:
        if (w)
            SendMessageW(w, WM_CLOSE, 0, 0);
        break;
    case dbfont:
        drawbox_copyface(b.family, a.text.c_str());
        b.fontsize = a.i(0);
        if (a.n == 7) {
            b.weight = a.i(1);
            b.fontstyle = a.i(2);
            b.stretch = a.i(3);
        }
        result = 0;
        break;
    case dbgethwnd:
        result = reinterpret_cast<intptr_t>(w);
        break;
    default: {
        // alpha, backc, keyc, style and upd need the window.
        const int32_t value = a.i(0);
        if (code == dbstyle)
            b.caption = value;
        if (!w) {
            boxrefuse(L"No drawbox window error.");
            return;
        }
        switch (code) {
        case dbalpha:
            b.alpha = static_cast<uint32_t>(value);
            SetLayeredWindowAttributes(w, b.keyon ? b.keycolour : 0, static_cast<BYTE>(b.alpha),
                                       b.keyon ? LWA_COLORKEY | LWA_ALPHA : LWA_ALPHA);
            break;
        case dbbackc: {
            const auto colour = static_cast<COLORREF>(value);
            {
                std::lock_guard<std::recursive_mutex> guard(b.lock);
                if (colour != b.backcolour || !b.backbrush) {
                    if (b.backbrush)
                        DeleteObject(b.backbrush);
                    b.backcolour = colour;
                    b.backbrush = CreateSolidBrush(colour);
                    b.redraw = true;
                }
            }
            if (b.update)
                InvalidateRect(w, nullptr, TRUE);
            break;
        }
        case dbkeyc:
            b.keycolour = static_cast<COLORREF>(value);
            b.keyon = 1;
            SetLayeredWindowAttributes(w, b.keycolour, static_cast<BYTE>(b.alpha), LWA_COLORKEY | LWA_ALPHA);
            if (b.update)
                InvalidateRect(w, nullptr, TRUE);
            break;
        case dbstyle:
            PostMessageW(w, WM_USER, 11, 0);
            break;
        case dbupd:
            b.update = static_cast<uint32_t>(value);
            if (value != 0)
                InvalidateRect(w, nullptr, TRUE);
            break;
        default:
            break;
        }
        break;
    }
    }
    pushint(result);
}
