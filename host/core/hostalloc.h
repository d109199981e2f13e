// The host's tracked allocator: every block carries the id of its call site, so
// that a block still held at close can be named in "error.log".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace host {

struct memrec {
    void* ptr;
    uint64_t size;
    uint32_t id;
};

// Allocation ids of the host's call sites.
enum : uint32_t {
    id_iniread = 1157,      // settings file read buffer
    id_scriptread = 3400,   // opened script file
    id_savetext = 3502,     // editor text being saved
};

// A block of `size` bytes recorded under `id`; null (after the fatal exit) on failure.
void* mymalloca2(size_t size, uint32_t id);
// Checks the block's record (`memunrega2`) and frees it. A block the allocator
// does not hold goes to the fatal exit and is not freed.
void myfreea2(void* block, uint32_t id);
// Removes the record; false when the block is unknown (nothing may be freed then).
bool memunrega2(void* block, uint32_t id);

// The records still held, in allocation order.
const std::vector<memrec>& memrecords();

// The leak report's lines: "Memory leak error in main section:\r\n" and then
// "%d:%lx:%d\r\n" per record; empty when nothing is held.
std::wstring leakreport();

// A tracked block owned for one scope.
class hostblock {
public:
    hostblock() : p_(nullptr), id_(0) {}
    hostblock(size_t size, uint32_t id) : p_(mymalloca2(size, id)), id_(id) {}
    ~hostblock()
    {
        if (p_)
            myfreea2(p_, id_);
    }
    hostblock(const hostblock&) = delete;
    hostblock& operator=(const hostblock&) = delete;
    hostblock(hostblock&& o) noexcept : p_(std::exchange(o.p_, nullptr)), id_(o.id_) {}
    hostblock& operator=(hostblock&& o) noexcept
    {
        if (this != &o) {
            if (p_)
                myfreea2(p_, id_);
            p_ = std::exchange(o.p_, nullptr);
            id_ = o.id_;
        }
        return *this;
    }

    template <typename T>
    T* as() const { return static_cast<T*>(p_); }
    explicit operator bool() const { return p_ != nullptr; }
    uint32_t id() const { return id_; }

private:
    void* p_;
    uint32_t id_;
};

}  // namespace host
