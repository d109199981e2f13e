// Small owners for what the command runtimes borrow from the system: kernel
// handles, COM interfaces, BSTRs and VARIANTs, so that no early return leaks
// one. A fatal exit does not unwind: release explicitly before myerrexit.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace owners {

// A kernel handle; null and INVALID_HANDLE_VALUE both mean none.
class handle {
public:
    handle() = default;
    explicit handle(HANDLE h) : h_(h) {}
    ~handle() { reset(); }
    handle(const handle&) = delete;
    handle& operator=(const handle&) = delete;

    HANDLE get() const { return h_; }
    bool valid() const { return h_ && h_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(h_, nullptr); }
    void reset(HANDLE h = nullptr)
    {
        if (valid())
            CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
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
