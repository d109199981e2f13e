// An engine with its script window on the calling thread, as a run creates it.
#pragma once

#include <windows.h>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

namespace qtest {

struct windowedengine : ExeScr {
    windowedengine()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = exescr_wndproc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"quorvel.exescr";
        RegisterClassW(&wc);  // already registered: fine
        scriptwnd = CreateWindowExW(0, L"quorvel.exescr", L"", WS_CHILD | WS_BORDER, 0, 0, 0, 0, hWndp, nullptr,
                                    wc.hInstance, static_cast<ExeScr*>(this));
    }
    ~windowedengine() override
    {
        if (scriptwnd)
            DestroyWindow(scriptwnd);
    }
};

}  // namespace qtest
