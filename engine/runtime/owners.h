// Small owners for what the engine and the host borrow from the system: kernel
// handles, find handles, registry keys, GDI objects, LocalAlloc blocks, window
// device contexts, COM interfaces, BSTRs and VARIANTs, so that no early
// return leaks one. Header-only, with nothing of the engine in it, so that the
// host includes it too. A fatal exit does not unwind: release explicitly
// before myerrexit.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace owners {

// One owner for every plain handle kind: `Kind` says what none is, what is
// valid and how it is freed (the free's success as a bool).
template <class Kind>
class owned {
public:
    using type = typename Kind::type;

    owned() = default;
    explicit owned(type h) : h_(h) {}
    ~owned() { reset(); }
    owned(const owned&) = delete;
    owned& operator=(const owned&) = delete;
    owned(owned&& o) noexcept : h_(std::exchange(o.h_, Kind::none())) {}
    owned& operator=(owned&& o) noexcept
    {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, Kind::none());
        }
        return *this;
    }

    type get() const { return h_; }
    bool valid() const { return Kind::valid(h_); }
    type release() { return std::exchange(h_, Kind::none()); }
    void reset(type h = Kind::none())
    {
        if (valid())
            Kind::free(h_);
        h_ = h;
    }
    // Frees now and tells whether the system's call succeeded (nothing held
    // counts as success): a written file's close is where a write can fail.
    bool close()
    {
        const bool ok = !valid() || Kind::free(h_);
        h_ = Kind::none();
        return ok;
    }
    // For an out parameter: drops what is held first.
    type* put()
    {
        reset();
        return &h_;
    }

private:
    type h_ = Kind::none();
};

struct kernelkind {
    using type = HANDLE;
    static HANDLE none() { return nullptr; }
    // CreateFile fails with INVALID_HANDLE_VALUE, most others with null.
    static bool valid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
    static bool free(HANDLE h) { return CloseHandle(h) != 0; }
};

struct findkind {
    using type = HANDLE;
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static bool valid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
    static bool free(HANDLE h) { return FindClose(h) != 0; }
};

struct regkind {
    using type = HKEY;
    static HKEY none() { return nullptr; }
    static bool valid(HKEY k) { return k != nullptr; }
    static bool free(HKEY k) { return RegCloseKey(k) == ERROR_SUCCESS; }
};

template <class T>
struct gdikind {
    using type = T;
    static T none() { return nullptr; }
    static bool valid(T h) { return h != nullptr; }
    static bool free(T h) { return DeleteObject(h) != 0; }
};

// T is the pointer type the block is read as (FormatMessage's text,
// CommandLineToArgvW's array).
template <class T>
struct localkind {
    using type = T;
    static T none() { return nullptr; }
    static bool valid(T p) { return p != nullptr; }
    static bool free(T p) { return LocalFree(reinterpret_cast<HLOCAL>(p)) == nullptr; }
};

// A kernel handle; null and INVALID_HANDLE_VALUE both mean none.
using handle = owned<kernelkind>;
// A FindFirstFile search.
using findhandle = owned<findkind>;
// An opened or created registry key (never one of the predefined roots).
using regkey = owned<regkind>;
// A GDI object (font, brush, pen, bitmap) deleted with DeleteObject.
template <class T>
using gdiobject = owned<gdikind<T>>;
// A block the system allocated with LocalAlloc for the caller to free.
template <class T>
using localmem = owned<localkind<T>>;

// A window's device context (the screen's for no window), with an object
// selected into it when one is given; both are given back when it goes.
class windowdc {
public:
    explicit windowdc(HWND w, HGDIOBJ select = nullptr)
        : w_(w), dc_(GetDC(w)), old_(dc_ && select ? SelectObject(dc_, select) : nullptr)
    {
    }
    ~windowdc()
    {
        if (old_)
            SelectObject(dc_, old_);
        if (dc_)
            ReleaseDC(w_, dc_);
    }
    windowdc(const windowdc&) = delete;
    windowdc& operator=(const windowdc&) = delete;

    HDC get() const { return dc_; }
    operator HDC() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND w_;
    HDC dc_;
    HGDIOBJ old_;
};

// One reference to a COM interface.
template <class T>
class comptr {
public:
    comptr() = default;
    ~comptr() { reset(); }
    comptr(const comptr&) = delete;
    comptr& operator=(const comptr&) = delete;

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For an out parameter: drops what is held first.
    T** put()
    {
        reset();
        return &p_;
    }
    void** putvoid() { return reinterpret_cast<void**>(put()); }
    void reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }
    T* detach() { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

// Releases the COM reference a field holds, if any, and clears the field:
// for interfaces kept in long-lived objects rather than in a comptr.
template <class T>
void releaseinto(T*& p)
{
    if (p)
        p->Release();
    p = nullptr;
}

// A BSTR made from a text.
class bstr {
public:
    explicit bstr(const wchar_t* text) : b_(SysAllocString(text)) {}
    ~bstr() { SysFreeString(b_); }
    bstr(const bstr&) = delete;
    bstr& operator=(const bstr&) = delete;
    BSTR get() const { return b_; }

private:
    BSTR b_;
};

// A VARIANT, cleared when it goes.
class variant {
public:
    variant() { VariantInit(&v_); }
    ~variant() { VariantClear(&v_); }
    variant(const variant&) = delete;
    variant& operator=(const variant&) = delete;
    VARIANT* get() { return &v_; }
    const VARIANT& operator*() const { return v_; }
    // For an out parameter: cleared first.
    VARIANT* put()
    {
        VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

}  // namespace owners
