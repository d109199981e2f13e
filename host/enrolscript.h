// The Enroll Script window "quorvel.es": the 36 Launch Menu entries of one set.
#pragma once

namespace host {

// Edits the set `hs().enrolset`.
void openenrolscript();

}  // namespace host
