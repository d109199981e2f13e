// The main window "quorvel.main": its class, its creation and placement, and
// its window procedure.
#pragma once

#include <windows.h>

namespace host {

ATOM regmainclass(HINSTANCE inst);
// 1 on success, 0 on failure.
int createmainwnd(HINSTANCE inst, int show);
LRESULT CALLBACK mainwndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace host
