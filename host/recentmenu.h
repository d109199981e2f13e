// The Recently Opened Menu "quorvel.os": the files opened last as a column of
// buttons; the chosen one is opened into an editor by the caller.
#pragma once

namespace host {

// The chosen index of the recently-opened list, or -1.
int openrecentmenu();

}  // namespace host
