// Which main hotkeys and run keys the Setting window refuses: the host's own
// Ctrl shortcuts, and the other key of the two.
#pragma once

#include <cstdint>

namespace host {

// Main hotkey: modifier index `m` with key code `k`, against the run key
// (`runmod` 0 Ctrl or 1 Alt, its letter).
bool hotkeyrefused(int m, uint32_t k, int runmod, wchar_t runletter);
// Run key: `m` 0 Ctrl or 1 Alt with letter `l`, against the main hotkey.
bool runkeyrefused(int m, wchar_t l, int hotmod, uint32_t hotcode);

}  // namespace host
