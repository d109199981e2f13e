// Global hotkeys of the first instance: the main hotkey (id 122) that opens
// the Launch Menu and the 30 hotkey launchers (ids 140 to 169), the start of a
// script in a new host instance, and the key-capture fields.
#pragma once

#include <windows.h>

#include <string>

namespace host {

// Takes the main hotkey and the launchers from the settings just read.
void loadhotkeys();
// The main hotkey alone, from the settings' [hotkey] values.
void loadmainhotkey();

// Registers the main hotkey, builds the title text, notes an existing
// "error.log", and registers the launchers once per process.
void regmainhotkey(HWND main);
void unregmainhotkey();
void reghklaunchers(HWND main);
void unreghklaunchers();
// The close sequence: every hotkey unregistered.
void unregisterhotkeys();

// WM_HOTKEY of an enabled main window.
void onhotkey(HWND main, int id);
void runhklauncher(int index);

// Starts `script` with `options` in a new instance of the host's own program;
// with "/quit" the run is listed as running elsewhere until it reports its end.
void startinstance(const std::wstring& script, const std::wstring& options);
void addremoterun(const std::wstring& name);

// Subclasses an EDIT with a key-capture procedure, keeping the previous one.
void subclasskeycap(HWND edit, WNDPROC proc);
// The hot-key and launcher key fields: the name of the last key pressed.
LRESULT CALLBACK keycapproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// The run-key field: one capital letter, typed in lower case.
LRESULT CALLBACK runkeycapproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace host
