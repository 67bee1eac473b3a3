// The console of a windowed program.
//
// A windowed Windows program starts with no standard output, so whatever it
// prints goes nowhere until it allocates a console. The entry shim calls
// DetachStandardOutput() first thing; AllocConsole() brings the original
// standard output (the terminal the program was started from) back.
//
// Here: DetachStandardOutput flushes std::cout and stdout, keeps a
// close-on-exec copy of fd 1 and puts /dev/null on fd 1; AllocConsole puts the
// copy back on fd 1. std::cout and stdio keep working throughout (they write
// to fd 1). Both are idempotent; AllocConsole without a detach does nothing.
// Called on the first thread only.
#pragma once

namespace platform {

void DetachStandardOutput();
void AllocConsole();

}  // namespace platform
