// Definitions of the data the engine library exports to the host.
#include "runtime/quorvelcore.h"

#include <cwchar>
#include <map>
#include <mutex>

extern "C" {

std::wstring programdir;
std::vector<std::wstring> argbuffs;

int exitflag = 0;
int quitflag = 0;
volatile LONG g_screxits = 0;
int g_suplogmsg = 0;
int g_segpassoff = 0;

int fontheight = 0;
wchar_t fontname[LF_FACESIZE] = {};
HFONT hFont1 = nullptr;
HFONT hFont2 = nullptr;

HWND hWndp = nullptr;
HWND hEditp = nullptr;
HWND hWndRunEdit = nullptr;
HWND hStatus = nullptr;

HGDIOBJ g_stock_white = nullptr;
HGDIOBJ g_stock_black = nullptr;

}  // extern "C"

namespace {
std::mutex logpathmutex;
std::map<std::wstring, std::wstring> logpaths;  // script path -> the log its newest main run opened
}  // namespace

void notelogpath(const std::wstring& path, const std::wstring& log)
{
    std::lock_guard<std::mutex> lock(logpathmutex);
    logpaths[path] = log;
}

extern "C" int querylogpath(const wchar_t* path, wchar_t* buf, int cap)
{
    std::lock_guard<std::mutex> lock(logpathmutex);
    const auto it = logpaths.find(path ? path : L"");
    if (it == logpaths.end())
        return 0;
    const int len = static_cast<int>(it->second.size());
    if (buf && cap > len)
        wmemcpy(buf, it->second.c_str(), static_cast<size_t>(len) + 1);
    return len;
}
