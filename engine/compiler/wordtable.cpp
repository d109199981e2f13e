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
    frontend(L"bm_getstate", &ExeScr::bm_getstate_comp, 1),
    frontend(L"cutstr", &ExeScr::cutstr_comp, 2),
    frontend(L"copyfile", &ExeScr::copyfile_comp, 1),
    frontend(L"createdirectory", &ExeScr::createdirectory_comp, 1),
    frontend(L"cos", &ExeScr::cos_comp, 1),
    frontend(L"creproc", &ExeScr::creproc_comp, 3),
    emitonly(L"clock", &ExeScr::clock_exec, 1),
    frontend(L"ctrlwin", &ExeScr::ctrlwin_comp, 1),
    frontend(L"ctrlhv", &ExeScr::ctrlhv_comp, 1),
    frontend(L"call", &ExeScr::call_comp, 3),
    frontend(L"clkitem", &ExeScr::clkitem_comp, 3),
    emitonly(L"clipboardmon", &ExeScr::clipboardmon_exec, 1),
    emit(L"charret", &ExeScr::engvar_exec, 11, 1),
    enginetext(L"classn", 7),
    frontword(L"carg_", 5, &ExeScr::carg_comp, 2),
    emit(L"cargcnt", &ExeScr::argcnt_exec, 1, 1),
    emit(L"cliright", &ExeScr::engvar_exec, 38, 1),
    emit(L"clibottom", &ExeScr::engvar_exec, 39, 1),
    frontend(L"deletefile", &ExeScr::deletefile_comp, 1),
    frontend(L"dialogbox", &ExeScr::dialogbox_comp, 1),
    frontend(L"dialogbox2", &ExeScr::dialogbox2_comp, 1),
    frontend(L"diropen", &ExeScr::diropen_comp, 1),
    frontend(L"dirreads", &ExeScr::dirreads_comp, 2),
    frontend(L"dirreadd", &ExeScr::dirreadd_comp, 1),
    frontend(L"dirsort", &ExeScr::dirsort_comp, 3),
    frontend(L"dirclose", &ExeScr::dirclose_comp, 3),
    frontend(L"def", &ExeScr::def_comp, 1),
    frontend(L"dshow", &ExeScr::dshow_comp, 1),
    emit(L"dirbuffcnt", &ExeScr::engvar_exec, 8, 1),
    emit(L"dshow_width", &ExeScr::engvar_exec, 24, 1),
    emit(L"dshow_height", &ExeScr::engvar_exec, 25, 1),
    frontend(L"drawbox", &ExeScr::drawbox_comp, 1),
    emit(L"dsmmtime", &ExeScr::engvar_exec, 37, 1),
    frontend(L"exp", &ExeScr::exp_comp, 1),
    frontend(L"exeline", &ExeScr::exeline_comp, 3),
    emit(L"eflags", &ExeScr::engvar_exec, 18, 1),
    forheader(),
    frontend(L"fopen", &ExeScr::fopen_comp, 1),
    frontend(L"fread", &ExeScr::fread_comp, 2),
    frontend(L"fspread", &ExeScr::fspread_comp, 2),
    frontend(L"fsdread", &ExeScr::fsdread_comp, 1),
    frontend(L"fwrite", &ExeScr::fwrite_comp, 3),
    frontend(L"fclose", &ExeScr::fclose_comp, 3),
    frontend(L"fflush", &ExeScr::fflush_comp, 3),
    frontend(L"filesort", &ExeScr::filesort_comp, 3),
    frontend(L"fexist", &ExeScr::fexist_comp, 1),
    frontend(L"fdel", &ExeScr::fdel_comp, 3),
    frontend(L"floor", &ExeScr::floor_comp, 1),
    emit(L"filelinecnt", &ExeScr::engvar_exec, 6, 1),
    emit(L"filedatacnt", &ExeScr::engvar_exec, 7, 1),
    frontend(L"fbread", &ExeScr::fbread_comp, 1),
    frontend(L"fbwrite", &ExeScr::fbwrite_comp, 1),
    frontend(L"getwmchar", &ExeScr::getwmchar_comp, 1),
    frontend(L"getfiletime", &ExeScr::getfiletime_comp, 1),
    frontend(L"getfileattribute", &ExeScr::getfileattribute_comp, 1),
    frontend(L"getfilesize", &ExeScr::getfilesize_comp, 1),
    frontend(L"getfilelinecnt", &ExeScr::getfilelinecnt_comp, 1),
    frontend(L"gethwnd", &ExeScr::gethwnd_comp, 3),
    frontend(L"getparent", &ExeScr::getparent_comp, 3),
    frontend(L"getchildhwnd", &ExeScr::getchildhwnd_comp, 3),
    emitonly(L"getcursorpos", &ExeScr::getcursorpos_exec, 3),
    frontend(L"getc", &ExeScr::getc_comp, 1),
    frontend(L"getclipboarddata", &ExeScr::getclipboarddata_comp, 1),
    frontend(L"geteditstr", &ExeScr::geteditstr_comp, 2),
    frontend(L"getitem", &ExeScr::getitem_comp, 3),
    frontend(L"getopenfilename", &ExeScr::getopenfilename_comp, 2),
    frontend(L"gpbox", &ExeScr::gpbox_comp, 1),
    frontend(L"getasynckeystate", &ExeScr::getasynckeystate_comp, 1),
    frontend(L"getsysteminfo", &ExeScr::getsysteminfo_comp, 2),
    enginetext(L"getlasterror", 0),
    emit(L"getexelinenum", &ExeScr::engvar_exec, 21, 1),
    emitonly(L"getsystemtime", &ExeScr::getsystemtime_exec, 3),
    emitonly(L"getlocaltime", &ExeScr::getlocaltime_exec, 3),
    frontend(L"getdrivetype", &ExeScr::getdrivetype_comp, 1),
    emitonly(L"getcurrentdirectory", &ExeScr::getcurrentdirectory_exec, 2),
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
    frontend(L"inputbox", &ExeScr::inputbox_comp, 2),
    frontend(L"infobox", &ExeScr::infobox_comp, 1),
    frontend(L"iscursor", &ExeScr::iscursor_comp, 1),
    frontend(L"imagebox", &ExeScr::imagebox_comp, 1),
    emit(L"index1ret", &ExeScr::engvar_exec, 9, 1),
    emit(L"index2ret", &ExeScr::engvar_exec, 10, 1),
    emit(L"idivrem", &ExeScr::engvar_exec, 16, 1),
    emit(L"imuldx", &ExeScr::engvar_exec, 17, 1),
    frontend(L"kbhit", &ExeScr::kbhit_comp, 1),
    frontend(L"keyin", &ExeScr::keyin_comp, 3),
    frontend(L"killprocess", &ExeScr::killprocess_comp, 1),
    frontend(L"logging", &ExeScr::logging_comp, 3),
    declaration(L"localvar"),
    declaration(L"localfp"),
    declaration(L"localdir"),
    frontend(L"log", &ExeScr::log_comp, 1),
    frontend(L"log10", &ExeScr::log10_comp, 1),
    frontend(L"movefile", &ExeScr::movefile_comp, 1),
    frontword(L"monrect[", 8, &ExeScr::monrectidx_comp, 1),
    emit(L"moncnt", &ExeScr::monrect_exec, 0, 1),
    frontend(L"monrect", &ExeScr::monrect_comp, 1),
    frontend(L"msgbox", &ExeScr::msgbox_comp, 1),
    frontend(L"mousemove", &ExeScr::mousemove_comp, 3),
    frontend(L"mousebtn", &ExeScr::mousebtn_comp, 3),
    frontend(L"match", &ExeScr::match_comp, 1),
    frontend(L"matchval", &ExeScr::matchval_comp, 1),
    frontend(L"matchstr", &ExeScr::matchstr_comp, 2),
    frontend(L"mastervol", &ExeScr::mastervol_comp, 1),
    frontend(L"mktime", &ExeScr::mktime_comp, 1),
    frontend(L"num", &ExeScr::num_comp, 1),
    frontend(L"printf", &ExeScr::printf_comp, 2),
    frontend(L"pow", &ExeScr::pow_comp, 1),
    frontend(L"pointconversion", &ExeScr::pointconversion_comp, 1),
    frontend(L"playsound", &ExeScr::playsound_comp, 3),
    enginetext(L"programdrv", 1),
    enginetext(L"programdir", 2),
    frontend(L"pushpoptasktray", &ExeScr::pushpoptasktray_comp, 3),
    frontend(L"queue", &ExeScr::queue_comp, 1),
    frontend(L"return", &ExeScr::return_comp, 3),
    frontend(L"retstr", &ExeScr::retstr_comp, 3),
    frontend(L"removedirectory", &ExeScr::removedirectory_comp, 1),
    frontend(L"rand", &ExeScr::rand_comp, 1),
    frontend(L"regaddstr", &ExeScr::regaddstr_comp, 3),
    frontend(L"regdel", &ExeScr::regdel_comp, 3),
    frontend(L"reggetstr", &ExeScr::reggetstr_comp, 2),
    frontend(L"registerhotkey", &ExeScr::registerhotkey_comp, 1),
    enginetext(L"scriptdrv", 3),
    enginetext(L"scriptdir", 4),
    enginetext(L"scriptfn", 5),
    frontend(L"setwindowpos", &ExeScr::setwindowpos_comp, 3),
    frontend(L"sendstr", &ExeScr::sendstr_comp, 3),
    frontend(L"setc", &ExeScr::setc_comp, 3),
    frontend(L"setclipboarddata", &ExeScr::setclipboarddata_comp, 1),
    frontend(L"setfiletime", &ExeScr::setfiletime_comp, 1),
    frontend(L"setfileattributes", &ExeScr::setfileattributes_comp, 1),
    frontend(L"setprog", &ExeScr::setprog_comp, 3),
    frontend(L"shellexe", &ExeScr::shellexe_comp, 3),
    frontend(L"shutdown", &ExeScr::shutdown_comp, 3),
    frontend(L"sin", &ExeScr::sin_comp, 1),
    frontend(L"signmode", &ExeScr::signmode_comp, 1),
    frontend(L"sleep", &ExeScr::sleep_comp, 3),
    frontend(L"sleepm", &ExeScr::sleepm_comp, 3),
    frontend(L"strftime", &ExeScr::strftime_comp, 2),
    emitonly(L"systime", &ExeScr::systime_exec, 1),
    frontend(L"sqrt", &ExeScr::sqrt_comp, 1),
    frontend(L"strcmp", &ExeScr::strcmp_comp, 1),
    frontend(L"status", &ExeScr::status_comp, 3),
    variant(L"strstr", &ExeScr::strstr_comp, 0, 1),
    variant(L"strpbrk", &ExeScr::strstr_comp, 1, 1),
    frontend(L"strtokstr", &ExeScr::strtokstr_comp, 2),
    frontend(L"strtok", &ExeScr::strtok_comp, 1),
    variant(L"strchr", &ExeScr::strchr_comp, 0, 1),
    variant(L"strrchr", &ExeScr::strchr_comp, 1, 1),
    frontend(L"str", &ExeScr::str_comp, 2),
    frontend(L"strlen", &ExeScr::strlen_comp, 1),
    frontend(L"systolocaltime", &ExeScr::systolocaltime_comp, 3),
    frontword(L"systemtime.", 11, &ExeScr::systemtimefield_comp, 1),
    frontend(L"systemtime", &ExeScr::systemtime_comp, 1),
    frontend(L"subs", &ExeScr::subs_comp, 1),
    frontend(L"subsstr", &ExeScr::subsstr_comp, 2),
    frontend(L"setcurrentdirectory", &ExeScr::setcurrentdirectory_comp, 1),
    frontend(L"tan", &ExeScr::tan_comp, 1),
    frontend(L"tolowerstr", &ExeScr::tolowerstr_comp, 2),
    frontend(L"trim", &ExeScr::trim_comp, 3),
    frontend(L"tvbox", &ExeScr::tvbox_comp, 1),
    frontend(L"threadstart", &ExeScr::threadstart_comp, 1),
    frontend(L"threadctl", &ExeScr::threadctl_comp, 1),
    emit(L"thisthread", &ExeScr::engvar_exec, 0, 1),
    enginetext(L"titlen", 6),
    emit(L"tbpos", &ExeScr::engvar_exec, 36, 1),
    emitonly(L"unregisterhotkey", &ExeScr::unregisterhotkey_exec, 1),
    frontend(L"usbeject", &ExeScr::usbeject_comp, 1),
    frontend(L"undef", &ExeScr::undef_comp, 1),
    frontend(L"viewbox", &ExeScr::viewbox_comp, 1),
    emit(L"vardtype", &ExeScr::engvar_exec, 19, 1),
    emit(L"vbret", &ExeScr::engvar_exec, 20, 1),
    frontend(L"waittime", &ExeScr::waittime_comp, 1),
    frontend(L"wininfo", &ExeScr::wininfo_comp, 3),
    emit(L"workleft", &ExeScr::workarea_exec, 0, 1),
    emit(L"worktop", &ExeScr::workarea_exec, 1, 1),
    emit(L"workright", &ExeScr::workarea_exec, 2, 1),
    emit(L"workbottom", &ExeScr::workarea_exec, 3, 1),
    frontend(L"wakes3s4", &ExeScr::wakes3s4_comp, 3),
    frontend(L"wmiproc", &ExeScr::wmiproc_comp, 1),
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
