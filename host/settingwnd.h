// The Setting window "quorvel.set": the main hotkey, the run key and the
// task-tray flag.
#pragma once

namespace host {

// Opens the window modally; returns when it has closed.
void opensetting();

}  // namespace host
