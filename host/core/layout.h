// The arithmetic of the main window's layout, its two splitters and the
// placement of the window on the monitors; no window is touched here.
#pragma once

#include <windows.h>

#include <vector>

namespace host {

struct layoutin {
    int width, height;   // client area
    int toolbar, status; // heights of the toolbar and the status bar
    int vsratio, hsratio;
    int lineheight;      // the running-scripts line
};

struct layoutout {
    bool ok = false;     // false: some height is below 1 and nothing moves
    int upper = 0;       // height of the tabs and the script-log area
    int splity = 0;      // top of the system-log pane
    int lower = 0;       // height of the system-log pane
    int left = 0;        // width of the tabs
    int right = 0;       // width of the script-log area
    RECT tabs{}, runline{}, editp{}, editsys{};  // left, top, width, height
};

layoutout computelayout(const layoutin& in);

enum class splitzone { none, lower, side };

// Which cursor a move without a drag shows.
splitzone hoverzone(int x, int y, const layoutout& l);
// Which drag a left click starts.
splitzone presszone(int x, int y, const layoutout& l);
// A lower-splitter position kept 100 pixels from either edge; a side one
// kept 20 from the left and 30 from the right.
int clamplower(int y, int height);
int clampside(int x, int width);
// The ratios a finished drag gives.
int vsratiofor(int y, int height, int toolbar);
int hsratiofor(int x, int width);

// Where the saved rectangle comes back: in place (clipped to its monitor) when
// its centre lies on one of `monitors` (slot 0 the primary), else, or with
// `prim`, centred on the primary monitor with the saved size, clipped to it.
RECT placewindow(const RECT& saved, const std::vector<RECT>& monitors, bool prim);

}  // namespace host
