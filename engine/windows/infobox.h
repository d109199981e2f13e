// The InfoBox: a named, layered information window with text messages placed
// by the script, an optional progress bar and an optional trackbar.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/scriptobjects.h"
#include "windows/boxthread.h"

class ExeScr;

// One text placed in the box.
struct infomsg {
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::wstring text;
    HFONT font = nullptr;  // null: hFont1
    int32_t fontheight = 0;
    COLORREF color = 0;
    volatile int32_t pending = 0;  // 1 from an update until it is painted
    int32_t right = 0, bottom = 0;  // extents written by painting
};

class infobox : public scriptobject {
public:
    explicit infobox(ExeScr* owner) : exe(owner) {}
    // Closes a window still open, waits for its thread and frees the messages.
    ~infobox() override;
    HWND objectwindow() const override { return hwnd; }

    uint32_t style = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t topmost = 0;
    boxevent ev;       // open and child creation
    boxevent sizeev;   // size queries
    boxthread thread;
    HWND hwnd = nullptr, progress = nullptr, trackbar = nullptr;
    RECT prgrect = {};
    RECT tbrect = {};
    int32_t chleft = 0, chright = 0;  // the trackbar's channel
    volatile int32_t dragging = 0;
    int32_t caption = 0;
    COLORREF backcolor = 0xFFFFFF, keycolor = 0;
    int32_t alpha = 255;
    int32_t keyflag = 0;
    HBRUSH whitebrush = nullptr, backbrush = nullptr;
    int32_t measured = 0;
    WNDPROC oldtbproc = nullptr, oldprgproc = nullptr;
    ExeScr* exe;
    // Guards the message records, which the script changes while the box
    // thread paints them.
    std::recursive_mutex lock;
    std::vector<infomsg> msgs;

    static unsigned __stdcall infobox_threadentry(void* self);
    void infobox_thread();
    LRESULT infobox_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK infobox_childproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void viewtext_paint(HDC dc);
    int32_t textwidth(size_t index);
    // A trackbar position for the script (`latch`: remembered for the next
    // "waittime" when none waits).
    void tbnotice(int32_t pos, bool latch);
};

constexpr int32_t infoboxid = 1408;
