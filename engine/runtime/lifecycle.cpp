// One run: the script window, the log with its banners, reading and compiling
// the file, running the entry unit, and giving back everything the run held.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include <objbase.h>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "runtime/version.h"

void ExeScr::runscriptchk()
{
    if (scriptpath.empty()) {
        MessageBoxW(hWndp, L"No Filename assigned yet.", L"QUORVEL", MB_OK);
        running = 0;
        return;
    }
    runscript();
}

void ExeScr::runscript()
{
    running = 1;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = exescr_wndproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"quorvel.exescr";
    RegisterClassW(&wc);  // already registered by an earlier run: fine
    scriptwnd = CreateWindowExW(0, L"quorvel.exescr", L"", WS_CHILD | WS_BORDER, 0, 0, 0, 0, hWndp,
                                nullptr, wc.hInstance, this);
    if (!scriptwnd) {
        running = 0;
        return;
    }
    scriptdir = scriptpath.substr(0, namestart(scriptpath));
    basename = runname(scriptpath);
    runlistmark(focused == 1);
    enummonitors();

    execscript(scriptpath.c_str());

    keymode = 0;
    if (exitflag == 1 && hWndp)
        SendMessageW(hWndp, WM_CLOSE, 0, 0);
    pausetoggle = 0;
    running = 0;
    if (quitflag == 1 && threadmode == 0 && hWndp)
        SendMessageW(hWndp, WM_CLOSE, 0, 0);
    if (scriptwnd)
        SendMessageW(scriptwnd, WM_CLOSE, 0, 0);
}

static void logtime(ExeScr& e, const wchar_t* fmt, const wchar_t* what, const wchar_t* tail = nullptr)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    if (tail)
        e.mylogmsg(fmt, what, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, tail);
    else
        e.mylogmsg(fmt, what, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

int ExeScr::execscript(const wchar_t* path)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        myerrexit(L"CoInitialize error.");
    pausetoggle = 0;
    logpath = programdir + L"log\\" + basename + L".log";
    openscriptlog();
    if (threadmode == 0)
        notelogpath(scriptpath, logpath);
    logon = 1;
    if (hEditp) {
        const LRESULT len = SendMessageW(hEditp, WM_GETTEXTLENGTH, 0, 0);
        SendMessageW(hEditp, EM_SETSEL, static_cast<WPARAM>(len), len);
        SendMessageW(hEditp, EM_SETSEL, static_cast<WPARAM>(len), len);
    }

    clock_t started = 0;
    if (threadmode == 0) {
        mylogmsg(L"%s ver: %s \n", L"QUORVEL", QUORVEL_VERSION);
        starttime = static_cast<int64_t>(time(nullptr));
        started = clock();
        logtime(*this, L"%s ____________________%d-%02d-%02d %02d:%02d:%02d \n", L"Quorvel start");
        mylogmsg(L"%s:%s \n", L"Script File", path);
    }
    SetCurrentDirectoryW(scriptdir.c_str());
    readscriptfile(path);
    // A script without statements compiles to no code at all.
    if (!functable.empty() && code)
        runentry();

    bool haschildren = false;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        for (const listedrun& r : runlist)
            haschildren = haschildren || r.parent == this;
    }
    if (haschildren)
        stopscript(this, 0);

    if (threadmode == 0) {
        logsupfile = 0;
        logsupwin = 0;
        logforce = 1;
        const long ms = static_cast<long>((clock() - started) * 1000 / CLOCKS_PER_SEC);
        SYSTEMTIME t;
        GetLocalTime(&t);
        // Milliseconds in three digits: "0:0.25" would read as 250 ms.
        mylogmsg(L"%s   ____________________%d-%02d-%02d %02d:%02d:%02d %d:%d.%03d\n", L"Quorvel end", t.wYear,
                 t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, static_cast<int>(ms / 60000),
                 static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
        logforce = 0;
    }
    closeboxes();
    dshow_close();  // the video window first, then the graph it showed

    freefunctbl();
    freeblocktbl();
    freevartable();
    if (!offsets.empty())
        myerrexit(L"mypush stack is not empty error...diff:%d:", offsets.count());
    if (!offsets2.empty())
        myerrexit(L"mypush2 stack is not empty error...diff:%d:", offsets2.count());
    freemypush();
    freemypush2();
    freelabeltbl();
    freenametbls();
    // A stopped run may end inside a user function: its frames are not an error.
    if (!stackdd.empty() && stopflag != 1)
        myerrexit(L"stackdd is not empty error...");
    if (stopflag != 1) {
        if (!datd.empty())
            myerrexit(L"Datum stack is not empty error...diff:%d:", datd.count());
        if (!dats.empty())
            myerrexit(L"Datumstr stack is not empty error...diff:%d", dats.count());
    }
    clearlocals();
    freedatd();
    // Strings a stopped run left on the stack still own their buffers.
    while (!dats.empty())
        datsdrop();
    freedats();
    freestrtbls();
    freespare();
    tokenlistfree();
    wmiproc_free();
    setprog_free();
    freecode();
    fpfreeall();
    fpfreelocal();
    dirfreeall();
    dirfreelocal();
    freecasetbls();
    closescriptlog();
    logon = 0;
    freeboxes();
    memleakreport();
    CoUninitialize();
    signmode = 1;
    return 1;
}

void ExeScr::runentry()
{
    const int32_t entry = curfunc;
    const funcrec& f = functable[static_cast<size_t>(entry)];
    const int32_t locals = f.localnames.count();
    // A script thread's first locals take the arguments it was started with;
    // the rest of the frame starts undefined.
    const int32_t given = std::min(locals, static_cast<int32_t>(startargs.size()));
    for (int32_t k = 0; k < given; ++k) {
        const startarg& a = startargs[static_cast<size_t>(k)];
        if (a.kind != 1)
            pushlocal(0.0, 0, a.text.c_str(), varstr);
        else
            pushlocal(a.d, a.i, nullptr, a.isint ? localint : varnum);
    }
    pushframe(f, given, true);

    runcode(unitbase);

    if (stackdd.count() < locals)
        myerrexit(L"%s", L"Stack underflow error. ");
    // By index again: a "call" inside may have grown the table meanwhile.
    popframe(functable[static_cast<size_t>(entry)]);
    if (!datd.empty())
        --datd.top;  // the unit's result
}

int ExeScr::readscriptfile(const wchar_t* path, bool once)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const std::wstring sys = lasterrortext(GetLastError());
        if (logon == 1)
            mylogmsgforced(L"%s:%s:%s: \n", L"File open failed.", path, sys.c_str());
        return 0;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
        const std::wstring sys = lasterrortext(GetLastError());
        CloseHandle(h);
        myerrexit(L"Cannot get file size.:%s:%s:", path, sys.c_str());
    }
    const uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
    // One read takes less than 4 GB: a larger file is refused before any of
    // it is allocated.
    if (bytes > 0xFFFFFFFEu) {
        CloseHandle(h);
        myerrexit(L"Cannot read file.:%s:%s:", path, lasterrortext(ERROR_FILE_TOO_LARGE).c_str());
    }
    auto* buf = static_cast<wchar_t*>(mymalloc2(bytes + 2, 20));
    DWORD got = 0;
    if (!ReadFile(h, buf, static_cast<DWORD>(bytes), &got, nullptr) || got != bytes) {
        const std::wstring sys = lasterrortext(GetLastError());
        CloseHandle(h);
        myfree(buf, 20);
        myerrexit(L"Cannot read file.:%s:%s:", path, sys.c_str());
    }
    CloseHandle(h);
    // A file too short to hold the mark has none.
    if (bytes < 2 || buf[0] != 0xFEFF)
        myerrexit(L"%s", L"This file is not UNICODE format.");
    buf[bytes / 2] = 0;
    const int32_t first = codecount();
    loadscript(buf + 1);
    myfree(buf, 20);
    segpass(first, once);
    return 1;
}

void ExeScr::freeboxes()
{
    for (objrec* r = boxtable.base; r && r < boxtable.top; ++r) {
        if (r->obj) {
            if (r->kind != objregexp)
                if (HWND w = r->obj->objectwindow())
                    SendMessageW(w, WM_CLOSE, 0, 0);
            if (r->allocid < untrackedid)
                memunreg(r->obj, r->allocid);
            delete r->obj;
        }
    }
    freebuf(boxtable);
    // Every window closes before any box goes: a composite parent still open
    // would paint tiles listed before it that are already deleted.
    for (imageboxobject* box : imageboxes)
        if (box->imgkind() != imgmemorykind)
            if (HWND w = box->objectwindow())
                SendMessageW(w, WM_CLOSE, 0, 0);
    for (imageboxobject* box : imageboxes) {
        if (box->imgkind() == imgmemorykind)
            box->dropmemdc();
        memunreg(box, imageboxid);
        delete box;
    }
    imageboxes.clear();
}
