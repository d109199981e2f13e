// Names and texts the main window shows: the title, tab labels, script names,
// and the end report that another instance sends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace host {

// The file name without folder ("\") and without its last extension.
std::wstring scriptbasename(const std::wstring& path);

// " %s - [%s]" with the title base and the script, then "[Run:a:b]" for the
// scripts running elsewhere; "*" first while the window has the focus.
std::wstring titletext(const std::wstring& base, const std::wstring& script,
                       const std::vector<std::wstring>& remoteruns, bool focused);

// A tab's label: " " (or "*" while its editor has the focus) and the base name.
std::wstring tablabel(const std::wstring& path, bool focused);

// The script path of an end report (WM_COPYDATA): only dwData 0, the text
// bounded by cbData and cut at its first NUL. False for anything else.
bool copydatapath(const COPYDATASTRUCT* cds, std::wstring& path);

// Removes every entry equal to `name`; an empty name does nothing.
void delremoterun(std::vector<std::wstring>& remoteruns, const std::wstring& name);

}  // namespace host
