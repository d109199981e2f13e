#include "enrolres.h"

#include "core/enrolrows.h"
#include "core/iniimage.h"
#include "core/residents.h"
#include "core/syslog.h"
#include "enrolform.h"
#include "hoststate.h"
#include "modal.h"
#include "resource.h"
#include "runtime/quorvelcore.h"
#include "tabs.h"

namespace host {

namespace {

modalrun g_run;
enrolform g_form;

std::wstring reslabel(int row)
{
    return format(L"%01d:", row);
}

LRESULT CALLBACK resfocusproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return g_form.chain(hwnd, msg, wp, lp);
}

void showrow(int row, const resrowtext& r)
{
    g_form.settext(cellkind::title, row, r.title);
    g_form.settext(cellkind::script, row, r.script);
    g_form.check(cellkind::active, row, r.active);
}

void resfillrows()
{
    for (int row = 0; row < residentcount; ++row) {
        const resrowtext r = resreadrow(theini(), row);
        showrow(row, r);
        g_form.check(cellkind::run, row, !r.script.empty() && queryexealive(r.script.c_str()) == 1);
    }
}

// Opens the script into a tab and runs it in this process.
void startresident(const std::wstring& script)
{
    hoststate& h = hs();
    h.curscript = script;
    openscriptfile(1);
    settitle();
    runscript(h.curscript);
}

void runbutton(int row)
{
    const std::wstring script = g_form.text(cellkind::script, row);
    if (script.empty())
        return;
    // A press that arrives while the start is still under way (starting
    // dispatches messages) finds the run not yet registered: it runs already.
    static bool starting = false;
    if (starting || queryexealive(script.c_str()) != 0) {
        logmsg(L"Run button: %d state:Already runing \n", row);
        return;
    }
    starting = true;
    startresident(script);
    starting = false;
    g_form.check(cellkind::run, row, true);
}

void oncommand(int id)
{
    if (id >= IDC_ROW_BROWSE && id < IDC_ROW_BROWSE + residentcount) {
        g_form.browse(id - IDC_ROW_BROWSE, scriptorfilter);
    } else if (id >= IDC_ROW_SAVE && id < IDC_ROW_SAVE + residentcount) {
        const int row = id - IDC_ROW_SAVE;
        resrowtext r;
        r.title = g_form.text(cellkind::title, row);
        r.script = g_form.text(cellkind::script, row);
        r.active = g_form.checked(cellkind::active, row);
        showrow(row, ressaverow(theini(), row, r));
    } else if (id >= IDC_ROW_ACTIVE && id < IDC_ROW_ACTIVE + residentcount) {
        const int row = id - IDC_ROW_ACTIVE;
        g_form.check(cellkind::active, row, !g_form.checked(cellkind::active, row));
        logmsg(L"Active button: %d \n", row);
    } else if (id >= IDC_ROW_RUN && id < IDC_ROW_RUN + residentcount) {
        runbutton(id - IDC_ROW_RUN);
    }
}

void oncreate(HWND hwnd)
{
    static const std::vector<column> cols = {
        {cellkind::label, 2, 5, nullptr, false},    {cellkind::title, 30, 0, L"Title", true},
        {cellkind::script, 80, 0, L"Script", true}, {cellkind::browse, 0, 18, nullptr, true},
        {cellkind::active, 8, 0, nullptr, false},   {cellkind::save, 0, 18, nullptr, true},
        {cellkind::run, 5, 0, nullptr, false},
    };
    g_form.build(hwnd, L"Enroll Resident Script", cols, residentcount, hFont1, reslabel, resfocusproc);
    resfillrows();
}

LRESULT CALLBACK reswndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    static const enrolhooks hooks = {oncreate, oncommand, false};
    return g_form.proc(g_run, hooks, hwnd, msg, wp, lp);
}

}  // namespace

void openenrolres()
{
    if (g_run.wnd)
        return;
    regmodalclass(L"quorvel.res", reswndproc);
    openmodal(g_run, 0, L"quorvel.res", L"Enroll Resident Script", hs().main);
}

void startresidents()
{
    for (const residentrec& r : loadresidents(theini()))
        if (r.present && r.active)
            startresident(r.script);
}

}  // namespace host
