// Small owners for the kernel and GDI handles the host holds, so that no early
// return leaks one.
#pragma once

#include <windows.h>

#include <utility>

namespace host {

// A kernel handle; both null and INVALID_HANDLE_VALUE mean "none".
class uniquehandle {
public:
    uniquehandle() = default;
    explicit uniquehandle(HANDLE h) : h_(h) {}
    ~uniquehandle() { reset(); }
    uniquehandle(const uniquehandle&) = delete;
    uniquehandle& operator=(const uniquehandle&) = delete;
    uniquehandle(uniquehandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    uniquehandle& operator=(uniquehandle&& o) noexcept
    {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }

    HANDLE get() const { return h_; }
    bool valid() const { return h_ && h_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(h_, nullptr); }
    void reset(HANDLE h = nullptr)
    {
        if (valid())
            CloseHandle(h_);
        h_ = h;
    }
    // Closes now and tells whether CloseHandle succeeded.
    bool close()
    {
        if (!valid())
            return true;
        const BOOL ok = CloseHandle(h_);
        h_ = nullptr;
        return ok != 0;
    }

private:
    HANDLE h_ = nullptr;
};

// A GDI object (font, brush, bitmap) deleted with DeleteObject.
template <typename T>
class gdiobject {
public:
    gdiobject() = default;
    explicit gdiobject(T h) : h_(h) {}
    ~gdiobject() { reset(); }
    gdiobject(const gdiobject&) = delete;
    gdiobject& operator=(const gdiobject&) = delete;

    T get() const { return h_; }
    void reset(T h = nullptr)
    {
        if (h_)
            DeleteObject(h_);
        h_ = h;
    }

private:
    T h_ = nullptr;
};

}  // namespace host
