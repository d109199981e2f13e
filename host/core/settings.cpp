#include "core/settings.h"

#include <cstdlib>
#include <cwctype>

namespace host {

namespace {

enum class group { none, setting, runkey, hotkey, launcher };

int inrange(const std::wstring& v, int lo, int hi, int other)
{
    const int n = _wtoi(v.c_str());
    return n >= lo && n <= hi ? n : other;
}

std::wstring cut(const std::wstring& v, size_t most)
{
    return v.size() > most ? v.substr(0, most) : v;
}

void settingkey(hostsettings& s, const std::wstring& k, const std::wstring& v)
{
    if (k == L"vsratio")
        s.vsratio = inrange(v, 10, 50, 20);
    else if (k == L"hsratio")
        s.hsratio = inrange(v, 10, 70, 40);
    else if (k == L"left")
        s.left = _wtoi(v.c_str());
    else if (k == L"top")
        s.top = _wtoi(v.c_str());
    else if (k == L"right")
        s.right = _wtoi(v.c_str());
    else if (k == L"bottom")
        s.bottom = _wtoi(v.c_str());
    else if (k == L"tasktrayf")
        s.tasktrayf = !v.empty() && v[0] == L'1';
    else if (k == L"suplogmsg") {
        s.suplogmsgset = true;
        s.suplogmsg = _wtoi(v.c_str());
    } else if (k == L"fontheight")
        s.fontheight = _wtoi(v.c_str());
    else if (k == L"fontname")
        s.fontname = cut(v, 31);
    else if (k == L"filter")
        s.filter = v;
}

void runkeykey(hostsettings& s, const std::wstring& k, const std::wstring& v)
{
    if (k == L"fsmod") {
        s.runkeyalt = !v.empty() && v[0] == L'0' ? 0 : 1;
    } else if (k == L"vk") {
        if (!v.empty() && v[0] >= L'A' && v[0] <= L'Z') {
            s.runkeyletter = v[0];
        } else {
            s.runkeyletter = L'S';
            s.runkeyalt = 1;
        }
    }
}

void hotkeykey(hostsettings& s, const std::wstring& k, const std::wstring& v)
{
    if (k == L"fsmod")
        s.hotkeyfsmod = inrange(v, 0, 5, 1);  // a row outside the modifier table reads as ALT
    else if (k == L"vk")
        s.hotkeyvk = v;
    else if (k == L"flag")
        s.hotkeyflag = !v.empty() && v[0] == L'1';
}

void launcherkey(hostsettings& s, const std::wstring& k, const std::wstring& v)
{
    // "%02d_tn", "%02d_fs", "%02d_op", "%02d_fsmod", "%02d_vk" with 00 to 29.
    if (k.size() < 4 || k[2] != L'_' || !iswdigit(k[0]) || !iswdigit(k[1]))
        return;
    const int n = (k[0] - L'0') * 10 + (k[1] - L'0');
    if (n >= 30)
        return;
    launcherkeys& l = s.launchers[static_cast<size_t>(n)];
    const std::wstring field = k.substr(3);
    if (field == L"tn")
        l.title = cut(v, 99);
    else if (field == L"fs")
        l.path = v;
    else if (field == L"op")
        l.options = cut(v, 99);
    else if (field == L"fsmod")
        l.fsmod = _wtoi(v.c_str());
    else if (field == L"vk")
        l.vk = v;
}

}  // namespace

void readini(const iniimage& ini, hostsettings& s, bool setting, bool hotkey, bool runkey, bool launcher)
{
    if (setting) {
        s.vsratio = 20;
        s.hsratio = 40;
        s.left = 100;
        s.top = 100;
        s.right = 850;
        s.bottom = 800;
        s.fontheight = -1;
        s.fontname.clear();
    }
    group g = group::none;
    std::wstring name, k, v;
    for (const std::wstring& line : ini.lines) {
        if (iniheader(line, name)) {
            g = name == L"setting"          ? group::setting
                : name == L"runkey"         ? group::runkey
                : name == L"hotkey"         ? group::hotkey
                : name == L"hotkeylauncher" ? group::launcher
                                            : group::none;
            continue;
        }
        if (!inikeyline(line, k, v))
            continue;
        if (g == group::setting && setting)
            settingkey(s, k, v);
        else if (g == group::runkey && runkey)
            runkeykey(s, k, v);
        else if (g == group::hotkey && hotkey)
            hotkeykey(s, k, v);
        else if (g == group::launcher && launcher)
            launcherkey(s, k, v);
    }
}

wchar_t runkeychar(wchar_t letter, int alt)
{
    return alt ? static_cast<wchar_t>(letter | 0x20) : static_cast<wchar_t>(letter & ~0x40);
}

}  // namespace host
