// The ViewBox's small GDI helpers: text measured on a device context, the
// solid brushes of one paint, and the box font.
#pragma once

#include <windows.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "windows/vblayout.h"

namespace vbgdi {

// Replaces a solid brush with one of colour c.
inline void remakebrush(HBRUSH& brush, COLORREF c)
{
    if (brush)
        DeleteObject(brush);
    brush = CreateSolidBrush(c);
}

// Layout measures taken on a device context with the box font selected.
class measure : public vblayout::measure {
public:
    explicit measure(HDC dc) : dc_(dc) {}
    int32_t width(const wchar_t* s, uint32_t n) override
    {
        SIZE sz = {};
        return n && GetTextExtentPoint32W(dc_, s, static_cast<int>(n), &sz) ? sz.cx : 0;
    }
    uint32_t fit(const wchar_t* s, uint32_t n, int32_t maxw, int32_t* dx) override
    {
        INT got = 0;
        SIZE sz = {};
        if (!GetTextExtentExPointW(dc_, s, static_cast<int>(n), maxw, &got, dx, &sz))
            return 0;
        return static_cast<uint32_t>(got);
    }

private:
    HDC dc_;
};

// Solid brushes made on demand by colour, deleted when the paint is done.
class brushes {
public:
    brushes() = default;
    ~brushes()
    {
        for (auto& b : made)
            DeleteObject(b.second);
    }
    brushes(const brushes&) = delete;
    brushes& operator=(const brushes&) = delete;
    // Null when none can be made.
    HBRUSH get(COLORREF c)
    {
        for (auto& b : made)
            if (b.first == c)
                return b.second;
        HBRUSH h = CreateSolidBrush(c);
        if (h)
            made.emplace_back(c, h);
        return h;
    }

private:
    std::vector<std::pair<COLORREF, HBRUSH>> made;
};

// The system's message font with a height, weight and face where they are
// not 0 or empty (a face of 32 characters or more is cut to 31).
inline HFONT makefont(const wchar_t* face, int32_t height, int32_t weight)
{
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    LOGFONTW lf = ncm.lfMessageFont;
    if (height != 0)
        lf.lfHeight = height;
    if (weight != 0)
        lf.lfWeight = weight;
    if (face && *face) {
        wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        lf.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    return CreateFontIndirectW(&lf);
}

}  // namespace vbgdi
