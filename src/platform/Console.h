// The console of a windowed program.
//
// A windowed Windows program starts with no standard output, so whatever it
// prints goes nowhere until it allocates a console. The entry shim calls
// DetachStandardOutput() first thing; AllocConsole() brings the original
// standard output (the terminal the program was started from) back.
// Called on the first thread only.
#pragma once

namespace platform {

void DetachStandardOutput();
void AllocConsole();

}  // namespace platform
