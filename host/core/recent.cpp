#include "core/recent.h"

#include "core/syslog.h"

namespace host {

std::wstring recentkey(int i)
{
    return format(L"scrfid_%02d", i);
}

void recentlist::loadrecent(const iniimage& ini)
{
    freerecent();
    std::wstring v;
    while (count_ < slots && ini.getinis(L"main", recentkey(count_), v))
        slot_[static_cast<size_t>(count_++)] = v;
}

void recentlist::delrecent(const std::wstring& path)
{
    int k = 0;
    while (k < count_ && at(k) != path)
        ++k;
    if (k == count_)
        return;
    for (int j = k; j + 1 < count_; ++j)
        slot_[static_cast<size_t>((head_ + j) % slots)] = at(j + 1);
    slot_[static_cast<size_t>((head_ + count_ - 1) % slots)].clear();
    --count_;
}

void recentlist::addrecent(const std::wstring& path)
{
    head_ = (head_ + slots - 1) % slots;
    slot_[static_cast<size_t>(head_)] = path;
    if (count_ < slots)
        ++count_;
}

void recentlist::saverecent(iniimage& ini) const
{
    for (int i = 0; i < count_; ++i)
        ini.setinis(L"main", recentkey(i), at(i));
}

void recentlist::freerecent()
{
    for (std::wstring& s : slot_)
        s.clear();
    head_ = 0;
    count_ = 0;
}

}  // namespace host
