// The Enroll Hotkey Launcher window "quorvel.eh": the 30 hotkey launchers.
#pragma once

namespace host {

void openenrolhk();

}  // namespace host
