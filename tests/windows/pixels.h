// Pixels for the picture tests: what a window shows, read from its device
// context; picture files written and read back through WIC; a window of the
// test thread painted in known colours.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qtest {

// Pixels as 0x00RRGGBB, rows top first.
struct pixmap {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    pixmap() = default;
    pixmap(int w, int h, uint32_t fill = 0) : width(w), height(h), px(static_cast<size_t>(w) * h, fill) {}
    uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
    uint32_t& at(int x, int y) { return px[static_cast<size_t>(y) * width + x]; }
    // Paints the rectangle [x0, x1) × [y0, y1).
    void fill(int x0, int y0, int x1, int y1, uint32_t rgb);
};

// Whether two colours differ by at most `tol` in every channel.
bool closeto(uint32_t a, uint32_t b, int tol);

// A window's client area as it is shown now.
pixmap grabclient(HWND w);
inline uint32_t clientpixel(HWND w, int x, int y) { return grabclient(w).at(x, y); }

// Picture files: a 24-bit BMP written by hand; PNG through WIC; any format
// WIC decodes read back (an empty map when it does not decode).
void writebmp(const std::wstring& path, const pixmap& p);
void writepng(const std::wstring& path, const pixmap& p);
pixmap readpicture(const std::wstring& path);

// A visible top-level window of the calling thread whose client area shows
// `picture` (also when printed with WM_PRINTCLIENT); destroyed when it goes.
class picturewindow {
public:
    picturewindow(const pixmap& picture, int x, int y);
    ~picturewindow();
    picturewindow(const picturewindow&) = delete;
    picturewindow& operator=(const picturewindow&) = delete;
    HWND hwnd = nullptr;
    pixmap picture;
};

// The scratch folder's file `name`.
std::wstring scratch(const wchar_t* name);
// A script text with @D (the scratch folder, as a literal) and @H (a window
// handle) put in.
std::wstring scripttext(std::wstring text, HWND h = nullptr);
// A fresh signal file of the scratch folder (deleted, so that a script that
// waits for it waits for the test).
std::wstring gofile(const wchar_t* name);
SIZE clientsize(HWND w);
// Waits until the window's pixel is the colour (within `tol`).
bool pixelbecomes(HWND w, int x, int y, uint32_t rgb, int tol = 0);

// A path written into a double-quoted script literal (backslashes doubled).
std::wstring scriptpath(const std::wstring& path);
// The handle as a script's integer literal.
std::wstring handletext(HWND w);

// Creates an empty file (the test's signal that the script may go on).
void touchfile(const std::wstring& path);

}  // namespace qtest
