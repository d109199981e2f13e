#include "core/hostalloc.h"

#include <cstdlib>

#include "core/syslog.h"

namespace host {

namespace {

std::vector<memrec>& records()
{
    static std::vector<memrec> r;
    return r;
}

}  // namespace

void* mymalloca2(size_t size, uint32_t id)
{
    void* p = malloc(size ? size : 1);
    if (!p) {
        fatalexit(L"%s in mymalloca2: ptr:%lx size:%d id:%d", L"malloc failure", 0, static_cast<int>(size),
                  static_cast<int>(id));
        return nullptr;
    }
    records().push_back({p, size, id});
    return p;
}

bool memunrega2(void* block, uint32_t id)
{
    auto& r = records();
    for (auto it = r.begin(); it != r.end(); ++it) {
        if (it->ptr != block)
            continue;
        if (it->id != id)
            fatalexit(L"%s ptr:%lx id:%d reqid:%d", L"internal free function error.",
                      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block)), static_cast<int>(it->id),
                      static_cast<int>(id));
        r.erase(it);
        return true;
    }
    fatalexit(L"%s ptr:%lx:id:%d", L"internal free function error.",
              static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block)), static_cast<int>(id));
    return false;
}

void myfreea2(void* block, uint32_t id)
{
    if (memunrega2(block, id))
        free(block);
}

const std::vector<memrec>& memrecords()
{
    return records();
}

std::wstring leakreport()
{
    if (records().empty())
        return {};
    std::wstring out = L"Memory leak error in main section:\r\n";
    for (const memrec& m : records())
        out += format(L"%d:%lx:%d\r\n", static_cast<int>(m.id),
                      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(m.ptr)), static_cast<int>(m.size));
    return out;
}

}  // namespace host
