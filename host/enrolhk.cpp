#include "enrolhk.h"

#include "core/enrolrows.h"
#include "core/iniimage.h"
#include "core/keynames.h"
#include "core/syslog.h"
#include "enrolform.h"
#include "hoststate.h"
#include "modal.h"
#include "resource.h"
#include "runtime/quorvelcore.h"

namespace host {

namespace {

constexpr int ehrows = 30;
modalrun g_run;
enrolform g_form;

std::wstring ehlabel(int row)
{
    return format(L"%02d:", row);
}

LRESULT CALLBACK ehfocusproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return g_form.chain(hwnd, msg, wp, lp);
}

void showrow(int row, const ehrowtext& r)
{
    g_form.settext(cellkind::title, row, r.title);
    g_form.settext(cellkind::script, row, r.script);
    g_form.settext(cellkind::options, row, r.options);
    g_form.setmod(row, r.mod);
    g_form.settext(cellkind::key, row, r.key);
}

void ehfillrows()
{
    for (int row = 0; row < ehrows; ++row)
        showrow(row, ehreadrow(theini(), row));
}

// False when the system refused: the host then ends through the fatal exit.
bool unregister(int row)
{
    hklauncher& l = hs().launchers[static_cast<size_t>(row)];
    if (!l.registered)
        return true;
    if (!UnregisterHotKey(hs().main, static_cast<int>(l.id))) {
        fatalexit(L"HotkeyLauncher %d UnregisterHotKey fails \n", row);
        return false;
    }
    logmsg(L"HotkeyLauncher %d UnregisterHotKey success \n", row);
    l.registered = false;
    return true;
}

void deleterow(int row)
{
    ehdeleterow(theini(), row);
    showrow(row, ehrowtext());
}

void ehsaverow(int row)
{
    ehrowtext r;
    r.title = g_form.text(cellkind::title, row);
    r.script = g_form.text(cellkind::script, row);
    r.options = g_form.text(cellkind::options, row).substr(0, 127);
    r.key = g_form.text(cellkind::key, row).substr(0, 9);
    r.mod = g_form.modsel(row);
    const bool both = notemissing(r.title, r.script);
    if (r.key.empty())
        logmsg(L"No input for Hotkey.\n");
    if (!unregister(row))
        return;
    if (r.key.empty() || !both) {
        deleterow(row);
        return;
    }
    // No selection must not index the modifier table.
    if (!validmod(r.mod)) {
        logmsg(L"Hotkey registration failed. %s %d+%s \n", L"invalid modifier.", r.mod, r.key.c_str());
        return;
    }
    const uint32_t k = keycode(r.key);
    hklauncher& l = hs().launchers[static_cast<size_t>(row)];
    if (k == 0 || !RegisterHotKey(hs().main, static_cast<int>(l.id), modtable[r.mod].flags, k)) {
        const std::wstring sys = syserrtext(GetLastError());
        logmsg(L"Hotkey registration failed. %s %s+%c \n", sys.c_str(), modtable[r.mod].name, r.key[0]);
        return;
    }
    logmsg(L"Hotkey registration success. %s+%s \n", modtable[r.mod].name, r.key.c_str());
    l.registered = true;
    l.code = k;
    l.mod = r.mod;
    l.title = r.title.substr(0, 99);
    l.script = r.script;
    l.options = r.options.substr(0, 99);
    ehwriterow(theini(), row, r);
    logmsg(L"Enroll %02d title:%s Script:%s \n", row, r.title.c_str(), r.script.c_str());
}

void oncreate(HWND hwnd)
{
    static const std::vector<column> cols = {
        {cellkind::label, 3, 5, nullptr, false},      {cellkind::title, 30, 0, L"Title", true},
        {cellkind::script, 60, 0, L"Script", true},   {cellkind::browse, 0, 18, nullptr, true},
        {cellkind::options, 20, 0, L"Options", true}, {cellkind::modlist, 10, 0, L"Hotkey", true},
        {cellkind::plus, 2, 0, nullptr, false},       {cellkind::key, 5, 0, nullptr, true},
        {cellkind::save, 0, 18, nullptr, true},
    };
    g_form.build(hwnd, L"Enroll Hotkey Launcher", cols, ehrows, hFont1, ehlabel, ehfocusproc);
    ehfillrows();
}

void oncommand(int id)
{
    if (id >= IDC_ROW_BROWSE && id < IDC_ROW_BROWSE + ehrows)
        g_form.browse(id - IDC_ROW_BROWSE, scriptorfilter);
    else if (id >= IDC_ROW_SAVE && id < IDC_ROW_SAVE + ehrows)
        ehsaverow(id - IDC_ROW_SAVE);
}

LRESULT CALLBACK ehwndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    static const enrolhooks hooks = {oncreate, oncommand, false};
    return g_form.proc(g_run, hooks, hwnd, msg, wp, lp);
}

}  // namespace

void openenrolhk()
{
    if (g_run.wnd)
        return;
    regmodalclass(L"quorvel.eh", ehwndproc);
    openmodal(g_run, 0, L"quorvel.eh", L"Enroll Hotkey Launcher", hs().main);
}

}  // namespace host
