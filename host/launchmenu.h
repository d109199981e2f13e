// The Launch Menu "quorvel.lm": the enrolled scripts of one set as a column of
// buttons, each started in a new host instance.
#pragma once

#include <windows.h>

namespace host {

// Loads a set's table from the settings image unless it is loaded.
void loadlaunchtable(int set);
// Forgets both tables (after an enrolment, and at close).
void freescripttables();
// Shows the menu for the current set; returns when it has closed.
void openlaunchmenu();
// Starts entry `index` of a set's table; an index past its end starts nothing.
void runlaunchentry(int set, int index);
// The menu window while it is open, else null.
HWND launchmenuwindow();

}  // namespace host
