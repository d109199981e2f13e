#include "core/layout.h"

namespace host {

namespace {

RECT box(int x, int y, int w, int h)
{
    return RECT{x, y, w, h};
}

bool contains(const RECT& r, long x, long y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

}  // namespace

layoutout computelayout(const layoutin& in)
{
    layoutout o;
    const int t = in.toolbar;
    o.upper = (100 - in.vsratio) * (in.height - t) / 100 - 2;
    o.splity = t + o.upper + 4;
    o.lower = in.height - o.splity - in.status;
    o.left = in.width * in.hsratio / 100 - 2;
    o.right = in.width - o.left - 4;
    if (t < 1 || o.upper < 1 || o.lower < 1)
        return o;
    o.ok = true;
    o.tabs = box(0, t, o.left, o.upper);
    o.runline = box(o.left + 4, t, o.right, in.lineheight);
    o.editp = box(o.left + 4, t + in.lineheight + 2, o.right, o.upper - in.lineheight - 2);
    o.editsys = box(0, o.splity, in.width, o.lower);
    return o;
}

splitzone hoverzone(int x, int y, const layoutout& l)
{
    if (y >= l.splity - 4 && y <= l.splity)
        return splitzone::lower;
    if (y < l.splity - 4 && x >= l.left && x <= l.left + 4)
        return splitzone::side;
    return splitzone::none;
}

splitzone presszone(int x, int y, const layoutout& l)
{
    if (y >= l.splity - 6 && y <= l.splity + 2)
        return splitzone::lower;
    if (y < l.splity - 4 && x >= l.left && x <= l.left + 4)
        return splitzone::side;
    return splitzone::none;
}

int clamplower(int y, int height)
{
    if (y >= height - 99)
        return height - 100;
    return y < 100 ? 100 : y;
}

int clampside(int x, int width)
{
    if (x >= width - 29)
        return width - 30;
    return x < 20 ? 20 : x;
}

int vsratiofor(int y, int height, int toolbar)
{
    const int span = height - toolbar;
    return span > 0 ? (height - y) * 100 / span : 20;
}

int hsratiofor(int x, int width)
{
    return width > 0 ? x * 100 / width : 40;
}

RECT placewindow(const RECT& saved, const std::vector<RECT>& monitors, bool prim)
{
    const long hw = (saved.right - saved.left) / 2, hh = (saved.bottom - saved.top) / 2;
    long cx = saved.left + hw, cy = saved.top + hh;
    RECT mon = monitors.empty() ? RECT{0, 0, 1024, 768} : monitors[0];
    bool found = false;
    if (!prim) {
        for (const RECT& m : monitors) {
            if (contains(m, cx, cy)) {
                mon = m;
                found = true;
                break;
            }
        }
    }
    if (!found) {
        cx = mon.left + (mon.right - mon.left) / 2;
        cy = mon.top + (mon.bottom - mon.top) / 2;
    }
    // The far edges from the full size: halving an odd size loses a pixel at
    // every restart otherwise.
    const long width = saved.right - saved.left, height = saved.bottom - saved.top;
    RECT r{cx - hw, cy - hh, cx - hw + width, cy - hh + height};
    if (r.left < mon.left)
        r.left = mon.left;
    if (r.top < mon.top)
        r.top = mon.top;
    if (r.right > mon.right)
        r.right = mon.right;
    if (r.bottom > mon.bottom)
        r.bottom = mon.bottom;
    // Window coordinates travel as 16-bit signed values.
    r.left = static_cast<short>(r.left);
    r.top = static_cast<short>(r.top);
    r.right = static_cast<short>(r.right);
    r.bottom = static_cast<short>(r.bottom);
    return r;
}

}  // namespace host
