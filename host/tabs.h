// The editor tabs: up to 10 EDIT controls in the main window's tab control,
// opening and saving script files, the save question, and the subclass
// procedure the editors share with the two log panes.
#pragma once

#include <windows.h>

#include <string>

namespace host {

constexpr int maxtabs = 10;

// Mode 0 asks with the file dialog, mode 1 opens curscript. 0 opened, -1 not.
int openscriptfile(int mode);
// 1 when a new tab was made.
int openeditor(const std::wstring& path);
// 0 saved (or no tab), -1 failed (reported, the tab stays modified).
int saveeditor();
// The current tab's save question. 0 go on, 2 cancelled (also when saving
// failed or the tab was closed while the question was open), 7 not saved by
// choice.
int asksave();
// 1 closed (also by someone else while its question was open), 0 no tab or
// cancelled.
int closeeditor();
void refreshtab();

int tabcount();
int currenttab();
// Makes tab `index` current after the tab control's selection changed.
void selecttab(int index);
// Moves the current editor into the tab control's display area.
void placeeditor(const RECT& display, int toolbarheight);
// Whether an editor or a log pane has the keyboard focus.
bool editorfocus();
// Destroys the editors of any tabs left, without questions.
void freetabs();

LRESULT CALLBACK editsubproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace host
