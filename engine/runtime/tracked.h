// Records of the tracked allocator and the shape of every growable engine buffer.
#pragma once

#include <cstdint>

// One block taken through the tracked allocator.
struct memrec {
    void* ptr;
    uint64_t size;  // bytes asked for
    int32_t id;     // allocation id naming the call site
    // Reserved address space (VirtualAlloc), which free() must not take: the
    // engine gives it back itself, at the latest when the object goes.
    bool reserved = false;
};

// Allocation ids at or above this are never recorded (signed comparison).
constexpr int32_t untrackedid = 9000;

// A growable engine buffer: base, allocation id of the current block, capacity in
// entries and one past the last entry in use. A null base means no block yet.
template <class T>
struct tbuf {
    T* base = nullptr;
    int32_t id = 0;
    int32_t cap = 0;
    T* top = nullptr;

    int32_t count() const { return base ? static_cast<int32_t>(top - base) : 0; }
    bool empty() const { return count() == 0; }
    bool full() const { return count() >= cap; }
};
