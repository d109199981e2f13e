// The recently-opened list: a ring of 30 paths, newest first, kept in the
// settings image as [main] "scrfid_00" to "scrfid_29".
#pragma once

#include <array>
#include <string>

#include "core/iniimage.h"

namespace host {

class recentlist {
public:
    static constexpr int slots = 30;

    // Reads "scrfid_%02d" from 00 up to the first missing key.
    void loadrecent(const iniimage& ini);
    // Removes the entry equal to `path` (case-sensitive), if any.
    void delrecent(const std::wstring& path);
    // Puts `path` first; with 30 entries the oldest is dropped.
    void addrecent(const std::wstring& path);
    // Writes the entries, newest as "scrfid_00".
    void saverecent(iniimage& ini) const;
    void freerecent();

    int count() const { return count_; }
    // The entry `i` places after the newest.
    const std::wstring& at(int i) const { return slot_[static_cast<size_t>((head_ + i) % slots)]; }

private:
    std::array<std::wstring, slots> slot_;
    int head_ = 0;
    int count_ = 0;
};

// The key name of entry `i`.
std::wstring recentkey(int i);

}  // namespace host
