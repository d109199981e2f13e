#include "enrolscript.h"

#include "core/enrolrows.h"
#include "core/iniimage.h"
#include "core/launchset.h"
#include "core/syslog.h"
#include "enrolform.h"
#include "hoststate.h"
#include "launchmenu.h"
#include "modal.h"
#include "resource.h"
#include "runtime/quorvelcore.h"

namespace host {

namespace {

modalrun g_run;
enrolform g_form;

std::wstring eslabel(int row)
{
    const wchar_t c = row < 10 ? static_cast<wchar_t>(L'0' + row) : static_cast<wchar_t>(L'A' + row - 10);
    return format(L"%c:", c);
}

LRESULT CALLBACK esfocusproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return g_form.chain(hwnd, msg, wp, lp);
}

void esfillrows()
{
    for (int slot = 0; slot < launchslots; ++slot) {
        const esrowtext r = esreadrow(theini(), hs().enrolset, slot);
        g_form.settext(cellkind::title, slot, r.title);
        g_form.settext(cellkind::script, slot, r.script);
        g_form.settext(cellkind::options, slot, r.options);
    }
}

void oncommand(int id)
{
    if (id >= IDC_ROW_BROWSE && id < IDC_ROW_BROWSE + launchslots) {
        g_form.browse(id - IDC_ROW_BROWSE, scriptallfilter);
    } else if (id >= IDC_ROW_SAVE && id < IDC_ROW_SAVE + launchslots) {
        const int slot = id - IDC_ROW_SAVE;
        esrowtext r;
        r.title = g_form.text(cellkind::title, slot);
        r.script = g_form.text(cellkind::script, slot);
        r.options = g_form.text(cellkind::options, slot).substr(0, 127);
        essaverow(theini(), hs().enrolset, slot, r);
        freescripttables();
        loadlaunchtable(hs().enrolset);
        esfillrows();
    }
}

void oncreate(HWND hwnd)
{
    static const std::vector<column> cols = {
        {cellkind::label, 2, 0, nullptr, true},       {cellkind::title, 30, 0, L"Title", true},
        {cellkind::script, 60, 0, L"Script", true},   {cellkind::browse, 0, 18, nullptr, true},
        {cellkind::options, 15, 0, L"Options", true}, {cellkind::save, 0, 18, nullptr, true},
    };
    g_form.build(hwnd, L"Enroll Script", cols, launchslots, hFont2, eslabel, esfocusproc);
    esfillrows();
}

LRESULT CALLBACK eswndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    static const enrolhooks hooks = {oncreate, oncommand, true};
    return g_form.proc(g_run, hooks, hwnd, msg, wp, lp);
}

}  // namespace

void openenrolscript()
{
    if (g_run.wnd)
        return;
    regmodalclass(L"quorvel.es", eswndproc);
    openmodal(g_run, 0, L"quorvel.es", L"Enroll Script", hs().main);
}

}  // namespace host
