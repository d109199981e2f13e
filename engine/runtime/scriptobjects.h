// Objects a script creates that live until its run ends: compiled regular
// expressions and box windows. The run's end destroys them through the
// deleting destructor, after closing their windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>

// Objects are built in place in blocks of the tracked allocator (plain heap
// blocks), so the deleting destructor gives the block back with free().
class scriptobject {
public:
    virtual ~scriptobject() = default;
    // The object's window, which gets WM_CLOSE before the object is destroyed.
    virtual HWND objectwindow() const { return nullptr; }
    static void operator delete(void* p) { free(p); }
};

// Kinds of boxtable records.
enum : int32_t { objregexp = 0, objviewbox = 1, objdrawbox = 2, objinfobox = 3 };

// One named object of a script.
struct objrec {
    wchar_t name[22];
    scriptobject* obj;
    int32_t allocid;
    int32_t kind;
};

// An image box: a memory device context (kind 26) or a window.
class imageboxobject : public scriptobject {
public:
    virtual int32_t imgkind() const = 0;
    virtual HDC memdc() const = 0;
    // Deletes the memory device context (and what it holds).
    virtual void dropmemdc()
    {
        if (HDC dc = memdc())
            DeleteDC(dc);
    }
};

constexpr int32_t imgmemorykind = 26;
constexpr int32_t imageboxid = 1403;
