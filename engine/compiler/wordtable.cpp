// The table of built-in words. Within a first letter the entries are tried in
// this order and the first match wins; the order matters for the prefix
// entries ("for", "arg_", "carg_", "monrect[", "systemtime."), which must come
// before the words they begin. A pending entry names a word whose front end
// is not built yet: it is compiled as a user-function call until it is.
#include "compiler/wordtable.h"

#include <array>

#include "runtime/exescr.h"

namespace {

using front = void (ExeScr::*)(wchar_t*);

constexpr wordentry pending(const wchar_t* w, int32_t result, int32_t prefix = 0)
{
    return {w, prefix, wordaction::pending, result, nullptr, nullptr, nullptr, 0, false};
}
constexpr wordentry frontend(const wchar_t* w, front f, int32_t result)
{
    return {w, 0, wordaction::frontend, result, f, nullptr, nullptr, 0, false};
}
constexpr wordentry frontword(const wchar_t* w, int32_t prefix, front f, int32_t result)
{
    return {w, prefix, wordaction::frontword, result, f, nullptr, nullptr, 0, false};
}
constexpr wordentry variant(const wchar_t* w, void (ExeScr::*f)(wchar_t*, int32_t), int64_t which, int32_t result)
{
    return {w, 0, wordaction::variant, result, nullptr, f, nullptr, which, false};
}
constexpr wordentry emit(const wchar_t* w, execfn op, int64_t operand, int32_t result)
{
    return {w, 0, wordaction::emit, result, nullptr, nullptr, op, operand, true};
}
constexpr wordentry emitonly(const wchar_t* w, execfn op, int32_t result)
{
    return {w, 0, wordaction::emit, result, nullptr, nullptr, op, 0, false};
}
constexpr wordentry enginetext(const wchar_t* w, int64_t selector)
{
    return {w, 0, wordaction::enginetext, 2, nullptr, nullptr, nullptr, selector, true};
}
constexpr wordentry declaration(const wchar_t* w)
{
    return {w, 0, wordaction::declaration, 3, nullptr, nullptr, nullptr, 0, false};
}
constexpr wordentry forheader()
{
    return {L"for", 3, wordaction::forheader, 14, nullptr, nullptr, nullptr, 0, false};
}

const wordentry table[] = {
    frontend(L"asin", &ExeScr::asin_comp, 1),
    frontend(L"acos", &ExeScr::acos_comp, 1),
    frontend(L"atan", &ExeScr::atan_comp, 1),
    {L"arg_", 4, wordaction::argword, 2, nullptr, nullptr, &ExeScr::arg_exec, 0, true},
    emit(L"argcnt", &ExeScr::argcnt_exec, 0, 1),
    pending(L"bm_getstate", 1),  // bm_getstate_comp
    frontend(L"cutstr", &ExeScr::cutstr_comp, 2),
    pending(L"copyfile", 1),  // copyfile_comp
    pending(L"createdirectory", 1),  // createdirectory_comp
    frontend(L"cos", &ExeScr::cos_comp, 1),
    pending(L"creproc", 3),  // creproc_comp
    emitonly(L"clock", &ExeScr::clock_exec, 1),
    pending(L"ctrlwin", 1),  // ctrlwin_comp
    pending(L"ctrlhv", 1),  // ctrlhv_comp
    frontend(L"call", &ExeScr::call_comp, 3),
    pending(L"clkitem", 3),  // clkitem_comp
    pending(L"clipboardmon", 1),  // clipboardmon_exec
    emit(L"charret", &ExeScr::engvar_exec, 11, 1),
    enginetext(L"classn", 7),
    frontword(L"carg_", 5, &ExeScr::carg_comp, 2),
    emit(L"cargcnt", &ExeScr::argcnt_exec, 1, 1),
    emit(L"cliright", &ExeScr::engvar_exec, 38, 1),
    emit(L"clibottom", &ExeScr::engvar_exec, 39, 1),
    pending(L"deletefile", 1),  // deletefile_comp
    pending(L"dialogbox", 1),  // dialogbox_comp
    pending(L"dialogbox2", 1),  // dialogbox2_comp
    pending(L"diropen", 1),  // diropen_comp
    pending(L"dirreads", 2),  // dirreads_comp
    pending(L"dirreadd", 1),  // dirreadd_comp
    pending(L"dirsort", 3),  // dirsort_comp
    pending(L"dirclose", 3),  // dirclose_comp
    frontend(L"def", &ExeScr::def_comp, 1),
    pending(L"dshow", 1),  // dshow_comp
    emit(L"dirbuffcnt", &ExeScr::engvar_exec, 8, 1),
    emit(L"dshow_width", &ExeScr::engvar_exec, 24, 1),
    emit(L"dshow_height", &ExeScr::engvar_exec, 25, 1),
    pending(L"drawbox", 1),  // drawbox_comp
    emit(L"dsmmtime", &ExeScr::engvar_exec, 37, 1),
    frontend(L"exp", &ExeScr::exp_comp, 1),
    frontend(L"exeline", &ExeScr::exeline_comp, 3),
    emit(L"eflags", &ExeScr::engvar_exec, 18, 1),
    forheader(),
    pending(L"fopen", 1),  // fopen_comp
    pending(L"fread", 2),  // fread_comp
    pending(L"fspread", 2),  // fspread_comp
    pending(L"fsdread", 1),  // fsdread_comp
    pending(L"fwrite", 3),  // fwrite_comp
    pending(L"fclose", 3),  // fclose_comp
    pending(L"fflush", 3),  // fflush_comp
    pending(L"filesort", 3),  // filesort_comp
    pending(L"fexist", 1),  // fexist_comp
    pending(L"fdel", 3),  // fdel_comp
    frontend(L"floor", &ExeScr::floor_comp, 1),
    emit(L"filelinecnt", &ExeScr::engvar_exec, 6, 1),
    emit(L"filedatacnt", &ExeScr::engvar_exec, 7, 1),
    pending(L"fbread", 1),  // fbread_comp
    pending(L"fbwrite", 1),  // fbwrite_comp
    frontend(L"getwmchar", &ExeScr::getwmchar_comp, 1),
    pending(L"getfiletime", 1),  // getfiletime_comp
    pending(L"getfileattribute", 1),  // getfileattribute_comp
    pending(L"getfilesize", 1),  // getfilesize_comp
    pending(L"getfilelinecnt", 1),  // getfilelinecnt_comp
    pending(L"gethwnd", 3),  // gethwnd_comp
    pending(L"getparent", 3),  // getparent_comp
    pending(L"getchildhwnd", 3),  // getchildhwnd_comp
    emitonly(L"getcursorpos", &ExeScr::getcursorpos_exec, 3),
    frontend(L"getc", &ExeScr::getc_comp, 1),
    pending(L"getclipboarddata", 1),  // getclipboarddata_comp
    pending(L"geteditstr", 2),  // geteditstr_comp
    pending(L"getitem", 3),  // getitem_comp
    pending(L"getopenfilename", 2),  // getopenfilename_comp
    pending(L"gpbox", 1),  // gpbox_comp
    frontend(L"getasynckeystate", &ExeScr::getasynckeystate_comp, 1),
    pending(L"getsysteminfo", 2),  // getsysteminfo_comp
    enginetext(L"getlasterror", 0),
    emit(L"getexelinenum", &ExeScr::engvar_exec, 21, 1),
    pending(L"getsystemtime", 3),  // getsystemtime_exec
    pending(L"getlocaltime", 3),  // getlocaltime_exec
    pending(L"getdrivetype", 1),  // getdrivetype_comp
    pending(L"getcurrentdirectory", 2),  // getcurrentdirectory_exec
    frontend(L"getargument", &ExeScr::getargument_comp, 2),
    frontend(L"getcallargument", &ExeScr::getcallargument_comp, 2),
    emit(L"hwndmine", &ExeScr::engvar_exec, 1, 1),
    emit(L"hwndvideo", &ExeScr::engvar_exec, 3, 1),
    emit(L"hdropcnt", &ExeScr::engvar_exec, 14, 1),
    emit(L"is10orgreater", &ExeScr::osversion_exec, 4, 1),
    emit(L"is7orgreater", &ExeScr::osversion_exec, 2, 1),
    emit(L"is8orgreater", &ExeScr::osversion_exec, 3, 1),
    frontend(L"idiv", &ExeScr::idiv_comp, 1),
    frontend(L"imul", &ExeScr::imul_comp, 1),
    frontend(L"iadd", &ExeScr::iadd_comp, 1),
    emitonly(L"is64bit", &ExeScr::is64bit_exec, 1),
    pending(L"inputbox", 2),  // inputbox_comp
    pending(L"infobox", 1),  // infobox_comp
    frontend(L"iscursor", &ExeScr::iscursor_comp, 1),
    pending(L"imagebox", 1),  // imagebox_comp
    emit(L"index1ret", &ExeScr::engvar_exec, 9, 1),
    emit(L"index2ret", &ExeScr::engvar_exec, 10, 1),
    emit(L"idivrem", &ExeScr::engvar_exec, 16, 1),
    emit(L"imuldx", &ExeScr::engvar_exec, 17, 1),
    frontend(L"kbhit", &ExeScr::kbhit_comp, 1),
    frontend(L"keyin", &ExeScr::keyin_comp, 3),
    pending(L"killprocess", 1),  // killprocess_comp
    pending(L"logging", 3),  // logging_comp
    declaration(L"localvar"),
    declaration(L"localfp"),
    declaration(L"localdir"),
    frontend(L"log", &ExeScr::log_comp, 1),
    frontend(L"log10", &ExeScr::log10_comp, 1),
    pending(L"movefile", 1),  // movefile_comp
    frontword(L"monrect[", 8, &ExeScr::monrectidx_comp, 1),
    emit(L"moncnt", &ExeScr::monrect_exec, 0, 1),
    frontend(L"monrect", &ExeScr::monrect_comp, 1),
    pending(L"msgbox", 1),  // msgbox_comp
    frontend(L"mousemove", &ExeScr::mousemove_comp, 3),
    frontend(L"mousebtn", &ExeScr::mousebtn_comp, 3),
    pending(L"match", 1),  // match_comp
    pending(L"matchval", 1),  // matchval_comp
    pending(L"matchstr", 2),  // matchstr_comp
    pending(L"mastervol", 1),  // mastervol_comp
    pending(L"mktime", 1),  // mktime_comp
    frontend(L"num", &ExeScr::num_comp, 1),
    frontend(L"printf", &ExeScr::printf_comp, 2),
    frontend(L"pow", &ExeScr::pow_comp, 1),
    frontend(L"pointconversion", &ExeScr::pointconversion_comp, 1),
    pending(L"playsound", 3),  // playsound_comp
    enginetext(L"programdrv", 1),
    enginetext(L"programdir", 2),
    pending(L"pushpoptasktray", 3),  // pushpoptasktray_comp
    frontend(L"queue", &ExeScr::queue_comp, 1),
    frontend(L"return", &ExeScr::return_comp, 3),
    frontend(L"retstr", &ExeScr::retstr_comp, 3),
    pending(L"removedirectory", 1),  // removedirectory_comp
    frontend(L"rand", &ExeScr::rand_comp, 1),
    pending(L"regaddstr", 3),  // regaddstr_comp
    pending(L"regdel", 3),  // regdel_comp
    pending(L"reggetstr", 2),  // reggetstr_comp
    frontend(L"registerhotkey", &ExeScr::registerhotkey_comp, 1),
    enginetext(L"scriptdrv", 3),
    enginetext(L"scriptdir", 4),
    enginetext(L"scriptfn", 5),
    pending(L"setwindowpos", 3),  // setwindowpos_comp
    pending(L"sendstr", 3),  // sendstr_comp
    frontend(L"setc", &ExeScr::setc_comp, 3),
    pending(L"setclipboarddata", 1),  // setclipboarddata_comp
    pending(L"setfiletime", 1),  // setfiletime_comp
    pending(L"setfileattributes", 1),  // setfileattributes_comp
    pending(L"setprog", 3),  // setprog_comp
    pending(L"shellexe", 3),  // shellexe_comp
    frontend(L"shutdown", &ExeScr::shutdown_comp, 3),
    frontend(L"sin", &ExeScr::sin_comp, 1),
    frontend(L"signmode", &ExeScr::signmode_comp, 1),
    frontend(L"sleep", &ExeScr::sleep_comp, 3),
    frontend(L"sleepm", &ExeScr::sleepm_comp, 3),
    pending(L"strftime", 2),  // strftime_comp
    pending(L"systime", 1),  // systime_exec
    frontend(L"sqrt", &ExeScr::sqrt_comp, 1),
    frontend(L"strcmp", &ExeScr::strcmp_comp, 1),
    pending(L"status", 3),  // status_comp
    variant(L"strstr", &ExeScr::strstr_comp, 0, 1),
    variant(L"strpbrk", &ExeScr::strstr_comp, 1, 1),
    frontend(L"strtokstr", &ExeScr::strtokstr_comp, 2),
    frontend(L"strtok", &ExeScr::strtok_comp, 1),
    variant(L"strchr", &ExeScr::strchr_comp, 0, 1),
    variant(L"strrchr", &ExeScr::strchr_comp, 1, 1),
    frontend(L"str", &ExeScr::str_comp, 2),
    frontend(L"strlen", &ExeScr::strlen_comp, 1),
    pending(L"systolocaltime", 3),  // systolocaltime_comp
    frontword(L"systemtime.", 11, &ExeScr::systemtimefield_comp, 1),
    frontend(L"systemtime", &ExeScr::systemtime_comp, 1),
    pending(L"subs", 1),  // subs_comp
    pending(L"subsstr", 2),  // subsstr_comp
    pending(L"setcurrentdirectory", 1),  // setcurrentdirectory_comp
    frontend(L"tan", &ExeScr::tan_comp, 1),
    frontend(L"tolowerstr", &ExeScr::tolowerstr_comp, 2),
    frontend(L"trim", &ExeScr::trim_comp, 3),
    pending(L"tvbox", 1),  // tvbox_comp
    frontend(L"threadstart", &ExeScr::threadstart_comp, 1),
    frontend(L"threadctl", &ExeScr::threadctl_comp, 1),
    emit(L"thisthread", &ExeScr::engvar_exec, 0, 1),
    enginetext(L"titlen", 6),
    emit(L"tbpos", &ExeScr::engvar_exec, 36, 1),
    emitonly(L"unregisterhotkey", &ExeScr::unregisterhotkey_exec, 1),
    pending(L"usbeject", 1),  // usbeject_comp
    frontend(L"undef", &ExeScr::undef_comp, 1),
    pending(L"viewbox", 1),  // viewbox_comp
    emit(L"vardtype", &ExeScr::engvar_exec, 19, 1),
    emit(L"vbret", &ExeScr::engvar_exec, 20, 1),
    frontend(L"waittime", &ExeScr::waittime_comp, 1),
    pending(L"wininfo", 3),  // wininfo_comp
    emit(L"workleft", &ExeScr::workarea_exec, 0, 1),
    emit(L"worktop", &ExeScr::workarea_exec, 1, 1),
    emit(L"workright", &ExeScr::workarea_exec, 2, 1),
    emit(L"workbottom", &ExeScr::workarea_exec, 3, 1),
    frontend(L"wakes3s4", &ExeScr::wakes3s4_comp, 3),
    pending(L"wmiproc", 1),  // wmiproc_comp
    emit(L"wmicnt", &ExeScr::engvar_exec, 15, 1),
    emit(L"winleft", &ExeScr::engvar_exec, 32, 1),
    emit(L"winright", &ExeScr::engvar_exec, 33, 1),
    emit(L"wintop", &ExeScr::engvar_exec, 34, 1),
    emit(L"winbottom", &ExeScr::engvar_exec, 35, 1),
    emit(L"xcaret", &ExeScr::engvar_exec, 12, 1),
    emit(L"xspos", &ExeScr::engvar_exec, 28, 1),
    emit(L"xcpos", &ExeScr::engvar_exec, 30, 1),
    emit(L"ycaret", &ExeScr::engvar_exec, 13, 1),
    emit(L"yspos", &ExeScr::engvar_exec, 29, 1),
    emit(L"ycpos", &ExeScr::engvar_exec, 31, 1),
};

// First and one-past-last entry of each letter 'a' to 'y'.
struct letterindex {
    std::array<wordrange, 25> ranges{};
    letterindex()
    {
        for (const wordentry& e : table) {
            wordrange& r = ranges[static_cast<size_t>(e.word[0] - L'a')];
            if (!r.first)
                r.first = &e;
            r.last = &e + 1;
        }
    }
};

}  // namespace

wordrange wordsof(wchar_t letter)
{
    static const letterindex index;
    if (letter < L'a' || letter > L'y')
        return {nullptr, nullptr};
    return index.ranges[static_cast<size_t>(letter - L'a')];
}
