// The resident scripts: the Enroll Resident Script window "quorvel.res" and
// their start with a first instance.
#pragma once

namespace host {

void openenrolres();
// Starts every present and active resident script, one after another.
void startresidents();

}  // namespace host
